#include "map/MapSheetGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Degrees that are whole seconds but for rounding noise are not widened by
// another second.
constexpr double MAPSHEET_SNAP_SLACK = 1e-6;

struct CSpan
{
    int64_t nStart;
    int64_t nEnd;
};

int64_t CellsAcross(int64_t nSeconds, const CGridCell& cell)
{
    return (nSeconds + cell.nSeconds - 1) / cell.nSeconds;
}

// One axis of the sheets: its cell, the longest side of a sheet and the
// overlap of neighbours in cells; bFits false when sheets of nSheetPixels
// cannot overlap by whole cells.
struct CSheetAxis
{
    CGridCell cell;
    int64_t nMaxCells = 0;
    int64_t nOverlap = 0;
    bool bFits = false;
};

CSheetAxis SheetAxis(double dResolution, int nSheetPixels)
{
    CSheetAxis axis;
    axis.cell = GridCell(dResolution);
    axis.nMaxCells = nSheetPixels / axis.cell.nPixels;
    axis.nOverlap = (MAPSHEET_OVERLAP_PIXELS + axis.cell.nPixels - 1) / axis.cell.nPixels;
    axis.bFits = axis.nMaxCells > axis.nOverlap;
    return axis;
}

int64_t AxisCount(int64_t nLength, int64_t nMaxCells, int64_t nOverlap)
{
    if (nLength <= nMaxCells)
        return 1;
    const int64_t nStep = nMaxCells - nOverlap;
    return (nLength - nOverlap + nStep - 1) / nStep;
}

// Spans of at most nMaxCells covering [0, nLength], neighbours sharing
// nOverlap cells, as even as whole cells allow.
std::vector<CSpan> SplitAxis(int64_t nLength, int64_t nMaxCells, int64_t nOverlap)
{
    if (nLength <= nMaxCells)
        return {{0, nLength}};
    const int64_t nCount = AxisCount(nLength, nMaxCells, nOverlap);
    std::vector<CSpan> spans;
    for (int64_t i = 0; i < nCount; ++i)
        spans.push_back({i * (nLength - nOverlap) / nCount, (i + 1) * (nLength - nOverlap) / nCount + nOverlap});
    return spans;
}

}

CArcBox SnapOutward(const CGeoBox& area)
{
    constexpr double dPerDegree = MAPSHEET_SECONDS_PER_DEGREE;
    const auto down = [](double d) { return int64_t(std::floor(d * dPerDegree + MAPSHEET_SNAP_SLACK)); };
    const auto up = [](double d) { return int64_t(std::ceil(d * dPerDegree - MAPSHEET_SNAP_SLACK)); };
    // At least one second across and down, so no sheet is empty.
    const int64_t nWest = down(area.m_dWest);
    const int64_t nSouth = down(area.m_dSouth);
    return {nWest, std::max(up(area.m_dEast), nWest + 1), nSouth, std::max(up(area.m_dNorth), nSouth + 1)};
}

CGridCell GridCell(double dResolution)
{
    // Finer than a second per MAPSHEET_OVERLAP_PIXELS pixels, a second takes
    // as many pixels as the resolution asks.
    const double dPixelsPerSecond = std::ceil(1.0 / dResolution - MAPSHEET_SNAP_SLACK);
    if (dPixelsPerSecond > MAPSHEET_OVERLAP_PIXELS)
        return {1, int(std::min<double>(dPixelsPerSecond, INT32_MAX))};
    CGridCell best {1, MAPSHEET_OVERLAP_PIXELS};
    for (int nPixels = 1; nPixels <= MAPSHEET_OVERLAP_PIXELS; ++nPixels) {
        const int64_t nSeconds = int64_t(std::floor(dResolution * nPixels + MAPSHEET_SNAP_SLACK));
        // The coarser pitch wins: nSeconds / nPixels > best.nSeconds / best.nPixels.
        if (nSeconds >= 1 && nSeconds * best.nPixels > best.nSeconds * nPixels)
            best = {nSeconds, nPixels};
    }
    return best;
}

CMapSheet GridExtent(const CArcBox& box, const CResolution& resolution)
{
    const CGridCell across = GridCell(resolution.m_dLongitude);
    const CGridCell down = GridCell(resolution.m_dLatitude);
    const int64_t nCellsAcross = CellsAcross(box.m_nEast - box.m_nWest, across);
    const int64_t nCellsDown = CellsAcross(box.m_nNorth - box.m_nSouth, down);
    CMapSheet extent;
    extent.m_box = {box.m_nWest, box.m_nWest + nCellsAcross * across.nSeconds,
                    box.m_nNorth - nCellsDown * down.nSeconds, box.m_nNorth};
    extent.m_nWidth = int(std::min<int64_t>(nCellsAcross * across.nPixels, INT32_MAX));
    extent.m_nHeight = int(std::min<int64_t>(nCellsDown * down.nPixels, INT32_MAX));
    return extent;
}

int64_t CountSheets(const CArcBox& box, const CResolution& resolution, int nSheetPixels)
{
    const CSheetAxis across = SheetAxis(resolution.m_dLongitude, nSheetPixels);
    const CSheetAxis down = SheetAxis(resolution.m_dLatitude, nSheetPixels);
    if (!across.bFits || !down.bFits)
        return 0;
    return AxisCount(CellsAcross(box.m_nEast - box.m_nWest, across.cell), across.nMaxCells, across.nOverlap)
           * AxisCount(CellsAcross(box.m_nNorth - box.m_nSouth, down.cell), down.nMaxCells, down.nOverlap);
}

std::vector<CMapSheet> LayOutSheets(const CArcBox& box, const CResolution& resolution, int nSheetPixels)
{
    const CSheetAxis across = SheetAxis(resolution.m_dLongitude, nSheetPixels);
    const CSheetAxis down = SheetAxis(resolution.m_dLatitude, nSheetPixels);
    if (!across.bFits || !down.bFits)
        return {};
    const std::vector<CSpan> columns =
        SplitAxis(CellsAcross(box.m_nEast - box.m_nWest, across.cell), across.nMaxCells, across.nOverlap);
    const std::vector<CSpan> rows =
        SplitAxis(CellsAcross(box.m_nNorth - box.m_nSouth, down.cell), down.nMaxCells, down.nOverlap);
    std::vector<CMapSheet> sheets;
    for (size_t r = 0; r < rows.size(); ++r) {
        // Rows are counted in cells from the north edge.
        const CSpan& row = rows[r];
        for (size_t c = 0; c < columns.size(); ++c) {
            CMapSheet sheet;
            sheet.m_nRow = int(r);
            sheet.m_nCol = int(c);
            sheet.m_box = {box.m_nWest + columns[c].nStart * across.cell.nSeconds,
                           box.m_nWest + columns[c].nEnd * across.cell.nSeconds,
                           box.m_nNorth - row.nEnd * down.cell.nSeconds, box.m_nNorth - row.nStart * down.cell.nSeconds};
            sheet.m_nWidth = int((columns[c].nEnd - columns[c].nStart) * across.cell.nPixels);
            sheet.m_nHeight = int((row.nEnd - row.nStart) * down.cell.nPixels);
            sheet.m_nLeft = int(columns[c].nStart * across.cell.nPixels);
            sheet.m_nTop = int(row.nStart * down.cell.nPixels);
            sheets.push_back(sheet);
        }
    }
    return sheets;
}

QString CalibrationValue(int64_t nSeconds)
{
    const int64_t nAbs = std::llabs(nSeconds);
    const int64_t nDegrees = nAbs / MAPSHEET_SECONDS_PER_DEGREE;
    const int64_t nMinutes = nAbs / 60 % 60;
    const int64_t nRest = nAbs % 60;
    if (nSeconds < 0 && nDegrees == 0)
        return QStringLiteral("0G%1M%2S").arg(-nMinutes).arg(-nRest);
    return QStringLiteral("%1%2G%3M%4S")
        .arg(nSeconds < 0 ? QStringLiteral("-") : QString(), QString::number(nDegrees),
             QString::number(nMinutes), QString::number(nRest));
}

QString SheetFileName(const QString& strStem, const CMapSheet& sheet)
{
    QString strSafeStem = strStem;
    strSafeStem.replace(u'X', u'x');
    const CArcBox& b = sheet.m_box;
    // One substitution pass: a stem holding "%1" stays as it is.
    return QStringLiteral("%1_%2_%3_X%4_%5Y%6_%7.bmp")
        .arg(strSafeStem, QString::number(sheet.m_nRow), QString::number(sheet.m_nCol),
             CalibrationValue(b.m_nWest), CalibrationValue(b.m_nEast), CalibrationValue(b.m_nSouth),
             CalibrationValue(b.m_nNorth));
}
