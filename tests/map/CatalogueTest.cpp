#include "gps/CGpsTracker.h"
#include "map/MapCatalogue.h"
#include "platform/DevicePaths.h"
#include "tests/common/TestSupport.h"
#include "tests/map/MapTestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Each test starts from an empty GPS folder on the temporary card.
class Catalogue : public ::testing::Test
{
protected:
    void SetUp() override { ClearFolder(); }
    void TearDown() override { ClearFolder(); }

    static void ClearFolder()
    {
        QDir folder(HostPath(GPS_FOLDER));
        folder.removeRecursively();
        QDir().mkpath(folder.path());
    }

    static CMapBitmap* AddMap(CMapList& maps, double dLonMin, double dLonMax, double dLatMin, double dLatMax)
    {
        maps.push_back(std::make_unique<CMapBitmap>());
        CMapBitmap* pMap = maps.back().get();
        pMap->m_lonMin = dLonMin;
        pMap->m_lonMax = dLonMax;
        pMap->m_latMin = dLatMin;
        pMap->m_latMax = dLatMax;
        return pMap;
    }

    // The tracker after a tick with the given position and update bits.
    const CGpsTracker& Fix(float fLongitude, float fLatitude, uint32_t nFlags = UPD_LATITUDE | UPD_LONGITUDE)
    {
        m_tracker.m_fLongitude = fLongitude;
        m_tracker.m_fLatitude = fLatitude;
        m_tracker.m_nUpdateFlags = nFlags;
        return m_tracker;
    }

    CGpsTracker m_tracker;
};

TEST_F(Catalogue, TakesCalibratedBitmapsOfTheCardFolder)
{
    for (const char* szName : {"X4G0M_6G0MY52G0M_53G0M.BMP", "X4G50M_5G0MY52G20M_52G25M.bmp",
                               "harbour.bmp", "X1G0M_2G0MY1G0M_2G0M.txt", "X3G0M_4G0MY1G0M_2G0M.Bmp"})
        ASSERT_TRUE(WriteFile(CardGpsPath(QString::fromUtf8(szName)), "BM"));
    ASSERT_TRUE(QDir().mkpath(CardGpsPath(QStringLiteral("X7G0M_8G0MY7G0M_8G0M.bmp"))));

    CMapList maps;
    maps.push_back(std::make_unique<CMapBitmap>());
    BuildMapCatalogue(maps);
    ASSERT_EQ(maps.size(), 3u);
    EXPECT_EQ(maps[0]->m_path, QStringLiteral("\\Storage card\\GPS\\X3G0M_4G0MY1G0M_2G0M.Bmp"));
    EXPECT_EQ(maps[1]->m_path, QStringLiteral("\\Storage card\\GPS\\X4G0M_6G0MY52G0M_53G0M.BMP"));
    EXPECT_EQ(maps[2]->m_path, QStringLiteral("\\Storage card\\GPS\\X4G50M_5G0MY52G20M_52G25M.bmp"));
    EXPECT_DOUBLE_EQ(maps[1]->m_lonMax, 6.0);
    for (const auto& pMap : maps)
        EXPECT_TRUE(pMap->m_bitmap.isNull());
}

TEST_F(Catalogue, MissingFolderGivesAnEmptyCatalogue)
{
    QDir(HostPath(GPS_FOLDER)).removeRecursively();
    CMapList maps;
    BuildMapCatalogue(maps);
    EXPECT_TRUE(maps.empty());
}

TEST_F(Catalogue, NarrowestMapHoldingThePositionWins)
{
    CMapList maps;
    CMapBitmap* pWide = AddMap(maps, 4.0, 6.0, 52.0, 53.0);
    CMapBitmap* pNarrow = AddMap(maps, 4.5, 5.0, 52.0, 53.0);
    CMapBitmap* pTwin = AddMap(maps, 4.6, 5.1, 52.0, 53.0);
    AddMap(maps, 4.9, 5.0, 50.0, 51.0);   // narrowest, but elsewhere

    EXPECT_EQ(FindMapForPosition(maps, Fix(4.8f, 52.5f)), pNarrow);   // equal spans: the earlier
    EXPECT_EQ(FindMapForPosition(maps, Fix(5.05f, 52.5f)), pTwin);
    EXPECT_EQ(FindMapForPosition(maps, Fix(4.2f, 52.5f)), pWide);
    EXPECT_EQ(FindMapForPosition(maps, Fix(7.0f, 52.5f)), nullptr);
}

TEST_F(Catalogue, EdgesAndTicksWithoutAFixFindNothing)
{
    CMapList maps;
    AddMap(maps, 4.0, 6.0, 52.0, 53.0);
    EXPECT_EQ(FindMapForPosition(maps, Fix(4.0f, 52.5f)), nullptr);
    EXPECT_EQ(FindMapForPosition(maps, Fix(5.0f, 53.0f)), nullptr);
    EXPECT_NE(FindMapForPosition(maps, Fix(5.0f, 52.5f)), nullptr);
    EXPECT_EQ(FindMapForPosition(maps, Fix(5.0f, 52.5f, UPD_LATITUDE)), nullptr);
    EXPECT_EQ(FindMapForPosition(maps, Fix(5.0f, 52.5f, UPD_LONGITUDE | UPD_SPEED)), nullptr);

    CMapList uncalibrated;
    AddMap(uncalibrated, 0, 0, 0, 0);
    EXPECT_EQ(FindMapForPosition(uncalibrated, Fix(0.0f, 0.0f)), nullptr);
}

TEST_F(Catalogue, ChosenMapIsAppendedAndAnUncalibratedNameReported)
{
    CMapList maps;
    AddMap(maps, 4.0, 6.0, 52.0, 53.0);
    COutcome calibration;

    CMapBitmap* pChosen = AddChosenMap(maps, QStringLiteral("/home/user/X4G50M_5G0MY52G20M_52G25M.bmp"), calibration);
    EXPECT_TRUE(calibration);
    ASSERT_EQ(maps.size(), 2u);
    EXPECT_EQ(maps.back().get(), pChosen);
    EXPECT_DOUBLE_EQ(pChosen->m_lonMax, 5.0);

    CMapBitmap* pPlain = AddChosenMap(maps, QStringLiteral("/home/user/harbour.bmp"), calibration);
    EXPECT_EQ(calibration.Message(), QStringLiteral("Weet niet waar dat is!"));
    ASSERT_EQ(maps.size(), 3u);
    EXPECT_EQ(maps.back().get(), pPlain);
    EXPECT_EQ(pPlain->m_lonMin, 0.0);
    EXPECT_EQ(pPlain->m_latMax, 0.0);
    EXPECT_EQ(pPlain->m_panX, 0);
    EXPECT_EQ(pPlain->m_panY, 0);

    // The same file chosen again is another record.
    AddChosenMap(maps, QStringLiteral("/home/user/harbour.bmp"), calibration);
    EXPECT_EQ(maps.size(), 4u);
}

}
