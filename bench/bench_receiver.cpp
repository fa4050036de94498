#include "gps/CGpsTracker.h"
#include "platform/ReceiverPort.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// A source that never runs dry: random bytes, the worst a broken receiver or
// a wrong baud rate sends.
class CGarbagePort : public CReceiverPort
{
public:
    CGarbagePort()
        : m_garbage(1 << 20)
    {
        std::mt19937 random(7);
        for (char& ch : m_garbage)
            ch = static_cast<char>(random());
    }
    int BytesWaiting() override { return 1 << 20; }
    ptrdiff_t Read(char* pBuffer, size_t nMax) override
    {
        if (m_nPos + nMax > m_garbage.size())
            m_nPos = 0;
        std::memcpy(pBuffer, m_garbage.data() + m_nPos, nMax);
        m_nPos += nMax;
        return static_cast<ptrdiff_t>(nMax);
    }

private:
    std::vector<char> m_garbage;
    size_t m_nPos = 0;
};

// One tick of a flooded port: the whole per-tick share of input through the
// assembly and the decoder. The window stays responsive while this is short.
void BM_FloodedTick(benchmark::State& state)
{
    CGpsTracker tracker;
    tracker.m_link.m_hPort = std::make_unique<CGarbagePort>();
    for (auto _ : state) {
        tracker.PollPort(0);
        benchmark::DoNotOptimize(tracker.m_fLatitude);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(GPS_TICK_BYTES));
}
BENCHMARK(BM_FloodedTick)->Unit(benchmark::kMillisecond);

}

BENCHMARK_MAIN();
