#pragma once

#include "display/CDisplayWnd.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "map/CMapBitmap.h"
#include "map/OnlineSettings.h"
#include "track/CTrackPoint.h"
#include "track/CTrackRecorder.h"

#include <QString>

class CSetupDlg;
class QWidget;

// The application object: the settings, the fonts, the tracker record, the
// stored track with its recording and the map catalogue, for the whole run.
// The layers below get the settings and the fonts from it as values.
class CTrackerApp
{
public:
    CTrackerApp() = default;
    CTrackerApp(const CTrackerApp&) = delete;
    CTrackerApp& operator=(const CTrackerApp&) = delete;

    void LoadSettings();
    void SaveSettings() const;   // every value but "ViewType" (and a one-run port)
    void CreateFonts();

    // Start-up and shut-down around the event loop (windowed program only).
    bool InitInstance();
    int ExitInstance();
    void OnAppAbout();   // Tools, "About"
    // Runs the GPS setup dialog: OK makes its settings the run's and stores
    // them. IDOK or IDCANCEL.
    int RunSetupDialog(CSetupDlg& dlg);
    // Start-up's search for a receiver on this machine; true when one
    // answered and its port is open, for this run.
    bool OpenFoundReceiver();

    // What the display window and the view windows show.
    CDisplaySources DisplaySources();

    CTrackerSettings m_settings;
    // Tools, "Online maps…", stored by its OK.
    COnlineSettings m_online;
    CViewFonts m_fonts;
    CGpsTracker m_tracker;
    CTrackPointList m_trackPoints;
    CMapList m_mapList;
    CTrackRecorder m_recorder{m_tracker, m_trackPoints, m_settings};

    // The port and baud rate came from the command line for this run only:
    // saving the settings keeps the stored ones until the user changes them.
    bool m_bOneRunPort = false;
    bool m_bOneRunBaud = false;
    // The port was found at start: the next OK of GPS Setup stores it.
    bool m_bFoundPort = false;

    QWidget* m_pMainWnd = nullptr;
};

extern CTrackerApp theApp;
