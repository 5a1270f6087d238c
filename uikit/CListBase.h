#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CListCtrl.h"
#include "framework/CString.h"
#include "uikit/COLUMN_DATA.h"
#include "uikit/ITEM_DATA.h"
#include "uikit/CListBackground.h"
#include "uikit/CListCellGeometry.h"
#include "uikit/CListColumnState.h"
#include "uikit/CListColumns.h"
#include "uikit/CListCustomDraw.h"
#include "uikit/CListHeaderEvents.h"
#include "uikit/CListInput.h"
#include "uikit/CListItemStore.h"
#include "uikit/CListLabelEditing.h"
#include "uikit/CListRowSorter.h"
#include "uikit/CListSortColumn.h"
#include "uikit/CListTips.h"
#include "uikit/IUxThemeLibrary.h"
#include <climits>
#include <memory>
#include <vector>
// The behaviour the extended report lists share. Not a window: a list class derives from its
// framework window class first and from CListBase second, sets m_pListCtrl to itself and routes
// the list-view messages below to the handlers here.
//
// Programs address every column by its logical index, hidden columns included; the control holds
// only the columns that are available and shown ("in the control"), at their physical indexes.
// Every row keeps a copy of its cells (ITEM_DATA), so hidden columns keep their contents, and the
// control's texts are served from that copy on demand. The handlers reach the control's own
// processing through the window's DefWindowProc, which bypasses this interception.
//
// CListBase holds the column records and maps the indexes; the work of each concern lies in a
// helper of its own (columns, rows, geometry, sort column, sorting, background, state record,
// header, tips, label edit, custom draw, input), which it routes the messages to.
//
// Everything runs on the GUI thread of the list's window.
class CDC;
class CLabelEdit;
class CLabelTipCtrl;
class CToolTipCtrl;

class CListBase
{
public:
    CListBase();
    virtual ~CListBase();
    CListBase(const CListBase&) = delete;
    CListBase& operator=(const CListBase&) = delete;

    // Owner drawing of a row's parts; pItem is the cell (its image, state and text), pRect the area.
    virtual void DrawSmallIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect);
    virtual void DrawStateIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect);
    virtual void DrawSubItemText(CDC* pDC, LVITEMW* pItem, int nFormat, LPRECT pRect);
    // The list-control window of the owning class.
    virtual CListCtrl* GetOwnerWnd() = 0;
    virtual CString GetSubItemToolTip(int nItem, int nSubItem, UINT nFlags, BOOL& bShowAsLabelTip);
    virtual CString GetItemToolTip(int nItem);
    // Hides or shows an available, hideable column (the user's choice).
    virtual void ShowColumn(int nColumn, BOOL bShow) { m_columns.ShowColumn(nColumn, bShow); }

    // FALSE when refused: a column out of range, or column 0 of a list that is not owner-drawn.
    BOOL EnableColumnHiding(int nColumn, BOOL bEnable) { return m_columns.EnableColumnHiding(nColumn, bEnable); }
    // The program's switch: a disabled column leaves the control and keeps the user's choice.
    BOOL EnableColumn(int nColumn, BOOL bEnable) { return m_columns.EnableColumn(nColumn, bEnable); }
    // Owner-drawn lists only: the row's icon and label stay in the column displayed first.
    BOOL KeepLabelLeft(BOOL bKeep = TRUE);
    // Signed, 1-based: +n sorts column n-1 ascending, -n descending, 0 none.
    void SetSortColumn(int nSortColumn) { m_sortColumn.SetSortColumn(nSortColumn); }
    void SetSortColumn(int nColumn, BOOL bDescending) { m_sortColumn.SetSortColumn(nColumn, bDescending); }
    BOOL GetSortColumn(int* pnColumn, BOOL* pbDescending) const
    {
        return m_sortColumn.GetSortColumn(pnColumn, pbDescending);
    }
    void ShowSortIcon(BOOL bShow, int nSortColumn = 0) { m_sortColumn.ShowSortIcon(bShow, nSortColumn); }
    // Tints the sort column; the previous setting, FALSE when the screen has 256 colours or fewer.
    BOOL ColorSortColumn(BOOL bTint, int nSortColumn = 0) { return m_background.ColorSortColumn(bTint, nSortColumn); }
    // The tint of a background colour: lighter by a tenth, or 8 darker when it is nearly white.
    static COLORREF ComputeSortTint(COLORREF crBackground) { return CListBackground::ComputeSortTint(crBackground); }
    // Shortens a text with "..." until it fits the rectangle's width (4 characters at least).
    static void FitTextToWidth(CString& strText, CDC* pDC, const CRect& rect);
    // Vertical separators at the columns' right edges, from the header down (WM_PAINT's part).
    void DrawGridLines(CDC* pDC);
    // The control's width of a column in it, else its saved width; -1 for a column out of range.
    int GetColumnWidthEx(int nColumn) const { return m_columns.GetColumnWidthEx(nColumn); }
    BOOL SetColumnWidthEx(int nColumn, int nWidth) { return m_columns.SetColumnWidthEx(nColumn, nWidth); }

    // The column state record: visibility, widths, order and sort column of every column.
    // GetState allocates it with new[]; the caller frees it with delete[].
    BOOL GetState(LPBYTE* ppState, UINT* pnSize) const { return m_columnState.GetState(ppState, pnSize); }
    // FALSE for a record that is not valid (nothing changed); TRUE, with nothing applied, for a
    // record of another column count or size.
    BOOL SetState(const BYTE* pState, UINT nSize) { return m_columnState.SetState(pState, nSize); }
    BOOL SaveState(LPCWSTR lpszSection, LPCWSTR lpszEntry) const
    {
        return m_columnState.SaveState(lpszSection, lpszEntry);
    }
    BOOL RestoreState(LPCWSTR lpszSection, LPCWSTR lpszEntry)
    {
        return m_columnState.RestoreState(lpszSection, lpszEntry);
    }

    // Checked rows: 1 + the row index, 0 after the last.
    POSITION GetFirstCheckedItemPosition() const;
    int GetNextCheckedItem(POSITION& pos) const;
    // The row under the point and, in *pnColumn, the logical column whose label holds it (else 0).
    int HitTestEx(CPoint point, int* pnColumn) const { return m_geometry.HitTestEx(point, pnColumn); }
    BOOL GetCellRect(int nItem, int nColumn, int nArea, CRect& rect) const
    {
        return m_geometry.GetCellRect(nItem, nColumn, nArea, rect);
    }
    // TRUE when the column is in the control and its label holds the text with the cell's insets.
    BOOL TextFitsCell(int nItem, int nColumn, LPCWSTR lpszText) const
    {
        return m_tips.TextFitsCell(nItem, nColumn, lpszText);
    }

    int GetColumnCount() const { return static_cast<int>(m_aColumnData.size()); }
    // The column menu of the header: the available columns with a heading, checked when shown,
    // grayed when the user may not hide them. None without a hideable column.
    CMenuHandle BuildColumnMenu() const { return m_header.BuildColumnMenu(); }

    // Public settings of the owning program; no operation changes them.
    BOOL m_bGridLines = FALSE;     // vertical separators below the rows
    BYTE m_bCustomDrawOff = FALSE; // custom drawing left entirely to the control
    BOOL m_bSubItemTips = FALSE;   // tool-tip texts per cell instead of per row

protected:
    // ---- handlers the list classes route to (list-view messages carry logical columns) ----
    LRESULT OnInsertColumn(WPARAM wParam, LPARAM lParam) { return m_columns.OnInsertColumn(wParam, lParam); }
    LRESULT OnDeleteColumn(WPARAM wParam, LPARAM lParam) { return m_columns.OnDeleteColumn(wParam, lParam); }
    LRESULT OnGetColumn(WPARAM wParam, LPARAM lParam) { return m_columns.OnGetColumn(wParam, lParam); }
    LRESULT OnSetColumn(WPARAM wParam, LPARAM lParam) { return m_columns.OnSetColumn(wParam, lParam); }
    LRESULT OnGetColumnWidth(WPARAM wParam, LPARAM lParam) { return m_columns.OnGetColumnWidth(wParam, lParam); }
    LRESULT OnSetColumnWidth(WPARAM wParam, LPARAM lParam) { return m_columns.OnSetColumnWidth(wParam, lParam); }
    LRESULT OnGetColumnOrderArray(WPARAM wParam, LPARAM lParam)
    {
        return m_columns.OnGetColumnOrderArray(wParam, lParam);
    }
    LRESULT OnSetColumnOrderArray(WPARAM wParam, LPARAM lParam)
    {
        return m_columns.OnSetColumnOrderArray(wParam, lParam);
    }
    LRESULT OnInsertItem(WPARAM wParam, LPARAM lParam) { return m_items.OnInsertItem(wParam, lParam); }
    LRESULT OnSetItem(WPARAM wParam, LPARAM lParam) { return m_items.OnSetItem(wParam, lParam); }
    LRESULT OnSetItemText(WPARAM wParam, LPARAM lParam) { return m_items.OnSetItemText(wParam, lParam); }
    LRESULT OnGetItem(WPARAM wParam, LPARAM lParam) { return m_items.OnGetItem(wParam, lParam); }
    LRESULT OnGetItemText(WPARAM wParam, LPARAM lParam) { return m_items.OnGetItemText(wParam, lParam); }
    LRESULT OnDeleteItem(WPARAM wParam, LPARAM lParam) { return m_items.OnDeleteItem(wParam, lParam); }
    LRESULT OnDeleteAllItems(WPARAM wParam, LPARAM lParam) { return m_items.OnDeleteAllItems(wParam, lParam); }
    LRESULT OnFindItem(WPARAM wParam, LPARAM lParam) { return m_items.OnFindItem(wParam, lParam); }
    LRESULT OnGetItemRect(WPARAM wParam, LPARAM lParam) { return m_geometry.OnGetItemRect(wParam, lParam); }
    LRESULT OnGetSubItemRect(WPARAM wParam, LPARAM lParam) { return m_geometry.OnGetSubItemRect(wParam, lParam); }
    LRESULT OnSetImageList(WPARAM wParam, LPARAM lParam);
    LRESULT OnHitTest(WPARAM wParam, LPARAM lParam) { return m_geometry.OnHitTest(wParam, lParam); }
    LRESULT OnSubItemHitTest(WPARAM wParam, LPARAM lParam) { return m_geometry.OnSubItemHitTest(wParam, lParam); }
    LRESULT OnSetExtendedStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetExtendedStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnSortItems(WPARAM wParam, LPARAM lParam) { return m_sorter.OnSortItems(wParam, lParam); }
    LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam) { return m_background.OnSetBkColor(wParam, lParam); }
    LRESULT OnSetBkImage(WPARAM wParam, LPARAM lParam) { return m_background.OnSetBkImage(wParam, lParam); }
    // The ANSI forms of the messages above would reach the control unmapped: refused.
    LRESULT OnAnsiRefused(WPARAM wParam, LPARAM lParam);      // FALSE
    LRESULT OnAnsiIndexRefused(WPARAM wParam, LPARAM lParam); // -1
    // Reflected notifications; FALSE lets the parent see them as well.
    BOOL OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) { return m_items.OnGetDispInfo(pNMHDR, pResult); }
    BOOL OnODCacheHint(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult) { return m_sortColumn.OnColumnClick(pNMHDR, pResult); }
    BOOL OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) { return m_customDraw.OnCustomDraw(pNMHDR, pResult); }
    BOOL OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult) { return m_labelEditing.OnBeginLabelEdit(pNMHDR, pResult); }
    BOOL OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult) { return m_labelEditing.OnEndLabelEdit(pNMHDR, pResult); }
    LRESULT OnCancelEditLabel(WPARAM wParam, LPARAM lParam) { return m_labelEditing.OnCancelEditLabel(wParam, lParam); }
    // Window messages, called by the list classes' handlers of the same name.
    void OnListDestroy();
    void OnListContextMenu(CWnd* pWnd, CPoint point) { m_header.OnListContextMenu(pWnd, point); }
    BOOL OnListEraseBkgnd(CDC* pDC) { return m_background.OnListEraseBkgnd(pDC); }
    void OnListPaint();
    void OnListHScroll(WPARAM wParam, LPARAM lParam) { m_background.OnListHScroll(wParam, lParam); }
    void OnListKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) { m_input.OnListKeyDown(nChar, nRepCnt, nFlags); }
    void OnListKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) { m_input.OnListKeyUp(nChar, nRepCnt, nFlags); }
    void OnListLButtonDown(UINT nFlags, CPoint point) { m_input.OnListLButtonDown(nFlags, point); }
    void OnListLButtonDblClk(UINT nFlags, CPoint point) { m_input.OnListLButtonDblClk(nFlags, point); }
    void OnListLButtonUp(UINT nFlags, CPoint point) { m_input.OnListLButtonUp(nFlags, point); }
    BOOL OnListMouseWheel(UINT nFlags, short zDelta, CPoint point)
    {
        return m_input.OnListMouseWheel(nFlags, zDelta, point);
    }
    void OnListMouseMove(UINT nFlags, CPoint point) { m_input.OnListMouseMove(nFlags, point); }
    void OnListMouseLeave() { m_input.OnListMouseLeave(); }
    void OnListSetFocus(CWnd* pOldWnd) { m_input.OnListSetFocus(pOldWnd); }
    void OnListKillFocus(CWnd* pNewWnd) { m_input.OnListKillFocus(pNewWnd); }
    void OnListSysColorChange() { m_background.OnListSysColorChange(); }
    // The owner drawing of one row (the list classes' DrawItem).
    void DrawListItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    // The set-up once the control window exists: tips and label edit, sort marks, tint, label
    // kept left, themes.
    void SetUpList();
    // The tool tip and the label tip for the list, and the label-edit object.
    void CreateTips();
    // The list classes' InsertColumn: appends, stores the column identifier, maybe hideable.
    int AppendColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable, int nFormat);
    // Sorts through LVM_SORTITEMS with redraw off; the comparison gets the rows' ITEM_DATA records
    // (bRecords) or the program's item data.
    BOOL SortItemsWith(PFNLVCOMPARE pfnCompare, LPARAM lParamSort, bool bRecords)
    {
        return m_sorter.SortItemsWith(pfnCompare, lParamSort, bRecords);
    }
    // From the list class's OnCommand and OnNotify: TRUE when consumed.
    BOOL OnColumnCommand(WPARAM wParam, LPARAM lParam) { return m_header.OnColumnCommand(wParam, lParam); }
    BOOL OnHeaderNotify(NMHDR* pNMHDR, LRESULT* pResult) { return m_header.OnHeaderNotify(pNMHDR, pResult); }
    // From the list class's OnChildNotify, for a notification its parent is about to handle:
    // the record pointers in it become the program's item data.
    void ShowProgramItemData(NMHDR* pNMHDR) const { m_items.ShowProgramItemData(pNMHDR); }

    // ---- helpers for the list classes ----
    LRESULT DefaultProc(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    DWORD GetListStyle() const;
    bool IsOwnerDrawn() const { return (GetListStyle() & LVS_OWNERDRAWFIXED) != 0; }
    bool IsOwnerData() const { return (GetListStyle() & LVS_OWNERDATA) != 0; }
    HWND GetHeaderHandle() const { return reinterpret_cast<HWND>(DefaultProc(LVM_GETHEADER)); }
    int GetItemCountRaw() const { return static_cast<int>(DefaultProc(LVM_GETITEMCOUNT)); }
    // The record of a row (null when there is none, and in owner-data lists).
    ITEM_DATA* GetItemRecord(int nItem) const { return m_items.GetItemRecord(nItem); }
    // Asks the parent for a callback cell's text (LVN_GETDISPINFOW with the program's item data).
    CString RequestCallbackText(const ITEM_DATA& record, int nItem, int nColumn) const
    {
        return m_items.RequestCallbackText(record, nItem, nColumn);
    }
    // The header format of a logical column (LVCFMT_LEFT for one out of range).
    int GetColumnFormat(int nColumn) const { return m_geometry.GetColumnFormat(nColumn); }
    BOOL GetStateIconRect(int nItem, CRect& rect) { return m_geometry.GetStateIconRect(nItem, rect); }
    // Whether a cell's label is cut short; its text in *pText.
    bool IsLabelCut(int nItem, int nColumn, CString* pText) const { return m_tips.IsLabelCut(nItem, nColumn, pText); }

    // Index mapping.
    bool IsValidColumn(int nColumn) const { return nColumn >= 0 && nColumn < GetColumnCount(); }
    bool IsColumnInControl(int nColumn) const;
    int GetPhysicalIndex(int nColumn) const;       // columns before it that are in the control
    int GetLogicalIndex(int nPhysical) const;      // -1 when there is none
    int GetPhysicalOrder(int nLogicalOrder) const; // in-control columns displayed before that order
    int GetLogicalOrder(int nPhysicalOrder) const; // -1 when there is none
    int GetColumnAtOrder(int nOrder) const;        // -1 when there is none
    int GetDisplayedFirstColumn() const { return GetColumnAtOrder(0); }
    // Moves a column to a logical order, shifting the columns in between by one.
    void MoveColumnOrder(int nColumn, int nOrder);
    // The logical column of the label cell.
    int GetLabelColumn() const { return m_bKeepLabelLeft ? GetDisplayedFirstColumn() : 0; }

    // Setting the cursor where it is: tips and hot rows follow rows that moved under it.
    void MakeSyntheticMouseMove();
    void EraseRect(CDC* pDC, const CRect& rect);

    static bool IsVisualStyleLevel2();
    static int GetWindowsVersion(); // major * 256 + minor

    // ---- members (the framework of the list classes and the helpers read some of them) ----
    int m_nStateIconGap = 4;
    CListCtrl* m_pListCtrl = nullptr;
    BYTE m_bMouseTracked = FALSE;
    std::vector<std::unique_ptr<COLUMN_DATA>> m_aColumnData;
    int m_nHideableCount = 0;
    BOOL m_bColorSortColumn = FALSE;
    BYTE m_bBkImage = FALSE;
    COLORREF m_crSortTint = CLR_NONE;
    int m_nSortColumn = 0;
    int m_nLabelAlign = LVCFMT_LEFT;
    BOOL m_bKeepLabelLeft = FALSE;
    DWORD m_dwExtendedStyle = 0;
    int m_nThemeHotItem = -1;
    int m_nActivationHotItem = -1;
    int m_nCacheHintFrom = -1;
    int m_nCacheHintTo = INT_MAX;
    int m_nCacheHintReserved = 0;
    BYTE m_bInSubItemRect = FALSE;
    mutable BYTE m_bInGetDispInfo = FALSE; // our own LVN_GETDISPINFOW to the parent is under way
    BYTE m_bSyntheticMove = FALSE;
    BYTE m_bInfoTips = FALSE;
    BYTE m_bLabelTips = FALSE;
    CThemeHandle m_hListTheme; // "ListView" theme of an owner-drawn list at level 2
    COLORREF m_crHotColor = 0;
    HCURSOR m_hCursor = nullptr; // shared system cursors: never destroyed
    HCURSOR m_hArrowCursor = nullptr;
    HCURSOR m_hHandCursor = nullptr;
    BYTE m_bThemesApplied = FALSE;
    std::unique_ptr<CToolTipCtrl> m_pToolTip;
    std::unique_ptr<CLabelTipCtrl> m_pLabelTip;

    // The helpers, one a concern; each reaches the list through the members above.
    CListColumns m_columns;
    CListItemStore m_items;
    CListCellGeometry m_geometry;
    CListSortColumn m_sortColumn;
    CListRowSorter m_sorter;
    CListBackground m_background;
    CListColumnState m_columnState;
    CListHeaderEvents m_header;
    CListTips m_tips;
    CListLabelEditing m_labelEditing;
    CListCustomDraw m_customDraw;
    CListInput m_input;

    friend class CLabelTipCtrl;
    friend class CListRowPainter;
    friend class CLabelEdit;
    friend class CListColumns;
    friend class CListItemStore;
    friend class CListCellGeometry;
    friend class CListSortColumn;
    friend class CListRowSorter;
    friend class CListBackground;
    friend class CListColumnState;
    friend class CListHeaderEvents;
    friend class CListTips;
    friend class CListLabelEditing;
    friend class CListCustomDraw;
    friend class CListInput;
};
