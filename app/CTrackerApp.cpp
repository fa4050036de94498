#include "app/CTrackerApp.h"

CTrackerApp theApp;

void CTrackerApp::LoadSettings()
{
    m_settings = LoadTrackerSettings();
    m_online = LoadOnlineSettings();
}

void CTrackerApp::SaveSettings() const
{
    SaveTrackerSettings(m_settings, m_bOneRunPort, m_bOneRunBaud);
}

void CTrackerApp::CreateFonts()
{
    m_fonts = CreateViewFonts();
}

CDisplaySources CTrackerApp::DisplaySources()
{
    return {m_tracker, m_trackPoints, m_mapList, m_settings, m_fonts};
}
