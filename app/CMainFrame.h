#pragma once

#include "app/COnlineSheets.h"
#include "display/CDisplayWnd.h"
#include "track/Destination.h"

#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QToolBar>
#include <span>

// Enabled and checked state of one command, worked out when the menu opens.
struct CCmdUI
{
    bool m_bEnabled = true;
    bool m_bCheckable = false;
    bool m_bChecked = false;
};

class CMainFrame;

// What a row of the menu table puts into the menu tree behind "Menu".
enum class EMenuItem
{
    Popup,       // starts the popup of that title; the rows after it fill it
    Command,
    Separator,
    Views,       // every view of the views table, in its order
    Zooms,       // a popup of that title with every choice of the zoom table
};

// When a command's item is enabled, worked out as its popup opens.
enum class ECommandState
{
    Enabled,
    WithoutLog,   // only while no log is open
    WithLog,      // only while a log is open
};

// One row of the menu tree; a view command's text, handler and check mark
// come from the views table.
struct CMenuRow
{
    EMenuItem eItem;
    const char* szText = nullptr;   // the popup's title or the command's text
    int nId = 0;
    void (CMainFrame::*pfnRun)() = nullptr;
    ECommandState eState = ECommandState::Enabled;
};

// True while a timer tick is being handled: a message box shown inside a tick
// runs a nested event loop in which further ticks must do nothing.
extern bool g_bTimerBusy;

// The one top-level window: the display window over the client area, two soft
// keys at the bottom ("New" and "Menu" with the menu tree), and the one-second
// timer that drives polling, recording and repainting.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the display window, the soft keys with the menu and starts the
    // timer; false when any of it fails.
    bool Create();

    // The menu tree, in order.
    static std::span<const CMenuRow> MenuTable();

    // Runs a command; false when nothing handles it (the "New" soft key).
    bool OnCommand(int nId);
    CCmdUI UpdateCommand(int nId) const;

    // One timer tick; ids other than the frame's timer are ignored.
    void OnTimer(int nIdEvent);

    // Reads each track as File Open does, one segment each, in order; the
    // track view shows them when any was read.
    void OpenTracks(const QStringList& paths);

    // The menu outlives the soft key that shows it.
    QMenu m_menu;
    CDisplayWnd m_wndView;
    QToolBar m_wndCommandBar;
    int m_nTimer = 0;   // Qt's id of the one-second timer
    // Tools, "Go to…": when the next arrival is due, and its note while shown.
    CArrivalWatch m_arrival;
    QPointer<QMessageBox> m_pArrivalNote;
    // Load map's online sheets and the next one asked for while driving.
    COnlineSheets m_online;

protected:
    void timerEvent(QTimerEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;

private:
    QMenu* AddPopup(const char* szTitle);
    void AddCommand(QMenu* pPopup, const char* szText, int nId);
    void AddMenuRow(QMenu*& pPopup, const CMenuRow& row);
    void RunTick();
    void UpdateMenuStates(QMenu* pMenu);
    // A view command: the view in the display window, or its own window.
    void ShowView(const CViewRow& view);
    // View, "Zoom": stored, and the windows drawn at the new size.
    void SetZoom(const CZoomRow& zoom);
    // The client area the handheld's screen dFactor times larger.
    void ResizeClient(double dFactor);

    void OnFileSave();
    void OnFileOpen();
    void OnAppExit();
    void OnAppAbout();
    void OnGpsSetup();
    void OnStartLog();
    void OnEndLog();
    void OnSetPlacemark();
    void OnLoadMap();
    void OnTripStats();
    void OnImportMap();
    void OnGoTo();
    void OnOnlineMaps();
    // Load map with online maps on and no catalogued map for the position:
    // the sheet around it, or null (reported, or shown in the map view's
    // corner when the source cannot be reached).
    CMapBitmap* MakeOnlineSheet();
    // The map view's corner text for the current map.
    void UpdateMapState();
    // A tick with a position: the arrival note once near the destination.
    void CheckArrival();
};
