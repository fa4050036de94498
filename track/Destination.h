#pragma once

#include "track/TripStats.h"

#include <QString>
#include <optional>

class CGpsTracker;
struct CTrackerSettings;

// Tools, "Go to…": a placemark or a typed place the views lead to.
struct CDestination
{
    QString m_strName;
    CGeoPoint m_point;
};

// The destination the settings keep; none until one is chosen.
std::optional<CDestination> DestinationOf(const CTrackerSettings& settings);
// Keeps the destination in the settings; none clears it.
void SetDestination(CTrackerSettings& settings, const std::optional<CDestination>& destination);

// Coordinates as typed: decimal degrees ("52.0907 5.1214", "-33.5,151.2"),
// degrees, minutes and seconds ("52°05'26.5\"N 5°07'17.0\"E") or degrees and
// minutes ("N 52 05.443 E 5 07.284"). Latitude first unless hemisphere
// letters say otherwise.
struct CCoordinatesParse
{
    std::optional<CGeoPoint> m_point;
    QString m_strProblem;   // what is wrong, when there is no point
};

CCoordinatesParse ParseCoordinates(const QString& strText);

// The place as a name, "52.09070 5.12140": five decimals are a metre.
QString CoordinatesText(const CGeoPoint& point);

// Where the destination lies from the position.
struct CGuidance
{
    double m_dMeters = 0;
    double m_dBearing = 0;        // initial great-circle bearing, degrees true
    bool m_bMoving = false;       // faster than 1 knot: the course counts
    double m_dSecondsToGo = -1;   // at the present speed; -1 when not moving
};

CGuidance GuidanceTo(const CDestination& destination, const CGpsTracker& tracker);

// "850 m" below 1 km, "1.2 km" below 100 km, then "150 km".
QString DistanceText(double dMeters);
// The compass view's line: distance, bearing and time to go ("--" when not
// moving), "Go to: 1.2 km 45° 0:14".
QString GuidanceText(const CGuidance& guidance);

// The arrival note of a destination: due at the first fix within the
// arrival radius, then not again until the position has been more than
// ARRIVAL_REARM_METERS away.
constexpr double ARRIVAL_RADIUS_METERS = 25.0;
constexpr double ARRIVAL_METERS_PER_HDOP = 5.0;
constexpr double ARRIVAL_REARM_METERS = 100.0;

class CArrivalWatch
{
public:
    // One fix at dMeters from the destination: true when the note is due.
    bool Check(double dMeters, float fHdop);
    // A new destination (or none): the next arrival counts again.
    void Reset() { m_bArrived = false; }

private:
    bool m_bArrived = false;
};
