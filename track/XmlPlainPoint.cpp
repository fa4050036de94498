#include "track/XmlPlainPoint.h"

#include "track/XmlNumbers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

namespace {

// The names as the reader's tables know them: a point's name is handed on
// as one of these.
const std::string_view PLAIN_POINT_NAMES[] = {"trkpt", "rtept", "wpt"};
constexpr std::string_view PLAIN_NAMESPACE_ATTRIBUTE = "xmlns";
constexpr std::string_view PLAIN_UTF8_BOM = "\xef\xbb\xbf";
constexpr std::string_view PLAIN_DECLARATION_START = "<?xml ";
constexpr std::string_view PLAIN_DECLARATION_END = "?>";
// End tags of points, less their common "pt>".
constexpr std::string_view PLAIN_POINT_END = "pt>";
constexpr std::string_view PLAIN_EMPTY_END = "/>";
const std::string_view PLAIN_POINT_END_STARTS[] = {"</trk", "</rte", "</w"};

constexpr unsigned char PLAIN_FIRST_PRINTABLE = 0x20;
constexpr unsigned char PLAIN_LAST_PRINTABLE = 0x7e;

// What a byte may be, looked up once per byte.
enum EPlainClass : uint8_t
{
    PLAIN_NAME_START = 1,
    PLAIN_NAME = 2,
    // Printable ASCII but markup: the same characters in every
    // ASCII-compatible encoding, and no "]]>". Without '\r', which a parser
    // turns into '\n'.
    PLAIN_LEAF_TEXT = 4,
    // Printable ASCII but markup: tabs and line ends would become spaces.
    PLAIN_VALUE = 8,
};

constexpr std::array<uint8_t, 256> PlainClasses()
{
    std::array<uint8_t, 256> classes{};
    for (unsigned ch = PLAIN_FIRST_PRINTABLE; ch <= PLAIN_LAST_PRINTABLE; ++ch) {
        const bool bLetter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_';
        const bool bName = bLetter || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.';
        const bool bMarkup = ch == '<' || ch == '&';
        classes[ch] = uint8_t((bLetter ? PLAIN_NAME_START : 0) | (bName ? PLAIN_NAME : 0)
                              | (bMarkup || ch == '>' ? 0 : PLAIN_LEAF_TEXT) | (bMarkup ? 0 : PLAIN_VALUE));
    }
    classes['\t'] = classes['\n'] = PLAIN_LEAF_TEXT;
    return classes;
}

constexpr std::array<uint8_t, 256> PLAIN_CLASSES = PlainClasses();

bool IsPlain(char ch, EPlainClass eClass)
{
    return (PLAIN_CLASSES[uint8_t(ch)] & eClass) != 0;
}

// The known name that name is, or an empty one.
template <size_t nNames>
std::string_view Known(const std::string_view (&names)[nNames], std::string_view name)
{
    for (const std::string_view known : names) {
        if (name == known)
            return known;
    }
    return {};
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
    // Whether ch is still to come; when not, the input has ended too soon.
    bool Holds(char ch)
    {
        const bool bHolds = m_text.find(ch, m_pos) != std::string_view::npos;
        m_bEnded = m_bEnded || !bHolds;
        return bHolds;
    }
    std::string_view Since(size_t nStart) const { return m_text.substr(nStart, m_pos - nStart); }
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
        if (m_text.size() - m_pos >= word.size()) {
            if (m_text.compare(m_pos, word.size(), word) != 0)
                return false;
            m_pos += word.size();
            return true;
        }
        return std::all_of(word.begin(), word.end(), [this](char ch) { return Skip(ch); });
    }
    size_t Spaces() { return While(IsXmlSpace).size(); }
    // The bytes from here that accept takes; a pointer of its own, as this
    // runs over every byte of the values.
    template <typename Accept>
    std::string_view While(Accept accept)
    {
        const char* const pStart = m_text.data() + m_pos;
        const char* const pEnd = m_text.data() + m_text.size();
        const char* p = pStart;
        while (p < pEnd && accept(*p))
            ++p;
        m_bEnded = m_bEnded || p == pEnd;
        m_pos += size_t(p - pStart);
        return {pStart, size_t(p - pStart)};
    }
    // A name of ASCII letters, digits and "_-.", or none.
    std::string_view Name()
    {
        if (!IsPlain(Peek(), PLAIN_NAME_START))
            return {};
        return While([](char ch) { return IsPlain(ch, PLAIN_NAME); });
    }
    // "</NAME>", with white space allowed before the '>'.
    bool EndTag(std::string_view name)
    {
        if (!Skip('<') || !Skip('/') || !Skip(name))
            return false;
        Spaces();
        return Skip('>');
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    bool m_bEnded = false;
};

// NAME or PREFIX:NAME, as a parser without namespaces takes it whole.
std::string_view AttributeName(CPlainCursor& cursor)
{
    const size_t nStart = cursor.Pos();
    const std::string_view first = cursor.Name();
    if (first.empty() || cursor.Peek() != ':')
        return first;
    cursor.Skip(':');
    const std::string_view local = cursor.Name();
    return local.empty() ? std::string_view() : cursor.Since(nStart);
}

// ="..." or = '...' after an attribute's name.
bool ReadValue(CPlainCursor& cursor, std::string_view& value)
{
    cursor.Spaces();
    if (!cursor.Skip('='))
        return false;
    cursor.Spaces();
    const char cQuote = cursor.Peek();
    if ((cQuote != '"' && cQuote != '\'') || !cursor.Skip(cQuote))
        return false;
    value = cursor.While([cQuote](char ch) { return ch != cQuote && IsPlain(ch, PLAIN_VALUE); });
    return cursor.Skip(cQuote);
}

// NAME="..." or NAME='...', each name once; not a namespace declaration,
// which the parser's rules for its value would decide.
bool ReadAttribute(CPlainCursor& cursor, XmlPlainPoint& point, size_t nIndex)
{
    const std::string_view name = AttributeName(cursor);
    if (name.empty() || name.size() > XML_PLAIN_MAX_NAME || name.starts_with(PLAIN_NAMESPACE_ATTRIBUTE))
        return false;
    for (size_t i = 0; i < nIndex; ++i) {
        if (name == point.szNames[i])
            return false;
    }
    std::string_view value;
    if (!ReadValue(cursor, value) || value.size() > XML_PLAIN_MAX_VALUE)
        return false;
    char* szName = point.szNames[nIndex];
    std::memcpy(szName, name.data(), name.size());
    szName[name.size()] = '\0';
    char* szValue = point.szValues[nIndex];
    std::memcpy(szValue, value.data(), value.size());
    szValue[value.size()] = '\0';
    point.pAttributes[2 * nIndex] = szName;
    point.pAttributes[2 * nIndex + 1] = szValue;
    return true;
}

bool ReadStartTag(CPlainCursor& cursor, XmlPlainPoint& point, bool& bEmpty)
{
    cursor.Spaces();
    point.nAt = cursor.Pos();
    if (!cursor.Skip('<'))
        return false;
    const std::string_view name = Known(PLAIN_POINT_NAMES, cursor.Name());
    if (name.empty())
        return false;
    point.szName = name.data();
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
    if (!cursor.Skip('<'))
        return false;
    const std::string_view name = cursor.Name();
    if (name.empty() || name.size() > XML_PLAIN_MAX_NAME || !cursor.Skip('>'))
        return false;
    std::memcpy(leaf.szName, name.data(), name.size());
    leaf.szName[name.size()] = '\0';
    leaf.nStartTag = cursor.Pos() - leaf.nOffset;
    leaf.text = cursor.While([](char ch) { return IsPlain(ch, PLAIN_LEAF_TEXT); });
    return cursor.EndTag(name);
}

bool ReadPoint(CPlainCursor& cursor, XmlPlainPoint& point)
{
    bool bEmpty = false;
    point.nLeaves = 0;
    if (!ReadStartTag(cursor, point, bEmpty))
        return false;
    const std::string_view name(point.szName);
    for (bool bEnd = bEmpty; !bEnd;) {
        cursor.Spaces();
        if (cursor.PeekAt(1) == '/') {
            if (!cursor.EndTag(name))
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
        return EXmlPlain::Read;
    return cursor.Ended() && input.size() < XML_PLAIN_MAX_POINT ? EXmlPlain::Incomplete : EXmlPlain::NotPlain;
}

size_t AfterPointEnd(std::string_view text)
{
    for (size_t n = text.find('>'); n != std::string_view::npos; n = text.find('>', n + 1)) {
        const std::string_view before = text.substr(0, n + 1);
        if (before.ends_with(PLAIN_EMPTY_END))
            return n + 1;
        if (!before.ends_with(PLAIN_POINT_END))
            continue;
        for (const std::string_view start : PLAIN_POINT_END_STARTS) {
            if (before.substr(0, before.size() - PLAIN_POINT_END.size()).ends_with(start))
                return n + 1;
        }
    }
    return std::string_view::npos;
}

// Each name once, as the parser would insist: the names sorted by their
// hashes, so that only names of one hash are compared.
bool NamesDiffer(const std::vector<std::pair<std::string_view, std::string_view>>& attributes)
{
    std::vector<std::pair<size_t, size_t>> hashes;   // hash, index
    hashes.reserve(attributes.size());
    for (size_t i = 0; i < attributes.size(); ++i)
        hashes.emplace_back(std::hash<std::string_view>()(attributes[i].first), i);
    std::sort(hashes.begin(), hashes.end());
    for (size_t i = 1; i < hashes.size(); ++i) {
        for (size_t j = i; j-- > 0 && hashes[j].first == hashes[i].first;) {
            if (attributes[hashes[j].second].first == attributes[hashes[i].second].first)
                return false;
        }
    }
    return true;
}

// The declaration, if any: "<?xml " to "?>", white space after it.
bool SkipPlainProlog(CPlainCursor& cursor)
{
    cursor.Skip(PLAIN_UTF8_BOM);
    if (cursor.Skip(PLAIN_DECLARATION_START)) {
        while (!cursor.Skip(PLAIN_DECLARATION_END)) {
            if (cursor.Ended() || cursor.Pos() > XML_PLAIN_MAX_DECLARATION)
                return false;
            cursor.While([](char ch) { return ch != '?'; });
            if (cursor.Peek() == '?' && cursor.PeekAt(1) != '>')
                cursor.Skip('?');
        }
    }
    cursor.Spaces();
    return true;
}

bool ReadRoot(CPlainCursor& cursor, XmlPlainRoot& root)
{
    root.attributes.clear();
    if (!SkipPlainProlog(cursor))
        return false;
    root.nAt = cursor.Pos();
    // A long root comes in pieces: until its tag can have ended, it has not.
    if (!cursor.Skip('<') || !cursor.Holds('>'))
        return false;
    root.name = AttributeName(cursor);
    if (root.name.empty())
        return false;
    for (;;) {
        const size_t nSpace = cursor.Spaces();
        if (cursor.Skip('>'))
            break;
        std::pair<std::string_view, std::string_view> attribute;
        attribute.first = AttributeName(cursor);
        if (nSpace == 0 || attribute.first.empty() || !ReadValue(cursor, attribute.second))
            return false;
        root.attributes.push_back(attribute);
    }
    root.nLength = cursor.Pos() - root.nAt;
    return NamesDiffer(root.attributes);
}

EXmlPlain ReadPlainRoot(std::string_view input, size_t nMaxTag, XmlPlainRoot& root)
{
    const size_t nMax = nMaxTag + XML_PLAIN_MAX_DECLARATION;
    CPlainCursor cursor(input.substr(0, nMax));
    if (ReadRoot(cursor, root))
        return EXmlPlain::Read;
    return cursor.Ended() && input.size() < nMax ? EXmlPlain::Incomplete : EXmlPlain::NotPlain;
}
