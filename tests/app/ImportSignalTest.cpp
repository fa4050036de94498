// SIGTERM while Import map runs: the import is cancelled, so the command
// returns soon, leaving no sheet, and shut-down can end the log. (A binary
// of its own: the request to end lasts for the rest of the process.)
#include "app/CTrackerApp.h"
#include "app/ExitSignals.h"
#include "app/MapImportCommand.h"
#include "platform/DevicePaths.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// Takes several seconds to import whole.
const CGeoGrid GRID_SLOW {4326, 4.5, 52.6, 0.0001, 4000, 4000};
constexpr qint64 IMPORT_STOP_MS = 5000;

TEST(ImportSignalTest, TermCancelsARunningImport)
{
    ResetApp();
    InstallExitSignals();
    const QDir gps(HostPath(QStringLiteral("\\Storage card\\GPS\\")));
    QTemporaryDir dir;
    const QString strSource = dir.filePath(QStringLiteral("harbour.tif"));
    ASSERT_TRUE(WritePattern(strSource, "GTiff", GRID_SLOW, EPixels::Rgb));
    CModalDriver driver;
    driver.Then([&](QDialog* pDialog) {
        auto* pFiles = qobject_cast<QFileDialog*>(pDialog);
        ASSERT_NE(pFiles, nullptr);
        pFiles->selectFile(strSource);
        pDialog->accept();
    });
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
