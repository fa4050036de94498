#include "track/CTrackPoint.h"

#include "gps/CGpsTracker.h"
#include "platform/LogFile.h"

#include <bit>

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

}

CTrackPoint::CTrackPoint(const CGpsTracker& tracker)
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
