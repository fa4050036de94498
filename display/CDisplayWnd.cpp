#include "display/CDisplayWnd.h"

#include "platform/gui/CDC.h"

#include <QPainter>

CDisplayWnd::CDisplayWnd(QWidget* pParent)
    : QWidget(pParent)
    , m_penTrack(QColor(255, 0, 0), 2)
    , m_penHeading(Qt::black, 1)
{
}

CDisplayWnd::~CDisplayWnd() = default;

void CDisplayWnd::Paint(CDC*)
{
}

void CDisplayWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CPaintDC dc(painter);
    Paint(&dc);
}
