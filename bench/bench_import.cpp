// GPX and KML File Open and the trip statistics on a day's drive.
#include "track/GpxExport.h"
#include "track/KmlExport.h"
#include "track/TripStats.h"
#include "track/XmlTrackReader.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>


namespace {

constexpr int BENCH_POINTS = 200000;

// One point a second, a placemark every 1000 points.
const CTrackPointList& Track()
{
    static const CTrackPointList points = [] {
        CTrackPointList list;
        for (int i = 0; i < BENCH_POINTS; ++i) {
            CTrackPoint& point = list.emplace_back();
            point.m_fLatitude = 52.0f + float(i) * 1e-5f;
            point.m_fLongitude = 4.0f + float(i) * 2e-5f;
            point.m_fAltitude = float(i % 500);
            point.m_fSpeed = float(i % 70);
            point.m_byHour = uint8_t(i / 3600 % 24);
            point.m_byMinute = uint8_t(i / 60 % 60);
            point.m_bySecond = uint8_t(i % 60);
            if (i % 1000 == 0)
                point.m_strName = QStringLiteral("Placemark %1").arg(i);
        }
        return list;
    }();
    return points;
}

// Reads a file of the track as File Open does, written by our own writer.
void ReadBack(benchmark::State& state, const QString& strPath)
{
    size_t nPoints = 0;
    for (auto _ : state) {
        CTrackPointList points;
        size_t nSkipped = 0;
        benchmark::DoNotOptimize(LoadXmlTrackFile(strPath, 0, points, nSkipped));
        nPoints = points.size();
    }
    if (nPoints < size_t(BENCH_POINTS))
        state.SkipWithError("not every point read back");
    state.SetItemsProcessed(state.iterations() * BENCH_POINTS);
    state.SetBytesProcessed(state.iterations() * QFileInfo(strPath).size());
}

void BM_GpxRead(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("track.gpx"));
    WriteGpx(strPath, Track());
    ReadBack(state, strPath);
}
BENCHMARK(BM_GpxRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KmlRead(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("track.kml"));
    WriteKml(strPath, Track(), false);
    ReadBack(state, strPath);
}
BENCHMARK(BM_KmlRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TripStatistics(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(TripStatistics(Track()));
    state.SetItemsProcessed(state.iterations() * BENCH_POINTS);
}
BENCHMARK(BM_TripStatistics)->Unit(benchmark::kMillisecond)->UseRealTime();

}

BENCHMARK_MAIN();
