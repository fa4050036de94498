// veltrip-sim: its sentences, its route and sky, and replay pacing.
#include "gps/CGpsTracker.h"
#include "tools/sim/CPseudoTerminal.h"
#include "tools/sim/CSimReceiver.h"
#include "tools/sim/SimReplay.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(SimTest, SentencesCarryTheirChecksum)
{
    EXPECT_EQ(NmeaChecksum("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), "47");
    const QByteArray sentence = NmeaSentence("GPGSA,A,1");
    EXPECT_TRUE(sentence.startsWith("$GPGSA,A,1*"));
    EXPECT_TRUE(sentence.endsWith("\r\n"));
}

TEST(SimTest, TheTrackerDecodesTheFix)
{
    CSimReceiver receiver(52.09, -5.12);
    for (int i = 0; i < 5; ++i)
        receiver.Step();
    const QDateTime utc(QDate(2026, 12, 7), QTime(15, 8, 30), Qt::UTC);
    const QByteArray data = receiver.Sentences(utc);
    EXPECT_EQ(data.count("$GPRMC"), 1);
    EXPECT_EQ(data.count("$GPGGA"), 1);
    EXPECT_EQ(data.count("$GPGSA"), 1);
    EXPECT_GE(data.count("$GPGSV"), 1);

    CGpsTracker tracker;
    tracker.BeginTick();
    tracker.AssembleBytes(data.constData(), size_t(data.size()), 0);
    const uint32_t bits = UPD_LATITUDE | UPD_LONGITUDE | UPD_SPEED | UPD_COURSE | UPD_DATE;
    EXPECT_EQ(tracker.m_nUpdateFlags & bits, bits);
    EXPECT_NEAR(tracker.m_fLatitude, receiver.m_dLatitude, 1e-4);
    EXPECT_NEAR(tracker.m_fLongitude, receiver.m_dLongitude, 1e-4);
    EXPECT_NEAR(tracker.m_fSpeed, receiver.m_dSpeed, 0.051);
    EXPECT_EQ(tracker.m_nDay, 7);
    EXPECT_EQ(tracker.m_nSatsUsed, int(receiver.SatellitesUsed().size()));
    EXPECT_EQ(tracker.m_nSatsInView, int(receiver.SatellitesInView().size()));
    EXPECT_NE(tracker.m_bRmcValid, 0);
}

TEST(SimTest, RouteChangesSpeedAndCourseWhileSatellitesRiseAndSet)
{
    CSimReceiver receiver(52.09, 5.12);
    double dMinSpeed = 1e9, dMaxSpeed = 0;
    std::set<int> courses;
    std::set<int> everInView;
    std::set<int> firstInView;
    for (const SimSatellite& sat : receiver.SatellitesInView())
        firstInView.insert(sat.nPrn);
    for (int t = 0; t < 400; ++t) {
        receiver.Step();
        dMinSpeed = std::min(dMinSpeed, receiver.m_dSpeed);
        dMaxSpeed = std::max(dMaxSpeed, receiver.m_dSpeed);
        courses.insert(int(receiver.m_dCourse) / 10);
        EXPECT_GE(receiver.SatellitesUsed().size(), 4u) << "second " << t;
        for (const SimSatellite& sat : receiver.SatellitesInView()) {
            everInView.insert(sat.nPrn);
            EXPECT_GT(sat.nElevation, 0);
        }
    }
    EXPECT_EQ(dMinSpeed, 0.0);
    EXPECT_GT(dMaxSpeed, 60.0);
    EXPECT_GT(courses.size(), 10u);
    // Satellites that were below the horizon at the start came up.
    EXPECT_GT(everInView.size(), firstInView.size());
}

TEST(SimTest, ReplayIsPacedByFixTimes)
{
    double dTime = 0;
    EXPECT_TRUE(SimFixTime("$GPRMC,123519.50,A,4807.038,N,01131.000,E,0.0,0.0,071226,,,A*00\r\n", dTime));
    EXPECT_DOUBLE_EQ(dTime, 12 * 3600 + 35 * 60 + 19.5);
    EXPECT_TRUE(SimFixTime("$GNGGA,000001,4807.038,N", dTime));
    EXPECT_DOUBLE_EQ(dTime, 1);
    EXPECT_FALSE(SimFixTime("$GPGSV,3,1,12,01,02,003,04", dTime));
    EXPECT_FALSE(SimFixTime("$GPRMC,,V", dTime));
    EXPECT_FALSE(SimFixTime("$GPRMC,2561xx,V", dTime));
    EXPECT_FALSE(SimFixTime("garbage", dTime));

    EXPECT_DOUBLE_EQ(SimReplayDelay(10, 11, 1), 1.0);
    EXPECT_DOUBLE_EQ(SimReplayDelay(10, 14, 4), 1.0);
    EXPECT_DOUBLE_EQ(SimReplayDelay(86399, 0, 1), 1.0);       // midnight
    EXPECT_DOUBLE_EQ(SimReplayDelay(3600, 3 * 3600, 1), 1.0); // a new recording
}

TEST(SimTest, PseudoTerminalKeepsAStableLink)
{
    QTemporaryDir dir;
    const QString strLink = dir.filePath("gps");
    {
        CPseudoTerminal pty;
        QString strError;
        ASSERT_TRUE(pty.Open(strLink, strError)) << strError.toStdString();
        EXPECT_EQ(QFileInfo(strLink).symLinkTarget(), pty.m_strDevice);

        const int fd = ::open(QFile::encodeName(strLink).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(pty.Write("$GPGSA,A,1*hh\r\n"));
        usleep(20000);
        char buffer[64] = {};
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        EXPECT_EQ(QByteArray(buffer, int(std::max<ssize_t>(n, 0))), "$GPGSA,A,1*hh\r\n");

        // Nobody reading: the queue fills, stale bytes are dropped, no block.
        const QByteArray second(1000, 'x');
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(pty.Write(second));
    }
    EXPECT_FALSE(QFileInfo(strLink).isSymLink());
}

}
