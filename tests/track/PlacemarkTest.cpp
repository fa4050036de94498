#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"
#include "track/Placemark.h"

#include <gtest/gtest.h>

namespace {

class Placemark : public RecorderTest
{
};

TEST_F(Placemark, TheProposedNamePadsTheHourWithASpace)
{
    CGpsTracker& tracker = m_tracker;
    EXPECT_EQ(ProposedPlacemarkName(tracker), QStringLiteral("Wayfen Log    0-00-00  0:00:00"));
    tracker.m_nYear = 2026;
    tracker.m_nMonth = 12;
    tracker.m_nDay = 7;
    tracker.m_nHour = 9;
    tracker.m_nMinute = 5;
    tracker.m_nSecond = 7;
    EXPECT_EQ(ProposedPlacemarkName(tracker), QStringLiteral("Wayfen Log 2026-12-07  9:05:07"));
    tracker.m_nHour = 23;
    EXPECT_EQ(ProposedPlacemarkName(tracker), QStringLiteral("Wayfen Log 2026-12-07 23:05:07"));
}

TEST_F(Placemark, StoresTheCurrentFixWithoutTheRecordingTests)
{
    CGpsTracker& tracker = m_tracker;
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    tracker.m_nSecsSinceLog = 17;
    tracker.m_fLastLogCourse = 33;
    SetFix(48.1f, 11.5f, 0, 200, 99.0f);   // dilution far above the limit
    tracker.m_nUpdateFlags = 0;
    tracker.m_nHour = 10;
    tracker.m_nMinute = 30;
    EXPECT_TRUE(Succeeded(m_recorder.SetPlacemark(QStringLiteral("Tower"))));

    ASSERT_EQ(m_points.size(), 1u);
    EXPECT_EQ(m_points[0].m_strName, QStringLiteral("Tower"));
    EXPECT_EQ(m_points[0].m_fHdop, 99.0f);
    EXPECT_EQ(tracker.m_nSecsSinceLog, 17);
    EXPECT_EQ(tracker.m_fLastLogCourse, 33.0f);
    EXPECT_EQ(m_recorder.m_log.m_nLogPoints, 0);

    CTrackPointList logged;
    const QByteArray log = ReadAll(GpsFolder() + QLatin1Char('/') + GpsFiles(QStringLiteral("*.gpd")).value(0));
    ASSERT_TRUE(ReadGpd(log.constData(), size_t(log.size()), logged));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].m_strName, QStringLiteral("Tower"));
    EXPECT_EQ(logged[0].m_fLatitude, 48.1f);
}

TEST_F(Placemark, AnEmptyNameGivesAPlainPoint)
{
    ASSERT_TRUE(Succeeded(m_recorder.StartLog()));
    EXPECT_TRUE(Succeeded(m_recorder.SetPlacemark(QString())));
    const QString strGpd = GpsFolder() + QLatin1Char('/') + GpsFiles(QStringLiteral("*.gpd")).value(0);
    EXPECT_EQ(ReadAll(strGpd).size(), 10 + 28);
}

}
