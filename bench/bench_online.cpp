// map-online from a tile server on 127.0.0.1 (tests/common/tile_server.py, its
// tiles made once and then served from memory): "no sheet" to "sheet made"
// for a 1024 x 1024 sheet, with every tile fetched, with the tiles already
// in the cache (the warp and the write alone), and with the sheet made (the
// lookup). Each iteration is one veltrip-cli run on folders of its own; its
// CPU seconds and peak memory are counters beside the wall time.
#include "bench/BenchRun.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

enum class EBenchCache
{
    Empty,       // nothing cached: every tile over HTTP
    Tiles,       // the tiles cached, no sheet
    Sheet,       // the sheet made
};

// Started once for all benchmarks; its tiles stay in its memory.
struct CBenchServer
{
    CBenchServer()
    {
        m_process.start(QStringLiteral("python3"), {QStringLiteral(VELTRIP_SOURCE_DIR "/tests/common/tile_server.py"),
                                                    m_dir.filePath(QStringLiteral("requests.jsonl"))});
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_nPort = m_process.readLine().trimmed().toInt();
    }
    ~CBenchServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
};

QStringList OnlineArgs(const CBenchServer& server, const QString& strSheets, const QString& strTiles)
{
    return {QStringLiteral("map-online"), QStringLiteral("--at"), QStringLiteral("52.3701,4.8901"),
            QStringLiteral("--url"), QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server.m_nPort),
            QStringLiteral("--size"), QStringLiteral("1024"), QStringLiteral("--dir"), strSheets,
            QStringLiteral("--cache"), strTiles};
}

void BM_MapOnline1024(benchmark::State& state)
{
    static CBenchServer g_server;
    if (g_server.m_nPort <= 0) {
        state.SkipWithError("the tile server did not start");
        return;
    }
    const auto eCache = EBenchCache(state.range(0));
    QTemporaryDir work;
    // The server makes its tiles once: a first run keeps that out of the figures.
    const QString strShared = work.filePath(QStringLiteral("shared"));
    RunForPeakMemory(BenchCli(), OnlineArgs(g_server, strShared + QStringLiteral("/sheets"),
                                            strShared + QStringLiteral("/tiles")));
    int nRun = 0;
    BenchRunEachWith(state, BenchCli(), [&] {
        const QString strRun = work.filePath(QString::number(nRun++));
        const QString strTiles = eCache == EBenchCache::Empty ? strRun + QStringLiteral("/tiles")
                                                              : strShared + QStringLiteral("/tiles");
        const QString strSheets = eCache == EBenchCache::Sheet ? strShared + QStringLiteral("/sheets")
                                                               : strRun + QStringLiteral("/sheets");
        return OnlineArgs(g_server, strSheets, strTiles);
    });
}

}

BENCHMARK(BM_MapOnline1024)
    ->ArgName("cache")   // 0 empty, 1 tiles, 2 sheet
    ->Arg(int(EBenchCache::Empty))
    ->Arg(int(EBenchCache::Tiles))
    ->Arg(int(EBenchCache::Sheet))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseManualTime();

BENCHMARK_MAIN();
