#include "uikit/CListCtrlEx.h"
#include "framework/AfxInitCommonControls.h"
#include "framework/CDC.h"
#include "core/NaturalCompare.h"
#include <cstdlib>

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
ON_MESSAGE(LVM_HITTEST, &CListCtrlEx::OnHitTest)
ON_MESSAGE(LVM_SUBITEMHITTEST, &CListCtrlEx::OnSubItemHitTest)
ON_MESSAGE(LVM_SETEXTENDEDLISTVIEWSTYLE, &CListCtrlEx::OnSetExtendedStyle)
ON_MESSAGE(LVM_GETEXTENDEDLISTVIEWSTYLE, &CListCtrlEx::OnGetExtendedStyle)
ON_MESSAGE(LVM_SORTITEMS, &CListCtrlEx::OnSortItems)
ON_MESSAGE(LVM_SETBKCOLOR, &CListCtrlEx::OnSetBkColor)
ON_MESSAGE(LVM_SETBKIMAGEW, &CListCtrlEx::OnSetBkImage)
ON_MESSAGE(LVM_SETBKIMAGEA, &CListCtrlEx::OnAnsiRefused)
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
ON_NOTIFY_REFLECT_EX(LVN_COLUMNCLICK, &CListCtrlEx::OnColumnClick)
ON_NOTIFY_REFLECT_EX(NM_CUSTOMDRAW, &CListCtrlEx::OnCustomDraw)
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
    // The program's extended styles start as the control's.
    m_dwExtendedStyle = static_cast<DWORD>(DefWindowProc(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    SetUpList();
}

int CListCtrlEx::InsertColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable, int nFormat)
{
    return AppendColumn(nColumnId, lpszHeading, nWidth, bHideable, nFormat);
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

void CListCtrlEx::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    DrawListItem(lpDrawItemStruct);
}

BOOL CListCtrlEx::GetItemValue(DWORD_PTR, int, CString&, VARIANT*)
{
    return FALSE;
}

BOOL CListCtrlEx::SortItems(int nColumn, BOOL bDescending)
{
    if (nColumn == -1)
    {
        nColumn = std::abs(m_nSortColumn) - 1;
        bDescending = m_nSortColumn <= 0;
    }
    if (nColumn < 0) return FALSE;
    SetSortColumn(nColumn, bDescending);
    SORT_DATA data{this, IsValidColumn(nColumn) ? m_aColumnData[nColumn]->m_nSubItem : 0};
    return SortItemsWith(bDescending ? &CompareTextsDescending : &CompareTexts, reinterpret_cast<LPARAM>(&data), true);
}

CString CListCtrlEx::GetRecordText(const ITEM_DATA* pRecord, int nSubItem) const
{
    const ITEM_DATA::CELL* pCell = pRecord->Cell(nSubItem);
    if (!pCell) return CString();
    if (pCell->IsCallback()) return RequestCallbackText(*pRecord, pCell->m_item.iItem, nSubItem);
    return pCell->HasRealText() ? CString(pCell->m_item.pszText) : CString();
}

int CALLBACK CListCtrlEx::CompareTexts(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    const auto* pData = reinterpret_cast<const SORT_DATA*>(lParamSort);
    const auto* p1 = reinterpret_cast<const ITEM_DATA*>(lParam1);
    const auto* p2 = reinterpret_cast<const ITEM_DATA*>(lParam2);
    const auto size = static_cast<size_t>(pData->nSubItem);
    if (!p1 || !p2 || pData->nSubItem < 0 || p1->m_cells.size() <= size || p2->m_cells.size() <= size) return 0;
    // Stored texts are compared in place; only callback cells are asked for (and copied).
    const ITEM_DATA::CELL* c1 = p1->Cell(pData->nSubItem);
    const ITEM_DATA::CELL* c2 = p2->Cell(pData->nSubItem);
    const bool stored1 = !c1 || !c1->IsCallback();
    const bool stored2 = !c2 || !c2->IsCallback();
    if (stored1 && stored2)
        return NaturalCompare(c1 && c1->HasRealText() ? c1->m_item.pszText : L"",
                              c2 && c2->HasRealText() ? c2->m_item.pszText : L"", TRUE);
    const CString text1 = pData->pList->GetRecordText(p1, pData->nSubItem);
    const CString text2 = pData->pList->GetRecordText(p2, pData->nSubItem);
    return NaturalCompare(text1, text2, TRUE);
}

int CALLBACK CListCtrlEx::CompareTextsDescending(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    return -CompareTexts(lParam1, lParam2, lParamSort);
}

BOOL CListCtrlEx::OnEraseBkgnd(CDC* pDC)
{
    return OnListEraseBkgnd(pDC);
}

void CListCtrlEx::OnPaint()
{
    OnListPaint();
}

void CListCtrlEx::OnHScroll(UINT, UINT, CScrollBar*)
{
    const MSG* pMsg = GetCurrentMessage();
    OnListHScroll(pMsg->wParam, pMsg->lParam);
}

void CListCtrlEx::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    OnListKeyDown(nChar, nRepCnt, nFlags);
}

void CListCtrlEx::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    OnListKeyUp(nChar, nRepCnt, nFlags);
}

void CListCtrlEx::OnLButtonDown(UINT nFlags, CPoint point)
{
    OnListLButtonDown(nFlags, point);
}

void CListCtrlEx::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    OnListLButtonDblClk(nFlags, point);
}

void CListCtrlEx::OnLButtonUp(UINT nFlags, CPoint point)
{
    OnListLButtonUp(nFlags, point);
}

BOOL CListCtrlEx::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt)
{
    return OnListMouseWheel(nFlags, zDelta, pt);
}

void CListCtrlEx::OnMouseMove(UINT nFlags, CPoint point)
{
    OnListMouseMove(nFlags, point);
}

void CListCtrlEx::OnMouseLeave()
{
    OnListMouseLeave();
}

void CListCtrlEx::OnSetFocus(CWnd* pOldWnd)
{
    OnListSetFocus(pOldWnd);
}

void CListCtrlEx::OnKillFocus(CWnd* pNewWnd)
{
    OnListKillFocus(pNewWnd);
}

void CListCtrlEx::OnSysColorChange()
{
    OnListSysColorChange();
}
