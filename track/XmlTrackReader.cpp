#include "track/XmlTrackReader.h"

#include "platform/InputFile.h"
#include "track/TrackInput.h"
#include "track/XmlNumbers.h"
#include "track/XmlPlainPoint.h"
#include "track/XmlPrefixes.h"
#include "track/XmlSplit.h"

#include <QIODevice>
#include <QStringDecoder>

#include <expat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cfloat>
#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Real GPX and KML nest a few levels (KML folders a few more); anything
// deeper is not a track.
constexpr size_t XML_MAX_DEPTH = 256;
// A value, a name or one coordinate tuple; what is longer is no number.
constexpr size_t XML_MAX_TEXT = 4096;
// Expat holds a tag with its attributes, a comment or a DTD whole until it
// ends: input that goes on this long without one ending is no track; nor
// is a text this long, but for a line's coordinates.
constexpr uint64_t XML_MAX_TOKEN = 1 << 20;
constexpr size_t XML_READ_CHUNK = 64 * 1024;
constexpr int64_t XML_DAY_SECONDS = 24 * 3600;
constexpr double XML_KNOTS_PER_MPS = 3600.0 / 1852.0;

enum class EXmlName
{
    Other, Gpx, Kml, Wpt, Trkseg, Trkpt, Rte, Rtept, Ele, Time, Speed, Course, Hdop, Name,
    Placemark, Track, When, TimeStamp, Coord, Coordinates, LineString, Point,
    Any,   // in the tables below: whatever element
};

struct XmlNameEntry
{
    std::string_view local;
    EXmlName name;
};

const XmlNameEntry XML_NAMES[] = {
    {"gpx", EXmlName::Gpx},         {"kml", EXmlName::Kml},
    {"wpt", EXmlName::Wpt},         {"trkpt", EXmlName::Trkpt},
    {"trkseg", EXmlName::Trkseg},   {"rte", EXmlName::Rte},
    {"rtept", EXmlName::Rtept},     {"ele", EXmlName::Ele},
    {"time", EXmlName::Time},       {"speed", EXmlName::Speed},
    {"course", EXmlName::Course},   {"hdop", EXmlName::Hdop},
    {"name", EXmlName::Name},       {"Placemark", EXmlName::Placemark},
    {"Track", EXmlName::Track},     {"when", EXmlName::When},
    {"TimeStamp", EXmlName::TimeStamp}, {"coord", EXmlName::Coord},
    {"coordinates", EXmlName::Coordinates}, {"LineString", EXmlName::LineString},
    {"Point", EXmlName::Point},
};

// Only the local name counts: GPX has its namespaces, and KML's gx:Track is a
// Track to this reader. Called for every element: the length and the first
// letter sort most names out.
EXmlName LocalName(const char* szName)
{
    const std::string_view local(CXmlPrefixes::Local(szName));
    for (const XmlNameEntry& entry : XML_NAMES) {
        if (local.size() == entry.local.size() && local[0] == entry.local[0] && local == entry.local)
            return entry.name;
    }
    return EXmlName::Other;
}

// Whether an attribute has this name; in place, as it is asked of every
// attribute of every point.
template <size_t nLength>
bool IsAttribute(const char* szAttribute, const char (&szName)[nLength])
{
    for (size_t i = 0; i < nLength; ++i) {
        if (szAttribute[i] != szName[i])
            return false;
    }
    return true;
}

// The text element being read, which may hold no elements, and what its
// text becomes.
enum class ELeaf
{
    None, GpxValue, Time, WaypointName, PlacemarkName,
    TrackWhen, PlacemarkWhen, TrackCoord, LineCoordinates, PointCoordinates,
};

// The number values of a GPX point, read from its direct children.
struct GpxValue
{
    EXmlName name;
    float CTrackPoint::*pfField;
    double dFactor;   // to the point's unit
};

const GpxValue GPX_VALUES[] = {
    {EXmlName::Ele, &CTrackPoint::m_fAltitude, 1.0},
    {EXmlName::Speed, &CTrackPoint::m_fSpeed, XML_KNOTS_PER_MPS},   // GPX 1.0's metres per second
    {EXmlName::Course, &CTrackPoint::m_fCourse, 1.0},
    {EXmlName::Hdop, &CTrackPoint::m_fHdop, 1.0},
};

// KML elements read as text by the elements they stand in.
struct KmlLeaf
{
    EXmlName name;
    EXmlName parent;
    EXmlName grandparent;
    ELeaf leaf;
};

const KmlLeaf KML_LEAVES[] = {
    {EXmlName::Name, EXmlName::Placemark, EXmlName::Any, ELeaf::PlacemarkName},
    {EXmlName::When, EXmlName::Track, EXmlName::Any, ELeaf::TrackWhen},
    {EXmlName::When, EXmlName::TimeStamp, EXmlName::Placemark, ELeaf::PlacemarkWhen},
    {EXmlName::Coord, EXmlName::Track, EXmlName::Any, ELeaf::TrackCoord},
    {EXmlName::Coordinates, EXmlName::LineString, EXmlName::Any, ELeaf::LineCoordinates},
    {EXmlName::Coordinates, EXmlName::Point, EXmlName::Any, ELeaf::PointCoordinates},
};

// A waypoint stands alone: a segment of its own.
enum class EPointKind { Waypoint, Other };

// A point being read, its UTC time when it has one;
// a point with a value no track can hold is read to its end and skipped.
struct PendingPoint
{
    CTrackPoint point;
    std::optional<int64_t> nUtcTime;
    bool bUnusable = false;
};

bool FitsFloat(double dValue)
{
    return std::isfinite(dValue) && std::fabs(dValue) <= FLT_MAX;
}

// False for coordinates that are not numbers; coordinates off the globe mark
// the point unusable.
bool SetPosition(PendingPoint& pending, std::string_view latitude, std::string_view longitude)
{
    const std::optional<double> dLatitude = XmlNumber(latitude);
    const std::optional<double> dLongitude = XmlNumber(longitude);
    if (!dLatitude || !dLongitude)
        return false;
    pending.bUnusable |= !IsOnGlobe(*dLatitude, *dLongitude);
    pending.point.m_fLatitude = FitsFloat(*dLatitude) ? float(*dLatitude) : 0.0f;
    pending.point.m_fLongitude = FitsFloat(*dLongitude) ? float(*dLongitude) : 0.0f;
    return true;
}

// Optional values: what cannot be read stays 0 (false); a value no float
// holds marks the point unusable.
bool SetValue(PendingPoint& pending, float CTrackPoint::*pfValue, std::string_view text, double dScale = 1)
{
    const std::optional<double> dValue = XmlNumber(text);
    if (!dValue)
        return false;
    const double dScaled = *dValue * dScale;
    pending.bUnusable |= !FitsFloat(dScaled);
    pending.point.*pfValue = FitsFloat(dScaled) ? float(dScaled) : 0.0f;
    return true;
}

// Splits text at cSeparator (or, with 0, at runs of white space) into at most
// nMax parts; false when there are more.
bool SplitTuple(std::string_view text, char cSeparator, std::string_view* pParts, size_t nMax, size_t& nParts)
{
    nParts = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        if (!cSeparator) {
            while (pos < text.size() && IsXmlSpace(text[pos]))
                ++pos;
            if (pos == text.size())
                break;
        }
        size_t nEnd = pos;
        while (nEnd < text.size() && (cSeparator ? text[nEnd] != cSeparator : !IsXmlSpace(text[nEnd])))
            ++nEnd;
        if (nParts == nMax)
            return false;
        pParts[nParts++] = text.substr(pos, nEnd - pos);
        pos = nEnd + (cSeparator ? 1 : 0);
        if (cSeparator && nEnd == text.size())
            break;
    }
    return true;
}

// "lon,lat[,alt]" of KML's coordinates, or "lon lat [alt]" of gx:coord.
bool ReadTuple(std::string_view text, char cSeparator, PendingPoint& pending)
{
    std::string_view parts[3];
    size_t nParts = 0;
    if (!SplitTuple(text, cSeparator, parts, 3, nParts) || nParts < 2 || !SetPosition(pending, parts[1], parts[0]))
        return false;
    if (nParts == 3)
        SetValue(pending, &CTrackPoint::m_fAltitude, parts[2]);
    return true;
}

// An encoding expat does not know itself, such as windows-1252: each byte
// that the system's converter turns into one character on its own.
int XMLCALL UnknownEncoding(void*, const XML_Char* szName, XML_Encoding* pInfo)
{
    QStringDecoder decoder(szName);
    if (!decoder.isValid())
        return XML_STATUS_ERROR;
    for (int i = 0; i < 256; ++i) {
        const char ch = char(i);
        const QString strChar = decoder.decode(QByteArrayView(&ch, 1));
        decoder.resetState();
        const bool bSingle = strChar.size() == 1 && strChar[0] != QChar::ReplacementCharacter
                             && !strChar[0].isSurrogate();
        pInfo->map[i] = bSingle ? strChar[0].unicode() : -1;
    }
    pInfo->data = nullptr;
    pInfo->convert = nullptr;
    pInfo->release = nullptr;
    return XML_STATUS_OK;
}

// Expat's own encodings that agree with ASCII; an unknown one might not.
const std::string_view XML_ASCII_ENCODINGS[] = {"UTF-8", "US-ASCII", "ISO-8859-1"};

bool IsAsciiEncoding(std::string_view encoding)
{
    const auto upper = [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; };
    return std::any_of(std::begin(XML_ASCII_ENCODINGS), std::end(XML_ASCII_ENCODINGS), [&](std::string_view ascii) {
        return std::equal(ascii.begin(), ascii.end(), encoding.begin(), encoding.end(),
                          [&](char chAscii, char ch) { return chAscii == upper(ch); });
    });
}

class CXmlTrackReader
{
public:
    CXmlTrackReader(CTrackPointList& points, int nUtcCorrection);
    ~CXmlTrackReader() { XML_ParserFree(m_parser); }
    CXmlTrackReader(const CXmlTrackReader&) = delete;
    CXmlTrackReader& operator=(const CXmlTrackReader&) = delete;

    // Reads pieces from read (bytes read, 0 at the end, -1 on an error)
    // until the document ends; progress, when set, may stop it. A failure
    // names strPath.
    template <typename Read>
    COutcome Parse(Read read, uint64_t nSize, const CLoadProgress& progress, const QString& strPath);

    // Points left out for a value no track can hold.
    size_t Skipped() const { return m_nSkipped; }

    // Reading in two halves (CXmlSplit): the first half's reader starts the
    // second at its first track or route point and stops where the second
    // half began; the second half's reader reads nPrefix bytes of context
    // before its half.
    void SetSplit(CXmlSplit* pSplit)
    {
        m_pSplit = pSplit;
        m_bTags = pSplit != nullptr;
    }
    void SetPrefix(uint64_t nPrefix) { m_nPrefix = nPrefix; }
    bool ReachedSplit() const { return m_bSplitReached; }
    // The next point begins a segment.
    bool NewSegmentDue() const { return m_bNewSegment; }

private:
    // Expat's callbacks: each notes that expat reported something and hands
    // it on, unless the reading has failed.
    template <auto pfnHandle, typename... Args>
    static void XMLCALL Forward(void* pUser, Args... args)
    {
        auto* pReader = static_cast<CXmlTrackReader*>(pUser);
        pReader->m_bEvent = true;
        if (!pReader->m_bFailed && !pReader->m_bSplitReached)
            (pReader->*pfnHandle)(args...);
    }

    template <typename... Args>
    void Ignore(Args...)
    {
    }
    // Neither format has entities; they are the classic way to blow up a parser.
    void Entity(const char*, int, const char*, int, const char*, const char*, const char*, const char*) { Fail(); }

    // Plain points go to the handlers without the parser; where it can be
    // said that the parser reads them just so: the parser has read up to the
    // end of a tag, which leaves it in the content of an element, of a
    // document in an encoding that agrees with ASCII and without a DTD,
    // which could add attributes.
    static void XMLCALL Declaration(void* pUser, const char*, const char* szEncoding, int);
    static void XMLCALL Doctype(void* pUser, const char*, const char*, const char*, int);
    void CheckFirstBytes(std::string_view input);
    bool PlainPointsDue() const
    {
        return m_bPlainAllowed && !m_bKml && !m_bFailed && !m_bSplitReached && m_nParserTagEnd == m_nParsed
               && !m_stack.empty() && m_leaf == ELeaf::None && !m_gpxPoint;
    }
    EXmlPlain ReadPlainPoints(std::string_view input, size_t& nUsed);
    EXmlPlain ReadPlainRootTag(std::string_view input, size_t& nUsed);
    void HandPlainPoint(const XmlPlainPoint& point, uint64_t nAt);
    bool Handling() const { return !m_bFailed && !m_bSplitReached; }
    // The parser hands over the whole input a piece after another, or up to
    // the end of a point where plain points may follow.
    bool ParsePiece(std::string_view piece, bool bLast);

    void Fail();
    void StopParser();
    bool AtSplit(uint64_t nAt);
    void ParserStart(const char* szName, const char** pAttributes);
    void ParserEnd(const char* szName);
    void Start(const char* szName, const char** pAttributes, XmlTag tag);
    void End();
    void Text(const char* pText, int nLength);
    void StartGpx(EXmlName name, const char** pAttributes);
    void StartKml(EXmlName name);
    void BeginLeaf(ELeaf leaf);
    void EndLeaf();
    void EndTupleText();
    void KmlTuple();
    void Emit(const PendingPoint& pending, EPointKind kind);
    void DropUnusableTrackPoints();
    void MarkTrackPoints();
    CTrackPoint& TrackPoint(size_t nIndex);
    void SetTime(CTrackPoint& point, std::optional<int64_t> nUtcTime) const;

    EXmlName Parent(size_t nUp = 1) const
    {
        return m_stack.size() >= nUp ? m_stack[m_stack.size() - nUp] : EXmlName::Other;
    }

    XML_Parser m_parser;
    CTrackPointList& m_points;
    int m_nUtcSeconds;
    bool m_bKml = false;
    bool m_bFailed = false;
    bool m_bEvent = false;          // expat reported something in this piece
    bool m_bInParser = false;
    // The reader's input is what the parser was given and the plain points
    // handed on without it: the parser's offsets are m_nPlain bytes behind.
    uint64_t m_nParsed = 0;
    uint64_t m_nPlain = 0;
    uint64_t m_nParserTagEnd = UINT64_MAX;   // of the tag the parser reported last
    bool m_bPlainAllowed = true;
    bool m_bRootDue = true;        // the root's start tag may still be read plain
    bool m_bRootGiven = false;     // the parser's start of the root is the plain one's
    std::vector<EXmlName> m_stack;  // the open elements
    std::vector<XmlTag> m_tags;     // and their start tags, when m_bTags
    bool m_bTags = false;
    CXmlPrefixes m_prefixes;

    CXmlSplit* m_pSplit = nullptr;
    bool m_bSplitReached = false;
    uint64_t m_nPrefix = 0;

    // The text element being read: its text so far (bounded), or for
    // coordinates the tuple being read.
    ELeaf m_leaf = ELeaf::None;
    std::string m_strText;
    bool m_bTextOverflow = false;
    uint64_t m_nTextRun = 0;        // text since the last tag
    int m_nTuples = 0;

    // GPX: the point being read, the depth of its element and the value
    // being read from it.
    std::optional<PendingPoint> m_gpxPoint;
    const GpxValue* m_pGpxValue = nullptr;
    size_t m_nGpxPointDepth = 0;
    EPointKind m_gpxKind = EPointKind::Other;

    // KML: the Placemark being read, its name, its Point and its time stamp.
    bool m_bInPlacemark = false;
    QString m_strPlacemarkName;
    std::optional<PendingPoint> m_kmlPoint;
    std::optional<int64_t> m_nPlacemarkTime;
    // KML: the gx:Track being read. Its points go straight into the list
    // from nTrackFirst on, the n-th <when> and the n-th <gx:coord> into the
    // same point, so a track of any length needs no buffer of its own.
    bool m_bInTrack = false;
    size_t m_nTrackFirst = 0;
    size_t m_nTrackWhens = 0;
    size_t m_nTrackCoords = 0;
    std::vector<size_t> m_trackUnusable;   // its points to leave out at its end

    // The next point begins a segment: the file's first, the first of a GPX
    // trkseg or rte, of a KML LineString, and the one after a point that
    // stands alone (a waypoint, a Placemark's Point), itself a segment.
    bool m_bNewSegment = true;

    size_t m_nSkipped = 0;
};

CXmlTrackReader::CXmlTrackReader(CTrackPointList& points, int nUtcCorrection)
    : m_parser(XML_ParserCreate(nullptr))
    , m_points(points)
    , m_nUtcSeconds(nUtcCorrection * 3600)
{
    m_stack.reserve(XML_MAX_DEPTH);
    m_tags.reserve(XML_MAX_DEPTH);
    m_strText.reserve(XML_MAX_TEXT);
    if (!m_parser)
        throw std::bad_alloc();
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, Forward<&CXmlTrackReader::ParserStart, const char*, const char**>,
                          Forward<&CXmlTrackReader::ParserEnd, const char*>);
    XML_SetCharacterDataHandler(m_parser, Forward<&CXmlTrackReader::Text, const char*, int>);
    XML_SetCommentHandler(m_parser, Forward<&CXmlTrackReader::Ignore<const char*>, const char*>);
    XML_SetProcessingInstructionHandler(
        m_parser, Forward<&CXmlTrackReader::Ignore<const char*, const char*>, const char*, const char*>);
    XML_SetEntityDeclHandler(m_parser, Forward<&CXmlTrackReader::Entity, const char*, int, const char*, int,
                                               const char*, const char*, const char*, const char*>);
    XML_SetUnknownEncodingHandler(m_parser, UnknownEncoding, nullptr);
    // Not forwarded: these report nothing the bound on a DTD's length counts.
    XML_SetXmlDeclHandler(m_parser, Declaration);
    XML_SetStartDoctypeDeclHandler(m_parser, Doctype);
}

template <typename Read>
COutcome CXmlTrackReader::Parse(Read read, uint64_t nSize, const CLoadProgress& progress, const QString& strPath)
{
    std::vector<char> input;
    size_t nPos = 0;
    size_t nEnd = 0;
    bool bAtEnd = false;
    bool bMoreNeeded = false;   // a plain point may go on past the input read
    uint64_t nRead = 0;
    uint64_t nQuiet = 0;        // bytes since expat last reported anything
    while (!m_bFailed && !m_bSplitReached) {
        if ((nPos == nEnd || bMoreNeeded) && !bAtEnd) {
            // Expat reads an unfinished token again from its start with
            // every piece: while a long one (a root declaring thousands of
            // prefixes) goes on, each piece is as long as it is so far, so
            // that it is read a few times, not once per 64 KiB. Up to the
            // longest token taken, so that a longer one still fails where it
            // did.
            const uint64_t nRoom = XML_MAX_TOKEN - std::min(nQuiet, XML_MAX_TOKEN);
            const auto nChunk = size_t(std::max<uint64_t>(XML_READ_CHUNK, std::min(nQuiet, nRoom)));
            std::copy(input.begin() + ptrdiff_t(nPos), input.begin() + ptrdiff_t(nEnd), input.begin());
            nEnd -= nPos;
            nPos = 0;
            input.resize(nEnd + nChunk);
            const ptrdiff_t nPiece = read(input.data() + nEnd, nChunk);
            if (nPiece < 0)
                return TrackReadFailure(EOutcome::Failed, strPath, errno);
            if (nRead == 0)
                CheckFirstBytes(std::string_view(input.data(), size_t(nPiece)));
            bAtEnd = nPiece == 0;
            nEnd += size_t(nPiece);
            nRead += uint64_t(nPiece);
            if (progress && !progress(nRead, nSize))
                return TrackReadFailure(EOutcome::Cancelled, strPath);
        }
        bMoreNeeded = false;
        std::string_view rest(input.data() + nPos, nEnd - nPos);
        if (m_bRootDue) {
            size_t nUsed = 0;
            const EXmlPlain root = ReadPlainRootTag(rest, nUsed);
            bMoreNeeded = root == EXmlPlain::Incomplete && !bAtEnd;
            // A long root is read whole at once, not again per piece.
            nQuiet = bMoreNeeded ? nEnd : 0;
            m_bRootDue = bMoreNeeded;
            nPos += nUsed;
            if (bMoreNeeded || nUsed > 0)
                continue;
        }
        if (PlainPointsDue()) {
            size_t nUsed = 0;
            bMoreNeeded = ReadPlainPoints(rest, nUsed) == EXmlPlain::Incomplete && !bAtEnd;
            nPos += nUsed;
            rest.remove_prefix(nUsed);
            if (bMoreNeeded || !Handling())
                continue;
        }
        // Cut at a point's end only where expat is not inside a token, which
        // it would read again from its start with each piece.
        const bool bCut = m_bPlainAllowed && !m_bKml && nQuiet == 0;
        const size_t nCut = bCut ? std::min(AfterPointEnd(rest), rest.size()) : rest.size();
        const bool bLast = bAtEnd && nCut == rest.size();
        m_bEvent = false;
        const bool bParsed = ParsePiece(rest.substr(0, nCut), bLast);
        nPos += nCut;
        nQuiet = m_bEvent ? 0 : nQuiet + nCut;
        if (!bParsed || nQuiet > XML_MAX_TOKEN)
            return TrackReadFailure(EOutcome::Incorrect, strPath);
        if (bLast)
            break;
    }
    return m_bFailed ? TrackReadFailure(EOutcome::Incorrect, strPath) : COutcome();
}

bool CXmlTrackReader::ParsePiece(std::string_view piece, bool bLast)
{
    m_bInParser = true;
    const XML_Status status = XML_Parse(m_parser, piece.data(), int(piece.size()), bLast);
    m_bInParser = false;
    m_nParsed += piece.size();
    if (status != XML_STATUS_OK && XML_GetErrorCode(m_parser) == XML_ERROR_NO_MEMORY)
        throw std::bad_alloc();
    return (status == XML_STATUS_OK || m_bSplitReached) && !m_bFailed;
}

void CXmlTrackReader::Declaration(void* pUser, const char*, const char* szEncoding, int)
{
    auto* pReader = static_cast<CXmlTrackReader*>(pUser);
    if (szEncoding && !IsAsciiEncoding(szEncoding))
        pReader->m_bPlainAllowed = false;
}

void CXmlTrackReader::Doctype(void* pUser, const char*, const char*, const char*, int)
{
    static_cast<CXmlTrackReader*>(pUser)->m_bPlainAllowed = false;
}

// UTF-16 (and UTF-32) show in the first two bytes: a byte order mark, or a
// zero byte beside the '<'.
void CXmlTrackReader::CheckFirstBytes(std::string_view input)
{
    for (size_t i = 0; i < std::min<size_t>(input.size(), 2); ++i) {
        const auto byByte = uint8_t(input[i]);
        if (byByte == 0 || byByte == 0xfe || byByte == 0xff)
            m_bPlainAllowed = false;
    }
}

// The root's start tag at the start of the document: the parser gets the
// declaration before it and the tag without its attributes, the handlers
// the tag as it is.
EXmlPlain CXmlTrackReader::ReadPlainRootTag(std::string_view input, size_t& nUsed)
{
    nUsed = 0;
    XmlPlainRoot root;
    const EXmlPlain read = ReadPlainRoot(input, XML_MAX_TOKEN, root);
    if (read != EXmlPlain::Read || !m_bPlainAllowed)
        return read;
    // The declaration decides the encoding.
    nUsed = root.nAt;
    if (!ParsePiece(input.substr(0, root.nAt), false)) {
        Fail();
        return EXmlPlain::NotPlain;
    }
    if (!m_bPlainAllowed)
        return EXmlPlain::NotPlain;
    std::string strAttributes;
    for (const auto& [name, value] : root.attributes) {
        strAttributes.append(name).push_back('\0');
        strAttributes.append(value).push_back('\0');
    }
    std::vector<const char*> attributes;
    attributes.reserve(2 * root.attributes.size() + 1);
    for (size_t nAt = 0; nAt < strAttributes.size(); nAt += std::strlen(strAttributes.data() + nAt) + 1)
        attributes.push_back(strAttributes.data() + nAt);
    attributes.push_back(nullptr);
    const std::string strName(root.name);
    m_bEvent = true;
    Start(strName.c_str(), attributes.data(), {root.nAt, root.nLength});
    const std::string strBare = '<' + strName + '>';
    m_bRootGiven = true;
    if (Handling() && !ParsePiece(strBare, false))
        Fail();
    m_nPlain += root.nLength - strBare.size();
    nUsed = root.nAt + root.nLength;
    return EXmlPlain::Read;
}

// Hands on points as long as they are plain; nUsed is the bytes they took.
EXmlPlain CXmlTrackReader::ReadPlainPoints(std::string_view input, size_t& nUsed)
{
    nUsed = 0;
    XmlPlainPoint point;
    for (;;) {
        const EXmlPlain read = ReadPlainPoint(input.substr(nUsed), point);
        if (read != EXmlPlain::Read)
            return read;
        HandPlainPoint(point, m_nParsed + m_nPlain);
        if (!Handling())
            return EXmlPlain::NotPlain;
        nUsed += point.nLength;
        m_nPlain += point.nLength;
    }
}

// The handlers' calls for a plain point at nAt of the reader's input, as
// expat would make them; the white space between elements is no text to
// them.
void CXmlTrackReader::HandPlainPoint(const XmlPlainPoint& point, uint64_t nAt)
{
    m_bEvent = true;
    Start(point.szName, const_cast<const char**>(point.pAttributes), {nAt + point.nAt, point.nStartTag});
    const char* noAttributes[] = {nullptr};
    for (size_t i = 0; i < point.nLeaves && Handling(); ++i) {
        const XmlPlainLeaf& leaf = point.leaves[i];
        Start(leaf.szName, noAttributes, {nAt + leaf.nOffset, leaf.nStartTag});
        if (!leaf.text.empty() && Handling())
            Text(leaf.text.data(), int(leaf.text.size()));
        if (Handling())
            End();
    }
    if (Handling())
        End();
}

void CXmlTrackReader::Fail()
{
    m_bFailed = true;
    StopParser();
}

void CXmlTrackReader::StopParser()
{
    if (m_bInParser)
        XML_StopParser(m_parser, XML_FALSE);
}

// A start tag at or past the second half's first byte: this half ends when
// it is that byte, outside any point or value, in the second half's
// context; anywhere else the reading goes on alone.
bool CXmlTrackReader::AtSplit(uint64_t nAt)
{
    if (!m_pSplit->Started() || nAt < m_pSplit->At())
        return false;
    if (nAt == m_pSplit->At() && m_leaf == ELeaf::None && !m_gpxPoint && !m_bKml && m_pSplit->SameContext(m_tags)) {
        m_bSplitReached = true;
        StopParser();
        return true;
    }
    m_pSplit->Abandon();
    m_pSplit = nullptr;
    return false;
}

void CXmlTrackReader::ParserStart(const char* szName, const char** pAttributes)
{
    // Where the tag is: only a split reading asks.
    XmlTag tag{0, 0};
    if (m_bTags || m_nPrefix > 0)
        tag = {m_nPlain + uint64_t(XML_GetCurrentByteIndex(m_parser)), uint64_t(XML_GetCurrentByteCount(m_parser))};
    if (!std::exchange(m_bRootGiven, false))
        Start(szName, pAttributes, tag);
    if (m_bPlainAllowed)
        m_nParserTagEnd = uint64_t(XML_GetCurrentByteIndex(m_parser)) + uint64_t(XML_GetCurrentByteCount(m_parser));
}

void CXmlTrackReader::ParserEnd(const char*)
{
    if (m_bPlainAllowed)
        m_nParserTagEnd = uint64_t(XML_GetCurrentByteIndex(m_parser)) + uint64_t(XML_GetCurrentByteCount(m_parser));
    End();
}

void CXmlTrackReader::Start(const char* szName, const char** pAttributes, XmlTag tag)
{
    const uint64_t nAt = tag.nOffset;
    if (m_pSplit && AtSplit(nAt))
        return;
    // The second half begins: whether its first point begins a segment is
    // the first half's to say.
    if (m_nPrefix > 0 && nAt == m_nPrefix)
        m_bNewSegment = false;
    m_nTextRun = 0;
    // A value is text only.
    if (m_leaf != ELeaf::None || m_stack.size() >= XML_MAX_DEPTH
        || !m_prefixes.Start(szName, pAttributes, m_stack.size()))
        return Fail();
    const EXmlName name = LocalName(szName);
    if (m_stack.empty()) {
        if (name != EXmlName::Gpx && name != EXmlName::Kml)
            return Fail();
        m_bKml = name == EXmlName::Kml;
    }
    if (m_bKml)
        StartKml(name);
    else
        StartGpx(name, pAttributes);
    if (m_pSplit && !m_bFailed && (name == EXmlName::Trkpt || name == EXmlName::Rtept))
        m_pSplit->Begin(m_tags, szName);
    m_stack.push_back(name);
    if (m_bTags)
        m_tags.push_back(tag);
}

void CXmlTrackReader::StartGpx(EXmlName name, const char** pAttributes)
{
    if (name == EXmlName::Wpt || name == EXmlName::Trkpt || name == EXmlName::Rtept) {
        std::string_view latitude;
        std::string_view longitude;
        for (const char** p = pAttributes; *p; p += 2) {
            if (IsAttribute(p[0], "lat"))
                latitude = p[1];
            else if (IsAttribute(p[0], "lon"))
                longitude = p[1];
        }
        PendingPoint pending;
        pending.point.m_bNoSpeed = true;
        if (m_gpxPoint || !SetPosition(pending, latitude, longitude))
            return Fail();
        m_gpxPoint = pending;
        m_gpxKind = name == EXmlName::Wpt ? EPointKind::Waypoint : EPointKind::Other;
        m_nGpxPointDepth = m_stack.size() + 1;
        return;
    }
    if (name == EXmlName::Trkseg || name == EXmlName::Rte)
        m_bNewSegment = true;
    if (!m_gpxPoint || m_stack.size() != m_nGpxPointDepth)
        return;
    for (const GpxValue& value : GPX_VALUES) {
        if (name == value.name) {
            m_pGpxValue = &value;
            return BeginLeaf(ELeaf::GpxValue);
        }
    }
    if (name == EXmlName::Time)
        BeginLeaf(ELeaf::Time);
    else if (name == EXmlName::Name && m_gpxKind == EPointKind::Waypoint)
        BeginLeaf(ELeaf::WaypointName);
}

void CXmlTrackReader::StartKml(EXmlName name)
{
    switch (name) {
    case EXmlName::Placemark:
        m_bInPlacemark = true;
        m_strPlacemarkName.clear();
        m_kmlPoint.reset();
        m_nPlacemarkTime.reset();
        break;
    case EXmlName::LineString:
        m_bNewSegment = true;
        break;
    case EXmlName::Track:
        // A track inside a track is no KML.
        if (m_bInTrack)
            return Fail();
        m_bInTrack = true;
        m_nTrackFirst = m_points.size();
        m_nTrackWhens = m_nTrackCoords = 0;
        break;
    default:
        break;
    }
    for (const KmlLeaf& leaf : KML_LEAVES) {
        if (name == leaf.name && Parent() == leaf.parent
            && (leaf.grandparent == EXmlName::Any || Parent(2) == leaf.grandparent)) {
            // Only a Placemark's Point is one.
            if (leaf.leaf != ELeaf::PointCoordinates || m_bInPlacemark)
                BeginLeaf(leaf.leaf);
            return;
        }
    }
}

void CXmlTrackReader::BeginLeaf(ELeaf leaf)
{
    m_leaf = leaf;
    m_strText.clear();
    m_bTextOverflow = false;
    m_nTuples = 0;
}

void CXmlTrackReader::Text(const char* pText, int nText)
{
    const size_t nLength = size_t(nText);
    // Only the coordinates of a line may run on: they are read tuple by tuple.
    m_nTextRun += nLength;
    if (m_leaf != ELeaf::LineCoordinates && m_nTextRun > XML_MAX_TOKEN)
        return Fail();
    if (m_leaf == ELeaf::None)
        return;
    if (m_leaf != ELeaf::LineCoordinates && m_leaf != ELeaf::PointCoordinates) {
        const size_t nRoom = XML_MAX_TEXT - m_strText.size();
        m_bTextOverflow = m_bTextOverflow || nLength > nRoom;
        m_strText.append(pText, std::min(nLength, nRoom));
        return;
    }
    // Coordinates can hold a whole track: read tuple by tuple as they come.
    for (size_t i = 0; i < nLength && !m_bFailed; ++i) {
        if (IsXmlSpace(pText[i])) {
            EndTupleText();
        } else if (m_strText.size() < XML_MAX_TEXT) {
            m_strText.push_back(pText[i]);
        } else {
            Fail();
        }
    }
}

void CXmlTrackReader::EndTupleText()
{
    if (!m_strText.empty()) {
        KmlTuple();
        m_strText.clear();
    }
}

void CXmlTrackReader::KmlTuple()
{
    PendingPoint pending;
    pending.point.m_bNoSpeed = true;
    if (!ReadTuple(m_strText, ',', pending))
        return Fail();
    if (m_leaf == ELeaf::LineCoordinates)
        return Emit(pending, EPointKind::Other);
    // A Point has one.
    if (++m_nTuples > 1)
        return Fail();
    m_kmlPoint = pending;
}

void CXmlTrackReader::EndLeaf()
{
    if (m_leaf == ELeaf::LineCoordinates || m_leaf == ELeaf::PointCoordinates) {
        EndTupleText();
        if (m_leaf == ELeaf::PointCoordinates && m_nTuples != 1)
            Fail();
        m_leaf = ELeaf::None;
        return;
    }
    const ELeaf leaf = std::exchange(m_leaf, ELeaf::None);
    // An overlong value cannot be read; a name keeps its beginning.
    const std::string_view text = m_bTextOverflow ? std::string_view() : std::string_view(m_strText);
    CTrackPoint* pPoint = m_gpxPoint ? &m_gpxPoint->point : nullptr;
    switch (leaf) {
    case ELeaf::GpxValue:
        if (SetValue(*m_gpxPoint, m_pGpxValue->pfField, text, m_pGpxValue->dFactor)
            && m_pGpxValue->name == EXmlName::Speed)
            pPoint->m_bNoSpeed = false;
        break;
    case ELeaf::Time:
        m_gpxPoint->nUtcTime = XmlUtcTime(text);
        break;
    case ELeaf::WaypointName:
        pPoint->m_strName = QString::fromUtf8(m_strText).trimmed();
        break;
    case ELeaf::PlacemarkName:
        m_strPlacemarkName = QString::fromUtf8(m_strText).trimmed();
        break;
    case ELeaf::TrackWhen:
        SetTime(TrackPoint(m_nTrackWhens++), XmlUtcTime(text));
        break;
    case ELeaf::PlacemarkWhen:
        m_nPlacemarkTime = XmlUtcTime(text);
        break;
    case ELeaf::TrackCoord: {
        PendingPoint position;
        if (!ReadTuple(text, 0, position))
            return Fail();
        if (position.bUnusable)
            m_trackUnusable.push_back(m_nTrackCoords);
        CTrackPoint& point = TrackPoint(m_nTrackCoords++);
        point.m_fLatitude = position.point.m_fLatitude;
        point.m_fLongitude = position.point.m_fLongitude;
        point.m_fAltitude = position.point.m_fAltitude;
        break;
    }
    case ELeaf::None:
    case ELeaf::LineCoordinates:
    case ELeaf::PointCoordinates:
        break;
    }
}

void CXmlTrackReader::End()
{
    m_nTextRun = 0;
    if (m_leaf != ELeaf::None)
        EndLeaf();
    if (m_bFailed || m_stack.empty())
        return;
    const EXmlName name = m_stack.back();
    m_stack.pop_back();
    if (m_bTags)
        m_tags.pop_back();
    m_prefixes.End(m_stack.size());
    if (!m_bKml) {
        if (m_gpxPoint && m_stack.size() + 1 == m_nGpxPointDepth) {
            Emit(*m_gpxPoint, m_gpxKind);
            m_gpxPoint.reset();
        }
        return;
    }
    if (name == EXmlName::Track) {
        // Times beyond the last position belong to no point.
        m_points.resize(m_nTrackFirst + m_nTrackCoords);
        DropUnusableTrackPoints();
        MarkTrackPoints();
        m_bInTrack = false;
    } else if (name == EXmlName::Placemark) {
        if (m_kmlPoint) {
            m_kmlPoint->point.m_strName = m_strPlacemarkName;
            if (!m_kmlPoint->nUtcTime)
                m_kmlPoint->nUtcTime = m_nPlacemarkTime;
            Emit(*m_kmlPoint, EPointKind::Waypoint);
        }
        m_bInPlacemark = false;
        m_kmlPoint.reset();
    }
}

// The n-th point of the gx:Track being read, added when it is not there yet.
CTrackPoint& CXmlTrackReader::TrackPoint(size_t nIndex)
{
    const size_t nAt = m_nTrackFirst + nIndex;
    if (nAt >= m_points.size())
        m_points.resize(nAt + 1);
    return m_points[nAt];
}

void CXmlTrackReader::Emit(const PendingPoint& pending, EPointKind kind)
{
    // Inside a gx:Track the tail of the list is the track's own.
    if (m_bInTrack)
        return Fail();
    if (pending.bUnusable) {
        ++m_nSkipped;
        return;
    }
    const bool bAlone = kind == EPointKind::Waypoint;
    CTrackPoint& point = m_points.emplace_back(pending.point);
    point.m_bSegmentStart = std::exchange(m_bNewSegment, bAlone) || bAlone;
    SetTime(point, pending.nUtcTime);
}

// A gx:Track's points, when it kept any, are a segment without speeds.
void CXmlTrackReader::MarkTrackPoints()
{
    for (size_t n = m_nTrackFirst; n < m_points.size(); ++n) {
        m_points[n].m_bNoSpeed = true;
        m_points[n].m_bSegmentStart = n == m_nTrackFirst;
    }
    m_bNewSegment = true;
}

// The gx:Track's points whose positions or altitudes no track can hold.
void CXmlTrackReader::DropUnusableTrackPoints()
{
    size_t nKept = m_nTrackFirst;
    size_t nNextUnusable = 0;
    for (size_t n = m_nTrackFirst; n < m_points.size(); ++n) {
        if (nNextUnusable < m_trackUnusable.size() && m_trackUnusable[nNextUnusable] == n - m_nTrackFirst) {
            ++nNextUnusable;
            continue;
        }
        if (nKept != n)
            m_points[nKept] = std::move(m_points[n]);
        ++nKept;
    }
    m_nSkipped += m_points.size() - nKept;
    m_points.resize(nKept);
    m_trackUnusable.clear();
}

void CXmlTrackReader::SetTime(CTrackPoint& point, std::optional<int64_t> nUtcTime) const
{
    if (!nUtcTime)
        return;
    point.SetUtcTime(nUtcTime);
    const int64_t nSeconds = ((*nUtcTime + m_nUtcSeconds) % XML_DAY_SECONDS + XML_DAY_SECONDS) % XML_DAY_SECONDS;
    point.m_byHour = uint8_t(nSeconds / 3600);
    point.m_byMinute = uint8_t(nSeconds / 60 % 60);
    point.m_bySecond = uint8_t(nSeconds % 60);
}

template <typename Read>
COutcome ReadTrack(Read read, uint64_t nSize, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                   const CLoadProgress& progress, const QString& strPath, CXmlSplit* pSplit = nullptr)
{
    const size_t nOld = points.size();
    COutcome result;
    {
        CXmlTrackReader reader(points, nUtcCorrection);
        reader.SetSplit(pSplit);
        CLoadProgress both = progress;
        if (pSplit && progress)
            both = [&](uint64_t nRead, uint64_t nAll) { return progress(pSplit->BothRead(nRead), nAll); };
        result = reader.Parse(read, nSize, both, strPath);
        size_t nSecondSkipped = 0;
        if (result && reader.ReachedSplit())
            result = pSplit->Join(points, nSecondSkipped, reader.NewSegmentDue(), progress);
        if (result)
            nSkipped += reader.Skipped() + nSecondSkipped;
    }
    if (!result)
        points.resize(nOld);
    return result;
}

}

bool ReadXmlTrack(QIODevice& device, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped)
{
    const auto read = [&device](char* pBuffer, size_t nMax) { return ptrdiff_t(device.read(pBuffer, qint64(nMax))); };
    return bool(ReadTrack(read, 0, nUtcCorrection, points, nSkipped, {}, QString()));
}

COutcome LoadXmlTrackFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                          const CLoadProgress& progress)
{
    CInputFile file;
    if (COutcome opened = OpenTrackInput(file, strPath); !opened)
        return opened;
    const auto read = [&file](char* pBuffer, size_t nMax) { return file.Read(pBuffer, nMax); };
    std::optional<CXmlSplit> split;
    if (file.Size() >= XML_SPLIT_MIN_BYTES && std::thread::hardware_concurrency() >= 2)
        split.emplace(file, strPath, [nUtcCorrection, &strPath](CXmlSplit& half, uint64_t nPrefix,
                                                                CTrackPointList& halfPoints, size_t& nHalfSkipped) {
            CXmlTrackReader reader(halfPoints, nUtcCorrection);
            reader.SetPrefix(nPrefix);
            const auto read = [&half](char* pBuffer, size_t nMax) { return half.ReadSecond(pBuffer, nMax); };
            const COutcome outcome = reader.Parse(read, 0, {}, strPath);
            nHalfSkipped = reader.Skipped();
            return outcome;
        });
    return ReadTrack(read, file.Size(), nUtcCorrection, points, nSkipped, progress, strPath,
                     split ? &*split : nullptr);
}
