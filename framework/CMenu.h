#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CObject.h"
#include "framework/CString.h"
class CWnd;
// CMenu: a menu it owns (created, loaded or attached; destroyed with the object). FromHandle and
// GetSubMenu give temporary wrappers of the calling thread, freed at its next idle time; never keep
// such a pointer. A popup appended to another menu belongs to that menu: Detach it first.
class CMenu : public CObject
{
    DECLARE_DYNAMIC(CMenu)

public:
    CMenu() = default;
    ~CMenu() override = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU GetSafeHmenu() const noexcept { return m_hMenu.Get(); }
    operator HMENU() const noexcept { return m_hMenu.Get(); }
    static CMenu* FromHandle(HMENU hMenu);
    BOOL Attach(HMENU hMenu); // FALSE when null or this object holds one
    HMENU Detach() noexcept { return m_hMenu.Detach(); }

    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    BOOL LoadMenu(LPCWSTR lpszResourceName); // from AfxFindResourceHandle's module
    BOOL LoadMenu(UINT nIDResource) { return LoadMenu(MAKEINTRESOURCEW(nIDResource)); }
    BOOL DestroyMenu();

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCWSTR lpszNewItem = nullptr);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCWSTR lpszNewItem = nullptr);
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCWSTR lpszNewItem = nullptr);
    BOOL DeleteMenu(UINT nPosition, UINT nFlags) { return ::DeleteMenu(*this, nPosition, nFlags); }
    BOOL RemoveMenu(UINT nPosition, UINT nFlags) { return ::RemoveMenu(*this, nPosition, nFlags); }
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable) { return ::EnableMenuItem(*this, nIDEnableItem, nEnable); }
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck)
    {
        return static_cast<UINT>(::CheckMenuItem(*this, nIDCheckItem, nCheck));
    }
    BOOL CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags)
    {
        return ::CheckMenuRadioItem(*this, nIDFirst, nIDLast, nIDItem, nFlags);
    }
    BOOL SetDefaultItem(UINT uItem, BOOL fByPos = FALSE) { return ::SetMenuDefaultItem(*this, uItem, fByPos); }
    UINT GetDefaultItem(UINT gmdiFlags, BOOL fByPos = FALSE) const
    {
        return ::GetMenuDefaultItem(*this, fByPos, gmdiFlags);
    }

    // -1 for a menu that is not one.
    int GetMenuItemCount() const { return ::GetMenuItemCount(*this); }
    // 0 for a separator, -1 for a popup.
    UINT GetMenuItemID(int nPos) const { return ::GetMenuItemID(*this, nPos); }
    UINT GetMenuState(UINT nID, UINT nFlags) const { return ::GetMenuState(*this, nID, nFlags); }
    int GetMenuString(UINT nIDItem, LPWSTR lpString, int nMaxCount, UINT nFlags) const
    {
        return ::GetMenuStringW(*this, nIDItem, lpString, nMaxCount, nFlags);
    }
    int GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const;
    BOOL GetMenuItemInfo(UINT uItem, LPMENUITEMINFOW lpMenuItemInfo, BOOL fByPos = FALSE) const;
    BOOL SetMenuItemInfo(UINT uItem, LPMENUITEMINFOW lpMenuItemInfo, BOOL fByPos = FALSE);
    CMenu* GetSubMenu(int nPos) const { return FromHandle(::GetSubMenu(*this, nPos)); }

    // With TPM_RETURNCMD the result is the chosen command (0: none); otherwise success.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);
    BOOL TrackPopupMenuEx(UINT fuFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm);

private:
    CMenuHandle m_hMenu;
};
