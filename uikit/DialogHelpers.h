#pragma once
#include "framework/CWnd.h"
class CMenu;
// Helpers for dialog items, child windows and menus. Those taking a parent and an item id do
// nothing (0 or null) when the parent has no such item.

// The previous disabled state as EnableWindow reports it; 0 when the item is missing.
BOOL EnableDlgItem(CWnd* pParent, int nID, BOOL bEnable);
// TRUE when the item was visible before; 0 when it is missing.
BOOL ShowDlgItem(CWnd* pParent, int nID, int nCmdShow);
// Focuses the item; an attached CEdit also gets all its text selected and the caret scrolled into
// view. The window that had the focus (temporary wrapper), or null.
CWnd* FocusDlgItem(CWnd* pParent, int nID);
// Makes the page the active one of its property sheet first, when another page is active.
CWnd* FocusPropertyPageItem(CWnd* pPage, int nID);

// Moves (and grows) a child or dialog item in its parent's client coordinates, z-order kept.
void MoveDlgItem(CWnd* pParent, int nID, int dx, int dy, BOOL bRedraw = TRUE);
void MoveResizeDlgItem(CWnd* pParent, int nID, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw = TRUE);
BOOL MoveChild(CWnd* pParent, CWnd* pChild, int dx, int dy, BOOL bRedraw = TRUE);
BOOL MoveResizeChild(CWnd* pParent, CWnd* pChild, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw = TRUE);
// The same for a top-level window in screen coordinates; 0 when the window does not exist.
BOOL MoveWindowBy(CWnd* pWnd, int dx, int dy, BOOL bRedraw = TRUE);
BOOL MoveResizeWindowBy(CWnd* pWnd, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw = TRUE);

// The position of the first popup whose tree holds the command id with a non-empty text, or -1.
int FindSubMenuPosition(CMenu* pMenu, UINT nCommandId);
// Removes trailing separators, all but the last of each run, and a leading one.
void CleanMenuSeparators(CMenu* pMenu);
