#include "gps/CGpsTracker.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Arbitrary bytes through the sentence assembly and the decoder. The first
// byte picks the UTC correction; every 0x01 byte in the rest starts a new
// tick, as the timer would between reads. At the end the sky table lists
// its satellites, as the sky plot does: GSV pages, signal ids and GSA
// system ids of every talker reach it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize == 0)
        return 0;
    const int nUtcCorrection = static_cast<int>(pData[0] % 25) - 12;
    CGpsTracker tracker;
    const char* p = reinterpret_cast<const char*>(pData + 1);
    const char* pEnd = reinterpret_cast<const char*>(pData + nSize);
    while (p < pEnd) {
        tracker.BeginTick();
        const char* pTick = static_cast<const char*>(std::memchr(p, 0x01, static_cast<size_t>(pEnd - p)));
        const char* pStop = pTick ? pTick + 1 : pEnd;
        tracker.AssembleBytes(p, static_cast<size_t>(pStop - p), nUtcCorrection);
        p = pStop;
    }
    // However many pages arrive, the table stays within its bound.
    if (tracker.m_sky.InView().size() > SKY_SYSTEM_COUNT * SKY_MAX_SYSTEM_SATS)
        std::abort();
    return 0;
}
