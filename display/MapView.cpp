#include "display/MapView.h"

#include "display/CompassNeedle.h"
#include "display/DestinationMarks.h"
#include "display/MapAttribution.h"
#include "display/MapScaleBar.h"
#include "display/MapStateText.h"
#include "display/ViewColours.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "map/CMapBitmap.h"
#include "map/Viewport.h"
#include "platform/gui/CDC.h"
#include "platform/TextFormat.h"
#include "track/Destination.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int MAP_NEEDLE_X = 25;
constexpr int MAP_NEEDLE_Y = 24;
constexpr int MAP_NEEDLE_RADIUS = 23;
constexpr int MAP_TEXT_LINE = 25;
constexpr int MAP_ARROW_ARM = 20;
constexpr float MAP_ARROW_BACK_RIGHT = 145.0f;
constexpr float MAP_ARROW_BACK_LEFT = 215.0f;
constexpr int MAP_HEADING_LENGTH = 150;
constexpr float MAP_DEG_TO_RAD = 0.017453292f;

// The point at nDistance pixels from pt in the direction fDegrees clockwise
// from north (screen y grows downwards).
QPoint PointAt(const QPoint& pt, int nDistance, float fDegrees)
{
    const double dAngle = double(fDegrees * MAP_DEG_TO_RAD);
    const int dx = TruncToInt(nDistance * std::sin(dAngle));
    const int dy = TruncToInt(nDistance * std::cos(dAngle));
    // A position projected far off the map saturates; stay within int.
    return QPoint(TruncToInt(double(pt.x()) + dx), TruncToInt(double(pt.y()) - dy));
}

// A source rectangle far off any bitmap shows nothing wherever it lies; the
// limit keeps its far edge within int.
int SourceCoordinate(double dValue)
{
    constexpr double MAP_SOURCE_LIMIT = 1 << 29;
    return TruncToInt(std::clamp(dValue, -MAP_SOURCE_LIMIT, MAP_SOURCE_LIMIT));
}

float ReduceDegrees(float fDegrees)
{
    return fDegrees >= 360.0f ? fDegrees - 360.0f : fDegrees;
}

// Text centred on MAP_NEEDLE_X, standing on (bAbove) or hanging from the
// line MAP_TEXT_LINE.
void DrawCentredText(CDC* pDC, const QString& strText, bool bAbove)
{
    const QSize size = pDC->GetTextExtent(strText);
    pDC->TextOut(MAP_NEEDLE_X - size.width() / 2, bAbove ? MAP_TEXT_LINE - size.height() : MAP_TEXT_LINE,
                 strText);
}

}

void DrawMapView(CDC* pDC, const CViewContext& view)
{
    const CGpsTracker* pTracker = &view.m_tracker;
    const CMapBitmap* pMap = view.m_pMap;
    if (pMap == nullptr || pMap->m_hDib == nullptr)
        return;

    const QRect rcArea = MapDrawingArea(view.m_rcClient);
    const int W = rcArea.width();
    const int B = rcArea.height();

    // A drag in progress moves only the picture; the pan follows at pen-up.
    double dSrcX = pMap->m_panX;
    double dSrcY = pMap->m_panY;
    if (view.m_drag.m_bStylusDown) {
        dSrcX -= view.m_drag.m_dragX;
        dSrcY -= view.m_drag.m_dragY;
    }
    const QRect rcSource(SourceCoordinate(dSrcX), SourceCoordinate(dSrcY),
                         SourceCoordinate(pMap->m_viewWidth), SourceCoordinate(pMap->m_viewHeight));
    // Where the view reaches past the bitmap the copy leaves the window as it
    // was, with the previous heading line and arrowhead: erase that first.
    if (!pMap->m_hDib->rect().contains(rcSource))
        pDC->FillSolidRect(QRect(0, 0, W, B), CLR_WINDOW);
    // Zoomed out, every pixel counts in the picture, so lines and letters
    // stay whole; zoomed in, no blocks.
    pDC->StretchBltSmooth(QRect(0, 0, W, B), *pMap->m_hDib, rcSource, pMap->m_halvings);

    const float fCourse = pTracker->m_fCourse;
    DrawCompassNeedle(pDC, MAP_NEEDLE_X, MAP_NEEDLE_Y, MAP_NEEDLE_RADIUS, fCourse);
    pDC->SetTextColor((pTracker->m_nUpdateFlags & UPD_COURSE) ? CLR_BLACK : CLR_GREY);
    DrawCentredText(pDC, CourseText(fCourse), true);
    pDC->SetTextColor((pTracker->m_nUpdateFlags & UPD_SPEED) ? CLR_BLACK : CLR_GREY);
    DrawCentredText(pDC, FormatText("%.1f", double(pTracker->m_fSpeed)), false);

    const QPoint pos = pMap->ProjectToScreen(double(pTracker->m_fLongitude),
                                             double(pTracker->m_fLatitude));
    const QPen oldPen = pDC->SelectPen(view.m_penTrack);

    const QPoint armRight = PointAt(pos, MAP_ARROW_ARM, ReduceDegrees(fCourse + MAP_ARROW_BACK_RIGHT));
    const QPoint armLeft = PointAt(pos, MAP_ARROW_ARM, ReduceDegrees(fCourse + MAP_ARROW_BACK_LEFT));
    pDC->MoveTo(armRight.x(), armRight.y());
    pDC->LineTo(pos.x(), pos.y());
    pDC->LineTo(armLeft.x(), armLeft.y());

    // Every point, unthinned; a point off the drawing area lifts the pen.
    bool bPenDown = false;
    for (const CTrackPoint& point : view.m_points) {
        const QPoint pt = pMap->ProjectToScreen(double(point.m_fLongitude), double(point.m_fLatitude));
        if (pt.x() < 0 || pt.x() > W || pt.y() < 0 || pt.y() > B) {
            bPenDown = false;
        } else if (bPenDown) {
            pDC->LineTo(pt.x(), pt.y());
        } else {
            pDC->MoveTo(pt.x(), pt.y());
            bPenDown = true;
        }
    }

    pDC->SelectPen(view.m_penHeading);
    const QPoint heading = PointAt(pos, MAP_HEADING_LENGTH, fCourse);
    pDC->MoveTo(pos.x(), pos.y());
    pDC->LineTo(heading.x(), heading.y());
    pDC->SelectPen(oldPen);

    if (const std::optional<CDestination> destination = DestinationOf(view.m_settings)) {
        const CGeoPoint& place = destination->m_point;
        DrawWayToDestination(pDC, pos, pMap->ProjectToScreen(place.m_dLongitude, place.m_dLatitude), rcArea);
    }
    DrawMapScaleBar(pDC, *pMap, rcArea);
    DrawMapAttribution(pDC, *pMap, rcArea);
    DrawMapStateText(pDC, view.m_strMapState, rcArea);
}
