// Decoding in the process, and the tools on the corpus 75 times over beside
// their peers: decode against gpsdecode, record against GPSBabel's NMEA to
// GPX.
#include "bench/BenchRun.h"
#include "gps/CGpsTracker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <string>

namespace {

// Every capture of the shared NMEA corpus, one after the other.
std::string CorpusBytes()
{
    const QDir dir(QStringLiteral(VELTRIP_SHARED_DIR "/corpus/nmea"));
    std::string bytes;
    for (const QString& strName : dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(strName));
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll().toStdString();
    }
    return bytes;
}

// Throughput of assembly plus decoding, the corpus repeated; one tick per
// pass, as the port drain sees a full queue.
void BM_DecodeCorpus(benchmark::State& state)
{
    const std::string corpus = CorpusBytes();
    if (corpus.empty()) {
        state.SkipWithError("NMEA corpus not found beside the checkout");
        return;
    }
    CGpsTracker tracker;
    for (auto _ : state) {
        tracker.BeginTick();
        tracker.AssembleBytes(corpus.data(), corpus.size(), 0);
        benchmark::DoNotOptimize(tracker.m_fLatitude);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(corpus.size()));
}
BENCHMARK(BM_DecodeCorpus)->Unit(benchmark::kMillisecond);

constexpr int BENCH_CORPUS_COPIES = 75;
constexpr int BENCH_TOOL_RUNS = 5;

// The folder of the runs' files, and in it the corpus 75 times over (51 MB),
// written once for all the runs.
const QTemporaryDir& RunDir()
{
    static const QTemporaryDir s_dir;
    return s_dir;
}

QString BigCapture()
{
    const QString strPath = RunDir().filePath(QStringLiteral("corpus75.nmea"));
    if (!QFile::exists(strPath)) {
        const std::string corpus = CorpusBytes();
        QFile file(strPath);
        if (file.open(QIODevice::WriteOnly))
            for (int i = 0; i < BENCH_CORPUS_COPIES; ++i)
                file.write(corpus.data(), qint64(corpus.size()));
    }
    return strPath;
}

void BM_DecodeTool(benchmark::State& state)
{
    BenchRunEach(state, BenchCli(), {QStringLiteral("decode"), BigCapture()});
}
BENCHMARK(BM_DecodeTool)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(BENCH_TOOL_RUNS);

void BM_GpsDecode(benchmark::State& state)
{
    BenchRunEach(state, BenchPeer(state, "gpsdecode"), {}, BigCapture());
}
BENCHMARK(BM_GpsDecode)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(BENCH_TOOL_RUNS);

// A new log every run: record never replaces one. The program's own size is
// the peak of a record of a single line.
void BM_RecordTool(benchmark::State& state)
{
    const QString strBase = RunDir().filePath(QStringLiteral("log"));
    QFile::remove(strBase + QStringLiteral(".gpd"));
    QFile::remove(strBase + QStringLiteral(".kml"));
    BenchRunEach(state, BenchCli(), {QStringLiteral("record"), BigCapture(), strBase});
    const QString strTiny = RunDir().filePath(QStringLiteral("tiny.nmea"));
    QFile tiny(strTiny);
    if (tiny.open(QIODevice::WriteOnly))
        tiny.write("$GPRMC,120000,A,5230.0000,N,00415.0000,E,3.0,90.0,071226,,*00\r\n");
    tiny.close();
    const CPeakRun start = RunForPeakMemory(BenchCli(), {QStringLiteral("record"), strTiny,
                                                         RunDir().filePath(QStringLiteral("tiny"))});
    state.counters["startup_MiB"] = double(start.nPeakKiB) / BENCH_RUN_KIB_PER_MIB;
}
BENCHMARK(BM_RecordTool)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(BENCH_TOOL_RUNS);

void BM_GpsBabelNmeaToGpx(benchmark::State& state)
{
    BenchRunEach(state, BenchPeer(state, "gpsbabel"),
                 {QStringLiteral("-i"), QStringLiteral("nmea"), QStringLiteral("-f"), BigCapture(),
                  QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"),
                  RunDir().filePath(QStringLiteral("babel.gpx"))});
}
BENCHMARK(BM_GpsBabelNmeaToGpx)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(BENCH_TOOL_RUNS);

}

BENCHMARK_MAIN();
