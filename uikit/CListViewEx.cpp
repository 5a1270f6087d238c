#include "uikit/CListViewEx.h"
#include "core/NaturalCompare.h"
#include "framework/AfxInitCommonControls.h"
#include "framework/COleVariant.h"
#include "framework/CSingleLock.h"
#include "uikit/UikitMessages.h"
#include <cmath>
#include <cstdlib>

IMPLEMENT_DYNCREATE(CListViewEx, CListBaseWnd)

// Only what the view answers otherwise than the dialogs' list; the rest is CListBaseWnd's.
BEGIN_MESSAGE_MAP(CListViewEx, CListBaseWnd)
ON_MESSAGE(LVM_DELETEITEM, &CListViewEx::OnViewDeleteItem)
ON_MESSAGE(WM_LISTVIEWEX_STARTREDRAW, &CListViewEx::OnStartRedraw)
ON_NOTIFY_REFLECT_EX(LVN_GETDISPINFOW, &CListViewEx::OnViewGetDispInfo)
ON_NOTIFY_REFLECT_EX(LVN_COLUMNCLICK, &CListViewEx::OnViewColumnClick)
ON_WM_TIMER()
AFX_WM_VOID(WM_SYSCOMMAND, OnSysCommandMessage, (UINT nID, LPARAM lParam), static_cast<UINT>(w_), l_)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CListViewEx::CListViewEx() = default;

CListViewEx::~CListViewEx()
{
    // While the object is whole: WM_DESTROY must reach the handler that frees the rows' records.
    if (m_hWnd) DestroyWindow();
}

BOOL CListViewEx::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!AfxInitCommonControls(ICC_LISTVIEW_CLASSES)) return FALSE;
    cs.lpszClass = WC_LISTVIEWW;
    // Always an owner-drawn report list, whatever the creator asked for.
    cs.style = (cs.style & ~LVS_TYPEMASK) | WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_OWNERDRAWFIXED;
    return CListCtrl::PreCreateWindow(cs);
}

void CListViewEx::OnInitialUpdate()
{
    m_dwThreadId = ::GetWindowThreadProcessId(m_hWnd, nullptr);
    m_dwExtendedStyle = static_cast<DWORD>(DefWindowProc(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    SetUpList();
}

int CListViewEx::GetItemImage(DWORD_PTR, int)
{
    return -1;
}

BOOL CListViewEx::GetItemValue(DWORD_PTR, int, CString&, VARIANT*)
{
    return FALSE;
}

void CListViewEx::OnSysCommand(UINT nID, LPARAM lParam)
{
    DefWindowProc(WM_SYSCOMMAND, nID, lParam);
}

void CListViewEx::OnSysCommandMessage(UINT nID, LPARAM lParam)
{
    OnSysCommand(nID, lParam);
}

// ---- sorting by values ----------------------------------------------------------------------

namespace
{
template <class T> int Order(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}
} // namespace

int CListViewEx::CompareItemValues(const CString& strText1, const VARIANT& value1, const CString& strText2,
                                   const VARIANT& value2)
{
    if (value1.vt == VT_EMPTY || value1.vt == VT_NULL || value1.vt != value2.vt)
        return NaturalCompare(strText1, strText2, TRUE);
    switch (value1.vt)
    {
    case VT_I2:
    case VT_BOOL:
        return Order(value1.iVal, value2.iVal);
    case VT_I4:
    case VT_INT:
        return Order(value1.lVal, value2.lVal);
    case VT_UI4:
    case VT_UINT:
        return Order(value1.ulVal, value2.ulVal);
    case VT_R4:
        return value1.fltVal == value2.fltVal ? 0 : (value1.fltVal > value2.fltVal ? 1 : -1);
    case VT_R8:
        return value1.dblVal == value2.dblVal ? 0 : (value1.dblVal > value2.dblVal ? 1 : -1);
    case VT_DATE: {
        // Whole seconds apart: dates less than a second apart are equal.
        const double seconds = std::trunc((value1.date - value2.date) * 86400.0);
        return seconds > 0 ? 1 : (seconds < 0 ? -1 : 0);
    }
    case VT_BSTR:
        return NaturalCompare(value1.bstrVal, value2.bstrVal, TRUE);
    case VT_I1:
        return Order(value1.cVal, value2.cVal);
    case VT_UI1:
        return Order(value1.bVal, value2.bVal);
    case VT_UI2:
        return Order(value1.uiVal, value2.uiVal);
    case VT_I8:
        return Order(value1.llVal, value2.llVal);
    case VT_UI8:
        return Order(value1.ullVal, value2.ullVal);
    default:
        return 0;
    }
}

int CALLBACK CListViewEx::CompareValues(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    const auto* pData = reinterpret_cast<const SORT_DATA*>(lParamSort);
    auto* pView = static_cast<CListViewEx*>(pData->pList);
    CString text1, text2;
    COleVariant value1, value2; // each clears what the view put into it
    pView->GetItemValue(static_cast<DWORD_PTR>(lParam1), pData->nColumnId, text1, &value1);
    pView->GetItemValue(static_cast<DWORD_PTR>(lParam2), pData->nColumnId, text2, &value2);
    return CompareItemValues(text1, value1, text2, value2);
}

int CALLBACK CListViewEx::CompareValuesDescending(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    return -CompareValues(lParam1, lParam2, lParamSort);
}

BOOL CListViewEx::SortItems(int nColumn, BOOL bDescending)
{
    return SortByColumn(nColumn, bDescending, &CompareValues, &CompareValuesDescending, false);
}

// ---- texts, images and rows -----------------------------------------------------------------

BOOL CListViewEx::OnViewGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult)
{
    if (!m_bInGetDispInfo) return OnGetDispInfo(pNMHDR, pResult);
    // The nested pass of our own request: the view answers it from its overrides.
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR)->item;
    const auto data = static_cast<DWORD_PTR>(item.lParam);
    if (item.mask & LVIF_IMAGE) item.iImage = GetItemImage(data, 0);
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
    {
        CString text;
        const int columnId = IsValidColumn(item.iSubItem) ? m_aColumnData[item.iSubItem]->m_nSubItem : item.iSubItem;
        GetItemValue(data, columnId, text, nullptr);
        ::lstrcpynW(item.pszText, text, item.cchTextMax);
    }
    *pResult = 0;
    return TRUE;
}

BOOL CListViewEx::OnViewColumnClick(NMHDR* pNMHDR, LRESULT* pResult)
{
    OnColumnClick(pNMHDR, pResult);
    const int column = reinterpret_cast<NMLISTVIEW*>(pNMHDR)->iSubItem;
    if (IsValidColumn(column)) SortItems(column, m_nSortColumn < 0);
    return FALSE; // the parent hears of the click too
}

LRESULT CListViewEx::OnViewDeleteItem(WPARAM wParam, LPARAM lParam)
{
    SetRedraw(FALSE);
    const LRESULT deleted = OnDeleteItem(wParam, lParam);
    SetRedraw(TRUE);
    return deleted;
}

int CListViewEx::SelectItemByData(DWORD_PTR dwItemData)
{
    const int count = GetItemCountRaw();
    for (int row = 0; row < count; ++row)
    {
        const ITEM_DATA* pRecord = GetItemRecord(row);
        const bool match = pRecord && static_cast<DWORD_PTR>(pRecord->m_lParam) == dwItemData;
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = match ? LVIS_SELECTED | LVIS_FOCUSED : 0;
        DefWindowProc(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        if (match)
        {
            // The row's label is asked for again.
            LVITEMW label{};
            label.pszText = LPSTR_TEXTCALLBACKW;
            DefWindowProc(LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&label));
        }
    }
    return count;
}

BOOL CListViewEx::GetState(CByteArray& state) const
{
    LPBYTE pState = nullptr;
    UINT size = 0;
    state.SetSize(0);
    if (!CListBase::GetState(&pState, &size)) return FALSE;
    state.SetSize(size);
    std::copy(pState, pState + size, state.GetData());
    delete[] pState;
    return TRUE;
}

BOOL CListViewEx::SetState(const CByteArray& state)
{
    if (GetColumnCount() == 0) return FALSE;
    if (state.GetSize() == 0) return TRUE;
    SetRedraw(FALSE);
    const BOOL applied = CListBase::SetState(state.GetData(), static_cast<UINT>(state.GetSize()));
    SetRedraw(TRUE);
    if (!applied) return FALSE;
    if (m_nSortColumn != 0) SortItems(std::abs(m_nSortColumn) - 1, m_nSortColumn < 0);
    return TRUE;
}

// ---- repainting rows later ------------------------------------------------------------------

void CListViewEx::StartRedrawTimer()
{
    if (!m_nRedrawTimer && m_hWnd) m_nRedrawTimer = SetTimer(kRedrawTimer, 1000);
}

void CListViewEx::RedrawItemLater(DWORD_PTR dwItemData)
{
    CSingleLock lock(&m_redrawLock, TRUE);
    m_pendingRows.push_back(dwItemData);
    if (m_nRedrawTimer || !m_hWnd) return;
    // SetTimer refuses another thread's window: that thread asks the view to start it.
    if (::GetCurrentThreadId() == ::GetWindowThreadProcessId(m_hWnd, nullptr))
        StartRedrawTimer();
    else
        PostMessage(WM_LISTVIEWEX_STARTREDRAW);
}

LRESULT CListViewEx::OnStartRedraw(WPARAM, LPARAM)
{
    CSingleLock lock(&m_redrawLock, TRUE);
    StartRedrawTimer();
    return 0;
}

void CListViewEx::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kRedrawTimer)
    {
        Default();
        return;
    }
    std::vector<DWORD_PTR> pending;
    {
        CSingleLock lock(&m_redrawLock, TRUE);
        if (m_pendingRows.empty())
        {
            KillTimer(kRedrawTimer);
            m_nRedrawTimer = 0;
            return;
        }
        pending.swap(m_pendingRows);
    }
    for (DWORD_PTR data : pending)
    {
        LVFINDINFOW find{};
        find.flags = LVFI_PARAM;
        find.lParam = static_cast<LPARAM>(data);
        const int row = FindItem(&find);
        if (row >= 0) RedrawItems(row, row);
    }
}

void CListViewEx::OnDestroy()
{
    {
        CSingleLock lock(&m_redrawLock, TRUE);
        if (m_nRedrawTimer) KillTimer(kRedrawTimer);
        m_nRedrawTimer = 0;
    }
    CListBaseWnd::OnDestroy();
}
