#pragma once

#include "app/CTrackerApp.h"
#include "app/Resource.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/RecordingDC.h"
#include "tests/common/TestSupport.h"
#include "tools/sim/CSimReceiver.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProgressDialog>

// A frame whose receiver sends the position each tick sets, for the tests of
// online maps in the window. StartReceiving() after online maps are set up.
class COnlineWindowTestBase : public CFrameTestBase
{
protected:
    void StartReceiving()
    {
        ASSERT_TRUE(theApp.m_tracker.OpenPort(m_receiver.m_pty.m_strDevice, 9600));
        m_frame.show();
        ProcessEvents();
    }

    // One tick with the receiver at the position; returns its milliseconds.
    qint64 TickAt(double dLatitude, double dLongitude)
    {
        m_sim.m_dLatitude = dLatitude;
        m_sim.m_dLongitude = dLongitude;
        m_receiver.m_pty.Write(m_sim.Sentences(QDateTime::currentDateTimeUtc()));
        QElapsedTimer clock;
        clock.start();
        m_frame.OnTimer(TIMER_ID);
        return clock.elapsed();
    }

    // Load map at the position, its progress dialog let be.
    void LoadMapAt(double dLatitude, double dLongitude)
    {
        TickAt(dLatitude, dLongitude);
        m_driver.Then([](QDialog* pDialog) { EXPECT_NE(qobject_cast<QProgressDialog*>(pDialog), nullptr); });
        EXPECT_TRUE(m_frame.OnCommand(ID_LOAD_MAP));
        ProcessEvents();
    }

    // The texts the map view paints.
    QStringList MapViewTexts()
    {
        CRecordingDC dc(FRAME_CLIENT_WIDTH, FRAME_CLIENT_HEIGHT);
        m_frame.m_wndView.Paint(&dc);
        return dc.Texts();
    }

    CTestReceiver m_receiver;
    CSimReceiver m_sim {52.09, 5.12};
    CModalDriver m_driver;
    CMessageCapture m_capture;
};
