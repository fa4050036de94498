#include "app/CMainFrame.h"

#include "app/AppIcon.h"
#include "app/CGoToDlg.h"
#include "app/COnlineMapsDlg.h"
#include "app/CPlacemarkDlg.h"
#include "app/CSetupDlg.h"
#include "app/CTrackerApp.h"
#include "app/CViewWnd.h"
#include "app/CTripStatsDlg.h"
#include "app/FileDialogs.h"
#include "app/IdleTimer.h"
#include "app/MapImportCommand.h"
#include "app/OpenProgress.h"
#include "app/Resource.h"
#include "map/MapCatalogue.h"
#include "map/Viewport.h"
#include "platform/MessageHook.h"
#include "platform/TextFormat.h"
#include "track/Placemark.h"
#include "track/TrackFormats.h"

#include <QTimerEvent>
#include <QToolButton>
#include <cmath>
#include <exception>

bool g_bTimerBusy = false;

namespace {

// A command of the menu: its row, and for a view or zoom command its choice.
struct CMenuCommand
{
    const CMenuRow* pRow = nullptr;
    const CViewRow* pView = nullptr;
    const CZoomRow* pZoom = nullptr;
};

CMenuCommand FindCommand(int nId)
{
    for (const CMenuRow& row : CMainFrame::MenuTable()) {
        if (row.eItem == EMenuItem::Command && row.nId == nId)
            return {&row, nullptr};
        if (row.eItem == EMenuItem::Views) {
            if (const CViewRow* pView = FindViewByCommand(nId))
                return {&row, pView};
        }
        if (row.eItem == EMenuItem::Zooms) {
            if (const CZoomRow* pZoom = FindZoomByCommand(nId))
                return {&row, nullptr, pZoom};
        }
    }
    return {};
}

bool IsEnabled(ECommandState eState, bool bLogging)
{
    return eState == ECommandState::Enabled || (eState == ECommandState::WithLog) == bLogging;
}

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

CMainFrame::CMainFrame()
    : m_wndView(theApp.DisplaySources())
    , m_online(theApp.m_mapList)
{
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create()
{
    setWindowTitle(QString::fromLatin1(APP_TITLE));
    setWindowIcon(AppIcon());
    setCentralWidget(&m_wndView);

    QMenu* pPopup = nullptr;
    for (const CMenuRow& row : MenuTable())
        AddMenuRow(pPopup, row);
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
    // "Fit window" starts at the handheld's size, for the user to enlarge.
    const double dZoom = m_wndView.Zoom();
    ResizeClient(dZoom == ZOOM_FIT_WINDOW ? 1.0 : dZoom);

    m_nTimer = startTimer(TIMER_INTERVAL_MS);
    return m_nTimer != 0;
}

std::span<const CMenuRow> CMainFrame::MenuTable()
{
    static const CMenuRow MENU_TABLE[] = {
        {EMenuItem::Popup, "File"},
        {EMenuItem::Command, "Save", ID_FILE_SAVE, &CMainFrame::OnFileSave},
        {EMenuItem::Command, "Open", ID_FILE_OPEN, &CMainFrame::OnFileOpen},
        {EMenuItem::Command, "Quit", ID_APP_EXIT, &CMainFrame::OnAppExit},
        {EMenuItem::Popup, "View"},
        {EMenuItem::Views},
        {EMenuItem::Separator},
        {EMenuItem::Zooms, "Zoom"},
        {EMenuItem::Popup, "Tools"},
        {EMenuItem::Command, "About", ID_APP_ABOUT, &CMainFrame::OnAppAbout},
        {EMenuItem::Command, "GPS Setup", ID_GPS_SETUP, &CMainFrame::OnGpsSetup},
        {EMenuItem::Command, "Start Log", ID_START_LOG, &CMainFrame::OnStartLog, ECommandState::WithoutLog},
        {EMenuItem::Command, "End log", ID_END_LOG, &CMainFrame::OnEndLog, ECommandState::WithLog},
        {EMenuItem::Separator},
        {EMenuItem::Command, "Set placemark", ID_SET_PLACEMARK, &CMainFrame::OnSetPlacemark, ECommandState::WithLog},
        {EMenuItem::Command, "Load map", ID_LOAD_MAP, &CMainFrame::OnLoadMap},
        {EMenuItem::Command, "Trip statistics", ID_TRIP_STATS, &CMainFrame::OnTripStats},
        {EMenuItem::Command, "Import map…", ID_IMPORT_MAP, &CMainFrame::OnImportMap},
        {EMenuItem::Command, "Go to…", ID_GO_TO, &CMainFrame::OnGoTo},
        {EMenuItem::Command, "Online maps…", ID_ONLINE_MAPS, &CMainFrame::OnOnlineMaps},
    };
    return MENU_TABLE;
}

void CMainFrame::AddMenuRow(QMenu*& pPopup, const CMenuRow& row)
{
    switch (row.eItem) {
    case EMenuItem::Popup:
        pPopup = AddPopup(row.szText);
        break;
    case EMenuItem::Command:
        AddCommand(pPopup, row.szText, row.nId);
        break;
    case EMenuItem::Separator:
        pPopup->addSeparator();
        break;
    case EMenuItem::Views:
        for (const CViewRow& view : ViewTable())
            AddCommand(pPopup, view.szMenuText, view.nCommandId);
        break;
    case EMenuItem::Zooms: {
        QMenu* pZooms = pPopup->addMenu(QString::fromLatin1(row.szText));
        connect(pZooms, &QMenu::aboutToShow, this, [this, pZooms] { UpdateMenuStates(pZooms); });
        for (const CZoomRow& zoom : ZoomTable())
            AddCommand(pZooms, zoom.szMenuText, zoom.nCommandId);
        break;
    }
    }
}

QMenu* CMainFrame::AddPopup(const char* szTitle)
{
    QMenu* pPopup = m_menu.addMenu(QString::fromLatin1(szTitle));
    connect(pPopup, &QMenu::aboutToShow, this, [this, pPopup] { UpdateMenuStates(pPopup); });
    return pPopup;
}

void CMainFrame::AddCommand(QMenu* pPopup, const char* szText, int nId)
{
    QAction* pAction = pPopup->addAction(QString::fromUtf8(szText));
    pAction->setData(nId);
    connect(pAction, &QAction::triggered, this, [this, nId] { OnCommand(nId); });
}

bool CMainFrame::OnCommand(int nId)
{
    const CMenuCommand command = FindCommand(nId);
    if (!command.pRow)
        return false;
    try {
        if (command.pView)
            ShowView(*command.pView);
        else if (command.pZoom)
            SetZoom(*command.pZoom);
        else
            (this->*command.pRow->pfnRun)();
    } catch (const std::exception& e) {
        ReportError(e);
    }
    return true;
}

CCmdUI CMainFrame::UpdateCommand(int nId) const
{
    CCmdUI ui;
    const CMenuCommand command = FindCommand(nId);
    if (!command.pRow)
        return ui;
    ui.m_bEnabled = IsEnabled(command.pRow->eState, theApp.m_recorder.m_log.IsOpen());
    if (command.pView && command.pView->bMenuCheck) {
        ui.m_bCheckable = true;
        ui.m_bChecked = m_wndView.ViewType() == command.pView->eView;
    }
    if (command.pZoom) {
        ui.m_bCheckable = true;
        ui.m_bChecked = ZoomFromSetting(theApp.m_settings.m_nZoom).nCommandId == nId;
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
    const CTickResult tick = theApp.m_recorder.RunReceiverTick();
    ReportOutcome(tick.m_report);
    if (tick.m_bPosition) {
        CheckArrival();
        ReportOutcome(m_wndView.FollowPosition());
        if (m_wndView.ViewType() == EViewType::Map)
            m_online.LookAhead(theApp.m_online, m_wndView.m_pMap, theApp.m_tracker);
        UpdateMapState();
        m_wndView.Invalidate(m_wndView.ViewType() == EViewType::Track);
    } else if (m_wndView.ViewType() == EViewType::GpsData) {
        m_wndView.Invalidate(false);
    }
    RepaintViewWindows(this);
}

void CMainFrame::focusInEvent(QFocusEvent*)
{
    m_wndView.setFocus();
}

void CMainFrame::ShowView(const CViewRow& view)
{
    if (view.ePlace == EViewPlace::OwnWindow)
        ShowViewWindow(this, m_wndView, view.eView);
    else if (!m_wndView.CanShow(view.eView))
        ShowMessage(QString::fromLatin1(VIEW_NEEDS_MAP));
    else
        m_wndView.SetViewType(view.eView);
}

void CMainFrame::SetZoom(const CZoomRow& zoom)
{
    theApp.m_settings.m_nZoom = zoom.nSetting;
    theApp.SaveSettings();
    m_wndView.SetZoom(zoom.dFactor);
    // A maximised or full-screen window, as on a phone, keeps its size.
    if (zoom.dFactor != ZOOM_FIT_WINDOW && !isMaximized() && !isFullScreen())
        ResizeClient(zoom.dFactor);
    ZoomViewWindows(this);
}

void CMainFrame::ResizeClient(double dFactor)
{
    resize(int(std::lround(FRAME_CLIENT_WIDTH * dFactor)),
           int(std::lround(FRAME_CLIENT_HEIGHT * dFactor)) + m_wndCommandBar.sizeHint().height());
}

void CMainFrame::OnFileSave()
{
    const QString strPath = PromptSaveTrack(this);
    if (!strPath.isEmpty())
        ReportOutcome(WriteTrackFile(strPath, theApp.m_trackPoints, theApp.m_settings.m_bKmlAltitude != 0));
}

void CMainFrame::OnFileOpen()
{
    const QString strPath = PromptOpenTrack(this);
    if (!strPath.isEmpty())
        OpenTracks({strPath});
}

void CMainFrame::OpenTracks(const QStringList& paths)
{
    // The progress dialog lets events through; a tick among them would put
    // its point in the middle of the file's.
    CTimerGuard guard;
    bool bRead = false;
    for (const QString& strPath : paths)
        bRead = OpenTrackWithProgress(this, strPath) || bRead;
    if (bRead)
        m_wndView.SetViewType(EViewType::Track);
}

void CMainFrame::OnAppExit()
{
    close();
}

void CMainFrame::OnAppAbout()
{
    theApp.OnAppAbout();
}

void CMainFrame::OnGpsSetup()
{
    CSetupDlg dlg(theApp.m_settings, this);
    const CTrackerSettings& settings = theApp.m_settings;
    while (theApp.RunSetupDialog(dlg) == IDOK) {
        if (ReportOutcome(theApp.m_tracker.OpenPort(settings.m_strComPort, settings.m_nBaudRate)))
            return;
        ShowMessage(QString::fromLatin1(MSG_GPS_NOT_FOUND));
    }
}

void CMainFrame::OnStartLog()
{
    ReportOutcome(theApp.m_recorder.StartLog());
}

void CMainFrame::OnEndLog()
{
    ReportOutcome(theApp.m_recorder.EndLog());
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
    ReportOutcome(theApp.m_recorder.SetPlacemark(dlg.m_strPlacemarkName));
}

void CMainFrame::OnLoadMap()
{
    CMapBitmap* pMap = FindMapForPosition(theApp.m_mapList, theApp.m_tracker);
    if (!pMap && theApp.m_online.m_bOn && theApp.m_tracker.HasPosition()) {
        pMap = MakeOnlineSheet();
        if (!pMap)
            return;
    } else if (!pMap) {
        const QString strPath = PromptOpenMap(this);
        if (strPath.isEmpty())
            return;
        COutcome calibration;
        pMap = AddChosenMap(theApp.m_mapList, strPath, calibration);
        ReportOutcome(calibration);
        pMap->m_panX = 0;
        pMap->m_panY = 0;
    }
    m_wndView.m_pMap = pMap;
    CDisplayWnd::SetWaitCursor(true);
    const COutcome loaded = pMap->LoadMapBitmap();
    CDisplayWnd::SetWaitCursor(false);
    ReportOutcome(loaded);
    pMap->ComputeViewExtent(MapDrawingArea(m_wndView.GetClientRect()));
    UpdateMapState();
    m_wndView.SetViewType(EViewType::Map);
}

CMapBitmap* CMainFrame::MakeOnlineSheet()
{
    const CGpsTracker& tracker = theApp.m_tracker;
    COutcome outcome;
    CMapBitmap* pMap = m_online.MakeSheet(this, theApp.m_online, tracker.m_fLatitude, tracker.m_fLongitude, outcome);
    if (pMap)
        return pMap;
    // A source that cannot be reached says so in the map view's corner,
    // over the online sheet shown; with no map to show it on, in a box.
    UpdateMapState();
    if (m_wndView.m_pMap && !m_wndView.m_strMapState.isEmpty())
        m_wndView.SetViewType(EViewType::Map);
    else
        ReportOutcome(outcome);
    return nullptr;
}

void CMainFrame::UpdateMapState()
{
    m_wndView.m_strMapState = m_online.State(theApp.m_online, m_wndView.m_pMap);
}

void CMainFrame::OnTripStats()
{
    ShowTripStatistics(this);
}

void CMainFrame::OnImportMap()
{
    ImportMapCommand(this, theApp.m_mapList);
}

void CMainFrame::OnGoTo()
{
    CGoToDlg dlg(theApp.m_settings, theApp.m_trackPoints, theApp.m_tracker, this);
    if (dlg.DoModal() != IDOK)
        return;
    theApp.m_settings = dlg.m_settings;
    theApp.SaveSettings();
    m_arrival.Reset();
    m_wndView.Invalidate(true);
}

void CMainFrame::OnOnlineMaps()
{
    COnlineMapsDlg dlg(theApp.m_online, this);
    if (dlg.DoModal() != IDOK)
        return;
    theApp.m_online = dlg.m_settings;
    SaveOnlineSettings(theApp.m_online);
    UpdateMapState();
    m_wndView.Invalidate(true);
}

void CMainFrame::CheckArrival()
{
    const std::optional<CDestination> destination = DestinationOf(theApp.m_settings);
    if (!destination)
        return;
    const CGpsTracker& tracker = theApp.m_tracker;
    if (!m_arrival.Check(GuidanceTo(*destination, tracker).m_dMeters, tracker.m_fHdop))
        return;
    // A note still open from an earlier arrival gives way to the new one.
    if (m_pArrivalNote)
        m_pArrivalNote->close();
    m_pArrivalNote = ShowArrivalNote(this, destination->m_strName);
}
