#pragma once
#include "framework/CDC.h"
// The raised 3-D edge of a classic push button inside rc (right and bottom exclusive): highlight
// and light on the top-left, dark shadow and shadow on the bottom-right. The DC's pen is restored.
void DrawClassicButtonEdges(CDC* pDC, const CRect& rc);
