// The main frame: menu tree and soft keys, command states, the timer tick.
#include "app/CMainFrame.h"
#include "app/CPlacemarkDlg.h"
#include "app/CViewWnd.h"
#include "app/CTripStatsDlg.h"
#include "app/CTrackerApp.h"
#include "app/FileDialogs.h"
#include "app/Resource.h"
#include "map/MapCatalogue.h"
#include "platform/DevicePaths.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QToolButton>
#include <algorithm>
#include <clocale>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class FrameTest : public CFrameTestBase
{
protected:
    // The action of a command in the menu tree, a popup's popups included.
    QAction* Action(int nId)
    {
        for (QMenu* pMenu : Popups()) {
            for (QAction* pAction : pMenu->actions()) {
                if (!pAction->menu() && pAction->data().toInt() == nId)
                    return pAction;
            }
        }
        return nullptr;
    }

    // Opens every popup, as the user would, so the states are worked out.
    void OpenMenus()
    {
        for (QMenu* pMenu : Popups())
            emit pMenu->aboutToShow();
    }

    std::vector<QMenu*> Popups()
    {
        std::vector<QMenu*> popups;
        for (QAction* pPopup : m_frame.m_menu.actions()) {
            popups.push_back(pPopup->menu());
            for (QAction* pAction : pPopup->menu()->actions()) {
                if (pAction->menu())
                    popups.push_back(pAction->menu());
            }
        }
        return popups;
    }
};

TEST_F(FrameTest, MenuTreeAndSoftKeys)
{
    QStringList tree;
    for (QAction* pPopup : m_frame.m_menu.actions()) {
        for (QAction* pAction : pPopup->menu()->actions()) {
            if (pAction->menu()) {
                for (QAction* pChoice : pAction->menu()->actions())
                    tree << QStringLiteral("%1|%2|%3|%4").arg(pPopup->text(), pAction->text(), pChoice->text())
                                .arg(pChoice->data().toInt());
                continue;
            }
            tree << (pAction->isSeparator() ? pPopup->text() + QStringLiteral("|-")
                                            : QStringLiteral("%1|%2|%3").arg(pPopup->text(), pAction->text())
                                                  .arg(pAction->data().toInt()));
        }
    }
    const QStringList expected = {
        "File|Save|57603",       "File|Open|57601",          "File|Quit|57665",
        "View|GPS data|32789",   "View|GPS Status|32795",    "View|Kompass|32794",
        "View|Track|32793",      "View|Map|32792",           "View|Satellites|32820",
        "View|Profile|32823",    "View|-",                   "View|Zoom|1×|32830",
        "View|Zoom|1.5×|32831",  "View|Zoom|2×|32832",       "View|Zoom|3×|32833",
        "View|Zoom|Fit window|32834",
        "Tools|About|57664",     "Tools|GPS Setup|32784",    "Tools|Start Log|32785",
        "Tools|End log|32786",   "Tools|-",                  "Tools|Set placemark|32788",
        "Tools|Load map|32796",  "Tools|Trip statistics|32821", "Tools|Import map…|32822",
        "Tools|Go to…|32824",    "Tools|Online maps…|32825",
    };
    EXPECT_EQ(tree, expected);

    // Two soft keys at the bottom: "New" on the left, "Menu" on the right.
    EXPECT_EQ(m_frame.toolBarArea(&m_frame.m_wndCommandBar), Qt::BottomToolBarArea);
    const QList<QAction*> keys = m_frame.m_wndCommandBar.actions();
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys.first()->text(), "New");
    auto* pMenuKey = m_frame.m_wndCommandBar.findChild<QToolButton*>(QStringLiteral("MenuKey"));
    ASSERT_NE(pMenuKey, nullptr);
    EXPECT_EQ(pMenuKey->text(), "Menu");
    EXPECT_EQ(pMenuKey->menu(), &m_frame.m_menu);
    EXPECT_EQ(m_frame.windowTitle(), "veltrip");
    EXPECT_EQ(m_frame.centralWidget(), &m_frame.m_wndView);
}

TEST_F(FrameTest, NewSoftKeyDoesNothing)
{
    CMessageCapture capture;
    m_frame.m_wndView.m_eViewType = EViewType::Compass;
    EXPECT_FALSE(m_frame.OnCommand(ID_FILE_NEW));
    m_frame.m_wndCommandBar.actions().first()->trigger();
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Compass);
    EXPECT_FALSE(m_frame.m_wndView.m_bErase);
    EXPECT_TRUE(capture.m_messages.isEmpty());
}

TEST_F(FrameTest, LogCommandsFollowTheOpenLog)
{
    OpenMenus();
    EXPECT_TRUE(Action(ID_START_LOG)->isEnabled());
    EXPECT_FALSE(Action(ID_END_LOG)->isEnabled());
    EXPECT_FALSE(Action(ID_SET_PLACEMARK)->isEnabled());
    EXPECT_TRUE(Action(ID_FILE_SAVE)->isEnabled());
    EXPECT_TRUE(Action(ID_FILE_OPEN)->isEnabled());
    EXPECT_TRUE(Action(ID_LOAD_MAP)->isEnabled());

    ASSERT_TRUE(m_frame.OnCommand(ID_START_LOG));
    ASSERT_NE(theApp.m_recorder.m_log.m_hLogFile, nullptr);
    OpenMenus();
    EXPECT_FALSE(Action(ID_START_LOG)->isEnabled());
    EXPECT_TRUE(Action(ID_END_LOG)->isEnabled());
    EXPECT_TRUE(Action(ID_SET_PLACEMARK)->isEnabled());

    ASSERT_TRUE(m_frame.OnCommand(ID_END_LOG));
    EXPECT_EQ(theApp.m_recorder.m_log.m_hLogFile, nullptr);
    OpenMenus();
    EXPECT_TRUE(Action(ID_START_LOG)->isEnabled());
    EXPECT_FALSE(Action(ID_END_LOG)->isEnabled());
}

// Every command of the menu table is in the tree under its popup, and is
// enabled as its rule says without a log and with one open.
TEST_F(FrameTest, EveryCommandOfTheTableIsInTheMenuUnderItsRule)
{
    struct Case
    {
        int nId;
        bool bWithoutLog;
        bool bWithLog;
    };
    const Case CASES[] = {
        {ID_FILE_SAVE, true, true},      {ID_FILE_OPEN, true, true},       {ID_APP_EXIT, true, true},
        {ID_VIEW_GPSDATA, true, true},   {ID_VIEW_GPSSTATUS, true, true},  {ID_VIEW_COMPASS, true, true},
        {ID_VIEW_TRACK, true, true},     {ID_VIEW_MAP, true, true},        {ID_VIEW_SATELLITES, true, true},
        {ID_VIEW_PROFILE, true, true},   {ID_APP_ABOUT, true, true},       {ID_GPS_SETUP, true, true},
        {ID_START_LOG, true, false},     {ID_END_LOG, false, true},        {ID_SET_PLACEMARK, false, true},
        {ID_LOAD_MAP, true, true},       {ID_TRIP_STATS, true, true},      {ID_IMPORT_MAP, true, true},
        {ID_GO_TO, true, true},          {ID_ONLINE_MAPS, true, true},     {ID_VIEW_ZOOM_100, true, true},   {ID_VIEW_ZOOM_150, true, true},
        {ID_VIEW_ZOOM_200, true, true},  {ID_VIEW_ZOOM_300, true, true},   {ID_VIEW_ZOOM_FIT, true, true},
    };
    std::vector<std::pair<QString, int>> tableCommands;
    QString strPopup;
    for (const CMenuRow& row : CMainFrame::MenuTable()) {
        if (row.eItem == EMenuItem::Popup)
            strPopup = QString::fromLatin1(row.szText);
        else if (row.eItem == EMenuItem::Command)
            tableCommands.emplace_back(strPopup, row.nId);
        else if (row.eItem == EMenuItem::Views) {
            for (const CViewRow& view : ViewTable())
                tableCommands.emplace_back(strPopup, view.nCommandId);
        } else if (row.eItem == EMenuItem::Zooms) {
            for (const CZoomRow& zoom : ZoomTable())
                tableCommands.emplace_back(QString::fromLatin1(row.szText), zoom.nCommandId);
        }
    }
    ASSERT_EQ(tableCommands.size(), std::size(CASES));
    for (const auto& command : tableCommands) {
        const QString& strIn = command.first;
        const int nId = command.second;
        const auto hasCase = [nId](const Case& c) { return c.nId == nId; };
        EXPECT_TRUE(std::any_of(std::begin(CASES), std::end(CASES), hasCase)) << "no case for " << nId;
        QAction* pAction = Action(nId);
        ASSERT_NE(pAction, nullptr) << nId;
        auto* pMenu = qobject_cast<QMenu*>(pAction->parent());
        ASSERT_NE(pMenu, nullptr) << nId;
        EXPECT_EQ(pMenu->title(), strIn) << nId;
    }
    for (const bool bLog : {false, true}) {
        if (bLog) {
            ASSERT_TRUE(theApp.m_recorder.StartLog());
        }
        OpenMenus();
        for (const Case& c : CASES) {
            ASSERT_NE(Action(c.nId), nullptr) << c.nId;
            EXPECT_EQ(Action(c.nId)->isEnabled(), bLog ? c.bWithLog : c.bWithoutLog) << c.nId << " log " << bLog;
        }
    }
}

TEST_F(FrameTest, CheckMarkFollowsTheViewButNeverTheMap)
{
    const int viewIds[] = {ID_VIEW_GPSDATA, ID_VIEW_COMPASS, ID_VIEW_TRACK, ID_VIEW_GPSSTATUS};
    for (int nView = 1; nView <= 5; ++nView) {
        m_frame.m_wndView.m_eViewType = EViewType(nView);
        OpenMenus();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Action(viewIds[i])->isChecked(), nView == i + 1) << "view " << nView;
        EXPECT_FALSE(Action(ID_VIEW_MAP)->isChecked());
        EXPECT_TRUE(Action(ID_VIEW_MAP)->isEnabled());
    }
}

TEST_F(FrameTest, ViewCommandsSelectTheViewAndErase)
{
    const std::pair<int, int> commands[] = {
        {ID_VIEW_COMPASS, 2}, {ID_VIEW_TRACK, 3}, {ID_VIEW_GPSSTATUS, 4}, {ID_VIEW_GPSDATA, 1}};
    for (const auto& [nId, nView] : commands) {
        m_frame.m_wndView.m_bErase = false;
        Action(nId)->trigger();
        EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType(nView));
        EXPECT_TRUE(m_frame.m_wndView.m_bErase);
    }
}

// View, "Zoom": the choice is checked and stored, the frame's client area
// and an open view window take the handheld's size times the factor; "Fit
// window" leaves the sizes to the user.
TEST_F(FrameTest, ZoomChoicesAreStoredAndSizeTheWindows)
{
    const struct {
        int nId;
        int32_t nSetting;
        QSize clientSize;   // empty: as it was
    } CASES[] = {
        {ID_VIEW_ZOOM_200, 200, QSize(480, 536)}, {ID_VIEW_ZOOM_150, 150, QSize(360, 402)},
        {ID_VIEW_ZOOM_FIT, 0, QSize()},           {ID_VIEW_ZOOM_300, 300, QSize(720, 804)},
        {ID_VIEW_ZOOM_100, 100, QSize(240, 268)},
    };
    m_frame.show();
    CViewWnd* pSky = ShowViewWindow(&m_frame, m_frame.m_wndView, EViewType::Sky);
    ProcessEvents();
    for (const auto& c : CASES) {
        const QSize before = m_frame.m_wndView.size();
        const QSize skyBefore = pSky->size();
        Action(c.nId)->trigger();
        ProcessEvents();
        EXPECT_EQ(theApp.m_settings.m_nZoom, c.nSetting);
        EXPECT_EQ(LoadTrackerSettings().m_nZoom, c.nSetting) << "stored at once";
        OpenMenus();
        for (const CZoomRow& row : ZoomTable())
            EXPECT_EQ(Action(row.nCommandId)->isChecked(), row.nCommandId == c.nId) << c.nId;
        EXPECT_EQ(m_frame.m_wndView.size(), c.clientSize.isEmpty() ? before : c.clientSize) << c.nId;
        EXPECT_EQ(pSky->size(), c.clientSize.isEmpty() ? skyBefore : c.clientSize) << c.nId;
    }
    pSky->close();
}

TEST_F(FrameTest, ViewMapWithoutMapAsksForOne)
{
    CMessageCapture capture;
    m_frame.m_wndView.m_eViewType = EViewType::Compass;
    EXPECT_TRUE(m_frame.OnCommand(ID_VIEW_MAP));
    EXPECT_EQ(capture.m_messages, QStringList{"Eerst map inlezen! Tools, Load map"});
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Compass);
}

TEST(FrameTimerTest, TicksEverySecond)
{
    ResetApp();
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    QElapsedTimer clock;
    clock.start();
    while (theApp.m_tracker.m_nSecsSinceLog == 0 && clock.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(theApp.m_tracker.m_nSecsSinceLog, 1);
    EXPECT_GE(clock.elapsed(), 900);
}

TEST_F(FrameTest, LoadMapTakesTheMapUnderThePositionWithoutAsking)
{
    QImage image(120, 90, QImage::Format_RGB888);
    image.fill(Qt::darkGreen);
    const QString strPath = HostPath(QStringLiteral("\\Storage card\\GPS\\X5G0M_5G20MY52G0M_52G10M.bmp"));
    ASSERT_TRUE(image.save(strPath, "BMP"));
    BuildMapCatalogue(theApp.m_mapList);
    ASSERT_EQ(theApp.m_mapList.size(), 1u);
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_fLatitude = 52.09f;
    tracker.m_fLongitude = 5.12f;
    tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
    m_frame.show();
    ProcessEvents();

    CMessageCapture capture;
    CModalDriver driver;
    EXPECT_TRUE(m_frame.OnCommand(ID_LOAD_MAP));
    EXPECT_EQ(driver.m_nDialogs, 0);
    CMapBitmap* pMap = theApp.m_mapList.front().get();
    EXPECT_EQ(m_frame.m_wndView.m_pMap, pMap);
    EXPECT_NE(pMap->m_hDib, nullptr);
    EXPECT_EQ(pMap->m_zoom, 1.0);
    EXPECT_EQ(pMap->m_viewWidth, 240u);
    EXPECT_EQ(pMap->m_viewHeight, 254u);
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
    EXPECT_TRUE(capture.m_messages.isEmpty());

    // View Map now finds a map; a tap on the map leaves it for GPS data.
    m_frame.m_wndView.m_eViewType = EViewType::Compass;
    EXPECT_TRUE(m_frame.OnCommand(ID_VIEW_MAP));
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
    m_frame.m_wndView.OnLButtonDown(100, 120);
    m_frame.m_wndView.OnLButtonUp(100, 120);
    ProcessEvents();
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::GpsData);
    QFile::remove(strPath);
}

// In the map view every tick with a fix centres the map on the position.
TEST_F(FrameTest, MapViewFollowsTheFix)
{
    QImage image(400, 300, QImage::Format_RGB888);
    image.fill(Qt::darkGreen);
    const QString strPath = HostPath(QStringLiteral("\\Storage card\\GPS\\X5G0M_5G20MY52G0M_52G10M.bmp"));
    ASSERT_TRUE(image.save(strPath, "BMP"));
    BuildMapCatalogue(theApp.m_mapList);
    ASSERT_EQ(theApp.m_mapList.size(), 1u);
    CTestReceiver receiver;
    ASSERT_TRUE(theApp.m_tracker.OpenPort(receiver.m_pty.m_strDevice, 9600));
    m_frame.show();
    ProcessEvents();
    receiver.SendFix();
    m_frame.OnTimer(TIMER_ID);
    ASSERT_TRUE(m_frame.OnCommand(ID_LOAD_MAP));
    CMapBitmap* pMap = m_frame.m_wndView.m_pMap;
    ASSERT_NE(pMap, nullptr);
    EXPECT_EQ(pMap->m_panX, 0);
    ProcessEvents();

    receiver.SendFix();
    m_frame.OnTimer(TIMER_ID);
    const CGpsTracker& tracker = theApp.m_tracker;
    const QPoint pt = pMap->ProjectToScreen(tracker.m_fLongitude, tracker.m_fLatitude);
    EXPECT_NEAR(pt.x(), 240 / 2, 1);
    EXPECT_NEAR(pt.y(), (268 - 14) / 2, 1);
    EXPECT_FALSE(m_frame.m_wndView.m_bErase);
    QFile::remove(strPath);
}

TEST_F(FrameTest, SetPlacemarkStoresTheConfirmedNameAndCancelStoresNone)
{
    CGpsTracker& tracker = theApp.m_tracker;
    ASSERT_TRUE(theApp.m_recorder.StartLog());
    tracker.m_nYear = 2026;
    tracker.m_nMonth = 12;
    tracker.m_nDay = 7;
    tracker.m_nHour = 9;
    tracker.m_nMinute = 5;
    tracker.m_nSecond = 7;
    tracker.m_fLatitude = 52.5f;
    tracker.m_fLongitude = -5.25f;

    CModalDriver driver;
    driver.Then([](QDialog* pDialog) {
        auto* pPlacemark = qobject_cast<CPlacemarkDlg*>(pDialog);
        ASSERT_NE(pPlacemark, nullptr);
        EXPECT_EQ(pPlacemark->m_editName.text(), "Wayfen Log 2026-12-07  9:05:07");
        EXPECT_EQ(pPlacemark->m_editLatitude.text(), "52.500000");
        EXPECT_EQ(pPlacemark->m_editLongitude.text(), "-5.250000");
        EXPECT_FALSE(pPlacemark->m_editLatitude.isEnabled());
        EXPECT_FALSE(pPlacemark->m_editLongitude.isEnabled());
        pPlacemark->m_editName.setText("Harbour");
        pPlacemark->accept();
    });
    driver.Then(PressCancel);
    EXPECT_TRUE(m_frame.OnCommand(ID_SET_PLACEMARK));
    ASSERT_EQ(theApp.m_trackPoints.size(), 1u);
    EXPECT_EQ(theApp.m_trackPoints.back().m_strName, "Harbour");
    EXPECT_TRUE(m_frame.OnCommand(ID_SET_PLACEMARK));
    EXPECT_EQ(theApp.m_trackPoints.size(), 1u);
    EXPECT_EQ(driver.m_nUnexpected, 0);
}

// The user's locale may use a decimal comma; the program's own texts do not.
TEST_F(FrameTest, PlacemarkPositionKeepsTheDecimalPointUnderACommaLocale)
{
    const std::string strPrevious = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_fLatitude = 52.5f;
    tracker.m_fLongitude = -5.25f;
    CModalDriver driver;
    driver.Then([](QDialog* pDialog) {
        auto* pPlacemark = qobject_cast<CPlacemarkDlg*>(pDialog);
        ASSERT_NE(pPlacemark, nullptr);
        EXPECT_EQ(pPlacemark->m_editLatitude.text(), "52.500000");
        EXPECT_EQ(pPlacemark->m_editLongitude.text(), "-5.250000");
        pPlacemark->reject();
    });
    EXPECT_TRUE(m_frame.OnCommand(ID_SET_PLACEMARK));
    std::setlocale(LC_ALL, strPrevious.c_str());
    EXPECT_EQ(driver.m_nUnexpected, 0);
}

// The file dialogs' choice decides the format; File Open appends and shows
// the track.
TEST_F(FrameTest, FileSaveAndOpenFollowTheChosenName)
{
    theApp.m_trackPoints.resize(2);
    theApp.m_trackPoints[0].m_fLatitude = 52.1f;
    theApp.m_trackPoints[1].m_fLatitude = 52.2f;
    QTemporaryDir dir;
    auto choose = [](const QString& strPath) {
        return [strPath](QDialog* pDialog) {
            auto* pFiles = qobject_cast<QFileDialog*>(pDialog);
            ASSERT_NE(pFiles, nullptr);
            pFiles->selectFile(strPath);
            pDialog->accept();
        };
    };
    CMessageCapture capture;
    CModalDriver driver;
    driver.Then(choose(dir.filePath("a.gpx")));
    driver.Then(choose(dir.filePath("a.kml")));
    driver.Then(choose(dir.filePath("plain")));
    driver.Then(choose(dir.filePath("plain.gpd")));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(m_frame.OnCommand(ID_FILE_SAVE));
    EXPECT_TRUE(ReadAll(dir.filePath("a.gpx")).contains("<gpx"));
    EXPECT_TRUE(ReadAll(dir.filePath("a.kml")).contains("<kml"));
    EXPECT_EQ(ReadAll(dir.filePath("plain.gpd")).size(), 10 + 2 * 28);

    m_frame.m_wndView.m_eViewType = EViewType::GpsData;
    EXPECT_TRUE(m_frame.OnCommand(ID_FILE_OPEN));
    EXPECT_EQ(theApp.m_trackPoints.size(), 4u);
    EXPECT_FLOAT_EQ(theApp.m_trackPoints[3].m_fLatitude, 52.2f);
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Track);
    EXPECT_EQ(driver.m_nUnexpected, 0);
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join('|').toStdString();
}

// A name's suffix decides the format in any case, and what File Save
// writes File Open reads again.
TEST_F(FrameTest, TrackSavedUnderAnUpperCaseSuffixOpensAgain)
{
    theApp.m_trackPoints.resize(2);
    QTemporaryDir dir;
    const QString strPath = dir.filePath("Trip.GPX");
    CMessageCapture capture;
    CModalDriver driver;
    for (int i = 0; i < 2; ++i) {
        driver.Then([strPath](QDialog* pDialog) {
            qobject_cast<QFileDialog*>(pDialog)->selectFile(strPath);
            pDialog->accept();
        });
    }
    EXPECT_TRUE(m_frame.OnCommand(ID_FILE_SAVE));
    EXPECT_TRUE(ReadAll(strPath).contains("<gpx"));
    EXPECT_TRUE(m_frame.OnCommand(ID_FILE_OPEN));
    EXPECT_EQ(theApp.m_trackPoints.size(), 4u);
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join('|').toStdString();
    EXPECT_EQ(driver.m_nUnexpected, 0);
}

TEST(FileDialogTest, FiltersAsListed)
{
    EXPECT_EQ(OpenTrackFilters(), (QStringList{"GPS trackdata (*.gpd)", "KML files (*.kml)", "GPX files (*.gpx)",
                                               "All supported (*.gpd *.kml *.gpx)"}));
    EXPECT_EQ(SaveTrackFilters(),
              (QStringList{"GPS trackdata (*.gpd)", "Google track (*.kml)", "GPS exchange (*.gpx)"}));
    EXPECT_EQ(NameFilters(FILTER_MAP), QStringList{"Bitmap (*.bmp)"});
    EXPECT_EQ(NameFilters("Any|*.*||"), QStringList{"Any (*.*)"});
}

TEST_F(FrameTest, TickPollsOnceAndClearsItsGuard)
{
    CGpsTracker& tracker = theApp.m_tracker;
    m_frame.OnTimer(TIMER_ID);
    EXPECT_EQ(tracker.m_nSecsSinceLog, 1);
    EXPECT_FALSE(g_bTimerBusy);

    // Another timer's id, or a tick already running: nothing at all.
    m_frame.OnTimer(TIMER_ID + 1);
    g_bTimerBusy = true;
    m_frame.OnTimer(TIMER_ID);
    g_bTimerBusy = false;
    EXPECT_EQ(tracker.m_nSecsSinceLog, 1);
}

TEST_F(FrameTest, WithoutFixOnlyTheGpsDataViewRepaints)
{
    m_frame.show();
    ProcessEvents();
    CPaintCounter paints(&m_frame.m_wndView);
    const int expected[] = {0, 1, 0, 0, 0, 0};
    for (int nView = 1; nView <= 5; ++nView) {
        m_frame.m_wndView.m_eViewType = EViewType(nView);
        paints.m_nPaints = 0;
        m_frame.OnTimer(TIMER_ID);
        EXPECT_FALSE(m_frame.m_wndView.m_bErase) << "view " << nView;
        ProcessEvents();
        EXPECT_EQ(paints.m_nPaints, expected[nView]) << "view " << nView;
    }
}

TEST_F(FrameTest, WithFixEveryViewRepaintsAndOnlyTrackErases)
{
    CTestReceiver receiver;
    CMessageCapture capture;
    ASSERT_TRUE(theApp.m_tracker.OpenPort(receiver.m_pty.m_strDevice, 9600));
    m_frame.show();
    ProcessEvents();
    CPaintCounter paints(&m_frame.m_wndView);
    for (int nView : {1, 2, 3, 4}) {
        m_frame.m_wndView.m_eViewType = EViewType(nView);
        paints.m_nPaints = 0;
        receiver.SendFix();
        m_frame.OnTimer(TIMER_ID);
        EXPECT_EQ(theApp.m_tracker.m_nUpdateFlags & (UPD_LATITUDE | UPD_LONGITUDE), UPD_LATITUDE | UPD_LONGITUDE);
        EXPECT_EQ(m_frame.m_wndView.m_bErase, nView == 3) << "view " << nView;
        ProcessEvents();
        EXPECT_EQ(paints.m_nPaints, 1) << "view " << nView;
    }
    // The fix was recorded into a log of its own.
    EXPECT_FALSE(theApp.m_trackPoints.empty());
    EXPECT_NE(theApp.m_recorder.m_log.m_hLogFile, nullptr);
}

// A message box shown inside a tick runs a nested loop; a tick that arrives
// meanwhile must not poll again.
TEST_F(FrameTest, TickInsideAMessageBoxOfATickDoesNothing)
{
    CTestReceiver receiver;
    ASSERT_TRUE(theApp.m_tracker.OpenPort(receiver.m_pty.m_strDevice, 9600));
    // No log can be created: the tick that stores a point shows a message.
    const QString strFolder = HostPath(QStringLiteral("\\Storage card\\GPS"));
    ASSERT_TRUE(QDir(strFolder).removeRecursively());

    QStringList messages;
    int nInner = -1;
    MessageHook previous = SetMessageHook([&](const QString& strText) {
        messages << strText;
        const int nBefore = theApp.m_tracker.m_nSecsSinceLog;
        receiver.SendFix();
        m_frame.OnTimer(TIMER_ID);
        nInner = theApp.m_tracker.m_nSecsSinceLog - nBefore;
    });
    receiver.SendFix();
    m_frame.OnTimer(TIMER_ID);
    SetMessageHook(std::move(previous));
    QDir().mkpath(strFolder);

    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(nInner, 0);
    EXPECT_FALSE(g_bTimerBusy);
}

// An error nothing below handles ends the tick: it is reported and the next
// tick runs normally.
TEST_F(FrameTest, FailedTickIsReportedAndLeavesTheGuardClear)
{
    CTestReceiver receiver;
    ASSERT_TRUE(theApp.m_tracker.OpenPort(receiver.m_pty.m_strDevice, 9600));
    const QString strFolder = HostPath(QStringLiteral("\\Storage card\\GPS"));
    ASSERT_TRUE(QDir(strFolder).removeRecursively());

    QStringList messages;
    MessageHook previous = SetMessageHook([&](const QString& strText) {
        messages << strText;
        if (messages.size() == 1)
            throw std::runtime_error("Disk full");
    });
    receiver.SendFix();
    m_frame.OnTimer(TIMER_ID);
    SetMessageHook(std::move(previous));
    QDir().mkpath(strFolder);

    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], "Disk full");
    EXPECT_FALSE(g_bTimerBusy);
    const int nBefore = theApp.m_tracker.m_nSecsSinceLog;
    m_frame.OnTimer(TIMER_ID);
    EXPECT_EQ(theApp.m_tracker.m_nSecsSinceLog, nBefore + 1);
}


// View, Satellites and View, Profile: windows of their own beside the
// display window, whose view stays as it was.
TEST_F(FrameTest, WindowsOfTheirOwnRepaintEveryTick)
{
    m_frame.show();
    const struct
    {
        int nId;
        const char* szTitle;
    } WINDOWS[] = {{ID_VIEW_SATELLITES, "Satellites"}, {ID_VIEW_PROFILE, "Profile"}};
    for (const auto& window : WINDOWS) {
        SCOPED_TRACE(window.szTitle);
        const auto find = [this, &window] {
            QList<CViewWnd*> found;
            for (CViewWnd* pWnd : m_frame.findChildren<CViewWnd*>()) {
                if (pWnd->windowTitle() == QLatin1String(window.szTitle))
                    found << pWnd;
            }
            return found;
        };
        m_frame.m_wndView.m_eViewType = EViewType::Track;
        EXPECT_TRUE(m_frame.OnCommand(window.nId));
        ProcessEvents();
        ASSERT_EQ(find().size(), 1);
        CViewWnd* pWnd = find().front();
        EXPECT_TRUE(pWnd->isVisible());
        EXPECT_TRUE(pWnd->isWindow());
        EXPECT_FALSE(pWnd->isModal());
        EXPECT_EQ(pWnd->size(), QSize(240, 268));
        EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Track);

        // No fix at all and the track view showing: the window still repaints.
        CPaintCounter paints(pWnd);
        for (int i = 0; i < 3; ++i) {
            m_frame.OnTimer(TIMER_ID);
            ProcessEvents();
        }
        EXPECT_EQ(paints.m_nPaints, 3);

        // Asked again it comes to the front; closed, the ticks leave it alone.
        EXPECT_TRUE(m_frame.OnCommand(window.nId));
        EXPECT_EQ(find().size(), 1);
        pWnd->close();
        paints.m_nPaints = 0;
        m_frame.OnTimer(TIMER_ID);
        ProcessEvents();
        EXPECT_EQ(paints.m_nPaints, 0);
    }
}

TEST_F(FrameTest, TripStatisticsFitTheWindow)
{
    theApp.m_trackPoints = {};
    for (int i = 0; i < 3; ++i) {
        CTrackPoint& point = theApp.m_trackPoints.emplace_back();
        point.m_fLatitude = 52.0f + float(i) / 1024.0f;
        point.m_bySecond = uint8_t(10 * i);
        point.m_fSpeed = 100;
    }
    theApp.m_trackPoints.back().m_strName = QStringLiteral("End");
    QStringList shown;
    QSize size;
    CModalDriver driver;
    driver.Then([&](QDialog* pDialog) {
        auto* pStats = qobject_cast<CTripStatsDlg*>(pDialog);
        ASSERT_NE(pStats, nullptr);
        for (QLabel* pValue : pStats->m_values)
            shown << pValue->text();
        size = pDialog->frameGeometry().size();
        EXPECT_EQ(pDialog->windowTitle(), "Trip statistics");
        PressOk(pDialog);
    });
    EXPECT_TRUE(m_frame.OnCommand(ID_TRIP_STATS));
    EXPECT_EQ(driver.m_nDialogs, 1);
    // 2 steps of 108.589 m in 20 s on a meridian: 39.1 km/h moving.
    EXPECT_EQ(shown, (QStringList{"3", "1", "0.22 km", "0:00:20", "0.22 km", "39.1 km/h", "185.2 km/h",
                             "0 m", "0 m", "0 m", "0 m"}));
    EXPECT_LE(size.width(), 240);
    EXPECT_LE(size.height(), 268);

    // The widest figures the box can meet still fit.
    CTripStats wide;
    wide.m_nPoints = wide.m_nPlacemarks = 123456789;
    wide.m_dDistanceMeters = wide.m_dMovingMeters = 40075017.0 * 100;
    wide.m_dMovingSeconds = 9999999;
    wide.m_dAverageMovingKmh = wide.m_dMaxSpeedKmh = 99999.9;
    wide.m_climbs.Add(-9999);
    wide.m_climbs.Add(99999);
    wide.m_climbs.m_dDescentMeters = 9999999;
    CTripStatsDlg dlg(wide, &m_frame);
    EXPECT_LE(dlg.sizeHint().width(), 240);
    EXPECT_LE(dlg.sizeHint().height(), 268);
}

TEST_F(FrameTest, FileOpenReadsGpxAndKml)
{
    QTemporaryDir dir;
    const QString strGpx = dir.filePath("walk.gpx");
    const QString strBad = dir.filePath("bad.kml");
    QFile gpx(strGpx);
    ASSERT_TRUE(gpx.open(QIODevice::WriteOnly));
    gpx.write("<gpx version='1.1'><trk><trkseg><trkpt lat='52.5' lon='4.5'><time>2026-12-07T10:00:00Z</time>"
              "</trkpt><trkpt lat='52.6' lon='4.5'/></trkseg></trk></gpx>");
    gpx.close();
    QFile bad(strBad);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<kml><Document><Placemark><Point><coordinates>x</coordinates></Point></Placemark></Document></kml>");
    bad.close();
    CModalDriver driver;
    for (const QString& strPath : {strGpx, strBad}) {
        driver.Then([strPath](QDialog* pDialog) {
            auto* pFiles = qobject_cast<QFileDialog*>(pDialog);
            ASSERT_NE(pFiles, nullptr);
            pFiles->selectFile(strPath);
            pDialog->accept();
        });
    }
    CMessageCapture capture;
    m_frame.m_wndView.m_eViewType = EViewType::GpsData;
    EXPECT_TRUE(m_frame.OnCommand(ID_FILE_OPEN));
    ASSERT_EQ(theApp.m_trackPoints.size(), 2u);
    EXPECT_EQ(theApp.m_trackPoints[0].m_byHour, 11);   // the "Utc" setting of 1
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Track);
    m_frame.m_wndView.m_eViewType = EViewType::GpsData;
    EXPECT_TRUE(m_frame.OnCommand(ID_FILE_OPEN));
    EXPECT_EQ(capture.m_messages, QStringList{"Incorrect file"});
    EXPECT_EQ(theApp.m_trackPoints.size(), 2u);
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::GpsData);
    EXPECT_EQ(driver.m_nUnexpected, 0);
}

}
