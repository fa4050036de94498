#pragma once

#include "app/CMainFrame.h"
#include "tools/sim/CPseudoTerminal.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

class QWidget;

// Puts theApp back to a fresh start: default settings, view 1, no points, no
// log, no port, no map.
void ResetApp();

// A created frame on a fresh theApp, without its timer: the tests run the
// ticks themselves.
class CFrameTestBase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetApp();
        ASSERT_TRUE(m_frame.Create());
        m_frame.killTimer(m_frame.m_nTimer);
    }
    void TearDown() override { ResetApp(); }

    CMainFrame m_frame;
};

// A receiver on a pseudo-terminal that theApp.m_tracker can open.
class CTestReceiver
{
public:
    CTestReceiver();
    // Sends one second of a moving fix (RMC, GGA, GSA, GSV).
    void SendFix();

    CPseudoTerminal m_pty;
};

// Answers the modal windows the code under test opens, in order: each new
// one goes to the next handler. One more than expected is rejected and
// counted, so a test fails instead of hanging.
class CModalDriver : public QObject
{
public:
    using Handler = std::function<void(QDialog* pDialog)>;

    CModalDriver();
    void Then(Handler handler) { m_handlers.push_back(std::move(handler)); }

    QStringList m_boxTexts;   // texts of the message boxes seen, in order
    int m_nDialogs = 0;       // windows handled
    int m_nUnexpected = 0;

private:
    void Poll();

    QTimer m_timer;
    QPointer<QDialog> m_pCurrent;
    std::deque<Handler> m_handlers;
};

// Handlers for the common cases.
void PressOk(QDialog* pDialog);
void PressCancel(QDialog* pDialog);
// A file dialog that chooses strPath.
CModalDriver::Handler ChooseFile(const QString& strPath);

// Counts the paint events a widget receives.
class CPaintCounter : public QObject
{
public:
    explicit CPaintCounter(QWidget* pWidget);
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    int m_nPaints = 0;
};

// Lets pending events, paints included, run.
void ProcessEvents();
