#pragma once

#include "display/ViewZoom.h"
#include "display/Views.h"
#include "platform/Outcome.h"

#include <QPen>
#include <QWidget>
#include <cstdint>

class CDC;
class CGpsTracker;
class CMapBitmap;
class QPainter;
struct CTrackerSettings;

// What the display window shows: the run's fix, track and map catalogue, the
// settings (the view type among them, which the window starts with) and the
// faces.
struct CDisplaySources
{
    const CGpsTracker& m_tracker;
    const CTrackPointList& m_points;
    const CMapList& m_maps;
    const CTrackerSettings& m_settings;
    const CViewFonts& m_fonts;
};

// The drawing window over the frame's whole client area: date line, one view,
// status line.
class CDisplayWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CDisplayWnd(const CDisplaySources& sources, QWidget* pParent = nullptr);
    ~CDisplayWnd() override;

    // Client rectangle with left and top 0, as the painters expect it: in
    // the layout's pixels, which the zoom makes larger than the window's.
    QRect GetClientRect() const { return Placement().rcLayout; }

    // View, "Zoom": the factor, or ZOOM_FIT_WINDOW; the picture is drawn
    // anew, and a current map's view sized for the new client rectangle.
    double Zoom() const { return m_dZoom; }
    void SetZoom(double dZoom);
    // Where the layout lies in the window at the current zoom and size.
    CLayoutPlacement Placement() const;

    // Draws the whole window (date line, view, status line) into pDC.
    void Paint(CDC* pDC);

    // Clears the whole window to its background, the system window colour.
    void Erase(QPainter& painter) const;

    // Requests a repaint of the whole window; with bErase the background is
    // cleared first, otherwise the new picture is drawn over the old one.
    void Invalidate(bool bErase);

    // Timer tick with a valid position: the map view follows it; a map that
    // becomes current and cannot be loaded is reported.
    COutcome FollowPosition();

    // The view the window shows, the GPS data view for a number that names
    // none of its views; a new one is painted after erasing.
    EViewType ViewType() const;
    void SetViewType(EViewType eView);
    // False for a view that needs a map while none is current.
    bool CanShow(EViewType eView) const;

    // What the painters read, for a client rectangle of this size.
    CViewContext ViewContext(const QRect& rcClient) const;

    // The wait cursor while a map loads, and back to the arrow.
    static void SetWaitCursor(bool bWait);

    // Stylus: pen down, pen move and pen up at a client point (layout pixels).
    void OnLButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnLButtonUp(int x, int y);

    QPen m_penTrack;
    QPen m_penHeading;
    CStylusDrag m_drag;
    CMapBitmap* m_pMap = nullptr;
    // Why the current online sheet's source cannot be used just now, for the
    // map view's corner; the frame sets it each tick.
    QString m_strMapState;
    // The view type, at first as the "ViewType" setting stores it: a paint
    // puts a number that names no view of this window, or the map view
    // without a map, back to GPS data.
    EViewType m_eViewType;

    // An erase is pending for the next paint.
    bool m_bErase = false;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    // In the map view: the wheel, + and - and a pinch zoom the map.
    void wheelEvent(QWheelEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    bool event(QEvent* pEvent) override;

private:
    // A map's view covers the drawing area of the client rectangle.
    void FitMapToClient();
    QPoint LayoutPoint(const QMouseEvent& event) const;
    // Zooms the map view's map by nSteps steps (positive: in); false outside
    // the map view or without a map.
    bool StepZoom(int nSteps);

    CDisplaySources m_sources;
    double m_dZoom;
    int m_nWheelEighths = 0;        // a wheel's turn not yet a whole step (touchpads send small ones)
    double m_dPinchScale = 1.0;     // a pinch's scale not yet a whole step
};
