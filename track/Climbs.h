#pragma once

// Ascent and descent of a track, and its altitude range, from the altitudes
// of its points in order. A receiver's altitude wanders by a few metres while
// standing still; only a change beyond the dead band from the last counted
// altitude counts, so that noise adds nothing to the climbs.
class CClimbs
{
public:
    void Add(float fAltitude);   // altitudes that are no numbers add nothing
    // The next altitude begins a piece of track not joined to the one
    // before: the step between them is no climb.
    void StartSegment() { m_bNewSegment = true; }

    bool HasAltitudes() const { return m_bAny; }

    double m_dAscentMeters = 0;
    double m_dDescentMeters = 0;
    float m_fMinAltitude = 0;   // both valid only with HasAltitudes()
    float m_fMaxAltitude = 0;

private:
    bool m_bAny = false;
    float m_fReference = 0;   // the altitude the last counted change ended at
    bool m_bNewSegment = false;
};

constexpr double CLIMB_DEAD_BAND_METERS = 5.0;
