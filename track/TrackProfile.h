#pragma once

#include "track/CTrackPoint.h"

#include <cstddef>
#include <vector>

// What the profile draws of each point of the track: the distance along the
// track to it (the trip statistics' great-circle legs added up), its
// altitude and its speed. Kept as the track grows, so that a window
// repainted every second measures only the points added since, and packed
// into a third of a point's size, so that a paint reads little memory.
class CTrackProfile
{
public:
    struct Sample
    {
        float fMetres;     // from the first point
        float fAltitude;   // metres
        float fSpeed;      // knots
    };

    // Takes the points added at the tail since the last call; a list
    // shorter than before is another one and is taken anew.
    void Update(const CTrackPointList& points);

    const std::vector<Sample>& Samples() const { return m_samples; }
    // The whole length, summed as the trip statistics sum it.
    double TotalMeters() const { return m_dTotalMeters; }

private:
    std::vector<Sample> m_samples;
    double m_dTotalMeters = 0;
};
