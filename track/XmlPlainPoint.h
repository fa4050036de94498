#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

// Most of a track file is points written the same simple way, such as
// <trkpt lat="52.1" lon="4.3"><ele>1.5</ele><time>...</time></trkpt>.
// This reads one such point from the bytes of a document, without the
// general machinery of an XML parser, and only where what it reads is
// certainly well-formed XML that means exactly what it says in any
// ASCII-compatible encoding without a DTD: element names without prefixes,
// attribute names with one at most (their prefixes are the reader's to
// check; no namespace declarations), printable ASCII values without
// references, no comments or CDATA. Anything else is left to the parser.

constexpr size_t XML_PLAIN_MAX_LEAVES = 8;
constexpr size_t XML_PLAIN_MAX_ATTRIBUTES = 6;
constexpr size_t XML_PLAIN_MAX_NAME = 32;
constexpr size_t XML_PLAIN_MAX_VALUE = 64;
// A point longer than this is left to the parser; a piece of input this long
// that holds no whole point decides the question.
constexpr size_t XML_PLAIN_MAX_POINT = 4096;

// A child of the point with text only: <ele>1.5</ele>.
struct XmlPlainLeaf
{
    size_t nOffset;                          // of its '<'
    size_t nStartTag;
    char szName[XML_PLAIN_MAX_NAME + 1];     // with its end
    std::string_view text;                   // in the input
};

struct XmlPlainPoint
{
    const char* szName;                      // "trkpt", "rtept" or "wpt"
    size_t nAt;                              // its '<', after any white space
    size_t nStartTag;                        // the start tag's length
    // Its attributes in the file's order, as name, value, ..., null.
    const char* pAttributes[2 * XML_PLAIN_MAX_ATTRIBUTES + 1];
    char szNames[XML_PLAIN_MAX_ATTRIBUTES][XML_PLAIN_MAX_NAME + 1];
    char szValues[XML_PLAIN_MAX_ATTRIBUTES][XML_PLAIN_MAX_VALUE + 1];
    XmlPlainLeaf leaves[XML_PLAIN_MAX_LEAVES];
    size_t nLeaves;
    size_t nLength;                          // the bytes read, to its end tag's '>'
};

enum class EXmlPlain
{
    Read,         // what was asked for, read
    NotPlain,     // not a point this reads, or none at all
    Incomplete,   // more input would tell
};

// Reads a point at the start of input, after white space; input must be
// content of an element. Offsets are from the start of input.
EXmlPlain ReadPlainPoint(std::string_view input, XmlPlainPoint& point);

// The offset just after the first end tag of a point in text (</trkpt>,
// </rtept> or </wpt>) or the first "/>", or npos: where a parser's input
// may be cut so that what follows can be read as plain points.
size_t AfterPointEnd(std::string_view text);

// The root's start tag, where the document begins with it, after at most a
// byte order mark, an XML declaration and white space: any attributes of
// plain values, each name once (namespace declarations among them). The
// parser is then handed the declaration and "<NAME>" alone, so that it does
// not store attributes of which a root may declare tens of thousands.
constexpr size_t XML_PLAIN_MAX_DECLARATION = 1024;

struct XmlPlainRoot
{
    size_t nAt;   // the '<' of the start tag
    size_t nLength;
    std::string_view name;
    std::vector<std::pair<std::string_view, std::string_view>> attributes;   // in the input
};

// As ReadPlainPoint, for a start tag of at most nMaxTag bytes.
EXmlPlain ReadPlainRoot(std::string_view input, size_t nMaxTag, XmlPlainRoot& root);
