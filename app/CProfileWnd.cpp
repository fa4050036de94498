#include "app/CProfileWnd.h"

#include "app/CTrackerApp.h"
#include "display/ProfileView.h"

CProfileWnd::CProfileWnd(QWidget* pFrame)
    : CToolWnd(pFrame, QStringLiteral("Profile"), QSize(PROFILE_WIDTH, PROFILE_HEIGHT))
{
}

CProfileWnd::~CProfileWnd() = default;

void CProfileWnd::Paint(CDC* pDC)
{
    m_profile.Update(theApp.m_trackPoints);
    DrawProfileView(pDC, m_profile, theApp.m_bKmh != 0);
}

CProfileWnd* ShowProfileWindow(QWidget* pFrame)
{
    return ShowToolWindow<CProfileWnd>(pFrame);
}

void RepaintProfileWindow(QWidget* pFrame)
{
    RepaintToolWindow<CProfileWnd>(pFrame);
}
