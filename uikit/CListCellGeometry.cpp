#include "uikit/CListCellGeometry.h"
#include "uikit/CListBase.h"
#include <algorithm>

namespace
{
int SmallIconWidth(HIMAGELIST hImages)
{
    int cx = 0, cy = 0;
    return hImages && ::ImageList_GetIconSize(hImages, &cx, &cy) ? cx : 0;
}
} // namespace

CListCellGeometry::CListCellGeometry(CListBase& list) : m_list(list) {}

int CListCellGeometry::GetColumnFormat(int nColumn) const
{
    if (!m_list.IsValidColumn(nColumn)) return LVCFMT_LEFT;
    const LVCOLUMNW& column = m_list.m_aColumnData[nColumn]->m_column;
    return (column.mask & LVCF_FMT) ? column.fmt : LVCFMT_LEFT;
}

BOOL CListCellGeometry::GetSubItemRectEx(int nItem, int nColumn, int nArea, CRect& rect) const
{
    if (!m_list.IsColumnInControl(nColumn) || nItem < 0) return FALSE;
    const int physical = m_list.GetPhysicalIndex(nColumn);
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    if (!m_list.DefaultProc(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&row))) return FALSE;
    // The cell's horizontal extent is its header item's, moved with the rows.
    auto cellOf = [&](int nPhysical, CRect& cell) {
        RECT item{};
        if (!::SendMessageW(m_list.GetHeaderHandle(), HDM_GETITEMRECT, nPhysical, reinterpret_cast<LPARAM>(&item)))
            return false;
        cell.SetRect(row.left + item.left, row.top, row.left + item.right, row.bottom);
        return true;
    };
    auto controlRect = [&](int nPhysical, int nCode, CRect& out) {
        RECT r{nCode, nPhysical, 0, 0};
        if (!m_list.DefaultProc(LVM_GETSUBITEMRECT, nItem, reinterpret_cast<LPARAM>(&r))) return false;
        out = r;
        return true;
    };
    CRect bounds;
    if (!cellOf(physical, bounds)) return FALSE;
    const int labelColumn = m_list.GetLabelColumn();
    const bool labelMoved = m_list.m_bKeepLabelLeft && labelColumn != 0;
    const bool subItemImages = (m_list.m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) != 0;
    switch (nArea)
    {
    case LVIR_BOUNDS:
        rect = bounds;
        return TRUE;
    case LVIR_ICON: {
        if (labelMoved && nColumn == labelColumn)
        {
            // The row's icon moves along with the label: the same offset from the cell's left.
            CRect icon0, cell0;
            if (!controlRect(0, LVIR_ICON, icon0) || !cellOf(0, cell0)) return FALSE;
            const int offset = std::max(4, static_cast<int>(icon0.left - cell0.left));
            rect.SetRect(bounds.left + offset, bounds.top, bounds.left + offset + icon0.Width(), bounds.bottom);
            rect.right = std::min(rect.right, bounds.right - 1);
            return TRUE;
        }
        if (nColumn == 0 || physical == 0 || (subItemImages && !m_list.m_bKeepLabelLeft))
        {
            LVITEMW item{};
            item.mask = LVIF_IMAGE;
            item.iItem = nItem;
            item.iSubItem = nColumn;
            if (!m_list.m_pListCtrl->SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) || item.iImage < 0)
                return FALSE;
            if (!controlRect(physical, LVIR_ICON, rect)) return FALSE;
            rect.right = std::min(rect.right, bounds.right);
            return TRUE;
        }
        return FALSE;
    }
    case LVIR_LABEL: {
        if (nColumn != labelColumn)
        {
            rect = bounds;
            if (subItemImages && nColumn != 0)
            {
                const auto hImages = reinterpret_cast<HIMAGELIST>(m_list.DefaultProc(LVM_GETIMAGELIST, LVSIL_SMALL));
                const int width = SmallIconWidth(hImages);
                if (width) rect.left += width + 2;
            }
            return TRUE;
        }
        CRect label0;
        if (!controlRect(0, LVIR_LABEL, label0)) return FALSE;
        if (!labelMoved)
        {
            rect = label0;
            return TRUE;
        }
        CRect cell0;
        if (!cellOf(0, cell0)) return FALSE;
        rect = bounds;
        rect.left += label0.left - cell0.left;
        return TRUE;
    }
    default:
        return controlRect(physical, nArea, rect) ? TRUE : FALSE;
    }
}

LRESULT CListCellGeometry::OnGetSubItemRect(WPARAM wParam, LPARAM lParam)
{
    auto* pRect = reinterpret_cast<RECT*>(lParam);
    if (!pRect) return FALSE;
    CRect rect;
    if (!GetSubItemRectEx(static_cast<int>(wParam), pRect->top, pRect->left, rect)) return FALSE;
    *pRect = rect;
    return TRUE;
}

LRESULT CListCellGeometry::OnGetItemRect(WPARAM wParam, LPARAM lParam)
{
    auto* pRect = reinterpret_cast<RECT*>(lParam);
    if (!pRect) return FALSE;
    const LONG code = pRect->left;
    if (code != LVIR_BOUNDS && code != LVIR_ICON && code != LVIR_LABEL) return FALSE;
    if (m_list.m_bKeepLabelLeft && code != LVIR_BOUNDS)
    {
        CRect rect;
        if (!GetSubItemRectEx(static_cast<int>(wParam), m_list.GetLabelColumn(), code, rect)) return FALSE;
        *pRect = rect;
        return TRUE;
    }
    return m_list.DefaultProc(LVM_GETITEMRECT, wParam, lParam);
}

CRect CListCellGeometry::GetTextExtent(int nItem, int nColumn, const CRect& label) const
{
    const CString text = m_list.m_items.GetCellText(nItem, nColumn);
    const bool labelCell = nColumn == m_list.GetLabelColumn();
    const int left = labelCell ? kInsetNarrow : kInsetWide;
    const int right =
        nColumn == 0 && !(m_list.m_bKeepLabelLeft && m_list.GetDisplayedFirstColumn() != 0) ? kInsetNarrow : kInsetWide;
    const int need = static_cast<int>(m_list.DefaultProc(LVM_GETSTRINGWIDTHW, 0,
                                                         reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(text)))) +
                     left + right;
    CRect extent = label;
    if (need >= label.Width()) return extent;
    const int format = (nColumn == 0 ? m_list.m_nLabelAlign : GetColumnFormat(nColumn)) & LVCFMT_JUSTIFYMASK;
    if (format == LVCFMT_RIGHT)
        extent.left = extent.right - need;
    else if (format == LVCFMT_CENTER)
    {
        extent.left += (label.Width() - need) / 2;
        extent.right = extent.left + need;
    }
    else
        extent.right = extent.left + need;
    return extent;
}

void CListCellGeometry::MeasureStateIconGap(int nItem)
{
    if (m_bStateIconGapMeasured) return;
    const auto hState = reinterpret_cast<HIMAGELIST>(m_list.DefaultProc(LVM_GETIMAGELIST, LVSIL_STATE));
    if (!hState)
    {
        m_list.m_nStateIconGap = 4;
        return;
    }
    RECT bounds{LVIR_BOUNDS, 0, 0, 0}, icon{LVIR_ICON, 0, 0, 0};
    int cx = 0, cy = 0;
    if (!m_list.DefaultProc(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&bounds)) ||
        !m_list.DefaultProc(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&icon)) ||
        !::ImageList_GetIconSize(hState, &cx, &cy))
        return;
    RECT cell0{};
    ::SendMessageW(m_list.GetHeaderHandle(), HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&cell0));
    const int stateArea = icon.left - (bounds.left + cell0.left);
    m_list.m_nStateIconGap = std::clamp(stateArea - cx, 0, 4);
    m_bStateIconGapMeasured = TRUE;
}

BOOL CListCellGeometry::GetStateIconRect(int nItem, CRect& rect)
{
    CRect cell;
    RECT icon{LVIR_ICON, 0, 0, 0};
    if (!GetSubItemRectEx(nItem, m_list.GetLabelColumn(), LVIR_BOUNDS, cell) ||
        !m_list.m_pListCtrl->SendMessage(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&icon)))
        return FALSE;
    MeasureStateIconGap(nItem);
    rect.SetRect(cell.left + m_list.m_nStateIconGap, cell.top, icon.left - 1, cell.bottom);
    return TRUE;
}

LRESULT CListCellGeometry::OnHitTest(WPARAM wParam, LPARAM lParam)
{
    return HitTestRefined(LVM_HITTEST, wParam, lParam);
}

LRESULT CListCellGeometry::OnSubItemHitTest(WPARAM wParam, LPARAM lParam)
{
    return HitTestRefined(LVM_SUBITEMHITTEST, wParam, lParam);
}

LRESULT CListCellGeometry::HitTestRefined(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* pInfo = reinterpret_cast<LVHITTESTINFO*>(lParam);
    if (!pInfo) return -1;
    const int row = static_cast<int>(m_list.DefaultProc(message, wParam, lParam));
    if (row < 0 || !(pInfo->flags & LVHT_ONITEM) || (m_list.GetListStyle() & LVS_TYPEMASK) != LVS_REPORT) return row;
    int column = -1;
    CRect bounds;
    for (int c = m_list.GetColumnCount() - 1; c >= 0 && column < 0; --c)
        if (GetSubItemRectEx(row, c, LVIR_BOUNDS, bounds) && bounds.PtInRect(pInfo->pt)) column = c;
    if (column < 0)
    {
        pInfo->flags = LVHT_NOWHERE;
        return row;
    }
    pInfo->iSubItem = column;
    CRect label, icon, state, rowBounds;
    const bool labelCell = column == m_list.GetLabelColumn();
    if (GetSubItemRectEx(row, column, LVIR_LABEL, label) && GetTextExtent(row, column, label).PtInRect(pInfo->pt))
        pInfo->flags = LVHT_ONITEMLABEL;
    else if (GetSubItemRectEx(row, column, LVIR_ICON, icon) && icon.PtInRect(pInfo->pt))
        pInfo->flags = LVHT_ONITEMICON;
    else if (labelCell && GetStateIconRect(row, state) && state.PtInRect(pInfo->pt))
        pInfo->flags = LVHT_ONITEMSTATEICON;
    else
    {
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        m_list.DefaultProc(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        rowBounds = r;
        pInfo->flags = rowBounds.PtInRect(pInfo->pt) && pInfo->pt.x >= rowBounds.left + m_list.m_nStateIconGap
                           ? LVHT_ONITEM
                           : LVHT_NOWHERE;
    }
    return row;
}

int CListCellGeometry::HitTestEx(CPoint point, int* pnColumn) const
{
    if (pnColumn) *pnColumn = 0;
    if (!m_list.m_pListCtrl || !m_list.m_pListCtrl->m_hWnd) return -1;
    if ((m_list.GetListStyle() & LVS_TYPEMASK) != LVS_REPORT) return m_list.m_pListCtrl->HitTest(point);
    const int top = static_cast<int>(m_list.DefaultProc(LVM_GETTOPINDEX));
    const int last =
        std::min(top + static_cast<int>(m_list.DefaultProc(LVM_GETCOUNTPERPAGE)), m_list.GetItemCountRaw() - 1);
    for (int row = top; row <= last; ++row)
    {
        RECT bounds{LVIR_BOUNDS, 0, 0, 0};
        if (!m_list.DefaultProc(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)) || !::PtInRect(&bounds, point))
            continue;
        for (int column = 0; column < m_list.GetColumnCount(); ++column)
        {
            CRect label;
            if (m_list.IsColumnInControl(column) && GetCellRect(row, column, LVIR_LABEL, label) &&
                label.PtInRect(point))
            {
                if (pnColumn) *pnColumn = column;
                break;
            }
        }
        return row;
    }
    return -1;
}

BOOL CListCellGeometry::GetCellRect(int nItem, int nColumn, int nArea, CRect& rect) const
{
    return m_list.m_pListCtrl ? m_list.m_pListCtrl->GetSubItemRect(nItem, nColumn, nArea, rect) : FALSE;
}
