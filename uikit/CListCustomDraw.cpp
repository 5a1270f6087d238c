#include "uikit/CListCustomDraw.h"
#include "framework/CDC.h"
#include "uikit/CListBase.h"
#include <algorithm>

CListCustomDraw::CListCustomDraw(CListBase& list) : m_list(list) {}

void CListCustomDraw::RepaintCustomDrawIcons(NMLVCUSTOMDRAW* pDraw)
{
    const int row = static_cast<int>(pDraw->nmcd.dwItemSpec);
    const int c = m_list.GetLogicalIndex(pDraw->iSubItem);
    if (c < 0) return;
    CDC* pDC = CDC::FromHandle(pDraw->nmcd.hdc);
    const bool subItemImages = (m_list.m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) != 0;
    CRect icon, cell;
    if (!m_list.m_geometry.GetSubItemRectEx(row, c, LVIR_ICON, icon) ||
        !m_list.m_geometry.GetSubItemRectEx(row, c, LVIR_BOUNDS, cell))
        return;
    const bool displayedFirst = m_list.GetDisplayedFirstColumn() == c;
    if (c != 0)
        icon.left -= m_list.m_nStateIconGap;
    else if (m_list.IsVisualStyleLevel2() && displayedFirst && subItemImages)
        icon.left -= 2;
    const UINT state = static_cast<UINT>(m_list.DefaultProc(LVM_GETITEMSTATE, row, static_cast<WPARAM>(-1)));
    const bool selected = (state & LVIS_SELECTED) != 0;
    const bool focused = ::GetFocus() == m_list.m_pListCtrl->m_hWnd;
    if ((m_list.m_dwExtendedStyle & LVS_EX_FULLROWSELECT) && !displayedFirst && selected &&
        (focused || (m_list.GetListStyle() & LVS_SHOWSELALWAYS)))
    {
        const bool hot = focused && row == m_list.m_nActivationHotItem &&
                         (m_list.m_dwExtendedStyle & (LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE));
        const COLORREF color = hot ? m_list.m_crHotColor : ::GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
        CRect area(cell.left, icon.top, icon.right, icon.bottom);
        pDC->FillSolidRect(&area, color);
    }
    else
        m_list.EraseRect(pDC, icon);
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = row;
    item.iSubItem = c;
    item.stateMask = static_cast<UINT>(-1);
    m_list.m_pListCtrl->SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.state = state;
    CRect stateRect;
    if (c == 0 && cell.Width() > m_list.m_nStateIconGap && m_list.m_geometry.GetStateIconRect(row, stateRect))
        m_list.DrawStateIcon(pDC, &item, &stateRect);
    if (c == 0 || (subItemImages && item.iImage >= 0))
    {
        const HDC hDC = pDraw->nmcd.hdc;
        const int saved = ::SaveDC(hDC);
        ::IntersectClipRect(hDC, cell.left, cell.top, cell.right, cell.bottom);
        m_list.DrawSmallIcon(pDC, &item, &icon);
        ::RestoreDC(hDC, saved);
    }
}

BOOL CListCustomDraw::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* pDraw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
    if (m_list.IsOwnerDrawn()) return FALSE;
    if (m_list.m_bCustomDrawOff)
    {
        *pResult = CDRF_DODEFAULT;
        return TRUE;
    }
    const DWORD stage = pDraw->nmcd.dwDrawStage;
    const int row = static_cast<int>(pDraw->nmcd.dwItemSpec);
    switch (stage)
    {
    case CDDS_PREPAINT:
        *pResult = CDRF_NOTIFYITEMDRAW;
        return TRUE;
    case CDDS_ITEMPREPAINT:
        *pResult = CDRF_NOTIFYSUBITEMDRAW;
        if (m_list.m_bBkImage && !(m_list.m_dwExtendedStyle & LVS_EX_DOUBLEBUFFER)) *pResult |= CDRF_NOTIFYPOSTPAINT;
        return TRUE;
    case CDDS_ITEMPOSTPAINT: {
        // Under a background image a row that lost its selection keeps its old face: repaint it.
        const bool paintedSelected = (pDraw->nmcd.uItemState & CDIS_SELECTED) != 0;
        auto invalidate = [this](int item) {
            RECT r{LVIR_BOUNDS, 0, 0, 0};
            if (m_list.DefaultProc(LVM_ISITEMVISIBLE, item) &&
                m_list.DefaultProc(LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)))
                m_list.m_pListCtrl->InvalidateRect(&r);
        };
        auto& rows = m_postPaintItems;
        if (paintedSelected)
        {
            if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
            for (auto it = rows.begin(); it != rows.end();)
                if (*it != row && !(m_list.DefaultProc(LVM_GETITEMSTATE, *it, LVIS_SELECTED) & LVIS_SELECTED))
                {
                    invalidate(*it);
                    it = rows.erase(it);
                }
                else
                    ++it;
        }
        else if (auto it = std::find(rows.begin(), rows.end(), row); it != rows.end())
        {
            invalidate(row);
            rows.erase(it);
        }
        *pResult = CDRF_DODEFAULT;
        return TRUE;
    }
    case CDDS_SUBITEM | CDDS_ITEMPREPAINT: {
        const int c = m_list.GetLogicalIndex(pDraw->iSubItem);
        const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iSubItem = c;
        const bool hasImage = (m_list.m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) && c > 0 &&
                              m_list.m_pListCtrl->SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
                              item.iImage >= 0;
        const LRESULT postPaint = c == 0 || hasImage ? CDRF_NOTIFYPOSTPAINT : 0;
        if (m_list.m_bColorSortColumn && m_list.m_nSortColumn != 0 && c == sortIndex &&
            m_list.IsColumnInControl(sortIndex))
        {
            pDraw->clrTextBk = m_list.m_crSortTint;
            *pResult = CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
        }
        else
        {
            if (m_list.m_pListCtrl->IsWindowEnabled()) pDraw->clrTextBk = m_list.m_background.GetListBkColor();
            *pResult = CDRF_NEWFONT | postPaint;
        }
        return TRUE;
    }
    case CDDS_SUBITEM | CDDS_ITEMPOSTPAINT:
        RepaintCustomDrawIcons(pDraw);
        *pResult = CDRF_DODEFAULT;
        return TRUE;
    default:
        *pResult = CDRF_DODEFAULT;
        return TRUE;
    }
}
