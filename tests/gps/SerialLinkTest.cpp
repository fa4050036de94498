#include "gps/CGpsTracker.h"
#include "platform/SerialPort.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const std::string RMC_LINE = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const std::string GGA_LINE = "$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*48\r\n";

// A pseudo-terminal pair: the test writes to the master what a receiver would
// send; the tracker opens the slave as its serial port.
class CPseudoTerminal
{
public:
    CPseudoTerminal()
    {
        m_hMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_hMaster >= 0 && grantpt(m_hMaster) == 0 && unlockpt(m_hMaster) == 0)
            m_strSlave = QString::fromLocal8Bit(ptsname(m_hMaster));
    }
    ~CPseudoTerminal() { CloseMaster(); }
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    bool IsValid() const { return !m_strSlave.isEmpty(); }
    const QString& SlavePath() const { return m_strSlave; }

    void Send(const std::string& bytes)
    {
        ASSERT_EQ(write(m_hMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    void CloseMaster()
    {
        if (m_hMaster >= 0)
            close(m_hMaster);
        m_hMaster = -1;
    }

private:
    int m_hMaster = -1;
    QString m_strSlave;
};

class SerialLinkTest : public ::testing::Test
{
protected:
    int m_nUtc = 0;   // hours added to the receiver UTC

    void SetUp() override
    {
        if (!m_pty.IsValid())
            GTEST_SKIP() << "no pseudo-terminals on this machine";
    }

    void OpenSlave()
    {
        const COutcome opened = m_tracker.OpenPort(m_pty.SlavePath(), 9600);
        ASSERT_TRUE(opened) << opened.Message().toStdString();
    }

    // The pty shows written bytes to FIONREAD only after a moment.
    void WaitForBytes(int nCount)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_tracker.m_link.m_hPort->BytesWaiting() < nCount && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(m_tracker.m_link.m_hPort->BytesWaiting(), nCount);
    }

    void SendAndPoll(const std::string& bytes)
    {
        m_pty.Send(bytes);
        WaitForBytes(static_cast<int>(bytes.size()));
        m_tracker.PollPort(0);
    }

    CPseudoTerminal m_pty;
    CGpsTracker m_tracker;
};

TEST_F(SerialLinkTest, BytesFromTheDeviceComeOutDecoded)
{
    OpenSlave();
    SendAndPoll(RMC_LINE + GGA_LINE);
    EXPECT_EQ(m_tracker.m_nUpdateFlags, UPD_TIME | UPD_LATITUDE | UPD_LONGITUDE | UPD_SPEED | UPD_COURSE |
                                            UPD_DATE | UPD_HDOP | UPD_ALTITUDE);
    EXPECT_EQ(m_tracker.m_nHour, 12);
    EXPECT_NEAR(m_tracker.m_fLatitude, -48.1173, 1e-5);
    EXPECT_EQ(m_tracker.m_nSatsUsed, 8);
    EXPECT_EQ(m_tracker.m_link.m_hPort->BytesWaiting(), 0);
}

TEST_F(SerialLinkTest, SentenceSplitAcrossTwoPolls)
{
    OpenSlave();
    SendAndPoll(RMC_LINE.substr(0, 40));
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    SendAndPoll(RMC_LINE.substr(40));
    EXPECT_EQ(m_tracker.m_nUpdateFlags & UPD_DATE, UPD_DATE);
    EXPECT_EQ(m_tracker.m_nYear, 2094);
}

TEST_F(SerialLinkTest, DollarRestartAndOverflowOnTheWire)
{
    OpenSlave();
    SendAndPoll("$GPRMC,101010,A,4807" + std::string(3000, '7') + "\n" + "$GPGGA,111111,48" + GGA_LINE);
    EXPECT_EQ(m_tracker.m_nHour, 12);
    EXPECT_EQ(m_tracker.m_nUpdateFlags & UPD_SPEED, 0u);   // the long RMC never decoded
    EXPECT_EQ(m_tracker.m_nFixQuality, 1);
}

TEST_F(SerialLinkTest, ReopenEmptiesTheBuffer)
{
    OpenSlave();
    SendAndPoll("$GPRMC,101010,A,4807.038,N");
    EXPECT_GT(m_tracker.m_assembler.m_nLineLen, 0);
    // The same device again: the open port is closed first, so the exclusive
    // open succeeds.
    OpenSlave();
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 0);
    SendAndPoll(",01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n" + GGA_LINE);
    EXPECT_EQ(m_tracker.m_nUpdateFlags & UPD_SPEED, 0u);
    EXPECT_EQ(m_tracker.m_nHour, 12);
}

TEST_F(SerialLinkTest, SecondOpenerIsRefused)
{
    OpenSlave();
    CGpsTracker other;
    EXPECT_EQ(other.OpenPort(m_pty.SlavePath(), 9600).Message(),
              QStringLiteral("Kan %1 niet openen").arg(m_pty.SlavePath()));
    EXPECT_FALSE(other.m_link.m_hPort);
}

TEST_F(SerialLinkTest, RateWithoutConstantGoesThroughArbitraryRate)
{
    EXPECT_TRUE(m_tracker.OpenPort(m_pty.SlavePath(), 14400));
    EXPECT_TRUE(m_tracker.OpenPort(m_pty.SlavePath(), 4800));
    SendAndPoll(RMC_LINE);
    EXPECT_EQ(m_tracker.m_nYear, 2094);
}

TEST_F(SerialLinkTest, RefusedRateLeavesNoPort)
{
    OpenSlave();
    for (int nBaudRate : {0, -9600})
        EXPECT_EQ(m_tracker.OpenPort(m_pty.SlavePath(), nBaudRate).Message(), QStringLiteral("Kan de poort niet instellen"));
    EXPECT_FALSE(m_tracker.m_link.m_hPort);
}

TEST_F(SerialLinkTest, VanishedDeviceReadsNothingAndDoesNotBlock)
{
    OpenSlave();
    SendAndPoll("$GPRMC,101010");
    m_pty.CloseMaster();
    EXPECT_EQ(m_tracker.m_link.m_hPort->BytesWaiting(), -1);
    const int32_t nSecs = m_tracker.m_nSecsSinceLog;
    m_tracker.PollPort(0);
    m_tracker.PollPort(0);
    EXPECT_EQ(m_tracker.m_nSecsSinceLog, nSecs + 2);
    EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(m_tracker.m_assembler.m_nLineLen, 13);
}

TEST(SerialLinkFailures, MissingDeviceShowsNameAsTypedAndLeavesNoPort)
{
    CPseudoTerminal pty;
    CGpsTracker tracker;
    if (pty.IsValid()) {
        ASSERT_TRUE(tracker.OpenPort(pty.SlavePath(), 9600));
    }
    for (const QString& strName : {QStringLiteral("COM99:"), QStringLiteral("/dev/veltrip-no-such-device"), QString()}) {
        EXPECT_EQ(tracker.OpenPort(strName, 9600).Message(), QStringLiteral("Kan %1 niet openen").arg(strName));
        EXPECT_FALSE(tracker.m_link.m_hPort);
    }
}

TEST(SerialLinkFailures, DeviceWithoutLineSettings)
{
    CGpsTracker tracker;
    EXPECT_EQ(tracker.OpenPort(QStringLiteral("/dev/null"), 9600).Message(), QStringLiteral("Kan geen status opvragen"));
    EXPECT_FALSE(tracker.m_link.m_hPort);
}

TEST(SerialLinkFailures, NoPortStillCountsTicks)
{
    CGpsTracker tracker;
    tracker.m_nUpdateFlags = UPD_TIME;
    tracker.m_bRmcValid = 1;
    tracker.m_nFixQuality = 2;
    for (int i = 0; i < 3; ++i)
        tracker.PollPort(0);
    EXPECT_EQ(tracker.m_nSecsSinceLog, 3);
    EXPECT_EQ(tracker.m_nUpdateFlags, 0u);
    EXPECT_EQ(tracker.m_bRmcValid, 0);
    EXPECT_EQ(tracker.m_nFixQuality, 0);
}

}
