#include "app/CTrackerApp.h"

#include <QFontMetrics>

CTrackerApp theApp;

namespace {

// The fonts are given as cell heights in pixels; the face that stands in for
// "MS Sans Serif" may draw taller or shorter than its pixel size, so pick the
// largest pixel size whose measured height still fits, searching down from
// twice the cell height.
QFont MakeFont(int nCellHeight)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setWeight(QFont::DemiBold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    int nPixels = nCellHeight * 2;
    font.setPixelSize(nPixels);
    while (nPixels > 1 && QFontMetrics(font).height() > nCellHeight)
        font.setPixelSize(--nPixels);
    return font;
}

}

void CTrackerApp::CreateFonts()
{
    m_fontSmall = MakeFont(26);
    m_fontMedium = MakeFont(30);
    m_fontLarge = MakeFont(72);
}
