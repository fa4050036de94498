#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <memory>

// Ranges the GPS Setup dialog allows, checked wherever a value comes in.
constexpr int SETTINGS_UTC_MIN = -12;
constexpr int SETTINGS_UTC_MAX = 12;
// The maximum dilution is stored in tenths ("MaxDilution" 50 is 5.0).
constexpr int SETTINGS_DILUTION_MIN = 15;
constexpr int SETTINGS_DILUTION_MAX = 500;
constexpr double SETTINGS_DILUTION_STEP = 0.1;
// The dialog offers a list of rates but takes any rate typed by hand; the
// kernel's arbitrary-rate interface goes up to 4 Mbaud.
constexpr int SETTINGS_BAUD_MIN = 1;
constexpr int SETTINGS_BAUD_MAX = 4000000;
constexpr double SETTINGS_LATITUDE_MAX = 90.0;
constexpr double SETTINGS_LONGITUDE_MAX = 180.0;

// Speeds arrive in knots; km/h is shown where the user asks for it.
constexpr double UNIT_KMH_PER_KNOT = 1.852;

// The stored settings, as one value: the window edits and saves them, the
// command-line tools build them from their options, and the layers below
// the application take the part they need.
struct CTrackerSettings
{
    QString m_strComPort = QStringLiteral("COM4:");
    int32_t m_nBaudRate = 9600;
    int32_t m_nViewType = 1;
    int32_t m_bKmlAltitude = 0;
    int32_t m_bKmh = 0;
    int32_t m_nUtcCorrection = 1;
    int32_t m_nMaxDilution = 50;   // tenths
    // View, "Zoom": percent of the handheld's size, 0 to fit the window.
    int32_t m_nZoom = 100;
    // Tools, "Go to…": the place the views lead to, kept until "Stop".
    int32_t m_bGoTo = 0;
    double m_dGoToLatitude = 0;
    double m_dGoToLongitude = 0;
    QString m_strGoToName;

    // The dilution above which a fix is not stored.
    double MaxDilution() const { return m_nMaxDilution * SETTINGS_DILUTION_STEP; }
};

// Reads the settings stored in veltrip.ini; a value that is missing, not a
// whole number or outside what the setup dialog allows keeps its default.
// "ViewType" and "Zoom" are checked where the views are known
// (ViewFromSetting, ZoomFromSetting).
CTrackerSettings LoadTrackerSettings();

// Stores every value but "ViewType"; the port and the baud rate only unless
// they were given for this run alone.
void SaveTrackerSettings(const CTrackerSettings& settings, bool bKeepStoredPort, bool bKeepStoredBaud);

// veltrip.ini, where every stored setting lives, each part in a section of
// its own.
std::unique_ptr<QSettings> OpenSettingsFile();
