#include "tests/common/RecordingDC.h"

namespace {

// A point kept in a rectangle's top-left corner; setCoords does no arithmetic,
// so points at the far ends of int stay exact.
QRect PointRect(int x, int y)
{
    QRect rc;
    rc.setCoords(x, y, x, y);
    return rc;
}

}

CRecordingDC::CRecordingDC(int nWidth, int nHeight)
    : m_pen(Qt::black, 1)
    , m_font(DefaultFont())
    , m_textColor(Qt::black)
    , m_image(nWidth, nHeight, QImage::Format_RGB32)
    , m_painter((m_image.fill(Qt::white), &m_image))
    , m_dc(m_painter)
{
}

CRecordingDC::~CRecordingDC() = default;

CRecordingDC::Call CRecordingDC::Make(const QString& strOp, const QRect& rc) const
{
    Call call;
    call.strOp = strOp;
    call.rc = rc;
    call.textColor = m_textColor;
    call.pen = m_pen;
    call.font = m_font;
    return call;
}

QPen CRecordingDC::SelectPen(const QPen& pen)
{
    m_pen = pen;
    return m_dc.SelectPen(pen);
}

QFont CRecordingDC::SelectFont(const QFont& font)
{
    m_font = font;
    return m_dc.SelectFont(font);
}

QColor CRecordingDC::SetTextColor(const QColor& color)
{
    m_textColor = color;
    return m_dc.SetTextColor(color);
}

QColor CRecordingDC::SetBkColor(const QColor& color)
{
    return m_dc.SetBkColor(color);
}

void CRecordingDC::MoveTo(int x, int y)
{
    m_calls.push_back(Make(QStringLiteral("MoveTo"), PointRect(x, y)));
    m_dc.MoveTo(x, y);
}

void CRecordingDC::LineTo(int x, int y)
{
    m_calls.push_back(Make(QStringLiteral("LineTo"), PointRect(x, y)));
    m_dc.LineTo(x, y);
}

void CRecordingDC::Ellipse(int left, int top, int right, int bottom)
{
    m_calls.push_back(Make(QStringLiteral("Ellipse"), QRect(QPoint(left, top), QPoint(right, bottom))));
    m_dc.Ellipse(left, top, right, bottom);
}

void CRecordingDC::FillSolidRect(const QRect& rc, const QColor& color)
{
    Call call = Make(QStringLiteral("FillSolidRect"), rc);
    call.textColor = color;
    m_calls.push_back(call);
    m_dc.FillSolidRect(rc, color);
}

void CRecordingDC::TextOut(int x, int y, const QString& strText)
{
    Call call = Make(QStringLiteral("TextOut"), PointRect(x, y));
    call.strText = strText;
    m_calls.push_back(call);
    m_dc.TextOut(x, y, strText);
}

QSize CRecordingDC::GetTextExtent(const QString& strText)
{
    return m_dc.GetTextExtent(strText);
}

void CRecordingDC::StretchBlt(const QRect& dstRect, const QImage& image, const QRect& srcRect)
{
    Call call = Make(QStringLiteral("StretchBlt"), dstRect);
    call.srcRect = srcRect;
    m_calls.push_back(call);
    m_dc.StretchBlt(dstRect, image, srcRect);
}

void CRecordingDC::StretchBltSmooth(const QRect& dstRect, const QImage& image, const QRect& srcRect,
                                    CImageHalvings& halvings)
{
    Call call = Make(QStringLiteral("StretchBlt"), dstRect);
    call.srcRect = srcRect;
    call.bSmooth = true;
    m_calls.push_back(call);
    m_dc.StretchBltSmooth(dstRect, image, srcRect, halvings);
}

QStringList CRecordingDC::Texts() const
{
    QStringList texts;
    for (const Call& call : m_calls) {
        if (call.strOp == QLatin1String("TextOut"))
            texts.append(call.strText);
    }
    return texts;
}

const CRecordingDC::Call* CRecordingDC::FindText(const QString& strText) const
{
    for (const Call& call : m_calls) {
        if (call.strOp == QLatin1String("TextOut") && call.strText == strText)
            return &call;
    }
    return nullptr;
}

std::vector<CRecordingDC::Call> CRecordingDC::CallsOf(const QString& strOp) const
{
    std::vector<Call> calls;
    for (const Call& call : m_calls) {
        if (call.strOp == strOp)
            calls.push_back(call);
    }
    return calls;
}

const QImage& CRecordingDC::Image()
{
    if (m_painter.isActive()) {
        m_dc.Flush();
        m_painter.end();
    }
    return m_image;
}
