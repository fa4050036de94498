// veltrip-sim: a GPS receiver on a pseudo-terminal, for running veltrip
// without hardware. It drives a built-in route at 1 Hz, or replays a capture.
#include "platform/TextFormat.h"
#include "tools/sim/CPseudoTerminal.h"
#include "tools/sim/CSimReceiver.h"
#include "tools/sim/SimReplay.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

volatile std::sig_atomic_t g_bStop = 0;

void OnSignal(int)
{
    g_bStop = 1;
}

// Start of the built-in route.
constexpr double SIM_START_LATITUDE = 52.0907;
constexpr double SIM_START_LONGITUDE = 5.1214;

void PrintUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: veltrip-sim [--link PATH] [--replay FILE [--rate N]]\n\n"
                 "Opens a pseudo-terminal, prints its device path and sends NMEA on it:\n"
                 "a receiver driving a built-in route at 1 Hz, or the capture FILE paced\n"
                 "by its fix times (--rate N plays it N times faster).\n"
                 "--link PATH   symlink to the device (default %s)\n",
                 EscapedText(DefaultSimLink()).c_str());
}

// Sleeps until the deadline, waking early when a signal asks to stop.
void SleepUntil(std::chrono::steady_clock::time_point deadline)
{
    while (!g_bStop && std::chrono::steady_clock::now() < deadline) {
        const auto step = std::min<std::chrono::steady_clock::duration>(
            deadline - std::chrono::steady_clock::now(), std::chrono::milliseconds(100));
        std::this_thread::sleep_for(step);
    }
}

int RunRoute(CPseudoTerminal& pty)
{
    CSimReceiver receiver(SIM_START_LATITUDE, SIM_START_LONGITUDE);
    auto next = std::chrono::steady_clock::now();
    while (!g_bStop) {
        pty.Write(receiver.Sentences(QDateTime::currentDateTimeUtc()));
        receiver.Step();
        next += std::chrono::seconds(1);
        SleepUntil(next);
    }
    return 0;
}

int RunReplay(CPseudoTerminal& pty, const QString& strFile, double dRate)
{
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "veltrip-sim: cannot read %s\n", EscapedText(strFile).c_str());
        return 1;
    }
    bool bHaveTime = false;
    double dLastTime = 0;
    auto next = std::chrono::steady_clock::now();
    while (!g_bStop && !file.atEnd()) {
        QByteArray line = file.readLine();
        // Captures may carry notes about where they were taken.
        if (line.startsWith('#'))
            continue;
        double dTime = 0;
        if (SimFixTime(line, dTime)) {
            if (bHaveTime && dTime != dLastTime) {
                next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(SimReplayDelay(dLastTime, dTime, dRate)));
                SleepUntil(next);
            }
            bHaveTime = true;
            dLastTime = dTime;
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        pty.Write(line + "\r\n");
    }
    std::fprintf(stderr, "veltrip-sim: end of %s\n", EscapedText(strFile).c_str());
    return 0;
}

}

int main(int argc, char** argv)
{
    QString strLink = DefaultSimLink();
    QString strReplay;
    double dRate = 1.0;
    for (int i = 1; i < argc; ++i) {
        const bool bHasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            PrintUsage(stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--link") && bHasValue) {
            strLink = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--replay") && bHasValue) {
            strReplay = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--rate") && bHasValue) {
            bool bOk = false;
            dRate = QString::fromLocal8Bit(argv[++i]).toDouble(&bOk);
            if (!bOk || !(dRate > 0) || dRate > 1e6) {
                std::fprintf(stderr, "veltrip-sim: --rate needs a number above 0\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "veltrip-sim: unexpected argument '%s'\n", EscapedText(argv[i]).c_str());
            PrintUsage(stderr);
            return 2;
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    CPseudoTerminal pty;
    QString strError;
    if (!pty.Open(strLink, strError)) {
        std::fprintf(stderr, "veltrip-sim: %s\n", EscapedText(strError).c_str());
        return 1;
    }
    std::printf("%s\n", EscapedText(pty.m_strDevice).c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "veltrip-sim: sending on %s%s%s; Ctrl+C ends\n", EscapedText(pty.m_strDevice).c_str(),
                 pty.m_strLink.isEmpty() ? "" : " via ", EscapedText(pty.m_strLink).c_str());

    return strReplay.isEmpty() ? RunRoute(pty) : RunReplay(pty, strReplay, dRate);
}
