#pragma once

class CDC;
class CDisplayWnd;
class CGpsTracker;

void DrawMapView(CDisplayWnd* pWnd, CDC* pDC, CGpsTracker* pTracker);
