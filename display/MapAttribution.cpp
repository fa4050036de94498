#include "display/MapAttribution.h"

#include "display/ViewColours.h"
#include "map/CMapBitmap.h"
#include "platform/gui/CDC.h"

#include <QRect>

namespace {

constexpr int ATTRIBUTION_MARGIN = 2;   // from the text to the plate's edge
constexpr int ATTRIBUTION_GAP = 1;      // from the plate to the drawing area's edge

}

void DrawMapAttribution(CDC* pDC, const CMapBitmap& map, const QRect& rcArea)
{
    if (map.m_strAttribution.isEmpty())
        return;
    const QSize text = pDC->GetTextExtent(map.m_strAttribution);
    const int x = rcArea.right() - ATTRIBUTION_GAP - ATTRIBUTION_MARGIN - text.width();
    const int y = rcArea.bottom() - ATTRIBUTION_GAP - ATTRIBUTION_MARGIN - text.height();
    pDC->FillSolidRect(QRect(x - ATTRIBUTION_MARGIN, y - ATTRIBUTION_MARGIN, text.width() + 2 * ATTRIBUTION_MARGIN,
                             text.height() + 2 * ATTRIBUTION_MARGIN),
                       CLR_WINDOW);
    const QColor oldColor = pDC->SetTextColor(CLR_BLACK);
    pDC->TextOut(x, y, map.m_strAttribution);
    pDC->SetTextColor(oldColor);
}
