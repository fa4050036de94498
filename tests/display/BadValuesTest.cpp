#include "map/CMapBitmap.h"
#include "map/Viewport.h"
#include "tests/display/ViewTest.h"

#include <cmath>
#include <limits>

namespace {

using BadValuesTest = ViewTest;

// Values no receiver sends but a damaged sentence or file might leave behind:
// every view still paints, with saturated coordinates instead of overflow.
TEST_F(BadValuesTest, EveryViewPaintsUnreadableValues)
{
    const float aValues[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), 3.0e38f, -3.0e38f};
    CMapBitmap map;
    map.m_bitmap = QImage(64, 64, QImage::Format_RGB32);
    map.m_bitmap.fill(Qt::green);
    map.m_hDib = &map.m_bitmap;
    map.m_width = map.m_height = 64;
    map.m_lonPerPixel = map.m_latPerPixel = 1e-9;
    map.m_zoom = 1e-30;
    map.ComputeViewExtent(MapDrawingArea(m_wnd.GetClientRect()));
    m_wnd.m_pMap = &map;
    m_wnd.m_drag.m_bStylusDown = 1;
    m_wnd.m_drag.m_dragX = std::numeric_limits<int32_t>::min();


    for (float fValue : aValues) {
        m_tracker.m_fLatitude = fValue;
        m_tracker.m_fLongitude = -fValue;
        m_tracker.m_fCourse = fValue;
        m_tracker.m_fSpeed = fValue;
        m_tracker.m_fAltitude = fValue;
        m_tracker.m_fHdop = fValue;
        m_tracker.m_nUpdateFlags = 0xFFFFFFFF;
        m_points.clear();
        CTrackPoint point;
        m_points.push_back(point);
        point.m_fLatitude = fValue;
        point.m_fLongitude = 1.0f;
        m_points.push_back(point);
        point.m_fLatitude = 2.0f;
        point.m_fLongitude = fValue;
        point.m_strName = QStringLiteral("x");
        m_points.push_back(point);
        for (const CViewRow& view : ViewTable()) {
            CRecordingDC dc(VIEW_WIDTH, VIEW_HEIGHT);
            view.pfnPaint(&dc, View());
            EXPECT_FALSE(dc.Image().isNull());
        }
    }
}

}
