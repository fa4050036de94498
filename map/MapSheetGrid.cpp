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

// The longest side of a sheet and the overlap of neighbours, in seconds;
// false when sheets of nSheetPixels cannot overlap by whole seconds.
bool SheetSeconds(double dResolution, int nSheetPixels, int64_t& nMaxSeconds, int64_t& nOverlap)
{
    nMaxSeconds = int64_t(std::floor(nSheetPixels * dResolution + MAPSHEET_SNAP_SLACK));
    nOverlap = int64_t(std::ceil(MAPSHEET_OVERLAP_PIXELS * dResolution));
    return nMaxSeconds > nOverlap;
}

int64_t AxisCount(int64_t nLength, int64_t nMaxSeconds, int64_t nOverlap)
{
    if (nLength <= nMaxSeconds)
        return 1;
    const int64_t nStep = nMaxSeconds - nOverlap;
    return (nLength - nOverlap + nStep - 1) / nStep;
}

// Spans of at most nMaxSeconds covering [nStart, nEnd], neighbours sharing
// nOverlap seconds, as even as whole seconds allow.
std::vector<CSpan> SplitAxis(int64_t nStart, int64_t nEnd, int64_t nMaxSeconds, int64_t nOverlap)
{
    const int64_t nLength = nEnd - nStart;
    if (nLength <= nMaxSeconds)
        return {{nStart, nEnd}};
    const int64_t nCount = AxisCount(nLength, nMaxSeconds, nOverlap);
    std::vector<CSpan> spans;
    for (int64_t i = 0; i < nCount; ++i)
        spans.push_back({nStart + i * (nLength - nOverlap) / nCount,
                         nStart + (i + 1) * (nLength - nOverlap) / nCount + nOverlap});
    return spans;
}

// Pixels for a span so that none is coarser than dResolution.
int PixelsFor(int64_t nSeconds, double dResolution)
{
    return int(std::ceil(double(nSeconds) / dResolution - MAPSHEET_SNAP_SLACK));
}

}

CArcBox SnapOutward(double dWest, double dSouth, double dEast, double dNorth)
{
    const auto down = [](double d) { return int64_t(std::floor(d * 3600.0 + MAPSHEET_SNAP_SLACK)); };
    const auto up = [](double d) { return int64_t(std::ceil(d * 3600.0 - MAPSHEET_SNAP_SLACK)); };
    // At least one second across and down, so no sheet is empty.
    const int64_t nWest = down(dWest);
    const int64_t nSouth = down(dSouth);
    return {nWest, std::max(up(dEast), nWest + 1), nSouth, std::max(up(dNorth), nSouth + 1)};
}

int64_t CountSheets(const CArcBox& box, double dResolution, int nSheetPixels)
{
    int64_t nMaxSeconds = 0;
    int64_t nOverlap = 0;
    if (!SheetSeconds(dResolution, nSheetPixels, nMaxSeconds, nOverlap))
        return 0;
    return AxisCount(box.m_nEast - box.m_nWest, nMaxSeconds, nOverlap)
           * AxisCount(box.m_nNorth - box.m_nSouth, nMaxSeconds, nOverlap);
}

std::vector<CMapSheet> LayOutSheets(const CArcBox& box, double dResolution, int nSheetPixels)
{
    int64_t nMaxSeconds = 0;
    int64_t nOverlap = 0;
    if (!SheetSeconds(dResolution, nSheetPixels, nMaxSeconds, nOverlap))
        return {};
    const std::vector<CSpan> columns = SplitAxis(box.m_nWest, box.m_nEast, nMaxSeconds, nOverlap);
    const std::vector<CSpan> rows = SplitAxis(box.m_nSouth, box.m_nNorth, nMaxSeconds, nOverlap);
    std::vector<CMapSheet> sheets;
    for (size_t r = 0; r < rows.size(); ++r) {
        const CSpan& row = rows[rows.size() - 1 - r];
        for (size_t c = 0; c < columns.size(); ++c) {
            CMapSheet sheet;
            sheet.m_nRow = int(r);
            sheet.m_nCol = int(c);
            sheet.m_box = {columns[c].nStart, columns[c].nEnd, row.nStart, row.nEnd};
            sheet.m_nWidth = PixelsFor(columns[c].nEnd - columns[c].nStart, dResolution);
            sheet.m_nHeight = PixelsFor(row.nEnd - row.nStart, dResolution);
            sheets.push_back(sheet);
        }
    }
    return sheets;
}

QString CalibrationValue(int64_t nSeconds)
{
    const int64_t nAbs = std::llabs(nSeconds);
    const int64_t nDegrees = nAbs / 3600;
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
