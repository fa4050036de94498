// Typed coordinates of Tools, "Go to…": whatever the text, a place comes out
// in range with a finite value, or a message and no place; a place read back
// from its own name lands within the name's last decimal.
#include "track/Destination.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr double FUZZ_NAME_STEP = 1e-5;

bool InRange(const CGeoPoint& point)
{
    return std::isfinite(point.m_dLatitude) && std::isfinite(point.m_dLongitude)
           && std::fabs(point.m_dLatitude) <= 90.0 && std::fabs(point.m_dLongitude) <= 180.0;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    const QString strText = QString::fromUtf8(reinterpret_cast<const char*>(pbyData), qsizetype(nSize));
    const CCoordinatesParse parse = ParseCoordinates(strText);
    if (!parse.m_point) {
        if (parse.m_strProblem.isEmpty())
            std::abort();
        return 0;
    }
    if (!InRange(*parse.m_point))
        std::abort();
    const CCoordinatesParse again = ParseCoordinates(CoordinatesText(*parse.m_point));
    if (!again.m_point || std::fabs(again.m_point->m_dLatitude - parse.m_point->m_dLatitude) > FUZZ_NAME_STEP
        || std::fabs(again.m_point->m_dLongitude - parse.m_point->m_dLongitude) > FUZZ_NAME_STEP)
        std::abort();
    return 0;
}
