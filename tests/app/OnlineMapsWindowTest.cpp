// Online maps in the window: off, nothing is loaded and Load map asks for a
// file; on, Load map makes the sheet around the position, the tick asks for
// the next one near the edge without waiting for it, and a source that
// cannot be reached shows in the map view's corner, never in a box.
#include "app/COnlineMapsDlg.h"
#include "app/CTrackerApp.h"
#include "app/CommandLine.h"
#include "app/Resource.h"
#include "map/MapCatalogue.h"
#include "platform/TextFormat.h"
#include "tests/app/OnlineWindowTestBase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QProgressDialog>
#include <QThread>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A sheet three minutes of arc square, the position a little south-west of
// its middle, written whole as the module writes its sheets.
QString WriteOnlineSheet(double dLatitude, double dLongitude, int nSheet)
{
    const int nLonMin = int(std::floor(dLongitude * 60)) - 1;
    const int nLatMin = int(std::floor(dLatitude * 60)) - 1;
    constexpr int SHEET_MINUTES = 3;
    const auto edge = [](int nMinutes) { return FormatText("%dG%dM", nMinutes / 60, nMinutes % 60); };
    const QString strName = QStringLiteral("X%1_%2Y%3_%4.bmp")
                                .arg(edge(nLonMin), edge(nLonMin + SHEET_MINUTES), edge(nLatMin),
                                     edge(nLatMin + SHEET_MINUTES));
    QDir().mkpath(OnlineSheetFolder());
    const QString strPath = QDir(OnlineSheetFolder()).filePath(strName);
    QImage image(180, 300, QImage::Format_RGB888);
    image.fill(QColor(40 * nSheet % 256, 160, 90));
    const QString strTemporary = strPath + QStringLiteral(".part");
    if (!image.save(strTemporary, "BMP") || !QFile::rename(strTemporary, strPath))
        return QString();
    return strPath;
}

// What the fake maker does, set by each test.
struct CFakeBehaviour
{
    std::atomic<int> nDelayMs {0};
    std::atomic<bool> bOffline {false};
    std::atomic<int> nRequests {0};
    std::atomic<int> nMade {0};
};

CFakeBehaviour g_fake;

class CFakeOnlineMaps : public COnlineMaps
{
public:
    COutcome MakeSheet(const COnlineSheetRequest& request, const MapImportProgress& fnProgress,
                       QString& strPath) override
    {
        ++g_fake.nRequests;
        constexpr int FAKE_STEP_MS = 10;
        for (int nWaited = 0; nWaited < g_fake.nDelayMs; nWaited += FAKE_STEP_MS) {
            if (!fnProgress(double(nWaited) / g_fake.nDelayMs))
                return COutcome::Fail(EOutcome::Cancelled, QString());
            QThread::msleep(FAKE_STEP_MS);
        }
        if (g_fake.bOffline)
            return COutcome::Fail(QStringLiteral("No network for OpenStreetMap"));
        strPath = WriteOnlineSheet(request.m_dLatitude, request.m_dLongitude, ++g_fake.nMade);
        return strPath.isEmpty() ? COutcome::Fail(QStringLiteral("cannot write the sheet")) : COutcome::Ok();
    }
    QString SourceState(const QString&) const override
    {
        return g_fake.bOffline ? QStringLiteral("offline") : QString();
    }
};

// A frame with online maps on, the fake maker in the module's place, an
// empty sheet cache, and a receiver whose position the test sets.
class OnlineMapsWindow : public COnlineWindowTestBase
{
protected:
    void SetUp() override
    {
        QDir(OnlineSheetFolder()).removeRecursively();
        g_fake.nDelayMs = 0;
        g_fake.bOffline = false;
        g_fake.nRequests = 0;
        g_fake.nMade = 0;
        m_fnPrevious = SetOnlineMapsFactory([](COutcome& outcome) {
            outcome = COutcome::Ok();
            return std::make_unique<CFakeOnlineMaps>();
        });
        CFrameTestBase::SetUp();
        theApp.m_online.m_bOn = true;
        StartReceiving();
    }
    void TearDown() override
    {
        CFrameTestBase::TearDown();
        SetOnlineMapsFactory(std::move(m_fnPrevious));
    }

    OnlineMapsFactory m_fnPrevious;
};

constexpr double START_LAT = 52.09;
constexpr double START_LON = 5.12;      // 307.2' east: the first sheet spans 306' to 309'
constexpr double NEAR_EAST_LON = 5.145;  // 308.7': within a quarter of the first sheet's east edge
constexpr double BEYOND_LON = 5.152;     // 309.1': off the first sheet, well inside the next

TEST_F(OnlineMapsWindow, LoadMapShowsTheSheetAroundThePositionWithoutAFileDialog)
{
    g_fake.nDelayMs = 300;
    QElapsedTimer clock;
    clock.start();
    LoadMapAt(START_LAT, START_LON);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(m_driver.m_nDialogs, 1);   // the progress, no file dialog
    EXPECT_EQ(m_driver.m_nUnexpected, 0);
    EXPECT_TRUE(m_capture.m_messages.isEmpty()) << m_capture.m_messages.join(u'|').toStdString();
    CMapBitmap* pMap = m_frame.m_wndView.m_pMap;
    ASSERT_NE(pMap, nullptr);
    EXPECT_TRUE(IsOnlineSheet(*pMap));
    EXPECT_NE(pMap->m_hDib, nullptr);
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
    EXPECT_EQ(theApp.m_mapList.size(), 1u);
    EXPECT_EQ(g_fake.nRequests, 1);
}

TEST_F(OnlineMapsWindow, DrivingOnBringsTheNextSheetWithoutATickWaiting)
{
    LoadMapAt(START_LAT, START_LON);
    CMapBitmap* pFirst = m_frame.m_wndView.m_pMap;
    ASSERT_NE(pFirst, nullptr);
    g_fake.nDelayMs = 2000;
    qint64 nSlowest = 0;
    QElapsedTimer clock;
    clock.start();
    while (theApp.m_mapList.size() < 2 && clock.elapsed() < 10000) {
        nSlowest = std::max(nSlowest, TickAt(START_LAT, NEAR_EAST_LON));
        QApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(50);
    }
    ASSERT_EQ(theApp.m_mapList.size(), 2u);
    EXPECT_LT(nSlowest, 50);
    // Still on the first sheet, which holds the position as well.
    EXPECT_EQ(m_frame.m_wndView.m_pMap, pFirst);
    nSlowest = std::max(nSlowest, TickAt(START_LAT, BEYOND_LON));
    EXPECT_LT(nSlowest, 50);
    CMapBitmap* pNext = m_frame.m_wndView.m_pMap;
    EXPECT_NE(pNext, pFirst);
    EXPECT_EQ(pNext, theApp.m_mapList.back().get());
    EXPECT_NE(pNext->m_hDib, nullptr);
    // One sheet asked for ahead, and none while the next one holds the position well.
    TickAt(START_LAT, BEYOND_LON);
    EXPECT_EQ(g_fake.nRequests, 2);
    EXPECT_TRUE(m_capture.m_messages.isEmpty()) << m_capture.m_messages.join(u'|').toStdString();
}

TEST_F(OnlineMapsWindow, OfflineShowsInTheCornerAndNoMessageBox)
{
    LoadMapAt(START_LAT, START_LON);
    ASSERT_NE(m_frame.m_wndView.m_pMap, nullptr);
    EXPECT_FALSE(MapViewTexts().contains(QStringLiteral("offline")));
    g_fake.bOffline = true;
    QElapsedTimer clock;
    clock.start();
    while (m_frame.m_online.Busy() || g_fake.nRequests < 2) {
        ASSERT_LT(clock.elapsed(), 5000);
        TickAt(START_LAT, NEAR_EAST_LON);
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    TickAt(START_LAT, NEAR_EAST_LON);
    EXPECT_TRUE(MapViewTexts().contains(QStringLiteral("offline")));
    // Load map where nothing is cached: still no box, the corner says why.
    LoadMapAt(53.0, 6.0);
    EXPECT_EQ(m_driver.m_nUnexpected, 0);
    EXPECT_TRUE(m_driver.m_boxTexts.isEmpty());
    EXPECT_TRUE(m_capture.m_messages.isEmpty()) << m_capture.m_messages.join(u'|').toStdString();
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
    EXPECT_TRUE(MapViewTexts().contains(QStringLiteral("offline")));
}

// Sheets made earlier are in the catalogue from the start, with online maps
// off too, and Load map takes one as any catalogued map.
TEST(OnlineMapsStart, CachedSheetsJoinTheCatalogue)
{
    ResetApp();
    StartupOptions() = CStartupOptions();
    QDir(OnlineSheetFolder()).removeRecursively();
    ASSERT_FALSE(WriteOnlineSheet(START_LAT, START_LON, 1).isEmpty());
    int nMakers = 0;
    OnlineMapsFactory fnPrevious = SetOnlineMapsFactory([&nMakers](COutcome& outcome) {
        ++nMakers;
        outcome = COutcome::Fail(QStringLiteral("not expected"));
        return std::unique_ptr<COnlineMaps>();
    });
    CTestReceiver receiver;
    StartupOptions().m_strPort = receiver.m_pty.m_strDevice;
    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_FALSE(theApp.m_online.m_bOn);
    ASSERT_EQ(theApp.m_mapList.size(), 1u);
    EXPECT_TRUE(IsOnlineSheet(*theApp.m_mapList.front()));

    auto* pFrame = qobject_cast<CMainFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(pFrame, nullptr);
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_fLatitude = float(START_LAT);
    tracker.m_fLongitude = float(START_LON);
    tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
    EXPECT_TRUE(pFrame->OnCommand(ID_LOAD_MAP));
    EXPECT_EQ(pFrame->m_wndView.m_pMap, theApp.m_mapList.front().get());
    EXPECT_NE(pFrame->m_wndView.m_pMap->m_hDib, nullptr);
    EXPECT_EQ(nMakers, 0);
    EXPECT_EQ(theApp.ExitInstance(), 0);
    SetOnlineMapsFactory(std::move(fnPrevious));
    StartupOptions() = CStartupOptions();
    ResetApp();
    QDir(OnlineSheetFolder()).removeRecursively();
}

// Off: Load map asks for a file as ever, and neither the maker nor the
// network library is loaded.
class OnlineMapsOff : public CFrameTestBase
{
};

TEST_F(OnlineMapsOff, LoadMapWithOnlineMapsOffAsksForAFileAndLoadsNoModule)
{
    int nMakers = 0;
    OnlineMapsFactory fnPrevious = SetOnlineMapsFactory([&nMakers](COutcome& outcome) {
        ++nMakers;
        outcome = COutcome::Fail(QStringLiteral("not expected"));
        return std::unique_ptr<COnlineMaps>();
    });
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_fLatitude = 52.09f;
    tracker.m_fLongitude = 5.12f;
    tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
    CModalDriver driver;
    driver.Then([](QDialog* pDialog) {
        EXPECT_NE(qobject_cast<QFileDialog*>(pDialog), nullptr);
        pDialog->reject();
    });
    EXPECT_TRUE(m_frame.OnCommand(ID_LOAD_MAP));
    EXPECT_EQ(driver.m_nDialogs, 1);
    EXPECT_EQ(nMakers, 0);
    SetOnlineMapsFactory(std::move(fnPrevious));
    const QByteArray maps = ReadAll(QStringLiteral("/proc/self/maps"));
    EXPECT_FALSE(maps.contains(ONLINE_MODULE));
    EXPECT_FALSE(maps.contains("libQt6Network"));
}

// The dialog's settings, through OK, the file and back.
struct COnlineDialogCase
{
    const char* szName;
    bool bOn;
    int nSourceRow;   // in the combo box: 0 the built-in source, 1 the user's
    int nZoom;
    int nCacheMegabytes;
    QString strSource;   // stored
    int nStoredZoom;     // within the source's range
};

const COnlineDialogCase ONLINE_DIALOG_CASES[] = {
    {"defaults", false, 0, 16, 500, QStringLiteral("OpenStreetMap"), 16},
    {"on, the user's source, its highest zoom", true, 1, 14, 2000, QStringLiteral("Local"), 14},
    {"a zoom past the source's range stops at its end", true, 1, 19, 10, QStringLiteral("Local"), 14},
    {"a zoom below the source's range", true, 1, 2, 64, QStringLiteral("Local"), 5},
    {"the built-in source's top zoom", true, 0, 19, 500, QStringLiteral("OpenStreetMap"), 19},
};

TEST(OnlineMapsDialog, SettingsRoundTrip)
{
    for (const COnlineDialogCase& test : ONLINE_DIALOG_CASES) {
        SCOPED_TRACE(test.szName);
        COnlineSettings settings;
        settings.m_extraSources.push_back(
            {QStringLiteral("Local"), QStringLiteral("http://127.0.0.1:8080/{z}/{x}/{y}.png"),
             QStringLiteral("Our own tiles"), 5, 14, true});
        COnlineMapsDlg dlg(settings);
        CModalDriver driver;
        driver.Then([&](QDialog*) {
            dlg.m_checkOn.setChecked(test.bOn);
            dlg.m_comboSource.setCurrentIndex(test.nSourceRow);
            dlg.m_spinZoom.setValue(test.nZoom);
            dlg.m_spinCache.setValue(test.nCacheMegabytes);
            dlg.accept();
        });
        ASSERT_EQ(dlg.DoModal(), IDOK);
        SaveOnlineSettings(dlg.m_settings);
        const COnlineSettings stored = LoadOnlineSettings();
        EXPECT_EQ(stored.m_bOn, test.bOn);
        EXPECT_EQ(stored.m_strSource, test.strSource);
        EXPECT_EQ(stored.m_nZoom, test.nStoredZoom);
        EXPECT_EQ(stored.m_nCacheMegabytes, test.nCacheMegabytes);
        ASSERT_EQ(stored.m_extraSources.size(), 1u);
        const CTileSource& source = stored.m_extraSources.front();
        EXPECT_EQ(source.m_strUrl, QStringLiteral("http://127.0.0.1:8080/{z}/{x}/{y}.png"));
        EXPECT_EQ(source.m_strAttribution, QStringLiteral("Our own tiles"));
        EXPECT_EQ(source.m_nMinZoom, 5);
        EXPECT_EQ(source.m_nMaxZoom, 14);
        EXPECT_TRUE(source.m_bAreaDownload);
    }
    SaveOnlineSettings(COnlineSettings{});
}

// Hand-edited settings: what cannot be used keeps its default or is left out.
struct CStoredOnlineCase
{
    const char* szName;
    const char* szIni;
    bool bOn;
    int nZoom;
    int nCacheMegabytes;
    size_t nSources;
};

const CStoredOnlineCase STORED_ONLINE_CASES[] = {
    {"nothing stored", "", false, 16, 500, 0},
    {"values", "[OnlineMaps]\nOn=1\nZoom=12\nCacheMB=42\n", true, 12, 42, 0},
    {"out of range", "[OnlineMaps]\nOn=7\nZoom=99\nCacheMB=0\n", false, 16, 500, 0},
    {"not numbers", "[OnlineMaps]\nOn=yes\nZoom=high\n", false, 16, 500, 0},
    {"a usable source",
     "[OnlineSources]\nsize=1\n1\\Name=Local\n1\\Url=http://127.0.0.1/{z}/{x}/{y}.png\n1\\MinZoom=0\n1\\MaxZoom=18\n",
     false, 16, 500, 1},
    {"a template without {y}",
     "[OnlineSources]\nsize=1\n1\\Name=Bad\n1\\Url=http://127.0.0.1/{z}/{x}.png\n1\\MinZoom=0\n1\\MaxZoom=18\n",
     false, 16, 500, 0},
    {"no name, or zooms the wrong way round",
     "[OnlineSources]\nsize=2\n1\\Url=http://a/{z}/{x}/{y}.png\n1\\MinZoom=0\n1\\MaxZoom=18\n"
     "2\\Name=Turned\n2\\Url=http://a/{z}/{x}/{y}.png\n2\\MinZoom=18\n2\\MaxZoom=3\n",
     false, 16, 500, 0},
};

TEST(OnlineMapsSettings, HandEditedValues)
{
    const QString strIni = OpenSettingsFile()->fileName();
    QDir().mkpath(QFileInfo(strIni).path());
    for (const CStoredOnlineCase& test : STORED_ONLINE_CASES) {
        SCOPED_TRACE(test.szName);
        QFile file(strIni);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(test.szIni);
        file.close();
        const COnlineSettings stored = LoadOnlineSettings();
        EXPECT_EQ(stored.m_bOn, test.bOn);
        EXPECT_EQ(stored.m_nZoom, test.nZoom);
        EXPECT_EQ(stored.m_nCacheMegabytes, test.nCacheMegabytes);
        EXPECT_EQ(stored.m_extraSources.size(), test.nSources);
    }
    QFile::remove(strIni);
}

}
