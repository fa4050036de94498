#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <limits>

namespace {

bool WellFormedXml(const QByteArray& text)
{
    QXmlStreamReader reader(text);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

class CliTrack : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Path(const QString& strName) const { return m_dir.filePath(strName); }

    QString WriteCapture(const QByteArray& data) const
    {
        QFile file(Path(QStringLiteral("capture.nmea")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    }

    // Records a capture and returns the points of the log it wrote.
    CTrackPointList Record(const QByteArray& capture, const QStringList& options = {})
    {
        const QString strBase = Path(QStringLiteral("out%1").arg(++m_nRun));
        const CliRun run = RunCli(QStringList{QStringLiteral("record")} + options
                                  + QStringList{WriteCapture(capture), strBase});
        EXPECT_EQ(run.nExit, 0) << run.strErr.toStdString();
        CTrackPointList points;
        size_t nSkipped = 0;
        EXPECT_TRUE(Succeeded(LoadGpdFile(strBase + QStringLiteral(".gpd"), 0, points, nSkipped)));
        EXPECT_TRUE(run.strOut.startsWith(QStringLiteral("%1 points stored").arg(points.size())))
            << run.strOut.toStdString();
        EXPECT_TRUE(WellFormedXml(ReadAll(strBase + QStringLiteral(".kml"))));
        return points;
    }

    QTemporaryDir m_dir;
    int m_nRun = 0;
};

TEST_F(CliTrack, RecordRunsOneTickPerFixTime)
{
    // 122 seconds standing still: a point is due after more than 60 ticks.
    QByteArray capture;
    for (int s = 0; s < 122; ++s)
        capture += Fix(qPrintable(Time(12 * 3600 + s)));
    const CTrackPointList points = Record(capture);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].m_bySecond, 0);   // 13:01:00 with the default Utc of 1
    EXPECT_EQ(points[0].m_byMinute, 1);
    EXPECT_EQ(points[1].m_byMinute, 2);
    EXPECT_EQ(points[1].m_bySecond, 1);
    EXPECT_FLOAT_EQ(points[0].m_fLatitude, 52.5f);
    EXPECT_FLOAT_EQ(points[0].m_fAltitude, 12.5f);
}

TEST_F(CliTrack, RecordRunsEmptyTicksForAGapInTheTimes)
{
    // Two fixes 60 seconds apart are ticks 1 and 61 of the log, so the 59
    // empty ticks between them make the second one due.
    const CTrackPointList points = Record(Fix("120000") + Fix("120100"));
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].m_byMinute, 1);
    EXPECT_EQ(Record(Fix("120000") + Fix("120059")).size(), 0u);
    // Across midnight the gap is one second.
    EXPECT_EQ(Record(Fix("235959") + Fix("000000")).size(), 0u);
}

TEST_F(CliTrack, RecordAppliesItsOptions)
{
    QByteArray capture = Fix("080000", "5.0", "5.1");
    EXPECT_EQ(Record(capture, {QStringLiteral("--max-dilution"), QStringLiteral("50")}).size(), 0u);
    const CTrackPointList points =
        Record(capture, {QStringLiteral("--max-dilution"), QStringLiteral("51"), QStringLiteral("--utc"),
                         QStringLiteral("-3")});
    ASSERT_EQ(points.size(), 1u);   // moving at a log start: stored at once
    EXPECT_EQ(points[0].m_byHour, 5);

    EXPECT_EQ(RunCli({QStringLiteral("record"), QStringLiteral("--utc"), QStringLiteral("x"), WriteCapture(capture),
                      Path(QStringLiteral("o"))})
                  .nExit,
              2);
    EXPECT_EQ(RunCli({QStringLiteral("record"), WriteCapture(capture)}).nExit, 2);
    EXPECT_EQ(RunCli({QStringLiteral("record"), QStringLiteral("--help")}).nExit, 0);
    EXPECT_EQ(RunCli({QStringLiteral("record"), Path(QStringLiteral("missing")), Path(QStringLiteral("o"))}).nExit, 1);
}

TEST_F(CliTrack, RecordNeverReplacesAnExistingLog)
{
    const QString strBase = Path(QStringLiteral("keep"));
    QFile existing(strBase + QStringLiteral(".gpd"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("precious");
    existing.close();
    const CliRun run = RunCli({QStringLiteral("record"), WriteCapture(Fix("101010", "3.0")), strBase});
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(ReadAll(strBase + QStringLiteral(".gpd")), QByteArray("precious"));
    EXPECT_EQ(ReadAll(strBase + QStringLiteral("_2.gpd")).size(), 10 + 28);
    EXPECT_TRUE(run.strOut.contains(QStringLiteral("keep_2.gpd")));
}

TEST_F(CliTrack, RecordReplaysTheCorpusCaptures)
{
    VELTRIP_REQUIRE_CORPUS();
    const QDir nmea(CorpusDir() + QStringLiteral("/nmea"));
    size_t nTotal = 0;
    int nCaptures = 0;
    for (const QString& strName : nmea.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        SCOPED_TRACE(strName.toStdString());
        QFile capture(nmea.filePath(strName));
        ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
        const CTrackPointList points = Record(capture.readAll());
        for (const CTrackPoint& point : points) {
            EXPECT_LE(std::abs(point.m_fLatitude), 90.001f);
            EXPECT_LE(std::abs(point.m_fLongitude), 180.001f);
        }
        nTotal += points.size();
        ++nCaptures;
    }
    EXPECT_GT(nCaptures, 20);
    EXPECT_GT(nTotal, 0u);
}

TEST_F(CliTrack, ConvertWritesEachFormatAndInfoSummarises)
{
    CTrackPointList points{MakePoint(52.0f, 4.0f, 10, 5, 10, 59), MakePoint(52.01f, 4.0f, 11, 8, 11, 0, 0, QStringLiteral("A&B")),
                           MakePoint(52.02f, 4.0f, 12, 6, 11, 1)};
    const QString strIn = Path(QStringLiteral("in.gpd"));
    QFile in(strIn);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(GpdImage(points));
    in.close();

    EXPECT_EQ(RunCli({QStringLiteral("convert"), strIn, Path(QStringLiteral("out.gpd"))}).nExit, 0);
    EXPECT_EQ(ReadAll(Path(QStringLiteral("out.gpd"))), GpdImage(points, 3));
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strIn, Path(QStringLiteral("out.kml"))}).nExit, 0);
    EXPECT_TRUE(ReadAll(Path(QStringLiteral("out.kml"))).contains("<name>A&amp;B 11:00</name>"));
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strIn, Path(QStringLiteral("out.gpx"))}).nExit, 0);
    const QByteArray gpx = ReadAll(Path(QStringLiteral("out.gpx")));
    EXPECT_TRUE(WellFormedXml(gpx));
    EXPECT_TRUE(gpx.contains("<gpx version=\"1.1\""));
    EXPECT_EQ(gpx.count("<trkseg>"), 1);   // a GPD file is one segment
    EXPECT_EQ(gpx.count("<trkpt "), 3);
    EXPECT_TRUE(gpx.contains("<wpt lat=\"52.009998\" lon=\"4.000000\"><ele>11.000000</ele><name>A&amp;B</name></wpt>"));
    EXPECT_LT(gpx.indexOf("<wpt"), gpx.indexOf("<trk>"));

    const CliRun info = RunCli({QStringLiteral("info"), strIn});
    EXPECT_EQ(info.nExit, 0);
    EXPECT_TRUE(info.strOut.contains(QStringLiteral("points: 3\nplacemarks: 1\n  A&B\nsegments: 1\n")));
    EXPECT_TRUE(info.strOut.contains(QStringLiteral("first time: 10:59:00")));
    EXPECT_TRUE(info.strOut.contains(QStringLiteral("latitude: 52.000000 .. 52.020000")));
    EXPECT_TRUE(info.strOut.contains(QStringLiteral("length: 2.22")));   // 0.02 degrees north
    EXPECT_TRUE(info.strOut.contains(QStringLiteral("max speed: 8.00 knots")));
}

TEST_F(CliTrack, ConvertAndInfoRefuseBadInput)
{
    const QString strBad = Path(QStringLiteral("bad.gpd"));
    QFile bad(strBad);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a track");
    bad.close();
    const CliRun info = RunCli({QStringLiteral("info"), strBad});
    EXPECT_EQ(info.nExit, 1);
    EXPECT_TRUE(info.strErr.contains(QStringLiteral("not a GPD track file")));
    EXPECT_EQ(RunCli({QStringLiteral("info"), Path(QStringLiteral("none.gpd"))}).nExit, 1);
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strBad, Path(QStringLiteral("x.kml"))}).nExit, 1);
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strBad, Path(QStringLiteral("x.txt"))}).nExit, 2);
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strBad}).nExit, 2);
    EXPECT_EQ(RunCli({QStringLiteral("info")}).nExit, 2);
    EXPECT_EQ(RunCli({QStringLiteral("info"), QStringLiteral("--help")}).nExit, 0);
    EXPECT_EQ(RunCli({QStringLiteral("convert"), QStringLiteral("--help")}).nExit, 0);
}


TEST_F(CliTrack, InfoJsonOfAHandCheckedTrack)
{
    const QString strIn = Path(QStringLiteral("hand.gpd"));
    QFile in(strIn);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(GpdImage(HandCheckedTrack()));
    in.close();
    // 8 steps of 108.588946 m, 5 of them moving in 340 s, 12.5 knots at most.
    const CliRun json = RunCli({QStringLiteral("info"), QStringLiteral("--json"), strIn});
    EXPECT_EQ(json.nExit, 0);
    EXPECT_EQ(json.strOut, QStringLiteral("{\"points\": 10, \"placemarks\": 1, \"segments\": 1, \"distanceMeters\": 868.712, "
                                          "\"movingSeconds\": 340, \"movingMeters\": 542.945, "
                                          "\"averageMovingKmh\": 5.749, \"maxSpeedKmh\": 23.150, "
                                          "\"ascentMeters\": 0.000, \"descentMeters\": 0.000, \"skippedPoints\": 0, "
                                          "\"minAltitudeMeters\": 0.000, \"maxAltitudeMeters\": 0.000}\n"));
    const CliRun text = RunCli({QStringLiteral("info"), strIn});
    EXPECT_TRUE(text.strOut.contains(QStringLiteral("length: 0.869 km\n")));
    EXPECT_TRUE(text.strOut.contains(QStringLiteral("moving time: 0:05:40\nmoving distance: 0.543 km\n"
                                                    "average moving speed: 5.75 km/h\n")))
        << text.strOut.toStdString();
}

TEST_F(CliTrack, ConvertReadsGpxAndKml)
{
    const QString strGpx = QStringLiteral(VELTRIP_SOURCE_DIR "/tests/track/data/gpsbabel-1.0.gpx");
    const QString strGpd = Path(QStringLiteral("from-gpx.gpd"));
    EXPECT_EQ(RunCli({QStringLiteral("convert"), QStringLiteral("--utc"), QStringLiteral("2"), strGpx, strGpd}).nExit, 0);
    CTrackPointList points;
    size_t nSkipped = 0;
    ASSERT_TRUE(Succeeded(LoadGpdFile(strGpd, 0, points, nSkipped)));
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0].m_strName, "Lock");
    EXPECT_EQ(points[0].m_byHour, 17);

    const QString strKml = Path(QStringLiteral("from-gpd.kml"));
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strGpd, strKml}).nExit, 0);
    const CliRun info = RunCli({QStringLiteral("info"), strKml});
    EXPECT_EQ(info.nExit, 0);
    // Our own KML: every point on the line strings, and the pushpins (the
    // placemark and the first point of each of its 3 hours) as placemarks of
    // their own.
    EXPECT_TRUE(info.strOut.startsWith(QStringLiteral("points: 9\nplacemarks: 4\n"))) << info.strOut.toStdString();

    const QString strBad = Path(QStringLiteral("bad.gpx"));
    QFile bad(strBad);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<gpx><wpt lat='x' lon='1'/></gpx>");
    bad.close();
    const CliRun refused = RunCli({QStringLiteral("convert"), strBad, Path(QStringLiteral("x.gpd"))});
    EXPECT_EQ(refused.nExit, 1);
    EXPECT_TRUE(refused.strErr.contains(QStringLiteral("is not a GPX or KML track file")));
}

// A point off the globe or with a value no float holds is left out and
// counted; no output holds "inf" or "nan".
TEST_F(CliTrack, UnusablePointsAreSkippedAndCounted)
{
    const char* const POINTS[] = {
        "<wpt lat='91' lon='2'/>",
        "<wpt lat='1' lon='-180.5'/>",
        "<wpt lat='nan' lon='2'/>",
        "<wpt lat='1e999' lon='2'/>",
        "<trkpt lat='1' lon='2'><ele>1e300</ele></trkpt>",
        "<trkpt lat='1' lon='2'><ele>-inf</ele></trkpt>",
        "<trkpt lat='1' lon='2'><speed>3e38</speed></trkpt>",
        "<trkpt lat='1' lon='2'><course>NaN</course></trkpt>",
    };
    const QString strIn = Path(QStringLiteral("in.gpx"));
    for (const char* szPoint : POINTS) {
        QFile in(strIn);
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
        in.write(QByteArray("<gpx version='1.0'><trk><trkseg><trkpt lat='3' lon='4'><ele>5</ele></trkpt>") + szPoint
                 + "</trkseg></trk></gpx>");
        in.close();
        const CliRun info = RunCli({QStringLiteral("info"), strIn});
        EXPECT_EQ(info.nExit, 0) << szPoint;
        EXPECT_TRUE(info.strOut.startsWith(QStringLiteral("points: 1\n"))) << szPoint;
        EXPECT_TRUE(info.strOut.endsWith(QStringLiteral("skipped points: 1\n"))) << szPoint;
        for (const char* szSuffix : {".kml", ".gpx", ".gpd"}) {
            const QString strOut = Path(QStringLiteral("out") + QLatin1String(szSuffix));
            const CliRun convert = RunCli({QStringLiteral("convert"), strIn, strOut});
            EXPECT_EQ(convert.nExit, 0) << szPoint;
            EXPECT_EQ(convert.strOut, QStringLiteral("skipped points: 1\n")) << szPoint;
            const QByteArray written = ReadAll(strOut).toLower();
            EXPECT_FALSE(written.contains("inf") || written.contains("nan")) << szPoint << szSuffix;
        }
    }
}

// After "--" every argument is a file, even one that starts with "-".
TEST_F(CliTrack, DoubleDashEndsTheOptions)
{
    QFile in(Path(QStringLiteral("-x.gpd")));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(GpdImage(HandCheckedTrack()));
    in.close();
    const QString strIn = QStringLiteral("-x.gpd");
    const QStringList RUNS[] = {
        {QStringLiteral("info"), QStringLiteral("--"), strIn},
        {QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("--"), strIn},
        {QStringLiteral("convert"), QStringLiteral("--"), strIn, QStringLiteral("-y.kml")},
    };
    for (const QStringList& args : RUNS) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"), args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << args.join(u' ').toStdString() << process.readAllStandardError().constData();
    }
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("-y.kml"))));
}

// Floats of a GPD file are taken as they are: the box leaves out a point
// that is not on the globe.
TEST_F(CliTrack, InfoBoxIgnoresPointsOffTheGlobe)
{
    const float NAN_F = std::numeric_limits<float>::quiet_NaN();
    const CTrackPoint OFF[] = {MakePoint(NAN_F, 4, 0, 0, 12, 0), MakePoint(50, NAN_F, 0, 0, 12, 0),
                               MakePoint(95, 4, 0, 0, 12, 0), MakePoint(50, -200, 0, 0, 12, 0)};
    for (const CTrackPoint& off : OFF) {
        const QString strIn = Path(QStringLiteral("box.gpd"));
        QFile in(strIn);
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
        in.write(GpdImage({off, MakePoint(50, 4, 0, 0, 12, 1), MakePoint(51, 5, 0, 0, 12, 2)}));
        in.close();
        const CliRun info = RunCli({QStringLiteral("info"), strIn});
        EXPECT_TRUE(info.strOut.contains(QStringLiteral("latitude: 50.000000 .. 51.000000\n"
                                                        "longitude: 4.000000 .. 5.000000\n")))
            << info.strOut.toStdString();
    }
}

// A write cut short (here by a file-size limit of 8 KiB) fails the command
// and leaves the target as it was, with no new file beside it.
TEST_F(CliTrack, AFailedWriteLeavesTheTargetAsItWas)
{
    CTrackPointList points;
    for (int i = 0; i < 2000; ++i)
        points.push_back(MakePoint(52.0f + float(i) * 1e-4f, 4.0f, 1, 2, 15 + i / 600, i / 10 % 60, i % 10));
    const QString strIn = Path(QStringLiteral("in.gpd"));
    QFile in(strIn);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(GpdImage(points));
    in.close();
    QDir(m_dir.path()).mkpath(QStringLiteral("GPS"));
    const QString strLog = Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.gpd"));
    QFile log(strLog);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(GpdImage(points));
    log.close();

    const struct {
        const char* szTarget;
        QStringList args;
        bool bExisting;   // the target holds old bytes before the run
    } CASES[] = {
        {"out.gpd", {QStringLiteral("convert"), strIn, Path(QStringLiteral("out.gpd"))}, true},
        {"out.kml", {QStringLiteral("convert"), strIn, Path(QStringLiteral("out.kml"))}, true},
        {"out.gpx", {QStringLiteral("convert"), strIn, Path(QStringLiteral("out.gpx"))}, false},
        {"GPS/GPSLog_2026-12-07_1508.kml", {QStringLiteral("recover"), Path(QStringLiteral("GPS"))}, false},
    };
    for (const auto& c : CASES) {
        const QString strTarget = Path(QLatin1String(c.szTarget));
        if (c.bExisting) {
            QFile old(strTarget);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        const QStringList before = QDir(QFileInfo(strTarget).path()).entryList(QDir::Files | QDir::Hidden);
        QProcess process;
        const QStringList limited = {QStringLiteral("-c"), QStringLiteral("ulimit -f 8; exec \"$0\" \"$@\""),
                                     QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli")};
        process.start(QStringLiteral("bash"), limited + c.args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << c.szTarget;
        EXPECT_EQ(process.exitCode(), 1) << c.szTarget;
        EXPECT_EQ(QDir(QFileInfo(strTarget).path()).entryList(QDir::Files | QDir::Hidden), before) << c.szTarget;
        if (c.bExisting) {
            EXPECT_EQ(ReadAll(strTarget), "old") << c.szTarget;
        }
    }
}

TEST_F(CliTrack, RecoverListsTheKmlCopiesItWrote)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("GPS"));
    const QString strLog = Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.gpd"));
    QFile log(strLog);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(GpdImage({MakePoint(52.0f, 4.0f, 1, 2, 15, 8)}));
    log.close();
    const CliRun run = RunCli({QStringLiteral("recover"), Path(QStringLiteral("GPS"))});
    EXPECT_EQ(run.nExit, 0) << run.strErr.toStdString();
    EXPECT_EQ(run.strOut, Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.kml")) + QLatin1Char('\n'));
    EXPECT_TRUE(WellFormedXml(ReadAll(Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.kml")))));
    EXPECT_EQ(RunCli({QStringLiteral("recover"), Path(QStringLiteral("GPS"))}).strOut, QString());

    // Without a folder: the storage card's.
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRIP_STORAGE_CARD"), m_dir.path());
    QFile::remove(Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.kml")));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"), {QStringLiteral("recover")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("GPS/GPSLog_2026-12-07_1508.kml"))));

    QFile junk(Path(QStringLiteral("GPS/GPSLog_junk.gpd")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("junk");
    junk.close();
    const CliRun failed = RunCli({QStringLiteral("recover"), Path(QStringLiteral("GPS"))});
    EXPECT_EQ(failed.nExit, 1);
    EXPECT_TRUE(failed.strErr.contains(QStringLiteral("GPSLog_junk.gpd is not a GPD track file")));
    EXPECT_EQ(RunCli({QStringLiteral("recover"), QStringLiteral("a"), QStringLiteral("b")}).nExit, 2);
}

}
