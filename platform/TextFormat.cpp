#include "platform/TextFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <vector>

namespace {

// The program's texts are its own: a decimal point whatever locale the user
// runs it under (QApplication adopts the user's LC_NUMERIC, which would give
// "1,3" under de_DE or nl_NL).
locale_t ClassicLocale()
{
    static const locale_t s_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return s_locale;
}

// Switches this thread to the classic locale while in scope.
class CClassicNumbers
{
public:
    CClassicNumbers()
        : m_previous(ClassicLocale() ? uselocale(ClassicLocale()) : locale_t(0))
    {
    }
    ~CClassicNumbers()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    CClassicNumbers(const CClassicNumbers&) = delete;
    CClassicNumbers& operator=(const CClassicNumbers&) = delete;

private:
    locale_t m_previous;
};

}

QString FormatText(const char* szFormat, ...)
{
    const CClassicNumbers classic;
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

QString SystemErrorText(int nErrno)
{
    const locale_t classic = ClassicLocale();
    return QString::fromLocal8Bit(classic ? strerror_l(nErrno, classic) : std::strerror(nErrno));
}
