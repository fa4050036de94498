#include "gps/NmeaDecoder.h"

#include "gps/CGpsTracker.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <type_traits>

namespace {

// Field codes: the action DecodeField performs on a field.
enum : int {
    NMEA_TIME = 1,
    NMEA_STATUS = 2,
    NMEA_LATITUDE = 3,
    NMEA_LAT_HEMISPHERE = 4,
    NMEA_LONGITUDE = 5,
    NMEA_LON_HEMISPHERE = 6,
    NMEA_SPEED = 7,
    NMEA_COURSE = 8,
    NMEA_DATE = 9,
    NMEA_FIX_QUALITY = 12,
    NMEA_SATS_USED = 13,
    NMEA_HDOP = 14,
    NMEA_ALTITUDE = 15,
    NMEA_ALTITUDE_UNIT = 16,
    NMEA_GSA_MODE = 21,
    NMEA_GSA_FIX_TYPE = 22,
    NMEA_GSA_PRN_1 = 23,   // the satellites used, one code per entry of the table
    NMEA_GSA_PRN_2,
    NMEA_GSA_PRN_3,
    NMEA_GSA_PRN_4,
    NMEA_GSA_PRN_5,
    NMEA_GSA_PRN_6,
    NMEA_GSA_PRN_7,
    NMEA_GSA_PRN_8,
    NMEA_GSA_PRN_9,
    NMEA_GSA_PRN_10,
    NMEA_GSA_PRN_11,
    NMEA_GSA_PRN_12,
    NMEA_GSA_PDOP = 35,
    NMEA_GSA_HDOP = 36,
    NMEA_GSA_VDOP = 37,
    NMEA_GSV_MESSAGES = 38,
    NMEA_GSV_MESSAGE = 39,
    NMEA_GSV_IN_VIEW = 40,
    // The values of the four satellites of a GSV page, column by column.
    NMEA_GSV_PRN_1 = 41,
    NMEA_GSV_PRN_2,
    NMEA_GSV_PRN_3,
    NMEA_GSV_PRN_4,
    NMEA_GSV_ELEVATION_1,
    NMEA_GSV_ELEVATION_2,
    NMEA_GSV_ELEVATION_3,
    NMEA_GSV_ELEVATION_4,
    NMEA_GSV_AZIMUTH_1,
    NMEA_GSV_AZIMUTH_2,
    NMEA_GSV_AZIMUTH_3,
    NMEA_GSV_AZIMUTH_4,
    NMEA_GSV_SNR_1,
    NMEA_GSV_SNR_2,
    NMEA_GSV_SNR_3,
    NMEA_GSV_SNR_4,
    NMEA_GSA_SYSTEM = 57,   // NMEA 4.10: the system the used PRNs belong to
    NMEA_GSV_SIGNAL = 58,   // NMEA 4.10: the signal a GSV cycle reports
    NMEA_CODE_LIMIT,   // one past the highest code
};

// The sentence kinds: the code of field 1, 2, ... of each, then one row per
// kind in the order recognition tries their codes.
constexpr int NMEA_RMC_FIELDS[] = {
    NMEA_TIME, NMEA_STATUS, NMEA_LATITUDE, NMEA_LAT_HEMISPHERE, NMEA_LONGITUDE, NMEA_LON_HEMISPHERE,
    NMEA_SPEED, NMEA_COURSE, NMEA_DATE};
constexpr int NMEA_GGA_FIELDS[] = {
    NMEA_TIME, NMEA_LATITUDE, NMEA_LAT_HEMISPHERE, NMEA_LONGITUDE, NMEA_LON_HEMISPHERE,
    NMEA_FIX_QUALITY, NMEA_SATS_USED, NMEA_HDOP, NMEA_ALTITUDE, NMEA_ALTITUDE_UNIT};
constexpr int NMEA_GSV_FIELDS[] = {
    NMEA_GSV_MESSAGES, NMEA_GSV_MESSAGE, NMEA_GSV_IN_VIEW,
    NMEA_GSV_PRN_1, NMEA_GSV_ELEVATION_1, NMEA_GSV_AZIMUTH_1, NMEA_GSV_SNR_1,
    NMEA_GSV_PRN_2, NMEA_GSV_ELEVATION_2, NMEA_GSV_AZIMUTH_2, NMEA_GSV_SNR_2,
    NMEA_GSV_PRN_3, NMEA_GSV_ELEVATION_3, NMEA_GSV_AZIMUTH_3, NMEA_GSV_SNR_3,
    NMEA_GSV_PRN_4, NMEA_GSV_ELEVATION_4, NMEA_GSV_AZIMUTH_4, NMEA_GSV_SNR_4, NMEA_GSV_SIGNAL};
constexpr int NMEA_GSA_FIELDS[] = {
    NMEA_GSA_MODE, NMEA_GSA_FIX_TYPE,
    NMEA_GSA_PRN_1, NMEA_GSA_PRN_2, NMEA_GSA_PRN_3, NMEA_GSA_PRN_4, NMEA_GSA_PRN_5, NMEA_GSA_PRN_6,
    NMEA_GSA_PRN_7, NMEA_GSA_PRN_8, NMEA_GSA_PRN_9, NMEA_GSA_PRN_10, NMEA_GSA_PRN_11, NMEA_GSA_PRN_12,
    NMEA_GSA_PDOP, NMEA_GSA_HDOP, NMEA_GSA_VDOP, NMEA_GSA_SYSTEM};

constexpr NmeaSentenceKind NMEA_SENTENCES[] = {
    {u"RMC", NMEA_RMC_FIELDS},
    {u"GGA", NMEA_GGA_FIELDS},
    {u"GSV", NMEA_GSV_FIELDS},
    {u"GSA", NMEA_GSA_FIELDS},
};

constexpr size_t NMEA_KIND_COUNT = std::size(NMEA_SENTENCES);
constexpr qsizetype NMEA_CODE_LENGTH = 3;

// Recognition looks at the last character of a window of three: a code may
// be there when a code ends with it, and the window moves on as far as no
// code can start in between (Horspool's rule), three places for a character
// in no code, so that the digits and commas of a line are mostly skipped.
struct NmeaCodeStep
{
    bool bEnds;
    uint8_t nShift;
};

constexpr size_t NMEA_CODE_CHARS = 128;   // codes are ASCII
constexpr NmeaCodeStep NMEA_NO_CODE_STEP = {false, NMEA_CODE_LENGTH};

constexpr auto NMEA_CODE_STEPS = [] {
    std::array<NmeaCodeStep, NMEA_CODE_CHARS> aSteps{};
    aSteps.fill(NMEA_NO_CODE_STEP);
    for (const NmeaSentenceKind& kind : NMEA_SENTENCES) {
        aSteps[kind.szCode[NMEA_CODE_LENGTH - 1]].bEnds = true;
        for (qsizetype j = 0; j + 1 < NMEA_CODE_LENGTH; ++j) {
            uint8_t& nShift = aSteps[kind.szCode[j]].nShift;
            nShift = std::min(nShift, uint8_t(NMEA_CODE_LENGTH - 1 - j));
        }
    }
    return aSteps;
}();
static_assert(std::all_of(NMEA_CODE_STEPS.begin(), NMEA_CODE_STEPS.end(),
                          [](const NmeaCodeStep& step) { return step.nShift > 0; }));

bool IsCodeAt(const NmeaSentenceKind& kind, const char16_t* p)
{
    return std::equal(kind.szCode, kind.szCode + NMEA_CODE_LENGTH, p);
}

constexpr double NMEA_ONE_SIXTIETH = 0.016666666666666666;
constexpr double NMEA_MAX_LATITUDE = 90.001;
constexpr double NMEA_MAX_LONGITUDE = 180.001;
constexpr float NMEA_MAX_ALTITUDE = 10000;
constexpr float NMEA_MAX_COURSE = 360;
constexpr int NMEA_GSV_PAGE_SATS = 4;
constexpr int NMEA_GSV_PAGES = GPS_SAT_COUNT / NMEA_GSV_PAGE_SATS;

// The scans below read a number from the front of a field the way sscanf does
// with the quoted format: blanks are skipped first, a width limits the
// characters read after them, and reading stops at the first character that
// cannot belong to the number. They move p past what they read and return
// false, leaving the target alone, when no number is there.

bool IsBlank(char16_t ch)
{
    return ch == u' ' || (ch >= u'\t' && ch <= u'\r');
}

bool IsDigit(char16_t ch)
{
    return ch >= u'0' && ch <= u'9';
}

void SkipBlanks(const char16_t*& p, const char16_t* pEnd)
{
    while (p < pEnd && IsBlank(*p))
        ++p;
}

// "%<width>d"
bool ScanInt(const char16_t*& p, const char16_t* pEnd, int nWidth, int32_t& nValue)
{
    SkipBlanks(p, pEnd);
    const char16_t* pLimit = pEnd - p > nWidth ? p + nWidth : pEnd;
    bool bNegative = false;
    if (p < pLimit && (*p == u'+' || *p == u'-'))
        bNegative = *p++ == u'-';
    // Every satellite in view is four of these: one test per digit.
    const char16_t* const pDigits = p;
    int32_t n = 0;
    for (unsigned nDigit = 0; p < pLimit && (nDigit = unsigned(*p) - u'0') <= 9; ++p)
        n = n * 10 + int32_t(nDigit);
    if (p == pDigits)
        return false;
    nValue = bNegative ? -n : n;
    return true;
}

// "%f" on plain decimals: [sign] digits [. digits], rounded as strtof does.
// Exponents, "inf" and "nan" are not read; receivers send plain decimals. A
// number too large for a float is not read either: it would be infinite.
bool ScanFloat(const char16_t* p, const char16_t* pEnd, float& fValue)
{
    SkipBlanks(p, pEnd);
    char text[GPS_LINE_SIZE + 2];
    size_t nText = 0;
    bool bNegative = false;
    if (p < pEnd && (*p == u'+' || *p == u'-'))
        bNegative = *p++ == u'-';
    bool bDigits = false;
    bool bWhole = false;   // a non-zero digit before the point
    while (p < pEnd && IsDigit(*p) && nText < GPS_LINE_SIZE) {
        bWhole |= *p != u'0';
        text[nText++] = static_cast<char>(*p++);
        bDigits = true;
    }
    if (p < pEnd && *p == u'.' && nText < GPS_LINE_SIZE) {
        text[nText++] = static_cast<char>(*p++);
        while (p < pEnd && IsDigit(*p) && nText < GPS_LINE_SIZE) {
            text[nText++] = static_cast<char>(*p++);
            bDigits = true;
        }
    }
    if (!bDigits)
        return false;
    float f = 0;
    const std::from_chars_result result = std::from_chars(text, text + nText, f, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range && !bWhole)
        f = 0.0f;   // too small: rounds to zero
    else if (result.ec != std::errc())
        return false;
    fValue = bNegative ? -f : f;
    return true;
}

bool ScanFloat(QStringView field, float& fValue)
{
    return ScanFloat(field.utf16(), field.utf16() + field.size(), fValue);
}

// "%02d%02d%02d": hhmmss or ddmmyy; true only when all three are read.
bool ScanTriple(QStringView field, int32_t (&aValues)[3])
{
    const char16_t* p = field.utf16();
    const char16_t* pEnd = p + field.size();
    int32_t aRead[3];
    for (int32_t& n : aRead) {
        if (!ScanInt(p, pEnd, 2, n))
            return false;
    }
    std::copy(aRead, aRead + 3, aValues);
    return true;
}

bool ScanInt(QStringView field, int nWidth, int32_t& nValue)
{
    const char16_t* p = field.utf16();
    return ScanInt(p, p + field.size(), nWidth, nValue);
}

template <typename T>
void ScanSmallInt(QStringView field, int nWidth, T& target)
{
    int32_t n = 0;
    if (ScanInt(field, nWidth, n))
        target = static_cast<T>(n);
}

// The actions of the field codes. Each takes the field (never empty) and its
// code and returns the update bits it earned.
using FieldDecoder = uint32_t (*)(CGpsTracker& tracker, QStringView field, int nCode, int nUtcCorrection);

// A number read into one member; the bit is earned whether or not it reads.
template <float CGpsTracker::*pfValue, uint32_t nBit>
uint32_t DecodeNumber(CGpsTracker& tracker, QStringView field, int, int)
{
    ScanFloat(field, tracker.*pfValue);
    return nBit;
}

// A count of up to two digits.
template <auto pnValue>
uint32_t DecodeCount(CGpsTracker& tracker, QStringView field, int, int)
{
    ScanSmallInt(field, 2, tracker.*pnValue);
    return 0;
}

// One digit: the first character less "0", whatever that character is.
template <auto pnValue>
uint32_t DecodeDigit(CGpsTracker& tracker, QStringView field, int, int)
{
    auto& target = tracker.*pnValue;
    target = static_cast<std::remove_reference_t<decltype(target)>>(field.front().unicode() - u'0');
    return 0;
}

// A coordinate arrives as two fields: ddmm.mmmm or dddmm.mmmm, then the
// hemisphere letter.
struct Coordinate
{
    float CGpsTracker::*pfValue;
    int nDegreeChars;
    char16_t chNegative;
    double dLimit;
    uint32_t nBit;
};

constexpr Coordinate NMEA_LATITUDE_AXIS = {&CGpsTracker::m_fLatitude, 2, u'S', NMEA_MAX_LATITUDE, UPD_LATITUDE};
constexpr Coordinate NMEA_LONGITUDE_AXIS = {&CGpsTracker::m_fLongitude, 3, u'W', NMEA_MAX_LONGITUDE,
                                            UPD_LONGITUDE};

// Whole degrees from the first characters, then the minutes; the value stays
// unsigned until the hemisphere field.
template <const Coordinate& axis>
uint32_t DecodeDegrees(CGpsTracker& tracker, QStringView field, int, int)
{
    const qsizetype nDegreeChars = std::min<qsizetype>(axis.nDegreeChars, field.size());
    int32_t nDegrees = 0;
    if (!ScanInt(field.first(nDegreeChars), axis.nDegreeChars, nDegrees))
        return 0;
    float fMinutes = 0;
    if (!ScanFloat(field.sliced(nDegreeChars), fMinutes))
        return 0;
    tracker.*axis.pfValue = static_cast<float>(fMinutes * NMEA_ONE_SIXTIETH) + static_cast<float>(nDegrees);
    return 0;
}

// Range test on the unsigned value, then the sign of the hemisphere.
template <const Coordinate& axis>
uint32_t DecodeHemisphere(CGpsTracker& tracker, QStringView field, int, int)
{
    float& fValue = tracker.*axis.pfValue;
    const uint32_t nResult = fValue >= 0 && static_cast<double>(fValue) < axis.dLimit ? axis.nBit : 0;
    if (field.front() == axis.chNegative)
        fValue = -fValue;
    return nResult;
}

uint32_t DecodeTime(CGpsTracker& tracker, QStringView field, int, int nUtcCorrection)
{
    int32_t aTime[3];
    if (!ScanTriple(field, aTime))
        return 0;
    // Wide enough for any stored correction; one step either way only.
    int64_t nHour = int64_t{aTime[0]} + nUtcCorrection;
    if (nHour < 0)
        nHour += 24;
    if (nHour > 23)
        nHour -= 24;
    tracker.m_nHour = static_cast<int32_t>(nHour);
    tracker.m_nMinute = aTime[1];
    tracker.m_nSecond = aTime[2];
    return UPD_TIME;
}

uint32_t DecodeDate(CGpsTracker& tracker, QStringView field, int, int)
{
    int32_t aDate[3];
    if (!ScanTriple(field, aDate))
        return 0;
    tracker.m_nDay = aDate[0];
    tracker.m_nMonth = aDate[1];
    tracker.m_nYear = 2000 + aDate[2];
    return UPD_DATE;
}

uint32_t DecodeStatus(CGpsTracker& tracker, QStringView field, int, int)
{
    tracker.m_bRmcValid = field.front() != u'V' ? 1 : 0;
    tracker.m_bFixVouched = tracker.m_bRmcValid != 0 || tracker.m_bFixVouched;
    return 0;
}

// Quality 0 is no fix; what is no digit vouches for nothing either.
uint32_t DecodeFixQuality(CGpsTracker& tracker, QStringView field, int nCode, int nUtcCorrection)
{
    DecodeDigit<&CGpsTracker::m_nFixQuality>(tracker, field, nCode, nUtcCorrection);
    tracker.m_bFixVouched = (tracker.m_nFixQuality >= 1 && tracker.m_nFixQuality <= 9) || tracker.m_bFixVouched;
    return 0;
}

// The unit letter is not examined; its presence clears an impossible altitude.
uint32_t DecodeAltitudeUnit(CGpsTracker& tracker, QStringView, int, int)
{
    if (tracker.m_fAltitude < 0 || tracker.m_fAltitude > NMEA_MAX_ALTITUDE)
        tracker.m_fAltitude = 0;
    return 0;
}

// A GSA mode starts a new list of satellites used and new dilutions.
uint32_t DecodeGsaMode(CGpsTracker& tracker, QStringView field, int, int)
{
    tracker.m_chGsaMode = static_cast<char>(field.front().unicode() & 0xFF);
    for (GpsSatellite& sat : tracker.m_aSats)
        sat.nFixPrn = 0;
    tracker.m_fPdop = 0;
    tracker.m_fGsaHdop = 0;
    tracker.m_fVdop = 0;
    tracker.m_sky.BeginUsedList();
    return 0;
}

uint32_t DecodeUsedPrn(CGpsTracker& tracker, QStringView field, int nCode, int)
{
    int32_t& nFixPrn = tracker.m_aSats[nCode - NMEA_GSA_PRN_1].nFixPrn;
    if (ScanInt(field, 3, nFixPrn))
        tracker.m_sky.AddUsed(nFixPrn);
    return 0;
}

uint32_t DecodeGsaSystem(CGpsTracker& tracker, QStringView field, int, int)
{
    tracker.m_sky.SetUsedSystem(field);
    return 0;
}

// A GSV number of up to two digits for the sky table's page (the count of
// messages, the message number, the signal id) and, where it has one, for
// the record's member.
template <void (CSkyTable::*pfnSetPage)(int), int8_t CGpsTracker::*pnRecord = nullptr>
uint32_t DecodeGsvNumber(CGpsTracker& tracker, QStringView field, int, int)
{
    int32_t nValue = 0;
    if (!ScanInt(field, 2, nValue))
        return 0;
    if constexpr (pnRecord != nullptr)
        tracker.*pnRecord = static_cast<int8_t>(nValue);
    (tracker.m_sky.*pfnSetPage)(nValue);
    return 0;
}

// One value of a satellite in view, on the page of the GSV message being
// decoded: into the sky table's page, and into the record's entry when the
// page is one of its three. Azimuths run to 359 and the PRNs of the newer
// systems past 99, so both take three digits.
uint32_t DecodeSatelliteInView(CGpsTracker& tracker, QStringView field, int nCode, int)
{
    static constexpr struct {
        int32_t GpsSatellite::*pnValue;
        ESkyColumn eColumn;
        int nWidth;
    } COLUMNS[] = {{&GpsSatellite::nPrn, ESkyColumn::Prn, 3},
                   {&GpsSatellite::nElevation, ESkyColumn::Elevation, 2},
                   {&GpsSatellite::nAzimuth, ESkyColumn::Azimuth, 3},
                   {&GpsSatellite::nSnr, ESkyColumn::Snr, 2}};
    const int nValue = nCode - NMEA_GSV_PRN_1;
    const auto& column = COLUMNS[nValue / NMEA_GSV_PAGE_SATS];
    int32_t n = 0;
    if (!ScanInt(field, column.nWidth, n))
        return 0;
    tracker.m_sky.SetPageValue(nValue % NMEA_GSV_PAGE_SATS, column.eColumn, n);
    if (tracker.m_nGsvMessage < 1 || tracker.m_nGsvMessage > NMEA_GSV_PAGES)
        return 0;
    const int nEntry = NMEA_GSV_PAGE_SATS * (tracker.m_nGsvMessage - 1) + nValue % NMEA_GSV_PAGE_SATS;
    tracker.m_aSats[nEntry].*column.pnValue = n;
    return 0;
}

// The codes with an action, each with its decoder; a run of nCount codes
// shares one. Codes not listed do nothing.
struct FieldAction
{
    int nCode;
    FieldDecoder pfnDecode;
    int nCount = 1;
};

constexpr FieldAction NMEA_FIELD_ACTIONS[] = {
    {NMEA_TIME, DecodeTime},
    {NMEA_STATUS, DecodeStatus},
    {NMEA_LATITUDE, DecodeDegrees<NMEA_LATITUDE_AXIS>},
    {NMEA_LAT_HEMISPHERE, DecodeHemisphere<NMEA_LATITUDE_AXIS>},
    {NMEA_LONGITUDE, DecodeDegrees<NMEA_LONGITUDE_AXIS>},
    {NMEA_LON_HEMISPHERE, DecodeHemisphere<NMEA_LONGITUDE_AXIS>},
    {NMEA_SPEED, DecodeNumber<&CGpsTracker::m_fSpeed, UPD_SPEED>},
    {NMEA_COURSE, DecodeNumber<&CGpsTracker::m_fCourse, UPD_COURSE>},
    {NMEA_DATE, DecodeDate},
    {NMEA_FIX_QUALITY, DecodeFixQuality},
    {NMEA_SATS_USED, DecodeCount<&CGpsTracker::m_nSatsUsed>},
    {NMEA_HDOP, DecodeNumber<&CGpsTracker::m_fHdop, UPD_HDOP>},
    {NMEA_ALTITUDE, DecodeNumber<&CGpsTracker::m_fAltitude, UPD_ALTITUDE>},
    {NMEA_ALTITUDE_UNIT, DecodeAltitudeUnit},
    {NMEA_GSA_MODE, DecodeGsaMode},
    {NMEA_GSA_FIX_TYPE, DecodeDigit<&CGpsTracker::m_nGsaFixType>},
    {NMEA_GSA_PRN_1, DecodeUsedPrn, GPS_SAT_COUNT},
    {NMEA_GSA_PDOP, DecodeNumber<&CGpsTracker::m_fPdop, 0>},
    {NMEA_GSA_HDOP, DecodeNumber<&CGpsTracker::m_fGsaHdop, 0>},
    {NMEA_GSA_VDOP, DecodeNumber<&CGpsTracker::m_fVdop, 0>},
    {NMEA_GSA_SYSTEM, DecodeGsaSystem},
    {NMEA_GSV_MESSAGES, DecodeGsvNumber<&CSkyTable::SetPageCount, &CGpsTracker::m_nGsvMessages>},
    {NMEA_GSV_MESSAGE, DecodeGsvNumber<&CSkyTable::SetPageNumber, &CGpsTracker::m_nGsvMessage>},
    {NMEA_GSV_IN_VIEW, DecodeCount<&CGpsTracker::m_nSatsInView>},
    {NMEA_GSV_PRN_1, DecodeSatelliteInView, NMEA_GSV_SNR_4 - NMEA_GSV_PRN_1 + 1},
    {NMEA_GSV_SIGNAL, DecodeGsvNumber<&CSkyTable::SetSignal>},
};

// The decoders indexed by code: one look-up per field.
constexpr auto NMEA_DECODERS = [] {
    std::array<FieldDecoder, NMEA_CODE_LIMIT> apfnDecoders{};
    for (const FieldAction& action : NMEA_FIELD_ACTIONS)
        std::fill_n(apfnDecoders.begin() + action.nCode, action.nCount, action.pfnDecode);
    return apfnDecoders;
}();

// The exclusive or of the characters, four at a time in one 64-bit word:
// every line is summed, and a character at a time would cost more than
// recognising the line.
int XorOf(const char16_t* p, const char16_t* pEnd)
{
    constexpr size_t NMEA_WORD_CHARS = sizeof(uint64_t) / sizeof(char16_t);
    uint64_t nWords = 0;
    for (; size_t(pEnd - p) >= NMEA_WORD_CHARS; p += NMEA_WORD_CHARS) {
        uint64_t nWord = 0;
        std::memcpy(&nWord, p, sizeof nWord);
        nWords ^= nWord;
    }
    auto nSum = char16_t(nWords ^ (nWords >> 16) ^ (nWords >> 32) ^ (nWords >> 48));
    for (; p < pEnd; ++p)
        nSum ^= *p;
    return nSum;
}

// Whether the "*hh" suffix of a line (less a trailing CR) matches the XOR of
// the characters between its first character and the "*"; nothing when the
// line has no such suffix.
std::optional<bool> ChecksumMatches(QStringView line)
{
    if (!line.isEmpty() && line.back() == u'\r')
        line.chop(1);
    const qsizetype nStar = line.size() - 3;
    if (nStar < 1 || line[nStar] != u'*')
        return std::nullopt;
    int nStated = 0;
    for (const QChar ch : line.sliced(nStar + 1)) {
        const char16_t c = ch.unicode();
        const int nDigit = IsDigit(c) ? c - u'0'
                           : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                           : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                      : -1;
        if (nDigit < 0)
            return std::nullopt;
        nStated = nStated * 16 + nDigit;
    }
    return XorOf(line.utf16() + 1, line.utf16() + nStar) == nStated;
}

}

bool HasWrongChecksum(QStringView line)
{
    const std::optional<bool> bMatches = ChecksumMatches(line);
    return bMatches && !*bMatches;
}

bool HasRightChecksum(QStringView line)
{
    const std::optional<bool> bMatches = ChecksumMatches(line);
    return bMatches && *bMatches;
}

const NmeaSentenceKind* RecogniseSentence(QStringView line)
{
    // Only a line that starts with "$" is a sentence: AIS ("!"), comments in
    // captures and the tail of a line cut short must not store a point.
    if (line.isEmpty() || line.front() != u'$' || HasWrongChecksum(line))
        return nullptr;
    // One pass from the character after the "$": at each place only the kinds
    // before the best found so far are tried, and the first kind ends it.
    size_t nBest = NMEA_KIND_COUNT;
    const char16_t* p = line.utf16();
    const qsizetype n = line.size();
    for (qsizetype i = 1; i + NMEA_CODE_LENGTH <= n && nBest > 0;) {
        const char16_t chLast = p[i + NMEA_CODE_LENGTH - 1];
        const NmeaCodeStep step = chLast < NMEA_CODE_CHARS ? NMEA_CODE_STEPS[chLast] : NMEA_NO_CODE_STEP;
        for (size_t k = 0; step.bEnds && k < nBest; ++k) {
            if (IsCodeAt(NMEA_SENTENCES[k], p + i))
                nBest = k;
        }
        i += step.nShift;
    }
    return nBest < NMEA_KIND_COUNT ? &NMEA_SENTENCES[nBest] : nullptr;
}

void ProcessSentence(CGpsTracker& tracker, QStringView line, int nUtcCorrection)
{
    const NmeaSentenceKind* pKind = RecogniseSentence(line);
    if (!pKind)
        return;
    if (tracker.m_fCourse < 0 || tracker.m_fCourse > NMEA_MAX_COURSE)
        tracker.m_fCourse = 0;

    tracker.m_sky.BeginLine(line);
    const std::span<const int> codes = pKind->fieldCodes;
    // The fields are found by a plain scan: a line is short, and a library
    // search per field would cost more than the field's decoding.
    const char16_t* const pEnd = line.utf16() + line.size();
    const char16_t* pComma = std::find(line.utf16(), pEnd, u',');
    size_t k = 0;
    for (; pComma != pEnd && k < codes.size(); ++k) {
        const char16_t* const pStart = pComma + 1;
        pComma = std::find(pStart, pEnd, u',');
        tracker.m_nUpdateFlags |= DecodeField(tracker, QStringView(pStart, pComma), codes[k], nUtcCorrection);
    }
    tracker.m_sky.EndLine(int(k));
}

uint32_t DecodeField(CGpsTracker& tracker, QStringView field, int nCode, int nUtcCorrection)
{
    if (field.isEmpty() || field.front() == u',' || nCode < 0 || nCode >= NMEA_CODE_LIMIT)
        return 0;
    const FieldDecoder pfnDecode = NMEA_DECODERS[static_cast<size_t>(nCode)];
    return pfnDecode ? pfnDecode(tracker, field, nCode, nUtcCorrection) : 0;
}
