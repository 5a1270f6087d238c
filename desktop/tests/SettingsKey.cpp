#include "desktop/tests/SettingsKey.h"
#include "framework/CHandleOwner.h"
#include <cstring>
#include <gtest/gtest.h>

RegValue RegValue::Dword(DWORD n)
{
    RegValue v{REG_DWORD, std::vector<BYTE>(sizeof n)};
    memcpy(v.data.data(), &n, sizeof n);
    return v;
}

RegValue RegValue::Text(const std::wstring& text, DWORD type)
{
    RegValue v{type, std::vector<BYTE>((text.size() + 1) * sizeof(wchar_t))};
    memcpy(v.data.data(), text.c_str(), v.data.size());
    return v;
}

SettingsKey::SettingsKey(std::wstring path) : m_path(std::move(path))
{
    Remove();
}

SettingsKey::~SettingsKey()
{
    Remove();
}

void SettingsKey::Remove() const
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        RegDeleteTreeW(root, m_path.c_str());
}

void SettingsKey::Put(HKEY root, LPCWSTR pszName, const RegValue& value) const
{
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, Section().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    CRegKeyHandle key(hKey);
    EXPECT_EQ(RegSetValueExW(key, pszName, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size())),
              ERROR_SUCCESS);
}

bool SettingsKey::Has(HKEY root, LPCWSTR pszName) const
{
    return Get(root, pszName).type != REG_NONE;
}

RegValue SettingsKey::Get(HKEY root, LPCWSTR pszName) const
{
    RegValue v;
    DWORD nSize = 0;
    if (RegGetValueW(root, Section().c_str(), pszName, RRF_RT_ANY | RRF_NOEXPAND, &v.type, nullptr, &nSize) !=
        ERROR_SUCCESS)
        return {};
    v.data.resize(nSize);
    if (RegGetValueW(root, Section().c_str(), pszName, RRF_RT_ANY | RRF_NOEXPAND, &v.type, v.data.data(), &nSize) !=
        ERROR_SUCCESS)
        return {};
    v.data.resize(nSize);
    return v;
}

std::map<std::wstring, RegValue> SettingsKey::All(HKEY root) const
{
    std::map<std::wstring, RegValue> values;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(root, Section().c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return values;
    CRegKeyHandle key(hKey);
    for (DWORD i = 0; i < 1000; ++i)
    {
        wchar_t name[256];
        DWORD nName = 256;
        if (RegEnumValueW(key, i, name, &nName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        values[name] = Get(root, name);
    }
    return values;
}

// Test output names a value by its type and bytes.
void PrintTo(const RegValue& v, std::ostream* os)
{
    *os << "type " << v.type << " [";
    for (BYTE b : v.data)
        *os << ' ' << static_cast<int>(b);
    *os << " ]";
}
