#include "uikit/CListBaseWnd.h"
#include "framework/CDC.h"
#include <cstdlib>

IMPLEMENT_DYNAMIC(CListBaseWnd, CListCtrl)

// The list-view messages CListBase takes over; their ANSI forms would reach the control with
// physical indexes and record pointers, so they are refused.
BEGIN_MESSAGE_MAP(CListBaseWnd, CListCtrl)
ON_MESSAGE(LVM_INSERTCOLUMNW, &CListBaseWnd::OnInsertColumn)
ON_MESSAGE(LVM_DELETECOLUMN, &CListBaseWnd::OnDeleteColumn)
ON_MESSAGE(LVM_GETCOLUMNW, &CListBaseWnd::OnGetColumn)
ON_MESSAGE(LVM_SETCOLUMNW, &CListBaseWnd::OnSetColumn)
ON_MESSAGE(LVM_GETCOLUMNWIDTH, &CListBaseWnd::OnGetColumnWidth)
ON_MESSAGE(LVM_SETCOLUMNWIDTH, &CListBaseWnd::OnSetColumnWidth)
ON_MESSAGE(LVM_GETCOLUMNORDERARRAY, &CListBaseWnd::OnGetColumnOrderArray)
ON_MESSAGE(LVM_SETCOLUMNORDERARRAY, &CListBaseWnd::OnSetColumnOrderArray)
ON_MESSAGE(LVM_INSERTITEMW, &CListBaseWnd::OnInsertItem)
ON_MESSAGE(LVM_SETITEMW, &CListBaseWnd::OnSetItem)
ON_MESSAGE(LVM_SETITEMTEXTW, &CListBaseWnd::OnSetItemText)
ON_MESSAGE(LVM_GETITEMW, &CListBaseWnd::OnGetItem)
ON_MESSAGE(LVM_GETITEMTEXTW, &CListBaseWnd::OnGetItemText)
ON_MESSAGE(LVM_DELETEITEM, &CListBaseWnd::OnDeleteItem)
ON_MESSAGE(LVM_DELETEALLITEMS, &CListBaseWnd::OnDeleteAllItems)
ON_MESSAGE(LVM_FINDITEMW, &CListBaseWnd::OnFindItem)
ON_MESSAGE(LVM_GETITEMRECT, &CListBaseWnd::OnGetItemRect)
ON_MESSAGE(LVM_GETSUBITEMRECT, &CListBaseWnd::OnGetSubItemRect)
ON_MESSAGE(LVM_SETIMAGELIST, &CListBaseWnd::OnSetImageList)
ON_MESSAGE(LVM_HITTEST, &CListBaseWnd::OnHitTest)
ON_MESSAGE(LVM_SUBITEMHITTEST, &CListBaseWnd::OnSubItemHitTest)
ON_MESSAGE(LVM_SETEXTENDEDLISTVIEWSTYLE, &CListBaseWnd::OnSetExtendedStyle)
ON_MESSAGE(LVM_GETEXTENDEDLISTVIEWSTYLE, &CListBaseWnd::OnGetExtendedStyle)
ON_MESSAGE(LVM_SORTITEMS, &CListBaseWnd::OnSortItems)
ON_MESSAGE(LVM_SETBKCOLOR, &CListBaseWnd::OnSetBkColor)
ON_MESSAGE(LVM_SETBKIMAGEW, &CListBaseWnd::OnSetBkImage)
ON_MESSAGE(LVM_CANCELEDITLABEL, &CListBaseWnd::OnCancelEditLabel)
ON_MESSAGE(LVM_SETBKIMAGEA, &CListBaseWnd::OnAnsiRefused)
ON_MESSAGE(LVM_INSERTCOLUMNA, &CListBaseWnd::OnAnsiIndexRefused)
ON_MESSAGE(LVM_INSERTITEMA, &CListBaseWnd::OnAnsiIndexRefused)
ON_MESSAGE(LVM_FINDITEMA, &CListBaseWnd::OnAnsiIndexRefused)
ON_MESSAGE(LVM_GETCOLUMNA, &CListBaseWnd::OnAnsiRefused)
ON_MESSAGE(LVM_SETCOLUMNA, &CListBaseWnd::OnAnsiRefused)
ON_MESSAGE(LVM_SETITEMA, &CListBaseWnd::OnAnsiRefused)
ON_MESSAGE(LVM_SETITEMTEXTA, &CListBaseWnd::OnAnsiRefused)
ON_MESSAGE(LVM_GETITEMA, &CListBaseWnd::OnAnsiRefused)
ON_MESSAGE(LVM_GETITEMTEXTA, &CListBaseWnd::OnAnsiRefused)
ON_NOTIFY_REFLECT_EX(LVN_GETDISPINFOW, &CListBaseWnd::OnGetDispInfo)
ON_NOTIFY_REFLECT_EX(LVN_ODCACHEHINT, &CListBaseWnd::OnODCacheHint)
ON_NOTIFY_REFLECT_EX(LVN_BEGINLABELEDITW, &CListBaseWnd::OnBeginLabelEdit)
ON_NOTIFY_REFLECT_EX(LVN_ENDLABELEDITW, &CListBaseWnd::OnEndLabelEdit)
ON_NOTIFY_REFLECT_EX(LVN_COLUMNCLICK, &CListBaseWnd::OnColumnClick)
ON_NOTIFY_REFLECT_EX(NM_CUSTOMDRAW, &CListBaseWnd::OnCustomDraw)
ON_WM_DESTROY()
ON_WM_CONTEXTMENU()
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_HSCROLL()
ON_WM_KEYDOWN()
ON_WM_KEYUP()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_LBUTTONUP()
ON_WM_MOUSEWHEEL()
ON_WM_MOUSEMOVE()
ON_WM_MOUSELEAVE()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_SYSCOLORCHANGE()
END_MESSAGE_MAP()

CListBaseWnd::CListBaseWnd()
{
    m_pListCtrl = this;
}

CListBaseWnd::~CListBaseWnd()
{
    // The list classes destroy their window while they are whole; this covers one that did not.
    if (m_hWnd) DestroyWindow();
}

void CListBaseWnd::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    DrawListItem(lpDrawItemStruct);
}

int CListBaseWnd::InsertColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable, int nFormat)
{
    return AppendColumn(nColumnId, lpszHeading, nWidth, bHideable, nFormat);
}

int CListBaseWnd::InsertColumn(int nColumnId, UINT nHeadingId, int nWidth, int bHideable, int nFormat)
{
    CString heading;
    if (!heading.LoadString(nHeadingId)) return -1;
    return AppendColumn(nColumnId, heading, nWidth, bHideable, nFormat);
}

BOOL CListBaseWnd::SortByColumn(int nColumn, BOOL bDescending, PFNLVCOMPARE pfnAscending, PFNLVCOMPARE pfnDescending,
                                bool bRecords)
{
    if (nColumn == -1)
    {
        nColumn = std::abs(m_nSortColumn) - 1;
        bDescending = m_nSortColumn <= 0;
    }
    if (nColumn < 0) return FALSE;
    SetSortColumn(nColumn, bDescending);
    SORT_DATA data{this, IsValidColumn(nColumn) ? m_aColumnData[nColumn]->m_nSubItem : 0};
    return SortItemsWith(bDescending ? pfnDescending : pfnAscending, reinterpret_cast<LPARAM>(&data), bRecords);
}

BOOL CListBaseWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (OnColumnCommand(wParam, lParam)) return TRUE;
    return CListCtrl::OnCommand(wParam, lParam);
}

BOOL CListBaseWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (OnHeaderNotify(reinterpret_cast<NMHDR*>(lParam), pResult)) return TRUE;
    return CListCtrl::OnNotify(wParam, lParam, pResult);
}

BOOL CListBaseWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (CListCtrl::OnChildNotify(message, wParam, lParam, pResult)) return TRUE;
    if (message == WM_NOTIFY) ShowProgramItemData(reinterpret_cast<NMHDR*>(lParam));
    return FALSE;
}

void CListBaseWnd::OnDestroy()
{
    OnListDestroy();
}

void CListBaseWnd::OnContextMenu(CWnd* pWnd, CPoint point)
{
    OnListContextMenu(pWnd, point);
}

BOOL CListBaseWnd::OnEraseBkgnd(CDC* pDC)
{
    return OnListEraseBkgnd(pDC);
}

void CListBaseWnd::OnPaint()
{
    OnListPaint();
}

void CListBaseWnd::OnHScroll(UINT, UINT, CScrollBar*)
{
    const MSG* pMsg = GetCurrentMessage();
    OnListHScroll(pMsg->wParam, pMsg->lParam);
}

void CListBaseWnd::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    OnListKeyDown(nChar, nRepCnt, nFlags);
}

void CListBaseWnd::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    OnListKeyUp(nChar, nRepCnt, nFlags);
}

void CListBaseWnd::OnLButtonDown(UINT nFlags, CPoint point)
{
    OnListLButtonDown(nFlags, point);
}

void CListBaseWnd::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    OnListLButtonDblClk(nFlags, point);
}

void CListBaseWnd::OnLButtonUp(UINT nFlags, CPoint point)
{
    OnListLButtonUp(nFlags, point);
}

BOOL CListBaseWnd::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt)
{
    return OnListMouseWheel(nFlags, zDelta, pt);
}

void CListBaseWnd::OnMouseMove(UINT nFlags, CPoint point)
{
    OnListMouseMove(nFlags, point);
}

void CListBaseWnd::OnMouseLeave()
{
    OnListMouseLeave();
}

void CListBaseWnd::OnSetFocus(CWnd* pOldWnd)
{
    OnListSetFocus(pOldWnd);
}

void CListBaseWnd::OnKillFocus(CWnd* pNewWnd)
{
    OnListKillFocus(pNewWnd);
}

void CListBaseWnd::OnSysColorChange()
{
    OnListSysColorChange();
}
