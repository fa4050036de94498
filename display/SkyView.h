#pragma once

#include <QPoint>

class CDC;
struct CViewContext;

// The sky plot, 240 x 268 pixels: a polar plot of the satellites in view of
// every system, north up, rings at elevation 0, 30 and 60 degrees, each
// satellite at its azimuth and elevation with its name, filled when the
// receiver uses it in its solution (the GSA list of its system), and below
// it one signal bar per satellite for its SNR on a scale of 0 to 60 dB.
void DrawSkyView(CDC* pDC, const CViewContext& view);

constexpr int SKY_WIDTH = 240;
constexpr int SKY_HEIGHT = 268;
constexpr QPoint SKY_CENTRE(120, 104);
constexpr int SKY_RADIUS = 86;          // the horizon ring
constexpr int SKY_MARK_RADIUS = 5;      // a satellite's disc
constexpr int SKY_BAR_BASE = 246;       // the SNR bars stand on this line
constexpr int SKY_BAR_HEIGHT = 40;      // the bar of 60 dB
constexpr int SKY_MAX_SNR = 60;

// Where a satellite at this azimuth and elevation (degrees) is drawn;
// elevations outside 0 to 90 are held to the horizon or the zenith.
QPoint SkyPosition(int nAzimuth, int nElevation);
