#include "track/XmlText.h"

#include <charconv>
#include <cmath>

namespace {

// Room for "%f" of any double: 309 digits, sign, point and six decimals.
constexpr size_t XML_NUMBER_SIZE = 330;

bool IsXmlChar(char32_t ch)
{
    if (ch < 0x20)
        return ch == '\t' || ch == '\n' || ch == '\r';
    return ch < 0xD800 || (ch >= 0xE000 && ch <= 0xFFFD) || (ch >= 0x10000 && ch <= 0x10FFFF);
}

void AppendUtf8(std::string& strOut, char32_t ch)
{
    if (ch < 0x80) {
        strOut.push_back(char(ch));
    } else if (ch < 0x800) {
        strOut.push_back(char(0xC0 | (ch >> 6)));
        strOut.push_back(char(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        strOut.push_back(char(0xE0 | (ch >> 12)));
        strOut.push_back(char(0x80 | ((ch >> 6) & 0x3F)));
        strOut.push_back(char(0x80 | (ch & 0x3F)));
    } else {
        strOut.push_back(char(0xF0 | (ch >> 18)));
        strOut.push_back(char(0x80 | ((ch >> 12) & 0x3F)));
        strOut.push_back(char(0x80 | ((ch >> 6) & 0x3F)));
        strOut.push_back(char(0x80 | (ch & 0x3F)));
    }
}

}

void AppendXmlText(std::string& strOut, const QString& strText)
{
    const qsizetype nLength = strText.size();
    for (qsizetype i = 0; i < nLength; ++i) {
        // A surrogate pair is one character; a lone surrogate fails IsXmlChar.
        char32_t ch = strText[i].unicode();
        if (QChar::isHighSurrogate(ch) && i + 1 < nLength && strText[i + 1].isLowSurrogate())
            ch = QChar::surrogateToUcs4(char16_t(ch), strText[++i].unicode());
        switch (ch) {
        case '&':
            strOut += "&amp;";
            break;
        case '<':
            strOut += "&lt;";
            break;
        case '>':
            strOut += "&gt;";
            break;
        case '"':
            strOut += "&quot;";
            break;
        case '\'':
            strOut += "&apos;";
            break;
        default:
            AppendUtf8(strOut, IsXmlChar(ch) ? ch : U'?');
        }
    }
}

void AppendFixed(std::string& strOut, double dValue)
{
    // "inf" and "nan" are no numbers to XML Schema's readers; a GPD file
    // may hold them all the same.
    if (!std::isfinite(dValue))
        dValue = 0;
    char text[XML_NUMBER_SIZE];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, dValue, std::chars_format::fixed, 6);
    strOut.append(text, result.ptr);
}

void AppendInt(std::string& strOut, int nValue, bool bTwoDigits)
{
    if (bTwoDigits && nValue >= 0 && nValue < 10)
        strOut.push_back('0');
    char text[16];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, nValue);
    strOut.append(text, result.ptr);
}
