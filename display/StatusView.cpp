#include "display/StatusView.h"

void DrawStatusView(CDisplayWnd*, CDC*, CGpsTracker*)
{
}
