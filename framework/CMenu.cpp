#include "framework/CMenu.h"
#include "framework/CTempHandleMap.h"
#include "framework/CWnd.h"

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace
{
using MenuTempMap = CTempHandleMap<HMENU, CMenu>;
} // namespace

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (!hMenu) return nullptr;
    return MenuTempMap::Get(hMenu, [hMenu] {
        auto* p = new CMenu;
        p->m_hMenu.Attach(hMenu);
        return p;
    });
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (!hMenu || m_hMenu.IsValid())
    {
        ::SetLastError(hMenu ? ERROR_ALREADY_EXISTS : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m_hMenu.Attach(hMenu);
    return TRUE;
}

BOOL CMenu::CreateMenu()
{
    HMENU hMenu = m_hMenu.IsValid() ? nullptr : ::CreateMenu();
    return hMenu ? Attach(hMenu) : FALSE;
}

BOOL CMenu::CreatePopupMenu()
{
    HMENU hMenu = m_hMenu.IsValid() ? nullptr : ::CreatePopupMenu();
    return hMenu ? Attach(hMenu) : FALSE;
}

BOOL CMenu::LoadMenu(LPCWSTR lpszResourceName)
{
    if (m_hMenu.IsValid()) return FALSE;
    HMENU hMenu = ::LoadMenuW(AfxFindResourceHandle(lpszResourceName, RT_MENU), lpszResourceName);
    return hMenu ? Attach(hMenu) : FALSE;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu.IsValid()) return FALSE;
    return ::DestroyMenu(m_hMenu.Detach());
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem)
{
    return ::AppendMenuW(*this, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem)
{
    return ::InsertMenuW(*this, nPosition, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem)
{
    return ::ModifyMenuW(*this, nPosition, nFlags, nIDNewItem, lpszNewItem);
}

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const
{
    const int length = ::GetMenuStringW(*this, nIDItem, nullptr, 0, nFlags);
    if (length <= 0)
    {
        rString.Empty();
        return 0;
    }
    ::GetMenuStringW(*this, nIDItem, rString.GetBufferSetLength(length), length + 1, nFlags);
    rString.ReleaseBuffer();
    return rString.GetLength();
}

BOOL CMenu::GetMenuItemInfo(UINT uItem, LPMENUITEMINFOW lpMenuItemInfo, BOOL fByPos) const
{
    lpMenuItemInfo->cbSize = sizeof(MENUITEMINFOW);
    return ::GetMenuItemInfoW(*this, uItem, fByPos, lpMenuItemInfo);
}

BOOL CMenu::SetMenuItemInfo(UINT uItem, LPMENUITEMINFOW lpMenuItemInfo, BOOL fByPos)
{
    lpMenuItemInfo->cbSize = sizeof(MENUITEMINFOW);
    return ::SetMenuItemInfoW(*this, uItem, fByPos, lpMenuItemInfo);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    return ::TrackPopupMenu(*this, nFlags, x, y, 0, AfxGetSafeHwnd(pWnd), lpRect);
}

BOOL CMenu::TrackPopupMenuEx(UINT fuFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm)
{
    return ::TrackPopupMenuEx(*this, fuFlags, x, y, AfxGetSafeHwnd(pWnd), lptpm);
}
