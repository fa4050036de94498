#include "display/CompassView.h"

void DrawCompassView(CDisplayWnd*, CDC*, CGpsTracker*)
{
}
