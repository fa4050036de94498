#pragma once

#include "map/MapSheetGrid.h"
#include "platform/Outcome.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Map import reads its sources through GDAL, whose libraries take longer to
// load than the rest of a run; it lives in the module MAPIMPORT_MODULE, which
// is loaded the first time a map is imported. This is its whole interface.

constexpr int MAPIMPORT_DEFAULT_SHEET = 4096;
constexpr int MAPIMPORT_MIN_SHEET = 256;
constexpr int MAPIMPORT_MAX_SHEET = 8192;
constexpr int MAPIMPORT_DEFAULT_MAX_SHEETS = 64;

constexpr char MAPIMPORT_MODULE[] = "veltrip-mapimport.so";
// extern "C" CMapImporter* VeltripNewMapImporter(): a new importer, the
// caller's to delete.
constexpr char MAPIMPORT_FACTORY[] = "VeltripNewMapImporter";

// What to import and where to.
struct CMapImportRequest
{
    QString m_strSource;                // any raster GDAL opens with a georeference
    QString m_strDir;                   // host folder of the sheets
    std::optional<CGeoBox> m_area;      // cut to the source's footprint; default all of it
    // Arc-seconds per pixel down; 0: the source's own at the centre of the
    // area. Across: 0 follows from down, so pixels are square on the ground
    // at the centre of the area.
    CResolution m_resolution;
    int m_nSheetPixels = MAPIMPORT_DEFAULT_SHEET;
    int m_nMaxSheets = MAPIMPORT_DEFAULT_MAX_SHEETS;
};

// Fraction done, from 0 to 1; returning false cancels the import.
using MapImportProgress = std::function<bool(double dDone)>;

// Turns a georeferenced raster into the program's own calibrated bitmaps:
// warped to WGS 84 longitude and latitude, cut into overlapping sheets whose
// names carry their edges, so the catalogue and the map view use them as
// they are. Plan first, then Write.
class CMapImporter
{
public:
    virtual ~CMapImporter() = default;

    // Opens the source and lays out the sheets; writes nothing. fnProgress
    // (always given 0) is asked between the steps whether to go on.
    virtual COutcome Plan(const CMapImportRequest& request, const MapImportProgress& fnProgress) = 0;

    virtual const std::vector<CMapSheet>& Sheets() const = 0;
    virtual int64_t TotalBytes() const = 0;
    // Arc-seconds per pixel the sheets were laid out for.
    virtual CResolution Resolution() const = 0;

    // Writes every sheet, whole or not at all: after a failure or a cancel
    // the folder is as it was, old sheets of the same names included, with
    // no temporary left. Checks the free space first. A sheet all white (no
    // source pixel, or none that could be read) is not written; when no
    // sheet is left, "No readable map in SOURCE".
    virtual COutcome Write(const MapImportProgress& fnProgress) = 0;

    // Host paths of the sheets written.
    virtual QStringList SheetPaths() const = 0;
};

// A new importer from the module, loaded on the first call. Null when the
// module or GDAL cannot be loaded; outcome then says "Map import needs GDAL
// (Debian: libgdal32)".
std::unique_ptr<CMapImporter> NewMapImporter(COutcome& outcome);
