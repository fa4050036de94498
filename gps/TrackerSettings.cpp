#include "gps/TrackerSettings.h"

#include <QSettings>

#include <variant>

namespace {

// ~/.config/Korvane productions/veltrip.ini, section [Settings].
const QString SETTINGS_ORGANISATION = QStringLiteral("Korvane productions");
const QString SETTINGS_APPLICATION = QStringLiteral("veltrip");
const QString SETTINGS_SECTION = QStringLiteral("Settings");

// A whole-number setting, with the values the setup dialog can store; a
// hand-edited file may hold anything.
struct IntValue
{
    int32_t CTrackerSettings::*pnValue;
    int32_t nMin;
    int32_t nMax;
};

struct DoubleValue
{
    double CTrackerSettings::*pdValue;
    double dMax;   // and -dMax
};

struct TextValue
{
    QString CTrackerSettings::*pstrValue;
};

// When a value is written back: the port and the baud rate may have been
// given for one run alone, and the view is never stored.
enum class SettingWrite
{
    Always,
    Never,
    UnlessPortKept,
    UnlessBaudKept,
};

struct Setting
{
    QString strName;
    std::variant<IntValue, DoubleValue, TextValue> value;
    SettingWrite eWrite;
};

// The stored settings in the order they are read.
const Setting SETTINGS_TABLE[] = {
    {QStringLiteral("Baudrate"), IntValue{&CTrackerSettings::m_nBaudRate, SETTINGS_BAUD_MIN, SETTINGS_BAUD_MAX},
     SettingWrite::UnlessBaudKept},
    {QStringLiteral("Comport"), TextValue{&CTrackerSettings::m_strComPort}, SettingWrite::UnlessPortKept},
    {QStringLiteral("ViewType"), IntValue{&CTrackerSettings::m_nViewType, INT32_MIN, INT32_MAX}, SettingWrite::Never},
    {QStringLiteral("KMLaltitude"), IntValue{&CTrackerSettings::m_bKmlAltitude, 0, 1}, SettingWrite::Always},
    {QStringLiteral("Kmh"), IntValue{&CTrackerSettings::m_bKmh, 0, 1}, SettingWrite::Always},
    {QStringLiteral("Utc"), IntValue{&CTrackerSettings::m_nUtcCorrection, SETTINGS_UTC_MIN, SETTINGS_UTC_MAX},
     SettingWrite::Always},
    {QStringLiteral("MaxDilution"),
     IntValue{&CTrackerSettings::m_nMaxDilution, SETTINGS_DILUTION_MIN, SETTINGS_DILUTION_MAX},
     SettingWrite::Always},
    {QStringLiteral("GoTo"), IntValue{&CTrackerSettings::m_bGoTo, 0, 1}, SettingWrite::Always},
    {QStringLiteral("GoToLatitude"), DoubleValue{&CTrackerSettings::m_dGoToLatitude, SETTINGS_LATITUDE_MAX},
     SettingWrite::Always},
    {QStringLiteral("GoToLongitude"), DoubleValue{&CTrackerSettings::m_dGoToLongitude, SETTINGS_LONGITUDE_MAX},
     SettingWrite::Always},
    {QStringLiteral("GoToName"), TextValue{&CTrackerSettings::m_strGoToName}, SettingWrite::Always},
    {QStringLiteral("Zoom"), IntValue{&CTrackerSettings::m_nZoom, INT32_MIN, INT32_MAX}, SettingWrite::Always},
};

// An INI file gives every number back as text; anything that is not a whole
// number in range leaves the default.
void ReadValue(const QVariant& stored, const IntValue& value, CTrackerSettings& settings)
{
    bool bOk = false;
    const int nValue = stored.toString().trimmed().toInt(&bOk);
    if (bOk && nValue >= value.nMin && nValue <= value.nMax)
        settings.*value.pnValue = nValue;
}

// Written with a decimal point whatever the locale; NaN fails the range.
void ReadValue(const QVariant& stored, const DoubleValue& value, CTrackerSettings& settings)
{
    bool bOk = false;
    const double dValue = stored.toString().trimmed().toDouble(&bOk);
    if (bOk && dValue >= -value.dMax && dValue <= value.dMax)
        settings.*value.pdValue = dValue;
}

void ReadValue(const QVariant& stored, const TextValue& value, CTrackerSettings& settings)
{
    if (stored.isValid())
        settings.*value.pstrValue = stored.toString();
}

QVariant StoredValue(const IntValue& value, const CTrackerSettings& settings)
{
    return settings.*value.pnValue;
}

QVariant StoredValue(const DoubleValue& value, const CTrackerSettings& settings)
{
    return settings.*value.pdValue;
}

QVariant StoredValue(const TextValue& value, const CTrackerSettings& settings)
{
    return settings.*value.pstrValue;
}

bool IsWritten(SettingWrite eWrite, bool bKeepStoredPort, bool bKeepStoredBaud)
{
    return eWrite == SettingWrite::Always || (eWrite == SettingWrite::UnlessPortKept && !bKeepStoredPort) ||
           (eWrite == SettingWrite::UnlessBaudKept && !bKeepStoredBaud);
}

}

std::unique_ptr<QSettings> OpenSettingsFile()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, SETTINGS_ORGANISATION,
                                       SETTINGS_APPLICATION);
}

CTrackerSettings LoadTrackerSettings()
{
    const std::unique_ptr<QSettings> pStored = OpenSettingsFile();
    QSettings& stored = *pStored;
    stored.beginGroup(SETTINGS_SECTION);
    CTrackerSettings settings;
    for (const Setting& setting : SETTINGS_TABLE) {
        const QVariant value = stored.value(setting.strName);
        std::visit([&value, &settings](const auto& member) { ReadValue(value, member, settings); }, setting.value);
    }
    return settings;
}

void SaveTrackerSettings(const CTrackerSettings& settings, bool bKeepStoredPort, bool bKeepStoredBaud)
{
    const std::unique_ptr<QSettings> pStored = OpenSettingsFile();
    QSettings& stored = *pStored;
    stored.beginGroup(SETTINGS_SECTION);
    for (const Setting& setting : SETTINGS_TABLE) {
        if (!IsWritten(setting.eWrite, bKeepStoredPort, bKeepStoredBaud))
            continue;
        stored.setValue(setting.strName,
                        std::visit([&settings](const auto& member) { return StoredValue(member, settings); },
                                   setting.value));
    }
}
