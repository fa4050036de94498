#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPolygon>
#include <QRect>
#include <QSize>
#include <QString>

class CImageHalvings;
class QPainter;

// DrawText flags, as the views use them.
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;

// A device context with the semantics the views were written for: a current
// position for MoveTo/LineTo, a selected pen, font and brush that Select*
// replace and hand back, a text colour, text drawn opaque from its top-left
// corner without clipping, ellipses filled with the current brush, and a
// stretch copy of a bitmap. The calls are virtual so that tests can record
// what a view draws.
class CDC
{
public:
    virtual ~CDC() = default;

    virtual QPen SelectPen(const QPen& pen) = 0;        // returns the previous pen
    virtual QFont SelectFont(const QFont& font) = 0;    // returns the previous font
    virtual QColor SetTextColor(const QColor& color) = 0;   // returns the previous colour
    virtual QColor SetBkColor(const QColor& color) = 0;     // opaque text background

    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    virtual void FillSolidRect(const QRect& rc, const QColor& color) = 0;

    virtual void TextOut(int x, int y, const QString& strText) = 0;
    virtual QSize GetTextExtent(const QString& strText) = 0;
    // Single-line text at rc's top-left; DT_CALCRECT only measures, setting
    // rc's right and bottom. Returns the text height.
    int DrawText(const QString& strText, QRect& rc, unsigned nFormat);

    // Copies srcRect of image onto dstRect, scaling as needed, pixels
    // unchanged (nearest neighbour). Parts of srcRect outside the image are
    // left as they were on the surface.
    virtual void StretchBlt(const QRect& dstRect, const QImage& image, const QRect& srcRect) = 0;
    // The same copy drawn smoothly: where the device shows srcRect smaller
    // than its pixels, averaged over their areas (from the nearest of
    // halvings at least that large, then bilinear); where larger, bilinear;
    // at exactly its size, unchanged.
    virtual void StretchBltSmooth(const QRect& dstRect, const QImage& image, const QRect& srcRect,
                                  CImageHalvings& halvings) = 0;

    // Default look of a fresh context, shared by every implementation.
    static QFont DefaultFont();
};

// Truncation toward zero, as pixel coordinates are computed; NaN gives 0 and
// values beyond int's range saturate instead of overflowing.
int TruncToInt(double dValue);

// The context over a QPainter, for windows and off-screen images. Connected
// LineTo calls are collected and drawn as one polyline when anything else
// happens, at Flush or at destruction, so long tracks paint quickly; destroy
// the context (or Flush) before ending the painter.
//
// With a scale other than 1 the views keep drawing in their layout's pixels
// while the picture is dScale times larger on the painter's device (View,
// "Zoom"): lines at the scaled width, smoothed, covering the pixels a pen of
// that width covers at 1; texts in fonts of the scaled size, so their glyphs
// are drawn at the device's resolution rather than enlarged; bitmaps copied
// from their own pixels onto the scaled rectangle. The painter's transform
// at construction places the layout's top-left corner.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(QPainter& painter, double dScale = 1.0);
    ~CPaintDC() override;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    void Flush();

    QPen SelectPen(const QPen& pen) override;
    QFont SelectFont(const QFont& font) override;
    QColor SetTextColor(const QColor& color) override;
    QColor SetBkColor(const QColor& color) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void FillSolidRect(const QRect& rc, const QColor& color) override;
    void TextOut(int x, int y, const QString& strText) override;
    QSize GetTextExtent(const QString& strText) override;
    void StretchBlt(const QRect& dstRect, const QImage& image, const QRect& srcRect) override;
    void StretchBltSmooth(const QRect& dstRect, const QImage& image, const QRect& srcRect,
                          CImageHalvings& halvings) override;

    // Where a text drawn at layout point (x, y) lands on the device, and its
    // measured size there: the layout's figures times the scale, but taken
    // from the font that draws it.
    QPoint DevicePoint(int x, int y) const;
    QSize DeviceTextExtent(const QString& strText) const;

private:
    bool IsScaled() const { return m_dScale != 1.0; }
    // Strokes of odd widths are centred on the middle of a layout pixel, as
    // the unscaled pen covers the pixel right of and below its coordinate.
    double StrokeShift() const;
    // The collected polyline of a solid pen at a scale other than 1.
    void DrawScaledPolyline();
    // Copies the part of srcRect that lies on image onto the matching part
    // of dstRect.
    void DrawVisiblePart(const QRect& dstRect, const QImage& image, const QRectF& srcRect);

    QPainter& m_painter;
    double m_dScale;
    QPen m_pen;
    QFont m_font;
    QFont m_deviceFont;   // m_font at the scaled size
    QColor m_textColor = Qt::black;
    QColor m_bkColor = Qt::white;
    QPoint m_pos;
    QPolygon m_polyline;    // lines drawn since the last flush, joined end to start
};
