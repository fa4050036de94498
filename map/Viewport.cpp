#include "map/Viewport.h"

#include "gps/CGpsTracker.h"
#include "map/MapCatalogue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Truncates toward zero; values beyond the type saturate so that far-off
// points stay far off instead of wrapping. NaN counts as far off.
template <typename T>
T Truncate(double d)
{
    constexpr double dMin = double(std::numeric_limits<T>::min());
    constexpr double dMax = double(std::numeric_limits<T>::max());
    if (std::isnan(d) || d <= dMin)
        return std::numeric_limits<T>::min();
    if (d >= dMax)
        return std::numeric_limits<T>::max();
    return T(d);
}

int32_t AddSaturated(int32_t a, int32_t b)
{
    return Truncate<int32_t>(double(a) + double(b));
}

}

void CMapBitmap::ComputeViewExtent(const QRect& rcArea)
{
    m_viewWidth = Truncate<uint32_t>(double(rcArea.width()) * m_zoom);
    m_viewHeight = Truncate<uint32_t>(double(rcArea.height()) * m_zoom);
    m_viewSpanLon = m_viewWidth * m_lonPerPixel;
    m_viewSpanLat = m_viewHeight * m_latPerPixel;
}

QPoint CMapBitmap::ProjectToScreen(double dLongitude, double dLatitude) const
{
    const float fColumn = float((dLongitude - m_lonMin) / m_lonPerPixel);
    const float fRow = float(m_height - (dLatitude - m_latMin) / m_latPerPixel);
    return QPoint(Truncate<int32_t>(double(fColumn - float(m_panX)) / m_zoom),
                  Truncate<int32_t>(double(fRow - float(m_panY)) / m_zoom));
}

QRect MapDrawingArea(const QRect& rcClient)
{
    return QRect(0, 0, rcClient.width(), std::max(0, rcClient.height() - VIEWPORT_STATUS_STRIP));
}

void CentreOnPosition(CMapBitmap& map, double dLongitude, double dLatitude)
{
    map.m_panX = Truncate<int32_t>((dLongitude - map.m_viewSpanLon * 0.5 - map.m_lonMin) / map.m_lonPerPixel);
    map.m_panY = Truncate<int32_t>((map.m_latMax - (dLatitude + map.m_viewSpanLat * 0.5)) / map.m_latPerPixel);
}

CFollowResult FollowPosition(CMapBitmap* pMap, bool bMapView, const CGpsTracker& tracker,
                             const CMapList& mapList, const QRect& rcArea,
                             const std::function<void(bool bWait)>& fnWaitCursor)
{
    CFollowResult result;
    result.pMap = pMap;
    if (!bMapView || !pMap)
        return result;
    CMapBitmap* pBest = FindMapForPosition(mapList, tracker);
    if (pBest && pBest != pMap) {
        result.pMap = pBest;
        result.bSwitched = true;
        if (fnWaitCursor)
            fnWaitCursor(true);
        result.loaded = pBest->LoadMapBitmap();
        if (fnWaitCursor)
            fnWaitCursor(false);
        pBest->ComputeViewExtent(rcArea);
    }
    CentreOnPosition(*result.pMap, double(tracker.m_fLongitude), double(tracker.m_fLatitude));
    return result;
}

CStylusDrag StylusPenDown(int32_t x, int32_t y)
{
    CStylusDrag drag;
    drag.m_bStylusDown = 1;
    drag.m_downX = x;
    drag.m_downY = y;
    return drag;
}

void StylusPenMove(CStylusDrag& drag, int32_t x, int32_t y)
{
    drag.m_dragY = y - drag.m_downY;
    drag.m_dragX = x - drag.m_downX;
}

EPenUp StylusPenUp(CStylusDrag& drag, CMapBitmap* pMap, bool bMapView, const QRect& rcArea, int32_t x, int32_t y)
{
    drag.m_bStylusDown = 0;
    drag.m_dragX = drag.m_dragY = 0;
    if (!bMapView || !pMap)
        return EPenUp::NextView;

    if (y >= VIEWPORT_ZOOM_IN_BELOW) {
        if (x == drag.m_downX && y == drag.m_downY)
            return EPenUp::LeaveMap;
        pMap->m_panX = AddSaturated(pMap->m_panX, drag.m_downX - x);
        pMap->m_panY = AddSaturated(pMap->m_panY, drag.m_downY - y);
        return EPenUp::Stay;
    }
    if (y >= VIEWPORT_ZOOM_OUT_BELOW)
        pMap->m_zoom = std::max(pMap->m_zoom - VIEWPORT_ZOOM_STEP, VIEWPORT_MIN_ZOOM);
    else
        pMap->m_zoom += VIEWPORT_ZOOM_STEP;
    pMap->ComputeViewExtent(rcArea);
    return EPenUp::Stay;
}

void StepMapZoom(CMapBitmap& map, int nSteps, const QRect& rcArea)
{
    // Half a pixel more, so CentreOnPosition's truncation rounds: steps in
    // and out again keep the centre instead of drifting a pixel each.
    const double dLongitude = map.m_lonMin + (map.m_panX + 0.5) * map.m_lonPerPixel + map.m_viewSpanLon * 0.5;
    const double dLatitude = map.m_latMax - (map.m_panY + 0.5) * map.m_latPerPixel - map.m_viewSpanLat * 0.5;
    map.m_zoom = std::clamp(map.m_zoom * std::pow(VIEWPORT_ZOOM_FACTOR, -nSteps), VIEWPORT_MIN_ZOOM, VIEWPORT_MAX_ZOOM);
    map.ComputeViewExtent(rcArea);
    CentreOnPosition(map, dLongitude, dLatitude);
}

bool NearMapEdge(const CMapBitmap& map, double dLongitude, double dLatitude)
{
    const double dMarginLon = (map.m_lonMax - map.m_lonMin) * VIEWPORT_NEAR_EDGE;
    const double dMarginLat = (map.m_latMax - map.m_latMin) * VIEWPORT_NEAR_EDGE;
    return !(dLongitude > map.m_lonMin + dMarginLon && dLongitude < map.m_lonMax - dMarginLon
             && dLatitude > map.m_latMin + dMarginLat && dLatitude < map.m_latMax - dMarginLat);
}
