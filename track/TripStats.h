#pragma once

#include "track/CTrackPoint.h"
#include "track/Climbs.h"

#include <cstddef>
#include <cstdint>

// What a track adds up to, for the command line and Tools, "Trip statistics".
struct CTripStats
{
    size_t m_nPoints = 0;
    size_t m_nPlacemarks = 0;        // points with a name
    size_t m_nSegments = 0;
    double m_dDistanceMeters = 0;    // great-circle legs between consecutive points of a segment
    double m_dMovingSeconds = 0;
    double m_dMovingMeters = 0;
    double m_dAverageMovingKmh = 0;  // moving distance over moving time; 0 without either
    double m_dMaxSpeedKmh = 0;       // the largest speed (see PointSpeedKnots)
    CClimbs m_climbs;
};

// A place in decimal degrees, north and east positive.
struct CGeoPoint
{
    double m_dLatitude = 0;
    double m_dLongitude = 0;
};

// Haversine distance in metres on the mean Earth radius.
double GreatCircleMeters(const CGeoPoint& a, const CGeoPoint& b);
double GreatCircleMeters(const CTrackPoint& a, const CTrackPoint& b);

// The initial great-circle bearing from a to b, degrees clockwise from true
// north, 0 up to (not including) 360.
double InitialBearing(const CGeoPoint& a, const CGeoPoint& b);

// The seconds from a to b: by their UTC times when both have one, else by
// their times of day, modulo one day, so that a pair across midnight still
// counts forward.
int64_t PairSeconds(const CTrackPoint& a, const CTrackPoint& b);

// The speed of the point at nIndex in knots: its own, or for a point the
// file gave none (m_bNoSpeed), distance over time from the point before it
// in its segment; NaN when there is none to derive it from.
float PointSpeedKnots(const CTrackPointList& points, size_t nIndex);

// Legs join consecutive points of one segment only. A pair counts as moving
// when its time is 1 to 300 s and its speed over ground, distance over time,
// is at least 0.5 m/s.
CTripStats TripStatistics(const CTrackPointList& points);
