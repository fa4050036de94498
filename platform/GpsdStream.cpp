#include "platform/GpsdStream.h"

const char GPSD_WATCH_NMEA[] = "?WATCH={\"enable\":true,\"nmea\":true}\n";

size_t CGpsdLineFilter::Filter(char* pData, size_t nLength)
{
    size_t nKept = 0;
    for (size_t i = 0; i < nLength; ++i) {
        const char chByte = pData[i];
        if (m_bLineStart)
            m_bKeep = chByte == '$' || chByte == '!';
        if (m_bKeep)
            pData[nKept++] = chByte;
        m_bLineStart = chByte == '\n';
    }
    return nKept;
}
