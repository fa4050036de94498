#include "display/CompassNeedle.h"

#include "display/ViewColours.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"

#include <cmath>

namespace {

constexpr float NEEDLE_DEG_TO_RAD = 0.017453292f;
constexpr int NEEDLE_PEN_WIDTH = 4;

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
    const float fAngle = fCourse * NEEDLE_DEG_TO_RAD;
    const int dx = TruncToInt(float(nRadius * std::sin(double(fAngle))));
    const int dy = TruncToInt(float(nRadius * std::cos(double(fAngle))));
    pDC->LineTo(cx - dx, cy - dy);
    pDC->SelectPen(oldPen);
}
