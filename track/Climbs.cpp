#include "track/Climbs.h"

#include <algorithm>
#include <cmath>
#include <utility>

void CClimbs::Add(float fAltitude)
{
    if (!std::isfinite(fAltitude))
        return;
    if (!m_bAny) {
        m_bAny = true;
        m_bNewSegment = false;
        m_fMinAltitude = m_fMaxAltitude = m_fReference = fAltitude;
        return;
    }
    m_fMinAltitude = std::min(m_fMinAltitude, fAltitude);
    m_fMaxAltitude = std::max(m_fMaxAltitude, fAltitude);
    if (std::exchange(m_bNewSegment, false)) {
        m_fReference = fAltitude;
        return;
    }
    const double dChange = double(fAltitude) - double(m_fReference);
    if (std::fabs(dChange) <= CLIMB_DEAD_BAND_METERS)
        return;
    (dChange > 0 ? m_dAscentMeters : m_dDescentMeters) += std::fabs(dChange);
    m_fReference = fAltitude;
}
