#pragma once

class CDC;
class CDisplayWnd;
class CGpsTracker;

void DrawTrackView(CDisplayWnd* pWnd, CDC* pDC, CGpsTracker* pTracker);
