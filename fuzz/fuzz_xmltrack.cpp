// GPX and KML reader on arbitrary bytes: never crashes, and a refused
// document leaves the list as it was; what it accepts has valid positions.
#include "track/XmlTrackReader.h"

#include <QBuffer>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(pbyData), qsizetype(nSize));
    buffer.open(QIODevice::ReadOnly);
    CTrackPointList points(1);
    size_t nSkipped = 0;
    const bool bRead = ReadXmlTrack(buffer, 1, points, nSkipped);
    if (!bRead && points.size() != 1)
        std::abort();
    for (const CTrackPoint& point : points) {
        if (!(std::fabs(point.m_fLatitude) <= 90) || !(std::fabs(point.m_fLongitude) <= 180)
            || !std::isfinite(point.m_fAltitude) || !std::isfinite(point.m_fSpeed)
            || !std::isfinite(point.m_fCourse) || !std::isfinite(point.m_fHdop)
            || point.m_byHour > 23 || point.m_byMinute > 59 || point.m_bySecond > 59)
            std::abort();
    }
    return 0;
}
