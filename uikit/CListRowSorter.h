#pragma once
#include "framework/CListCtrl.h"
// Sorts the rows through the control's LVM_SORTITEMS: the control holds records, the program's
// comparison gets its own item data, or the records when a list class asks for them. Tips stay
// still while the rows move.
class CListBase;

class CListRowSorter
{
public:
    explicit CListRowSorter(CListBase& list);
    CListRowSorter(const CListRowSorter&) = delete; // the control's comparison holds `this`
    CListRowSorter& operator=(const CListRowSorter&) = delete;

    LRESULT OnSortItems(WPARAM wParam, LPARAM lParam);
    BOOL SortItemsWith(PFNLVCOMPARE pfnCompare, LPARAM lParamSort, bool bRecords);

private:
    static int CALLBACK CompareThroughRecords(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

    CListBase& m_list;
    PFNLVCOMPARE m_pfnCompare = nullptr;
    LPARAM m_lCompareData = 0;
    BYTE m_bCompareRecords = FALSE; // the comparison of a list class gets the records
};
