#include "display/MapScaleBar.h"

#include "display/ViewColours.h"
#include "map/CMapBitmap.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"
#include "track/TripStats.h"

#include <QRect>
#include <algorithm>
#include <cmath>

namespace {

constexpr int SCALE_AREA_PART = 3;           // the bar takes at most a third of the width
constexpr double SCALE_SHORTEST_M = 1.0;
constexpr double SCALE_LONGEST_M = 20000e3;  // half the equator
constexpr double SCALE_KM_FROM_M = 1000.0;
constexpr double SCALE_DEGREE_STEP = 1e-4;   // along the parallel, to measure its metres
constexpr int SCALE_LEFT = 6;                // as the window's texts
constexpr int SCALE_BOTTOM_GAP = 5;          // from the bar to the drawing area's bottom
constexpr int SCALE_TICK = 4;                // the bar's end marks, upwards
constexpr int SCALE_TEXT_GAP = 1;            // from the text to the bar
constexpr int SCALE_PLATE_MARGIN = 3;        // the white plate around bar and text

const double SCALE_STEPS[] = {1.0, 2.0, 5.0};

// The metres of one degree of longitude at the latitude.
double MetresPerDegreeEast(double dLatitude)
{
    return GreatCircleMeters(CGeoPoint{dLatitude, 0.0}, CGeoPoint{dLatitude, SCALE_DEGREE_STEP})
           / SCALE_DEGREE_STEP;
}

}

CScaleBar ScaleBarFor(double dMetresPerPixel, int nAreaWidth)
{
    CScaleBar bar;
    if (!(dMetresPerPixel > 0) || !std::isfinite(dMetresPerPixel) || nAreaWidth < SCALE_AREA_PART)
        return bar;
    const double dLongest = dMetresPerPixel * (nAreaWidth / SCALE_AREA_PART);
    double dChosen = 0;
    for (double dPower = SCALE_SHORTEST_M; dPower <= SCALE_LONGEST_M; dPower *= 10) {
        for (double dStep : SCALE_STEPS) {
            if (dStep * dPower <= dLongest && dStep * dPower <= SCALE_LONGEST_M)
                dChosen = dStep * dPower;
        }
    }
    if (dChosen == 0)
        return bar;
    bar.nPixels = TruncToInt(dChosen / dMetresPerPixel);
    bar.strText = dChosen < SCALE_KM_FROM_M ? FormatText("%.0f m", dChosen)
                                            : FormatText("%.0f km", dChosen / SCALE_KM_FROM_M);
    return bar;
}

void DrawMapScaleBar(CDC* pDC, const CMapBitmap& map, const QRect& rcArea)
{
    // A map whose name gives no edges has no scale.
    if (!(map.m_lonMax > map.m_lonMin) || !(map.m_latMax > map.m_latMin))
        return;
    const double dMiddleLatitude = map.m_latMax - (map.m_panY + map.m_viewHeight * 0.5) * map.m_latPerPixel;
    const double dMetresPerPixel =
        map.m_zoom * map.m_lonPerPixel * MetresPerDegreeEast(std::clamp(dMiddleLatitude, -90.0, 90.0));
    const CScaleBar bar = ScaleBarFor(dMetresPerPixel, rcArea.width());
    if (bar.nPixels <= 0)
        return;
    const int y = rcArea.bottom() - SCALE_BOTTOM_GAP;
    const QSize text = pDC->GetTextExtent(bar.strText);
    const int yText = y - SCALE_TICK - SCALE_TEXT_GAP - text.height();
    const int nPlateRight = SCALE_LEFT + std::max(bar.nPixels, text.width()) + SCALE_PLATE_MARGIN;
    pDC->FillSolidRect(QRect(QPoint(SCALE_LEFT - SCALE_PLATE_MARGIN, yText - SCALE_PLATE_MARGIN + SCALE_TEXT_GAP),
                             QPoint(nPlateRight, y + SCALE_PLATE_MARGIN)),
                       CLR_WINDOW);
    const QColor oldColor = pDC->SetTextColor(CLR_BLACK);
    pDC->TextOut(SCALE_LEFT, yText, bar.strText);
    pDC->SetTextColor(oldColor);
    const QPen oldPen = pDC->SelectPen(PEN_SCALE_BAR);
    pDC->MoveTo(SCALE_LEFT, y - SCALE_TICK);
    pDC->LineTo(SCALE_LEFT, y);
    pDC->LineTo(SCALE_LEFT + bar.nPixels, y);
    pDC->LineTo(SCALE_LEFT + bar.nPixels, y - SCALE_TICK - 1);
    pDC->SelectPen(oldPen);
}
