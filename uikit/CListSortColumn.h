#pragma once
#include "framework/CListCtrl.h"
// The sort column the user sees: its value (signed, 1-based), the header's sort marks and the
// column click that moves or turns it. Sorting the rows is CListRowSorter's; the tint of the
// column CListBackground's.
class CListBase;

class CListSortColumn
{
public:
    explicit CListSortColumn(CListBase& list);
    CListSortColumn(const CListSortColumn&) = delete;
    CListSortColumn& operator=(const CListSortColumn&) = delete;

    void SetSortColumn(int nSortColumn);
    void SetSortColumn(int nColumn, BOOL bDescending);
    BOOL GetSortColumn(int* pnColumn, BOOL* pbDescending) const;
    void ShowSortIcon(BOOL bShow, int nSortColumn);
    BOOL OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
    void RefreshSortMarks();

private:
    CListBase& m_list;
    BOOL m_bSortIcon = FALSE;
};
