#include "display/GpsDataView.h"
#include "display/ViewColours.h"
#include "tests/display/ViewTest.h"

namespace {

class GpsDataViewTest : public ViewTest
{
protected:
    void Paint() { DrawGpsDataView(&m_dc, View()); }
};

TEST_F(GpsDataViewTest, LinesChainOnMeasuredHeights)
{
    m_tracker.m_nHour = 9;
    m_tracker.m_nMinute = 5;
    m_tracker.m_nSecond = 7;
    m_tracker.m_fLatitude = -52.5f;
    m_tracker.m_fLongitude = 4.25f;
    m_tracker.m_nUpdateFlags = UPD_TIME | UPD_LATITUDE;
    m_tracker.m_bFixVouched = true;
    Paint();

    const QFont& medium = m_fonts.m_fontMedium;
    const QFont& small = m_fonts.m_fontSmall;
    const QSize time = Extent(medium, QStringLiteral(" 9:05:07"));
    const CRecordingDC::Call& timeCall = Text(QStringLiteral(" 9:05:07"));
    EXPECT_EQ(At(timeCall), QPoint(240 - time.width(), 1));
    EXPECT_EQ(timeCall.font, medium);
    EXPECT_EQ(timeCall.textColor, CLR_BLACK);

    const int xLetter = 240 - Extent(small, QStringLiteral("W")).width();
    const int y1 = time.height() + 2;
    const QString strLat = QStringLiteral("  52\u00B030' 0.0''");
    const QSize lat = Extent(small, strLat);
    EXPECT_EQ(At(Text(QStringLiteral("S"))), QPoint(xLetter, y1));
    EXPECT_EQ(At(Text(strLat)), QPoint(xLetter - lat.width(), y1));
    EXPECT_EQ(Text(strLat).font, small);
    EXPECT_EQ(Text(strLat).textColor, CLR_BLACK);

    const int y2 = y1 + lat.height() + 1;
    const QString strLon = QStringLiteral("   4\u00B015' 0.0''");
    EXPECT_EQ(At(Text(QStringLiteral("E"))), QPoint(xLetter, y2));
    EXPECT_EQ(At(Text(strLon)), QPoint(xLetter - Extent(small, strLon).width(), y2));
    EXPECT_EQ(Text(strLon).textColor, CLR_RED) << "longitude not decoded this tick";
}

// Seconds that round to 60.0 carry into the minutes, and 60 minutes into
// the degrees; the rest keep the single-precision steps they always had.
TEST_F(GpsDataViewTest, SecondsNeverReadSixty)
{
    const struct
    {
        float fDegrees;
        const char* szShown;
    } CASES[] = {
        {5.1f, "   5\u00B0 6' 0.0''"},          // 0.1 degrees: a hair under 6 minutes in binary
        {51.1f, "  51\u00B0 6' 0.0''"},
        {-0.5f, "   0\u00B030' 0.0''"},
        {52.99999f, "  53\u00B0 0' 0.0''"},        // 59'59.96'': carried twice
        {52.9999f, "  52\u00B059'59.6''"},
        {4.25f, "   4\u00B015' 0.0''"},
        {179.999999f, " 180\u00B0 0' 0.0''"},
        {0.0166666f, "   0\u00B0 1' 0.0''"},       // 59.99976'' rounds up
    };
    for (const auto& c : CASES) {
        m_tracker.m_fLatitude = c.fDegrees;
        m_dc.m_calls.clear();
        Paint();
        EXPECT_NE(m_dc.FindText(QString::fromUtf8(c.szShown)), nullptr)
            << c.fDegrees << ": " << m_dc.Texts().join(QLatin1Char('|')).toStdString();
    }
}

TEST_F(GpsDataViewTest, CourseSpeedAndAltitudeBlock)
{
    m_tracker.m_fCourse = 360.0f;
    m_tracker.m_fSpeed = 10.0f;
    m_tracker.m_fAltitude = 12.3f;
    m_tracker.m_nUpdateFlags = UPD_SPEED;
    Paint();

    const QFont& medium = m_fonts.m_fontMedium;
    const auto ellipses = m_dc.CallsOf(QStringLiteral("Ellipse"));
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0].rc, QRect(QPoint(4, 17), QPoint(86, 99)));

    const QSize course = Extent(medium, QStringLiteral("360\u00B0"));
    const CRecordingDC::Call& courseCall = Text(QStringLiteral("360\u00B0"));
    EXPECT_EQ(At(courseCall), QPoint(45 - course.width() / 2, 58 - course.height() / 2));
    EXPECT_EQ(courseCall.textColor, CLR_RED);

    EXPECT_EQ(At(Text(QStringLiteral("Speed:"))), QPoint(6, 100 + course.height() / 2));
    EXPECT_EQ(Text(QStringLiteral("Speed:")).textColor, CLR_BLACK);
    const int hK = Extent(medium, QStringLiteral("10.0 knots   ")).height();
    EXPECT_EQ(At(Text(QStringLiteral("10.0 knots   "))), QPoint(100, 100));
    EXPECT_EQ(At(Text(QStringLiteral("18.5 kmh   "))), QPoint(100, 101 + hK));
    EXPECT_EQ(Text(QStringLiteral("18.5 kmh   ")).textColor, CLR_BLACK);

    const QString strAlt = QStringLiteral("Alt: 12.3 mtr     ");
    const int yA = 102 + 2 * hK;
    EXPECT_EQ(At(Text(strAlt)), QPoint(6, yA));
    EXPECT_EQ(Text(strAlt).textColor, CLR_RED);
    const int hL = Extent(medium, strAlt).height();
    EXPECT_EQ(At(Text(QStringLiteral("Dltn:0 Sats:0:0 dB   "))), QPoint(6, yA + hL + 9));
    EXPECT_EQ(Text(QStringLiteral("Dltn:0 Sats:0:0 dB   ")).font, m_fonts.m_fontSmall);
}

TEST_F(GpsDataViewTest, CourseOutsideTheCircleIsUnknown)
{
    m_tracker.m_fCourse = 360.5f;
    Paint();
    EXPECT_NE(m_dc.FindText(QStringLiteral("??\u00B0")), nullptr);
    CRecordingDC dc(240, 268);
    m_tracker.m_fCourse = -1.0f;
    DrawGpsDataView(&dc, View());
    EXPECT_NE(dc.FindText(QStringLiteral("??\u00B0")), nullptr);
}

struct DilutionCase
{
    float fHdop;
    uint32_t nFlags;
    QColor colour;
};

TEST_F(GpsDataViewTest, DilutionColourFollowsFreshnessAndLimit)
{
    const DilutionCase cases[] = {
        {1.9f, UPD_HDOP, CLR_GREEN},
        {5.0f, UPD_HDOP, CLR_GREY},
        {1.9f, 0, CLR_RED},
    };
    m_tracker.m_nSatsUsed = 7;
    m_tracker.m_aSats[0].nSnr = 40;
    m_tracker.m_aSats[3].nSnr = 33;
    for (const DilutionCase& c : cases) {
        CRecordingDC dc(240, 268);
        m_tracker.m_fHdop = c.fHdop;
        m_tracker.m_nUpdateFlags = c.nFlags;
        DrawGpsDataView(&dc, View());
        const QString strLine = QString::asprintf("Dltn:%d Sats:7:36 dB   ", int(c.fHdop));
        const CRecordingDC::Call* pCall = dc.FindText(strLine);
        ASSERT_NE(pCall, nullptr) << strLine.toStdString();
        EXPECT_EQ(pCall->textColor, c.colour) << c.fHdop << " " << c.nFlags;
    }
}

TEST_F(GpsDataViewTest, UnreadableDilutionShowsZero)
{
    m_tracker.m_fHdop = -3.5f;
    Paint();
    EXPECT_NE(m_dc.FindText(QStringLiteral("Dltn:0 Sats:0:0 dB   ")), nullptr);
}

TEST_F(GpsDataViewTest, SentenceLineSitsAboveTheStatusLineInTheRestoredFont)
{
    m_tracker.m_bRmcValid = 1;
    m_tracker.m_nFixQuality = 2;
    m_tracker.m_nSatsInView = 9;
    const QPen pen = m_dc.m_pen;
    Paint();
    const QString strLine = QStringLiteral("RMC:1 GGA:2 GSA:-1 GSV:9 sats,0 dB  ");
    const int hR = Extent(CDC::DefaultFont(), strLine).height();
    const CRecordingDC::Call& call = Text(strLine);
    EXPECT_EQ(At(call), QPoint(6, 268 - 2 * (hR + 1)));
    EXPECT_EQ(call.font, CDC::DefaultFont());
    EXPECT_EQ(call.textColor, CLR_BLACK);
    EXPECT_EQ(m_dc.m_font, CDC::DefaultFont());
    EXPECT_EQ(m_dc.m_pen, pen);
}

TEST_F(GpsDataViewTest, NarrowWindowDrawsTheTimeUnclipped)
{
    m_wnd.resize(40, 268);
    Paint();
    const QSize time = Extent(m_fonts.m_fontMedium, QStringLiteral(" 0:00:00"));
    EXPECT_EQ(At(Text(QStringLiteral(" 0:00:00"))), QPoint(40 - time.width(), 1));
    EXPECT_LT(40 - time.width(), 0);
}

TEST_F(GpsDataViewTest, PaintsTextInFreshnessColours)
{
    m_tracker.m_fLatitude = 52.0f;
    m_tracker.m_fLongitude = 5.0f;
    m_tracker.m_fHdop = 1.0f;
    m_tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE | UPD_HDOP;
    m_tracker.m_bFixVouched = true;
    Paint();
    EXPECT_GT(Count(QRect(120, 0, 120, 30), qRgb(255, 0, 0)), 30) << "stale time in red";
    EXPECT_GT(Count(QRect(60, 30, 180, 50), qRgb(0, 0, 0)), 60) << "position in black";
    EXPECT_GT(Count(QRect(0, 150, 240, 80), qRgb(0, 162, 0)), 30) << "good dilution in green";
    EXPECT_GT(Count(QRect(0, 0, 90, 100), qRgb(0, 0, 0)), 200) << "dial and needle";
}

// A position is black only when it is fresh and a sentence of the tick said
// the fix is valid: a cold start's placeholder is a warning.
TEST_F(GpsDataViewTest, APositionWithoutAValidFixIsAWarning)
{
    const struct {
        uint32_t nFlags;
        bool bVouched;
        bool bBlack;
    } CASES[] = {
        {UPD_LATITUDE | UPD_LONGITUDE, true, true},
        {UPD_LATITUDE | UPD_LONGITUDE, false, false},
        {0, true, false},
    };
    for (const auto& c : CASES) {
        m_tracker.m_fLatitude = -52.5f;
        m_tracker.m_nUpdateFlags = c.nFlags;
        m_tracker.m_bFixVouched = c.bVouched;
        m_dc.m_calls.clear();   // the texts of this case only
        Paint();
        EXPECT_EQ(Text(QStringLiteral("  52\u00B030' 0.0''")).textColor, c.bBlack ? CLR_BLACK : CLR_RED)
            << c.nFlags << c.bVouched;
    }
}

}
