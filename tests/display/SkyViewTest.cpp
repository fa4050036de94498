#include "display/SkyView.h"
#include "display/ViewColours.h"
#include "gps/NmeaDecoder.h"
#include "tests/display/ViewTest.h"

#include <algorithm>

namespace {

class SkyViewTest : public ViewTest
{
protected:
    void Paint() { DrawSkyView(&m_dc, View()); }

    void Feed(const QStringList& lines)
    {
        for (const QString& strLine : lines)
            ProcessSentence(m_tracker, strLine, 0);
    }

    // Three satellites in view as the simulator reports them, after a cycle
    // that still had PRN 99; PRN 7 and 12 are used in the solution.
    void SetSky(const char* szSnr20 = "00")
    {
        Feed({QStringLiteral("$GPGSV,1,1,02,99,30,030,30,07,90,000,45"),
              QStringLiteral("$GPGSV,1,1,04,07,90,000,45,12,00,090,30,20,45,180,%1,,10,010,10").arg(
                  QLatin1String(szSnr20)),
              QStringLiteral("$GPGSA,A,3,07,12,,,,,,,,,,,2.5,1.3,2.1")});
    }
};

TEST_F(SkyViewTest, RingsAtZeroThirtyAndSixtyNorthUp)
{
    Paint();
    const auto rings = m_dc.CallsOf(QStringLiteral("Ellipse"));
    ASSERT_EQ(rings.size(), 3u) << "no satellite in view";
    const int radii[] = {86, 57, 28};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rings[i].rc.center(), SKY_CENTRE) << i;
        EXPECT_EQ(rings[i].rc.width(), 2 * radii[i] + 2) << i;
    }
    const CRecordingDC::Call& north = Text(QStringLiteral("N"));
    EXPECT_LT(north.rc.top(), SKY_CENTRE.y() - SKY_RADIUS);
    EXPECT_NEAR(north.rc.left(), SKY_CENTRE.x() - 4, 4);
    EXPECT_GT(Text(QStringLiteral("S")).rc.top(), SKY_CENTRE.y() + SKY_RADIUS);
    EXPECT_GT(Text(QStringLiteral("E")).rc.left(), SKY_CENTRE.x() + SKY_RADIUS);
    EXPECT_LT(Text(QStringLiteral("W")).rc.left(), SKY_CENTRE.x() - SKY_RADIUS);
}

TEST_F(SkyViewTest, SatellitesAtAzimuthAndElevationFilledWhenUsed)
{
    EXPECT_EQ(SkyPosition(0, 90), SKY_CENTRE);
    EXPECT_EQ(SkyPosition(0, 0), QPoint(120, 104 - 86));
    EXPECT_EQ(SkyPosition(90, 0), QPoint(120 + 86, 104));
    EXPECT_EQ(SkyPosition(180, 45), QPoint(120, 104 + 43));
    EXPECT_EQ(SkyPosition(270, 60), QPoint(120 - 29, 104));
    EXPECT_EQ(SkyPosition(450, -5), SkyPosition(90, 0)) << "held to the horizon, a turn further";
    EXPECT_EQ(SkyPosition(0, 120), SKY_CENTRE);

    SetSky();
    Paint();
    const QImage& image = m_dc.Image();
    const QPoint used = SkyPosition(0, 90);
    const QPoint usedHorizon = SkyPosition(90, 0);
    const QPoint unused = SkyPosition(180, 45);
    EXPECT_EQ(image.pixel(used + QPoint(2, 2)), qRgb(0, 90, 200));
    EXPECT_EQ(image.pixel(usedHorizon + QPoint(-2, 1)), qRgb(0, 90, 200));
    EXPECT_EQ(image.pixel(unused + QPoint(2, 2)), qRgb(255, 255, 255)) << "an open circle";
    EXPECT_EQ(image.pixel(unused + QPoint(SKY_MARK_RADIUS, 0)), qRgb(0, 90, 200));

    // Each PRN beside its satellite and below its bar; nothing else.
    const QStringList texts = m_dc.Texts();
    for (const char* pszPrn : {"7", "12", "20"})
        EXPECT_EQ(texts.count(QLatin1String(pszPrn)), 2) << pszPrn;
    EXPECT_FALSE(texts.contains(QStringLiteral("99")));
    EXPECT_FALSE(texts.contains(QStringLiteral("0")));
    const CRecordingDC::Call& label = Text(QStringLiteral("20"));
    EXPECT_EQ(label.rc.topLeft(), unused + QPoint(SKY_MARK_RADIUS + 1, -SKY_MARK_RADIUS - 2));
}

TEST_F(SkyViewTest, SignalBarsFromZeroToSixtyDecibels)
{
    SetSky("99");   // beyond the scale: a full bar
    Paint();
    std::vector<QRect> bars;
    for (const CRecordingDC::Call& call : m_dc.CallsOf(QStringLiteral("FillSolidRect"))) {
        if (call.rc.bottom() == SKY_BAR_BASE - 1 || call.rc.height() == 0)
            bars.push_back(call.rc);
    }
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(bars[0], QRect(3, SKY_BAR_BASE - 30, 14, 30));   // 45 dB
    EXPECT_EQ(bars[1], QRect(23, SKY_BAR_BASE - 20, 14, 20));  // 30 dB
    EXPECT_EQ(bars[2], QRect(43, SKY_BAR_BASE - 40, 14, 40));  // held at 60 dB
    const QImage& image = m_dc.Image();
    EXPECT_EQ(image.pixel(10, SKY_BAR_BASE - 1), qRgb(0, 90, 200)) << "a used satellite's bar";
    EXPECT_EQ(image.pixel(50, SKY_BAR_BASE - 1), qRgb(200, 200, 200)) << "an unused one's";
    EXPECT_EQ(Ink(QRect(0, SKY_BAR_BASE - 42, 240, 1)), 0) << "no bar above 60 dB";
}

// Four systems of ten satellites each, with three-digit PRNs and values
// beyond every range: forty discs, forty bars, all inside the window.
TEST_F(SkyViewTest, FortySatellitesAndWildValuesStayInTheWindow)
{
    constexpr int SATS_PER_SYSTEM = 10;
    for (const char* szTalker : {"GP", "GL", "GA", "GB"}) {
        for (int nPage = 1; nPage <= 3; ++nPage) {
            QString strLine = QStringLiteral("$%1GSV,3,%2,10").arg(QLatin1String(szTalker)).arg(nPage);
            for (int i = 4 * (nPage - 1); i < std::min(4 * nPage, SATS_PER_SYSTEM); ++i)
                strLine += QStringLiteral(",%1,%2,%3,%4").arg(100 + i).arg(i * 50 - 200).arg(i * 97 - 500).arg(i * 9 - 20);
            Feed({strLine});
        }
    }
    m_dc.SetTextColor(CLR_RED);
    Paint();
    EXPECT_EQ(m_dc.CallsOf(QStringLiteral("Ellipse")).size(), 3u + 4 * SATS_PER_SYSTEM);
    const QRect window(0, 0, SKY_WIDTH, SKY_HEIGHT);
    for (const CRecordingDC::Call& call : m_dc.m_calls) {
        QRect rc = call.rc;
        if (call.strOp == QLatin1String("TextOut"))
            rc.setSize(Extent(call.font, call.strText));
        EXPECT_TRUE(window.contains(rc)) << call.strOp.toStdString() << " " << call.strText.toStdString();
    }
    EXPECT_EQ(m_dc.m_textColor, CLR_RED) << "the colour is restored";
    EXPECT_EQ(m_dc.m_font, CDC::DefaultFont()) << "and the font";

    Feed({QStringLiteral("$GPGSV,1,1,00"), QStringLiteral("$GLGSV,1,1,00"), QStringLiteral("$GAGSV,1,1,00"),
          QStringLiteral("$GBGSV,1,1,00")});
    CRecordingDC dc(SKY_WIDTH, SKY_HEIGHT);
    DrawSkyView(&dc, View());
    EXPECT_EQ(dc.CallsOf(QStringLiteral("Ellipse")).size(), 3u) << "each system's empty cycle clears it";
}

}
