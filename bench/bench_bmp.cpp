// Loading an 8000 x 8000 24-bit map: the loader against one plain read of the
// same pixel bytes and against Qt's own BMP reader.
#include "map/DibFile.h"
#include "platform/InputFile.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int BENCH_SIDE = 8000;
constexpr size_t BENCH_STRIDE = (BENCH_SIDE * 24 + 31) / 32 * 4;
constexpr size_t BENCH_PIXEL_OFFSET = 54;

// The map file, written once per run in a temporary folder.
const QString& MapFile()
{
    static QTemporaryDir dir;
    static const QString strPath = [] {
        const QString strFile = dir.filePath(QStringLiteral("X4G0M_6G0MY52G0M_53G0M.bmp"));
        QImage image(BENCH_SIDE, BENCH_SIDE, QImage::Format_BGR888);
        for (int y = 0; y < BENCH_SIDE; ++y) {
            uint8_t* p = image.scanLine(y);
            for (size_t i = 0; i < BENCH_STRIDE; ++i)
                p[i] = uint8_t(i * 7 + size_t(y) * 13);
        }
        if (!image.save(strFile, "BMP"))
            qFatal("cannot write the benchmark map");
        return strFile;
    }();
    return strPath;
}

void SetBytes(benchmark::State& state)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(BENCH_STRIDE) * BENCH_SIDE);
}

void BM_LoadMap24(benchmark::State& state)
{
    const QString& strPath = MapFile();
    for (auto _ : state) {
        QImage image;
        if (!CreateDibFromFile(&image, strPath))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.constBits());
    }
    SetBytes(state);
}

// The floor: one read of all pixel bytes from the file into freshly
// allocated memory, as the loader's reads would be without row handling.
void BM_ReadPixels(benchmark::State& state)
{
    CInputFile file;
    if (file.Open(MapFile()) != CInputFile::EOpen::Ok) {
        state.SkipWithError("cannot open the file");
        return;
    }
    const size_t nBytes = BENCH_STRIDE * BENCH_SIDE;
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[nBytes]);
        if (file.ReadAt(BENCH_PIXEL_OFFSET, pixels.get(), nBytes) != ptrdiff_t(nBytes))
            state.SkipWithError("short read");
        benchmark::DoNotOptimize(pixels.get());
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}

void BM_QtBmpReader(benchmark::State& state)
{
    const QString& strPath = MapFile();
    QImageReader::setAllocationLimit(0);   // the decoded map is 244 MiB
    for (auto _ : state) {
        QImage image(strPath, "BMP");
        if (image.isNull())
            state.SkipWithError("Qt could not read the file");
        benchmark::DoNotOptimize(image.constBits());
    }
    SetBytes(state);
}

}

BENCHMARK(BM_LoadMap24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadPixels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtBmpReader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
