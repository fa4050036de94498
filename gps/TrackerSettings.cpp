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

// An INI file gives every number back as text; anything that is not a whole
// number yields the default.
int32_t ReadInt(const QSettings& settings, const QString& strName, int32_t nDefault)
{
    bool bOk = false;
    const int nValue = settings.value(strName).toString().trimmed().toInt(&bOk);
    return bOk ? nValue : nDefault;
}

}

CTrackerSettings LoadTrackerSettings()
{
    QSettings stored(QSettings::IniFormat, QSettings::UserScope, SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    stored.beginGroup(SETTINGS_SECTION);
    CTrackerSettings settings;
    settings.m_nBaudRate = ReadInt(stored, SETTING_BAUDRATE, settings.m_nBaudRate);
    const QVariant port = stored.value(SETTING_COMPORT);
    if (port.isValid())
        settings.m_strComPort = port.toString();
    settings.m_nViewType = ReadInt(stored, SETTING_VIEWTYPE, settings.m_nViewType);
    settings.m_bKmlAltitude = ReadInt(stored, SETTING_KMLALTITUDE, settings.m_bKmlAltitude);
    settings.m_bKmh = ReadInt(stored, SETTING_KMH, settings.m_bKmh);
    settings.m_nUtcCorrection = ReadInt(stored, SETTING_UTC, settings.m_nUtcCorrection);
    settings.m_nMaxDilution = ReadInt(stored, SETTING_MAXDILUTION, settings.m_nMaxDilution);
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
