// Tracks to trust and to use elsewhere, at the tools' seams: only fixes the
// receiver vouches for, dates kept, segments never joined, every GPD record
// checked.
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using CliTrust = CliFolderTest;

// 122 seconds standing still, each second the sentences given (%1 the time):
// a valid fix stores two points.
QByteArray Capture(const char* pszSentences)
{
    QByteArray capture;
    for (int s = 0; s < 122; ++s)
        capture += QString::fromLatin1(pszSentences).arg(Time(12 * 3600 + s)).toLatin1();
    return capture;
}

TEST_F(CliTrust, RecordStoresOnlyFixesTheReceiverVouchesFor)
{
    const struct {
        const char* pszSentences;
        int nPoints;
    } CASES[] = {
        // A cold start: placeholder positions, RMC "V" and GGA quality 0.
        {"$GPRMC,%1,V,0000.0000,N,00000.0000,E,0.0,0.0,071226,,\n"
         "$GPGGA,%1,0000.0000,N,00000.0000,E,0,00,99.0,0.0,M,,,,\n", 0},
        {"$GPRMC,%1,V,5230.0000,N,00415.0000,E,0.0,0.0,071226,,\n", 0},
        {"$GPGGA,%1,5230.0000,N,00415.0000,E,0,00,1.0,0.0,M,,,,\n", 0},
        // A quality that is no digit vouches for nothing.
        {"$GPGGA,%1,5230.0000,N,00415.0000,E,X,00,1.0,0.0,M,,,,\n", 0},
        // Either sentence is enough, for a receiver that sends only one.
        {"$GPRMC,%1,A,5230.0000,N,00415.0000,E,0.0,0.0,071226,,\n", 2},
        {"$GPGGA,%1,5230.0000,N,00415.0000,E,1,08,1.0,0.0,M,,,,\n", 2},
        {"$GPGGA,%1,5230.0000,N,00415.0000,E,2,08,1.0,0.0,M,,,,\n", 2},
        {"$GPRMC,%1,A,5230.0000,N,00415.0000,E,0.0,0.0,071226,,\n"
         "$GPGGA,%1,5230.0000,N,00415.0000,E,0,00,1.0,0.0,M,,,,\n", 2},
        {"$GPRMC,%1,V,5230.0000,N,00415.0000,E,0.0,0.0,071226,,\n"
         "$GPGGA,%1,5230.0000,N,00415.0000,E,1,08,1.0,0.0,M,,,,\n", 2},
    };
    int nRun = 0;
    for (const auto& c : CASES) {
        const QString strBase = Path(QStringLiteral("out%1").arg(++nRun));
        const CliRun run = RunCli({QStringLiteral("record"), Write(QStringLiteral("in.nmea"), Capture(c.pszSentences)),
                                   strBase});
        EXPECT_EQ(run.nExit, 0) << c.pszSentences;
        EXPECT_EQ(run.strOut, QStringLiteral("%1 points stored in %2.gpd\n").arg(c.nPoints).arg(strBase))
            << c.pszSentences;
    }
}

// A GPD log dates its points from the local time in its name, a day later
// whenever the time of day goes back by more than 12 hours, made UTC with
// --utc; GPX and KML keep their own times; GPX output writes them.
TEST_F(CliTrust, ConvertKeepsDatesAndGpxWritesThem)
{
    const CTrackPointList LOG = {MakePoint(52, 4, 0, 0, 23, 30), MakePoint(52, 4, 0, 0, 23, 59, 59),
                                 MakePoint(52, 4, 0, 0, 0, 0, 10), MakePoint(52, 4, 0, 0, 11, 0),
                                 MakePoint(52, 4, 0, 0, 23, 0)};
    const QByteArray GPX_IN = "<gpx><trk><trkseg><trkpt lat='1' lon='2'><time>2019-04-07T10:00:00.5Z</time></trkpt>"
                              "<trkpt lat='1' lon='2'><time>2019-04-07T12:00:00+02:00</time></trkpt>"
                              "<trkpt lat='1' lon='2'/></trkseg></trk></gpx>";
    const QByteArray KML_IN = "<kml xmlns:gx='http://www.google.com/kml/ext/2.2'><Placemark><gx:Track>"
                              "<when>2000-02-29T23:59:59Z</when><gx:coord>2 1 0</gx:coord>"
                              "</gx:Track></Placemark></kml>";
    const struct {
        QString strName;
        QByteArray data;
        const char* pszUtc;
        QStringList times;
    } CASES[] = {
        {QStringLiteral("GPSLog_2026-12-07_2330.gpd"), GpdImage(LOG), "1",
         {"2026-12-07T22:30:00Z", "2026-12-07T22:59:59Z", "2026-12-07T23:00:10Z", "2026-12-08T10:00:00Z",
          "2026-12-08T22:00:00Z"}},
        {QStringLiteral("GPSLog_2026-12-07_2330_2.gpd"), GpdImage(LOG), "-2",
         {"2026-12-08T01:30:00Z", "2026-12-08T01:59:59Z", "2026-12-08T02:00:10Z", "2026-12-08T13:00:00Z",
          "2026-12-09T01:00:00Z"}},
        // No dated name: no times, as before.
        {QStringLiteral("track.gpd"), GpdImage(LOG), "1", {}},
        {QStringLiteral("in.gpx"), GPX_IN, "1", {"2019-04-07T10:00:00Z", "2019-04-07T10:00:00Z"}},
        {QStringLiteral("in.kml"), KML_IN, "5", {"2000-02-29T23:59:59Z"}},
    };
    for (const auto& c : CASES) {
        const QString strOut = Path(QStringLiteral("out.gpx"));
        QFile::remove(strOut);
        const CliRun run = RunCli({QStringLiteral("convert"), QStringLiteral("--utc"), QLatin1String(c.pszUtc),
                                   Write(c.strName, c.data), strOut});
        EXPECT_EQ(run.nExit, 0) << c.strName.toStdString() << run.strErr.toStdString();
        QStringList times;
        const QString strGpx = QString::fromUtf8(ReadAll(strOut));
        for (qsizetype n = strGpx.indexOf(QStringLiteral("<time>")); n >= 0;
             n = strGpx.indexOf(QStringLiteral("<time>"), n + 1))
            times << strGpx.mid(n + 6, 20);
        EXPECT_EQ(times, c.times) << c.strName.toStdString();
    }
}

// Segments: a file's first point, each GPX trkseg and rte, each KML line, a
// waypoint on its own. No length, moving time or climb joins two of them; a
// point without a speed gets distance over time from the one before it.
TEST_F(CliTrust, InfoNeverJoinsSegments)
{
    // 2^-10 degree of latitude is HAND_STEP_METERS; 10 s apart that is 39.092 km/h.
    const QByteArray TWO_SEGMENTS = "<gpx><trk><trkseg>"
                                    "<trkpt lat='50' lon='4'><ele>0</ele><time>2026-12-07T10:00:00Z</time></trkpt>"
                                    "<trkpt lat='50.0009765625' lon='4'><ele>0</ele><time>2026-12-07T10:00:10Z</time></trkpt>"
                                    "</trkseg><trkseg>"
                                    "<trkpt lat='-30' lon='100'><ele>900</ele><time>2026-12-07T11:00:00Z</time></trkpt>"
                                    "<trkpt lat='-30' lon='100'><ele>900</ele><time>2026-12-07T11:00:10Z</time></trkpt>"
                                    "</trkseg></trk></gpx>";
    const QByteArray WAYPOINTS = "<gpx><wpt lat='10' lon='10'/><wpt lat='-10' lon='-10'/></gpx>";
    const QByteArray KML_LINES = "<kml><Placemark><LineString><coordinates>4,50,0 4,50.0009765625,0</coordinates>"
                                 "</LineString></Placemark><Placemark><LineString><coordinates>100,-30,900"
                                 "</coordinates></LineString></Placemark></kml>";
    const struct {
        QString strName;
        QByteArray data;
        const char* pszExpected;
    } CASES[] = {
        {QStringLiteral("two.gpx"), TWO_SEGMENTS,
         "\"points\": 4, \"placemarks\": 0, \"segments\": 2, \"distanceMeters\": 108.589, \"movingSeconds\": 10, "
         "\"movingMeters\": 108.589, \"averageMovingKmh\": 39.092, \"maxSpeedKmh\": 39.092, \"ascentMeters\": 0.000, "
         "\"descentMeters\": 0.000"},
        {QStringLiteral("wpt.gpx"), WAYPOINTS,
         "\"points\": 2, \"placemarks\": 0, \"segments\": 2, \"distanceMeters\": 0.000, \"movingSeconds\": 0, "
         "\"movingMeters\": 0.000, \"averageMovingKmh\": 0.000, \"maxSpeedKmh\": 0.000"},
        {QStringLiteral("lines.kml"), KML_LINES,
         "\"points\": 3, \"placemarks\": 0, \"segments\": 2, \"distanceMeters\": 108.589"},
        {QStringLiteral("one.gpd"), GpdImage({MakePoint(50, 4, 0, 1, 10, 0), MakePoint(-30, 100, 900, 1, 10, 1)}),
         "\"points\": 2, \"placemarks\": 0, \"segments\": 1, \"distanceMeters\": "},
    };
    for (const auto& c : CASES) {
        const CliRun run = RunCli({QStringLiteral("info"), QStringLiteral("--json"), Write(c.strName, c.data)});
        EXPECT_EQ(run.nExit, 0) << c.strName.toStdString();
        EXPECT_TRUE(run.strOut.startsWith(QStringLiteral("{") + QLatin1String(c.pszExpected)))
            << c.strName.toStdString() << "\n" << run.strOut.toStdString();
    }
    const CliRun text = RunCli({QStringLiteral("info"), Path(QStringLiteral("two.gpx"))});
    EXPECT_TRUE(text.strOut.startsWith(QStringLiteral("points: 4\nplacemarks: 0\nsegments: 2\n")))
        << text.strOut.toStdString();

    // Written back as GPX, the segments stay: the same figures read again.
    const QString strCopy = Path(QStringLiteral("copy.gpx"));
    ASSERT_EQ(RunCli({QStringLiteral("convert"), Path(QStringLiteral("two.gpx")), strCopy}).nExit, 0);
    EXPECT_TRUE(RunCli({QStringLiteral("info"), QStringLiteral("--json"), strCopy})
                    .strOut.startsWith(QStringLiteral("{") + QLatin1String(CASES[0].pszExpected)));
}

// A GPD record that no fix can be is skipped and counted by every reader.
TEST_F(CliTrust, EveryGpdRecordIsChecked)
{
    const float NAN_F = std::numeric_limits<float>::quiet_NaN();
    const float INF_F = std::numeric_limits<float>::infinity();
    CTrackPoint zero = MakePoint(0, 0, 0, 0, 0, 0);
    CTrackPoint named = zero;
    named.m_strName = QStringLiteral("torn");
    CTrackPoint nanCourse = MakePoint(1, 2, 0, 0, 10, 0);
    nanCourse.m_fCourse = NAN_F;
    CTrackPoint infHdop = MakePoint(1, 2, 0, 0, 10, 0);
    infHdop.m_fHdop = -INF_F;
    CTrackPoint zeroWithTime = MakePoint(0, 0, 0, 0, 0, 0, 1);
    const struct {
        const char* pszCase;
        CTrackPoint point;
        size_t nSkipped;
    } CASES[] = {
        {"NaN latitude", MakePoint(NAN_F, 2, 0, 0, 10, 0), 1},
        {"infinite speed", MakePoint(1, 2, 0, INF_F, 10, 0), 1},
        {"NaN course", nanCourse, 1},
        {"infinite HDOP", infHdop, 1},
        {"latitude 1000", MakePoint(1000, 2, 0, 0, 10, 0), 1},
        {"latitude -90.5", MakePoint(-90.5f, 2, 0, 0, 10, 0), 1},
        {"longitude 180.5", MakePoint(1, 180.5f, 0, 0, 10, 0), 1},
        {"all zero", zero, 1},
        {"all zero, named", named, 1},
        {"0, 0 at a time", zeroWithTime, 0},
        {"the pole", MakePoint(90, -180, 0, 0, 10, 0), 0},
    };
    for (const auto& c : CASES) {
        const QString strIn = Write(QStringLiteral("in.gpd"), GpdImage({MakePoint(52, 4, 1, 2, 10, 0), c.point}));
        const CliRun info = RunCli({QStringLiteral("info"), QStringLiteral("--json"), strIn});
        EXPECT_TRUE(info.strOut.startsWith(QStringLiteral("{\"points\": %1,").arg(2 - c.nSkipped))) << c.pszCase;
        EXPECT_TRUE(info.strOut.contains(QStringLiteral("\"skippedPoints\": %1").arg(c.nSkipped))) << c.pszCase;
        const CliRun convert = RunCli({QStringLiteral("convert"), strIn, Path(QStringLiteral("out.gpx"))});
        EXPECT_EQ(convert.strOut, c.nSkipped ? QStringLiteral("skipped points: 1\n") : QString()) << c.pszCase;
        EXPECT_FALSE(ReadAll(Path(QStringLiteral("out.gpx"))).contains("nan")) << c.pszCase;
    }

    // A log whose tail a power loss left zeroed: its KML copy holds the real
    // points only.
    QDir(m_dir.path()).mkpath(QStringLiteral("GPS"));
    Write(QStringLiteral("GPS/GPSLog_2026-12-07_1508.gpd"),
          GpdImage({MakePoint(52, 4, 1, 2, 15, 8)}) + QByteArray(4096, '\0'));
    const CliRun recover = RunCli({QStringLiteral("recover"), Path(QStringLiteral("GPS"))});
    EXPECT_EQ(recover.nExit, 0);
    EXPECT_EQ(recover.strOut, Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.kml")) + QStringLiteral("\nskipped points: 146\n"));
    const QByteArray kml = ReadAll(Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.kml")));
    EXPECT_FALSE(kml.contains("0.000000,0.000000"));
    EXPECT_TRUE(kml.contains("4.000000,52.000000"));
}

}
