#pragma once
#include "framework/CDC.h"
// Draws a bitmap at (x, y) leaving its pixels of the transparent colour out. Disabled, the opaque
// pixels are the background ANDed with COLOR_GRAYTEXT, ORed with the bitmap. The bitmap is left
// unchanged.
void DrawTransparentBitmap(CDC* pDC, HBITMAP hBitmap, int x, int y, COLORREF crTransparent, BOOL bDisabled);
