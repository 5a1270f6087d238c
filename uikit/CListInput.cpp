#include "uikit/CListInput.h"
#include "framework/CToolTipCtrl.h"
#include "uikit/CListBase.h"
#include <algorithm>
#include <utility>

namespace
{
constexpr DWORD kActivationStyles = LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE | LVS_EX_UNDERLINEHOT;

LPARAM PackPoint(CPoint point)
{
    return MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
}
} // namespace

CListInput::CListInput(CListBase& list) : m_list(list) {}

int CListInput::HitTestCell(CPoint point, LVHITTESTINFO& hit) const
{
    hit.pt = point;
    return static_cast<int>(m_list.m_pListCtrl->SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

bool CListInput::FlipCheckBoxUnder(int nItem, const LVHITTESTINFO& hit)
{
    if (nItem < 0 || !(hit.flags & LVHT_ONITEMSTATEICON) || !(m_list.m_dwExtendedStyle & LVS_EX_CHECKBOXES))
        return false;
    const bool selected = (m_list.DefaultProc(LVM_GETITEMSTATE, nItem, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    FlipCheckBox(nItem, selected);
    return true;
}

void CListInput::InvalidateRow(int nItem, BOOL bErase)
{
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    if (nItem >= 0 && m_list.DefaultProc(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&r)))
        m_list.m_pListCtrl->InvalidateRect(&r, bErase);
}

void CListInput::FlipCheckBox(int nItem, bool bWholeSelection)
{
    const UINT state = static_cast<UINT>(m_list.DefaultProc(LVM_GETITEMSTATE, nItem, LVIS_STATEIMAGEMASK));
    const bool checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 1 : 2);
    m_list.DefaultProc(LVM_SETITEMSTATE, nItem, reinterpret_cast<LPARAM>(&item));
    if (!bWholeSelection) return;
    for (int row = static_cast<int>(m_list.DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         row >= 0; row = static_cast<int>(m_list.DefaultProc(LVM_GETNEXTITEM, row, LVNI_SELECTED)))
        if (row != nItem) m_list.DefaultProc(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void CListInput::OnListKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    const bool labelMoved = m_list.m_bKeepLabelLeft && m_list.GetDisplayedFirstColumn() != 0;
    if (nChar == VK_SPACE && (m_list.m_dwExtendedStyle & LVS_EX_CHECKBOXES))
    {
        const int focused =
            static_cast<int>(m_list.DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (focused >= 0)
        {
            FlipCheckBox(focused, true);
            return;
        }
    }
    if (nChar == VK_CONTROL && labelMoved)
    {
        m_bControlKey = TRUE; // the control would size the wrong column on Ctrl with plus
        return;
    }
    if (nChar == VK_ADD && m_bControlKey && labelMoved)
    {
        m_list.m_header.SizeColumnsForKeyboard();
        return;
    }
    m_list.DefaultProc(WM_KEYDOWN, nChar, MAKELPARAM(nRepCnt, nFlags));
}

void CListInput::OnListKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_CONTROL) m_bControlKey = FALSE;
    m_list.DefaultProc(WM_KEYUP, nChar, MAKELPARAM(nRepCnt, nFlags));
}

void CListInput::OnListLButtonDown(UINT nFlags, CPoint point)
{
    if (m_list.m_hCursor) ::SetCursor(m_list.m_hCursor);
    LVHITTESTINFO hit{};
    const int row = HitTestCell(point, hit);
    // A press on a check box stays away from the control: the selection is kept.
    if (!FlipCheckBoxUnder(row, hit)) m_list.DefaultProc(WM_LBUTTONDOWN, nFlags, PackPoint(point));
    UpdateHotItems(row, hit.flags, hit.iSubItem);
}

void CListInput::OnListLButtonDblClk(UINT nFlags, CPoint point)
{
    LVHITTESTINFO hit{};
    const int row = HitTestCell(point, hit);
    if (!FlipCheckBoxUnder(row, hit)) m_list.DefaultProc(WM_LBUTTONDBLCLK, nFlags, PackPoint(point));
}

void CListInput::OnListLButtonUp(UINT nFlags, CPoint point)
{
    if (m_list.IsOwnerDrawn() && m_list.m_hCursor) ::SetCursor(m_list.m_hCursor);
    m_list.DefaultProc(WM_LBUTTONUP, nFlags, PackPoint(point));
}

BOOL CListInput::OnListMouseWheel(UINT nFlags, short zDelta, CPoint point)
{
    const BOOL result =
        static_cast<BOOL>(m_list.DefaultProc(WM_MOUSEWHEEL, MAKEWPARAM(nFlags, zDelta), PackPoint(point)));
    CRect window;
    m_list.m_pListCtrl->GetWindowRect(&window);
    if (window.PtInRect(point))
    {
        // Tips and hot rows follow the content that scrolled under the cursor.
        m_list.m_tips.ResetTips();
        m_list.m_bSyntheticMove = TRUE;
        ::SetCursorPos(point.x, point.y);
    }
    return result;
}

void CListInput::OnListMouseMove(UINT nFlags, CPoint point)
{
    m_list.DefaultProc(WM_MOUSEMOVE, nFlags, PackPoint(point));
    m_list.m_bSyntheticMove = FALSE;
    m_list.m_tips.UpdateTipsTopMost();
    CRect client;
    m_list.m_pListCtrl->GetClientRect(&client);
    if (!client.PtInRect(point))
    {
        m_list.m_tips.HideLabelTip();
        if (m_list.m_pToolTip && m_list.m_pToolTip->m_hWnd) m_list.m_pToolTip->Activate(FALSE);
        m_list.m_tips.ResetTips();
        return;
    }
    if (!m_list.m_bMouseTracked)
    {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_list.m_pListCtrl->m_hWnd, 0};
        m_list.m_bMouseTracked = ::TrackMouseEvent(&track) ? TRUE : FALSE;
    }
    LVHITTESTINFO hit{};
    const int row = HitTestCell(point, hit);
    UpdateHotItems(row, hit.flags, hit.iSubItem);
    m_list.m_tips.UpdateTips(nFlags, point, hit, row);
}

void CListInput::OnListMouseLeave()
{
    m_list.m_bMouseTracked = FALSE;
    // Leaving for the label tip over a row keeps it; leaving the rows hides it.
    POINT screen;
    if (::GetCursorPos(&screen))
    {
        CRect header;
        ::GetWindowRect(m_list.GetHeaderHandle(), &header);
        LVHITTESTINFO hit{};
        hit.pt = screen;
        m_list.m_pListCtrl->ScreenToClient(&hit.pt);
        if (header.PtInRect(screen) || m_list.DefaultProc(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0)
            m_list.m_tips.HideLabelTip();
    }
    if (m_list.m_dwExtendedStyle & kActivationStyles)
    {
        const int hot = std::exchange(m_list.m_nActivationHotItem, -1);
        if (!m_list.IsOwnerDrawn()) m_list.DefaultProc(LVM_SETHOTITEM, static_cast<WPARAM>(-1));
        InvalidateRow(hot, TRUE);
    }
    if (m_list.m_hListTheme.IsValid() && m_list.IsOwnerDrawn())
    {
        const int hot = std::exchange(m_list.m_nThemeHotItem, -1);
        InvalidateRow(hot, TRUE);
    }
    m_list.DefaultProc(WM_MOUSELEAVE);
}

void CListInput::UpdateHotItems(int nItem, UINT nFlags, int nColumn)
{
    if (!m_list.IsOwnerDrawn()) return;
    const bool onIconOrLabel = (nFlags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL)) != 0;
    const bool fullRow = (m_list.m_dwExtendedStyle & LVS_EX_FULLROWSELECT) != 0;
    const bool inLabelCell = nColumn == m_list.GetLabelColumn();
    if (m_list.m_dwExtendedStyle & kActivationStyles)
    {
        int hot = -1;
        if (nItem >= 0 && onIconOrLabel && (fullRow || inLabelCell))
        {
            const bool selected = (m_list.DefaultProc(LVM_GETITEMSTATE, nItem, LVIS_SELECTED) & LVIS_SELECTED) != 0;
            if (((m_list.m_dwExtendedStyle & LVS_EX_TWOCLICKACTIVATE) && selected) ||
                (m_list.m_dwExtendedStyle & LVS_EX_ONECLICKACTIVATE))
                hot = nItem;
        }
        m_list.m_hCursor = hot >= 0 ? m_list.m_hHandCursor : m_list.m_hArrowCursor;
        if (hot != m_list.m_nActivationHotItem)
        {
            InvalidateRow(m_list.m_nActivationHotItem, FALSE);
            InvalidateRow(hot, FALSE);
            m_list.m_nActivationHotItem = hot;
        }
        if (m_list.m_hCursor) ::SetCursor(m_list.m_hCursor);
    }
    if (m_list.m_hListTheme.IsValid())
    {
        const bool onPart = onIconOrLabel || (nFlags & LVHT_ONITEMSTATEICON);
        const int hot = nItem >= 0 && onPart && (fullRow || inLabelCell) ? nItem : -1;
        if (hot != m_list.m_nThemeHotItem)
        {
            if (m_list.m_bBkImage)
                m_list.m_pListCtrl->Invalidate(TRUE);
            else
            {
                InvalidateRow(m_list.m_nThemeHotItem, FALSE);
                InvalidateRow(hot, FALSE);
            }
            m_list.m_nThemeHotItem = hot;
        }
    }
}

void CListInput::OnListSetFocus(CWnd* pOldWnd)
{
    m_list.DefaultProc(WM_SETFOCUS, reinterpret_cast<WPARAM>(AfxGetSafeHwnd(pOldWnd)));
    const int first = static_cast<int>(m_list.DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (first >= 0)
    {
        LVITEMW item{};
        item.stateMask = LVIS_FOCUSED;
        item.state = LVIS_FOCUSED;
        m_list.DefaultProc(LVM_SETITEMSTATE, first, reinterpret_cast<LPARAM>(&item));
    }
    m_list.m_tips.CheckTopMostOnNextMove();
}

void CListInput::OnListKillFocus(CWnd* pNewWnd)
{
    m_list.DefaultProc(WM_KILLFOCUS, reinterpret_cast<WPARAM>(AfxGetSafeHwnd(pNewWnd)));
    const int first = static_cast<int>(m_list.DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (first >= 0)
    {
        LVITEMW item{};
        item.stateMask = LVIS_FOCUSED;
        m_list.DefaultProc(LVM_SETITEMSTATE, first, reinterpret_cast<LPARAM>(&item));
    }
    m_list.m_tips.ForgetLabelTip();
}
