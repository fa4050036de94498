#pragma once

#include <QPoint>
#include <QString>

class CDC;

// Dial of radius nRadius around (cx, cy), filled with the current brush, and
// a needle pointing north for a traveller heading fCourse degrees. Used by
// the compass, GPS data, track and map views.
void DrawCompassNeedle(CDC* pDC, int cx, int cy, int nRadius, float fCourse);

// Tools, "Go to…": a hollow needle of radius nRadius from (cx, cy) towards
// fDegrees clockwise from the top of the dial, drawn over the dial above.
void DrawDestinationNeedle(CDC* pDC, int cx, int cy, int nRadius, float fDegrees);

// The point nRadius from (cx, cy) at fDegrees clockwise from the top,
// each offset truncated toward zero.
QPoint PointOnDial(int cx, int cy, int nRadius, float fDegrees);

// The course in whole degrees with the degree sign, as the views show it.
QString CourseText(float fCourse);
