#include "uikit/CListRowPainter.h"
#include "framework/CDC.h"
#include "uikit/CListBase.h"
#include <algorithm>
#include <cstdlib>

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
} // namespace

int CListRowPainter::ImageSize(HIMAGELIST hImages, bool bWidth)
{
    int cx = 0, cy = 0;
    if (!hImages || !::ImageList_GetIconSize(hImages, &cx, &cy)) return 0;
    return bWidth ? cx : cy;
}

CListRowPainter::CListRowPainter(CListBase& list, const DRAWITEMSTRUCT& drawItem)
    : m_base(list), m_list(*list.m_pListCtrl), m_drawItem(drawItem), m_nRow(static_cast<int>(drawItem.itemID)),
      m_pDC(CDC::FromHandle(drawItem.hDC)), m_hDC(drawItem.hDC)
{
}

void CListRowPainter::Paint()
{
    if (!ReadRowAndStates()) return;
    ChooseHighlightColours();
    SelectRowFont();
    const int savedBkMode = ::SetBkMode(m_hDC, OPAQUE);
    MeasureRow();
    if (m_bFullRow) FillFullRowBackground();
    DrawCellsInDisplayOrder();
    ::SetBkMode(m_hDC, savedBkMode);
    m_keepFont.Close();
    DrawFocusRectangle();
}

bool CListRowPainter::ReadRowAndStates()
{
    if (!ReadCell(m_list, m_nRow, 0, LVIF_IMAGE | LVIF_PARAM | LVIF_STATE, m_rowItem, m_rowText)) return false;
    m_dwStyle = m_base.GetListStyle();
    const bool listFocus = ::GetFocus() == m_list.m_hWnd;
    m_bSelected = (m_rowItem.state & LVIS_SELECTED) != 0;
    m_bFocused = (m_rowItem.state & LVIS_FOCUSED) && listFocus;
    m_bHighlight = m_bSelected && (listFocus || (m_dwStyle & LVS_SHOWSELALWAYS));
    m_bSelectedFocus = m_bSelected && listFocus;
    m_bFullRow = (m_base.m_dwExtendedStyle & LVS_EX_FULLROWSELECT) != 0;
    m_hTheme = m_base.m_hListTheme.Get();
    m_bThemeHot = m_hTheme && m_nRow == m_base.m_nThemeHotItem;
    m_nThemeState = m_bHighlight && m_bThemeHot ? kHotSelected
                    : m_bSelectedFocus          ? kSelected
                    : m_bThemeHot               ? kHot
                                                : kSelectedNotFocus;
    return true;
}

// The colours without a theme.
void CListRowPainter::ChooseHighlightColours()
{
    if (m_bSelectedFocus)
        m_crFill = m_nRow == m_base.m_nActivationHotItem ? m_base.m_crHotColor : ::GetSysColor(COLOR_HIGHLIGHT);
    else if (m_bSelected && (m_dwStyle & LVS_SHOWSELALWAYS))
        m_crFill = ::GetSysColor(COLOR_BTNFACE);
    m_crBackground = m_base.m_background.GetListBkColor();
}

void CListRowPainter::SelectRowFont()
{
    const DWORD exStyle = m_base.m_dwExtendedStyle;
    m_bHotFont = ((exStyle & LVS_EX_TWOCLICKACTIVATE) && m_bSelected) ||
                 ((exStyle & LVS_EX_ONECLICKACTIVATE) && (exStyle & LVS_EX_UNDERLINEHOT) &&
                  m_nRow == m_base.m_nActivationHotItem);
    m_hListFont = m_list.GetFontHandle();
    if (!m_hListFont) m_hListFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (m_bHotFont)
    {
        LOGFONTW font{};
        ::GetObjectW(m_hListFont, sizeof font, &font);
        font.lfUnderline = TRUE;
        m_underline.Attach(::CreateFontIndirectW(&font));
    }
    // Without full-row selection only the label cell is underlined (DrawCell switches to it).
    const bool underlineRow = m_bHotFont && m_bFullRow && m_underline.IsValid();
    m_keepFont.Attach({m_hDC, ::SelectObject(m_hDC, underlineRow ? static_cast<HGDIOBJ>(m_underline.Get())
                                                                 : static_cast<HGDIOBJ>(m_hListFont))});
}

void CListRowPainter::MeasureRow()
{
    RECT boundsRect{LVIR_BOUNDS, 0, 0, 0};
    if (!m_base.DefaultProc(LVM_GETITEMRECT, m_nRow, reinterpret_cast<LPARAM>(&boundsRect)))
        boundsRect = m_drawItem.rcItem;
    m_bounds = CRect(boundsRect);
    m_nLabelColumn = m_base.GetLabelColumn();
    m_nScroll = m_list.GetScrollPos(SB_HORZ);
    m_crRowText = ::GetSysColor(COLOR_WINDOWTEXT);
}

COLORREF CListRowPainter::HighlightTextColour() const
{
    return m_bSelectedFocus ? ::GetSysColor(COLOR_HIGHLIGHTTEXT)
           : m_bHotFont     ? m_base.m_crHotColor
                            : ::GetSysColor(COLOR_WINDOWTEXT);
}

void CListRowPainter::FillFullRowBackground()
{
    CRect area = m_bounds;
    const int firstColumn = m_base.GetDisplayedFirstColumn();
    if (!m_hTheme && firstColumn == m_nLabelColumn)
    {
        // Left of the label (the indent and the state image) keeps the list's background.
        CRect label;
        const int firstWidth = m_base.GetColumnWidthEx(firstColumn);
        if (m_base.m_geometry.GetSubItemRectEx(m_nRow, m_nLabelColumn, LVIR_LABEL, label))
        {
            if (m_nScroll + label.left > 2) label.left += 2;
            area.left = std::min(static_cast<int>(label.left), static_cast<int>(m_bounds.left) + firstWidth);
            m_base.EraseRect(m_pDC, CRect(m_bounds.left, m_bounds.top, area.left, m_bounds.bottom));
        }
    }
    if (!m_hTheme && m_bHighlight && m_crFill != CLR_NONE)
    {
        m_pDC->FillSolidRect(&area, m_crFill);
        ::SetBkColor(m_hDC, m_crFill);
        m_crRowText = HighlightTextColour();
        m_bRowFilled = true;
    }
    else if (m_hTheme && (m_bHighlight || m_bThemeHot))
    {
        GetUxThemeLibrary().DrawThemeBackground(m_hTheme, m_hDC, kListItemPart, m_nThemeState, &area, nullptr);
        m_bRowFilled = true;
    }
    m_highlightArea = area;
}

// Side by side from the row's left edge, in the header's order.
void CListRowPainter::DrawCellsInDisplayOrder()
{
    const HWND hHeader = m_base.GetHeaderHandle();
    const int headerCount = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    int x = m_bounds.left;
    for (int order = 0; order < headerCount; ++order)
    {
        CELL cell;
        cell.nPhysical = static_cast<int>(::SendMessageW(hHeader, HDM_ORDERTOINDEX, order, 0));
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_FMT;
        if (!m_base.DefaultProc(LVM_GETCOLUMNW, cell.nPhysical, reinterpret_cast<LPARAM>(&column))) break;
        cell.nColumn = m_base.GetLogicalIndex(cell.nPhysical);
        cell.nFormat = column.fmt;
        cell.area = CRect(x, m_bounds.top, x + column.cx, m_bounds.bottom);
        x += column.cx;
        if (cell.nColumn < 0) break;
        DrawCell(cell);
    }
}

void CListRowPainter::DrawCell(CELL& cell)
{
    if (!ReadCellItem(cell)) return;
    ComputeTextRect(cell);
    ::SetTextColor(m_hDC, PaintCellBackground(cell));
    const bool underlineCell = m_bHotFont && !m_bFullRow && cell.bLabel;
    if (underlineCell && m_underline.IsValid()) ::SelectObject(m_hDC, m_underline.Get());
    DrawCellStateIcon(cell);
    DrawCellImage(cell);
    DrawCellText(cell);
    if (underlineCell) ::SelectObject(m_hDC, m_hListFont);
}

// Column 0's cell is the row item read already; the others are read now. Every cell shows the
// row's states.
bool CListRowPainter::ReadCellItem(CELL& cell)
{
    cell.pItem = &m_rowItem;
    if (cell.nColumn != 0)
    {
        if (!ReadCell(m_list, m_nRow, cell.nColumn, LVIF_IMAGE, m_cellItem, m_cellText)) return false;
        cell.pItem = &m_cellItem;
    }
    cell.pItem->state = m_rowItem.state;
    cell.bLabel = cell.nColumn == m_nLabelColumn;
    cell.bImage =
        (m_base.m_dwExtendedStyle & LVS_EX_SUBITEMIMAGES) && (cell.pItem->mask & LVIF_IMAGE) && cell.pItem->iImage >= 0;
    return true;
}

void CListRowPainter::ComputeTextRect(CELL& cell) const
{
    m_base.m_geometry.GetSubItemRectEx(m_nRow, cell.nColumn, LVIR_LABEL, cell.label);
    if (cell.bLabel)
    {
        cell.text = cell.label;
        if (m_nScroll + cell.text.left > 2) cell.text.left += 2;
        cell.text.right -= cell.nColumn == 0 ? 2 : 6;
        return;
    }
    cell.text = cell.area;
    cell.text.DeflateRect(6, 0);
    if (!m_base.m_bKeepLabelLeft && cell.bImage)
        cell.text.left +=
            ImageSize(reinterpret_cast<HIMAGELIST>(m_base.DefaultProc(LVM_GETIMAGELIST, LVSIL_SMALL)), true);
}

// Without full-row selection, the label cell of a highlighted or focused row is highlighted
// around its text alone; other cells of an unfilled row get the list's background, tinted in
// the sort column. The colour the cell's text takes.
COLORREF CListRowPainter::PaintCellBackground(const CELL& cell)
{
    if (!m_bFullRow && cell.bLabel && (m_bHighlight || m_bFocused))
    {
        COLORREF textColor = m_bRowFilled ? m_crRowText : ::GetSysColor(COLOR_WINDOWTEXT);
        CRect area = cell.area;
        if (!m_hTheme)
        {
            area = m_base.m_geometry.GetTextExtent(m_nRow, cell.nColumn, cell.label);
            area.top = cell.area.top;
            area.bottom = cell.area.bottom;
        }
        m_base.EraseRect(m_pDC, CRect(cell.area.left, cell.area.top, area.left, cell.area.bottom));
        m_base.EraseRect(m_pDC, CRect(area.right, cell.area.top, cell.area.right, cell.area.bottom));
        if (!m_hTheme && m_bHighlight && m_crFill != CLR_NONE)
        {
            m_pDC->FillSolidRect(&area, m_crFill);
            ::SetBkColor(m_hDC, m_crFill);
            textColor = HighlightTextColour();
        }
        else if (m_hTheme && (m_bHighlight || m_bThemeHot))
            GetUxThemeLibrary().DrawThemeBackground(m_hTheme, m_hDC, kListItemPart, m_nThemeState, &area, nullptr);
        else
        {
            m_base.EraseRect(m_pDC, area);
            ::SetBkColor(m_hDC, m_crBackground);
        }
        m_highlightArea = area;
        return textColor;
    }
    if (m_bRowFilled) return m_crRowText;
    m_base.EraseRect(m_pDC, cell.area);
    const int sortColumn = m_base.m_nSortColumn;
    const bool tinted = m_base.m_bColorSortColumn && sortColumn != 0 && cell.nColumn == std::abs(sortColumn) - 1;
    ::SetBkColor(m_hDC, tinted ? m_base.m_crSortTint : m_crBackground);
    return m_bHotFont ? m_base.m_crHotColor : ::GetSysColor(COLOR_WINDOWTEXT);
}

void CListRowPainter::DrawCellStateIcon(const CELL& cell)
{
    CRect stateRect;
    if (cell.bLabel && m_base.GetStateIconRect(m_nRow, stateRect)) m_base.DrawStateIcon(m_pDC, cell.pItem, &stateRect);
}

// The image as the program supplies it now (its parent, or the view's override).
void CListRowPainter::DrawCellImage(const CELL& cell)
{
    CRect iconRect;
    if (!(cell.bLabel || cell.bImage) || !m_base.m_geometry.GetSubItemRectEx(m_nRow, cell.nColumn, LVIR_ICON, iconRect))
        return;
    NMLVDISPINFOW info{};
    info.hdr.hwndFrom = m_list.m_hWnd;
    info.hdr.idFrom = static_cast<UINT_PTR>(m_list.GetDlgCtrlID());
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_IMAGE;
    info.item.iItem = m_nRow;
    info.item.iSubItem = cell.nPhysical;
    info.item.iImage = cell.pItem->iImage;
    LVITEMW param{};
    param.mask = LVIF_PARAM;
    param.iItem = m_nRow;
    m_base.DefaultProc(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&param));
    info.item.lParam = param.lParam;
    LRESULT ignored = 0;
    m_base.m_items.OnGetDispInfo(&info.hdr, &ignored);
    cell.pItem->iImage = info.item.iImage;
    m_base.DrawSmallIcon(m_pDC, cell.pItem, &iconRect);
}

// Column 0's label takes the label alignment kept aside when it was displayed elsewhere.
void CListRowPainter::DrawCellText(const CELL& cell)
{
    const int format = cell.bLabel && cell.nColumn == 0 ? m_base.m_nLabelAlign : cell.nFormat;
    CRect text = cell.text;
    m_base.DrawSubItemText(m_pDC, cell.pItem, format, &text);
}

void CListRowPainter::DrawFocusRectangle()
{
    if (!m_bFocused || m_highlightArea.IsRectEmpty()) return;
    CRect focus = m_highlightArea;
    if (m_hTheme && focus.Width() > 1 && focus.Height() > 1) focus.DeflateRect(1, 1);
    ::SetTextColor(m_hDC, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(m_hDC, m_crBackground);
    m_pDC->DrawFocusRect(&focus);
}
