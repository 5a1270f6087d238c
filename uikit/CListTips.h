#pragma once
#include "framework/CListCtrl.h"
#include "framework/CString.h"
// The tool tip and the label tip, driven by the mouse: which cell they describe, their texts
// (the program's tool-tip texts, a cut label's full text), showing and hiding them, and keeping
// them above a top-most window. The tip windows themselves belong to CListBase.
class CListBase;

class CListTips
{
public:
    explicit CListTips(CListBase& list);
    CListTips(const CListTips&) = delete;
    CListTips& operator=(const CListTips&) = delete;

    // The two tip windows, and the tracking of the mouse leaving the list.
    void CreateTips();
    BOOL TextFitsCell(int nItem, int nColumn, LPCWSTR lpszText) const;
    bool IsLabelCut(int nItem, int nColumn, CString* pText) const;
    // The cell the tips describe is forgotten: the next mouse move decides afresh.
    void ResetTips();
    void HideLabelTip();
    // The label tip is gone (closed by itself or with the focus), and so is its cell.
    void ForgetLabelTip();
    void CheckTopMostOnNextMove() { m_bTopMostCheck = TRUE; }
    void UpdateTipsTopMost();
    void UpdateTips(UINT nFlags, CPoint point, const LVHITTESTINFO& hit, int nItem);
    // No tips while the rows move under the cursor.
    void AllowTips(bool bAllow) { m_bTipsAllowed = bAllow ? TRUE : FALSE; }
    bool AreTipsAllowed() const { return m_bTipsAllowed != FALSE; }
    int GetTipItem() const { return m_nTipItem; }
    int GetTipSubItem() const { return m_nTipSubItem; }

private:
    int GetLabelTipNeed(int nColumn, LPCWSTR lpszText) const;
    void ShowLabelTip(const MSG& msg);
    void ShowToolTip(const MSG& msg);

    CListBase& m_list;
    CString m_strTipText;
    CString m_strLabelTipText;
    int m_nTipItem = -1;
    int m_nTipSubItem = -1;
    UINT m_nTipHitFlags = 0;
    BOOL m_bLabelTipShown = FALSE;
    BYTE m_bAppActive = FALSE;
    BYTE m_bTipsTopMost = FALSE;
    BYTE m_bTopMostCheck = FALSE; // set by the focus: the next mouse move looks at the top window
    BYTE m_bTipsAllowed = TRUE;
};
