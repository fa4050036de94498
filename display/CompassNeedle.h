#pragma once

#include <QString>

class CDC;

// Dial of radius nRadius around (cx, cy), filled with the current brush, and
// a needle pointing north for a traveller heading fCourse degrees. Used by
// the compass, GPS data, track and map views.
void DrawCompassNeedle(CDC* pDC, int cx, int cy, int nRadius, float fCourse);

// The course in whole degrees with the degree sign, as the views show it.
QString CourseText(float fCourse);
