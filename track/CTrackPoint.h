#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <string>

class CGpsTracker;
class CLogFile;

// One stored fix; only placemarks carry a name.
class CTrackPoint
{
public:
    CTrackPoint() = default;
    explicit CTrackPoint(const CGpsTracker& tracker);   // a copy of the current fix

    // Appends the point's GPD record (28 bytes plus one per name character).
    void AppendRecord(std::string& strOut) const;
    // Appends the record to an open log in one write; false when it failed.
    bool WriteTrackPoint(CLogFile& file) const;

    float m_fLatitude = 0;
    float m_fLongitude = 0;
    float m_fAltitude = 0;
    float m_fSpeed = 0;
    float m_fCourse = 0;
    float m_fHdop = 0;
    uint8_t m_byHour = 0;
    uint8_t m_byMinute = 0;
    uint8_t m_bySecond = 0;
    QString m_strName;
};

// The ordered track of the run: owns its points by value (a deque never moves
// them), appends at the tail only and is iterated from the head.
using CTrackPointList = std::deque<CTrackPoint>;

// A position on the globe: latitude within ±90, longitude within ±180, both
// numbers (NaN is neither).
inline bool IsOnGlobe(double dLatitude, double dLongitude)
{
    return dLatitude >= -90 && dLatitude <= 90 && dLongitude >= -180 && dLongitude <= 180;
}
