#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <vector>

// An image's halvings, each made from the one before by averaging 2 x 2
// pixels, on first use and kept until the image changes. A picture shown at
// a fraction of its size is copied from the halving just above that size:
// every source pixel counts in what is shown (lines and letters stay whole),
// and a paint reads no more pixels than it shows.
class CImageHalvings
{
public:
    // image halved nLevel times (0: image itself), in 32-bit RGB from the
    // first halving on; halving stops at one pixel a side. The reference
    // stays valid until the next call.
    const QImage& Level(const QImage& image, int nLevel);

private:
    qint64 m_nKey = 0;            // QImage::cacheKey of the image halved
    std::vector<QImage> m_levels; // m_levels[0] is the first halving
};

// The device pixels of rcDevice, each the average of image over the area it
// covers (a box filter): device pixel (x, y) covers the image from
// ptOrigin + (x, y) * step to ptOrigin + (x + 1, y + 1) * step. Meant for
// steps of a few image pixels (the rest after the halvings); parts that lie
// past the image count as not covered, and the average is over the rest.
QImage AverageOverAreas(const QImage& image, const QPointF& ptOrigin, const QSizeF& step, const QRect& rcDevice);
