#include "track/TrackDistances.h"

#include "track/TripStats.h"

#include <cmath>

void CTrackDistances::Update(const CTrackPointList& points)
{
    if (points.size() < m_metres.size()) {
        m_metres.clear();
        m_dTotalMeters = 0;
    }
    if (m_metres.empty())
        m_metres.reserve(points.size());
    for (size_t i = m_metres.size(); i < points.size(); ++i) {
        // A leg between values that are no numbers adds nothing, as in the statistics.
        const double dLeg = i ? GreatCircleMeters(points[i - 1], points[i]) : 0.0;
        if (std::isfinite(dLeg))
            m_dTotalMeters += dLeg;
        m_metres.push_back(float(m_dTotalMeters));
    }
}
