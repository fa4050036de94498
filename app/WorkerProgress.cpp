#include "app/WorkerProgress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <memory>

void RunWithProgress(QProgressDialog& dialog, int nPollMs, const std::function<void()>& work,
                     const std::function<void()>& onPoll)
{
    const std::unique_ptr<QThread> pThread(QThread::create(work));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, onPoll);
    QEventLoop loop;
    // Set on the window's thread once the work has ended; the thread itself
    // may still be winding down then.
    bool bDone = false;
    QObject::connect(pThread.get(), &QThread::finished, &loop, [&] {
        bDone = true;
        loop.quit();
    });
    poll.start(nPollMs);
    pThread->start();
    dialog.show();
    loop.exec();
    // The loop ended before the work: the program is ending, and nobody
    // waits for the rest of the work.
    if (!bDone)
        emit dialog.canceled();
    pThread->wait();
}
