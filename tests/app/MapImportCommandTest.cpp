// Tools -> "Import map...": the chosen map is imported into the GPS folder
// behind a progress dialog and its sheets join the catalogue at once; Cancel
// leaves nothing behind.
#include "app/CTrackerApp.h"
#include "app/MapImportCommand.h"
#include "platform/DevicePaths.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"

#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Large enough that the import is still running when Cancel is pressed.
const CGeoGrid GRID_LARGE {4326, 4.5, 52.6, 0.0001, 3000, 3000};

QDir GpsFolder()
{
    return QDir(HostPath(QStringLiteral("\\Storage card\\GPS\\")));
}

QStringList GpsFolderEntries()
{
    return GpsFolder().entryList(QDir::Files | QDir::Hidden | QDir::System);
}

class MapImportCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetApp();
        for (const QString& strName : GpsFolderEntries())
            GpsFolder().remove(strName);
        m_strSource = m_dir.filePath(QStringLiteral("harbour.tif"));
        ASSERT_TRUE(WritePattern(m_strSource, "GTiff", GRID_LARGE, EPixels::Rgb));
        m_driver.Then([this](QDialog* pDialog) {
            auto* pFiles = qobject_cast<QFileDialog*>(pDialog);
            ASSERT_NE(pFiles, nullptr);
            pFiles->selectFile(m_strSource);
            pDialog->accept();
        });
    }
    void TearDown() override { ResetApp(); }

    QTemporaryDir m_dir;
    QString m_strSource;
    CModalDriver m_driver;
};

TEST_F(MapImportCommand, SheetsJoinTheCatalogueAtOnce)
{
    CMessageCapture capture;
    m_driver.Then([](QDialog* pDialog) { EXPECT_NE(qobject_cast<QProgressDialog*>(pDialog), nullptr); });
    ImportMapCommand(nullptr, theApp.m_mapList);
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
    const QStringList sheets = GpsFolderEntries();
    // 3000 x 3000 pixels of square degrees: 4922 rows square on the ground,
    // two sheets of at most 4096.
    ASSERT_EQ(sheets.size(), 2);
    ASSERT_EQ(theApp.m_mapList.size(), 2u);
    for (const auto& pMap : theApp.m_mapList) {
        EXPECT_TRUE(pMap->m_path.startsWith(QStringLiteral("\\Storage card\\GPS\\harbour_")));
        EXPECT_GT(pMap->m_lonMax, pMap->m_lonMin);
    }
}

TEST_F(MapImportCommand, CancelLeavesNoSheetBehind)
{
    CMessageCapture capture;
    m_driver.Then([](QDialog* pDialog) {
        auto* pProgress = qobject_cast<QProgressDialog*>(pDialog);
        ASSERT_NE(pProgress, nullptr);
        auto* pCancel = pProgress->findChild<QPushButton*>();
        ASSERT_NE(pCancel, nullptr);
        pCancel->click();
    });
    ImportMapCommand(nullptr, theApp.m_mapList);
    EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
    EXPECT_EQ(GpsFolderEntries(), QStringList());
    EXPECT_TRUE(theApp.m_mapList.empty());
}

}
