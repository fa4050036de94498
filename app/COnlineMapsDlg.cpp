#include "app/COnlineMapsDlg.h"

#include "app/DialogUnits.h"
#include "app/Resource.h"

#include <QUrl>

namespace {

// The static texts of the dialog, in dialog units.
struct OnlineLabel
{
    const char* szText;
    QRect rc;
};

const OnlineLabel ONLINE_LABELS[] = {
    {"Source", {7, 25, 40, 8}},
    {"Tile zoom", {7, 61, 40, 8}},
    {"Cache", {7, 77, 40, 8}},
    {"Sent to the source: each tile's address and veltrip's name and version, nothing else.", {7, 92, 155, 18}},
};

const QRect ONLINE_ON_RC {7, 7, 155, 10};
const QRect ONLINE_SOURCE_RC {50, 23, 112, 12};
const QRect ONLINE_SOURCE_TEXT_RC {50, 37, 112, 20};
const QRect ONLINE_ZOOM_RC {50, 59, 40, 12};
const QRect ONLINE_CACHE_RC {50, 75, 60, 12};
const QRect ONLINE_OK_RC {17, 114, 66, 20};
const QRect ONLINE_CANCEL_RC {93, 114, 62, 20};
const QRect ONLINE_DIALOG_RC {0, 0, 169, 142};

}

COnlineMapsDlg::COnlineMapsDlg(const COnlineSettings& settings, QWidget* pParent)
    : QDialog(pParent)
    , m_settings(settings)
    , m_sources(settings.Sources())
{
    setWindowTitle(QStringLiteral("Online maps"));
    setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
    for (const OnlineLabel& label : ONLINE_LABELS) {
        auto* pLabel = new QLabel(QString::fromUtf8(label.szText));
        pLabel->setWordWrap(true);
        PlaceInDialog(this, pLabel, label.rc);
    }
    m_checkOn.setText(QStringLiteral("Online maps on"));
    PlaceInDialog(this, &m_checkOn, ONLINE_ON_RC);
    PlaceInDialog(this, &m_comboSource, ONLINE_SOURCE_RC);
    for (const CTileSource& source : m_sources)
        m_comboSource.addItem(source.m_strName);
    m_labelSource.setWordWrap(true);
    m_labelSource.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceInDialog(this, &m_labelSource, ONLINE_SOURCE_TEXT_RC);
    PlaceInDialog(this, &m_spinZoom, ONLINE_ZOOM_RC);
    PlaceInDialog(this, &m_spinCache, ONLINE_CACHE_RC);
    m_spinCache.setRange(ONLINE_CACHE_MB_MIN, ONLINE_CACHE_MB_MAX);
    m_spinCache.setSuffix(QStringLiteral(" MB"));
    connect(&m_comboSource, &QComboBox::currentIndexChanged, this, &COnlineMapsDlg::OnSourceChanged);
    AddOkCancel(this, ONLINE_OK_RC, ONLINE_CANCEL_RC);
    setFixedSize(DialogUnitsToPixels(ONLINE_DIALOG_RC, font()).size());
}

COnlineMapsDlg::~COnlineMapsDlg() = default;

int COnlineMapsDlg::DoModal()
{
    OnInitDialog();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void COnlineMapsDlg::OnInitDialog()
{
    m_checkOn.setChecked(m_settings.m_bOn);
    const QString strSource = m_settings.Source().m_strName;
    int nIndex = 0;
    for (size_t i = 0; i < m_sources.size(); ++i) {
        if (m_sources[i].m_strName == strSource)
            nIndex = int(i);
    }
    m_comboSource.setCurrentIndex(nIndex);
    OnSourceChanged(nIndex);
    m_spinZoom.setValue(m_settings.Zoom());
    m_spinCache.setValue(m_settings.m_nCacheMegabytes);
    m_checkOn.setFocus();
}

void COnlineMapsDlg::OnSourceChanged(int nIndex)
{
    if (nIndex < 0 || size_t(nIndex) >= m_sources.size())
        return;
    const CTileSource& source = m_sources[size_t(nIndex)];
    // The zoom the user chose stays where the new source has it.
    m_spinZoom.setRange(source.m_nMinZoom, source.m_nMaxZoom);
    const QString strHost = QUrl(source.m_strUrl).host();
    m_labelSource.setText(strHost.isEmpty() ? source.m_strAttribution
                                            : source.m_strAttribution + QLatin1Char('\n') + strHost);
}

void COnlineMapsDlg::accept()
{
    m_settings.m_bOn = m_checkOn.isChecked();
    if (const int nIndex = m_comboSource.currentIndex(); nIndex >= 0 && size_t(nIndex) < m_sources.size())
        m_settings.m_strSource = m_sources[size_t(nIndex)].m_strName;
    m_settings.m_nZoom = m_spinZoom.value();
    m_settings.m_nCacheMegabytes = m_spinCache.value();
    QDialog::accept();
}
