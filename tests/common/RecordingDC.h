#pragma once

#include "platform/gui/CDC.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <vector>

// A device context that paints into an image like the window would and
// records every call, so tests can check both the geometry and the pixels.
class CRecordingDC : public CDC
{
public:
    struct Call
    {
        QString strOp;      // "MoveTo", "LineTo", "Ellipse", "TextOut", "FillSolidRect", "StretchBlt"
        QRect rc;           // MoveTo/LineTo/TextOut: the point in rc.topLeft(); Ellipse etc.: the box
        QString strText;    // TextOut only
        QColor textColor;   // TextOut: the text colour in effect
        QPen pen;           // the pen in effect
        QFont font;         // the font in effect
        QRect srcRect;      // StretchBlt only
        bool bSmooth = false;   // StretchBlt: drawn by StretchBltSmooth
    };

    CRecordingDC(int nWidth, int nHeight);
    ~CRecordingDC() override;

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

    // The texts drawn, in order, and the first call whose text equals strText.
    QStringList Texts() const;
    const Call* FindText(const QString& strText) const;
    std::vector<Call> CallsOf(const QString& strOp) const;

    // Ends painting; the image is complete afterwards.
    const QImage& Image();

    std::vector<Call> m_calls;
    QPen m_pen;
    QFont m_font;
    QColor m_textColor;

private:
    Call Make(const QString& strOp, const QRect& rc) const;

    QImage m_image;
    QPainter m_painter;
    CPaintDC m_dc;
};
