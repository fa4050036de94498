#include "display/StatusView.h"
#include "display/ViewColours.h"
#include "tests/display/ViewTest.h"

namespace {

class StatusViewTest : public ViewTest
{
protected:
    void Paint() { DrawStatusView(&m_dc, View()); }
};

TEST_F(StatusViewTest, SixteenLinesFourteenPixelsApart)
{
    m_dc.SetTextColor(CLR_RED);
    Paint();
    const auto texts = m_dc.CallsOf(QStringLiteral("TextOut"));
    ASSERT_EQ(texts.size(), 16u);
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(At(texts[i]), QPoint(4, 18 + 14 * int(i))) << i;
        EXPECT_EQ(texts[i].textColor, CLR_BLACK);
        EXPECT_EQ(texts[i].font, CDC::DefaultFont()) << "the view selects no font";
    }
    EXPECT_EQ(texts.back().rc.top(), 228);
}

TEST_F(StatusViewTest, BeforeAnyGsaSentence)
{
    m_tracker.m_fLatitude = 52.125f;
    m_tracker.m_fLongitude = -4.5f;
    Paint();
    const QStringList texts = m_dc.Texts();
    EXPECT_EQ(texts.value(0), QStringLiteral("Latitude: 52.125000\u00B0"));
    EXPECT_EQ(texts.value(1), QStringLiteral("Longitude: -4.500000\u00B0"));
    EXPECT_EQ(texts.value(2), QStringLiteral("GSA:Manual, 3D, P:0.0 H:0.0 V:0.0"));
    EXPECT_EQ(texts.value(3), QStringLiteral("GSV:0 Messages, 0 Satellites in view"));
    EXPECT_EQ(texts.value(15), QStringLiteral("ID: 0 Prn: 0 Elev: 0 Azim: 0 Snr: 0dB"));
}

TEST_F(StatusViewTest, GsaWordsAndSatelliteColumns)
{
    struct FixCase
    {
        char chMode;
        int8_t nFix;
        const char* pszWords;
    };
    const FixCase cases[] = {{'A', 3, "Auto, 3D"}, {'M', 2, "Manual, 2D"}, {'A', 1, "Auto, No fix"}};
    m_tracker.m_fPdop = 2.5f;
    m_tracker.m_fGsaHdop = 1.3f;
    m_tracker.m_fVdop = 2.1f;
    m_tracker.m_nGsvMessages = 3;
    m_tracker.m_nSatsInView = 11;
    m_tracker.m_aSats[4] = GpsSatellite{7, 7, 45, 270, 38};
    for (const FixCase& c : cases) {
        CRecordingDC dc(240, 268);
        m_tracker.m_chGsaMode = c.chMode;
        m_tracker.m_nGsaFixType = c.nFix;
        DrawStatusView(&dc, View());
        const QStringList texts = dc.Texts();
        EXPECT_EQ(texts.value(2),
                  QStringLiteral("GSA:%1, P:2.5 H:1.3 V:2.1").arg(QLatin1String(c.pszWords)));
        EXPECT_EQ(texts.value(3), QStringLiteral("GSV:3 Messages, 11 Satellites in view"));
        EXPECT_EQ(texts.value(8), QStringLiteral("ID: 7 Prn: 7 Elev:45 Azim:270 Snr:38dB"));
    }
}

TEST_F(StatusViewTest, PaintsTextLines)
{
    Paint();
    for (int i = 0; i < 16; ++i)
        EXPECT_GT(Ink(QRect(4, 18 + 14 * i, 200, 12)), 20) << "line " << i;
    EXPECT_EQ(Ink(QRect(0, 250, 240, 18)), 0);
}

}
