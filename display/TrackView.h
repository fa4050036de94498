#pragma once

class CDC;
struct CViewContext;

void DrawTrackView(CDC* pDC, const CViewContext& view);
