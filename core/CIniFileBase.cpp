#include "core/CIniFileBase.h"
#include "framework/CHandleOwner.h"
#include "framework/CWinApp.h"
#include <vector>

namespace
{
CRegKeyHandle g_hUserKey;
CRegKeyHandle g_hMachineKey;
bool g_bWriteDefaults = false;
bool g_bRegistryOff = false;

// The program key under one root. The user's key is also written to, and a
// write to a new section creates a subkey, which needs more than query access
// on Windows; the machine's key is only read, which a user without
// administrator rights may do.
HKEY OpenRoot(HKEY hRoot, const CString& path, REGSAM access)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hRoot, path, 0, access, &hKey) == ERROR_SUCCESS) return hKey;
    if (RegCreateKeyExW(hRoot, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &hKey, nullptr) ==
        ERROR_SUCCESS)
        return hKey;
    return nullptr;
}

// One section, opened (or created) for one read or write; no handle when that fails.
CRegKeyHandle OpenSection(HKEY hKey, LPCWSTR pszSection, REGSAM access)
{
    HKEY hSection = nullptr;
    if (RegCreateKeyExW(hKey, pszSection ? pszSection : L"", 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        &hSection, nullptr) != ERROR_SUCCESS)
        return CRegKeyHandle();
    return CRegKeyHandle(hSection);
}

BOOL WriteValue(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, DWORD type, const void* pData, DWORD nSize)
{
    if (g_bRegistryOff || !hKey) return FALSE;
    const CRegKeyHandle section = OpenSection(hKey, pszSection, KEY_SET_VALUE);
    if (!section) return FALSE;
    return RegSetValueExW(section, pszEntry, 0, type, static_cast<const BYTE*>(pData), nSize) == ERROR_SUCCESS;
}

} // namespace

void CIniFileBase::Open(LPCWSTR pszKeyPath, BOOL bWriteDefaults, BOOL bRegistryOff)
{
    if (!g_bRegistryOff)
    {
        g_hUserKey.Close();
        g_hMachineKey.Close();
    }
    g_bRegistryOff = bRegistryOff != FALSE;
    if (g_bRegistryOff) return;
    CString path(pszKeyPath ? pszKeyPath : L"");
    if (path.IsEmpty())
    {
        const CWinApp* pApp = AfxGetApp();
        if (!pApp || !pApp->m_pszRegistryKey || !pApp->m_pszProfileName)
            return; // no program key to use: every read gives its default
        path.Format(L"Software\\%s\\%s", pApp->m_pszRegistryKey, pApp->m_pszProfileName);
    }
    g_bWriteDefaults = bWriteDefaults != FALSE;
    g_hUserKey.Attach(OpenRoot(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE));
    g_hMachineKey.Attach(OpenRoot(HKEY_LOCAL_MACHINE, path, KEY_READ));
}

void CIniFileBase::Close()
{
    if (g_bRegistryOff) return;
    g_hUserKey.Close();
    g_hMachineKey.Close();
}

bool CIniFileBase::GetBool(LPCWSTR pszSection, LPCWSTR pszEntry, bool bDefault, BOOL bWriteBack)
{
    if (g_bRegistryOff) return bDefault;
    BOOL bValue = FALSE;
    if (ReadBool(g_hUserKey, pszSection, pszEntry, bValue) || ReadBool(g_hMachineKey, pszSection, pszEntry, bValue))
        return bValue != FALSE;
    if (g_bWriteDefaults && bWriteBack && g_hUserKey) WriteBool(g_hUserKey, pszSection, pszEntry, bDefault);
    return bDefault;
}

int CIniFileBase::GetInt(LPCWSTR pszSection, LPCWSTR pszEntry, int nDefault, int nMin, int nMax, BOOL bWriteBack)
{
    if (g_bRegistryOff) return nDefault;
    int nRepair = nDefault; // the value to store for next time
    for (HKEY hKey : {g_hUserKey.Get(), g_hMachineKey.Get()})
    {
        int nValue = 0;
        if (!ReadInt(hKey, pszSection, pszEntry, nValue)) continue;
        if (nValue >= nMin && nValue <= nMax) return nValue;
        nRepair = nValue < nMin ? nMin : nMax;
    }
    if (g_bWriteDefaults && bWriteBack && g_hUserKey) WriteInt(g_hUserKey, pszSection, pszEntry, nRepair);
    return nDefault;
}

CString CIniFileBase::GetString(LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszDefault, BOOL bWriteBack)
{
    CString text;
    GetString(text, pszSection, pszEntry, pszDefault, bWriteBack);
    return text;
}

void CIniFileBase::GetString(CString& out, LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszDefault, BOOL bWriteBack)
{
    const LPCWSTR pszFallback = pszDefault ? pszDefault : L"";
    if (g_bRegistryOff)
    {
        out = pszFallback;
        return;
    }
    CString value;
    if (ReadString(g_hUserKey, pszSection, pszEntry, value) || ReadString(g_hMachineKey, pszSection, pszEntry, value))
    {
        out = value;
        return;
    }
    if (g_bWriteDefaults && bWriteBack && g_hUserKey) WriteString(g_hUserKey, pszSection, pszEntry, pszFallback);
    out = pszFallback;
}

BOOL CIniFileBase::SetBool(LPCWSTR pszSection, LPCWSTR pszEntry, BOOL bValue)
{
    return WriteBool(g_hUserKey, pszSection, pszEntry, bValue);
}

BOOL CIniFileBase::SetInt(LPCWSTR pszSection, LPCWSTR pszEntry, int nValue)
{
    return WriteInt(g_hUserKey, pszSection, pszEntry, nValue);
}

BOOL CIniFileBase::SetString(LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszValue)
{
    return WriteString(g_hUserKey, pszSection, pszEntry, pszValue);
}

BOOL CIniFileBase::DeleteValue(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry)
{
    if (g_bRegistryOff || !hKey) return FALSE;
    const CRegKeyHandle section = OpenSection(hKey, pszSection, KEY_SET_VALUE);
    return section && RegDeleteValueW(section, pszEntry) == ERROR_SUCCESS;
}

BOOL CIniFileBase::ReadBool(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, BOOL& bValue)
{
    int nValue = 0;
    if (!ReadInt(hKey, pszSection, pszEntry, nValue)) return FALSE;
    bValue = nValue != 0;
    return TRUE;
}

BOOL CIniFileBase::ReadInt(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, int& nValue)
{
    if (g_bRegistryOff || !hKey) return FALSE;
    const CRegKeyHandle section = OpenSection(hKey, pszSection, KEY_QUERY_VALUE);
    if (!section) return FALSE;
    DWORD nSize = 0;
    if (RegQueryValueExW(section, pszEntry, nullptr, nullptr, nullptr, &nSize) != ERROR_SUCCESS ||
        nSize > sizeof(DWORD))
        return FALSE;
    DWORD nNumber = 0; // a shorter value fills only its low bytes
    if (RegQueryValueExW(section, pszEntry, nullptr, nullptr, reinterpret_cast<BYTE*>(&nNumber), &nSize) !=
        ERROR_SUCCESS)
        return FALSE;
    nValue = static_cast<int>(nNumber);
    return TRUE;
}

BOOL CIniFileBase::ReadString(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, CString& value)
{
    if (g_bRegistryOff || !hKey) return FALSE;
    const CRegKeyHandle section = OpenSection(hKey, pszSection, KEY_QUERY_VALUE);
    if (!section) return FALSE;
    DWORD type = 0;
    DWORD nSize = 0;
    if (RegQueryValueExW(section, pszEntry, nullptr, &type, nullptr, &nSize) != ERROR_SUCCESS || nSize == 0 ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return FALSE;
    // Twice the size and zero-filled: a text stored without its terminator still
    // ends.
    std::vector<wchar_t> buffer(nSize + 1, L'\0');
    if (RegQueryValueExW(section, pszEntry, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &nSize) !=
        ERROR_SUCCESS)
        return FALSE;
    value = buffer.data();
    return TRUE;
}

BOOL CIniFileBase::WriteBool(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, BOOL bValue)
{
    const DWORD nValue = static_cast<BYTE>(bValue);
    return WriteValue(hKey, pszSection, pszEntry, REG_DWORD, &nValue, sizeof(nValue));
}

BOOL CIniFileBase::WriteInt(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, int nValue)
{
    const DWORD nNumber = static_cast<DWORD>(nValue);
    return WriteValue(hKey, pszSection, pszEntry, REG_DWORD, &nNumber, sizeof(nNumber));
}

BOOL CIniFileBase::WriteString(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszValue)
{
    const LPCWSTR pszText = pszValue ? pszValue : L"";
    const DWORD nSize = static_cast<DWORD>((wcslen(pszText) + 1) * sizeof(wchar_t));
    return WriteValue(hKey, pszSection, pszEntry, REG_SZ, pszText, nSize);
}

HKEY CIniFileBase::GetUserKey()
{
    return g_hUserKey;
}

HKEY CIniFileBase::GetMachineKey()
{
    return g_hMachineKey;
}

bool CIniFileBase::IsRegistryOff()
{
    return g_bRegistryOff;
}
