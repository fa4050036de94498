#pragma once

#include "map/MapImporter.h"
#include "platform/Outcome.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Online maps: calibrated sheets made on demand from a tile server's XYZ
// tiles, cached on disk so they keep working without a network. The network
// code lives in the module ONLINE_MODULE, loaded the first time a sheet is
// asked for, so nothing opens a connection before the user turns online
// maps on. This is its whole interface.

constexpr int ONLINE_DEFAULT_ZOOM = 16;
constexpr int ONLINE_DEFAULT_SHEET = 1024;                 // pixels across and down
constexpr int64_t ONLINE_DEFAULT_CACHE_BYTES = 500LL << 20;
constexpr int ONLINE_MIN_SHEET = 256;
constexpr int ONLINE_MAX_SHEET = 4096;
constexpr int ONLINE_MAX_ZOOM = 22;                         // no source has finer tiles

constexpr char ONLINE_MODULE[] = "veltrip-online.so";
// extern "C" COnlineMaps* VeltripNewOnlineMaps(): a new maker, the caller's
// to delete.
constexpr char ONLINE_FACTORY[] = "VeltripNewOnlineMaps";

// One row of the tile sources: a built-in one or one from the settings.
struct CTileSource
{
    QString m_strName;
    QString m_strUrl;            // {z}, {x}, {y}, optional {s} (subdomains a, b, c)
    QString m_strAttribution;    // shown on the map whenever one of its sheets is
    int m_nMinZoom = 0;
    int m_nMaxZoom = 19;
    bool m_bAreaDownload = false;   // whether the provider allows fetching an area ahead
};

// What to make: the sheet of SOURCE around a position.
struct COnlineSheetRequest
{
    CTileSource m_source;
    double m_dLatitude = 0;
    double m_dLongitude = 0;
    int m_nZoom = ONLINE_DEFAULT_ZOOM;
    int m_nSheetPixels = ONLINE_DEFAULT_SHEET;
    QString m_strSheetDir;      // empty: OnlineSheetFolder()
    QString m_strCacheDir;      // tiles; empty: OnlineTileFolder()
    int64_t m_nCacheBytes = ONLINE_DEFAULT_CACHE_BYTES;
    QString m_strUserAgentSuffix;
};

// Makes sheets. One per program: it keeps each source's pause after a
// refusal (429, 403, 5xx) and whether the network answered at all.
class COnlineMaps
{
public:
    virtual ~COnlineMaps() = default;

    // Makes (or finds already made) the sheet around the request's position,
    // writes it whole and returns its host path in strPath. Blocks: call it
    // on a worker thread. fnProgress is asked between tiles whether to go on.
    virtual COutcome MakeSheet(const COnlineSheetRequest& request, const MapImportProgress& fnProgress,
                               QString& strPath) = 0;

    // A short text for the map view's corner while SOURCE cannot be used
    // ("offline", "paused 30 s"); empty when it can. Any thread.
    virtual QString SourceState(const QString& strSource) const = 0;
};

// The built-in sources (OpenStreetMap's standard layer) followed by extra.
std::vector<CTileSource> TileSources(const std::vector<CTileSource>& extra = {});

// Whether a template is an http or https address of a host with {z}, {x}
// and {y}, as a tile source's must be.
bool IsTileUrlTemplate(const QString& strTemplate);

// The row named strName (case-insensitive), or null.
const CTileSource* FindTileSource(const std::vector<CTileSource>& sources, const QString& strName);

// $XDG_CACHE_HOME/veltrip/sheets and $XDG_CACHE_HOME/veltrip/tiles.
QString OnlineSheetFolder();
QString OnlineTileFolder();

// The attribution of a sheet made from a source's tiles lies beside it, in
// a file of the sheet's name ending in ".attribution" instead of ".bmp"
// (UTF-8, one line); other maps have none, and an empty text.
QString SheetAttributionPath(const QString& strSheetHostPath);
QString SheetAttribution(const QString& strSheetHostPath);

// A new maker from the module, loaded on the first call. Null, with the
// reason in outcome, when the module or Qt Network cannot be loaded.
std::unique_ptr<COnlineMaps> NewOnlineMaps(COutcome& outcome);
