// A large GPX file is read in two halves at once: whatever the file holds
// where the halves meet, the points, segments, skipped points and outcome
// are those of one reading from start to end. And the numbers of a track,
// read on a fast path where they are plain decimals, are those from_chars
// gives.
#include "tests/track/TrackTestSupport.h"
#include "track/XmlNumbers.h"
#include "track/XmlTrackReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <string>

namespace {

const char SPLIT_HEAD[] = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";

std::string Describe(const CTrackPoint& point)
{
    return QString::asprintf("%.9g %.9g %.9g %s %s %u", double(point.m_fLatitude), double(point.m_fLongitude),
                             double(point.m_fAltitude), point.m_bSegmentStart ? "start" : "-",
                             qPrintable(point.m_strName), point.m_nUtcTime)
        .toStdString();
}

bool SamePoint(const CTrackPoint& a, const CTrackPoint& b)
{
    return std::bit_cast<uint32_t>(a.m_fLatitude) == std::bit_cast<uint32_t>(b.m_fLatitude)
           && std::bit_cast<uint32_t>(a.m_fLongitude) == std::bit_cast<uint32_t>(b.m_fLongitude)
           && std::bit_cast<uint32_t>(a.m_fAltitude) == std::bit_cast<uint32_t>(b.m_fAltitude)
           && a.m_bSegmentStart == b.m_bSegmentStart && a.m_bNoSpeed == b.m_bNoSpeed
           && a.m_nUtcTime == b.m_nUtcTime && a.m_strName == b.m_strName;
}

// Track points up to the size of a split reading, each made by point(i),
// between head and tail.
template <typename Point>
std::string Document(const std::string& head, Point point, const std::string& tail)
{
    std::string text = SPLIT_HEAD + head;
    for (int i = 0; text.size() < XML_SPLIT_MIN_BYTES + 1000; ++i)
        text += point(i);
    return text + tail + "</gpx>\n";
}

std::string Trkpt(int i, const std::string& extra = {})
{
    return "<trkpt lat=\"" + std::to_string(50 + (i % 1000) * 0.001) + "\" lon=\"4.5\"" + extra + "><ele>"
           + std::to_string(i % 700) + "</ele><time>2026-12-07T10:" + std::to_string(10 + i / 60 % 50) + ':'
           + std::to_string(10 + i % 50) + "Z</time></trkpt>\n";
}

TEST(XmlSplitRead, SameAsOneReading)
{
    struct Case
    {
        const char* pszName;
        std::string document;
    };
    const std::string trk = "<trk><trkseg>\n";
    const std::string end = "</trkseg></trk>\n";
    const Case cases[] = {
        {"one segment", Document(trk, [](int i) { return Trkpt(i); }, end)},
        {"a segment every 997 points",
         Document(trk, [](int i) { return (i % 997 == 996 ? "</trkseg><trkseg>\n" : "") + Trkpt(i); }, end)},
        {"segments declaring other prefixes",
         Document("<trk>",
                  [](int i) {
                      const std::string seg = i % 2000 < 1000 ? "<trkseg xmlns:a=\"u\">\n" : "<trkseg xmlns:b=\"u\">\n";
                      return (i % 1000 == 0 ? (i ? "</trkseg>" : "") + seg : "")
                             + Trkpt(i, i % 2000 < 1000 ? " a:x=\"1\"" : " b:x=\"1\"");
                  },
                  "</trkseg></trk>\n")},
        {"a prefix used where it is not declared",
         Document("<trk>",
                  [](int i) {
                      return (i % 1000 == 0 ? std::string(i ? "</trkseg>" : "") + "<trkseg xmlns:a=\"u\">\n" : "")
                             + Trkpt(i, i > 60000 && i % 1000 == 999 ? " b:x=\"1\"" : "");
                  },
                  "</trkseg></trk>\n")},
        {"the middle inside a comment",
         Document(trk + Trkpt(0) + "<!--\n", [](int i) { return Trkpt(i); }, "-->" + end)},
        {"the middle inside a CDATA section",
         Document(trk + Trkpt(0) + "<extensions><![CDATA[\n", [](int i) { return Trkpt(i); }, "]]></extensions>" + end)},
        {"the middle inside a point's extensions",
         Document(trk + "<trkpt lat=\"1\" lon=\"2\"><extensions>\n", [](int i) { return Trkpt(i); },
                  "</extensions></trkpt>" + end)},
        {"unusable points and a waypoint after the track",
         Document(trk, [](int i) { return Trkpt(i, "") + (i % 5000 == 4999 ? "<trkpt lat=\"91\" lon=\"0\"/>\n" : ""); },
                  end + "<wpt lat=\"3\" lon=\"4\"><name>after</name></wpt>\n")},
        {"route points", Document("<rte>\n", [](int i) { return "<rtept lat=\"1\" lon=\"" + std::to_string(i % 90) + "\"/>\n"; },
                                  "</rte>\n")},
        {"a default attribute from the DTD",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ATTLIST trkpt lon CDATA \"7\">]>\n"
             + Document(trk, [](int i) { return "<trkpt lat=\"" + std::to_string(i % 80) + "\"/>\n"; }, end)
                   .substr(sizeof "<?xml version=\"1.0\"?>\n" - 1)},
        {"the tail cut off", Document(trk, [](int i) { return Trkpt(i); }, "</trkseg>").substr(0, XML_SPLIT_MIN_BYTES)},
        {"a bad point near the end",
         Document(trk, [](int i) { return i == 80000 ? "<trkpt lat=\"x\" lon=\"1\"/>" : Trkpt(i); }, end)},
        {"a bad point near the start",
         Document(trk, [](int i) { return i == 10 ? "<trkpt lat=\"x\" lon=\"1\"/>" : Trkpt(i); }, end)},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString strPath = dir.filePath(QStringLiteral("split.gpx"));
        QFile file(strPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.document.data(), qint64(c.document.size()));
        file.close();
        CTrackPointList whole;
        size_t nWholeSkipped = 0;
        const bool bWhole = ReadXmlDocument(c.document, whole, nWholeSkipped);
        CTrackPointList split;
        size_t nSplitSkipped = 0;
        const bool bSplit = bool(LoadXmlTrackFile(strPath, 0, split, nSplitSkipped));
        EXPECT_EQ(bSplit, bWhole) << c.pszName;
        EXPECT_EQ(nSplitSkipped, nWholeSkipped) << c.pszName;
        ASSERT_EQ(split.size(), whole.size()) << c.pszName;
        for (size_t i = 0; i < whole.size(); ++i) {
            if (!SamePoint(split[i], whole[i])) {
                ASSERT_EQ(Describe(split[i]), Describe(whole[i])) << c.pszName << ", point " << i;
            }
        }
    }
}

// The window's progress sees both halves, never past the file's length, and
// its Cancel stops both, leaving the list as it was. (The first half alone
// reports past a third, so a Cancel there always comes in time.)
TEST(XmlSplitRead, ProgressAndCancel)
{
    const std::string document = Document("<trk><trkseg>\n", [](int i) { return Trkpt(i); }, "</trkseg></trk>\n");
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("progress.gpx"));
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document.data(), qint64(document.size()));
    file.close();
    const struct
    {
        uint64_t nCancelAt;   // bytes read at which Cancel is pressed
        EOutcome eOutcome;
    } cases[] = {{UINT64_MAX, EOutcome::Ok}, {document.size() / 3, EOutcome::Cancelled}};
    CTrackPointList whole;
    size_t nWholeSkipped = 0;
    ASSERT_TRUE(ReadXmlDocument(document, whole, nWholeSkipped));
    for (const auto& c : cases) {
        CTrackPointList points(1);
        size_t nSkipped = 0;
        uint64_t nMost = 0;
        bool bBeyond = false;
        const auto progress = [&](uint64_t nRead, uint64_t nSize) {
            bBeyond = bBeyond || nRead > nSize || nSize != document.size();
            nMost = std::max(nMost, nRead);
            return nRead < c.nCancelAt;
        };
        const COutcome outcome = LoadXmlTrackFile(strPath, 0, points, nSkipped, progress);
        EXPECT_EQ(outcome.Kind(), c.eOutcome) << c.nCancelAt;
        EXPECT_FALSE(bBeyond) << c.nCancelAt;
        EXPECT_GT(nMost, document.size() / 4) << c.nCancelAt;
        EXPECT_EQ(points.size(), outcome ? 1 + whole.size() : 1) << c.nCancelAt;
    }
}

// The fast path and the general one give the same double, to the last bit.
TEST(XmlSplitRead, NumbersAsFromChars)
{
    const char* const numbers[] = {
        "52.000061", "-0.5", ".5", "5.", "-.25", "-0", "0.1", "123.456789012345678", "9007199254740993",
        "9007199254740992.5", "0.0000000000000000000001", "000000000000000000001.5", "1e2", "12345678901234567890",
        "3.4028235677973366e38", "4.9406564584124654e-324", "99999999999999999999.9",
    };
    for (const char* pszNumber : numbers) {
        double dExpected = 0;
        std::from_chars(pszNumber, pszNumber + std::strlen(pszNumber), dExpected);
        const std::optional<double> dRead = XmlNumber(pszNumber);
        ASSERT_TRUE(dRead) << pszNumber;
        EXPECT_EQ(std::bit_cast<uint64_t>(*dRead), std::bit_cast<uint64_t>(dExpected)) << pszNumber;
    }
}

}
