// CListBase: rows and cells (the ITEM_DATA records), their texts served to the control, the
// program's item data in everything the program sees, and the rectangles of rows and cells.
#include "uikit/CListBase.h"
#include <algorithm>
#include <iterator>
#include <utility>

// ---- records --------------------------------------------------------------------------------

ITEM_DATA* CListBase::TakeRecord(std::unique_ptr<ITEM_DATA> record)
{
    ITEM_DATA* pRecord = record.get();
    m_itemRecords.emplace(pRecord, std::move(record));
    return pRecord;
}

void CListBase::FreeRecord(ITEM_DATA* pRecord)
{
    if (pRecord) m_itemRecords.erase(pRecord);
}

ITEM_DATA* CListBase::FindRecord(LPARAM lParam) const
{
    const auto found = m_itemRecords.find(reinterpret_cast<const ITEM_DATA*>(lParam));
    return found != m_itemRecords.end() ? found->second.get() : nullptr;
}

ITEM_DATA* CListBase::GetItemRecord(int nItem) const
{
    if (nItem < 0 || IsOwnerData()) return nullptr;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    if (!DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return FindRecord(item.lParam);
}

bool CListBase::UsesCallbackTexts() const
{
    // A sorting control needs the texts themselves to place its rows.
    return !(GetListStyle() & (LVS_SORTASCENDING | LVS_SORTDESCENDING));
}

LVITEMW CListBase::MakeControlItem(const LVITEMW& request, int nPhysical) const
{
    LVITEMW item = request;
    item.mask &= ~LVIF_PARAM;
    item.iSubItem = nPhysical;
    if ((item.mask & LVIF_TEXT) && IsRealListText(item.pszText) && UsesCallbackTexts())
        item.pszText = LPSTR_TEXTCALLBACKW;
    return item;
}

// ---- inserting, changing and deleting rows --------------------------------------------------

LRESULT CListBase::OnInsertItem(WPARAM, LPARAM lParam)
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
    const int result = static_cast<int>(DefaultProc(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&toControl)));
    m_bInItemChange = FALSE;
    if (result == -1)
    {
        FreeRecord(pRecord);
        return -1;
    }
    pRecord->m_cells.resize(std::max(GetColumnCount(), 1));
    pRecord->m_cells[0] = std::make_unique<ITEM_DATA::CELL>(*pRequest);
    ResetTips();
    MakeSyntheticMouseMove();
    return result;
}

LRESULT CListBase::OnSetItem(WPARAM, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVITEMW*>(lParam);
    if (!pRequest || pRequest->iItem < 0 || !IsValidColumn(pRequest->iSubItem)) return FALSE;
    const int n = pRequest->iSubItem;
    ITEM_DATA* pRecord = GetItemRecord(pRequest->iItem);
    if (!pRecord) return FALSE;
    if (IsColumnInControl(n))
    {
        if ((pRequest->mask & ~LVIF_PARAM) || (n == 0 && (pRequest->mask & LVIF_STATE)))
        {
            LVITEMW toControl = MakeControlItem(*pRequest, GetPhysicalIndex(n));
            if (!DefaultProc(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&toControl))) return FALSE;
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
        if (!DefaultProc(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&state))) return FALSE;
    }

    if (pRequest->mask & LVIF_PARAM)
    {
        pRecord->m_bHasItemData = TRUE;
        pRecord->m_lParam = pRequest->lParam;
    }
    const UINT cellBits = pRequest->mask & (LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT);
    if (cellBits)
    {
        if (static_cast<int>(pRecord->m_cells.size()) < GetColumnCount()) pRecord->m_cells.resize(GetColumnCount());
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
    ResetTips();
    MakeSyntheticMouseMove();
    return TRUE;
}

LRESULT CListBase::OnSetItemText(WPARAM wParam, LPARAM lParam)
{
    const auto* pRequest = reinterpret_cast<const LVITEMW*>(lParam);
    const int row = static_cast<int>(wParam);
    if (!pRequest || row < 0 || !IsValidColumn(pRequest->iSubItem)) return FALSE;
    const int n = pRequest->iSubItem;
    ITEM_DATA* pRecord = GetItemRecord(row);
    if (!pRecord) return FALSE;
    if (IsColumnInControl(n))
    {
        LVITEMW toControl = MakeControlItem(*pRequest, GetPhysicalIndex(n));
        toControl.mask |= LVIF_TEXT;
        if (!DefaultProc(LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&toControl))) return FALSE;
    }
    if (static_cast<int>(pRecord->m_cells.size()) < GetColumnCount()) pRecord->m_cells.resize(GetColumnCount());
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
    ResetTips();
    MakeSyntheticMouseMove();
    return TRUE;
}

LRESULT CListBase::OnDeleteItem(WPARAM wParam, LPARAM)
{
    const int row = static_cast<int>(wParam);
    if (row < 0) return FALSE;
    ITEM_DATA* pRecord = GetItemRecord(row);
    m_bInItemChange = TRUE;
    const BOOL deleted = static_cast<BOOL>(DefaultProc(LVM_DELETEITEM, row));
    m_bInItemChange = FALSE;
    if (deleted) FreeRecord(pRecord);
    return deleted;
}

LRESULT CListBase::OnDeleteAllItems(WPARAM, LPARAM)
{
    // The records are freed after the control let go of its rows: its LVN_DELETEITEM
    // notifications still show the program the rows' item data.
    m_bInItemChange = TRUE;
    const BOOL deleted = static_cast<BOOL>(DefaultProc(LVM_DELETEALLITEMS));
    m_bInItemChange = FALSE;
    if (deleted && !IsOwnerData()) m_itemRecords.clear();
    return deleted;
}

// ---- reading rows ---------------------------------------------------------------------------

CString CListBase::RequestCallbackText(const ITEM_DATA& record, int nItem, int nColumn) const
{
    wchar_t buffer[260] = {};
    CWnd* pParent = m_pListCtrl ? m_pListCtrl->GetParent() : nullptr;
    if (!pParent || !pParent->m_hWnd) return CString();
    NMLVDISPINFOW info{};
    info.hdr.hwndFrom = m_pListCtrl->m_hWnd;
    info.hdr.idFrom = static_cast<UINT_PTR>(m_pListCtrl->GetDlgCtrlID());
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = nItem;
    info.item.iSubItem = nColumn;
    info.item.pszText = buffer;
    info.item.cchTextMax = static_cast<int>(std::size(buffer));
    info.item.lParam = record.m_lParam;
    const BYTE nested = std::exchange(m_bInGetDispInfo, TRUE);
    pParent->SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    m_bInGetDispInfo = nested;
    if (!info.item.pszText) return CString();
    buffer[std::size(buffer) - 1] = L'\0';
    // The parent may answer with a pointer of its own instead of filling the buffer.
    return info.item.pszText == buffer ? CString(buffer) : CString(info.item.pszText);
}

CString CListBase::GetCellText(int nItem, int nColumn) const
{
    if (IsColumnInControl(nColumn))
    {
        // The control answers with the program's callback texts as well.
        return m_pListCtrl ? m_pListCtrl->GetItemText(nItem, nColumn) : CString();
    }
    const ITEM_DATA* pRecord = GetItemRecord(nItem);
    const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(nColumn) : nullptr;
    if (!pCell) return CString();
    if (pCell->IsCallback()) return RequestCallbackText(*pRecord, nItem, nColumn);
    return pCell->HasRealText() ? CString(pCell->m_item.pszText) : CString();
}

namespace
{
void CopyTextOut(LVITEMW& item, LPCWSTR pszText)
{
    if (!item.pszText || item.cchTextMax <= 0) return;
    ::lstrcpynW(item.pszText, pszText ? pszText : L"", item.cchTextMax);
}
} // namespace

LRESULT CListBase::OnGetItem(WPARAM, LPARAM lParam)
{
    auto* pItem = reinterpret_cast<LVITEMW*>(lParam);
    if (!pItem || pItem->iItem < 0 || !IsValidColumn(pItem->iSubItem)) return FALSE;
    const int n = pItem->iSubItem;
    const bool textAsked = (pItem->mask & LVIF_TEXT) != 0;
    const bool bufferUsable = pItem->pszText && pItem->cchTextMax > 0;
    if (IsColumnInControl(n))
    {
        // A text buffer of no size is never handed to the control to write into.
        LVITEMW request = *pItem;
        request.iSubItem = GetPhysicalIndex(n);
        if (textAsked && !bufferUsable) request.mask &= ~LVIF_TEXT;
        if (!DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request))) return FALSE;
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
    if (!DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return FALSE;
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

LRESULT CListBase::OnGetItemText(WPARAM wParam, LPARAM lParam)
{
    auto* pItem = reinterpret_cast<LVITEMW*>(lParam);
    const int row = static_cast<int>(wParam);
    if (!pItem || row < 0 || !IsValidColumn(pItem->iSubItem)) return 0;
    if (!pItem->pszText || pItem->cchTextMax <= 0) return 0;
    const int n = pItem->iSubItem;
    if (IsColumnInControl(n))
    {
        LVITEMW request = *pItem;
        request.iSubItem = GetPhysicalIndex(n);
        const LRESULT length = DefaultProc(LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&request));
        pItem->pszText = request.pszText;
        return length;
    }
    if (IsOwnerData()) return 0;
    const ITEM_DATA* pRecord = GetItemRecord(row);
    const ITEM_DATA::CELL* pCell = pRecord ? pRecord->Cell(n) : nullptr;
    if (!pCell || !pCell->m_item.pszText) return 0;
    const CString text = pCell->IsCallback() ? RequestCallbackText(*pRecord, row, n) : CString(pCell->m_item.pszText);
    CopyTextOut(*pItem, text);
    return static_cast<LRESULT>(::lstrlenW(pItem->pszText));
}

LRESULT CListBase::OnFindItem(WPARAM wParam, LPARAM lParam)
{
    const auto* pFind = reinterpret_cast<const LVFINDINFOW*>(lParam);
    if (!pFind) return -1;
    if (!(pFind->flags & LVFI_PARAM) || IsOwnerData()) return DefaultProc(LVM_FINDITEMW, wParam, lParam);
    const int start = static_cast<int>(wParam);
    const int count = GetItemCountRaw();
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

// ---- texts for the control ------------------------------------------------------------------

BOOL CListBase::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* pInfo = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR);
    if (m_bInItemChange)
    {
        *pResult = 0;
        return TRUE;
    }
    if (m_bInGetDispInfo) return FALSE; // our own request to the parent: the parent answers it
    LVITEMW& item = pInfo->item;
    const int physical = item.iSubItem;
    const int n = GetLogicalIndex(physical);
    if (n < 0) return FALSE;
    item.iSubItem = n;
    const ITEM_DATA* pRecord = nullptr;
    if (!IsOwnerData())
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
    else if (CWnd* pParent = m_pListCtrl->GetParent(); pParent && pParent->m_hWnd)
    {
        const LPARAM held = item.lParam;
        if (pRecord) item.lParam = pRecord->m_lParam;
        m_bInGetDispInfo = TRUE;
        *pResult = pParent->SendMessage(WM_NOTIFY, pNMHDR->idFrom, reinterpret_cast<LPARAM>(pNMHDR));
        m_bInGetDispInfo = FALSE;
        item.lParam = held;
    }
    item.iSubItem = physical;
    return TRUE;
}

BOOL CListBase::OnODCacheHint(NMHDR* pNMHDR, LRESULT*)
{
    const auto* pHint = reinterpret_cast<const NMLVCACHEHINT*>(pNMHDR);
    m_nCacheHintFrom = pHint->iFrom;
    m_nCacheHintTo = pHint->iTo;
    return FALSE; // the parent fills its cache
}

void CListBase::ShowProgramItemData(NMHDR* pNMHDR) const
{
    if (!pNMHDR || !m_pListCtrl || pNMHDR->hwndFrom != m_pListCtrl->m_hWnd || m_itemRecords.empty()) return;
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

// ---- image lists ----------------------------------------------------------------------------

LRESULT CListBase::OnSetImageList(WPARAM wParam, LPARAM lParam)
{
    const LRESULT previous = DefaultProc(LVM_SETIMAGELIST, wParam, lParam);
    // The control hands its small images to the header too; the header shows none of them.
    if (wParam == LVSIL_SMALL)
        if (HWND hHeader = GetHeaderHandle()) ::SendMessageW(hHeader, HDM_SETIMAGELIST, 0, 0);
    return previous;
}

LRESULT CListBase::OnAnsiRefused(WPARAM, LPARAM)
{
    return FALSE;
}

LRESULT CListBase::OnAnsiIndexRefused(WPARAM, LPARAM)
{
    return -1;
}

// ---- tips and the synthetic mouse move ------------------------------------------------------

void CListBase::ResetTips()
{
    m_nTipItem = -1;
    m_nTipSubItem = -1;
    m_nTipHitFlags = 0;
}

void CListBase::MakeSyntheticMouseMove()
{
    ResetTips();
    m_bSyntheticMove = TRUE;
    // Setting the cursor where it is makes the system send a mouse move: tips and hot rows follow.
    POINT cursor;
    if (::GetCursorPos(&cursor)) ::SetCursorPos(cursor.x, cursor.y);
}
