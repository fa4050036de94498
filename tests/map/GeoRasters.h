#pragma once

#include <QRgb>
#include <QString>

// Georeferenced test maps made through GDAL: a pattern of coloured blocks
// whose colour at any position is known, written in the formats users bring.

constexpr int GEORASTER_BLOCK = 32;   // block side in source pixels

// A source raster's grid: nWidth x nHeight pixels, the top-left corner at
// (dLeft, dTop) in the coordinate system nEpsg, dStep units per pixel.
struct CGeoGrid
{
    int nEpsg = 4326;
    double dLeft = 0;
    double dTop = 0;
    double dStep = 0;
    int nWidth = 0;
    int nHeight = 0;
};

enum class EPixels
{
    Rgb,
    Rgba,      // every fifth block transparent
    Grey,
    Palette,
};

// Colour of the block at source pixel (x, y) as the sheets must show it;
// grey and palette rasters carry the same colours (grey as its green value
// repeated), transparent blocks are white.
QRgb BlockColour(int x, int y, EPixels ePixels = EPixels::Rgb);

// Source pixel of a longitude and latitude on the grid (Web Mercator for 3857).
void GridPixel(const CGeoGrid& grid, double dLongitude, double dLatitude, double& x, double& y);
// Longitude and latitude of a source pixel position.
void GridPosition(const CGeoGrid& grid, double x, double y, double& dLongitude, double& dLatitude);

// Writes the pattern through a GDAL driver ("GTiff", "PNG", "MBTILES");
// with bGeoreferenced false the file carries no georeference at all.
bool WritePattern(const QString& strPath, const char* szDriver, const CGeoGrid& grid, EPixels ePixels,
                  bool bGeoreferenced = true);

// The grid (EPSG:4326) as an OziExplorer .map beside an image of that name.
bool WriteOziMap(const QString& strMapPath, const QString& strImageName, const CGeoGrid& grid);

// The grid (EPSG:4326) as a world file and a .prj beside the image strImagePath.
bool WriteWorldFile(const QString& strImagePath, const CGeoGrid& grid);
