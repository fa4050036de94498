#include "display/MapStateText.h"

#include "display/ViewColours.h"
#include "platform/gui/CDC.h"

#include <QRect>
#include <QString>

namespace {

constexpr int STATE_MARGIN = 4;         // from the drawing area's top right corner
constexpr int STATE_PLATE_MARGIN = 2;   // the white plate around the text

}

void DrawMapStateText(CDC* pDC, const QString& strState, const QRect& rcArea)
{
    if (strState.isEmpty())
        return;
    const QSize text = pDC->GetTextExtent(strState);
    const int x = rcArea.right() + 1 - STATE_MARGIN - text.width();
    const int y = rcArea.top() + STATE_MARGIN;
    pDC->FillSolidRect(QRect(x - STATE_PLATE_MARGIN, y - STATE_PLATE_MARGIN, text.width() + 2 * STATE_PLATE_MARGIN,
                             text.height() + 2 * STATE_PLATE_MARGIN),
                       CLR_WINDOW);
    const QColor oldColor = pDC->SetTextColor(CLR_GREY);
    pDC->TextOut(x, y, strState);
    pDC->SetTextColor(oldColor);
}
