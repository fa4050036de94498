#include "tools/cli/CliCommands.h"

#include "gps/CGpsTracker.h"
#include "gps/CReceiverProbe.h"
#include "gps/TrackerSettings.h"
#include "platform/DevicePaths.h"
#include "platform/EnvironmentTime.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliRecordingOptions.h"
#include "tools/cli/CliText.h"
#include "track/CTrackRecorder.h"

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int LOG_TICK_MS = 1000;
// How soon a stop signal ends the wait between ticks.
constexpr auto LOG_SIGNAL_STEP = std::chrono::milliseconds(50);

const char LOG_USAGE[] =
    "usage: veltrip-cli log [--port P] [--baud N] [--seconds S] [--utc H] [--max-dilution TENTHS]\n"
    "                       [--kml-speed] [OUTBASE]\n";

volatile std::sig_atomic_t g_bLogStop = 0;

void OnStopSignal(int)
{
    g_bLogStop = 1;
}

// The defaults shown are the stored settings, which the command uses.
std::string LogHelp(const CTrackerSettings& stored)
{
    return FormatText(
               "\n"
               "Records from the receiver without a window: the program's one-second\n"
               "tick (poll, recording decision, log) until S seconds have passed or\n"
               "SIGINT or SIGTERM arrives; the log then ends with its KML copy.\n"
               "The log is OUTBASE.gpd with OUTBASE.kml (created even when no point\n"
               "was stored), or without OUTBASE the dated log the program would start\n"
               "on the storage card. A receiver that goes away is reopened by itself.\n"
               "\n"
               "  --port P              the receiver's port (default %s), one of:\n"
               "                          COMn: or DEVICE     a serial port by name or path\n"
               "                          gpsd://HOST[:PORT]  the NMEA stream of a gpsd\n"
               "                          tcp://HOST:PORT     an NMEA stream over TCP\n"
               "                          modem://[N]         the GPS of ModemManager's modem N\n"
               "                                              (default: the first with one)\n"
               "                          unix:PATH           an NMEA stream on a Unix socket\n"
               "                                              (as gnss-share serves)\n"
               "                          auto                the first receiver that answers\n"
               "  --baud N              baud rate of a serial port (default %d)\n"
               "  --seconds S           stop after S seconds (default: run until stopped)\n"
               "  --utc H               hours added to the receiver's UTC time (default %d)\n"
               "  --max-dilution TENTHS largest HDOP stored, in tenths (default %d)\n"
               "  --kml-speed           KML track height from the speed, not the altitude\n"
               "\n"
               "On a terminal a status line shows the fix and the points stored.\n"
               "Exit codes: 0 done, 1 the port cannot be opened or a file could not be\n"
               "written, 2 bad arguments.\n",
               EscapedText(stored.m_strComPort).c_str(), stored.m_nBaudRate, stored.m_nUtcCorrection,
               stored.m_nMaxDilution)
        .toStdString();
}

void CatchStopSignals()
{
    g_bLogStop = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void PrintStatus(const CGpsTracker& tracker, size_t nPoints, bool bFix)
{
    const QString strFix = bFix ? FormatText("fix %10.5f %11.5f", double(tracker.m_fLatitude),
                                             double(tracker.m_fLongitude))
                                : QStringLiteral("no fix                     ");
    std::printf("\r%s  %2d sats  %zu points stored", qPrintable(strFix), tracker.m_nSatsUsed, nPoints);
    std::fflush(stdout);
}

// Width of the status line, which a progress text covers.
constexpr int LOG_STATUS_WIDTH = 72;

// A failure of the run: said below the status line, not into it, and
// remembered for the exit code.
class CLogReport
{
public:
    explicit CLogReport(bool bStatus) : m_bStatus(bStatus) {}

    bool operator()(const COutcome& outcome)
    {
        if (outcome)
            return true;
        m_bFailed = true;
        std::fprintf(stderr, "%sveltrip-cli log: %s\n", m_bStatus ? "\n" : "", CliFailureText(outcome).c_str());
        return false;
    }

    bool m_bFailed = false;

private:
    bool m_bStatus;
};

// --port auto: the port of the first receiver that answers, with where the
// search looks on the status line.
bool FindReceiver(CTrackerSettings& settings, bool bStatus, CLogReport& report)
{
    CReceiverProbe probe(CProbePlaces::FromEnvironment());
    const auto progress = [bStatus](const QString& strText) {
        if (!bStatus)
            return;
        std::printf("\r%-*s", LOG_STATUS_WIDTH, EscapedText(strText).c_str());
        std::fflush(stdout);
    };
    const COutcome outcome = probe.Run(progress);
    if (bStatus)
        std::printf("\r%-*s\r", LOG_STATUS_WIDTH, "");
    if (!report(outcome))
        return false;
    settings.m_strComPort = probe.m_strPort;
    if (probe.m_nBaudRate > 0)
        settings.m_nBaudRate = probe.m_nBaudRate;
    std::printf("receiver found: %s", EscapedText(probe.m_strPort).c_str());
    if (probe.m_nBaudRate > 0)
        std::printf(" at %d baud", probe.m_nBaudRate);
    std::printf("\n");
    return true;
}

// A tick lasts a second; $VELTRIP_LOG_TICK_MS, a whole number from 1, makes
// it, and with it each second that --seconds counts, that many milliseconds:
// tests play a source at a faster pace with the same ticks.
std::chrono::milliseconds LogTick()
{
    return std::chrono::milliseconds(MillisecondsFromEnvironment("VELTRIP_LOG_TICK_MS", LOG_TICK_MS));
}

// The ticks, until the time is up or a stop signal came.
void RunTicks(CTrackRecorder& recorder, const CGpsTracker& tracker, const CTrackPointList& points,
              std::optional<int> nSeconds, bool bStatus, CLogReport& report)
{
    CatchStopSignals();
    using Clock = std::chrono::steady_clock;
    const std::chrono::milliseconds tickLength = LogTick();
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = nSeconds ? start + tickLength * *nSeconds : Clock::time_point::max();
    Clock::time_point next = start;
    while (!g_bLogStop && next < end) {
        // What the window's message loop does between ticks: a modem port's
        // updates come as D-Bus messages.
        QCoreApplication::processEvents();
        const CTickResult tick = recorder.RunReceiverTick();
        report(tick.m_report);
        if (bStatus)
            PrintStatus(tracker, points.size(), tick.m_bPosition);
        next += tickLength;
        // A tick that ran late is not made up for, as a window timer would not.
        if (next < Clock::now())
            next = Clock::now();
        while (!g_bLogStop && Clock::now() < next)
            std::this_thread::sleep_for(std::min<Clock::duration>(next - Clock::now(), LOG_SIGNAL_STEP));
    }
    if (bStatus)
        std::printf("\n");
}

// Ends the log with its KML copy; asked for by name, the pair of files
// exists even without a point.
void EndRun(CTrackRecorder& recorder, const CTrackPointList& points, bool bOwnBase, CLogReport& report)
{
    if (!recorder.m_log.IsOpen() && bOwnBase)
        report(recorder.StartLog());
    if (recorder.m_log.IsOpen()) {
        std::printf("%zu points stored in %s.gpd\n", points.size(), EscapedText(recorder.m_log.m_strLogBase).c_str());
        report(recorder.EndLog());
    } else if (!bOwnBase) {
        std::printf("no points stored\n");
    }
}

// The application object that D-Bus needs for a modem port, with the
// program's own locale kept (it would adopt the user's).
std::unique_ptr<QCoreApplication> NewEventApplication(char** argv)
{
    static int g_nQtArgc = 1;
    const std::string strLocale = std::setlocale(LC_ALL, nullptr);
    auto app = std::make_unique<QCoreApplication>(g_nQtArgc, argv);
    std::setlocale(LC_ALL, strLocale.c_str());
    return app;
}

}

int CliLog(int argc, char** argv)
{
    CTrackerSettings settings = LoadTrackerSettings();
    const char* szPort = nullptr;
    std::optional<int> nBaud;
    std::optional<int> nSeconds;
    CliRecordingOptions recording;
    const CliSyntax syntax{"log", LOG_USAGE, LogHelp(settings),
                           recording.Options({CliText("--port", "P", szPort),
                                              CliInt("--baud", "N", SETTINGS_BAUD_MIN, SETTINGS_BAUD_MAX, nBaud),
                                              CliInt("--seconds", "S", 1, INT_MAX, nSeconds)}),
                           {"[OUTBASE]"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    if (szPort)
        settings.m_strComPort = QString::fromLocal8Bit(szPort);
    if (nBaud)
        settings.m_nBaudRate = *nBaud;
    recording.Apply(settings);
    const std::unique_ptr<QCoreApplication> app = NewEventApplication(argv);
    CGpsTracker tracker;
    CTrackPointList points;
    CTrackRecorder recorder(tracker, points, settings);
    const bool bOwnBase = !args.empty();
    if (!bOwnBase && !CliReport("log", CheckStorageCard()))
        return CLI_FAILED;
    if (bOwnBase)
        recorder.m_log.SetBase(QString::fromLocal8Bit(args[0]));

    const bool bStatus = isatty(STDOUT_FILENO) != 0;
    CLogReport report(bStatus);
    if (settings.m_strComPort == PROBE_AUTO_PORT && !FindReceiver(settings, bStatus, report))
        return CLI_FAILED;
    if (!report(tracker.OpenPort(settings.m_strComPort, settings.m_nBaudRate)))
        return CLI_FAILED;
    RunTicks(recorder, tracker, points, nSeconds, bStatus, report);
    EndRun(recorder, points, bOwnBase, report);
    tracker.ClosePort();
    return report.m_bFailed ? CLI_FAILED : CLI_OK;
}
