#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

class CDC;

// A window of the frame's own beside it (View, Satellites and Profile): a
// fixed size, the application's icon, and a painter over the whole client
// area, which the timer tick repaints while the window shows.
class CToolWnd : public QWidget
{
    Q_OBJECT

public:
    CToolWnd(QWidget* pFrame, const QString& strTitle, QSize size);
    ~CToolWnd() override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    virtual void Paint(CDC* pDC) = 0;
};

// One window of each kind per frame, kept when closed so that it opens where
// it was.

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
