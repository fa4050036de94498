#include "display/StatusView.h"

#include "display/Views.h"
#include "display/ViewColours.h"
#include "gps/CGpsTracker.h"
#include "platform/gui/CDC.h"
#include "platform/TextFormat.h"

namespace {

constexpr int STATUS_LEFT = 4;
constexpr int STATUS_RIGHT = 200;
constexpr int STATUS_TOP = 18;
constexpr int STATUS_LINE_HEIGHT = 14;

}

void DrawStatusView(CDC* pDC, const CViewContext& view)
{
    const CGpsTracker* pTracker = &view.m_tracker;
    pDC->SetTextColor(CLR_BLACK);

    const QString strMode = pTracker->m_chGsaMode == 'A' ? QStringLiteral("Auto")
                                                         : QStringLiteral("Manual");
    QString strFix = QStringLiteral("3D");
    if (pTracker->m_nGsaFixType == 1)
        strFix = QStringLiteral("No fix");
    else if (pTracker->m_nGsaFixType == 2)
        strFix = QStringLiteral("2D");

    QStringList lines;
    lines << FormatText("Latitude: %f\u00B0", double(pTracker->m_fLatitude))
          << FormatText("Longitude: %f\u00B0", double(pTracker->m_fLongitude))
          << FormatText("GSA:%s, %s, P:%.1f H:%.1f V:%.1f", qUtf8Printable(strMode),
                               qUtf8Printable(strFix), double(pTracker->m_fPdop),
                               double(pTracker->m_fGsaHdop), double(pTracker->m_fVdop))
          << FormatText("GSV:%d Messages, %d Satellites in view",
                               int(pTracker->m_nGsvMessages), int(pTracker->m_nSatsInView));
    for (const GpsSatellite& sat : pTracker->m_aSats) {
        lines << FormatText("ID:%2d Prn:%2d Elev:%2d Azim:%2d Snr:%2ddB", sat.nFixPrn,
                                   sat.nPrn, sat.nElevation, sat.nAzimuth, sat.nSnr);
    }

    // Fixed 14-pixel spacing whatever the font; the text is neither clipped
    // nor wrapped, so only the top-left corner of each rectangle matters.
    int y = STATUS_TOP;
    for (const QString& strLine : lines) {
        QRect rc(QPoint(STATUS_LEFT, y), QPoint(STATUS_RIGHT, y + STATUS_LINE_HEIGHT));
        pDC->DrawText(strLine, rc, DT_NOCLIP);
        y += STATUS_LINE_HEIGHT;
    }
}
