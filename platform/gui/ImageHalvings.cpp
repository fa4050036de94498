#include "platform/gui/ImageHalvings.h"

#include <algorithm>
#include <cmath>

namespace {

// The average of four pixels, each channel rounded.
QRgb Average(QRgb a, QRgb b, QRgb c, QRgb d)
{
    constexpr int HALVE_ROUNDING = 2;
    return qRgb((qRed(a) + qRed(b) + qRed(c) + qRed(d) + HALVE_ROUNDING) / 4,
                (qGreen(a) + qGreen(b) + qGreen(c) + qGreen(d) + HALVE_ROUNDING) / 4,
                (qBlue(a) + qBlue(b) + qBlue(c) + qBlue(d) + HALVE_ROUNDING) / 4);
}

// Two source rows at a time in 32-bit RGB, so an indexed or 24-bit image of
// any size needs no converted copy of its own. An odd last row or column is
// left out: the halving spans the image to within one of its pixels.
QImage Halve(const QImage& image)
{
    const int nWidth = std::max(1, image.width() / 2);
    const int nHeight = std::max(1, image.height() / 2);
    QImage half(nWidth, nHeight, QImage::Format_RGB32);
    for (int y = 0; y < nHeight; ++y) {
        const int yTop = std::min(2 * y, image.height() - 1);
        const int nRows = std::min(2, image.height() - yTop);
        const QImage rows = image.copy(0, yTop, image.width(), nRows).convertToFormat(QImage::Format_RGB32);
        const auto* pTop = reinterpret_cast<const QRgb*>(rows.constScanLine(0));
        const auto* pBottom = reinterpret_cast<const QRgb*>(rows.constScanLine(nRows - 1));
        auto* pOut = reinterpret_cast<QRgb*>(half.scanLine(y));
        for (int x = 0; x < nWidth; ++x) {
            const int xLeft = std::min(2 * x, image.width() - 1);
            const int xRight = std::min(xLeft + 1, image.width() - 1);
            pOut[x] = Average(pTop[xLeft], pTop[xRight], pBottom[xLeft], pBottom[xRight]);
        }
    }
    return half;
}

// The image pixels one device row or column covers, with the length of each
// one inside the device pixel's box.
struct CTaps
{
    int nFirst = 0;
    std::vector<float> weights;
};

// The taps of nCount device pixels from device coordinate nStart, clipped to
// image pixels 0 to nSize, relative to image pixel nOffset.
std::vector<CTaps> BoxTaps(double dOrigin, double dStep, int nStart, int nCount, int nSize, int nOffset)
{
    std::vector<CTaps> taps(size_t(std::max(0, nCount)));
    for (int i = 0; i < nCount; ++i) {
        const double dFrom = std::clamp(dOrigin + (nStart + i) * dStep, 0.0, double(nSize));
        const double dTo = std::clamp(dOrigin + (nStart + i + 1) * dStep, 0.0, double(nSize));
        CTaps& tap = taps[size_t(i)];
        tap.nFirst = int(std::floor(dFrom));
        for (int p = tap.nFirst; p < dTo; ++p)
            tap.weights.push_back(float(std::min(dTo, p + 1.0) - std::max(dFrom, double(p))));
        tap.nFirst -= nOffset;
    }
    return taps;
}

}

QImage AverageOverAreas(const QImage& image, const QPointF& ptOrigin, const QSizeF& step, const QRect& rcDevice)
{
    QImage out(rcDevice.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    // Only the image pixels under the device rectangle, in 32-bit RGB.
    const QRect rcUsed = QRect(QPoint(int(std::floor(ptOrigin.x() + rcDevice.left() * step.width())),
                                      int(std::floor(ptOrigin.y() + rcDevice.top() * step.height()))),
                               QPoint(int(std::ceil(ptOrigin.x() + (rcDevice.right() + 1) * step.width())),
                                      int(std::ceil(ptOrigin.y() + (rcDevice.bottom() + 1) * step.height()))))
                             .intersected(image.rect());
    if (rcUsed.isEmpty() || out.isNull())
        return out;
    const QImage used = image.copy(rcUsed).convertToFormat(QImage::Format_RGB32);
    const std::vector<CTaps> columns =
        BoxTaps(ptOrigin.x(), step.width(), rcDevice.left(), rcDevice.width(), image.width(), rcUsed.left());
    const std::vector<CTaps> rows =
        BoxTaps(ptOrigin.y(), step.height(), rcDevice.top(), rcDevice.height(), image.height(), rcUsed.top());
    for (int y = 0; y < rcDevice.height(); ++y) {
        const CTaps& row = rows[size_t(y)];
        auto* pOut = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < rcDevice.width(); ++x) {
            const CTaps& column = columns[size_t(x)];
            float fRed = 0, fGreen = 0, fBlue = 0, fArea = 0;
            for (size_t r = 0; r < row.weights.size(); ++r) {
                const auto* pLine = reinterpret_cast<const QRgb*>(used.constScanLine(row.nFirst + int(r)));
                for (size_t c = 0; c < column.weights.size(); ++c) {
                    const float fWeight = row.weights[r] * column.weights[c];
                    const QRgb rgb = pLine[column.nFirst + int(c)];
                    fRed += fWeight * float(qRed(rgb));
                    fGreen += fWeight * float(qGreen(rgb));
                    fBlue += fWeight * float(qBlue(rgb));
                    fArea += fWeight;
                }
            }
            if (fArea > 0)
                pOut[x] = qRgb(int(fRed / fArea + 0.5f), int(fGreen / fArea + 0.5f), int(fBlue / fArea + 0.5f));
        }
    }
    return out;
}

const QImage& CImageHalvings::Level(const QImage& image, int nLevel)
{
    if (image.cacheKey() != m_nKey) {
        m_levels.clear();
        m_nKey = image.cacheKey();
    }
    while (nLevel > 0 && int(m_levels.size()) < nLevel) {
        const QImage& last = m_levels.empty() ? image : m_levels.back();
        if (last.width() == 1 && last.height() == 1)
            break;
        m_levels.push_back(Halve(last));
    }
    nLevel = std::min(nLevel, int(m_levels.size()));
    return nLevel == 0 ? image : m_levels[size_t(nLevel - 1)];
}
