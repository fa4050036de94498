#include "platform/TextFormat.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

QString FormatText(const char* szFormat, ...)
{
    char szShort[256];
    va_list args;
    va_start(args, szFormat);
    const int nLength = std::vsnprintf(szShort, sizeof szShort, szFormat, args);
    va_end(args);
    if (nLength < 0)
        return {};
    if (size_t(nLength) < sizeof szShort)
        return QString::fromUtf8(szShort, nLength);

    std::vector<char> longText(size_t(nLength) + 1);
    va_start(args, szFormat);
    std::vsnprintf(longText.data(), longText.size(), szFormat, args);
    va_end(args);
    return QString::fromUtf8(longText.data(), nLength);
}
