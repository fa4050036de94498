#include "display/CompassView.h"

#include "display/ViewColours.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"

#include <cmath>

namespace {

constexpr float COMPASS_DEG_TO_RAD = 0.017453292f;
constexpr int COMPASS_PEN_WIDTH = 4;

}

QString CourseText(float fCourse)
{
    return FormatText("%.0f\u00B0", double(fCourse));
}

void DrawCompassNeedle(CDC* pDC, int cx, int cy, int nRadius, float fCourse)
{
    const QPen oldPen = pDC->SelectPen(QPen(CLR_BLACK, COMPASS_PEN_WIDTH));
    pDC->Ellipse(cx - nRadius, cy - nRadius, cx + nRadius, cy + nRadius);
    pDC->MoveTo(cx, cy);
    const float fAngle = fCourse * COMPASS_DEG_TO_RAD;
    const int dx = TruncToInt(float(nRadius * std::sin(double(fAngle))));
    const int dy = TruncToInt(float(nRadius * std::cos(double(fAngle))));
    pDC->LineTo(cx - dx, cy - dy);
    pDC->SelectPen(oldPen);
}

void DrawCompassView(CDC* pDC, const CViewContext& view)
{
    const CGpsTracker* pTracker = &view.m_tracker;
    const QRect rc = view.m_rcClient;
    // GDI rectangles: right and bottom lie just outside the area.
    const int nRight = rc.x() + rc.width();
    const int nBottom = rc.y() + rc.height();
    const int nHalf = (nRight - rc.left()) / 2;
    const int cx = nHalf;
    const int cy = rc.top() + nHalf + 6;
    DrawCompassNeedle(pDC, cx, cy, nHalf - 10, pTracker->m_fCourse);

    const QFont oldFont = pDC->SelectFont(view.m_fonts.m_fontLarge);

    const QString strCourse = CourseText(pTracker->m_fCourse);
    QRect rcText(0, 0, 0, 0);
    pDC->DrawText(strCourse, rcText, DT_CALCRECT);
    int w = rcText.width();
    int h = rcText.height();
    const bool bFix = pTracker->m_bRmcValid != 0 && pTracker->m_nFixQuality != 0;
    pDC->SetTextColor(bFix ? CLR_BLACK : CLR_GREY);
    rcText.setCoords(cx - w / 2, cy - h, cx + w / 2, cy + h / 2);
    pDC->DrawText(strCourse, rcText, DT_NOCLIP);

    const double dKmh = double(pTracker->m_fSpeed) * UNIT_KMH_PER_KNOT;
    const QString strSpeed = view.m_settings.m_bKmh ? QString::number(TruncToInt(dKmh + 0.5))
                                           : FormatText("%.1f", double(pTracker->m_fSpeed));
    rcText.setRect(0, 0, 0, 0);
    pDC->DrawText(strSpeed, rcText, DT_CALCRECT);
    w = rcText.width();
    h = rcText.height();
    pDC->SetTextColor((pTracker->m_nUpdateFlags & UPD_SPEED) ? CLR_BLACK : CLR_GREY);
    rcText.setCoords(cx - w / 2, cy, cx + w / 2, cy + h / 2);
    pDC->DrawText(strSpeed, rcText, DT_NOCLIP);

    pDC->SelectFont(oldFont);

    const QString strLine = FormatText("Direction: %.1f\u00B0 %.1fknts  %.1fkmh",
                                              double(pTracker->m_fCourse),
                                              double(pTracker->m_fSpeed), dKmh);
    rcText.setCoords(12, nBottom - 29, 20, 20);
    pDC->DrawText(strLine, rcText, DT_NOCLIP);
}
