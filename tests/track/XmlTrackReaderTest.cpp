#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/TrackFormats.h"
#include "track/XmlTrackReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

bool Read(const QByteArray& document, CTrackPointList& points, int nUtc = 0)
{
    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    size_t nSkipped = 0;
    return ReadXmlTrack(buffer, nUtc, points, nSkipped);
}

QString Time(const CTrackPoint& point)
{
    return QString::asprintf("%02d:%02d:%02d", point.m_byHour, point.m_byMinute, point.m_bySecond);
}

const char GPX11_HEAD[] = "<?xml version=\"1.0\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">";
const char KML_HEAD[] = "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\" "
                        "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document>";

// An attribute value or a text of more than a megabyte is no track's; the
// coordinates of a line may be any length.
TEST(XmlTrackReader, OverlongValuesMakeTheFileIncorrect)
{
    const QByteArray huge(2 * 1024 * 1024, 'x');
    const QByteArray tuples = QByteArray("4.5,52.5 ").repeated(300000);
    const struct
    {
        QByteArray document;
        bool bRead;
    } CASES[] = {
        {QByteArray(GPX11_HEAD) + "<wpt lat='1' lon='2' note='" + huge + "'/></gpx>", false},
        {QByteArray(GPX11_HEAD) + "<wpt lat='1' lon='2'><name>" + huge + "</name></wpt></gpx>", false},
        {QByteArray(GPX11_HEAD) + "<metadata><desc>" + huge + "</desc></metadata></gpx>", false},
        {QByteArray(KML_HEAD) + "<Placemark><LineString><coordinates>" + tuples
             + "</coordinates></LineString></Placemark></Document></kml>",
         true},
    };
    for (const auto& c : CASES) {
        CTrackPointList points;
        EXPECT_EQ(Read(c.document, points), c.bRead) << c.document.left(80).constData();
        EXPECT_EQ(points.empty(), !c.bRead);
    }
}

TEST(XmlTrackReader, GpxWrittenByGpsBabelOpensWithEveryPoint)
{
    CTrackPointList points{MakePoint(1, 1, 0, 0, 0, 0)};   // File Open appends
    ASSERT_TRUE(Read(ReadAll(QStringLiteral(VELTRIP_SOURCE_DIR "/tests/track/data/gpsbabel-1.0.gpx")), points, 1));
    ASSERT_EQ(points.size(), 6u);
    // In document order: the waypoint as a placemark, the route point, the track.
    EXPECT_EQ(points[1].m_strName, "Lock");
    EXPECT_FLOAT_EQ(points[1].m_fLatitude, 52.091f);
    EXPECT_FLOAT_EQ(points[1].m_fAltitude, 4.0f);
    EXPECT_EQ(Time(points[1]), "16:08:30");   // UTC plus the correction of 1
    EXPECT_TRUE(points[2].m_strName.isEmpty()) << "route points carry no name";
    EXPECT_FLOAT_EQ(points[2].m_fLongitude, 5.121f);
    EXPECT_EQ(Time(points[2]), "00:00:00");   // no time in the file
    EXPECT_FLOAT_EQ(points[3].m_fLatitude, 52.09f);
    EXPECT_FLOAT_EQ(points[3].m_fAltitude, 1.5f);
    EXPECT_NEAR(points[3].m_fSpeed, 10.0f, 1e-4);   // 5.144444 m/s
    EXPECT_FLOAT_EQ(points[3].m_fCourse, 45.0f);
    EXPECT_FLOAT_EQ(points[3].m_fHdop, 0.9f);
    EXPECT_EQ(Time(points[3]), "16:08:03");
    EXPECT_EQ(Time(points[4]), "16:08:13");   // the fraction dropped
    EXPECT_EQ(points[4].m_fSpeed, 0);
    EXPECT_EQ(points[4].m_fHdop, 0);
    EXPECT_EQ(points[4].m_fCourse, 0);
    EXPECT_TRUE(points[4].m_strName.isEmpty());
    EXPECT_EQ(Time(points.back()), "00:59:59");   // past midnight with the correction
}

TEST(XmlTrackReader, TimesAndFormats)
{
    struct Case
    {
        const char* pszBody;
        int nUtc;
        const char* pszTimes;   // of the points, in order
        const char* pszNames;
    };
    const Case cases[] = {
        {"<trk><trkseg><trkpt lat='1' lon='2'><time>2026-12-07T10:00:00+02:00</time></trkpt>"
         "<trkpt lat='1' lon='2'><time>2026-12-07T01:30:00-01:30</time></trkpt>"
         "<trkpt lat='1' lon='2'><time>2026-12-07T01:30:00</time></trkpt>"
         "<trkpt lat='1' lon='2'><time>2026-12-07</time></trkpt></trkseg></trk>",
         0, "08:00:00 03:00:00 01:30:00 00:00:00", ",,,"},
        {"<trk><trkseg><trkpt lat='1' lon='2'><time>2026-12-07T00:10:00Z</time></trkpt></trkseg></trk>", -1,
         "23:10:00", ""},
        // Offsets without a colon and a leap second; times that are not
        // xsd:dateTime give no time.
        {"<wpt lat='1' lon='2'><time> 2026-12-07T10:00:60.25+0130 </time></wpt>"
         "<wpt lat='1' lon='2'><time>2026-12-07T1:00:00Z</time></wpt>"
         "<wpt lat='1' lon='2'><time>T10:00:00Z</time></wpt>"
         "<wpt lat='1' lon='2'><time>2026-12-07T10:00:00Zjunk</time></wpt>"
         "<wpt lat='1' lon='2'><time>2026-12-07T25:00:00Z</time></wpt>"
         "<wpt lat='1' lon='2'><time>2026-12-07T10:00:00.Z</time></wpt>"
         "<wpt lat='1' lon='2'><time>2026-12-07T10:00:00+01</time></wpt>"
         "<wpt lat='1' lon='2'><time>26-12-07T10:00:00Z</time></wpt>",
         0, "08:31:00 00:00:00 00:00:00 00:00:00 00:00:00 00:00:00 00:00:00 00:00:00", ",,,,,,,"},
        {"<wpt lat='-33.5' lon='-70.25'><name> Cerro &amp; Co </name></wpt><wpt lat='0' lon='0'/>", 0,
         "00:00:00 00:00:00", "Cerro & Co,"},
        {"<trk><trkseg><trkpt lat='1' lon='2'><extensions><name>x</name><time>2026-12-07T05:00:00Z</time>"
         "</extensions></trkpt></trkseg></trk>",
         0, "00:00:00", ""},
    };
    for (const Case& c : cases) {
        CTrackPointList points;
        ASSERT_TRUE(Read(QByteArray(GPX11_HEAD) + c.pszBody + "</gpx>", points, c.nUtc)) << c.pszBody;
        QStringList times;
        QStringList names;
        for (const CTrackPoint& point : points) {
            times << Time(point);
            names << point.m_strName;
        }
        EXPECT_EQ(times.join(' '), QLatin1String(c.pszTimes)) << c.pszBody;
        EXPECT_EQ(names.join(','), QLatin1String(c.pszNames)) << c.pszBody;
    }
}

TEST(XmlTrackReader, KmlLinesTracksAndPlacemarks)
{
    const QByteArray kml = QByteArray(KML_HEAD)
                           + "<Placemark><name>Track1</name><LineString><coordinates>\n"
                             "  4.5,52.25,10 4.75,52.5\n\t4.875,52.75,-3.5\n</coordinates></LineString></Placemark>"
                             "<Placemark><name>Ride</name><gx:Track>"
                             "<when>2026-12-07T10:00:00Z</when><when>2026-12-07T10:00:05Z</when>"
                             "<gx:coord>5 53 7</gx:coord><gx:coord>5.5 53.5 8</gx:coord></gx:Track></Placemark>"
                             "<Folder><Placemark><TimeStamp><when>2026-12-07T11:00:00Z</when></TimeStamp>"
                             "<name>Pin</name><LookAt><longitude>1</longitude><latitude>2</latitude></LookAt>"
                             "<Point><coordinates>6,54,0</coordinates></Point></Placemark></Folder>"
                             "<Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>0,0 1,1 0,0"
                             "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>"
                             "</Document></kml>";
    CTrackPointList points;
    ASSERT_TRUE(Read(kml, points, 1));
    ASSERT_EQ(points.size(), 6u);
    EXPECT_FLOAT_EQ(points[0].m_fLongitude, 4.5f);
    EXPECT_FLOAT_EQ(points[0].m_fLatitude, 52.25f);
    EXPECT_FLOAT_EQ(points[0].m_fAltitude, 10.0f);
    EXPECT_EQ(points[1].m_fAltitude, 0);
    EXPECT_FLOAT_EQ(points[2].m_fAltitude, -3.5f);
    EXPECT_TRUE(points[0].m_strName.isEmpty()) << "a line's name names no point";
    EXPECT_EQ(Time(points[0]), "00:00:00");
    EXPECT_FLOAT_EQ(points[4].m_fLatitude, 53.5f);
    EXPECT_FLOAT_EQ(points[4].m_fAltitude, 8.0f);
    EXPECT_EQ(Time(points[3]), "11:00:00");
    EXPECT_EQ(Time(points[4]), "11:00:05");
    EXPECT_EQ(points[5].m_strName, "Pin");
    EXPECT_FLOAT_EQ(points[5].m_fLatitude, 54.0f);
    EXPECT_EQ(Time(points[5]), "12:00:00");
}

// The n-th <when> of a gx:Track times the n-th <gx:coord>, whichever comes
// first; the file's declared encoding is honoured.
TEST(XmlTrackReader, TrackTimesAndEncodings)
{
    const char WHEN_10[] = "<when>2026-12-07T10:00:00Z</when>";
    const char WHEN_11[] = "<when>2026-12-07T11:00:00Z</when>";
    const char COORD_1[] = "<gx:coord>5 53 7</gx:coord>";
    const char COORD_2[] = "<gx:coord> 6\t54 </gx:coord>";
    const struct
    {
        QByteArray document;
        const char* pszTimes;
        const char* pszNames;
    } cases[] = {
        {QByteArray(KML_HEAD) + "<gx:Track>" + WHEN_10 + WHEN_11 + COORD_1 + COORD_2 + "</gx:Track></Document></kml>",
         "10:00:00 11:00:00", ","},
        {QByteArray(KML_HEAD) + "<gx:Track>" + COORD_1 + COORD_2 + WHEN_10 + WHEN_11 + "</gx:Track></Document></kml>",
         "10:00:00 11:00:00", ","},
        {QByteArray(KML_HEAD) + "<gx:Track>" + WHEN_10 + WHEN_11 + COORD_1 + "</gx:Track></Document></kml>",
         "10:00:00", ""},
        {QByteArray(KML_HEAD) + "<gx:Track>" + WHEN_11 + COORD_1 + COORD_2 + "</gx:Track><gx:Track>" + COORD_2
             + WHEN_10 + "</gx:Track></Document></kml>",
         "11:00:00 00:00:00 10:00:00", ",,"},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><gpx><wpt lat='1' lon='2'><name>Caf\xe9 \x80</name>"
         "</wpt></gpx>",
         "00:00:00", "Caf\u00e9 \u20ac"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx><wpt lat='1' lon='2'><name>\xc4</name></wpt></gpx>",
         "00:00:00", "\u00c4"},
    };
    for (const auto& c : cases) {
        CTrackPointList points;
        ASSERT_TRUE(Read(c.document, points)) << c.document.toStdString();
        QStringList times;
        QStringList names;
        for (const CTrackPoint& point : points) {
            times << Time(point);
            names << point.m_strName;
        }
        EXPECT_EQ(times.join(' '), QLatin1String(c.pszTimes)) << c.document.toStdString();
        EXPECT_EQ(names.join(','), QString::fromUtf8(c.pszNames)) << c.document.toStdString();
    }
}

TEST(XmlTrackReader, CorpusKml)
{
    VELTRIP_REQUIRE_CORPUS();
    CTrackPointList points;
    size_t nSkipped = 0;
    EXPECT_TRUE(Succeeded(LoadXmlTrackFile(CorpusDir() + QStringLiteral("/kml/valid-track-2.1.kml"), 0, points,
                                           nSkipped)));
    ASSERT_EQ(points.size(), 4u);
    EXPECT_FLOAT_EQ(points[2].m_fLongitude, 13.368008f);
    EXPECT_FLOAT_EQ(points[2].m_fAltitude, 746.3f);
    EXPECT_EQ(points[3].m_strName, "Start");
    EXPECT_EQ(LoadXmlTrackFile(CorpusDir() + QStringLiteral("/kml/schema-valid-but-bad-coordinates.kml"), 0, points,
                               nSkipped).Kind(),
              EOutcome::Incorrect);
    EXPECT_EQ(points.size(), 4u);
}

// Everything that is no track, and XML built to hurt a parser, is refused
// with the list untouched.
TEST(XmlTrackReader, RefusesWhatIsNoTrack)
{
    const QByteArray gpx(GPX11_HEAD);
    const QByteArray kml(KML_HEAD);
    QByteArray deep = gpx;
    for (int i = 0; i < 100000; ++i)
        deep += "<extensions>";
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE gpx [<!ENTITY a \"aaaaaaaaaa\">";
    for (int i = 0; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY %1 \"%2\">").arg(QChar('b' + i)).arg(QString("&%1;").arg(QChar('a' + i)).repeated(10)).toLatin1();
    laughs += "]><gpx><wpt lat='1' lon='1'><name>&k;</name></wpt></gpx>";
    const QByteArray cases[] = {
        "",
        "GPD\r\n\x1a\0\0\0\0",
        "not xml at all",
        "<?xml version=\"1.0\"?><html><body/></html>",
        gpx + "<wpt lat='1' lon='2'>",                          // cut short
        gpx + "<wpt lat='1'/></gpx>",                           // no longitude
        gpx + "<wpt lat='1,5' lon='2'/></gpx>",
        gpx + "<wpt lat='1' lon='2'><wpt lat='1' lon='2'/></wpt></gpx>",
        gpx + "<wpt lat='1' lon='2'></gpx>",                   // mismatched end
        gpx + "<wpt lat='" + QByteArray(10'000'000, 'x') + "' lon='2'/></gpx>",
        deep,
        laughs,
        "<?xml version=\"1.0\"?><!DOCTYPE gpx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><gpx>&x;</gpx>",
        gpx + "&undefined;</gpx>",
        kml + "<Placemark><Point><coordinates>abc,def</coordinates></Point></Placemark></Document></kml>",
        kml + "<Placemark><Point><coordinates>1,2 3,4</coordinates></Point></Placemark></Document></kml>",
        kml + "<Placemark><LineString><coordinates>1,2,3,4</coordinates></LineString></Placemark></Document></kml>",
        kml + "<Placemark><LineString><coordinates>1,2<b/></coordinates></LineString></Placemark></Document></kml>",
        kml + "<gx:Track><gx:coord>1,2,3</gx:coord></gx:Track></Document></kml>",
        "<?xml version=\"1.0\"?><kml><Document><y:Track/></Document></kml>",   // undeclared prefix
        "<?xml version=\"1.0\"?><kml><Document><a xmlns:y='u'/><y:Track/></Document></kml>",   // out of scope
        gpx + "<wpt lat='1' lon='2' y:lat='3'/></gpx>",
        gpx + "<a:b:c xmlns:a='u'/></gpx>",
        gpx + "<y:a xmlns:y=''/></gpx>",
        gpx + "</gpx><gpx/>",
        kml + "<gx:Track><gx:Track/></gx:Track></Document></kml>",
        kml + "<gx:Track><LineString><coordinates>1,2</coordinates></LineString></gx:Track></Document></kml>",
        gpx + "<!--" + QByteArray(2'000'000, '-').replace("--", "- ") + "--></gpx>",   // runs on past a megabyte
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><gpx/>",
    };
    for (const QByteArray& document : cases) {
        CTrackPointList points{MakePoint(1, 2, 3, 4, 5, 6)};
        EXPECT_FALSE(Read(document, points)) << document.left(200).toStdString();
        EXPECT_EQ(points.size(), 1u) << document.left(200).toStdString();
    }
}

TEST(XmlTrackReader, FileOpenMessagesAndPaths)
{
    QTemporaryDir dir;
    const QString strGood = dir.filePath(QStringLiteral("a.GPX"));
    const QString strBad = dir.filePath(QStringLiteral("b.kml"));
    const QString strFifo = dir.filePath(QStringLiteral("c.gpx"));
    QFile good(strGood);
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.write(QByteArray(GPX11_HEAD) + "<wpt lat='1' lon='2'><name>P</name></wpt></gpx>");
    good.close();
    QFile bad(strBad);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<kml><Document>");
    bad.close();
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);

    const auto formatOf = [](const QString& strPath) {
        const CTrackFormat* pFormat = FindTrackFormat(strPath);
        return pFormat ? std::string(pFormat->szSuffix) : std::string();
    };
    EXPECT_EQ(formatOf(strGood), ".gpx");
    EXPECT_EQ(formatOf(strBad), ".kml");
    EXPECT_EQ(formatOf(QStringLiteral("a.gpd")), ".gpd");
    EXPECT_EQ(formatOf(QStringLiteral("kml")), "");

    CTrackPointList points;
    QStringList reports;
    for (const QString& strPath : {strGood, strGood, strBad, strFifo,   // a FIFO would wait for a writer for ever
                                   dir.filePath(QStringLiteral("none.gpx"))}) {
        const COutcome opened = ReadTrackFile(strPath, 0, points);
        EXPECT_EQ(bool(opened), strPath == strGood) << strPath.toStdString();
        if (!opened)
            reports << opened.Message();
    }
    EXPECT_EQ(reports,
              (QStringList{QStringLiteral("Incorrect file"), strFifo, dir.filePath(QStringLiteral("none.gpx"))}));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].m_strName, "P");
}

// GPSBabel itself, where it is installed: a known track written as GPX 1.0
// and 1.1 comes back point for point.
TEST(XmlTrackReader, GpsBabelRoundTrip)
{
    const QString strBabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (strBabel.isEmpty())
        GTEST_SKIP() << "gpsbabel is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    QFile csv(dir.filePath(QStringLiteral("known.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("lat,lon,alt,utc_d,utc_t,hdop,name\n");
    const int nPoints = 25;
    for (int i = 0; i < nPoints; ++i) {
        csv.write(QString::asprintf("%.6f,%.6f,%.1f,2026/12/07,23:59:%02d,%.1f,P%d\n", 52.1 + i * 0.0003,
                                    5.1 - i * 0.0004, 10.0 + i, 40 + i % 20, 0.5 + i * 0.1, i)
                      .toLatin1());
    }
    csv.close();
    for (const char* pszVersion : {"1.0", "1.1"}) {
        const QString strGpx = dir.filePath(QStringLiteral("known%1.gpx").arg(QLatin1String(pszVersion)));
        QProcess babel;
        babel.start(strBabel, {QStringLiteral("-i"), QStringLiteral("unicsv"), QStringLiteral("-f"), csv.fileName(),
                               QStringLiteral("-x"), QStringLiteral("transform,trk=wpt,del"), QStringLiteral("-o"),
                               QStringLiteral("gpx,gpxver=%1").arg(QLatin1String(pszVersion)),
                               QStringLiteral("-F"), strGpx});
        ASSERT_TRUE(babel.waitForFinished(60000));
        ASSERT_EQ(babel.exitCode(), 0) << babel.readAllStandardError().toStdString();
        CTrackPointList points;
        size_t nSkipped = 0;
        ASSERT_TRUE(Succeeded(LoadXmlTrackFile(strGpx, 0, points, nSkipped))) << pszVersion;
        ASSERT_EQ(points.size(), size_t(nPoints)) << pszVersion;
        for (int i = 0; i < nPoints; ++i) {
            const CTrackPoint& point = points[size_t(i)];
            EXPECT_FLOAT_EQ(point.m_fLatitude, float(52.1 + i * 0.0003)) << i;
            EXPECT_FLOAT_EQ(point.m_fLongitude, float(5.1 - i * 0.0004)) << i;
            EXPECT_FLOAT_EQ(point.m_fAltitude, float(10.0 + i)) << i;
            EXPECT_NEAR(point.m_fHdop, 0.5 + i * 0.1, 1e-5) << i;
            EXPECT_EQ(Time(point), QString::asprintf("23:59:%02d", 40 + i % 20)) << i;
            EXPECT_TRUE(point.m_strName.isEmpty()) << "track points are no placemarks";
        }
    }
}

}
