#pragma once

class CDC;
struct CViewContext;

void DrawCompassView(CDC* pDC, const CViewContext& view);
