// GPD reader on arbitrary bytes: never reads past the end, reads and skips
// the same records whether the bytes come at once or in pieces (as from a
// file), keeps only points a fix can be (numbers, on the globe, not all
// zero), and whatever it accepts writes back to records that read back the
// same.
#include "track/GpdFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    CTrackPointList points;
    size_t nSkipped = 0;
    if (!ReadGpd(reinterpret_cast<const char*>(pbyData), nSize, points, nSkipped))
        return 0;
    for (const CTrackPoint& point : points) {
        const float afValues[] = {point.m_fLatitude, point.m_fLongitude, point.m_fAltitude,
                                  point.m_fSpeed,    point.m_fCourse,    point.m_fHdop};
        const bool bNumbers = std::all_of(std::begin(afValues), std::end(afValues), [](float f) { return std::isfinite(f); });
        const bool bZero = std::all_of(std::begin(afValues), std::end(afValues), [](float f) { return std::bit_cast<uint32_t>(f) == 0; })
                           && point.m_byHour == 0 && point.m_byMinute == 0 && point.m_bySecond == 0;
        if (!bNumbers || !IsOnGlobe(point.m_fLatitude, point.m_fLongitude) || bZero)
            std::abort();
    }
    // Pieces of sizes taken from the data itself, down to single bytes.
    CTrackPointList pieces;
    CGpdReader reader(pieces);
    for (size_t i = 0, n = 1; i < nSize; i += n, n = 1 + pbyData[i - n] % 37)
        reader.Feed(reinterpret_cast<const char*>(pbyData) + i, std::min(n, nSize - i));
    if (!reader.Finish() || pieces.size() != points.size() || reader.Skipped() != nSkipped)
        std::abort();
    for (size_t i = 0; i < points.size(); ++i) {
        if (std::memcmp(&points[i].m_fLatitude, &pieces[i].m_fLatitude, 6 * sizeof(float)) != 0
            || points[i].m_strName != pieces[i].m_strName)
            std::abort();
    }
    std::string image(reinterpret_cast<const char*>(pbyData), GPD_HEADER_SIZE);
    for (const CTrackPoint& point : points)
        point.AppendRecord(image);
    if (image.size() > nSize)
        std::abort();
    CTrackPointList again;
    size_t nSkippedAgain = 0;
    if (!ReadGpd(image.data(), image.size(), again, nSkippedAgain) || again.size() != points.size() || nSkippedAgain)
        std::abort();
    for (size_t i = 0; i < points.size(); ++i) {
        if (std::memcmp(&points[i].m_fLatitude, &again[i].m_fLatitude, 6 * sizeof(float)) != 0
            || points[i].m_bySecond != again[i].m_bySecond || points[i].m_strName != again[i].m_strName)
            std::abort();
    }
    return 0;
}
