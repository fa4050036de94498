#include "app/CMainFrame.h"

#include "app/AppIcon.h"
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
#include <exception>

bool g_bTimerBusy = false;

namespace {

// The menu tree behind the "Menu" soft key, in order; id 0 is a separator.
// The View menu lists the views' table.
struct MenuEntry
{
    const char* szPopup;
    const char* szText;
    int nId;
};

const char MENU_VIEW[] = "View";

const MenuEntry MENU_TREE[] = {
    {"File", "Save", ID_FILE_SAVE},
    {"File", "Open", ID_FILE_OPEN},
    {"File", "Quit", ID_APP_EXIT},
    {"Tools", "About", ID_APP_ABOUT},
    {"Tools", "GPS Setup", ID_GPS_SETUP},
    {"Tools", "Start Log", ID_START_LOG},
    {"Tools", "End log", ID_END_LOG},
    {"Tools", nullptr, 0},
    {"Tools", "Set placemark", ID_SET_PLACEMARK},
    {"Tools", "Load map", ID_LOAD_MAP},
    {"Tools", "Trip statistics", ID_TRIP_STATS},
    {"Tools", "Import map…", ID_IMPORT_MAP},
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

CMainFrame::CMainFrame()
    : m_wndView(theApp.DisplaySources())
{
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create()
{
    setWindowTitle(QString::fromLatin1(APP_TITLE));
    setWindowIcon(AppIcon());
    setCentralWidget(&m_wndView);

    QMenu* pPopup = nullptr;
    for (const MenuEntry& entry : MENU_TREE) {
        if (!pPopup || pPopup->title() != QLatin1String(entry.szPopup)) {
            if (pPopup && pPopup->title() == QLatin1String("File")) {
                QMenu* pViews = AddPopup(MENU_VIEW);
                for (const CViewRow& row : ViewTable())
                    AddCommand(pViews, row.szMenuText, row.nCommandId);
            }
            pPopup = AddPopup(entry.szPopup);
        }
        if (entry.nId)
            AddCommand(pPopup, entry.szText, entry.nId);
        else
            pPopup->addSeparator();
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
    struct Handler
    {
        int nId;
        void (CMainFrame::*pfnRun)();
    };
    static const Handler HANDLERS[] = {
        {ID_FILE_SAVE, &CMainFrame::OnFileSave},
        {ID_FILE_OPEN, &CMainFrame::OnFileOpen},
        {ID_GPS_SETUP, &CMainFrame::OnGpsSetup},
        {ID_SET_PLACEMARK, &CMainFrame::OnSetPlacemark},
        {ID_LOAD_MAP, &CMainFrame::OnLoadMap},
    };

    try {
        if (const CViewRow* pView = FindViewByCommand(nId)) {
            ShowView(*pView);
            return true;
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
            ReportOutcome(theApp.m_recorder.StartLog());
            return true;
        case ID_END_LOG:
            ReportOutcome(theApp.m_recorder.EndLog());
            return true;
        case ID_TRIP_STATS:
            ShowTripStatistics(this);
            return true;
        case ID_IMPORT_MAP:
            ImportMapCommand(this, theApp.m_mapList);
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
    const bool bLogging = theApp.m_recorder.m_log.IsOpen();
    if (nId == ID_START_LOG)
        ui.m_bEnabled = !bLogging;
    else if (nId == ID_END_LOG || nId == ID_SET_PLACEMARK)
        ui.m_bEnabled = bLogging;
    const CViewRow* pView = FindViewByCommand(nId);
    if (pView && pView->bMenuCheck) {
        ui.m_bCheckable = true;
        ui.m_bChecked = m_wndView.ViewType() == pView->eView;
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
        ReportOutcome(m_wndView.FollowPosition());
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

void CMainFrame::OnFileSave()
{
    const QString strPath = PromptSaveTrack(this);
    if (!strPath.isEmpty())
        ReportOutcome(WriteTrackFile(strPath, theApp.m_trackPoints, theApp.m_bKmlAltitude != 0));
}

void CMainFrame::OnFileOpen()
{
    const QString strPath = PromptOpenTrack(this);
    if (strPath.isEmpty())
        return;
    // The progress dialog lets events through; a tick among them would put
    // its point in the middle of the file's.
    CTimerGuard guard;
    if (OpenTrackWithProgress(this, strPath))
        m_wndView.SetViewType(EViewType::Track);
}

void CMainFrame::OnGpsSetup()
{
    CSetupDlg dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    while (!ReportOutcome(theApp.m_tracker.OpenPort(theApp.m_strComPort, theApp.m_nBaudRate))) {
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
    ReportOutcome(theApp.m_recorder.SetPlacemark(dlg.m_strPlacemarkName));
}

void CMainFrame::OnLoadMap()
{
    CMapBitmap* pMap = FindMapForPosition(theApp.m_mapList, theApp.m_tracker);
    if (!pMap) {
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
    m_wndView.SetViewType(EViewType::Map);
}
