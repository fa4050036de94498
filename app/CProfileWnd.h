#pragma once

#include "app/CToolWnd.h"
#include "track/TrackProfile.h"

// View, "Profile": altitude and speed over the distance along the stored
// track, in a window of its own beside the frame that stays open while the
// user goes on working and is repainted on every timer tick.
class CProfileWnd : public CToolWnd
{
    Q_OBJECT

public:
    explicit CProfileWnd(QWidget* pFrame);
    ~CProfileWnd() override;

protected:
    void Paint(CDC* pDC) override;

private:
    CTrackProfile m_profile;   // of theApp.m_trackPoints, brought up to date at each paint
};

// Opens the frame's profile window, or brings it to the front when it is open.
CProfileWnd* ShowProfileWindow(QWidget* pFrame);

// The timer tick: repaints the frame's profile window when it is showing.
void RepaintProfileWindow(QWidget* pFrame);
