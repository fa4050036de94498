#pragma once

#include <QWidget>

// View, "Satellites": the sky plot in a window of its own beside the frame,
// which stays open while the user goes on working and is repainted on every
// timer tick.
class CSkyWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CSkyWnd(QWidget* pFrame);
    ~CSkyWnd() override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
};

// Opens the frame's sky window, or brings it to the front when it is open.
CSkyWnd* ShowSkyWindow(QWidget* pFrame);

// The timer tick: repaints the frame's sky window when it is showing.
void RepaintSkyWindow(QWidget* pFrame);
