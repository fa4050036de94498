// Start-up of the veltrip-cli commands that need no Qt Gui, whole processes
// on tiny inputs, medians of many runs: wall and CPU time, peak memory.
// decode of a 4 KB capture runs paired with gpsd's gpsdecode on the same
// bytes.
//
// A child's peak is never below its parent's size, and this process is about
// as big as the programs measured; the peaks are therefore taken under GNU
// time (Debian: time), a small parent, and left out without it.
#include "tests/common/PeakMemory.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr qsizetype BENCH_CAPTURE_BYTES = 4096;
constexpr int BENCH_RUNS = 51;
constexpr double BENCH_KIB_PER_MIB = 1024.0;
constexpr double BENCH_MS_PER_SECOND = 1000.0;

const QString CLI = QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli");

// The first whole lines of the corpus's captures, up to 4 KB.
QByteArray SmallCapture()
{
    const QDir dir(QStringLiteral(VELTRIP_SHARED_DIR "/corpus/nmea"));
    QByteArray capture;
    for (const QString& strName : dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(strName));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (capture.size() + line.size() > BENCH_CAPTURE_BYTES)
                return capture;
            capture += line;
        }
    }
    return capture;
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + ptrdiff_t(values.size() / 2), values.end());
    return values[values.size() / 2];
}

const QString GNU_TIME = QStandardPaths::findExecutable(QStringLiteral("time"), {QStringLiteral("/usr/bin")});

// The peak in KiB of one run under GNU time; 0 without it.
long OwnPeakKiB(const QString& strProgram, const QStringList& args, const QString& strStdin, const QString& strOut)
{
    if (GNU_TIME.isEmpty())
        return 0;
    RunForPeakMemory(GNU_TIME, QStringList{"-f", "%M", "-o", strOut, strProgram} + args, strStdin);
    QFile out(strOut);
    return out.open(QIODevice::ReadOnly) ? out.readAll().trimmed().toLong() : 0;
}

// Medians of BENCH_RUNS runs, in milliseconds and MiB.
struct CStartFigures
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
    std::vector<double> mib;

    bool Add(const QString& strProgram, const QStringList& args, const QString& strStdin, const QString& strOut)
    {
        const CPeakRun run = RunForPeakMemory(strProgram, args, strStdin);
        ms.push_back(run.dWallSeconds * BENCH_MS_PER_SECOND);
        cpuMs.push_back(run.dCpuSeconds * BENCH_MS_PER_SECOND);
        mib.push_back(double(OwnPeakKiB(strProgram, args, strStdin, strOut)) / BENCH_KIB_PER_MIB);
        return run.nExit == 0;
    }
    void Report(benchmark::State& state, const std::string& strPrefix) const
    {
        state.counters[strPrefix + "_ms"] = Median(ms);
        state.counters[strPrefix + "_cpu_ms"] = Median(cpuMs);
        if (!GNU_TIME.isEmpty())
            state.counters[strPrefix + "_peak_MiB"] = Median(mib);
    }
};

struct CStartCase
{
    const char* szCommand;
    QStringList args;   // file names in the run's folder
};

const CStartCase START_CASES[] = {
    {"decode", {"decode", "capture.nmea"}},
    {"record", {"record", "capture.nmea", "out"}},
    {"info", {"info", "track.gpd"}},
    {"convert", {"convert", "track.gpd", "out.kml"}},
};

QStringList Arguments(const CStartCase& c, const QTemporaryDir& dir)
{
    QStringList args = c.args;
    for (qsizetype i = 1; i < args.size(); ++i)
        args[i] = dir.filePath(args[i]);
    return args;
}

void BM_Start(benchmark::State& state, const CStartCase& c)
{
    QTemporaryDir dir;
    const QString strCapture = dir.filePath(QStringLiteral("capture.nmea"));
    QFile capture(strCapture);
    const QByteArray bytes = SmallCapture();
    if (bytes.isEmpty() || !capture.open(QIODevice::WriteOnly) || capture.write(bytes) != bytes.size()) {
        state.SkipWithError("NMEA corpus not found beside the checkout");
        return;
    }
    capture.close();
    // The track the commands read is the capture recorded.
    RunForPeakMemory(CLI, {QStringLiteral("record"), strCapture, dir.filePath(QStringLiteral("track"))});

    const bool bPaired = QLatin1String(c.szCommand) == QLatin1String("decode");
    const QString strPeer = bPaired ? QStandardPaths::findExecutable(QStringLiteral("gpsdecode")) : QString();
    const QStringList args = Arguments(c, dir);
    const QString strPeak = dir.filePath(QStringLiteral("peak"));
    for (auto _ : state) {
        CStartFigures own;
        CStartFigures peer;
        for (int i = 0; i < BENCH_RUNS; ++i) {
            if (!own.Add(CLI, args, QString(), strPeak)) {
                state.SkipWithError("veltrip-cli failed");
                return;
            }
            if (!strPeer.isEmpty())
                peer.Add(strPeer, {}, strCapture, strPeak);
        }
        own.Report(state, "veltrip");
        if (!strPeer.isEmpty())
            peer.Report(state, "gpsdecode");
    }
    state.counters["input_bytes"] = double(bytes.size());
}
const bool g_bRegistered = [] {
    for (const CStartCase& c : START_CASES) {
        benchmark::RegisterBenchmark((std::string("BM_Start/") + c.szCommand).c_str(), BM_Start, c)
            ->Unit(benchmark::kSecond)
            ->Iterations(1)
            ->UseRealTime();
    }
    return true;
}();

}
BENCHMARK_MAIN();
