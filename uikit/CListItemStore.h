#pragma once
#include "framework/CListCtrl.h"
#include "framework/CString.h"
#include "uikit/ITEM_DATA.h"
#include <memory>
#include <unordered_map>
// The rows' records (ITEM_DATA): a copy of every cell and the program's item data. The control
// holds a record's address as its item data and asks for the texts on demand; the program sees
// its own item data in every message and notification, never the record.
class CListBase;

class CListItemStore
{
public:
    explicit CListItemStore(CListBase& list);
    CListItemStore(const CListItemStore&) = delete;
    CListItemStore& operator=(const CListItemStore&) = delete;

    LRESULT OnInsertItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetItemText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetItemText(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteAllItems(WPARAM wParam, LPARAM lParam);
    LRESULT OnFindItem(WPARAM wParam, LPARAM lParam);
    BOOL OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
    void ShowProgramItemData(NMHDR* pNMHDR) const;

    ITEM_DATA* GetItemRecord(int nItem) const;
    ITEM_DATA* FindRecord(LPARAM lParam) const;
    CString RequestCallbackText(const ITEM_DATA& record, int nItem, int nColumn) const;
    CString GetCellText(int nItem, int nColumn) const;
    // A copy of a program's cell request for the control: physical sub-item, no item data of the
    // program, a real text replaced by the callback marker (the control asks for it).
    LVITEMW MakeControlItem(const LVITEMW& request, int nPhysical) const;
    // Every row gets an empty cell at a new logical column, or loses the cell of a deleted one.
    void InsertColumnCells(int nColumn, int nOldCount);
    void EraseColumnCells(int nColumn);

private:
    bool UsesCallbackTexts() const;
    ITEM_DATA* TakeRecord(std::unique_ptr<ITEM_DATA> record);
    void FreeRecord(ITEM_DATA* pRecord);

    CListBase& m_list;
    std::unordered_map<const ITEM_DATA*, std::unique_ptr<ITEM_DATA>> m_itemRecords;
    BYTE m_bInItemChange = FALSE; // the control's own notifications of an insert or delete are ours
};
