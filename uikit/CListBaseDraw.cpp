// CListBase: owner drawing of rows, custom drawing of lists the control draws, grid lines, and
// the drawing of a row's parts (small image, state image, cell text).
#include "framework/CClientDC.h"
#include "framework/CDC.h"
#include "uikit/CListBase.h"
#include <algorithm>
#include <vector>

namespace
{
// Parts and states of the "ListView" theme (vssym32.h values).
constexpr int kListItemPart = 1; // LVP_LISTITEM
constexpr int kHot = 2;          // LISS_HOT
constexpr int kSelected = 3;     // LISS_SELECTED
constexpr int kSelectedNotFocus = 5;
constexpr int kHotSelected = 6;

// Reads a cell through the list (logical column), the text buffer doubling until the text fits.
bool ReadCell(CListCtrl& list, int nItem, int nColumn, UINT nMask, LVITEMW& item, std::vector<wchar_t>& text)
{
    text.resize(128);
    for (;;)
    {
        item = LVITEMW{};
        item.mask = nMask | LVIF_TEXT;
        item.iItem = nItem;
        item.iSubItem = nColumn;
        item.stateMask = static_cast<UINT>(-1);
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        if (!list.SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
        if (item.pszText != text.data()) return true; // a text of the control's own
        if (::lstrlenW(text.data()) < static_cast<int>(text.size()) - 1 || text.size() >= (1u << 16)) return true;
        text.resize(text.size() * 2);
    }
}

int ImageSize(HIMAGELIST hImages, bool bWidth)
{
    int cx = 0, cy = 0;
    if (!hImages || !::ImageList_GetIconSize(hImages, &cx, &cy)) return 0;
    return bWidth ? cx : cy;
}
} // namespace

// ---- a row's parts --------------------------------------------------------------------------

void CListBase::DrawSmallIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect || pItem->iImage < 0) return;
    const auto hImages = reinterpret_cast<HIMAGELIST>(DefaultProc(LVM_GETIMAGELIST, LVSIL_SMALL));
    if (!hImages) return;
    const int cx = std::min(ImageSize(hImages, true), static_cast<int>(pRect->right - pRect->left) + 1);
    const int cy = std::min(ImageSize(hImages, false), static_cast<int>(pRect->bottom - pRect->top) + 1);
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
    const int height = ImageSize(hImages, false);
    const int cx = std::min(ImageSize(hImages, true), static_cast<int>(pRect->right - pRect->left) + 1);
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
    const int row = static_cast<int>(lpDIS->itemID);
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    const HDC hDC = lpDIS->hDC;
    CListCtrl& list = *m_pListCtrl;

    // 1. and 2.: the row and its states.
    LVITEMW rowItem{};
    std::vector<wchar_t> rowText;
    if (!ReadCell(list, row, 0, LVIF_IMAGE | LVIF_PARAM | LVIF_STATE, rowItem, rowText)) return;
    const DWORD style = GetListStyle();
    const bool listFocus = ::GetFocus() == list.m_hWnd;
    const bool selected = (rowItem.state & LVIS_SELECTED) != 0;
    const bool focused = (rowItem.state & LVIS_FOCUSED) && listFocus;
    const bool highlight = selected && (listFocus || (style & LVS_SHOWSELALWAYS));
    const bool selectedFocus = selected && listFocus;
    const bool fullRow = (m_dwExtendedStyle & LVS_EX_FULLROWSELECT) != 0;
    const HTHEME hTheme = m_hListTheme.Get();
    const bool themeHot = hTheme && row == m_nThemeHotItem;
    const int themeState = highlight && themeHot ? kHotSelected
                           : selectedFocus       ? kSelected
                           : themeHot            ? kHot
                                                 : kSelectedNotFocus;

    // 3.: colours without theme.
    COLORREF fill = CLR_NONE;
    if (selectedFocus)
        fill = row == m_nActivationHotItem ? m_crHotColor : ::GetSysColor(COLOR_HIGHLIGHT);
    else if (selected && (style & LVS_SHOWSELALWAYS))
        fill = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF background = GetListBkColor();

    // 4.: the underlined font of hot rows.
    const bool hotFont = ((m_dwExtendedStyle & LVS_EX_TWOCLICKACTIVATE) && selected) ||
                         ((m_dwExtendedStyle & LVS_EX_ONECLICKACTIVATE) && (m_dwExtendedStyle & LVS_EX_UNDERLINEHOT) &&
                          row == m_nActivationHotItem);
    HFONT hListFont = list.GetFontHandle();
    if (!hListFont) hListFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    CGdiHandle<HFONT> underline;
    if (hotFont)
    {
        LOGFONTW font{};
        ::GetObjectW(hListFont, sizeof font, &font);
        font.lfUnderline = TRUE;
        underline.Attach(::CreateFontIndirectW(&font));
    }
    CGdiSelectionHandle keepFont(
        {hDC, ::SelectObject(hDC, hotFont && fullRow && underline.IsValid() ? static_cast<HGDIOBJ>(underline.Get())
                                                                            : static_cast<HGDIOBJ>(hListFont))});
    const int savedBkMode = ::SetBkMode(hDC, OPAQUE);

    RECT boundsRect{LVIR_BOUNDS, 0, 0, 0};
    if (!DefaultProc(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&boundsRect))) boundsRect = lpDIS->rcItem;
    const CRect bounds(boundsRect);
    const int labelColumn = GetLabelColumn();
    const int scroll = list.GetScrollPos(SB_HORZ);
    CRect highlightArea;
    COLORREF rowTextColor = ::GetSysColor(COLOR_WINDOWTEXT);
    bool rowFilled = false;

    // 5.: the full-row background.
    if (fullRow)
    {
        CRect area = bounds;
        if (!hTheme && GetDisplayedFirstColumn() == labelColumn)
        {
            CRect label;
            const int firstWidth = GetColumnWidthEx(GetDisplayedFirstColumn());
            if (GetSubItemRectEx(row, labelColumn, LVIR_LABEL, label))
            {
                if (scroll + label.left > 2) label.left += 2;
                area.left = std::min(static_cast<int>(label.left), static_cast<int>(bounds.left) + firstWidth);
                EraseRect(pDC, CRect(bounds.left, bounds.top, area.left, bounds.bottom));
            }
        }
        if (!hTheme && highlight && fill != CLR_NONE)
        {
            pDC->FillSolidRect(&area, fill);
            ::SetBkColor(hDC, fill);
            rowTextColor = selectedFocus ? ::GetSysColor(COLOR_HIGHLIGHTTEXT)
                           : hotFont     ? m_crHotColor
                                         : ::GetSysColor(COLOR_WINDOWTEXT);
            rowFilled = true;
        }
        else if (hTheme && (highlight || themeHot))
        {
            GetUxThemeLibrary().DrawThemeBackground(hTheme, hDC, kListItemPart, themeState, &area, nullptr);
            rowFilled = true;
        }
        highlightArea = area;
    }

    // 6.: the cells in display order, side by side from the row's left edge.
    const HWND hHeader = GetHeaderHandle();
    const int headerCount = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    int x = bounds.left;
    LVITEMW cellItem{};
    std::vector<wchar_t> cellText;
    for (int order = 0; order < headerCount; ++order)
    {
        const int physical = static_cast<int>(::SendMessageW(hHeader, HDM_ORDERTOINDEX, order, 0));
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_FMT;
        if (!DefaultProc(LVM_GETCOLUMNW, physical, reinterpret_cast<LPARAM>(&column))) break;
        const int c = GetLogicalIndex(physical);
        const CRect cell(x, bounds.top, x + column.cx, bounds.bottom);
        x += column.cx;
        if (c < 0) break;
        // a.
        LVITEMW* pCell = &rowItem;
        if (c != 0)
        {
            if (!ReadCell(list, row, c, LVIF_IMAGE, cellItem, cellText)) continue;
            pCell = &cellItem;
        }
        pCell->state = rowItem.state;
        const bool isLabel = c == labelColumn;
        const bool cellImage =
            (m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) && (pCell->mask & LVIF_IMAGE) && pCell->iImage >= 0;
        // b.
        CRect label, textRect;
        GetSubItemRectEx(row, c, LVIR_LABEL, label);
        if (isLabel)
        {
            textRect = label;
            if (scroll + textRect.left > 2) textRect.left += 2;
            textRect.right -= c == 0 ? 2 : 6;
        }
        else
        {
            textRect = cell;
            textRect.DeflateRect(6, 0);
            if (!m_bKeepLabelLeft && cellImage)
                textRect.left +=
                    ImageSize(reinterpret_cast<HIMAGELIST>(DefaultProc(LVM_GETIMAGELIST, LVSIL_SMALL)), true);
        }
        COLORREF textColor = rowFilled ? rowTextColor : ::GetSysColor(COLOR_WINDOWTEXT);
        // c. and d.
        if (!fullRow && isLabel && (highlight || focused))
        {
            CRect area = cell;
            if (!hTheme)
            {
                area = GetTextExtent(row, c, label);
                area.top = cell.top;
                area.bottom = cell.bottom;
            }
            EraseRect(pDC, CRect(cell.left, cell.top, area.left, cell.bottom));
            EraseRect(pDC, CRect(area.right, cell.top, cell.right, cell.bottom));
            if (!hTheme && highlight && fill != CLR_NONE)
            {
                pDC->FillSolidRect(&area, fill);
                ::SetBkColor(hDC, fill);
                textColor = selectedFocus ? ::GetSysColor(COLOR_HIGHLIGHTTEXT)
                            : hotFont     ? m_crHotColor
                                          : ::GetSysColor(COLOR_WINDOWTEXT);
            }
            else if (hTheme && (highlight || themeHot))
                GetUxThemeLibrary().DrawThemeBackground(hTheme, hDC, kListItemPart, themeState, &area, nullptr);
            else
            {
                EraseRect(pDC, area);
                ::SetBkColor(hDC, background);
            }
            highlightArea = area;
        }
        else if (!rowFilled)
        {
            EraseRect(pDC, cell);
            const bool tinted = m_bColorSortColumn && m_nSortColumn != 0 && c == std::abs(m_nSortColumn) - 1;
            ::SetBkColor(hDC, tinted ? m_crSortTint : background);
            textColor = hotFont ? m_crHotColor : ::GetSysColor(COLOR_WINDOWTEXT);
        }
        ::SetTextColor(hDC, textColor);
        if (hotFont && !fullRow && isLabel && underline.IsValid()) ::SelectObject(hDC, underline.Get());
        // e.
        CRect stateRect;
        if (isLabel && GetStateIconRect(row, stateRect)) DrawStateIcon(pDC, pCell, &stateRect);
        // f.: the image as the program supplies it now (its parent, or the view's override).
        CRect iconRect;
        if ((isLabel || cellImage) && GetSubItemRectEx(row, c, LVIR_ICON, iconRect))
        {
            NMLVDISPINFOW info{};
            info.hdr.hwndFrom = list.m_hWnd;
            info.hdr.idFrom = static_cast<UINT_PTR>(list.GetDlgCtrlID());
            info.hdr.code = LVN_GETDISPINFOW;
            info.item.mask = LVIF_IMAGE;
            info.item.iItem = row;
            info.item.iSubItem = physical;
            info.item.iImage = pCell->iImage;
            LVITEMW param{};
            param.mask = LVIF_PARAM;
            param.iItem = row;
            DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&param));
            info.item.lParam = param.lParam;
            LRESULT ignored = 0;
            OnGetDispInfo(&info.hdr, &ignored);
            pCell->iImage = info.item.iImage;
            DrawSmallIcon(pDC, pCell, &iconRect);
        }
        // g. and h.
        DrawSubItemText(pDC, pCell, isLabel && c == 0 ? m_nLabelAlign : column.fmt, &textRect);
        if (hotFont && !fullRow && isLabel) ::SelectObject(hDC, hListFont);
    }

    // 7.
    ::SetBkMode(hDC, savedBkMode);
    keepFont.Close();
    if (focused && !highlightArea.IsRectEmpty())
    {
        CRect focus = highlightArea;
        if (hTheme && focus.Width() > 1 && focus.Height() > 1) focus.DeflateRect(1, 1);
        ::SetTextColor(hDC, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(hDC, background);
        pDC->DrawFocusRect(&focus);
    }
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
