#pragma once

#include "display/Views.h"
#include "track/TrackProfile.h"

#include <QWidget>

class CDisplayWnd;

// A view with a window of its own beside the frame (View, "Satellites"),
// which stays open while the user goes on working and is repainted on every
// timer tick. It paints what the display window's painters read.
class CViewWnd : public QWidget
{
    Q_OBJECT

public:
    CViewWnd(QWidget* pFrame, const CDisplayWnd& display, EViewType eView);
    ~CViewWnd() override;

    EViewType View() const { return m_eView; }

    // The display window's zoom: a fixed factor sizes the window to the
    // handheld's screen that many times larger; "Fit window" lets the user
    // size it and fits the view into it.
    void ApplyZoom();

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    const CDisplayWnd& m_display;
    EViewType m_eView;
    CTrackProfile m_profile;   // kept up to date at each paint, so a tick measures only new points
};

// Opens the frame's window of a view, or brings it to the front when it is open.
CViewWnd* ShowViewWindow(QWidget* pFrame, const CDisplayWnd& display, EViewType eView);

// The timer tick: repaints the frame's view windows that are showing.
void RepaintViewWindows(QWidget* pFrame);

// View, "Zoom": every view window of the frame takes the new zoom.
void ZoomViewWindows(QWidget* pFrame);
