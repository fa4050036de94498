#include "gps/CGpsTracker.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string RMC_LINE = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const std::string GGA_LINE = "$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*48\r\n";

class AssemblyTest : public ::testing::Test
{
protected:
    int m_nUtc = 0;   // hours added to the receiver UTC

    void Feed(const std::string& bytes) { m_tracker.AssembleBytes(bytes.data(), bytes.size(), m_nUtc); }

    // A recognised RMC line of exactly nLength bytes before its line feed,
    // carrying the given hour in its time field.
    static std::string RmcOfLength(size_t nLength, int nHour)
    {
        std::string line = "$GPRMC," + std::string(nHour < 10 ? "0" : "") + std::to_string(nHour) + "0000,A";
        line.append(nLength - line.size(), 'x');
        return line;
    }

    CGpsTracker m_tracker;
};

TEST_F(AssemblyTest, TwoSentencesInOneTickBothCount)
{
    m_tracker.BeginTick();
    Feed(RMC_LINE + GGA_LINE);
    EXPECT_EQ(m_tracker.m_nUpdateFlags, UPD_TIME | UPD_LATITUDE | UPD_LONGITUDE | UPD_SPEED | UPD_COURSE |
                                            UPD_DATE | UPD_HDOP | UPD_ALTITUDE);
    EXPECT_EQ(m_tracker.m_bRmcValid, 1);
    EXPECT_EQ(m_tracker.m_nFixQuality, 1);
    EXPECT_LT(m_tracker.m_fLatitude, 0.0f);   // GGA came last
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 0);
}

TEST_F(AssemblyTest, SentenceSplitAcrossTicksCompletesInSecond)
{
    m_tracker.BeginTick();
    Feed(RMC_LINE.substr(0, 30));
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 30);
    m_tracker.BeginTick();
    Feed(RMC_LINE.substr(30));
    EXPECT_EQ(m_tracker.m_nUpdateFlags & UPD_DATE, UPD_DATE);
    EXPECT_EQ(m_tracker.m_nYear, 2094);
}

TEST_F(AssemblyTest, DollarRestartsTheLine)
{
    m_tracker.BeginTick();
    Feed("$GPRMC,101010,A,4807.038,N,011" + RMC_LINE);
    EXPECT_EQ(m_tracker.m_nHour, 12);
    EXPECT_NEAR(m_tracker.m_fLongitude, 11.516667, 1e-5);
}

TEST_F(AssemblyTest, CarriageReturnStaysInLastField)
{
    m_tracker.BeginTick();
    Feed("$GPRMC,,,,,,,,,010203\r\n");
    EXPECT_EQ(m_tracker.m_nUpdateFlags, UPD_DATE);
    // A bare CR does not complete a line.
    m_tracker.BeginTick();
    Feed("$GPRMC,,,,,,,,,040506\r");
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 22);
}

TEST_F(AssemblyTest, BytesBeforeDollarFormALineThatIsIgnored)
{
    m_tracker.BeginTick();
    Feed(RMC_LINE + "garbage,RMC\n");
    EXPECT_EQ(m_tracker.m_nHour, 12);
    // Without its "$" the line is no sentence, whatever it holds.
    Feed("xGGA,081500\n");
    EXPECT_EQ(m_tracker.m_nHour, 12);
}

TEST_F(AssemblyTest, LineOf1023BytesBeforeLineFeedIsDecoded)
{
    m_tracker.BeginTick();
    Feed(RmcOfLength(GPS_LINE_SIZE - 1, 7) + "\n");
    EXPECT_EQ(m_tracker.m_nUpdateFlags, UPD_TIME);
    EXPECT_EQ(m_tracker.m_nHour, 7);
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 0);
}

TEST_F(AssemblyTest, LineOf1024BytesIsDroppedWithItsLineFeed)
{
    m_tracker.BeginTick();
    Feed(RmcOfLength(GPS_LINE_SIZE, 7) + "\n");
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 0);
    // The next line is whole again.
    Feed(RMC_LINE);
    EXPECT_EQ(m_tracker.m_nHour, 12);
}

TEST_F(AssemblyTest, OverflowLeavesATailThatIsIgnored)
{
    m_tracker.BeginTick();
    // The byte after 1024 is dropped with the buffer; the rest up to the line
    // feed is a line of its own without "$", which the decoder ignores.
    Feed(RmcOfLength(GPS_LINE_SIZE, 7) + ",xRMC,093000\r\n");
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_nHour, 0);
    // Far longer garbage without "$" never decodes anything.
    m_tracker.BeginTick();
    Feed(std::string(5000, 'R') + "MC\n");
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 0);
}

TEST_F(AssemblyTest, ByteByByteGivesSameRecordAsOneChunk)
{
    const std::string stream = "junk\n" + RMC_LINE + "$GPGGA,1235" + GGA_LINE + "$GPGSA,A,3,04,05,,09*38\r\n" +
                               "$GPGSV,3,1,10,03,41,050,46,07,60,317,49*72\r\n";
    CGpsTracker whole;
    whole.BeginTick();
    whole.AssembleBytes(stream.data(), stream.size(), m_nUtc);
    m_tracker.BeginTick();
    for (char ch : stream)
        m_tracker.AssembleBytes(&ch, 1, m_nUtc);
    EXPECT_EQ(m_tracker.m_nUpdateFlags, whole.m_nUpdateFlags);
    EXPECT_EQ(m_tracker.m_fLatitude, whole.m_fLatitude);
    EXPECT_EQ(m_tracker.m_fAltitude, whole.m_fAltitude);
    EXPECT_EQ(m_tracker.m_aSats[1].nAzimuth, 317);
    EXPECT_EQ(whole.m_aSats[1].nAzimuth, 317);
    EXPECT_EQ(m_tracker.m_aSats[3].nFixPrn, whole.m_aSats[3].nFixPrn);
}

}
