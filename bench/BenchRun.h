#pragma once

#include "tests/common/PeakMemory.h"

#include <QStandardPaths>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>

// Whole processes side by side: veltrip-cli and the peer doing the same job
// (gpsdecode, GPSBabel). Each iteration is one run, timed by the wall clock;
// its CPU seconds and peak memory go beside it as counters, since on a busy
// machine the waits for a core decide the wall time. Run with repetitions
// and compare the medians.
inline constexpr double BENCH_RUN_KIB_PER_MIB = 1024.0;

inline const QString& BenchCli()
{
    static const QString s_strCli = QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli");
    return s_strCli;
}

// The peer's full path; empty, with the benchmark skipped, when it is not
// installed (scripts/install-deps.sh installs them).
inline QString BenchPeer(benchmark::State& state, const char* szName)
{
    const QString strPath = QStandardPaths::findExecutable(QLatin1String(szName));
    if (strPath.isEmpty())
        state.SkipWithError((std::string(szName) + " is not installed").c_str());
    return strPath;
}

// Runs strProgram once an iteration with the arguments fnArgs gives for it
// (a run that needs folders of its own).
inline void BenchRunEachWith(benchmark::State& state, const QString& strProgram,
                             const std::function<QStringList()>& fnArgs, const QString& strInput = {})
{
    if (strProgram.isEmpty())
        return;
    double dCpu = 0;
    long nPeakKiB = 0;
    for (auto _ : state) {
        const CPeakRun run = RunForPeakMemory(strProgram, fnArgs(), strInput);
        if (run.nExit != 0)
            state.SkipWithError("the run failed");
        state.SetIterationTime(run.dWallSeconds);
        dCpu += run.dCpuSeconds;
        nPeakKiB = std::max(nPeakKiB, run.nPeakKiB);
    }
    state.counters["cpu_s"] = benchmark::Counter(dCpu, benchmark::Counter::kAvgIterations);
    state.counters["peak_MiB"] = double(nPeakKiB) / BENCH_RUN_KIB_PER_MIB;
}

inline void BenchRunEach(benchmark::State& state, const QString& strProgram, const QStringList& args,
                         const QString& strInput = {})
{
    BenchRunEachWith(state, strProgram, [&args] { return args; }, strInput);
}
