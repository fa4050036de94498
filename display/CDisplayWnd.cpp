#include "display/CDisplayWnd.h"

#include "display/ViewColours.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "map/Viewport.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"

#include <QApplication>
#include <QGestureEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPinchGesture>
#include <QWheelEvent>
#include <QPainter>

namespace {

constexpr int DISPLAY_TEXT_X = 6;
constexpr int DISPLAY_DATE_Y = 1;

}

CDisplayWnd::CDisplayWnd(const CDisplaySources& sources, QWidget* pParent)
    : QWidget(pParent)
    , m_penTrack(PEN_TRACK)
    , m_penHeading(PEN_HEADING)
    , m_eViewType(EViewType(sources.m_settings.m_nViewType))
    , m_sources(sources)
    , m_dZoom(ZoomFromSetting(sources.m_settings.m_nZoom).dFactor)
{
    // Paints that do not erase draw over the previous picture; touch reaches
    // the stylus handlers as the left button Qt synthesises from it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    // The keys and a two-finger pinch zoom the map view.
    setFocusPolicy(Qt::StrongFocus);
    grabGesture(Qt::PinchGesture);
}

CDisplayWnd::~CDisplayWnd() = default;

void CDisplayWnd::Paint(CDC* pDC)
{
    const CGpsTracker& tracker = m_sources.m_tracker;

    const QString strDate = FormatText("%02d-%02d-%4d", tracker.m_nDay, tracker.m_nMonth, tracker.m_nYear);
    pDC->SetTextColor((tracker.m_nUpdateFlags & UPD_DATE) ? CLR_BLACK : CLR_GREY);
    QRect rcDate(DISPLAY_TEXT_X, DISPLAY_DATE_Y, 0, 0);
    pDC->DrawText(strDate, rcDate, DT_LEFT | DT_TOP | DT_NOCLIP);

    const QRect rc = GetClientRect();
    // Only a view of this window paints; the map view only while a map is
    // current. Anything else shows the GPS data view instead.
    const EViewType eView = ViewType();
    if (eView == m_eViewType && CanShow(eView)) {
        ViewRow(eView).pfnPaint(pDC, ViewContext(rc));
    } else {
        m_eViewType = EViewType::GpsData;
        Invalidate(true);
    }

    const QString strStatus = FormatText("Pnt:%d Sec:%2d Sats:%d Dltn:%.1f Zm:%.1f %s",
        int(m_sources.m_points.size()), tracker.m_nSecsSinceLog, tracker.m_nSatsUsed,
        double(tracker.m_fHdop), m_pMap ? m_pMap->m_zoom : 0.0,
        (tracker.m_bRmcValid && tracker.m_nFixQuality) ? "OK      " : "No signal");
    pDC->SetTextColor(CLR_BLACK);
    QRect rcStatus(DISPLAY_TEXT_X, rc.bottom() + 1 - VIEWPORT_STATUS_STRIP, 0, 0);
    const int nStatusHeight = pDC->DrawText(strStatus, rcStatus, DT_LEFT | DT_TOP | DT_NOCLIP);
    // Ticks draw the line over the previous one without erasing, and "OK"
    // with its six blanks is narrower than "No signal" in this face: the
    // line's background reaches the right edge, so nothing of a longer
    // earlier line stays beside it.
    const int xEnd = rcStatus.left() + pDC->GetTextExtent(strStatus).width();
    if (xEnd < rc.width())
        pDC->FillSolidRect(QRect(xEnd, rcStatus.top(), rc.width() - xEnd, nStatusHeight), CLR_WINDOW);
}

void CDisplayWnd::Invalidate(bool bErase)
{
    m_bErase = m_bErase || bErase;
    update();
}

void CDisplayWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_bErase) {
        Erase(painter);
        m_bErase = false;
    }
    const CLayoutPlacement placement = Placement();
    PrepareLayoutPainter(painter, placement, size(), CLR_WINDOW);
    CPaintDC dc(painter, placement.dScale);
    Paint(&dc);
}

CLayoutPlacement CDisplayWnd::Placement() const
{
    return PlaceLayout(m_dZoom, size(), QSize(ZOOM_LAYOUT_WIDTH, ZOOM_LAYOUT_HEIGHT));
}

void CDisplayWnd::SetZoom(double dZoom)
{
    m_dZoom = dZoom;
    FitMapToClient();
    Invalidate(true);
}

void CDisplayWnd::FitMapToClient()
{
    if (m_pMap)
        m_pMap->ComputeViewExtent(MapDrawingArea(GetClientRect()));
}

void CDisplayWnd::Erase(QPainter& painter) const
{
    painter.fillRect(rect(), CLR_WINDOW);
}

COutcome CDisplayWnd::FollowPosition()
{
    const CFollowResult result = ::FollowPosition(m_pMap, ViewType() == EViewType::Map, m_sources.m_tracker,
                                                  m_sources.m_maps, MapDrawingArea(GetClientRect()), SetWaitCursor);
    m_pMap = result.pMap;
    if (result.bSwitched)
        Invalidate(true);
    return result.loaded;
}

EViewType CDisplayWnd::ViewType() const
{
    return ViewFromSetting(int32_t(m_eViewType));
}

bool CDisplayWnd::CanShow(EViewType eView) const
{
    return !ViewRow(eView).bNeedsMap || m_pMap;
}

void CDisplayWnd::SetViewType(EViewType eView)
{
    m_eViewType = eView;
    Invalidate(true);
}

CViewContext CDisplayWnd::ViewContext(const QRect& rcClient) const
{
    CViewContext view(m_sources.m_tracker, m_sources.m_points, m_sources.m_settings, m_sources.m_fonts, rcClient);
    view.m_pMap = m_pMap;
    view.m_drag = m_drag;
    view.m_penTrack = m_penTrack;
    view.m_penHeading = m_penHeading;
    view.m_strMapState = m_strMapState;
    return view;
}

void CDisplayWnd::SetWaitCursor(bool bWait)
{
    if (bWait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CDisplayWnd::OnLButtonDown(int x, int y)
{
    m_drag = StylusPenDown(x, y);
}

void CDisplayWnd::OnMouseMove(int x, int y)
{
    StylusPenMove(m_drag, x, y);
}

void CDisplayWnd::OnLButtonUp(int x, int y)
{
    const EViewType eView = ViewType();
    const EPenUp penUp = StylusPenUp(m_drag, m_pMap, eView == EViewType::Map, MapDrawingArea(GetClientRect()), x, y);
    if (penUp == EPenUp::NextView)
        SetViewType(NextView(eView));
    else if (penUp == EPenUp::LeaveMap)
        SetViewType(EViewType::GpsData);
    Invalidate(true);
}

void CDisplayWnd::resizeEvent(QResizeEvent* pEvent)
{
    // The window is redrawn completely after every size change, a map's view
    // as large as the new drawing area.
    m_bErase = true;
    FitMapToClient();
    QWidget::resizeEvent(pEvent);
}

void CDisplayWnd::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton) {
        const QPoint pt = LayoutPoint(*pEvent);
        OnLButtonDown(pt.x(), pt.y());
    }
    QWidget::mousePressEvent(pEvent);
}

void CDisplayWnd::mouseMoveEvent(QMouseEvent* pEvent)
{
    // Without tracking, Qt only reports moves while a button is held.
    if (pEvent->buttons() & Qt::LeftButton) {
        const QPoint pt = LayoutPoint(*pEvent);
        OnMouseMove(pt.x(), pt.y());
    }
    QWidget::mouseMoveEvent(pEvent);
}

void CDisplayWnd::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton) {
        const QPoint pt = LayoutPoint(*pEvent);
        OnLButtonUp(pt.x(), pt.y());
    }
    QWidget::mouseReleaseEvent(pEvent);
}

bool CDisplayWnd::StepZoom(int nSteps)
{
    if (ViewType() != EViewType::Map || !m_pMap)
        return false;
    if (nSteps != 0) {
        StepMapZoom(*m_pMap, nSteps, MapDrawingArea(GetClientRect()));
        Invalidate(true);
    }
    return true;
}

void CDisplayWnd::wheelEvent(QWheelEvent* pEvent)
{
    // One notch is 120 eighths of a degree; a turn the other way starts anew.
    constexpr int WHEEL_STEP = 120;
    const int nDelta = pEvent->angleDelta().y();
    if (!StepZoom(0)) {
        QWidget::wheelEvent(pEvent);
        return;
    }
    if ((nDelta > 0) != (m_nWheelEighths > 0))
        m_nWheelEighths = 0;
    m_nWheelEighths += nDelta;
    const int nSteps = m_nWheelEighths / WHEEL_STEP;
    m_nWheelEighths -= nSteps * WHEEL_STEP;
    StepZoom(nSteps);
}

void CDisplayWnd::keyPressEvent(QKeyEvent* pEvent)
{
    const int nKey = pEvent->key();
    const int nSteps = nKey == Qt::Key_Plus || nKey == Qt::Key_Equal ? 1 : nKey == Qt::Key_Minus ? -1 : 0;
    if (nSteps == 0 || !StepZoom(nSteps))
        QWidget::keyPressEvent(pEvent);
}

bool CDisplayWnd::event(QEvent* pEvent)
{
    if (pEvent->type() != QEvent::Gesture)
        return QWidget::event(pEvent);
    auto* pPinch = static_cast<QPinchGesture*>(static_cast<QGestureEvent*>(pEvent)->gesture(Qt::PinchGesture));
    if (!pPinch)
        return QWidget::event(pEvent);
    // Each factor of the square root of 2 the fingers spread is a step in.
    m_dPinchScale *= pPinch->scaleFactor();
    const int nSteps = int(std::trunc(std::log(m_dPinchScale) / std::log(VIEWPORT_ZOOM_FACTOR)));
    m_dPinchScale /= std::pow(VIEWPORT_ZOOM_FACTOR, nSteps);
    if (pPinch->state() == Qt::GestureFinished || pPinch->state() == Qt::GestureCanceled)
        m_dPinchScale = 1.0;
    StepZoom(nSteps);
    return true;
}

QPoint CDisplayWnd::LayoutPoint(const QMouseEvent& event) const
{
    return Placement().ToLayout(event.position().toPoint());
}
