#include "app/CSkyWnd.h"

#include "app/CTrackerApp.h"
#include "display/SkyView.h"

CSkyWnd::CSkyWnd(QWidget* pFrame)
    : CToolWnd(pFrame, QStringLiteral("Satellites"), QSize(SKY_WIDTH, SKY_HEIGHT))
{
}

CSkyWnd::~CSkyWnd() = default;

void CSkyWnd::Paint(CDC* pDC)
{
    DrawSkyView(pDC, &theApp.m_tracker);
}

CSkyWnd* ShowSkyWindow(QWidget* pFrame)
{
    return ShowToolWindow<CSkyWnd>(pFrame);
}

void RepaintSkyWindow(QWidget* pFrame)
{
    RepaintToolWindow<CSkyWnd>(pFrame);
}
