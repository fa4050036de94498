#include "map/CMapBitmap.h"
#include "platform/DevicePaths.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct CEdges
{
    double dLonMin, dLonMax, dLatMin, dLatMax;
};

struct CCalibrationCase
{
    const char* szPath;
    bool bCalibrated;
    CEdges edges;
};

constexpr double LON_A = 4 + 50.0 / 60;
constexpr double LAT_A = 52 + 20.0 / 60;
constexpr double LAT_B = 52 + 25.0 / 60;

const CCalibrationCase CALIBRATION_CASES[] = {
    // Both corner orders, in either pair, give the same map.
    {"\\Storage card\\GPS\\X4G50M_5G0MY52G20M_52G25M.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    {"\\Storage card\\GPS\\X5G0M_4G50MY52G25M_52G20M.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    {"\\Storage card\\GPS\\X4G50M_5G0MY52G25M_52G20M.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    // West and south carry the sign on the degrees alone.
    {"X-1G0M_-1G30MY52G20M_52G25M.bmp", true, {-1.5, -1.0, LAT_A, LAT_B}},
    {"X-5G30M_-0G30MY-10G0M_-9G15M.bmp", true, {-5.5, 0.5, -10.0, -9.25}},
    // Seconds form.
    {"X4G50M0S_5G0M30SY52G20M0S_52G25M15S.bmp", true,
     {LON_A, 5 + 30.0 / 3600, LAT_A, LAT_B + 15.0 / 3600}},
    // Any upper-case S after the X selects the seconds form, which stops at
    // the first "_" here: only the first longitude is read.
    {"X4G50M_5G0MY52G20M_52G25M_Sea.bmp", true, {0.0, LON_A, 0.0, 0.0}},
    // An S before the X does not count.
    {"/maps/Sea/X4G50M_5G0MY52G20M_52G25M.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    // A lower-case x starts nothing.
    {"\\Storage card\\GPS\\x4G50M_5G0MY52G20M_52G25M.bmp", false, {0, 0, 0, 0}},
    {"\\Storage card\\GPS\\harbour.bmp", false, {0, 0, 0, 0}},
    // On the card the first upper-case X of the whole name counts,
    // directories included.
    {"\\Storage card\\X4G50M_5G0MY52G20M_52G25M\\chart.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    {"\\Storage card\\Xtra\\X4G50M_5G0MY52G20M_52G25M.bmp", true, {0, 0, 0, 0}},
    // Elsewhere the handheld knew the file by its name alone: the host's
    // folders, a home such as /home/Xena included, play no part.
    {"/maps/X4G50M_5G0MY52G20M_52G25M/chart.bmp", false, {0, 0, 0, 0}},
    {"/home/Xena/maps/X4G50M_5G0MY52G20M_52G25M.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    {"/home/Xena/maps/harbour.bmp", false, {0, 0, 0, 0}},
    // scanf rules: white space before a number and a plus sign are accepted,
    // what follows the last field is ignored, a mismatch stops reading.
    {"X 4G50M_+5G0MY52G20M_52G25M.BMP", true, {LON_A, 5.0, LAT_A, LAT_B}},
    {"X4G50M_5G0MY52G20M_52G25Mxyz.bmp", true, {LON_A, 5.0, LAT_A, LAT_B}},
    {"X4G50M_5G0M_Y52G20M_52G25M.bmp", true, {LON_A, 5.0, 0, 0}},
    {"X4G", true, {0, 4.0, 0, 0}},
    {"X-G5M", true, {0, 0, 0, 0}},
};

TEST(Calibration, ReadsEdgesFromTheName)
{
    for (const CCalibrationCase& c : CALIBRATION_CASES) {
        SCOPED_TRACE(c.szPath);
        CMapBitmap map;
        map.m_lonMin = map.m_lonMax = map.m_latMin = map.m_latMax = 99;
        map.m_path = QString::fromUtf8(c.szPath);
        EXPECT_EQ(map.ParseCalibration(), c.bCalibrated);
        EXPECT_DOUBLE_EQ(map.m_lonMin, c.edges.dLonMin);
        EXPECT_DOUBLE_EQ(map.m_lonMax, c.edges.dLonMax);
        EXPECT_DOUBLE_EQ(map.m_latMin, c.edges.dLatMin);
        EXPECT_DOUBLE_EQ(map.m_latMax, c.edges.dLatMax);
    }
}

// A host file under the storage card folder is read as the handheld named it,
// "\Storage card\" and the rest of its path, whatever the folder's own name.
TEST(Calibration, HostFilesUnderTheCardKeepTheirCardPath)
{
    const QString strCard = StorageCardFolder();
    const struct
    {
        QString strPath;
        bool bCalibrated;
        double dLonMin;
    } cases[] = {
        {strCard + QStringLiteral("/GPS/X4G50M_5G0MY52G20M_52G25M.bmp"), true, LON_A},
        {strCard + QStringLiteral("/GPS/../GPS/X4G50M_5G0MY52G20M_52G25M.bmp"), true, LON_A},
        {strCard + QStringLiteral("/Xtra/X4G50M_5G0MY52G20M_52G25M.bmp"), true, 0.0},
        {strCard + QStringLiteral("/GPS/harbour.bmp"), false, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strPath.toStdString());
        CMapBitmap map;
        map.m_path = c.strPath;
        EXPECT_EQ(map.ParseCalibration(), c.bCalibrated);
        EXPECT_DOUBLE_EQ(map.m_lonMin, c.dLonMin);
    }
    EXPECT_EQ(DeviceName(strCard + QStringLiteral("/GPS/a.bmp")), QStringLiteral("\\Storage card\\GPS\\a.bmp"));
    EXPECT_EQ(DeviceName(QStringLiteral("/home/Xena/a.bmp")), QStringLiteral("a.bmp"));
    EXPECT_EQ(DeviceName(QStringLiteral("\\Storage card\\GPS\\a.bmp")), QStringLiteral("\\Storage card\\GPS\\a.bmp"));
}

// Only the handheld's own names are translated; a host path, backslashes
// and all, is used exactly as given.
TEST(DevicePaths, OnlyCardNamesAreTranslated)
{
    const QString strCard = StorageCardFolder();
    EXPECT_EQ(HostPath(QStringLiteral("\\Storage card\\GPS\\a.gpd")), strCard + QStringLiteral("/GPS/a.gpd"));
    EXPECT_EQ(HostPath(QStringLiteral("\\STORAGE CARD\\GPS\\a.gpd")), strCard + QStringLiteral("/GPS/a.gpd"));
    EXPECT_EQ(HostPath(QStringLiteral("my\\track.kml")), QStringLiteral("my\\track.kml"));
    EXPECT_EQ(HostPath(QStringLiteral("/tmp/a\\b\\c.gpd")), QStringLiteral("/tmp/a\\b\\c.gpd"));
    EXPECT_EQ(HostPath(QStringLiteral("\\Other\\a.gpd")), QStringLiteral("\\Other\\a.gpd"));
}

TEST(Calibration, NumbersBeyondThirtyTwoBitsStayFinite)
{
    CMapBitmap map;
    map.m_path = QStringLiteral("X99999999999999999999G0M_-99999999999999999999G99999999999MY0G0M_1G0M.bmp");
    EXPECT_TRUE(map.ParseCalibration());
    EXPECT_TRUE(std::isfinite(map.m_lonMin) && std::isfinite(map.m_lonMax));
    EXPECT_DOUBLE_EQ(map.m_lonMax, 2147483647.0);
    EXPECT_LT(map.m_lonMin, -2147483648.0);
    EXPECT_DOUBLE_EQ(map.m_latMax, 1.0);
}

}
