#include "map/online/SheetPlacement.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A sheet edge exactly on a tile border does not take the next tile.
constexpr double ONLINE_EDGE_SLACK = 1e-6;

double WorldPixels(int nZoom)
{
    return std::ldexp(double(ONLINE_TILE_PIXELS), nZoom);
}

double LatitudeOfMercatorY(double dY, int nZoom)
{
    const double dTurns = 1.0 - 2.0 * dY / WorldPixels(nZoom);
    return std::atan(std::sinh(std::numbers::pi * dTurns)) * 180.0 / std::numbers::pi;
}

}

double MercatorX(double dLongitude, int nZoom)
{
    return (dLongitude + 180.0) / MAPSHEET_TURN_DEGREES * WorldPixels(nZoom);
}

double MercatorY(double dLatitude, int nZoom)
{
    const double dPhi = std::clamp(dLatitude, -ONLINE_MAX_LATITUDE, ONLINE_MAX_LATITUDE) * std::numbers::pi / 180.0;
    return (1.0 - std::asinh(std::tan(dPhi)) / std::numbers::pi) / 2.0 * WorldPixels(nZoom);
}

bool PlaceSheet(double dLatitude, double dLongitude, int nZoom, int nPixels, CSheetPlacement& placement)
{
    const double dWorld = WorldPixels(nZoom);
    if (nPixels <= 0 || dWorld < nPixels)
        return false;
    const double dHalf = nPixels / 2.0;
    const int64_t nCol = std::llround(MercatorX(dLongitude, nZoom) / dHalf);
    const int64_t nRow = std::llround(MercatorY(dLatitude, nZoom) / dHalf);
    const double dCentreLon = double(nCol) * dHalf / dWorld * MAPSHEET_TURN_DEGREES - 180.0;
    const double dCentreLat = LatitudeOfMercatorY(double(nRow) * dHalf, nZoom);
    // A tile pixel spans the same longitude everywhere; on the ground it is
    // as tall as it is wide, so at the centre a square pixel spans cos(lat)
    // times that in latitude.
    const double dSecondsAcross = MAPSHEET_TURN_DEGREES * MAPSHEET_SECONDS_PER_DEGREE / dWorld;
    const double dCos = std::cos(dCentreLat * std::numbers::pi / 180.0);
    const int64_t nSpanLon = std::max<int64_t>(1, std::llround(nPixels * dSecondsAcross));
    const int64_t nSpanLat = std::max<int64_t>(1, std::llround(nPixels * dSecondsAcross * dCos));
    CMapSheet& sheet = placement.m_sheet;
    sheet.m_nRow = int(nRow);
    sheet.m_nCol = int(nCol);
    sheet.m_box.m_nWest = std::llround(dCentreLon * MAPSHEET_SECONDS_PER_DEGREE - nSpanLon / 2.0);
    sheet.m_box.m_nEast = sheet.m_box.m_nWest + nSpanLon;
    sheet.m_box.m_nSouth = std::llround(dCentreLat * MAPSHEET_SECONDS_PER_DEGREE - nSpanLat / 2.0);
    sheet.m_box.m_nNorth = sheet.m_box.m_nSouth + nSpanLat;
    sheet.m_nWidth = nPixels;
    sheet.m_nHeight = nPixels;
    placement.m_nZoom = nZoom;
    return true;
}

CTileRange TilesOfSheet(const CSheetPlacement& placement)
{
    const CArcBox& box = placement.m_sheet.m_box;
    const int nZoom = placement.m_nZoom;
    constexpr double DEG = MAPSHEET_SECONDS_PER_DEGREE;
    const auto tile = [](double dPixel) { return int64_t(std::floor(dPixel / ONLINE_TILE_PIXELS)); };
    return {tile(MercatorX(double(box.m_nWest) / DEG, nZoom) + ONLINE_EDGE_SLACK),
            tile(MercatorX(double(box.m_nEast) / DEG, nZoom) - ONLINE_EDGE_SLACK),
            tile(MercatorY(double(box.m_nNorth) / DEG, nZoom) + ONLINE_EDGE_SLACK),
            tile(MercatorY(double(box.m_nSouth) / DEG, nZoom) - ONLINE_EDGE_SLACK)};
}
