#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CListCtrl.h"
// What the user does to the header: the column menu and its commands, a divider's double click,
// a dragged column, and the keyboard's sizing of all columns, which the control would get wrong
// for the label kept in the column displayed first.
class CListBase;
class CWnd;

class CListHeaderEvents
{
public:
    explicit CListHeaderEvents(CListBase& list);
    CListHeaderEvents(const CListHeaderEvents&) = delete;
    CListHeaderEvents& operator=(const CListHeaderEvents&) = delete;

    CMenuHandle BuildColumnMenu() const;
    void OnListContextMenu(CWnd* pWnd, CPoint point);
    BOOL OnColumnCommand(WPARAM wParam, LPARAM lParam);
    BOOL OnHeaderNotify(NMHDR* pNMHDR, LRESULT* pResult);
    // Ctrl with plus: the label and column 0 by their texts, the others by the control.
    void SizeColumnsForKeyboard();

private:
    bool ShouldListAutoSize(int nColumn) const;
    void AutoSizeColumn(int nColumn, bool bConsiderCacheHint);

    CListBase& m_list;
};
