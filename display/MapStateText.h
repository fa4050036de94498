#pragma once

class CDC;
class QRect;
class QString;

// Why the map view's online sheets cannot be renewed just now ("offline",
// "paused 30 s"), small on a white plate at the top right of rcArea (the
// drawing area), away from the compass at the top left. Nothing when empty.
void DrawMapStateText(CDC* pDC, const QString& strState, const QRect& rcArea);
