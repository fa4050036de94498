#include "app/CSkyWnd.h"

#include "app/AppIcon.h"
#include "app/CTrackerApp.h"
#include "app/ToolWindow.h"
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
    return ShowToolWindow<CSkyWnd>(pFrame);
}

void RepaintSkyWindow(QWidget* pFrame)
{
    RepaintToolWindow<CSkyWnd>(pFrame);
}
