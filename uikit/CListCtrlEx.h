#pragma once
#include "framework/CListCtrl.h"
#include "uikit/CListBase.h"
// The dialogs' extended report list: a list-view control carrying CListBase (hideable columns
// addressed logically, cell copies, a sort column with marks and tint, the column state record,
// owner drawing). Dialogs subclass a dialog item with it, or create it.
class CListCtrlEx : public CListCtrl, public CListBase
{
    DECLARE_DYNCREATE(CListCtrlEx)

public:
    CListCtrlEx();
    ~CListCtrlEx() override;

    CListCtrl* GetOwnerWnd() override { return this; }

    // A plain list-view window, then subclassed into this object (the set-up runs on a window
    // that exists). FALSE when it cannot be created.
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    using CListCtrl::InsertColumn;
    // Appends a column whose sort and value hooks get nColumnId; the low byte of bHideable
    // lets the user hide it. The logical index, or -1.
    int InsertColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable = FALSE, int nFormat = LVCFMT_LEFT);
    // The same with the heading from the string table; -1 when it cannot be loaded.
    int InsertColumn(int nColumnId, UINT nHeadingId, int nWidth, int bHideable = FALSE, int nFormat = LVCFMT_LEFT);
    // Sorts the rows by a column's texts in natural order and makes it the sort column; -1 sorts
    // again by the current sort column in its direction. FALSE when there is nothing to sort.
    virtual BOOL SortItems(int nColumn, BOOL bDescending);
    using CListCtrl::SortItems;
    // A hook for subclasses: a cell's text and typed value. The control class does not call it.
    virtual BOOL GetItemValue(DWORD_PTR dwItemData, int nColumnId, CString& strText, VARIANT* pValue);
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    void PreSubclassWindow() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    void OnDestroy();
    void OnContextMenu(CWnd* pWnd, CPoint point);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnPaint();
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnMouseLeave();
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnSysColorChange();

private:
    // The comparison data of SortItems: the list and the column's identifier (its cell index).
    struct SORT_DATA
    {
        CListCtrlEx* pList;
        int nSubItem;
    };
    static int CALLBACK CompareTexts(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    static int CALLBACK CompareTextsDescending(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    CString GetRecordText(const ITEM_DATA* pRecord, int nSubItem) const;
    DECLARE_MESSAGE_MAP()
};
