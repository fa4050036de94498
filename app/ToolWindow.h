#pragma once

#include <QString>
#include <QWidget>

// The frame's windows of their own (Satellites, Profile): one of each kind
// per frame, kept when closed so that it opens where it was.

// Opens the frame's window of this kind, or brings it to the front.
template <class Wnd>
Wnd* ShowToolWindow(QWidget* pFrame)
{
    auto* pWnd = pFrame->findChild<Wnd*>(QString(), Qt::FindDirectChildrenOnly);
    if (!pWnd)
        pWnd = new Wnd(pFrame);
    pWnd->show();
    pWnd->raise();
    pWnd->activateWindow();
    return pWnd;
}

// The timer tick: repaints the frame's window of this kind when it is showing.
template <class Wnd>
void RepaintToolWindow(QWidget* pFrame)
{
    auto* pWnd = pFrame->findChild<Wnd*>(QString(), Qt::FindDirectChildrenOnly);
    if (pWnd && pWnd->isVisible())
        pWnd->update();
}
