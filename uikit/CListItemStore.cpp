#include "uikit/CListItemStore.h"
#include "uikit/CListBase.h"
#include <algorithm>
#include <iterator>
#include <utility>

namespace
{
void CopyTextOut(LVITEMW& item, LPCWSTR pszText)
{
    if (!item.pszText || item.cchTextMax <= 0) return;
    ::lstrcpynW(item.pszText, pszText ? pszText : L"", item.cchTextMax);
}
} // namespace

CListItemStore::CListItemStore(CListBase& list) : m_list(list) {}

void CListItemStore::InsertColumnCells(int nColumn, int nOldCount)
{
    for (auto& [key, item] : m_itemRecords)
    {
        // A row inserted while the list had no column keeps its label cell for the first one.
        auto& cells = item->m_cells;
        if (static_cast<int>(cells.size()) <= nOldCount)
            cells.insert(cells.begin() + std::min(nColumn, static_cast<int>(cells.size())), nullptr);
    }
}

void CListItemStore::EraseColumnCells(int nColumn)
{
    for (auto& [key, item] : m_itemRecords)
        if (nColumn < static_cast<int>(item->m_cells.size())) item->m_cells.erase(item->m_cells.begin() + nColumn);
}

ITEM_DATA* CListItemStore::TakeRecord(std::unique_ptr<ITEM_DATA> record)
{
    ITEM_DATA* pRecord = record.get();
    m_itemRecords.emplace(pRecord, std::move(record));
    return pRecord;
}

void CListItemStore::FreeRecord(ITEM_DATA* pRecord)
{
    if (pRecord) m_itemRecords.erase(pRecord);
}

ITEM_DATA* CListItemStore::FindRecord(LPARAM lParam) const
{
    const auto found = m_itemRecords.find(reinterpret_cast<const ITEM_DATA*>(lParam));
    return found != m_itemRecords.end() ? found->second.get() : nullptr;
}

ITEM_DATA* CListItemStore::GetItemRecord(int nItem) const
{
    if (nItem < 0 || m_list.IsOwnerData()) return nullptr;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    if (!m_list.DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return FindRecord(item.lParam);
}

bool CListItemStore::UsesCallbackTexts() const
{
    // A sorting control needs the texts themselves to place its rows.
    return !(m_list.GetListStyle() & (LVS_SORTASCENDING | LVS_SORTDESCENDING));
}

LVITEMW CListItemStore::MakeControlItem(const LVITEMW& request, int nPhysical) const
{
    LVITEMW item = request;
    item.mask &= ~LVIF_PARAM;
    item.iSubItem = nPhysical;
    if ((item.mask & LVIF_TEXT) && IsRealListText(item.pszText) && UsesCallbackTexts())
        item.pszText = LPSTR_TEXTCALLBACKW;
    return item;
}

LRESULT CListItemStore::OnInsertItem(WPARAM, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVITEMW*>(lParam);
    if (!pRequest || pRequest->iItem < 0) return -1;
    auto record = std::make_unique<ITEM_DATA>();
    if (pRequest->mask & LVIF_PARAM)
    {
        record->m_bHasItemData = TRUE;
        record->m_lParam = pRequest->lParam;
    }
    LVITEMW toControl = MakeControlItem(*pRequest, pRequest->iSubItem);
    toControl.mask |= LVIF_PARAM;
    toControl.lParam = reinterpret_cast<LPARAM>(record.get());

    ITEM_DATA* pRecord = TakeRecord(std::move(record));
    m_bInItemChange = TRUE;
    const int result = static_cast<int>(m_list.DefaultProc(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&toControl)));
    m_bInItemChange = FALSE;
    if (result == -1)
    {
        FreeRecord(pRecord);
        return -1;
    }
    pRecord->m_cells.resize(std::max(m_list.GetColumnCount(), 1));
    pRecord->m_cells[0] = std::make_unique<ITEM_DATA::CELL>(*pRequest);
    m_list.m_tips.ResetTips();
    m_list.MakeSyntheticMouseMove();
    return result;
}

LRESULT CListItemStore::OnSetItem(WPARAM, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVITEMW*>(lParam);
    if (!pRequest || pRequest->iItem < 0 || !m_list.IsValidColumn(pRequest->iSubItem)) return FALSE;
    const int n = pRequest->iSubItem;
    ITEM_DATA* pRecord = GetItemRecord(pRequest->iItem);
    if (!pRecord) return FALSE;
    if (m_list.IsColumnInControl(n))
    {
        if ((pRequest->mask & ~LVIF_PARAM) || (n == 0 && (pRequest->mask & LVIF_STATE)))
        {
            LVITEMW toControl = MakeControlItem(*pRequest, m_list.GetPhysicalIndex(n));
            if (!m_list.DefaultProc(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&toControl))) return FALSE;
        }
    }
    else if (pRequest->mask & LVIF_STATE)
    {
        // The row's state belongs to the row, whichever column the program named.
        LVITEMW state{};
        state.mask = LVIF_STATE;
        state.iItem = pRequest->iItem;
        state.state = pRequest->state;
        state.stateMask = pRequest->stateMask;
        if (!m_list.DefaultProc(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&state))) return FALSE;
    }

    if (pRequest->mask & LVIF_PARAM)
    {
        pRecord->m_bHasItemData = TRUE;
        pRecord->m_lParam = pRequest->lParam;
    }
    const UINT cellBits = pRequest->mask & (LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT);
    if (cellBits)
    {
        if (static_cast<int>(pRecord->m_cells.size()) < m_list.GetColumnCount())
            pRecord->m_cells.resize(m_list.GetColumnCount());
        auto& cell = pRecord->m_cells[n];
        if (!cell)
            cell = std::make_unique<ITEM_DATA::CELL>(*pRequest);
        else
        {
            if (cellBits & LVIF_IMAGE) cell->m_item.iImage = pRequest->iImage;
            if (cellBits & LVIF_INDENT) cell->m_item.iIndent = pRequest->iIndent;
            if (cellBits & LVIF_TEXT) cell->SetText(pRequest->pszText);
            cell->m_item.mask |= pRequest->mask;
        }
    }
    m_list.m_tips.ResetTips();
    m_list.MakeSyntheticMouseMove();
    return TRUE;
}

LRESULT CListItemStore::OnSetItemText(WPARAM wParam, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVITEMW*>(lParam);
    const int row = static_cast<int>(wParam);
    if (!pRequest || row < 0 || !m_list.IsValidColumn(pRequest->iSubItem)) return FALSE;
    const int n = pRequest->iSubItem;
    ITEM_DATA* pRecord = GetItemRecord(row);
    if (!pRecord) return FALSE;
    if (m_list.IsColumnInControl(n))
    {
        LVITEMW toControl = MakeControlItem(*pRequest, m_list.GetPhysicalIndex(n));
        toControl.mask |= LVIF_TEXT;
        if (!m_list.DefaultProc(LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&toControl))) return FALSE;
    }
    if (static_cast<int>(pRecord->m_cells.size()) < m_list.GetColumnCount())
        pRecord->m_cells.resize(m_list.GetColumnCount());
    auto& cell = pRecord->m_cells[n];
    if (!cell)
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = n;
        item.pszText = pRequest->pszText;
        cell = std::make_unique<ITEM_DATA::CELL>(item);
    }
    else
    {
        cell->SetText(pRequest->pszText);
        cell->m_item.mask |= LVIF_TEXT;
    }
    m_list.m_tips.ResetTips();
    m_list.MakeSyntheticMouseMove();
    return TRUE;
}

LRESULT CListItemStore::OnDeleteItem(WPARAM wParam, LPARAM)
{
    const int row = static_cast<int>(wParam);
    if (row < 0) return FALSE;
    ITEM_DATA* pRecord = GetItemRecord(row);
    m_bInItemChange = TRUE;
    const BOOL deleted = static_cast<BOOL>(m_list.DefaultProc(LVM_DELETEITEM, row));
    m_bInItemChange = FALSE;
    if (deleted) FreeRecord(pRecord);
    return deleted;
}

LRESULT CListItemStore::OnDeleteAllItems(WPARAM, LPARAM)
{
    // The records are freed after the control let go of its rows: its LVN_DELETEITEM
    // notifications still show the program the rows' item data.
    m_bInItemChange = TRUE;
    const BOOL deleted = static_cast<BOOL>(m_list.DefaultProc(LVM_DELETEALLITEMS));
    m_bInItemChange = FALSE;
    if (deleted && !m_list.IsOwnerData()) m_itemRecords.clear();
    return deleted;
}

CString CListItemStore::RequestCallbackText(const ITEM_DATA& record, int nItem, int nColumn) const
{
    wchar_t buffer[260] = {};
    CWnd* pParent = m_list.m_pListCtrl ? m_list.m_pListCtrl->GetParent() : nullptr;
    if (!pParent || !pParent->m_hWnd) return CString();
    NMLVDISPINFOW info{};
    info.hdr.hwndFrom = m_list.m_pListCtrl->m_hWnd;
    info.hdr.idFrom = static_cast<UINT_PTR>(m_list.m_pListCtrl->GetDlgCtrlID());
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = nItem;
    info.item.iSubItem = nColumn;
    info.item.pszText = buffer;
    info.item.cchTextMax = static_cast<int>(std::size(buffer));
    info.item.lParam = record.m_lParam;
    const BYTE nested = std::exchange(m_list.m_bInGetDispInfo, TRUE);
    pParent->SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    m_list.m_bInGetDispInfo = nested;
    if (!info.item.pszText) return CString();
    buffer[std::size(buffer) - 1] = L'\0';
    // The parent may answer with a pointer of its own instead of filling the buffer.
    return info.item.pszText == buffer ? CString(buffer) : CString(info.item.pszText);
}

CString CListItemStore::GetCellText(int nItem, int nColumn) const
{
    if (m_list.IsColumnInControl(nColumn))
    {
        // The control answers with the program's callback texts as well.
        return m_list.m_pListCtrl ? m_list.m_pListCtrl->GetItemText(nItem, nColumn) : CString();
    }
    const ITEM_DATA* pRecord = GetItemRecord(nItem);
    const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(nColumn) : nullptr;
    if (!pCell) return CString();
    if (pCell->IsCallback()) return RequestCallbackText(*pRecord, nItem, nColumn);
    return pCell->HasRealText() ? CString(pCell->m_item.pszText) : CString();
}

LRESULT CListItemStore::OnGetItem(WPARAM, LPARAM lParam)
{
    auto* pItem = reinterpret_cast<LVITEMW*>(lParam);
    if (!pItem || pItem->iItem < 0 || !m_list.IsValidColumn(pItem->iSubItem)) return FALSE;
    const int n = pItem->iSubItem;
    const bool textAsked = (pItem->mask & LVIF_TEXT) != 0;
    const bool bufferUsable = pItem->pszText && pItem->cchTextMax > 0;
    if (m_list.IsColumnInControl(n))
    {
        // A text buffer of no size is never handed to the control to write into.
        LVITEMW request = *pItem;
        request.iSubItem = m_list.GetPhysicalIndex(n);
        if (textAsked && !bufferUsable) request.mask &= ~LVIF_TEXT;
        if (!m_list.DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request))) return FALSE;
        request.iSubItem = n;
        request.mask = pItem->mask;
        if (pItem->mask & LVIF_PARAM)
            if (const ITEM_DATA* pRecord = FindRecord(request.lParam)) request.lParam = pRecord->m_lParam;
        *pItem = request;
        return TRUE;
    }
    // Out of the control: the row's state and record from the control, the cell from the record.
    LVITEMW row{};
    row.mask = LVIF_PARAM | (pItem->mask & LVIF_STATE);
    row.iItem = pItem->iItem;
    row.stateMask = pItem->stateMask;
    if (!m_list.DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return FALSE;
    const ITEM_DATA* pRecord = FindRecord(row.lParam);
    const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(n) : nullptr;
    if (!pCell) return FALSE;
    if (pItem->mask & LVIF_STATE) pItem->state = row.state;
    if (pItem->mask & LVIF_PARAM) pItem->lParam = pRecord->m_lParam;
    if (pItem->mask & LVIF_IMAGE) pItem->iImage = (pCell->m_item.mask & LVIF_IMAGE) ? pCell->m_item.iImage : 0;
    if (pItem->mask & LVIF_INDENT) pItem->iIndent = (pCell->m_item.mask & LVIF_INDENT) ? pCell->m_item.iIndent : 0;
    if (textAsked && bufferUsable)
    {
        // A callback cell's text comes from the program; the marker itself is no text.
        if (pCell->IsCallback())
            CopyTextOut(*pItem, RequestCallbackText(*pRecord, pItem->iItem, n));
        else
            CopyTextOut(*pItem, pCell->m_item.pszText);
    }
    return TRUE;
}

LRESULT CListItemStore::OnGetItemText(WPARAM wParam, LPARAM lParam)
{
    auto* pItem = reinterpret_cast<LVITEMW*>(lParam);
    const int row = static_cast<int>(wParam);
    if (!pItem || row < 0 || !m_list.IsValidColumn(pItem->iSubItem)) return 0;
    if (!pItem->pszText || pItem->cchTextMax <= 0) return 0;
    const int n = pItem->iSubItem;
    if (m_list.IsColumnInControl(n))
    {
        LVITEMW request = *pItem;
        request.iSubItem = m_list.GetPhysicalIndex(n);
        const LRESULT length = m_list.DefaultProc(LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&request));
        pItem->pszText = request.pszText;
        return length;
    }
    if (m_list.IsOwnerData()) return 0;
    const ITEM_DATA* pRecord = GetItemRecord(row);
    const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(n) : nullptr;
    if (!pCell || !pCell->m_item.pszText) return 0;
    const CString text = pCell->IsCallback() ? RequestCallbackText(*pRecord, row, n) : CString(pCell->m_item.pszText);
    CopyTextOut(*pItem, text);
    return static_cast<LRESULT>(::lstrlenW(pItem->pszText));
}

LRESULT CListItemStore::OnFindItem(WPARAM wParam, LPARAM lParam)
{
    const auto* pFind = reinterpret_cast<const LVFINDINFOW*>(lParam);
    if (!pFind) return -1;
    if (!(pFind->flags & LVFI_PARAM) || m_list.IsOwnerData()) return m_list.DefaultProc(LVM_FINDITEMW, wParam, lParam);
    const int start = static_cast<int>(wParam);
    const int count = m_list.GetItemCountRaw();
    auto matches = [&](int row) {
        const ITEM_DATA* pRecord = GetItemRecord(row);
        return pRecord && pRecord->m_lParam == pFind->lParam;
    };
    for (int row = std::max(start + 1, 0); row < count; ++row)
        if (matches(row)) return row;
    if ((pFind->flags & LVFI_WRAP) && start >= 0)
        for (int row = 0; row <= start && row < count; ++row)
            if (matches(row)) return row;
    return -1;
}

BOOL CListItemStore::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* pInfo = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR);
    if (m_bInItemChange)
    {
        *pResult = 0;
        return TRUE;
    }
    if (m_list.m_bInGetDispInfo) return FALSE; // our own request to the parent: the parent answers it
    LVITEMW& item = pInfo->item;
    const int physical = item.iSubItem;
    const int n = m_list.GetLogicalIndex(physical);
    if (n < 0) return FALSE;
    item.iSubItem = n;
    const ITEM_DATA* pRecord = nullptr;
    if (!m_list.IsOwnerData())
    {
        pRecord = FindRecord(item.lParam);
        if (!pRecord) pRecord = GetItemRecord(item.iItem);
    }
    const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(n) : nullptr;
    if ((item.mask & LVIF_TEXT) && pCell && pCell->HasRealText())
    {
        item.pszText = pCell->m_item.pszText;
        item.cchTextMax = static_cast<int>(pCell->m_strText.size()) + 1;
        *pResult = 0;
    }
    else if (CWnd* pParent = m_list.m_pListCtrl->GetParent(); pParent && pParent->m_hWnd)
    {
        const LPARAM held = item.lParam;
        if (pRecord) item.lParam = pRecord->m_lParam;
        m_list.m_bInGetDispInfo = TRUE;
        *pResult = pParent->SendMessage(WM_NOTIFY, pNMHDR->idFrom, reinterpret_cast<LPARAM>(pNMHDR));
        m_list.m_bInGetDispInfo = FALSE;
        item.lParam = held;
    }
    item.iSubItem = physical;
    return TRUE;
}

void CListItemStore::ShowProgramItemData(NMHDR* pNMHDR) const
{
    if (!pNMHDR || !m_list.m_pListCtrl || pNMHDR->hwndFrom != m_list.m_pListCtrl->m_hWnd || m_itemRecords.empty())
        return;
    auto translate = [this](LPARAM& value) {
        if (const ITEM_DATA* pRecord = FindRecord(value)) value = pRecord->m_lParam;
    };
    switch (pNMHDR->code)
    {
    case LVN_ITEMCHANGING:
    case LVN_ITEMCHANGED:
    case LVN_INSERTITEM:
    case LVN_DELETEITEM:
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG:
    case LVN_HOTTRACK:
        translate(reinterpret_cast<NMLISTVIEW*>(pNMHDR)->lParam);
        break;
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK:
    case NM_RDBLCLK:
    case LVN_ITEMACTIVATE:
        translate(reinterpret_cast<NMITEMACTIVATE*>(pNMHDR)->lParam);
        break;
    case LVN_GETDISPINFOW:
    case LVN_SETDISPINFOW:
    case LVN_BEGINLABELEDITW:
    case LVN_ENDLABELEDITW:
        translate(reinterpret_cast<NMLVDISPINFOW*>(pNMHDR)->item.lParam);
        break;
    case NM_CUSTOMDRAW: {
        auto* pDraw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
        if (pDraw->nmcd.dwDrawStage & CDDS_ITEM)
        {
            LPARAM value = static_cast<LPARAM>(pDraw->nmcd.lItemlParam);
            translate(value);
            pDraw->nmcd.lItemlParam = value;
        }
        break;
    }
    default:
        break;
    }
}
