#include "display/CompassNeedle.h"

#include "display/ViewColours.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"

#include <cmath>

namespace {

constexpr float NEEDLE_DEG_TO_RAD = 0.017453292f;
constexpr int NEEDLE_PEN_WIDTH = 4;
constexpr int NEEDLE_HOLLOW_HALF_BASE = 8;
constexpr float NEEDLE_QUARTER_TURN = 90.0f;

}

QString CourseText(float fCourse)
{
    return FormatText("%.0f\u00B0", double(fCourse));
}

void DrawCompassNeedle(CDC* pDC, int cx, int cy, int nRadius, float fCourse)
{
    const QPen oldPen = pDC->SelectPen(QPen(CLR_BLACK, NEEDLE_PEN_WIDTH));
    pDC->Ellipse(cx - nRadius, cy - nRadius, cx + nRadius, cy + nRadius);
    pDC->MoveTo(cx, cy);
    // North lies as far left of the top as the course lies right of north.
    const QPoint north = PointOnDial(cx, cy, nRadius, -fCourse);
    pDC->LineTo(north.x(), north.y());
    pDC->SelectPen(oldPen);
}

QPoint PointOnDial(int cx, int cy, int nRadius, float fDegrees)
{
    const float fAngle = fDegrees * NEEDLE_DEG_TO_RAD;
    const int dx = TruncToInt(float(nRadius * std::sin(double(fAngle))));
    const int dy = TruncToInt(float(nRadius * std::cos(double(fAngle))));
    return QPoint(cx + dx, cy - dy);
}

void DrawDestinationNeedle(CDC* pDC, int cx, int cy, int nRadius, float fDegrees)
{
    // A narrow outline: the tip on the rim, the base across the centre.
    const QPoint tip = PointOnDial(cx, cy, nRadius, fDegrees);
    const QPoint left = PointOnDial(cx, cy, NEEDLE_HOLLOW_HALF_BASE, fDegrees - NEEDLE_QUARTER_TURN);
    const QPoint right = PointOnDial(cx, cy, NEEDLE_HOLLOW_HALF_BASE, fDegrees + NEEDLE_QUARTER_TURN);
    const QPen oldPen = pDC->SelectPen(PEN_GOTO_NEEDLE);
    pDC->MoveTo(left.x(), left.y());
    pDC->LineTo(tip.x(), tip.y());
    pDC->LineTo(right.x(), right.y());
    pDC->LineTo(left.x(), left.y());
    pDC->SelectPen(oldPen);
}
