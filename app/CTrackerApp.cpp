#include "app/CTrackerApp.h"

#include "platform/gui/DeviceFont.h"

CTrackerApp theApp;

namespace {

// The fonts are cell heights in pixels, weight 600.
constexpr int APP_FONT_SMALL = 26;
constexpr int APP_FONT_MEDIUM = 30;
constexpr int APP_FONT_LARGE = 72;

}

void CTrackerApp::CreateFonts()
{
    m_fontSmall = DeviceFont(APP_FONT_SMALL, QFont::DemiBold);
    m_fontMedium = DeviceFont(APP_FONT_MEDIUM, QFont::DemiBold);
    m_fontLarge = DeviceFont(APP_FONT_LARGE, QFont::DemiBold);
}
