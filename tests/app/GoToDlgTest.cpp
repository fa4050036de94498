// Tools, "Go to…": the dialog through the frame's command, and the arrival
// note of the timer tick.
#include "app/CGoToDlg.h"
#include "app/CMainFrame.h"
#include "app/CTrackerApp.h"
#include "app/Resource.h"
#include "tests/app/AppTestSupport.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double GOTO_METERS_PER_DEGREE = 6371008.8 * 3.14159265358979323846 / 180.0;

class GoToDlgTest : public CFrameTestBase
{
protected:
    // Runs Tools, "Go to…" with the dialog answered by fnAnswer.
    void GoTo(const std::function<void(CGoToDlg&)>& fnAnswer)
    {
        CModalDriver driver;
        driver.Then([&fnAnswer](QDialog* pDialog) {
            auto* pGoTo = dynamic_cast<CGoToDlg*>(pDialog);
            ASSERT_NE(pGoTo, nullptr);
            fnAnswer(*pGoTo);
            if (pGoTo->isVisible())
                pGoTo->m_buttonCancel.click();
        });
        ASSERT_TRUE(m_frame.OnCommand(ID_GO_TO));
        EXPECT_EQ(driver.m_nDialogs, 1);
        EXPECT_EQ(driver.m_nUnexpected, 0);
    }

    static void Type(CGoToDlg& dlg, const QString& strText)
    {
        dlg.m_editCoordinates.setText(strText);
        emit dlg.m_editCoordinates.textEdited(strText);
    }
};

TEST_F(GoToDlgTest, ListsThePlacemarksWithTheirDistance)
{
    CTrackPoint hut;
    hut.m_fLatitude = 52.1f;
    hut.m_fLongitude = 5.12f;
    hut.m_strName = QStringLiteral("Hut");
    CTrackPoint plain = hut;
    plain.m_strName.clear();
    CTrackPoint bridge = hut;
    bridge.m_fLatitude = 52.0905f;
    bridge.m_strName = QStringLiteral("Bridge");
    theApp.m_trackPoints = {hut, plain, bridge};
    theApp.m_tracker.m_fLatitude = 52.09f;
    theApp.m_tracker.m_fLongitude = 5.12f;
    QStringList rows;
    GoTo([&rows](CGoToDlg& dlg) {
        for (int i = 0; i < dlg.m_listPlacemarks.count(); ++i)
            rows << dlg.m_listPlacemarks.item(i)->text();
        EXPECT_FALSE(dlg.m_buttonStop.isEnabled()) << "no destination to stop";
        dlg.m_listPlacemarks.setCurrentRow(0);
        dlg.m_buttonOk.click();
    });
    EXPECT_EQ(rows, (QStringList{QStringLiteral("Hut  1.1 km"), QStringLiteral("Bridge  56 m")}));
    const std::optional<CDestination> destination = DestinationOf(theApp.m_settings);
    ASSERT_TRUE(destination.has_value());
    EXPECT_EQ(destination->m_strName, QStringLiteral("Hut"));
    EXPECT_EQ(destination->m_point.m_dLatitude, double(52.1f));
    EXPECT_EQ(LoadTrackerSettings().m_strGoToName, QStringLiteral("Hut")) << "kept in the settings";
}

TEST_F(GoToDlgTest, CoordinatesInEachFormBecomeTheDestination)
{
    const struct
    {
        const char* szTyped;
        const char* szName;
    } CASES[] = {
        {"52.0907 5.1214", "52.09070 5.12140"},
        {"52\u00B005'26.5\"N 5\u00B007'17.0\"E", "52.09069 5.12139"},
        {"N 52 05.443 E 5 07.284", "52.09072 5.12140"},
    };
    for (const auto& c : CASES) {
        GoTo([&c](CGoToDlg& dlg) {
            Type(dlg, QString::fromUtf8(c.szTyped));
            dlg.m_buttonOk.click();
        });
        const std::optional<CDestination> destination = DestinationOf(theApp.m_settings);
        ASSERT_TRUE(destination.has_value()) << c.szTyped;
        EXPECT_EQ(destination->m_strName, QString::fromLatin1(c.szName)) << c.szTyped;
        EXPECT_EQ(LoadTrackerSettings().m_bGoTo, 1);
    }
}

TEST_F(GoToDlgTest, BadCoordinatesKeepTheDialogOpenAndNothingElse)
{
    const struct
    {
        const char* szTyped;
        const char* szProblem;
    } CASES[] = {
        {"52.0907", "Not understood: type latitude and longitude, for example 52.0907 5.1214 or N 52 05.443 E 5 07.284"},
        {"N 91 E 5", "Latitude lies between 90 S and 90 N"},
        {"", "Choose a placemark or type coordinates"},
    };
    theApp.SaveSettings();
    for (const auto& c : CASES) {
        bool bStayed = false;
        QString strShown;
        GoTo([&](CGoToDlg& dlg) {
            Type(dlg, QString::fromUtf8(c.szTyped));
            dlg.m_buttonOk.click();
            bStayed = dlg.isVisible();
            strShown = dlg.m_labelProblem.isVisibleTo(&dlg) ? dlg.m_labelProblem.text() : QString();
        });
        EXPECT_TRUE(bStayed) << c.szTyped;
        EXPECT_EQ(strShown, QString::fromUtf8(c.szProblem));
        EXPECT_FALSE(DestinationOf(theApp.m_settings).has_value()) << c.szTyped;
        EXPECT_EQ(LoadTrackerSettings().m_bGoTo, 0);
    }
}

TEST_F(GoToDlgTest, StopClearsTheDestination)
{
    SetDestination(theApp.m_settings, CDestination{QStringLiteral("Hut"), {52.1, 5.12}});
    theApp.SaveSettings();
    GoTo([](CGoToDlg& dlg) {
        EXPECT_TRUE(dlg.m_buttonStop.isEnabled());
        dlg.m_buttonStop.click();
    });
    EXPECT_FALSE(DestinationOf(theApp.m_settings).has_value());
    EXPECT_EQ(LoadTrackerSettings().m_bGoTo, 0);
}

// A fix dMetersNorth of the destination, through the receiver's port.
QByteArray FixNorthOf(double dLatitude, double dLongitude, double dMetersNorth)
{
    const double dLat = dLatitude + dMetersNorth / GOTO_METERS_PER_DEGREE;
    const int nLatDeg = int(dLat);
    const int nLonDeg = int(dLongitude);
    const QByteArray lat = QString::asprintf("%02d%07.4f,N", nLatDeg, (dLat - nLatDeg) * 60).toLatin1();
    const QByteArray lon = QString::asprintf("%03d%07.4f,E", nLonDeg, (dLongitude - nLonDeg) * 60).toLatin1();
    return "$GPRMC,123519,A," + lat + "," + lon + ",0.5,0.0,081226,,,A\r\n$GPGGA,123519," + lat + "," + lon +
           ",1,06,1.0,14.5,M,47.0,M,,\r\n";
}

TEST_F(GoToDlgTest, ArrivalIsNotedOnceUntilLeavingAHundredMetres)
{
    const struct
    {
        double dMetersNorth;
        bool bNote;
    } TICKS[] = {
        {400, false}, {30, false}, {20, true}, {0, false}, {90, false},
        {10, false},  {130, false}, {60, false}, {5, true},
    };
    SetDestination(theApp.m_settings, CDestination{QStringLiteral("Hut"), {52.1, 5.12}});
    CTestReceiver receiver;
    ASSERT_TRUE(theApp.m_tracker.OpenPort(receiver.m_pty.m_strDevice, 9600));
    for (const auto& tick : TICKS) {
        ASSERT_TRUE(receiver.m_pty.Write(FixNorthOf(52.1, 5.12, tick.dMetersNorth)));
        m_frame.OnTimer(TIMER_ID);
        QMessageBox* pNote = m_frame.m_pArrivalNote;
        EXPECT_EQ(pNote != nullptr, tick.bNote) << tick.dMetersNorth << " m";
        if (!pNote)
            continue;
        EXPECT_EQ(pNote->text(), QStringLiteral("Arrived at Hut"));
        EXPECT_FALSE(pNote->isModal());
        EXPECT_TRUE(pNote->isVisible());
        // The user dismisses it.
        pNote->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(m_frame.m_pArrivalNote, nullptr);
    }
}

}
