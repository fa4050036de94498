#pragma once

#include <QPoint>
#include <QRect>

class CDC;

// Tools, "Go to…" on the map and track views: a dashed line from the
// position to the destination, cut at the edges of rcArea, and the
// destination's mark when it lies inside.
void DrawWayToDestination(CDC* pDC, const QPoint& position, const QPoint& destination, const QRect& rcArea);
