#include "gps/CGpsTracker.h"
#include "gps/NmeaDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr uint32_t RMC_FIX_BITS = UPD_TIME | UPD_LATITUDE | UPD_LONGITUDE | UPD_SPEED | UPD_COURSE | UPD_DATE;
constexpr uint32_t GGA_FIX_BITS = UPD_TIME | UPD_LATITUDE | UPD_LONGITUDE | UPD_HDOP | UPD_ALTITUDE;

const QString RMC_EXAMPLE = QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r");
const QString GGA_EXAMPLE = QStringLiteral("$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*48\r");

class NmeaDecoderTest : public ::testing::Test
{
protected:
    int m_nUtc = 1;   // hours added to the receiver UTC

    // One line as a tick of its own.
    uint32_t Decode(const QString& strLine)
    {
        m_tracker.BeginTick();
        ProcessSentence(m_tracker, strLine, m_nUtc);
        return m_tracker.m_nUpdateFlags;
    }

    CGpsTracker m_tracker;
};

TEST_F(NmeaDecoderTest, RmcExampleWithOneHourCorrection)
{
    EXPECT_EQ(Decode(RMC_EXAMPLE), RMC_FIX_BITS);
    EXPECT_EQ(m_tracker.m_nHour, 13);
    EXPECT_EQ(m_tracker.m_nMinute, 35);
    EXPECT_EQ(m_tracker.m_nSecond, 19);
    EXPECT_EQ(m_tracker.m_nDay, 23);
    EXPECT_EQ(m_tracker.m_nMonth, 3);
    EXPECT_EQ(m_tracker.m_nYear, 2094);
    EXPECT_NEAR(m_tracker.m_fLatitude, 48.1173, 1e-5);
    EXPECT_NEAR(m_tracker.m_fLongitude, 11.516667, 1e-5);
    EXPECT_FLOAT_EQ(m_tracker.m_fSpeed, 22.4f);
    EXPECT_FLOAT_EQ(m_tracker.m_fCourse, 84.4f);
    EXPECT_EQ(m_tracker.m_bRmcValid, 1);
}

TEST_F(NmeaDecoderTest, CoordinateArithmeticIsSinglePrecisionSumOfDoubleMinutes)
{
    Decode(QStringLiteral("$GNRMC,132820.60,A,4134.49821229,N,09345.03351845,W,3.252,92.308,180320,,,D*6E"));
    const float fLatMinutes = std::strtof("34.49821229", nullptr);
    const float fLonMinutes = std::strtof("45.03351845", nullptr);
    EXPECT_EQ(m_tracker.m_fLatitude, static_cast<float>(fLatMinutes * 0.016666666666666666) + 41.0f);
    EXPECT_EQ(m_tracker.m_fLongitude, -(static_cast<float>(fLonMinutes * 0.016666666666666666) + 93.0f));
    EXPECT_EQ(m_tracker.m_fSpeed, std::strtof("3.252", nullptr));
}

TEST_F(NmeaDecoderTest, VoidRmcWithEmptyPositionKeepsPosition)
{
    Decode(RMC_EXAMPLE);
    const float fLat = m_tracker.m_fLatitude;
    const float fLon = m_tracker.m_fLongitude;
    const uint32_t nFlags = Decode(QStringLiteral("$GPRMC,123520,V,,,,,022.4,084.4,230394,003.1,W*4E\r"));
    EXPECT_EQ(m_tracker.m_bRmcValid, 0);
    EXPECT_EQ(m_tracker.m_fLatitude, fLat);
    EXPECT_EQ(m_tracker.m_fLongitude, fLon);
    EXPECT_EQ(nFlags & (UPD_LATITUDE | UPD_LONGITUDE), 0u);
    EXPECT_EQ(nFlags, UPD_TIME | UPD_SPEED | UPD_COURSE | UPD_DATE);
}

TEST_F(NmeaDecoderTest, GgaExampleSouthWest)
{
    EXPECT_EQ(Decode(GGA_EXAMPLE), GGA_FIX_BITS);
    EXPECT_NEAR(m_tracker.m_fLatitude, -48.1173, 1e-5);
    EXPECT_NEAR(m_tracker.m_fLongitude, -11.516667, 1e-5);
    EXPECT_EQ(m_tracker.m_nFixQuality, 1);
    EXPECT_EQ(m_tracker.m_nSatsUsed, 8);
    EXPECT_FLOAT_EQ(m_tracker.m_fHdop, 0.9f);
    EXPECT_FLOAT_EQ(m_tracker.m_fAltitude, 545.4f);
    EXPECT_EQ(m_tracker.m_bRmcValid, 0);
}

TEST_F(NmeaDecoderTest, AltitudeUnitFieldClampsOutOfRange)
{
    const auto altitude = [this](const char* szAltitude, const char* szRest) {
        Decode(QStringLiteral("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,%1%2")
                   .arg(QLatin1String(szAltitude), QLatin1String(szRest)));
        return m_tracker.m_fAltitude;
    };
    EXPECT_EQ(altitude("10000.5", ",M,46.9,M,,"), 0.0f);
    EXPECT_EQ(altitude("10000", ",M,46.9,M,,"), 10000.0f);
    EXPECT_EQ(altitude("-3.0", ",M,46.9,M,,"), 0.0f);
    // The unit letter is not examined, but an empty unit field does nothing,
    // nor does a line that ends before it.
    EXPECT_EQ(altitude("-3.0", ",X"), 0.0f);
    EXPECT_EQ(altitude("-3.0", ",,46.9"), -3.0f);
    EXPECT_EQ(altitude("12000", ""), 12000.0f);
}

TEST_F(NmeaDecoderTest, UtcCorrectionIsOneStepAndLeavesDate)
{
    m_nUtc = -2;
    Decode(QStringLiteral("$GPRMC,011000,A,4807.038,N,01131.000,E,0,0,230394,,*10"));
    EXPECT_EQ(m_tracker.m_nHour, 23);
    EXPECT_EQ(m_tracker.m_nMinute, 10);
    EXPECT_EQ(m_tracker.m_nDay, 23);

    m_nUtc = 1;
    Decode(QStringLiteral("$GPRMC,233000,A,4807.038,N,01131.000,E,0,0,230394,,*12"));
    EXPECT_EQ(m_tracker.m_nHour, 0);
    EXPECT_EQ(m_tracker.m_nMinute, 30);
    EXPECT_EQ(m_tracker.m_nDay, 23);
    EXPECT_EQ(m_tracker.m_nMonth, 3);

    // A correction far outside the offered range is still one step.
    m_nUtc = 30;
    Decode(QStringLiteral("$GPGGA,233000"));
    EXPECT_EQ(m_tracker.m_nHour, 29);
    m_nUtc = INT32_MAX;
    EXPECT_EQ(Decode(QStringLiteral("$GPGGA,233000")), UPD_TIME);
}

TEST_F(NmeaDecoderTest, TimeAndDateNeedAllThreeNumbers)
{
    m_nUtc = 0;
    Decode(QStringLiteral("$GPRMC,123519.75,A,,,,,,,010100"));
    EXPECT_EQ(m_tracker.m_nSecond, 19);   // the fraction is dropped
    EXPECT_EQ(m_tracker.m_nYear, 2000);
    // Two numbers only: nothing stored, no bit.
    EXPECT_EQ(Decode(QStringLiteral("$GPRMC,0809,A,,,,,,,3112")), 0u);
    EXPECT_EQ(m_tracker.m_nHour, 12);
    EXPECT_EQ(m_tracker.m_nDay, 1);
    // Blanks before each number are skipped, as a formatted scan does.
    EXPECT_EQ(Decode(QStringLiteral("$GPRMC, 8 9 7,A,,,,,,,3112 9")), UPD_TIME | UPD_DATE);
    EXPECT_EQ(m_tracker.m_nHour, 8);
    EXPECT_EQ(m_tracker.m_nMinute, 9);
    EXPECT_EQ(m_tracker.m_nSecond, 7);
    EXPECT_EQ(m_tracker.m_nYear, 2009);
}

TEST_F(NmeaDecoderTest, PresentNumericFieldsEarnBitsEvenWhenUnreadable)
{
    Decode(RMC_EXAMPLE);
    EXPECT_EQ(Decode(QStringLiteral("$GPRMC,,,,,,,x,?,")), UPD_SPEED | UPD_COURSE);
    EXPECT_FLOAT_EQ(m_tracker.m_fSpeed, 22.4f);
    EXPECT_FLOAT_EQ(m_tracker.m_fCourse, 84.4f);
    EXPECT_EQ(Decode(QStringLiteral("$GPGGA,,,,,,,,-,.,")), UPD_HDOP | UPD_ALTITUDE);
    EXPECT_EQ(m_tracker.m_fAltitude, 0.0f);
    // Empty fields earn nothing.
    EXPECT_EQ(Decode(QStringLiteral("$GPRMC,,,,,,,,,")), 0u);
}

TEST_F(NmeaDecoderTest, FloatScanReadsPlainDecimalsOnly)
{
    const auto speed = [this](const char* szField) {
        m_tracker.m_fSpeed = -1;
        Decode(QStringLiteral("$GPRMC,,,,,,,%1").arg(QLatin1String(szField)));
        return m_tracker.m_fSpeed;
    };
    EXPECT_EQ(speed("  +12.5"), 12.5f);
    EXPECT_EQ(speed("-.5"), -0.5f);
    EXPECT_EQ(speed("7."), 7.0f);
    EXPECT_EQ(speed("36*62"), 36.0f);   // the checksum suffix ends the number
    EXPECT_EQ(speed("1.5e3"), 1.5f);
    EXPECT_EQ(speed("0.1"), 0.1f);
    EXPECT_EQ(speed("nan"), -1.0f);
    EXPECT_EQ(speed("+"), -1.0f);
    EXPECT_EQ(speed(("1" + std::string(60, '0')).c_str()), -1.0f);   // would be infinite
    EXPECT_EQ(speed(("0." + std::string(60, '0') + "1").c_str()), 0.0f);
}

TEST_F(NmeaDecoderTest, CourseGuardRunsAtNextRecognisedLine)
{
    Decode(QStringLiteral("$GPRMC,,,,,,,,400,"));
    EXPECT_EQ(m_tracker.m_fCourse, 400.0f);
    Decode(QStringLiteral("$GPXYZ,1,2,3"));
    EXPECT_EQ(m_tracker.m_fCourse, 400.0f);
    Decode(QStringLiteral("$GPGSV,1,1,00"));
    EXPECT_EQ(m_tracker.m_fCourse, 0.0f);
    Decode(QStringLiteral("$GPRMC,,,,,,,,-0.5,"));
    Decode(GGA_EXAMPLE);
    EXPECT_EQ(m_tracker.m_fCourse, 0.0f);
    Decode(QStringLiteral("$GPRMC,,,,,,,,360,"));
    Decode(GGA_EXAMPLE);
    EXPECT_EQ(m_tracker.m_fCourse, 360.0f);
}

TEST_F(NmeaDecoderTest, GsaExample)
{
    EXPECT_EQ(Decode(QStringLiteral("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r")), 0u);
    EXPECT_EQ(m_tracker.m_chGsaMode, 'A');
    EXPECT_EQ(m_tracker.m_nGsaFixType, 3);
    const int32_t aExpected[GPS_SAT_COUNT] = {4, 5, 0, 9, 12, 0, 0, 24, 0, 0, 0, 0};
    for (int i = 0; i < GPS_SAT_COUNT; ++i)
        EXPECT_EQ(m_tracker.m_aSats[i].nFixPrn, aExpected[i]) << "entry " << i;
    EXPECT_FLOAT_EQ(m_tracker.m_fPdop, 2.5f);
    EXPECT_FLOAT_EQ(m_tracker.m_fGsaHdop, 1.3f);
    EXPECT_FLOAT_EQ(m_tracker.m_fVdop, 2.1f);
}

TEST_F(NmeaDecoderTest, GsaModeFieldClearsPrnsAndDilutions)
{
    Decode(QStringLiteral("$GPGSA,A,3,04,05,06,07,08,09,10,11,12,13,14,15,2.5,1.3,2.1*34"));
    Decode(QStringLiteral("$GNGSA,M,2,1234"));
    EXPECT_EQ(m_tracker.m_chGsaMode, 'M');
    EXPECT_EQ(m_tracker.m_nGsaFixType, 2);
    EXPECT_EQ(m_tracker.m_aSats[0].nFixPrn, 123);   // "%3d" reads three characters
    for (int i = 1; i < GPS_SAT_COUNT; ++i)
        EXPECT_EQ(m_tracker.m_aSats[i].nFixPrn, 0);
    EXPECT_EQ(m_tracker.m_fPdop, 0.0f);
    EXPECT_EQ(m_tracker.m_fGsaHdop, 0.0f);
    EXPECT_EQ(m_tracker.m_fVdop, 0.0f);
}

TEST_F(NmeaDecoderTest, GsvPagesFillTheirEntries)
{
    Decode(QStringLiteral("$GPGSV,3,2,11,13,38,270,45,16,27,068,43,19,72,076,50,23,09,182,37*70\r"));
    EXPECT_EQ(m_tracker.m_nGsvMessages, 3);
    EXPECT_EQ(m_tracker.m_nGsvMessage, 2);
    EXPECT_EQ(m_tracker.m_nSatsInView, 11);
    const GpsSatellite aExpected[4] = {{0, 13, 38, 270, 45}, {0, 16, 27, 68, 43}, {0, 19, 72, 76, 50},
                                       {0, 23, 9, 182, 37}};
    for (int i = 0; i < 4; ++i) {
        const GpsSatellite& sat = m_tracker.m_aSats[4 + i];
        EXPECT_EQ(sat.nPrn, aExpected[i].nPrn);
        EXPECT_EQ(sat.nElevation, aExpected[i].nElevation);
        EXPECT_EQ(sat.nAzimuth, aExpected[i].nAzimuth);
        EXPECT_EQ(sat.nSnr, aExpected[i].nSnr);
    }
    for (int i : {0, 3, 8, 11})
        EXPECT_EQ(m_tracker.m_aSats[i].nPrn, 0);

    // Page 4: the header is stored, no entry changes.
    Decode(QStringLiteral("$GPGSV,4,4,14,31,11,111,11*4F"));
    EXPECT_EQ(m_tracker.m_nGsvMessages, 4);
    EXPECT_EQ(m_tracker.m_nGsvMessage, 4);
    EXPECT_EQ(m_tracker.m_nSatsInView, 14);
    for (const GpsSatellite& sat : m_tracker.m_aSats)
        EXPECT_NE(sat.nPrn, 31);
}

TEST_F(NmeaDecoderTest, ShortGsvPageKeepsOldValues)
{
    Decode(QStringLiteral("$GPGSV,3,3,12,24,06,166,35,28,09,271,36,29,10,010,20,30,11,011,21"));
    Decode(QStringLiteral("$GPGSV,3,3,10,25,07,167,,26,08*44\r"));
    const GpsSatellite& first = m_tracker.m_aSats[8];
    EXPECT_EQ(first.nPrn, 25);
    EXPECT_EQ(first.nAzimuth, 167);
    EXPECT_EQ(first.nSnr, 35);   // empty SNR keeps the last value
    EXPECT_EQ(m_tracker.m_aSats[9].nPrn, 26);
    EXPECT_EQ(m_tracker.m_aSats[9].nElevation, 8);
    EXPECT_EQ(m_tracker.m_aSats[9].nAzimuth, 271);
    EXPECT_EQ(m_tracker.m_aSats[11].nPrn, 30);
    // Message 0 fills nothing either.
    Decode(QStringLiteral("$GPGSV,3,0,10,01,01,001,01"));
    for (const GpsSatellite& sat : m_tracker.m_aSats)
        EXPECT_NE(sat.nPrn, 1);
}

TEST_F(NmeaDecoderTest, RecognitionByFirstOccurrencePastPositionZero)
{
    struct Case
    {
        const char16_t* szLine;
        const char16_t* szKind;   // empty: ignored
    };
    const Case CASES[] = {
        {u"$GPXYZ,1,2,3", u""},
        {u"RMC,123519,A", u""},   // no "$"
        {u"RMC,1,RMC", u""},
        {u"RMC$GPGSA,RMC", u""},
        {u"$GPGS", u""},
        {u"$GPGSA,A,1,,,,,,,,,,,,,,,*1F", u""},   // wrong checksum
        {u"$RMC,1", u"RMC"},
        {u"$PXXXRMC,1", u"RMC"},
        {u"$LCRMC,1", u"RMC"},
        {u"$GPGGA,1,RMC", u"RMC"},   // the order of the codes, not their place
        {u"$GPGSV,1,GGA", u"GGA"},
        {u"$GPGSA,1,GSV", u"GSV"},
        {u"$GPGSA,A,1,,,,,,,,,,,,,,,*1E", u"GSA"},
    };
    for (const Case& c : CASES) {
        const NmeaSentenceKind* pKind = RecogniseSentence(c.szLine);
        EXPECT_EQ(QStringView(pKind ? pKind->szCode : u""), QStringView(c.szKind))
            << QStringView(c.szLine).toString().toStdString();
    }

    Decode(RMC_EXAMPLE);
    m_tracker.m_fCourse = 500;
    EXPECT_EQ(Decode(QStringLiteral("$GPXYZ,1,2,3")), 0u);
    EXPECT_EQ(Decode(QStringLiteral("RMC,101010,A")), 0u);
    EXPECT_EQ(m_tracker.m_fCourse, 500.0f);
    EXPECT_EQ(Decode(QStringLiteral("$PXXXRMC,101010")), UPD_TIME);
    EXPECT_EQ(m_tracker.m_nHour, 11);
    EXPECT_EQ(m_tracker.m_fCourse, 0.0f);
}

TEST_F(NmeaDecoderTest, HemisphereRangeTestAndSign)
{
    // A longitude of 720 degrees is stored but earns no bit.
    EXPECT_EQ(Decode(QStringLiteral("$GPRMC,,V,36000.0000,N,72000.0000,E,,,")), UPD_LATITUDE);
    EXPECT_EQ(m_tracker.m_fLatitude, 36.0f);
    EXPECT_EQ(m_tracker.m_fLongitude, 720.0f);
    EXPECT_EQ(Decode(QStringLiteral("$GPGGA,,9000.10,S,18000.10,W")), 0u);
    EXPECT_NEAR(m_tracker.m_fLatitude, -90.00167, 1e-5);
    EXPECT_NEAR(m_tracker.m_fLongitude, -180.00167, 1e-5);
    EXPECT_EQ(Decode(QStringLiteral("$GPGGA,,9000.05,N,18000.05,E")), UPD_LATITUDE | UPD_LONGITUDE);
    // Degrees that do not scan leave the value alone.
    Decode(QStringLiteral("$GPGGA,,x800.00,N,,"));
    EXPECT_NEAR(m_tracker.m_fLatitude, 90.0008, 1e-4);
    Decode(QStringLiteral("$GPGGA,,48,N,,"));
    EXPECT_NEAR(m_tracker.m_fLatitude, 90.0008, 1e-4);
}

TEST_F(NmeaDecoderTest, DecodeFieldSingleCodes)
{
    EXPECT_EQ(DecodeField(m_tracker, u"", 7, m_nUtc), 0u);
    EXPECT_EQ(DecodeField(m_tracker, u",5", 7, m_nUtc), 0u);
    EXPECT_EQ(m_tracker.m_fSpeed, 0.0f);
    for (int nCode : {0, 10, 11, 17, 18, 19, 20, 57, -1, 1000})
        EXPECT_EQ(DecodeField(m_tracker, u"5", nCode, m_nUtc), 0u) << nCode;
    EXPECT_EQ(DecodeField(m_tracker, u"2", 12, m_nUtc), 0u);
    EXPECT_EQ(m_tracker.m_nFixQuality, 2);
    DecodeField(m_tracker, u"E", 12, m_nUtc);
    EXPECT_EQ(m_tracker.m_nFixQuality, 'E' - '0');
    DecodeField(m_tracker, u"\u0141", 21, m_nUtc);   // low 8 bits of the character
    EXPECT_EQ(m_tracker.m_chGsaMode, 'A');
    m_tracker.m_nGsvMessage = 3;
    DecodeField(m_tracker, u"359*1F", 52, m_nUtc);
    EXPECT_EQ(m_tracker.m_aSats[11].nAzimuth, 359);
    DecodeField(m_tracker, u"3591", 52, m_nUtc);
    EXPECT_EQ(m_tracker.m_aSats[11].nAzimuth, 359);
    DecodeField(m_tracker, u"-7", 56, m_nUtc);
    EXPECT_EQ(m_tracker.m_aSats[11].nSnr, -7);
}

TEST_F(NmeaDecoderTest, TickStartClearsPerTickFields)
{
    Decode(RMC_EXAMPLE);
    ProcessSentence(m_tracker, GGA_EXAMPLE, m_nUtc);
    EXPECT_EQ(m_tracker.m_nUpdateFlags, RMC_FIX_BITS | GGA_FIX_BITS);
    const int32_t nSecs = m_tracker.m_nSecsSinceLog;
    m_tracker.BeginTick();
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_bRmcValid, 0);
    EXPECT_EQ(m_tracker.m_nFixQuality, 0);
    EXPECT_EQ(m_tracker.m_nSecsSinceLog, nSecs + 1);
    EXPECT_NEAR(m_tracker.m_fLatitude, -48.1173, 1e-5);
}

TEST(NmeaChecksum, WrongSuffixOnly)
{
    struct Case
    {
        const char* szLine;
        bool bWrong;
        bool bRight;   // a suffix that matches
    };
    const Case CASES[] = {
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E", false, true},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r", false, true},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1e", false, true},   // lower-case digits
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1F", true, false},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1F\r", true, false},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,", false, false},   // no suffix: decoded as before, proves nothing
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1", false, false},   // not two digits
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1G", false, false},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\r", false, false},   // only one CR comes off
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E ", false, false},
        {"$*00", false, true},   // nothing between: XOR 0
        {"*00", false, false},
        {"$A*00", true, false},
        {"", false, false},
    };
    for (const Case& c : CASES) {
        EXPECT_EQ(HasWrongChecksum(QString::fromLatin1(c.szLine)), c.bWrong) << c.szLine;
        EXPECT_EQ(HasRightChecksum(QString::fromLatin1(c.szLine)), c.bRight) << c.szLine;
    }
}

}
