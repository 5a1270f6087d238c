#pragma once
#include "framework/CHeaderCtrl.h"
// A report list's header that draws its items itself in the classic look: the heading with an
// ellipsis on the button face and, on the sort column, a small 3-D triangle pointing up for an
// ascending sort and down for a descending one. A program subclasses a list's header with it.
class CListHeaderCtrl : public CHeaderCtrl
{
public:
    CListHeaderCtrl() = default;
    // Makes the column owner-drawn and marks it; the previous sort column.
    int SetSortImage(int nColumn, BOOL bAscending);
    int GetSortColumn() const noexcept { return m_nSortCol; }
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    BOOL m_bSortAsc = TRUE;
    int m_nSortCol = -1;

private:
    void DrawSortMark(CDC* pDC, const CRect& rcItem, int d) const;
};
