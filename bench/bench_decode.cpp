#include "gps/CGpsTracker.h"

#include <QDir>
#include <QFile>
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

}

BENCHMARK_MAIN();
