// GPD reader on arbitrary bytes: never reads past the end, reads the same
// points whether the bytes come at once or in pieces (as from a file), and
// whatever it accepts writes back to records that read back the same.
#include "track/GpdFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    CTrackPointList points;
    if (!ReadGpd(reinterpret_cast<const char*>(pbyData), nSize, points))
        return 0;
    // Pieces of sizes taken from the data itself, down to single bytes.
    CTrackPointList pieces;
    CGpdReader reader(pieces);
    for (size_t i = 0, n = 1; i < nSize; i += n, n = 1 + pbyData[i - n] % 37)
        reader.Feed(reinterpret_cast<const char*>(pbyData) + i, std::min(n, nSize - i));
    if (!reader.Finish() || pieces.size() != points.size())
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
    if (!ReadGpd(image.data(), image.size(), again) || again.size() != points.size())
        std::abort();
    for (size_t i = 0; i < points.size(); ++i) {
        if (std::memcmp(&points[i].m_fLatitude, &again[i].m_fLatitude, 6 * sizeof(float)) != 0
            || points[i].m_bySecond != again[i].m_bySecond || points[i].m_strName != again[i].m_strName)
            std::abort();
    }
    return 0;
}
