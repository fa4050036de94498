// Tools -> "Import map...": the chosen map is imported into the GPS folder
// behind a progress dialog and its sheets join the catalogue at once; Cancel
// leaves nothing behind.
#include "app/CTrackerApp.h"
#include "app/MapImportCommand.h"
#include "app/Resource.h"
#include "platform/DevicePaths.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One sheet; the position lies in the middle of a block, so the sheet's
// pixel there has the block's colour whatever the resampling.
const CGeoGrid GRID_SMALL {4326, 4.5, 52.6, 0.0001, 600, 400};
constexpr int POSITION_X = 9 * GEORASTER_BLOCK + GEORASTER_BLOCK / 2;
constexpr int POSITION_Y = 6 * GEORASTER_BLOCK + GEORASTER_BLOCK / 2;

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
        m_driver.Then(ChooseFile(m_strSource));
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

// Through the window's menu: a sheet just imported is at hand for Load map,
// and the one shown is shown anew when it is imported again.
class ImportInTheWindow : public CFrameTestBase
{
protected:
    void SetUp() override
    {
        CFrameTestBase::SetUp();
        for (const QString& strName : GpsFolderEntries())
            GpsFolder().remove(strName);
        m_strSource = m_dir.filePath(QStringLiteral("harbour.tif"));
        double dLongitude = 0;
        double dLatitude = 0;
        GridPosition(GRID_SMALL, POSITION_X, POSITION_Y, dLongitude, dLatitude);
        CGpsTracker& tracker = theApp.m_tracker;
        tracker.m_fLongitude = float(dLongitude);
        tracker.m_fLatitude = float(dLatitude);
        tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
        m_frame.show();
        ProcessEvents();
    }

    void Import(EPixels ePixels)
    {
        ASSERT_TRUE(WritePattern(m_strSource, "GTiff", GRID_SMALL, ePixels));
        CModalDriver driver;
        driver.Then(ChooseFile(m_strSource));
        driver.Then([](QDialog* pDialog) { EXPECT_NE(qobject_cast<QProgressDialog*>(pDialog), nullptr); });
        CMessageCapture capture;
        EXPECT_TRUE(m_frame.OnCommand(ID_IMPORT_MAP));
        EXPECT_TRUE(capture.m_messages.isEmpty()) << capture.m_messages.join(u'|').toStdString();
        EXPECT_EQ(driver.m_nUnexpected, 0);
    }

    // The current map's pixel at the tracker's position.
    QRgb PixelAtPosition() const
    {
        const CMapBitmap& map = *m_frame.m_wndView.m_pMap;
        const CGpsTracker& tracker = theApp.m_tracker;
        const int x = int((tracker.m_fLongitude - map.m_lonMin) / map.m_lonPerPixel);
        const int y = int((map.m_latMax - tracker.m_fLatitude) / map.m_latPerPixel);
        return map.m_bitmap.pixel(x, y) & RGB_MASK;
    }

    static constexpr QRgb RGB_MASK = 0xffffff;
    QTemporaryDir m_dir;
    QString m_strSource;
};

TEST_F(ImportInTheWindow, LoadMapTakesTheNewSheetWithoutItsDialog)
{
    Import(EPixels::Rgb);
    ASSERT_EQ(theApp.m_mapList.size(), 1u);
    CModalDriver driver;
    EXPECT_TRUE(m_frame.OnCommand(ID_LOAD_MAP));
    EXPECT_EQ(driver.m_nDialogs, 0);
    const CMapBitmap* pMap = m_frame.m_wndView.m_pMap;
    ASSERT_EQ(pMap, theApp.m_mapList.front().get());
    EXPECT_TRUE(pMap->m_path.startsWith(QStringLiteral("\\Storage card\\GPS\\harbour_0_0_X")));
    ASSERT_NE(pMap->m_hDib, nullptr);
    EXPECT_EQ(m_frame.m_wndView.ViewType(), EViewType::Map);
    EXPECT_EQ(PixelAtPosition(), BlockColour(POSITION_X, POSITION_Y) & RGB_MASK);
}

TEST_F(ImportInTheWindow, TheShownSheetImportedAgainShowsItsNewPixels)
{
    Import(EPixels::Rgb);
    ASSERT_TRUE(m_frame.OnCommand(ID_LOAD_MAP));
    ASSERT_NE(m_frame.m_wndView.m_pMap, nullptr);
    const CMapBitmap* pShown = m_frame.m_wndView.m_pMap;
    m_frame.m_wndView.m_pMap->m_zoom = 2.0;
    const QRgb rgbBefore = PixelAtPosition();

    Import(EPixels::Grey);
    EXPECT_EQ(theApp.m_mapList.size(), 1u);
    ASSERT_EQ(m_frame.m_wndView.m_pMap, pShown);
    ASSERT_NE(pShown->m_hDib, nullptr);
    EXPECT_EQ(pShown->m_zoom, 2.0);
    EXPECT_NE(PixelAtPosition(), rgbBefore);
    EXPECT_EQ(PixelAtPosition(), BlockColour(POSITION_X, POSITION_Y, EPixels::Grey) & RGB_MASK);
}

}
