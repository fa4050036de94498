#pragma once

class CDC;
struct CViewContext;

void DrawStatusView(CDC* pDC, const CViewContext& view);
