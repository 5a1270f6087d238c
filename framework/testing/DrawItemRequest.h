#pragma once
#include "framework/Platform.h"
// The owner-draw request a parent's WM_DRAWITEM would carry for a whole item drawn onto hDC over
// rc, for tests that call a control's DrawItem directly on a canvas.
DRAWITEMSTRUCT DrawItemRequest(HWND hItem, HDC hDC, const RECT& rc, UINT nCtlType, UINT nItemState, UINT nItemId = 0);
