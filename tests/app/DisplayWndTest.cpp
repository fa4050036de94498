// The display window: date line, view dispatch with its fallback, status
// line, and the stylus.
#include "app/CTrackerApp.h"
#include "display/CDisplayWnd.h"
#include "map/Viewport.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/RecordingDC.h"

#include <QFontMetrics>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <vector>

namespace {

class DisplayWndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetApp();
        m_wnd.resize(240, 268);
    }
    void TearDown() override { ResetApp(); }

    const CRecordingDC::Call* Paint(CRecordingDC& dc, const QString& strText)
    {
        m_wnd.Paint(&dc);
        return dc.FindText(strText);
    }

    // A map of a thousandth of a degree per pixel from 5° E and 53° N as
    // the current map, the window shown.
    void ShowMap(CMapBitmap& map)
    {
        map.m_lonMin = 5.0;
        map.m_latMax = 53.0;
        map.m_lonPerPixel = map.m_latPerPixel = 0.001;
        m_wnd.m_pMap = &map;
        m_wnd.show();
        ProcessEvents();
    }

    const CViewFonts m_fonts = CreateViewFonts();
    CDisplayWnd m_wnd{theApp.DisplaySources()};
};

TEST_F(DisplayWndTest, EmptyStateShowsZerosInGreyAndNoSignal)
{
    CRecordingDC dc(240, 268);
    const CRecordingDC::Call* pDate = Paint(dc, "00-00-   0");
    ASSERT_NE(pDate, nullptr) << dc.Texts().join('|').toStdString();
    EXPECT_EQ(pDate->rc.topLeft(), QPoint(6, 1));
    EXPECT_EQ(pDate->textColor, QColor(128, 128, 128));

    const CRecordingDC::Call* pStatus = dc.FindText("Pnt:0 Sec: 0 Sats:0 Dltn:0.0 Zm:0.0 No signal");
    ASSERT_NE(pStatus, nullptr);
    EXPECT_EQ(pStatus->rc.topLeft(), QPoint(6, 268 - 14));
    EXPECT_EQ(pStatus->textColor, QColor(0, 0, 0));
    // The status line is drawn last, in the same font as the date line.
    EXPECT_EQ(dc.Texts().last(), pStatus->strText);
    EXPECT_EQ(pStatus->font, pDate->font);
}

TEST_F(DisplayWndTest, FreshDateIsBlackAndStatusShowsTheFix)
{
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_nDay = 7;
    tracker.m_nMonth = 12;
    tracker.m_nYear = 2026;
    tracker.m_nUpdateFlags = UPD_DATE;
    tracker.m_nSecsSinceLog = 17;
    tracker.m_nSatsUsed = 8;
    tracker.m_fHdop = 1.25f;
    tracker.m_bRmcValid = 1;
    tracker.m_nFixQuality = 1;
    theApp.m_trackPoints.resize(3);
    CMapBitmap map;
    m_wnd.m_pMap = &map;
    m_wnd.m_eViewType = EViewType::Compass;

    CRecordingDC dc(240, 268);
    const CRecordingDC::Call* pDate = Paint(dc, "07-12-2026");
    ASSERT_NE(pDate, nullptr);
    EXPECT_EQ(pDate->textColor, QColor(0, 0, 0));
    EXPECT_NE(dc.FindText("Pnt:3 Sec:17 Sats:8 Dltn:1.2 Zm:1.0 OK      "), nullptr) << dc.Texts().join('|').toStdString();
    m_wnd.m_pMap = nullptr;
}

// A tick repaints without erasing: when the signal comes back, nothing of
// "No signal" may stay beside the shorter "OK".
TEST_F(DisplayWndTest, StatusLineLeavesNothingOfALongerOne)
{
    m_wnd.m_eViewType = EViewType::Status;
    CRecordingDC dc(240, 268);
    m_wnd.Paint(&dc);
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_bRmcValid = 1;
    tracker.m_nFixQuality = 1;
    m_wnd.Paint(&dc);
    const CRecordingDC::Call* pStatus = dc.FindText("Pnt:0 Sec: 0 Sats:0 Dltn:0.0 Zm:0.0 OK      ");
    ASSERT_NE(pStatus, nullptr);
    const QFontMetrics fm(pStatus->font);
    const int xEnd = 6 + fm.horizontalAdvance(QStringLiteral("Pnt:0 Sec: 0 Sats:0 Dltn:0.0 Zm:0.0 OK"));
    int nInk = 0;
    for (int y = 268 - 14; y < 268; ++y) {
        for (int x = xEnd; x < 240; ++x)
            nInk += dc.Image().pixel(x, y) != qRgb(255, 255, 255);
    }
    EXPECT_EQ(nInk, 0);
}

struct StoredViewCase
{
    int32_t nStored;      // "ViewType" as the settings hold it
    EViewType eShown;     // the view the window shows from then on
    bool bFirstPaintShows;   // else it draws only the date and status lines and erases
};

// A stored number that names no view of the window, or the map view without
// a map, gives the GPS data view from the paint after the first; the
// settings keep the number they hold.
TEST_F(DisplayWndTest, StoredViewTypesWithoutAViewFallBackToGpsData)
{
    const StoredViewCase cases[] = {
        {1, EViewType::GpsData, true}, {2, EViewType::Compass, true}, {3, EViewType::Track, true},
        {4, EViewType::Status, true},  {5, EViewType::GpsData, false}, {0, EViewType::GpsData, false},
        {6, EViewType::GpsData, false}, {7, EViewType::GpsData, false}, {-1, EViewType::GpsData, false},
    };
    for (const StoredViewCase& c : cases) {
        SCOPED_TRACE(c.nStored);
        CTrackerSettings settings;
        settings.m_nViewType = c.nStored;
        CDisplayWnd wnd({theApp.m_tracker, theApp.m_trackPoints, theApp.m_mapList, settings, m_fonts});
        wnd.resize(240, 268);
        CRecordingDC first(240, 268);
        wnd.Paint(&first);
        EXPECT_EQ(first.Texts().size() > 2, c.bFirstPaintShows);
        EXPECT_EQ(wnd.m_bErase, !c.bFirstPaintShows);
        EXPECT_EQ(wnd.ViewType(), c.eShown);

        CRecordingDC next(240, 268);
        wnd.Paint(&next);
        EXPECT_GT(next.Texts().size(), 2);
        EXPECT_EQ(wnd.ViewType(), c.eShown);
        EXPECT_EQ(settings.m_nViewType, c.nStored);
    }
}

TEST_F(DisplayWndTest, StatusLineOfAFourteenPixelWindowIsAtTheTop)
{
    m_wnd.resize(240, 14);
    CRecordingDC dc(240, 14);
    m_wnd.Paint(&dc);
    const QStringList texts = dc.Texts();
    const CRecordingDC::Call* pStatus = dc.FindText(texts.last());
    ASSERT_NE(pStatus, nullptr);
    EXPECT_EQ(pStatus->rc.top(), 0);
}

// Left-button presses are the stylus: a tap outside the map view cycles the
// views and repaints with erasing.
TEST_F(DisplayWndTest, StylusTapCyclesTheViews)
{
    m_wnd.show();
    ProcessEvents();
    m_wnd.m_eViewType = EViewType::GpsData;
    m_wnd.m_bErase = false;
    QTest::mouseClick(&m_wnd, Qt::LeftButton, {}, QPoint(100, 150));
    EXPECT_EQ(m_wnd.ViewType(), EViewType::Compass);
    EXPECT_TRUE(m_wnd.m_bErase);
    EXPECT_EQ(m_wnd.m_drag.m_bStylusDown, 0);

    QTest::mouseClick(&m_wnd, Qt::RightButton, {}, QPoint(100, 150));
    EXPECT_EQ(m_wnd.ViewType(), EViewType::Compass);

    QTest::mousePress(&m_wnd, Qt::LeftButton, {}, QPoint(10, 60));
    EXPECT_EQ(m_wnd.m_drag.m_bStylusDown, 1);
    EXPECT_EQ(m_wnd.m_drag.m_downX, 10);
    EXPECT_EQ(m_wnd.m_drag.m_downY, 60);
    m_wnd.OnMouseMove(25, 40);
    EXPECT_EQ(m_wnd.m_drag.m_dragX, 15);
    EXPECT_EQ(m_wnd.m_drag.m_dragY, -20);
    QTest::mouseRelease(&m_wnd, Qt::LeftButton, {}, QPoint(25, 40));
    EXPECT_EQ(m_wnd.ViewType(), EViewType::Track);
    EXPECT_EQ(m_wnd.m_drag.m_dragX, 0);
}

TEST_F(DisplayWndTest, TouchIsTheStylusToo)
{
    m_wnd.show();
    ProcessEvents();
    m_wnd.m_eViewType = EViewType::Compass;
    static QPointingDevice* g_pTouch = QTest::createTouchDevice();
    QTest::touchEvent(&m_wnd, g_pTouch).press(0, QPoint(60, 120));
    QTest::touchEvent(&m_wnd, g_pTouch).release(0, QPoint(60, 120));
    ProcessEvents();
    EXPECT_EQ(m_wnd.ViewType(), EViewType::Track);
}

}

namespace {

// The stylus at 2x and in "Fit window" at a phone's 720 x 1440: window points
// are taken back to the layout's, so the map view's bands (zoom out above
// y 25, zoom in above 50, below them a tap leaves the map) lie where they
// lie at 1x, scaled and shifted with the picture.
TEST_F(DisplayWndTest, StylusBandsAreTheLayoutsAtEveryZoom)
{
    enum class EHit { ZoomOut, ZoomIn, LeaveMap };
    const struct {
        double dZoom;
        QSize window;
        int yWindow;
        EHit eHit;
    } CASES[] = {
        {2.0, QSize(480, 536), 0, EHit::ZoomOut},
        {2.0, QSize(480, 536), 2 * 24 + 1, EHit::ZoomOut},
        {2.0, QSize(480, 536), 2 * 25, EHit::ZoomIn},
        {2.0, QSize(480, 536), 2 * 49 + 1, EHit::ZoomIn},
        {2.0, QSize(480, 536), 2 * 50, EHit::LeaveMap},
        // 3x, the 804 pixels of the layout centred in 1440: 318 above.
        {ZOOM_FIT_WINDOW, QSize(720, 1440), 318 + 3 * 24 + 2, EHit::ZoomOut},
        {ZOOM_FIT_WINDOW, QSize(720, 1440), 318 + 3 * 25, EHit::ZoomIn},
        {ZOOM_FIT_WINDOW, QSize(720, 1440), 318 + 3 * 50, EHit::LeaveMap},
        {1.5, QSize(360, 402), 37, EHit::ZoomOut},
        {1.5, QSize(360, 402), 38, EHit::ZoomIn},
    };
    CMapBitmap map;
    m_wnd.show();
    for (const auto& c : CASES) {
        m_wnd.SetZoom(c.dZoom);
        m_wnd.resize(c.window);
        ProcessEvents();
        EXPECT_EQ(m_wnd.GetClientRect(), QRect(0, 0, 240, 268)) << c.yWindow;
        map.m_zoom = 1.0;
        m_wnd.m_pMap = &map;
        m_wnd.m_eViewType = EViewType::Map;
        QTest::mouseClick(&m_wnd, Qt::LeftButton, {}, QPoint(c.window.width() / 2, c.yWindow));
        const EHit eHit = m_wnd.ViewType() != EViewType::Map ? EHit::LeaveMap
                          : map.m_zoom > 1.0                  ? EHit::ZoomOut
                                                              : EHit::ZoomIn;
        EXPECT_EQ(eHit, c.eHit) << "zoom " << c.dZoom << ", y " << c.yWindow;
        EXPECT_EQ(m_wnd.m_drag.m_bStylusDown, 0);
    }
    m_wnd.m_pMap = nullptr;
}

// A drag pans the map by the layout's pixels: at 2x, 60 window pixels are 30.
TEST_F(DisplayWndTest, DragAtDoubleSizePansByLayoutPixels)
{
    CMapBitmap map;
    m_wnd.m_pMap = &map;
    m_wnd.m_eViewType = EViewType::Map;
    m_wnd.SetZoom(2.0);
    m_wnd.resize(480, 536);
    m_wnd.show();
    ProcessEvents();
    QTest::mousePress(&m_wnd, Qt::LeftButton, {}, QPoint(200, 300));
    EXPECT_EQ(m_wnd.m_drag.m_downX, 100);
    EXPECT_EQ(m_wnd.m_drag.m_downY, 150);
    QTest::mouseRelease(&m_wnd, Qt::LeftButton, {}, QPoint(260, 240));
    EXPECT_EQ(map.m_panX, -30);
    EXPECT_EQ(map.m_panY, 30);
    EXPECT_EQ(m_wnd.ViewType(), EViewType::Map);
    m_wnd.m_pMap = nullptr;
}

}

namespace {

// The wheel and the + and - keys zoom the map view in steps of the square
// root of 2, within the map view's limits, keeping the view's centre; outside
// the map view they do nothing.
TEST_F(DisplayWndTest, WheelAndKeysZoomTheMapAroundItsCentre)
{
    enum class EInput { WheelUp, WheelDown, HalfWheelUp, Plus, Equal, Minus };
    const struct {
        std::vector<EInput> inputs;
        double dStartZoom;
        double dZoom;
    } CASES[] = {
        {{EInput::WheelUp}, 2.0, 2.0 / VIEWPORT_ZOOM_FACTOR},
        {{EInput::WheelDown}, 2.0, 2.0 * VIEWPORT_ZOOM_FACTOR},
        {{EInput::HalfWheelUp}, 2.0, 2.0},
        {{EInput::HalfWheelUp, EInput::HalfWheelUp}, 2.0, 2.0 / VIEWPORT_ZOOM_FACTOR},
        {{EInput::Plus, EInput::Plus}, 4.0, 2.0},
        {{EInput::Equal}, 1.0, 1.0 / VIEWPORT_ZOOM_FACTOR},
        {{EInput::Minus, EInput::Minus}, 1.0, 2.0},
        {{EInput::Plus, EInput::Plus, EInput::Plus}, 1.0, VIEWPORT_MIN_ZOOM},
        {{EInput::WheelDown}, 90.0, VIEWPORT_MAX_ZOOM},
    };
    CMapBitmap map;
    ShowMap(map);
    const QRect rcArea = MapDrawingArea(m_wnd.GetClientRect());
    const QPointF centre(m_wnd.width() / 2.0, m_wnd.height() / 2.0);
    for (const bool bMapView : {true, false}) {
        m_wnd.m_eViewType = bMapView ? EViewType::Map : EViewType::Compass;
        for (const auto& c : CASES) {
            map.m_zoom = c.dStartZoom;
            map.ComputeViewExtent(rcArea);
            CentreOnPosition(map, 5.5, 52.5);
            for (const EInput eInput : c.inputs) {
                const auto wheel = [&](int nDelta) {
                    QWheelEvent event(centre, m_wnd.mapToGlobal(centre), {}, QPoint(0, nDelta), Qt::NoButton, {},
                                      Qt::NoScrollPhase, false);
                    QApplication::sendEvent(&m_wnd, &event);
                };
                switch (eInput) {
                case EInput::WheelUp: wheel(120); break;
                case EInput::WheelDown: wheel(-120); break;
                case EInput::HalfWheelUp: wheel(60); break;
                case EInput::Plus: QTest::keyClick(&m_wnd, Qt::Key_Plus); break;
                case EInput::Equal: QTest::keyClick(&m_wnd, Qt::Key_Equal); break;
                case EInput::Minus: QTest::keyClick(&m_wnd, Qt::Key_Minus); break;
                }
            }
            SCOPED_TRACE(testing::Message() << "map view " << bMapView << ", from " << c.dStartZoom);
            EXPECT_NEAR(map.m_zoom, bMapView ? c.dZoom : c.dStartZoom, 1e-9);
            // The centre stays where it was, to the whole bitmap pixels a pan holds.
            EXPECT_NEAR(map.m_lonMin + map.m_panX * map.m_lonPerPixel + map.m_viewSpanLon / 2, 5.5, 0.002);
            EXPECT_NEAR(map.m_latMax - map.m_panY * map.m_latPerPixel - map.m_viewSpanLat / 2, 52.5, 0.002);
        }
    }
    m_wnd.m_pMap = nullptr;
}

}

namespace {

// Touch: one finger is the stylus; two fingers zoom the map view a step of
// the square root of 2 for each such factor they spread, counted from where
// the second came down, and neither pan nor tap.
TEST_F(DisplayWndTest, OneFingerIsTheStylusTwoFingersPinch)
{
    constexpr double START_DISTANCE = 60;
    const struct {
        const char* szName;
        std::vector<double> spreads;   // the fingers' distance at each move, as a factor; none: one finger
        double dZoom;
        bool bMapView;
    } CASES[] = {
        {"spread to twice", {1.5, 2.0}, 1.0, true},
        {"closed to half", {0.5}, 4.0, true},
        {"less than a step", {1.3}, 2.0, true},
        {"spread and back", {2.0, 1.0}, 2.0, true},
        {"one finger taps", {}, 2.0, false},
    };
    static QPointingDevice* g_pScreen = QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
    QPointingDevice* pScreen = g_pScreen;
    CMapBitmap map;
    ShowMap(map);
    const QRect rcArea = MapDrawingArea(m_wnd.GetClientRect());
    const QPoint centre(m_wnd.width() / 2, m_wnd.height() / 2);
    const auto finger = [&](int nSide, double dSpread) {
        return centre + QPoint(int(nSide * START_DISTANCE * dSpread / 2), 0);
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        m_wnd.m_eViewType = EViewType::Map;
        map.m_zoom = 2.0;
        map.ComputeViewExtent(rcArea);
        CentreOnPosition(map, 5.5, 52.5);
        QTest::touchEvent(&m_wnd, pScreen).press(0, finger(-1, 1.0));
        if (!c.spreads.empty()) {
            QTest::touchEvent(&m_wnd, pScreen).move(0, finger(-1, 1.0)).press(1, finger(1, 1.0));
            for (const double dSpread : c.spreads)
                QTest::touchEvent(&m_wnd, pScreen).move(0, finger(-1, dSpread)).move(1, finger(1, dSpread));
            const double dLast = c.spreads.back();
            QTest::touchEvent(&m_wnd, pScreen).release(0, finger(-1, dLast)).release(1, finger(1, dLast));
        } else {
            QTest::touchEvent(&m_wnd, pScreen).release(0, finger(-1, 1.0));
        }
        ProcessEvents();
        EXPECT_NEAR(map.m_zoom, c.dZoom, 1e-9);
        EXPECT_EQ(m_wnd.ViewType() == EViewType::Map, c.bMapView);
        EXPECT_EQ(m_wnd.m_drag.m_bStylusDown, 0);
        // No pan: the centre stays, to the whole bitmap pixels a pan holds.
        EXPECT_NEAR(map.m_lonMin + map.m_panX * map.m_lonPerPixel + map.m_viewSpanLon / 2, 5.5, 0.002);
        EXPECT_NEAR(map.m_latMax - map.m_panY * map.m_latPerPixel - map.m_viewSpanLat / 2, 52.5, 0.002);
    }
    m_wnd.m_pMap = nullptr;
}

// One finger's drag pans as the stylus does.
TEST_F(DisplayWndTest, OneFingerDragPans)
{
    static QPointingDevice* g_pFinger = QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
    QPointingDevice* pScreen = g_pFinger;
    CMapBitmap map;
    m_wnd.m_pMap = &map;
    m_wnd.m_eViewType = EViewType::Map;
    m_wnd.show();
    ProcessEvents();
    QTest::touchEvent(&m_wnd, pScreen).press(0, QPoint(100, 150));
    QTest::touchEvent(&m_wnd, pScreen).move(0, QPoint(120, 140));
    EXPECT_EQ(m_wnd.m_drag.m_dragX, 20);
    QTest::touchEvent(&m_wnd, pScreen).release(0, QPoint(130, 120));
    ProcessEvents();
    EXPECT_EQ(map.m_panX, -30);
    EXPECT_EQ(map.m_panY, 30);
    EXPECT_EQ(m_wnd.ViewType(), EViewType::Map);
    m_wnd.m_pMap = nullptr;
}

}
