#pragma once

class CDC;
class CTrackProfile;
struct CViewContext;

// The track profile, 240 x 268 pixels: altitude (m) above and speed (km/h,
// or knots without bKmh) below, over the distance along the track. Each plot
// has its title above it and its maximum and minimum at its left edge; the
// distance axis has its total at the right; a ring marks the last point.
// A plot has one vertical minimum-to-maximum stroke per pixel column, joined
// to its neighbours, so a track of any length paints in the same few
// hundred strokes. Fewer than two points show "No track".
void DrawProfileView(CDC* pDC, const CTrackProfile& profile, bool bKmh);

// The same for the views table: the track list's profile, kept up to date in
// the window's m_pProfile when it has one, in the speed unit of the settings.
void DrawProfileView(CDC* pDC, const CViewContext& view);

constexpr int PROFILE_WIDTH = 240;
constexpr int PROFILE_HEIGHT = 268;
