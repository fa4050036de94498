#include "platform/gui/CDC.h"

#include "platform/gui/DeviceFont.h"
#include "platform/gui/ImageHalvings.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The pen as GDI draws it: one pixel wide lines leave out their end point,
// wider ones have round ends and joins.
QPen GdiPen(const QPen& pen)
{
    QPen gdi = pen;
    if (pen.width() <= 1) {
        gdi.setCapStyle(Qt::FlatCap);
        gdi.setJoinStyle(Qt::MiterJoin);
    } else {
        gdi.setCapStyle(Qt::RoundCap);
        gdi.setJoinStyle(Qt::RoundJoin);
    }
    return gdi;
}

// The font that draws a layout's font dScale times larger: the largest pixel
// size whose line and whose digits and letters fit the scaled ones, so that a
// scaled text never takes more room than its place (the hinted advances of
// small sizes are rounded, and at larger sizes a text comes out wider);
// smoothed, since solid pixels only suit the handheld's small sizes.
QFont ScaledFont(const QFont& font, double dScale)
{
    if (dScale == 1.0)
        return font;
    static const QString DC_SAMPLE = QStringLiteral("0123456789 Pnt:Sec.Dltn OK No signal\u00B0'kmh");
    QFont scaled = font;
    scaled.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() & ~QFont::NoAntialias));
    const QFontMetrics layout(font);
    const double dLine = layout.height() * dScale;
    const double dWidth = layout.horizontalAdvance(DC_SAMPLE) * dScale;
    int nPixels = std::max(1, int(std::lround(QFontInfo(font).pixelSize() * dScale)));
    scaled.setPixelSize(nPixels);
    while (nPixels > 1 && (QFontMetrics(scaled).height() > dLine
                           || QFontMetrics(scaled).horizontalAdvance(DC_SAMPLE) > dWidth))
        scaled.setPixelSize(--nPixels);
    return scaled;
}

// A device length in layout pixels, rounded up so the layout's box holds it.
int LayoutLength(int nDevice, double dScale)
{
    constexpr double DC_ROUNDING_SLACK = 1e-9;
    return int(std::ceil(nDevice / dScale - DC_ROUNDING_SLACK));
}

}

int TruncToInt(double dValue)
{
    if (std::isnan(dValue))
        return 0;
    if (dValue >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (dValue <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(dValue);
}

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
    // Small enough that the status line with a four-digit point count and
    // "No signal" fits the handheld's 240 pixels.
    constexpr int DC_DEFAULT_CELL_HEIGHT = 11;
    // At this size smoothed strokes turn grey; solid pixels read better, as
    // on the device.
    QFont font = DeviceFont(DC_DEFAULT_CELL_HEIGHT, QFont::Normal);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

CPaintDC::CPaintDC(QPainter& painter, double dScale)
    : m_painter(painter)
    , m_dScale(dScale)
    , m_pen(Qt::black, 1)
    , m_font(DefaultFont())
    , m_deviceFont(ScaledFont(m_font, dScale))
{
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, IsScaled());
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, IsScaled());
    if (IsScaled())
        m_painter.scale(dScale, dScale);
    m_painter.setPen(GdiPen(m_pen));
    m_painter.setBrush(Qt::white);
    m_painter.setFont(m_font);
}

CPaintDC::~CPaintDC()
{
    Flush();
    m_painter.restore();
}

double CPaintDC::StrokeShift() const
{
    constexpr double DC_PIXEL_MIDDLE = 0.5;
    return IsScaled() && m_pen.width() % 2 != 0 ? DC_PIXEL_MIDDLE : 0.0;
}

void CPaintDC::Flush()
{
    if (m_polyline.size() < 2) {
        m_polyline.clear();
        return;
    }
    if (!IsScaled() && m_pen.width() == 2 && m_pen.style() == Qt::SolidLine) {
        // A two-pixel pen as one-pixel passes side by side: at least two
        // pixels thick across and down, far quicker than stroking an outline
        // with round ends.
        QPen thin = m_pen;
        thin.setWidth(1);
        thin.setCapStyle(Qt::SquareCap);
        m_painter.setPen(thin);
        m_painter.drawPolyline(m_polyline);
        m_painter.drawPolyline(m_polyline.translated(-1, 0));
        m_painter.drawPolyline(m_polyline.translated(0, -1));
        m_painter.setPen(GdiPen(m_pen));
    } else if (IsScaled() && m_pen.style() == Qt::SolidLine) {
        DrawScaledPolyline();
    } else {
        const double dShift = StrokeShift();
        m_painter.translate(dShift, dShift);
        m_painter.drawPolyline(m_polyline);
        m_painter.translate(-dShift, -dShift);
    }
    m_polyline.clear();
}

void CPaintDC::DrawScaledPolyline()
{
    // A track of many thousand points in view, stroked with a smoothed pen of
    // round ends, takes half a second at 3x; stroked on the device's pixels
    // with plain joins it takes a sixth of that.
    const double dShift = StrokeShift();
    const QPolygonF device =
        (QTransform::fromTranslate(dShift, dShift) * m_painter.transform()).map(QPolygonF(m_polyline));
    QPen pen(m_pen.color(), std::max(1.0, std::round(std::max(1, m_pen.width()) * m_dScale)));
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    m_painter.save();
    m_painter.resetTransform();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setPen(pen);
    m_painter.drawPolyline(device);
    m_painter.restore();
}

QPen CPaintDC::SelectPen(const QPen& pen)
{
    Flush();
    QPen old = m_pen;
    m_pen = pen;
    m_painter.setPen(GdiPen(m_pen));
    return old;
}

QFont CPaintDC::SelectFont(const QFont& font)
{
    QFont old = m_font;
    m_font = font;
    m_deviceFont = ScaledFont(font, m_dScale);
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
    Flush();
    m_pos = QPoint(x, y);
}

void CPaintDC::LineTo(int x, int y)
{
    // Like GDI, the end point itself is not drawn (one-pixel pens).
    if (m_polyline.isEmpty())
        m_polyline.append(m_pos);
    m_pos = QPoint(x, y);
    m_polyline.append(m_pos);
}

void CPaintDC::Ellipse(int left, int top, int right, int bottom)
{
    Flush();
    // GDI fits the figure inside the box without its right and bottom edges;
    // Qt's aliased ellipse covers one pixel more than the rectangle's size.
    const double dShift = StrokeShift();
    m_painter.translate(dShift, dShift);
    m_painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
    m_painter.translate(-dShift, -dShift);
}

void CPaintDC::FillSolidRect(const QRect& rc, const QColor& color)
{
    Flush();
    m_painter.fillRect(rc, color);
}

void CPaintDC::TextOut(int x, int y, const QString& strText)
{
    Flush();
    m_painter.fillRect(QRect(QPoint(x, y), GetTextExtent(strText)), m_bkColor);
    // The glyphs in the device's own pixels, at the scaled size.
    const QPoint pt = DevicePoint(x, y);
    m_painter.save();
    m_painter.resetTransform();
    m_painter.setFont(m_deviceFont);
    m_painter.setPen(m_textColor);
    m_painter.drawText(QPoint(pt.x(), pt.y() + QFontMetrics(m_deviceFont).ascent()), strText);
    m_painter.restore();
}

QSize CPaintDC::GetTextExtent(const QString& strText)
{
    const QSize size = DeviceTextExtent(strText);
    if (!IsScaled())
        return size;
    return QSize(LayoutLength(size.width(), m_dScale), LayoutLength(size.height(), m_dScale));
}

QPoint CPaintDC::DevicePoint(int x, int y) const
{
    return m_painter.transform().map(QPointF(x, y)).toPoint();
}

QSize CPaintDC::DeviceTextExtent(const QString& strText) const
{
    const QFontMetrics fm(m_deviceFont);
    return QSize(fm.horizontalAdvance(strText), fm.height());
}

void CPaintDC::StretchBlt(const QRect& dstRect, const QImage& image, const QRect& srcRect)
{
    Flush();
    if (image.isNull() || dstRect.isEmpty() || srcRect.isEmpty())
        return;
    DrawVisiblePart(dstRect, image, QRectF(srcRect));
}

void CPaintDC::StretchBltSmooth(const QRect& dstRect, const QImage& image, const QRect& srcRect,
                                CImageHalvings& halvings)
{
    Flush();
    if (image.isNull() || dstRect.isEmpty() || srcRect.isEmpty())
        return;
    // Source pixels per device pixel, in the axis that shrinks less.
    const double dReduction = std::min(srcRect.width() / (dstRect.width() * m_dScale),
                                       srcRect.height() / (dstRect.height() * m_dScale));
    if (dReduction == 1.0) {
        DrawVisiblePart(dstRect, image, QRectF(srcRect));
        return;
    }
    if (dReduction < 1.0) {
        m_painter.save();
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        DrawVisiblePart(dstRect, image, QRectF(srcRect));
        m_painter.restore();
        return;
    }
    // From the halving two to four times as large as the picture, each device
    // pixel the average of the pixels it covers: a box that straddles pixels
    // of the halving takes in a little of its neighbours, and that little is
    // less the more pixels the box spans.
    constexpr double DC_LEVEL_SLACK = 1e-9;
    constexpr int DC_LEVEL_SPAN = 1;   // halvings fewer than the picture allows
    const int nLevel = std::max(0, int(std::floor(std::log2(dReduction) + DC_LEVEL_SLACK)) - DC_LEVEL_SPAN);
    const QImage& level = halvings.Level(image, nLevel);
    const QRectF device = m_painter.transform().mapRect(QRectF(dstRect));
    const QRectF visible = QRectF(srcRect).intersected(QRectF(image.rect()));
    const QRectF deviceVisible = m_painter.transform().mapRect(QRectF(
        dstRect.x() + (visible.x() - srcRect.x()) * dstRect.width() / srcRect.width(),
        dstRect.y() + (visible.y() - srcRect.y()) * dstRect.height() / srcRect.height(),
        visible.width() * dstRect.width() / srcRect.width(), visible.height() * dstRect.height() / srcRect.height()));
    const QRect pixels(QPoint(int(std::lround(deviceVisible.left())), int(std::lround(deviceVisible.top()))),
                       QPoint(int(std::lround(deviceVisible.right())) - 1, int(std::lround(deviceVisible.bottom())) - 1));
    if (pixels.isEmpty())
        return;
    // Level pixels per device pixel, and the level point at device (0, 0).
    const QSizeF step(srcRect.width() / device.width() * level.width() / image.width(),
                      srcRect.height() / device.height() * level.height() / image.height());
    const QPointF origin(srcRect.x() * double(level.width()) / image.width() - device.x() * step.width(),
                         srcRect.y() * double(level.height()) / image.height() - device.y() * step.height());
    m_painter.save();
    m_painter.resetTransform();
    m_painter.drawImage(pixels.topLeft(), AverageOverAreas(level, origin, step, pixels));
    m_painter.restore();
}

void CPaintDC::DrawVisiblePart(const QRect& dstRect, const QImage& image, const QRectF& srcRect)
{
    // Only the part of srcRect that lies on the image is copied, onto the
    // matching part of dstRect; the rest of dstRect keeps what it shows.
    const QRectF visible = srcRect.intersected(QRectF(image.rect()));
    if (visible.isEmpty())
        return;
    const double dScaleX = dstRect.width() / srcRect.width();
    const double dScaleY = dstRect.height() / srcRect.height();
    const QRectF target(dstRect.x() + (visible.x() - srcRect.x()) * dScaleX,
                        dstRect.y() + (visible.y() - srcRect.y()) * dScaleY,
                        visible.width() * dScaleX, visible.height() * dScaleY);
    m_painter.drawImage(target, image, visible);
}
