#include "platform/LogFile.h"
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/LogRecovery.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QByteArray WHOLE_KML = "<?xml version=\"1.0\"?>\n<kml><Document></Document></kml>\n";

void WriteFile(const QString& strPath, const QByteArray& data)
{
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

TEST(LogRecovery, WritesTheMissingKmlCopiesOnly)
{
    EmptyGpsFolder();
    const QString strGps = GpsFolder();
    const CTrackPointList points{MakePoint(52.5f, 4.25f, 12, 10, 14, 5), MakePoint(52.6f, 4.25f, 12, 10, 14, 6, 0,
                                                                                  QStringLiteral("Pier"))};
    // A log killed in the middle of its last record, one ended properly, one
    // that is no GPD file, and files that are no logs.
    WriteFile(strGps + "/GPSLog_2026-12-07_1508.gpd", GpdImage(points) + QByteArray("\x01\x02\x03", 3));
    WriteFile(strGps + "/GPSLog_2026-12-07_1600.gpd", GpdImage(points));
    WriteFile(strGps + "/GPSLog_2026-12-07_1600.kml", WHOLE_KML);
    WriteFile(strGps + "/GPSLog_2026-12-07_1700.gpd", "garbage");
    WriteFile(strGps + "/track.gpd", GpdImage(points));
    WriteFile(strGps + "/gpslog_2026-12-07_1800.gpd", GpdImage(points));

    // A log that is still running: neither copied nor reported.
    const std::unique_ptr<CLogFile> running = CLogFile::CreateNew(strGps + "/GPSLog_2026-12-07_1900.gpd");
    ASSERT_TRUE(running);
    ASSERT_TRUE(running->WriteRecord(GpdImage(points).constData(), GpdImage(points).size()));

    CMessageCapture capture;
    const CLogRecovery recovery = RecoverUnfinishedLogs(QStringLiteral("\\Storage card\\GPS\\"), true);
    EXPECT_EQ(recovery.m_written, QStringList{"\\Storage card\\GPS\\GPSLog_2026-12-07_1508.kml"});
    EXPECT_EQ(recovery.m_skipped, QStringList{"\\Storage card\\GPS\\GPSLog_2026-12-07_1700.gpd"});
    EXPECT_TRUE(recovery.m_failed.isEmpty());
    EXPECT_TRUE(capture.m_messages.isEmpty());
    EXPECT_EQ(GpsFiles(QStringLiteral("*.kml")),
              (QStringList{"GPSLog_2026-12-07_1508.kml", "GPSLog_2026-12-07_1600.kml"}));
    EXPECT_EQ(ReadAll(strGps + "/GPSLog_2026-12-07_1600.kml"), WHOLE_KML);

    // The copy the end of the log would have written: both whole records,
    // the height from the speed as asked.
    const QByteArray kml = ReadAll(strGps + "/GPSLog_2026-12-07_1508.kml");
    EXPECT_TRUE(kml.contains("<name>\\Storage card\\GPS\\GPSLog_2026-12-07_1508.kml</name>"));
    EXPECT_EQ(kml.count("4.250000,52.500000,181.520000\n"), 1);
    EXPECT_EQ(kml.count("4.250000,52.599998,181.520000\n"), 1);
    EXPECT_TRUE(kml.contains("<name>Pier 14:06</name>"));
    EXPECT_TRUE(kml.endsWith("</Document></kml>\n"));

    // A second run has nothing left to do; a host folder is named as given.
    EXPECT_TRUE(RecoverUnfinishedLogs(strGps, false).m_written.isEmpty());
    QFile::remove(strGps + "/GPSLog_2026-12-07_1508.kml");
    EXPECT_EQ(RecoverUnfinishedLogs(strGps, false).m_written,
              QStringList{strGps + "/GPSLog_2026-12-07_1508.kml"});
    EXPECT_TRUE(RecoverUnfinishedLogs(strGps + "/missing", false).m_written.isEmpty());
    EmptyGpsFolder();
}

// A KML copy cut short, or not KML at all, is written again; so is one of
// the log's copies without its closing </kml>.
TEST(LogRecovery, RewritesAKmlCopyThatIsNotAWholeDocument)
{
    const QByteArray CUT[] = {
        "",
        "<?xml version=\"1.0\"?>\n<kml><Document><Placemark>",
        "<?xml version=\"1.0\"?>\n<kml><Document></Document>",
        "<?xml version=\"1.0\"?>\n<kml><Document></Document></kml>\n<kml>",
        "<?xml version=\"1.0\"?>\n<gpx></gpx>\n",
        "ended",
    };
    const QString strGps = GpsFolder();
    for (const QByteArray& kml : CUT) {
        EmptyGpsFolder();
        WriteFile(strGps + "/GPSLog_2026-12-07_1508.gpd", GpdImage({MakePoint(52.5f, 4.25f, 12, 10, 14, 5)}));
        WriteFile(strGps + "/GPSLog_2026-12-07_1508.kml", kml);
        const CLogRecovery recovery = RecoverUnfinishedLogs(strGps, false);
        EXPECT_EQ(recovery.m_written, QStringList{strGps + "/GPSLog_2026-12-07_1508.kml"}) << kml.constData();
        EXPECT_TRUE(ReadAll(strGps + "/GPSLog_2026-12-07_1508.kml").endsWith("</Document></kml>\n")) << kml.constData();
    }
    EmptyGpsFolder();
}

}
