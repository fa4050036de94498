// map-import of GeoTIFFs: beside gdalwarp warping the same source onto the
// same grid (CPU seconds of each child, wall beside them, and how far the
// sheets' pixels lie from gdalwarp's), and the peak memory of a 10000 x
// 10000 import against a 1000 x 1000 one: the warp streams strips, so the
// peak must not grow with the source.
#include "bench/BenchRun.h"
#include "map/CMapBitmap.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>
#include <vector>

namespace {

constexpr int BENCH_BIG_SIDE = 10000;
constexpr int BENCH_SMALL_SIDE = 1000;
constexpr int BENCH_QUICK_SIDE = 4000;
constexpr int BENCH_ROWS_PER_WRITE = 256;
constexpr int BENCH_PEER_RUNS = 3;
// Mean absolute difference per channel from gdalwarp's pixels, in levels.
constexpr double BENCH_MAX_MEAN_DIFFERENCE = 2.0;

// A source raster's grid: top-left corner and pixel size in the units of
// the EPSG coordinate system.
struct CBenchGrid
{
    int nEpsg;
    double dLeft;
    double dTop;
    double dStep;
};

// 1 arc-second pixels over the North Sea coast.
constexpr CBenchGrid BENCH_DEGREES {4326, 4.0, 53.0, 1.0 / 3600};
// 2.5 m pixels in UTM zone 32N, north-west Germany, a little off the zone's
// central meridian so the grid is turned against longitude and latitude.
constexpr CBenchGrid BENCH_UTM {32632, 500000.0, 5770000.0, 2.5};

// A tiled, compressed RGB GeoTIFF: blocks of colour that change every 100
// pixels in red, ramps in green and a fine texture in blue, so that both
// flat areas and detail are resampled; written in strips.
bool WriteGeoTiff(const QString& strPath, int nSide, const CBenchGrid& grid)
{
    GDALAllRegister();
    CPLStringList options;
    options.AddString("TILED=YES");
    options.AddString("COMPRESS=DEFLATE");
    GDALDatasetH hOut = GDALCreate(GDALGetDriverByName("GTiff"), QFile::encodeName(strPath).constData(), nSide,
                                   nSide, 3, GDT_Byte, options.List());
    if (!hOut)
        return false;
    double gt[6] = {grid.dLeft, grid.dStep, 0, grid.dTop, 0, -grid.dStep};
    GDALSetGeoTransform(hOut, gt);
    OGRSpatialReferenceH hSrs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(hSrs, grid.nEpsg);
    GDALSetSpatialRef(hOut, hSrs);
    OSRDestroySpatialReference(hSrs);
    std::vector<uint8_t> strip(size_t(nSide) * BENCH_ROWS_PER_WRITE * 3);
    bool bOk = true;
    for (int y0 = 0; y0 < nSide && bOk; y0 += BENCH_ROWS_PER_WRITE) {
        const int nRows = std::min(BENCH_ROWS_PER_WRITE, nSide - y0);
        for (int y = 0; y < nRows; ++y) {
            for (int x = 0; x < nSide; ++x) {
                uint8_t* p = &strip[(size_t(y) * nSide + x) * 3];
                p[0] = uint8_t(x / 100 * 37 + (y0 + y) / 100 * 11);
                p[1] = uint8_t(x * 3 + (y0 + y) * 5);
                p[2] = uint8_t(((x ^ (y0 + y)) & 0x3F) * 4);
            }
        }
        bOk = GDALDatasetRasterIO(hOut, GF_Write, 0, y0, nSide, nRows, strip.data(), nSide, nRows, GDT_Byte, 3,
                                  nullptr, 3, nSide * 3, 1)
              == CE_None;
    }
    GDALClose(hOut);
    return bOk;
}

// The folder of the runs' files, and in it the sources, each written once.
const QTemporaryDir& RunDir()
{
    static const QTemporaryDir s_dir;
    return s_dir;
}

QString Source(const char* szName, int nSide, const CBenchGrid& grid)
{
    const QString strPath = RunDir().filePath(QStringLiteral("%1%2.tif").arg(QLatin1String(szName)).arg(nSide));
    if (!QFile::exists(strPath) && !WriteGeoTiff(strPath, nSide, grid))
        QFile::remove(strPath);
    return strPath;
}

// A sheet as the catalogue reads it: its edges from the name, and its size.
struct CBenchSheet
{
    QString strPath;
    double dWest = 0;
    double dSouth = 0;
    double dEast = 0;
    double dNorth = 0;
    int nWidth = 0;
    int nHeight = 0;
};

std::vector<CBenchSheet> ReadSheets(const QString& strDir)
{
    std::vector<CBenchSheet> sheets;
    for (const QString& strName : QDir(strDir).entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        CBenchSheet sheet;
        sheet.strPath = QDir(strDir).filePath(strName);
        CMapBitmap map;
        map.m_path = sheet.strPath;
        map.ParseCalibration();
        sheet.dWest = map.m_lonMin;
        sheet.dSouth = map.m_latMin;
        sheet.dEast = map.m_lonMax;
        sheet.dNorth = map.m_latMax;
        GDALDatasetH hSheet = GDALOpen(QFile::encodeName(sheet.strPath).constData(), GA_ReadOnly);
        if (!hSheet)
            return {};
        sheet.nWidth = GDALGetRasterXSize(hSheet);
        sheet.nHeight = GDALGetRasterYSize(hSheet);
        GDALClose(hSheet);
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

// The grid all sheets lie on: its edges and its size in pixels.
struct CBenchExtent
{
    double dWest = 1e9;
    double dSouth = 1e9;
    double dEast = -1e9;
    double dNorth = -1e9;
    int nWidth = 0;
    int nHeight = 0;
};

CBenchExtent Extent(const std::vector<CBenchSheet>& sheets)
{
    CBenchExtent extent;
    for (const CBenchSheet& s : sheets) {
        extent.dWest = std::min(extent.dWest, s.dWest);
        extent.dSouth = std::min(extent.dSouth, s.dSouth);
        extent.dEast = std::max(extent.dEast, s.dEast);
        extent.dNorth = std::max(extent.dNorth, s.dNorth);
    }
    const CBenchSheet& first = sheets.front();
    // Each axis has a pitch of its own.
    const double dPitchAcross = (first.dEast - first.dWest) / first.nWidth;
    const double dPitchDown = (first.dNorth - first.dSouth) / first.nHeight;
    extent.nWidth = int(std::lround((extent.dEast - extent.dWest) / dPitchAcross));
    extent.nHeight = int(std::lround((extent.dNorth - extent.dSouth) / dPitchDown));
    return extent;
}

QStringList GdalwarpArgs(const QString& strSource, const CBenchExtent& e, const QString& strOut)
{
    // The command a user would type, onto the sheets' grid; what no source
    // pixel covers stays white, as in the sheets.
    return {QStringLiteral("-q"), QStringLiteral("-overwrite"), QStringLiteral("-r"), QStringLiteral("bilinear"),
            QStringLiteral("-t_srs"), QStringLiteral("EPSG:4326"), QStringLiteral("-te"),
            QString::number(e.dWest, 'g', 17), QString::number(e.dSouth, 'g', 17), QString::number(e.dEast, 'g', 17),
            QString::number(e.dNorth, 'g', 17), QStringLiteral("-ts"), QString::number(e.nWidth),
            QString::number(e.nHeight), QStringLiteral("-wo"), QStringLiteral("INIT_DEST=255"),
            QStringLiteral("-of"), QStringLiteral("BMP"), strSource, strOut};
}

// White, which the source's blue (at most 252) never is: no source pixel
// reaches there.
bool Uncovered(const uint8_t* pbyPixel)
{
    return pbyPixel[0] == 255 && pbyPixel[1] == 255 && pbyPixel[2] == 255;
}

// Mean absolute difference per channel (red, green, blue) between the sheet
// pixels and gdalwarp's pixels at the same places of the grid, where either
// has the source; false when a file cannot be read.
bool MeanDifference(const std::vector<CBenchSheet>& sheets, const CBenchExtent& e, const QString& strWarped,
                    std::array<double, 3>& mean)
{
    GDALDatasetH hWarped = GDALOpen(QFile::encodeName(strWarped).constData(), GA_ReadOnly);
    if (!hWarped)
        return false;
    std::array<double, 3> sum {};
    double dCount = 0;
    bool bOk = true;
    for (const CBenchSheet& s : sheets) {
        GDALDatasetH hSheet = GDALOpen(QFile::encodeName(s.strPath).constData(), GA_ReadOnly);
        const int nLeft = int(std::lround((s.dWest - e.dWest) / ((s.dEast - s.dWest) / s.nWidth)));
        const int nTop = int(std::lround((e.dNorth - s.dNorth) / ((s.dNorth - s.dSouth) / s.nHeight)));
        std::vector<uint8_t> ours(size_t(s.nWidth) * 3);
        std::vector<uint8_t> theirs(size_t(s.nWidth) * 3);
        for (int y = 0; y < s.nHeight && hSheet && bOk; ++y) {
            bOk = GDALDatasetRasterIO(hSheet, GF_Read, 0, y, s.nWidth, 1, ours.data(), s.nWidth, 1, GDT_Byte, 3,
                                      nullptr, 3, 0, 1)
                      == CE_None
                  && GDALDatasetRasterIO(hWarped, GF_Read, nLeft, nTop + y, s.nWidth, 1, theirs.data(), s.nWidth, 1,
                                         GDT_Byte, 3, nullptr, 3, 0, 1)
                         == CE_None;
            for (size_t i = 0; i < ours.size(); i += 3) {
                if (Uncovered(&ours[i]) && Uncovered(&theirs[i]))
                    continue;
                for (size_t c = 0; c < 3; ++c)
                    sum[c] += std::abs(int(ours[i + c]) - int(theirs[i + c]));
                ++dCount;
            }
        }
        bOk = bOk && hSheet;
        if (hSheet)
            GDALClose(hSheet);
    }
    GDALClose(hWarped);
    for (size_t c = 0; c < 3; ++c)
        mean[c] = dCount > 0 ? sum[c] / dCount : 0;
    return bOk && dCount > 0;
}

// One repetition: veltrip-cli's import, then gdalwarp of the same source
// onto the grid of its sheets, each a whole process; the CPU seconds are the
// children's own (wait4), which a busy machine does not inflate as it does
// the wall time. The pixel check runs once, outside the figures.
void BM_MapImportBesideGdalwarp(benchmark::State& state)
{
    const QString strGdalwarp = BenchPeer(state, "gdalwarp");
    const QString strSource = Source("utm", int(state.range(0)), BENCH_UTM);
    if (strGdalwarp.isEmpty())
        return;
    if (!QFile::exists(strSource)) {
        state.SkipWithError("cannot write the GeoTIFF");
        return;
    }
    const QString strSheets = RunDir().filePath(QStringLiteral("sheets%1").arg(state.range(0)));
    const QString strWarped = RunDir().filePath(QStringLiteral("gdalwarp%1.bmp").arg(state.range(0)));
    CPeakRun ours;
    CPeakRun theirs;
    CBenchExtent extent;
    std::vector<CBenchSheet> sheets;
    for (auto _ : state) {
        QDir(strSheets).removeRecursively();
        ours = RunForPeakMemory(BenchCli(), {QStringLiteral("map-import"), strSource, QStringLiteral("--dir"), strSheets});
        sheets = ReadSheets(strSheets);
        if (ours.nExit != 0 || sheets.empty()) {
            state.SkipWithError("veltrip-cli map-import failed");
            return;
        }
        extent = Extent(sheets);
        theirs = RunForPeakMemory(strGdalwarp, GdalwarpArgs(strSource, extent, strWarped));
        if (theirs.nExit != 0) {
            state.SkipWithError("gdalwarp failed");
            return;
        }
        state.SetIterationTime(ours.dWallSeconds);
    }
    std::array<double, 3> mean {};
    if (!MeanDifference(sheets, extent, strWarped, mean)) {
        state.SkipWithError("cannot compare the sheets with gdalwarp's output");
        return;
    }
    if (*std::max_element(mean.begin(), mean.end()) > BENCH_MAX_MEAN_DIFFERENCE)
        state.SkipWithError("the sheets differ from gdalwarp's pixels by more than 2 levels");
    state.counters["cpu_s"] = ours.dCpuSeconds;
    state.counters["gdalwarp_cpu_s"] = theirs.dCpuSeconds;
    state.counters["gdalwarp_wall_s"] = theirs.dWallSeconds;
    state.counters["cpu_ratio"] = ours.dCpuSeconds / theirs.dCpuSeconds;
    state.counters["out_Mpixels"] = double(extent.nWidth) * extent.nHeight / 1e6;
    state.counters["diff_red"] = mean[0];
    state.counters["diff_green"] = mean[1];
    state.counters["diff_blue"] = mean[2];
}
BENCHMARK(BM_MapImportBesideGdalwarp)
    ->Arg(BENCH_QUICK_SIDE)
    ->Arg(BENCH_BIG_SIDE)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(BENCH_PEER_RUNS);

void BM_MapImportGeoTiff(benchmark::State& state)
{
    const QString strBig = Source("degrees", BENCH_BIG_SIDE, BENCH_DEGREES);
    const QString strSmall = Source("degrees", BENCH_SMALL_SIDE, BENCH_DEGREES);
    if (!QFile::exists(strBig) || !QFile::exists(strSmall)) {
        state.SkipWithError("cannot write the GeoTIFFs");
        return;
    }
    for (auto _ : state) {
        const CPeakRun small = RunForPeakMemory(
            BenchCli(), {QStringLiteral("map-import"), strSmall, QStringLiteral("--dir"), RunDir().filePath("s")});
        QElapsedTimer timer;
        timer.start();
        const CPeakRun big = RunForPeakMemory(
            BenchCli(), {QStringLiteral("map-import"), strBig, QStringLiteral("--dir"), RunDir().filePath("b")});
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (small.nExit != 0 || big.nExit != 0)
            state.SkipWithError("veltrip-cli map-import failed");
        state.counters["small_peak_MiB"] = double(small.nPeakKiB) / BENCH_RUN_KIB_PER_MIB;
        state.counters["peak_MiB"] = double(big.nPeakKiB) / BENCH_RUN_KIB_PER_MIB;
        state.counters["growth_MiB"] = double(big.nPeakKiB - small.nPeakKiB) / BENCH_RUN_KIB_PER_MIB;
        state.counters["cpu_s"] = big.dCpuSeconds;
    }
    state.counters["source_Mpixels"] = double(BENCH_BIG_SIDE) * BENCH_BIG_SIDE / 1e6;
}
BENCHMARK(BM_MapImportGeoTiff)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}

BENCHMARK_MAIN();
