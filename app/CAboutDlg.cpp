#include "app/CAboutDlg.h"

#include "app/AppIcon.h"
#include "app/DialogUnits.h"
#include "app/Resource.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// Positions in dialog units of controls 201, 202 and 203, and the size of the
// whole box, for the portrait template (100) and the landscape one (200).
struct AboutTemplate
{
    QRect rcIcon;
    QRect rcVersion;
    QRect rcAbout;
    QSize size;
};

const AboutTemplate ABOUT_PORTRAIT = {{12, 12, 21, 20}, {12, 36, 70, 8}, {12, 48, 66, 8}, {156, 129}};
const AboutTemplate ABOUT_LANDSCAPE = {{12, 12, 21, 20}, {48, 12, 66, 8}, {48, 24, 66, 8}, {210, 129}};

// The OK button's size and its margin from the box's bottom right corner.
constexpr QSize ABOUT_OK_SIZE(50, 14);
constexpr int ABOUT_OK_MARGIN = 7;

}

CAboutDlg::CAboutDlg(QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("About veltrip"));
    setWindowIcon(AppIcon());
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    m_icon.setParent(this);
    m_icon.setPixmap(AppIcon().pixmap(32, 32));
    m_icon.setAlignment(Qt::AlignCenter);
    m_version.setParent(this);
    m_version.setTextFormat(Qt::PlainText);
    m_version.setText(QStringLiteral("veltrip Version 1.0"));
    m_about.setParent(this);
    m_about.setTextFormat(Qt::PlainText);
    m_about.setText(QStringLiteral("GPS track logger"));
    m_ok.setParent(this);
    m_ok.setText(QStringLiteral("OK"));
    m_ok.setDefault(true);
    connect(&m_ok, &QPushButton::clicked, this, &QDialog::accept);
    OnSize();
}

CAboutDlg::~CAboutDlg() = default;

int CAboutDlg::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CAboutDlg::OnSize()
{
    // The orientation of the window the box belongs to, or of the screen.
    QSize size;
    if (const QWidget* pOwner = parentWidget())
        size = pOwner->window()->size();
    else if (const QScreen* pScreen = QGuiApplication::primaryScreen())
        size = pScreen->availableSize();
    m_bPortrait = size.width() < size.height();

    const AboutTemplate& tmpl = m_bPortrait ? ABOUT_PORTRAIT : ABOUT_LANDSCAPE;
    PlaceInDialog(this, &m_icon, tmpl.rcIcon);
    PlaceInDialog(this, &m_version, tmpl.rcVersion);
    PlaceInDialog(this, &m_about, tmpl.rcAbout);
    const QPoint okAt(tmpl.size.width() - ABOUT_OK_MARGIN - ABOUT_OK_SIZE.width(),
                      tmpl.size.height() - ABOUT_OK_MARGIN - ABOUT_OK_SIZE.height());
    PlaceInDialog(this, &m_ok, QRect(okAt, ABOUT_OK_SIZE));
    setMinimumSize(DialogUnitsToPixels(QRect(QPoint(0, 0), tmpl.size), font()).size());
}

void CAboutDlg::resizeEvent(QResizeEvent* pEvent)
{
    QDialog::resizeEvent(pEvent);
    OnSize();
}
