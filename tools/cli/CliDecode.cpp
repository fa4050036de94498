#include "tools/cli/CliCommands.h"

#include "gps/CGpsTracker.h"
#include "gps/NmeaDecoder.h"
#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace {

const char DECODE_USAGE[] =
    "usage: veltrip-cli decode [--utc HOURS] FILE\n";

const char DECODE_HELP[] =
    "\n"
    "Runs the bytes of FILE (- for standard input) through the receiver's\n"
    "sentence assembly and NMEA decoder, as the tracker does with the bytes of\n"
    "its serial port. Every line is decoded as a tick of its own, so the update\n"
    "bits, rmcValid and fixQuality describe that line alone; all other values\n"
    "carry over from line to line.\n"
    "\n"
    "After every line the decoder recognises (RMC, GGA, GSA, GSV of any talker,\n"
    "with a correct checksum or none) one JSON object is printed on a line of\n"
    "its own with the whole tracker record after that line:\n"
    "  line                      the sentence without CR and LF\n"
    "  latitude, longitude       decimal degrees, north and east positive\n"
    "  altitude                  metres\n"
    "  speed, course             knots, degrees true\n"
    "  hour, minute, second      fix time, UTC plus the correction\n"
    "  day, month, year          fix date (UTC)\n"
    "  hdop, satsUsed, fixQuality, rmcValid\n"
    "  gsaMode (\"\" while none), gsaFixType, pdop, gsaHdop, vdop\n"
    "  gsvMessages, gsvMessage, satsInView\n"
    "  updateFlags               bits: 1 latitude, 2 longitude, 4 altitude,\n"
    "                            8 speed, 16 course, 32 time, 64 date, 4096 hdop\n"
    "  sats                      12 objects: fixPrn, prn, elevation, azimuth, snr\n"
    "Floats are printed with 9 significant digits, which round-trips the\n"
    "single-precision values.\n"
    "\n"
    "options:\n"
    "  --utc HOURS   hours added to the receiver's UTC time, -12 to 12\n"
    "                (default: the stored \"Utc\" setting)\n"
    "  --help        show this text\n"
    "\n"
    "exit codes: 0 done, 1 FILE cannot be read, 2 bad arguments\n";

// The record's values in the order they are printed: floats with 9
// significant digits, integers, and the GSA mode letter as a string.
using RecordMember = std::variant<float CGpsTracker::*, int32_t CGpsTracker::*, int8_t CGpsTracker::*,
                                  uint32_t CGpsTracker::*, char CGpsTracker::*>;

struct RecordField
{
    std::string_view key;   // what goes before the value
    RecordMember pValue;
};

const RecordField DECODE_RECORD_FIELDS[] = {
    {",\"latitude\":", &CGpsTracker::m_fLatitude},
    {",\"longitude\":", &CGpsTracker::m_fLongitude},
    {",\"altitude\":", &CGpsTracker::m_fAltitude},
    {",\"speed\":", &CGpsTracker::m_fSpeed},
    {",\"course\":", &CGpsTracker::m_fCourse},
    {",\"hour\":", &CGpsTracker::m_nHour},
    {",\"minute\":", &CGpsTracker::m_nMinute},
    {",\"second\":", &CGpsTracker::m_nSecond},
    {",\"day\":", &CGpsTracker::m_nDay},
    {",\"month\":", &CGpsTracker::m_nMonth},
    {",\"year\":", &CGpsTracker::m_nYear},
    {",\"hdop\":", &CGpsTracker::m_fHdop},
    {",\"satsUsed\":", &CGpsTracker::m_nSatsUsed},
    {",\"rmcValid\":", &CGpsTracker::m_bRmcValid},
    {",\"fixQuality\":", &CGpsTracker::m_nFixQuality},
    {",\"gsaMode\":", &CGpsTracker::m_chGsaMode},
    {",\"gsaFixType\":", &CGpsTracker::m_nGsaFixType},
    {",\"pdop\":", &CGpsTracker::m_fPdop},
    {",\"gsaHdop\":", &CGpsTracker::m_fGsaHdop},
    {",\"vdop\":", &CGpsTracker::m_fVdop},
    {",\"gsvMessages\":", &CGpsTracker::m_nGsvMessages},
    {",\"gsvMessage\":", &CGpsTracker::m_nGsvMessage},
    {",\"satsInView\":", &CGpsTracker::m_nSatsInView},
    {",\"updateFlags\":", &CGpsTracker::m_nUpdateFlags},
};

// The values of each entry of the satellite table.
const struct
{
    std::string_view key;
    int32_t GpsSatellite::*pnValue;
} DECODE_SATELLITE_FIELDS[] = {
    {"{\"fixPrn\":", &GpsSatellite::nFixPrn},
    {",\"prn\":", &GpsSatellite::nPrn},
    {",\"elevation\":", &GpsSatellite::nElevation},
    {",\"azimuth\":", &GpsSatellite::nAzimuth},
    {",\"snr\":", &GpsSatellite::nSnr},
};

// Records gather in one buffer that goes out whole once it holds this much,
// and at the end of every chunk read.
constexpr size_t DECODE_OUTPUT_BLOCK = 256 * 1024;
constexpr size_t DECODE_READ_CHUNK = 64 * 1024;
constexpr int DECODE_FLOAT_DIGITS = 9;
constexpr size_t DECODE_NUMBER_SIZE = 32;

void AppendText(std::string& out, const char* pText, size_t nLength)
{
    out += '"';
    AppendJsonText(out, pText, nLength);
    out += '"';
}

// A char is a letter or nothing ("" while it is zero). Numbers are written
// as printf's "%.9g" and "%lld" would write them in the C locale, whatever
// the user's.
template <typename T>
void AppendValue(std::string& out, T value)
{
    if constexpr (std::is_same_v<T, char>) {
        AppendText(out, &value, value ? 1 : 0);
    } else {
        char text[DECODE_NUMBER_SIZE];
        std::to_chars_result result;
        if constexpr (std::is_floating_point_v<T>)
            result = std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::general,
                                   DECODE_FLOAT_DIGITS);
        else
            result = std::to_chars(text, text + sizeof text, static_cast<long long>(value));
        out.append(text, result.ptr);
    }
}

// Runs the bytes of a capture through the assembly and the decoder as they
// are read, each line a tick of its own, and prints the record after every
// line the decoder knows.
class CDecodeRun
{
public:
    explicit CDecodeRun(int nUtcCorrection)
        : m_nUtcCorrection(nUtcCorrection)
    {
        m_strOut.reserve(DECODE_OUTPUT_BLOCK + DECODE_READ_CHUNK);
    }

    void Feed(const char* p, const char* pEnd)
    {
        const auto onLine = [this](QStringView line) { DecodeLine(line); };
        while (p < pEnd) {
            if (m_bLineStart)
                m_tracker.BeginTick();
            const char* pFeed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(pEnd - p)));
            m_bLineStart = pFeed != nullptr;
            const char* pStop = pFeed ? pFeed + 1 : pEnd;
            m_assembler.Feed(p, static_cast<size_t>(pStop - p), onLine);
            p = pStop;
        }
        Flush();
    }

private:
    void Flush()
    {
        std::fwrite(m_strOut.data(), 1, m_strOut.size(), stdout);
        m_strOut.clear();
    }

    void DecodeLine(QStringView line)
    {
        ProcessSentence(m_tracker, line, m_nUtcCorrection);
        if (!RecogniseSentence(line))
            return;
        // The assembly hands each byte on as the character of the same code.
        m_strLine.resize(static_cast<size_t>(line.size()));
        for (qsizetype i = 0; i < line.size(); ++i)
            m_strLine[static_cast<size_t>(i)] = static_cast<char>(line[i].unicode());
        PrintRecord();
        if (m_strOut.size() >= DECODE_OUTPUT_BLOCK)
            Flush();
    }

    void PrintRecord()
    {
        size_t nLine = m_strLine.size();
        while (nLine > 0 && m_strLine[nLine - 1] == '\r')
            --nLine;
        std::string& out = m_strOut;
        out += "{\"line\":";
        AppendText(out, m_strLine.data(), nLine);
        for (const RecordField& field : DECODE_RECORD_FIELDS) {
            out += field.key;
            std::visit([this, &out](auto pValue) { AppendValue(out, m_tracker.*pValue); }, field.pValue);
        }
        out += ",\"sats\":[";
        for (int i = 0; i < GPS_SAT_COUNT; ++i) {
            if (i)
                out += ',';
            for (const auto& field : DECODE_SATELLITE_FIELDS) {
                out += field.key;
                AppendValue(out, m_tracker.m_aSats[i].*field.pnValue);
            }
            out += '}';
        }
        out += "]}\n";
    }

    CGpsTracker m_tracker;
    CSentenceAssembler m_assembler;
    const int m_nUtcCorrection;
    std::string m_strOut;
    std::string m_strLine;
    bool m_bLineStart = true;
};

}

int CliDecode(int argc, char** argv)
{
    std::optional<int> nUtc;
    const CliSyntax syntax{"decode", DECODE_USAGE, DECODE_HELP,
                           {CliInt("--utc", "HOURS", SETTINGS_UTC_MIN, SETTINGS_UTC_MAX, nUtc)}, {"FILE"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    const char* szFile = args[0];

    const int nUtcCorrection = nUtc ? *nUtc : LoadTrackerSettings().m_nUtcCorrection;

    const bool bStdin = !std::strcmp(szFile, "-");
    FILE* pFile = bStdin ? stdin : std::fopen(szFile, "rb");
    if (!pFile) {
        const QByteArray reason = SystemErrorText(errno).toLocal8Bit();
        std::fprintf(stderr, "veltrip-cli decode: cannot open %s: %s\n", EscapedText(szFile).c_str(),
                     reason.constData());
        return CLI_FAILED;
    }

    CDecodeRun run(nUtcCorrection);
    const std::unique_ptr<char[]> buffer(new char[DECODE_READ_CHUNK]);
    size_t nRead;
    while ((nRead = std::fread(buffer.get(), 1, DECODE_READ_CHUNK, pFile)) > 0)
        run.Feed(buffer.get(), buffer.get() + nRead);
    const bool bFailed = std::ferror(pFile);
    const int nError = errno;
    if (!bStdin)
        std::fclose(pFile);
    if (bFailed) {
        CliCannotRead("decode", szFile, SystemErrorText(nError));
        return CLI_FAILED;
    }
    return CLI_OK;
}
