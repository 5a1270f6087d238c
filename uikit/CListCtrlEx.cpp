#include "uikit/CListCtrlEx.h"
#include "framework/AfxInitCommonControls.h"
#include "core/NaturalCompare.h"

IMPLEMENT_DYNCREATE(CListCtrlEx, CListBaseWnd)

CListCtrlEx::CListCtrlEx() = default;

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

BOOL CListCtrlEx::GetItemValue(DWORD_PTR, int, CString&, VARIANT*)
{
    return FALSE;
}

BOOL CListCtrlEx::SortItems(int nColumn, BOOL bDescending)
{
    return SortByColumn(nColumn, bDescending, &CompareTexts, &CompareTextsDescending, true);
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
    const auto size = static_cast<size_t>(pData->nColumnId);
    if (!p1 || !p2 || pData->nColumnId < 0 || p1->m_cells.size() <= size || p2->m_cells.size() <= size) return 0;
    // Stored texts are compared in place; only callback cells are asked for (and copied).
    const ITEM_DATA::CELL* c1 = p1->Cell(pData->nColumnId);
    const ITEM_DATA::CELL* c2 = p2->Cell(pData->nColumnId);
    const bool stored1 = !c1 || !c1->IsCallback();
    const bool stored2 = !c2 || !c2->IsCallback();
    if (stored1 && stored2)
        return NaturalCompare(c1 && c1->HasRealText() ? c1->m_item.pszText : L"",
                              c2 && c2->HasRealText() ? c2->m_item.pszText : L"", TRUE);
    const auto* pList = static_cast<const CListCtrlEx*>(pData->pList);
    const CString text1 = pList->GetRecordText(p1, pData->nColumnId);
    const CString text2 = pList->GetRecordText(p2, pData->nColumnId);
    return NaturalCompare(text1, text2, TRUE);
}

int CALLBACK CListCtrlEx::CompareTextsDescending(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    return -CompareTexts(lParam1, lParam2, lParamSort);
}
