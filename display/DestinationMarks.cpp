#include "display/DestinationMarks.h"

#include "display/ViewColours.h"
#include "platform/gui/CDC.h"

#include <QLineF>
#include <algorithm>
#include <utility>

namespace {

constexpr int GOTO_MARK_HALF = 6;   // the diamond around the destination

// Cuts the line a-b to the rectangle (Liang-Barsky); false when none of it
// lies inside. Doubles: a far destination projects to huge coordinates.
bool ClipLine(QLineF& line, const QRectF& rc)
{
    const double dx = line.dx();
    const double dy = line.dy();
    double t0 = 0;
    double t1 = 1;
    const std::pair<double, double> edges[] = {
        {-dx, line.x1() - rc.left()}, {dx, rc.right() - line.x1()},
        {-dy, line.y1() - rc.top()},  {dy, rc.bottom() - line.y1()},
    };
    for (const auto& [p, q] : edges) {
        if (p == 0) {
            if (q < 0)
                return false;
            continue;
        }
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return false;
    line = QLineF(line.pointAt(t0), line.pointAt(t1));
    return true;
}

}

void DrawWayToDestination(CDC* pDC, const QPoint& position, const QPoint& destination, const QRect& rcArea)
{
    // The area's right and bottom edges count as inside, as for the track.
    const QRectF rcInside(rcArea.left(), rcArea.top(), rcArea.width(), rcArea.height());
    QLineF line(position, destination);
    const QPen oldPen = pDC->SelectPen(PEN_GOTO_LINE);
    if (ClipLine(line, rcInside)) {
        pDC->MoveTo(TruncToInt(line.x1()), TruncToInt(line.y1()));
        pDC->LineTo(TruncToInt(line.x2()), TruncToInt(line.y2()));
    }
    if (rcInside.contains(destination)) {
        const int x = destination.x();
        const int y = destination.y();
        pDC->SelectPen(PEN_GOTO_MARK);
        pDC->MoveTo(x, y - GOTO_MARK_HALF);
        pDC->LineTo(x + GOTO_MARK_HALF, y);
        pDC->LineTo(x, y + GOTO_MARK_HALF);
        pDC->LineTo(x - GOTO_MARK_HALF, y);
        pDC->LineTo(x, y - GOTO_MARK_HALF);
    }
    pDC->SelectPen(oldPen);
}
