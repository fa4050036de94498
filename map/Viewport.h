#pragma once

#include "map/CMapBitmap.h"
#include "platform/Outcome.h"

#include <QRect>
#include <cstdint>
#include <functional>

class CGpsTracker;

// The map view's viewport as plain logic: the display window calls these from
// its timer step and its stylus handlers and applies what they return. Nothing
// here touches a window; CMapBitmap::ComputeViewExtent and ProjectToScreen do
// the sizing and the projection.

constexpr int32_t VIEWPORT_STATUS_STRIP = 14;    // client pixels below the drawing area
constexpr int32_t VIEWPORT_ZOOM_OUT_BELOW = 25;  // pen-up with y < 25 zooms out
constexpr int32_t VIEWPORT_ZOOM_IN_BELOW = 50;   // 25 <= y < 50 zooms in; below, pan or tap
constexpr double VIEWPORT_ZOOM_STEP = 0.1;
constexpr double VIEWPORT_MIN_ZOOM = 0.5;
constexpr double VIEWPORT_MAX_ZOOM = 100;
constexpr double VIEWPORT_ZOOM_FACTOR = 1.4142135623730951;   // one wheel or key step: the square root of 2

// The drawing area of a client rectangle: the rectangle less the status strip
// at the bottom (left and top 0). Every view-size computation uses it.
QRect MapDrawingArea(const QRect& rcClient);

// Centres the map's view on a position; pan may end up outside the bitmap.
void CentreOnPosition(CMapBitmap& map, double dLongitude, double dLatitude);

struct CFollowResult
{
    CMapBitmap* pMap = nullptr;   // the current map afterwards (the window's m_pMap)
    bool bSwitched = false;       // another map became current: repaint with erasing
    COutcome loaded;              // how loading the new map went
};

// The timer's follow step, run on every tick that decoded a valid latitude and
// longitude. Outside the map view (!bMapView) or without a current map it
// does nothing. Otherwise, when the narrowest catalogue map holding the position
// is not pMap, that map becomes current and is loaded (fnWaitCursor(true)
// before and fnWaitCursor(false) after the load, when set) and sized for
// rcArea; then the current map's view is centred on the position, even when
// the position lies off it.
//   pMap      the display window's m_pMap
//   rcArea    MapDrawingArea(GetClientRect())
CFollowResult FollowPosition(CMapBitmap* pMap, bool bMapView, const CGpsTracker& tracker,
                             const CMapList& mapList, const QRect& rcArea,
                             const std::function<void(bool bWait)>& fnWaitCursor = {});

// The stylus state the display window keeps between pen-down and pen-up; the
// map view shows a drag in progress from it.
struct CStylusDrag
{
    int32_t m_bStylusDown = 0;
    int32_t m_dragX = 0;   // stylus x minus pen-down x
    int32_t m_dragY = 0;
    int32_t m_downX = 0;   // pen-down point, client coordinates
    int32_t m_downY = 0;
};

// Pen-down at client point (x, y): starts a drag. No repaint.
CStylusDrag StylusPenDown(int32_t x, int32_t y);

// Pen-move to (x, y): updates the drag offset. No repaint; the map view shows
// the drag at the next repaint while the stylus is down.
void StylusPenMove(CStylusDrag& drag, int32_t x, int32_t y);

// What a pen-up asks of the display window.
enum class EPenUp
{
    NextView,   // go on to the next view of the tap cycle
    LeaveMap,   // a tap on the map: leave it for the first view
    Stay,       // the map was panned or zoomed
};

// Pen-up at (x, y): ends the drag (drag is reset). The window then repaints
// with erasing, whatever the outcome.
//   - Outside the map view (!bMapView), or in it without a current map (pMap
//     null): NextView, whatever the point.
//   - Map view, y >= 50: a tap (same point as pen-down) is LeaveMap; otherwise
//     the map pans by the drag in screen pixels (m_panX += downX - x,
//     m_panY += downY - y).
//   - Map view, 25 <= y < 50: zoom in by 0.1, not below 0.5; y < 25: zoom out
//     by 0.1, no limit. Both resize the view for rcArea (the drawing area).
EPenUp StylusPenUp(CStylusDrag& drag, CMapBitmap* pMap, bool bMapView, const QRect& rcArea, int32_t x, int32_t y);

// The wheel, the + and - keys and a pinch: nSteps steps of
// VIEWPORT_ZOOM_FACTOR (positive zooms in, negative out), the zoom kept
// within VIEWPORT_MIN_ZOOM and VIEWPORT_MAX_ZOOM, the view resized for rcArea
// and kept centred where it was: on the position while the view follows it.
void StepMapZoom(CMapBitmap& map, int nSteps, const QRect& rcArea);

// Where the next sheet around the position is wanted: within a quarter of
// the map's span of one of its edges, or off it.
constexpr double VIEWPORT_NEAR_EDGE = 0.25;
bool NearMapEdge(const CMapBitmap& map, double dLongitude, double dLatitude);
