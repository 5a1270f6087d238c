#pragma once
#include "framework/Platform.h"
#include <map>
#include <string>
#include <vector>
// Runs registry scripts of the form COM servers carry as REGISTRY resources:
//
//     HKCR
//     {
//         NoRemove CLSID
//         {
//             ForceRemove {GUID} = s 'Description'
//             {
//                 InprocServer32 = s '%MODULE%'
//                 {
//                     val ThreadingModel = s 'Apartment'
//                 }
//             }
//         }
//     }
//
// Words are separated by white space; a quoted text uses '' for a quote; %NAME% is a replacement
// (%% a percent sign). Values are s (text) or d (number, decimal or 0x hex). Registering creates
// the keys and writes the values, a ForceRemove key replaced whole. Unregistering removes a
// ForceRemove key whole, never removes a NoRemove key, and removes any other key once it has no
// subkeys left. The whole script is parsed before anything is written: a script with an error
// (or an unknown replacement) changes nothing and gives DISP_E_EXCEPTION.
class CRegistrar
{
public:
    // HKCR then means HKCU\Software\Classes, the current user's classes.
    void SetPerUser(bool bPerUser) noexcept { m_bPerUser = bPerUser; }
    HRESULT AddReplacement(LPCWSTR key, LPCWSTR item);
    HRESULT ClearReplacements() noexcept;

    HRESULT StringRegister(LPCWSTR script) noexcept { return Run(script, true); }
    HRESULT StringUnregister(LPCWSTR script) noexcept { return Run(script, false); }
    // The script from a resource: UTF-16 with a byte-order mark, else ANSI text.
    HRESULT ResourceRegister(HMODULE hModule, UINT nID, LPCWSTR type) noexcept;
    HRESULT ResourceUnregister(HMODULE hModule, UINT nID, LPCWSTR type) noexcept;

private:
    struct Value
    {
        std::wstring name; // empty: the key's default value
        wchar_t type = L's';
        std::wstring text;
        DWORD number = 0;
    };
    struct Key
    {
        enum class Removal
        {
            Normal,
            NoRemove,
            ForceRemove
        };
        std::wstring name;
        Removal removal = Removal::Normal;
        bool hasDefault = false;
        Value defaultValue;
        std::vector<Value> values;
        std::vector<Key> subkeys;
    };
    struct Root
    {
        HKEY hive;
        std::wstring path; // below the hive; empty for the hive itself
        std::vector<Key> keys;
    };
    class Parser;

    HRESULT Run(LPCWSTR script, bool bRegister) noexcept;
    HRESULT RunResource(HMODULE hModule, UINT nID, LPCWSTR type, bool bRegister) noexcept;
    bool Expand(const std::wstring& script, std::wstring& expanded) const;
    static LSTATUS RegisterKey(HKEY hParent, const Key& key);
    static LSTATUS UnregisterKey(HKEY hParent, const Key& key);
    static LSTATUS WriteValue(HKEY hKey, const Value& value);

    std::map<std::wstring, std::wstring> m_replacements; // names compared exactly
    bool m_bPerUser = false;
};
