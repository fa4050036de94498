#pragma once

class CDC;
class CDisplayWnd;
class CGpsTracker;

void DrawGpsDataView(CDisplayWnd* pWnd, CDC* pDC, CGpsTracker* pTracker);
