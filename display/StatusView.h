#pragma once

class CDC;
class CDisplayWnd;
class CGpsTracker;

void DrawStatusView(CDisplayWnd* pWnd, CDC* pDC, CGpsTracker* pTracker);
