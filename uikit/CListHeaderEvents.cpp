#include "uikit/CListHeaderEvents.h"
#include "uikit/CListBase.h"
#include <algorithm>

CListHeaderEvents::CListHeaderEvents(CListBase& list) : m_list(list) {}

void CListHeaderEvents::SizeColumnsForKeyboard()
{
    const int first = m_list.GetDisplayedFirstColumn();
    for (int order = 0; order < m_list.GetColumnCount(); ++order)
    {
        const int column = m_list.GetColumnAtOrder(order);
        if (!m_list.IsColumnInControl(column)) continue;
        if (column == 0 || column == first)
            AutoSizeColumn(column, false);
        else
            m_list.m_pListCtrl->SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(LVSCW_AUTOSIZE, 0));
    }
}

CMenuHandle CListHeaderEvents::BuildColumnMenu() const
{
    if (m_list.m_nHideableCount <= 0) return CMenuHandle();
    CMenuHandle menu(::CreatePopupMenu());
    if (!menu.IsValid()) return menu;
    // As the user sees the columns: in display order.
    for (int order = 0; order < m_list.GetColumnCount(); ++order)
    {
        const int i = m_list.GetColumnAtOrder(order);
        if (i < 0) continue;
        const COLUMN_DATA& column = *m_list.m_aColumnData[i];
        if (!column.m_bAvailable || column.m_strText.empty()) continue;
        const UINT flags =
            MF_STRING | (column.m_bShown ? MF_CHECKED : MF_UNCHECKED) | (column.m_bHideable ? MF_ENABLED : MF_GRAYED);
        ::AppendMenuW(menu, flags, static_cast<UINT_PTR>(i), column.m_strText.c_str());
    }
    return menu;
}

void CListHeaderEvents::OnListContextMenu(CWnd* pWnd, CPoint point)
{
    const HWND hWnd = AfxGetSafeHwnd(pWnd);
    if (!hWnd || !m_list.m_pListCtrl) return;
    if (hWnd == m_list.GetHeaderHandle())
    {
        CMenuHandle menu = BuildColumnMenu();
        POINT cursor;
        if (!menu.IsValid() || !::GetCursorPos(&cursor)) return;
        // The choice comes back to the list as WM_COMMAND with the column's index.
        ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_list.m_pListCtrl->m_hWnd,
                         nullptr);
    }
    else if (hWnd == m_list.m_pListCtrl->m_hWnd)
    {
        if (CWnd* pParent = m_list.m_pListCtrl->GetParent(); pParent && pParent->m_hWnd)
            pParent->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hWnd), MAKELPARAM(point.x, point.y));
    }
}

BOOL CListHeaderEvents::OnColumnCommand(WPARAM wParam, LPARAM lParam)
{
    // Only the column menu's own commands: a child control's notification has a code or a window.
    if (HIWORD(wParam) != 0 || lParam != 0) return FALSE;
    const int column = LOWORD(wParam);
    if (!m_list.IsValidColumn(column)) return FALSE;
    m_list.ShowColumn(column, !m_list.m_aColumnData[column]->m_bShown);
    return TRUE;
}

bool CListHeaderEvents::ShouldListAutoSize(int nColumn) const
{
    if (!m_list.m_bKeepLabelLeft || !m_list.IsValidColumn(nColumn)) return false;
    const int first = m_list.GetDisplayedFirstColumn();
    return first != 0 && (nColumn == 0 || nColumn == first);
}

void CListHeaderEvents::AutoSizeColumn(int nColumn, bool bConsiderCacheHint)
{
    const int count = m_list.GetItemCountRaw();
    int first = 0;
    int last = count - 1;
    if (bConsiderCacheHint && m_list.IsOwnerData())
    {
        const int top = static_cast<int>(m_list.DefaultProc(LVM_GETTOPINDEX));
        const int pageEnd = top + static_cast<int>(m_list.DefaultProc(LVM_GETCOUNTPERPAGE));
        first = std::max(std::min(m_list.m_nCacheHintFrom, top), 0);
        last = std::min(std::max(pageEnd, m_list.m_nCacheHintTo), count - 1);
    }
    int widest = 0;
    for (int row = first; row <= last; ++row)
    {
        const CString text = m_list.m_items.GetCellText(row, nColumn);
        widest = std::max(widest, static_cast<int>(m_list.DefaultProc(
                                      LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(text)))));
    }
    int width = widest + 6;
    if (nColumn == 0)
        width += 6;
    else
    {
        // The label cell also holds the row's icon: from the icon's left to the label's.
        CRect icon, label;
        if (count > 0 && m_list.m_geometry.GetCellRect(0, nColumn, LVIR_ICON, icon) &&
            m_list.m_geometry.GetCellRect(0, nColumn, LVIR_LABEL, label))
            width += std::max(0, static_cast<int>(label.left - icon.left));
        width += 2;
    }
    m_list.m_pListCtrl->SendMessage(LVM_SETCOLUMNWIDTH, nColumn, MAKELPARAM(width, 0));
}

BOOL CListHeaderEvents::OnHeaderNotify(NMHDR* pNMHDR, LRESULT* pResult)
{
    if (!pNMHDR || !m_list.m_pListCtrl || pNMHDR->hwndFrom != m_list.GetHeaderHandle()) return FALSE;
    const WPARAM id = pNMHDR->idFrom;
    const auto lParam = reinterpret_cast<LPARAM>(pNMHDR);
    const auto* pHeader = reinterpret_cast<const NMHEADERW*>(pNMHDR);
    switch (pNMHDR->code)
    {
    case HDN_ENDTRACKW:
    case HDN_ENDTRACKA:
    case HDN_ITEMCHANGEDW:
    case HDN_ITEMCHANGEDA:
        *pResult = m_list.DefaultProc(WM_NOTIFY, id, lParam);
        return TRUE;
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA: {
        const int column = m_list.GetLogicalIndex(pHeader->iItem);
        if (!ShouldListAutoSize(column)) return FALSE;
        AutoSizeColumn(column, true);
        *pResult = 0;
        return TRUE;
    }
    case HDN_ITEMCLICKW:
        m_list.DefaultProc(WM_NOTIFY, id, lParam);
        *pResult = 1;
        return TRUE;
    case HDN_ENDDRAG: {
        *pResult = m_list.DefaultProc(WM_NOTIFY, id, lParam);
        // A drag the control refused leaves the header as it was, and the orders too.
        if (*pResult == 0 && pHeader->pitem && pHeader->pitem->iOrder >= 0)
        {
            const int column = m_list.GetLogicalIndex(pHeader->iItem);
            const int order = m_list.GetLogicalOrder(pHeader->pitem->iOrder);
            if (column >= 0 && order >= 0) m_list.MoveColumnOrder(column, order);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}
