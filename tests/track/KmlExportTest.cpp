#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/KmlExport.h"

#include <QFile>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

const char KML_DOCUMENT_HEAD[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><kml xmlns=\"http://earth.google.com/kml/2.1\">\n"
    "<Document>\n<name>\\Storage card\\GPS\\t.kml</name>\n"
    "<description>GpsTrack collected with Wayfen on mobile. </description>\n"
    "<Style id=\"yellowLineGreenPoly\"><LineStyle><color>7f00ffff</color><width>4</width></LineStyle>"
    "<PolyStyle><color>7f00ff00</color></PolyStyle></Style>\n"
    "<Style id=\"yellowLineBluePoly\"><LineStyle><color>7f00ffff</color><width>4</width></LineStyle>"
    "<PolyStyle><color>7f0000ff</color></PolyStyle></Style>\n";

QString TrackHead(int nTrack, bool bSpeed)
{
    return QStringLiteral("<Placemark><name>Track%1</name><description> </description>"
                          "<styleUrl>#%2</styleUrl>\n"
                          "<LineString><extrude>1</extrude><tessellate>1</tessellate>"
                          "<altitudeMode>absolute</altitudeMode>\n<coordinates>\n")
        .arg(nTrack)
        .arg(bSpeed ? QStringLiteral("yellowLineGreenPoly") : QStringLiteral("yellowLineBluePoly"));
}

class KmlExport : public ::testing::Test
{
protected:
    void SetUp() override { EmptyGpsFolder(); }

    static QByteArray Export(const CTrackPointList& points, bool bSpeed = false)
    {
        EXPECT_TRUE(Succeeded(WriteKml(QStringLiteral("\\Storage card\\GPS\\t.kml"), points, bSpeed)));
        return ReadAll(GpsFolder() + QStringLiteral("/t.kml"));
    }

    static bool WellFormed(const QByteArray& kml)
    {
        QXmlStreamReader reader(kml);
        while (!reader.atEnd())
            reader.readNext();
        return !reader.hasError();
    }
};

TEST_F(KmlExport, OnePointGivesOneTrackAndAnHourMarker)
{
    const QByteArray kml = Export({MakePoint(52.5f, 4.25f, 10.0f, 10.0f, 14, 5)});
    const QString expected =
        QString::fromLatin1(KML_DOCUMENT_HEAD) + TrackHead(1, false)
        + QStringLiteral("4.250000,52.500000,10.000000\n"
                         "</coordinates></LineString></Placemark>"
                         "<Placemark><name> 14:05</name>\n"
                         "<description>14:05   Speed:10.000000 knots = 18.520000 kmh</description>\n"
                         "<LookAt><longitude>4.250000</longitude><latitude>52.500000</latitude>"
                         "<altitude>10.000000</altitude>\n"
                         "<range>1000.00</range><tilt>66.66</tilt>\n"
                         "<heading>5.164</heading></LookAt><styleUrl>#msn_ylw-pushpin_copy1</styleUrl>\n"
                         "<Point><coordinates>4.250000,52.500000,0</coordinates></Point></Placemark>"
                         "</Document></kml>\n");
    EXPECT_EQ(kml, expected.toLatin1());
    EXPECT_TRUE(WellFormed(kml));
}

TEST_F(KmlExport, TheHourChangeEndsATrackAtTheChangingPoint)
{
    const QByteArray kml = Export({MakePoint(1, 1, 0, 0, 10, 58), MakePoint(1, 2, 0, 0, 10, 59),
                                   MakePoint(1, 3, 0, 0, 11, 0), MakePoint(1, 4, 0, 0, 11, 1)});
    const QByteArray tracks = TrackHead(1, false).toLatin1()
                              + "1.000000,1.000000,0.000000\n2.000000,1.000000,0.000000\n"
                                "3.000000,1.000000,0.000000\n</coordinates></LineString></Placemark>"
                              + TrackHead(2, false).toLatin1()
                              + "4.000000,1.000000,0.000000\n</coordinates></LineString></Placemark>"
                                "<Placemark><name> 10:58</name>";
    EXPECT_TRUE(kml.contains(tracks));
    EXPECT_EQ(kml.count("<Placemark><name> "), 2);
    EXPECT_TRUE(kml.contains("<Placemark><name> 11:00</name>"));
    EXPECT_FALSE(kml.contains("Track3"));
}

TEST_F(KmlExport, AChangeAtTheLastPointLeavesAnEmptyLastTrack)
{
    const QByteArray kml = Export({MakePoint(1, 1, 0, 0, 10, 58), MakePoint(1, 2, 0, 0, 11, 0)});
    EXPECT_TRUE(kml.contains(TrackHead(2, false).toLatin1() + "</coordinates></LineString></Placemark>"));
}

TEST_F(KmlExport, SpeedAsHeightUsesItsOwnFactorAndStyle)
{
    const QByteArray kml = Export({MakePoint(1, 2, 55.5f, 10.0f, 8, 0)}, true);
    EXPECT_TRUE(kml.contains(TrackHead(1, true).toLatin1() + "2.000000,1.000000,181.520000\n"));
    EXPECT_TRUE(kml.contains("<altitude>55.500000</altitude>"));
    EXPECT_TRUE(kml.contains("Speed:10.000000 knots = 18.520000 kmh"));
}

TEST_F(KmlExport, ANamedPointGetsAPushpinWithoutSplittingTheTrack)
{
    const QByteArray kml = Export({MakePoint(1, 1, 0, 0, 9, 10), MakePoint(1, 2, 0, 3, 9, 20, 0, QStringLiteral("Bridge")),
                                   MakePoint(1, 3, 0, 0, 9, 30)});
    EXPECT_FALSE(kml.contains("Track2"));
    EXPECT_TRUE(kml.contains("</Placemark><Placemark><name>Bridge 9:20</name>\n"
                             "<description>9:20 Bridge  Speed:3.000000 knots"));
    EXPECT_EQ(kml.count("<Point>"), 2);
}

TEST_F(KmlExport, TheSameHourOnAnotherDayStaysOneTrack)
{
    const QByteArray kml = Export({MakePoint(1, 1, 0, 0, 7, 59), MakePoint(1, 2, 0, 0, 7, 1)});
    EXPECT_FALSE(kml.contains("Track2"));
    EXPECT_EQ(kml.count("<Point>"), 1);
}

TEST_F(KmlExport, AnEmptyListGivesAWellFormedDocument)
{
    const QByteArray kml = Export({});
    EXPECT_EQ(kml, QByteArray(KML_DOCUMENT_HEAD) + TrackHead(1, false).toLatin1()
                       + "</coordinates></LineString></Placemark></Document></kml>\n");
    EXPECT_TRUE(WellFormed(kml));
}

TEST_F(KmlExport, NamesAndPathAreEscapedAndWrittenAsUtf8)
{
    const QString strName = QString::fromUtf16(u"<R&D> \"caf\u00E9\" 'x' \u20AC\x01");
    const QString strPath = GpsFolder() + QStringLiteral("/a&b.kml");
    ASSERT_TRUE(Succeeded(WriteKml(strPath, {MakePoint(1, 2, 0, 0, 3, 4, 0, strName)}, false)));
    const QByteArray kml = ReadAll(strPath);
    EXPECT_TRUE(WellFormed(kml));
    EXPECT_TRUE(kml.contains("/a&amp;b.kml</name>"));
    EXPECT_TRUE(kml.contains("<name>&lt;R&amp;D&gt; &quot;caf\xC3\xA9&quot; &apos;x&apos; \xE2\x82\xAC? 3:04</name>"));
    QXmlStreamReader reader(kml);
    QStringList names;
    while (reader.readNextStartElement() || !reader.atEnd()) {
        if (reader.isStartElement() && reader.name() == QStringLiteral("name"))
            names << reader.readElementText();
        else
            reader.readNext();
    }
    EXPECT_TRUE(names.contains(strPath));
    EXPECT_TRUE(names.contains(QString::fromUtf16(u"<R&D> \"caf\u00E9\" 'x' \u20AC? 3:04")));
}

TEST_F(KmlExport, AnUncreatableFileIsReportedWithItsPath)
{
    const COutcome written = WriteKml(QStringLiteral("\\Storage card\\nope\\t.kml"), {}, false);
    EXPECT_TRUE(FailedWith(written, QStringLiteral("Error opening:\\Storage card\\nope\\t.kml")));
    EXPECT_EQ(written.Errno(), ENOENT);
}

TEST_F(KmlExport, WriteFailuresAreReportedOncePerRun)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "/dev/full is not available";
    CTrackPointList points;
    for (int i = 0; i < 20000; ++i)
        points.push_back(MakePoint(1, 2, 3, 4, i / 1000 % 24, i % 60));
    // Every piece after the first failure fails too; one failure comes back,
    // with the system's reason.
    const COutcome written = WriteKml(QStringLiteral("/dev/full"), points, false);
    EXPECT_TRUE(FailedWith(written, QStringLiteral("Error writing file")));
    EXPECT_EQ(written.Errno(), ENOSPC);
}

}
