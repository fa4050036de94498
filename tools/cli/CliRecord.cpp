#include "tools/cli/CliCommands.h"

#include "app/CTrackerApp.h"
#include "platform/MessageHook.h"
#include "track/GpdFile.h"
#include "track/Recording.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr int RECORD_DAY_SECONDS = 24 * 3600;
constexpr int RECORD_MAX_GAP_TICKS = 3600;
constexpr int RECORD_MAX_UTC = 23;
constexpr int RECORD_MAX_DILUTION = 1000000;

void PrintRecordUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: veltrip-cli record [--utc H] [--max-dilution TENTHS] [--kml-speed] CAPTURE OUTBASE\n"
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
                 theApp.m_nUtcCorrection, theApp.m_nMaxDilution);
}

std::optional<int> ParseInt(const char* pszText, int nMin, int nMax)
{
    char* pEnd = nullptr;
    errno = 0;
    const long n = std::strtol(pszText, &pEnd, 10);
    if (errno || pEnd == pszText || *pEnd || n < nMin || n > nMax)
        return std::nullopt;
    return int(n);
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
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        const char* pszOption = argv[i];
        if (!std::strcmp(pszOption, "--help")) {
            PrintRecordUsage(stdout);
            return CLI_OK;
        }
        if (!std::strcmp(pszOption, "--kml-speed")) {
            theApp.m_bKmlAltitude = 1;
            continue;
        }
        const bool bUtc = !std::strcmp(pszOption, "--utc");
        const bool bDilution = !std::strcmp(pszOption, "--max-dilution");
        const std::optional<int> nValue =
            i + 1 < argc ? ParseInt(argv[i + 1], bUtc ? -RECORD_MAX_UTC : 0,
                                    bUtc ? RECORD_MAX_UTC : RECORD_MAX_DILUTION)
                         : std::nullopt;
        if ((!bUtc && !bDilution) || !nValue) {
            std::fprintf(stderr, "veltrip-cli record: bad option or value: %s\n", pszOption);
            PrintRecordUsage(stderr);
            return CLI_USAGE;
        }
        ++i;
        if (bUtc) {
            theApp.m_nUtcCorrection = *nValue;
        } else {
            theApp.m_nMaxDilution = *nValue;
            theApp.m_dMaxDilution = *nValue * 0.1;
        }
    }
    if (argc - i != 2) {
        PrintRecordUsage(stderr);
        return CLI_USAGE;
    }
    const QString strCapture = QString::fromLocal8Bit(argv[i]);
    const QString strBase = QString::fromLocal8Bit(argv[i + 1]);

    QFile capture(strCapture);
    if (!capture.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "veltrip-cli record: cannot read %s\n", argv[i]);
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
    if (tracker.StartLog()) {
        Replay(data);
        std::printf("%zu points stored in %s.gpd\n", theApp.m_trackPoints.size(),
                    qPrintable(tracker.m_strLogBase));
        tracker.EndLog();
    } else {
        std::fprintf(stderr, "veltrip-cli record: cannot create %s.gpd\n", argv[i + 1]);
    }
    SetLogBaseOverride(QString());
    SetMessageHook(previous);
    return nMessages ? CLI_FAILED : CLI_OK;
}
