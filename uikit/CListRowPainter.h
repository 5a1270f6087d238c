#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CListCtrl.h"
#include <uxtheme.h>
#include <vector>
// Paints one row of an owner-drawn extended list (CListBase::DrawListItem): reads the row and
// its states, chooses the highlight colours and the font, fills the full-row background, draws
// the cells in display order and last the focus rectangle. One painter per WM_DRAWITEM; it
// lives only for that message and restores the device context's font and background mode.
class CDC;
class CListBase;

class CListRowPainter
{
public:
    CListRowPainter(CListBase& list, const DRAWITEMSTRUCT& drawItem);
    CListRowPainter(const CListRowPainter&) = delete;
    CListRowPainter& operator=(const CListRowPainter&) = delete;

    void Paint();

    // The width (bWidth) or height of an image list's images; 0 without images.
    static int ImageSize(HIMAGELIST hImages, bool bWidth);

private:
    // One cell as the row loop sees it: its logical and physical column, header format and area.
    struct CELL
    {
        int nColumn = 0;
        int nPhysical = 0;
        int nFormat = 0;
        CRect area;
        LVITEMW* pItem = nullptr;
        bool bLabel = false;
        bool bImage = false;
        CRect label;
        CRect text;
    };

    bool ReadRowAndStates();
    void ChooseHighlightColours();
    void SelectRowFont();
    void MeasureRow();
    void FillFullRowBackground();
    void DrawCellsInDisplayOrder();
    void DrawCell(CELL& cell);
    bool ReadCellItem(CELL& cell);
    void ComputeTextRect(CELL& cell) const;
    COLORREF PaintCellBackground(const CELL& cell);
    COLORREF HighlightTextColour() const;
    void DrawCellStateIcon(const CELL& cell);
    void DrawCellImage(const CELL& cell);
    void DrawCellText(const CELL& cell);
    void DrawFocusRectangle();

    CListBase& m_base;
    CListCtrl& m_list;
    const DRAWITEMSTRUCT& m_drawItem;
    const int m_nRow;
    CDC* m_pDC;
    const HDC m_hDC;

    LVITEMW m_rowItem{};
    std::vector<wchar_t> m_rowText;
    LVITEMW m_cellItem{};
    std::vector<wchar_t> m_cellText;
    DWORD m_dwStyle = 0;
    bool m_bSelected = false;
    bool m_bFocused = false;       // the focused row of the focused list
    bool m_bHighlight = false;     // selected and shown so
    bool m_bSelectedFocus = false; // selected in the focused list
    bool m_bFullRow = false;
    HTHEME m_hTheme = nullptr;
    bool m_bThemeHot = false;
    int m_nThemeState = 0;
    COLORREF m_crFill = CLR_NONE; // the highlight without a theme
    COLORREF m_crBackground = CLR_NONE;
    bool m_bHotFont = false; // the underlined font of hot rows
    HFONT m_hListFont = nullptr;
    CGdiHandle<HFONT> m_underline;
    CGdiSelectionHandle m_keepFont; // after m_underline: deselects it before it is deleted
    CRect m_bounds;
    int m_nLabelColumn = 0;
    int m_nScroll = 0;
    CRect m_highlightArea;
    COLORREF m_crRowText = 0;
    bool m_bRowFilled = false;
};
