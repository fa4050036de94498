#include "app/CGoToDlg.h"

#include "app/Resource.h"
#include "gps/CGpsTracker.h"
#include "track/TripStats.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {

constexpr int GOTO_MAX_WIDTH = FRAME_CLIENT_WIDTH;
constexpr int GOTO_MARGIN = 6;
constexpr int GOTO_SPACING = 3;

const QString MSG_GOTO_NOTHING = QStringLiteral("Choose a placemark or type coordinates");
const QColor CLR_PROBLEM(192, 0, 0);

std::vector<CDestination> PlacemarksOf(const CTrackPointList& points)
{
    std::vector<CDestination> placemarks;
    for (const CTrackPoint& point : points) {
        if (!point.m_strName.isEmpty())
            placemarks.push_back({point.m_strName, {double(point.m_fLatitude), double(point.m_fLongitude)}});
    }
    return placemarks;
}

}

CGoToDlg::CGoToDlg(const CTrackerSettings& settings, const CTrackPointList& points, const CGpsTracker& tracker,
                   QWidget* pParent)
    : QDialog(pParent)
    , m_settings(settings)
    , m_placemarks(PlacemarksOf(points))
    , m_buttonOk(QStringLiteral("OK"))
    , m_buttonStop(QStringLiteral("Stop"))
    , m_buttonCancel(QStringLiteral("Cancel"))
{
    setWindowTitle(QStringLiteral("Go to"));
    setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
    const CGeoPoint position{double(tracker.m_fLatitude), double(tracker.m_fLongitude)};
    for (const CDestination& placemark : m_placemarks) {
        m_listPlacemarks.addItem(QStringLiteral("%1  %2").arg(
            placemark.m_strName, DistanceText(GreatCircleMeters(position, placemark.m_point))));
    }
    m_editCoordinates.setPlaceholderText(QStringLiteral("52.0907 5.1214"));
    m_labelProblem.setWordWrap(true);
    QPalette palette = m_labelProblem.palette();
    palette.setColor(QPalette::WindowText, CLR_PROBLEM);
    m_labelProblem.setPalette(palette);
    m_labelProblem.hide();
    m_buttonOk.setDefault(true);
    m_buttonStop.setEnabled(m_settings.m_bGoTo != 0);

    // Either a placemark or typed coordinates: choosing one clears the other.
    connect(&m_listPlacemarks, &QListWidget::currentRowChanged, this, [this](int nRow) {
        if (nRow >= 0)
            m_editCoordinates.clear();
    });
    connect(&m_editCoordinates, &QLineEdit::textEdited, this, [this] {
        m_listPlacemarks.setCurrentRow(-1);
        m_labelProblem.hide();
    });
    connect(&m_buttonOk, &QPushButton::clicked, this, &CGoToDlg::OnOk);
    connect(&m_buttonStop, &QPushButton::clicked, this, &CGoToDlg::OnStop);
    connect(&m_buttonCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(GOTO_MARGIN, GOTO_MARGIN, GOTO_MARGIN, GOTO_MARGIN);
    pLayout->setSpacing(GOTO_SPACING);
    pLayout->addWidget(new QLabel(QStringLiteral("Placemarks"), this));
    pLayout->addWidget(&m_listPlacemarks);
    pLayout->addWidget(new QLabel(QStringLiteral("Coordinates"), this));
    pLayout->addWidget(&m_editCoordinates);
    pLayout->addWidget(&m_labelProblem);
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(&m_buttonOk);
    pButtons->addWidget(&m_buttonStop);
    pButtons->addWidget(&m_buttonCancel);
    pLayout->addLayout(pButtons);
    setMaximumWidth(GOTO_MAX_WIDTH);
}

CGoToDlg::~CGoToDlg() = default;

int CGoToDlg::DoModal()
{
    m_editCoordinates.setFocus();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

std::optional<CDestination> CGoToDlg::Chosen()
{
    QString strProblem = MSG_GOTO_NOTHING;
    if (!m_editCoordinates.text().trimmed().isEmpty()) {
        const CCoordinatesParse parse = ParseCoordinates(m_editCoordinates.text());
        if (parse.m_point)
            return CDestination{CoordinatesText(*parse.m_point), *parse.m_point};
        strProblem = parse.m_strProblem;
    } else if (const int nRow = m_listPlacemarks.currentRow(); nRow >= 0) {
        return m_placemarks[size_t(nRow)];
    }
    m_labelProblem.setText(strProblem);
    m_labelProblem.show();
    return std::nullopt;
}

void CGoToDlg::OnOk()
{
    // Coordinates that cannot be used keep the dialog open and nothing else.
    if (const std::optional<CDestination> destination = Chosen()) {
        SetDestination(m_settings, destination);
        accept();
    }
}

void CGoToDlg::OnStop()
{
    SetDestination(m_settings, std::nullopt);
    accept();
}

QMessageBox* ShowArrivalNote(QWidget* pParent, const QString& strName)
{
    auto* pNote = new QMessageBox(QMessageBox::Information, QString::fromLatin1(APP_TITLE),
                                  QStringLiteral("Arrived at %1").arg(strName), QMessageBox::Ok, pParent);
    pNote->setObjectName(QStringLiteral("ArrivalNote"));
    pNote->setAttribute(Qt::WA_DeleteOnClose);
    pNote->setModal(false);
    pNote->show();
    QApplication::beep();
    return pNote;
}
