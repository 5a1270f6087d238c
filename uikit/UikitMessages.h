#pragma once
#include "framework/Platform.h"
// Private messages of the toolkit's windows: to themselves, and from the editable list to its parent.

// CListViewEx, posted by RedrawItemLater from another thread: start the redraw timer on the
// view's own thread. wParam, lParam: unused.
constexpr UINT WM_LISTVIEWEX_STARTREDRAW = WM_APP + 0x666;

// CListCtrlEdit to its parent, sent. wParam: the list's control id; lParam: the record, which
// belongs to the list and lives during the call only.
constexpr UINT WM_LISTEDIT_QUERY = WM_USER + 500;     // EDITCELLQUERY*: may the cell be edited, and how
constexpr UINT WM_LISTEDIT_CHANGE = WM_USER + 501;    // const EDITCELLSTATE*: the editor's text changed
constexpr UINT WM_LISTEDIT_END = WM_USER + 502;       // EDITCELLRESULT*: may clear accept or write cell
constexpr UINT WM_LISTEDIT_DELETE = WM_USER + 503;    // DELETEROWQUERY*: may the row be deleted
constexpr UINT WM_LISTEDIT_FILLCOMBO = WM_USER + 504; // FILLCOMBOREQUEST*: fill the editor's combo

// CListCtrlEdit to itself, posted after a rejected edit: open the editor on the cell again.
// wParam: unused; lParam: REOPENEDITREQUEST* on the heap, freed by the list.
constexpr UINT WM_LISTEDIT_REOPEN = WM_USER + 1;
