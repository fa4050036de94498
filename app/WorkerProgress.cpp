#include "app/WorkerProgress.h"

#include "app/ExitSignals.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

namespace {

constexpr int WORKER_PROGRESS_STEPS = 1000;
constexpr int WORKER_POLL_MS = 100;

}

void RunWithProgress(QProgressDialog& dialog, int nPollMs, const std::function<void()>& work,
                     const std::function<void()>& onPoll)
{
    const std::unique_ptr<QThread> pThread(QThread::create(work));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, onPoll);
    QEventLoop loop;
    QObject::connect(pThread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    poll.start(nPollMs);
    pThread->start();
    dialog.show();
    loop.exec();
    pThread->wait();
}

void RunCancellableWork(QWidget* pParent, const QString& strLabel,
                        const std::function<void(const WorkerProgress& fnProgress)>& work)
{
    std::atomic<int> nProgress {0};
    std::atomic<bool> bCancel {false};
    const WorkerProgress fnProgress = [&](double dDone) {
        nProgress = int(dDone * WORKER_PROGRESS_STEPS);
        return !bCancel;
    };
    QProgressDialog dialog(strLabel, QStringLiteral("Cancel"), 0, WORKER_PROGRESS_STEPS, pParent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { bCancel = true; });
    // A stop signal closes the dialog and ends the event loops: the work is
    // cancelled with them, so shut-down soon ends the log with its KML copy.
    RunWithProgress(dialog, WORKER_POLL_MS, [&] { work(fnProgress); }, [&] {
        dialog.setValue(nProgress);
        if (ExitRequested())
            bCancel = true;
    });
}
