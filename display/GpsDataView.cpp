#include "display/GpsDataView.h"

void DrawGpsDataView(CDisplayWnd*, CDC*, CGpsTracker*)
{
}
