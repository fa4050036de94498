#include "track/XmlPlainPoint.h"

#include "track/XmlNumbers.h"

#include <algorithm>
#include <cstring>

namespace {

// The names as the reader's tables know them: a point's name is handed on
// as one of these.
const char* const PLAIN_POINT_NAMES[] = {"trkpt", "rtept", "wpt"};
const char* const PLAIN_ATTRIBUTES[] = {"lat", "lon"};
// End tags of points, less their common "pt>".
constexpr std::string_view PLAIN_POINT_END = "pt>";
const std::string_view PLAIN_POINT_END_STARTS[] = {"</trk", "</rte", "</w"};

constexpr char PLAIN_FIRST_PRINTABLE = 0x20;
constexpr char PLAIN_LAST_PRINTABLE = 0x7e;

bool IsNameStart(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_';
}

bool IsNameChar(char ch)
{
    return IsNameStart(ch) || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.';
}

// Printable ASCII but markup: the same characters in every ASCII-compatible
// encoding, and no "]]>". Without '\r', which a parser turns into '\n'.
bool IsLeafText(char ch)
{
    return (ch >= PLAIN_FIRST_PRINTABLE && ch <= PLAIN_LAST_PRINTABLE && ch != '<' && ch != '&' && ch != '>')
           || ch == '\t' || ch == '\n';
}

const char* Known(const char* const* pNames, size_t nNames, const char* szName)
{
    const char* const* pEnd = pNames + nNames;
    const char* const* pFound
        = std::find_if(pNames, pEnd, [szName](const char* szKnown) { return !std::strcmp(szKnown, szName); });
    return pFound != pEnd ? *pFound : nullptr;
}

// Reads forward through the input; running off its end is noted, so that
// the caller can tell a point cut off by the end of the input from one that
// is no plain point.
class CPlainCursor
{
public:
    explicit CPlainCursor(std::string_view text)
        : m_text(text)
    {
    }

    size_t Pos() const { return m_pos; }
    bool Ended() const { return m_bEnded; }

    char Peek() { return PeekAt(0); }
    char PeekAt(size_t nAhead)
    {
        if (m_pos + nAhead < m_text.size())
            return m_text[m_pos + nAhead];
        m_bEnded = true;
        return '\0';
    }
    bool Skip(char ch)
    {
        if (Peek() != ch)
            return false;
        ++m_pos;
        return true;
    }
    bool Skip(std::string_view word)
    {
        return std::all_of(word.begin(), word.end(), [this](char ch) { return Skip(ch); });
    }
    size_t Spaces()
    {
        const size_t nStart = m_pos;
        while (IsXmlSpace(Peek()))
            ++m_pos;
        return m_pos - nStart;
    }
    template <typename Accept>
    std::string_view While(Accept accept)
    {
        const size_t nStart = m_pos;
        while (accept(Peek()))
            ++m_pos;
        return m_text.substr(nStart, m_pos - nStart);
    }
    // A name of ASCII letters, digits and "_-.", copied with its end.
    bool Name(char (&szName)[XML_PLAIN_MAX_NAME + 1])
    {
        if (!IsNameStart(Peek()))
            return false;
        const std::string_view name = While(IsNameChar);
        if (name.size() > XML_PLAIN_MAX_NAME)
            return false;
        std::copy(name.begin(), name.end(), szName);
        szName[name.size()] = '\0';
        return true;
    }
    // "</NAME>", with white space allowed before the '>'.
    bool EndTag(const char* szName)
    {
        if (!Skip('<') || !Skip('/') || !Skip(std::string_view(szName)))
            return false;
        Spaces();
        return Skip('>');
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    bool m_bEnded = false;
};

// lat="..." or lon='...', each at most once.
bool ReadAttribute(CPlainCursor& cursor, XmlPlainPoint& point, size_t nIndex)
{
    char szName[XML_PLAIN_MAX_NAME + 1];
    if (!cursor.Name(szName))
        return false;
    const char* szKnown = Known(PLAIN_ATTRIBUTES, std::size(PLAIN_ATTRIBUTES), szName);
    if (!szKnown || (nIndex == 1 && point.pAttributes[0] == szKnown))
        return false;
    cursor.Spaces();
    if (!cursor.Skip('='))
        return false;
    cursor.Spaces();
    const char cQuote = cursor.Peek();
    if ((cQuote != '"' && cQuote != '\'') || !cursor.Skip(cQuote))
        return false;
    // Tabs and line ends would become spaces: left to the parser.
    const std::string_view value = cursor.While([cQuote](char ch) {
        return ch >= PLAIN_FIRST_PRINTABLE && ch <= PLAIN_LAST_PRINTABLE && ch != '<' && ch != '&' && ch != cQuote;
    });
    if (!cursor.Skip(cQuote) || value.size() > XML_PLAIN_MAX_VALUE)
        return false;
    char* szValue = point.szValues[nIndex];
    std::copy(value.begin(), value.end(), szValue);
    szValue[value.size()] = '\0';
    point.pAttributes[2 * nIndex] = szKnown;
    point.pAttributes[2 * nIndex + 1] = szValue;
    return true;
}

bool ReadStartTag(CPlainCursor& cursor, XmlPlainPoint& point, bool& bEmpty)
{
    char szName[XML_PLAIN_MAX_NAME + 1];
    cursor.Spaces();
    point.nAt = cursor.Pos();
    if (!cursor.Skip('<') || !cursor.Name(szName))
        return false;
    point.szName = Known(PLAIN_POINT_NAMES, std::size(PLAIN_POINT_NAMES), szName);
    if (!point.szName)
        return false;
    size_t nAttributes = 0;
    for (;; ++nAttributes) {
        const size_t nSpace = cursor.Spaces();
        const char ch = cursor.Peek();
        if (ch == '>' || ch == '/')
            break;
        if (nSpace == 0 || nAttributes == std::size(point.szValues) || !ReadAttribute(cursor, point, nAttributes))
            return false;
    }
    point.pAttributes[2 * nAttributes] = nullptr;
    bEmpty = cursor.Skip('/');
    if (!cursor.Skip('>'))
        return false;
    point.nStartTag = cursor.Pos() - point.nAt;
    return true;
}

// <NAME>text</NAME>, where '<' is the cursor's.
bool ReadLeaf(CPlainCursor& cursor, XmlPlainLeaf& leaf)
{
    leaf.nOffset = cursor.Pos();
    if (!cursor.Skip('<') || !cursor.Name(leaf.szName) || !cursor.Skip('>'))
        return false;
    leaf.nStartTag = cursor.Pos() - leaf.nOffset;
    leaf.text = cursor.While(IsLeafText);
    return cursor.EndTag(leaf.szName);
}

bool ReadPoint(CPlainCursor& cursor, XmlPlainPoint& point)
{
    bool bEmpty = false;
    point.nLeaves = 0;
    if (!ReadStartTag(cursor, point, bEmpty))
        return false;
    for (bool bEnd = bEmpty; !bEnd;) {
        cursor.Spaces();
        if (cursor.PeekAt(1) == '/') {
            if (!cursor.EndTag(point.szName))
                return false;
            bEnd = true;
        } else if (point.nLeaves == XML_PLAIN_MAX_LEAVES || !ReadLeaf(cursor, point.leaves[point.nLeaves++])) {
            return false;
        }
    }
    point.nLength = cursor.Pos();
    return true;
}

}

EXmlPlain ReadPlainPoint(std::string_view input, XmlPlainPoint& point)
{
    CPlainCursor cursor(input.substr(0, XML_PLAIN_MAX_POINT));
    if (ReadPoint(cursor, point))
        return EXmlPlain::Point;
    return cursor.Ended() && input.size() < XML_PLAIN_MAX_POINT ? EXmlPlain::Incomplete : EXmlPlain::NotPlain;
}

size_t AfterPointEnd(std::string_view text)
{
    for (size_t n = text.find(PLAIN_POINT_END); n != std::string_view::npos; n = text.find(PLAIN_POINT_END, n + 1)) {
        for (const std::string_view start : PLAIN_POINT_END_STARTS) {
            if (n >= start.size() && text.substr(n - start.size(), start.size()) == start)
                return n + PLAIN_POINT_END.size();
        }
    }
    return std::string_view::npos;
}
