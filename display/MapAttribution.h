#pragma once

class CDC;
class CMapBitmap;
class QRect;

// The credit a map made from a tile server's tiles owes its source, in the
// bottom right corner of rcArea (the drawing area) on a white plate, in the
// font of the scale bar's text; nothing for a map without one.
void DrawMapAttribution(CDC* pDC, const CMapBitmap& map, const QRect& rcArea);
