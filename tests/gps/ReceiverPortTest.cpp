// Network ports, the gpsd stream, the reopening of a lost port and the flood
// bound, in process: the test plays the receiver, the server and the user.
#include "gps/CGpsTracker.h"
#include "platform/GpsdStream.h"
#include "platform/ModemPort.h"
#include "platform/PortName.h"
#include "platform/ReceiverPort.h"
#include "platform/SocketPort.h"
#include "platform/UnixSocketPort.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <string>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const std::string RMC_LINE = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const std::string GGA_LINE = "$GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4D\r\n";

TEST(PortName, NetworkForms)
{
    struct Case
    {
        const char* szName;
        bool bNetwork;
        bool bValid;
        NetworkPortKind nKind;
        const char* szHost;
        uint16_t nPort;
    };
    const Case CASES[] = {
        {"gpsd://localhost", true, true, NetworkPortKind::Gpsd, "localhost", 2947},
        {"gpsd://", true, true, NetworkPortKind::Gpsd, "localhost", 2947},
        {"GPSD://10.0.0.2:3000", true, true, NetworkPortKind::Gpsd, "10.0.0.2", 3000},
        {"gpsd://:4000", true, true, NetworkPortKind::Gpsd, "localhost", 4000},
        {"tcp://192.168.1.20:10110", true, true, NetworkPortKind::Tcp, "192.168.1.20", 10110},
        {"tcp://[::1]:10110", true, true, NetworkPortKind::Tcp, "::1", 10110},
        {"gpsd://[fe80::1%eth0]", true, true, NetworkPortKind::Gpsd, "fe80::1%eth0", 2947},
        {"tcp://phone.local:5000", true, true, NetworkPortKind::Tcp, "phone.local", 5000},
        {"tcp://host", true, false, {}, "", 0},
        {"tcp://:5000", true, false, {}, "", 0},
        {"tcp://host:0", true, false, {}, "", 0},
        {"tcp://host:65536", true, false, {}, "", 0},
        {"tcp://host:12a", true, false, {}, "", 0},
        {"tcp://host:", true, false, {}, "", 0},
        {"tcp://ho st:1", true, false, {}, "", 0},
        {"tcp://host:1/path", true, false, {}, "", 0},
        {"tcp://[::1:5", true, false, {}, "", 0},
        {"tcp://[]:5", true, false, {}, "", 0},
        {"gpsd://[::1]x", true, false, {}, "", 0},
        {"COM4:", false, false, {}, "", 0},
        {"/dev/ttyUSB0", false, false, {}, "", 0},
        {"tcp:/host:1", false, false, {}, "", 0},
        {"", false, false, {}, "", 0},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.szName);
        EXPECT_EQ(IsNetworkPortName(QString::fromLatin1(c.szName)), c.bNetwork);
        const std::optional<NetworkPort> port = ParseNetworkPort(QString::fromLatin1(c.szName));
        ASSERT_EQ(port.has_value(), c.bValid);
        if (!port)
            continue;
        EXPECT_EQ(port->nKind, c.nKind);
        EXPECT_EQ(port->strHost, c.szHost);
        EXPECT_EQ(port->nPort, c.nPort);
    }
}

TEST(PortName, PhoneForms)
{
    struct Case
    {
        const char* szName;
        bool bModem;
        bool bUnix;
    };
    const Case CASES[] = {
        {"modem://", true, false},
        {"MODEM://2", true, false},
        {"modem://first", true, false},   // the modem port says what is wrong with it
        {"unix:/var/run/gnss-share.sock", false, true},
        {"UNIX:gnss.sock", false, true},
        {"modem:/", false, false},
        {"unixsocket", false, false},
        {"gpsd://localhost", false, false},
        {"/dev/ttyUSB0", false, false},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.szName);
        EXPECT_EQ(IsModemPortName(QString::fromLatin1(c.szName)), c.bModem);
        EXPECT_EQ(IsUnixSocketPortName(QString::fromLatin1(c.szName)), c.bUnix);
        EXPECT_FALSE(c.bModem && IsNetworkPortName(QString::fromLatin1(c.szName)));
    }
}

TEST(GpsdStream, OnlyNmeaLinesPassWhereverTheReadsSplitThem)
{
    const std::string stream =
        "{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n"
        "{\"class\":\"DEVICE\",\"path\":\"/dev/$GPRMC,1\"}\n"
        "$GPRMC,1*00\r\n"
        "!AIVDM,1,1,,A,13aG?P,0*11\r\n"
        "{\"class\":\"TPV\"}\n"
        "\n"
        "garbage $GPGGA,2\n"
        "$GPGGA,3\n";
    const std::string expected = "$GPRMC,1*00\r\n!AIVDM,1,1,,A,13aG?P,0*11\r\n$GPGGA,3\n";
    for (size_t nChunk : {size_t(1), size_t(2), size_t(7), stream.size()}) {
        CGpsdLineFilter filter;
        std::string kept;
        for (size_t i = 0; i < stream.size(); i += nChunk) {
            std::string part = stream.substr(i, nChunk);
            part.resize(filter.Filter(part.data(), part.size()));
            kept += part;
        }
        EXPECT_EQ(kept, expected) << "reads of " << nChunk;
    }
}

// A listening socket on a free port of 127.0.0.1.
class CTestServer
{
public:
    CTestServer()
    {
        m_hListen = ListenOnLoopback(m_nPort);
    }
    ~CTestServer()
    {
        Drop();
        close(m_hListen);
    }
    CTestServer(const CTestServer&) = delete;
    CTestServer& operator=(const CTestServer&) = delete;

    // Takes the waiting connection, if one came within a second.
    bool Accept()
    {
        struct pollfd pfd = {m_hListen, POLLIN, 0};
        if (poll(&pfd, 1, 1000) != 1)
            return false;
        Drop();
        m_hClient = accept4(m_hListen, nullptr, nullptr, SOCK_CLOEXEC);
        return m_hClient >= 0;
    }
    bool HasWaitingClient()
    {
        struct pollfd pfd = {m_hListen, POLLIN, 0};
        return poll(&pfd, 1, 0) == 1;
    }
    void Send(const std::string& bytes, int nFlags = 0)
    {
        ASSERT_EQ(send(m_hClient, bytes.data(), bytes.size(), MSG_NOSIGNAL | nFlags), ssize_t(bytes.size()));
    }
    std::string ReceiveLine()
    {
        std::string line;
        char ch = 0;
        while (line.find('\n') == std::string::npos && recv(m_hClient, &ch, 1, 0) == 1)
            line += ch;
        return line;
    }
    void Drop()
    {
        if (m_hClient >= 0)
            close(m_hClient);
        m_hClient = -1;
    }

    int m_nPort = 0;

private:
    int m_hListen = -1;
    int m_hClient = -1;
};

class ReceiverPortTest : public ::testing::Test
{
protected:
    int m_nUtc = 0;   // hours added to the receiver UTC

    // Polls until a tick decodes the bits, at most for a while.
    bool PollUntil(uint32_t nBits)
    {
        const auto deadline = SteadyClock::now() + 5s;
        while (SteadyClock::now() < deadline) {
            m_tracker.PollPort(0);
            if ((m_tracker.m_nUpdateFlags & nBits) == nBits)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    CGpsTracker m_tracker;
};

TEST_F(ReceiverPortTest, FailuresShowTheNameAsTyped)
{
    int nFree = 0;   // a port that was free a moment ago
    {
        const CTestServer server;
        nFree = server.m_nPort;
    }
    const QStringList names = {QStringLiteral("tcp://127.0.0.1:%1").arg(nFree), QStringLiteral("tcp://nonsense"),
                               QStringLiteral("gpsd://127.0.0.1:%1").arg(nFree),
                               QStringLiteral("tcp://[::1:10110")};
    for (const QString& strName : names) {
        const auto start = SteadyClock::now();
        const COutcome opened = m_tracker.OpenPort(strName, 9600);
        EXPECT_LT(SteadyClock::now() - start, 3s);
        EXPECT_EQ(opened.Message(), QStringLiteral("Kan %1 niet openen").arg(strName));
        EXPECT_FALSE(m_tracker.m_link.m_hPort);
    }
}

TEST_F(ReceiverPortTest, TcpStreamIsDecodedAndReconnectedQuietlyAfterThePeerCloses)
{
    CTestServer server;
    ASSERT_GT(server.m_nPort, 0);
    const QString strName = QStringLiteral("tcp://127.0.0.1:%1").arg(server.m_nPort);
    ASSERT_TRUE(m_tracker.OpenPort(strName, 0));   // the rate plays no part
    ASSERT_TRUE(server.Accept());
    server.Send(RMC_LINE.substr(0, 30));
    server.Send(RMC_LINE.substr(30));
    ASSERT_TRUE(PollUntil(UPD_LATITUDE | UPD_DATE));
    EXPECT_EQ(m_tracker.m_nYear, 2094);

    server.Drop();
    m_tracker.PollPort(0);
    EXPECT_FALSE(m_tracker.m_link.m_hPort);
    // Two quiet ticks, then the third tries again.
    m_tracker.PollPort(0);
    m_tracker.PollPort(0);
    EXPECT_FALSE(server.HasWaitingClient());
    m_tracker.PollPort(0);
    ASSERT_TRUE(server.Accept());
    server.Send(GGA_LINE);
    ASSERT_TRUE(PollUntil(UPD_ALTITUDE));
    EXPECT_EQ(m_tracker.m_nSecond, 20);
}

// Readable with a count of 0 is not closed: an urgent byte is readable yet
// left out of the count, as is data that arrives just after the count.
TEST_F(ReceiverPortTest, ASocketReadableWithNothingCountedStaysOpen)
{
    CTestServer server;
    ASSERT_GT(server.m_nPort, 0);
    ASSERT_TRUE(m_tracker.OpenPort(QStringLiteral("tcp://127.0.0.1:%1").arg(server.m_nPort), 0));
    ASSERT_TRUE(server.Accept());
    server.Send("!", MSG_OOB);
    std::this_thread::sleep_for(50ms);
    for (int i = 0; i < 4; ++i)
        m_tracker.PollPort(0);
    EXPECT_TRUE(m_tracker.m_link.m_hPort);
    server.Send(RMC_LINE);
    ASSERT_TRUE(PollUntil(UPD_LATITUDE | UPD_DATE));
    EXPECT_FALSE(server.HasWaitingClient());
}

// A resolver that goes silent, for this thread only: in a mount namespace of
// its own, /etc/hosts names the receiver until Silence, and /etc/resolv.conf
// points at a socket that takes every query and never answers.
class CSilentResolver
{
public:
    explicit CSilentResolver(const QTemporaryDir& dir)
    {
        struct sockaddr_in dns = {};
        dns.sin_family = AF_INET;
        dns.sin_port = htons(53);
        dns.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_hDns = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || bind(m_hDns, reinterpret_cast<struct sockaddr*>(&dns), sizeof dns) != 0)
            return;
        m_strEmpty = QFile::encodeName(dir.filePath(QStringLiteral("hosts-empty")));
        const QByteArray hosts = QFile::encodeName(dir.filePath(QStringLiteral("hosts")));
        const QByteArray resolv = QFile::encodeName(dir.filePath(QStringLiteral("resolv.conf")));
        m_bValid = WriteFile(hosts, "127.0.0.1 veltrip-receiver.test\n") && WriteFile(m_strEmpty, "")
                   && WriteFile(resolv, "nameserver 127.0.0.1\noptions timeout:5 attempts:1\n")
                   && Cover(hosts, "/etc/hosts") && Cover(resolv, "/etc/resolv.conf");
    }
    ~CSilentResolver()
    {
        for (auto it = m_covered.rbegin(); it != m_covered.rend(); ++it)
            umount2(*it, MNT_DETACH);
        close(m_hDns);
    }
    CSilentResolver(const CSilentResolver&) = delete;
    CSilentResolver& operator=(const CSilentResolver&) = delete;

    bool Silence() { return Cover(m_strEmpty, "/etc/hosts"); }

    bool m_bValid = false;

private:
    static bool WriteFile(const QByteArray& path, const QByteArray& text)
    {
        QFile file(QFile::decodeName(path));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
    bool Cover(const QByteArray& source, const char* szTarget)
    {
        if (mount(source.constData(), szTarget, nullptr, MS_BIND, nullptr) != 0)
            return false;
        m_covered.push_back(szTarget);
        return true;
    }

    int m_hDns = -1;
    std::vector<const char*> m_covered;   // in the order they were covered
    QByteArray m_strEmpty;
};

// A quiet reopen uses the addresses of the first open: a resolver that has
// gone silent holds no tick.
TEST_F(ReceiverPortTest, AQuietReopenNeverWaitsForTheResolver)
{
    QTemporaryDir dir;
    CSilentResolver resolver(dir);
    if (!resolver.m_bValid)
        GTEST_SKIP() << "needs a mount namespace and port 53 (root); silent-resolver test skipped";
    CTestServer server;
    ASSERT_GT(server.m_nPort, 0);
    ASSERT_TRUE(m_tracker.OpenPort(QStringLiteral("tcp://veltrip-receiver.test:%1").arg(server.m_nPort), 0));
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(resolver.Silence());

    server.Drop();
    for (int i = 0; i < 4; ++i) {
        const auto start = SteadyClock::now();
        m_tracker.PollPort(0);
        EXPECT_LT(SteadyClock::now() - start, 100ms) << "tick " << i;
    }
    ASSERT_TRUE(server.Accept());
    server.Send(RMC_LINE);
    ASSERT_TRUE(PollUntil(UPD_DATE));
}

TEST_F(ReceiverPortTest, GpsdIsAskedForNmeaAndItsJsonNeverReachesTheDecoder)
{
    CTestServer server;
    ASSERT_GT(server.m_nPort, 0);
    ASSERT_TRUE(m_tracker.OpenPort(QStringLiteral("gpsd://127.0.0.1:%1").arg(server.m_nPort), 9600));
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.ReceiveLine(), GPSD_WATCH_NMEA);
    // A JSON reply that carries sentence text of its own, split mid-line.
    server.Send("{\"class\":\"VERSION\"}\r\n{\"class\":\"DEVICE\",\"path\":\"x\\n$GPRMC,000000,A,0100.000,N,0");
    server.Send("0100.000,E,1,2,010100,,\"}\r\n" + RMC_LINE);
    ASSERT_TRUE(PollUntil(UPD_DATE));
    EXPECT_EQ(m_tracker.m_nYear, 2094);
    EXPECT_NEAR(m_tracker.m_fLatitude, 48.1173, 1e-4);
}

TEST(GpsdProbe, AnswersOnlyWhereAGpsdGreets)
{
    CTestServer server;
    ASSERT_GT(server.m_nPort, 0);
    const NetworkPort address{NetworkPortKind::Gpsd, "127.0.0.1", uint16_t(server.m_nPort)};
    std::thread greeter([&server] {
        if (server.Accept())
            server.Send("{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n");
    });
    EXPECT_TRUE(CSocketPort::GpsdAnswers(address, 1000));
    greeter.join();
    // A server that says something else, and one that says nothing.
    std::thread other([&server] {
        if (server.Accept())
            server.Send("$GPRMC,1\r\n");
    });
    EXPECT_FALSE(CSocketPort::GpsdAnswers(address, 1000));
    other.join();
    const auto start = SteadyClock::now();
    EXPECT_FALSE(CSocketPort::GpsdAnswers(address, 300));
    EXPECT_LT(SteadyClock::now() - start, 1s);
}

// A pseudo-terminal whose device is reached through a symlink, as a receiver
// on a stable name whose device node changes when it is plugged in again.
class CLinkedTerminal
{
public:
    explicit CLinkedTerminal(const QString& strLink)
    {
        m_hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_hMaster < 0 || grantpt(m_hMaster) != 0 || unlockpt(m_hMaster) != 0)
            return;
        QFile::remove(strLink);
        m_bValid = QFile::link(QString::fromLocal8Bit(ptsname(m_hMaster)), strLink);
    }
    ~CLinkedTerminal() { close(m_hMaster); }
    CLinkedTerminal(const CLinkedTerminal&) = delete;
    CLinkedTerminal& operator=(const CLinkedTerminal&) = delete;

    bool m_bValid = false;
    int m_hMaster = -1;
};

TEST_F(ReceiverPortTest, UnpluggedSerialDeviceIsReopenedWhenItComesBack)
{
    QTemporaryDir dir;
    const QString strLink = dir.filePath(QStringLiteral("gps"));
    auto pty = std::make_unique<CLinkedTerminal>(strLink);
    ASSERT_TRUE(pty->m_bValid);
    ASSERT_TRUE(m_tracker.OpenPort(strLink, 4800));
    ASSERT_EQ(write(pty->m_hMaster, RMC_LINE.data(), RMC_LINE.size()), ssize_t(RMC_LINE.size()));
    ASSERT_TRUE(PollUntil(UPD_DATE));

    pty.reset();   // unplugged: the device hangs up
    m_tracker.PollPort(0);
    EXPECT_FALSE(m_tracker.m_link.m_hPort);
    m_tracker.PollPort(0);   // still gone at the first retry: nothing, no message
    m_tracker.PollPort(0);
    m_tracker.PollPort(0);
    EXPECT_FALSE(m_tracker.m_link.m_hPort);

    pty = std::make_unique<CLinkedTerminal>(strLink);   // plugged in again, new device node
    ASSERT_TRUE(pty->m_bValid);
    m_tracker.PollPort(0);
    m_tracker.PollPort(0);
    EXPECT_FALSE(m_tracker.m_link.m_hPort);
    m_tracker.PollPort(0);
    ASSERT_TRUE(m_tracker.m_link.m_hPort);
    ASSERT_EQ(write(pty->m_hMaster, GGA_LINE.data(), GGA_LINE.size()), ssize_t(GGA_LINE.size()));
    ASSERT_TRUE(PollUntil(UPD_ALTITUDE));
    EXPECT_EQ(m_tracker.m_nSecond, 20);
}

TEST_F(ReceiverPortTest, OnlyAPortThatWasOpenIsReopened)
{
    QTemporaryDir dir;
    const QString strLink = dir.filePath(QStringLiteral("gps"));
    EXPECT_FALSE(m_tracker.OpenPort(strLink, 9600));
    CLinkedTerminal pty(strLink);
    ASSERT_TRUE(pty.m_bValid);
    for (int i = 0; i < 6; ++i)
        m_tracker.PollPort(0);
    EXPECT_FALSE(m_tracker.m_link.m_hPort);   // a failed open leaves no port, as before

    ASSERT_TRUE(m_tracker.OpenPort(strLink, 9600));
    m_tracker.ClosePort();
    for (int i = 0; i < 6; ++i)
        m_tracker.PollPort(0);
    EXPECT_FALSE(m_tracker.m_link.m_hPort);
}

// A source that never runs dry.
class CEndlessPort : public CReceiverPort
{
public:
    int BytesWaiting() override { return 1 << 20; }
    ptrdiff_t Read(char* pBuffer, size_t nMax) override
    {
        std::memset(pBuffer, 'x', nMax);
        m_nRead += nMax;
        return ptrdiff_t(nMax);
    }
    size_t m_nRead = 0;
};

TEST(FloodedPort, ATickTakesAtMostItsShareAndLeavesTheRest)
{
    CGpsTracker tracker;
    auto port = std::make_unique<CEndlessPort>();
    CEndlessPort* pPort = port.get();
    tracker.m_link.m_hPort = std::move(port);
    tracker.PollPort(0);
    EXPECT_EQ(pPort->m_nRead, GPS_TICK_BYTES);
    tracker.PollPort(0);
    EXPECT_EQ(pPort->m_nRead, 2 * GPS_TICK_BYTES);
}

TEST(FloodedPort, EveryTickReturnsPromptly)
{
    const int hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(hMaster, 0);
    ASSERT_EQ(grantpt(hMaster), 0);
    ASSERT_EQ(unlockpt(hMaster), 0);
    CGpsTracker tracker;
    ASSERT_TRUE(tracker.OpenPort(QString::fromLocal8Bit(ptsname(hMaster)), 115200));

    std::atomic<bool> bStop = false;
    std::atomic<size_t> nWritten = 0;
    std::thread flood([&] {
        std::mt19937 random(11);
        std::string block(64 * 1024, '\0');
        while (!bStop) {
            for (char& ch : block)
                ch = static_cast<char>(random());
            const ssize_t n = write(hMaster, block.data(), block.size());
            if (n > 0)
                nWritten += size_t(n);
        }
    });
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < 10; ++i) {
        const auto start = SteadyClock::now();
        tracker.PollPort(0);
        EXPECT_LT(SteadyClock::now() - start, 100ms) << "tick " << i;
        std::this_thread::sleep_for(20ms);
    }
    bStop = true;
    flood.join();
    EXPECT_GT(nWritten.load(), 0u);
    tracker.ClosePort();
    close(hMaster);
}

}
