// CListBase: the tool tip and the label tip driven by the mouse, and the control's label edit
// (its notifications, Escape, and the text the parent sees).
#include "framework/CToolTipCtrl.h"
#include "uikit/CLabelEdit.h"
#include "uikit/CLabelTipCtrl.h"
#include "uikit/CListBase.h"
#include <algorithm>

namespace
{
constexpr int kInsetWide = 6;   // left and right of a cell's text
constexpr int kInsetNarrow = 2; // left of the label cell's text, right of column 0's

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

void CListBase::CreateTips()
{
    if (!m_pListCtrl || !m_pListCtrl->m_hWnd) return;
    if (!m_pToolTip || !m_pToolTip->m_hWnd)
    {
        m_pToolTip = std::make_unique<CToolTipCtrl>();
        if (m_pToolTip->Create(m_pListCtrl))
            AddWindowTool(*m_pToolTip, m_pListCtrl->m_hWnd, 0);
        else
            m_pToolTip.reset();
    }
    if (!m_pLabelTip || !m_pLabelTip->m_hWnd)
    {
        // Mouse input over the label tip goes on to the list: the tip lies over the list's cells.
        m_pLabelTip = std::make_unique<CLabelTipCtrl>(this);
        if (m_pLabelTip->Create(m_pListCtrl))
            AddWindowTool(*m_pLabelTip, m_pListCtrl->m_hWnd, TTF_TRANSPARENT);
        else
            m_pLabelTip.reset();
    }
    if (!m_pLabelEdit) m_pLabelEdit = std::make_unique<CLabelEdit>(this);
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_pListCtrl->m_hWnd, 0};
    m_bMouseTracked = ::TrackMouseEvent(&track) ? TRUE : FALSE;
}

// ---- the tip decisions ----------------------------------------------------------------------

int CListBase::GetLabelTipNeed(int nColumn, LPCWSTR lpszText) const
{
    const int left = nColumn == GetLabelColumn() ? kInsetNarrow : kInsetWide;
    const bool column0Narrow = nColumn == 0 && !(m_bKeepLabelLeft && GetDisplayedFirstColumn() != 0);
    const int right = column0Narrow ? kInsetNarrow : kInsetWide;
    const int width = static_cast<int>(DefaultProc(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(lpszText)));
    // Without our custom drawing the control puts the text 2 pixels further in.
    return width + left + right + (m_bCustomDrawOff ? 2 : 0);
}

BOOL CListBase::TextFitsCell(int nItem, int nColumn, LPCWSTR lpszText) const
{
    CRect label;
    if (!IsColumnInControl(nColumn) || !GetCellRect(nItem, nColumn, LVIR_LABEL, label)) return FALSE;
    const int need = GetLabelTipNeed(nColumn, lpszText ? lpszText : L"") - (m_bCustomDrawOff ? 2 : 0);
    return label.Width() >= need;
}

bool CListBase::IsLabelCut(int nItem, int nColumn, CString* pText) const
{
    CRect label;
    if (!IsColumnInControl(nColumn) || !GetCellRect(nItem, nColumn, LVIR_LABEL, label)) return false;
    const CString text = GetCellText(nItem, nColumn);
    if (pText) *pText = text;
    return GetLabelTipNeed(nColumn, text) > label.Width();
}

// ---- showing and hiding ---------------------------------------------------------------------

void CListBase::HideLabelTip()
{
    m_bLabelTipShown = FALSE;
    if (m_pLabelTip && m_pLabelTip->m_hWnd) m_pLabelTip->Activate(FALSE);
}

void CListBase::UpdateTipsTopMost()
{
    if (!m_bTopMostCheck) return;
    m_bTopMostCheck = FALSE;
    const HWND hTop = ::GetAncestor(m_pListCtrl->m_hWnd, GA_ROOT);
    const bool topMost = hTop && (::GetWindowLongPtrW(hTop, GWL_EXSTYLE) & WS_EX_TOPMOST);
    if (topMost == (m_bTipsTopMost != FALSE)) return;
    const HWND hAfter = topMost ? HWND_TOPMOST : HWND_NOTOPMOST;
    for (CWnd* pTip : {static_cast<CWnd*>(m_pToolTip.get()), static_cast<CWnd*>(m_pLabelTip.get())})
        if (pTip && pTip->m_hWnd)
            ::SetWindowPos(pTip->m_hWnd, hAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_bTipsTopMost = topMost ? TRUE : FALSE;
}

void CListBase::UpdateTips(UINT nFlags, CPoint point, const LVHITTESTINFO& hit, int nItem)
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

    if (m_bLabelTipShown && nItem >= 0 && nItem == m_nTipItem && m_pLabelTip)
    {
        CRect tip;
        m_pLabelTip->GetWindowRect(&tip);
        POINT screen = point;
        m_pListCtrl->ClientToScreen(&screen);
        if (tip.PtInRect(screen)) return;
    }
    if (nItem < 0 || (m_bSubItemTips && hit.iSubItem < 0))
    {
        if (m_bLabelTipShown)
            HideLabelTip();
        else if (m_pToolTip && m_pToolTip->m_hWnd)
            m_pToolTip->Activate(FALSE);
        ResetTips();
        return;
    }
    if (nItem == m_nTipItem && hit.iSubItem == m_nTipSubItem && hit.flags == m_nTipHitFlags) return;

    const bool rowChanged = nItem != m_nTipItem;
    m_bLabelTipShown = FALSE;
    m_strLabelTipText.Empty();
    if (m_bInfoTips)
    {
        if (m_bSubItemTips)
        {
            BOOL showAsLabelTip = FALSE;
            m_strTipText = GetSubItemToolTip(nItem, hit.iSubItem, hit.flags, showAsLabelTip);
            if (showAsLabelTip)
            {
                m_strLabelTipText = m_strTipText;
                m_strTipText.Empty();
            }
        }
        else if (rowChanged)
            m_strTipText = GetItemToolTip(nItem);
        else
            m_strTipText.Empty();
    }
    if (m_strLabelTipText.IsEmpty() && m_bLabelTips && (hit.flags & LVHT_ONITEMLABEL))
    {
        CString text;
        if (IsLabelCut(nItem, hit.iSubItem, &text)) m_strLabelTipText = text;
    }
    m_nTipItem = nItem;
    m_nTipSubItem = hit.iSubItem;
    m_nTipHitFlags = hit.flags;

    const MSG msg{m_pListCtrl->m_hWnd, WM_MOUSEMOVE, nFlags, MAKELPARAM(point.x, point.y), 0, {}};
    ShowLabelTip(msg);
    if (rowChanged || m_bSubItemTips) ShowToolTip(msg);
}

void CListBase::ShowLabelTip(const MSG& msg)
{
    if (!m_pLabelTip || !m_pLabelTip->m_hWnd) return;
    if (m_strLabelTipText.IsEmpty())
    {
        m_pLabelTip->Activate(FALSE);
        return;
    }
    m_pLabelTip->Activate(TRUE);
    m_pLabelTip->UpdateTipText(m_strLabelTipText, m_pListCtrl);
    MSG relayed = msg;
    m_pLabelTip->RelayEvent(&relayed);
    m_bLabelTipShown = TRUE;
}

void CListBase::ShowToolTip(const MSG& msg)
{
    if (!m_pToolTip || !m_pToolTip->m_hWnd) return;
    if (m_strTipText.IsEmpty())
    {
        m_pToolTip->Activate(FALSE);
        return;
    }
    m_pToolTip->Activate(TRUE);
    m_pToolTip->UpdateTipText(m_strTipText, m_pListCtrl);
    MSG relayed = msg;
    m_pToolTip->RelayEvent(&relayed);
    if (m_bLabelTipShown && m_pLabelTip)
    {
        // The cursor may rest on the label tip: the tool tip must work there as well.
        TTTOOLINFOW tool{};
        if (!m_pToolTip->GetToolInfo(&tool, m_pLabelTip.get())) AddWindowTool(*m_pToolTip, m_pLabelTip->m_hWnd, 0);
        m_pToolTip->UpdateTipText(m_strTipText, m_pLabelTip.get());
        relayed = msg;
        relayed.hwnd = m_pLabelTip->m_hWnd;
        m_pToolTip->RelayEvent(&relayed);
    }
}

// ---- the control's label edit ---------------------------------------------------------------

BOOL CListBase::OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT*)
{
    const auto* pInfo = reinterpret_cast<const NMLVDISPINFOW*>(pNMHDR);
    m_nEditItem = pInfo->item.iItem;
    m_bEditCancelled = FALSE;
    const auto hEdit = reinterpret_cast<HWND>(DefaultProc(LVM_GETEDITCONTROL));
    if (m_pLabelEdit && hEdit)
    {
        if (m_pLabelEdit->m_hWnd) m_pLabelEdit->UnsubclassWindow();
        // Not taken over, the edit still works as the list view's own, only without our keys.
        static_cast<void>(m_pLabelEdit->SubclassWindow(hEdit));
    }
    return FALSE; // the parent may refuse the edit
}

BOOL CListBase::OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    if (m_bInEndLabelEdit) return FALSE; // ours, reflected back: the parent's
    auto* pInfo = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR);
    const auto hEdit = reinterpret_cast<HWND>(DefaultProc(LVM_GETEDITCONTROL));
    const bool edited = !m_bEditCancelled && m_nEditItem >= 0 && hEdit;
    // Cancelled is no text, whatever the control put in (Wine's cancel passes the edit's text).
    if (m_bEditCancelled) pInfo->item.pszText = nullptr;
    if (edited)
    {
        const int size = std::max(::GetWindowTextLengthW(hEdit) + 1, 260);
        LPWSTR buffer = m_strLabelEditText.GetBufferSetLength(size);
        ::GetWindowTextW(hEdit, buffer, size);
        pInfo->item.pszText = buffer;
        pInfo->item.cchTextMax = size;
    }
    LRESULT accepted = 0;
    if (CWnd* pParent = m_pListCtrl->GetParent(); pParent && pParent->m_hWnd)
    {
        m_bInEndLabelEdit = TRUE;
        accepted = pParent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(m_pListCtrl->GetDlgCtrlID()),
                                        reinterpret_cast<LPARAM>(pNMHDR));
        m_bInEndLabelEdit = FALSE;
    }
    if (!m_bEditCancelled && accepted && pInfo->item.pszText)
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = pInfo->item.iItem;
        item.pszText = pInfo->item.pszText;
        m_pListCtrl->SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    if (edited) m_strLabelEditText.ReleaseBuffer();
    m_nEditItem = -1;
    // The control stores nothing itself: the row's text went through the cell records above.
    *pResult = 0;
    return TRUE;
}

LRESULT CListBase::OnCancelEditLabel(WPARAM wParam, LPARAM lParam)
{
    m_nEditItem = -1;
    m_bEditCancelled = TRUE;
    return DefaultProc(LVM_CANCELEDITLABEL, wParam, lParam);
}
