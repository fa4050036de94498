#pragma once

#include "map/OnlineMaps.h"

#include <QString>
#include <cstdint>
#include <vector>

// Tile zooms the dialog offers; a source narrows them to its own range.
constexpr int ONLINE_ZOOM_MIN = 0;
constexpr int ONLINE_ZOOM_MAX = ONLINE_MAX_ZOOM;
// The tile cache's limit, in MB.
constexpr int ONLINE_CACHE_MB_MIN = 10;
constexpr int ONLINE_CACHE_MB_MAX = 1000000;
constexpr int ONLINE_CACHE_MB_DEFAULT = int(ONLINE_DEFAULT_CACHE_BYTES >> 20);

// Tools, "Online maps…": off until the user turns them on, so nothing opens
// a connection before. Stored in veltrip.ini, section [OnlineMaps]; the
// user's own tile sources in the list [OnlineSources].
struct COnlineSettings
{
    bool m_bOn = false;
    QString m_strSource = QStringLiteral("OpenStreetMap");
    int32_t m_nZoom = ONLINE_DEFAULT_ZOOM;
    int32_t m_nCacheMegabytes = ONLINE_CACHE_MB_DEFAULT;
    std::vector<CTileSource> m_extraSources;

    // The built-in sources, then the user's.
    std::vector<CTileSource> Sources() const { return TileSources(m_extraSources); }
    // The chosen source; the first built-in one when no row has its name.
    CTileSource Source() const;
    // The tile zoom within the source's range.
    int Zoom() const;
    // The sheet around a position, as these settings make it.
    COnlineSheetRequest Request(double dLatitude, double dLongitude) const;
};

// A value missing or out of range keeps its default; a source row without
// a name, with a template that is no http or https address with {x}, {y}
// and {z}, or with a zoom range
// outside ONLINE_ZOOM_MIN to ONLINE_ZOOM_MAX is left out.
COnlineSettings LoadOnlineSettings();
void SaveOnlineSettings(const COnlineSettings& settings);
