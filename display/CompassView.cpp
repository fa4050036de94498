#include "display/CompassView.h"

#include "display/CompassNeedle.h"
#include "display/ViewColours.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"
#include "track/Destination.h"

#include <optional>

namespace {

// The dial fills the width: its centre lies this far below half the width,
// clear of the date line, and its rim this far inside the edges.
constexpr int COMPASS_DIAL_DROP = 6;
constexpr int COMPASS_DIAL_MARGIN = 10;
// The line of both speeds, just above the status strip; with DT_NOCLIP only
// the rectangle's top-left corner counts, the rest is its historic size.
constexpr int COMPASS_LINE_X = 12;
constexpr int COMPASS_LINE_ABOVE_BOTTOM = 29;
constexpr int COMPASS_LINE_RIGHT = 20;
constexpr int COMPASS_LINE_BOTTOM = 20;
// Tools, "Go to…": the "N" inside the top of the rim while the needle
// points from north, and the destination's line above both speeds.
constexpr int COMPASS_NORTH_INSIDE_RIM = 6;
constexpr int COMPASS_GOTO_LINE_GAP = 1;

// The hollow needle towards the destination: relative to the direction of
// travel while moving, else from north, which is then marked.
void DrawGoTo(CDC* pDC, const CViewContext& view, const QPoint& centre, int nRadius, int yLine)
{
    const std::optional<CDestination> destination = DestinationOf(view.m_settings);
    if (!destination)
        return;
    const CGuidance guidance = GuidanceTo(*destination, view.m_tracker);
    const double dCourse = guidance.m_bMoving ? double(view.m_tracker.m_fCourse) : 0.0;
    DrawDestinationNeedle(pDC, centre.x(), centre.y(), nRadius, float(guidance.m_dBearing - dCourse));
    pDC->SetTextColor(CLR_GOTO);
    if (!guidance.m_bMoving) {
        const QString strNorth = QStringLiteral("N");
        const QSize size = pDC->GetTextExtent(strNorth);
        pDC->TextOut(centre.x() - size.width() / 2, centre.y() - nRadius + COMPASS_NORTH_INSIDE_RIM, strNorth);
    }
    const QString strLine = GuidanceText(guidance);
    pDC->TextOut(COMPASS_LINE_X, yLine - pDC->GetTextExtent(strLine).height() - COMPASS_GOTO_LINE_GAP, strLine);
}

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
    const int cy = rc.top() + nHalf + COMPASS_DIAL_DROP;
    DrawCompassNeedle(pDC, cx, cy, nHalf - COMPASS_DIAL_MARGIN, pTracker->m_fCourse);

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
    rcText.setCoords(COMPASS_LINE_X, nBottom - COMPASS_LINE_ABOVE_BOTTOM, COMPASS_LINE_RIGHT, COMPASS_LINE_BOTTOM);
    pDC->DrawText(strLine, rcText, DT_NOCLIP);

    // Over the large digits, which would hide it.
    DrawGoTo(pDC, view, QPoint(cx, cy), nHalf - COMPASS_DIAL_MARGIN, nBottom - COMPASS_LINE_ABOVE_BOTTOM);
}
