#pragma once
#include "framework/Platform.h"
#include <map>
#include <ostream>
#include <string>
#include <vector>

// One registry value as stored: its type and bytes.
struct RegValue
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    static RegValue Dword(DWORD n);
    static RegValue Text(const std::wstring& text, DWORD type = REG_SZ);
    bool operator==(const RegValue&) const = default;
};
void PrintTo(const RegValue& v, std::ostream* os);

// The section "Settings" of one program key under both roots, removed when the object is made
// and again when it goes, so that every test starts from an empty key.
class SettingsKey
{
public:
    explicit SettingsKey(std::wstring path);
    ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    const std::wstring& Path() const { return m_path; }
    void Put(HKEY root, LPCWSTR pszName, const RegValue& value) const;
    bool Has(HKEY root, LPCWSTR pszName) const;
    RegValue Get(HKEY root, LPCWSTR pszName) const; // type REG_NONE when absent
    // Every value of the section under the root, by name.
    std::map<std::wstring, RegValue> All(HKEY root) const;
    void Remove() const;

private:
    std::wstring Section() const { return m_path + L"\\Settings"; }
    std::wstring m_path;
};
