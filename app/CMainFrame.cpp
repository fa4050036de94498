#include "app/CMainFrame.h"

#include "app/AppIcon.h"
#include "app/CPlacemarkDlg.h"
#include "app/CProfileWnd.h"
#include "app/CSetupDlg.h"
#include "app/CSkyWnd.h"
#include "app/CTrackerApp.h"
#include "app/CTripStatsDlg.h"
#include "app/FileDialogs.h"
#include "app/IdleTimer.h"
#include "app/OpenProgress.h"
#include "app/Resource.h"
#include "map/MapCatalogue.h"
#include "map/Viewport.h"
#include "platform/MessageHook.h"
#include "platform/TextFormat.h"
#include "track/GpdFile.h"
#include "track/GpxExport.h"
#include "track/Placemark.h"
#include "track/ReceiverTick.h"

#include <QTimerEvent>
#include <QToolButton>
#include <exception>

bool g_bTimerBusy = false;

namespace {

constexpr int VIEW_GPSDATA = 1;
constexpr int VIEW_COMPASS = 2;
constexpr int VIEW_TRACK = 3;
constexpr int VIEW_STATUS = 4;

// The menu tree behind the "Menu" soft key, in order; id 0 is a separator.
struct MenuEntry
{
    const char* szPopup;
    const char* szText;
    int nId;
};

const MenuEntry MENU_TREE[] = {
    {"File", "Save", ID_FILE_SAVE},
    {"File", "Open", ID_FILE_OPEN},
    {"File", "Quit", ID_APP_EXIT},
    {"View", "GPS data", ID_VIEW_GPSDATA},
    {"View", "GPS Status", ID_VIEW_GPSSTATUS},
    {"View", "Kompass", ID_VIEW_COMPASS},
    {"View", "Track", ID_VIEW_TRACK},
    {"View", "Map", ID_VIEW_MAP},
    {"View", "Satellites", ID_VIEW_SATELLITES},
    {"View", "Profile", ID_VIEW_PROFILE},
    {"Tools", "About", ID_APP_ABOUT},
    {"Tools", "GPS Setup", ID_GPS_SETUP},
    {"Tools", "Start Log", ID_START_LOG},
    {"Tools", "End log", ID_END_LOG},
    {"Tools", nullptr, 0},
    {"Tools", "Set placemark", ID_SET_PLACEMARK},
    {"Tools", "Load map", ID_LOAD_MAP},
    {"Tools", "Trip statistics", ID_TRIP_STATS},
};

// The four plain view commands: each selects its view and carries its check.
struct ViewCommand
{
    int nId;
    int nViewType;
};

const ViewCommand VIEW_COMMANDS[] = {
    {ID_VIEW_GPSDATA, VIEW_GPSDATA},
    {ID_VIEW_GPSSTATUS, VIEW_STATUS},
    {ID_VIEW_COMPASS, VIEW_COMPASS},
    {ID_VIEW_TRACK, VIEW_TRACK},
};

// Sets the tick's guard and clears it however the tick ends.
class CTimerGuard
{
public:
    CTimerGuard() { g_bTimerBusy = true; }
    ~CTimerGuard() { g_bTimerBusy = false; }
    CTimerGuard(const CTimerGuard&) = delete;
    CTimerGuard& operator=(const CTimerGuard&) = delete;
};

// The general error report for a command or tick that failed with an error
// nothing below handled; the program carries on with the next message.
void ReportError(const std::exception& e)
{
    ShowMessage(QString::fromLocal8Bit(e.what()));
}

}

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create()
{
    setWindowTitle(QString::fromLatin1(APP_TITLE));
    setWindowIcon(AppIcon());
    setCentralWidget(&m_wndView);

    QMenu* pPopup = nullptr;
    for (const MenuEntry& entry : MENU_TREE) {
        if (!pPopup || pPopup->title() != QLatin1String(entry.szPopup)) {
            pPopup = m_menu.addMenu(QString::fromLatin1(entry.szPopup));
            connect(pPopup, &QMenu::aboutToShow, this, [this, pPopup] { UpdateMenuStates(pPopup); });
        }
        if (!entry.nId) {
            pPopup->addSeparator();
            continue;
        }
        QAction* pAction = pPopup->addAction(QString::fromLatin1(entry.szText));
        pAction->setData(entry.nId);
        connect(pAction, &QAction::triggered, this, [this, nId = entry.nId] { OnCommand(nId); });
    }
    m_menu.setTitle(QStringLiteral("Menu"));

    // The two soft keys: "New" at the left, "Menu" at the right.
    m_wndCommandBar.setMovable(false);
    m_wndCommandBar.setFloatable(false);
    m_wndCommandBar.setContextMenuPolicy(Qt::PreventContextMenu);
    m_wndCommandBar.toggleViewAction()->setVisible(false);
    QAction* pNew = m_wndCommandBar.addAction(QStringLiteral("New"));
    connect(pNew, &QAction::triggered, this, [this] { OnCommand(ID_FILE_NEW); });
    auto* pSpacer = new QWidget(&m_wndCommandBar);
    pSpacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_wndCommandBar.addWidget(pSpacer);
    auto* pMenuKey = new QToolButton(&m_wndCommandBar);
    pMenuKey->setText(m_menu.title());
    pMenuKey->setMenu(&m_menu);
    pMenuKey->setPopupMode(QToolButton::InstantPopup);
    pMenuKey->setObjectName(QStringLiteral("MenuKey"));
    m_wndCommandBar.addWidget(pMenuKey);
    addToolBar(Qt::BottomToolBarArea, &m_wndCommandBar);

    m_wndView.setFocusPolicy(Qt::StrongFocus);
    resize(FRAME_CLIENT_WIDTH, FRAME_CLIENT_HEIGHT + m_wndCommandBar.sizeHint().height());

    m_nTimer = startTimer(TIMER_INTERVAL_MS);
    return m_nTimer != 0;
}

bool CMainFrame::OnCommand(int nId)
{
    struct Handler
    {
        int nId;
        void (CMainFrame::*pfnRun)();
    };
    static const Handler HANDLERS[] = {
        {ID_FILE_SAVE, &CMainFrame::OnFileSave},
        {ID_FILE_OPEN, &CMainFrame::OnFileOpen},
        {ID_VIEW_MAP, &CMainFrame::OnViewMap},
        {ID_GPS_SETUP, &CMainFrame::OnGpsSetup},
        {ID_SET_PLACEMARK, &CMainFrame::OnSetPlacemark},
        {ID_LOAD_MAP, &CMainFrame::OnLoadMap},
    };

    try {
        for (const ViewCommand& view : VIEW_COMMANDS) {
            if (view.nId == nId) {
                SetViewType(view.nViewType);
                return true;
            }
        }
        for (const Handler& handler : HANDLERS) {
            if (handler.nId == nId) {
                (this->*handler.pfnRun)();
                return true;
            }
        }
        switch (nId) {
        case ID_APP_EXIT:
            close();
            return true;
        case ID_APP_ABOUT:
            theApp.OnAppAbout();
            return true;
        case ID_START_LOG:
            StartLogCommand(theApp.m_tracker);
            return true;
        case ID_END_LOG:
            theApp.m_tracker.EndLog();
            return true;
        case ID_VIEW_SATELLITES:
            ShowSkyWindow(this);
            return true;
        case ID_VIEW_PROFILE:
            ShowProfileWindow(this);
            return true;
        case ID_TRIP_STATS:
            ShowTripStatistics(this);
            return true;
        default:
            return false;
        }
    } catch (const std::exception& e) {
        ReportError(e);
        return true;
    }
}

CCmdUI CMainFrame::UpdateCommand(int nId) const
{
    CCmdUI ui;
    const bool bLogging = theApp.m_tracker.m_hLogFile != nullptr;
    if (nId == ID_START_LOG)
        ui.m_bEnabled = !bLogging;
    else if (nId == ID_END_LOG || nId == ID_SET_PLACEMARK)
        ui.m_bEnabled = bLogging;
    for (const ViewCommand& view : VIEW_COMMANDS) {
        if (view.nId == nId) {
            ui.m_bCheckable = true;
            ui.m_bChecked = theApp.m_nViewType == view.nViewType;
        }
    }
    return ui;
}

void CMainFrame::UpdateMenuStates(QMenu* pMenu)
{
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->isSeparator())
            continue;
        const CCmdUI ui = UpdateCommand(pAction->data().toInt());
        pAction->setEnabled(ui.m_bEnabled);
        pAction->setCheckable(ui.m_bCheckable);
        pAction->setChecked(ui.m_bChecked);
    }
}

void CMainFrame::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() == m_nTimer)
        OnTimer(TIMER_ID);
    else
        QMainWindow::timerEvent(pEvent);
}

void CMainFrame::OnTimer(int nIdEvent)
{
    if (nIdEvent != TIMER_ID || g_bTimerBusy)
        return;
    CTimerGuard guard;
    try {
        RunTick();
    } catch (const std::exception& e) {
        ReportError(e);
    }
}

void CMainFrame::RunTick()
{
    ResetIdleTimer();
    if (RunReceiverTick()) {
        m_wndView.FollowPosition();
        m_wndView.Invalidate(theApp.m_nViewType == VIEW_TRACK);
    } else if (theApp.m_nViewType == VIEW_GPSDATA) {
        m_wndView.Invalidate(false);
    }
    RepaintSkyWindow(this);
    RepaintProfileWindow(this);
}

void CMainFrame::focusInEvent(QFocusEvent*)
{
    m_wndView.setFocus();
}

void CMainFrame::SetViewType(int nViewType)
{
    theApp.m_nViewType = nViewType;
    m_wndView.Invalidate(true);
}

void CMainFrame::OnFileSave()
{
    const QString strPath = PromptSaveTrack(this);
    if (strPath.isEmpty())
        return;
    // GPX, offered beside GPD and KML, is chosen by its extension alone.
    if (strPath.endsWith(QLatin1String(".gpx")))
        WriteGpx(strPath, theApp.m_trackPoints);
    else
        SaveTrackFile(strPath);
}

void CMainFrame::OnFileOpen()
{
    const QString strPath = PromptOpenTrack(this);
    // The progress dialog lets events through; a tick among them would put
    // its point in the middle of the file's.
    CTimerGuard guard;
    if (!strPath.isEmpty() && OpenTrackWithProgress(this, strPath))
        SetViewType(VIEW_TRACK);
}

void CMainFrame::OnViewMap()
{
    if (m_wndView.m_pMap)
        SetViewType(VIEWPORT_MAP_VIEW);
    else
        ShowMessage(QStringLiteral("Eerst map inlezen! Tools, Load map"));
}

void CMainFrame::OnGpsSetup()
{
    CSetupDlg dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    while (!theApp.m_tracker.OpenPort(theApp.m_strComPort, theApp.m_nBaudRate)) {
        ShowMessage(QString::fromLatin1(MSG_GPS_NOT_FOUND));
        if (dlg.DoModal() != IDOK)
            return;
    }
}

void CMainFrame::OnSetPlacemark()
{
    CGpsTracker& tracker = theApp.m_tracker;
    CPlacemarkDlg dlg(this);
    dlg.m_strPlacemarkName = ProposedPlacemarkName(tracker);
    dlg.m_strLatitude = FormatText("%f", double(tracker.m_fLatitude));
    dlg.m_strLongitude = FormatText("%f", double(tracker.m_fLongitude));
    // Cancel sets no placemark: the user asked for none.
    if (dlg.DoModal() != IDOK)
        return;
    tracker.SetPlacemark(dlg.m_strPlacemarkName);
}

void CMainFrame::OnLoadMap()
{
    CMapBitmap* pMap = FindMapForPosition(theApp.m_mapList, theApp.m_tracker);
    if (!pMap) {
        const QString strPath = PromptOpenMap(this);
        if (strPath.isEmpty())
            return;
        pMap = AddChosenMap(theApp.m_mapList, strPath);
        pMap->m_panX = 0;
        pMap->m_panY = 0;
    }
    m_wndView.m_pMap = pMap;
    CDisplayWnd::SetWaitCursor(true);
    pMap->LoadMapBitmap();
    CDisplayWnd::SetWaitCursor(false);
    pMap->ComputeViewExtent(MapDrawingArea(m_wndView.GetClientRect()));
    SetViewType(VIEWPORT_MAP_VIEW);
}
