#include "app/CTrackerApp.h"

void CTrackerApp::LoadSettings()
{
}

void CTrackerApp::SaveSettings() const
{
}
