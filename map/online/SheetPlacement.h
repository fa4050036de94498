#pragma once

#include "map/MapSheetGrid.h"

#include <cstdint>

// Where an online sheet lies. Sheets of N by N pixels sit on a fixed grid of
// the tile zoom's Web Mercator pixels with a step of half a sheet; a position
// takes the sheet whose centre is nearest, so it lies at least about a
// quarter of the sheet from every edge and nearby positions share one file.
// The sheet itself is on the catalogue's longitude and latitude grid: edges on
// whole arc-seconds, pixels square on the ground at its centre, as fine as
// the tiles there.

constexpr int ONLINE_TILE_PIXELS = 256;
constexpr double ONLINE_MAX_LATITUDE = 85.0511287798;   // Web Mercator's square world

struct CSheetPlacement
{
    CMapSheet m_sheet;   // row and column on the grid, edges, N by N pixels
    int m_nZoom = 0;
};

// The tiles a sheet needs: columns and rows of the zoom, first to last. Rows
// stop at the world's edges (Mercator's latitude limit); columns past the
// antimeridian wrap.
struct CTileRange
{
    int64_t m_nFirstX = 0;
    int64_t m_nLastX = 0;
    int64_t m_nFirstY = 0;
    int64_t m_nLastY = 0;
};

// Web Mercator pixel of a longitude or latitude at a zoom, 0 at the west or
// north edge of the world.
double MercatorX(double dLongitude, int nZoom);
double MercatorY(double dLatitude, int nZoom);

// False when the world at nZoom is narrower than a sheet of nPixels.
bool PlaceSheet(double dLatitude, double dLongitude, int nZoom, int nPixels, CSheetPlacement& placement);

CTileRange TilesOfSheet(const CSheetPlacement& placement);
