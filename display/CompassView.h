#pragma once

class CDC;
class CDisplayWnd;
class CGpsTracker;

void DrawCompassView(CDisplayWnd* pWnd, CDC* pDC, CGpsTracker* pTracker);
