// CListBase: owner drawing of rows, custom drawing of lists the control draws, grid lines, and
// the drawing of a row's parts (small image, state image, cell text).
#include "framework/CClientDC.h"
#include "framework/CDC.h"
#include "uikit/CListBase.h"
#include "uikit/CListRowPainter.h"
#include <algorithm>
#include <vector>

// ---- a row's parts --------------------------------------------------------------------------

void CListBase::DrawSmallIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect || pItem->iImage < 0) return;
    const auto hImages = reinterpret_cast<HIMAGELIST>(DefaultProc(LVM_GETIMAGELIST, LVSIL_SMALL));
    if (!hImages) return;
    const int cx = std::min(CListRowPainter::ImageSize(hImages, true), static_cast<int>(pRect->right - pRect->left) + 1);
    const int cy = std::min(CListRowPainter::ImageSize(hImages, false), static_cast<int>(pRect->bottom - pRect->top) + 1);
    UINT style = ILD_TRANSPARENT | (pItem->state & 0xF00);
    if (!m_hListTheme.IsValid() && (pItem->state & LVIS_SELECTED) && ::GetFocus() == m_pListCtrl->m_hWnd)
        style |= ILD_BLEND50;
    ::ImageList_DrawEx(hImages, pItem->iImage, pDC->GetSafeHdc(), pRect->left, pRect->top, cx, cy, CLR_NONE,
                       CLR_DEFAULT, style);
}

void CListBase::DrawStateIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect) return;
    const int image = static_cast<int>((pItem->state & LVIS_STATEIMAGEMASK) >> 12);
    const auto hImages = reinterpret_cast<HIMAGELIST>(DefaultProc(LVM_GETIMAGELIST, LVSIL_STATE));
    if (image == 0 || !hImages) return;
    const int height = CListRowPainter::ImageSize(hImages, false);
    const int cx = std::min(CListRowPainter::ImageSize(hImages, true), static_cast<int>(pRect->right - pRect->left) + 1);
    const int cy = std::min(height, static_cast<int>(pRect->bottom - pRect->top) + 1);
    int y = pRect->top;
    if (pRect->bottom - pRect->top > height + 2) y += (pRect->bottom - pRect->top - height) / 2;
    UINT style = ILD_TRANSPARENT;
    if (!m_hListTheme.IsValid() && (pItem->state & LVIS_SELECTED) && ::GetFocus() == m_pListCtrl->m_hWnd)
        style |= ILD_BLEND50;
    ::ImageList_DrawEx(hImages, image - 1, pDC->GetSafeHdc(), pRect->left, y, cx, cy, CLR_NONE, CLR_DEFAULT, style);
}

void CListBase::DrawSubItemText(CDC* pDC, LVITEMW* pItem, int nFormat, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect || !IsRealListText(pItem->pszText) || !*pItem->pszText) return;
    if (pRect->right <= pRect->left || pRect->bottom <= pRect->top) return;
    UINT flags = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
    if ((nFormat & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER)
        flags |= DT_CENTER;
    else if ((nFormat & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT)
        flags |= DT_RIGHT;
    ::DrawTextW(pDC->GetSafeHdc(), pItem->pszText, -1, pRect, flags);
}

void CListBase::FitTextToWidth(CString& strText, CDC* pDC, const CRect& rect)
{
    if (strText.IsEmpty() || !pDC) return;
    auto widthOf = [pDC](const std::wstring& text) {
        RECT r{0, 0, 0, 0};
        ::DrawTextW(pDC->GetSafeHdc(), text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return static_cast<int>(r.right - r.left);
    };
    std::wstring text = static_cast<LPCWSTR>(strText);
    if (widthOf(text) <= rect.Width()) return;
    text += L"...";
    // One character before the dots at a time; "a..." is the shortest.
    while (text.size() > 4 && widthOf(text) > rect.Width())
        text.erase(text.size() - 4, 1);
    strText = text.c_str();
}

void CListBase::EraseRect(CDC* pDC, const CRect& rect)
{
    if (rect.IsRectEmpty()) return;
    const HDC hDC = pDC->GetSafeHdc();
    const int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, rect.left, rect.top, rect.right, rect.bottom);
    m_pListCtrl->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC));
    ::RestoreDC(hDC, saved);
}

// ---- owner drawing --------------------------------------------------------------------------

void CListBase::DrawListItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (!lpDIS || !m_pListCtrl || !m_pListCtrl->m_hWnd) return;
    CListRowPainter(*this, *lpDIS).Paint();
}

// ---- custom drawing -------------------------------------------------------------------------

void CListBase::RepaintCustomDrawIcons(NMLVCUSTOMDRAW* pDraw)
{
    const int row = static_cast<int>(pDraw->nmcd.dwItemSpec);
    const int c = GetLogicalIndex(pDraw->iSubItem);
    if (c < 0) return;
    CDC* pDC = CDC::FromHandle(pDraw->nmcd.hdc);
    const bool subItemImages = (m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) != 0;
    CRect icon, cell;
    if (!GetSubItemRectEx(row, c, LVIR_ICON, icon) || !GetSubItemRectEx(row, c, LVIR_BOUNDS, cell)) return;
    const bool displayedFirst = GetDisplayedFirstColumn() == c;
    if (c != 0)
        icon.left -= m_nStateIconGap;
    else if (IsVisualStyleLevel2() && displayedFirst && subItemImages)
        icon.left -= 2;
    const UINT state = static_cast<UINT>(DefaultProc(LVM_GETITEMSTATE, row, static_cast<WPARAM>(-1)));
    const bool selected = (state & LVIS_SELECTED) != 0;
    const bool focused = ::GetFocus() == m_pListCtrl->m_hWnd;
    if ((m_dwExtendedStyle & LVS_EX_FULLROWSELECT) && !displayedFirst && selected &&
        (focused || (GetListStyle() & LVS_SHOWSELALWAYS)))
    {
        const bool hot = focused && row == m_nActivationHotItem &&
                         (m_dwExtendedStyle & (LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE));
        const COLORREF color = hot ? m_crHotColor : ::GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
        CRect area(cell.left, icon.top, icon.right, icon.bottom);
        pDC->FillSolidRect(&area, color);
    }
    else
        EraseRect(pDC, icon);
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = row;
    item.iSubItem = c;
    item.stateMask = static_cast<UINT>(-1);
    m_pListCtrl->SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.state = state;
    CRect stateRect;
    if (c == 0 && cell.Width() > m_nStateIconGap && GetStateIconRect(row, stateRect))
        DrawStateIcon(pDC, &item, &stateRect);
    if (c == 0 || (subItemImages && item.iImage >= 0))
    {
        const HDC hDC = pDraw->nmcd.hdc;
        const int saved = ::SaveDC(hDC);
        ::IntersectClipRect(hDC, cell.left, cell.top, cell.right, cell.bottom);
        DrawSmallIcon(pDC, &item, &icon);
        ::RestoreDC(hDC, saved);
    }
}

BOOL CListBase::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* pDraw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
    if (IsOwnerDrawn()) return FALSE;
    if (m_bCustomDrawOff)
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
        if (m_bBkImage && !(m_dwExtendedStyle & LVS_EX_DOUBLEBUFFER)) *pResult |= CDRF_NOTIFYPOSTPAINT;
        return TRUE;
    case CDDS_ITEMPOSTPAINT: {
        // Under a background image a row that lost its selection keeps its old face: repaint it.
        const bool paintedSelected = (pDraw->nmcd.uItemState & CDIS_SELECTED) != 0;
        auto invalidate = [this](int item) {
            RECT r{LVIR_BOUNDS, 0, 0, 0};
            if (DefaultProc(LVM_ISITEMVISIBLE, item) &&
                DefaultProc(LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)))
                m_pListCtrl->InvalidateRect(&r);
        };
        auto& rows = m_postPaintItems;
        if (paintedSelected)
        {
            if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
            for (auto it = rows.begin(); it != rows.end();)
                if (*it != row && !(DefaultProc(LVM_GETITEMSTATE, *it, LVIS_SELECTED) & LVIS_SELECTED))
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
        const int c = GetLogicalIndex(pDraw->iSubItem);
        const int sortIndex = std::abs(m_nSortColumn) - 1;
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iSubItem = c;
        const bool hasImage = (m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) && c > 0 &&
                              m_pListCtrl->SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
                              item.iImage >= 0;
        const LRESULT postPaint = c == 0 || hasImage ? CDRF_NOTIFYPOSTPAINT : 0;
        if (m_bColorSortColumn && m_nSortColumn != 0 && c == sortIndex && IsColumnInControl(sortIndex))
        {
            pDraw->clrTextBk = m_crSortTint;
            *pResult = CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
        }
        else
        {
            if (m_pListCtrl->IsWindowEnabled()) pDraw->clrTextBk = GetListBkColor();
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

// ---- grid lines -----------------------------------------------------------------------------

void CListBase::DrawGridLines(CDC* pDC)
{
    if (!pDC || !m_pListCtrl) return;
    const HWND hHeader = GetHeaderHandle();
    CRect client, header;
    m_pListCtrl->GetClientRect(&client);
    ::GetWindowRect(hHeader, &header);
    m_pListCtrl->ScreenToClient(&header);
    const int top = ::IsWindowVisible(hHeader) ? static_cast<int>(header.bottom) : client.top;
    const int scroll = m_pListCtrl->GetScrollPos(SB_HORZ);
    const HDC hDC = pDC->GetSafeHdc();
    CGdiHandle<HPEN> pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNFACE)));
    CGdiSelectionHandle keep({hDC, ::SelectObject(hDC, pen.Get())});
    const int count = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    for (int order = 0; order < count; ++order)
    {
        RECT item{};
        const int physical = static_cast<int>(::SendMessageW(hHeader, HDM_ORDERTOINDEX, order, 0));
        if (!::SendMessageW(hHeader, HDM_GETITEMRECT, physical, reinterpret_cast<LPARAM>(&item))) continue;
        const int x = item.right - 1 - scroll;
        if (x >= client.right) break;
        ::MoveToEx(hDC, x, top, nullptr);
        ::LineTo(hDC, x, client.bottom);
    }
}

void CListBase::OnListPaint()
{
    DefaultProc(WM_PAINT);
    if (!m_bGridLines || m_bBkImage) return;
    CClientDC dc(m_pListCtrl);
    DrawGridLines(&dc);
}
