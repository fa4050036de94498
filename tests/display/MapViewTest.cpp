#include "display/ViewColours.h"
#include "map/CMapBitmap.h"
#include "display/MapView.h"
#include "map/Viewport.h"
#include "tests/display/ViewTest.h"

namespace {

constexpr QRgb MAP_TEST_COLOUR = qRgb(40, 160, 220);

// A 1024 x 1024 map of one degree square from 5 E, 52 N: 1/1024 degree per
// pixel, so positions on whole pixels are exact in single precision.
class MapViewTest : public ViewTest
{
protected:
    MapViewTest()
    {
        m_map.m_bitmap = QImage(1024, 1024, QImage::Format_RGB32);
        m_map.m_bitmap.fill(MAP_TEST_COLOUR);
        m_map.m_hDib = &m_map.m_bitmap;
        m_map.m_width = 1024;
        m_map.m_height = 1024;
        m_map.m_lonMin = 5.0;
        m_map.m_lonMax = 6.0;
        m_map.m_latMin = 52.0;
        m_map.m_latMax = 53.0;
        m_map.m_lonPerPixel = 1.0 / 1024;
        m_map.m_latPerPixel = 1.0 / 1024;
        m_map.ComputeViewExtent(MapDrawingArea(m_wnd.GetClientRect()));
        m_wnd.m_pMap = &m_map;
        SetPosition(m_tracker.m_fLongitude, m_tracker.m_fLatitude, 128, 128);
    }

    void Paint() { DrawMapView(&m_dc, View()); }

    // Longitude and latitude of screen pixel (x, y) at pan (0, 0), zoom 1.
    static void SetPosition(float& fLongitude, float& fLatitude, int x, int y)
    {
        fLongitude = 5.0f + float(x) / 1024;
        fLatitude = 52.0f + float(1024 - y) / 1024;
    }

    void AddPoint(int x, int y)
    {
        CTrackPoint point;
        SetPosition(point.m_fLongitude, point.m_fLatitude, x, y);
        m_points.push_back(point);
    }

    std::vector<CRecordingDC::Call> LinesWith(const QPen& pen) const
    {
        std::vector<CRecordingDC::Call> calls;
        for (const CRecordingDC::Call& call : m_dc.m_calls) {
            if ((call.strOp == QLatin1String("MoveTo") || call.strOp == QLatin1String("LineTo")) &&
                call.pen == pen)
                calls.push_back(call);
        }
        return calls;
    }

    static std::vector<QString> Ops(const std::vector<CRecordingDC::Call>& calls)
    {
        std::vector<QString> ops;
        for (const CRecordingDC::Call& call : calls)
            ops.push_back(call.strOp + QStringLiteral(" %1,%2").arg(call.rc.x()).arg(call.rc.y()));
        return ops;
    }

    CMapBitmap m_map;
};

TEST_F(MapViewTest, ArrowheadAndHeadingAtCourseZero)
{
    const QPen pen = m_dc.m_pen;
    Paint();
    const std::vector<QString> arrow = {QStringLiteral("MoveTo 139,144"), QStringLiteral("LineTo 128,128"),
                                        QStringLiteral("LineTo 117,144")};
    EXPECT_EQ(Ops(LinesWith(m_wnd.m_penTrack)), arrow);
    const std::vector<QString> heading = {QStringLiteral("MoveTo 128,128"),
                                          QStringLiteral("LineTo 128,-22")};
    EXPECT_EQ(Ops(LinesWith(m_wnd.m_penHeading)), heading);
    EXPECT_EQ(m_dc.m_pen, pen);
}

TEST_F(MapViewTest, ArmsAreReducedPastFullCircle)
{
    // 250 + 145 = 395 -> 35 and 250 + 215 = 465 -> 105 degrees.
    m_tracker.m_fCourse = 250.0f;
    Paint();
    const std::vector<QString> arrow = {QStringLiteral("MoveTo 139,112"), QStringLiteral("LineTo 128,128"),
                                        QStringLiteral("LineTo 147,133")};
    EXPECT_EQ(Ops(LinesWith(m_wnd.m_penTrack)), arrow);
    // 150 at 250 degrees: sin -0.9397, cos -0.3420.
    EXPECT_EQ(Ops(LinesWith(m_wnd.m_penHeading)).back(), QStringLiteral("LineTo -12,179"));
}

TEST_F(MapViewTest, TrackLeavingTheAreaIsDrawnInPieces)
{
    AddPoint(10, 10);
    AddPoint(20, 30);
    AddPoint(241, 30);      // one past the right edge: lifts the pen
    AddPoint(200, 100);
    AddPoint(240, 254);     // on x = W and y = H - 14: still inside
    AddPoint(100, 255);     // below the drawing area
    AddPoint(-1, 100);
    AddPoint(50, 60);
    Paint();
    const std::vector<CRecordingDC::Call> calls = LinesWith(m_wnd.m_penTrack);
    ASSERT_GE(calls.size(), 3u);
    std::vector<QString> track = Ops(calls);
    track.erase(track.begin(), track.begin() + 3);
    const std::vector<QString> expected = {
        QStringLiteral("MoveTo 10,10"),   QStringLiteral("LineTo 20,30"),
        QStringLiteral("MoveTo 200,100"), QStringLiteral("LineTo 240,254"),
        QStringLiteral("MoveTo 50,60"),
    };
    EXPECT_EQ(track, expected);
}

TEST_F(MapViewTest, PictureIsTheViewStretchedOverTheDrawingArea)
{
    const double zooms[] = {1.0, 3.0, 0.5};
    for (double dZoom : zooms) {
        m_map.m_zoom = dZoom;
        m_map.ComputeViewExtent(MapDrawingArea(m_wnd.GetClientRect()));
        m_map.m_panX = 17;
        m_map.m_panY = -40;
        CRecordingDC dc(240, 268);
        DrawMapView(&dc, View());
        const auto blits = dc.CallsOf(QStringLiteral("StretchBlt"));
        ASSERT_EQ(blits.size(), 1u);
        EXPECT_EQ(blits[0].rc, QRect(0, 0, 240, 254));
        EXPECT_EQ(blits[0].srcRect, QRect(17, -40, int(240 * dZoom), int(254 * dZoom))) << dZoom;
    }
}

TEST_F(MapViewTest, DragMovesOnlyThePicture)
{
    m_map.m_panX = 100;
    m_map.m_panY = 200;
    m_wnd.m_drag.m_bStylusDown = 1;
    m_wnd.m_drag.m_dragX = 30;
    m_wnd.m_drag.m_dragY = -12;
    Paint();
    EXPECT_EQ(m_dc.CallsOf(QStringLiteral("StretchBlt"))[0].srcRect.topLeft(), QPoint(70, 212));
    // The arrowhead stays where the pan puts the position.
    EXPECT_EQ(At(LinesWith(m_wnd.m_penTrack)[1]), QPoint(28, -72));

    CRecordingDC dc(240, 268);
    m_wnd.m_drag.m_bStylusDown = 0;
    DrawMapView(&dc, View());
    EXPECT_EQ(dc.CallsOf(QStringLiteral("StretchBlt"))[0].srcRect.topLeft(), QPoint(100, 200));
}

TEST_F(MapViewTest, CourseAndSpeedAroundTheNeedle)
{
    m_tracker.m_fCourse = 87.4f;
    m_tracker.m_fSpeed = 10.0f;
    m_tracker.m_nUpdateFlags = UPD_SPEED;
    Paint();
    const auto ellipses = m_dc.CallsOf(QStringLiteral("Ellipse"));
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0].rc, QRect(QPoint(2, 1), QPoint(48, 47)));
    const QFont font = CDC::DefaultFont();
    const QSize course = Extent(font, QStringLiteral("87\u00B0"));
    EXPECT_EQ(At(Text(QStringLiteral("87\u00B0"))), QPoint(25 - course.width() / 2, 25 - course.height()));
    EXPECT_EQ(Text(QStringLiteral("87\u00B0")).textColor, CLR_GREY);
    const QSize speed = Extent(font, QStringLiteral("10.0"));
    EXPECT_EQ(At(Text(QStringLiteral("10.0"))), QPoint(25 - speed.width() / 2, 25));
    EXPECT_EQ(Text(QStringLiteral("10.0")).textColor, CLR_BLACK);
}

TEST_F(MapViewTest, WindowOffTheBitmapIsErasedOnEveryPaint)
{
    // Near the map's west edge the view starts 100 screen pixels west of
    // it; what an earlier paint left there must go.
    m_map.m_panX = -100;
    // Above the scale bar at the bottom left.
    const QRect rcOff(0, 60, 90, 150);
    m_dc.FillSolidRect(QRect(0, 0, VIEW_WIDTH, VIEW_HEIGHT), QColor(255, 0, 0));
    Paint();
    EXPECT_EQ(Ink(rcOff), 0);
    EXPECT_EQ(Count(QRect(100, 60, 100, 100), MAP_TEST_COLOUR), 100 * 100) << "the bitmap is copied beside it";
}

TEST_F(MapViewTest, MapWithoutBitmapDrawsNothing)
{
    m_map.m_hDib = nullptr;
    Paint();
    EXPECT_TRUE(m_dc.m_calls.empty());
}

TEST_F(MapViewTest, PaintsMapPositionAndTrack)
{
    // Panned so the view starts 20 pixels left of and above the bitmap.
    m_map.m_panX = -20;
    m_map.m_panY = -20;
    for (int i = 0; i < 50; ++i)
        AddPoint(40 + 3 * i, 200 - 2 * i);
    Paint();
    const QImage& image = m_dc.Image();
    EXPECT_EQ(image.pixel(200, 200), MAP_TEST_COLOUR);
    EXPECT_EQ(image.pixel(239, 253), MAP_TEST_COLOUR);
    EXPECT_EQ(Ink(QRect(0, 60, 20, 150)), 0) << "no map left of the bitmap's edge";
    EXPECT_EQ(image.pixel(20, 200), MAP_TEST_COLOUR);
    EXPECT_GT(Count(QRect(70, 50, 160, 130), qRgb(255, 0, 0)), 100) << "track";
    EXPECT_GT(Count(QRect(130, 130, 40, 40), qRgb(255, 0, 0)), 20) << "arrowhead";
    EXPECT_GT(Count(QRect(0, 0, 50, 50), qRgb(0, 0, 0)), 100) << "needle";
    EXPECT_EQ(Ink(QRect(0, 254, 240, 14)), 0) << "status strip left free";
}

}
