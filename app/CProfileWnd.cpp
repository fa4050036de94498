#include "app/CProfileWnd.h"

#include "app/AppIcon.h"
#include "app/CTrackerApp.h"
#include "app/ToolWindow.h"
#include "display/ProfileView.h"
#include "platform/gui/CDC.h"

#include <QPainter>

CProfileWnd::CProfileWnd(QWidget* pFrame)
    : QWidget(pFrame, Qt::Window)
{
    setWindowTitle(QStringLiteral("Profile"));
    setWindowIcon(AppIcon());
    setFixedSize(PROFILE_WIDTH, PROFILE_HEIGHT);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CProfileWnd::~CProfileWnd() = default;

void CProfileWnd::paintEvent(QPaintEvent*)
{
    m_distances.Update(theApp.m_trackPoints);
    QPainter painter(this);
    CPaintDC dc(painter);
    DrawProfileView(&dc, theApp.m_trackPoints, m_distances, theApp.m_bKmh != 0);
}

CProfileWnd* ShowProfileWindow(QWidget* pFrame)
{
    return ShowToolWindow<CProfileWnd>(pFrame);
}

void RepaintProfileWindow(QWidget* pFrame)
{
    RepaintToolWindow<CProfileWnd>(pFrame);
}
