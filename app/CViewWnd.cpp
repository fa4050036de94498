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
    setFixedSize(VIEWWND_WIDTH, VIEWWND_HEIGHT);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CViewWnd::~CViewWnd() = default;

void CViewWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CPaintDC dc(painter);
    CViewContext view = m_display.ViewContext(rect());
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
