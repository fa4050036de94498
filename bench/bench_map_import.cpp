// map-import of a 10000 x 10000 GeoTIFF: the time, and the peak memory of the
// veltrip-cli run against the same import of a 1000 x 1000 GeoTIFF. The warp
// streams strips of each sheet, so the peak must not grow with the source.
#include "tests/common/PeakMemory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>
#include <vector>

namespace {

constexpr int BENCH_BIG_SIDE = 10000;
constexpr int BENCH_SMALL_SIDE = 1000;
constexpr int BENCH_ROWS_PER_WRITE = 256;
constexpr double BENCH_KIB_PER_MIB = 1024.0;

const QString CLI = QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli");

// A tiled, compressed RGB GeoTIFF of 1 arc-second pixels over the North Sea
// coast, bands of colour that change every 100 pixels; written in strips.
bool WriteGeoTiff(const QString& strPath, int nSide)
{
    GDALAllRegister();
    CPLStringList options;
    options.AddString("TILED=YES");
    options.AddString("COMPRESS=DEFLATE");
    GDALDatasetH hOut = GDALCreate(GDALGetDriverByName("GTiff"), QFile::encodeName(strPath).constData(), nSide,
                                   nSide, 3, GDT_Byte, options.List());
    if (!hOut)
        return false;
    double gt[6] = {4.0, 1.0 / 3600, 0, 53.0, 0, -1.0 / 3600};
    GDALSetGeoTransform(hOut, gt);
    OGRSpatialReferenceH hSrs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(hSrs, 4326);
    GDALSetSpatialRef(hOut, hSrs);
    OSRDestroySpatialReference(hSrs);
    std::vector<uint8_t> strip(size_t(nSide) * BENCH_ROWS_PER_WRITE * 3);
    bool bOk = true;
    for (int y0 = 0; y0 < nSide && bOk; y0 += BENCH_ROWS_PER_WRITE) {
        const int nRows = std::min(BENCH_ROWS_PER_WRITE, nSide - y0);
        for (int y = 0; y < nRows; ++y) {
            for (int x = 0; x < nSide; ++x) {
                uint8_t* p = &strip[(size_t(y) * nSide + x) * 3];
                p[0] = uint8_t(x / 100 * 37);
                p[1] = uint8_t((y0 + y) / 100 * 53);
                p[2] = uint8_t((x + y0 + y) / 100 * 11);
            }
        }
        bOk = GDALDatasetRasterIO(hOut, GF_Write, 0, y0, nSide, nRows, strip.data(), nSide, nRows, GDT_Byte, 3,
                                  nullptr, 3, nSide * 3, 1)
              == CE_None;
    }
    GDALClose(hOut);
    return bOk;
}

void BM_MapImportGeoTiff(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strBig = dir.filePath(QStringLiteral("big.tif"));
    const QString strSmall = dir.filePath(QStringLiteral("small.tif"));
    if (!WriteGeoTiff(strBig, BENCH_BIG_SIDE) || !WriteGeoTiff(strSmall, BENCH_SMALL_SIDE)) {
        state.SkipWithError("cannot write the GeoTIFFs");
        return;
    }
    for (auto _ : state) {
        const CPeakRun small = RunForPeakMemory(
            CLI, {QStringLiteral("map-import"), strSmall, QStringLiteral("--dir"), dir.filePath(QStringLiteral("s"))});
        QElapsedTimer timer;
        timer.start();
        const CPeakRun big = RunForPeakMemory(
            CLI, {QStringLiteral("map-import"), strBig, QStringLiteral("--dir"), dir.filePath(QStringLiteral("b"))});
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (small.nExit != 0 || big.nExit != 0)
            state.SkipWithError("veltrip-cli map-import failed");
        state.counters["small_peak_MiB"] = double(small.nPeakKiB) / BENCH_KIB_PER_MIB;
        state.counters["peak_MiB"] = double(big.nPeakKiB) / BENCH_KIB_PER_MIB;
        state.counters["growth_MiB"] = double(big.nPeakKiB - small.nPeakKiB) / BENCH_KIB_PER_MIB;
    }
    state.counters["source_Mpixels"] = double(BENCH_BIG_SIDE) * BENCH_BIG_SIDE / 1e6;
}
BENCHMARK(BM_MapImportGeoTiff)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}

BENCHMARK_MAIN();
