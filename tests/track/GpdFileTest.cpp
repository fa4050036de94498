#include "platform/DevicePaths.h"
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"
#include "track/KmlExport.h"
#include "track/TrackFormats.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

class GpdFile : public RecorderTest
{
protected:

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
    const CTrackLog& log = m_recorder.m_log;
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    EXPECT_TRUE(log.m_strLogBase.startsWith(QStringLiteral("\\Storage card\\GPS\\GPSLog_")));
    EXPECT_EQ(m_tracker.m_fLastLogCourse, -10.0f);
    const QString strGpd = LogPath();
    EXPECT_EQ(ReadAll(strGpd), QByteArray("GPD\r\n\x1A\0\0\0\0", 10));
    EXPECT_EQ(log.FilePoints(), 0);

    SetFix(1, 2, 3, 4);
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    EXPECT_EQ(ReadAll(strGpd).size(), 38);
    EXPECT_TRUE(Succeeded(m_recorder.SetPlacemark(QStringLiteral("Mill"))));
    EXPECT_EQ(ReadAll(strGpd).size(), 38 + 32);
    EXPECT_EQ(log.m_nLogPoints, 1);   // placemarks do not count
    EXPECT_EQ(log.FilePoints(), 2);

    ASSERT_TRUE(Succeeded(m_recorder.EndLog()));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.FilePoints(), 0);
    const QString strKml = HostPath(log.m_strLogBase + QStringLiteral(".kml"));
    const QByteArray kml = ReadAll(strKml);
    EXPECT_TRUE(kml.contains("<name>Mill 0:00</name>"));
    // Without a log there is nothing to end: the KML copy stays as it is.
    m_points.push_back(MakePoint(1, 2, 3, 4, 5, 6, 0, QStringLiteral("Late")));
    EXPECT_TRUE(Succeeded(m_recorder.EndLog()));
    EXPECT_EQ(ReadAll(strKml), kml);
}

TEST_F(GpdFile, ANewLogNeverReplacesAnEarlierLogOrItsKmlCopy)
{
    const CTrackLog& log = m_recorder.m_log;
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    const QString strFirst = log.m_strLogBase;
    SetFix(1, 2, 3, 4);
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    // Started again within the same minute: the first log is ended (with its
    // KML copy) and the second gets its own name.
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    const QString strSecond = log.m_strLogBase;
    if (!strSecond.startsWith(strFirst))
        GTEST_SKIP() << "the minute changed between the two starts";
    EXPECT_EQ(strSecond, strFirst + QStringLiteral("_2"));
    EXPECT_EQ(ReadAll(HostPath(strFirst + QStringLiteral(".gpd"))).size(), 38);
    EXPECT_TRUE(QFile::exists(HostPath(strFirst + QStringLiteral(".kml"))));

    // A leftover KML copy without its log also keeps the name taken.
    QFile(HostPath(strFirst + QStringLiteral("_3.kml"))).open(QIODevice::WriteOnly);
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    if (log.m_strLogBase.startsWith(strFirst)) {
        EXPECT_EQ(log.m_strLogBase, strFirst + QStringLiteral("_4"));
    }
}

TEST_F(GpdFile, StartLogFailsWithItsMessageWhenTheFolderIsMissing)
{
    QDir(GpsFolder()).removeRecursively();
    const COutcome started = m_recorder.StartLog();
    EXPECT_TRUE(FailedWith(started, QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen")));
    EXPECT_EQ(started.Errno(), ENOENT);
    EXPECT_FALSE(m_recorder.m_log.IsOpen());
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
    m_points.push_back(MakePoint(9, 9, 9, 9, 9, 9));

    EXPECT_TRUE(Succeeded(ReadTrackFile(DevicePath(QStringLiteral("a.gpd")), 0, m_points)));
    EXPECT_TRUE(Succeeded(ReadTrackFile(DevicePath(QStringLiteral("a.gpd")), 0, m_points)));
    EXPECT_EQ(m_points.size(), 5u);
    EXPECT_EQ(m_points[0].m_fLatitude, 9.0f);

    const QString strIncorrect = QStringLiteral("Incorrect file");
    EXPECT_TRUE(FailedWith(ReadTrackFile(DevicePath(QStringLiteral("bad.gpd")), 0, m_points), strIncorrect));
    EXPECT_TRUE(FailedWith(ReadTrackFile(DevicePath(QStringLiteral("short.gpd")), 0, m_points), strIncorrect));
    const COutcome missing = ReadTrackFile(DevicePath(QStringLiteral("missing.gpd")), 0, m_points);
    EXPECT_TRUE(FailedWith(missing, DevicePath(QStringLiteral("missing.gpd"))));
    EXPECT_EQ(missing.Errno(), ENOENT);
    EXPECT_EQ(m_points.size(), 5u);
}

TEST_F(GpdFile, FileSaveWritesTheCountAndPicksKmlByThePath)
{
    const auto save = [this](const QString& strPath) { return WriteTrackFile(strPath, m_points, false); };
    EXPECT_TRUE(Succeeded(save(DevicePath(QStringLiteral("empty.gpd")))));
    EXPECT_EQ(ReadAll(GpsFolder() + QStringLiteral("/empty.gpd")), QByteArray("GPD\r\n\x1A\0\0\0\0", 10));

    m_points = {MakePoint(1, 2, 3, 4, 5, 6), MakePoint(1, 2, 3, 4, 5, 7, 0, QStringLiteral("Pin"))};
    EXPECT_TRUE(Succeeded(save(DevicePath(QStringLiteral("two.gpd")))));
    EXPECT_EQ(ReadAll(GpsFolder() + QStringLiteral("/two.gpd")), GpdImage(m_points, 2));

    EXPECT_TRUE(Succeeded(save(DevicePath(QStringLiteral("two.kml")))));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/two.kml")).startsWith("<?xml"));
    // The suffix counts in capitals as well, and only at the very end.
    EXPECT_TRUE(Succeeded(save(DevicePath(QStringLiteral("two.KML")))));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/two.KML")).contains("<kml "));
    EXPECT_TRUE(Succeeded(save(GpsFolder() + QStringLiteral("/.kml"))));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/.kml")).contains("<kml "));
    EXPECT_TRUE(Succeeded(save(GpsFolder() + QStringLiteral("/two.kml.gpd"))));
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/two.kml.gpd")).startsWith("GPD"));
    const QString strOldCurrent = QDir::currentPath();
    QDir::setCurrent(GpsFolder());
    EXPECT_TRUE(Succeeded(save(QStringLiteral(".kmlfile"))));
    QDir::setCurrent(strOldCurrent);
    EXPECT_TRUE(ReadAll(GpsFolder() + QStringLiteral("/.kmlfile")).startsWith("GPD"));

    const COutcome failed = save(DevicePath(QStringLiteral("no/such/dir.gpd")));
    EXPECT_TRUE(
        FailedWith(failed, QStringLiteral("Error opening:") + DevicePath(QStringLiteral("no/such/dir.gpd"))));
    EXPECT_EQ(failed.Errno(), ENOENT);
}

TEST_F(GpdFile, FileSaveReportsAFailedWrite)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "/dev/full is not available";
    m_points = {MakePoint(1, 2, 3, 4, 5, 6)};
    const COutcome written = WriteGpdFile(QStringLiteral("/dev/full"), m_points);
    EXPECT_TRUE(FailedWith(written, QStringLiteral("Error writing file")));
    EXPECT_EQ(written.Errno(), ENOSPC);
}

// The format follows the suffix at the end of the name, in any case: a GPX
// name gets a GPX document that reads back as it was written. A KML document
// cut short by a failed write is a failure, as a GPD file is.
TEST_F(GpdFile, TheSuffixPicksTheFormatAndACutShortKmlFails)
{
    struct Case
    {
        const char* pszName;
        const CTrackFormat* pFormat;   // null: none of the suffixes
    };
    const auto format = [](const char* szSuffix) {
        for (const CTrackFormat& f : TrackFormats()) {
            if (std::strcmp(f.szSuffix, szSuffix) == 0)
                return &f;
        }
        return static_cast<const CTrackFormat*>(nullptr);
    };
    const Case cases[] = {
        {"a.gpd", format(".gpd")},
        {"b.GPX", format(".gpx")},
        {"c.Kml", format(".kml")},
        {"x.kml.gpd", format(".gpd")},
        {"my.kmlfile", nullptr},
    };
    for (const Case& c : cases) {
        const QString strName = QString::fromLatin1(c.pszName);
        EXPECT_EQ(FindTrackFormat(strName), c.pFormat) << c.pszName;
        EXPECT_EQ(&TrackFormatOf(strName), c.pFormat ? c.pFormat : format(".gpd")) << c.pszName;
    }

    m_points = {MakePoint(52.5f, 4.25f, 10, 3, 10, 59, 58), MakePoint(52.6f, 4.5f, 11, 4, 11, 0, 2),
                MakePoint(52.7f, 4.75f, 12, 5, 11, 1, 0)};
    const QString strGpx = GpsFolder() + QStringLiteral("/Trip.GPX");
    ASSERT_TRUE(Succeeded(WriteTrackFile(strGpx, m_points, false)));
    const QByteArray gpx = ReadAll(strGpx);
    EXPECT_TRUE(gpx.startsWith("<?xml"));
    EXPECT_TRUE(gpx.contains("<gpx"));
    CTrackPointList read;
    ASSERT_TRUE(Succeeded(ReadTrackFile(strGpx, 0, read)));
    EXPECT_EQ(read.size(), m_points.size());

    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "/dev/full is not available";
    EXPECT_TRUE(FailedWith(WriteKml(QStringLiteral("/dev/full"), m_points, false),
                           QStringLiteral("Error writing file")));
}

}
