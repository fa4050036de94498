// Calibration parser on arbitrary file names: edges stay ordered, whatever the name.
#include "map/CMapBitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    CMapBitmap map;
    map.m_path = QString::fromUtf8(reinterpret_cast<const char*>(pbyData), qsizetype(nSize));
    const bool bCalibrated = map.ParseCalibration();
    if (map.m_lonMin > map.m_lonMax || map.m_latMin > map.m_latMax)
        std::abort();
    if (!bCalibrated && (map.m_lonMin != 0 || map.m_lonMax != 0 || map.m_latMin != 0 || map.m_latMax != 0))
        std::abort();
    return 0;
}
