#include "uikit/DialogHelpers.h"
#include "framework/CEdit.h"
#include "framework/CMenu.h"
#include <prsht.h>

namespace
{
HWND FindItem(CWnd* pParent, int nID)
{
    if (!pParent || !::IsWindow(pParent->m_hWnd)) return nullptr;
    HWND hItem = ::GetDlgItem(pParent->m_hWnd, nID);
    return ::IsWindow(hItem) ? hItem : nullptr;
}

// SWP_NOACTIVATE is left out on purpose: moving a window may bring it forward as before.
UINT MoveFlags(BOOL bRedraw, bool bSizeToo)
{
    UINT flags = SWP_NOZORDER | SWP_NOCOPYBITS;
    if (!bRedraw) flags |= SWP_NOREDRAW;
    if (!bSizeToo) flags |= SWP_NOSIZE;
    return flags;
}

// hParent null: the window is top-level and moves in screen coordinates.
BOOL MoveBy(HWND hParent, HWND hWnd, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw, bool bSizeToo)
{
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    if (hParent) ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return ::SetWindowPos(hWnd, nullptr, rc.left + dx, rc.top + dy, rc.right - rc.left + dWidth,
                          rc.bottom - rc.top + dHeight, MoveFlags(bRedraw, bSizeToo));
}
} // namespace

BOOL EnableDlgItem(CWnd* pParent, int nID, BOOL bEnable)
{
    HWND hItem = FindItem(pParent, nID);
    return hItem ? ::EnableWindow(hItem, bEnable) : 0;
}

BOOL ShowDlgItem(CWnd* pParent, int nID, int nCmdShow)
{
    HWND hItem = FindItem(pParent, nID);
    return hItem ? ::ShowWindow(hItem, nCmdShow) : 0;
}

CWnd* FocusDlgItem(CWnd* pParent, int nID)
{
    HWND hItem = FindItem(pParent, nID);
    if (!hItem) return nullptr;
    CWnd* pPrevious = CWnd::FromHandle(::SetFocus(hItem));
    CWnd* pItem = CWnd::FromHandlePermanent(hItem);
    if (pItem && pItem->IsKindOf(RUNTIME_CLASS(CEdit)))
    {
        ::SendMessageW(hItem, EM_SETSEL, 0, -1);
        ::SendMessageW(hItem, EM_SCROLLCARET, 0, 0);
    }
    return pPrevious;
}

CWnd* FocusPropertyPageItem(CWnd* pPage, int nID)
{
    if (!pPage || !::IsWindow(pPage->m_hWnd)) return nullptr;
    HWND hSheet = ::GetParent(pPage->m_hWnd);
    if (hSheet)
    {
        HWND hActive = reinterpret_cast<HWND>(::SendMessageW(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (hActive && hActive != pPage->m_hWnd)
        {
            const LRESULT index = ::SendMessageW(hSheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(pPage->m_hWnd), 0);
            if (index >= 0) ::SendMessageW(hSheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }
    return FocusDlgItem(pPage, nID);
}

void MoveDlgItem(CWnd* pParent, int nID, int dx, int dy, BOOL bRedraw)
{
    if (HWND hItem = FindItem(pParent, nID)) MoveBy(pParent->m_hWnd, hItem, dx, dy, 0, 0, bRedraw, false);
}

void MoveResizeDlgItem(CWnd* pParent, int nID, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw)
{
    if (HWND hItem = FindItem(pParent, nID)) MoveBy(pParent->m_hWnd, hItem, dx, dy, dWidth, dHeight, bRedraw, true);
}

BOOL MoveChild(CWnd* pParent, CWnd* pChild, int dx, int dy, BOOL bRedraw)
{
    return MoveBy(AfxGetSafeHwnd(pParent), AfxGetSafeHwnd(pChild), dx, dy, 0, 0, bRedraw, false);
}

BOOL MoveResizeChild(CWnd* pParent, CWnd* pChild, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw)
{
    return MoveBy(AfxGetSafeHwnd(pParent), AfxGetSafeHwnd(pChild), dx, dy, dWidth, dHeight, bRedraw, true);
}

BOOL MoveWindowBy(CWnd* pWnd, int dx, int dy, BOOL bRedraw)
{
    if (!pWnd || !::IsWindow(pWnd->m_hWnd)) return 0;
    return MoveBy(nullptr, pWnd->m_hWnd, dx, dy, 0, 0, bRedraw, false);
}

BOOL MoveResizeWindowBy(CWnd* pWnd, int dx, int dy, int dWidth, int dHeight, BOOL bRedraw)
{
    if (!pWnd || !::IsWindow(pWnd->m_hWnd)) return 0;
    return MoveBy(nullptr, pWnd->m_hWnd, dx, dy, dWidth, dHeight, bRedraw, true);
}

int FindSubMenuPosition(CMenu* pMenu, UINT nCommandId)
{
    if (!pMenu || !pMenu->GetSafeHmenu()) return -1;
    const int count = pMenu->GetMenuItemCount();
    for (int pos = 0; pos < count; ++pos)
    {
        if (pMenu->GetMenuItemID(pos) != static_cast<UINT>(-1)) continue;
        HMENU hSub = ::GetSubMenu(*pMenu, pos);
        wchar_t text[2] = {};
        // Looked up by command, the text is searched in the whole tree of the popup.
        if (hSub && ::GetMenuStringW(hSub, nCommandId, text, 2, MF_BYCOMMAND) > 0) return pos;
    }
    return -1;
}

void CleanMenuSeparators(CMenu* pMenu)
{
    if (!pMenu || !pMenu->GetSafeHmenu()) return;
    bool nextIsSeparatorOrEnd = true;
    for (int pos = pMenu->GetMenuItemCount() - 1; pos >= 0; --pos)
    {
        if (pMenu->GetMenuItemID(pos) != 0)
        {
            nextIsSeparatorOrEnd = false;
            continue;
        }
        if (nextIsSeparatorOrEnd) pMenu->RemoveMenu(pos, MF_BYPOSITION);
        nextIsSeparatorOrEnd = true;
    }
    if (pMenu->GetMenuItemCount() > 0 && pMenu->GetMenuItemID(0) == 0) pMenu->RemoveMenu(0, MF_BYPOSITION);
}
