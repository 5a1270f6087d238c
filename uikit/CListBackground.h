#pragma once
#include "framework/CListCtrl.h"
// The list's background: the colour the program gave, kept across a background image, and the
// tint of the sort column painted on it (by the control at visual-style level 2, by the erase
// of the background below it).
class CDC;
class CListBase;

class CListBackground
{
public:
    explicit CListBackground(CListBase& list);
    CListBackground(const CListBackground&) = delete;
    CListBackground& operator=(const CListBackground&) = delete;

    BOOL ColorSortColumn(BOOL bTint, int nSortColumn);
    static COLORREF ComputeSortTint(COLORREF crBackground);
    LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBkImage(WPARAM wParam, LPARAM lParam);
    BOOL OnListEraseBkgnd(CDC* pDC);
    void OnListHScroll(WPARAM wParam, LPARAM lParam);
    void OnListSysColorChange();
    COLORREF GetListBkColor() const;

private:
    void RepaintSortColumnEmptyAreas();
    void UpdateSortTint();

    CListBase& m_list;
    COLORREF m_crBkColor = CLR_NONE;
    BYTE m_bBkColorKept = FALSE;
    BYTE m_bBkColorSetByProgram = FALSE;
};
