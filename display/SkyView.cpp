#include "display/SkyView.h"

#include "display/Views.h"
#include "display/ViewColours.h"
#include "gps/CGpsTracker.h"
#include "platform/gui/CDC.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr QColor CLR_SKY_RING(160, 160, 160);
constexpr QColor CLR_SKY_USED(0, 90, 200);
constexpr QColor CLR_SKY_UNUSED_BAR(200, 200, 200);
constexpr int SKY_ELEVATION_RINGS[] = {0, 30, 60};
constexpr int SKY_WIDE_BARS = 12;                        // as many bars at full width
constexpr int SKY_BAR_SLOT = SKY_WIDTH / SKY_WIDE_BARS;   // 20 pixels per satellite
constexpr int SKY_BAR_WIDTH = 14;
constexpr int SKY_MIN_BAR_WIDTH = 2;
constexpr int SKY_LABEL_PIXELS = 10;
constexpr int SKY_LETTER_GAP = 3;      // "E" and "W" beside the horizon ring
constexpr int SKY_PRN_RAISE = 2;       // a PRN stands this far above its disc

// More satellites than fit at full width share the width; their names
// then take two rows, every other one in the lower.
struct SkyBars
{
    int nSlot;
    int nWidth;
    bool bTwoRows;
};

SkyBars BarsFor(size_t nSats)
{
    const int nSlot = SKY_WIDTH / std::max(int(std::min<size_t>(nSats, SKY_WIDTH)), SKY_WIDE_BARS);
    return {nSlot, std::max(SKY_MIN_BAR_WIDTH, nSlot * SKY_BAR_WIDTH / SKY_BAR_SLOT), nSlot < SKY_BAR_SLOT};
}

// A disc filled line by line with the current pen, which both contexts draw
// alike (their ellipses are filled with the white brush).
void FillDisc(CDC* pDC, QPoint centre, int nRadius)
{
    for (int dy = -nRadius; dy <= nRadius; ++dy) {
        const int dx = int(std::sqrt(double(nRadius * nRadius - dy * dy)));
        pDC->MoveTo(centre.x() - dx, centre.y() + dy);
        pDC->LineTo(centre.x() + dx + 1, centre.y() + dy);
    }
}

void DrawCentredText(CDC* pDC, int x, int y, const QString& strText)
{
    pDC->TextOut(x - pDC->GetTextExtent(strText).width() / 2, y, strText);
}

void DrawPlot(CDC* pDC)
{
    const QPen oldPen = pDC->SelectPen(QPen(CLR_SKY_RING, 1));
    for (int nElevation : SKY_ELEVATION_RINGS) {
        const int r = SKY_RADIUS * (90 - nElevation) / 90;
        pDC->Ellipse(SKY_CENTRE.x() - r, SKY_CENTRE.y() - r, SKY_CENTRE.x() + r + 1, SKY_CENTRE.y() + r + 1);
    }
    pDC->MoveTo(SKY_CENTRE.x(), SKY_CENTRE.y() - SKY_RADIUS);
    pDC->LineTo(SKY_CENTRE.x(), SKY_CENTRE.y() + SKY_RADIUS + 1);
    pDC->MoveTo(SKY_CENTRE.x() - SKY_RADIUS, SKY_CENTRE.y());
    pDC->LineTo(SKY_CENTRE.x() + SKY_RADIUS + 1, SKY_CENTRE.y());
    pDC->SelectPen(oldPen);

    const int nHeight = pDC->GetTextExtent(QStringLiteral("N")).height();
    DrawCentredText(pDC, SKY_CENTRE.x(), SKY_CENTRE.y() - SKY_RADIUS - nHeight, QStringLiteral("N"));
    DrawCentredText(pDC, SKY_CENTRE.x(), SKY_CENTRE.y() + SKY_RADIUS + 1, QStringLiteral("S"));
    pDC->TextOut(SKY_CENTRE.x() + SKY_RADIUS + SKY_LETTER_GAP, SKY_CENTRE.y() - nHeight / 2, QStringLiteral("E"));
    pDC->TextOut(SKY_CENTRE.x() - SKY_RADIUS - SKY_LETTER_GAP - pDC->GetTextExtent(QStringLiteral("W")).width(),
                 SKY_CENTRE.y() - nHeight / 2, QStringLiteral("W"));
}

void DrawSatellite(CDC* pDC, const SkySatellite& sat)
{
    const QPoint at = SkyPosition(sat.nAzimuth, sat.nElevation);
    const QPen oldPen = pDC->SelectPen(QPen(CLR_SKY_USED, 1));
    pDC->Ellipse(at.x() - SKY_MARK_RADIUS, at.y() - SKY_MARK_RADIUS, at.x() + SKY_MARK_RADIUS + 1,
                 at.y() + SKY_MARK_RADIUS + 1);
    if (sat.bUsed)
        FillDisc(pDC, at, SKY_MARK_RADIUS);
    pDC->SelectPen(oldPen);
    pDC->TextOut(at.x() + SKY_MARK_RADIUS + 1, at.y() - SKY_MARK_RADIUS - SKY_PRN_RAISE, SkySatelliteName(sat));
}

void DrawBar(CDC* pDC, const SkyBars& bars, int nIndex, const SkySatellite& sat)
{
    const int nSnr = std::clamp(sat.nSnr, 0, SKY_MAX_SNR);
    const int nHeight = nSnr * SKY_BAR_HEIGHT / SKY_MAX_SNR;
    const int x = nIndex * bars.nSlot + (bars.nSlot - bars.nWidth) / 2;
    const QRect rcBar(x, SKY_BAR_BASE - nHeight, bars.nWidth, nHeight);
    pDC->FillSolidRect(rcBar, sat.bUsed ? CLR_SKY_USED : CLR_SKY_UNUSED_BAR);
    // Centred below the bar, but within the window at its edges.
    const QString strName = SkySatelliteName(sat);
    const QSize size = pDC->GetTextExtent(strName);
    const bool bLower = bars.bTwoRows && nIndex % 2 == 1;
    const int y = bLower ? SKY_HEIGHT - size.height() : SKY_BAR_BASE + 1;
    const int xName = std::clamp(x + bars.nWidth / 2 - size.width() / 2, 0, std::max(0, SKY_WIDTH - size.width()));
    pDC->TextOut(xName, y, strName);
}

}

QPoint SkyPosition(int nAzimuth, int nElevation)
{
    const double dRadius = SKY_RADIUS * (90.0 - std::clamp(nElevation, 0, 90)) / 90.0;
    const double dAzimuth = (nAzimuth % 360) * std::numbers::pi / 180.0;
    return QPoint(SKY_CENTRE.x() + TruncToInt(std::round(dRadius * std::sin(dAzimuth))),
                  SKY_CENTRE.y() - TruncToInt(std::round(dRadius * std::cos(dAzimuth))));
}

void DrawSkyView(CDC* pDC, const CViewContext& view)
{
    pDC->FillSolidRect(QRect(0, 0, SKY_WIDTH, SKY_HEIGHT), Qt::white);
    QFont font = CDC::DefaultFont();
    font.setPixelSize(SKY_LABEL_PIXELS);
    const QFont oldFont = pDC->SelectFont(font);
    const QColor oldColour = pDC->SetTextColor(CLR_BLACK);
    DrawPlot(pDC);

    const std::vector<SkySatellite> sats = view.m_tracker.m_sky.InView();
    const SkyBars bars = BarsFor(sats.size());
    for (size_t i = 0; i < sats.size(); ++i) {
        DrawSatellite(pDC, sats[i]);
        if (int(i) * bars.nSlot < SKY_WIDTH)
            DrawBar(pDC, bars, int(i), sats[i]);
    }
    pDC->SetTextColor(oldColour);
    pDC->SelectFont(oldFont);
}
