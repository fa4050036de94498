#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "track/CTrackRecorder.h"
#include "track/GpdFile.h"
#include "track/KmlExport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

constexpr int BENCH_POINTS = 1000000;

// A day's drive: one point a second, a placemark every 1000 points.
CTrackPointList MakeTrack()
{
    CTrackPointList points;
    for (int i = 0; i < BENCH_POINTS; ++i) {
        CTrackPoint& point = points.emplace_back();
        point.m_fLatitude = 52.0f + float(i) * 1e-6f;
        point.m_fLongitude = 4.0f + float(i) * 2e-6f;
        point.m_fAltitude = float(i % 500);
        point.m_fSpeed = float(i % 70);
        point.m_fCourse = float(i % 360);
        point.m_fHdop = 1.2f;
        point.m_byHour = uint8_t(i / 3600 % 24);
        point.m_byMinute = uint8_t(i / 60 % 60);
        point.m_bySecond = uint8_t(i % 60);
        if (i % 1000 == 0)
            point.m_strName = QStringLiteral("Placemark %1").arg(i);
    }
    return points;
}

const CTrackPointList& Track()
{
    static const CTrackPointList points = MakeTrack();
    return points;
}

void BM_GpdWrite(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("track.gpd"));
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteGpdFile(strPath, Track()));
    state.SetItemsProcessed(state.iterations() * BENCH_POINTS);
    state.SetBytesProcessed(state.iterations() * QFileInfo(strPath).size());
}
BENCHMARK(BM_GpdWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// File Open's work: the file read and every record added to a list.
void BM_GpdRead(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("track.gpd"));
    WriteGpdFile(strPath, Track());
    for (auto _ : state) {
        CTrackPointList points;
        size_t nSkipped = 0;
        benchmark::DoNotOptimize(LoadGpdFile(strPath, 0, points, nSkipped));
        if (points.size() != size_t(BENCH_POINTS))
            state.SkipWithError("not every point read back");
    }
    state.SetItemsProcessed(state.iterations() * BENCH_POINTS);
}
BENCHMARK(BM_GpdRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KmlExport(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("track.kml"));
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteKml(strPath, Track(), false));
    state.SetItemsProcessed(state.iterations() * BENCH_POINTS);
    state.SetBytesProcessed(state.iterations() * QFileInfo(strPath).size());
}
BENCHMARK(BM_KmlExport)->Unit(benchmark::kMillisecond)->UseRealTime();

// One stored point reaching the device: a record write and its flush.
void BM_LogRecord(benchmark::State& state)
{
    QTemporaryDir dir;
    qputenv("VELTRIP_STORAGE_CARD", dir.path().toLocal8Bit());
    QDir(dir.path()).mkpath(QStringLiteral("GPS"));
    const CTrackerSettings settings;
    CGpsTracker tracker;
    CTrackPointList points;
    CTrackRecorder recorder(tracker, points, settings);
    tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
    for (auto _ : state)
        benchmark::DoNotOptimize(recorder.StoreTrackPoint());
    recorder.EndLog();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogRecord)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Heap taken by the track per stored point (the list's blocks included).
void BM_MemoryPerPoint(benchmark::State& state)
{
    double dBytesPerPoint = 0;
    for (auto _ : state) {
        const size_t nBefore = mallinfo2().uordblks;
        {
            CTrackPointList points;
            for (int i = 0; i < BENCH_POINTS; ++i)
                points.emplace_back().m_fLatitude = float(i);
            dBytesPerPoint = double(mallinfo2().uordblks - nBefore) / BENCH_POINTS;
            benchmark::DoNotOptimize(points);
        }
    }
    state.counters["bytes_per_point"] = dBytesPerPoint;
    state.counters["sizeof_point"] = double(sizeof(CTrackPoint));
}
BENCHMARK(BM_MemoryPerPoint)->Unit(benchmark::kMillisecond)->Iterations(1);

}

BENCHMARK_MAIN();
