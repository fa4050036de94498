#include "gps/TrackerSettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each test gets a settings folder of its own, as a fresh XDG_CONFIG_HOME.
class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }

    QString IniPath() const { return m_dir.filePath(QStringLiteral("Korvane productions/veltrip.ini")); }

    void WriteIni(const QByteArray& text)
    {
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("Korvane productions"))));
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsTest, EmptyStoreGivesDefaults)
{
    CTrackerSettings app;
    app.m_nBaudRate = 1;
    app.m_strComPort = QStringLiteral("x");
    app.m_nViewType = 3;
    app.m_bKmh = 1;
    app.m_nUtcCorrection = 5;
    app.m_nMaxDilution = 1;
    app = LoadTrackerSettings();
    EXPECT_EQ(app.m_strComPort, QStringLiteral("COM4:"));
    EXPECT_EQ(app.m_nBaudRate, 9600);
    EXPECT_EQ(app.m_nViewType, 1);
    EXPECT_EQ(app.m_bKmlAltitude, 0);
    EXPECT_EQ(app.m_bKmh, 0);
    EXPECT_EQ(app.m_nUtcCorrection, 1);
    EXPECT_EQ(app.m_nMaxDilution, 50);
    EXPECT_DOUBLE_EQ(app.MaxDilution(), 5.0);
    EXPECT_FALSE(QFile::exists(IniPath()));
}

TEST_F(SettingsTest, RoundTripWritesAllButViewType)
{
    CTrackerSettings written;
    written.m_strComPort = QStringLiteral("/dev/ttyUSB0");
    written.m_nBaudRate = 14400;
    written.m_nViewType = 4;
    written.m_bKmlAltitude = 1;
    written.m_bKmh = 1;
    written.m_nUtcCorrection = -7;
    written.m_nMaxDilution = 123;
    SaveTrackerSettings(written, false, false);

    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Settings/Baudrate")).toString(), QStringLiteral("14400"));
    EXPECT_EQ(ini.value(QStringLiteral("Settings/Comport")).toString(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_FALSE(ini.contains(QStringLiteral("Settings/ViewType")));

    CTrackerSettings read;
    read = LoadTrackerSettings();
    EXPECT_EQ(read.m_strComPort, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(read.m_nBaudRate, 14400);
    EXPECT_EQ(read.m_nViewType, 1);
    EXPECT_EQ(read.m_bKmlAltitude, 1);
    EXPECT_EQ(read.m_bKmh, 1);
    EXPECT_EQ(read.m_nUtcCorrection, -7);
    EXPECT_EQ(read.m_nMaxDilution, 123);
    EXPECT_DOUBLE_EQ(read.MaxDilution(), 123 * 0.1);
}

TEST_F(SettingsTest, NumbersReadBackFromTextAndBadValuesGiveDefaults)
{
    WriteIni("[Settings]\n"
             "Baudrate=57600\n"
             "Comport=COM2:\n"
             "ViewType=5\n"
             "KMLaltitude=yes\n"
             "Kmh=\n"
             "Utc=\" -3 \"\n"
             "MaxDilution=15\n"
             "[Other]\nBaudrate=1200\n");
    CTrackerSettings app;
    app = LoadTrackerSettings();
    EXPECT_EQ(app.m_nBaudRate, 57600);
    EXPECT_EQ(app.m_strComPort, QStringLiteral("COM2:"));
    EXPECT_EQ(app.m_nViewType, 5);
    EXPECT_EQ(app.m_bKmlAltitude, 0);
    EXPECT_EQ(app.m_bKmh, 0);
    EXPECT_EQ(app.m_nUtcCorrection, -3);
    EXPECT_EQ(app.m_nMaxDilution, 15);
    EXPECT_DOUBLE_EQ(app.MaxDilution(), 15 * 0.1);
}

// A hand-edited value the setup dialog could not have stored is not used.
TEST_F(SettingsTest, ValuesOutsideTheDialogsRangesGiveDefaults)
{
    const struct {
        const char* szLine;
        int32_t CTrackerSettings::*pnValue;
        int32_t nExpected;
    } CASES[] = {
        {"Utc=1000000", &CTrackerSettings::m_nUtcCorrection, 1},
        {"Utc=-13", &CTrackerSettings::m_nUtcCorrection, 1},
        {"Utc=-12", &CTrackerSettings::m_nUtcCorrection, -12},
        {"MaxDilution=14", &CTrackerSettings::m_nMaxDilution, 50},
        {"MaxDilution=501", &CTrackerSettings::m_nMaxDilution, 50},
        {"MaxDilution=500", &CTrackerSettings::m_nMaxDilution, 500},
        {"Baudrate=0", &CTrackerSettings::m_nBaudRate, 9600},
        {"Baudrate=-1200", &CTrackerSettings::m_nBaudRate, 9600},
        {"Baudrate=4800", &CTrackerSettings::m_nBaudRate, 4800},
        {"KMLaltitude=2", &CTrackerSettings::m_bKmlAltitude, 0},
        {"KMLaltitude=1", &CTrackerSettings::m_bKmlAltitude, 1},
        {"Kmh=-1", &CTrackerSettings::m_bKmh, 0},
    };
    // Blank lines, more than any two lines differ by, make each file a size
    // of its own, so no cached copy of the one before is read.
    for (const auto& c : CASES) {
        WriteIni(QByteArray("[Settings]\n") + c.szLine + QByteArray(32 * (&c - CASES + 1), '\n'));
        const CTrackerSettings settings = LoadTrackerSettings();
        EXPECT_EQ(settings.*c.pnValue, c.nExpected) << c.szLine;
    }
}

TEST_F(SettingsTest, ViewTypeKeepsStoredValueAcrossSaves)
{
    WriteIni("[Settings]\nViewType=3\n");
    CTrackerSettings app;
    app = LoadTrackerSettings();
    app.m_nViewType = 5;
    SaveTrackerSettings(app, false, false);
    CTrackerSettings restarted;
    restarted = LoadTrackerSettings();
    EXPECT_EQ(restarted.m_nViewType, 3);
    EXPECT_EQ(restarted.m_nBaudRate, 9600);
}

// Tools, "Go to…": the destination stays until cleared, across a restart.
TEST_F(SettingsTest, DestinationIsKeptAcrossSaves)
{
    CTrackerSettings app;
    app.m_bGoTo = 1;
    app.m_dGoToLatitude = -33.868812345;
    app.m_dGoToLongitude = 151.209298765;
    app.m_strGoToName = QStringLiteral("Opera, Sydney");
    SaveTrackerSettings(app, false, false);
    const CTrackerSettings restarted = LoadTrackerSettings();
    EXPECT_EQ(restarted.m_bGoTo, 1);
    EXPECT_EQ(restarted.m_dGoToLatitude, app.m_dGoToLatitude);
    EXPECT_EQ(restarted.m_dGoToLongitude, app.m_dGoToLongitude);
    EXPECT_EQ(restarted.m_strGoToName, app.m_strGoToName);

    app.m_bGoTo = 0;
    SaveTrackerSettings(app, false, false);
    EXPECT_EQ(LoadTrackerSettings().m_bGoTo, 0);
}

TEST_F(SettingsTest, DestinationOutsideTheGlobeGivesDefaults)
{
    const struct {
        const char* szLine;
        double CTrackerSettings::*pdValue;
        double dExpected;
    } CASES[] = {
        {"GoToLatitude=90.5", &CTrackerSettings::m_dGoToLatitude, 0},
        {"GoToLatitude=nan", &CTrackerSettings::m_dGoToLatitude, 0},
        {"GoToLatitude=-90", &CTrackerSettings::m_dGoToLatitude, -90},
        {"GoToLongitude=180.25", &CTrackerSettings::m_dGoToLongitude, 0},
        {"GoToLongitude=inf", &CTrackerSettings::m_dGoToLongitude, 0},
        {"GoToLongitude=-179.5", &CTrackerSettings::m_dGoToLongitude, -179.5},
        {"GoToLongitude=5,12", &CTrackerSettings::m_dGoToLongitude, 0},
    };
    for (const auto& c : CASES) {
        WriteIni(QByteArray("[Settings]\n") + c.szLine + QByteArray(32 * (&c - CASES + 1), '\n'));
        EXPECT_EQ(LoadTrackerSettings().*c.pdValue, c.dExpected) << c.szLine;
    }
}

}
