#include "app/ExitSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler only writes a byte; the event loop does the rest.
int g_aSignalPipe[2] = {-1, -1};
bool g_bExitRequested = false;

void OnExitSignal(int)
{
    const char ch = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_aSignalPipe[1], &ch, 1);
}

}

void InstallExitSignals()
{
    if (g_aSignalPipe[0] >= 0 || ::pipe2(g_aSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_aSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(pNotifier, &QSocketNotifier::activated, pNotifier, [] {
        char aBuffer[16];
        while (::read(g_aSignalPipe[0], aBuffer, sizeof aBuffer) > 0) {
        }
        g_bExitRequested = true;
        // Closing every window also ends the loops of open dialogs and boxes,
        // which quit() alone leaves running before the main loop has begun.
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A file-size limit is a failed write to report, not the end of the run.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool ExitRequested()
{
    return g_bExitRequested;
}
