// Start-up and shut-down of the windowed program, around the event loop.
#include "app/AppIcon.h"
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CSetupDlg.h"
#include "app/CTrackerApp.h"
#include "app/CommandLine.h"
#include "app/ExitSignals.h"
#include "app/ReceiverSearch.h"
#include "app/Resource.h"
#include "gps/CReceiverProbe.h"
#include "map/MapCatalogue.h"
#include "platform/DevicePaths.h"
#include "platform/MessageHook.h"
#include "track/LogRecovery.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <cstdio>

namespace {

MessageHook g_previousHook;

// Every user message is a modal box with one OK button titled "veltrip",
// owned by the window the user is looking at (none before the frame is
// shown).
void ShowMessageBox(const QString& strText)
{
    // Once a signal has asked the program to end, nobody waits for a box.
    if (ExitRequested()) {
        std::fprintf(stderr, "veltrip: %s\n", qPrintable(strText));
        return;
    }
    QWidget* pOwner = QApplication::activeModalWidget();
    if (!pOwner && theApp.m_pMainWnd && theApp.m_pMainWnd->isVisible())
        pOwner = theApp.m_pMainWnd;
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(APP_TITLE), strText, QMessageBox::Ok, pOwner);
    box.exec();
}

}

bool CTrackerApp::InitInstance()
{
    // The platform's extras: user messages go to message boxes.
    g_previousHook = SetMessageHook(ShowMessageBox);

    QCoreApplication::setOrganizationName(QString::fromLatin1(APP_COMPANY));
    QCoreApplication::setApplicationName(QString::fromLatin1(APP_TITLE));
    // Lets the desktop match the window to its menu entry veltrip.desktop.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(APP_TITLE));
    QGuiApplication::setWindowIcon(AppIcon());

    LoadSettings();
    const CStartupOptions& options = StartupOptions();
    m_bOneRunPort = !options.m_strPort.isEmpty();
    if (m_bOneRunPort)
        m_settings.m_strComPort = options.m_strPort;
    m_bOneRunBaud = options.m_nBaudRate > 0;
    if (m_bOneRunBaud)
        m_settings.m_nBaudRate = options.m_nBaudRate;

    CreateFonts();

    auto* pFrame = new CMainFrame;
    m_pMainWnd = pFrame;

    // A fresh account has no GPS folder on the card, and logs go there.
    QDir().mkpath(HostPath(GPS_FOLDER));
    BuildMapCatalogue(m_mapList);
    // Sheets made online earlier are the user's maps as much as those on the
    // card, and they work offline: the catalogue holds them, whether online
    // maps are on or not (reading them opens no connection).
    AddSheetsToCatalogue(m_mapList, CachedOnlineSheets());
    // Logs cut short by a crash or power loss get the KML copy their end
    // would have written; no log of this run is open yet.
    const CLogRecovery recovery = RecoverUnfinishedLogs(GPS_FOLDER, m_settings.m_bKmlAltitude != 0);
    for (const QString& strFailure : recovery.m_failed)
        ShowMessage(strFailure);

    CSetupDlg dlg(m_settings);
    COutcome opened = m_tracker.OpenPort(m_settings.m_strComPort, m_settings.m_nBaudRate);
    // The handheld's "COM4:" names no device on most machines: a stored port
    // (or "auto") that does not open makes way for a receiver that answers
    // here, before the open's messages. A port given for the run is taken
    // at its word.
    const bool bSearch = !m_bOneRunPort || m_settings.m_strComPort == PROBE_AUTO_PORT;
    if (!opened && bSearch && OpenFoundReceiver())
        opened = COutcome::Ok();
    while (!ReportOutcome(opened)) {
        ShowMessage(QString::fromLatin1(MSG_GPS_NOT_FOUND));
        if (ExitRequested() || RunSetupDialog(dlg) == IDCANCEL || ExitRequested())
            return false;
        opened = m_tracker.OpenPort(m_settings.m_strComPort, m_settings.m_nBaudRate);
    }

    if (!pFrame->Create())
        return false;
    pFrame->raise();
    m_trackPoints.clear();
    pFrame->show();
    pFrame->activateWindow();
    pFrame->update();
    if (!options.m_trackPaths.isEmpty())
        pFrame->OpenTracks(options.m_trackPaths);
    return true;
}

bool CTrackerApp::OpenFoundReceiver()
{
    QString strPort;
    int nBaudRate = 0;
    if (ExitRequested() || !SearchReceiverWithProgress(nullptr, strPort, nBaudRate))
        return false;
    if (nBaudRate <= 0)
        nBaudRate = m_settings.m_nBaudRate;
    if (!m_tracker.OpenPort(strPort, nBaudRate))
        return false;
    // For this run; GPS Setup shows it, and its OK stores it.
    m_bOneRunPort = true;
    m_bOneRunBaud = true;
    m_bFoundPort = true;
    m_settings.m_strComPort = strPort;
    m_settings.m_nBaudRate = nBaudRate;
    return true;
}

int CTrackerApp::ExitInstance()
{
    ReportOutcome(m_recorder.EndLog());
    // Closed while the application object lives: a modem port gives the
    // modem's GPS source back through D-Bus.
    m_tracker.ClosePort();
    delete m_pMainWnd;
    m_pMainWnd = nullptr;
    SetMessageHook(std::move(g_previousHook));
    return 0;
}

void CTrackerApp::OnAppAbout()
{
    CAboutDlg dlg(m_pMainWnd);
    dlg.DoModal();
}

int CTrackerApp::RunSetupDialog(CSetupDlg& dlg)
{
    if (dlg.DoModal() != IDOK)
        return IDCANCEL;
    m_settings = dlg.m_settings;
    // A port or rate given for this run only is stored once the user
    // changes its field; one found at start, once the user confirms it.
    m_bOneRunPort = m_bOneRunPort && !dlg.m_bPortChanged && !m_bFoundPort;
    m_bOneRunBaud = m_bOneRunBaud && !dlg.m_bBaudChanged && !m_bFoundPort;
    m_bFoundPort = false;
    SaveSettings();
    return IDOK;
}
