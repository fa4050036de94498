#include "map/OnlineMaps.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TileServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <thread>

namespace {

// The module itself, as the window uses it: one maker for several sheets.
class OnlineMaker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strRoot = m_dir.path() + QStringLiteral("/maker");
        ASSERT_TRUE(QDir().mkpath(m_strRoot));
        m_pServer = std::make_unique<CTileServer>(m_strRoot + QStringLiteral("/requests.jsonl"));
        ASSERT_GT(m_pServer->m_nPort, 0) << "the tile server did not start";
        COutcome loaded;
        m_pMaps = NewOnlineMaps(loaded);
        ASSERT_TRUE(m_pMaps) << loaded.Message().toStdString();
    }

    COnlineSheetRequest Request(double dLat, double dLon) const
    {
        COnlineSheetRequest request;
        request.m_source = {QStringLiteral("Test tiles"), m_pServer->Url(), QStringLiteral("\u00a9 testers"), 0, 19,
                            false};
        request.m_dLatitude = dLat;
        request.m_dLongitude = dLon;
        request.m_nZoom = 15;
        request.m_nSheetPixels = 256;
        request.m_strSheetDir = m_strRoot + QStringLiteral("/sheets");
        request.m_strCacheDir = m_strRoot + QStringLiteral("/tiles");
        return request;
    }

    COutcome Make(const COnlineSheetRequest& request, QString& strPath, const MapImportProgress& fnProgress = {})
    {
        return m_pMaps->MakeSheet(request, fnProgress, strPath);
    }

    // The tile files of the cache (records left out) and their bytes.
    QStringList CachedTiles(int64_t* pBytes = nullptr) const
    {
        QStringList tiles;
        int64_t nBytes = 0;
        QDirIterator it(m_strRoot + QStringLiteral("/tiles"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo file(it.next());
            nBytes += file.size();
            if (file.suffix() != QStringLiteral("meta"))
                tiles << file.filePath();
        }
        if (pBytes)
            *pBytes = nBytes;
        return tiles;
    }

    QTemporaryDir m_dir;
    QString m_strRoot;
    std::unique_ptr<CTileServer> m_pServer;
    std::unique_ptr<COnlineMaps> m_pMaps;
};

TEST_F(OnlineMaker, SourceStateFollowsTheAnswers)
{
    struct CStateCase
    {
        const char* szMode;   // nullptr: the server stopped
        bool bMade;
        const char* szState;
    };
    const CStateCase cases[] = {
        {"normal", true, ""},
        {"429", false, "paused 30 s"},
    };
    double dLat = 40.0;
    for (const CStateCase& c : cases) {
        SCOPED_TRACE(c.szMode);
        ASSERT_TRUE(m_pServer->SetMode(c.szMode));
        QString strPath;
        EXPECT_EQ(bool(Make(Request(dLat += 1, 5.0), strPath)), c.bMade);
        EXPECT_EQ(m_pMaps->SourceState(QStringLiteral("Test tiles")).toStdString(), c.szState);
    }
    // While paused, another place asks nothing and says why. The request
    // that was out beside the refused one may reach the server's log late.
    QThread::msleep(300);
    const size_t nBefore = m_pServer->Requests().size();
    QString strPath;
    const COutcome paused = Make(Request(dLat += 1, 5.0), strPath);
    EXPECT_TRUE(paused.Message().contains(QStringLiteral("HTTP 429"))) << paused.Message().toStdString();
    EXPECT_EQ(m_pServer->Requests().size(), nBefore);
}

TEST_F(OnlineMaker, NoServerIsOffline)
{
    m_pServer->Stop();
    QString strPath;
    EXPECT_FALSE(Make(Request(10.0, 10.0), strPath));
    EXPECT_EQ(m_pMaps->SourceState(QStringLiteral("Test tiles")), QStringLiteral("offline"));
    EXPECT_EQ(m_pMaps->SourceState(QStringLiteral("Another")), QString());
}

TEST_F(OnlineMaker, SizeLimitRemovesTheOldestTilesFirst)
{
    QString strFirst;
    ASSERT_TRUE(Make(Request(50.0, 5.0), strFirst));
    const QStringList first = CachedTiles();
    QString strSecond;
    COnlineSheetRequest second = Request(50.0, 6.0);
    int64_t nFirstBytes = 0;
    CachedTiles(&nFirstBytes);
    // Room for about one sheet's tiles: the first sheet's must go.
    second.m_nCacheBytes = nFirstBytes + nFirstBytes / 2;
    ASSERT_TRUE(Make(second, strSecond));
    int64_t nBytes = 0;
    const QStringList left = CachedTiles(&nBytes);
    EXPECT_LE(nBytes, second.m_nCacheBytes);
    int nFirstLeft = 0;
    for (const QString& strTile : first)
        nFirstLeft += left.contains(strTile);
    EXPECT_LT(nFirstLeft, first.size());
    EXPECT_GE(left.size() - nFirstLeft, first.size() - 1);
}

TEST_F(OnlineMaker, CancelBetweenTilesWritesNoSheet)
{
    ASSERT_TRUE(m_pServer->SetMode("slow"));
    QString strPath;
    int nAsked = 0;
    const COutcome outcome = Make(Request(20.0, 20.0), strPath, [&](double) { return ++nAsked < 1; });
    EXPECT_EQ(outcome.Kind(), EOutcome::Cancelled);
    EXPECT_EQ(nAsked, 1);
    EXPECT_FALSE(QFileInfo::exists(strPath));
}

TEST_F(OnlineMaker, DamagedTileIsFetchedAgain)
{
    QString strPath;
    ASSERT_TRUE(Make(Request(30.0, 30.0), strPath));
    EXPECT_EQ(SheetAttribution(strPath), QStringLiteral("\u00a9 testers"));
    const QStringList tiles = CachedTiles();
    ASSERT_FALSE(tiles.isEmpty());
    QFile damaged(tiles.front());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("not a picture");
    damaged.close();
    ASSERT_TRUE(QFile::remove(strPath));
    const size_t nBefore = m_pServer->Requests().size();
    ASSERT_TRUE(Make(Request(30.0, 30.0), strPath));
    const std::vector<QJsonObject> requests = m_pServer->Requests();
    ASSERT_EQ(requests.size(), nBefore + 1);
    const QStringList parts = tiles.front().split(u'/');
    EXPECT_EQ(requests.back()[QStringLiteral("path")].toString(),
              QStringLiteral("/%1/%2/%3.png").arg(parts[parts.size() - 3], parts[parts.size() - 2], parts.back()));
}

TEST_F(OnlineMaker, WorksOnAThreadOfItsOwn)
{
    // As the window makes sheets: on a worker thread, its event loop its own.
    QString strPath;
    COutcome outcome;
    std::thread worker([&] { outcome = Make(Request(-20.0, -50.0), strPath); });
    worker.join();
    EXPECT_TRUE(outcome) << outcome.Message().toStdString();
    EXPECT_TRUE(QFileInfo::exists(strPath));
}

}
