#include "display/ViewZoom.h"

#include <QColor>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const CZoomRow ZOOM_TABLE[] = {
    {100, "1×", ID_VIEW_ZOOM_100, 1.0},
    {150, "1.5×", ID_VIEW_ZOOM_150, 1.5},
    {200, "2×", ID_VIEW_ZOOM_200, 2.0},
    {300, "3×", ID_VIEW_ZOOM_300, 3.0},
    {0, "Fit window", ID_VIEW_ZOOM_FIT, ZOOM_FIT_WINDOW},
};

// Window pixels per layout pixel, rounded so that a window of a whole
// multiple of the layout holds exactly that layout.
int LayoutSide(int nWindow, double dScale)
{
    constexpr double ZOOM_HALF_PIXEL = 0.5;
    return std::max(0, int(std::floor((nWindow + ZOOM_HALF_PIXEL) / dScale)));
}

}

std::span<const CZoomRow> ZoomTable()
{
    return ZOOM_TABLE;
}

const CZoomRow& ZoomFromSetting(int32_t nSetting)
{
    const auto it = std::find_if(std::begin(ZOOM_TABLE), std::end(ZOOM_TABLE),
                                 [nSetting](const CZoomRow& row) { return row.nSetting == nSetting; });
    return it == std::end(ZOOM_TABLE) ? ZOOM_TABLE[0] : *it;
}

const CZoomRow* FindZoomByCommand(int nCommandId)
{
    const auto it = std::find_if(std::begin(ZOOM_TABLE), std::end(ZOOM_TABLE),
                                 [nCommandId](const CZoomRow& row) { return row.nCommandId == nCommandId; });
    return it == std::end(ZOOM_TABLE) ? nullptr : &*it;
}

QPoint CLayoutPlacement::ToLayout(const QPoint& pt) const
{
    const QPoint inside = pt - offset;
    return QPoint(int(std::floor(inside.x() / dScale)), int(std::floor(inside.y() / dScale)));
}

QRect CLayoutPlacement::WindowRect() const
{
    return QRect(offset, QSize(int(std::lround(rcLayout.width() * dScale)),
                               int(std::lround(rcLayout.height() * dScale))));
}

CLayoutPlacement PlaceLayout(double dZoom, const QSize& szWindow, const QSize& szLayout)
{
    CLayoutPlacement placement;
    if (dZoom != ZOOM_FIT_WINDOW) {
        placement.dScale = dZoom;
        placement.rcLayout = QRect(0, 0, LayoutSide(szWindow.width(), dZoom), LayoutSide(szWindow.height(), dZoom));
        return placement;
    }
    // An empty window (not yet shown) draws at 1.
    const double dScale = std::min(double(szWindow.width()) / szLayout.width(),
                                   double(szWindow.height()) / szLayout.height());
    placement.dScale = dScale > 0 ? dScale : 1.0;
    placement.rcLayout = QRect(QPoint(0, 0), szLayout);
    // Whole pixels, so that texts stay on the device's grid.
    const QSize szDrawn = placement.WindowRect().size();
    placement.offset = QPoint(std::max(0, (szWindow.width() - szDrawn.width()) / 2),
                              std::max(0, (szWindow.height() - szDrawn.height()) / 2));
    return placement;
}

void PrepareLayoutPainter(QPainter& painter, const CLayoutPlacement& placement, const QSize& szWindow,
                          const QColor& background)
{
    const QRect rcLayout = placement.WindowRect();
    const QRegion margins = QRegion(QRect(QPoint(0, 0), szWindow)).subtracted(rcLayout);
    for (const QRect& rc : margins)
        painter.fillRect(rc, background);
    painter.setClipRect(rcLayout);
    painter.translate(placement.offset);
}
