// Points written the plain way are read without the parser; whatever the
// points look like, the result is the parser's: the same document with a
// DTD, which leaves every point to the parser, reads the same.
#include "track/XmlTrackReader.h"

#include <QBuffer>
#include <QString>
#include <gtest/gtest.h>

#include <bit>
#include <string>

namespace {

const char PLAIN_DECLARATION[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const char PLAIN_DOCTYPE[] = "<!DOCTYPE gpx>";
const char PLAIN_ROOT[] = "\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
const char PLAIN_TAIL[] = "</trkseg></trk></gpx>\n";
// Enough points around a case that the reader's pieces of input end inside
// some of them.
constexpr int PLAIN_POINTS_AROUND = 1500;

std::string PlainPoint(int i)
{
    return "<trkpt lat=\"52." + std::to_string(100000 + i) + "\" lon=\"4.5\"><ele>" + std::to_string(i % 500)
           + ".25</ele><time>2026-12-07T10:" + std::to_string(10 + i / 60 % 50) + ':' + std::to_string(10 + i % 50)
           + "Z</time></trkpt>\n";
}

std::string PlainBody(const std::string& middle)
{
    std::string text;
    for (int i = 0; i < PLAIN_POINTS_AROUND; ++i)
        text += PlainPoint(i);
    text += middle;
    for (int i = 0; i < PLAIN_POINTS_AROUND; ++i)
        text += PlainPoint(PLAIN_POINTS_AROUND + i);
    return text;
}

// Everything the reader gives, bit for bit.
struct CPlainResult
{
    bool bRead = false;
    size_t nSkipped = 0;
    std::string points;
};

CPlainResult PlainRead(const QByteArray& document)
{
    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    CTrackPointList points;
    CPlainResult result;
    result.bRead = ReadXmlTrack(buffer, 1, points, result.nSkipped);
    for (const CTrackPoint& point : points) {
        result.points += QString::asprintf("%08x %08x %08x %08x %08x %08x %02d:%02d:%02d %u %d%d %s\n",
                                           std::bit_cast<uint32_t>(point.m_fLatitude),
                                           std::bit_cast<uint32_t>(point.m_fLongitude),
                                           std::bit_cast<uint32_t>(point.m_fAltitude),
                                           std::bit_cast<uint32_t>(point.m_fSpeed),
                                           std::bit_cast<uint32_t>(point.m_fCourse),
                                           std::bit_cast<uint32_t>(point.m_fHdop), point.m_byHour,
                                           point.m_byMinute, point.m_bySecond, point.m_nUtcTime,
                                           int(point.m_bSegmentStart), int(point.m_bNoSpeed),
                                           qPrintable(point.m_strName))
                             .toStdString();
    }
    return result;
}

// The document read as it is and with a DTD.
void ExpectAsParsed(const std::string& body, const std::string& tail, const char* szCase, bool bRead,
                    const std::string& prolog = PLAIN_DECLARATION, const std::string& root = PLAIN_ROOT)
{
    const std::string plain = prolog + root + body + tail;
    const std::string parsed = prolog + PLAIN_DOCTYPE + root + body + tail;
    const CPlainResult fast = PlainRead(QByteArray::fromStdString(plain));
    const CPlainResult slow = PlainRead(QByteArray::fromStdString(parsed));
    EXPECT_EQ(fast.bRead, bRead) << szCase;
    EXPECT_EQ(fast.bRead, slow.bRead) << szCase;
    EXPECT_EQ(fast.nSkipped, slow.nSkipped) << szCase;
    EXPECT_EQ(fast.points, slow.points) << szCase;
}

TEST(XmlPlainPoints, AnyPointReadsAsTheParserReadsIt)
{
    const struct
    {
        const char* szPoint;
        bool bRead;
    } CASES[] = {
        {"<trkpt lat=\"52.5\" lon=\"4.5\"><ele>1.5</ele><time>2026-12-07T15:08:03+02:00</time></trkpt>\n", true},
        {"<trkpt  lon = '4.5'\n lat='52.5' ><ele> 2 </ele>\n\t</trkpt >\r\n", true},
        {"<trkpt lat=\"1\" lon=\"2\"/><trkpt lat=\"3\" lon=\"4\" />", true},
        {"<trkpt lat=\"1\" lon=\"2\"><speed>5</speed><course>90</course><hdop>1.2</hdop><sat>7</sat></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><ele></ele><my-ext.v>x</my-ext.v></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><a>1</a><b>2</b><c>3</c><d>4</d><e>5</e><f>6</f><g>7</g><h>8</h><ele>9</ele>"
         "</trkpt>",
         true},
        {"<trkpt lat=\"1\" lon=\"2\"><averyveryveryveryveryverylongname12>1</averyveryveryveryveryverylongname12>"
         "</trkpt>",
         true},
        {"<trkpt lat=\"1\"><ele>1</ele></trkpt>", false},
        {"<trkpt lat=\"1\" lat=\"2\" lon=\"3\"/>", false},
        {"<trkpt lat=\"1\" lon=\"2\" x=\"3\"/>", true},
        {"<trkpt lat=\"&#53;2\" lon=\"2\"><ele>&#49;</ele></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><ele><![CDATA[7]]></ele></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><!-- c --><ele>3</ele></trkpt>", true},
        {"<!-- </trkpt> --><trkpt lat=\"1\" lon=\"2\"/><?pi </trkpt>?>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><ele>3</elx></trkpt>", false},
        {"<trkpt lat=\"1\" lon=\"2\"><ele>3</ele></rtept>", false},
        {"<trkpt lat=\"1<\" lon=\"2\"/>", false},
        {"<trkpt lat=\"1\" lon=\"2\"><ele>1]]></ele></trkpt>", false},
        {"<trkpt lat=\"1\" lon=\"2\"><trkpt lat=\"1\" lon=\"2\"/></trkpt>", false},
        {"<trkpt lat=\"1\" lon=\"2\"><ele><trkpt lat=\"1\" lon=\"2\"/></ele></trkpt>", false},
        {"<trkpt lat=\"91\" lon=\"2\"/><trkpt lat=\"1\" lon=\"2\"><ele>1e39</ele></trkpt>", true},
        {"<trkpt lat=\"\t1\" lon=\"2\n\"><ele>1\r\n</ele></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\">text<ele>1</ele></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><extensions><hr>1</hr></extensions></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><x:hr xmlns:x=\"u\">1</x:hr></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><x:hr>1</x:hr></trkpt>", false},
        {"<trkpt lat=\"1\" x:a=\"1\" lon=\"2\"/>", false},
        {"<trkpt lat=\"1\" lon=\"2\" a:b:c=\"1\" xmlns:a=\"u\"/>", false},
        {"<trkpt lat=\"1\" lon=\"2\" xmlns:x=\"u\" x:a=\"1\" b=\"2\"/>", true},
        {"<trkpt lat=\"1\" lon=\"2\" xmlns:x=\"\"/>", false},
        {"<trkpt lat=\"1\" lon=\"2\" b=\"1\" c=\"2\" d=\"3\" e=\"4\" f=\"5\"/>", true},
        {"<trkpt lat=\"1\" lon=\"2\" b=\"1\" b=\"2\"/>", false},
        {"<trkpt lat=\"1\" lon=\"2\" xml:lang=\"nl\"/>", true},
        {"<wpt lat=\"1\" lon=\"2\"><name>Caf\xc3\xa9 &amp; bar</name></wpt><wpt lat=\"1\" lon=\"2\"><name> Lock "
         "</name></wpt>",
         true},
        {"<rtept lat=\"1\" lon=\"2\"><ele>3</ele></rtept></trkseg><trkseg>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><ele>3</ele></trkpt><trkpt lat=\"1\" lon=\"2\"><ele>3</ele></trkpt>", true},
        {"<trkpt lat=\"1\" lon=\"2\"><ele>3</ele></trkpt>                                                       ",
         true},
    };
    for (const auto& c : CASES)
        ExpectAsParsed(PlainBody(c.szPoint), PLAIN_TAIL, c.szPoint, c.bRead);
    // White space between points beyond what is read as a point.
    ExpectAsParsed(PlainBody(std::string(10000, ' ')), PLAIN_TAIL, "a run of white space", true);
}

// The root's start tag is read plain too, however many prefixes it declares.
TEST(XmlPlainPoints, AnyRootReadsAsTheParserReadsIt)
{
    std::string declarations;
    for (int i = 0; i < 10000; ++i)
        declarations += " xmlns:p" + std::to_string(i) + "=\"u" + std::to_string(i) + '"';
    const std::string prefixed = "<trkpt lat=\"1\" lon=\"2\" p17:a=\"1\" p9999:b=\"2\"/>";
    const std::string decl = PLAIN_DECLARATION;
    const struct
    {
        const char* szCase;
        std::string prolog;
        std::string root;
        std::string middle;
        bool bRead;
    } CASES[] = {
        {"many prefixes", decl, "<gpx" + declarations + "><trk><trkseg>", prefixed, true},
        {"many prefixes, one undeclared", decl, "<gpx" + declarations + "><trk><trkseg>",
         "<trkpt lat=\"1\" lon=\"2\" q:a=\"1\"/>", false},
        {"no declaration", "", "<gpx xmlns:p17=\"u\" xmlns:p9999='v'><trk><trkseg>", prefixed, true},
        {"a byte order mark", "\xef\xbb\xbf" + decl + "\n", "<gpx><trk><trkseg>", "", true},
        {"a prefixed root", decl, "<g:gpx xmlns:g=\"u\"><trk><trkseg>", "", false},
        {"a root of another name", decl, "<foo><trk><trkseg>", "", false},
        {"an attribute twice", decl, "<gpx a=\"1\" b=\"2\" a=\"3\"><trk><trkseg>", "", false},
        {"a prefix undeclared", decl, "<gpx xmlns:p=\"\"><trk><trkseg>", "", false},
        {"a reference", decl, "<gpx creator=\"a&amp;b\"><trk><trkseg>", "", true},
        {"a tab and a '>'", decl, "<gpx creator=\"a\tb\" version='1>0'><trk><trkseg>", "", true},
        {"another encoding", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "<gpx><trk><trkseg>", "", true},
        {"a comment first", decl + "<!-- c -->", "<gpx><trk><trkseg>", "", true},
        {"a processing instruction first", decl + "<?xml-stylesheet href=\"a\"?>", "<gpx><trk><trkseg>", "", true},
        {"a bad declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\" x?>", "<gpx><trk><trkseg>", "", false},
        {"an empty root", decl, "<gpx/>", "", false},
    };
    for (const auto& c : CASES)
        ExpectAsParsed(PlainBody(c.middle), PLAIN_TAIL, c.szCase, c.bRead, c.prolog, c.root);
    ExpectAsParsed({}, {}, "the root's start tag alone", false, decl, "<gpx" + declarations + ">");
}

// A file that ends early is no track however its last point was read.
TEST(XmlPlainPoints, CutOffFilesAreIncorrect)
{
    const std::string body = PlainBody({});
    const struct
    {
        const char* szCase;
        std::string text;
    } CASES[] = {
        {"after a point", body},
        {"inside a point", body.substr(0, body.size() - 20)},
        {"after a start tag", body + "<trkpt lat=\"1\" lon=\"2\">"},
        {"in white space", body + "\n\n"},
    };
    for (const auto& c : CASES)
        ExpectAsParsed(c.text, {}, c.szCase, false);
}

// Encodings other than ASCII's kin, where bytes that look like a plain point
// may be something else.
TEST(XmlPlainPoints, OtherEncodingsReadAsParsed)
{
    const std::string body = PlainBody("<wpt lat=\"1\" lon=\"2\"><name>Caf\xc3\xa9</name></wpt>");
    const QString strDocument = QString::fromStdString(PLAIN_ROOT + body + PLAIN_TAIL);
    QByteArray utf16("\xff\xfe");
    utf16 += QByteArray(reinterpret_cast<const char*>(strDocument.utf16()), strDocument.size() * 2);
    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>" + strDocument.toLatin1();
    const QByteArray cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + strDocument.toLatin1();
    const QByteArray utf8 = strDocument.toUtf8();
    const CPlainResult expected = PlainRead(utf8);
    ASSERT_TRUE(expected.bRead);
    for (const QByteArray& document : {utf16, latin1, cp1252}) {
        const CPlainResult read = PlainRead(document);
        EXPECT_TRUE(read.bRead) << document.left(60).constData();
        EXPECT_EQ(read.points, expected.points) << document.left(60).constData();
    }
}

}
