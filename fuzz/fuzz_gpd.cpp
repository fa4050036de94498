// GPD reader on arbitrary bytes: never reads past the end, and whatever it
// accepts writes back to records that read back the same.
#include "track/GpdFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    CTrackPointList points;
    if (!ReadGpd(reinterpret_cast<const char*>(pbyData), nSize, points))
        return 0;
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
