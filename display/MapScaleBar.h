#pragma once

#include <QString>

class CDC;
class CMapBitmap;
class QRect;

// The map view's scale: a round distance (1, 2 or 5 times a power of ten
// metres) as long as fits a third of the drawing area's width, in metres
// and kilometres as the program's other distances.
struct CScaleBar
{
    QString strText;    // "50 m", "1 km"
    int nPixels = 0;    // its length across the drawing area; 0: no bar
};

// The bar for a view showing dMetresPerPixel metres east-west per pixel,
// nAreaWidth pixels wide.
CScaleBar ScaleBarFor(double dMetresPerPixel, int nAreaWidth);

// Draws the bar of the map's current view at the bottom left of rcArea (the
// drawing area), measured along the parallel through the view's middle.
void DrawMapScaleBar(CDC* pDC, const CMapBitmap& map, const QRect& rcArea);
