#include "map/TrackView.h"

void DrawTrackView(CDisplayWnd*, CDC*, CGpsTracker*)
{
}
