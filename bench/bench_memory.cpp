// Peak memory of the command-line tools on big inputs, against the same
// command on a tiny input (the program's own start-up size): 'record' on a
// 200 MB capture, and 'info' (File Open's reader) on a 1 M-point GPD track,
// beside the heap the track list itself takes.
#include "tests/common/PeakMemory.h"
#include "track/CTrackPoint.h"
#include "track/GpdFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

constexpr qint64 BENCH_CAPTURE_BYTES = 200LL * 1000 * 1000;
constexpr int BENCH_TRACK_POINTS = 1000000;
constexpr double BENCH_KIB_PER_MIB = 1024.0;

const QString CLI = QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli");

QByteArray FixLines(int nSecond, const char* pszHdop)
{
    const QString strTime = QString::asprintf("%02d%02d%02d", nSecond / 3600 % 24, nSecond / 60 % 60, nSecond % 60);
    return QStringLiteral("$GPRMC,%1,A,5230.0000,N,00415.0000,E,3.0,90.0,071226,,*00\r\n"
                          "$GPGGA,%1,5230.0000,N,00415.0000,E,1,08,%2,12.5,M,,,,*00\r\n")
        .arg(strTime, QLatin1String(pszHdop))
        .toLatin1();
}

void Report(benchmark::State& state, const CPeakRun& tiny, const CPeakRun& big)
{
    if (tiny.nExit != 0 || big.nExit != 0)
        state.SkipWithError("veltrip-cli failed");
    state.counters["startup_MiB"] = double(tiny.nPeakKiB) / BENCH_KIB_PER_MIB;
    state.counters["peak_MiB"] = double(big.nPeakKiB) / BENCH_KIB_PER_MIB;
    state.counters["growth_MiB"] = double(big.nPeakKiB - tiny.nPeakKiB) / BENCH_KIB_PER_MIB;
}

// A day of fixes at 3 knots over and over; one point a minute is stored.
void BM_RecordPeakMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strBig = dir.filePath(QStringLiteral("big.nmea"));
    const QString strTiny = dir.filePath(QStringLiteral("tiny.nmea"));
    {
        QByteArray day;
        for (int s = 0; s < 24 * 3600; ++s)
            day += FixLines(s, "1.0");
        QFile big(strBig);
        QFile tiny(strTiny);
        if (!big.open(QIODevice::WriteOnly) || !tiny.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the captures");
            return;
        }
        while (big.size() < BENCH_CAPTURE_BYTES)
            big.write(day);
        tiny.write(FixLines(0, "1.0"));
    }
    for (auto _ : state) {
        const CPeakRun tiny = RunForPeakMemory(CLI, {QStringLiteral("record"), strTiny, dir.filePath(QStringLiteral("t"))});
        const CPeakRun big = RunForPeakMemory(CLI, {QStringLiteral("record"), strBig, dir.filePath(QStringLiteral("b"))});
        Report(state, tiny, big);
    }
    state.counters["capture_MB"] = double(BENCH_CAPTURE_BYTES) / 1e6;
}
BENCHMARK(BM_RecordPeakMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_OpenTrackPeakMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strBig = dir.filePath(QStringLiteral("big.gpd"));
    const QString strTiny = dir.filePath(QStringLiteral("tiny.gpd"));
    {
        const CTrackPointList points(static_cast<size_t>(BENCH_TRACK_POINTS));
        if (!WriteGpdFile(strBig, points) || !WriteGpdFile(strTiny, CTrackPointList(1))) {
            state.SkipWithError("cannot write the tracks");
            return;
        }
    }
    for (auto _ : state) {
        const CPeakRun tiny = RunForPeakMemory(CLI, {QStringLiteral("info"), strTiny});
        const CPeakRun big = RunForPeakMemory(CLI, {QStringLiteral("info"), strBig});
        Report(state, tiny, big);
    }
    // The list alone, as File Open builds it.
    malloc_trim(0);
    const size_t nBefore = mallinfo2().uordblks;
    CTrackPointList points;
    size_t nSkipped = 0;
    LoadGpdFile(strBig, 0, points, nSkipped);
    state.counters["list_MiB"] = double(mallinfo2().uordblks - nBefore) / (BENCH_KIB_PER_MIB * 1024);
}
BENCHMARK(BM_OpenTrackPeakMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}

BENCHMARK_MAIN();
