#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

class CGpsTracker;
class CLogFile;

// One stored fix; only placemarks carry a name.
class CTrackPoint
{
public:
    CTrackPoint() = default;
    // A copy of the current fix; its times of day are UTC plus nUtcCorrection
    // hours, its date the receiver's UTC date.
    CTrackPoint(const CGpsTracker& tracker, int nUtcCorrection);

    // Appends the point's GPD record (28 bytes plus one per name character).
    void AppendRecord(std::string& strOut) const;
    // Appends the record to an open log in one write; false when it failed.
    bool WriteTrackPoint(CLogFile& file) const;

    // The UTC date and time in seconds since 1970, when the point has one.
    std::optional<int64_t> UtcTime() const;
    // Times before 1970 or past 2106 are none.
    void SetUtcTime(std::optional<int64_t> nSeconds);

    float m_fLatitude = 0;
    float m_fLongitude = 0;
    float m_fAltitude = 0;
    float m_fSpeed = 0;
    float m_fCourse = 0;
    float m_fHdop = 0;
    uint8_t m_byHour = 0;
    uint8_t m_byMinute = 0;
    uint8_t m_bySecond = 0;
    // The first point of a piece of track that is not joined to the point
    // before it (a file opened, a GPX trkseg, a KML line), whatever it holds.
    bool m_bSegmentStart : 1 = false;
    // The file gave no speed: m_fSpeed is 0, not a measured standstill.
    bool m_bNoSpeed : 1 = false;
    // Seconds since 1970 UTC, 0 for none: four bytes that fit beside the
    // time fields, so that a point of a million-point track grows no bigger.
    uint32_t m_nUtcTime = 0;
    QString m_strName;
};

// The ordered track of the run: owns its points by value (a deque never moves
// them), appends at the tail only and is iterated from the head.
using CTrackPointList = std::deque<CTrackPoint>;

// Handed one point after another of a track that is read, not held.
using CTrackPointVisit = std::function<void(const CTrackPoint&)>;

// Whether the point at nIndex begins a segment: the first point always does.
inline bool StartsSegment(const CTrackPointList& points, size_t nIndex)
{
    return nIndex == 0 || points[nIndex].m_bSegmentStart;
}

// The number of segments of the list; 0 for an empty one.
size_t SegmentCount(const CTrackPointList& points);

// A position on the globe: latitude within ±90, longitude within ±180, both
// numbers (NaN is neither).
inline bool IsOnGlobe(double dLatitude, double dLongitude)
{
    return dLatitude >= -90 && dLatitude <= 90 && dLongitude >= -180 && dLongitude <= 180;
}
