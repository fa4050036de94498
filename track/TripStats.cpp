#include "track/TripStats.h"

#include "gps/TrackerSettings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double TRIP_EARTH_RADIUS_M = 6371008.8;   // mean radius
constexpr double TRIP_DEG_TO_RAD = std::numbers::pi / 180.0;
constexpr int TRIP_DAY_SECONDS = 24 * 3600;
constexpr int TRIP_MIN_PAIR_SECONDS = 1;
// A longer gap is a pause (or lost signal), not travel.
constexpr int TRIP_MAX_PAIR_SECONDS = 300;
constexpr double TRIP_MIN_MOVING_MPS = 0.5;
constexpr double TRIP_KMH_PER_MPS = 3.6;

int DaySeconds(const CTrackPoint& point)
{
    return point.m_byHour * 3600 + point.m_byMinute * 60 + point.m_bySecond;
}

}

double GreatCircleMeters(const CTrackPoint& a, const CTrackPoint& b)
{
    return GreatCircleMeters(CGeoPoint{double(a.m_fLatitude), double(a.m_fLongitude)},
                             CGeoPoint{double(b.m_fLatitude), double(b.m_fLongitude)});
}

double GreatCircleMeters(const CGeoPoint& a, const CGeoPoint& b)
{
    const double dLat1 = a.m_dLatitude * TRIP_DEG_TO_RAD;
    const double dLat2 = b.m_dLatitude * TRIP_DEG_TO_RAD;
    const double dSinLat = std::sin((dLat2 - dLat1) / 2);
    const double dSinLon = std::sin((b.m_dLongitude - a.m_dLongitude) * TRIP_DEG_TO_RAD / 2);
    const double h = dSinLat * dSinLat + std::cos(dLat1) * std::cos(dLat2) * dSinLon * dSinLon;
    // Rounding can push h of antipodal points just above 1.
    return 2 * TRIP_EARTH_RADIUS_M * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

double InitialBearing(const CGeoPoint& a, const CGeoPoint& b)
{
    const double dLat1 = a.m_dLatitude * TRIP_DEG_TO_RAD;
    const double dLat2 = b.m_dLatitude * TRIP_DEG_TO_RAD;
    const double dLon = (b.m_dLongitude - a.m_dLongitude) * TRIP_DEG_TO_RAD;
    const double y = std::sin(dLon) * std::cos(dLat2);
    const double x = std::cos(dLat1) * std::sin(dLat2) - std::sin(dLat1) * std::cos(dLat2) * std::cos(dLon);
    const double dDegrees = std::atan2(y, x) / TRIP_DEG_TO_RAD;
    // A tiny negative angle plus 360 rounds to 360 itself, and -0 stays -0:
    // both are north.
    const double dBearing = dDegrees < 0 ? dDegrees + 360.0 : dDegrees;
    return dBearing >= 360.0 ? 0.0 : dBearing + 0.0;
}

int64_t PairSeconds(const CTrackPoint& a, const CTrackPoint& b)
{
    if (a.UtcTime() && b.UtcTime())
        return *b.UtcTime() - *a.UtcTime();
    return ((DaySeconds(b) - DaySeconds(a)) % TRIP_DAY_SECONDS + TRIP_DAY_SECONDS) % TRIP_DAY_SECONDS;
}

namespace {

// The speed over a pair of points of a segment, for a point without one.
float PairSpeedKnots(double dMeters, int64_t nSeconds)
{
    if (nSeconds <= 0)
        return NAN;
    return float(dMeters / double(nSeconds) * TRIP_KMH_PER_MPS / UNIT_KMH_PER_KNOT);
}

}

float PointSpeedKnots(const CTrackPointList& points, size_t nIndex)
{
    const CTrackPoint& point = points[nIndex];
    if (!point.m_bNoSpeed)
        return point.m_fSpeed;
    if (StartsSegment(points, nIndex))
        return NAN;
    const CTrackPoint& previous = points[nIndex - 1];
    return PairSpeedKnots(GreatCircleMeters(previous, point), PairSeconds(previous, point));
}

CTripStats TripStatistics(const CTrackPointList& points)
{
    CTripStats stats;
    stats.m_nPoints = points.size();
    float fMaxSpeed = 0;
    // Each pair's distance and time once, for its length and the speed of a
    // point without one (as PointSpeedKnots has it).
    const CTrackPoint* pPrevious = nullptr;
    for (const CTrackPoint& point : points) {
        const bool bSegmentStart = !pPrevious || point.m_bSegmentStart;
        stats.m_nSegments += bSegmentStart ? 1 : 0;
        stats.m_nPlacemarks += point.m_strName.isEmpty() ? 0 : 1;
        if (bSegmentStart)
            stats.m_climbs.StartSegment();
        stats.m_climbs.Add(point.m_fAltitude);
        const double dMeters = bSegmentStart ? NAN : GreatCircleMeters(*pPrevious, point);
        const int64_t nSeconds = bSegmentStart ? 0 : PairSeconds(*pPrevious, point);
        pPrevious = &point;
        // A file may hold anything: values that are no numbers add nothing.
        const float fSpeed = !point.m_bNoSpeed ? point.m_fSpeed
                             : bSegmentStart   ? NAN
                                               : PairSpeedKnots(dMeters, nSeconds);
        if (std::isfinite(fSpeed))
            fMaxSpeed = std::max(fMaxSpeed, fSpeed);
        if (bSegmentStart || !std::isfinite(dMeters))
            continue;
        stats.m_dDistanceMeters += dMeters;
        if (nSeconds >= TRIP_MIN_PAIR_SECONDS && nSeconds <= TRIP_MAX_PAIR_SECONDS
            && dMeters / double(nSeconds) >= TRIP_MIN_MOVING_MPS) {
            stats.m_dMovingSeconds += double(nSeconds);
            stats.m_dMovingMeters += dMeters;
        }
    }
    if (stats.m_dMovingSeconds > 0)
        stats.m_dAverageMovingKmh = stats.m_dMovingMeters / stats.m_dMovingSeconds * TRIP_KMH_PER_MPS;
    stats.m_dMaxSpeedKmh = double(fMaxSpeed) * UNIT_KMH_PER_KNOT;
    return stats;
}
