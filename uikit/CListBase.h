#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CListCtrl.h"
#include "framework/CString.h"
#include "uikit/COLUMN_DATA.h"
#include "uikit/ITEM_DATA.h"
#include "uikit/IUxThemeLibrary.h"
#include <climits>
#include <memory>
#include <unordered_map>
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
    virtual void ShowColumn(int nColumn, BOOL bShow);

    // FALSE when refused: a column out of range, or column 0 of a list that is not owner-drawn.
    BOOL EnableColumnHiding(int nColumn, BOOL bEnable);
    // The program's switch: a disabled column leaves the control and keeps the user's choice.
    BOOL EnableColumn(int nColumn, BOOL bEnable);
    // Owner-drawn lists only: the row's icon and label stay in the column displayed first.
    BOOL KeepLabelLeft(BOOL bKeep = TRUE);
    // Signed, 1-based: +n sorts column n-1 ascending, -n descending, 0 none.
    void SetSortColumn(int nSortColumn);
    void SetSortColumn(int nColumn, BOOL bDescending);
    BOOL GetSortColumn(int* pnColumn, BOOL* pbDescending) const;
    void ShowSortIcon(BOOL bShow, int nSortColumn = 0);
    // Tints the sort column; the previous setting, FALSE when the screen has 256 colours or fewer.
    BOOL ColorSortColumn(BOOL bTint, int nSortColumn = 0);
    // The tint of a background colour: lighter by a tenth, or 8 darker when it is nearly white.
    static COLORREF ComputeSortTint(COLORREF crBackground);
    // Shortens a text with "..." until it fits the rectangle's width (4 characters at least).
    static void FitTextToWidth(CString& strText, CDC* pDC, const CRect& rect);
    // Vertical separators at the columns' right edges, from the header down (WM_PAINT's part).
    void DrawGridLines(CDC* pDC);
    // The control's width of a column in it, else its saved width; -1 for a column out of range.
    int GetColumnWidthEx(int nColumn) const;
    BOOL SetColumnWidthEx(int nColumn, int nWidth);

    // The column state record: visibility, widths, order and sort column of every column.
    // GetState allocates it with new[]; the caller frees it with delete[].
    BOOL GetState(LPBYTE* ppState, UINT* pnSize) const;
    // FALSE for a record that is not valid (nothing changed); TRUE, with nothing applied, for a
    // record of another column count or size.
    BOOL SetState(const BYTE* pState, UINT nSize);
    BOOL SaveState(LPCWSTR lpszSection, LPCWSTR lpszEntry) const;
    BOOL RestoreState(LPCWSTR lpszSection, LPCWSTR lpszEntry);

    // Checked rows: 1 + the row index, 0 after the last.
    POSITION GetFirstCheckedItemPosition() const;
    int GetNextCheckedItem(POSITION& pos) const;
    // The row under the point and, in *pnColumn, the logical column whose label holds it (else 0).
    int HitTestEx(CPoint point, int* pnColumn) const;
    BOOL GetCellRect(int nItem, int nColumn, int nArea, CRect& rect) const;
    // TRUE when the column is in the control and its label holds the text with the cell's insets.
    BOOL TextFitsCell(int nItem, int nColumn, LPCWSTR lpszText) const;

    int GetColumnCount() const { return static_cast<int>(m_aColumnData.size()); }
    // The column menu of the header: the available columns with a heading, checked when shown,
    // grayed when the user may not hide them. None without a hideable column.
    CMenuHandle BuildColumnMenu() const;

    // Public settings of the owning program; no operation changes them.
    BOOL m_bGridLines = FALSE;     // vertical separators below the rows
    BYTE m_bCustomDrawOff = FALSE; // custom drawing left entirely to the control
    BOOL m_bSubItemTips = FALSE;   // tool-tip texts per cell instead of per row

protected:
    // ---- handlers the list classes route to (list-view messages carry logical columns) ----
    LRESULT OnInsertColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetColumnWidth(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetColumnWidth(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetColumnOrderArray(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetColumnOrderArray(WPARAM wParam, LPARAM lParam);
    LRESULT OnInsertItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetItemText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetItemText(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteAllItems(WPARAM wParam, LPARAM lParam);
    LRESULT OnFindItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetItemRect(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetSubItemRect(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetImageList(WPARAM wParam, LPARAM lParam);
    LRESULT OnHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT OnSubItemHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetExtendedStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetExtendedStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnSortItems(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBkImage(WPARAM wParam, LPARAM lParam);
    // The ANSI forms of the messages above would reach the control unmapped: refused.
    LRESULT OnAnsiRefused(WPARAM wParam, LPARAM lParam);      // FALSE
    LRESULT OnAnsiIndexRefused(WPARAM wParam, LPARAM lParam); // -1
    // Reflected notifications; FALSE lets the parent see them as well.
    BOOL OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnODCacheHint(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnCancelEditLabel(WPARAM wParam, LPARAM lParam);
    // Window messages, called by the list classes' handlers of the same name.
    void OnListDestroy();
    void OnListContextMenu(CWnd* pWnd, CPoint point);
    BOOL OnListEraseBkgnd(CDC* pDC);
    void OnListPaint();
    void OnListHScroll(WPARAM wParam, LPARAM lParam);
    void OnListKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnListKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnListLButtonDown(UINT nFlags, CPoint point);
    void OnListLButtonDblClk(UINT nFlags, CPoint point);
    void OnListLButtonUp(UINT nFlags, CPoint point);
    BOOL OnListMouseWheel(UINT nFlags, short zDelta, CPoint point);
    void OnListMouseMove(UINT nFlags, CPoint point);
    void OnListMouseLeave();
    void OnListSetFocus(CWnd* pOldWnd);
    void OnListKillFocus(CWnd* pNewWnd);
    void OnListSysColorChange();
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
    BOOL SortItemsWith(PFNLVCOMPARE pfnCompare, LPARAM lParamSort, bool bRecords);
    // From the list class's OnCommand and OnNotify: TRUE when consumed.
    BOOL OnColumnCommand(WPARAM wParam, LPARAM lParam);
    BOOL OnHeaderNotify(NMHDR* pNMHDR, LRESULT* pResult);
    // From the list class's OnChildNotify, for a notification its parent is about to handle:
    // the record pointers in it become the program's item data.
    void ShowProgramItemData(NMHDR* pNMHDR) const;

    // ---- helpers for the list classes ----
    LRESULT DefaultProc(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    DWORD GetListStyle() const;
    bool IsOwnerDrawn() const { return (GetListStyle() & LVS_OWNERDRAWFIXED) != 0; }
    bool IsOwnerData() const { return (GetListStyle() & LVS_OWNERDATA) != 0; }
    HWND GetHeaderHandle() const { return reinterpret_cast<HWND>(DefaultProc(LVM_GETHEADER)); }
    int GetItemCountRaw() const { return static_cast<int>(DefaultProc(LVM_GETITEMCOUNT)); }
    // The record of a row (null when there is none, and in owner-data lists).
    ITEM_DATA* GetItemRecord(int nItem) const;
    // The record behind a value the control holds as item data, or null when it is none of ours.
    ITEM_DATA* FindRecord(LPARAM lParam) const;
    // Asks the parent for a callback cell's text (LVN_GETDISPINFOW with the program's item data).
    CString RequestCallbackText(const ITEM_DATA& record, int nItem, int nColumn) const;
    // The text of a cell as the program sees it: the stored text, or asked from the parent.
    CString GetCellText(int nItem, int nColumn) const;

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

    // Header marks and repaints of the sort column; the synthetic mouse move.
    void RefreshSortMarks();
    void ResetTips();
    void MakeSyntheticMouseMove();

    // Tips: the pixels a cell's text needs before its label tip opens, whether a cell's label is
    // cut short (its text in *pText), and the tips' reactions to a mouse move.
    int GetLabelTipNeed(int nColumn, LPCWSTR lpszText) const;
    bool IsLabelCut(int nItem, int nColumn, CString* pText) const;
    void HideLabelTip();
    void UpdateTipsTopMost();
    void UpdateTips(UINT nFlags, CPoint point, const LVHITTESTINFO& hit, int nItem);
    void ShowLabelTip(const MSG& msg);
    void ShowToolTip(const MSG& msg);
    // Sizes a column to its widest text when column 0 is not displayed first (keep-label-left).
    void AutoSizeColumn(int nColumn, bool bConsiderCacheHint);

    static bool IsVisualStyleLevel2();
    static int GetWindowsVersion(); // major * 256 + minor

    // Geometry (the logical column of the label cell, rectangles, the text a cell needs).
    int GetLabelColumn() const { return m_bKeepLabelLeft ? GetDisplayedFirstColumn() : 0; }
    BOOL GetSubItemRectEx(int nItem, int nColumn, int nArea, CRect& rect) const;
    BOOL GetStateIconRect(int nItem, CRect& rect);
    CRect GetTextExtent(int nItem, int nColumn, const CRect& label) const;
    int GetColumnFormat(int nColumn) const;
    void MeasureStateIconGap(int nItem);
    void EraseRect(CDC* pDC, const CRect& rect);
    void RepaintSortColumnEmptyAreas();
    void UpdateHotItems(int nItem, UINT nFlags, int nColumn);
    void FlipCheckBox(int nItem, bool bWholeSelection);
    COLORREF GetListBkColor() const;
    void UpdateSortTint();

    // ---- members (the framework of the list classes reads some of them) ----
    int m_nStateIconGap = 4;
    CListCtrl* m_pListCtrl = nullptr;
    BYTE m_bAppActive = FALSE;
    BYTE m_bMouseTracked = FALSE;
    BYTE m_bTipsTopMost = FALSE;
    BYTE m_bTopMostCheck = FALSE;
    std::vector<std::unique_ptr<COLUMN_DATA>> m_aColumnData;
    int m_nHideableCount = 0;
    BOOL m_bSortIcon = FALSE;
    BOOL m_bColorSortColumn = FALSE;
    COLORREF m_crBkColor = CLR_NONE;
    BYTE m_bBkColorKept = FALSE;
    BYTE m_bBkImage = FALSE;
    COLORREF m_crSortTint = CLR_NONE;
    int m_nSortColumn = 0;
    int m_nLabelAlign = LVCFMT_LEFT;
    BOOL m_bKeepLabelLeft = FALSE;
    BYTE m_bControlKey = FALSE;
    BYTE m_bStateIconGapMeasured = FALSE;
    BYTE m_bBkColorSetByProgram = FALSE;
    DWORD m_dwExtendedStyle = 0;
    int m_nThemeHotItem = -1;
    int m_nActivationHotItem = -1;
    int m_nCacheHintFrom = -1;
    int m_nCacheHintTo = INT_MAX;
    int m_nCacheHintReserved = 0;
    BYTE m_bInSubItemRect = FALSE;
    mutable BYTE m_bInGetDispInfo = FALSE; // our own LVN_GETDISPINFOW to the parent is under way
    BYTE m_bInItemChange = FALSE;
    BYTE m_bSyntheticMove = FALSE;
    BYTE m_bTipsAllowed = TRUE;
    BYTE m_bInfoTips = FALSE;
    BYTE m_bLabelTips = FALSE;
    BOOL m_bLabelTipShown = FALSE;
    CThemeHandle m_hListTheme; // "ListView" theme of an owner-drawn list at level 2
    COLORREF m_crHotColor = 0;
    HCURSOR m_hCursor = nullptr; // shared system cursors: never destroyed
    HCURSOR m_hArrowCursor = nullptr;
    HCURSOR m_hHandCursor = nullptr;
    PFNLVCOMPARE m_pfnCompare = nullptr;
    LPARAM m_lCompareData = 0;
    BYTE m_bCompareRecords = FALSE; // the comparison of a list class gets the records
    std::vector<int> m_postPaintItems;
    BYTE m_bThemesApplied = FALSE;
    std::unique_ptr<CToolTipCtrl> m_pToolTip;
    std::unique_ptr<CLabelTipCtrl> m_pLabelTip;
    CString m_strTipText;
    CString m_strLabelTipText;
    std::unique_ptr<CLabelEdit> m_pLabelEdit;
    CString m_strLabelEditText; // the buffer LVN_ENDLABELEDITW shows the parent
    int m_nEditItem = -1;
    BYTE m_bEditCancelled = FALSE;
    BYTE m_bInEndLabelEdit = FALSE; // our own LVN_ENDLABELEDITW to the parent is under way
    int m_nTipItem = -1;
    int m_nTipSubItem = -1;
    UINT m_nTipHitFlags = 0;

    friend class CLabelTipCtrl;
    friend class CListRowPainter;
    friend class CLabelEdit;

private:
    // Column moves in and out of the control.
    BOOL TakeColumnOutOfControl(int nColumn);
    BOOL PutColumnIntoControl(int nColumn);
    void RestoreCellsToControl(int nColumn);
    void TakeLabelAlignment(const LVCOLUMNW& column);
    // A copy of a program's cell request for the control: physical sub-item, no item data of the
    // program, a real text replaced by the callback marker (the control asks for it).
    LVITEMW MakeControlItem(const LVITEMW& request, int nPhysical) const;
    bool UsesCallbackTexts() const;
    BOOL ApplyColumnOrderArray(const std::vector<int>& logicalColumns);
    bool IsValidState(const BYTE* pState, int nCount) const;
    ITEM_DATA* TakeRecord(std::unique_ptr<ITEM_DATA> record);
    void FreeRecord(ITEM_DATA* pRecord);
    bool ShouldListAutoSize(int nColumn) const;
    LRESULT HitTestRefined(UINT message, WPARAM wParam, LPARAM lParam);
    static int CALLBACK CompareThroughRecords(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    void SizeColumnsForKeyboard();
    void RepaintCustomDrawIcons(NMLVCUSTOMDRAW* pDraw);

    std::unordered_map<const ITEM_DATA*, std::unique_ptr<ITEM_DATA>> m_itemRecords;
};
