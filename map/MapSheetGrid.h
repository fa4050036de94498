#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Imported maps are cut into sheets whose edges lie on whole arc-seconds, so
// the calibration in a sheet's file name (seconds form) describes its pixel
// grid exactly. All sheets of a map lie on one pixel grid, whose pitch on
// each axis is a whole number of seconds over a whole number of pixels (a
// cell), so the map is warped once and every pixel of an overlap is the
// same in both sheets. The two axes have pitches of their own: the
// calibration keeps them apart, so pixels can be square on the ground.

constexpr int MAPSHEET_OVERLAP_PIXELS = 64;   // neighbours share at least this many pixels
constexpr int64_t MAPSHEET_SECONDS_PER_DEGREE = 3600;
constexpr double MAPSHEET_TURN_DEGREES = 360;   // longitudes a turn apart are one

// An area in decimal degrees, WGS 84 longitude and latitude.
struct CGeoBox
{
    double m_dWest = 0;
    double m_dSouth = 0;
    double m_dEast = 0;
    double m_dNorth = 0;
};

// An area in whole arc-seconds, west < east and south < north.
struct CArcBox
{
    int64_t m_nWest = 0;
    int64_t m_nEast = 0;
    int64_t m_nSouth = 0;
    int64_t m_nNorth = 0;
};

// Arc-seconds per pixel down (latitude) and across (longitude).
struct CResolution
{
    double m_dLatitude = 0;
    double m_dLongitude = 0;
};

// A cell of the grid along one axis: nSeconds in nPixels pixels.
struct CGridCell
{
    int64_t nSeconds = 1;
    int nPixels = 1;
};

struct CMapSheet
{
    int m_nRow = 0;      // 0 is the northernmost row
    int m_nCol = 0;      // 0 is the westernmost column
    CArcBox m_box;
    int m_nWidth = 0;    // pixels
    int m_nHeight = 0;
    int m_nLeft = 0;     // pixels from the west edge of the whole grid
    int m_nTop = 0;      // pixels from its north edge
    int m_nPart = 0;     // the grid it lies on: 1 east of the antimeridian where an area crosses it
    QString m_strName;   // file name, calibration included
};

// The smallest whole-second box that holds the area, at least a second
// across and down.
CArcBox SnapOutward(const CGeoBox& area);

// The coarsest cell whose pitch is no coarser than dResolution seconds per
// pixel, of at most MAPSHEET_OVERLAP_PIXELS pixels where the resolution
// allows (finer than a second per MAPSHEET_OVERLAP_PIXELS pixels, a cell is
// one second).
CGridCell GridCell(double dResolution);

// The area the sheets cover: box widened east and south to whole cells,
// with its size in pixels, at row 0 and column 0.
CMapSheet GridExtent(const CArcBox& box, const CResolution& resolution);

// How many sheets LayOutSheets makes, worked out without making them; 0 when
// it would make none.
int64_t CountSheets(const CArcBox& box, const CResolution& resolution, int nSheetPixels);

// Covers GridExtent(box, resolution) with sheets of at most nSheetPixels
// pixels across and down, neighbours overlapping by at least
// MAPSHEET_OVERLAP_PIXELS, rows from the north, columns from the west.
// Empty when sheets that small cannot overlap by whole cells.
std::vector<CMapSheet> LayOutSheets(const CArcBox& box, const CResolution& resolution, int nSheetPixels);

// "STEM_ROW_COL_X<west>_<east>Y<south>_<north>.bmp" in the seconds form, with
// every upper-case X of the stem lowered so the calibration starts where it
// should.
QString SheetFileName(const QString& strStem, const CMapSheet& sheet);

// One value of the calibration grammar for a number of arc-seconds. The sign
// is read from the degrees alone, so between -1 and 0 degrees it goes on the
// minutes and seconds ("0G-30M-15S").
QString CalibrationValue(int64_t nSeconds);
