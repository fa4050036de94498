#pragma once

#include "map/MapImporter.h"
#include "map/MapSheetGrid.h"
#include "platform/Outcome.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>
#include <gdal.h>
#include <gdalwarper.h>

// Receives one strip of a warped window: nRows rows from row nTop, as three
// planes of the window's width times nRows bytes, red, green and blue.
using MapPlaneSink = std::function<COutcome(const uint8_t* pbyPlanes, int nTop, int nRows)>;

// A georeferenced raster read through GDAL (GeoTIFF, MBTiles, GeoPackage,
// OziExplorer, BSB/KAP, images with a world file, ...), seen as RGB where
// palettes are expanded, grey is repeated and transparent or no-data pixels
// are white. GDAL's own messages end up in the outcomes, never on stderr.
class CGdalMapSource
{
public:
    CGdalMapSource();
    ~CGdalMapSource();
    CGdalMapSource(const CGdalMapSource&) = delete;
    CGdalMapSource& operator=(const CGdalMapSource&) = delete;

    // Fails when GDAL cannot read strPath as a raster, or it has no georeference.
    COutcome Open(const QString& strPath);

    // The source's footprint in longitude and latitude, within -180..180:
    // one box, or two where it crosses the antimeridian, west of it first.
    COutcome Footprint(std::vector<CGeoBox>& parts) const;

    // Arc-seconds of latitude that one source pixel spans on the ground at a
    // position, the smaller of its two sides, so pixels square on the ground
    // and that fine lose no detail there.
    COutcome ResolutionAt(double dLongitude, double dLatitude, double& dSeconds) const;

    // Reads the source from now on through a copy of about dSeconds per
    // pixel at a position where it is much finer (its overviews where it has
    // them), so that what a warp holds follows the sheets, not the source.
    COutcome ReduceTo(double dLongitude, double dLatitude, double dSeconds);

    // Warps the source onto the grid of window's box and size (bilinear) and
    // hands it to fnSink in strips, from the bottom strip upwards, so
    // bottom-up bitmaps can be written as it comes; only a strip is held at
    // a time.
    COutcome Warp(const CMapSheet& window, const MapPlaneSink& fnSink) const;

private:
    COutcome Prepare();
    // Fails when a block of the source alone would take too much memory.
    COutcome CheckBlocks() const;
    void ChooseBands();
    GDALDatasetH Raster() const { return m_hReduced ? m_hReduced : m_hPrepared ? m_hPrepared : m_hSource; }
    void* CreateTransformer() const;
    // Bands, alpha, no-data and threads of the warp, without its transform.
    GDALWarpOptions* NewWarpOptions() const;

    QString m_strPath;
    GDALDatasetH m_hSource = nullptr;     // as opened
    GDALDatasetH m_hPrepared = nullptr;   // a VRT with the palette expanded or the .prj applied, or null
    GDALDatasetH m_hReduced = nullptr;    // a VRT of the prepared raster at a coarser resolution, or null
    int m_nBands[3] = {1, 1, 1};    // red, green and blue source bands
    int m_nAlphaBand = 0;           // 0: none
};
