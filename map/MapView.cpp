#include "map/MapView.h"

void DrawMapView(CDisplayWnd*, CDC*, CGpsTracker*)
{
}
