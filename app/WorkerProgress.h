#pragma once

#include <functional>

class QProgressDialog;

// Runs work on a thread of its own while the dialog shows and the window's
// events go on; every nPollMs onPoll runs on the window's thread, to show
// how the work goes or to pass on a Cancel. Returns once the work has ended;
// when the event loops are told to end first, the dialog's Cancel is pressed.
// The work touches only atomics and objects of its own.
void RunWithProgress(QProgressDialog& dialog, int nPollMs, const std::function<void()>& work,
                     const std::function<void()>& onPoll);
