#include "platform/TextFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <vector>

namespace {

constexpr unsigned char TEXT_FIRST_PRINTABLE = 0x20;
constexpr unsigned char TEXT_DELETE = 0x7F;
constexpr char32_t TEXT_LAST_C1 = 0x9F;

// The length of the UTF-8 sequence at the start of text and its code point;
// 0 when it is not one (a stray, overlong or cut sequence, a surrogate).
size_t Utf8Sequence(std::string_view text, char32_t& chCode)
{
    const auto by = static_cast<unsigned char>(text[0]);
    static constexpr struct {
        unsigned char byMask, byLead;
        size_t nLength;
        char32_t chMin;
    } LEADS[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
    for (const auto& lead : LEADS) {
        if ((by & lead.byMask) != lead.byLead)
            continue;
        if (text.size() < lead.nLength)
            return 0;
        char32_t ch = by & static_cast<unsigned char>(~lead.byMask);
        for (size_t i = 1; i < lead.nLength; ++i) {
            const auto byNext = static_cast<unsigned char>(text[i]);
            if ((byNext & 0xC0) != 0x80)
                return 0;
            ch = (ch << 6) | (byNext & 0x3F);
        }
        const bool bValid = ch >= lead.chMin && ch <= 0x10FFFF && (ch < 0xD800 || ch > 0xDFFF);
        chCode = ch;
        return bValid ? lead.nLength : 0;
    }
    return 0;
}

void AppendHex(std::string& out, unsigned nValue)
{
    char szEscape[8];
    std::snprintf(szEscape, sizeof szEscape, "\\x%02x", nValue);
    out += szEscape;
}

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

std::string EscapedText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto by = static_cast<unsigned char>(text[0]);
        size_t nLength = 1;
        if (by == '\\') {
            out += "\\\\";
        } else if (by < TEXT_FIRST_PRINTABLE || by == TEXT_DELETE) {
            AppendHex(out, by);
        } else if (by < TEXT_DELETE) {
            out += char(by);
        } else {
            char32_t chCode = 0;
            nLength = Utf8Sequence(text, chCode);
            if (nLength == 0) {
                AppendHex(out, by);
                nLength = 1;
            } else if (chCode <= TEXT_LAST_C1) {
                AppendHex(out, unsigned(chCode));
            } else {
                out.append(text.substr(0, nLength));
            }
        }
        text.remove_prefix(nLength);
    }
    return out;
}

std::string EscapedText(const QString& strText)
{
    const QByteArray bytes = strText.toUtf8();
    return EscapedText(std::string_view(bytes.constData(), size_t(bytes.size())));
}
