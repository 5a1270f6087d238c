#pragma once
#include "framework/CWnd.h"
// Input as a user causes it, posted to the window under the point so that it goes through the
// message loop (and so through PreTranslateMessage) like real input. Pump afterwards.

// Mouse move, left button down and up at a point in the window's client coordinates.
void ClickAt(const CWnd& wnd, CPoint clientPoint);
// The same at the centre of the window's client area.
void ClickCenter(const CWnd& wnd);
// Key down and key up of a virtual key to the window (the loop's TranslateMessage adds WM_CHAR).
void PressKey(const CWnd& wnd, UINT nVirtKey);
// A typed character without its key messages.
void TypeChar(const CWnd& wnd, wchar_t ch);
