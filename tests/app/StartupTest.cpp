// Start-up and shut-down around the event loop, and the command line.
#include "app/CMainFrame.h"
#include "app/CTrackerApp.h"
#include "app/CommandLine.h"
#include "app/Resource.h"
#include "platform/DevicePaths.h"
#include "platform/gui/CDC.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStandardPaths>

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
    };
    const Case cases[] = {
        {{}, true, "", 0},
        {{"--port", "/dev/pts/4", "--baud", "4800"}, true, "/dev/pts/4", 4800},
        {{"--port=/tmp/gps", "--baud=9600"}, true, "/tmp/gps", 9600},
        {{"--baud", "0"}, false, "", 0},
        {{"--baud", "fast"}, false, "", 0},
        {{"--port"}, false, "", 0},
        {{"--port="}, false, "", 0},
        {{"COM4:"}, false, "", 0},
    };
    for (const Case& c : cases) {
        CStartupOptions options;
        QString strError;
        EXPECT_EQ(ParseCommandLine(c.args, options, strError), c.bOk) << c.args.join(' ').toStdString();
        EXPECT_EQ(strError.isEmpty(), c.bOk);
        if (c.bOk) {
            EXPECT_EQ(options.m_strPort, c.strPort);
            EXPECT_EQ(options.m_nBaudRate, c.nBaud);
        }
    }
    CStartupOptions options;
    QString strError;
    EXPECT_TRUE(ParseCommandLine({"--help"}, options, strError));
    EXPECT_TRUE(options.m_bHelp);
}

}
