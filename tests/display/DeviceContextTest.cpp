#include "platform/gui/CDC.h"

#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr QRgb WHITE = qRgb(255, 255, 255);

// Paints on a white 40 x 40 image (times dScale) through CPaintDC drawing
// dScale times larger, and returns the image.
QImage Paint(const std::function<void(CDC&)>& fnPaint, int nSize = 40, double dScale = 1.0)
{
    const int nSide = int(std::lround(nSize * dScale));
    QImage image(nSide, nSide, QImage::Format_RGB32);
    image.fill(WHITE);
    QPainter painter(&image);
    {
        CPaintDC dc(painter, dScale);
        fnPaint(dc);
    }
    painter.end();
    return image;
}

// Smallest rectangle holding every pixel that is not white; with nDarkest
// only those darker than that in every channel (the core of a smoothed edge).
QRect InkBox(const QImage& image, int nDarkest = 256)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            if (rgb != WHITE && qRed(rgb) < nDarkest && qGreen(rgb) < nDarkest && qBlue(rgb) < nDarkest)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Drawn larger, every figure covers the pixels it covers unscaled, times the
// scale: lines as thick as their pen times it, smoothed only at the edges.
TEST(DeviceContextTest, ScaledFiguresCoverTheirUnscaledPixelsTimesTheScale)
{
    const struct
    {
        const char* szFigure;
        std::function<void(CDC&)> fnPaint;
    } FIGURES[] = {
        {"ellipse", [](CDC& dc) { dc.Ellipse(10, 10, 20, 20); }},
        {"thick ellipse", [](CDC& dc) {
             dc.SelectPen(QPen(Qt::black, 4));
             dc.Ellipse(10, 10, 30, 30);
         }},
        {"rectangle", [](CDC& dc) { dc.FillSolidRect(QRect(5, 7, 11, 13), Qt::black); }},
        {"thin line down", [](CDC& dc) {
             dc.MoveTo(10, 10);
             dc.LineTo(10, 30);
             dc.MoveTo(0, 0);
         }},
        {"two-pixel line across", [](CDC& dc) {
             dc.SelectPen(QPen(Qt::black, 2));
             dc.MoveTo(10, 20);
             dc.LineTo(30, 20);
         }},
    };
    constexpr int DC_MID_GREY = 128;
    for (const auto& figure : FIGURES) {
        const QRect one = InkBox(Paint(figure.fnPaint));
        for (const double dScale : {2.0, 3.0}) {
            SCOPED_TRACE(std::string(figure.szFigure) + " at " + std::to_string(dScale));
            const QRect big = InkBox(Paint(figure.fnPaint, 40, dScale), DC_MID_GREY);
            const int nScale = int(dScale);
            // Across a line its pen's width exactly; along it round caps and
            // the left-out end point may differ by a layout pixel.
            const bool bAcross = figure.szFigure == std::string("two-pixel line across");
            const bool bDown = figure.szFigure == std::string("thin line down");
            if (!bDown) {
                EXPECT_EQ(big.top(), one.top() * nScale);
                EXPECT_EQ(big.height(), one.height() * nScale);
            }
            if (!bAcross) {
                EXPECT_EQ(big.left(), one.left() * nScale);
                EXPECT_EQ(big.width(), one.width() * nScale);
            }
        }
    }
}

TEST(DeviceContextTest, EllipseStaysInsideItsBox)
{
    const QImage image = Paint([](CDC& dc) { dc.Ellipse(10, 10, 20, 20); });
    EXPECT_EQ(InkBox(image), QRect(QPoint(10, 10), QPoint(19, 19)));
}

TEST(DeviceContextTest, ThinLinesLeaveOutTheirEndPoint)
{
    QImage image = Paint([](CDC& dc) {
        dc.MoveTo(10, 10);
        dc.LineTo(20, 10);
    });
    EXPECT_EQ(InkBox(image), QRect(QPoint(10, 10), QPoint(19, 10)));

    // Connected lines: only the very last end point is left out.
    image = Paint([](CDC& dc) {
        dc.MoveTo(10, 10);
        dc.LineTo(20, 10);
        dc.LineTo(20, 20);
    });
    EXPECT_EQ(InkBox(image), QRect(QPoint(10, 10), QPoint(20, 19)));
    EXPECT_NE(image.pixel(20, 10), WHITE);
    EXPECT_EQ(image.pixel(20, 20), WHITE);
}

TEST(DeviceContextTest, WidePensDrawThickLines)
{
    const QImage image = Paint([](CDC& dc) {
        dc.SelectPen(QPen(Qt::red, 2));
        dc.MoveTo(10, 10);
        dc.LineTo(30, 10);
        dc.LineTo(30, 30);
        dc.SelectPen(QPen(Qt::black, 4));
        dc.MoveTo(5, 35);
        dc.LineTo(25, 35);
    });
    int nRedRows = 0;
    for (int y = 5; y < 15; ++y)
        nRedRows += image.pixel(20, y) == qRgb(255, 0, 0);
    EXPECT_EQ(nRedRows, 2);
    int nBlackRows = 0;
    for (int y = 30; y < 40; ++y)
        nBlackRows += image.pixel(15, y) == qRgb(0, 0, 0);
    EXPECT_EQ(nBlackRows, 4);
    EXPECT_EQ(image.pixel(30, 20), qRgb(255, 0, 0)) << "second segment of the red line";
}

TEST(DeviceContextTest, SelectHandsBackWhatWasSelected)
{
    Paint([](CDC& dc) {
        const QPen red(Qt::red, 2);
        const QPen first = dc.SelectPen(red);
        EXPECT_EQ(first.width(), 1);
        EXPECT_EQ(dc.SelectPen(first), red);
        QFont font = CDC::DefaultFont();
        font.setPixelSize(30);
        EXPECT_EQ(dc.SelectFont(font), CDC::DefaultFont());
        EXPECT_EQ(dc.SelectFont(CDC::DefaultFont()), font);
        EXPECT_EQ(dc.SetTextColor(Qt::red), QColor(Qt::black));
    });
}

TEST(DeviceContextTest, TextIsOpaqueFromItsTopLeftCorner)
{
    const QString strText = QStringLiteral("Wq");
    QSize size;
    const QImage image = Paint([&](CDC& dc) {
        dc.FillSolidRect(QRect(0, 0, 40, 40), Qt::black);
        size = dc.GetTextExtent(strText);
        QRect rc(5, 6, 0, 0);
        EXPECT_EQ(dc.DrawText(strText, rc, DT_CALCRECT), size.height());
        EXPECT_EQ(rc, QRect(5, 6, size.width(), size.height()));
        dc.TextOut(5, 6, strText);
    });
    ASSERT_FALSE(size.isEmpty());
    EXPECT_EQ(image.pixel(5, 6), WHITE) << "background filled behind the text";
    EXPECT_EQ(image.pixel(4, 6), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(5 + size.width(), 6), qRgb(0, 0, 0));
}

TEST(DeviceContextTest, StretchCopiesPixelsUnchanged)
{
    QImage source(4, 4, QImage::Format_RGB32);
    source.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 4; ++y)
        source.setPixel(2, y, qRgb(0, 255, 0));
    const QImage image = Paint([&](CDC& dc) { dc.StretchBlt(QRect(0, 0, 40, 40), source, QRect(0, 0, 4, 4)); });
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(25, 10), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(19, 10), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(30, 39), qRgb(0, 0, 255));
}

TEST(DeviceContextTest, StretchLeavesWhatLiesPastTheImage)
{
    QImage source(20, 20, QImage::Format_Indexed8);
    source.setColorTable({qRgb(200, 0, 0)});
    source.fill(0);
    // The source starts 10 pixels left of and above the image, at double size.
    const QImage image =
        Paint([&](CDC& dc) { dc.StretchBlt(QRect(0, 0, 40, 40), source, QRect(-10, -10, 20, 20)); });
    EXPECT_EQ(InkBox(image), QRect(20, 20, 20, 20));
    EXPECT_EQ(image.pixel(25, 25), qRgb(200, 0, 0));

    // Entirely off the image: nothing at all.
    const QImage off =
        Paint([&](CDC& dc) { dc.StretchBlt(QRect(0, 0, 40, 40), source, QRect(500, -900, 20, 20)); });
    EXPECT_TRUE(InkBox(off).isNull());
}

TEST(DeviceContextTest, TruncationSaturates)
{
    EXPECT_EQ(TruncToInt(-2.7), -2);
    EXPECT_EQ(TruncToInt(2.7), 2);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
    EXPECT_EQ(TruncToInt(1e300), INT_MAX);
    EXPECT_EQ(TruncToInt(-1e300), INT_MIN);
}

}
