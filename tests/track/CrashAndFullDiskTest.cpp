#include "platform/DevicePaths.h"
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int CRASH_POINTS_BEFORE_KILL = 40;

QString OnlyLog()
{
    const QStringList logs = GpsFiles(QStringLiteral("*.gpd"));
    return logs.size() == 1 ? GpsFolder() + QLatin1Char('/') + logs[0] : QString();
}

class CrashSafety : public RecorderTest
{
};

// Every stored point is on the file before StoreTrackPoint returns, so a
// recorder killed at any moment leaves all acknowledged points readable.
TEST_F(CrashSafety, KillingTheRecorderLosesNoStoredPoint)
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(pipeFds[0]);
        for (int n = 1;; ++n) {
            SetFix(float(n), 5, 0, 0);
            m_recorder.StoreTrackPoint();
            if (write(pipeFds[1], &n, sizeof n) != sizeof n)
                _exit(1);
        }
    }
    close(pipeFds[1]);
    int nAcknowledged = 0;
    while (nAcknowledged < CRASH_POINTS_BEFORE_KILL)
        ASSERT_EQ(read(pipeFds[0], &nAcknowledged, sizeof nAcknowledged), ssize_t(sizeof nAcknowledged));
    kill(pid, SIGKILL);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(nStatus));

    const QByteArray log = ReadAll(OnlyLog());
    ASSERT_GE(log.size(), 10);
    EXPECT_EQ((log.size() - 10) % 28, 0) << "a half record was left behind";
    CTrackPointList points;
    ASSERT_TRUE(ReadGpd(log.constData(), size_t(log.size()), points));
    ASSERT_GE(points.size(), size_t(nAcknowledged));
    for (size_t i = 0; i < points.size(); ++i)
        EXPECT_EQ(points[i].m_fLatitude, float(i + 1));
}

// A small RAM disk as the storage card; needs the right to mount.
class FullCard : public RecorderTest
{
protected:
    void SetUp() override
    {
        RecorderTest::SetUp();
        ASSERT_TRUE(m_mountPoint.isValid());
        if (mount("veltrip-test", qPrintable(m_mountPoint.path()), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); full-card test skipped";
        m_bMounted = true;
        m_strOldCard = qEnvironmentVariable("VELTRIP_STORAGE_CARD");
        qputenv("VELTRIP_STORAGE_CARD", m_mountPoint.path().toLocal8Bit());
        QDir().mkpath(GpsFolder());
    }
    void TearDown() override
    {
        if (m_bMounted) {
            m_recorder.EndLog();
            umount2(qPrintable(m_mountPoint.path()), MNT_DETACH);
            qputenv("VELTRIP_STORAGE_CARD", m_strOldCard.toLocal8Bit());
        }
        RecorderTest::TearDown();
    }

    // Fills what is left of the card.
    QString Fill()
    {
        const QString strFiller = m_mountPoint.path() + QStringLiteral("/filler");
        QFile filler(strFiller);
        EXPECT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        return strFiller;
    }

    QTemporaryDir m_mountPoint;
    bool m_bMounted = false;
    QString m_strOldCard;
};

TEST_F(FullCard, AFailedRecordIsReportedOnceAndTheLogStaysWhole)
{
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    const QString strFiller = Fill();
    QStringList reports;
    const auto store = [&] {
        const COutcome stored = m_recorder.StoreTrackPoint();
        if (!stored)
            reports << stored.Message();
    };
    // The log's first page takes 145 records; the rest find no room.
    for (int n = 0; n < 200; ++n) {
        SetFix(float(n) / 4, 5, 0, 0);
        store();
        ASSERT_EQ(m_points.size(), size_t(n + 1));   // kept in the track all the same
    }
    EXPECT_EQ(reports, QStringList{QStringLiteral("Error writing file")});
    EXPECT_TRUE(m_recorder.m_log.IsOpen());
    EXPECT_EQ(m_points.size(), 200u);
    const QString strLog = LogPath();
    QByteArray log = ReadAll(strLog);
    EXPECT_EQ((log.size() - 10) % 28, 0);
    const qsizetype nWhole = (log.size() - 10) / 28;
    EXPECT_GT(nWhole, 0);
    EXPECT_LT(nWhole, 200);

    // Room again: the log goes on after its last whole record.
    QFile::remove(strFiller);
    SetFix(-80, 5, 0, 0);
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    log = ReadAll(strLog);
    ASSERT_EQ(log.size(), 10 + (nWhole + 1) * 28);
    CTrackPointList points;
    ASSERT_TRUE(ReadGpd(log.constData(), size_t(log.size()), points));
    EXPECT_EQ(points.back().m_fLatitude, -80.0f);

    // A new run of failures is reported again.
    Fill();
    for (int n = 0; n < 200; ++n) {
        SetFix(float(n) / 4, 5, 0, 0);
        store();
    }
    EXPECT_EQ(reports, QStringList(2, QStringLiteral("Error writing file")));
}

TEST_F(FullCard, AFullCardRefusesANewLogAndShortensTheKmlCopy)
{
    for (int n = 0; n < 3000; ++n)
        m_points.push_back(MakePoint(float(n), 5, 0, 0, n / 100 % 24, 0));
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    Fill();
    // The log ends all the same; its KML copy is cut short and says so.
    EXPECT_TRUE(FailedWith(m_recorder.EndLog(), QStringLiteral("Error writing file")));
    EXPECT_FALSE(m_recorder.m_log.IsOpen());
    EXPECT_TRUE(
        FailedWith(m_recorder.StartLog(), QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen")));
    EXPECT_FALSE(m_recorder.m_log.IsOpen());
    EXPECT_EQ(GpsFiles(QStringLiteral("*.gpd")).size(), 1);
}

}
