// veltrip-cli map-import: maps in the formats users bring, made with GDAL
// here, become sheets whose calibrated names place every source colour where
// the map view looks for it; render map shows them from the catalogue.
#include "map/CMapBitmap.h"
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"
#include "tests/map/MapTestSupport.h"
#include "tests/track/TrackTestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The pixel that the linear mapping of a sheet holding the position gives.
bool SheetColour(const std::vector<CSheet>& sheets, double dLongitude, double dLatitude, QRgb& rgb)
{
    for (const CSheet& s : sheets) {
        const CMapBitmap& m = *s.pMap;
        if (!(m.m_lonMin < dLongitude && dLongitude < m.m_lonMax && m.m_latMin < dLatitude && dLatitude < m.m_latMax))
            continue;
        const int x = int((dLongitude - m.m_lonMin) / (m.m_lonMax - m.m_lonMin) * s.image.width());
        const int y = int((m.m_latMax - dLatitude) / (m.m_latMax - m.m_latMin) * s.image.height());
        rgb = s.image.pixel(x, y);
        return true;
    }
    return false;
}

bool Near(QRgb a, QRgb b)
{
    constexpr int TOLERANCE = 3;
    return std::abs(qRed(a) - qRed(b)) <= TOLERANCE && std::abs(qGreen(a) - qGreen(b)) <= TOLERANCE
           && std::abs(qBlue(a) - qBlue(b)) <= TOLERANCE;
}

QStringList Entries(const QString& strDir)
{
    return QDir(strDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A fix at a position, as a receiver sends it.
QByteArray NmeaFix(double dLatitude, double dLongitude)
{
    const auto field = [](double d, int nWidth) {
        const double dAbs = std::abs(d);
        const int nDegrees = int(dAbs);
        return QStringLiteral("%1%2").arg(nDegrees, nWidth, 10, QChar(u'0'))
            .arg((dAbs - nDegrees) * 60, 7, 'f', 4, QChar(u'0'));
    };
    const QString strPosition = field(dLatitude, 2) + (dLatitude < 0 ? ",S," : ",N,") + field(dLongitude, 3)
                                + (dLongitude < 0 ? ",W" : ",E");
    return QStringLiteral("$GPRMC,123519,A,%1,0.0,0.0,081226,,,A\r\n$GPGGA,123519,%1,1,06,1.3,14.5,M,47.0,M,,\r\n")
        .arg(strPosition)
        .toLatin1();
}

// 600 x 400 pixels of 0.001 degrees from 4.5 E, 52.6 N.
const CGeoGrid GRID_DEGREES {4326, 4.5, 52.6, 0.001, 600, 400};
// About the same area in Web Mercator, pixels of 100 m.
const CGeoGrid GRID_MERCATOR {3857, 500935.0, 6904000.0, 100.0, 400, 420};

class MapImport : public ::testing::Test
{
protected:
    QString Path(const QString& strName) const { return m_dir.filePath(strName); }
    QString Out() const { return Path(QStringLiteral("out")); }

    // Every block centre of the source shows its colour in the sheets.
    void ExpectBlockColours(const std::vector<CSheet>& sheets, const CGeoGrid& grid, EPixels ePixels) const
    {
        for (int y = GEORASTER_BLOCK / 2; y < grid.nHeight; y += GEORASTER_BLOCK) {
            for (int x = GEORASTER_BLOCK / 2; x < grid.nWidth; x += GEORASTER_BLOCK) {
                double dLongitude = 0;
                double dLatitude = 0;
                GridPosition(grid, x, y, dLongitude, dLatitude);
                QRgb rgb = 0;
                ASSERT_TRUE(SheetColour(sheets, dLongitude, dLatitude, rgb)) << dLongitude << " " << dLatitude;
                EXPECT_TRUE(Near(rgb, BlockColour(x, y, ePixels)))
                    << "at source pixel " << x << "," << y << ": " << std::hex << rgb << " instead of "
                    << BlockColour(x, y, ePixels);
            }
        }
    }

    // The 3 x 2 sheets of GRID_DEGREES in the storage card's GPS folder, at
    // its own square degrees.
    std::vector<CSheet> ImportIntoCard() const
    {
        EXPECT_TRUE(WritePattern(Path(QStringLiteral("chart.tif")), "GTiff", GRID_DEGREES, EPixels::Rgb));
        const CliRun run = RunCli({QStringLiteral("map-import"), Path(QStringLiteral("chart.tif")),
                                   QStringLiteral("--sheet"), QStringLiteral("256"), QStringLiteral("--resolution"),
                                   QStringLiteral("3.6,3.6")});
        EXPECT_EQ(run.nExit, 0) << run.strErr.toStdString();
        return ReadSheets(CardGpsPath(QString()));
    }

    CliRun RenderMapAt(double dLatitude, double dLongitude) const
    {
        QFile nmea(Path(QStringLiteral("fix.nmea")));
        EXPECT_TRUE(nmea.open(QIODevice::WriteOnly | QIODevice::Truncate));
        nmea.write(NmeaFix(dLatitude, dLongitude));
        nmea.close();
        return RunCli({QStringLiteral("render"), QStringLiteral("map"), QStringLiteral("--nmea"), nmea.fileName(),
                    QStringLiteral("--png"), Path(QStringLiteral("map.png"))});
    }

    QTemporaryDir m_dir;
};

TEST_F(MapImport, EveryFormatGivesSheetsWithTheSourceColours)
{
    // West of Greenwich and south of the equator, across both zero lines.
    const CGeoGrid gridZero {4326, -0.6, 0.3, 0.001, 1000, 800};
    const struct
    {
        const char* szName;
        CGeoGrid grid;
        EPixels ePixels;
        std::function<QString()> fnMake;   // the source to import
        QStringList extraArgs;
    } CASES[] = {
        {"GeoTIFF EPSG:4326", GRID_DEGREES, EPixels::Rgb,
         [&] { WritePattern(Path("a.tif"), "GTiff", GRID_DEGREES, EPixels::Rgb); return Path("a.tif"); }, {}},
        {"GeoTIFF Web Mercator", GRID_MERCATOR, EPixels::Rgb,
         [&] { WritePattern(Path("m.tif"), "GTiff", GRID_MERCATOR, EPixels::Rgb); return Path("m.tif"); }, {}},
        {"MBTiles with transparent blocks", GRID_MERCATOR, EPixels::Rgba,
         [&] { WritePattern(Path("t.mbtiles"), "MBTILES", GRID_MERCATOR, EPixels::Rgba); return Path("t.mbtiles"); }, {}},
        {"OziExplorer .map with a palette PNG", GRID_DEGREES, EPixels::Palette,
         [&] {
             WritePattern(Path("ozi.png"), "PNG", GRID_DEGREES, EPixels::Palette, false);
             WriteOziMap(Path("ozi.map"), QStringLiteral("ozi.png"), GRID_DEGREES);
             return Path("ozi.map");
         }, {}},
        {"grey PNG with a world file and a .prj", GRID_DEGREES, EPixels::Grey,
         [&] {
             WritePattern(Path("scan.png"), "PNG", GRID_DEGREES, EPixels::Grey, false);
             WriteWorldFile(Path("scan.png"), GRID_DEGREES);
             return Path("scan.png");
         }, {}},
        {"across both zero lines, many sheets", gridZero, EPixels::Rgb,
         [&] { WritePattern(Path("z.tif"), "GTiff", gridZero, EPixels::Rgb); return Path("z.tif"); },
         {QStringLiteral("--sheet"), QStringLiteral("256")}},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        QDir(Out()).removeRecursively();
        const QString strSource = c.fnMake();
        const CliRun run = RunCli(QStringList {QStringLiteral("map-import"), strSource, QStringLiteral("--dir"), Out()}
                             + c.extraArgs);
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        EXPECT_EQ(run.strOut, QString());   // quiet without a terminal
        const std::vector<CSheet> sheets = ReadSheets(Out());
        ASSERT_FALSE(sheets.empty());
        ExpectBlockColours(sheets, c.grid, c.ePixels);
    }
}

// At 3.6 arc-seconds per pixel a cell of the grid is 18 seconds in 5 pixels,
// so the south edge moves from -24'1" to the next whole cell, -24'18".
TEST_F(MapImport, DryRunListsTheAreaCutToTheMapAndWidenedToWholeCells)
{
    const CGeoGrid grid {4326, -0.6, 0.3, 0.001, 1000, 800};
    ASSERT_TRUE(WritePattern(Path("z.tif"), "GTiff", grid, EPixels::Rgb));
    const CliRun run = RunCli({QStringLiteral("map-import"), Path("z.tif"), QStringLiteral("--dry-run"),
                               QStringLiteral("--bbox"), QStringLiteral("-1,-0.40012,0.2,1")});
    ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
    EXPECT_EQ(run.strOut.toStdString(), "z_0_0_X0G-36M0S_0G12M0SY0G-24M-18S_0G18M0S.bmp  800x705  "
                                        "longitude -0.6 to 0.2, latitude -0.405 to 0.3\n"
                                        "1 sheets, 1692054 bytes, 3.6 by 3.6 arc-seconds per pixel (latitude by longitude)\n");
    EXPECT_EQ(Entries(CardGpsPath(QString())), QStringList());
}

// Neighbours lie on one pixel grid: the pixels they share are the same.
void ExpectSameOverlap(const CSheet& a, const CSheet& b)
{
    const CMapBitmap& m = *a.pMap;
    const CMapBitmap& n = *b.pMap;
    const double dPitchLon = (m.m_lonMax - m.m_lonMin) / a.image.width();
    const double dPitchLat = (m.m_latMax - m.m_latMin) / a.image.height();
    EXPECT_NEAR((n.m_lonMax - n.m_lonMin) / b.image.width(), dPitchLon, 1e-12);
    EXPECT_NEAR((n.m_latMax - n.m_latMin) / b.image.height(), dPitchLat, 1e-12);
    const double dLeft = (n.m_lonMin - m.m_lonMin) / dPitchLon;
    const double dTop = (m.m_latMax - n.m_latMax) / dPitchLat;
    EXPECT_NEAR(dLeft, std::round(dLeft), 1e-6);
    EXPECT_NEAR(dTop, std::round(dTop), 1e-6);
    const int nLeft = int(std::lround(dLeft));
    const int nTop = int(std::lround(dTop));
    int nDiffering = 0;
    for (int y = std::max(0, nTop); y < std::min(a.image.height(), nTop + b.image.height()); ++y)
        for (int x = std::max(0, nLeft); x < std::min(a.image.width(), nLeft + b.image.width()); ++x)
            nDiffering += a.image.pixel(x, y) != b.image.pixel(x - nLeft, y - nTop);
    EXPECT_EQ(nDiffering, 0);
}

TEST_F(MapImport, NeighbouringSheetsOverlapAndTheCatalogueCoversEverySeam)
{
    const std::vector<CSheet> sheets = ImportIntoCard();
    ASSERT_EQ(sheets.size(), 6u);
    std::vector<double> seamsWestEast;    // east edges of all but the last column
    std::vector<double> seamsSouthNorth;  // south edges of all but the last row
    for (const CSheet& a : sheets) {
        for (const CSheet& b : sheets) {
            const CMapBitmap& m = *a.pMap;
            const CMapBitmap& n = *b.pMap;
            const double dPerPixelLon = (n.m_lonMax - n.m_lonMin) / b.image.width();
            const double dPerPixelLat = (n.m_latMax - n.m_latMin) / b.image.height();
            if (m.m_latMin == n.m_latMin && m.m_lonMin < n.m_lonMin && n.m_lonMin < m.m_lonMax) {
                EXPECT_GE((m.m_lonMax - n.m_lonMin) / dPerPixelLon, 64.0);
                ExpectSameOverlap(a, b);
                seamsWestEast.push_back(m.m_lonMax);
            }
            if (m.m_lonMin == n.m_lonMin && m.m_latMin > n.m_latMin && m.m_latMin < n.m_latMax) {
                EXPECT_GE((n.m_latMax - m.m_latMin) / dPerPixelLat, 64.0);
                ExpectSameOverlap(a, b);
                seamsSouthNorth.push_back(m.m_latMin);
            }
        }
    }
    ASSERT_EQ(seamsWestEast.size(), 4u);     // two seams in each of two rows
    ASSERT_EQ(seamsSouthNorth.size(), 3u);   // one seam in each of three columns
    // On every seam, and where seams cross, the catalogue has a map to show.
    std::vector<std::pair<double, double>> positions;   // latitude, longitude
    for (const double dLongitude : seamsWestEast)
        positions.push_back({52.25, dLongitude});
    for (const double dLatitude : seamsSouthNorth)
        positions.push_back({dLatitude, 4.61});
    positions.push_back({seamsSouthNorth[0], seamsWestEast[0]});
    for (const auto& [dLatitude, dLongitude] : positions) {
        const CliRun run = RenderMapAt(dLatitude, dLongitude);
        EXPECT_EQ(run.nExit, 0) << dLatitude << " " << dLongitude << ": " << run.strErr.toStdString();
    }
}

TEST_F(MapImport, RenderMapShowsTheImportedSheetAtTheFix)
{
    ImportIntoCard();
    // The centre of a block; 8 pixels up and left of the arrowhead's tip the
    // screen shows the sheet at zoom 1.
    double dLongitude = 0;
    double dLatitude = 0;
    GridPosition(GRID_DEGREES, 272, 144, dLongitude, dLatitude);
    const CliRun run = RenderMapAt(dLatitude, dLongitude);
    ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
    const QImage png(Path(QStringLiteral("map.png")));
    constexpr int CENTRE_X = 240 / 2;
    constexpr int CENTRE_Y = (268 - 14) / 2;
    EXPECT_TRUE(Near(png.pixel(CENTRE_X - 8, CENTRE_Y - 8), BlockColour(272 - 8, 144 - 8)))
        << std::hex << png.pixel(CENTRE_X - 8, CENTRE_Y - 8);
}

TEST_F(MapImport, BadInputsFailWithAMessageAndLeaveNothingBehind)
{
    const QString strTiff = Path(QStringLiteral("chart.tif"));
    ASSERT_TRUE(WritePattern(strTiff, "GTiff", GRID_DEGREES, EPixels::Rgb));
    const QByteArray tiff = ReadAll(strTiff);
    const auto write = [&](const char* szName, const QByteArray& data) {
        QFile file(Path(QString::fromLatin1(szName)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        return file.fileName();
    };
    const QString strPng = Path(QStringLiteral("plain.png"));
    QImage(64, 64, QImage::Format_RGB32).save(strPng);
    const struct
    {
        const char* szName;
        QStringList args;
        const char* szMessage;
    } CASES[] = {
        {"a text file", {write("notes.txt", "not a map\n")}, "is no raster image that GDAL can read"},
        {"a PNG without georeference", {strPng}, "has no georeference"},
        {"a truncated GeoTIFF", {write("cut.tif", tiff.left(tiff.size() / 2))}, "cannot read"},
        {"a folder that cannot be made", {strTiff, "--dir", write("file", "x") + "/maps"}, "cannot create the folder"},
        {"more sheets than allowed", {strTiff, "--sheet", "256", "--resolution", "3.6,3.6", "--max-sheets", "5"},
         "the map would take 6 sheets, more than the 5 allowed"},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        QStringList args = QStringList {QStringLiteral("map-import")} + c.args;
        if (!args.contains(QStringLiteral("--dir")))
            args << QStringLiteral("--dir") << Out();
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.nExit, 1);
        EXPECT_TRUE(run.strErr.startsWith(QStringLiteral("veltrip-cli map-import: "))) << run.strErr.toStdString();
        EXPECT_TRUE(run.strErr.contains(QString::fromLatin1(c.szMessage))) << run.strErr.toStdString();
        EXPECT_EQ(Entries(Out()), QStringList());
    }
}

TEST_F(MapImport, AFullDiskIsFoundBeforeWriting)
{
    // A small tmpfs of our own, in a mount namespace of our own.
    const QString strTiff = Path(QStringLiteral("chart.tif"));
    ASSERT_TRUE(WritePattern(strTiff, "GTiff", GRID_DEGREES, EPixels::Rgb));
    ASSERT_TRUE(QDir().mkpath(Out()));
    const QString strScript = QStringLiteral(
        "mount -t tmpfs -o size=256k tmpfs \"$1\" || exit 77; shift; \"$@\"; rc=$?; ls -A \"$0\"; exit $rc");
    QProcess unshare;
    unshare.start(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), strScript,
                                              Out(), Out(), QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"),
                                              QStringLiteral("map-import"), strTiff, QStringLiteral("--dir"), Out()});
    const bool bRan = unshare.waitForFinished(60000) && unshare.exitStatus() == QProcess::NormalExit;
    const QString strErr = QString::fromLocal8Bit(unshare.readAllStandardError());
    if (!bRan || unshare.exitCode() == 77 || strErr.contains(QStringLiteral("unshare:")))
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << strErr.toStdString();
    EXPECT_EQ(unshare.exitCode(), 1);
    EXPECT_TRUE(strErr.contains(QStringLiteral("not enough free space in"))) << strErr.toStdString();
    EXPECT_EQ(unshare.readAllStandardOutput(), QByteArray());   // the tmpfs stayed empty
}

TEST_F(MapImport, BadArgumentsExitTwo)
{
    const QStringList CASES[] = {
        {QStringLiteral("map-import")},
        {QStringLiteral("map-import"), QStringLiteral("a.tif"), QStringLiteral("--sheet"), QStringLiteral("100")},
        {QStringLiteral("map-import"), QStringLiteral("a.tif"), QStringLiteral("--bbox"), QStringLiteral("1,2,3")},
        {QStringLiteral("map-import"), QStringLiteral("a.tif"), QStringLiteral("--resolution"), QStringLiteral("0")},
        {QStringLiteral("map-import"), QStringLiteral("a.tif"), QStringLiteral("--resolution"), QStringLiteral("6,0")},
        {QStringLiteral("map-import"), QStringLiteral("a.tif"), QStringLiteral("--resolution"), QStringLiteral("6,")},
        {QStringLiteral("map-import"), QStringLiteral("a.tif"), QStringLiteral("--resolution"), QStringLiteral("6,9,1")},
    };
    for (const QStringList& args : CASES) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        EXPECT_EQ(RunCli(args).nExit, 2);
    }
}

}
