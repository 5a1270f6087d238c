// CListBase: keyboard and mouse input (check boxes for the whole selection, keyboard column
// sizing, focus, wheel) and the hot rows of owner-drawn lists.
#include "uikit/CListBase.h"
#include <algorithm>

namespace
{
constexpr DWORD kActivationStyles = LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE | LVS_EX_UNDERLINEHOT;

LPARAM PackPoint(CPoint point)
{
    return MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
}
} // namespace

void CListBase::FlipCheckBox(int nItem, bool bWholeSelection)
{
    const UINT state = static_cast<UINT>(DefaultProc(LVM_GETITEMSTATE, nItem, LVIS_STATEIMAGEMASK));
    const bool checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 1 : 2);
    DefaultProc(LVM_SETITEMSTATE, nItem, reinterpret_cast<LPARAM>(&item));
    if (!bWholeSelection) return;
    for (int row = static_cast<int>(DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); row >= 0;
         row = static_cast<int>(DefaultProc(LVM_GETNEXTITEM, row, LVNI_SELECTED)))
        if (row != nItem) DefaultProc(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void CListBase::SizeColumnsForKeyboard()
{
    const int first = GetDisplayedFirstColumn();
    for (int order = 0; order < GetColumnCount(); ++order)
    {
        const int column = GetColumnAtOrder(order);
        if (!IsColumnInControl(column)) continue;
        if (column == 0 || column == first)
            AutoSizeColumn(column, false);
        else
            m_pListCtrl->SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(LVSCW_AUTOSIZE, 0));
    }
}

void CListBase::OnListKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    const bool labelMoved = m_bKeepLabelLeft && GetDisplayedFirstColumn() != 0;
    if (nChar == VK_SPACE && (m_dwExtendedStyle & LVS_EX_CHECKBOXES))
    {
        const int focused = static_cast<int>(DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
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
        SizeColumnsForKeyboard();
        return;
    }
    DefaultProc(WM_KEYDOWN, nChar, MAKELPARAM(nRepCnt, nFlags));
}

void CListBase::OnListKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_CONTROL) m_bControlKey = FALSE;
    DefaultProc(WM_KEYUP, nChar, MAKELPARAM(nRepCnt, nFlags));
}

void CListBase::OnListLButtonDown(UINT nFlags, CPoint point)
{
    if (m_hCursor) ::SetCursor(m_hCursor);
    LVHITTESTINFO hit{};
    hit.pt = point;
    const int row = static_cast<int>(m_pListCtrl->SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && (m_dwExtendedStyle & LVS_EX_CHECKBOXES))
    {
        // The press stays away from the control: the selection is kept.
        const bool selected = (DefaultProc(LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
        FlipCheckBox(row, selected);
    }
    else
        DefaultProc(WM_LBUTTONDOWN, nFlags, PackPoint(point));
    UpdateHotItems(row, hit.flags, hit.iSubItem);
}

void CListBase::OnListLButtonDblClk(UINT nFlags, CPoint point)
{
    LVHITTESTINFO hit{};
    hit.pt = point;
    const int row = static_cast<int>(m_pListCtrl->SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && (m_dwExtendedStyle & LVS_EX_CHECKBOXES))
    {
        const bool selected = (DefaultProc(LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
        FlipCheckBox(row, selected);
        return;
    }
    DefaultProc(WM_LBUTTONDBLCLK, nFlags, PackPoint(point));
}

void CListBase::OnListLButtonUp(UINT nFlags, CPoint point)
{
    if (IsOwnerDrawn() && m_hCursor) ::SetCursor(m_hCursor);
    DefaultProc(WM_LBUTTONUP, nFlags, PackPoint(point));
}

BOOL CListBase::OnListMouseWheel(UINT nFlags, short zDelta, CPoint point)
{
    const BOOL result = static_cast<BOOL>(DefaultProc(WM_MOUSEWHEEL, MAKEWPARAM(nFlags, zDelta), PackPoint(point)));
    CRect window;
    m_pListCtrl->GetWindowRect(&window);
    if (window.PtInRect(point))
    {
        // Tips and hot rows follow the content that scrolled under the cursor.
        ResetTips();
        m_bSyntheticMove = TRUE;
        ::SetCursorPos(point.x, point.y);
    }
    return result;
}

void CListBase::OnListMouseMove(UINT nFlags, CPoint point)
{
    DefaultProc(WM_MOUSEMOVE, nFlags, PackPoint(point));
    m_bSyntheticMove = FALSE;
    CRect client;
    m_pListCtrl->GetClientRect(&client);
    if (!client.PtInRect(point)) return;
    LVHITTESTINFO hit{};
    hit.pt = point;
    const int row = static_cast<int>(m_pListCtrl->SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    UpdateHotItems(row, hit.flags, hit.iSubItem);
}

void CListBase::OnListMouseLeave()
{
    m_bMouseTracked = FALSE;
    if (m_dwExtendedStyle & kActivationStyles)
    {
        const int hot = std::exchange(m_nActivationHotItem, -1);
        if (!IsOwnerDrawn()) DefaultProc(LVM_SETHOTITEM, static_cast<WPARAM>(-1));
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        if (hot >= 0 && DefaultProc(LVM_GETITEMRECT, hot, reinterpret_cast<LPARAM>(&r)))
            m_pListCtrl->InvalidateRect(&r);
    }
    if (m_hListTheme.IsValid() && IsOwnerDrawn())
    {
        const int hot = std::exchange(m_nThemeHotItem, -1);
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        if (hot >= 0 && DefaultProc(LVM_GETITEMRECT, hot, reinterpret_cast<LPARAM>(&r)))
            m_pListCtrl->InvalidateRect(&r);
    }
    DefaultProc(WM_MOUSELEAVE);
}

void CListBase::UpdateHotItems(int nItem, UINT nFlags, int nColumn)
{
    if (!IsOwnerDrawn()) return;
    const bool onIconOrLabel = (nFlags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL)) != 0;
    const bool fullRow = (m_dwExtendedStyle & LVS_EX_FULLROWSELECT) != 0;
    const bool inLabelCell = nColumn == GetLabelColumn();
    auto invalidateRow = [this](int row, BOOL erase) {
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        if (row >= 0 && DefaultProc(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r)))
            m_pListCtrl->InvalidateRect(&r, erase);
    };
    if (m_dwExtendedStyle & kActivationStyles)
    {
        int hot = -1;
        if (nItem >= 0 && onIconOrLabel && (fullRow || inLabelCell))
        {
            const bool selected = (DefaultProc(LVM_GETITEMSTATE, nItem, LVIS_SELECTED) & LVIS_SELECTED) != 0;
            if (((m_dwExtendedStyle & LVS_EX_TWOCLICKACTIVATE) && selected) ||
                (m_dwExtendedStyle & LVS_EX_ONECLICKACTIVATE))
                hot = nItem;
        }
        m_hCursor = hot >= 0 ? m_hHandCursor : m_hArrowCursor;
        if (hot != m_nActivationHotItem)
        {
            invalidateRow(m_nActivationHotItem, FALSE);
            invalidateRow(hot, FALSE);
            m_nActivationHotItem = hot;
        }
        if (m_hCursor) ::SetCursor(m_hCursor);
    }
    if (m_hListTheme.IsValid())
    {
        const bool onPart = onIconOrLabel || (nFlags & LVHT_ONITEMSTATEICON);
        const int hot = nItem >= 0 && onPart && (fullRow || inLabelCell) ? nItem : -1;
        if (hot != m_nThemeHotItem)
        {
            if (m_bBkImage)
                m_pListCtrl->Invalidate(TRUE);
            else
            {
                invalidateRow(m_nThemeHotItem, FALSE);
                invalidateRow(hot, FALSE);
            }
            m_nThemeHotItem = hot;
        }
    }
}

void CListBase::OnListSetFocus(CWnd* pOldWnd)
{
    DefaultProc(WM_SETFOCUS, reinterpret_cast<WPARAM>(AfxGetSafeHwnd(pOldWnd)));
    const int first = static_cast<int>(DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (first >= 0)
    {
        LVITEMW item{};
        item.stateMask = LVIS_FOCUSED;
        item.state = LVIS_FOCUSED;
        DefaultProc(LVM_SETITEMSTATE, first, reinterpret_cast<LPARAM>(&item));
    }
    m_bTopMostCheck = TRUE;
}

void CListBase::OnListKillFocus(CWnd* pNewWnd)
{
    DefaultProc(WM_KILLFOCUS, reinterpret_cast<WPARAM>(AfxGetSafeHwnd(pNewWnd)));
    const int first = static_cast<int>(DefaultProc(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (first >= 0)
    {
        LVITEMW item{};
        item.stateMask = LVIS_FOCUSED;
        DefaultProc(LVM_SETITEMSTATE, first, reinterpret_cast<LPARAM>(&item));
    }
    m_bLabelTipShown = FALSE;
    ResetTips();
}
