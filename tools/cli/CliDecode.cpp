#include "tools/cli/CliCommands.h"

#include "gps/CGpsTracker.h"
#include "gps/NmeaDecoder.h"
#include "gps/TrackerSettings.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
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
    const char* szKey;
    RecordMember pValue;
};

const RecordField DECODE_RECORD_FIELDS[] = {
    {"latitude", &CGpsTracker::m_fLatitude},
    {"longitude", &CGpsTracker::m_fLongitude},
    {"altitude", &CGpsTracker::m_fAltitude},
    {"speed", &CGpsTracker::m_fSpeed},
    {"course", &CGpsTracker::m_fCourse},
    {"hour", &CGpsTracker::m_nHour},
    {"minute", &CGpsTracker::m_nMinute},
    {"second", &CGpsTracker::m_nSecond},
    {"day", &CGpsTracker::m_nDay},
    {"month", &CGpsTracker::m_nMonth},
    {"year", &CGpsTracker::m_nYear},
    {"hdop", &CGpsTracker::m_fHdop},
    {"satsUsed", &CGpsTracker::m_nSatsUsed},
    {"rmcValid", &CGpsTracker::m_bRmcValid},
    {"fixQuality", &CGpsTracker::m_nFixQuality},
    {"gsaMode", &CGpsTracker::m_chGsaMode},
    {"gsaFixType", &CGpsTracker::m_nGsaFixType},
    {"pdop", &CGpsTracker::m_fPdop},
    {"gsaHdop", &CGpsTracker::m_fGsaHdop},
    {"vdop", &CGpsTracker::m_fVdop},
    {"gsvMessages", &CGpsTracker::m_nGsvMessages},
    {"gsvMessage", &CGpsTracker::m_nGsvMessage},
    {"satsInView", &CGpsTracker::m_nSatsInView},
    {"updateFlags", &CGpsTracker::m_nUpdateFlags},
};

// The values of each entry of the satellite table.
const struct
{
    const char* szKey;
    int32_t GpsSatellite::*pnValue;
} DECODE_SATELLITE_FIELDS[] = {
    {"fixPrn", &GpsSatellite::nFixPrn},
    {"prn", &GpsSatellite::nPrn},
    {"elevation", &GpsSatellite::nElevation},
    {"azimuth", &GpsSatellite::nAzimuth},
    {"snr", &GpsSatellite::nSnr},
};

void AppendKey(std::string& out, const char* szKey)
{
    out += '"';
    out += szKey;
    out += "\":";
}

void AppendText(std::string& out, const char* pText, size_t nLength)
{
    out += '"';
    AppendEscapedText(out, pText, nLength);
    out += '"';
}

// A char is a letter or nothing ("" while it is zero).
template <typename T>
void AppendValue(std::string& out, T value)
{
    if constexpr (std::is_same_v<T, char>) {
        AppendText(out, &value, value ? 1 : 0);
    } else {
        char text[64];
        if constexpr (std::is_floating_point_v<T>)
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
        else
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
        out += text;
    }
}

void PrintRecord(const CGpsTracker& t, const char* pLine, size_t nLine)
{
    while (nLine > 0 && pLine[nLine - 1] == '\r')
        --nLine;
    std::string out = "{";
    AppendKey(out, "line");
    AppendText(out, pLine, nLine);
    for (const RecordField& field : DECODE_RECORD_FIELDS) {
        out += ',';
        AppendKey(out, field.szKey);
        std::visit([&out, &t](auto pValue) { AppendValue(out, t.*pValue); }, field.pValue);
    }
    out += ",\"sats\":[";
    for (int i = 0; i < GPS_SAT_COUNT; ++i) {
        if (i)
            out += ',';
        for (size_t j = 0; j < std::size(DECODE_SATELLITE_FIELDS); ++j) {
            out += j ? ',' : '{';
            AppendKey(out, DECODE_SATELLITE_FIELDS[j].szKey);
            AppendValue(out, t.m_aSats[i].*DECODE_SATELLITE_FIELDS[j].pnValue);
        }
        out += '}';
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// Decodes one line the assembly completed and prints the record after it,
// when the decoder knows the sentence.
void DecodeLine(CGpsTracker& tracker, QStringView line, int nUtcCorrection)
{
    ProcessSentence(tracker, line, nUtcCorrection);
    if (!RecogniseSentence(line))
        return;
    // The assembly hands each byte on as the character of the same code.
    std::string bytes(static_cast<size_t>(line.size()), '\0');
    for (qsizetype i = 0; i < line.size(); ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(line[i].unicode());
    PrintRecord(tracker, bytes.data(), bytes.size());
}

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
        std::fprintf(stderr, "veltrip-cli decode: cannot open %s: %s\n", CliEscaped(szFile).c_str(),
                     std::strerror(errno));
        return CLI_FAILED;
    }

    // Each line is a tick of its own, so its record shows what it delivered.
    CGpsTracker tracker;
    CSentenceAssembler assembler;
    const auto onLine = [&tracker, nUtcCorrection](QStringView line) { DecodeLine(tracker, line, nUtcCorrection); };
    bool bLineStart = true;
    char buffer[65536];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof buffer, pFile)) > 0) {
        const char* p = buffer;
        const char* pEnd = buffer + nRead;
        while (p < pEnd) {
            if (bLineStart)
                tracker.BeginTick();
            const char* pFeed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(pEnd - p)));
            bLineStart = pFeed != nullptr;
            const char* pStop = pFeed ? pFeed + 1 : pEnd;
            assembler.Feed(p, static_cast<size_t>(pStop - p), onLine);
            p = pStop;
        }
    }
    const bool bFailed = std::ferror(pFile);
    const int nError = errno;
    if (!bStdin)
        std::fclose(pFile);
    if (bFailed) {
        std::fprintf(stderr, "veltrip-cli decode: cannot read %s: %s\n", CliEscaped(szFile).c_str(),
                     std::strerror(nError));
        return CLI_FAILED;
    }
    return CLI_OK;
}
