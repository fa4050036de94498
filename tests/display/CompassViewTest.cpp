#include "display/CompassNeedle.h"
#include "display/CompassView.h"
#include "display/ViewColours.h"
#include "tests/display/ViewTest.h"
#include "track/Destination.h"

#include <algorithm>

namespace {

using CompassViewTest = ViewTest;

struct NeedleCase
{
    float fCourse;
    QPoint end;     // relative to the centre, radius 50
};

TEST_F(CompassViewTest, NeedlePointsNorthForTheTraveller)
{
    // Truncation toward zero: 50 x 0.7071 = 35.36 gives 35 at 45 degrees.
    const NeedleCase cases[] = {
        {0.0f, QPoint(0, -50)},  {45.0f, QPoint(-35, -35)}, {90.0f, QPoint(-50, 0)},
        {180.0f, QPoint(0, 50)}, {270.0f, QPoint(50, 0)},   {225.0f, QPoint(35, 35)},
    };
    for (const NeedleCase& c : cases) {
        CRecordingDC dc(200, 200);
        const QPen before = dc.m_pen;
        DrawCompassNeedle(&dc, 100, 100, 50, c.fCourse);
        ASSERT_EQ(dc.m_calls.size(), 3u) << c.fCourse;
        EXPECT_EQ(dc.m_calls[0].strOp, QStringLiteral("Ellipse"));
        EXPECT_EQ(dc.m_calls[0].rc, QRect(QPoint(50, 50), QPoint(150, 150)));
        EXPECT_EQ(dc.m_calls[0].pen.width(), 4);
        EXPECT_EQ(dc.m_calls[0].pen.color(), CLR_BLACK);
        EXPECT_EQ(dc.m_calls[1].strOp, QStringLiteral("MoveTo"));
        EXPECT_EQ(At(dc.m_calls[1]), QPoint(100, 100));
        EXPECT_EQ(dc.m_calls[2].strOp, QStringLiteral("LineTo"));
        EXPECT_EQ(At(dc.m_calls[2]), QPoint(100, 100) + c.end) << c.fCourse;
        EXPECT_EQ(dc.m_pen, before) << "the needle pen is put back";
    }
}

TEST_F(CompassViewTest, DialFillsTheWidthBelowTheDateLine)
{
    m_tracker.m_fCourse = 45.0f;
    DrawCompassView(&m_dc, View());
    const auto ellipses = m_dc.CallsOf(QStringLiteral("Ellipse"));
    ASSERT_EQ(ellipses.size(), 1u);
    // Centre (120, 126), radius 110.
    EXPECT_EQ(ellipses[0].rc, QRect(QPoint(10, 16), QPoint(230, 236)));
    const auto lines = m_dc.CallsOf(QStringLiteral("LineTo"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(At(lines[0]), QPoint(120 - 77, 126 - 77));
}

TEST_F(CompassViewTest, LargeDigitsStandOnAndHangFromTheCentre)
{
    m_tracker.m_fCourse = 359.6f;
    m_tracker.m_fSpeed = 10.0f;
    m_tracker.m_bRmcValid = 1;
    m_tracker.m_nFixQuality = 1;
    m_tracker.m_nUpdateFlags = UPD_SPEED;
    DrawCompassView(&m_dc, View());

    const QString strCourse = QStringLiteral("360\u00B0");
    const QSize course = Extent(m_fonts.m_fontLarge, strCourse);
    const CRecordingDC::Call& courseCall = Text(strCourse);
    EXPECT_EQ(At(courseCall), QPoint(120 - course.width() / 2, 126 - course.height()));
    EXPECT_EQ(courseCall.font, m_fonts.m_fontLarge);
    EXPECT_EQ(courseCall.textColor, CLR_BLACK);

    const QSize speed = Extent(m_fonts.m_fontLarge, QStringLiteral("10.0"));
    const CRecordingDC::Call& speedCall = Text(QStringLiteral("10.0"));
    EXPECT_EQ(At(speedCall), QPoint(120 - speed.width() / 2, 126));
    EXPECT_EQ(speedCall.textColor, CLR_BLACK);

    const CRecordingDC::Call& line = Text(QStringLiteral("Direction: 359.6\u00B0 10.0knts  18.5kmh"));
    EXPECT_EQ(At(line), QPoint(12, 268 - 29));
    EXPECT_EQ(line.font, CDC::DefaultFont()) << "the bottom line uses the restored font";
    EXPECT_EQ(m_dc.m_font, CDC::DefaultFont());
}

TEST_F(CompassViewTest, KmhModeRoundsTheSpeed)
{
    m_settings.m_bKmh = 1;
    m_tracker.m_fSpeed = 10.0f;
    DrawCompassView(&m_dc, View());
    // 10 x 1.852 = 18.52, plus 0.5, truncated.
    EXPECT_NE(m_dc.FindText(QStringLiteral("19")), nullptr);
    EXPECT_EQ(m_dc.FindText(QStringLiteral("10.0")), nullptr);
    EXPECT_NE(m_dc.FindText(QStringLiteral("Direction: 0.0\u00B0 10.0knts  18.5kmh")), nullptr);
}

TEST_F(CompassViewTest, KmhModeSaturatesAHugeSpeed)
{
    m_settings.m_bKmh = 1;
    m_tracker.m_fSpeed = 3.0e38f;
    DrawCompassView(&m_dc, View());
    EXPECT_NE(m_dc.FindText(QStringLiteral("2147483647")), nullptr);
}

TEST_F(CompassViewTest, StaleValuesAreGrey)
{
    m_tracker.m_fCourse = 90.0f;
    m_tracker.m_bRmcValid = 1;
    m_tracker.m_nFixQuality = 0;
    m_tracker.m_nUpdateFlags = UPD_COURSE;
    DrawCompassView(&m_dc, View());
    EXPECT_EQ(Text(QStringLiteral("90\u00B0")).textColor, CLR_GREY);
    EXPECT_EQ(Text(QStringLiteral("0.0")).textColor, CLR_GREY);
    EXPECT_EQ(Text(QStringLiteral("Direction: 90.0\u00B0 0.0knts  0.0kmh")).textColor, CLR_GREY);
}

TEST_F(CompassViewTest, PaintsDialNeedleAndDigits)
{
    m_tracker.m_fCourse = 0.0f;
    m_tracker.m_fSpeed = 42.0f;
    m_tracker.m_nUpdateFlags = UPD_SPEED;
    DrawCompassView(&m_dc, View());
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_GT(Count(QRect(118, 14, 5, 5), black), 0) << "top of the dial";
    EXPECT_GT(Count(QRect(8, 124, 5, 5), black), 0) << "left of the dial";
    EXPECT_GT(Count(QRect(118, 20, 5, 30), black), 20) << "needle straight up";
    EXPECT_GT(Count(QRect(60, 130, 120, 60), black), 200) << "speed digits below the centre";
    EXPECT_GT(Ink(QRect(12, 239, 200, 12)), 50) << "bottom line";
    EXPECT_EQ(Ink(QRect(0, 254, 240, 14)), 0) << "status strip left free";
}

// Tools, "Go to…": the hollow needle, its tip on the rim, in each quadrant.
TEST_F(CompassViewTest, DestinationNeedleTipInEachQuadrant)
{
    const NeedleCase cases[] = {
        {0.0f, QPoint(0, -50)},   {45.0f, QPoint(35, -35)}, {135.0f, QPoint(35, 35)},
        {225.0f, QPoint(-35, 35)}, {315.0f, QPoint(-35, -35)}, {-45.0f, QPoint(-35, -35)},
    };
    for (const NeedleCase& c : cases) {
        CRecordingDC dc(200, 200);
        const QPen before = dc.m_pen;
        DrawDestinationNeedle(&dc, 100, 100, 50, c.fCourse);
        ASSERT_EQ(dc.m_calls.size(), 4u) << c.fCourse;
        EXPECT_EQ(dc.m_calls[0].strOp, QStringLiteral("MoveTo"));
        EXPECT_EQ(At(dc.m_calls[1]), QPoint(100, 100) + c.end) << c.fCourse;
        // Closed: it ends where it began, a hollow outline in its own colour.
        EXPECT_EQ(At(dc.m_calls[3]), At(dc.m_calls[0])) << c.fCourse;
        EXPECT_EQ(dc.m_calls[1].pen.color(), CLR_GOTO);
        EXPECT_EQ(dc.m_calls[1].pen.width(), 2);
        EXPECT_EQ(dc.m_pen, before) << "the needle pen is put back";
    }
}

// Due east of the position: while moving the needle shows bearing minus
// course, slower than a knot the bearing from north, which is marked.
TEST_F(CompassViewTest, DestinationNeedleFollowsTheCourseWhileMoving)
{
    const struct
    {
        float fSpeed;
        float fCourse;
        QPoint tip;   // dial centre (120, 126), radius 110
        bool bNorth;
    } CASES[] = {
        {5.0f, 45.0f, QPoint(120 + 77, 126 - 77), false},  {5.0f, 315.0f, QPoint(120 + 77, 126 + 77), false},
        {5.0f, 225.0f, QPoint(120 - 77, 126 + 77), false}, {5.0f, 135.0f, QPoint(120 - 77, 126 - 77), false},
        {1.0f, 135.0f, QPoint(230, 126), true},            {0.0f, 0.0f, QPoint(230, 126), true},
    };
    SetDestination(m_settings, CDestination{QStringLiteral("East"), {0.0, 1.0}});
    m_tracker.m_fLatitude = 0;
    m_tracker.m_fLongitude = 0;
    for (const auto& c : CASES) {
        m_tracker.m_fSpeed = c.fSpeed;
        m_tracker.m_fCourse = c.fCourse;
        m_dc.m_calls.clear();
        DrawCompassView(&m_dc, View());
        std::vector<CRecordingDC::Call> needle;
        for (const CRecordingDC::Call& call : m_dc.CallsOf(QStringLiteral("LineTo"))) {
            if (call.pen.color() == CLR_GOTO)
                needle.push_back(call);
        }
        ASSERT_EQ(needle.size(), 3u) << c.fCourse;
        EXPECT_EQ(At(needle[0]), c.tip) << c.fSpeed << " knots, course " << c.fCourse;
        EXPECT_EQ(m_dc.FindText(QStringLiteral("N")) != nullptr, c.bNorth) << c.fSpeed;
        const QStringList texts = m_dc.Texts();
        const auto line = std::find_if(texts.begin(), texts.end(), [](const QString& strText) {
            return strText.startsWith(QStringLiteral("Go to: "));
        });
        ASSERT_NE(line, texts.end());
        EXPECT_TRUE(line->startsWith(QString::fromUtf8("Go to: 111 km 90\u00B0 "))) << line->toStdString();
        EXPECT_EQ(line->endsWith(QStringLiteral(" --")), !(c.fSpeed > 1.0f)) << line->toStdString();
    }
}

}
