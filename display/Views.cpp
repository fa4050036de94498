#include "display/Views.h"

#include "display/CompassView.h"
#include "display/GpsDataView.h"
#include "display/MapView.h"
#include "display/ProfileView.h"
#include "display/SkyView.h"
#include "display/StatusView.h"
#include "display/TrackView.h"
#include "platform/gui/DeviceFont.h"

#include <algorithm>
#include <cstring>

namespace {

// The fonts are cell heights in pixels, weight 600.
constexpr int VIEW_FONT_SMALL = 26;
constexpr int VIEW_FONT_MEDIUM = 30;
constexpr int VIEW_FONT_LARGE = 72;

const CViewRow VIEW_TABLE[] = {
    {EViewType::GpsData, "data", "GPS data", ID_VIEW_GPSDATA, DrawGpsDataView, EViewPlace::DisplayWindow, false, true},
    {EViewType::Status, "status", "GPS Status", ID_VIEW_GPSSTATUS, DrawStatusView, EViewPlace::DisplayWindow, false, true},
    {EViewType::Compass, "compass", "Kompass", ID_VIEW_COMPASS, DrawCompassView, EViewPlace::DisplayWindow, false, true},
    {EViewType::Track, "track", "Track", ID_VIEW_TRACK, DrawTrackView, EViewPlace::DisplayWindow, false, true},
    {EViewType::Map, "map", "Map", ID_VIEW_MAP, DrawMapView, EViewPlace::DisplayWindow, true, false},
    {EViewType::Sky, "sky", "Satellites", ID_VIEW_SATELLITES, DrawSkyView, EViewPlace::OwnWindow, false, false},
    {EViewType::Profile, "profile", "Profile", ID_VIEW_PROFILE, DrawProfileView, EViewPlace::OwnWindow, false, false},
};

template <typename Match>
const CViewRow* FindView(Match match)
{
    const auto it = std::find_if(std::begin(VIEW_TABLE), std::end(VIEW_TABLE), match);
    return it == std::end(VIEW_TABLE) ? nullptr : &*it;
}

const CViewRow* FindDisplayView(int32_t nViewType)
{
    return FindView([nViewType](const CViewRow& row) {
        return row.ePlace == EViewPlace::DisplayWindow && int32_t(row.eView) == nViewType;
    });
}

}

CViewFonts CreateViewFonts()
{
    return {DeviceFont(VIEW_FONT_SMALL, QFont::DemiBold), DeviceFont(VIEW_FONT_MEDIUM, QFont::DemiBold),
            DeviceFont(VIEW_FONT_LARGE, QFont::DemiBold)};
}

std::span<const CViewRow> ViewTable()
{
    return VIEW_TABLE;
}

const CViewRow& ViewRow(EViewType eView)
{
    return *FindView([eView](const CViewRow& row) { return row.eView == eView; });
}

const CViewRow* FindViewByName(const char* szName)
{
    return FindView([szName](const CViewRow& row) { return !std::strcmp(row.szRenderName, szName); });
}

const CViewRow* FindViewByCommand(int nCommandId)
{
    return FindView([nCommandId](const CViewRow& row) { return row.nCommandId == nCommandId; });
}

EViewType ViewFromSetting(int32_t nViewType)
{
    const CViewRow* pRow = FindDisplayView(nViewType);
    return pRow ? pRow->eView : EViewType::GpsData;
}

EViewType NextView(EViewType eView)
{
    const CViewRow* pRow = FindDisplayView(int32_t(eView) + 1);
    return pRow ? pRow->eView : EViewType::GpsData;
}
