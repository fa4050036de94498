// veltrip and veltrip-sim as a user runs them, on a virtual X display: a log
// with points appears, the window paints, and SIGTERM ends the log with its
// KML copy.
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

namespace {


// A child process that is killed if the test ends early.
class CChild : public QProcess
{
public:
    ~CChild() override
    {
        if (state() != QProcess::NotRunning) {
            kill();
            waitForFinished(2000);
        }
    }
};

bool WaitFor(const std::function<bool()>& fnDone, int nMilliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!fnDone()) {
        if (clock.elapsed() > nMilliseconds)
            return false;
        QThread::msleep(100);
    }
    return true;
}

QFileInfoList Logs(const QString& strFolder, const QString& strPattern)
{
    return QDir(strFolder).entryInfoList({strPattern}, QDir::Files, QDir::Name);
}

// The X screen, from the XWD dump that Xvfb keeps in a file: 0xRRGGBB pixels
// row by row (a 24-bit screen is kept in 32 bits); empty when there is none.
struct CScreen
{
    int nWidth = 0;
    int nHeight = 0;
    std::vector<quint32> pixels;

    quint32 At(int x, int y) const { return pixels[size_t(y) * size_t(nWidth) + size_t(x)]; }
};

CScreen ScreenOf(const QString& strScreenFile)
{
    const QByteArray xwd = [&] {
        QFile file(strScreenFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    CScreen screen;
    if (xwd.size() < 100)
        return screen;
    auto field = [&](int n) { return qFromBigEndian<quint32>(xwd.constData() + 4 * n); };
    const int nWidth = int(field(4));
    const int nHeight = int(field(5));
    const qsizetype nLine = qsizetype(field(12));
    const qsizetype nPixels = qsizetype(field(0) + field(19) * 12);
    if (field(11) != 32 || nLine < qsizetype(nWidth) * 4 || nPixels + nLine * nHeight > xwd.size())
        return screen;
    screen.nWidth = nWidth;
    screen.nHeight = nHeight;
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x)
            screen.pixels.push_back(qFromLittleEndian<quint32>(xwd.constData() + nPixels + nLine * y + 4 * x) & 0x00FFFFFF);
    }
    return screen;
}

// Pixels of the X screen that are not the black root window.
int LitPixels(const QString& strScreenFile)
{
    const CScreen screen = ScreenOf(strScreenFile);
    return int(std::count_if(screen.pixels.begin(), screen.pixels.end(), [](quint32 rgb) { return rgb != 0; }));
}

// veltrip on a virtual X display, fed by veltrip-sim, in a folder of its own
// (storage card, settings, runtime folder); Xvfb keeps its screen in a file.
// The children end before the folder goes.
class CVirtualDisplayRun
{
public:
    // Starts Xvfb with a screen of strScreen ("480x400x24") and the
    // simulator; the problem, or empty when both run.
    std::string Start(const QString& strScreen)
    {
        const QString strXvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (strXvfb.isEmpty())
            return "Xvfb is not installed (Debian: apt-get install xvfb)";
        if (!m_dir.isValid() || !QDir().mkpath(GpsFolder()) || !QDir().mkpath(m_dir.filePath("run")))
            return "no temporary folder";
        QFile::setPermissions(m_dir.filePath("run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_xvfb.start(strXvfb, {"-displayfd", "1", "-screen", "0", strScreen, "-fbdir", m_dir.path(), "-nolisten",
                               "tcp", "-br"});
        if (!m_xvfb.waitForReadyRead(10000))
            return "Xvfb did not start";
        m_strDisplay = ":" + QString::fromLatin1(m_xvfb.readAllStandardOutput()).trimmed();
        m_sim.start(BuildDir() + "/tools/veltrip-sim", {"--link", Link()});
        if (!m_sim.waitForReadyRead(5000))
            return "veltrip-sim did not start";
        return std::string();
    }

    // Starts veltrip on the display with the simulator as its receiver.
    void StartApp(const QStringList& extraArgs = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_strDisplay);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        env.insert("VELTRIP_STORAGE_CARD", m_dir.filePath("card"));
        env.remove("QT_SCALE_FACTOR");
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        m_app.setProcessEnvironment(env);
        m_app.start(BuildDir() + "/app/veltrip", QStringList{"--port", Link(), "--baud", "9600"} + extraArgs);
    }

    QString GpsFolder() const { return m_dir.filePath("card/GPS"); }
    QString Link() const { return m_dir.filePath("gps"); }
    QString ScreenFile() const { return m_dir.filePath("Xvfb_screen0"); }
    QString SettingsFile() const { return m_dir.filePath("config/Korvane productions/veltrip.ini"); }

    QTemporaryDir m_dir;
    CChild m_xvfb;
    CChild m_sim;
    CChild m_app;
    QString m_strDisplay;
};

TEST(EndToEndTest, RecordsOnAVirtualDisplayAndEndsTheLogOnSigterm)
{
    CVirtualDisplayRun run;
    const std::string strProblem = run.Start(QStringLiteral("480x400x24"));
    if (!strProblem.empty())
        GTEST_SKIP() << strProblem << "; end-to-end run skipped";
    EXPECT_TRUE(run.m_sim.readLine().startsWith("/dev/pts/"));
    const QString strGps = run.GpsFolder();
    CChild& app = run.m_app;
    run.StartApp();
    ASSERT_TRUE(app.waitForStarted(5000));

    // The built-in route turns from the start, so a point is stored every
    // second once the fix is there.
    const bool bLogged = WaitFor(
        [&] {
            const QFileInfoList logs = Logs(strGps, "GPSLog_*.gpd");
            return !logs.isEmpty() && logs.first().size() >= 10 + 3 * 28;
        },
        12000);
    ASSERT_TRUE(bLogged) << "no log with points; veltrip said: " << app.readAllStandardError().toStdString();
    EXPECT_EQ(app.state(), QProcess::Running);
    EXPECT_GT(LitPixels(run.ScreenFile()), 20000) << "the window did not paint";

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();

    const QFileInfoList gpd = Logs(strGps, "GPSLog_*.gpd");
    const QFileInfoList kml = Logs(strGps, "GPSLog_*.kml");
    ASSERT_EQ(gpd.size(), 1);
    ASSERT_EQ(kml.size(), 1);
    EXPECT_EQ(kml.first().completeBaseName(), gpd.first().completeBaseName());
    EXPECT_EQ((gpd.first().size() - 10) % 28, 0);
    EXPECT_GT(kml.first().size(), 200);
}


// A recording killed without a chance to end its log (a crash, a power
// loss) gets its KML copy when veltrip starts the next time.
TEST(EndToEndTest, KilledRecordingGetsItsKmlAtTheNextStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strGps = dir.filePath("card/GPS");
    ASSERT_TRUE(QDir().mkpath(strGps));
    const QString strLink = dir.filePath("gps");
    CChild sim;
    sim.start(BuildDir() + "/tools/veltrip-sim", {"--link", strLink});
    ASSERT_TRUE(sim.waitForReadyRead(5000)) << "veltrip-sim did not start";

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("VELTRIP_STORAGE_CARD", dir.filePath("card"));
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    const QStringList args = {"--port", strLink, "--baud", "9600"};
    {
        CChild app;
        app.setProcessEnvironment(env);
        app.start(BuildDir() + "/app/veltrip", args);
        const bool bLogged = WaitFor(
            [&] {
                const QFileInfoList logs = Logs(strGps, "GPSLog_*.gpd");
                return !logs.isEmpty() && logs.first().size() >= 10 + 2 * 28;
            },
            12000);
        ASSERT_TRUE(bLogged) << app.readAllStandardError().toStdString();
        ::kill(pid_t(app.processId()), SIGKILL);
        ASSERT_TRUE(app.waitForFinished(10000));
    }
    const QFileInfoList killed = Logs(strGps, "GPSLog_*.gpd");
    ASSERT_EQ(killed.size(), 1);
    EXPECT_TRUE(Logs(strGps, "GPSLog_*.kml").isEmpty());
    const QString strKml = strGps + "/" + killed.first().completeBaseName() + ".kml";

    CChild again;
    again.setProcessEnvironment(env);
    again.start(BuildDir() + "/app/veltrip", args);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(strKml); }, 10000))
        << again.readAllStandardError().toStdString();
    ::kill(pid_t(again.processId()), SIGTERM);
    ASSERT_TRUE(again.waitForFinished(10000));
    QFile kml(strKml);
    ASSERT_TRUE(kml.open(QIODevice::ReadOnly));
    const QByteArray text = kml.readAll();
    EXPECT_TRUE(text.endsWith("</Document></kml>\n"));
    // One coordinate line per whole record of the killed log.
    const qint64 nRecords = (killed.first().size() - 10) / 28;
    const QRegularExpression coordinate(QStringLiteral("^-?[0-9.]+,-?[0-9.]+,-?[0-9.]+$"),
                                        QRegularExpression::MultilineOption);
    EXPECT_EQ(QString::fromLatin1(text).count(coordinate), nRecords);
}

// View, "Zoom", "Fit window" on a phone's 720 x 1440 screen: the real window
// on a virtual display draws the handheld's layout three times larger (720
// is 3 x 240), centred from top to bottom with white above and below; the
// screenshot shows ink across the width, not in a corner.
TEST(EndToEndTest, FitWindowCentresTheLayoutOnAPhoneScreen)
{
    CVirtualDisplayRun run;
    const std::string strProblem = run.Start(QStringLiteral("800x1500x24"));
    if (!strProblem.empty())
        GTEST_SKIP() << strProblem << "; the screenshot is skipped";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(run.SettingsFile()).path()));
    QFile ini(run.SettingsFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\nZoom=0\n");
    ini.close();
    CChild& app = run.m_app;
    run.StartApp({"-geometry", "720x1440+0+0"});
    ASSERT_TRUE(app.waitForStarted(5000));

    // Ink: whatever the view draws on its white, texts in every colour and the dial.
    constexpr int SHOT_WIDTH = 720;
    constexpr int SHOT_SOFT_KEYS = 80;   // the soft keys' bar at the bottom, and then some
    // (1440 - 804) / 2 rows above and below the layout, less the soft keys' share.
    constexpr int SHOT_MARGIN = 250;
    QRect ink;
    bool bWhiteMargins = false;
    const auto look = [&] {
        const CScreen screen = ScreenOf(run.ScreenFile());
        if (screen.nWidth < SHOT_WIDTH || screen.nHeight < 1440)
            return false;
        ink = QRect();
        bWhiteMargins = true;
        for (int y = 0; y < 1440; ++y) {
            for (int x = 0; x < SHOT_WIDTH; ++x) {
                const quint32 rgb = screen.At(x, y);
                if (y < SHOT_MARGIN || y >= 1440 - SHOT_MARGIN)
                    bWhiteMargins = bWhiteMargins && (y >= 1440 - SHOT_SOFT_KEYS || rgb == 0xFFFFFF);
                else if (rgb != 0xFFFFFF)
                    ink |= QRect(x, y, 1, 1);
            }
        }
        return bWhiteMargins && ink.width() > 690;
    };
    EXPECT_TRUE(WaitFor(look, 15000)) << "ink " << ink.x() << "," << ink.y() << " " << ink.width() << "x"
                                      << ink.height() << "; veltrip said: " << app.readAllStandardError().toStdString();
    EXPECT_TRUE(bWhiteMargins) << "the bands above and below the layout are not plain white";
    EXPECT_GT(ink.height(), 600) << "the layout is not three times as tall";
    ::kill(pid_t(app.processId()), SIGTERM);
    EXPECT_TRUE(app.waitForFinished(10000));
}

}

namespace {

// --help and --version answer before Qt looks for a display; the help names
// every kind of port, each on a line of its own.
TEST(EndToEndTest, HelpAndVersionNeedNoDisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* szName : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(szName));
    const QStringList portKinds = {"COMn:", "DEVICE", "gpsd://HOST[:PORT]", "tcp://HOST:PORT", "modem://[N]",
                                   "unix:PATH", "auto"};
    struct Case
    {
        QStringList args;
        int nExit;
        const char* szFirstLine;
        bool bHelp;
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: veltrip [--port PORT] [--baud N] [TRACK...]", true},
        {{"-h"}, 0, "usage: veltrip [--port PORT] [--baud N] [TRACK...]", true},
        {{"--port", "auto", "--help"}, 0, "usage: veltrip [--port PORT] [--baud N] [TRACK...]", true},
        {{"--version"}, 0, "veltrip 1.0", false},
        {{}, 1, "", false},
    };
    for (const Case& c : cases) {
        QProcess app;
        app.setProcessEnvironment(environment);
        app.start(BuildDir() + "/app/veltrip", c.args);
        ASSERT_TRUE(app.waitForFinished(10000));
        const QString strArgs = c.args.join(u' ');
        EXPECT_EQ(app.exitCode(), c.nExit) << strArgs.toStdString();
        const QStringList lines = QString::fromUtf8(app.readAllStandardOutput()).split(u'\n');
        EXPECT_EQ(lines.first(), QString::fromLatin1(c.szFirstLine)) << strArgs.toStdString();
        if (c.nExit != 0) {
            EXPECT_TRUE(app.readAllStandardError().contains("no display")) << strArgs.toStdString();
        }
        if (!c.bHelp)
            continue;
        for (const QString& strKind : portKinds) {
            const qsizetype nLines = std::count_if(lines.begin(), lines.end(), [&strKind](const QString& strLine) {
                return strLine.trimmed().startsWith(strKind + u' ');
            });
            EXPECT_EQ(nLines, 1) << strKind.toStdString();
        }
    }
}

}
