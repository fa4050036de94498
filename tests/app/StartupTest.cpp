// Start-up and shut-down around the event loop, and the command line.
#include "app/CMainFrame.h"
#include "app/CTrackerApp.h"
#include "app/CommandLine.h"
#include "app/Resource.h"
#include "app/CSetupDlg.h"
#include "platform/DevicePaths.h"
#include "platform/SocketPort.h"
#include "platform/gui/CDC.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "track/TrackFormats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString GPS_NOT_FOUND = QStringLiteral("GPS not found!\n Please select correct port and baudrate.");

QString SettingsFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Korvane productions/veltrip.ini");
}

class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetApp();
        QFile::remove(SettingsFile());
        StartupOptions() = CStartupOptions();
    }
    void TearDown() override
    {
        StartupOptions() = CStartupOptions();
        ResetApp();
    }
};

TEST_F(StartupTest, MissingPortThenCancelEndsWithoutAWindow)
{
    StartupOptions().m_strPort = QStringLiteral("/nonexistent/veltrip-tty");
    CModalDriver driver;
    driver.Then(PressOk);        // the open's own message
    driver.Then([](QDialog* pBox) {
        EXPECT_EQ(pBox->windowTitle(), "veltrip");
        EXPECT_EQ(pBox->parentWidget(), nullptr);
        pBox->accept();
    });
    driver.Then(PressCancel);    // the setup dialog
    EXPECT_FALSE(theApp.InitInstance());
    ASSERT_EQ(driver.m_boxTexts.size(), 2);
    EXPECT_EQ(driver.m_boxTexts[1], GPS_NOT_FOUND);
    EXPECT_EQ(driver.m_nUnexpected, 0);
    ASSERT_NE(theApp.m_pMainWnd, nullptr);
    EXPECT_FALSE(theApp.m_pMainWnd->isVisible());
    EXPECT_EQ(theApp.ExitInstance(), 0);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    // Nothing was stored: the override is for this run only.
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(StartupTest, OkWithStillFailingSettingsAsksAgain)
{
    StartupOptions().m_strPort = QStringLiteral("/nonexistent/veltrip-tty");
    CModalDriver driver;
    driver.Then(PressOk);
    driver.Then(PressOk);
    driver.Then(PressOk);        // setup dialog, settings unchanged
    driver.Then(PressOk);
    driver.Then(PressOk);
    driver.Then(PressCancel);
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_EQ(driver.m_boxTexts.count(GPS_NOT_FOUND), 2);
    EXPECT_EQ(driver.m_nDialogs, 6);
    EXPECT_EQ(driver.m_nUnexpected, 0);
    theApp.ExitInstance();
}

// Started on a fresh account the card has no GPS folder yet: start-up makes
// it, so the first log can be written.
TEST_F(StartupTest, OpenPortShowsTheFrameAndExitEndsTheLog)
{
    CTestReceiver receiver;
    StartupOptions().m_strPort = receiver.m_pty.m_strDevice;
    StartupOptions().m_nBaudRate = 4800;
    theApp.m_trackPoints.resize(2);
    const QString strGps = HostPath(QStringLiteral("\\Storage card\\GPS"));
    ASSERT_TRUE(QDir(strGps).removeRecursively());
    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_TRUE(QDir(strGps).exists());
    auto* pFrame = qobject_cast<CMainFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(pFrame, nullptr);
    EXPECT_TRUE(pFrame->isVisible());
    EXPECT_EQ(pFrame->windowTitle(), "veltrip");
    EXPECT_EQ(pFrame->m_wndView.size(), QSize(240, 268));
    EXPECT_TRUE(theApp.m_trackPoints.empty());
    EXPECT_EQ(theApp.m_settings.m_nBaudRate, 4800);

    ASSERT_TRUE(theApp.m_recorder.StartLog());
    const QString strKml = HostPath(theApp.m_recorder.m_log.m_strLogBase + QStringLiteral(".kml"));
    QFile::remove(strKml);
    EXPECT_EQ(theApp.ExitInstance(), 0);
    EXPECT_EQ(theApp.m_recorder.m_log.m_hLogFile, nullptr);
    EXPECT_TRUE(QFile::exists(strKml)) << strKml.toStdString();
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

// Where start-up's search for a receiver looks, for one test; afterwards
// nowhere again, as for every test.
class CProbeScope
{
public:
    CProbeScope(const QByteArray& gpsd, const QByteArray& devices)
    {
        qputenv("VELTRIP_PROBE_GPSD", gpsd);
        qputenv("VELTRIP_PROBE_DEVICES", devices);
    }
    ~CProbeScope()
    {
        qputenv("VELTRIP_PROBE_GPSD", "");
        qputenv("VELTRIP_PROBE_DEVICES", "");
    }
    CProbeScope(const CProbeScope&) = delete;
    CProbeScope& operator=(const CProbeScope&) = delete;
};

// The receiver sends as a real one does, while start-up's event loops run.
class CSendingReceiver : public CTestReceiver
{
public:
    CSendingReceiver()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { SendFix(); });
        m_timer.start(200);
    }

private:
    QTimer m_timer;
};

// A first start: nothing stored, and the handheld's COM4: names no device.
// The receiver under a by-id name is found and used for the run without a
// message; GPS Setup shows it with its device, and its OK stores it.
TEST_F(StartupTest, FirstStartFindsTheReceiverUnderItsByIdName)
{
    QTemporaryDir byId;
    CSendingReceiver receiver;
    const QString strLink = byId.filePath(QStringLiteral("usb-u-blox_GNSS_receiver-if00"));
    ASSERT_TRUE(QFile::link(receiver.m_pty.m_strDevice, strLink));
    const CProbeScope probe("", QFile::encodeName(byId.path() + QStringLiteral("/*")));
    theApp.m_settings.m_strComPort = QStringLiteral("/nonexistent/COM4");
    SaveTrackerSettings(theApp.m_settings, false, false);

    CModalDriver driver;
    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_EQ(driver.m_nDialogs, 0) << driver.m_boxTexts.join(u'|').toStdString();
    EXPECT_EQ(theApp.m_settings.m_strComPort, strLink);
    EXPECT_EQ(theApp.m_settings.m_nBaudRate, 4800);
    EXPECT_TRUE(theApp.m_tracker.m_link.IsOpen());
    EXPECT_EQ(LoadTrackerSettings().m_strComPort, "/nonexistent/COM4") << "used for the run only";

    QString strShown;
    QString strTip;
    driver.Then([&](QDialog* pDialog) {
        const QComboBox& combo = qobject_cast<CSetupDlg*>(pDialog)->m_comboPort;
        strShown = combo.currentText();
        strTip = combo.toolTip();
        pDialog->accept();
    });
    CSetupDlg dlg(theApp.m_settings);
    ASSERT_EQ(theApp.RunSetupDialog(dlg), IDOK);
    EXPECT_EQ(strShown, strLink);
    EXPECT_EQ(strTip, strLink + QStringLiteral(" \u2192 ") + receiver.m_pty.m_strDevice);
    EXPECT_EQ(LoadTrackerSettings().m_strComPort, strLink);
    EXPECT_EQ(LoadTrackerSettings().m_nBaudRate, 4800);
    theApp.ExitInstance();
}

bool LoopbackPortFree(uint16_t nPort)
{
    const int hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(nPort);
    const bool bFree = bind(hSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(hSocket);
    return bFree;
}

// A gpsd that shares the receiver is asked first: on the standard port
// where that is free (the probe's own default), else on a free one given
// to the probe.
TEST_F(StartupTest, FirstStartFindsTheGpsd)
{
    const QString strGpsd = QStandardPaths::findExecutable(QStringLiteral("gpsd"), {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    if (strGpsd.isEmpty())
        GTEST_SKIP() << "gpsd is not installed (scripts/install-deps.sh installs it)";
    int nPort = GPSD_DEFAULT_PORT;
    if (!LoopbackPortFree(GPSD_DEFAULT_PORT)) {
        const int hListen = ListenOnLoopback(nPort);
        close(hListen);
    }
    const bool bStandard = nPort == GPSD_DEFAULT_PORT;
    const QString strPort = bStandard ? QStringLiteral("gpsd://localhost") : QStringLiteral("gpsd://127.0.0.1:%1").arg(nPort);
    QTemporaryDir dir;
    CSendingReceiver receiver;
    QProcess gpsd;
    gpsd.start(strGpsd, {"-N", "-n", "-S", QString::number(nPort), "-F", dir.filePath("gpsd.sock"), receiver.m_pty.m_strDevice});
    ASSERT_TRUE(gpsd.waitForStarted());
    // gpsd serves once it has heard its device for a moment.
    const NetworkPort address{NetworkPortKind::Gpsd, "127.0.0.1", uint16_t(nPort)};
    QElapsedTimer clock;
    clock.start();
    while (!CSocketPort::GpsdAnswers(address, 200) && clock.elapsed() < 15000)
        ProcessEvents();
    ASSERT_LT(clock.elapsed(), 15000) << gpsd.readAllStandardError().constData();
    std::unique_ptr<CProbeScope> probe = std::make_unique<CProbeScope>(QFile::encodeName(strPort), "");
    if (bStandard)
        qunsetenv("VELTRIP_PROBE_GPSD");

    CModalDriver driver;
    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_EQ(driver.m_nDialogs, 0) << driver.m_boxTexts.join(u'|').toStdString();
    EXPECT_EQ(theApp.m_settings.m_strComPort, strPort);
    EXPECT_EQ(theApp.m_settings.m_nBaudRate, 9600) << "the stored rate, which gpsd does not need";
    EXPECT_FALSE(QFile::exists(SettingsFile()));
    theApp.ExitInstance();
    gpsd.terminate();
    gpsd.waitForFinished(5000);
}

// Nothing answers: the open's own message, then the handheld's, then the
// dialog, as they always came.
TEST_F(StartupTest, NothingAnswersThenTheMessagesFollow)
{
    theApp.m_settings.m_strComPort = QStringLiteral("/nonexistent/stored-tty");
    SaveTrackerSettings(theApp.m_settings, false, false);
    CModalDriver driver;
    driver.Then(PressOk);
    driver.Then(PressOk);
    driver.Then(PressCancel);
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_EQ(driver.m_boxTexts, (QStringList{"Kan /nonexistent/stored-tty niet openen", GPS_NOT_FOUND}));
    EXPECT_EQ(driver.m_nUnexpected, 0);
    theApp.ExitInstance();
}

// "veltrip a.gpx b.gpd" opens both as File Open does, one segment each.
TEST_F(StartupTest, TracksNamedOnTheCommandLineOpenAtStart)
{
    QTemporaryDir dir;
    CTrackPointList points(3);
    for (size_t i = 0; i < points.size(); ++i) {
        points[i].m_fLatitude = 52.0f + 0.01f * float(i);
        points[i].m_fLongitude = 5.0f;
    }
    const QStringList paths = {dir.filePath("a.gpx"), dir.filePath("b.gpd")};
    for (const QString& strPath : paths)
        ASSERT_TRUE(WriteTrackFile(strPath, points, true));
    CTestReceiver receiver;
    StartupOptions().m_strPort = receiver.m_pty.m_strDevice;
    StartupOptions().m_trackPaths = paths;
    ASSERT_TRUE(theApp.InitInstance());
    EXPECT_EQ(theApp.m_trackPoints.size(), 6u);
    EXPECT_EQ(SegmentCount(theApp.m_trackPoints), 2u);
    auto* pFrame = qobject_cast<CMainFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(pFrame, nullptr);
    EXPECT_EQ(pFrame->m_wndView.ViewType(), EViewType::Track);
    theApp.ExitInstance();
}

TEST(FontTest, CellHeightsAreMet)
{
    theApp.CreateFonts();
    const std::pair<const QFont*, int> fonts[] = {
        {&theApp.m_fonts.m_fontSmall, 26}, {&theApp.m_fonts.m_fontMedium, 30}, {&theApp.m_fonts.m_fontLarge, 72}};
    for (const auto& [pFont, nHeight] : fonts) {
        const int nMeasured = QFontMetrics(*pFont).height();
        EXPECT_LE(nMeasured, nHeight);
        EXPECT_GE(nMeasured, nHeight - 2);
        EXPECT_EQ(pFont->weight(), QFont::DemiBold);
        EXPECT_FALSE(pFont->italic());
        // The face is chosen, not left to what the machine offers for a
        // name it does not have: one with the device's glyph widths.
        EXPECT_EQ(QFontInfo(*pFont).family(), "Liberation Sans");
        EXPECT_FALSE(QFontInfo(*pFont).italic());
    }
    EXPECT_EQ(QFontInfo(CDC::DefaultFont()).family(), "Liberation Sans");
    // "0" is 0.556 of the em in that face, as in Arial.
    const QFontMetrics small(theApp.m_fonts.m_fontSmall);
    EXPECT_NEAR(small.horizontalAdvance(QStringLiteral("0000000000")) / 10.0, 0.556 * theApp.m_fonts.m_fontSmall.pixelSize(), 0.6);
}

TEST(CommandLineTest, PortAndBaudForThisRun)
{
    struct Case
    {
        QStringList args;
        bool bOk;
        QString strPort;
        int nBaud;
        QStringList tracks;
    };
    const Case cases[] = {
        {{}, true, "", 0, {}},
        {{"--port", "/dev/pts/4", "--baud", "4800"}, true, "/dev/pts/4", 4800, {}},
        {{"--port=/tmp/gps", "--baud=9600"}, true, "/tmp/gps", 9600, {}},
        {{"--port", "auto"}, true, "auto", 0, {}},
        {{"--baud", "0"}, false, "", 0, {}},
        {{"--baud", "fast"}, false, "", 0, {}},
        {{"--port"}, false, "", 0, {}},
        {{"--port="}, false, "", 0, {}},
        {{"--bogus"}, false, "", 0, {}},
        {{"a.gpx", "--port", "/dev/ttyUSB0", "b.gpd"}, true, "/dev/ttyUSB0", 0, {"a.gpx", "b.gpd"}},
        {{"--", "--odd name.kml"}, true, "", 0, {"--odd name.kml"}},
    };
    for (const Case& c : cases) {
        CStartupOptions options;
        QString strError;
        EXPECT_EQ(ParseCommandLine(c.args, options, strError), c.bOk) << c.args.join(' ').toStdString();
        EXPECT_EQ(strError.isEmpty(), c.bOk);
        if (c.bOk) {
            EXPECT_EQ(options.m_strPort, c.strPort);
            EXPECT_EQ(options.m_nBaudRate, c.nBaud);
            EXPECT_EQ(options.m_trackPaths, c.tracks);
        }
    }
    CStartupOptions options;
    QString strError;
    EXPECT_TRUE(ParseCommandLine({"--help"}, options, strError));
    EXPECT_TRUE(options.m_bHelp);
}

}
