#pragma once

#include "track/CTrackPoint.h"

#include <cstddef>
#include <vector>

// Distance along the track to each of its points: the trip statistics'
// great-circle legs added up. Kept as the track grows, so that a window
// repainted every second measures only the points added since.
class CTrackDistances
{
public:
    // Measures the points added at the tail since the last call; a list
    // shorter than before is another one and is measured anew.
    void Update(const CTrackPointList& points);

    size_t Size() const { return m_metres.size(); }
    // Metres from the first point to point nIndex (< Size()).
    float Metres(size_t nIndex) const { return m_metres[nIndex]; }
    // The whole length, summed as the trip statistics sum it.
    double TotalMeters() const { return m_dTotalMeters; }

private:
    std::vector<float> m_metres;   // a float a point: half the memory, far below a pixel
    double m_dTotalMeters = 0;
};
