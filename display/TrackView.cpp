#include "display/TrackView.h"

#include "display/CompassNeedle.h"
#include "display/DestinationMarks.h"
#include "display/ViewColours.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "map/Viewport.h"
#include "platform/gui/CDC.h"
#include "platform/TextFormat.h"
#include "track/Destination.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int TRACK_TOP_MARGIN = 28;
constexpr int TRACK_NEEDLE_X = 25;
constexpr int TRACK_NEEDLE_Y = 40;
constexpr int TRACK_NEEDLE_RADIUS = 23;
constexpr int TRACK_SCALE_LEFT_OF_MIDDLE = 45;   // the scale text at the top
constexpr int TRACK_SCALE_Y = 1;
constexpr int TRACK_END_RADIUS = 5;        // the rings of the start and the end
constexpr int TRACK_END_ARM = 10;          // their cross and plus
constexpr int TRACK_PLACEMARK_RADIUS = 3;
constexpr int TRACK_MARKER_PEN_WIDTH = 2;  // red markers
constexpr int TRACK_LINE_PEN_WIDTH = 1;    // the black line
constexpr double TRACK_METRES_PER_DEGREE = 111120.0;
constexpr size_t TRACK_POINTS_PER_STEP = 1000;

// The fit of the track's box onto the plot: one scale for both axes.
struct CTrackFit
{
    float fLonMin;
    float fLatMin;
    float fScale;
    int nBottom;

    QPoint Map(const CTrackPoint& point) const
    {
        return QPoint(TruncToInt((point.m_fLongitude - fLonMin) * fScale),
                      nBottom - TruncToInt((point.m_fLatitude - fLatMin) * fScale));
    }

    // A place that may lie far outside the track's box.
    QPoint Place(double dLatitude, double dLongitude) const
    {
        return QPoint(TruncToInt((dLongitude - double(fLonMin)) * double(fScale)),
                      TruncToInt(double(nBottom) - (dLatitude - double(fLatMin)) * double(fScale)));
    }
};

void DrawCircle(CDC* pDC, const QPoint& pt, int nRadius)
{
    pDC->Ellipse(pt.x() - nRadius, pt.y() - nRadius, pt.x() + nRadius, pt.y() + nRadius);
}

// The line from pt - (dx, dy) to pt + (dx, dy): the arms of the markers.
void DrawLineThrough(CDC* pDC, const QPoint& pt, int dx, int dy)
{
    pDC->MoveTo(pt.x() - dx, pt.y() - dy);
    pDC->LineTo(pt.x() + dx, pt.y() + dy);
}

// The box around every point.
struct CTrackBox
{
    float fLatMin;
    float fLatMax;
    float fLonMin;
    float fLonMax;
};

CTrackBox BoxAround(const CTrackPointList& points)
{
    CTrackBox box{points.front().m_fLatitude, points.front().m_fLatitude, points.front().m_fLongitude,
                  points.front().m_fLongitude};
    for (const CTrackPoint& point : points) {
        box.fLatMin = std::min(box.fLatMin, point.m_fLatitude);
        box.fLatMax = std::max(box.fLatMax, point.m_fLatitude);
        box.fLonMin = std::min(box.fLonMin, point.m_fLongitude);
        box.fLonMax = std::max(box.fLonMax, point.m_fLongitude);
    }
    return box;
}

void DrawCourse(CDC* pDC, const CGpsTracker& tracker)
{
    DrawCompassNeedle(pDC, TRACK_NEEDLE_X, TRACK_NEEDLE_Y, TRACK_NEEDLE_RADIUS, tracker.m_fCourse);
    const QString strCourse = CourseText(tracker.m_fCourse);
    pDC->SetTextColor((tracker.m_nUpdateFlags & UPD_COURSE) ? CLR_BLACK : CLR_GREY);
    const QSize sizeCourse = pDC->GetTextExtent(strCourse);
    pDC->TextOut(TRACK_NEEDLE_X - sizeCourse.width() / 2, TRACK_NEEDLE_Y - sizeCourse.height() / 2, strCourse);
}

// The line through the points, from the start; returns where it ends.
// Thinning keeps about a thousand segments whatever the track's length;
// placemarks are always drawn and labelled.
QPoint DrawThinnedTrack(CDC* pDC, const CTrackPointList& points, const CTrackFit& fit, const QPen& penMarker,
                        const QPen& penLine)
{
    const size_t nStep = points.size() / TRACK_POINTS_PER_STEP;
    size_t nCountdown = nStep;
    QPoint last = fit.Map(points.front());
    pDC->SelectPen(penLine);
    pDC->MoveTo(last.x(), last.y());
    for (auto it = std::next(points.begin()); it != points.end(); ++it) {
        if (!it->m_strName.isEmpty()) {
            last = fit.Map(*it);
            pDC->TextOut(last.x(), last.y(), it->m_strName);
            pDC->SelectPen(penMarker);
            DrawCircle(pDC, last, TRACK_PLACEMARK_RADIUS);
            pDC->SelectPen(penLine);
            pDC->LineTo(last.x(), last.y());
            nCountdown = nStep;
        } else if (nCountdown > 0) {
            --nCountdown;
        } else {
            last = fit.Map(*it);
            pDC->LineTo(last.x(), last.y());
            nCountdown = nStep;
        }
    }
    return last;
}

}

void DrawTrackView(CDC* pDC, const CViewContext& view)
{
    const QRect rc = view.m_rcClient;
    const int W = rc.x() + rc.width();
    const int B = rc.y() + rc.height() - VIEWPORT_STATUS_STRIP;
    DrawCourse(pDC, view.m_tracker);

    const CTrackPointList& points = view.m_points;
    if (points.empty())
        return;
    const CTrackBox box = BoxAround(points);
    const float fLatRange = box.fLatMax - box.fLatMin;
    const float fLonRange = box.fLonMax - box.fLonMin;
    // Also rejects an unreadable (NaN) box.
    if (!(fLatRange > 0) || !(fLonRange > 0))
        return;

    const float fScaleX = float(W) / fLonRange;
    const float fScaleY = float(B - TRACK_TOP_MARGIN) / fLatRange;
    const CTrackFit fit{box.fLonMin, box.fLatMin, std::min(fScaleX, fScaleY), B};

    pDC->SetTextColor(CLR_BLACK);
    pDC->TextOut(W / 2 - TRACK_SCALE_LEFT_OF_MIDDLE, TRACK_SCALE_Y,
                 FormatText("Screen %c:%d mtr %d pnts", fScaleX < fScaleY ? 'X' : 'Y',
                            TruncToInt(double(fLatRange) * TRACK_METRES_PER_DEGREE),
                            int(std::min<size_t>(points.size(), INT32_MAX))));

    const QPen penMarker(CLR_RED, TRACK_MARKER_PEN_WIDTH);
    const QPoint start = fit.Map(points.front());
    const QPen oldPen = pDC->SelectPen(penMarker);
    DrawCircle(pDC, start, TRACK_END_RADIUS);
    DrawLineThrough(pDC, start, TRACK_END_ARM, TRACK_END_ARM);
    DrawLineThrough(pDC, start, TRACK_END_ARM, -TRACK_END_ARM);

    const QPoint last = DrawThinnedTrack(pDC, points, fit, penMarker, QPen(CLR_BLACK, TRACK_LINE_PEN_WIDTH));
    pDC->SelectPen(penMarker);
    DrawCircle(pDC, last, TRACK_END_RADIUS);
    DrawLineThrough(pDC, last, TRACK_END_ARM, 0);
    DrawLineThrough(pDC, last, 0, TRACK_END_ARM);
    pDC->SelectPen(oldPen);

    if (const std::optional<CDestination> destination = DestinationOf(view.m_settings)) {
        const CGpsTracker& tracker = view.m_tracker;
        const QPoint position = fit.Place(double(tracker.m_fLatitude), double(tracker.m_fLongitude));
        const QPoint place = fit.Place(destination->m_point.m_dLatitude, destination->m_point.m_dLongitude);
        DrawWayToDestination(pDC, position, place, QRect(0, 0, W, B));
    }
}
