#include "framework/testing/CScratchRegistry.h"

namespace
{
HKEY CreateKey(HKEY root, const std::wstring& path)
{
    HKEY h = nullptr;
    ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    return h;
}
} // namespace

CScratchRegistry::CScratchRegistry(const wchar_t* scratchPath) : m_path(scratchPath)
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    m_classes.Attach(CreateKey(HKEY_CURRENT_USER, m_path + L"\\Classes"));
    m_user.Attach(CreateKey(HKEY_CURRENT_USER, m_path + L"\\User"));
    if (!m_classes.IsValid() || !m_user.IsValid()) return;
    if (::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes) != ERROR_SUCCESS) return;
    if (::RegOverridePredefKey(HKEY_CURRENT_USER, m_user) != ERROR_SUCCESS) return;
    CRegKeyHandle probe(CreateKey(HKEY_CLASSES_ROOT, L"LumoProbe"));
    m_bRedirected = probe.IsValid() && KeyExists(m_classes, L"LumoProbe");
    probe.Close();
    ::RegDeleteKeyW(m_classes, L"LumoProbe");
}

CScratchRegistry::~CScratchRegistry()
{
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    m_classes.Close();
    m_user.Close();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str());
}

bool CScratchRegistry::KeyExists(HKEY root, const std::wstring& path)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

std::optional<std::wstring> CScratchRegistry::ReadText(HKEY root, const std::wstring& path, const wchar_t* name)
{
    wchar_t text[512] = L"";
    DWORD size = sizeof(text);
    if (::RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}
