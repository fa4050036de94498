#include "tests/track/TrackTestSupport.h"
#include "track/TripStats.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(TripStats, HandCheckedTrack)
{
    const CTripStats stats = TripStatistics(HandCheckedTrack());
    EXPECT_EQ(stats.m_nPoints, 10u);
    EXPECT_EQ(stats.m_nPlacemarks, 1u);
    EXPECT_NEAR(stats.m_dDistanceMeters, 8 * HAND_STEP_METERS, 1e-6);
    EXPECT_EQ(stats.m_dMovingSeconds, 10 + 20 + 300 + 10);
    EXPECT_NEAR(stats.m_dMovingMeters, 5 * HAND_STEP_METERS, 1e-6);
    EXPECT_NEAR(stats.m_dAverageMovingKmh, 5 * HAND_STEP_METERS / 340 * 3.6, 1e-9);
    EXPECT_NEAR(stats.m_dMaxSpeedKmh, 12.5 * 1.852, 1e-9);
}

TEST(TripStats, PairTimeAndMovingRule)
{
    struct Case
    {
        int nFrom;   // seconds of the day
        int nTo;
        double dMeters;
        int nSeconds;
        bool bMoving;
    };
    const Case cases[] = {
        {100, 101, 0.51, 1, true},           // just fast enough
        {100, 101, 0.49, 1, false},
        {100, 400, 151, 300, true},          // the longest moving pair
        {100, 401, 1000, 301, false},
        {100, 100, 50, 0, false},            // the same second
        {86399, 0, 20, 1, true},             // across midnight
        {200, 100, 100, 86300, false},       // back in time is most of a day
    };
    for (const Case& c : cases) {
        // Degrees of latitude for the distance, on the meridian.
        const double dDegrees = c.dMeters / HAND_STEP_METERS / 1024;
        CTrackPointList points{MakePoint(0, 0, 0, 0, c.nFrom / 3600, c.nFrom / 60 % 60, c.nFrom % 60),
                               MakePoint(float(dDegrees), 0, 0, 0, c.nTo / 3600, c.nTo / 60 % 60, c.nTo % 60)};
        EXPECT_EQ(PairSeconds(points[0], points[1]), c.nSeconds) << c.nFrom << " " << c.nTo;
        const CTripStats stats = TripStatistics(points);
        EXPECT_NEAR(stats.m_dDistanceMeters, c.dMeters, 1e-3);
        EXPECT_EQ(stats.m_dMovingSeconds > 0, c.bMoving) << c.nFrom << " " << c.nTo << " " << c.dMeters;
    }
}

TEST(TripStats, EmptyOddAndFarTracks)
{
    EXPECT_EQ(TripStatistics({}).m_dAverageMovingKmh, 0);
    const CTripStats one = TripStatistics({MakePoint(1, 2, 3, 4, 5, 6, 7, QStringLiteral("A"))});
    EXPECT_EQ(one.m_nPoints, 1u);
    EXPECT_EQ(one.m_nPlacemarks, 1u);
    EXPECT_EQ(one.m_dDistanceMeters, 0);
    EXPECT_NEAR(one.m_dMaxSpeedKmh, 4 * 1.852, 1e-6);

    // Values read from a file may be no numbers: they add nothing.
    CTrackPoint bad = MakePoint(NAN, 0, 0, NAN, 0, 0, 1);
    const CTripStats odd = TripStatistics({MakePoint(0, 0, 0, 2, 0, 0, 0), bad, MakePoint(0, 0, 0, 1, 0, 0, 2)});
    EXPECT_EQ(odd.m_dDistanceMeters, 0);
    EXPECT_NEAR(odd.m_dMaxSpeedKmh, 2 * 1.852, 1e-6);

    // Half the globe: pi R, with no trouble at the antipode.
    const CTripStats far = TripStatistics({MakePoint(0, 0, 0, 0, 0, 0, 0), MakePoint(0, 180, 0, 0, 0, 0, 1)});
    EXPECT_NEAR(far.m_dDistanceMeters, 3.14159265358979 * 6371008.8, 1e-3);
}

}
