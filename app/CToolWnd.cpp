#include "app/CToolWnd.h"

#include "app/AppIcon.h"
#include "platform/gui/CDC.h"

#include <QPainter>

CToolWnd::CToolWnd(QWidget* pFrame, const QString& strTitle, QSize size)
    : QWidget(pFrame, Qt::Window)
{
    setWindowTitle(strTitle);
    setWindowIcon(AppIcon());
    setFixedSize(size);
    // The painters fill the whole window.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CToolWnd::~CToolWnd() = default;

void CToolWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CPaintDC dc(painter);
    Paint(&dc);
}
