// veltrip-cli log against real sources: veltrip-sim on a pseudo-terminal,
// gpsd reading that terminal, a TCP server streaming a capture, and a flood.
// Every child runs on a free port or in a temporary folder and is killed and
// reaped when its test ends.
#include "gps/TrackerSettings.h"
#include "platform/SocketPort.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const QString CLI = QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli");
const QString SIM = QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-sim");

// The second of the sources that the tests play, and of log's ticks
// (VELTRIP_LOG_TICK_MS), where a test plays them five times faster: the
// same ticks, each with the same lines.
constexpr std::chrono::milliseconds FAST_SECOND = 200ms;

// A child process; killed and reaped if it is still running at the end.
class CChild
{
public:
    CChild() = default;
    ~CChild()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    // Standard output to hOut when given, else to strOutFile; standard error
    // to strErrFile.
    bool Start(const QStringList& args, const QString& strOutFile, const QString& strErrFile, int hOut = -1)
    {
        std::vector<QByteArray> bytes;
        for (const QString& strArg : args)
            bytes.push_back(QFile::encodeName(strArg));
        std::vector<char*> argv;
        for (QByteArray& arg : bytes)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const QByteArray out = QFile::encodeName(strOutFile);
        const QByteArray err = QFile::encodeName(strErrFile);
        if (hOut >= 0)
            posix_spawn_file_actions_adddup2(&actions, hOut, STDOUT_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int nError = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (nError != 0)
            m_pid = -1;
        return m_pid > 0;
    }

    void Signal(int nSignal)
    {
        if (m_pid > 0)
            kill(m_pid, nSignal);
    }

    // The exit code; -1 when it did not end in time or ended by a signal.
    int Wait(std::chrono::milliseconds timeout)
    {
        const auto deadline = SteadyClock::now() + timeout;
        while (m_pid > 0) {
            int nStatus = 0;
            const pid_t pid = waitpid(m_pid, &nStatus, WNOHANG);
            if (pid == m_pid) {
                m_pid = -1;
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
            }
            if (SteadyClock::now() >= deadline)
                return -1;
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    void Kill()
    {
        Signal(SIGKILL);
        Wait(5s);
    }

private:
    pid_t m_pid = -1;
};

// The terminal that `log` shows its status line on.
class CStatusTerminal
{
public:
    CStatusTerminal()
    {
        m_hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_hMaster >= 0 && grantpt(m_hMaster) == 0 && unlockpt(m_hMaster) == 0)
            m_hSlave = open(ptsname(m_hMaster), O_RDWR | O_NOCTTY);
    }
    ~CStatusTerminal()
    {
        close(m_hSlave);
        close(m_hMaster);
    }
    CStatusTerminal(const CStatusTerminal&) = delete;
    CStatusTerminal& operator=(const CStatusTerminal&) = delete;

    void Pump()
    {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(m_hMaster, buffer, sizeof buffer)) > 0)
            m_text.append(buffer, size_t(n));
    }

    // The status line shown last.
    std::string Status()
    {
        Pump();
        size_t nEnd = m_text.size();
        while (nEnd > 0) {
            const size_t nStart = m_text.rfind('\r', nEnd - 1);
            const size_t nFrom = nStart == std::string::npos ? 0 : nStart + 1;
            const std::string line = m_text.substr(nFrom, nEnd - nFrom);
            if (line.find("points stored") != std::string::npos && line.find(" sats ") != std::string::npos)
                return line;
            if (nStart == std::string::npos)
                break;
            nEnd = nStart;
        }
        return {};
    }

    bool WaitForStatus(const char* szPrefix, SteadyClock::time_point deadline)
    {
        while (SteadyClock::now() < deadline) {
            if (Status().rfind(szPrefix, 0) == 0)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return Status().rfind(szPrefix, 0) == 0;
    }

    int PointsShown()
    {
        const std::string status = Status();
        const size_t nSats = status.find(" sats ");
        return nSats == std::string::npos ? -1 : std::atoi(status.c_str() + nSats + 6);
    }

    int m_hMaster = -1;
    int m_hSlave = -1;
    std::string m_text;
};

int FreeTcpPort()
{
    const int hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nSize = sizeof addr;
    int nPort = 0;
    if (bind(hSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
        && getsockname(hSocket, reinterpret_cast<sockaddr*>(&addr), &nSize) == 0)
        nPort = ntohs(addr.sin_port);
    close(hSocket);
    return nPort;
}

template <typename Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    while (!predicate()) {
        if (SteadyClock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class CliLogTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Path(const char* szName) const { return m_dir.filePath(QString::fromLatin1(szName)); }

    // Starts veltrip-sim on a link and waits for the link to lead to its device.
    void StartSim(CChild& sim, const QString& strLink)
    {
        ASSERT_TRUE(sim.Start({SIM, QStringLiteral("--link"), strLink}, Path("sim.out"), Path("sim.err")));
        ASSERT_TRUE(WaitFor([&] { return QFileInfo(strLink).exists(); }, 5s));
    }

    // Runs log with the status line on a terminal.
    void StartLog(CChild& log, const QStringList& args)
    {
        ASSERT_TRUE(log.Start(QStringList{CLI, QStringLiteral("log"), QStringLiteral("--utc"), QStringLiteral("0")}
                                  + args,
                              QString(), Path("log.err"), m_terminal.m_hSlave));
    }

    QTemporaryDir m_dir;
    CStatusTerminal m_terminal;
};

TEST_F(CliLogTest, SimulatorKilledAndStartedAgainOnTheSameLink)
{
    const QString strLink = Path("gps");
    CChild sim;
    StartSim(sim, strLink);
    CChild log;
    StartLog(log, {QStringLiteral("--port"), strLink, QStringLiteral("--seconds"), QStringLiteral("40"), Path("out")});
    ASSERT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 5s)) << m_terminal.m_text;

    sim.Kill();   // unplugged, without a word: the link now leads nowhere
    ASSERT_TRUE(m_terminal.WaitForStatus("no fix", SteadyClock::now() + 3s)) << m_terminal.m_text;
    std::this_thread::sleep_for(2s);
    const int nBefore = m_terminal.PointsShown();

    CChild sim2;
    StartSim(sim2, strLink);
    EXPECT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 5s)) << m_terminal.m_text;
    EXPECT_TRUE(WaitFor([&] { return m_terminal.PointsShown() > nBefore; }, 10s)) << m_terminal.m_text;

    log.Signal(SIGINT);
    EXPECT_EQ(log.Wait(5s), 0);
    EXPECT_EQ(ReadAll(Path("log.err")), QByteArray());
    m_terminal.Pump();
    EXPECT_NE(m_terminal.m_text.find("points stored in " + Path("out").toStdString() + ".gpd"), std::string::npos);
    EXPECT_TRUE(QFileInfo(Path("out.kml")).size() > 0);
}

// --port auto: the simulator's terminal under a by-id name is found and
// recorded from; with nowhere to look, the run fails with the reason.
TEST_F(CliLogTest, AutoPortFindsTheReceiverUnderItsByIdName)
{
    ASSERT_TRUE(QDir().mkpath(Path("by-id")));
    const QString strLink = Path("by-id/usb-veltrip-sim-if00");
    CChild sim;
    StartSim(sim, strLink);
    setenv("VELTRIP_PROBE_DEVICES", qPrintable(Path("by-id") + QStringLiteral("/*")), 1);
    CChild log;
    const bool bStarted = log.Start({CLI, QStringLiteral("log"), QStringLiteral("--port"), QStringLiteral("auto"),
                                     QStringLiteral("--seconds"), QStringLiteral("6"), Path("out")},
                                    Path("log.out"), Path("log.err"));
    setenv("VELTRIP_PROBE_DEVICES", "", 1);
    ASSERT_TRUE(bStarted);
    EXPECT_EQ(log.Wait(20s), 0);
    EXPECT_EQ(ReadAll(Path("log.err")), QByteArray());
    const QList<QByteArray> lines = ReadAll(Path("log.out")).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "receiver found: " + strLink.toUtf8() + " at 4800 baud");
    EXPECT_GE(lines[1].left(lines[1].indexOf(' ')).toInt(), 1) << lines[1].constData();
    EXPECT_GT(QFileInfo(Path("out.gpd")).size(), 10);

    CChild nowhere;
    ASSERT_TRUE(nowhere.Start({CLI, QStringLiteral("log"), QStringLiteral("--port"), QStringLiteral("auto"), Path("none")},
                              Path("log.out"), Path("log.err")));
    EXPECT_EQ(nowhere.Wait(5s), 1);
    EXPECT_EQ(ReadAll(Path("log.err")),
              "veltrip-cli log: No GPS receiver found: no gpsd and no serial device to look at\n");
    EXPECT_FALSE(QFileInfo::exists(Path("none.gpd")));
}

TEST_F(CliLogTest, GpsdStoppedAndStartedAgain)
{
    const QString strGpsd = QStandardPaths::findExecutable(QStringLiteral("gpsd"), {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    if (strGpsd.isEmpty())
        GTEST_SKIP() << "gpsd is not installed (scripts/install-deps.sh installs it)";
    const QString strLink = Path("gps");
    CChild sim;
    StartSim(sim, strLink);
    const int nPort = FreeTcpPort();
    ASSERT_GT(nPort, 0);
    const QStringList gpsdArgs = {strGpsd, QStringLiteral("-N"), QStringLiteral("-n"), QStringLiteral("-S"),
                                  QString::number(nPort), QStringLiteral("-F"), Path("gpsd.sock"), strLink};
    auto gpsd = std::make_unique<CChild>();
    ASSERT_TRUE(gpsd->Start(gpsdArgs, Path("gpsd.out"), Path("gpsd.err")));
    const NetworkPort address{NetworkPortKind::Gpsd, "127.0.0.1", uint16_t(nPort)};
    ASSERT_TRUE(WaitFor([&] { return CSocketPort::GpsdAnswers(address, 1000); }, 15s)) << ReadAll(Path("gpsd.err")).constData();

    CChild log;
    StartLog(log, {QStringLiteral("--port"), QStringLiteral("gpsd://127.0.0.1:%1").arg(nPort), QStringLiteral("--seconds"),
                   QStringLiteral("40"), Path("out")});
    ASSERT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 8s)) << m_terminal.m_text;
    EXPECT_TRUE(WaitFor([&] { return m_terminal.PointsShown() > 0; }, 5s));

    gpsd->Signal(SIGTERM);
    EXPECT_GE(gpsd->Wait(5s), 0);
    ASSERT_TRUE(m_terminal.WaitForStatus("no fix", SteadyClock::now() + 3s)) << m_terminal.m_text;
    std::this_thread::sleep_for(2s);

    gpsd = std::make_unique<CChild>();
    ASSERT_TRUE(gpsd->Start(gpsdArgs, Path("gpsd.out"), Path("gpsd.err")));
    // gpsd listens at once but serves only after probing its device for a
    // few seconds; it is back when it greets a client.
    ASSERT_TRUE(WaitFor([&] { return CSocketPort::GpsdAnswers(address, 1000); }, 15s)) << ReadAll(Path("gpsd.err")).constData();
    EXPECT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 5s)) << m_terminal.m_text;

    log.Signal(SIGTERM);
    EXPECT_EQ(log.Wait(5s), 0);
    EXPECT_EQ(ReadAll(Path("log.err")), QByteArray());
    EXPECT_GT(QFileInfo(Path("out.gpd")).size(), 10);
    EXPECT_TRUE(QFileInfo(Path("out.kml")).exists());
}

// Serves each client of a listening socket in turn, on a thread of its own,
// and then closes the connection (the peer goes away; log connects again).
class CStreamServer
{
public:
    // What a client gets: its socket and its number, from 1; the server's
    // end is asked for by bStop.
    using ServeClient = std::function<void(int hClient, int nClient, const std::atomic<bool>& bStop)>;

    CStreamServer(int hListen, ServeClient serve)
        : m_hListen(hListen)
        , m_serve(std::move(serve))
        , m_thread([this] { Serve(); })
    {
    }
    ~CStreamServer()
    {
        m_bStop = true;
        m_thread.join();
        close(m_hListen);
    }
    CStreamServer(const CStreamServer&) = delete;
    CStreamServer& operator=(const CStreamServer&) = delete;

    std::atomic<int> m_nClients = 0;

private:
    void Serve()
    {
        while (!m_bStop && m_hListen >= 0) {
            const int hClient = AcceptClient(m_hListen, 50);
            if (hClient < 0)
                continue;
            m_serve(hClient, ++m_nClients, m_bStop);
            close(hClient);
        }
    }

    int m_hListen;
    ServeClient m_serve;
    std::atomic<bool> m_bStop = false;
    std::thread m_thread;
};

// A capture to each client, some lines every twentieth of a fast second.
CStreamServer::ServeClient SendCapture(QByteArray capture)
{
    return [capture = std::move(capture)](int hClient, int, const std::atomic<bool>& bStop) {
        constexpr qsizetype CAPTURE_LINES_PER_SEND = 20;
        const QList<QByteArray> lines = capture.split('\n');
        for (qsizetype i = 0; i < lines.size() && !bStop; i += CAPTURE_LINES_PER_SEND) {
            QByteArray chunk;
            for (qsizetype j = i; j < std::min(i + CAPTURE_LINES_PER_SEND, lines.size()); ++j)
                chunk += lines[j] + '\n';
            if (send(hClient, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL) < 0)
                break;
            std::this_thread::sleep_for(FAST_SECOND / 20);
        }
    };
}

TEST_F(CliLogTest, TcpStreamOfACapture)
{
    VELTRIP_REQUIRE_CORPUS();
    // A receiver on the move, so that its turns store points.
    int nPort = 0;
    CStreamServer server(ListenOnLoopback(nPort), SendCapture(ReadAll(CorpusDir() + QStringLiteral("/nmea/quectel-eg25-g.log"))));
    ASSERT_GT(nPort, 0);
    CChild log;
    qputenv("VELTRIP_LOG_TICK_MS", QByteArray::number(qint64(FAST_SECOND.count())));
    const bool bStarted = log.Start({CLI, QStringLiteral("log"), QStringLiteral("--port"),
                                     QStringLiteral("tcp://127.0.0.1:%1").arg(nPort), QStringLiteral("--seconds"),
                                     QStringLiteral("9"), QStringLiteral("--max-dilution"), QStringLiteral("500"), Path("out")},
                                    Path("log.out"), Path("log.err"));
    qunsetenv("VELTRIP_LOG_TICK_MS");
    ASSERT_TRUE(bStarted);
    EXPECT_EQ(log.Wait(15s), 0);
    const QByteArray out = ReadAll(Path("log.out"));
    EXPECT_EQ(ReadAll(Path("log.err")), QByteArray());
    const int nPoints = out.left(out.indexOf(' ')).toInt();
    EXPECT_GE(nPoints, 2) << out.constData();
    EXPECT_GE(server.m_nClients.load(), 2);   // connected again after the server closed
    EXPECT_GT(QFileInfo(Path("out.gpd")).size(), 10 + 27 * 2);
}

// A terminal flooded with noise: log still keeps its ticks, a second each
// unless VELTRIP_LOG_TICK_MS gives their length, and --seconds counts them.
TEST_F(CliLogTest, FloodedTerminalEndsCleanly)
{
    const struct
    {
        const char* szTickMs;   // null: unset
        std::chrono::milliseconds minElapsed;
        std::chrono::milliseconds maxElapsed;
    } CASES[] = {
        {nullptr, 3s, 5s},
        {"100", 300ms, 2s},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szTickMs ? c.szTickMs : "unset");
        const int hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(hMaster, 0);
        ASSERT_EQ(grantpt(hMaster), 0);
        ASSERT_EQ(unlockpt(hMaster), 0);
        const QString strDevice = QString::fromLocal8Bit(ptsname(hMaster));
        std::atomic<bool> bStop = false;
        std::thread flood([&] {
            std::mt19937 random(3);
            std::string block(64 * 1024, '\0');
            while (!bStop) {
                for (char& ch : block)
                    ch = static_cast<char>(random());
                if (write(hMaster, block.data(), block.size()) < 0)
                    std::this_thread::sleep_for(1ms);
            }
        });
        if (c.szTickMs)
            qputenv("VELTRIP_LOG_TICK_MS", c.szTickMs);
        CChild log;
        const auto start = SteadyClock::now();
        const size_t nTextBefore = m_terminal.m_text.size();
        StartLog(log, {QStringLiteral("--port"), strDevice, QStringLiteral("--seconds"), QStringLiteral("3")});
        qunsetenv("VELTRIP_LOG_TICK_MS");
        const int nExit = log.Wait(10s);
        const auto elapsed = SteadyClock::now() - start;
        bStop = true;
        flood.join();
        close(hMaster);
        EXPECT_EQ(nExit, 0);
        EXPECT_GE(elapsed, c.minElapsed);
        EXPECT_LT(elapsed, c.maxElapsed);
        m_terminal.Pump();
        // One status line per tick: 3 ticks, each done long before the next.
        size_t nStatus = 0;
        for (size_t n = m_terminal.m_text.find(" sats ", nTextBefore); n != std::string::npos;
             n = m_terminal.m_text.find(" sats ", n + 1))
            ++nStatus;
        EXPECT_EQ(nStatus, 3u) << m_terminal.m_text;
    }
}

TEST_F(CliLogTest, ArgumentsExitCodesAndTheStoredSettings)
{
    struct Case
    {
        QStringList args;
        int nExit;
        const char* szError;
    };
    const Case CASES[] = {
        {{"--seconds", "0"}, 2, "--seconds takes a whole number"},
        {{"--baud", "fast"}, 2, "--baud takes a whole number"},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"a", "b"}, 2, "unexpected argument b"},
        {{"--port"}, 2, "--port needs P"},
        {{"--port", "/dev/veltrip-none", "--seconds", "1"}, 1, "Kan /dev/veltrip-none niet openen"},
        {{"--port", "tcp://127.0.0.1", "--seconds", "1"}, 1, "Kan tcp://127.0.0.1 niet openen"},
        {{"--port", "unix:/nonexistent/veltrip.sock", "--seconds", "1"},
         1,
         "Kan unix:/nonexistent/veltrip.sock niet openen: No such file or directory"},
        {{"--port", "modem://first", "--seconds", "1"}, 1, "a modem port is modem:// or modem://N"},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        CChild log;
        ASSERT_TRUE(log.Start(QStringList{CLI, QStringLiteral("log")} + c.args, Path("out"), Path("err")));
        EXPECT_EQ(log.Wait(10s), c.nExit);
        EXPECT_TRUE(ReadAll(Path("err")).contains(c.szError)) << ReadAll(Path("err")).constData();
    }

    // Without --port and OUTBASE: the stored port, and the dated log on the
    // storage card; a stop signal ends it with its KML copy.
    const QString strLink = Path("gps");
    CChild sim;
    StartSim(sim, strLink);
    CTrackerSettings stored;
    stored.m_strComPort = strLink;
    SaveTrackerSettings(stored, false, false);
    CChild log;
    StartLog(log, {});
    ASSERT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 5s)) << m_terminal.m_text;
    ASSERT_TRUE(WaitFor([&] { return m_terminal.PointsShown() > 0; }, 5s));
    log.Signal(SIGTERM);
    EXPECT_EQ(log.Wait(5s), 0);
    const QDir gpsFolder(QString::fromLocal8Bit(qgetenv("VELTRIP_STORAGE_CARD")) + QStringLiteral("/GPS"));
    EXPECT_EQ(gpsFolder.entryList({QStringLiteral("GPSLog_*.gpd")}).size(), 1);
    EXPECT_EQ(gpsFolder.entryList({QStringLiteral("GPSLog_*.kml")}).size(), 1);
}

// A phone's receiver: a capture sent one fix a second, half a second after
// the port asked for it, so that each fix falls into a tick of its own as
// in `record`; at the fast pace.

constexpr int PHONE_FIXES_FROM = 300;   // lines of the capture: a receiver on the move
constexpr int PHONE_FIXES_TO = 520;
const QString PHONE_SECONDS = QStringLiteral("14");   // the 12 fixes and the ticks around them

// The capture's part and its fixes (the lines up to an RMC each).
QByteArray PhoneCapture()
{
    const QList<QByteArray> lines = ReadAll(CorpusDir() + QStringLiteral("/nmea/quectel-eg25-g.log")).split('\n');
    QByteArray capture;
    for (int i = PHONE_FIXES_FROM - 1; i < std::min<int>(PHONE_FIXES_TO, int(lines.size())); ++i)
        capture += lines[i] + '\n';
    return capture;
}

QList<QByteArray> PhoneFixes(const QByteArray& capture)
{
    QList<QByteArray> fixes(1);
    for (const QByteArray& line : capture.split('\n')) {
        if (!line.startsWith('$'))
            continue;
        fixes.last() += line + '\n';
        if (line.mid(3, 3) == "RMC")
            fixes.append(QByteArray());
    }
    return fixes;
}

// A listening Unix socket at the path; -1 on failure.
int ListenOnUnixSocket(const QString& strPath)
{
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(strPath);
    if (size_t(path.size()) >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int hListen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bind(hListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(hListen, 4) != 0) {
        close(hListen);
        return -1;
    }
    return hListen;
}

// gnss-share's side: the first client is closed at once (a server
// restarting), the next gets the fixes, one a second.
CStreamServer::ServeClient SendFixesAfterARestart(QList<QByteArray> fixes)
{
    return [fixes = std::move(fixes)](int hClient, int nClient, const std::atomic<bool>& bStop) {
        if (nClient == 1)
            return;
        std::this_thread::sleep_for(FAST_SECOND / 2);
        for (qsizetype i = 0; i < fixes.size() && !bStop; ++i) {
            if (send(hClient, fixes[i].constData(), size_t(fixes[i].size()), MSG_NOSIGNAL) < 0)
                break;
            std::this_thread::sleep_for(FAST_SECOND);
        }
    };
}

// The capture's part in a file, and runs of log and record on it.
class PhoneLogTest : public CliLogTest
{
protected:
    void SetUp() override
    {
        CliLogTest::SetUp();
        VELTRIP_REQUIRE_CORPUS();
        qputenv("VELTRIP_LOG_TICK_MS", QByteArray::number(qint64(FAST_SECOND.count())));
        QFile capture(Path("capture.nmea"));
        ASSERT_TRUE(capture.open(QIODevice::WriteOnly));
        capture.write(PhoneCapture());
    }

    void TearDown() override { qunsetenv("VELTRIP_LOG_TICK_MS"); }

    // Runs log on the port; the exit code, standard error in strErr.
    int RunLog(const QString& strPort, const QString& strSeconds, QString& strErr)
    {
        CChild log;
        if (!log.Start({CLI, QStringLiteral("log"), QStringLiteral("--port"), strPort, QStringLiteral("--seconds"), strSeconds,
                        QStringLiteral("--max-dilution"), QStringLiteral("500"), QStringLiteral("--utc"), QStringLiteral("0"),
                        Path("out")},
                       Path("log.out"), Path("log.err")))
            return -1;
        const int nExit = log.Wait(30s);
        strErr = QString::fromLocal8Bit(ReadAll(Path("log.err")));
        return nExit;
    }

    // The log that `record` makes of the same capture.
    QByteArray RecordedLog()
    {
        CChild record;
        if (!record.Start({CLI, QStringLiteral("record"), QStringLiteral("--max-dilution"), QStringLiteral("500"),
                           QStringLiteral("--utc"), QStringLiteral("0"), Path("capture.nmea"), Path("recorded")},
                          Path("record.out"), Path("record.err"))
            || record.Wait(30s) != 0)
            return QByteArray();
        return ReadAll(Path("recorded.gpd"));
    }
};

// A private bus standing in for the system bus, and on it, when asked for,
// the ModemManager stand-in (python3-dbusmock with the template beside this
// file), which logs the calls it gets.
class ModemLogTest : public PhoneLogTest
{
protected:
    void SetUp() override
    {
        PhoneLogTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        const QString strDaemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        CChild check;
        if (strDaemon.isEmpty() || !check.Start({PYTHON, QStringLiteral("-c"), QStringLiteral("import dbusmock")},
                                                 Path("check.out"), Path("check.err"))
            || check.Wait(30s) != 0)
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed (scripts/install-deps.sh installs them)";
        QFile config(Path("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                    "<busconfig><type>system</type><listen>unix:path=%1</listen>"
                                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                         .arg(Path("bus"))
                         .toUtf8());
        config.close();
        ASSERT_TRUE(m_bus.Start({strDaemon, QStringLiteral("--nofork"), QStringLiteral("--config-file"), Path("bus.conf")},
                                Path("bus.out"), Path("bus.err")));
        ASSERT_TRUE(WaitFor([&] { return QFileInfo(Path("bus")).exists(); }, 10s)) << ReadAll(Path("bus.err")).constData();
        m_bHadBus = qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS");
        m_oldBus = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", QByteArray("unix:path=") + QFile::encodeName(Path("bus")));
    }

    void TearDown() override
    {
        m_modemManager.Kill();
        m_bus.Kill();
        PhoneLogTest::TearDown();
        if (m_bHadBus)
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_oldBus);
        else
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    void StartModemManager(const QString& strParameters)
    {
        QFile::remove(Path("mm.log"));
        const QString strJson = QStringLiteral("{\"capture\": \"%1\", \"second_ms\": %2, %3}")
                                    .arg(Path("capture.nmea"))
                                    .arg(FAST_SECOND.count())
                                    .arg(strParameters);
        ASSERT_TRUE(m_modemManager.Start({PYTHON, QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                                          QStringLiteral(VELTRIP_SOURCE_DIR "/tests/gps/modemmanager_stand_in.py"),
                                          QStringLiteral("-l"), Path("mm.log"), QStringLiteral("-p"), strJson},
                                         Path("mm.out"), Path("mm.err")));
        ASSERT_TRUE(WaitFor([&] { return ReadAll(Path("mm.log")).contains(" ready\n"); }, 20s))
            << ReadAll(Path("mm.err")).constData();
    }

    // The calls of a method the stand-in got, their arguments one string each
    // (Setup: "sources signals").
    QStringList Calls(const QByteArray& method)
    {
        QStringList calls;
        const QByteArray key = ' ' + method + ' ';
        for (const QByteArray& line : ReadAll(Path("mm.log")).split('\n')) {
            const qsizetype nAt = line.indexOf(key);
            if (nAt >= 0)
                calls.append(QString::fromLatin1(line.mid(nAt + key.size())));
        }
        return calls;
    }

    static inline const QString PYTHON = QStringLiteral("/usr/bin/python3");
    CChild m_bus;
    CChild m_modemManager;
    bool m_bHadBus = false;
    QByteArray m_oldBus;
};

TEST_F(ModemLogTest, ModemStoresTheCapturesPointsAndGivesTheSourceBack)
{
    const QByteArray recorded = RecordedLog();
    ASSERT_GT(recorded.size(), 10 + 27 * 2);
    // Modem 0 has no GPS: the first with one is modem 1, its other source kept.
    // Its GPS sends a fix every 30 s until asked for one a second.
    StartModemManager(QStringLiteral("\"modems\": [{\"index\": 0, \"capabilities\": 1},"
                                     " {\"index\": 1, \"capabilities\": 5, \"enabled\": 1}]"));
    for (const QString& strPort : {QStringLiteral("modem://"), QStringLiteral("modem://1")}) {
        SCOPED_TRACE(strPort.toStdString());
        QString strErr;
        EXPECT_EQ(RunLog(strPort, PHONE_SECONDS, strErr), 0) << strErr.toStdString();
        EXPECT_EQ(strErr, QString());
        EXPECT_EQ(ReadAll(Path("out.gpd")), recorded);
        EXPECT_EQ(Calls("Setup"), (QStringList{"5 True", "1 False"}));
        EXPECT_EQ(Calls("SetGpsRefreshRate"), (QStringList{"1", "30"}));
        QFile::remove(Path("out.gpd"));
        QFile::remove(Path("out.kml"));
        // The stand-in sends its capture once; the next run gets it anew.
        m_modemManager.Kill();
        StartModemManager(QStringLiteral("\"modems\": [{\"index\": 0, \"capabilities\": 1},"
                                         " {\"index\": 1, \"capabilities\": 5, \"enabled\": 1}]"));
    }
}

TEST_F(ModemLogTest, ModemManagerStoppedAndStartedAgain)
{
    const QString strModems = QStringLiteral("\"modems\": [{\"index\": 0, \"capabilities\": 7}]");
    StartModemManager(strModems);
    CChild log;
    // Ended by the signal: the seconds only bound a run that hangs.
    StartLog(log, {QStringLiteral("--port"), QStringLiteral("modem://"), QStringLiteral("--seconds"), QStringLiteral("150"),
                   QStringLiteral("--max-dilution"), QStringLiteral("500"), Path("out")});
    ASSERT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 8s)) << m_terminal.m_text;

    m_modemManager.Kill();   // gone without giving the source back
    ASSERT_TRUE(m_terminal.WaitForStatus("no fix", SteadyClock::now() + 3s)) << m_terminal.m_text;
    std::this_thread::sleep_for(2 * FAST_SECOND);
    StartModemManager(strModems);
    // Found again by the quiet reopen, and asked for its GPS anew.
    EXPECT_TRUE(m_terminal.WaitForStatus("fix ", SteadyClock::now() + 8s)) << m_terminal.m_text;
    log.Signal(SIGTERM);
    EXPECT_EQ(log.Wait(5s), 0);
    EXPECT_EQ(ReadAll(Path("log.err")), QByteArray());
    EXPECT_EQ(Calls("Setup"), (QStringList{"4 True", "0 False"}));
    EXPECT_EQ(Calls("SetGpsRefreshRate"), (QStringList{"1", "30"}));
    EXPECT_GT(QFileInfo(Path("out.gpd")).size(), 10 + 27);
}

TEST_F(ModemLogTest, ModemFailuresSayWhy)
{
    struct Case
    {
        const char* szModems;   // null: no ModemManager on the bus
        const char* szPort;
        const char* szError;
    };
    const Case CASES[] = {
        {nullptr, "modem://", "Kan modem:// niet openen: ModemManager is not running"},
        {"\"modems\": []", "modem://", "Kan modem:// niet openen: no modem with a GPS"},
        {"\"modems\": [{\"index\": 0, \"capabilities\": 1}]", "modem://0", "modem 0 has no GPS"},
        {"\"modems\": [{\"index\": 0, \"capabilities\": 5}]", "modem://7", "there is no modem 7"},
        {"\"modems\": [{\"index\": 0, \"capabilities\": 5}], \"deny\": true", "modem://0",
         "Kan modem://0 niet openen: access denied"},
    };
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.szPort);
        if (c.szModems)
            StartModemManager(QString::fromLatin1(c.szModems));
        QString strErr;
        EXPECT_EQ(RunLog(QString::fromLatin1(c.szPort), QStringLiteral("1"), strErr), 1);
        EXPECT_TRUE(strErr.contains(QLatin1StringView(c.szError))) << strErr.toStdString();
        m_modemManager.Kill();
    }
    // No system bus at all.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", QByteArray("unix:path=") + QFile::encodeName(Path("no-bus")));
    QString strErr;
    EXPECT_EQ(RunLog(QStringLiteral("modem://"), QStringLiteral("1"), strErr), 1);
    EXPECT_TRUE(strErr.contains(QLatin1StringView("Kan modem:// niet openen: no D-Bus system bus"))) << strErr.toStdString();
}

TEST_F(PhoneLogTest, UnixSocketStoresTheCapturesPointsAfterAQuietReopen)
{
    const QByteArray recorded = RecordedLog();
    ASSERT_GT(recorded.size(), 10 + 27 * 2);
    const QString strSocket = Path("gnss.sock");
    const int hListen = ListenOnUnixSocket(strSocket);
    ASSERT_GE(hListen, 0);
    CStreamServer server(hListen, SendFixesAfterARestart(PhoneFixes(ReadAll(Path("capture.nmea")))));
    QString strErr;
    // The server's restart costs the reopen's three ticks.
    EXPECT_EQ(RunLog(QStringLiteral("unix:") + strSocket, QStringLiteral("17"), strErr), 0) << strErr.toStdString();
    EXPECT_EQ(strErr, QString());
    EXPECT_EQ(server.m_nClients.load(), 2);
    EXPECT_EQ(ReadAll(Path("out.gpd")), recorded);
}

}
