#pragma once

#include "gps/TrackerSettings.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QString>

// The GPS setup dialog: port, baud rate, KML height source, speed unit, UTC
// correction and maximum dilution, edited on a copy of the settings that OK
// fills in.
class CSetupDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSetupDlg(const CTrackerSettings& settings, QWidget* pParent = nullptr);
    ~CSetupDlg() override;

    // Shows the dialog modally: IDOK or IDCANCEL.
    int DoModal();

    // Fills the controls from the settings, as each run starts.
    void OnInitDialog();
    // Moves the data between the settings, the members and the controls. Out
    // of the controls it validates; a field that fails has been reported and
    // has the focus, and false is returned.
    bool UpdateData(bool bSaveAndValidate);
    // OK: validate into the settings, close.
    void OnOK();
    void accept() override;

    CTrackerSettings m_settings;
    // The user changed the port or the rate field since the dialog opened:
    // a port or rate given for this run only is then stored.
    bool m_bPortChanged = false;
    bool m_bBaudChanged = false;

    QString m_strPort;
    QString m_strBaud;
    QComboBox m_comboPort;
    QComboBox m_comboBaud;
    int m_nKmlAltitude = 0;
    int m_nKmh = 0;
    int m_nUtc = 0;
    int m_nDilution = 0;

    QRadioButton m_radioAltitude;
    QRadioButton m_radioSpeed;
    QRadioButton m_radioKnots;
    QRadioButton m_radioKmh;
    QLineEdit m_editUtc;
    QLineEdit m_editDilution;

private:
    QButtonGroup m_groupKml;
    QButtonGroup m_groupKmh;
    // The port and rate texts as the dialog opened with them.
    QString m_strShownPort;
    QString m_strShownBaud;
};
