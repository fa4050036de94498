#pragma once

#include <cstddef>

// gpsd speaks JSON; asked for it, it also passes the receiver's NMEA lines on
// as they arrive. This is the request, a line of its own.
extern const char GPSD_WATCH_NMEA[];

// Keeps, from gpsd's stream, only the NMEA lines (those starting with "$", or
// "!" for AIS) with their line ends; its JSON replies ("{" lines) and
// anything else are dropped whole. Lines may be split across reads.
class CGpsdLineFilter
{
public:
    // Filters nLength bytes in place; returns how many are kept.
    size_t Filter(char* pData, size_t nLength);

private:
    bool m_bLineStart = true;
    bool m_bKeep = false;
};
