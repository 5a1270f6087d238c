#include "uikit/CListTips.h"
#include "framework/CToolTipCtrl.h"
#include "uikit/CLabelTipCtrl.h"
#include "uikit/CListBase.h"
#include "uikit/CListCellGeometry.h"
#include <algorithm>

namespace
{
// The one tool of a tip: the whole window, its text set as the cell under the cursor asks.
BOOL AddWindowTool(CToolTipCtrl& tip, HWND hWnd, UINT nExtraFlags)
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | nExtraFlags;
    tool.hwnd = hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hWnd);
    tool.lpszText = const_cast<LPWSTR>(L"");
    return tip.AddTool(&tool);
}
} // namespace

CListTips::CListTips(CListBase& list) : m_list(list) {}

void CListTips::ResetTips()
{
    m_nTipItem = -1;
    m_nTipSubItem = -1;
    m_nTipHitFlags = 0;
}

void CListTips::CreateTips()
{
    if (!m_list.m_pListCtrl || !m_list.m_pListCtrl->m_hWnd) return;
    if (!m_list.m_pToolTip || !m_list.m_pToolTip->m_hWnd)
    {
        m_list.m_pToolTip = std::make_unique<CToolTipCtrl>();
        if (m_list.m_pToolTip->Create(m_list.m_pListCtrl))
            AddWindowTool(*m_list.m_pToolTip, m_list.m_pListCtrl->m_hWnd, 0);
        else
            m_list.m_pToolTip.reset();
    }
    if (!m_list.m_pLabelTip || !m_list.m_pLabelTip->m_hWnd)
    {
        // Mouse input over the label tip goes on to the list: the tip lies over the list's cells.
        m_list.m_pLabelTip = std::make_unique<CLabelTipCtrl>(&m_list);
        if (m_list.m_pLabelTip->Create(m_list.m_pListCtrl))
            AddWindowTool(*m_list.m_pLabelTip, m_list.m_pListCtrl->m_hWnd, TTF_TRANSPARENT);
        else
            m_list.m_pLabelTip.reset();
    }
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_list.m_pListCtrl->m_hWnd, 0};
    m_list.m_bMouseTracked = ::TrackMouseEvent(&track) ? TRUE : FALSE;
}

int CListTips::GetLabelTipNeed(int nColumn, LPCWSTR lpszText) const
{
    const int left =
        nColumn == m_list.GetLabelColumn() ? CListCellGeometry::kInsetNarrow : CListCellGeometry::kInsetWide;
    const bool column0Narrow = nColumn == 0 && !(m_list.m_bKeepLabelLeft && m_list.GetDisplayedFirstColumn() != 0);
    const int right = column0Narrow ? CListCellGeometry::kInsetNarrow : CListCellGeometry::kInsetWide;
    const int width = static_cast<int>(m_list.DefaultProc(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(lpszText)));
    // Without our custom drawing the control puts the text 2 pixels further in.
    return width + left + right + (m_list.m_bCustomDrawOff ? 2 : 0);
}

BOOL CListTips::TextFitsCell(int nItem, int nColumn, LPCWSTR lpszText) const
{
    CRect label;
    if (!m_list.IsColumnInControl(nColumn) || !m_list.m_geometry.GetCellRect(nItem, nColumn, LVIR_LABEL, label))
        return FALSE;
    const int need = GetLabelTipNeed(nColumn, lpszText ? lpszText : L"") - (m_list.m_bCustomDrawOff ? 2 : 0);
    return label.Width() >= need;
}

bool CListTips::IsLabelCut(int nItem, int nColumn, CString* pText) const
{
    CRect label;
    if (!m_list.IsColumnInControl(nColumn) || !m_list.m_geometry.GetCellRect(nItem, nColumn, LVIR_LABEL, label))
        return false;
    const CString text = m_list.m_items.GetCellText(nItem, nColumn);
    if (pText) *pText = text;
    return GetLabelTipNeed(nColumn, text) > label.Width();
}

void CListTips::ForgetLabelTip()
{
    m_bLabelTipShown = FALSE;
    ResetTips();
}

void CListTips::HideLabelTip()
{
    m_bLabelTipShown = FALSE;
    if (m_list.m_pLabelTip && m_list.m_pLabelTip->m_hWnd) m_list.m_pLabelTip->Activate(FALSE);
}

void CListTips::UpdateTipsTopMost()
{
    if (!m_bTopMostCheck) return;
    m_bTopMostCheck = FALSE;
    const HWND hTop = ::GetAncestor(m_list.m_pListCtrl->m_hWnd, GA_ROOT);
    const bool topMost = hTop && (::GetWindowLongPtrW(hTop, GWL_EXSTYLE) & WS_EX_TOPMOST);
    if (topMost == (m_bTipsTopMost != FALSE)) return;
    const HWND hAfter = topMost ? HWND_TOPMOST : HWND_NOTOPMOST;
    for (CWnd* pTip : {static_cast<CWnd*>(m_list.m_pToolTip.get()), static_cast<CWnd*>(m_list.m_pLabelTip.get())})
        if (pTip && pTip->m_hWnd)
            ::SetWindowPos(pTip->m_hWnd, hAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_bTipsTopMost = topMost ? TRUE : FALSE;
}

void CListTips::UpdateTips(UINT nFlags, CPoint point, const LVHITTESTINFO& hit, int nItem)
{
    if (!::GetActiveWindow())
    {
        // The tips of an inactive application stay as they are; the first move after activity
        // makes the next active move start afresh.
        if (m_bAppActive) ResetTips();
        m_bAppActive = FALSE;
        return;
    }
    m_bAppActive = TRUE;
    if (!m_bTipsAllowed) return;

    if (m_bLabelTipShown && nItem >= 0 && nItem == m_nTipItem && m_list.m_pLabelTip)
    {
        CRect tip;
        m_list.m_pLabelTip->GetWindowRect(&tip);
        POINT screen = point;
        m_list.m_pListCtrl->ClientToScreen(&screen);
        if (tip.PtInRect(screen)) return;
    }
    if (nItem < 0 || (m_list.m_bSubItemTips && hit.iSubItem < 0))
    {
        if (m_bLabelTipShown)
            HideLabelTip();
        else if (m_list.m_pToolTip && m_list.m_pToolTip->m_hWnd)
            m_list.m_pToolTip->Activate(FALSE);
        ResetTips();
        return;
    }
    if (nItem == m_nTipItem && hit.iSubItem == m_nTipSubItem && hit.flags == m_nTipHitFlags) return;

    const bool rowChanged = nItem != m_nTipItem;
    m_bLabelTipShown = FALSE;
    m_strLabelTipText.Empty();
    if (m_list.m_bInfoTips)
    {
        if (m_list.m_bSubItemTips)
        {
            BOOL showAsLabelTip = FALSE;
            m_strTipText = m_list.GetSubItemToolTip(nItem, hit.iSubItem, hit.flags, showAsLabelTip);
            if (showAsLabelTip)
            {
                m_strLabelTipText = m_strTipText;
                m_strTipText.Empty();
            }
        }
        else if (rowChanged)
            m_strTipText = m_list.GetItemToolTip(nItem);
        else
            m_strTipText.Empty();
    }
    if (m_strLabelTipText.IsEmpty() && m_list.m_bLabelTips && (hit.flags & LVHT_ONITEMLABEL))
    {
        CString text;
        if (IsLabelCut(nItem, hit.iSubItem, &text)) m_strLabelTipText = text;
    }
    m_nTipItem = nItem;
    m_nTipSubItem = hit.iSubItem;
    m_nTipHitFlags = hit.flags;

    const MSG msg{m_list.m_pListCtrl->m_hWnd, WM_MOUSEMOVE, nFlags, MAKELPARAM(point.x, point.y), 0, {}};
    ShowLabelTip(msg);
    if (rowChanged || m_list.m_bSubItemTips) ShowToolTip(msg);
}

void CListTips::ShowLabelTip(const MSG& msg)
{
    if (!m_list.m_pLabelTip || !m_list.m_pLabelTip->m_hWnd) return;
    if (m_strLabelTipText.IsEmpty())
    {
        m_list.m_pLabelTip->Activate(FALSE);
        return;
    }
    m_list.m_pLabelTip->Activate(TRUE);
    m_list.m_pLabelTip->UpdateTipText(m_strLabelTipText, m_list.m_pListCtrl);
    MSG relayed = msg;
    m_list.m_pLabelTip->RelayEvent(&relayed);
    m_bLabelTipShown = TRUE;
}

void CListTips::ShowToolTip(const MSG& msg)
{
    if (!m_list.m_pToolTip || !m_list.m_pToolTip->m_hWnd) return;
    if (m_strTipText.IsEmpty())
    {
        m_list.m_pToolTip->Activate(FALSE);
        return;
    }
    m_list.m_pToolTip->Activate(TRUE);
    m_list.m_pToolTip->UpdateTipText(m_strTipText, m_list.m_pListCtrl);
    MSG relayed = msg;
    m_list.m_pToolTip->RelayEvent(&relayed);
    if (m_bLabelTipShown && m_list.m_pLabelTip)
    {
        // The cursor may rest on the label tip: the tool tip must work there as well.
        TTTOOLINFOW tool{};
        if (!m_list.m_pToolTip->GetToolInfo(&tool, m_list.m_pLabelTip.get()))
            AddWindowTool(*m_list.m_pToolTip, m_list.m_pLabelTip->m_hWnd, 0);
        m_list.m_pToolTip->UpdateTipText(m_strTipText, m_list.m_pLabelTip.get());
        relayed = msg;
        relayed.hwnd = m_list.m_pLabelTip->m_hWnd;
        m_list.m_pToolTip->RelayEvent(&relayed);
    }
}
