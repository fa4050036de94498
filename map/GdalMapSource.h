#pragma once

#include "map/MapImporter.h"
#include "map/MapSheetGrid.h"
#include "platform/Outcome.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <gdal.h>
#include <gdalwarper.h>
#include <memory>

// Receives the rows of one strip of a sheet, top row first, each row
// nStride bytes of blue, green, red triples (padding zeroed).
using MapStripSink = std::function<COutcome(const uint8_t* pbyRows, int nRows, int nStride)>;

// The transform and warp operation of one sheet.
class CSheetWarp
{
public:
    CSheetWarp(void* hTransform, GDALWarpOperationH hOperation);
    ~CSheetWarp();
    CSheetWarp(const CSheetWarp&) = delete;
    CSheetWarp& operator=(const CSheetWarp&) = delete;

    GDALWarpOperationH Operation() const { return m_hOperation; }

private:
    void* m_hTransform;
    GDALWarpOperationH m_hOperation;
};

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

    // The source's footprint in longitude and latitude.
    COutcome Footprint(CGeoBox& box) const;

    // Arc-seconds that one source pixel spans at a position, the smaller of
    // its two sides, so a grid that fine loses no detail there.
    COutcome ResolutionAt(double dLongitude, double dLatitude, double& dSeconds) const;

    // Warps the source onto the sheet's grid (bilinear) and hands it to
    // fnSink in strips, from the bottom strip upwards, so a bottom-up bitmap
    // can be written as it comes; only a strip is held at a time.
    COutcome WarpSheet(const CMapSheet& sheet, const MapStripSink& fnSink) const;

private:
    COutcome Prepare();
    void ChooseBands();
    GDALDatasetH Raster() const { return m_hPrepared ? m_hPrepared : m_hSource; }
    void* CreateTransformer() const;
    // The warp onto the sheet's grid; null on failure.
    std::unique_ptr<CSheetWarp> NewSheetWarp(const CMapSheet& sheet) const;

    QString m_strPath;
    GDALDatasetH m_hSource = nullptr;     // as opened
    GDALDatasetH m_hPrepared = nullptr;   // a VRT with the palette expanded or the .prj applied, or null
    int m_nBands[3] = {1, 1, 1};    // red, green and blue source bands
    int m_nAlphaBand = 0;           // 0: none
};
