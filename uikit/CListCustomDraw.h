#pragma once
#include "framework/CListCtrl.h"
#include <vector>
// The custom drawing of a list the control draws itself: the sort column's tint per cell, the
// icons of cells repainted where the control would draw them wrongly, and the rows under a
// background image that lost their selection.
class CListBase;

class CListCustomDraw
{
public:
    explicit CListCustomDraw(CListBase& list);
    CListCustomDraw(const CListCustomDraw&) = delete;
    CListCustomDraw& operator=(const CListCustomDraw&) = delete;

    BOOL OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);

private:
    void RepaintCustomDrawIcons(NMLVCUSTOMDRAW* pDraw);

    CListBase& m_list;
    std::vector<int> m_postPaintItems;
};
