#include "tests/track/TrackTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

float FloatAt(const std::string& record, size_t nOffset)
{
    float f = 0;
    std::memcpy(&f, record.data() + nOffset, sizeof f);
    return f;
}

TEST(TrackPoint, CopiesTheFixAndKeepsTheLowBitsOfTheTime)
{
    CGpsTracker tracker;
    SetFix(tracker, 52.5f, -4.25f, 12.0f, 270.0f, 1.5f);
    tracker.m_fAltitude = 33.0f;
    tracker.m_nHour = 0;
    tracker.m_nMinute = 59;
    tracker.m_nSecond = 256 + 7;
    const CTrackPoint point(tracker, 0);
    EXPECT_EQ(point.m_fLatitude, 52.5f);
    EXPECT_EQ(point.m_fLongitude, -4.25f);
    EXPECT_EQ(point.m_fAltitude, 33.0f);
    EXPECT_EQ(point.m_fSpeed, 12.0f);
    EXPECT_EQ(point.m_fCourse, 270.0f);
    EXPECT_EQ(point.m_fHdop, 1.5f);
    EXPECT_EQ(point.m_byHour, 0);
    EXPECT_EQ(point.m_byMinute, 59);
    EXPECT_EQ(point.m_bySecond, 7);
    EXPECT_TRUE(point.m_strName.isEmpty());
}

TEST(TrackPoint, RecordHasSpeedBeforeAltitudeAndEndsWithTheName)
{
    CTrackPoint point = MakePoint(1.0f, 2.0f, 3.0f, 4.0f, 10, 20, 30);
    point.m_fCourse = 5.0f;
    point.m_fHdop = 6.0f;
    std::string record;
    point.AppendRecord(record);
    ASSERT_EQ(record.size(), 28u);
    EXPECT_EQ(FloatAt(record, 0), 1.0f);
    EXPECT_EQ(FloatAt(record, 4), 2.0f);
    EXPECT_EQ(FloatAt(record, 8), 4.0f);
    EXPECT_EQ(FloatAt(record, 12), 3.0f);
    EXPECT_EQ(FloatAt(record, 16), 5.0f);
    EXPECT_EQ(FloatAt(record, 20), 6.0f);
    EXPECT_EQ(record.substr(24), std::string("\x0A\x14\x1E\0", 4));

    point.m_strName = QStringLiteral("Home");
    record.clear();
    point.AppendRecord(record);
    ASSERT_EQ(record.size(), 32u);
    EXPECT_EQ(record.substr(27), std::string("Home\0", 5));
}

TEST(TrackPoint, NameCharactersWithoutAOneByteFormBecomeQuestionMarks)
{
    // A character with low byte 0 would end the name early and lose the rest
    // of the file's alignment; one above 0xFF would read back as another.
    CTrackPoint point = MakePoint(0, 0, 0, 0, 0, 0);
    point.m_strName = QString::fromUtf16(u"a\u0100b\u20ACc\u00E9");
    std::string record;
    point.AppendRecord(record);
    EXPECT_EQ(record.substr(27), std::string("a?b?c\xE9\0", 7));
}

}
