#pragma once

#include "display/ViewColours.h"
#include "map/CMapBitmap.h"
#include "map/Viewport.h"
#include "track/CTrackPoint.h"

#include <QFont>
#include <QPen>
#include <QRect>
#include <QString>
#include <cstdint>
#include <span>

class CDC;
class CGpsTracker;
class CTrackProfile;
struct CTrackerSettings;

// The views, numbered as the "ViewType" setting stores those of the display
// window; the others have a window of their own.
enum class EViewType : int32_t
{
    Sky = 0,
    GpsData = 1,
    Compass = 2,
    Track = 3,
    Status = 4,
    Map = 5,
    Profile = 6,
};

// The three faces the views draw with.
struct CViewFonts
{
    QFont m_fontSmall;
    QFont m_fontMedium;
    QFont m_fontLarge;
};

CViewFonts CreateViewFonts();

// Everything a painter reads: the fix, the track, the settings it follows,
// the faces and pens, the client rectangle (left and top 0), and for the map
// view the current map and a stylus drag in progress.
struct CViewContext
{
    CViewContext(const CGpsTracker& tracker, const CTrackPointList& points, const CTrackerSettings& settings,
                 const CViewFonts& fonts, const QRect& rcClient)
        : m_tracker(tracker)
        , m_points(points)
        , m_settings(settings)
        , m_fonts(fonts)
        , m_rcClient(rcClient)
    {
    }

    const CGpsTracker& m_tracker;
    const CTrackPointList& m_points;
    const CTrackerSettings& m_settings;
    const CViewFonts& m_fonts;
    QRect m_rcClient;
    const CMapBitmap* m_pMap = nullptr;
    CStylusDrag m_drag;
    // What a view keeps between the paints of its window (the profile's
    // samples); null: the painter works it out afresh.
    CTrackProfile* m_pProfile = nullptr;
    QPen m_penTrack = PEN_TRACK;
    QPen m_penHeading = PEN_HEADING;
    // The map view's online sheets cannot be renewed: why ("offline"), for
    // its corner; empty otherwise.
    QString m_strMapState;
};

// A painter draws one view into the device context, restoring the font and
// pen it changed.
using ViewPainter = void (*)(CDC* pDC, const CViewContext& view);

enum class EViewPlace
{
    DisplayWindow,   // in the display window's tap cycle
    OwnWindow,       // a non-modal window of its own, repainted every tick
};

// Menu commands of the views.
constexpr int ID_VIEW_GPSDATA = 32789;
constexpr int ID_VIEW_MAP = 32792;
constexpr int ID_VIEW_TRACK = 32793;
constexpr int ID_VIEW_COMPASS = 32794;
constexpr int ID_VIEW_GPSSTATUS = 32795;
constexpr int ID_VIEW_SATELLITES = 32820;
constexpr int ID_VIEW_PROFILE = 32823;

struct CViewRow
{
    EViewType eView;
    const char* szRenderName;   // veltrip-cli render VIEW
    const char* szMenuText;     // View menu; the own window's title
    int nCommandId;
    ViewPainter pfnPaint;
    EViewPlace ePlace;
    bool bNeedsMap;    // shown only while a map is current
    bool bMenuCheck;   // the menu marks it while it shows
};

// The message of a view that needs a map when none is current.
inline constexpr const char* VIEW_NEEDS_MAP = "Eerst map inlezen! Tools, Load map";

// Every view, in the order of the View menu.
std::span<const CViewRow> ViewTable();

const CViewRow& ViewRow(EViewType eView);
// Null when no view has that name or command.
const CViewRow* FindViewByName(const char* szName);
const CViewRow* FindViewByCommand(int nCommandId);

// The display window's view a stored "ViewType" names; the GPS data view
// for any other number.
EViewType ViewFromSetting(int32_t nViewType);

// The view a tap on the display window goes on to: the next number, after
// the last the first.
EViewType NextView(EViewType eView);
