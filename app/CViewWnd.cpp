#include "app/CViewWnd.h"

#include "app/AppIcon.h"
#include "display/CDisplayWnd.h"
#include "platform/gui/CDC.h"

#include <QPainter>

CViewWnd::CViewWnd(QWidget* pFrame, const CDisplayWnd& display, EViewType eView)
    : QWidget(pFrame, Qt::Window)
    , m_display(display)
    , m_eView(eView)
{
    setWindowTitle(QString::fromLatin1(ViewRow(eView).szMenuText));
    setWindowIcon(AppIcon());
    setAttribute(Qt::WA_OpaquePaintEvent);
    ApplyZoom();
}

CViewWnd::~CViewWnd() = default;

namespace {

const QSize VIEWWND_LAYOUT(ZOOM_LAYOUT_WIDTH, ZOOM_LAYOUT_HEIGHT);

}

void CViewWnd::ApplyZoom()
{
    const double dZoom = m_display.Zoom();
    if (dZoom == ZOOM_FIT_WINDOW) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (!isVisible())
            resize(VIEWWND_LAYOUT);
    } else {
        setFixedSize((QSizeF(VIEWWND_LAYOUT) * dZoom).toSize());
    }
    update();
}

void CViewWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The view's own size, whatever the window's.
    const CLayoutPlacement placement = PlaceLayout(m_display.Zoom(), size(), VIEWWND_LAYOUT);
    PrepareLayoutPainter(painter, placement, size(), CLR_WINDOW);
    CPaintDC dc(painter, placement.dScale);
    CViewContext view = m_display.ViewContext(QRect(QPoint(0, 0), VIEWWND_LAYOUT));
    view.m_pProfile = &m_profile;
    ViewRow(m_eView).pfnPaint(&dc, view);
}

CViewWnd* ShowViewWindow(QWidget* pFrame, const CDisplayWnd& display, EViewType eView)
{
    // One window per view and frame, kept when closed so that it opens where
    // it was.
    CViewWnd* pWnd = nullptr;
    for (CViewWnd* pChild : pFrame->findChildren<CViewWnd*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild->View() == eView)
            pWnd = pChild;
    }
    if (!pWnd)
        pWnd = new CViewWnd(pFrame, display, eView);
    pWnd->show();
    pWnd->raise();
    pWnd->activateWindow();
    return pWnd;
}

void RepaintViewWindows(QWidget* pFrame)
{
    for (CViewWnd* pWnd : pFrame->findChildren<CViewWnd*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pWnd->isVisible())
            pWnd->update();
    }
}

void ZoomViewWindows(QWidget* pFrame)
{
    for (CViewWnd* pWnd : pFrame->findChildren<CViewWnd*>(QString(), Qt::FindDirectChildrenOnly))
        pWnd->ApplyZoom();
}
