// veltrip-cli map-import on inputs that used to hang it, reach the network,
// break or lose sheets: each ends with its message and exit code, and a
// failure leaves the folder of sheets as it was, old sheets and all.
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"
#include "tests/map/MapTestSupport.h"
#include "tests/track/TrackTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gdal.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder's entries, hidden ones included, with a digest of each file's
// bytes or the target of each link.
QMap<QString, QByteArray> FolderState(const QString& strDir)
{
    QMap<QString, QByteArray> state;
    const QFileInfoList entries = QDir(strDir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                             | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink())
            state[entry.fileName()] = "-> " + entry.symLinkTarget().toUtf8();
        else if (entry.isDir())
            state[entry.fileName()] = "folder";
        else
            state[entry.fileName()] =
                QCryptographicHash::hash(ReadAll(entry.filePath()), QCryptographicHash::Sha1).toHex();
    }
    return state;
}

QStringList FolderNames(const QMap<QString, QByteArray>& state)
{
    return state.keys();
}

// Runs a statement on the SQLite database of an MBTiles file, which GDAL's
// SQLite driver opens under another name only.
bool ChangeTiles(const QString& strPath, const char* szSql)
{
    const QString strDb = strPath + QStringLiteral(".sqlite");
    if (!QFile::rename(strPath, strDb))
        return false;
    const char* const drivers[] = {"SQLite", nullptr};
    GDALDatasetH hDb = GDALOpenEx(QFile::encodeName(strDb).constData(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers,
                                  nullptr, nullptr);
    if (hDb) {
        GDALDatasetReleaseResultSet(hDb, GDALDatasetExecuteSQL(hDb, szSql, nullptr, nullptr));
        GDALClose(hDb);
    }
    return QFile::rename(strDb, strPath) && hDb;
}

uint32_t Crc32(const QByteArray& data)
{
    uint32_t nCrc = 0xFFFFFFFFu;
    for (const char ch : data) {
        nCrc ^= uint8_t(ch);
        for (int i = 0; i < 8; ++i)
            nCrc = (nCrc >> 1) ^ (0xEDB88320u & (0u - (nCrc & 1u)));
    }
    return ~nCrc;
}

QByteArray PngChunk(const char* szType, const QByteArray& data)
{
    QByteArray chunk;
    const auto put32 = [&chunk](uint32_t n) {
        for (int nShift = 24; nShift >= 0; nShift -= 8)
            chunk.append(char(n >> nShift));
    };
    put32(uint32_t(data.size()));
    const QByteArray typed = QByteArray(szType) + data;
    chunk += typed;
    put32(Crc32(typed));
    return chunk;
}

// A PNG of a few bytes whose header declares nSide x nSide RGB pixels.
QByteArray PngBomb(uint32_t nSide)
{
    QByteArray header;
    for (int i = 0; i < 2; ++i) {
        for (int nShift = 24; nShift >= 0; nShift -= 8)
            header.append(char(nSide >> nShift));
    }
    header.append("\x08\x02\x00\x00\x00", 5);   // 8 bits, RGB, no interlace
    // qCompress puts the length before the zlib stream.
    const QByteArray pixels = qCompress(QByteArray(4096, '\0')).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) + PngChunk("IDAT", pixels)
           + PngChunk("IEND", {});
}

// Web Mercator pixels of 100 m around 4.5 E, 52.6 N.
const CGeoGrid SAFETY_MERCATOR {3857, 500935.0, 6904000.0, 100.0, 400, 420};

// 600 x 400 pixels of 0.001 degrees from 4.5 E, 52.6 N: six sheets of 256.
const CGeoGrid SAFETY_GRID {4326, 4.5, 52.6, 0.001, 600, 400};

class MapImportSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(Out()));
        ASSERT_TRUE(WritePattern(Path("chart.tif"), "GTiff", SAFETY_GRID, EPixels::Rgb));
    }

    QString Path(const QString& strName) const { return m_dir.filePath(strName); }
    QString Out() const { return Path(QStringLiteral("out")); }

    CliRun Import(const QStringList& args) const
    {
        return RunCli(QStringList {QStringLiteral("map-import")} + args + QStringList {QStringLiteral("--dir"), Out()},
                      30000);
    }

    // The sheets of chart.tif in the folder, as an earlier import left them.
    QStringList ImportChart() const
    {
        const CliRun run = Import({Path("chart.tif"), QStringLiteral("--sheet"), QStringLiteral("256"),
                                   QStringLiteral("--resolution"), QStringLiteral("3.6,3.6")});
        EXPECT_EQ(run.nExit, 0) << run.strErr.toStdString();
        return QDir(Out()).entryList({QStringLiteral("*.bmp")}, QDir::Files);
    }

    QString Fifo(const char* szName) const
    {
        const QString strPath = Path(QString::fromLatin1(szName));
        EXPECT_EQ(::mkfifo(QFile::encodeName(strPath).constData(), 0600), 0);
        return strPath;
    }

    QTemporaryDir m_dir;
};

TEST_F(MapImportSafety, BadSourcesEndWithTheirMessageAndLeaveTheFolderAsItWas)
{
    int nPort = 0;
    const int hListen = ListenOnLoopback(nPort);
    ASSERT_GE(hListen, 0);
    const QString strUrl = QStringLiteral("http://127.0.0.1:%1/x.tif").arg(nPort);
    ImportChart();   // old sheets that must stay
    const struct
    {
        const char* szName;
        std::function<QStringList()> fnArgs;
        const char* szMessage;
    } CASES[] = {
        {"a FIFO", [&] { return QStringList {Fifo("f.tif")}; }, "f.tif: not a regular file"},
        {"a folder", [&] { return QStringList {Out()}; }, "out: not a regular file"},
        {"a .map naming a FIFO",
         [&] {
             Fifo("image.png");
             WriteOziMap(Path("fifo.map"), QStringLiteral("image.png"), SAFETY_GRID);
             return QStringList {Path("fifo.map")};
         },
         "image.png is not a regular file"},
        {"a network path", [&] { return QStringList {QStringLiteral("/vsicurl/") + strUrl}; },
         "is not a file on this computer"},
        {"a network path inside another",
         [&] { return QStringList {QStringLiteral("/vsizip//vsicurl/") + strUrl + QStringLiteral(".zip/x.tif")}; },
         "is not a file on this computer"},
        {"a URL", [&] { return QStringList {strUrl}; }, "is not a file on this computer"},
        {"a .map naming a network file",
         [&] {
             WriteOziMap(Path("net.map"), QStringLiteral("/vsicurl/") + strUrl, SAFETY_GRID);
             return QStringList {Path("net.map")};
         },
         // Not reached, it is looked for beside the .map instead.
         "x.tif: No such file or directory"},
        {"a VRT whose pixels are on the network",
         [&] {
             GDALDatasetH hTiff = GDALOpen(QFile::encodeName(Path("chart.tif")).constData(), GA_ReadOnly);
             GDALClose(GDALCreateCopy(GDALGetDriverByName("VRT"), QFile::encodeName(Path("net.vrt")).constData(),
                                      hTiff, FALSE, nullptr, nullptr, nullptr));
             GDALClose(hTiff);
             QByteArray vrt = ReadAll(Path("net.vrt"));
             vrt.replace("relativeToVRT=\"1\">chart.tif<", "relativeToVRT=\"0\">/vsicurl/" + strUrl.toUtf8() + '<');
             EXPECT_TRUE(vrt.contains("/vsicurl/"));
             WriteFile(Path("net.vrt"), vrt);
             return QStringList {Path("net.vrt")};
         },
         "is not a file on this computer"},
        {"an MBTiles of garbage",
         [&] {
             WritePattern(Path("junk.mbtiles"), "MBTILES", SAFETY_MERCATOR, EPixels::Rgb);
             EXPECT_TRUE(ChangeTiles(Path("junk.mbtiles"), "UPDATE tiles SET tile_data = randomblob(2000)"));
             return QStringList {Path("junk.mbtiles")};
         },
         "No readable map in "},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        const QMap<QString, QByteArray> before = FolderState(Out());
        const CliRun run = Import(c.fnArgs());
        EXPECT_EQ(run.nExit, 1) << run.strErr.toStdString();
        EXPECT_TRUE(run.strErr.startsWith(QStringLiteral("veltrip-cli map-import: "))) << run.strErr.toStdString();
        EXPECT_TRUE(run.strErr.contains(QString::fromLatin1(c.szMessage))) << run.strErr.toStdString();
        EXPECT_EQ(FolderState(Out()), before) << FolderNames(FolderState(Out())).join(u' ').toStdString();
    }
    const int hClient = AcceptClient(hListen, 0);
    EXPECT_LT(hClient, 0) << "the import reached the network";
    if (hClient >= 0)
        ::close(hClient);
    ::close(hListen);
}

// A GeoTIFF of a few hundred KB that declares 40000 x 40000 pixels, none
// of them stored.
bool WriteDeclaredSize(const QString& strPath)
{
    const char* const options[] = {"COMPRESS=DEFLATE", "SPARSE_OK=TRUE", nullptr};
    GDALDatasetH hTiff = GDALCreate(GDALGetDriverByName("GTiff"), QFile::encodeName(strPath).constData(), 40000,
                                    40000, 3, GDT_Byte, const_cast<char**>(options));
    if (!hTiff)
        return false;
    double gt[6] = {4, 1.0 / 40000, 0, 53, 0, -1.0 / 40000};
    GDALSetGeoTransform(hTiff, gt);
    GDALSetProjection(hTiff, "EPSG:4326");
    GDALClose(hTiff);
    return true;
}

constexpr long SAFETY_PEAK_KIB = 256 * 1024;
constexpr uint32_t SAFETY_BOMB_SIDE = 9000;
constexpr uint32_t SAFETY_HUGE_SIDE = 100000;

// Sources whose declared size is far beyond their bytes: the import's
// memory follows the sheets it writes, not what a source claims.
TEST_F(MapImportSafety, MemoryFollowsTheSheetsNotTheDeclaredSize)
{
    const auto Bomb = [&](const char* szName, uint32_t nSide) {
        const QString strPath = Path(QString::fromLatin1(szName));
        WritePattern(strPath, "MBTILES", SAFETY_MERCATOR, EPixels::Rgb);
        const QByteArray sql = "UPDATE tiles SET tile_data = X'" + PngBomb(nSide).toHex() + '\'';
        EXPECT_TRUE(ChangeTiles(strPath, sql.constData()));
        return strPath;
    };
    const struct
    {
        const char* szName;
        std::function<QStringList()> fnArgs;
        int nExit;
        const char* szMessage;   // null: none
    } CASES[] = {
        {"a GeoTIFF declaring 40000 x 40000 pixels",
         [&] {
             EXPECT_TRUE(WriteDeclaredSize(Path("declared.tif")));
             return QStringList {Path("declared.tif"), QStringLiteral("--resolution"), QStringLiteral("36")};
         },
         0, nullptr},
        {"an MBTiles whose PNG tile declares 9000 x 9000 pixels",
         [&] { return QStringList {Bomb("bomb.mbtiles", SAFETY_BOMB_SIDE)}; }, 1, "keeps its pixels in blocks of 9000 x 9000"},
        {"an MBTiles whose PNG tile declares 100000 x 100000 pixels",
         [&] { return QStringList {Bomb("huge.mbtiles", SAFETY_HUGE_SIDE)}; }, 1,
         "is no raster image that GDAL can read"},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        QDir(Out()).removeRecursively();
        // GDAL's failed allocation of 160 GB ends a sanitized program.
        if (!HeapFiguresAreThePrograms() && std::strstr(c.szName, "100000"))
            continue;
        const QStringList args = QStringList {QStringLiteral("map-import")} + c.fnArgs()
                                 + QStringList {QStringLiteral("--dir"), Out()};
        const CPeakRun peak = RunForPeakMemory(CliProgram(), args);
        EXPECT_EQ(peak.nExit, c.nExit);
        if (HeapFiguresAreThePrograms()) {
            EXPECT_LT(peak.nPeakKiB, SAFETY_PEAK_KIB);
        }
        if (c.szMessage) {
            const CliRun run = RunCli(args, 60000);
            EXPECT_TRUE(run.strErr.contains(QString::fromLatin1(c.szMessage))) << run.strErr.toStdString();
        }
        const int nSheets = int(QDir(Out()).entryList({QStringLiteral("*.bmp")}, QDir::Files).size());
        EXPECT_EQ(nSheets, c.nExit == 0 ? 1 : 0);
    }
}

// Old sheets of the same names: one name taken by a folder fails the import
// before anything is written; a link planted where a temporary used to go is
// not written through.
TEST_F(MapImportSafety, SheetsAreReplacedWholeOrNotAtAll)
{
    const QStringList sheets = ImportChart();
    ASSERT_EQ(sheets.size(), 6);
    // A folder in place of the fourth sheet.
    ASSERT_TRUE(QFile::remove(QDir(Out()).filePath(sheets[3])));
    ASSERT_TRUE(QDir(Out()).mkdir(sheets[3]));
    const QMap<QString, QByteArray> before = FolderState(Out());
    const CliRun taken = Import({Path("chart.tif"), QStringLiteral("--sheet"), QStringLiteral("256"),
                                 QStringLiteral("--resolution"), QStringLiteral("3.6,3.6")});
    EXPECT_EQ(taken.nExit, 1);
    EXPECT_TRUE(taken.strErr.contains(QStringLiteral("something that is not a file has its name")))
        << taken.strErr.toStdString();
    EXPECT_EQ(FolderState(Out()), before);

    ASSERT_TRUE(QDir(QDir(Out()).filePath(sheets[3])).removeRecursively());
    const QString strVictim = Path("victim.txt");
    ASSERT_TRUE(WriteFile(strVictim, "keep me\n"));
    for (const QString& strSheet : sheets) {
        const QString strLink = QDir(Out()).filePath(u'.' + strSheet + QStringLiteral(".part"));
        ASSERT_EQ(::symlink(QFile::encodeName(strVictim).constData(), QFile::encodeName(strLink).constData()), 0);
    }
    const CliRun run = Import({Path("chart.tif"), QStringLiteral("--sheet"), QStringLiteral("256"),
                               QStringLiteral("--resolution"), QStringLiteral("3.6,3.6")});
    EXPECT_EQ(run.nExit, 0) << run.strErr.toStdString();
    EXPECT_EQ(ReadAll(strVictim), QByteArray("keep me\n"));
    // The new sheets and the planted links, nothing else.
    const QStringList after = FolderNames(FolderState(Out()));
    EXPECT_EQ(after.size(), 2 * sheets.size()) << after.join(u' ').toStdString();
    EXPECT_EQ(after.filter(QStringLiteral(".bmp.part")).size(), sheets.size());
}

// A block centre of the source, on either side of the antimeridian, shows
// its colour in the sheet that holds it.
void ExpectColourAt(const std::vector<CSheet>& sheets, const CGeoGrid& grid, int x, int y)
{
    double dLongitude = 0;
    double dLatitude = 0;
    GridPosition(grid, x, y, dLongitude, dLatitude);
    dLongitude = std::remainder(dLongitude, 360.0);
    for (const CSheet& s : sheets) {
        const CMapBitmap& m = *s.pMap;
        if (!(m.m_lonMin < dLongitude && dLongitude < m.m_lonMax && m.m_latMin < dLatitude && dLatitude < m.m_latMax))
            continue;
        const QRgb rgb = s.image.pixel(int((dLongitude - m.m_lonMin) / (m.m_lonMax - m.m_lonMin) * s.image.width()),
                                       int((m.m_latMax - dLatitude) / (m.m_latMax - m.m_latMin) * s.image.height()));
        EXPECT_EQ(rgb, BlockColour(x, y)) << "at " << dLongitude;
        return;
    }
    ADD_FAILURE() << "no sheet at longitude " << dLongitude;
}

// A map across +-180 degrees becomes sheets on both sides, named within
// -180..180, none wider than the map or all white.
TEST_F(MapImportSafety, AMapAcrossTheAntimeridianHasSheetsOnBothSides)
{
    const CGeoGrid DEGREES {4326, 175, -40, 0.01, 1000, 400};          // 175 to 185 E
    const CGeoGrid UTM {32760, 600000, 5600000, 400, 600, 300};       // zone 60 S, about 178.2 E to 181 E
    const struct
    {
        const char* szName;
        CGeoGrid grid;
        double dWidth;   // degrees of longitude the map spans, about
    } CASES[] = {
        {"degrees beyond 180", DEGREES, 10},
        {"UTM zone 60", UTM, 3},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        QDir(Out()).removeRecursively();
        ASSERT_TRUE(WritePattern(Path("across.tif"), "GTiff", c.grid, EPixels::Rgb));
        const CliRun run = Import({Path("across.tif")});
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        const std::vector<CSheet> sheets = ReadSheets(Out());
        ASSERT_EQ(sheets.size(), 2u);
        double dWidth = 0;
        for (const CSheet& s : sheets) {
            const CMapBitmap& m = *s.pMap;
            EXPECT_GE(m.m_lonMin, -180);
            EXPECT_LE(m.m_lonMax, 180);
            EXPECT_TRUE(m.m_lonMin == -180 || m.m_lonMax == 180) << m.m_lonMin << " " << m.m_lonMax;
            dWidth += m.m_lonMax - m.m_lonMin;
        }
        EXPECT_LT(dWidth, c.dWidth * 1.2);
        if (c.grid.nEpsg == 4326) {
            // Block centres at the west and east ends.
            ExpectColourAt(sheets, c.grid, GEORASTER_BLOCK / 2, GEORASTER_BLOCK / 2);
            ExpectColourAt(sheets, c.grid, 30 * GEORASTER_BLOCK + GEORASTER_BLOCK / 2, 11 * GEORASTER_BLOCK + GEORASTER_BLOCK / 2);
        }
    }
}

// The pitch of the first sheet a dry run lists, in arc-seconds per pixel.
bool DryRunPitch(const QString& strOut, double& dLatitude, double& dLongitude, double& dCentre)
{
    static const QRegularExpression LINE(QStringLiteral(
        "  (\\d+)x(\\d+)  longitude (\\S+) to (\\S+), latitude (\\S+) to (\\S+)\n"));
    const QRegularExpressionMatch m = LINE.match(strOut);
    if (!m.hasMatch())
        return false;
    dLongitude = (m.captured(4).toDouble() - m.captured(3).toDouble()) * 3600 / m.captured(1).toDouble();
    dLatitude = (m.captured(6).toDouble() - m.captured(5).toDouble()) * 3600 / m.captured(2).toDouble();
    dCentre = (m.captured(6).toDouble() + m.captured(5).toDouble()) / 2;
    return true;
}

// By default, and with one value to --resolution, pixels are square on the
// ground at the centre of the map: the longitude step is the latitude step
// divided by the cosine of the latitude. Two values set both steps.
TEST_F(MapImportSafety, PixelsAreSquareOnTheGround)
{
    constexpr double TOLERANCE = 0.01;   // of a step: whole-second cells round it
    const struct
    {
        const char* szName;
        double dTop;                // the map: 0.5 x 0.5 degrees of 0.001 degree pixels
        QStringList args;
        double dLatitudeStep;       // 0: as the map's pixels are wide on the ground
        double dLongitudeStep;      // 0: square on the ground
    } CASES[] = {
        {"at the equator", 0.25, {}, 0, 0},
        {"at 52 N", 52.25, {}, 0, 0},
        {"at 70 N", 70.25, {}, 0, 0},
        {"at 52 N, latitude step given", 52.25, {QStringLiteral("--resolution"), QStringLiteral("6")}, 6, 0},
        {"at 70 N, both steps given", 70.25, {QStringLiteral("--resolution"), QStringLiteral("6,9")}, 6, 9},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        const CGeoGrid grid {4326, 10, c.dTop, 0.001, 500, 500};
        ASSERT_TRUE(WritePattern(Path("square.tif"), "GTiff", grid, EPixels::Rgb));
        const CliRun run = Import(QStringList {Path("square.tif"), QStringLiteral("--dry-run")} + c.args);
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        double dLatitude = 0;
        double dLongitude = 0;
        double dCentre = 0;
        ASSERT_TRUE(DryRunPitch(run.strOut, dLatitude, dLongitude, dCentre)) << run.strOut.toStdString();
        const double dCos = std::cos(dCentre * M_PI / 180);
        const double dWantLatitude = c.dLatitudeStep > 0 ? c.dLatitudeStep : 3.6 * dCos;
        const double dWantLongitude = c.dLongitudeStep > 0 ? c.dLongitudeStep : dWantLatitude / dCos;
        EXPECT_NEAR(dLatitude, dWantLatitude, dWantLatitude * TOLERANCE);
        EXPECT_NEAR(dLongitude, dWantLongitude, dWantLongitude * TOLERANCE);
        EXPECT_LE(dLatitude, dWantLatitude * (1 + 1e-9));   // never coarser than asked
    }
}

}
