#pragma once

#include "map/BmpSheetFile.h"
#include "map/CMapBitmap.h"
#include "map/GdalMapSource.h"
#include "map/MapSheetGrid.h"
#include "platform/Outcome.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

constexpr int MAPIMPORT_DEFAULT_SHEET = 4096;
constexpr int MAPIMPORT_MIN_SHEET = 256;
constexpr int MAPIMPORT_MAX_SHEET = 8192;
constexpr int MAPIMPORT_DEFAULT_MAX_SHEETS = 64;

// What to import and where to.
struct CMapImportRequest
{
    QString m_strSource;                // any raster GDAL opens with a georeference
    QString m_strDir;                   // host folder of the sheets
    std::optional<CGeoBox> m_area;      // cut to the source's footprint; default all of it
    double m_dResolution = 0;           // arc-seconds per pixel; 0: the source's own at the centre
    int m_nSheetPixels = MAPIMPORT_DEFAULT_SHEET;
    int m_nMaxSheets = MAPIMPORT_DEFAULT_MAX_SHEETS;
};

// Fraction done, from 0 to 1; returning false cancels the import.
using MapImportProgress = std::function<bool(double dDone)>;

// Turns a georeferenced raster into the program's own calibrated bitmaps:
// warped to WGS 84 longitude and latitude, cut into overlapping sheets whose
// names carry their edges, so the catalogue and the map view use them as
// they are. Plan first, then Write.
class CMapImport
{
public:
    // Opens the source and lays out the sheets; writes nothing.
    COutcome Plan(const CMapImportRequest& request);

    const std::vector<CMapSheet>& Sheets() const { return m_sheets; }
    int64_t TotalBytes() const;
    // Arc-seconds per pixel the sheets were laid out for.
    double Resolution() const { return m_dResolution; }

    // Writes every sheet, whole or not at all: after a failure or a cancel no
    // sheet of this import is left in the folder. Checks the free space first.
    COutcome Write(const MapImportProgress& fnProgress);

    // Host paths of the sheets written.
    QStringList SheetPaths() const;

private:
    COutcome ChooseArea(const CMapImportRequest& request, CGeoBox& area) const;
    COutcome ChooseResolution(const CMapImportRequest& request, const CGeoBox& area);
    COutcome LayOut(const CMapImportRequest& request, const CGeoBox& area);
    COutcome CheckNames() const;
    COutcome CheckFreeSpace() const;
    COutcome WriteSheet(const CMapSheet& sheet, CBmpSheetFile& file, const QString& strPath,
                        const std::function<bool(int nRows)>& fnRowsDone) const;

    CGdalMapSource m_source;
    QString m_strDir;
    double m_dResolution = 0;
    std::vector<CMapSheet> m_sheets;
};

// Adds records for sheets just written to the storage card's GPS folder (host
// paths) to the catalogue, as the next start would find them. A sheet the
// catalogue already holds (the same map imported again) keeps its record;
// its pixels are read again when it is next loaded.
void AddSheetsToCatalogue(CMapList& mapList, const QStringList& sheetPaths);
