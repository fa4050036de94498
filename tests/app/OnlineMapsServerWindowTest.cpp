// Online maps in the window with the real maker and a tile server of the
// test's own on 127.0.0.1: Load map shows the server's sheet with its
// attribution, driving on brings the next one without a tick waiting, and
// a server that has gone shows "offline" in the corner, never a box.
#include "map/MapCatalogue.h"
#include "tests/app/OnlineWindowTestBase.h"
#include "tests/common/TileServer.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iostream>

namespace {

constexpr double SERVER_START_LAT = 48.86;
constexpr double SERVER_START_LON = 2.35;
// Steps east per tick, in widths of the current sheet: it is crossed in a
// few seconds of ticks, slowly enough for the next one to come meanwhile.
constexpr int SERVER_STEPS_PER_SHEET = 120;
constexpr int SERVER_TICK_PAUSE_MS = 20;
constexpr qint64 SERVER_TICK_LIMIT_MS = 50;
constexpr qint64 SERVER_SHOWN_LIMIT_MS = 10000;
// A failed request is over in this long; the server is stopped, so it is
// refused at once anyway.
constexpr char SERVER_TIMEOUT_MS[] = "2000";
const QString SERVER_SOURCE = QStringLiteral("Local tiles");
const QString SERVER_ATTRIBUTION = QStringLiteral("Tiles from the test server");

// A frame with online maps on in the settings file, the user's source row
// pointing at the test's server, and an empty cache of its own.
class OnlineMapsFromServer : public COnlineWindowTestBase
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_previousCache = qgetenv("XDG_CACHE_HOME");
        setenv("XDG_CACHE_HOME", qPrintable(m_dir.filePath(QStringLiteral("cache"))), 1);
        setenv("VELTRIP_ONLINE_TIMEOUT_MS", SERVER_TIMEOUT_MS, 1);
        m_pServer = std::make_unique<CTileServer>(m_dir.filePath(QStringLiteral("requests.jsonl")));
        ASSERT_GT(m_pServer->m_nPort, 0) << "the tile server did not start";
        CFrameTestBase::SetUp();
        COnlineSettings settings;
        settings.m_bOn = true;
        settings.m_strSource = SERVER_SOURCE;
        settings.m_extraSources.push_back({SERVER_SOURCE, m_pServer->Url(), SERVER_ATTRIBUTION, 0, 19, false});
        SaveOnlineSettings(settings);
        theApp.m_online = LoadOnlineSettings();
        ASSERT_TRUE(theApp.m_online.m_bOn);
        ASSERT_EQ(theApp.m_online.Source().m_strUrl, m_pServer->Url());
        StartReceiving();
    }
    void TearDown() override
    {
        CFrameTestBase::TearDown();
        SaveOnlineSettings(COnlineSettings {});
        setenv("XDG_CACHE_HOME", m_previousCache.constData(), 1);
        unsetenv("VELTRIP_ONLINE_TIMEOUT_MS");
    }

    // The current map is an online sheet, loaded, of the server's pixels.
    void ExpectServerSheetShown()
    {
        const CMapBitmap* pMap = m_frame.m_wndView.m_pMap;
        ASSERT_NE(pMap, nullptr);
        EXPECT_TRUE(IsOnlineSheet(*pMap));
        EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
        ASSERT_NE(pMap->m_hDib, nullptr);
        EXPECT_EQ(pMap->m_hDib->size(), QSize(ONLINE_DEFAULT_SHEET, ONLINE_DEFAULT_SHEET));
        const CTileComparison comparison = CompareWithServerTiles(
            *pMap->m_hDib, pMap->m_lonMin, pMap->m_lonMax, pMap->m_latMin, pMap->m_latMax, theApp.m_online.Zoom());
        EXPECT_EQ(comparison.m_nWrong, 0) << comparison.m_strFirstWrong.toStdString();
        EXPECT_GT(comparison.m_nCompared, 40);
        EXPECT_TRUE(MapViewTexts().contains(SERVER_ATTRIBUTION)) << MapViewTexts().join(u'|').toStdString();
    }

    // Load map where nothing is cached; returns the milliseconds until the
    // view has painted the sheet.
    qint64 LoadFirstSheet()
    {
        QElapsedTimer clock;
        clock.start();
        LoadMapAt(SERVER_START_LAT, SERVER_START_LON);
        MapViewTexts();
        return clock.elapsed();
    }

    void ExpectNoMessages()
    {
        EXPECT_EQ(m_driver.m_nUnexpected, 0);
        EXPECT_TRUE(m_driver.m_boxTexts.isEmpty()) << m_driver.m_boxTexts.join(u'|').toStdString();
        EXPECT_TRUE(m_capture.m_messages.isEmpty()) << m_capture.m_messages.join(u'|').toStdString();
    }

    QTemporaryDir m_dir;
    QByteArray m_previousCache;
    std::unique_ptr<CTileServer> m_pServer;
};

TEST_F(OnlineMapsFromServer, LoadMapShowsTheSheetAndDrivingOnBringsTheNext)
{
    const qint64 nShownMs = LoadFirstSheet();
    const size_t nTiles = m_pServer->Requests().size();
    std::cout << "Load map to the " << ONLINE_DEFAULT_SHEET << " x " << ONLINE_DEFAULT_SHEET << " sheet shown, "
              << nTiles << " tiles from 127.0.0.1: " << nShownMs << " ms" << std::endl;
    RecordProperty("load_map_to_sheet_shown_ms", int(nShownMs));
    EXPECT_LT(nShownMs, SERVER_SHOWN_LIMIT_MS);
    EXPECT_GT(nTiles, 0u);   // nothing was cached
    EXPECT_EQ(m_driver.m_nDialogs, 1);   // the progress, no file dialog
    ExpectServerSheetShown();
    ExpectNoMessages();
    const CMapBitmap* pFirst = m_frame.m_wndView.m_pMap;
    ASSERT_NE(pFirst, nullptr);
    ASSERT_EQ(theApp.m_mapList.size(), 1u);

    const double dStep = (pFirst->m_lonMax - pFirst->m_lonMin) / SERVER_STEPS_PER_SHEET;
    double dLon = SERVER_START_LON;
    qint64 nSlowest = 0;
    int nTicks = 0;
    QElapsedTimer clock;
    clock.start();
    while (m_frame.m_wndView.m_pMap == pFirst && clock.elapsed() < 3 * SERVER_SHOWN_LIMIT_MS) {
        nSlowest = std::max(nSlowest, TickAt(SERVER_START_LAT, dLon += dStep));
        ++nTicks;
        QApplication::processEvents(QEventLoop::AllEvents, SERVER_TICK_PAUSE_MS);
        QThread::msleep(SERVER_TICK_PAUSE_MS);
    }
    std::cout << "Driving east: " << nTicks << " ticks to the next sheet, the slowest " << nSlowest << " ms"
              << std::endl;
    EXPECT_LT(nSlowest, SERVER_TICK_LIMIT_MS);
    ASSERT_NE(m_frame.m_wndView.m_pMap, pFirst);
    EXPECT_EQ(theApp.m_mapList.size(), 2u);
    EXPECT_GT(m_frame.m_wndView.m_pMap->m_lonMax, pFirst->m_lonMax);
    ExpectServerSheetShown();
    ExpectNoMessages();
}

TEST_F(OnlineMapsFromServer, StoppedServerIsOfflineInTheCornerAndNoBox)
{
    LoadFirstSheet();
    const CMapBitmap* pFirst = m_frame.m_wndView.m_pMap;
    ASSERT_NE(pFirst, nullptr);
    EXPECT_FALSE(MapViewTexts().contains(QStringLiteral("offline")));
    m_pServer->Stop();
    // Near the east edge the tick asks for the next sheet, which fails.
    const double dNearEast = pFirst->m_lonMax - (pFirst->m_lonMax - pFirst->m_lonMin) / 10;
    QElapsedTimer clock;
    clock.start();
    TickAt(SERVER_START_LAT, dNearEast);
    while (m_frame.m_online.Busy()) {
        ASSERT_LT(clock.elapsed(), SERVER_SHOWN_LIMIT_MS);
        QApplication::processEvents(QEventLoop::AllEvents, SERVER_TICK_PAUSE_MS);
    }
    TickAt(SERVER_START_LAT, dNearEast);
    EXPECT_EQ(m_frame.m_online.State(theApp.m_online, m_frame.m_wndView.m_pMap), QStringLiteral("offline"));
    EXPECT_TRUE(MapViewTexts().contains(QStringLiteral("offline")));
    // Load map where nothing is cached: no box, the corner says why.
    LoadMapAt(SERVER_START_LAT + 1.0, SERVER_START_LON + 1.0);
    EXPECT_EQ(m_frame.m_wndView.m_pMap, pFirst);
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
    EXPECT_TRUE(MapViewTexts().contains(QStringLiteral("offline")));
    EXPECT_EQ(theApp.m_mapList.size(), 1u);
    ExpectNoMessages();
}

}
