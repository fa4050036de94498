#include "track/CTrackPoint.h"

#include "gps/CGpsTracker.h"
#include "platform/LogFile.h"

#include <bit>
#include <chrono>
#include <limits>

namespace {

void AppendFloat(std::string& strOut, float fValue)
{
    const uint32_t nBits = std::bit_cast<uint32_t>(fValue);
    const char bytes[4] = {char(nBits), char(nBits >> 8), char(nBits >> 16), char(nBits >> 24)};
    strOut.append(bytes, sizeof bytes);
}

// One byte per character. A character that would read back as the end of the
// name, or that has no one-byte form, becomes '?', so every record reads back.
char NameByte(char16_t ch)
{
    if ((ch & 0xFF) == 0 || ch > 0xFF)
        return '?';
    return char(ch);
}

constexpr int64_t POINT_DAY_SECONDS = 24 * 3600;
constexpr int POINT_FIRST_YEAR = 2000;   // the decoder's years are 2000 + two digits

// The receiver's UTC date with the fix time back in UTC; none before the
// receiver sent a date.
std::optional<int64_t> FixUtcTime(const CGpsTracker& tracker, int nUtcCorrection)
{
    using namespace std::chrono;
    const year_month_day date{year(tracker.m_nYear), month(unsigned(tracker.m_nMonth)), day(unsigned(tracker.m_nDay))};
    if (tracker.m_nYear < POINT_FIRST_YEAR || !date.ok())
        return std::nullopt;
    const int64_t nLocal = int64_t{tracker.m_nHour} * 3600 + tracker.m_nMinute * 60 + tracker.m_nSecond;
    const int64_t nUtc = ((nLocal - int64_t{nUtcCorrection} * 3600) % POINT_DAY_SECONDS + POINT_DAY_SECONDS)
                         % POINT_DAY_SECONDS;
    return int64_t{sys_days(date).time_since_epoch().count()} * POINT_DAY_SECONDS + nUtc;
}

}

// Small points keep a million-point track in memory: the date costs nothing.
static_assert(sizeof(void*) != 8 || sizeof(CTrackPoint) <= 32 + sizeof(QString));

CTrackPoint::CTrackPoint(const CGpsTracker& tracker, int nUtcCorrection)
    : m_fLatitude(tracker.m_fLatitude)
    , m_fLongitude(tracker.m_fLongitude)
    , m_fAltitude(tracker.m_fAltitude)
    , m_fSpeed(tracker.m_fSpeed)
    , m_fCourse(tracker.m_fCourse)
    , m_fHdop(tracker.m_fHdop)
    , m_byHour(uint8_t(tracker.m_nHour))
    , m_byMinute(uint8_t(tracker.m_nMinute))
    , m_bySecond(uint8_t(tracker.m_nSecond))
{
    SetUtcTime(FixUtcTime(tracker, nUtcCorrection));
}

std::optional<int64_t> CTrackPoint::UtcTime() const
{
    return m_nUtcTime ? std::optional<int64_t>(m_nUtcTime) : std::nullopt;
}

void CTrackPoint::SetUtcTime(std::optional<int64_t> nSeconds)
{
    const bool bFits = nSeconds && *nSeconds > 0 && *nSeconds <= std::numeric_limits<uint32_t>::max();
    m_nUtcTime = bFits ? uint32_t(*nSeconds) : 0;
}

size_t SegmentCount(const CTrackPointList& points)
{
    size_t nSegments = 0;
    for (size_t i = 0; i < points.size(); ++i)
        nSegments += StartsSegment(points, i) ? 1 : 0;
    return nSegments;
}

void CTrackPoint::AppendRecord(std::string& strOut) const
{
    // Speed comes before altitude in the file.
    AppendFloat(strOut, m_fLatitude);
    AppendFloat(strOut, m_fLongitude);
    AppendFloat(strOut, m_fSpeed);
    AppendFloat(strOut, m_fAltitude);
    AppendFloat(strOut, m_fCourse);
    AppendFloat(strOut, m_fHdop);
    strOut.push_back(char(m_byHour));
    strOut.push_back(char(m_byMinute));
    strOut.push_back(char(m_bySecond));
    for (const QChar ch : m_strName)
        strOut.push_back(NameByte(ch.unicode()));
    strOut.push_back('\0');
}

bool CTrackPoint::WriteTrackPoint(CLogFile& file) const
{
    std::string record;
    AppendRecord(record);
    return file.WriteRecord(record.data(), record.size());
}
