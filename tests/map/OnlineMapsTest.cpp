#include "map/CMapBitmap.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TileServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int64_t ONLINETEST_DAY = 24 * 3600;

struct COnlineRun
{
    int nExit = -1;
    QString out;
    QString err;
    qint64 nMs = 0;
};

struct CSheetEdges
{
    double m_lonMin = 0;
    double m_lonMax = 0;
    double m_latMin = 0;
    double m_latMax = 0;
};

// Edges of a sheet from its name, as the catalogue reads them.
CSheetEdges Calibrated(const QString& strPath)
{
    CMapBitmap map;
    map.m_path = strPath;
    map.ParseCalibration();
    return {map.m_lonMin, map.m_lonMax, map.m_latMin, map.m_latMax};
}

// No folder of ours holds an X, which would start a calibration.
class OnlineMaps : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strRoot = m_dir.path() + QStringLiteral("/online");
        ASSERT_TRUE(QDir().mkpath(m_strRoot));
        m_pServer = std::make_unique<CTileServer>(m_strRoot + QStringLiteral("/requests.jsonl"));
        ASSERT_GT(m_pServer->m_nPort, 0) << "the tile server did not start";
    }

    COnlineRun Run(const QStringList& args, const QStringList& env = {}) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_strRoot + QStringLiteral("/xdg"));
        for (const QString& strSetting : env)
            environment.insert(strSetting.section(u'=', 0, 0), strSetting.section(u'=', 1));
        process.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        process.start(CliProgram(), QStringList {QStringLiteral("map-online")} + args);
        COnlineRun run;
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
            return run;
        run.nMs = timer.elapsed();
        run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    // map-online from the test server with the folders of the test.
    COnlineRun Make(double dLat, double dLon, int nZoom, int nSize, const QStringList& env = {},
                    const QStringList& extra = {}) const
    {
        return Run(QStringList {QStringLiteral("--at"), QStringLiteral("%1,%2").arg(dLat, 0, 'f', 6).arg(dLon, 0, 'f', 6),
                                QStringLiteral("--url"), m_pServer->Url(), QStringLiteral("--zoom"),
                                QString::number(nZoom), QStringLiteral("--size"), QString::number(nSize),
                                QStringLiteral("--dir"), m_strRoot + QStringLiteral("/sheets"),
                                QStringLiteral("--cache"), m_strRoot + QStringLiteral("/tiles")}
                       + extra,
                   env);
    }

    size_t Requests() const { return m_pServer->Requests().size(); }

    QTemporaryDir m_dir;
    QString m_strRoot;
    std::unique_ptr<CTileServer> m_pServer;
};

// The tiles under a sheet, from its edges through the Mercator formulas.
int64_t TilesUnder(const CSheetEdges& map, int nZoom)
{
    const auto first = [](double d) { return int64_t(std::floor(d / TILESERVER_TILE + 1e-9)); };
    const auto last = [](double d) { return int64_t(std::floor(d / TILESERVER_TILE - 1e-9)); };
    return (last(WorldX(map.m_lonMax, nZoom)) - first(WorldX(map.m_lonMin, nZoom)) + 1)
           * (last(WorldY(map.m_latMin, nZoom)) - first(WorldY(map.m_latMax, nZoom)) + 1);
}

struct CPlaceCase
{
    double dLat;
    double dLon;
    int nZoom;
    int nSize;
};

const CPlaceCase PLACE_CASES[] = {
    {52.3701, 4.8901, 16, 1024},    // Amsterdam, the default size
    {-33.8570, 151.2150, 12, 512},  // south and east
    {64.1466, -21.9426, 14, 256},   // far north, west: pixels much taller than wide in Mercator
};

TEST_F(OnlineMaps, SheetPixelsAreTheTilePixelsThroughMercator)
{
    for (const CPlaceCase& place : PLACE_CASES) {
        SCOPED_TRACE(place.nZoom);
        const COnlineRun run = Make(place.dLat, place.dLon, place.nZoom, place.nSize);
        ASSERT_EQ(run.nExit, 0) << run.err.toStdString();
        const QImage sheet(run.out);
        ASSERT_EQ(sheet.size(), QSize(place.nSize, place.nSize));
        const CSheetEdges map = Calibrated(run.out);
        ASSERT_LT(map.m_lonMin, place.dLon);
        ASSERT_LT(place.dLon, map.m_lonMax);
        ASSERT_LT(map.m_latMin, place.dLat);
        ASSERT_LT(place.dLat, map.m_latMax);
        // Square on the ground at the centre, within the whole seconds of the edges.
        const double dCentreLat = (map.m_latMin + map.m_latMax) / 2 * std::numbers::pi / 180.0;
        EXPECT_NEAR((map.m_latMax - map.m_latMin) / ((map.m_lonMax - map.m_lonMin) * std::cos(dCentreLat)), 1.0,
                    1.5 / ((map.m_latMax - map.m_latMin) * 3600));
        EXPECT_EQ(int64_t(Requests()), TilesUnder(map, place.nZoom));
        const CTileComparison comparison
            = CompareWithServerTiles(sheet, map.m_lonMin, map.m_lonMax, map.m_latMin, map.m_latMax, place.nZoom);
        EXPECT_EQ(comparison.m_nWrong, 0) << comparison.m_strFirstWrong.toStdString();
        EXPECT_GT(comparison.m_nCompared, 40);
        QFile::remove(m_strRoot + QStringLiteral("/requests.jsonl"));
    }
}

TEST_F(OnlineMaps, SendsTheUserAgentAndNothingAboutTheUser)
{
    struct CAgentCase
    {
        QStringList extra;
        const char* szAgent;
    };
    const CAgentCase cases[] = {
        {{}, "veltrip/1.0 (+https://korvane.example/veltrip/)"},
        {{QStringLiteral("--user-agent-suffix"), QStringLiteral("fleet-7 (ops@example.org)")},
         "veltrip/1.0 (+https://korvane.example/veltrip/) fleet-7 (ops@example.org)"},
    };
    double dLat = 10.0;
    for (const CAgentCase& c : cases) {
        const size_t nBefore = Requests();
        ASSERT_EQ(Make(dLat += 1, 10.0, 15, 256, {}, c.extra).nExit, 0);
        const std::vector<QJsonObject> requests = m_pServer->Requests();
        ASSERT_GT(requests.size(), nBefore);
        for (size_t i = nBefore; i < requests.size(); ++i) {
            const QJsonObject headers = requests[i][QStringLiteral("headers")].toObject();
            EXPECT_EQ(headers[QStringLiteral("User-Agent")].toString().toStdString(), c.szAgent);
            EXPECT_FALSE(headers.contains(QStringLiteral("Cache-Control")));
            EXPECT_FALSE(headers.contains(QStringLiteral("Pragma")));
            EXPECT_FALSE(headers.contains(QStringLiteral("Cookie")));
            EXPECT_EQ(headers[QStringLiteral("Accept-Language")].toString(), QStringLiteral("*"));
        }
    }
}

// One step of a run against the cache: the server's mode, how far the clock
// is moved on, whether the sheet is removed first, and what follows.
struct CCacheStep
{
    const char* szMode;
    int64_t nClockDays;
    bool bRemoveSheet;
    int nExit;
    int nNewRequests;       // -1: as many as tiles under the sheet; else at most (those in flight)
    bool bRevalidates;      // the new requests carry If-None-Match
};

struct CCacheCase
{
    const char* szName;
    std::vector<CCacheStep> steps;
};

const CCacheCase CACHE_CASES[] = {
    {"the same place again asks nothing", {{"normal", 0, false, 0, -1, false}, {"normal", 0, false, 0, 0, false}}},
    {"a fresh tile is used without asking", {{"normal", 0, false, 0, -1, false}, {"normal", 6, true, 0, 0, false}}},
    {"a tile past its week is asked for again and a 304 keeps it",
     {{"normal", 0, false, 0, -1, false}, {"normal", 8, true, 0, -1, true}, {"normal", 8, true, 0, 0, false}}},
    {"max-age=60 still keeps a tile a week",
     {{"maxage60", 0, false, 0, -1, false}, {"normal", 6, true, 0, 0, false}, {"normal", 8, true, 0, -1, true}}},
    {"a refused revalidation uses the cached tile",
     {{"normal", 0, false, 0, -1, false}, {"429", 8, true, 0, 2, true}}},
};

TEST_F(OnlineMaps, CacheKeepsTilesAsTheServerSaysButAtLeastAWeek)
{
    double dLon = 20.0;
    for (const CCacheCase& c : CACHE_CASES) {
        SCOPED_TRACE(c.szName);
        dLon += 1;
        int64_t nTiles = 0;
        for (const CCacheStep& step : c.steps) {
            ASSERT_TRUE(m_pServer->SetMode(step.szMode));
            const size_t nBefore = Requests();
            QString strSheet;
            if (step.bRemoveSheet) {
                for (const QString& strName : QDir(m_strRoot + QStringLiteral("/sheets")).entryList(QDir::Files))
                    QFile::remove(m_strRoot + QStringLiteral("/sheets/") + strName);
            }
            const COnlineRun run =
                Make(45.0, dLon, 15, 256,
                     {QStringLiteral("VELTRIP_ONLINE_CLOCK_OFFSET=%1").arg(step.nClockDays * ONLINETEST_DAY)});
            ASSERT_EQ(run.nExit, step.nExit) << run.err.toStdString();
            if (!nTiles)
                nTiles = TilesUnder(Calibrated(run.out), 15);
            const std::vector<QJsonObject> requests = m_pServer->Requests();
            const int64_t nNew = int64_t(requests.size() - nBefore);
            if (step.nNewRequests < 0)
                EXPECT_EQ(nNew, nTiles);
            else
                EXPECT_TRUE(nNew <= step.nNewRequests && (nNew > 0) == (step.nNewRequests > 0)) << nNew;
            for (size_t i = nBefore; i < requests.size(); ++i)
                EXPECT_EQ(requests[i][QStringLiteral("headers")].toObject().contains(QStringLiteral("If-None-Match")),
                          step.bRevalidates);
        }
    }
}

struct CFailureCase
{
    const char* szMode;
    int nExit;
    const char* szMessage;      // in stderr
    size_t nMostRequests;       // at most this many reach the server
};

TEST_F(OnlineMaps, RefusalsAndSilenceFailWithoutAStorm)
{
    const CFailureCase cases[] = {
        {"429", 1, "HTTP 429, paused 30 s", 2},
        {"hang", 1, "no answer within 0.5 s", 2},
    };
    double dLat = -10.0;
    for (const CFailureCase& c : cases) {
        SCOPED_TRACE(c.szMode);
        ASSERT_TRUE(m_pServer->SetMode(c.szMode));
        const size_t nBefore = Requests();
        const COnlineRun run = Make(dLat -= 1, -60.0, 16, 1024, {QStringLiteral("VELTRIP_ONLINE_TIMEOUT_MS=500")});
        EXPECT_EQ(run.nExit, c.nExit);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.szMessage))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_LE(Requests() - nBefore, c.nMostRequests);
        EXPECT_LT(run.nMs, 5000);
    }
}

TEST_F(OnlineMaps, NeverMoreThanTwoRequestsAtATime)
{
    ASSERT_TRUE(m_pServer->SetMode("slow"));
    ASSERT_EQ(Make(30.0, 30.0, 16, 512).nExit, 0);
    int nMost = 0;
    for (const QJsonObject& request : m_pServer->Requests())
        nMost = std::max(nMost, request[QStringLiteral("most")].toInt());
    EXPECT_EQ(nMost, 2);
}

TEST_F(OnlineMaps, MissingTilesAreWhite)
{
    ASSERT_TRUE(m_pServer->SetMode("404"));
    const COnlineRun run = Make(40.0, -3.0, 15, 256);
    ASSERT_EQ(run.nExit, 0) << run.err.toStdString();
    const QImage sheet(run.out);
    ASSERT_FALSE(sheet.isNull());
    for (int y = 0; y < sheet.height(); y += 17)
        for (int x = 0; x < sheet.width(); x += 13)
            ASSERT_EQ(sheet.pixel(x, y), qRgb(255, 255, 255));
}

TEST_F(OnlineMaps, OfflineTheCacheKeepsWorking)
{
    const COnlineRun first = Make(50.0, 8.0, 15, 256);
    ASSERT_EQ(first.nExit, 0) << first.err.toStdString();
    m_pServer->Stop();
    QFile::remove(first.out);
    const QStringList aged {QStringLiteral("VELTRIP_ONLINE_CLOCK_OFFSET=%1").arg(30 * ONLINETEST_DAY)};
    const COnlineRun cached = Make(50.0, 8.0, 15, 256, aged);
    EXPECT_EQ(cached.nExit, 0) << cached.err.toStdString();
    EXPECT_EQ(cached.out, first.out);
    const COnlineRun elsewhere = Make(51.0, 9.0, 15, 256, aged);
    EXPECT_EQ(elsewhere.nExit, 1);
    EXPECT_TRUE(elsewhere.err.contains(QLatin1String("the cache does not hold all its tiles"))) << elsewhere.err.toStdString();
}

TEST_F(OnlineMaps, BadArgumentsAndSources)
{
    struct CArgsCase
    {
        QStringList args;
        int nExit;
        const char* szMessage;
    };
    const QString strAt = QStringLiteral("--at");
    const CArgsCase cases[] = {
        {{}, 2, "no --at LAT,LON given"},
        {{strAt, QStringLiteral("91,0")}, 2, "--at takes LAT,LON"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--zoom"), QStringLiteral("23")}, 2, "--zoom"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--size"), QStringLiteral("100")}, 2, "--size"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--source"), QStringLiteral("Nowhere")}, 2, "no tile source named Nowhere"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--source"), QStringLiteral("OpenStreetMap"), QStringLiteral("--url"),
          QStringLiteral("http://127.0.0.1:1/{z}/{x}/{y}.png")}, 2, "give one"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--user-agent-suffix"), QStringLiteral("a\nb")}, 2, "printable ASCII"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--url"), QStringLiteral("ftp://127.0.0.1/{z}/{x}/{y}.png")}, 2,
         "--url takes an http or https address"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--url"), QStringLiteral("http://127.0.0.1/{z}/{x}.png")}, 2,
         "--url takes an http or https address"},
        {{strAt, QStringLiteral("1,2"), QStringLiteral("--url"), QStringLiteral("http://127.0.0.1/{z}/{x}/{y}.png"),
          QStringLiteral("--zoom"), QStringLiteral("1")}, 1, "smaller than a sheet"},
    };
    for (const CArgsCase& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const COnlineRun run = Run(c.args);
        EXPECT_EQ(run.nExit, c.nExit);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.szMessage))) << run.err.toStdString();
    }
}

TEST_F(OnlineMaps, MapViewCreditsTheSource)
{
    const COnlineRun run = Make(52.3701, 4.8901, 16, 512, {}, {QStringLiteral("--attribution"), QStringLiteral("\u00a9 Tile Testers")});
    ASSERT_EQ(run.nExit, 0) << run.err.toStdString();
    const QString strNmea = m_strRoot + QStringLiteral("/fix.nmea");
    QFile nmea(strNmea);
    ASSERT_TRUE(nmea.open(QIODevice::WriteOnly));
    nmea.write("$GPRMC,120000,A,5222.206,N,00453.406,E,0.0,0.0,091226,,,A\r\n"
               "$GPGGA,120000,5222.206,N,00453.406,E,1,08,1.0,0.0,M,0.0,M,,\r\n");
    nmea.close();
    QProcess render;
    render.start(CliProgram(), {QStringLiteral("render"), QStringLiteral("map"), QStringLiteral("--nmea"), strNmea,
                                QStringLiteral("--dir"), m_strRoot + QStringLiteral("/sheets"), QStringLiteral("--png"),
                                m_strRoot + QStringLiteral("/map.png"), QStringLiteral("--texts")});
    ASSERT_TRUE(render.waitForFinished(30000));
    EXPECT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    const QString texts = QString::fromUtf8(render.readAllStandardOutput());
    EXPECT_TRUE(texts.contains(QStringLiteral("\"text\":\"\\u00a9 Tile Testers\""))) << texts.toStdString();
}

}
