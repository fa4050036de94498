// The GPS setup dialog: lists, selection, validation, storage, and the
// "GPS Setup" command's retry loop.
#include "app/CMainFrame.h"
#include "app/CSetupDlg.h"
#include "app/CTrackerApp.h"
#include "app/Resource.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>

namespace {

class SetupDlgTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetApp(); }
    void TearDown() override { ResetApp(); }

    // GPS Setup as the user runs it on the run's settings: edit changes the
    // fields, then OK.
    static int RunSetup(const std::function<void(CSetupDlg&)>& edit)
    {
        CSetupDlg dlg(theApp.m_settings);
        CModalDriver driver;
        driver.Then([&edit](QDialog* pDialog) {
            auto* pSetup = qobject_cast<CSetupDlg*>(pDialog);
            ASSERT_NE(pSetup, nullptr);
            edit(*pSetup);
            pSetup->accept();
        });
        const int nResult = theApp.RunSetupDialog(dlg);
        EXPECT_EQ(driver.m_nUnexpected, 0);
        return nResult;
    }

    static QStringList Items(const QComboBox& combo)
    {
        QStringList items;
        for (int i = 0; i < combo.count(); ++i)
            items << combo.itemText(i);
        return items;
    }
};

TEST_F(SetupDlgTest, OpensWithTheStoredChoicesSelected)
{
    CSetupDlg dlg(CTrackerSettings{});
    dlg.OnInitDialog();
    const QStringList ports = Items(dlg.m_comboPort);
    ASSERT_GE(ports.size(), 8);
    // The tests' machine has no ports of its own (see TestMain).
    EXPECT_EQ(ports, (QStringList{"COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:"}));
    EXPECT_EQ(Items(dlg.m_comboBaud), (QStringList{"1200", "2400", "9600", "14400", "57600"}));
    EXPECT_EQ(dlg.m_comboPort.currentIndex(), 3);
    EXPECT_EQ(dlg.m_comboBaud.currentIndex(), 2);
    EXPECT_TRUE(dlg.m_radioAltitude.isChecked());
    EXPECT_TRUE(dlg.m_radioKnots.isChecked());
    EXPECT_EQ(dlg.m_editUtc.text(), "1");
    EXPECT_EQ(dlg.m_editDilution.text(), "50");
    EXPECT_EQ(dlg.windowTitle(), "Dialog");
}

// This machine's ports come first: its devices (a by-id name with the device
// it leads to), a gpsd that answers, then the handheld's names. An entry
// stands for its port: selecting it gives the by-id name, and a stored
// by-id name selects it.
TEST_F(SetupDlgTest, MachinePortsComeFirst)
{
    QTemporaryDir byId;
    CTestReceiver receiver;
    const QString strLink = byId.filePath(QStringLiteral("usb-Prolific_USB-Serial-if00-port0"));
    ASSERT_TRUE(QFile::link(receiver.m_pty.m_strDevice, strLink));
    CTestReceiver plain;
    CFakeGpsd gpsd({});
    qputenv("VELTRIP_PROBE_GPSD", QFile::encodeName(gpsd.PortName()));
    qputenv("VELTRIP_PROBE_DEVICES", QFile::encodeName(byId.path() + QStringLiteral("/*:") + receiver.m_pty.m_strDevice
                                                       + u':' + plain.m_pty.m_strDevice));
    CTrackerSettings settings;
    settings.m_strComPort = strLink;
    CSetupDlg dlg(settings);
    dlg.OnInitDialog();
    // A stored port that no entry has stays in the field as it was typed.
    settings.m_strComPort = QStringLiteral("/dev/ttyUSB7");
    CSetupDlg typed(settings);
    typed.OnInitDialog();
    ProcessEvents();
    EXPECT_EQ(typed.m_comboPort.currentText(), "/dev/ttyUSB7");
    ASSERT_TRUE(typed.UpdateData(true));
    EXPECT_EQ(typed.m_settings.m_strComPort, "/dev/ttyUSB7");
    qputenv("VELTRIP_PROBE_GPSD", "");
    qputenv("VELTRIP_PROBE_DEVICES", "");
    const QStringList ports = Items(dlg.m_comboPort);
    EXPECT_EQ(ports, (QStringList{strLink + QStringLiteral(" \u2192 ") + receiver.m_pty.m_strDevice, plain.m_pty.m_strDevice,
                                  gpsd.PortName(), "COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:",
                                  "COM8:"}));
    EXPECT_EQ(dlg.m_comboPort.currentIndex(), 0);
    EXPECT_EQ(dlg.m_comboPort.currentText(), strLink) << "the port, not the entry's text";
    dlg.m_comboPort.setCurrentIndex(1);
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.m_settings.m_strComPort, plain.m_pty.m_strDevice);
    EXPECT_TRUE(dlg.m_bPortChanged);
    dlg.m_comboPort.setCurrentIndex(0);
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.m_settings.m_strComPort, strLink);
    EXPECT_FALSE(dlg.m_bPortChanged);
}

TEST_F(SetupDlgTest, ListEntriesAreFoundWhateverTheCase)
{
    CTrackerSettings settings;
    settings.m_strComPort = "com2:";
    settings.m_nBaudRate = 4800;
    settings.m_bKmlAltitude = 1;
    settings.m_bKmh = 1;
    CSetupDlg dlg(settings);
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.m_comboPort.currentIndex(), 1);
    EXPECT_EQ(dlg.m_comboPort.currentText(), "COM2:");
    // A rate the list does not offer shows as typed.
    EXPECT_EQ(dlg.m_comboBaud.currentIndex(), -1);
    EXPECT_EQ(dlg.m_comboBaud.currentText(), "4800");
    EXPECT_TRUE(dlg.m_radioSpeed.isChecked());
    EXPECT_TRUE(dlg.m_radioKmh.isChecked());
}

TEST_F(SetupDlgTest, IntegerFieldsAreValidatedWithOneMessage)
{
    struct Case
    {
        const char* szUtc;
        const char* szDilution;
        const char* szMessage;
    };
    const Case cases[] = {
        {"13", "50", "Enter an integer between -12 and 12."},
        {"", "50", "Enter an integer."},
        {"1x", "50", "Enter an integer."},
        {"1", "14", "Enter an integer between 15 and 500."},
        {"1", "501", "Enter an integer between 15 and 500."},
        {"1", "abc", "Enter an integer."},
    };
    for (const Case& c : cases) {
        CSetupDlg dlg(CTrackerSettings{});
        dlg.OnInitDialog();
        dlg.m_comboPort.setEditText("COM7:");
        dlg.m_editUtc.setText(c.szUtc);
        dlg.m_editDilution.setText(c.szDilution);
        CMessageCapture capture;
        dlg.OnOK();
        EXPECT_EQ(capture.m_messages, QStringList{c.szMessage}) << c.szUtc << " " << c.szDilution;
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(dlg.m_settings.m_strComPort, "COM4:");
        EXPECT_EQ(dlg.m_settings.m_nUtcCorrection, 1);
        EXPECT_EQ(dlg.m_settings.m_nMaxDilution, 50);
    }
}

TEST_F(SetupDlgTest, OkStoresTheChoicesInTheSettings)
{
    CSetupDlg dlg(theApp.m_settings);
    CMessageCapture capture;
    CModalDriver driver;
    driver.Then([](QDialog* pDialog) {
        auto* pSetup = qobject_cast<CSetupDlg*>(pDialog);
        ASSERT_NE(pSetup, nullptr);
        pSetup->m_comboPort.setEditText("/dev/ttyUSB7");
        pSetup->m_comboBaud.setCurrentIndex(4);
        pSetup->m_radioSpeed.setChecked(true);
        pSetup->m_radioKmh.setChecked(true);
        pSetup->m_editUtc.setText("3");
        pSetup->m_editDilution.setText("75");
        QPushButton* pOk = nullptr;
        for (QPushButton* pButton : pSetup->findChildren<QPushButton*>()) {
            if (pButton->text() == "OK")
                pOk = pButton;
        }
        ASSERT_NE(pOk, nullptr);
        EXPECT_TRUE(pOk->isDefault());
        pOk->click();
    });
    EXPECT_EQ(theApp.RunSetupDialog(dlg), IDOK);
    EXPECT_EQ(driver.m_nUnexpected, 0);
    EXPECT_TRUE(capture.m_messages.isEmpty());
    const auto expectChoices = [](const CTrackerSettings& settings) {
        EXPECT_EQ(settings.m_strComPort, "/dev/ttyUSB7");
        EXPECT_EQ(settings.m_nBaudRate, 57600);
        EXPECT_EQ(settings.m_bKmlAltitude, 1);
        EXPECT_EQ(settings.m_bKmh, 1);
        EXPECT_EQ(settings.m_nUtcCorrection, 3);
        EXPECT_EQ(settings.m_nMaxDilution, 75);
    };
    expectChoices(theApp.m_settings);
    EXPECT_DOUBLE_EQ(theApp.m_settings.MaxDilution(), 75 * 0.1);

    ResetApp();
    theApp.LoadSettings();
    expectChoices(theApp.m_settings);
}

TEST_F(SetupDlgTest, CancelLeavesTheSettings)
{
    const QString strStored = LoadTrackerSettings().m_strComPort;
    CSetupDlg dlg(theApp.m_settings);
    CModalDriver driver;
    driver.Then([](QDialog* pDialog) {
        qobject_cast<CSetupDlg*>(pDialog)->m_comboPort.setEditText("/dev/ttyUSB7");
        pDialog->reject();
    });
    EXPECT_EQ(theApp.RunSetupDialog(dlg), IDCANCEL);
    EXPECT_EQ(theApp.m_settings.m_strComPort, "COM4:");
    EXPECT_EQ(LoadTrackerSettings().m_strComPort, strStored);
}

TEST_F(SetupDlgTest, BaudRateIsReadLikeScanf)
{
    const std::pair<const char*, int> cases[] = {{"fast", 9600}, {"", 9600}, {" 19200x", 19200}, {"4800", 4800},
                                                      {"0", 9600}, {"-4800", 9600}, {"4000001", 9600}};
    for (const auto& [szText, nExpected] : cases) {
        CSetupDlg dlg(CTrackerSettings{});
        dlg.OnInitDialog();
        dlg.m_comboBaud.setEditText(szText);
        ASSERT_TRUE(dlg.UpdateData(true));
        EXPECT_EQ(dlg.m_settings.m_nBaudRate, nExpected) << szText;
    }
}

TEST_F(SetupDlgTest, NegativeCorrectionFromTheSettingsIsKept)
{
    CTrackerSettings settings;
    settings.m_nUtcCorrection = -5;
    CSetupDlg dlg(settings);
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.m_editUtc.text(), "-5");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.m_settings.m_nUtcCorrection, -5);
}

// West of Greenwich the correction is typed with a minus sign; the range
// check still holds. The maximum dilution takes digits only.
TEST_F(SetupDlgTest, NegativeCorrectionCanBeTyped)
{
    CSetupDlg dlg(CTrackerSettings{});
    dlg.OnInitDialog();
    const struct
    {
        QLineEdit* pEdit;
        QString strTyped;
        QValidator::State state;
    } CASES[] = {
        {&dlg.m_editUtc, "-3", QValidator::Acceptable},
        {&dlg.m_editUtc, "-", QValidator::Acceptable},
        {&dlg.m_editUtc, "3-", QValidator::Invalid},
        {&dlg.m_editUtc, "+3", QValidator::Invalid},
        {&dlg.m_editDilution, "-3", QValidator::Invalid},
    };
    for (const auto& c : CASES) {
        QString strTyped = c.strTyped;
        int nPos = 0;
        ASSERT_NE(c.pEdit->validator(), nullptr);
        EXPECT_EQ(c.pEdit->validator()->validate(strTyped, nPos), c.state) << c.strTyped.toStdString();
    }

    CMessageCapture capture;
    dlg.m_editUtc.setText("-8");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.m_settings.m_nUtcCorrection, -8);
    dlg.m_editUtc.setText("-13");
    EXPECT_FALSE(dlg.UpdateData(true));
    EXPECT_EQ(capture.m_messages, QStringList{"Enter an integer between -12 and 12."});
}

// A stored port equal to a list entry selects that entry, even when an
// earlier entry begins with it.
TEST_F(SetupDlgTest, StoredPortSelectsItsOwnEntryFirst)
{
    CSetupDlg dlg(CTrackerSettings{});
    dlg.OnInitDialog();
    dlg.m_comboPort.addItems({"/dev/ttyUSB10", "/dev/ttyUSB1"});
    const std::pair<const char*, const char*> CASES[] = {
        {"/dev/ttyUSB1", "/dev/ttyUSB1"}, {"/dev/ttyusb10", "/dev/ttyUSB10"}, {"/dev/ttyUS", "/dev/ttyUSB10"},
        {"COM1", "COM1:"},
    };
    for (const auto& [szStored, szSelected] : CASES) {
        dlg.m_settings.m_strComPort = szStored;
        dlg.UpdateData(false);
        EXPECT_EQ(dlg.m_comboPort.currentText(), szSelected) << szStored;
    }
}

// "veltrip --port P --baud N" is for one run: OK in GPS Setup keeps P and N
// out of the settings unless their fields were changed.
TEST_F(SetupDlgTest, OneRunPortStaysOutOfTheSettings)
{
    CTrackerSettings& settings = theApp.m_settings;
    settings.m_strComPort = "COM2:";
    settings.m_nBaudRate = 4800;
    theApp.SaveSettings();
    settings.m_strComPort = "/dev/ttyUSB3";
    settings.m_nBaudRate = 57600;
    theApp.m_bOneRunPort = true;
    theApp.m_bOneRunBaud = true;

    ASSERT_EQ(RunSetup([](CSetupDlg& dlg) { dlg.m_radioKmh.setChecked(true); }), IDOK);
    EXPECT_EQ(settings.m_strComPort, "/dev/ttyUSB3") << "still used for this run";
    theApp.LoadSettings();
    EXPECT_EQ(settings.m_strComPort, "COM2:");
    EXPECT_EQ(settings.m_nBaudRate, 4800);
    EXPECT_EQ(settings.m_bKmh, 1);

    // Changing the baud field stores the rate; the port stays a one-run one.
    settings.m_strComPort = "/dev/ttyUSB3";
    settings.m_nBaudRate = 57600;
    ASSERT_EQ(RunSetup([](CSetupDlg& dlg) { dlg.m_comboBaud.setCurrentIndex(0); }), IDOK);
    theApp.LoadSettings();
    EXPECT_EQ(settings.m_strComPort, "COM2:");
    EXPECT_EQ(settings.m_nBaudRate, 1200);

    // And the port field likewise.
    settings.m_strComPort = "/dev/ttyUSB3";
    ASSERT_EQ(RunSetup([](CSetupDlg& dlg) { dlg.m_comboPort.setCurrentIndex(5); }), IDOK);
    theApp.LoadSettings();
    EXPECT_EQ(settings.m_strComPort, "COM6:");
    EXPECT_FALSE(theApp.m_bOneRunPort);
    EXPECT_FALSE(theApp.m_bOneRunBaud);
}

// OK stores first and then tries the port: a failing port shows the message
// and the dialog again until the user cancels.
TEST_F(SetupDlgTest, GpsSetupRetriesUntilCancel)
{
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    frame.killTimer(frame.m_nTimer);
    CMessageCapture capture;
    CModalDriver driver;
    driver.Then([](QDialog* pDialog) {
        auto* pSetup = qobject_cast<CSetupDlg*>(pDialog);
        ASSERT_NE(pSetup, nullptr);
        pSetup->m_comboPort.setEditText("/nonexistent/veltrip-tty");
        pSetup->accept();
    });
    driver.Then([](QDialog* pDialog) {
        EXPECT_EQ(qobject_cast<CSetupDlg*>(pDialog)->m_comboPort.currentText(), "/nonexistent/veltrip-tty");
        pDialog->reject();
    });
    EXPECT_TRUE(frame.OnCommand(ID_GPS_SETUP));
    EXPECT_EQ(driver.m_nDialogs, 2);
    EXPECT_EQ(driver.m_nUnexpected, 0);
    ASSERT_FALSE(capture.m_messages.isEmpty());
    EXPECT_EQ(capture.m_messages.last(), "GPS not found!\n Please select correct port and baudrate.");
    EXPECT_EQ(theApp.m_tracker.m_link.m_hPort, nullptr);

    ResetApp();
    theApp.LoadSettings();
    EXPECT_EQ(theApp.m_settings.m_strComPort, "/nonexistent/veltrip-tty");
}

TEST_F(SetupDlgTest, GpsSetupCancelLeavesThePortOpen)
{
    CTestReceiver receiver;
    ASSERT_TRUE(theApp.m_tracker.OpenPort(receiver.m_pty.m_strDevice, 9600));
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    frame.killTimer(frame.m_nTimer);
    CModalDriver driver;
    driver.Then(PressCancel);
    EXPECT_TRUE(frame.OnCommand(ID_GPS_SETUP));
    EXPECT_EQ(driver.m_nDialogs, 1);
    EXPECT_NE(theApp.m_tracker.m_link.m_hPort, nullptr);
}

}
