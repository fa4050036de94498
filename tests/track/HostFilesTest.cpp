// Track files on a real host: the running log is exclusive, host paths are
// used as given, only regular files are read, and big inputs are streamed.
#include "platform/DevicePaths.h"
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"
#include "track/TrackFormats.h"
#include "track/GpxExport.h"
#include "track/KmlExport.h"
#include "track/XmlTrackReader.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <malloc.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {


class HostFiles : public RecorderTest
{
protected:
    void SetUp() override
    {
        RecorderTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString Path(const QString& strName) const { return m_dir.filePath(strName); }

    // File Save and File Open of the run's track, as the window does them.
    COutcome Save(const QString& strPath) const { return WriteTrackFile(strPath, m_points, false); }
    COutcome Open(const QString& strPath) { return ReadTrackFile(strPath, 0, m_points); }

    QString WriteTrack(const QString& strName, const CTrackPointList& points) const
    {
        const QString strPath = Path(strName);
        QFile file(strPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GpdImage(points));
        return strPath;
    }

    QTemporaryDir m_dir;
};

// While this program logs, File Save and File Open refuse the log under any
// name, with their own open-failure messages, and leave it as it is; another
// veltrip process cannot write into it either.
TEST_F(HostFiles, TheRunningLogRefusesSaveAndOpenUnderAnyName)
{
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    SetFix(52, 4, 0, 0);
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    const QString strLog = LogPath();
    const QByteArray before = ReadAll(strLog);
    ASSERT_EQ(before.size(), 10 + 28);

    // The same file by another name: a detour through the folder, a link.
    const QString strDetour = GpsFolder() + QStringLiteral("/../GPS/") + QFileInfo(strLog).fileName();
    const QString strLink = Path(QStringLiteral("link.gpd"));
    ASSERT_TRUE(QFile::link(strLog, strLink));
    m_points.push_back(MakePoint(1, 2, 3, 4, 5, 6));
    for (const QString& strPath : {strLog, strDetour, strLink}) {
        SCOPED_TRACE(strPath.toStdString());
        EXPECT_TRUE(FailedWith(Save(strPath), QStringLiteral("Error opening:") + strPath));
        EXPECT_TRUE(FailedWith(Open(strPath), strPath));
        EXPECT_EQ(m_points.size(), 2u);
        EXPECT_EQ(ReadAll(strLog), before);
    }
    const CliRun convert = RunCli({QStringLiteral("convert"), WriteTrack(QStringLiteral("in.gpd"), {MakePoint(1, 2, 3, 4, 5, 6)}), strLink});
    EXPECT_EQ(convert.nExit, 1);
    EXPECT_EQ(ReadAll(strLog), before);

    // The log itself goes on after its last record.
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    EXPECT_EQ(ReadAll(strLog).size(), 10 + 2 * 28);
    EXPECT_TRUE(Succeeded(m_recorder.EndLog()));
    EXPECT_TRUE(Succeeded(Open(strLink)));
}

// End log keeps the lock until the KML copy is written: another process
// (here info, as recovery would read it) still finds the log held while the
// copy is on its way. The copy goes into a FIFO that is read only after
// that look, so the end is caught in the middle of writing it.
TEST_F(HostFiles, TheLockLastsUntilTheKmlCopyIsWritten)
{
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    SetFix(52, 4, 0, 0);
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    for (int i = 0; i < 5000; ++i)
        m_points.push_back(MakePoint(52.0f + float(i) * 1e-5f, 4.0f, 1, 2, 12, i / 60 % 60, i % 60));
    const QString strLog = LogPath();
    const QByteArray kmlPath = QFile::encodeName(strLog.chopped(4) + QStringLiteral(".kml"));
    ASSERT_EQ(mkfifo(kmlPath.constData(), 0600), 0);
    const int hFifo = ::open(kmlPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(hFifo, 0);

    COutcome ended = COutcome::Fail(QStringLiteral("not ended"));
    std::thread end([&] { ended = m_recorder.EndLog(); });
    struct pollfd pfd = {hFifo, POLLIN, 0};
    EXPECT_EQ(poll(&pfd, 1, 10000), 1);
    const CliRun info = RunCli({QStringLiteral("info"), strLog});
    EXPECT_EQ(info.nExit, 1);
    EXPECT_TRUE(info.strErr.contains(QStringLiteral("a running log holds it"))) << info.strErr.toStdString();

    ::fcntl(hFifo, F_SETFL, 0);
    char buffer[65536];
    while (::read(hFifo, buffer, sizeof buffer) > 0) {
    }
    end.join();
    ::close(hFifo);
    EXPECT_TRUE(Succeeded(ended));
    EXPECT_EQ(RunCli({QStringLiteral("info"), strLog}).nExit, 0);
}

// A second process (veltrip-cli record on a capture that is still being
// written) holds its log: this process can neither save onto it nor open it.
TEST_F(HostFiles, ALogOfAnotherProcessIsNeverWrittenInto)
{
    const QString strFifo = Path(QStringLiteral("capture.fifo"));
    ASSERT_EQ(mkfifo(qPrintable(strFifo), 0600), 0);
    const int hWriter = ::open(qPrintable(strFifo), O_RDWR | O_CLOEXEC);
    ASSERT_GE(hWriter, 0);
    QProcess record;
    record.start(CliProgram(), {QStringLiteral("record"), strFifo, Path(QStringLiteral("other"))});
    ASSERT_TRUE(record.waitForStarted());
    // Moving at a log start: stored at once, when the next fix ends its tick.
    const QByteArray fixes = Fix("101010", "5.0") + Fix("101011", "5.0");
    ASSERT_EQ(::write(hWriter, fixes.constData(), size_t(fixes.size())), fixes.size());

    const QString strLog = Path(QStringLiteral("other.gpd"));
    QDeadlineTimer deadline(20000);
    while (QFileInfo(strLog).size() < 10 + 28 && !deadline.hasExpired())
        QThread::msleep(20);
    const QByteArray before = ReadAll(strLog);
    ASSERT_EQ(before.size(), 10 + 28);

    m_points.push_back(MakePoint(1, 2, 3, 4, 5, 6));
    const QString strKmlLink = Path(QStringLiteral("link.kml"));
    ASSERT_TRUE(QFile::link(strLog, strKmlLink));
    EXPECT_TRUE(FailedWith(Save(strLog), QStringLiteral("Error opening:") + strLog));
    // The KML writer respects the log as well.
    EXPECT_TRUE(FailedWith(Save(strKmlLink), QStringLiteral("Error opening:") + strKmlLink));
    EXPECT_TRUE(FailedWith(Open(strLog), strLog));
    EXPECT_EQ(m_points.size(), 1u);
    const CliRun info = RunCli({QStringLiteral("info"), strLog});
    EXPECT_EQ(info.nExit, 1);
    EXPECT_TRUE(info.strErr.contains(QStringLiteral("a running log holds it"))) << info.strErr.toStdString();
    EXPECT_EQ(ReadAll(strLog), before);

    ::close(hWriter);
    ASSERT_TRUE(record.waitForFinished(20000));
    EXPECT_EQ(record.exitCode(), 0) << record.readAllStandardError().toStdString();
    EXPECT_TRUE(record.readAllStandardOutput().startsWith("1 points stored in "));
    EXPECT_EQ(ReadAll(strLog), before);
}

// A backslash in a host path is part of a file name, never a folder
// separator: "my\track.kml" is written where the user said, even when a
// folder "my" exists beside it.
TEST_F(HostFiles, BackslashesInHostPathsAreKept)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("my")));
    const QString strIn = WriteTrack(QStringLiteral("in.gpd"), {MakePoint(52, 4, 1, 2, 10, 0)});
    const QString strOut = Path(QStringLiteral("my\\track.kml"));
    EXPECT_EQ(RunCli({QStringLiteral("convert"), strIn, strOut}).nExit, 0);
    EXPECT_TRUE(QFileInfo(strOut).isFile());
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("my/track.kml"))));

    // File Save and File Open take the dialog's host path as it stands.
    m_points.push_back(MakePoint(52, 4, 1, 2, 10, 0));
    const QString strSaved = Path(QStringLiteral("my\\saved.gpd"));
    EXPECT_TRUE(Succeeded(Save(strSaved)));
    EXPECT_TRUE(QFileInfo(strSaved).isFile());
    EXPECT_TRUE(Succeeded(Open(strSaved)));
    EXPECT_EQ(m_points.size(), 2u);
}

// Names that are not regular files are refused at once: a FIFO would block
// the reader for ever, a device would feed it without end.
TEST_F(HostFiles, OnlyRegularFilesAreRead)
{
    const QString strFifo = Path(QStringLiteral("fifo.gpd"));
    ASSERT_EQ(mkfifo(qPrintable(strFifo), 0600), 0);
    const QString strZero = Path(QStringLiteral("zero.gpd"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), strZero));
    for (const QString& strPath : {strFifo, strZero, m_dir.path()}) {
        SCOPED_TRACE(strPath.toStdString());
        const CliRun info = RunCli({QStringLiteral("info"), strPath}, 10000);
        EXPECT_EQ(info.nExit, 1);
        EXPECT_TRUE(info.strErr.contains(QStringLiteral("not a regular file"))) << info.strErr.toStdString();
        EXPECT_EQ(RunCli({QStringLiteral("convert"), strPath, Path(QStringLiteral("out.kml"))}, 10000).nExit, 1);
        EXPECT_TRUE(FailedWith(Open(strPath), strPath));
    }
    EXPECT_TRUE(m_points.empty());
}

// A small RAM disk as the output folder; needs the right to mount.
TEST_F(HostFiles, RecordOnAFullDiskTellsWhatTheFileHolds)
{
    QTemporaryDir mountPoint;
    if (mount("veltrip-test", qPrintable(mountPoint.path()), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); full-disk test skipped";
    // A turn every second at speed: 4000 points, far more than 64 KiB hold.
    QByteArray capture;
    for (int s = 0; s < 4000; ++s)
        capture += Fix(qPrintable(Time(8 * 3600 + s)), "10.0", "1.0", s % 2 ? "10.0" : "20.0");
    const QString strCapture = Path(QStringLiteral("turns.nmea"));
    QFile file(strCapture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(capture);
    file.close();

    const QString strBase = mountPoint.path() + QStringLiteral("/out");
    const CliRun run = RunCli({QStringLiteral("record"), strCapture, strBase});
    const QByteArray log = ReadAll(strBase + QStringLiteral(".gpd"));
    umount2(qPrintable(mountPoint.path()), MNT_DETACH);
    EXPECT_EQ(run.nExit, 1);
    ASSERT_GT(log.size(), 10);
    EXPECT_EQ((log.size() - 10) % 28, 0);
    const qsizetype nInFile = (log.size() - 10) / 28;
    EXPECT_LT(nInFile, 4000);
    EXPECT_EQ(run.strOut, QStringLiteral("4000 points stored, only %1 of them in %2.gpd\n").arg(nInFile).arg(strBase));
}

// Peak memory of a run over that of the same command on a tiny input.
long ExtraPeakKiB(const QStringList& tiny, const QStringList& big)
{
    const CPeakRun base = RunForPeakMemory(CliProgram(), tiny);
    const CPeakRun run = RunForPeakMemory(CliProgram(), big);
    EXPECT_EQ(base.nExit, 0);
    EXPECT_EQ(run.nExit, 0);
    return run.nPeakKiB - base.nPeakKiB;
}

// record streams its capture: memory does not grow with the capture's size.
TEST_F(HostFiles, RecordStreamsTheCapture)
{
    constexpr qsizetype CAPTURE_BYTES = 32 * 1024 * 1024;
    const QString strBig = Path(QStringLiteral("big.nmea"));
    // Fixes of a day again and again; their dilution keeps them out of the
    // log, so the time goes to reading, not to the disk.
    QFile big(strBig);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    for (int s = 0; big.size() < CAPTURE_BYTES; ++s)
        big.write(Fix(qPrintable(Time(s)), "3.0", "99.0"));
    big.close();
    const QString strTiny = Path(QStringLiteral("tiny.nmea"));
    QFile tiny(strTiny);
    ASSERT_TRUE(tiny.open(QIODevice::WriteOnly));
    tiny.write(Fix("000000"));
    tiny.close();

    const long nExtraKiB = ExtraPeakKiB({QStringLiteral("record"), strTiny, Path(QStringLiteral("tiny"))},
                                        {QStringLiteral("record"), strBig, Path(QStringLiteral("big"))});
    EXPECT_LT(nExtraKiB, 16 * 1024) << "a " << CAPTURE_BYTES / (1024 * 1024) << " MiB capture took " << nExtraKiB
                                    << " KiB more than a tiny one";
}

// File Open streams the GPD: besides the track list only a small buffer.
TEST_F(HostFiles, OpeningATrackNeedsTheListAndASmallBuffer)
{
    constexpr int TRACK_POINTS = 1000000;
    constexpr int TRACK_PIECE = 10000;
    const QString strBig = Path(QStringLiteral("big.gpd"));
    {
        QFile big(strBig);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write(GpdImage({}));
        for (int i = 0; i < TRACK_POINTS; i += TRACK_PIECE) {
            CTrackPointList piece;
            for (int j = i; j < i + TRACK_PIECE; ++j)
                piece.push_back(MakePoint(52.0f + float(j) * 1e-6f, 4, 1, 2, j / 3600 % 24, j / 60 % 60, j % 60));
            big.write(GpdImage(piece).mid(10));
        }
    }
    const QString strTiny = WriteTrack(QStringLiteral("tiny.gpd"), {MakePoint(52, 4, 1, 2, 10, 0)});
    const long nExtraKiB = ExtraPeakKiB({QStringLiteral("info"), strTiny}, {QStringLiteral("info"), strBig});

    // What the list itself takes on the heap.
    malloc_trim(0);
    const size_t nBefore = mallinfo2().uordblks;
    CTrackPointList points;
    size_t nSkipped = 0;
    ASSERT_TRUE(Succeeded(LoadGpdFile(strBig, 0, points, nSkipped)));
    ASSERT_EQ(points.size(), size_t(TRACK_POINTS));
    const long nListKiB = long((mallinfo2().uordblks - nBefore) / 1024);
    EXPECT_LT(nExtraKiB, nListKiB + 4 * 1024) << "the list takes " << nListKiB << " KiB, info " << nExtraKiB
                                              << " KiB more than on a tiny track";
}

}

namespace {

// A gx:Track with its times first and then its positions, as Google Earth
// writes it.
void WriteGxTrack(const QString& strPath, const CTrackPointList& points)
{
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<kml xmlns:gx='http://www.google.com/kml/ext/2.2'><Placemark><gx:Track>\n");
    for (const CTrackPoint& point : points)
        file.write(QString::asprintf("<when>2026-12-07T%02d:%02d:%02dZ</when>\n", point.m_byHour, point.m_byMinute,
                                     point.m_bySecond).toLatin1());
    for (const CTrackPoint& point : points)
        file.write(QString::asprintf("<gx:coord>%.6f %.6f 1</gx:coord>\n", double(point.m_fLongitude),
                                     double(point.m_fLatitude)).toLatin1());
    file.write("</gx:Track></Placemark></kml>\n");
}

// GPX and KML are read piece by piece too, also a KML LineString or gx:Track
// that holds the whole track in one element.
TEST_F(HostFiles, OpeningAnXmlTrackNeedsTheListAndASmallBuffer)
{
    if (!HeapFiguresAreThePrograms())
        GTEST_SKIP() << "heap figures under AddressSanitizer are the sanitizer's, not the program's";
    constexpr int TRACK_POINTS = 300000;
    CTrackPointList track;
    for (int j = 0; j < TRACK_POINTS; ++j)
        track.push_back(MakePoint(52.0f + float(j) * 1e-6f, 4, 1, 2, j / 3600 % 24, j / 60 % 60, j % 60));
    const struct
    {
        const char* szName;
        std::function<void(const QString&, const CTrackPointList&)> write;
    } FORMATS[] = {
        {"track.gpx", [](const QString& strPath, const CTrackPointList& points) { WriteGpx(strPath, points); }},
        {"line.kml", [](const QString& strPath, const CTrackPointList& points) { WriteKml(strPath, points, true); }},
        {"gx.kml", WriteGxTrack},
    };
    for (const auto& format : FORMATS) {
        SCOPED_TRACE(format.szName);
        const QString strBig = Path(QStringLiteral("big-") + QLatin1String(format.szName));
        const QString strTiny = Path(QStringLiteral("tiny-") + QLatin1String(format.szName));
        format.write(strBig, track);
        format.write(strTiny, {track.front()});
        const long nExtraKiB = ExtraPeakKiB({QStringLiteral("info"), strTiny}, {QStringLiteral("info"), strBig});

        malloc_trim(0);
        const size_t nBefore = mallinfo2().uordblks;
        CTrackPointList points;
        size_t nSkipped = 0;
        ASSERT_TRUE(Succeeded(LoadXmlTrackFile(strBig, 0, points, nSkipped)));
        ASSERT_GE(points.size(), size_t(TRACK_POINTS));   // the KML writer adds its markers
        const long nListKiB = long((mallinfo2().uordblks - nBefore) / 1024);
        EXPECT_LT(nExtraKiB, nListKiB + 4 * 1024) << "the list takes " << nListKiB << " KiB, info " << nExtraKiB
                                                  << " KiB more than on a tiny track";
        QFile::remove(strBig);
    }
}

}
