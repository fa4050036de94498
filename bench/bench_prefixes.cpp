// Reading a 5 MB GPX whose root declares 45,000 namespace prefixes, each
// point using two of them, beside a plain 5 MB GPX: checking a prefixed name
// costs the same however many prefixes are declared, so the first takes at
// most twice as long as the second.
#include "track/XmlTrackReader.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

constexpr size_t BENCH_FILE_BYTES = 5'000'000;
constexpr int BENCH_DECLARATIONS = 45'000;

std::string Declarations()
{
    std::string text;
    for (int i = 0; i < BENCH_DECLARATIONS; ++i)
        text += " xmlns:p" + std::to_string(i) + "=\"u" + std::to_string(i) + '"';
    return text;
}

// A GPX of track points up to 5 MB; point gives the rest of a point after
// its latitude.
template <typename Point>
QString WriteFile(const QString& strName, const std::string& rootAttributes, Point point)
{
    static QTemporaryDir s_dir;
    const QString strPath = s_dir.filePath(strName);
    std::string text = "<gpx" + rootAttributes + "><trk><trkseg>\n";
    for (int i = 0; text.size() < BENCH_FILE_BYTES; ++i)
        text += "<trkpt lat=\"52." + std::to_string(100000 + i) + "\" lon=\"4.1\"" + point(i) + "\n";
    text += "</trkseg></trk></gpx>\n";
    QFile file(strPath);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.data(), qint64(text.size()));
    return strPath;
}

void ReadFile(benchmark::State& state, const QString& strPath)
{
    for (auto _ : state) {
        CTrackPointList points;
        size_t nSkipped = 0;
        if (!LoadXmlTrackFile(strPath, 0, points, nSkipped))
            state.SkipWithError("the file was not read");
        state.counters["points"] = double(points.size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(strPath).size());
}

void BM_PlainGpx5MB(benchmark::State& state)
{
    // As a receiver's track is saved: altitude and time.
    static const QString s_strPath = WriteFile(QStringLiteral("plain.gpx"), {}, [](int i) {
        return "><ele>" + std::to_string(i % 500) + ".0</ele><time>2026-12-07T" + std::to_string(10 + i / 3600 % 10)
               + ':' + std::to_string(10 + i / 60 % 50) + ':' + std::to_string(10 + i % 50) + "Z</time></trkpt>";
    });
    ReadFile(state, s_strPath);
}
BENCHMARK(BM_PlainGpx5MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrefixedGpx5MB(benchmark::State& state)
{
    static const QString s_strPath = WriteFile(QStringLiteral("prefixed.gpx"), Declarations(), [](int) {
        static std::mt19937 s_random(1);
        std::uniform_int_distribution<int> prefix(0, BENCH_DECLARATIONS - 1);
        return " p" + std::to_string(prefix(s_random)) + ":a=\"1\" p" + std::to_string(prefix(s_random))
               + ":b=\"2\"/>";
    });
    ReadFile(state, s_strPath);
}
BENCHMARK(BM_PrefixedGpx5MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}

BENCHMARK_MAIN();
