#pragma once

#include <QPen>
#include <QWidget>
#include <cstdint>

class CDC;
class CGpsTracker;
class CMapBitmap;

// The drawing window over the frame's whole client area: date line, one view,
// status line.
class CDisplayWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CDisplayWnd(QWidget* pParent = nullptr);
    ~CDisplayWnd() override;

    // Client rectangle with left and top 0, as the painters expect it.
    QRect GetClientRect() const { return QRect(0, 0, width(), height()); }

    // Draws the whole window (date line, view, status line) into pDC.
    void Paint(CDC* pDC);

    QPen m_penTrack;
    QPen m_penHeading;
    int32_t m_dragY = 0;
    int32_t m_dragX = 0;
    int32_t m_downX = 0;
    int32_t m_downY = 0;
    int32_t m_bStylusDown = 0;
    CMapBitmap* m_pMap = nullptr;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
};
