#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <span>

class QColor;
class QPainter;

// The handheld's screen: the layout every view is drawn for, and what "Fit
// window" fits into the window.
constexpr int ZOOM_LAYOUT_WIDTH = 240;
constexpr int ZOOM_LAYOUT_HEIGHT = 268;

// A zoom factor of 0: as large as the window allows.
constexpr double ZOOM_FIT_WINDOW = 0.0;

// Menu commands of View, "Zoom".
constexpr int ID_VIEW_ZOOM_100 = 32830;
constexpr int ID_VIEW_ZOOM_150 = 32831;
constexpr int ID_VIEW_ZOOM_200 = 32832;
constexpr int ID_VIEW_ZOOM_300 = 32833;
constexpr int ID_VIEW_ZOOM_FIT = 32834;

// One choice of View, "Zoom": how much larger than the handheld's pixels the
// views are drawn.
struct CZoomRow
{
    int32_t nSetting;   // the "Zoom" setting: percent, 0 for "Fit window"
    const char* szMenuText;
    int nCommandId;
    double dFactor;     // ZOOM_FIT_WINDOW for "Fit window"
};

// Every choice, in the order of the menu.
std::span<const CZoomRow> ZoomTable();

// The choice a stored "Zoom" names; 1x for any other number.
const CZoomRow& ZoomFromSetting(int32_t nSetting);
// Null when no choice has that command.
const CZoomRow* FindZoomByCommand(int nCommandId);

// Where a window draws its layout: the scale, the device-independent pixel
// of the layout's top-left corner, and the layout's client rectangle (left
// and top 0, in layout pixels).
struct CLayoutPlacement
{
    double dScale = 1.0;
    QPoint offset;
    QRect rcLayout;

    // A window point in layout pixels, as the stylus handlers take it.
    QPoint ToLayout(const QPoint& pt) const;
    // The layout's rectangle in the window.
    QRect WindowRect() const;
};

// A fixed factor gives the layout the whole window, that many times smaller;
// ZOOM_FIT_WINDOW the largest factor at which szLayout fits, centred.
CLayoutPlacement PlaceLayout(double dZoom, const QSize& szWindow, const QSize& szLayout);

// Paints what the layout leaves of the window, so that nothing stale stays
// beside a centred layout, and keeps the painter within the layout.
void PrepareLayoutPainter(QPainter& painter, const CLayoutPlacement& placement, const QSize& szWindow,
                          const QColor& background);
