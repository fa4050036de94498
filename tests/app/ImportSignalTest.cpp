// SIGTERM or File -> Exit while Import map runs: the import is cancelled, so
// the command returns soon, leaving no sheet, and shut-down ends the log with
// its KML copy. (A binary of its own: the request to end lasts for the rest
// of the process, so the tests that send the signal come last.)
#include "app/CTrackerApp.h"
#include "app/ExitSignals.h"
#include "app/MapImportCommand.h"
#include "app/Resource.h"
#include "platform/DevicePaths.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

// Takes most of a second or more to import whole: a stop lands while it runs.
const CGeoGrid GRID_SLOW {4326, 4.5, 52.6, 0.0001, 4000, 4000};
constexpr qint64 IMPORT_STOP_MS = 5000;
// Long enough for any orderly end; a loop still running then has hung.
constexpr int EXIT_WATCHDOG_MS = 30000;

QDir CardGpsFolder()
{
    return QDir(HostPath(QStringLiteral("\\Storage card\\GPS\\")));
}

// The window as the program runs it: a log with points is open when the user
// starts an import from the menu, inside the application's event loop; how
// the loop is asked to end is the test's.
class ImportStopTest : public CFrameTestBase
{
protected:
    void SetUp() override
    {
        CFrameTestBase::SetUp();
        for (const QString& strName : CardGpsFolder().entryList(QDir::Files | QDir::Hidden | QDir::System))
            CardGpsFolder().remove(strName);
        m_strSource = m_dir.filePath(QStringLiteral("harbour.tif"));
        ASSERT_TRUE(WritePattern(m_strSource, "GTiff", GRID_SLOW, EPixels::Rgb));
        ASSERT_TRUE(theApp.m_tracker.OpenPort(m_receiver.m_pty.m_strDevice, 9600));
        ASSERT_TRUE(theApp.m_recorder.StartLog());
        for (int i = 0; i < 2; ++i) {
            m_receiver.SendFix();
            m_frame.OnTimer(TIMER_ID);
        }
        ASSERT_FALSE(theApp.m_trackPoints.empty());
        m_strLogBase = HostPath(theApp.m_recorder.m_log.m_strLogBase);
        m_frame.show();
        ProcessEvents();
    }

    // Runs the event loop with Import map chosen in it, stop called once the
    // import runs; then ends the log as shut-down does. Returns the time from
    // the stop to the log's end.
    qint64 ImportAndStop(const std::function<void()>& stop)
    {
        CModalDriver driver;
        driver.Then(ChooseFile(m_strSource));
        QElapsedTimer timer;
        driver.Then([&](QDialog* pDialog) {
            EXPECT_NE(qobject_cast<QProgressDialog*>(pDialog), nullptr);
            timer.start();
            stop();
        });
        QTimer::singleShot(0, &m_frame, [this] { m_frame.OnCommand(ID_IMPORT_MAP); });
        QTimer::singleShot(EXIT_WATCHDOG_MS, qApp, [] {
            ADD_FAILURE() << "the event loop did not end";
            QCoreApplication::exit(1);
        });
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_TRUE(theApp.m_recorder.EndLog());
        EXPECT_EQ(driver.m_nUnexpected, 0);
        return timer.isValid() ? timer.elapsed() : -1;
    }

    // The log and its whole KML copy, and nothing of the import.
    void ExpectLogEndedAndNoSheet()
    {
        const QString strKml = m_strLogBase + QStringLiteral(".kml");
        QFile kml(strKml);
        ASSERT_TRUE(kml.open(QIODevice::ReadOnly)) << strKml.toStdString();
        EXPECT_TRUE(kml.readAll().endsWith("</Document></kml>\n"));
        const QString strStem = QFileInfo(m_strLogBase).fileName();
        EXPECT_EQ(CardGpsFolder().entryList(QDir::Files | QDir::Hidden | QDir::System),
                  (QStringList{strStem + QStringLiteral(".gpd"), strStem + QStringLiteral(".kml")}));
        EXPECT_TRUE(theApp.m_mapList.empty());
    }

    CTestReceiver m_receiver;
    QTemporaryDir m_dir;
    QString m_strSource;
    QString m_strLogBase;
};

TEST_F(ImportStopTest, FileExitCancelsTheImportAndEndsTheLog)
{
    CMessageCapture capture;
    const qint64 nStopMs = ImportAndStop([this] { m_frame.OnCommand(ID_APP_EXIT); });
    EXPECT_GE(nStopMs, 0);
    EXPECT_LT(nStopMs, IMPORT_STOP_MS);
    EXPECT_FALSE(m_frame.isVisible());
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
    ExpectLogEndedAndNoSheet();
}

// The event loops told to end with every window still open.
TEST_F(ImportStopTest, ExitCancelsTheImportAndEndsTheLog)
{
    CMessageCapture capture;
    const qint64 nStopMs = ImportAndStop([] { QCoreApplication::exit(0); });
    EXPECT_GE(nStopMs, 0);
    EXPECT_LT(nStopMs, IMPORT_STOP_MS);
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
    ExpectLogEndedAndNoSheet();
}

TEST_F(ImportStopTest, TermCancelsTheImportAndEndsTheLog)
{
    InstallExitSignals();
    CMessageCapture capture;
    const qint64 nStopMs = ImportAndStop([] { std::raise(SIGTERM); });
    EXPECT_GE(nStopMs, 0);
    EXPECT_LT(nStopMs, IMPORT_STOP_MS);
    EXPECT_TRUE(ExitRequested());
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
    ExpectLogEndedAndNoSheet();
}

TEST(ImportSignalTest, TermCancelsARunningImport)
{
    ResetApp();
    InstallExitSignals();
    const QDir gps(HostPath(QStringLiteral("\\Storage card\\GPS\\")));
    QTemporaryDir dir;
    const QString strSource = dir.filePath(QStringLiteral("harbour.tif"));
    ASSERT_TRUE(WritePattern(strSource, "GTiff", GRID_SLOW, EPixels::Rgb));
    CModalDriver driver;
    driver.Then(ChooseFile(strSource));
    QElapsedTimer timer;
    driver.Then([&](QDialog* pDialog) {
        EXPECT_NE(qobject_cast<QProgressDialog*>(pDialog), nullptr);
        timer.start();
        std::raise(SIGTERM);
    });
    CMessageCapture capture;
    ImportMapCommand(nullptr, theApp.m_mapList);
    EXPECT_LT(timer.elapsed(), IMPORT_STOP_MS);
    EXPECT_TRUE(ExitRequested());
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
    EXPECT_EQ(gps.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    EXPECT_TRUE(theApp.m_mapList.empty());
    EXPECT_EQ(driver.m_nUnexpected, 0);
}

}
