#pragma once
#include "framework/Platform.h"
// Private messages of the toolkit's windows to themselves.

// CListViewEx, posted by RedrawItemLater from another thread: start the redraw timer on the
// view's own thread. wParam, lParam: unused.
constexpr UINT WM_LISTVIEWEX_STARTREDRAW = WM_APP + 0x666;
