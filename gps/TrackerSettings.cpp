#include "gps/TrackerSettings.h"

#include <QSettings>

namespace {

// ~/.config/Korvane productions/veltrip.ini, section [Settings].
const QString SETTINGS_ORGANISATION = QStringLiteral("Korvane productions");
const QString SETTINGS_APPLICATION = QStringLiteral("veltrip");
const QString SETTINGS_SECTION = QStringLiteral("Settings");

const QString SETTING_BAUDRATE = QStringLiteral("Baudrate");
const QString SETTING_COMPORT = QStringLiteral("Comport");
const QString SETTING_VIEWTYPE = QStringLiteral("ViewType");
const QString SETTING_KMLALTITUDE = QStringLiteral("KMLaltitude");
const QString SETTING_KMH = QStringLiteral("Kmh");
const QString SETTING_UTC = QStringLiteral("Utc");
const QString SETTING_MAXDILUTION = QStringLiteral("MaxDilution");

// The whole-number settings in the order they are read, with the values the
// setup dialog can store; a hand-edited file may hold anything.
struct IntSetting
{
    const QString& strName;
    int32_t CTrackerSettings::*pnValue;
    int32_t nMin;
    int32_t nMax;
};

const IntSetting SETTINGS_INTS[] = {
    {SETTING_BAUDRATE, &CTrackerSettings::m_nBaudRate, SETTINGS_BAUD_MIN, SETTINGS_BAUD_MAX},
    {SETTING_VIEWTYPE, &CTrackerSettings::m_nViewType, INT32_MIN, INT32_MAX},
    {SETTING_KMLALTITUDE, &CTrackerSettings::m_bKmlAltitude, 0, 1},
    {SETTING_KMH, &CTrackerSettings::m_bKmh, 0, 1},
    {SETTING_UTC, &CTrackerSettings::m_nUtcCorrection, SETTINGS_UTC_MIN, SETTINGS_UTC_MAX},
    {SETTING_MAXDILUTION, &CTrackerSettings::m_nMaxDilution, SETTINGS_DILUTION_MIN, SETTINGS_DILUTION_MAX},
};

// An INI file gives every number back as text; anything that is not a whole
// number in range leaves the default.
void ReadInt(const QSettings& stored, const IntSetting& setting, CTrackerSettings& settings)
{
    bool bOk = false;
    const int nValue = stored.value(setting.strName).toString().trimmed().toInt(&bOk);
    if (bOk && nValue >= setting.nMin && nValue <= setting.nMax)
        settings.*setting.pnValue = nValue;
}

}

CTrackerSettings LoadTrackerSettings()
{
    QSettings stored(QSettings::IniFormat, QSettings::UserScope, SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    stored.beginGroup(SETTINGS_SECTION);
    CTrackerSettings settings;
    for (const IntSetting& setting : SETTINGS_INTS)
        ReadInt(stored, setting, settings);
    const QVariant port = stored.value(SETTING_COMPORT);
    if (port.isValid())
        settings.m_strComPort = port.toString();
    return settings;
}

void SaveTrackerSettings(const CTrackerSettings& settings, bool bKeepStoredPort, bool bKeepStoredBaud)
{
    QSettings stored(QSettings::IniFormat, QSettings::UserScope, SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    stored.beginGroup(SETTINGS_SECTION);
    if (!bKeepStoredBaud)
        stored.setValue(SETTING_BAUDRATE, settings.m_nBaudRate);
    if (!bKeepStoredPort)
        stored.setValue(SETTING_COMPORT, settings.m_strComPort);
    stored.setValue(SETTING_KMLALTITUDE, settings.m_bKmlAltitude);
    stored.setValue(SETTING_KMH, settings.m_bKmh);
    stored.setValue(SETTING_UTC, settings.m_nUtcCorrection);
    stored.setValue(SETTING_MAXDILUTION, settings.m_nMaxDilution);
}
