#include "uikit/CListColumns.h"
#include "uikit/CListBase.h"
#include <algorithm>
#include <vector>

namespace
{
// Copies a text into a caller's buffer, truncated; nothing is written to a buffer of no size.
void CopyToBuffer(LPWSTR pszBuffer, int cchBuffer, LPCWSTR pszText)
{
    if (!pszBuffer || cchBuffer <= 0) return;
    ::lstrcpynW(pszBuffer, pszText ? pszText : L"", cchBuffer);
}
} // namespace

CListColumns::CListColumns(CListBase& list) : m_list(list) {}

void CListColumns::TakeLabelAlignment(const LVCOLUMNW& column)
{
    m_list.m_nLabelAlign = (column.mask & LVCF_FMT) ? column.fmt : LVCFMT_LEFT;
    // The owner drawing puts the label where the header says; with full-row selection or owner
    // drawing the header keeps the first item left-justified as the control draws it.
    if (!m_list.IsOwnerDrawn() && !(m_list.m_dwExtendedStyle & LVS_EX_FULLROWSELECT)) return;
    HWND hHeader = m_list.GetHeaderHandle();
    if (!hHeader) return;
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!::SendMessageW(hHeader, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
    item.fmt &= ~HDF_JUSTIFYMASK;
    ::SendMessageW(hHeader, HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

LRESULT CListColumns::OnInsertColumn(WPARAM wParam, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVCOLUMNW*>(lParam);
    const int n = static_cast<int>(wParam);
    const int count = m_list.GetColumnCount();
    if (!pRequest || n < 0 || n > count) return -1;

    auto record = std::make_unique<COLUMN_DATA>();
    LVCOLUMNW& stored = record->m_column;
    stored.mask = pRequest->mask & ~LVCF_SUBITEM;
    if (stored.mask & LVCF_FMT) stored.fmt = pRequest->fmt;
    if (stored.mask & LVCF_WIDTH) stored.cx = pRequest->cx;
    if (stored.mask & LVCF_IMAGE) stored.iImage = pRequest->iImage;
    if (stored.mask & LVCF_MINWIDTH) stored.cxMin = pRequest->cxMin;
    if ((stored.mask & LVCF_TEXT) && IsRealListText(pRequest->pszText)) record->m_strText = pRequest->pszText;
    // An order beyond the columns would leave the orders without a place for every column.
    const int order = (pRequest->mask & LVCF_ORDER) ? std::clamp(pRequest->iOrder, 0, count) : n;

    // The control always gets the physical position, so that its display order follows ours.
    LVCOLUMNW toControl = record->StoredColumn();
    toControl.mask |= LVCF_ORDER;
    toControl.iOrder = m_list.GetPhysicalOrder(order);
    const int result = static_cast<int>(
        m_list.DefaultProc(LVM_INSERTCOLUMNW, m_list.GetPhysicalIndex(n), reinterpret_cast<LPARAM>(&toControl)));
    if (result == -1) return -1;

    stored.mask |= LVCF_WIDTH;
    stored.cx = 0;
    stored.mask &= ~LVCF_ORDER;
    record->m_nSubItem = n;
    record->m_nOrder = order;
    for (auto& column : m_list.m_aColumnData)
        if (column->m_nOrder >= order) ++column->m_nOrder;
    m_list.m_aColumnData.insert(m_list.m_aColumnData.begin() + n, std::move(record));
    if (n == 0) TakeLabelAlignment(m_list.m_aColumnData[0]->StoredColumn());
    if (m_list.m_nSortColumn != 0 && n <= std::abs(m_list.m_nSortColumn) - 1)
        m_list.m_nSortColumn += m_list.m_nSortColumn > 0 ? 1 : -1;
    m_list.m_items.InsertColumnCells(n, count);
    // The program addresses columns logically: it gets the logical index back.
    return n;
}

LRESULT CListColumns::OnDeleteColumn(WPARAM wParam, LPARAM)
{
    const int n = static_cast<int>(wParam);
    if (!m_list.IsValidColumn(n)) return FALSE;
    if (m_list.IsColumnInControl(n) && !m_list.DefaultProc(LVM_DELETECOLUMN, m_list.GetPhysicalIndex(n))) return FALSE;
    const int order = m_list.m_aColumnData[n]->m_nOrder;
    if (m_list.m_aColumnData[n]->m_bHideable) --m_list.m_nHideableCount;
    m_list.m_aColumnData.erase(m_list.m_aColumnData.begin() + n);
    for (auto& column : m_list.m_aColumnData)
        if (column->m_nOrder > order) --column->m_nOrder;
    const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
    if (m_list.m_nSortColumn != 0 && n == sortIndex)
        m_list.m_nSortColumn = 0;
    else if (m_list.m_nSortColumn != 0 && n < sortIndex)
        m_list.m_nSortColumn += m_list.m_nSortColumn > 0 ? -1 : 1;
    m_list.m_items.EraseColumnCells(n);
    return TRUE;
}

LRESULT CListColumns::OnGetColumn(WPARAM wParam, LPARAM lParam)
{
    auto* pColumn = reinterpret_cast<LVCOLUMNW*>(lParam);
    const int n = static_cast<int>(wParam);
    if (!pColumn || !m_list.IsValidColumn(n)) return FALSE;
    const COLUMN_DATA& data = *m_list.m_aColumnData[n];
    const bool textAsked = (pColumn->mask & LVCF_TEXT) != 0;
    const bool bufferUsable = pColumn->pszText && pColumn->cchTextMax > 0;
    if (m_list.IsColumnInControl(n))
    {
        // A buffer of no size is never handed to the control to write into.
        LVCOLUMNW request = *pColumn;
        if (textAsked && !bufferUsable) request.mask &= ~LVCF_TEXT;
        if (!m_list.DefaultProc(LVM_GETCOLUMNW, m_list.GetPhysicalIndex(n), reinterpret_cast<LPARAM>(&request)))
            return FALSE;
        request.mask = pColumn->mask;
        request.pszText = pColumn->pszText;
        request.cchTextMax = pColumn->cchTextMax;
        *pColumn = request;
        if (pColumn->mask & LVCF_ORDER) pColumn->iOrder = data.m_nOrder;
        if (pColumn->mask & LVCF_SUBITEM) pColumn->iSubItem = n;
        return TRUE;
    }
    if (pColumn->mask & LVCF_FMT) pColumn->fmt = (data.m_column.mask & LVCF_FMT) ? data.m_column.fmt : 0;
    if (pColumn->mask & LVCF_IMAGE) pColumn->iImage = (data.m_column.mask & LVCF_IMAGE) ? data.m_column.iImage : -1;
    if (pColumn->mask & LVCF_ORDER) pColumn->iOrder = data.m_nOrder;
    if (pColumn->mask & LVCF_SUBITEM) pColumn->iSubItem = n;
    if (pColumn->mask & LVCF_WIDTH) pColumn->cx = data.m_nSavedWidth;
    if (textAsked) CopyToBuffer(pColumn->pszText, pColumn->cchTextMax, data.m_strText.c_str());
    return TRUE;
}

LRESULT CListColumns::OnSetColumn(WPARAM wParam, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVCOLUMNW*>(lParam);
    const int n = static_cast<int>(wParam);
    if (!pRequest || !m_list.IsValidColumn(n)) return FALSE;
    const bool moves = (pRequest->mask & LVCF_ORDER) != 0;
    if (moves && (pRequest->iOrder < 0 || pRequest->iOrder >= m_list.GetColumnCount())) return FALSE;
    if (m_list.IsColumnInControl(n))
    {
        LVCOLUMNW toControl = *pRequest;
        toControl.mask &= ~LVCF_SUBITEM;
        if (moves)
        {
            // The physical place the column will have once the orders are moved.
            std::vector<int> orders;
            for (const auto& column : m_list.m_aColumnData)
                orders.push_back(column->m_nOrder);
            const int old = orders[n];
            int physical = 0;
            for (int i = 0; i < m_list.GetColumnCount(); ++i)
            {
                if (i == n || !m_list.IsColumnInControl(i)) continue;
                int o = orders[i];
                if (pRequest->iOrder < old && o >= pRequest->iOrder && o < old) ++o;
                if (pRequest->iOrder > old && o > old && o <= pRequest->iOrder) --o;
                if (o < pRequest->iOrder) ++physical;
            }
            toControl.iOrder = physical;
        }
        if (!m_list.DefaultProc(LVM_SETCOLUMNW, m_list.GetPhysicalIndex(n), reinterpret_cast<LPARAM>(&toControl)))
            return FALSE;
    }
    COLUMN_DATA& data = *m_list.m_aColumnData[n];
    const UINT merged = pRequest->mask & (LVCF_FMT | LVCF_IMAGE | LVCF_TEXT);
    if (merged & LVCF_FMT) data.m_column.fmt = pRequest->fmt;
    if (merged & LVCF_IMAGE) data.m_column.iImage = pRequest->iImage;
    if (merged & LVCF_TEXT) data.m_strText = IsRealListText(pRequest->pszText) ? pRequest->pszText : L"";
    data.m_column.mask |= merged;
    if (moves) m_list.MoveColumnOrder(n, pRequest->iOrder);
    return TRUE;
}

LRESULT CListColumns::OnGetColumnWidth(WPARAM wParam, LPARAM)
{
    const int n = static_cast<int>(wParam);
    if (!m_list.IsColumnInControl(n)) return 0;
    return m_list.DefaultProc(LVM_GETCOLUMNWIDTH, m_list.GetPhysicalIndex(n));
}

LRESULT CListColumns::OnSetColumnWidth(WPARAM wParam, LPARAM lParam)
{
    const int n = static_cast<int>(wParam);
    if (!m_list.IsValidColumn(n)) return FALSE;
    if (m_list.IsColumnInControl(n)) return m_list.DefaultProc(LVM_SETCOLUMNWIDTH, m_list.GetPhysicalIndex(n), lParam);
    m_list.m_aColumnData[n]->m_nSavedWidth = static_cast<short>(LOWORD(lParam));
    return TRUE;
}

int CListColumns::GetColumnWidthEx(int nColumn) const
{
    if (!m_list.IsValidColumn(nColumn)) return -1;
    if (m_list.IsColumnInControl(nColumn))
        return static_cast<int>(m_list.DefaultProc(LVM_GETCOLUMNWIDTH, m_list.GetPhysicalIndex(nColumn)));
    return m_list.m_aColumnData[nColumn]->m_nSavedWidth;
}

BOOL CListColumns::SetColumnWidthEx(int nColumn, int nWidth)
{
    if (!m_list.IsValidColumn(nColumn)) return FALSE;
    m_list.m_aColumnData[nColumn]->m_nSavedWidth = nWidth;
    // Only a column in the control has a physical place to give the width to.
    if (m_list.IsColumnInControl(nColumn))
        return static_cast<BOOL>(
            m_list.DefaultProc(LVM_SETCOLUMNWIDTH, m_list.GetPhysicalIndex(nColumn), MAKELPARAM(nWidth, 0)));
    return TRUE;
}

LRESULT CListColumns::OnGetColumnOrderArray(WPARAM wParam, LPARAM lParam)
{
    auto* pArray = reinterpret_cast<int*>(lParam);
    const int n = std::min(static_cast<int>(wParam), m_list.GetColumnCount());
    if (!pArray || n <= 0) return 0;
    for (int order = 0; order < n; ++order)
        pArray[order] = m_list.GetColumnAtOrder(order);
    return n;
}

LRESULT CListColumns::OnSetColumnOrderArray(WPARAM wParam, LPARAM lParam)
{
    const auto* pArray = reinterpret_cast<const int*>(lParam);
    const int n = static_cast<int>(wParam);
    if (!pArray || n <= 0 || n > m_list.GetColumnCount()) return FALSE;
    std::vector<int> columns(pArray, pArray + n);
    std::vector<bool> seen(m_list.GetColumnCount(), false);
    for (int column : columns)
    {
        // A column listed twice would leave another without an order.
        if (!m_list.IsValidColumn(column) || seen[column]) return FALSE;
        seen[column] = true;
    }
    return ApplyColumnOrderArray(columns);
}

BOOL CListColumns::ApplyColumnOrderArray(const std::vector<int>& logicalColumns)
{
    std::vector<int> physical;
    for (int column : logicalColumns)
        if (m_list.IsColumnInControl(column)) physical.push_back(m_list.GetPhysicalIndex(column));
    if (!physical.empty() &&
        !m_list.DefaultProc(LVM_SETCOLUMNORDERARRAY, physical.size(), reinterpret_cast<LPARAM>(physical.data())))
        return FALSE;
    for (int order = 0; order < static_cast<int>(logicalColumns.size()); ++order)
        m_list.MoveColumnOrder(logicalColumns[order], order);
    return TRUE;
}

BOOL CListColumns::TakeColumnOutOfControl(int nColumn)
{
    COLUMN_DATA& data = *m_list.m_aColumnData[nColumn];
    const int physical = m_list.GetPhysicalIndex(nColumn);
    data.m_nSavedWidth = static_cast<int>(m_list.DefaultProc(LVM_GETCOLUMNWIDTH, physical));
    if (m_list.IsVisualStyleLevel2() && m_list.m_bColorSortColumn && std::abs(m_list.m_nSortColumn) - 1 == nColumn)
        m_list.DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(-1));
    return static_cast<BOOL>(m_list.DefaultProc(LVM_DELETECOLUMN, physical));
}

BOOL CListColumns::PutColumnIntoControl(int nColumn)
{
    COLUMN_DATA& data = *m_list.m_aColumnData[nColumn];
    const int physical = m_list.GetPhysicalIndex(nColumn);
    LVCOLUMNW column = data.StoredColumn();
    column.mask |= LVCF_ORDER;
    column.iOrder = m_list.GetPhysicalOrder(data.m_nOrder);
    if (m_list.DefaultProc(LVM_INSERTCOLUMNW, physical, reinterpret_cast<LPARAM>(&column)) == -1) return FALSE;
    if (physical == 0) TakeLabelAlignment(column);
    const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
    if (m_list.m_nSortColumn != 0 && nColumn == sortIndex) m_list.m_sortColumn.RefreshSortMarks();
    if (m_list.IsVisualStyleLevel2() && m_list.m_bColorSortColumn && m_list.m_nSortColumn != 0 &&
        nColumn <= sortIndex && m_list.IsColumnInControl(sortIndex))
        m_list.DefaultProc(LVM_SETSELECTEDCOLUMN, m_list.GetPhysicalIndex(sortIndex));
    if (!m_list.IsOwnerData() && physical > 0) RestoreCellsToControl(nColumn);
    m_list.DefaultProc(LVM_SETCOLUMNWIDTH, physical, MAKELPARAM(data.m_nSavedWidth, 0));
    return TRUE;
}

void CListColumns::RestoreCellsToControl(int nColumn)
{
    const int physical = m_list.GetPhysicalIndex(nColumn);
    const int count = m_list.GetItemCountRaw();
    for (int row = 0; row < count; ++row)
    {
        const ITEM_DATA* pRecord = m_list.m_items.GetItemRecord(row);
        const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(nColumn) : nullptr;
        if (!pCell) continue;
        LVITEMW item = m_list.m_items.MakeControlItem(pCell->m_item, physical);
        item.iItem = row;
        item.mask &= ~LVIF_STATE;
        if (item.mask) m_list.DefaultProc(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CListColumns::ShowColumn(int nColumn, BOOL bShow)
{
    if (!m_list.IsValidColumn(nColumn)) return;
    COLUMN_DATA& data = *m_list.m_aColumnData[nColumn];
    if (!data.m_bAvailable || !data.m_bHideable) return;
    if (!bShow && data.m_bShown)
    {
        if (TakeColumnOutOfControl(nColumn)) data.m_bShown = FALSE;
    }
    else if (bShow && !data.m_bShown)
    {
        data.m_bShown = TRUE;
        // A column that could not go back must not count as in the control.
        if (!PutColumnIntoControl(nColumn)) data.m_bShown = FALSE;
    }
}

BOOL CListColumns::EnableColumnHiding(int nColumn, BOOL bEnable)
{
    if (!m_list.IsValidColumn(nColumn)) return FALSE;
    COLUMN_DATA& data = *m_list.m_aColumnData[nColumn];
    if (bEnable)
    {
        // Without owner drawing, the control draws the row's label in column 0: it must stay.
        if (nColumn == 0 && !m_list.IsOwnerDrawn()) return FALSE;
        if (!data.m_bHideable)
        {
            data.m_bHideable = TRUE;
            ++m_list.m_nHideableCount;
        }
        return TRUE;
    }
    if (!data.m_bShown) m_list.ShowColumn(nColumn, TRUE);
    if (data.m_bHideable)
    {
        data.m_bHideable = FALSE;
        --m_list.m_nHideableCount;
    }
    return TRUE;
}

BOOL CListColumns::EnableColumn(int nColumn, BOOL bEnable)
{
    if (!m_list.IsValidColumn(nColumn)) return FALSE;
    COLUMN_DATA& data = *m_list.m_aColumnData[nColumn];
    if (!bEnable && data.m_bAvailable)
    {
        if (data.m_bShown && !TakeColumnOutOfControl(nColumn)) return FALSE;
        data.m_bAvailable = FALSE;
    }
    else if (bEnable && !data.m_bAvailable)
    {
        data.m_bAvailable = TRUE;
        if (data.m_bShown && !PutColumnIntoControl(nColumn))
        {
            data.m_bAvailable = FALSE;
            return FALSE;
        }
    }
    return TRUE;
}
