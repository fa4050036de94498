#include "tests/app/AppTestSupport.h"

#include "app/CTrackerApp.h"
#include "platform/SerialPort.h"
#include "tools/sim/CSimReceiver.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QMessageBox>
#include <QWidget>

void ResetApp()
{
    theApp.m_recorder.EndLog();
    theApp.m_tracker.ClosePort();
    theApp.m_settings = CTrackerSettings{};
    theApp.m_online = COnlineSettings{};
    theApp.m_bOneRunPort = false;
    theApp.m_bOneRunBaud = false;
    theApp.m_bFoundPort = false;
    theApp.m_trackPoints.clear();
    theApp.m_mapList.clear();
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_nSecsSinceLog = 0;
    tracker.m_nUpdateFlags = 0;
    tracker.m_nDay = tracker.m_nMonth = tracker.m_nYear = 0;
    tracker.m_nHour = tracker.m_nMinute = tracker.m_nSecond = 0;
    tracker.m_fLatitude = tracker.m_fLongitude = tracker.m_fSpeed = tracker.m_fCourse = 0;
    tracker.m_fLastLogCourse = 0;
    tracker.m_fHdop = 0;
    tracker.m_nSatsUsed = 0;
    tracker.m_bRmcValid = 0;
    tracker.m_nFixQuality = 0;
}

CTestReceiver::CTestReceiver()
{
    QString strError;
    m_pty.Open(QString(), strError);
}

void CTestReceiver::SendFix()
{
    static CSimReceiver g_receiver(52.09, 5.12);
    m_pty.Write(g_receiver.Sentences(QDateTime::currentDateTimeUtc()));
    g_receiver.Step();
}

CModalDriver::CModalDriver()
{
    connect(&m_timer, &QTimer::timeout, this, &CModalDriver::Poll);
    m_timer.start(5);
}

void CModalDriver::Poll()
{
    auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!pDialog || pDialog == m_pCurrent || !pDialog->isVisible())
        return;
    m_pCurrent = pDialog;
    connect(pDialog, &QDialog::finished, this, [this] { m_pCurrent = nullptr; }, Qt::SingleShotConnection);
    if (auto* pBox = qobject_cast<QMessageBox*>(pDialog))
        m_boxTexts << pBox->text();
    ++m_nDialogs;
    if (m_handlers.empty()) {
        ++m_nUnexpected;
        pDialog->reject();
        return;
    }
    Handler handler = std::move(m_handlers.front());
    m_handlers.pop_front();
    handler(pDialog);
}

void PressOk(QDialog* pDialog)
{
    pDialog->accept();
}

void PressCancel(QDialog* pDialog)
{
    pDialog->reject();
}

CPaintCounter::CPaintCounter(QWidget* pWidget)
{
    pWidget->installEventFilter(this);
}

bool CPaintCounter::eventFilter(QObject*, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::Paint)
        ++m_nPaints;
    return false;
}

void ProcessEvents()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}
