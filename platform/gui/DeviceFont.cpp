#include "platform/gui/DeviceFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include <cstdio>
#include <map>
#include <utility>

namespace {

// Debian's fonts-liberation2, then the older fonts-liberation, which has
// the same metrics.
const char* const DEVICE_FONT_FILES[] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
};

void LoadFaceOnce()
{
    static bool s_bLoaded = false;
    if (s_bLoaded)
        return;
    s_bLoaded = true;
    for (const char* szPath : DEVICE_FONT_FILES)
        QFontDatabase::addApplicationFont(QString::fromLatin1(szPath));
    if (DeviceFontFamily() != QLatin1String(DEVICE_FONT_FAMILY))
        std::fprintf(stderr, "veltrip: the font %s is missing (Debian: fonts-liberation2); "
                             "texts may run past the window's edge\n", DEVICE_FONT_FAMILY);
}

QFont FaceFont()
{
    QFont font(QString::fromLatin1(DEVICE_FONT_FAMILY));
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

}

QString DeviceFontFamily()
{
    return QFontInfo(FaceFont()).family();
}

QFont DeviceFont(int nCellHeight, QFont::Weight weight)
{
    LoadFaceOnce();
    QFont font = FaceFont();
    font.setWeight(weight);
    // Every paint asks for the default font: measure each size once.
    static std::map<std::pair<int, int>, int> s_pixelSizes;
    int& nPixels = s_pixelSizes[{nCellHeight, int(weight)}];
    if (nPixels == 0) {
        nPixels = nCellHeight * 2;
        font.setPixelSize(nPixels);
        while (nPixels > 1 && QFontMetrics(font).height() > nCellHeight)
            font.setPixelSize(--nPixels);
    }
    font.setPixelSize(nPixels);
    return font;
}
