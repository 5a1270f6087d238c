#pragma once
#include "framework/CListCtrl.h"
#include "uikit/CListBase.h"
// The list-view window that carries CListBase: the routing both extended report lists share.
// It sends the list-view messages that carry logical columns and the window messages CListBase
// answers to their handlers there, appends columns and sorts by a column through a comparison
// the list class chooses. CListCtrlEx and CListViewEx derive from it and add only what differs:
// how they are created and how they compare rows.
class CListBaseWnd : public CListCtrl, public CListBase
{
    DECLARE_DYNAMIC(CListBaseWnd)

public:
    ~CListBaseWnd() override;

    CListCtrl* GetOwnerWnd() override { return this; }
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    using CListCtrl::InsertColumn;
    // Appends a column whose sort and value hooks get nColumnId; the low byte of bHideable
    // lets the user hide it. The logical index, or -1.
    int InsertColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable = FALSE, int nFormat = LVCFMT_LEFT);
    // The same with the heading from the string table; -1 when it cannot be loaded.
    int InsertColumn(int nColumnId, UINT nHeadingId, int nWidth, int bHideable = FALSE, int nFormat = LVCFMT_LEFT);

protected:
    CListBaseWnd();

    // What a list class's comparison receives: the list and the column's identifier.
    struct SORT_DATA
    {
        CListBaseWnd* pList;
        int nColumnId;
    };
    // The sorting both list classes share: -1 takes the current sort column and direction, the
    // column becomes the sort column, then the rows are sorted with the ascending comparison or
    // the descending one; its lParamSort is a SORT_DATA. FALSE when there is nothing to sort.
    BOOL SortByColumn(int nColumn, BOOL bDescending, PFNLVCOMPARE pfnAscending, PFNLVCOMPARE pfnDescending,
                      bool bRecords);

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
    DECLARE_MESSAGE_MAP()
};
