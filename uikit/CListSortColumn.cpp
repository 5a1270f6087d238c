#include "uikit/CListSortColumn.h"
#include "uikit/CListBase.h"
#include <cstdlib>

CListSortColumn::CListSortColumn(CListBase& list) : m_list(list) {}

void CListSortColumn::SetSortColumn(int nColumn, BOOL bDescending)
{
    SetSortColumn(bDescending ? -(nColumn + 1) : nColumn + 1);
}

void CListSortColumn::SetSortColumn(int nSortColumn)
{
    if (nSortColumn == m_list.m_nSortColumn) return;
    const int old = m_list.m_nSortColumn;
    m_list.m_nSortColumn = nSortColumn;
    RefreshSortMarks();
    if (std::abs(old) == std::abs(nSortColumn)) return; // only the direction changed
    const bool repaint = !m_list.IsVisualStyleLevel2() || nSortColumn == 0;
    if (m_list.IsVisualStyleLevel2() && m_list.m_bColorSortColumn)
    {
        const int sortIndex = std::abs(nSortColumn) - 1;
        const int selected =
            nSortColumn != 0 && m_list.IsColumnInControl(sortIndex) ? m_list.GetPhysicalIndex(sortIndex) : -1;
        m_list.DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(selected));
    }
    if (repaint && m_list.m_pListCtrl && m_list.m_pListCtrl->m_hWnd) m_list.m_pListCtrl->Invalidate();
}

BOOL CListSortColumn::GetSortColumn(int* pnColumn, BOOL* pbDescending) const
{
    const int column = m_list.m_nSortColumn ? std::abs(m_list.m_nSortColumn) - 1 : 0;
    const BOOL descending = m_list.m_nSortColumn < 0;
    if (pnColumn) *pnColumn = column;
    if (pbDescending) *pbDescending = descending;
    return m_list.m_nSortColumn != 0;
}

void CListSortColumn::RefreshSortMarks()
{
    // Without visual styles the header has no sort marks of its own.
    if (!m_list.IsVisualStyleLevel2()) return;
    HWND hHeader = m_list.GetHeaderHandle();
    if (!hHeader) return;
    const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
    for (int i = 0; i < m_list.GetColumnCount(); ++i)
    {
        if (!m_list.IsColumnInControl(i)) continue;
        const WPARAM physical = m_list.GetPhysicalIndex(i);
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!::SendMessageW(hHeader, HDM_GETITEMW, physical, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        item.fmt |= HDF_STRING;
        if (m_bSortIcon && m_list.m_nSortColumn != 0 && i == sortIndex)
            item.fmt |= m_list.m_nSortColumn > 0 ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageW(hHeader, HDM_SETITEMW, physical, reinterpret_cast<LPARAM>(&item));
    }
}

void CListSortColumn::ShowSortIcon(BOOL bShow, int nSortColumn)
{
    // Before Windows 6.0 the header of a list never shown draws no marks until it has been.
    if (m_list.GetWindowsVersion() < 0x0600 && m_list.m_pListCtrl && m_list.m_pListCtrl->m_hWnd &&
        !m_list.m_pListCtrl->IsWindowVisible())
    {
        m_list.m_pListCtrl->ShowWindow(SW_SHOWNA);
        m_list.m_pListCtrl->ShowWindow(SW_HIDE);
    }
    m_bSortIcon = bShow ? TRUE : FALSE;
    if (nSortColumn != 0) m_list.m_nSortColumn = nSortColumn;
    RefreshSortMarks();
}

BOOL CListSortColumn::OnColumnClick(NMHDR* pNMHDR, LRESULT*)
{
    auto* pList = reinterpret_cast<NMLISTVIEW*>(pNMHDR);
    const int column = m_list.GetLogicalIndex(pList->iSubItem);
    if (column < 0) return FALSE;
    const bool sameColumn = m_list.m_nSortColumn != 0 && std::abs(m_list.m_nSortColumn) - 1 == column;
    m_list.m_nSortColumn = sameColumn ? -m_list.m_nSortColumn : column + 1;
    RefreshSortMarks();
    if (!sameColumn && m_list.IsVisualStyleLevel2() && m_list.m_bColorSortColumn)
        m_list.DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(pList->iSubItem));
    pList->iSubItem = column; // the parent sees the logical column
    return FALSE;
}
