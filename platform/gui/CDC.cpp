#include "platform/gui/CDC.h"

#include <QFontMetrics>
#include <QPainter>

int CDC::DrawText(const QString& strText, QRect& rc, unsigned nFormat)
{
    const QSize size = GetTextExtent(strText);
    if (nFormat & DT_CALCRECT) {
        rc.setWidth(size.width());
        rc.setHeight(size.height());
        return size.height();
    }
    TextOut(rc.left(), rc.top(), strText);
    return size.height();
}

QFont CDC::DefaultFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    return font;
}

CPaintDC::CPaintDC(QPainter& painter)
    : m_painter(painter)
    , m_pen(Qt::black, 1)
    , m_font(DefaultFont())
{
    m_pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(m_pen);
    m_painter.setBrush(Qt::white);
    m_painter.setFont(m_font);
}

QPen CPaintDC::SelectPen(const QPen& pen)
{
    QPen old = m_pen;
    m_pen = pen;
    m_painter.setPen(m_pen);
    return old;
}

QFont CPaintDC::SelectFont(const QFont& font)
{
    QFont old = m_font;
    m_font = font;
    m_painter.setFont(m_font);
    return old;
}

QColor CPaintDC::SetTextColor(const QColor& color)
{
    QColor old = m_textColor;
    m_textColor = color;
    return old;
}

QColor CPaintDC::SetBkColor(const QColor& color)
{
    QColor old = m_bkColor;
    m_bkColor = color;
    return old;
}

void CPaintDC::MoveTo(int x, int y)
{
    m_pos = QPoint(x, y);
}

void CPaintDC::LineTo(int x, int y)
{
    // Like GDI, the end point itself is not drawn.
    const QPoint to(x, y);
    m_painter.drawLine(m_pos, to);
    m_pos = to;
}

void CPaintDC::Ellipse(int left, int top, int right, int bottom)
{
    m_painter.drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CPaintDC::FillSolidRect(const QRect& rc, const QColor& color)
{
    m_painter.fillRect(rc, color);
}

void CPaintDC::TextOut(int x, int y, const QString& strText)
{
    const QFontMetrics fm(m_font);
    const QRect box(x, y, fm.horizontalAdvance(strText), fm.height());
    m_painter.fillRect(box, m_bkColor);
    m_painter.save();
    m_painter.setPen(m_textColor);
    m_painter.drawText(QPoint(x, y + fm.ascent()), strText);
    m_painter.restore();
}

QSize CPaintDC::GetTextExtent(const QString& strText)
{
    const QFontMetrics fm(m_font);
    return QSize(fm.horizontalAdvance(strText), fm.height());
}

void CPaintDC::StretchBlt(const QRect& dstRect, const QImage& image, const QRect& srcRect)
{
    if (image.isNull() || dstRect.isEmpty() || srcRect.isEmpty())
        return;
    m_painter.drawImage(QRectF(dstRect), image, QRectF(srcRect));
}
