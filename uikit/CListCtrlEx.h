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

protected:
    void PreSubclassWindow() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    void OnDestroy();
    void OnContextMenu(CWnd* pWnd, CPoint point);
    DECLARE_MESSAGE_MAP()
};
