#pragma once

#include "gps/CGpsTracker.h"
#include "map/CMapBitmap.h"
#include "track/CTrackPoint.h"

#include <QFont>
#include <QString>
#include <cstdint>

class QWidget;

// The application object: the settings, the fonts, the tracker record, the
// stored track and the map catalogue, for the whole run.
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

    QString m_strComPort = QStringLiteral("COM4:");
    int32_t m_nBaudRate = 9600;
    int32_t m_nViewType = 1;
    int32_t m_bKmlAltitude = 0;
    int32_t m_bKmh = 0;
    int32_t m_nUtcCorrection = 1;
    int32_t m_nMaxDilution = 50;
    QFont m_fontSmall;
    QFont m_fontMedium;
    QFont m_fontLarge;
    CGpsTracker m_tracker;
    CTrackPointList m_trackPoints;
    CMapList m_mapList;
    double m_dMaxDilution = 5.0;

    // The port and baud rate came from the command line for this run only:
    // saving the settings keeps the stored ones until the user changes them.
    bool m_bOneRunPort = false;
    bool m_bOneRunBaud = false;

    QWidget* m_pMainWnd = nullptr;
};

extern CTrackerApp theApp;
