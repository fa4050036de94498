#include "gps/NmeaDecoder.h"

#include "gps/CGpsTracker.h"

#include <algorithm>
#include <charconv>
#include <span>

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
    NMEA_GSA_PRN_FIRST = 23,
    NMEA_GSA_PRN_LAST = 34,
    NMEA_GSA_PDOP = 35,
    NMEA_GSA_HDOP = 36,
    NMEA_GSA_VDOP = 37,
    NMEA_GSV_MESSAGES = 38,
    NMEA_GSV_MESSAGE = 39,
    NMEA_GSV_IN_VIEW = 40,
    NMEA_GSV_SAT_FIRST = 41,
    NMEA_GSV_SAT_LAST = 56,
};

// Code of field 1, field 2, ... per sentence type; fields past the end of
// a table are ignored.
const int NMEA_RMC_CODES[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
const int NMEA_GGA_CODES[] = {1, 3, 4, 5, 6, 12, 13, 14, 15, 16};
const int NMEA_GSA_CODES[] = {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37};
const int NMEA_GSV_CODES[] = {38, 39, 40, 41, 45, 49, 53, 42, 46, 50, 54,
                              43, 47, 51, 55, 44, 48, 52, 56};

std::span<const int> FieldCodes(NmeaSentence type)
{
    switch (type) {
    case NmeaSentence::Rmc:
        return NMEA_RMC_CODES;
    case NmeaSentence::Gga:
        return NMEA_GGA_CODES;
    case NmeaSentence::Gsv:
        return NMEA_GSV_CODES;
    case NmeaSentence::Gsa:
        return NMEA_GSA_CODES;
    case NmeaSentence::None:
        break;
    }
    return {};
}

constexpr double NMEA_ONE_SIXTIETH = 0.016666666666666666;
constexpr double NMEA_MAX_LATITUDE = 90.001;
constexpr double NMEA_MAX_LONGITUDE = 180.001;
constexpr float NMEA_MAX_ALTITUDE = 10000;
constexpr float NMEA_MAX_COURSE = 360;
constexpr int NMEA_GSV_PAGES = GPS_SAT_COUNT / 4;

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
    if (p == pLimit || !IsDigit(*p))
        return false;
    int32_t n = 0;
    while (p < pLimit && IsDigit(*p))
        n = n * 10 + (*p++ - u'0');
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

// ddmm.mmmm or dddmm.mmmm: whole degrees from the first nDegreeChars
// characters, then the minutes; the value stays unsigned until the
// hemisphere field.
void ScanCoordinate(QStringView field, int nDegreeChars, float& fTarget)
{
    int32_t nDegrees = 0;
    if (!ScanInt(field.first(std::min<qsizetype>(nDegreeChars, field.size())), nDegreeChars, nDegrees))
        return;
    float fMinutes = 0;
    if (!ScanFloat(field.sliced(std::min<qsizetype>(nDegreeChars, field.size())), fMinutes))
        return;
    fTarget = static_cast<float>(fMinutes * NMEA_ONE_SIXTIETH) + static_cast<float>(nDegrees);
}

// Range test on the unsigned value, then the sign of the hemisphere.
uint32_t ApplyHemisphere(QStringView field, char16_t chNegative, double dLimit, uint32_t nBit, float& fTarget)
{
    const uint32_t nResult = fTarget >= 0 && static_cast<double>(fTarget) < dLimit ? nBit : 0;
    if (field.front() == chNegative)
        fTarget = -fTarget;
    return nResult;
}

// Fields read as one number into one member, with the update bit they earn.
struct NumberField
{
    int nCode;
    float CGpsTracker::*pfValue;
    uint32_t nBit;
};

const NumberField NMEA_NUMBER_FIELDS[] = {
    {NMEA_SPEED, &CGpsTracker::m_fSpeed, UPD_SPEED},
    {NMEA_COURSE, &CGpsTracker::m_fCourse, UPD_COURSE},
    {NMEA_HDOP, &CGpsTracker::m_fHdop, UPD_HDOP},
    {NMEA_ALTITUDE, &CGpsTracker::m_fAltitude, UPD_ALTITUDE},
    {NMEA_GSA_PDOP, &CGpsTracker::m_fPdop, 0},
    {NMEA_GSA_HDOP, &CGpsTracker::m_fGsaHdop, 0},
    {NMEA_GSA_VDOP, &CGpsTracker::m_fVdop, 0},
};

// The GSV counts, two digits each.
struct CountField
{
    int nCode;
    int8_t CGpsTracker::*pnValue;
};

const CountField NMEA_COUNT_FIELDS[] = {
    {NMEA_GSV_MESSAGES, &CGpsTracker::m_nGsvMessages},
    {NMEA_GSV_MESSAGE, &CGpsTracker::m_nGsvMessage},
    {NMEA_GSV_IN_VIEW, &CGpsTracker::m_nSatsInView},
};

// One value of a satellite in view: codes run column by column (PRN,
// elevation, azimuth, SNR), four satellites each, on the page of the GSV
// message being decoded. Azimuths run to 359 and the PRNs of the newer
// systems past 99, so both take three digits.
void DecodeSatelliteInView(CGpsTracker& tracker, QStringView field, int nCode)
{
    if (tracker.m_nGsvMessage < 1 || tracker.m_nGsvMessage > NMEA_GSV_PAGES)
        return;
    static constexpr struct {
        int32_t GpsSatellite::*pnValue;
        int nWidth;
    } COLUMNS[] = {{&GpsSatellite::nPrn, 3}, {&GpsSatellite::nElevation, 2}, {&GpsSatellite::nAzimuth, 3},
                   {&GpsSatellite::nSnr, 2}};
    const auto& column = COLUMNS[(nCode - NMEA_GSV_SAT_FIRST) / 4];
    GpsSatellite& sat = tracker.m_aSats[4 * (tracker.m_nGsvMessage - 1) + (nCode - NMEA_GSV_SAT_FIRST) % 4];
    ScanInt(field, column.nWidth, sat.*column.pnValue);
}

uint32_t DecodeTime(CGpsTracker& tracker, QStringView field, int nUtcCorrection)
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

uint32_t DecodeDate(CGpsTracker& tracker, QStringView field)
{
    int32_t aDate[3];
    if (!ScanTriple(field, aDate))
        return 0;
    tracker.m_nDay = aDate[0];
    tracker.m_nMonth = aDate[1];
    tracker.m_nYear = 2000 + aDate[2];
    return UPD_DATE;
}

// A GSA mode starts a new list of satellites used and new dilutions.
void DecodeGsaMode(CGpsTracker& tracker, char16_t chMode)
{
    tracker.m_chGsaMode = static_cast<char>(chMode & 0xFF);
    for (GpsSatellite& sat : tracker.m_aSats)
        sat.nFixPrn = 0;
    tracker.m_fPdop = 0;
    tracker.m_fGsaHdop = 0;
    tracker.m_fVdop = 0;
}

// The fields with a rule of their own.
uint32_t DecodeOtherField(CGpsTracker& tracker, QStringView field, int nCode, int nUtcCorrection)
{
    const char16_t chFirst = field.front().unicode();
    switch (nCode) {
    case NMEA_TIME:
        return DecodeTime(tracker, field, nUtcCorrection);
    case NMEA_STATUS:
        tracker.m_bRmcValid = chFirst != u'V' ? 1 : 0;
        return 0;
    case NMEA_LATITUDE:
        ScanCoordinate(field, 2, tracker.m_fLatitude);
        return 0;
    case NMEA_LAT_HEMISPHERE:
        return ApplyHemisphere(field, u'S', NMEA_MAX_LATITUDE, UPD_LATITUDE, tracker.m_fLatitude);
    case NMEA_LONGITUDE:
        ScanCoordinate(field, 3, tracker.m_fLongitude);
        return 0;
    case NMEA_LON_HEMISPHERE:
        return ApplyHemisphere(field, u'W', NMEA_MAX_LONGITUDE, UPD_LONGITUDE, tracker.m_fLongitude);
    case NMEA_DATE:
        return DecodeDate(tracker, field);
    case NMEA_FIX_QUALITY:
        tracker.m_nFixQuality = chFirst - u'0';
        return 0;
    case NMEA_SATS_USED:
        ScanInt(field, 2, tracker.m_nSatsUsed);
        return 0;
    case NMEA_ALTITUDE_UNIT:
        if (tracker.m_fAltitude < 0 || tracker.m_fAltitude > NMEA_MAX_ALTITUDE)
            tracker.m_fAltitude = 0;
        return 0;
    case NMEA_GSA_MODE:
        DecodeGsaMode(tracker, chFirst);
        return 0;
    case NMEA_GSA_FIX_TYPE:
        tracker.m_nGsaFixType = static_cast<int8_t>(chFirst - u'0');
        return 0;
    default:
        return 0;
    }
}

}

bool HasWrongChecksum(QStringView line)
{
    if (!line.isEmpty() && line.back() == u'\r')
        line.chop(1);
    const qsizetype nStar = line.size() - 3;
    if (nStar < 1 || line[nStar] != u'*')
        return false;
    int nStated = 0;
    for (const QChar ch : line.sliced(nStar + 1)) {
        const char16_t c = ch.unicode();
        const int nDigit = IsDigit(c) ? c - u'0'
                           : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                           : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                      : -1;
        if (nDigit < 0)
            return false;
        nStated = nStated * 16 + nDigit;
    }
    int nSum = 0;
    for (const QChar ch : line.sliced(1, nStar - 1))
        nSum ^= ch.unicode();
    return nSum != nStated;
}

NmeaSentence RecogniseSentence(QStringView line)
{
    // Only a line that starts with "$" is a sentence: AIS ("!"), comments in
    // captures and the tail of a line cut short must not store a point.
    if (line.isEmpty() || line.front() != u'$' || HasWrongChecksum(line))
        return NmeaSentence::None;
    static constexpr char16_t CODES[4][3] = {
        {u'R', u'M', u'C'}, {u'G', u'G', u'A'}, {u'G', u'S', u'V'}, {u'G', u'S', u'A'}};
    static constexpr NmeaSentence TYPES[4] = {NmeaSentence::Rmc, NmeaSentence::Gga, NmeaSentence::Gsv,
                                              NmeaSentence::Gsa};
    // First position of each code; only the first occurrence counts, so a
    // code that first appears at position 0 is out whatever follows.
    qsizetype aFirst[4] = {-1, -1, -1, -1};
    const char16_t* p = line.utf16();
    const qsizetype n = line.size();
    for (qsizetype i = 0; i + 3 <= n; ++i) {
        if (p[i] != u'R' && p[i] != u'G')
            continue;
        for (int c = 0; c < 4; ++c) {
            if (aFirst[c] < 0 && p[i] == CODES[c][0] && p[i + 1] == CODES[c][1] && p[i + 2] == CODES[c][2])
                aFirst[c] = i;
        }
        if (aFirst[0] > 0)
            return NmeaSentence::Rmc;
    }
    for (int c = 0; c < 4; ++c) {
        if (aFirst[c] > 0)
            return TYPES[c];
    }
    return NmeaSentence::None;
}

void CGpsTracker::ProcessSentence(QStringView line, int nUtcCorrection)
{
    const std::span<const int> codes = FieldCodes(RecogniseSentence(line));
    if (codes.empty())
        return;
    if (m_fCourse < 0 || m_fCourse > NMEA_MAX_COURSE)
        m_fCourse = 0;

    const qsizetype nLength = line.size();
    qsizetype nComma = line.indexOf(u',');
    for (size_t k = 0; nComma >= 0 && k < codes.size(); ++k) {
        const qsizetype nStart = nComma + 1;
        nComma = line.indexOf(u',', nStart);
        const qsizetype nEnd = nComma < 0 ? nLength : nComma;
        m_nUpdateFlags |= DecodeField(line.sliced(nStart, nEnd - nStart), codes[k], nUtcCorrection);
    }
}

uint32_t CGpsTracker::DecodeField(QStringView field, int nCode, int nUtcCorrection)
{
    if (field.isEmpty() || field.front() == u',')
        return 0;
    if (nCode >= NMEA_GSA_PRN_FIRST && nCode <= NMEA_GSA_PRN_LAST) {
        ScanInt(field, 3, m_aSats[nCode - NMEA_GSA_PRN_FIRST].nFixPrn);
        return 0;
    }
    if (nCode >= NMEA_GSV_SAT_FIRST && nCode <= NMEA_GSV_SAT_LAST) {
        DecodeSatelliteInView(*this, field, nCode);
        return 0;
    }
    for (const NumberField& number : NMEA_NUMBER_FIELDS) {
        if (number.nCode == nCode) {
            ScanFloat(field, this->*number.pfValue);
            return number.nBit;
        }
    }
    for (const CountField& count : NMEA_COUNT_FIELDS) {
        if (count.nCode == nCode) {
            ScanSmallInt(field, 2, this->*count.pnValue);
            return 0;
        }
    }
    return DecodeOtherField(*this, field, nCode, nUtcCorrection);
}
