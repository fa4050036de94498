#pragma once

#include <functional>

class QProgressDialog;
class QString;
class QWidget;

// Runs work on a thread of its own while the dialog shows and the window's
// events go on; every nPollMs onPoll runs on the window's thread, to show
// how the work goes or to pass on a Cancel. Returns once the work has ended.
// The work touches only atomics and objects of its own.
void RunWithProgress(QProgressDialog& dialog, int nPollMs, const std::function<void()>& work,
                     const std::function<void()>& onPoll);

// What work gets to tell how far it is (0 to 1); false once the user has
// pressed Cancel or a stop signal came, and the work should end.
using WorkerProgress = std::function<bool(double dDone)>;

// Runs work with such a progress on its own thread behind a window-modal
// dialog with strLabel, a bar and Cancel; returns once the work has ended.
void RunCancellableWork(QWidget* pParent, const QString& strLabel,
                        const std::function<void(const WorkerProgress& fnProgress)>& work);
