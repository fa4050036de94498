#pragma once

class CDC;
struct CViewContext;

void DrawMapView(CDC* pDC, const CViewContext& view);
