#include "app/CTripStatsDlg.h"

#include "app/CTrackerApp.h"
#include "app/Resource.h"
#include "platform/TextFormat.h"

#include <QDialogButtonBox>
#include <QGridLayout>

#include <cmath>

namespace {

constexpr int STATS_MAX_WIDTH = FRAME_CLIENT_WIDTH;

QString Duration(double dSeconds)
{
    const long long nSeconds = std::isfinite(dSeconds) ? std::llround(dSeconds) : 0;
    return FormatText("%lld:%02lld:%02lld", nSeconds / 3600, nSeconds / 60 % 60, nSeconds % 60);
}

// A track without altitudes has no range to show.
QString Altitude(const CClimbs& climbs, float fAltitude)
{
    return climbs.HasAltitudes() ? FormatText("%.0f m", double(fAltitude)) : QStringLiteral("-");
}

}

CTripStatsDlg::CTripStatsDlg(const CTripStats& stats, QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Trip statistics"));
    setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
    auto* pGrid = new QGridLayout(this);
    pGrid->setContentsMargins(6, 6, 6, 6);
    pGrid->setHorizontalSpacing(8);
    pGrid->setVerticalSpacing(2);
    int nRow = 0;
    for (const auto& [strLabel, strValue] : Lines(stats)) {
        pGrid->addWidget(new QLabel(strLabel, this), nRow, 0);
        auto* pValue = new QLabel(strValue, this);
        pValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        pGrid->addWidget(pValue, nRow++, 1);
        m_values.push_back(pValue);
    }
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    pGrid->addWidget(pButtons, nRow, 0, 1, 2);
    setMaximumWidth(STATS_MAX_WIDTH);
}

CTripStatsDlg::~CTripStatsDlg() = default;

int CTripStatsDlg::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

std::vector<std::pair<QString, QString>> CTripStatsDlg::Lines(const CTripStats& stats)
{
    return {
        {QStringLiteral("Points"), QString::number(stats.m_nPoints)},
        {QStringLiteral("Placemarks"), QString::number(stats.m_nPlacemarks)},
        {QStringLiteral("Distance"), FormatText("%.2f km", stats.m_dDistanceMeters / 1000)},
        {QStringLiteral("Moving time"), Duration(stats.m_dMovingSeconds)},
        {QStringLiteral("Moving distance"), FormatText("%.2f km", stats.m_dMovingMeters / 1000)},
        {QStringLiteral("Moving speed"), FormatText("%.1f km/h", stats.m_dAverageMovingKmh)},
        {QStringLiteral("Max speed"), FormatText("%.1f km/h", stats.m_dMaxSpeedKmh)},
        {QStringLiteral("Ascent"), FormatText("%.0f m", stats.m_climbs.m_dAscentMeters)},
        {QStringLiteral("Descent"), FormatText("%.0f m", stats.m_climbs.m_dDescentMeters)},
        {QStringLiteral("Min altitude"), Altitude(stats.m_climbs, stats.m_climbs.m_fMinAltitude)},
        {QStringLiteral("Max altitude"), Altitude(stats.m_climbs, stats.m_climbs.m_fMaxAltitude)},
    };
}

void ShowTripStatistics(QWidget* pParent)
{
    CTripStatsDlg dlg(TripStatistics(theApp.m_trackPoints), pParent);
    dlg.DoModal();
}
