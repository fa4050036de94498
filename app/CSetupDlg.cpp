#include "app/CSetupDlg.h"

#include "app/DialogUnits.h"
#include "app/Resource.h"
#include "gps/CReceiverProbe.h"
#include "platform/MessageHook.h"
#include "platform/SocketPort.h"

#include <QGroupBox>
#include <QLabel>
#include <QAbstractItemView>
#include <QRegularExpressionValidator>

namespace {

const char* const SETUP_PORTS[] = {"COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:"};
const char* const SETUP_BAUDS[] = {"1200", "2400", "9600", "14400", "57600"};

// The static texts and the group box of the dialog, in dialog units.
struct SetupLabel
{
    const char* szText;
    QRect rc;
    bool bGroup;
};

const SetupLabel SETUP_LABELS[] = {
    {"COM poort", {9, 9, 39, 10}, false},
    {"BAUD rate", {7, 24, 41, 10}, false},
    {"KML altitude", {7, 38, 60, 41}, true},
    {"UTC correction", {17, 85, 48, 8}, false},
    {"hr", {115, 85, 10, 8}, false},
    {"Max dilution", {17, 103, 39, 8}, false},
    {"/10", {115, 100, 16, 8}, false},
};

// This machine's ports, offered before the handheld's COM names: the serial
// devices there are (a by-id name shown with the device it leads to), then
// a gpsd that answers, which shares whatever receivers it has; the probe
// costs nothing when none listens and a moment when one does.
void AddMachinePorts(QComboBox& combo)
{
    const CProbePlaces places = CProbePlaces::FromEnvironment();
    for (const CDevicePresent& device : DevicesPresent(places)) {
        const QString strText = device.m_strName == device.m_strTarget
                                    ? device.m_strName
                                    : QStringLiteral("%1 \u2192 %2").arg(device.m_strName, device.m_strTarget);
        combo.addItem(strText, device.m_strName);
    }
    constexpr int SETUP_GPSD_PROBE_MS = 300;
    const std::optional<NetworkPort> gpsd = ParseNetworkPort(places.m_strGpsd);
    if (gpsd && CSocketPort::GpsdAnswers(*gpsd, SETUP_GPSD_PROBE_MS))
        combo.addItem(places.m_strGpsd, places.m_strGpsd);
}

// The port an entry stands for: its own text, or the name it carries when
// its text says more.
QString EntryPort(const QComboBox& combo, int nIndex)
{
    const QVariant port = combo.itemData(nIndex);
    return port.isValid() ? port.toString() : combo.itemText(nIndex);
}

// Out of the control: the port of the entry shown, or the text typed.
QString CurrentPort(const QComboBox& combo)
{
    const int nIndex = combo.currentIndex();
    if (nIndex >= 0 && combo.itemText(nIndex) == combo.currentText())
        return EntryPort(combo, nIndex);
    return combo.currentText();
}

// Into the control: the entry that equals the text, else the first that
// begins with it, whatever the case (so /dev/ttyUSB1 never selects
// /dev/ttyUSB10); without one the text goes into the edit field.
void SelectString(QComboBox& combo, const QString& strText)
{
    for (int i = 0; i < combo.count(); ++i) {
        if (EntryPort(combo, i).compare(strText, Qt::CaseInsensitive) == 0) {
            combo.setCurrentIndex(i);
            return;
        }
    }
    for (int i = 0; i < combo.count(); ++i) {
        if (EntryPort(combo, i).startsWith(strText, Qt::CaseInsensitive)) {
            combo.setCurrentIndex(i);
            return;
        }
    }
    combo.setCurrentIndex(-1);
    combo.setEditText(strText);
}

// "%d" as scanf reads it: leading blanks, a sign, digits; the rest ignored.
bool ScanInt(const QString& strText, int& nValue)
{
    const QString s = strText.trimmed();
    int i = 0;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        ++i;
    int nDigits = 0;
    while (i + nDigits < s.size() && s[i + nDigits].isDigit() && s[i + nDigits].unicode() < 128)
        ++nDigits;
    if (!nDigits)
        return false;
    bool bOk = false;
    const int n = s.left(i + nDigits).toInt(&bOk);
    if (bOk)
        nValue = n;
    return bOk;
}

// An integer edit, validated out of the control with the dialog's messages.
bool ExchangeInt(QLineEdit& edit, int& nValue, int nMin, int nMax)
{
    bool bOk = false;
    const int n = edit.text().trimmed().toInt(&bOk);
    if (!bOk) {
        ShowMessage(QStringLiteral("Enter an integer."));
    } else if (n < nMin || n > nMax) {
        ShowMessage(QStringLiteral("Enter an integer between %1 and %2.").arg(nMin).arg(nMax));
        bOk = false;
    }
    if (!bOk) {
        edit.setFocus();
        edit.selectAll();
        return false;
    }
    nValue = n;
    return true;
}

void CheckRadio(QButtonGroup& group, int nIndex)
{
    if (QAbstractButton* pButton = group.button(nIndex))
        pButton->setChecked(true);
}

}

CSetupDlg::CSetupDlg(const CTrackerSettings& settings, QWidget* pParent)
    : QDialog(pParent)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("Dialog"));
    setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
    for (const SetupLabel& label : SETUP_LABELS) {
        QWidget* pWidget = label.bGroup ? static_cast<QWidget*>(new QGroupBox(QString::fromLatin1(label.szText)))
                                        : new QLabel(QString::fromLatin1(label.szText));
        PlaceInDialog(this, pWidget, label.rc);
        pWidget->lower();
    }

    AddOkCancel(this, {17, 134, 66, 26}, {93, 135, 62, 25});

    PlaceInDialog(this, &m_comboPort, {51, 7, 42, 12});
    PlaceInDialog(this, &m_comboBaud, {51, 23, 42, 12});
    m_comboPort.setEditable(true);
    m_comboBaud.setEditable(true);
    m_comboPort.setInsertPolicy(QComboBox::NoInsert);
    // An entry that says more than its port (a by-id name with its device)
    // puts only the port into the narrow field, whose end tells devices
    // apart; the whole entry is the field's tip. Queued, as the combo box
    // writes the entry's text into the field after it has told of the
    // change; by then the entry may be gone again, or a typed text there.
    connect(
        &m_comboPort, &QComboBox::currentIndexChanged, this,
        [this] {
            const int nIndex = m_comboPort.currentIndex();
            if (nIndex < 0 || m_comboPort.currentText() != m_comboPort.itemText(nIndex))
                return;
            m_comboPort.setToolTip(m_comboPort.itemText(nIndex));
            if (const QString strPort = EntryPort(m_comboPort, nIndex); strPort != m_comboPort.itemText(nIndex))
                m_comboPort.setEditText(strPort);
        },
        Qt::QueuedConnection);
    m_comboBaud.setInsertPolicy(QComboBox::NoInsert);

    m_radioAltitude.setText(QStringLiteral("Altitude"));
    m_radioSpeed.setText(QStringLiteral("Speed"));
    m_radioKnots.setText(QStringLiteral("Knots"));
    m_radioKmh.setText(QStringLiteral("Kmh"));
    PlaceInDialog(this, &m_radioAltitude, {15, 51, 41, 10});
    PlaceInDialog(this, &m_radioSpeed, {15, 63, 36, 10});
    PlaceInDialog(this, &m_radioKnots, {75, 46, 34, 10});
    PlaceInDialog(this, &m_radioKmh, {75, 57, 29, 10});
    m_groupKml.addButton(&m_radioAltitude, 0);
    m_groupKml.addButton(&m_radioSpeed, 1);
    m_groupKmh.addButton(&m_radioKnots, 0);
    m_groupKmh.addButton(&m_radioKmh, 1);

    // Digits only; the UTC correction may start with a minus sign, for users
    // west of Greenwich (the range check on OK still applies).
    static const QRegularExpression DIGITS(QStringLiteral("[0-9]*"));
    static const QRegularExpression SIGNED_DIGITS(QStringLiteral("-?[0-9]*"));
    PlaceInDialog(this, &m_editUtc, {70, 80, 40, 14});
    PlaceInDialog(this, &m_editDilution, {70, 98, 40, 14});
    m_editUtc.setValidator(new QRegularExpressionValidator(SIGNED_DIGITS, &m_editUtc));
    m_editDilution.setValidator(new QRegularExpressionValidator(DIGITS, &m_editDilution));

    setFixedSize(DialogUnitsToPixels({0, 0, 169, 167}, font()).size());
}

CSetupDlg::~CSetupDlg() = default;

int CSetupDlg::DoModal()
{
    OnInitDialog();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CSetupDlg::OnInitDialog()
{
    m_comboPort.clear();
    m_comboBaud.clear();
    UpdateData(false);
    AddMachinePorts(m_comboPort);
    for (const char* szPort : SETUP_PORTS)
        m_comboPort.addItem(QString::fromLatin1(szPort));
    // The field is narrow; the list opens wide enough for device paths.
    m_comboPort.view()->setMinimumWidth(m_comboPort.view()->sizeHintForColumn(0) + m_comboPort.height());
    for (const char* szBaud : SETUP_BAUDS)
        m_comboBaud.addItem(QString::fromLatin1(szBaud));
    UpdateData(false);
    m_comboPort.setFocus();
}

bool CSetupDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate) {
        m_strPort = m_settings.m_strComPort;
        m_strBaud = QString::number(m_settings.m_nBaudRate);
        m_nKmlAltitude = m_settings.m_bKmlAltitude;
        m_nKmh = m_settings.m_bKmh;
        m_nUtc = m_settings.m_nUtcCorrection;
        m_nDilution = m_settings.m_nMaxDilution;

        SelectString(m_comboPort, m_strPort);
        SelectString(m_comboBaud, m_strBaud);
        m_strShownPort = CurrentPort(m_comboPort);
        m_strShownBaud = m_comboBaud.currentText();
        CheckRadio(m_groupKml, m_nKmlAltitude);
        CheckRadio(m_groupKmh, m_nKmh);
        m_editUtc.setText(QString::number(m_nUtc));
        m_editDilution.setText(QString::number(m_nDilution));
        return true;
    }

    m_bPortChanged = CurrentPort(m_comboPort) != m_strShownPort;
    m_bBaudChanged = m_comboBaud.currentText() != m_strShownBaud;
    m_strPort = CurrentPort(m_comboPort);
    m_strBaud = m_comboBaud.currentText();
    // A group with no button checked (a stored value outside the choices)
    // keeps its value.
    if (m_groupKml.checkedId() >= 0)
        m_nKmlAltitude = m_groupKml.checkedId();
    if (m_groupKmh.checkedId() >= 0)
        m_nKmh = m_groupKmh.checkedId();
    if (!ExchangeInt(m_editUtc, m_nUtc, SETTINGS_UTC_MIN, SETTINGS_UTC_MAX)
        || !ExchangeInt(m_editDilution, m_nDilution, SETTINGS_DILUTION_MIN, SETTINGS_DILUTION_MAX))
        return false;

    // A rate the port cannot take would not be read back next time.
    int nBaud = 0;
    if (ScanInt(m_strBaud, nBaud) && nBaud >= SETTINGS_BAUD_MIN && nBaud <= SETTINGS_BAUD_MAX)
        m_settings.m_nBaudRate = nBaud;
    m_settings.m_strComPort = m_strPort;
    m_settings.m_bKmlAltitude = m_nKmlAltitude;
    m_settings.m_bKmh = m_nKmh;
    m_settings.m_nUtcCorrection = m_nUtc;
    m_settings.m_nMaxDilution = m_nDilution;
    return true;
}

void CSetupDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    QDialog::accept();
}

void CSetupDlg::accept()
{
    OnOK();
}
