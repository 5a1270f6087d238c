#pragma once
#include "framework/CString.h"

// INI-like settings in the registry: a section is a subkey and an entry a value
// under the program's key ("Software\<company key>\<program>"). Reads look in
// the user's key first and the machine's second; a value found nowhere yields
// the caller's default, which can be written back to the user's key. Writes go
// to the user's key only. With registry access off (standalone mode) nothing is
// touched: every read gives its default and every write fails. Process-wide
// state: Open and Close run on the GUI thread; the operations in between only
// read it.
class CIniFileBase
{
public:
    virtual ~CIniFileBase() = default;

    // Opens (or creates) the key under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE;
    // a null or empty path means the application's "Software\%s\%s". A root that
    // can be neither opened nor created stays null. Closes what an earlier Open
    // left open.
    static void Open(LPCWSTR pszKeyPath, BOOL bWriteDefaults, BOOL bRegistryOff);
    static void Close();

    static bool GetBool(LPCWSTR pszSection, LPCWSTR pszEntry, bool bDefault, BOOL bWriteBack);
    // A stored value outside [nMin, nMax] is not used: the default is returned,
    // and the value limited to the range is written back for the next call.
    static int GetInt(LPCWSTR pszSection, LPCWSTR pszEntry, int nDefault, int nMin, int nMax, BOOL bWriteBack);
    static CString GetString(LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszDefault, BOOL bWriteBack);
    static void GetString(CString& out, LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszDefault, BOOL bWriteBack);

    static BOOL SetBool(LPCWSTR pszSection, LPCWSTR pszEntry, BOOL bValue);
    static BOOL SetInt(LPCWSTR pszSection, LPCWSTR pszEntry, int nValue);
    static BOOL SetString(LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszValue);
    static BOOL DeleteValue(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry);

    // One key; TRUE and the value when it is there. FALSE at once when access is
    // off or the key is null.
    static BOOL ReadBool(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, BOOL& bValue);
    static BOOL ReadInt(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, int& nValue);
    // REG_SZ, REG_EXPAND_SZ (not expanded) or the first string of REG_MULTI_SZ;
    // empty (size 0) counts as absent.
    static BOOL ReadString(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, CString& value);
    static BOOL WriteBool(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, BOOL bValue);
    static BOOL WriteInt(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, int nValue);
    static BOOL WriteString(HKEY hKey, LPCWSTR pszSection, LPCWSTR pszEntry, LPCWSTR pszValue);

    static HKEY GetUserKey();
    static HKEY GetMachineKey();
    static bool IsRegistryOff();
};
