#include "gps/CSentenceAssembler.h"

void CSentenceAssembler::Feed(const char* pData, size_t nLength, const std::function<void(QStringView line)>& onLine)
{
    for (size_t i = 0; i < nLength; ++i) {
        const char chByte = pData[i];
        if (chByte == '$')
            m_nLineLen = 0;
        if (m_nLineLen >= GPS_LINE_SIZE) {
            // Too long for any sentence: drop it with this byte.
            m_nLineLen = 0;
            continue;
        }
        m_szLine[m_nLineLen++] = chByte;
        if (chByte != '\n')
            continue;
        const int32_t nText = m_nLineLen - 1;
        m_szLine[nText] = '\0';
        // NMEA is ASCII; each byte becomes the character of the same code.
        char16_t wide[GPS_LINE_SIZE];
        for (int32_t j = 0; j < nText; ++j)
            wide[j] = static_cast<unsigned char>(m_szLine[j]);
        m_nLineLen = 0;
        onLine(QStringView(wide, nText));
    }
}
