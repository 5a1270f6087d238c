// CListBase: the column state record, the column menu and commands, the header's notifications,
// column auto-sizing, checked rows, the extended hit test and the end of the list window.
#include "framework/CWinApp.h"
#include "uikit/CListBase.h"
#include <algorithm>
#include <vector>

namespace
{
constexpr UINT kStateHeader = 8;    // column count and sort column
constexpr UINT kStatePerColumn = 9; // shown byte, width, order

void PutInt32(BYTE* p, int value)
{
    const auto v = static_cast<UINT32>(value);
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

int GetInt32(const BYTE* p)
{
    return static_cast<int>(static_cast<UINT32>(p[0]) | static_cast<UINT32>(p[1]) << 8 |
                            static_cast<UINT32>(p[2]) << 16 | static_cast<UINT32>(p[3]) << 24);
}
} // namespace

// ---- the column state record ----------------------------------------------------------------

BOOL CListBase::GetState(LPBYTE* ppState, UINT* pnSize) const
{
    if (!ppState || !pnSize) return FALSE;
    *ppState = nullptr;
    *pnSize = 0;
    const int count = GetColumnCount();
    if (count == 0) return FALSE;
    const UINT size = count * kStatePerColumn + kStateHeader;
    auto* pState = new BYTE[size];
    PutInt32(pState, count);
    PutInt32(pState + 4, m_nSortColumn);
    for (int i = 0; i < count; ++i)
    {
        const COLUMN_DATA& column = *m_aColumnData[i];
        BYTE* p = pState + kStateHeader + i * kStatePerColumn;
        p[0] = column.m_bShown || !column.m_bHideable ? 1 : 0;
        PutInt32(p + 1, GetColumnWidthEx(i));
        PutInt32(p + 5, column.m_nOrder);
    }
    *ppState = pState;
    *pnSize = size;
    return TRUE;
}

bool CListBase::IsValidState(const BYTE* pState, int nCount) const
{
    const int sort = GetInt32(pState + 4);
    if (sort < -nCount || sort > nCount) return false;
    std::vector<bool> seen(nCount, false);
    for (int i = 0; i < nCount; ++i)
    {
        const BYTE* p = pState + kStateHeader + i * kStatePerColumn;
        if (p[0] > 1) return false;
        const int order = GetInt32(p + 5);
        if (order < 0 || order >= nCount || seen[order]) return false;
        seen[order] = true;
    }
    return true;
}

BOOL CListBase::SetState(const BYTE* pState, UINT nSize)
{
    const int count = GetColumnCount();
    // A record of another list layout is no error: the program's columns changed since.
    if (count == 0 || nSize != count * kStatePerColumn + kStateHeader) return TRUE;
    if (!pState) return FALSE;
    if (GetInt32(pState) != count) return TRUE;
    // Checked whole before anything changes: a bad record leaves the list as it was.
    if (!IsValidState(pState, count)) return FALSE;

    SetSortColumn(GetInt32(pState + 4));
    for (int i = 0; i < count; ++i)
    {
        const BYTE* p = pState + kStateHeader + i * kStatePerColumn;
        COLUMN_DATA& column = *m_aColumnData[i];
        const BOOL shown = p[0];
        if (shown != column.m_bShown && (column.m_bHideable || !column.m_bShown)) ShowColumn(i, shown);
        m_pListCtrl->SendMessage(LVM_SETCOLUMNWIDTH, i, MAKELPARAM(LOWORD(GetInt32(p + 1)), 0));
        column.m_nOrder = GetInt32(p + 5);
    }
    std::vector<int> columns(count);
    for (int i = 0; i < count; ++i)
        columns[m_aColumnData[i]->m_nOrder] = i;
    m_pListCtrl->SendMessage(LVM_SETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(columns.data()));
    return TRUE;
}

BOOL CListBase::SaveState(LPCWSTR lpszSection, LPCWSTR lpszEntry) const
{
    CWinApp* pApp = AfxGetApp();
    LPBYTE pState = nullptr;
    UINT size = 0;
    if (!pApp || !GetState(&pState, &size)) return FALSE;
    const BOOL written = pApp->WriteProfileBinary(lpszSection, lpszEntry, pState, size);
    delete[] pState;
    return written;
}

BOOL CListBase::RestoreState(LPCWSTR lpszSection, LPCWSTR lpszEntry)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp || GetColumnCount() == 0) return FALSE;
    LPBYTE pState = nullptr;
    UINT size = 0;
    if (!pApp->GetProfileBinary(lpszSection, lpszEntry, &pState, &size)) return FALSE;
    const BOOL applied = SetState(pState, size);
    delete[] pState;
    return applied;
}

// ---- the column menu and its commands -------------------------------------------------------

CMenuHandle CListBase::BuildColumnMenu() const
{
    if (m_nHideableCount <= 0) return CMenuHandle();
    CMenuHandle menu(::CreatePopupMenu());
    if (!menu.IsValid()) return menu;
    // As the user sees the columns: in display order.
    for (int order = 0; order < GetColumnCount(); ++order)
    {
        const int i = GetColumnAtOrder(order);
        if (i < 0) continue;
        const COLUMN_DATA& column = *m_aColumnData[i];
        if (!column.m_bAvailable || column.m_strText.empty()) continue;
        const UINT flags =
            MF_STRING | (column.m_bShown ? MF_CHECKED : MF_UNCHECKED) | (column.m_bHideable ? MF_ENABLED : MF_GRAYED);
        ::AppendMenuW(menu, flags, static_cast<UINT_PTR>(i), column.m_strText.c_str());
    }
    return menu;
}

void CListBase::OnListContextMenu(CWnd* pWnd, CPoint point)
{
    const HWND hWnd = AfxGetSafeHwnd(pWnd);
    if (!hWnd || !m_pListCtrl) return;
    if (hWnd == GetHeaderHandle())
    {
        CMenuHandle menu = BuildColumnMenu();
        POINT cursor;
        if (!menu.IsValid() || !::GetCursorPos(&cursor)) return;
        // The choice comes back to the list as WM_COMMAND with the column's index.
        ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_pListCtrl->m_hWnd, nullptr);
    }
    else if (hWnd == m_pListCtrl->m_hWnd)
    {
        if (CWnd* pParent = m_pListCtrl->GetParent(); pParent && pParent->m_hWnd)
            pParent->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hWnd), MAKELPARAM(point.x, point.y));
    }
}

BOOL CListBase::OnColumnCommand(WPARAM wParam, LPARAM lParam)
{
    // Only the column menu's own commands: a child control's notification has a code or a window.
    if (HIWORD(wParam) != 0 || lParam != 0) return FALSE;
    const int column = LOWORD(wParam);
    if (!IsValidColumn(column)) return FALSE;
    ShowColumn(column, !m_aColumnData[column]->m_bShown);
    return TRUE;
}

// ---- the header's notifications -------------------------------------------------------------

bool CListBase::ShouldListAutoSize(int nColumn) const
{
    if (!m_bKeepLabelLeft || !IsValidColumn(nColumn)) return false;
    const int first = GetDisplayedFirstColumn();
    return first != 0 && (nColumn == 0 || nColumn == first);
}

void CListBase::AutoSizeColumn(int nColumn, bool bConsiderCacheHint)
{
    const int count = GetItemCountRaw();
    int first = 0;
    int last = count - 1;
    if (bConsiderCacheHint && IsOwnerData())
    {
        const int top = static_cast<int>(DefaultProc(LVM_GETTOPINDEX));
        const int pageEnd = top + static_cast<int>(DefaultProc(LVM_GETCOUNTPERPAGE));
        first = std::max(std::min(m_nCacheHintFrom, top), 0);
        last = std::min(std::max(pageEnd, m_nCacheHintTo), count - 1);
    }
    int widest = 0;
    for (int row = first; row <= last; ++row)
    {
        const CString text = GetCellText(row, nColumn);
        widest = std::max(widest, static_cast<int>(DefaultProc(LVM_GETSTRINGWIDTHW, 0,
                                                               reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(text)))));
    }
    int width = widest + 6;
    if (nColumn == 0)
        width += 6;
    else
    {
        // The label cell also holds the row's icon: from the icon's left to the label's.
        CRect icon, label;
        if (count > 0 && GetCellRect(0, nColumn, LVIR_ICON, icon) && GetCellRect(0, nColumn, LVIR_LABEL, label))
            width += std::max(0, static_cast<int>(label.left - icon.left));
        width += 2;
    }
    m_pListCtrl->SendMessage(LVM_SETCOLUMNWIDTH, nColumn, MAKELPARAM(width, 0));
}

BOOL CListBase::OnHeaderNotify(NMHDR* pNMHDR, LRESULT* pResult)
{
    if (!pNMHDR || !m_pListCtrl || pNMHDR->hwndFrom != GetHeaderHandle()) return FALSE;
    const WPARAM id = pNMHDR->idFrom;
    const auto lParam = reinterpret_cast<LPARAM>(pNMHDR);
    const auto* pHeader = reinterpret_cast<const NMHEADERW*>(pNMHDR);
    switch (pNMHDR->code)
    {
    case HDN_ENDTRACKW:
    case HDN_ENDTRACKA:
    case HDN_ITEMCHANGEDW:
    case HDN_ITEMCHANGEDA:
        *pResult = DefaultProc(WM_NOTIFY, id, lParam);
        return TRUE;
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA: {
        const int column = GetLogicalIndex(pHeader->iItem);
        if (!ShouldListAutoSize(column)) return FALSE;
        AutoSizeColumn(column, true);
        *pResult = 0;
        return TRUE;
    }
    case HDN_ITEMCLICKW:
        DefaultProc(WM_NOTIFY, id, lParam);
        *pResult = 1;
        return TRUE;
    case HDN_ENDDRAG: {
        *pResult = DefaultProc(WM_NOTIFY, id, lParam);
        // A drag the control refused leaves the header as it was, and the orders too.
        if (*pResult == 0 && pHeader->pitem && pHeader->pitem->iOrder >= 0)
        {
            const int column = GetLogicalIndex(pHeader->iItem);
            const int order = GetLogicalOrder(pHeader->pitem->iOrder);
            if (column >= 0 && order >= 0) MoveColumnOrder(column, order);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// ---- checked rows, hit test, cells ----------------------------------------------------------

namespace
{
bool IsChecked(CListCtrl& list, int nItem)
{
    return ((list.DefWindowProc(LVM_GETITEMSTATE, nItem, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}
} // namespace

POSITION CListBase::GetFirstCheckedItemPosition() const
{
    const int count = GetItemCountRaw();
    for (int row = 0; row < count; ++row)
        if (IsChecked(*m_pListCtrl, row)) return reinterpret_cast<POSITION>(static_cast<INT_PTR>(row + 1));
    return nullptr;
}

int CListBase::GetNextCheckedItem(POSITION& pos) const
{
    const int item = static_cast<int>(reinterpret_cast<INT_PTR>(pos)) - 1;
    pos = nullptr;
    const int count = GetItemCountRaw();
    for (int row = item + 1; row < count; ++row)
        if (IsChecked(*m_pListCtrl, row))
        {
            pos = reinterpret_cast<POSITION>(static_cast<INT_PTR>(row + 1));
            break;
        }
    return item;
}

int CListBase::HitTestEx(CPoint point, int* pnColumn) const
{
    if (pnColumn) *pnColumn = 0;
    if (!m_pListCtrl || !m_pListCtrl->m_hWnd) return -1;
    if ((GetListStyle() & LVS_TYPEMASK) != LVS_REPORT) return m_pListCtrl->HitTest(point);
    const int top = static_cast<int>(DefaultProc(LVM_GETTOPINDEX));
    const int last = std::min(top + static_cast<int>(DefaultProc(LVM_GETCOUNTPERPAGE)), GetItemCountRaw() - 1);
    for (int row = top; row <= last; ++row)
    {
        RECT bounds{LVIR_BOUNDS, 0, 0, 0};
        if (!DefaultProc(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)) || !::PtInRect(&bounds, point))
            continue;
        for (int column = 0; column < GetColumnCount(); ++column)
        {
            CRect label;
            if (IsColumnInControl(column) && GetCellRect(row, column, LVIR_LABEL, label) && label.PtInRect(point))
            {
                if (pnColumn) *pnColumn = column;
                break;
            }
        }
        return row;
    }
    return -1;
}

BOOL CListBase::GetCellRect(int nItem, int nColumn, int nArea, CRect& rect) const
{
    return m_pListCtrl ? m_pListCtrl->GetSubItemRect(nItem, nColumn, nArea, rect) : FALSE;
}

// ---- the end of the list window -------------------------------------------------------------

void CListBase::OnListDestroy()
{
    DefaultProc(LVM_CANCELEDITLABEL);
    if (!IsOwnerData()) m_pListCtrl->SendMessage(LVM_DELETEALLITEMS);
    DefaultProc(WM_DESTROY);
}
