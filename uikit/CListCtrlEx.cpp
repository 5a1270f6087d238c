#include "uikit/CListCtrlEx.h"
#include "framework/AfxInitCommonControls.h"

IMPLEMENT_DYNCREATE(CListCtrlEx, CListCtrl)

// The list-view messages CListBase takes over; their ANSI forms would reach the control with
// physical indexes and record pointers, so they are refused.
BEGIN_MESSAGE_MAP(CListCtrlEx, CListCtrl)
ON_MESSAGE(LVM_INSERTCOLUMNW, &CListCtrlEx::OnInsertColumn)
ON_MESSAGE(LVM_DELETECOLUMN, &CListCtrlEx::OnDeleteColumn)
ON_MESSAGE(LVM_GETCOLUMNW, &CListCtrlEx::OnGetColumn)
ON_MESSAGE(LVM_SETCOLUMNW, &CListCtrlEx::OnSetColumn)
ON_MESSAGE(LVM_GETCOLUMNWIDTH, &CListCtrlEx::OnGetColumnWidth)
ON_MESSAGE(LVM_SETCOLUMNWIDTH, &CListCtrlEx::OnSetColumnWidth)
ON_MESSAGE(LVM_GETCOLUMNORDERARRAY, &CListCtrlEx::OnGetColumnOrderArray)
ON_MESSAGE(LVM_SETCOLUMNORDERARRAY, &CListCtrlEx::OnSetColumnOrderArray)
ON_MESSAGE(LVM_INSERTITEMW, &CListCtrlEx::OnInsertItem)
ON_MESSAGE(LVM_SETITEMW, &CListCtrlEx::OnSetItem)
ON_MESSAGE(LVM_SETITEMTEXTW, &CListCtrlEx::OnSetItemText)
ON_MESSAGE(LVM_GETITEMW, &CListCtrlEx::OnGetItem)
ON_MESSAGE(LVM_GETITEMTEXTW, &CListCtrlEx::OnGetItemText)
ON_MESSAGE(LVM_DELETEITEM, &CListCtrlEx::OnDeleteItem)
ON_MESSAGE(LVM_DELETEALLITEMS, &CListCtrlEx::OnDeleteAllItems)
ON_MESSAGE(LVM_FINDITEMW, &CListCtrlEx::OnFindItem)
ON_MESSAGE(LVM_GETITEMRECT, &CListCtrlEx::OnGetItemRect)
ON_MESSAGE(LVM_GETSUBITEMRECT, &CListCtrlEx::OnGetSubItemRect)
ON_MESSAGE(LVM_SETIMAGELIST, &CListCtrlEx::OnSetImageList)
ON_MESSAGE(LVM_INSERTCOLUMNA, &CListCtrlEx::OnAnsiIndexRefused)
ON_MESSAGE(LVM_INSERTITEMA, &CListCtrlEx::OnAnsiIndexRefused)
ON_MESSAGE(LVM_FINDITEMA, &CListCtrlEx::OnAnsiIndexRefused)
ON_MESSAGE(LVM_GETCOLUMNA, &CListCtrlEx::OnAnsiRefused)
ON_MESSAGE(LVM_SETCOLUMNA, &CListCtrlEx::OnAnsiRefused)
ON_MESSAGE(LVM_SETITEMA, &CListCtrlEx::OnAnsiRefused)
ON_MESSAGE(LVM_SETITEMTEXTA, &CListCtrlEx::OnAnsiRefused)
ON_MESSAGE(LVM_GETITEMA, &CListCtrlEx::OnAnsiRefused)
ON_MESSAGE(LVM_GETITEMTEXTA, &CListCtrlEx::OnAnsiRefused)
ON_NOTIFY_REFLECT_EX(LVN_GETDISPINFOW, &CListCtrlEx::OnGetDispInfo)
ON_NOTIFY_REFLECT_EX(LVN_ODCACHEHINT, &CListCtrlEx::OnODCacheHint)
ON_WM_DESTROY()
ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CListCtrlEx::CListCtrlEx()
{
    m_pListCtrl = this;
}

CListCtrlEx::~CListCtrlEx()
{
    // While the object is whole: WM_DESTROY must reach the handler that frees the rows' records.
    if (m_hWnd) DestroyWindow();
}

BOOL CListCtrlEx::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!AfxInitCommonControls(ICC_LISTVIEW_CLASSES) || !pParentWnd || !pParentWnd->m_hWnd) return FALSE;
    CWindowHandle window(::CreateWindowExW(0, WC_LISTVIEWW, nullptr, dwStyle | WS_CHILD, rect.left, rect.top,
                                           rect.right - rect.left, rect.bottom - rect.top, pParentWnd->m_hWnd,
                                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), AfxGetInstanceHandle(),
                                           nullptr));
    if (!window.IsValid() || !SubclassWindow(window)) return FALSE;
    window.Detach();
    return TRUE;
}

void CListCtrlEx::PreSubclassWindow()
{
    CListCtrl::PreSubclassWindow();
    KeepLabelLeft(TRUE);
}

int CListCtrlEx::InsertColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable, int nFormat)
{
    const int column = GetColumnCount();
    if (CListCtrl::InsertColumn(column, lpszHeading, nFormat, nWidth, -1) == -1) return -1;
    m_aColumnData[column]->m_nSubItem = nColumnId;
    EnableColumnHiding(column, static_cast<BYTE>(bHideable));
    return column;
}

int CListCtrlEx::InsertColumn(int nColumnId, UINT nHeadingId, int nWidth, int bHideable, int nFormat)
{
    CString heading;
    if (!heading.LoadString(nHeadingId)) return -1;
    return InsertColumn(nColumnId, static_cast<LPCWSTR>(heading), nWidth, bHideable, nFormat);
}

BOOL CListCtrlEx::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (OnColumnCommand(wParam, lParam)) return TRUE;
    return CListCtrl::OnCommand(wParam, lParam);
}

BOOL CListCtrlEx::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (OnHeaderNotify(reinterpret_cast<NMHDR*>(lParam), pResult)) return TRUE;
    return CListCtrl::OnNotify(wParam, lParam, pResult);
}

BOOL CListCtrlEx::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (CListCtrl::OnChildNotify(message, wParam, lParam, pResult)) return TRUE;
    if (message == WM_NOTIFY) ShowProgramItemData(reinterpret_cast<NMHDR*>(lParam));
    return FALSE;
}

void CListCtrlEx::OnDestroy()
{
    OnListDestroy();
}

void CListCtrlEx::OnContextMenu(CWnd* pWnd, CPoint point)
{
    OnListContextMenu(pWnd, point);
}
