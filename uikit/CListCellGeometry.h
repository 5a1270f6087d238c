#pragma once
#include "framework/CListCtrl.h"
// Where a cell's parts lie: the rectangles of cells by logical column (with the label kept in the
// column displayed first), the state image's rectangle, the extent of a cell's text, and the hit
// tests refined to those rectangles.
class CListBase;

class CListCellGeometry
{
public:
    static constexpr int kInsetWide = 6;   // left and right of a cell's text
    static constexpr int kInsetNarrow = 2; // left of the label cell's text, right of column 0's

    explicit CListCellGeometry(CListBase& list);
    CListCellGeometry(const CListCellGeometry&) = delete;
    CListCellGeometry& operator=(const CListCellGeometry&) = delete;

    LRESULT OnGetItemRect(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetSubItemRect(WPARAM wParam, LPARAM lParam);
    LRESULT OnHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT OnSubItemHitTest(WPARAM wParam, LPARAM lParam);
    int HitTestEx(CPoint point, int* pnColumn) const;
    BOOL GetCellRect(int nItem, int nColumn, int nArea, CRect& rect) const;
    BOOL GetSubItemRectEx(int nItem, int nColumn, int nArea, CRect& rect) const;
    BOOL GetStateIconRect(int nItem, CRect& rect);
    CRect GetTextExtent(int nItem, int nColumn, const CRect& label) const;
    int GetColumnFormat(int nColumn) const;

private:
    // The gap left of the state image, measured once from the first row asked for.
    void MeasureStateIconGap(int nItem);
    LRESULT HitTestRefined(UINT message, WPARAM wParam, LPARAM lParam);

    CListBase& m_list;
    BYTE m_bStateIconGapMeasured = FALSE;
};
