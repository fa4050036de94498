#include "app/CTrackerApp.h"
#include "platform/DevicePaths.h"
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class GpdFile : public ::testing::Test
{
protected:
    void SetUp() override { ResetRecorder(); }
    void TearDown() override { ResetRecorder(); }

    static void WriteFile(const QString& strName, const QByteArray& data)
    {
        QFile file(GpsFolder() + QLatin1Char('/') + strName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    static QString DevicePath(const QString& strName)
    {
        return QStringLiteral("\\Storage card\\GPS\\") + strName;
    }
};

TEST_F(GpdFile, LogStartsWithTheSignatureAndAZeroCountAndGrowsByRecords)
{
    CGpsTracker& tracker = theApp.m_tracker;
    ASSERT_TRUE(tracker.StartLog());
    EXPECT_TRUE(tracker.m_strLogBase.startsWith(QStringLiteral("\\Storage card\\GPS\\GPSLog_")));
    EXPECT_EQ(tracker.m_fLastLogCourse, -10.0f);
    const QString strGpd = HostPath(tracker.m_strLogBase + QStringLiteral(".gpd"));
    EXPECT_EQ(ReadAll(strGpd), QByteArray("GPD\r\n\x1A\0\0\0\0", 10));

    SetFix(1, 2, 3, 4);
    ASSERT_TRUE(tracker.StoreTrackPoint());
    EXPECT_EQ(ReadAll(strGpd).size(), 38);
    tracker.SetPlacemark(QStringLiteral("Mill"));
    EXPECT_EQ(ReadAll(strGpd).size(), 38 + 32);
    EXPECT_EQ(tracker.m_nLogPoints, 1);   // placemarks do not count

    ASSERT_TRUE(tracker.EndLog());
    EXPECT_FALSE(tracker.m_hLogFile);
    EXPECT_FALSE(tracker.EndLog());
    const QByteArray kml = ReadAll(HostPath(tracker.m_strLogBase + QStringLiteral(".kml")));
    EXPECT_TRUE(kml.contains("<name>Mill 0:00</name>"));
}

TEST_F(GpdFile, ANewLogNeverReplacesAnEarlierLogOrItsKmlCopy)
{
    CGpsTracker& tracker = theApp.m_tracker;
    ASSERT_TRUE(tracker.StartLog());
    const QString strFirst = tracker.m_strLogBase;
    SetFix(1, 2, 3, 4);
    ASSERT_TRUE(tracker.StoreTrackPoint());
    // Started again within the same minute: the first log is ended (with its
    // KML copy) and the second gets its own name.
    ASSERT_TRUE(tracker.StartLog());
    const QString strSecond = tracker.m_strLogBase;
    if (!strSecond.startsWith(strFirst))
        GTEST_SKIP() << "the minute changed between the two starts";
    EXPECT_EQ(strSecond, strFirst + QStringLiteral("_2"));
    EXPECT_EQ(ReadAll(HostPath(strFirst + QStringLiteral(".gpd"))).size(), 38);
    EXPECT_TRUE(QFile::exists(HostPath(strFirst + QStringLiteral(".kml"))));

    // A leftover KML copy without its log also keeps the name taken.
    QFile(HostPath(strFirst + QStringLiteral("_3.kml"))).open(QIODevice::WriteOnly);
    ASSERT_TRUE(tracker.StartLog());
    if (tracker.m_strLogBase.startsWith(strFirst)) {
        EXPECT_EQ(tracker.m_strLogBase, strFirst + QStringLiteral("_4"));
    }
}

TEST_F(GpdFile, StartLogFailsWithItsMessageWhenTheFolderIsMissing)
{
    QDir(GpsFolder()).removeRecursively();
    CMessageCapture messages;
    EXPECT_FALSE(theApp.m_tracker.StartLog());
    EXPECT_FALSE(theApp.m_tracker.m_hLogFile);
    EXPECT_EQ(messages.m_messages,
              QStringList{QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen")});
    QDir().mkpath(GpsFolder());
}

TEST_F(GpdFile, ReaderChecksOnlyByteFiveAndIgnoresTheCount)
{
    CTrackPointList points{MakePoint(1, 2, 3, 4, 5, 6, 7), MakePoint(8, 9, 10, 11, 12, 13, 14, QStringLiteral("Pin"))};
    QByteArray image = GpdImage(points, 99);
    image.replace(0, 5, "XXXXX");
    CTrackPointList read;
    ASSERT_TRUE(ReadGpd(image.constData(), size_t(image.size()), read));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].m_fAltitude, 3.0f);
    EXPECT_EQ(read[0].m_fSpeed, 4.0f);
    EXPECT_EQ(read[1].m_bySecond, 14);
    EXPECT_EQ(read[1].m_strName, QStringLiteral("Pin"));

    image[5] = 0x1B;
    EXPECT_FALSE(ReadGpd(image.constData(), size_t(image.size()), read));
    EXPECT_FALSE(ReadGpd("GPD\r\n\x1A\0\0\0", 9, read));
    EXPECT_EQ(read.size(), 2u);
}

TEST_F(GpdFile, ARecordCutShortByTheEndIsLeftOut)
{
    const CTrackPointList points{MakePoint(1, 2, 3, 4, 5, 6), MakePoint(1, 2, 3, 4, 5, 7, 0, QStringLiteral("Name"))};
    const QByteArray image = GpdImage(points);
    // Every length that cuts the second record: values only, values and part
    // of the name, name without its terminator.
    for (qsizetype nCut = 10 + 28; nCut < image.size(); ++nCut) {
        CTrackPointList read;
        ASSERT_TRUE(ReadGpd(image.constData(), size_t(nCut), read));
        EXPECT_EQ(read.size(), 1u) << "length " << nCut;
    }
    CTrackPointList read;
    ASSERT_TRUE(ReadGpd(image.constData(), size_t(image.size()), read));
    EXPECT_EQ(read.size(), 2u);
}

// A file is read in pieces; wherever a piece ends, in the header, in the
// values or in a name, the same points come out.
TEST_F(GpdFile, PiecesOfAnySizeReadTheSamePoints)
{
    const CTrackPointList points{MakePoint(1, 2, 3, 4, 5, 6, 0, QStringLiteral("First")), MakePoint(7, 8, 9, 10, 11, 12),
                                 MakePoint(13, 14, 15, 16, 17, 18, 0, QStringLiteral("A longer name"))};
    const QByteArray image = GpdImage(points);
    for (qsizetype nPiece = 1; nPiece <= image.size(); ++nPiece) {
        CTrackPointList read;
        CGpdReader reader(read);
        for (qsizetype i = 0; i < image.size(); i += nPiece)
            ASSERT_TRUE(reader.Feed(image.constData() + i, size_t(std::min(nPiece, image.size() - i))));
        ASSERT_TRUE(reader.Finish());
        ASSERT_EQ(read.size(), 3u) << "pieces of " << nPiece;
        EXPECT_EQ(read[0].m_strName, QStringLiteral("First"));
        EXPECT_EQ(read[1].m_fSpeed, 10.0f);
        EXPECT_EQ(read[2].m_strName, QStringLiteral("A longer name"));
        EXPECT_EQ(read[2].m_fLatitude, 13.0f);
    }
}

TEST_F(GpdFile, NamesRoundTripWithBytesAboveSevenBitsAsLatin1)
{
    CTrackPoint point = MakePoint(1, 2, 3, 4, 5, 6);
    point.m_strName = QString::fromUtf16(u"Caf\u00E9 \u00FF\u0080 \u4E2D");
    const QByteArray image = GpdImage({point});
    CTrackPointList read;
    ASSERT_TRUE(ReadGpd(image.constData(), size_t(image.size()), read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].m_strName, QString::fromUtf16(u"Caf\u00E9 \u00FF\u0080 ?"));
}

TEST_F(GpdFile, FileOpenAppendsAndReportsBadFiles)
{
    const QByteArray image = GpdImage({MakePoint(1, 2, 3, 4, 5, 6), MakePoint(1, 2, 3, 4, 5, 7)}, 2);
    WriteFile(QStringLiteral("a.gpd"), image);
    WriteFile(QStringLiteral("bad.gpd"), "GPD\r\n\x1B\0\0\0\0");
    WriteFile(QStringLiteral("short.gpd"), "GPD\r\n");
    theApp.m_trackPoints.push_back(MakePoint(9, 9, 9, 9, 9, 9));

    CMessageCapture messages;
    EXPECT_TRUE(OpenTrackFile(DevicePath(QStringLiteral("a.gpd"))));
    EXPECT_TRUE(OpenTrackFile(DevicePath(QStringLiteral("a.gpd"))));
    EXPECT_EQ(theApp.m_trackPoints.size(), 5u);
    EXPECT_EQ(theApp.m_trackPoints[0].m_fLatitude, 9.0f);
    EXPECT_TRUE(messages.m_messages.isEmpty());

    EXPECT_FALSE(OpenTrackFile(DevicePath(QStringLiteral("bad.gpd"))));
    EXPECT_FALSE(OpenTrackFile(DevicePath(QStringLiteral("short.gpd"))));
    EXPECT_FALSE(OpenTrackFile(DevicePath(QStringLiteral("missing.gpd"))));
    EXPECT_EQ(messages.m_messages,
              (QStringList{QStringLiteral("Incorrect file"), QStringLiteral("Incorrect file"),
                           DevicePath(QStringLiteral("missing.gpd"))}));
    EXPECT_EQ(theApp.m_trackPoints.size(), 5u);
}

TEST_F(GpdFile, FileSaveWritesTheCountAndPicksKmlByThePath)
{
    EXPECT_TRUE(SaveTrackFile(DevicePath(QStringLiteral("empty.gpd"))));
    EXPECT_EQ(ReadAll(GpsFolder() + QStringLiteral("/empty.gpd")), QByteArray("GPD\r\n\x1A\0\0\0\0", 10));

    theApp.m_trackPoints = {MakePoint(1, 2, 3, 4, 5, 6), MakePoint(1, 2, 3, 4, 5, 7, 0, QStringLiteral("Pin"))};
    EXPECT_TRUE(SaveTrackFile(DevicePath(QStringLiteral("two.gpd"))));
    EXPECT_EQ(ReadAll(GpsFolder() + QStringLiteral("/two.gpd")), GpdImage(theApp.m_trackPoints, 2));

    EXPECT_TRUE(SaveTrackFile(DevicePath(QStringLiteral("two.kml"))));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/two.kml")).startsWith("<?xml"));
    // Capitals, or ".kml" only at the very start, give a GPD file.
    EXPECT_TRUE(SaveTrackFile(DevicePath(QStringLiteral("two.KML"))));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/two.KML")).startsWith("GPD"));
    EXPECT_TRUE(SaveTrackFile(GpsFolder() + QStringLiteral("/.kml")));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/.kml")).startsWith("<?xml"));
    const QString strOldCurrent = QDir::currentPath();
    QDir::setCurrent(GpsFolder());
    EXPECT_TRUE(SaveTrackFile(QStringLiteral(".kmlfile")));
    QDir::setCurrent(strOldCurrent);
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/.kmlfile")).startsWith("GPD"));

    CMessageCapture messages;
    EXPECT_FALSE(SaveTrackFile(DevicePath(QStringLiteral("no/such/dir.gpd"))));
    EXPECT_EQ(messages.m_messages,
              QStringList{QStringLiteral("Error opening:") + DevicePath(QStringLiteral("no/such/dir.gpd"))});
}

TEST_F(GpdFile, FileSaveReportsAFailedWrite)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "/dev/full is not available";
    theApp.m_trackPoints = {MakePoint(1, 2, 3, 4, 5, 6)};
    CMessageCapture messages;
    EXPECT_FALSE(WriteGpdFile(QStringLiteral("/dev/full"), theApp.m_trackPoints));
    EXPECT_EQ(messages.m_messages, QStringList{QStringLiteral("Error writing file")});
}

}
