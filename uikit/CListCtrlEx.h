#pragma once
#include "uikit/CListBaseWnd.h"
// The dialogs' extended report list: a list-view control carrying CListBase (hideable columns
// addressed logically, cell copies, a sort column with marks and tint, the column state record,
// owner drawing). Dialogs subclass a dialog item with it, or create it. Rows carry their texts;
// sorting compares them in natural order.
class CListCtrlEx : public CListBaseWnd
{
    DECLARE_DYNCREATE(CListCtrlEx)

public:
    CListCtrlEx();
    ~CListCtrlEx() override;

    // A plain list-view window, then subclassed into this object (the set-up runs on a window
    // that exists). FALSE when it cannot be created.
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // Sorts the rows by a column's texts in natural order and makes it the sort column; -1 sorts
    // again by the current sort column in its direction. FALSE when there is nothing to sort.
    virtual BOOL SortItems(int nColumn, BOOL bDescending);
    using CListCtrl::SortItems;
    // A hook for subclasses: a cell's text and typed value. The control class does not call it.
    virtual BOOL GetItemValue(DWORD_PTR dwItemData, int nColumnId, CString& strText, VARIANT* pValue);

protected:
    void PreSubclassWindow() override;

private:
    static int CALLBACK CompareTexts(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    static int CALLBACK CompareTextsDescending(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    CString GetRecordText(const ITEM_DATA* pRecord, int nSubItem) const;
};
