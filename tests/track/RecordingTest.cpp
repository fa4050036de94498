#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class Recording : public RecorderTest
{
protected:
    void SetUp() override
    {
        RecorderTest::SetUp();
        // An open log with a first point behind it, course 90.
        SetFix(50, 5, 0, 90);
        ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
        ASSERT_EQ(m_points.size(), 1u);
    }

    // One tick after nSecs seconds without a point: true when it stored one.
    // What the tick reported goes to m_reports.
    bool TickAfter(int nSecs, float fSpeed, float fCourse)
    {
        SetFix(50, 5, fSpeed, fCourse);
        m_tracker.m_nSecsSinceLog = nSecs;
        const size_t nBefore = m_points.size();
        Report(m_recorder.CheckRecordPoint());
        return m_points.size() > nBefore;
    }

    void Report(const COutcome& outcome)
    {
        if (!outcome)
            m_reports << outcome.Message();
    }

    // The failures the user would have been shown, in order.
    QStringList m_reports;
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
        m_tracker.m_fLastLogCourse = 90;
        EXPECT_FALSE(TickAfter(c.nInterval, c.fSpeed, 90)) << c.fSpeed;
        EXPECT_TRUE(TickAfter(c.nInterval + 1, c.fSpeed, 90)) << c.fSpeed;
        EXPECT_EQ(m_tracker.m_nSecsSinceLog, 0);
    }
}

TEST_F(Recording, ATurnWhileMovingStoresAPointAtOnce)
{
    EXPECT_FALSE(TickAfter(1, 5.0f, 92.0f));   // exactly 2 degrees
    EXPECT_TRUE(TickAfter(1, 5.0f, 92.5f));
    EXPECT_EQ(m_tracker.m_fLastLogCourse, 92.5f);
    EXPECT_FALSE(TickAfter(1, 1.0f, 180.0f));   // exactly 1 knot
    EXPECT_TRUE(TickAfter(1, 1.1f, 180.0f));

    // No wrap-around: 359 to 1 degrees is a change of 358.
    m_tracker.m_fLastLogCourse = 359.0f;
    EXPECT_TRUE(TickAfter(1, 2.0f, 1.0f));
}

TEST_F(Recording, NothingIsStoredWithoutBothPositionBitsOfThisTick)
{
    for (const uint32_t nBits : {0u, UPD_LATITUDE, UPD_LONGITUDE}) {
        SetFix(50, 5, 80, 0);
        m_tracker.m_nUpdateFlags = nBits | UPD_SPEED | UPD_COURSE;
        m_tracker.m_nSecsSinceLog = 1000;
        EXPECT_TRUE(Succeeded(m_recorder.CheckRecordPoint()));
        EXPECT_EQ(m_points.size(), 1u);
    }
}

TEST_F(Recording, TheDilutionLimitLetsTheLimitItselfPass)
{
    SetFix(50, 5, 0, 90, 5.1f);
    EXPECT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));   // refused without a word
    EXPECT_EQ(m_points.size(), 1u);
    m_tracker.m_nSecsSinceLog = 61;
    EXPECT_TRUE(Succeeded(m_recorder.CheckRecordPoint()));
    EXPECT_EQ(m_points.size(), 1u);
    EXPECT_EQ(m_tracker.m_nSecsSinceLog, 61);   // still due

    SetFix(50, 5, 0, 90, 5.0f);
    EXPECT_TRUE(Succeeded(m_recorder.CheckRecordPoint()));
    EXPECT_EQ(m_points.size(), 2u);
    EXPECT_EQ(m_points.back().m_fHdop, 5.0f);
}

TEST_F(Recording, StoringAPointCountsItAndWritesItToTheLog)
{
    SetFix(51.25f, -3.5f, 7.0f, 45.0f, 1.25f);
    m_tracker.m_fAltitude = 120;
    m_tracker.m_nHour = 13;
    m_tracker.m_nMinute = 14;
    m_tracker.m_nSecond = 15;
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    EXPECT_EQ(m_recorder.m_log.m_nLogPoints, 2);
    EXPECT_EQ(m_tracker.m_fLastLogCourse, 45.0f);
    const CTrackPoint& point = m_points.back();
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
    ASSERT_TRUE(Succeeded(m_recorder.EndLog()));
    EXPECT_FALSE(m_recorder.m_log.IsOpen());
    m_tracker.m_fLastLogCourse = 90;
    EXPECT_FALSE(TickAfter(60, 0, 90));
    EXPECT_FALSE(m_recorder.m_log.IsOpen());
    EXPECT_TRUE(TickAfter(61, 0, 90));
    ASSERT_TRUE(m_recorder.m_log.IsOpen());
    EXPECT_EQ(m_recorder.m_log.m_nLogPoints, 1);
    EXPECT_EQ(GpsFiles(QStringLiteral("*.gpd")).size(), 2);

    // A turn while no log is open starts one as well.
    m_recorder.EndLog();
    EXPECT_TRUE(TickAfter(0, 1.5f, 0));
    EXPECT_EQ(GpsFiles(QStringLiteral("*.gpd")).size(), 3);
}

// A log that cannot be started is retried on every due tick, but said only
// once: a box every second would leave the user no way to act. The Start
// Log command and a log that did start make it say so again.
TEST_F(Recording, AFailedLogStartStoresNothingRetriesAndIsSaidOnce)
{
    const QString strFailure = QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen");
    m_recorder.EndLog();
    QDir(GpsFolder()).removeRecursively();
    EXPECT_FALSE(TickAfter(100, 0, 90));
    EXPECT_FALSE(TickAfter(101, 0, 90));
    EXPECT_FALSE(TickAfter(102, 0, 90));
    EXPECT_EQ(m_reports, QStringList{strFailure});
    EXPECT_EQ(m_tracker.m_nSecsSinceLog, 102);

    Report(m_recorder.StartLog());   // the user asked: said again
    EXPECT_FALSE(m_recorder.m_log.IsOpen());
    EXPECT_FALSE(TickAfter(103, 0, 90));
    EXPECT_EQ(m_reports, QStringList(2, strFailure));

    QDir().mkpath(GpsFolder());
    EXPECT_TRUE(TickAfter(104, 0, 90));
    m_recorder.EndLog();
    QDir(GpsFolder()).removeRecursively();
    EXPECT_FALSE(TickAfter(100, 0, 90));
    EXPECT_FALSE(TickAfter(101, 0, 90));
    EXPECT_EQ(m_reports, QStringList(3, strFailure));
    QDir().mkpath(GpsFolder());
}

// A point knows the receiver's UTC date and time: its time of day less the
// "Utc" correction; without a date from the receiver it has none.
TEST_F(Recording, APointKnowsTheReceiversUtcDateAndTime)
{
    constexpr int64_t DECEMBER_7 = 1796601600;   // 2026-12-07T00:00:00Z
    constexpr int64_t AT_8_3 = 8 * 60 + 3;
    const struct {
        int nYear, nMonth, nDay, nHour, nUtc;
        int64_t nExpected;   // seconds since 1970, 0 for none
    } CASES[] = {
        {2026, 12, 7, 15, 1, DECEMBER_7 + 14 * 3600 + AT_8_3},
        {2026, 12, 7, 0, 1, DECEMBER_7 + 23 * 3600 + AT_8_3},   // the date is the receiver's, UTC
        {2026, 12, 7, 23, -2, DECEMBER_7 + 1 * 3600 + AT_8_3},
        {0, 0, 0, 15, 1, 0},
        {2026, 13, 7, 15, 1, 0},
    };
    for (const auto& c : CASES) {
        SetFix(50, 5, 0, 90);
        m_settings.m_nUtcCorrection = c.nUtc;
        m_tracker.m_nYear = c.nYear;
        m_tracker.m_nMonth = c.nMonth;
        m_tracker.m_nDay = c.nDay;
        m_tracker.m_nHour = c.nHour;
        m_tracker.m_nMinute = 8;
        m_tracker.m_nSecond = 3;
        ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
        EXPECT_EQ(m_points.back().UtcTime().value_or(0), c.nExpected) << c.nHour << " " << c.nUtc;
    }
}

// Points appended from elsewhere (File Open) end the run's segment: the run
// goes on in a new one; a placemark stays in the run's segment.
TEST_F(Recording, TheRunGoesOnInANewSegmentAfterFileOpen)
{
    EXPECT_EQ(SegmentCount(m_points), 1u);
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    ASSERT_TRUE(Succeeded(m_recorder.SetPlacemark(QStringLiteral("Here"))));
    EXPECT_EQ(SegmentCount(m_points), 1u);
    CTrackPoint opened = MakePoint(10, 10, 0, 0, 1, 0);
    opened.m_bSegmentStart = true;
    m_points.push_back(opened);
    m_points.push_back(MakePoint(10, 11, 0, 0, 1, 1));
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    ASSERT_TRUE(Succeeded(m_recorder.StoreTrackPoint()));
    const bool EXPECTED[] = {false, false, false, true, false, true, false};
    ASSERT_EQ(m_points.size(), std::size(EXPECTED));
    for (size_t i = 0; i < std::size(EXPECTED); ++i)
        EXPECT_EQ(m_points[i].m_bSegmentStart, EXPECTED[i]) << i;
    EXPECT_EQ(SegmentCount(m_points), 3u);
}

}
