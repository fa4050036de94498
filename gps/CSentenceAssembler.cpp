#include "gps/CSentenceAssembler.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t GPS_WIDEN_BLOCK = 16;
static_assert(GPS_LINE_SIZE % GPS_WIDEN_BLOCK == 0);

}

void CSentenceAssembler::Feed(const char* pData, size_t nLength, const std::function<void(QStringView line)>& onLine)
{
    const char* p = pData;
    const char* const pEnd = pData + nLength;
    while (p < pEnd) {
        // The bytes up to and with the next line feed; of them only those from
        // the last "$" on belong to the line.
        const auto* pFeed = static_cast<const char*>(std::memchr(p, '\n', size_t(pEnd - p)));
        const char* const pStop = pFeed ? pFeed + 1 : pEnd;
        if (const auto* pDollar = static_cast<const char*>(memrchr(p, '$', size_t(pStop - p)))) {
            m_nLineLen = 0;
            p = pDollar;
        }
        bool bComplete = pFeed != nullptr;
        while (p < pStop) {
            if (m_nLineLen >= GPS_LINE_SIZE) {
                // Too long for any sentence: drop it with the next byte.
                m_nLineLen = 0;
                ++p;
                bComplete = bComplete && p < pStop;
                continue;
            }
            const auto nCopy = std::min<size_t>(size_t(pStop - p), size_t(GPS_LINE_SIZE - m_nLineLen));
            std::memcpy(m_szLine + m_nLineLen, p, nCopy);
            m_nLineLen += int32_t(nCopy);
            p += nCopy;
        }
        if (!bComplete)
            continue;
        const int32_t nText = m_nLineLen - 1;
        m_szLine[nText] = '\0';
        // NMEA is ASCII; each byte becomes the character of the same code. In
        // whole blocks, which the compiler widens many bytes at a time: the
        // buffer holds whole blocks, and the characters past the line's end
        // are not handed on.
        char16_t wide[GPS_LINE_SIZE];
        for (int32_t nBlock = 0; nBlock < nText; nBlock += GPS_WIDEN_BLOCK) {
            for (int32_t j = nBlock; j < nBlock + GPS_WIDEN_BLOCK; ++j)
                wide[j] = static_cast<unsigned char>(m_szLine[j]);
        }
        m_nLineLen = 0;
        onLine(QStringView(wide, nText));
    }
}
