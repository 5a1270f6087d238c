// CListBase: construction, the index mapping and the columns (insert, delete, get, set, widths,
// orders, hiding and showing).
#include "uikit/CListBase.h"
#include "uikit/VisualStyles.h"
#include <algorithm>

CListBase::CListBase() : m_crHotColor(GetWindowsVersion() > 0x0400 ? ::GetSysColor(COLOR_HOTLIGHT) : RGB(0, 0, 0x80)) {}

CListBase::~CListBase() = default;

CString CListBase::GetSubItemToolTip(int, int, UINT, BOOL&)
{
    return CString();
}

CString CListBase::GetItemToolTip(int)
{
    return CString();
}

int CListBase::GetWindowsVersion()
{
    static const int version = [] {
        const DWORD v = ::GetVersion();
        return static_cast<int>(LOBYTE(LOWORD(v))) << 8 | HIBYTE(LOWORD(v));
    }();
    return version;
}

bool CListBase::IsVisualStyleLevel2()
{
    return AreVisualStylesAvailable();
}

LRESULT CListBase::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!m_pListCtrl || !m_pListCtrl->m_hWnd) return 0;
    return m_pListCtrl->DefWindowProc(message, wParam, lParam);
}

DWORD CListBase::GetListStyle() const
{
    return m_pListCtrl && m_pListCtrl->m_hWnd ? m_pListCtrl->GetStyle() : 0;
}

// ---- index mapping --------------------------------------------------------------------------

bool CListBase::IsColumnInControl(int nColumn) const
{
    if (!IsValidColumn(nColumn)) return false;
    const COLUMN_DATA& column = *m_aColumnData[nColumn];
    return column.m_bAvailable && column.m_bShown;
}

int CListBase::GetPhysicalIndex(int nColumn) const
{
    int physical = 0;
    for (int i = 0; i < nColumn && i < GetColumnCount(); ++i)
        if (IsColumnInControl(i)) ++physical;
    return physical;
}

int CListBase::GetLogicalIndex(int nPhysical) const
{
    if (nPhysical < 0) return -1;
    for (int i = 0; i < GetColumnCount(); ++i)
        if (IsColumnInControl(i) && nPhysical-- == 0) return i;
    return -1;
}

int CListBase::GetPhysicalOrder(int nLogicalOrder) const
{
    int physical = 0;
    for (int i = 0; i < GetColumnCount(); ++i)
        if (IsColumnInControl(i) && m_aColumnData[i]->m_nOrder < nLogicalOrder) ++physical;
    return physical;
}

int CListBase::GetLogicalOrder(int nPhysicalOrder) const
{
    if (nPhysicalOrder < 0) return -1;
    for (int order = 0; order < GetColumnCount(); ++order)
        if (IsColumnInControl(GetColumnAtOrder(order)) && nPhysicalOrder-- == 0) return order;
    return -1;
}

int CListBase::GetColumnAtOrder(int nOrder) const
{
    for (int i = 0; i < GetColumnCount(); ++i)
        if (m_aColumnData[i]->m_nOrder == nOrder) return i;
    return -1;
}

void CListBase::MoveColumnOrder(int nColumn, int nOrder)
{
    const int old = m_aColumnData[nColumn]->m_nOrder;
    if (old == nOrder) return;
    for (auto& column : m_aColumnData)
    {
        if (nOrder < old && column->m_nOrder >= nOrder && column->m_nOrder < old) ++column->m_nOrder;
        if (nOrder > old && column->m_nOrder > old && column->m_nOrder <= nOrder) --column->m_nOrder;
    }
    m_aColumnData[nColumn]->m_nOrder = nOrder;
}

// ---- inserting and deleting columns ---------------------------------------------------------

void CListBase::TakeLabelAlignment(const LVCOLUMNW& column)
{
    m_nLabelAlign = (column.mask & LVCF_FMT) ? column.fmt : LVCFMT_LEFT;
    // The owner drawing puts the label where the header says; with full-row selection or owner
    // drawing the header keeps the first item left-justified as the control draws it.
    if (!IsOwnerDrawn() && !(m_dwExtendedStyle & LVS_EX_FULLROWSELECT)) return;
    HWND hHeader = GetHeaderHandle();
    if (!hHeader) return;
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!::SendMessageW(hHeader, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
    item.fmt &= ~HDF_JUSTIFYMASK;
    ::SendMessageW(hHeader, HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

LRESULT CListBase::OnInsertColumn(WPARAM wParam, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVCOLUMNW*>(lParam);
    const int n = static_cast<int>(wParam);
    const int count = GetColumnCount();
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
    toControl.iOrder = GetPhysicalOrder(order);
    const int result =
        static_cast<int>(DefaultProc(LVM_INSERTCOLUMNW, GetPhysicalIndex(n), reinterpret_cast<LPARAM>(&toControl)));
    if (result == -1) return -1;

    stored.mask |= LVCF_WIDTH;
    stored.cx = 0;
    stored.mask &= ~LVCF_ORDER;
    record->m_nSubItem = n;
    record->m_nOrder = order;
    for (auto& column : m_aColumnData)
        if (column->m_nOrder >= order) ++column->m_nOrder;
    m_aColumnData.insert(m_aColumnData.begin() + n, std::move(record));
    if (n == 0) TakeLabelAlignment(m_aColumnData[0]->StoredColumn());
    if (m_nSortColumn != 0 && n <= std::abs(m_nSortColumn) - 1) m_nSortColumn += m_nSortColumn > 0 ? 1 : -1;
    for (auto& [key, item] : m_itemRecords)
    {
        // A row inserted while the list had no column keeps its label cell for the first one.
        auto& cells = item->m_cells;
        if (static_cast<int>(cells.size()) <= count)
            cells.insert(cells.begin() + std::min(n, static_cast<int>(cells.size())), nullptr);
    }
    // The program addresses columns logically: it gets the logical index back.
    return n;
}

LRESULT CListBase::OnDeleteColumn(WPARAM wParam, LPARAM)
{
    const int n = static_cast<int>(wParam);
    if (!IsValidColumn(n)) return FALSE;
    if (IsColumnInControl(n) && !DefaultProc(LVM_DELETECOLUMN, GetPhysicalIndex(n))) return FALSE;
    const int order = m_aColumnData[n]->m_nOrder;
    if (m_aColumnData[n]->m_bHideable) --m_nHideableCount;
    m_aColumnData.erase(m_aColumnData.begin() + n);
    for (auto& column : m_aColumnData)
        if (column->m_nOrder > order) --column->m_nOrder;
    const int sortIndex = std::abs(m_nSortColumn) - 1;
    if (m_nSortColumn != 0 && n == sortIndex)
        m_nSortColumn = 0;
    else if (m_nSortColumn != 0 && n < sortIndex)
        m_nSortColumn += m_nSortColumn > 0 ? -1 : 1;
    for (auto& [key, item] : m_itemRecords)
        if (n < static_cast<int>(item->m_cells.size())) item->m_cells.erase(item->m_cells.begin() + n);
    return TRUE;
}

// ---- reading and changing columns -----------------------------------------------------------

namespace
{
// Copies a text into a caller's buffer, truncated; nothing is written to a buffer of no size.
void CopyToBuffer(LPWSTR pszBuffer, int cchBuffer, LPCWSTR pszText)
{
    if (!pszBuffer || cchBuffer <= 0) return;
    ::lstrcpynW(pszBuffer, pszText ? pszText : L"", cchBuffer);
}
} // namespace

LRESULT CListBase::OnGetColumn(WPARAM wParam, LPARAM lParam)
{
    auto* pColumn = reinterpret_cast<LVCOLUMNW*>(lParam);
    const int n = static_cast<int>(wParam);
    if (!pColumn || !IsValidColumn(n)) return FALSE;
    const COLUMN_DATA& data = *m_aColumnData[n];
    const bool textAsked = (pColumn->mask & LVCF_TEXT) != 0;
    const bool bufferUsable = pColumn->pszText && pColumn->cchTextMax > 0;
    if (IsColumnInControl(n))
    {
        // A buffer of no size is never handed to the control to write into.
        LVCOLUMNW request = *pColumn;
        if (textAsked && !bufferUsable) request.mask &= ~LVCF_TEXT;
        if (!DefaultProc(LVM_GETCOLUMNW, GetPhysicalIndex(n), reinterpret_cast<LPARAM>(&request))) return FALSE;
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

LRESULT CListBase::OnSetColumn(WPARAM wParam, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVCOLUMNW*>(lParam);
    const int n = static_cast<int>(wParam);
    if (!pRequest || !IsValidColumn(n)) return FALSE;
    const bool moves = (pRequest->mask & LVCF_ORDER) != 0;
    if (moves && (pRequest->iOrder < 0 || pRequest->iOrder >= GetColumnCount())) return FALSE;
    if (IsColumnInControl(n))
    {
        LVCOLUMNW toControl = *pRequest;
        toControl.mask &= ~LVCF_SUBITEM;
        if (moves)
        {
            // The physical place the column will have once the orders are moved.
            std::vector<int> orders;
            for (const auto& column : m_aColumnData)
                orders.push_back(column->m_nOrder);
            const int old = orders[n];
            int physical = 0;
            for (int i = 0; i < GetColumnCount(); ++i)
            {
                if (i == n || !IsColumnInControl(i)) continue;
                int o = orders[i];
                if (pRequest->iOrder < old && o >= pRequest->iOrder && o < old) ++o;
                if (pRequest->iOrder > old && o > old && o <= pRequest->iOrder) --o;
                if (o < pRequest->iOrder) ++physical;
            }
            toControl.iOrder = physical;
        }
        if (!DefaultProc(LVM_SETCOLUMNW, GetPhysicalIndex(n), reinterpret_cast<LPARAM>(&toControl))) return FALSE;
    }
    COLUMN_DATA& data = *m_aColumnData[n];
    const UINT merged = pRequest->mask & (LVCF_FMT | LVCF_IMAGE | LVCF_TEXT);
    if (merged & LVCF_FMT) data.m_column.fmt = pRequest->fmt;
    if (merged & LVCF_IMAGE) data.m_column.iImage = pRequest->iImage;
    if (merged & LVCF_TEXT) data.m_strText = IsRealListText(pRequest->pszText) ? pRequest->pszText : L"";
    data.m_column.mask |= merged;
    if (moves) MoveColumnOrder(n, pRequest->iOrder);
    return TRUE;
}

LRESULT CListBase::OnGetColumnWidth(WPARAM wParam, LPARAM)
{
    const int n = static_cast<int>(wParam);
    if (!IsColumnInControl(n)) return 0;
    return DefaultProc(LVM_GETCOLUMNWIDTH, GetPhysicalIndex(n));
}

LRESULT CListBase::OnSetColumnWidth(WPARAM wParam, LPARAM lParam)
{
    const int n = static_cast<int>(wParam);
    if (!IsValidColumn(n)) return FALSE;
    if (IsColumnInControl(n)) return DefaultProc(LVM_SETCOLUMNWIDTH, GetPhysicalIndex(n), lParam);
    m_aColumnData[n]->m_nSavedWidth = static_cast<short>(LOWORD(lParam));
    return TRUE;
}

int CListBase::GetColumnWidthEx(int nColumn) const
{
    if (!IsValidColumn(nColumn)) return -1;
    if (IsColumnInControl(nColumn)) return static_cast<int>(DefaultProc(LVM_GETCOLUMNWIDTH, GetPhysicalIndex(nColumn)));
    return m_aColumnData[nColumn]->m_nSavedWidth;
}

BOOL CListBase::SetColumnWidthEx(int nColumn, int nWidth)
{
    if (!IsValidColumn(nColumn)) return FALSE;
    m_aColumnData[nColumn]->m_nSavedWidth = nWidth;
    // Only a column in the control has a physical place to give the width to.
    if (IsColumnInControl(nColumn))
        return static_cast<BOOL>(DefaultProc(LVM_SETCOLUMNWIDTH, GetPhysicalIndex(nColumn), MAKELPARAM(nWidth, 0)));
    return TRUE;
}

// ---- column order ---------------------------------------------------------------------------

LRESULT CListBase::OnGetColumnOrderArray(WPARAM wParam, LPARAM lParam)
{
    auto* pArray = reinterpret_cast<int*>(lParam);
    const int n = std::min(static_cast<int>(wParam), GetColumnCount());
    if (!pArray || n <= 0) return 0;
    for (int order = 0; order < n; ++order)
        pArray[order] = GetColumnAtOrder(order);
    return n;
}

LRESULT CListBase::OnSetColumnOrderArray(WPARAM wParam, LPARAM lParam)
{
    const auto* pArray = reinterpret_cast<const int*>(lParam);
    const int n = static_cast<int>(wParam);
    if (!pArray || n <= 0 || n > GetColumnCount()) return FALSE;
    std::vector<int> columns(pArray, pArray + n);
    std::vector<bool> seen(GetColumnCount(), false);
    for (int column : columns)
    {
        // A column listed twice would leave another without an order.
        if (!IsValidColumn(column) || seen[column]) return FALSE;
        seen[column] = true;
    }
    return ApplyColumnOrderArray(columns);
}

BOOL CListBase::ApplyColumnOrderArray(const std::vector<int>& logicalColumns)
{
    std::vector<int> physical;
    for (int column : logicalColumns)
        if (IsColumnInControl(column)) physical.push_back(GetPhysicalIndex(column));
    if (!physical.empty() &&
        !DefaultProc(LVM_SETCOLUMNORDERARRAY, physical.size(), reinterpret_cast<LPARAM>(physical.data())))
        return FALSE;
    for (int order = 0; order < static_cast<int>(logicalColumns.size()); ++order)
        MoveColumnOrder(logicalColumns[order], order);
    return TRUE;
}

// ---- hiding, showing, enabling --------------------------------------------------------------

BOOL CListBase::TakeColumnOutOfControl(int nColumn)
{
    COLUMN_DATA& data = *m_aColumnData[nColumn];
    const int physical = GetPhysicalIndex(nColumn);
    data.m_nSavedWidth = static_cast<int>(DefaultProc(LVM_GETCOLUMNWIDTH, physical));
    if (IsVisualStyleLevel2() && m_bColorSortColumn && std::abs(m_nSortColumn) - 1 == nColumn)
        DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(-1));
    return static_cast<BOOL>(DefaultProc(LVM_DELETECOLUMN, physical));
}

BOOL CListBase::PutColumnIntoControl(int nColumn)
{
    COLUMN_DATA& data = *m_aColumnData[nColumn];
    const int physical = GetPhysicalIndex(nColumn);
    LVCOLUMNW column = data.StoredColumn();
    column.mask |= LVCF_ORDER;
    column.iOrder = GetPhysicalOrder(data.m_nOrder);
    if (DefaultProc(LVM_INSERTCOLUMNW, physical, reinterpret_cast<LPARAM>(&column)) == -1) return FALSE;
    if (physical == 0) TakeLabelAlignment(column);
    const int sortIndex = std::abs(m_nSortColumn) - 1;
    if (m_nSortColumn != 0 && nColumn == sortIndex) RefreshSortMarks();
    if (IsVisualStyleLevel2() && m_bColorSortColumn && m_nSortColumn != 0 && nColumn <= sortIndex &&
        IsColumnInControl(sortIndex))
        DefaultProc(LVM_SETSELECTEDCOLUMN, GetPhysicalIndex(sortIndex));
    if (!IsOwnerData() && physical > 0) RestoreCellsToControl(nColumn);
    DefaultProc(LVM_SETCOLUMNWIDTH, physical, MAKELPARAM(data.m_nSavedWidth, 0));
    return TRUE;
}

void CListBase::RestoreCellsToControl(int nColumn)
{
    const int physical = GetPhysicalIndex(nColumn);
    const int count = GetItemCountRaw();
    for (int row = 0; row < count; ++row)
    {
        const ITEM_DATA* pRecord = GetItemRecord(row);
        const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(nColumn) : nullptr;
        if (!pCell) continue;
        LVITEMW item = MakeControlItem(pCell->m_item, physical);
        item.iItem = row;
        item.mask &= ~LVIF_STATE;
        if (item.mask) DefaultProc(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CListBase::ShowColumn(int nColumn, BOOL bShow)
{
    if (!IsValidColumn(nColumn)) return;
    COLUMN_DATA& data = *m_aColumnData[nColumn];
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

BOOL CListBase::EnableColumnHiding(int nColumn, BOOL bEnable)
{
    if (!IsValidColumn(nColumn)) return FALSE;
    COLUMN_DATA& data = *m_aColumnData[nColumn];
    if (bEnable)
    {
        // Without owner drawing, the control draws the row's label in column 0: it must stay.
        if (nColumn == 0 && !IsOwnerDrawn()) return FALSE;
        if (!data.m_bHideable)
        {
            data.m_bHideable = TRUE;
            ++m_nHideableCount;
        }
        return TRUE;
    }
    if (!data.m_bShown) ShowColumn(nColumn, TRUE);
    if (data.m_bHideable)
    {
        data.m_bHideable = FALSE;
        --m_nHideableCount;
    }
    return TRUE;
}

BOOL CListBase::EnableColumn(int nColumn, BOOL bEnable)
{
    if (!IsValidColumn(nColumn)) return FALSE;
    COLUMN_DATA& data = *m_aColumnData[nColumn];
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

BOOL CListBase::KeepLabelLeft(BOOL bKeep)
{
    if (bKeep && !IsOwnerDrawn()) return FALSE;
    if (!m_bKeepLabelLeft != !bKeep)
    {
        m_bKeepLabelLeft = bKeep ? TRUE : FALSE;
        if (m_pListCtrl && m_pListCtrl->m_hWnd) m_pListCtrl->Invalidate();
    }
    return TRUE;
}

// ---- the sort column ------------------------------------------------------------------------

void CListBase::SetSortColumn(int nColumn, BOOL bDescending)
{
    SetSortColumn(bDescending ? -(nColumn + 1) : nColumn + 1);
}

BOOL CListBase::GetSortColumn(int* pnColumn, BOOL* pbDescending) const
{
    const int column = m_nSortColumn ? std::abs(m_nSortColumn) - 1 : 0;
    const BOOL descending = m_nSortColumn < 0;
    if (pnColumn) *pnColumn = column;
    if (pbDescending) *pbDescending = descending;
    return m_nSortColumn != 0;
}

void CListBase::RefreshSortMarks()
{
    // Without visual styles the header has no sort marks of its own.
    if (!IsVisualStyleLevel2()) return;
    HWND hHeader = GetHeaderHandle();
    if (!hHeader) return;
    const int sortIndex = std::abs(m_nSortColumn) - 1;
    for (int i = 0; i < GetColumnCount(); ++i)
    {
        if (!IsColumnInControl(i)) continue;
        const WPARAM physical = GetPhysicalIndex(i);
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!::SendMessageW(hHeader, HDM_GETITEMW, physical, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        item.fmt |= HDF_STRING;
        if (m_bSortIcon && m_nSortColumn != 0 && i == sortIndex)
            item.fmt |= m_nSortColumn > 0 ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageW(hHeader, HDM_SETITEMW, physical, reinterpret_cast<LPARAM>(&item));
    }
}
