#include "app/CSkyWnd.h"

#include "app/AppIcon.h"
#include "app/CTrackerApp.h"
#include "display/SkyView.h"
#include "platform/gui/CDC.h"

#include <QPainter>

CSkyWnd::CSkyWnd(QWidget* pFrame)
    : QWidget(pFrame, Qt::Window)
{
    setWindowTitle(QStringLiteral("Satellites"));
    setWindowIcon(AppIcon());
    setFixedSize(SKY_WIDTH, SKY_HEIGHT);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CSkyWnd::~CSkyWnd() = default;

void CSkyWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CPaintDC dc(painter);
    DrawSkyView(&dc, &theApp.m_tracker);
}

CSkyWnd* ShowSkyWindow(QWidget* pFrame)
{
    // One window per frame, kept when closed so that it opens where it was.
    auto* pWnd = pFrame->findChild<CSkyWnd*>(QString(), Qt::FindDirectChildrenOnly);
    if (!pWnd)
        pWnd = new CSkyWnd(pFrame);
    pWnd->show();
    pWnd->raise();
    pWnd->activateWindow();
    return pWnd;
}

void RepaintSkyWindow(QWidget* pFrame)
{
    auto* pWnd = pFrame->findChild<CSkyWnd*>(QString(), Qt::FindDirectChildrenOnly);
    if (pWnd && pWnd->isVisible())
        pWnd->update();
}
