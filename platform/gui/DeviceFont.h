#pragma once

#include <QFont>
#include <QString>

// The handheld draws its texts in "MS Sans Serif"; on Linux Liberation Sans
// stands in for it, since its glyphs have the same widths as Arial's, which
// are close to the device's. A wider face (DejaVu Sans, a common default)
// pushes texts past the 240-pixel window. The face is loaded from its own
// files, so what else a machine has installed does not change the views.
inline constexpr const char* DEVICE_FONT_FAMILY = "Liberation Sans";

// A font of the stand-in face with the given cell height in pixels (the
// largest pixel size whose ascent plus descent fits) and weight, hinted and
// spaced like the device's: whole-pixel glyph advances and no kerning.
QFont DeviceFont(int nCellHeight, QFont::Weight weight);

// The family DeviceFont's fonts are actually drawn with: DEVICE_FONT_FAMILY
// unless its files are missing (fonts-liberation2 on Debian).
QString DeviceFontFamily();
