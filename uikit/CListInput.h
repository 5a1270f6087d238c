#pragma once
#include "framework/CListCtrl.h"
// The user's keys and mouse on the rows: check boxes that flip for the whole selection, the
// keyboard's column sizing, the focus row, the wheel, and the hot rows and hand cursor that an
// owner-drawn list shows itself. Mouse moves also drive the tips.
class CListBase;
class CWnd;

class CListInput
{
public:
    explicit CListInput(CListBase& list);
    CListInput(const CListInput&) = delete;
    CListInput& operator=(const CListInput&) = delete;

    void OnListKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnListKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnListLButtonDown(UINT nFlags, CPoint point);
    void OnListLButtonDblClk(UINT nFlags, CPoint point);
    void OnListLButtonUp(UINT nFlags, CPoint point);
    BOOL OnListMouseWheel(UINT nFlags, short zDelta, CPoint point);
    void OnListMouseMove(UINT nFlags, CPoint point);
    void OnListMouseLeave();
    void OnListSetFocus(CWnd* pOldWnd);
    void OnListKillFocus(CWnd* pNewWnd);

private:
    void UpdateHotItems(int nItem, UINT nFlags, int nColumn);
    void FlipCheckBox(int nItem, bool bWholeSelection);
    // The row and cell under a point of the client area (LVM_SUBITEMHITTEST); -1 for none.
    int HitTestCell(CPoint point, LVHITTESTINFO& hit) const;
    // A hit on a row's check box flips it, for the whole selection when the row is selected.
    bool FlipCheckBoxUnder(int nItem, const LVHITTESTINFO& hit);
    void InvalidateRow(int nItem, BOOL bErase);

    CListBase& m_list;
    BYTE m_bControlKey = FALSE; // held while the label is kept left: Ctrl with plus is ours
};
