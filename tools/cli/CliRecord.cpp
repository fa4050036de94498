#include "tools/cli/CliCommands.h"

#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "platform/LogFile.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliRecordingOptions.h"
#include "tools/cli/CliText.h"
#include "track/CTrackRecorder.h"

#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr int RECORD_DAY_SECONDS = 24 * 3600;
constexpr int RECORD_MAX_GAP_TICKS = 3600;
constexpr size_t RECORD_READ_CHUNK = 64 * 1024;
constexpr size_t RECORD_SENTENCE_HEAD = 12;   // talker, type, "," and the hhmmss of the time

const char RECORD_USAGE[] =
    "usage: veltrip-cli record [--utc H] [--max-dilution TENTHS] [--kml-speed] CAPTURE OUTBASE\n";

// The defaults shown are the built-in ones: the command does not load the
// stored settings.
std::string RecordHelp()
{
    const CTrackerSettings defaults;
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
               "Prints the number of points stored and, when not all of them could be\n"
               "written (a full disk), how many the log holds. The capture is read as a\n"
               "stream, so it may be of any size. Exit codes: 0 done, 1 unreadable input\n"
               "or a file that could not be written, 2 bad arguments.\n",
               defaults.m_nUtcCorrection, defaults.m_nMaxDilution)
        .toStdString();
}

// Seconds of the day of an RMC or GGA sentence's time field, if it has one;
// the sentence is what follows the line's last "$".
std::optional<int> SentenceTime(std::string_view sentence)
{
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

// Runs a capture tick by tick as it is read: a tick ends before a line whose
// fix time differs from the one already seen in it. Bytes go to the assembly
// with each piece read, since only a line feed completes a sentence; all that
// is held of a line is the start of its last sentence, which decides the
// line's tick before its line feed goes in. So memory stays flat whatever the
// capture's size. Failures of the recording are printed as they come.
class CReplay
{
public:
    CReplay(CGpsTracker& tracker, CTrackRecorder& recorder, int nUtcCorrection)
        : m_tracker(tracker)
        , m_recorder(recorder)
        , m_nUtcCorrection(nUtcCorrection)
    {
        m_tracker.BeginTick();
    }

    // The bytes go to the assembly in runs that end where a tick must end
    // before a line's line feed: most lines share their tick with the next.
    void Feed(const char* pData, size_t nLength)
    {
        const char* const pEnd = pData + nLength;
        const char* pPending = pData;   // not yet handed to the assembly
        for (const char* p = pData; p < pEnd;) {
            const auto* pFeed = static_cast<const char*>(std::memchr(p, '\n', size_t(pEnd - p)));
            Collect(std::string_view(p, size_t((pFeed ? pFeed : pEnd) - p)));
            if (!pFeed)
                break;
            if (const std::optional<int> nGap = EndLine()) {
                m_tracker.AssembleBytes(pPending, size_t(pFeed - pPending), m_nUtcCorrection);
                pPending = pFeed;
                RunEmptyTicks(*nGap);
            }
            p = pFeed + 1;
        }
        m_tracker.AssembleBytes(pPending, size_t(pEnd - pPending), m_nUtcCorrection);
    }

    void Finish()
    {
        if (m_bInLine) {
            if (const std::optional<int> nGap = EndLine())
                RunEmptyTicks(*nGap);
        }
        CheckRecordPoint();
    }

    bool m_bFailed = false;

private:
    void Collect(std::string_view part)
    {
        m_bInLine = m_bInLine || !part.empty();
        if (const auto* pDollar = static_cast<const char*>(memrchr(part.data(), '$', part.size()))) {
            m_bSentence = true;
            m_sentence.clear();
            part.remove_prefix(size_t(pDollar - part.data()) + 1);
        }
        if (m_bSentence)
            m_sentence.append(part.substr(0, RECORD_SENTENCE_HEAD - std::min(m_sentence.size(), RECORD_SENTENCE_HEAD)));
    }

    // The line ends: the seconds from the tick's fix time to the line's when
    // the line begins a new tick.
    std::optional<int> EndLine()
    {
        const std::optional<int> nTime = m_bSentence ? SentenceTime(m_sentence) : std::nullopt;
        std::optional<int> nGap;
        if (nTime && m_nTickTime && *nTime != *m_nTickTime)
            nGap = ((*nTime - *m_nTickTime) % RECORD_DAY_SECONDS + RECORD_DAY_SECONDS) % RECORD_DAY_SECONDS;
        if (nTime)
            m_nTickTime = nTime;
        m_bInLine = false;
        m_bSentence = false;
        m_sentence.clear();
        return nGap;
    }

    // Ends the tick, runs the empty ticks of a gap and begins the next one.
    void RunEmptyTicks(int nGap)
    {
        CheckRecordPoint();
        for (int i = 1; i < nGap && i <= RECORD_MAX_GAP_TICKS; ++i) {
            m_tracker.BeginTick();
            CheckRecordPoint();
        }
        m_tracker.BeginTick();
    }

    void CheckRecordPoint()
    {
        if (!CliReport("record", m_recorder.CheckRecordPoint()))
            m_bFailed = true;
    }

    CGpsTracker& m_tracker;
    CTrackRecorder& m_recorder;
    int m_nUtcCorrection;

    std::optional<int> m_nTickTime;
    std::string m_sentence;    // the first bytes after the line's last "$"
    bool m_bSentence = false;  // the line has a "$"
    bool m_bInLine = false;    // bytes of an unfinished line have come
};

// Replays the capture file; the error number that stopped the reading, 0
// when it was read to its end. Bytes are handled as soon as they are there,
// so a capture that is still being written (a pipe) is recorded as it comes.
int Replay(int hCapture, CReplay& replay)
{
    const std::unique_ptr<char[]> buffer(new char[RECORD_READ_CHUNK]);
    int nErrno = 0;
    ssize_t nRead;
    while ((nRead = ::read(hCapture, buffer.get(), RECORD_READ_CHUNK)) != 0) {
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0) {
            nErrno = errno;
            break;
        }
        replay.Feed(buffer.get(), size_t(nRead));
    }
    replay.Finish();
    return nErrno;
}

}

int CliRecord(int argc, char** argv)
{
    CliRecordingOptions recording;
    const CliSyntax syntax{"record", RECORD_USAGE, RecordHelp(), recording.Options({}), {"CAPTURE", "OUTBASE"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    CTrackerSettings settings;
    recording.Apply(settings);
    const QString strBase = QString::fromLocal8Bit(args[1]);

    const int hCapture = ::open(args[0], O_RDONLY | O_CLOEXEC);
    if (hCapture < 0) {
        CliCannotRead("record", args[0], SystemErrorText(errno));
        return CLI_FAILED;
    }

    CGpsTracker tracker;
    CTrackPointList points;
    CTrackRecorder recorder(tracker, points, settings);
    recorder.m_log.SetBase(strBase);
    // The points come as fast as the capture is read, not one a second.
    SetLogSync(ELogSync::EverySecond);
    CReplay replay(tracker, recorder, settings.m_nUtcCorrection);
    // As on the device, the first stored point opens the log by itself; only a
    // capture that stores nothing gets its empty log here, so that the pair of
    // files always exists.
    if (!QFileInfo(QFileInfo(strBase).absolutePath()).isWritable()) {
        std::fprintf(stderr, "veltrip-cli record: cannot create %s.gpd\n", EscapedText(args[1]).c_str());
        replay.m_bFailed = true;
    } else {
        if (const int nErrno = Replay(hCapture, replay); nErrno != 0) {
            CliCannotRead("record", args[0], SystemErrorText(nErrno));
            replay.m_bFailed = true;
        }
        if (!recorder.m_log.IsOpen() && !CliReport("record", recorder.StartLog()))
            replay.m_bFailed = true;
        if (recorder.m_log.IsOpen()) {
            // A full disk keeps points out of the file; the summary says so.
            const size_t nStored = points.size();
            const int64_t nInFile = recorder.m_log.FilePoints();
            const QString strLogBase = recorder.m_log.m_strLogBase;
            if (nInFile < int64_t(nStored))
                std::printf("%zu points stored, only %lld of them in %s.gpd\n", nStored,
                            static_cast<long long>(nInFile), EscapedText(strLogBase).c_str());
            else
                std::printf("%zu points stored in %s.gpd\n", nStored, EscapedText(strLogBase).c_str());
            if (!CliReport("record", recorder.EndLog()))
                replay.m_bFailed = true;
        }
    }
    ::close(hCapture);
    return replay.m_bFailed ? CLI_FAILED : CLI_OK;
}
