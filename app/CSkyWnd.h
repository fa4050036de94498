#pragma once

#include "app/CToolWnd.h"

// View, "Satellites": the sky plot in a window of its own beside the frame,
// which stays open while the user goes on working and is repainted on every
// timer tick.
class CSkyWnd : public CToolWnd
{
    Q_OBJECT

public:
    explicit CSkyWnd(QWidget* pFrame);
    ~CSkyWnd() override;

protected:
    void Paint(CDC* pDC) override;
};

// Opens the frame's sky window, or brings it to the front when it is open.
CSkyWnd* ShowSkyWindow(QWidget* pFrame);

// The timer tick: repaints the frame's sky window when it is showing.
void RepaintSkyWindow(QWidget* pFrame);
