#include "app/CTrackerApp.h"

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

constexpr double SETTINGS_DILUTION_STEP = 0.1;

// An INI file gives every number back as text; anything that is not a whole
// number yields the default.
int32_t ReadInt(const QSettings& settings, const QString& strName, int32_t nDefault)
{
    bool bOk = false;
    const int nValue = settings.value(strName).toString().trimmed().toInt(&bOk);
    return bOk ? nValue : nDefault;
}

}

void CTrackerApp::LoadSettings()
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    settings.beginGroup(SETTINGS_SECTION);
    m_nBaudRate = ReadInt(settings, SETTING_BAUDRATE, 9600);
    const QVariant port = settings.value(SETTING_COMPORT);
    m_strComPort = port.isValid() ? port.toString() : QStringLiteral("COM4:");
    m_nViewType = ReadInt(settings, SETTING_VIEWTYPE, 1);
    m_bKmlAltitude = ReadInt(settings, SETTING_KMLALTITUDE, 0);
    m_bKmh = ReadInt(settings, SETTING_KMH, 0);
    m_nUtcCorrection = ReadInt(settings, SETTING_UTC, 1);
    m_nMaxDilution = ReadInt(settings, SETTING_MAXDILUTION, 50);
    m_dMaxDilution = static_cast<double>(m_nMaxDilution) * SETTINGS_DILUTION_STEP;
}

void CTrackerApp::SaveSettings() const
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    settings.beginGroup(SETTINGS_SECTION);
    if (!m_bOneRunBaud)
        settings.setValue(SETTING_BAUDRATE, m_nBaudRate);
    if (!m_bOneRunPort)
        settings.setValue(SETTING_COMPORT, m_strComPort);
    settings.setValue(SETTING_KMLALTITUDE, m_bKmlAltitude);
    settings.setValue(SETTING_KMH, m_bKmh);
    settings.setValue(SETTING_UTC, m_nUtcCorrection);
    settings.setValue(SETTING_MAXDILUTION, m_nMaxDilution);
}
