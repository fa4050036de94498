#pragma once

#include "track/CTrackPoint.h"

#include <algorithm>
#include <cstddef>
#include <vector>

// What the profile draws of each point of the track: the distance along the
// track to it (the trip statistics' great-circle legs added up, none between
// segments), its altitude and its speed (PointSpeedKnots). Kept as the track grows, so that a window
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
    // Whether the sample at nIndex begins a segment of the track: the
    // profile is not drawn across to it.
    bool StartsSegment(size_t nIndex) const
    {
        return std::binary_search(m_segmentStarts.begin(), m_segmentStarts.end(), nIndex);
    }
    // The whole length, summed as the trip statistics sum it.
    double TotalMeters() const { return m_dTotalMeters; }

private:
    std::vector<Sample> m_samples;
    std::vector<size_t> m_segmentStarts;   // in order
    double m_dTotalMeters = 0;
};
