#include "app/CTrackerApp.h"
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"
#include "track/Recording.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class Recording : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetRecorder();
        // An open log with a first point behind it, course 90.
        SetFix(50, 5, 0, 90);
        ASSERT_TRUE(Tracker().StoreTrackPoint());
    }
    void TearDown() override { ResetRecorder(); }

    static CGpsTracker& Tracker() { return theApp.m_tracker; }

    // One tick after nSecs seconds without a point: true when it stored one.
    static bool TickAfter(int nSecs, float fSpeed, float fCourse)
    {
        SetFix(50, 5, fSpeed, fCourse);
        Tracker().m_nSecsSinceLog = nSecs;
        const size_t nBefore = theApp.m_trackPoints.size();
        CheckRecordPoint();
        return theApp.m_trackPoints.size() > nBefore;
    }
};

TEST_F(Recording, TheIntervalFollowsTheSpeedWithStrictComparisons)
{
    struct Case
    {
        float fSpeed;
        int nInterval;
    };
    const Case cases[] = {{60.5f, 10}, {60.0f, 20}, {40.5f, 20}, {40.0f, 40},
                          {20.5f, 40}, {20.0f, 60}, {0.0f, 60}};
    for (const Case& c : cases) {
        Tracker().m_fLastLogCourse = 90;
        EXPECT_FALSE(TickAfter(c.nInterval, c.fSpeed, 90)) << c.fSpeed;
        EXPECT_TRUE(TickAfter(c.nInterval + 1, c.fSpeed, 90)) << c.fSpeed;
        EXPECT_EQ(Tracker().m_nSecsSinceLog, 0);
    }
}

TEST_F(Recording, ATurnWhileMovingStoresAPointAtOnce)
{
    EXPECT_FALSE(TickAfter(1, 5.0f, 92.0f));   // exactly 2 degrees
    EXPECT_TRUE(TickAfter(1, 5.0f, 92.5f));
    EXPECT_EQ(Tracker().m_fLastLogCourse, 92.5f);
    EXPECT_FALSE(TickAfter(1, 1.0f, 180.0f));   // exactly 1 knot
    EXPECT_TRUE(TickAfter(1, 1.1f, 180.0f));

    // No wrap-around: 359 to 1 degrees is a change of 358.
    Tracker().m_fLastLogCourse = 359.0f;
    EXPECT_TRUE(TickAfter(1, 2.0f, 1.0f));
}

TEST_F(Recording, NothingIsStoredWithoutBothPositionBitsOfThisTick)
{
    for (const uint32_t nBits : {0u, UPD_LATITUDE, UPD_LONGITUDE}) {
        SetFix(50, 5, 80, 0);
        Tracker().m_nUpdateFlags = nBits | UPD_SPEED | UPD_COURSE;
        Tracker().m_nSecsSinceLog = 1000;
        CheckRecordPoint();
        EXPECT_EQ(theApp.m_trackPoints.size(), 1u);
    }
}

TEST_F(Recording, TheDilutionLimitLetsTheLimitItselfPass)
{
    SetFix(50, 5, 0, 90, 5.1f);
    EXPECT_FALSE(Tracker().StoreTrackPoint());
    Tracker().m_nSecsSinceLog = 61;
    CheckRecordPoint();
    EXPECT_EQ(theApp.m_trackPoints.size(), 1u);
    EXPECT_EQ(Tracker().m_nSecsSinceLog, 61);   // still due

    SetFix(50, 5, 0, 90, 5.0f);
    CheckRecordPoint();
    EXPECT_EQ(theApp.m_trackPoints.size(), 2u);
    EXPECT_EQ(theApp.m_trackPoints.back().m_fHdop, 5.0f);
}

TEST_F(Recording, StoringAPointCountsItAndWritesItToTheLog)
{
    SetFix(51.25f, -3.5f, 7.0f, 45.0f, 1.25f);
    Tracker().m_fAltitude = 120;
    Tracker().m_nHour = 13;
    Tracker().m_nMinute = 14;
    Tracker().m_nSecond = 15;
    ASSERT_TRUE(Tracker().StoreTrackPoint());
    EXPECT_EQ(Tracker().m_nLogPoints, 2);
    EXPECT_EQ(Tracker().m_fLastLogCourse, 45.0f);
    const CTrackPoint& point = theApp.m_trackPoints.back();
    EXPECT_EQ(point.m_fLongitude, -3.5f);
    EXPECT_EQ(point.m_byMinute, 14);
    const QByteArray log = ReadAll(GpsFolder() + QLatin1Char('/') + GpsFiles(QStringLiteral("*.gpd")).value(0));
    std::string record;
    point.AppendRecord(record);
    EXPECT_TRUE(log.endsWith(QByteArray(record.data(), qsizetype(record.size()))));
    EXPECT_EQ(log.size(), 10 + 2 * 28);
}

TEST_F(Recording, TheNextDuePointAfterEndLogStartsANewLog)
{
    ASSERT_TRUE(Tracker().EndLog());
    EXPECT_FALSE(Tracker().m_hLogFile);
    Tracker().m_fLastLogCourse = 90;
    EXPECT_FALSE(TickAfter(60, 0, 90));
    EXPECT_FALSE(Tracker().m_hLogFile);
    EXPECT_TRUE(TickAfter(61, 0, 90));
    ASSERT_TRUE(Tracker().m_hLogFile);
    EXPECT_EQ(Tracker().m_nLogPoints, 1);
    EXPECT_EQ(GpsFiles(QStringLiteral("*.gpd")).size(), 2);

    // A turn while no log is open starts one as well.
    Tracker().EndLog();
    EXPECT_TRUE(TickAfter(0, 1.5f, 0));
    EXPECT_EQ(GpsFiles(QStringLiteral("*.gpd")).size(), 3);
}

// A log that cannot be started is retried on every due tick, but said only
// once: a box every second would leave the user no way to act. The Start
// Log command and a log that did start make it say so again.
TEST_F(Recording, AFailedLogStartStoresNothingRetriesAndIsSaidOnce)
{
    const QString strFailure = QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen");
    Tracker().EndLog();
    QDir(GpsFolder()).removeRecursively();
    CMessageCapture messages;
    EXPECT_FALSE(TickAfter(100, 0, 90));
    EXPECT_FALSE(TickAfter(101, 0, 90));
    EXPECT_FALSE(TickAfter(102, 0, 90));
    EXPECT_EQ(messages.m_messages, QStringList{strFailure});
    EXPECT_EQ(Tracker().m_nSecsSinceLog, 102);

    EXPECT_FALSE(StartLogCommand(Tracker()));   // the user asked: said again
    EXPECT_FALSE(TickAfter(103, 0, 90));
    EXPECT_EQ(messages.m_messages, QStringList(2, strFailure));

    QDir().mkpath(GpsFolder());
    EXPECT_TRUE(TickAfter(104, 0, 90));
    Tracker().EndLog();
    QDir(GpsFolder()).removeRecursively();
    EXPECT_FALSE(TickAfter(100, 0, 90));
    EXPECT_FALSE(TickAfter(101, 0, 90));
    EXPECT_EQ(messages.m_messages, QStringList(3, strFailure));
    QDir().mkpath(GpsFolder());
}

}
