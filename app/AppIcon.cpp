#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const int ICON_SIZES[] = {16, 32, 48};

QPixmap DrawIcon(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = nSize;

    // Rounded dark-blue tile with a pale dial.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 60, 120));
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    painter.setBrush(QColor(235, 240, 245));
    painter.setPen(QPen(QColor(12, 42, 88), s / 64));
    painter.drawEllipse(QRectF(s * 0.12, s * 0.12, s * 0.76, s * 0.76));
    painter.setPen(Qt::NoPen);

    // Needle: north half red, south half dark grey.
    const QPointF c(s / 2, s / 2);
    QPainterPath north;
    north.moveTo(c.x(), s * 0.16);
    north.lineTo(c.x() + s * 0.1, c.y());
    north.lineTo(c.x() - s * 0.1, c.y());
    north.closeSubpath();
    QPainterPath south;
    south.moveTo(c.x(), s * 0.84);
    south.lineTo(c.x() + s * 0.1, c.y());
    south.lineTo(c.x() - s * 0.1, c.y());
    south.closeSubpath();
    painter.setBrush(QColor(210, 30, 30));
    painter.drawPath(north);
    painter.setBrush(QColor(60, 60, 60));
    painter.drawPath(south);

    // A track with a fix at its end, over the lower right.
    if (nSize >= 32) {
        QPen pen(QColor(230, 120, 0), s / 16);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        QPainterPath track;
        track.moveTo(s * 0.2, s * 0.8);
        track.cubicTo(s * 0.45, s * 0.95, s * 0.55, s * 0.55, s * 0.85, s * 0.7);
        painter.drawPath(track);
    }
    painter.setPen(QPen(Qt::white, s / 52));
    painter.setBrush(QColor(230, 120, 0));
    painter.drawEllipse(QPointF(s * 0.82, s * 0.7), s * 0.09, s * 0.09);
    return pixmap;
}

}

QIcon AppIcon()
{
    QIcon icon;
    for (int nSize : ICON_SIZES)
        icon.addPixmap(DrawIcon(nSize));
    return icon;
}
