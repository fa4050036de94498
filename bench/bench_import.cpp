// GPX and KML File Open and the trip statistics on a day's drive, and the
// reading of a 1,000,000-point file beside GPSBabel reading the same file.
#include "bench/BenchRun.h"
#include "track/GpxExport.h"
#include "track/KmlExport.h"
#include "track/TripStats.h"
#include "track/XmlTrackReader.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <atomic>
#include <map>
#include <thread>

namespace {

constexpr int BENCH_POINTS = 200000;
constexpr int BENCH_BIG_POINTS = 1000000;
constexpr int BENCH_BUSY_THREADS = 2;

// One point a second, a placemark every 1000 points.
const CTrackPointList& Track(int nPoints = BENCH_POINTS)
{
    static std::map<int, CTrackPointList> s_tracks;
    CTrackPointList& points = s_tracks[nPoints];
    if (points.empty()) {
        CTrackPointList& list = points;
        for (int i = 0; i < nPoints; ++i) {
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
    }
    return points;
}

// Reads a file of the track as File Open does, written by our own writer.
void ReadBack(benchmark::State& state, const QString& strPath, int nTrackPoints = BENCH_POINTS)
{
    size_t nPoints = 0;
    for (auto _ : state) {
        CTrackPointList points;
        size_t nSkipped = 0;
        benchmark::DoNotOptimize(LoadXmlTrackFile(strPath, 0, points, nSkipped));
        nPoints = points.size();
    }
    if (nPoints < size_t(nTrackPoints))
        state.SkipWithError("not every point read back");
    state.SetItemsProcessed(state.iterations() * nTrackPoints);
    state.SetBytesProcessed(state.iterations() * QFileInfo(strPath).size());
}

// The 1,000,000-point track as GPX or KML, written once for all the runs.
QString BigFile(const QString& strFormat)
{
    static QTemporaryDir s_dir;
    const QString strPath = s_dir.filePath(QStringLiteral("big.") + strFormat);
    if (!QFileInfo::exists(strPath)) {
        if (strFormat == QLatin1String("gpx"))
            WriteGpx(strPath, Track(BENCH_BIG_POINTS));
        else
            WriteKml(strPath, Track(BENCH_BIG_POINTS), true);
    }
    return strPath;
}

void BM_GpxRead1M(benchmark::State& state)
{
    ReadBack(state, BigFile(QStringLiteral("gpx")), BENCH_BIG_POINTS);
}
// Measured in CPU time, as GPSBabel's cpu_s below: on a busy machine the
// waits for a core would otherwise decide the comparison. The process's, as
// a file this large is read in two halves on two threads.
BENCHMARK(BM_GpxRead1M)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();

void BM_KmlRead1M(benchmark::State& state)
{
    ReadBack(state, BigFile(QStringLiteral("kml")), BENCH_BIG_POINTS);
}
BENCHMARK(BM_KmlRead1M)->Unit(benchmark::kMillisecond)->Iterations(3);

// GPSBabel reading the same file without writing anything: the filter drops
// every point it read before the output.
void ReadWithGpsBabel(benchmark::State& state, const QString& strFormat)
{
    const QString strPath = BigFile(strFormat);
    BenchRunEach(state, BenchPeer(state, "gpsbabel"),
                 {QStringLiteral("-i"), strFormat, QStringLiteral("-f"), strPath, QStringLiteral("-x"),
                  QStringLiteral("nuketypes,waypoints,tracks,routes"), QStringLiteral("-o"), QStringLiteral("gpx"),
                  QStringLiteral("-F"), QStringLiteral("/dev/null")});
    state.SetItemsProcessed(state.iterations() * BENCH_BIG_POINTS);
    state.SetBytesProcessed(state.iterations() * QFileInfo(strPath).size());
}

// veltrip-cli info of the same file: start-up, reading and the statistics,
// the whole process as GPSBabel's.
void BM_InfoGpx1M(benchmark::State& state)
{
    BenchRunEach(state, BenchCli(), {QStringLiteral("info"), BigFile(QStringLiteral("gpx"))});
}
BENCHMARK(BM_InfoGpx1M)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);

void BM_GpsBabelGpx1M(benchmark::State& state)
{
    ReadWithGpsBabel(state, QStringLiteral("gpx"));
}
BENCHMARK(BM_GpsBabelGpx1M)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);

// Both cores kept busy the whole time by two threads that only spin, as
// other programs would: whole processes side by side again, so that a
// reader that needs a free core shows it.
class CBusyCores
{
public:
    CBusyCores()
    {
        for (std::thread& thread : m_threads)
            thread = std::thread([this] {
                for (uint64_t nSpins = 0; !m_bStop.load(std::memory_order_relaxed); ++nSpins)
                    benchmark::DoNotOptimize(nSpins);
            });
    }
    ~CBusyCores()
    {
        m_bStop = true;
        for (std::thread& thread : m_threads)
            thread.join();
    }
    CBusyCores(const CBusyCores&) = delete;
    CBusyCores& operator=(const CBusyCores&) = delete;

private:
    std::atomic<bool> m_bStop = false;
    std::thread m_threads[BENCH_BUSY_THREADS];
};

void BM_InfoGpx1MBothCoresBusy(benchmark::State& state)
{
    const QString strPath = BigFile(QStringLiteral("gpx"));
    const CBusyCores busy;
    BenchRunEach(state, BenchCli(), {QStringLiteral("info"), strPath});
}
BENCHMARK(BM_InfoGpx1MBothCoresBusy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);

void BM_GpsBabelGpx1MBothCoresBusy(benchmark::State& state)
{
    BigFile(QStringLiteral("gpx"));
    const CBusyCores busy;
    ReadWithGpsBabel(state, QStringLiteral("gpx"));
}
BENCHMARK(BM_GpsBabelGpx1MBothCoresBusy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);

void BM_GpsBabelKml1M(benchmark::State& state)
{
    ReadWithGpsBabel(state, QStringLiteral("kml"));
}
BENCHMARK(BM_GpsBabelKml1M)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

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
