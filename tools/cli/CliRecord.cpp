#include "tools/cli/CliCommands.h"

#include "app/CTrackerApp.h"
#include "platform/MessageHook.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "track/GpdFile.h"
#include "track/Recording.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int RECORD_DAY_SECONDS = 24 * 3600;
constexpr int RECORD_MAX_GAP_TICKS = 3600;
constexpr int RECORD_MAX_UTC = 23;
constexpr int RECORD_MAX_DILUTION = 1000000;

const char RECORD_USAGE[] =
    "usage: veltrip-cli record [--utc H] [--max-dilution TENTHS] [--kml-speed] CAPTURE OUTBASE\n";

// The defaults shown are the built-in ones: the command does not load the
// stored settings.
std::string RecordHelp()
{
    return FormatText(
               "\n"
               "Replays an NMEA capture through the recorder, one timer tick per fix time\n"
               "(gaps in the times run empty ticks, at most 3600), and writes the log\n"
               "OUTBASE.gpd with its KML copy OUTBASE.kml. An existing file is never\n"
               "replaced: the base then gets a suffix _2, _3, ...\n"
               "\n"
               "  --utc H               hours added to the receiver's UTC time (default %d)\n"
               "  --max-dilution TENTHS largest HDOP stored, in tenths (default %d)\n"
               "  --kml-speed           KML track height from the speed, not the altitude\n"
               "\n"
               "Prints the number of points stored. Exit codes: 0 done, 1 unreadable input\n"
               "or a file that could not be written, 2 bad arguments.\n",
               theApp.m_nUtcCorrection, theApp.m_nMaxDilution)
        .toStdString();
}

// Seconds of the day of an RMC or GGA line's time field, if it has one.
std::optional<int> LineTime(std::string_view line)
{
    const size_t nDollar = line.rfind('$');
    if (nDollar == std::string_view::npos)
        return std::nullopt;
    const std::string_view sentence = line.substr(nDollar + 1);
    if (sentence.size() < 12 || sentence[5] != ',')
        return std::nullopt;
    const std::string_view type = sentence.substr(2, 3);
    if (type != "RMC" && type != "GGA")
        return std::nullopt;
    int nDigits[6];
    for (int i = 0; i < 6; ++i) {
        const char ch = sentence[6 + size_t(i)];
        if (ch < '0' || ch > '9')
            return std::nullopt;
        nDigits[i] = ch - '0';
    }
    return (nDigits[0] * 10 + nDigits[1]) * 3600 + (nDigits[2] * 10 + nDigits[3]) * 60
           + nDigits[4] * 10 + nDigits[5];
}

void RunTick(const std::string_view* pLines, size_t nLines)
{
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.BeginTick();
    for (size_t i = 0; i < nLines; ++i)
        tracker.AssembleBytes(pLines[i].data(), pLines[i].size());
    CheckRecordPoint();
}

// Runs the capture tick by tick: a tick ends before a line whose fix time
// differs from the one already seen in it.
void Replay(const QByteArray& capture)
{
    std::vector<std::string_view> tick;
    std::optional<int> nTickTime;
    std::string_view rest(capture.constData(), size_t(capture.size()));
    while (!rest.empty()) {
        const size_t nEnd = rest.find('\n');
        const size_t nLength = nEnd == std::string_view::npos ? rest.size() : nEnd + 1;
        const std::string_view line = rest.substr(0, nLength);
        rest.remove_prefix(nLength);
        const std::optional<int> nTime = LineTime(line);
        if (nTime && nTickTime && *nTime != *nTickTime) {
            RunTick(tick.data(), tick.size());
            tick.clear();
            const int nGap = ((*nTime - *nTickTime) % RECORD_DAY_SECONDS + RECORD_DAY_SECONDS)
                             % RECORD_DAY_SECONDS;
            for (int i = 1; i < nGap && i <= RECORD_MAX_GAP_TICKS; ++i)
                RunTick(nullptr, 0);
        }
        if (nTime)
            nTickTime = nTime;
        tick.push_back(line);
    }
    RunTick(tick.data(), tick.size());
}

}

int CliRecord(int argc, char** argv)
{
    std::optional<int> nUtc;
    std::optional<int> nDilution;
    bool bKmlSpeed = false;
    const CliSyntax syntax{"record", RECORD_USAGE, RecordHelp(),
                           {CliInt("--utc", "H", -RECORD_MAX_UTC, RECORD_MAX_UTC, nUtc),
                            CliInt("--max-dilution", "TENTHS", 0, RECORD_MAX_DILUTION, nDilution),
                            CliFlag("--kml-speed", bKmlSpeed)},
                           {"CAPTURE", "OUTBASE"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    if (nUtc)
        theApp.m_nUtcCorrection = *nUtc;
    if (nDilution) {
        theApp.m_nMaxDilution = *nDilution;
        theApp.m_dMaxDilution = *nDilution * 0.1;
    }
    if (bKmlSpeed)
        theApp.m_bKmlAltitude = 1;
    const QString strCapture = QString::fromLocal8Bit(args[0]);
    const QString strBase = QString::fromLocal8Bit(args[1]);

    QFile capture(strCapture);
    if (!capture.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "veltrip-cli record: cannot read %s\n", args[0]);
        return CLI_FAILED;
    }
    const QByteArray data = capture.readAll();

    int nMessages = 0;
    const MessageHook previous = SetMessageHook([&nMessages](const QString& strText) {
        ++nMessages;
        std::fprintf(stderr, "veltrip-cli record: %s\n", qPrintable(strText));
    });
    SetLogBaseOverride(strBase);
    CGpsTracker& tracker = theApp.m_tracker;
    // As on the device, the first stored point opens the log by itself; only a
    // capture that stores nothing gets its empty log here, so that the pair of
    // files always exists.
    if (!QFileInfo(QFileInfo(strBase).absolutePath()).isWritable()) {
        std::fprintf(stderr, "veltrip-cli record: cannot create %s.gpd\n", args[1]);
        ++nMessages;
    } else {
        Replay(data);
        if (tracker.m_hLogFile || tracker.StartLog()) {
            std::printf("%zu points stored in %s.gpd\n", theApp.m_trackPoints.size(),
                        qPrintable(tracker.m_strLogBase));
            tracker.EndLog();
        }
    }
    SetLogBaseOverride(QString());
    SetMessageHook(previous);
    return nMessages ? CLI_FAILED : CLI_OK;
}
