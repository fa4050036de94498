#pragma once

class CDC;
struct CViewContext;

void DrawGpsDataView(CDC* pDC, const CViewContext& view);
