#include "app/CTrackerApp.h"

CTrackerApp theApp;

void CTrackerApp::LoadSettings()
{
    static_cast<CTrackerSettings&>(*this) = LoadTrackerSettings();
}

void CTrackerApp::SaveSettings() const
{
    SaveTrackerSettings(*this, m_bOneRunPort, m_bOneRunBaud);
}

void CTrackerApp::CreateFonts()
{
    static_cast<CViewFonts&>(*this) = CreateViewFonts();
}

CDisplaySources CTrackerApp::DisplaySources()
{
    return {m_tracker, m_trackPoints, m_mapList, *this, *this};
}
