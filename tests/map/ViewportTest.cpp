#include "gps/CGpsTracker.h"
#include "map/MapCatalogue.h"
#include "map/Viewport.h"
#include "tests/common/TestSupport.h"
#include "tests/map/MapTestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

const QRect CLIENT(0, 0, 240, 268);
const QRect AREA = MapDrawingArea(CLIENT);

// A 1000 x 800 map over 4.8333..5.0 E, 52.3333..52.4166 N, without pixels.
void Calibrate(CMapBitmap& map)
{
    map.m_lonMin = 4 + 50.0 / 60;
    map.m_lonMax = 5.0;
    map.m_latMin = 52 + 20.0 / 60;
    map.m_latMax = 52 + 25.0 / 60;
    map.m_width = 1000;
    map.m_height = 800;
    map.m_lonPerPixel = (map.m_lonMax - map.m_lonMin) / 1000;
    map.m_latPerPixel = (map.m_latMax - map.m_latMin) / 800;
    map.ComputeViewExtent(AREA);
}

TEST(Viewport, ViewExtentFollowsTheZoom)
{
    EXPECT_EQ(AREA, QRect(0, 0, 240, 254));
    CMapBitmap map;
    Calibrate(map);
    EXPECT_EQ(map.m_viewWidth, 240u);
    EXPECT_EQ(map.m_viewHeight, 254u);
    EXPECT_DOUBLE_EQ(map.m_viewSpanLon, 240 * map.m_lonPerPixel);
    EXPECT_DOUBLE_EQ(map.m_viewSpanLat, 254 * map.m_latPerPixel);

    map.m_zoom = 0.7;
    map.ComputeViewExtent(AREA);
    EXPECT_EQ(map.m_viewWidth, 168u);
    EXPECT_EQ(map.m_viewHeight, 177u);   // 177.8 truncated
}

TEST(Viewport, ProjectionIsLinearAndTruncates)
{
    CMapBitmap map;
    Calibrate(map);
    EXPECT_EQ(map.ProjectToScreen(map.m_lonMin, map.m_latMax), QPoint(0, 0));
    EXPECT_EQ(map.ProjectToScreen(map.m_lonMax, map.m_latMin), QPoint(1000, 800));
    map.m_panX = 100;
    map.m_panY = -20;
    map.m_zoom = 2.0;
    EXPECT_EQ(map.ProjectToScreen(map.m_lonMin + 301 * map.m_lonPerPixel, map.m_latMax), QPoint(100, 10));
    EXPECT_EQ(map.ProjectToScreen(map.m_lonMin, map.m_latMax), QPoint(-50, 10));

    // Far-off points stay far off instead of wrapping round.
    const QPoint far = map.ProjectToScreen(1e12, -1e12);
    EXPECT_EQ(far.x(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(far.y(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(map.ProjectToScreen(-1e12, 1e12).x(), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(AREA.contains(map.ProjectToScreen(std::numeric_limits<double>::quiet_NaN(), 52.4)));
}

TEST(Viewport, CentredPositionProjectsToTheMiddle)
{
    for (double dZoom : {0.5, 1.0, 1.7, 3.0}) {
        CMapBitmap map;
        Calibrate(map);
        map.m_zoom = dZoom;
        map.ComputeViewExtent(AREA);
        const double dLon = 4.9123, dLat = 52.371;
        CentreOnPosition(map, dLon, dLat);
        const QPoint p = map.ProjectToScreen(dLon, dLat);
        EXPECT_NEAR(p.x(), AREA.width() / 2, 1) << dZoom;
        EXPECT_NEAR(p.y(), AREA.height() / 2, 1) << dZoom;
    }
}

TEST(Viewport, ZoomStepsAndBands)
{
    CMapBitmap map;
    Calibrate(map);
    CStylusDrag drag;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(StylusPenUp(drag, &map, true, AREA, 100, 25), EPenUp::Stay);
    EXPECT_NEAR(map.m_zoom, 0.7, 1e-9);
    EXPECT_EQ(map.m_viewWidth, 168u);   // resized with each step
    for (int i = 0; i < 5; ++i)
        StylusPenUp(drag, &map, true, AREA, 0, 49);
    EXPECT_EQ(map.m_zoom, 0.5);

    StylusPenUp(drag, &map, true, AREA, 239, 24);
    EXPECT_NEAR(map.m_zoom, 0.6, 1e-9);
    for (int i = 0; i < 100; ++i)
        StylusPenUp(drag, &map, true, AREA, 10, 0);
    EXPECT_NEAR(map.m_zoom, 10.6, 1e-9);
    EXPECT_EQ(map.m_viewWidth, uint32_t(240 * map.m_zoom));
}

TEST(Viewport, TapLeavesTheMapAndDragPans)
{
    CMapBitmap map;
    Calibrate(map);
    map.m_zoom = 2.0;
    map.m_panX = 10;
    map.m_panY = 20;

    CStylusDrag drag = StylusPenDown(100, 50);
    EXPECT_EQ(drag.m_bStylusDown, 1);
    EXPECT_EQ(StylusPenUp(drag, &map, true, AREA, 100, 50), EPenUp::LeaveMap);
    EXPECT_EQ(map.m_panX, 10);
    EXPECT_EQ(map.m_zoom, 2.0);

    drag = StylusPenDown(100, 120);
    StylusPenMove(drag, 130, 100);
    EXPECT_EQ(drag.m_dragX, 30);
    EXPECT_EQ(drag.m_dragY, -20);
    StylusPenMove(drag, 101, 120);
    EXPECT_EQ(StylusPenUp(drag, &map, true, AREA, 101, 120), EPenUp::Stay);
    EXPECT_EQ(map.m_panX, 9);   // one screen pixel is one bitmap pixel at any zoom
    EXPECT_EQ(map.m_panY, 20);
    EXPECT_EQ(drag.m_bStylusDown, 0);
    EXPECT_EQ(drag.m_dragX, 0);
    EXPECT_EQ(drag.m_dragY, 0);

    // A drag that ends in the zoom bands zooms instead.
    drag = StylusPenDown(100, 120);
    EXPECT_EQ(StylusPenUp(drag, &map, true, AREA, 100, 30), EPenUp::Stay);
    EXPECT_EQ(map.m_panY, 20);
    EXPECT_NEAR(map.m_zoom, 1.9, 1e-9);
}

TEST(Viewport, OtherViewsCycleWhateverThePoint)
{
    CMapBitmap map;
    Calibrate(map);
    CStylusDrag drag = StylusPenDown(10, 10);
    EXPECT_EQ(StylusPenUp(drag, &map, false, AREA, 200, 30), EPenUp::NextView);
    EXPECT_EQ(map.m_zoom, 1.0);
    EXPECT_EQ(map.m_panX, 0);

    drag = StylusPenDown(10, 10);
    EXPECT_EQ(StylusPenUp(drag, nullptr, true, AREA, 10, 10), EPenUp::NextView);   // map view without a map
}

// ---- follow step ----------------------------------------------------------

class Follow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A wide and a narrow map over the same place, both on the card.
        for (const char* szName : {"X4G0M_6G0MY52G0M_53G0M.bmp", "X4G50M_5G0MY52G20M_52G25M.bmp"}) {
            const QString strName = QString::fromUtf8(szName);
            CBmpLayout layout;
            layout.nWidth = 600;
            layout.nHeight = 300;
            layout.pixels = GradientRows24(600, 300);
            ASSERT_TRUE(WriteFile(CardGpsPath(strName), MakeBmp(layout)));
            m_files.append(CardGpsPath(strName));
        }
        BuildMapCatalogue(m_maps);
        ASSERT_EQ(m_maps.size(), 2u);
        m_pWide = m_maps[0].get();
        m_pNarrow = m_maps[1].get();
        m_pWide->LoadMapBitmap();
        m_pWide->ComputeViewExtent(AREA);
    }

    void TearDown() override
    {
        for (const QString& strFile : m_files)
            QFile::remove(strFile);
    }

    const CGpsTracker& Fix(float fLongitude, float fLatitude)
    {
        m_tracker.m_fLongitude = fLongitude;
        m_tracker.m_fLatitude = fLatitude;
        m_tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
        return m_tracker;
    }

    CGpsTracker m_tracker;

    QStringList m_files;
    CMapList m_maps;
    CMapBitmap* m_pWide = nullptr;
    CMapBitmap* m_pNarrow = nullptr;
};

TEST_F(Follow, SwitchesToTheNarrowestMapAndCentres)
{
    std::vector<bool> cursor;
    const auto fnCursor = [&cursor](bool bWait) { cursor.push_back(bWait); };
    const CGpsTracker& tracker = Fix(4.9f, 52.4f);
    const CFollowResult result = FollowPosition(m_pWide, true, tracker, m_maps, AREA, fnCursor);
    EXPECT_EQ(result.pMap, m_pNarrow);
    EXPECT_TRUE(result.bSwitched);
    EXPECT_EQ(cursor, (std::vector<bool> {true, false}));
    ASSERT_NE(m_pNarrow->m_hDib, nullptr);
    EXPECT_EQ(m_pNarrow->m_viewWidth, 240u);
    const QPoint p = m_pNarrow->ProjectToScreen(tracker.m_fLongitude, tracker.m_fLatitude);
    EXPECT_NEAR(p.x(), 120, 1);
    EXPECT_NEAR(p.y(), 127, 1);

    // The next tick stays, keeps the zoom and undoes a drag.
    m_pNarrow->m_zoom = 1.5;
    m_pNarrow->ComputeViewExtent(AREA);
    const int32_t nPanX = m_pNarrow->m_panX;
    m_pNarrow->m_panX += 40;
    const CFollowResult next = FollowPosition(m_pNarrow, true, tracker, m_maps, AREA, fnCursor);
    EXPECT_EQ(next.pMap, m_pNarrow);
    EXPECT_FALSE(next.bSwitched);
    EXPECT_EQ(cursor.size(), 2u);
    EXPECT_EQ(m_pNarrow->m_zoom, 1.5);
    EXPECT_NE(m_pNarrow->m_panX, nPanX + 40);
    EXPECT_NEAR(m_pNarrow->ProjectToScreen(tracker.m_fLongitude, tracker.m_fLatitude).x(), 120, 1);
}

TEST_F(Follow, PositionOffEveryMapKeepsTheMapAndCentres)
{
    ASSERT_TRUE(FollowPosition(m_pWide, true, Fix(4.9f, 52.4f), m_maps, AREA).bSwitched);
    const CFollowResult result = FollowPosition(m_pNarrow, true, Fix(7.0f, 40.0f), m_maps, AREA);
    EXPECT_EQ(result.pMap, m_pNarrow);
    EXPECT_FALSE(result.bSwitched);
    EXPECT_GT(m_pNarrow->m_panX, 600);   // east of the map
    EXPECT_GT(m_pNarrow->m_panY, 300);   // south of it
    EXPECT_NEAR(m_pNarrow->ProjectToScreen(7.0, 40.0).y(), 127, 1);
}

TEST_F(Follow, DoesNothingOutsideTheMapView)
{
    m_pWide->m_panX = 33;
    const CFollowResult result = FollowPosition(m_pWide, false, Fix(4.9f, 52.4f), m_maps, AREA);
    EXPECT_EQ(result.pMap, m_pWide);
    EXPECT_FALSE(result.bSwitched);
    EXPECT_EQ(m_pWide->m_panX, 33);
    EXPECT_EQ(FollowPosition(nullptr, true, Fix(4.9f, 52.4f), m_maps, AREA).pMap, nullptr);
    EXPECT_EQ(m_pNarrow->m_hDib, nullptr);
}

}
