#pragma once
#include "framework/CArray.h"
#include "framework/CCriticalSection.h"
#include "uikit/CListBaseWnd.h"
#include <oaidl.h>
#include <vector>
// The extended report list as a view of its own data: it asks itself for each cell's image and
// text or typed value (GetItemImage, GetItemValue), sorts by those values, and repaints single rows
// later on request from any thread. It is always an owner-drawn report list; its creator calls
// OnInitialUpdate once the window exists.
class CListViewEx : public CListBaseWnd
{
    DECLARE_DYNCREATE(CListViewEx)

public:
    CListViewEx();
    ~CListViewEx() override;

    // The set-up of the list once its window exists.
    virtual void OnInitialUpdate();

    // Sorts by a column's values and makes it the sort column; -1: the current sort column.
    BOOL SortItems(int nColumn, BOOL bDescending);
    using CListCtrl::SortItems;

    // A row's image in a column; -1 by default.
    virtual int GetItemImage(DWORD_PTR dwItemData, int nColumn);
    // A cell's text and, when pValue is not null, its typed value. FALSE: nothing filled.
    virtual BOOL GetItemValue(DWORD_PTR dwItemData, int nColumnId, CString& strText, VARIANT* pValue);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);

    // Repaints the row of that item data at the next tick of the redraw timer; any thread.
    void RedrawItemLater(DWORD_PTR dwItemData);
    // Selects and focuses exactly the rows with that item data; the row count.
    int SelectItemByData(DWORD_PTR dwItemData);
    BOOL GetState(CByteArray& state) const;
    BOOL SetState(const CByteArray& state);
    using CListBase::GetState;
    using CListBase::SetState;

    // The comparison of two cells' values: negative, zero or positive. Texts compare in natural
    // order without regard to case; values of one type by their type, never by subtraction.
    static int CompareItemValues(const CString& strText1, const VARIANT& value1, const CString& strText2,
                                 const VARIANT& value2);

    static constexpr UINT_PTR kRedrawTimer = 666;

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;

    BOOL OnViewGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnViewColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnViewDeleteItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnStartRedraw(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    void OnSysCommandMessage(UINT nID, LPARAM lParam);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

    UINT_PTR m_nRedrawTimer = 0; // guarded by m_redrawLock
    CCriticalSection m_redrawLock;
    std::vector<DWORD_PTR> m_pendingRows; // guarded by m_redrawLock

private:
    static int CALLBACK CompareValues(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    static int CALLBACK CompareValuesDescending(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    void StartRedrawTimer(); // under m_redrawLock, on the view's thread
    DWORD m_dwThreadId = 0;  // the view's thread, once its window exists
};
