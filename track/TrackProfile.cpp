#include "track/TrackProfile.h"

#include "track/TripStats.h"

#include <cmath>

void CTrackProfile::Update(const CTrackPointList& points)
{
    if (points.size() < m_samples.size()) {
        m_samples.clear();
        m_segmentStarts.clear();
        m_dTotalMeters = 0;
    }
    if (m_samples.empty())
        m_samples.reserve(points.size());
    for (size_t i = m_samples.size(); i < points.size(); ++i) {
        // A leg between values that are no numbers adds nothing, as in the statistics.
        const bool bStart = ::StartsSegment(points, i);
        const double dLeg = bStart ? 0.0 : GreatCircleMeters(points[i - 1], points[i]);
        if (std::isfinite(dLeg))
            m_dTotalMeters += dLeg;
        if (bStart && i > 0)
            m_segmentStarts.push_back(i);
        m_samples.push_back({float(m_dTotalMeters), points[i].m_fAltitude, PointSpeedKnots(points, i)});
    }
}
