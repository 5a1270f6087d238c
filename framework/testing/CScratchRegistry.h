#pragma once
#include "framework/CHandleOwner.h"
#include <optional>
#include <string>
// Redirects HKCR and HKCU of the whole process into a scratch key below the real HKCU while it
// lives (RegOverridePredefKey), so registration tests never touch the prefix. IsRedirected says
// whether a probe written through HKCR arrived in the scratch key: no test may write before.
class CScratchRegistry
{
public:
    explicit CScratchRegistry(const wchar_t* scratchPath);
    ~CScratchRegistry();
    CScratchRegistry(const CScratchRegistry&) = delete;
    CScratchRegistry& operator=(const CScratchRegistry&) = delete;

    bool IsRedirected() const noexcept { return m_bRedirected; }
    HKEY Classes() const noexcept { return m_classes; } // what HKCR shows
    HKEY User() const noexcept { return m_user; }       // what HKCU shows

    // Readers for checks; nothing when the key or value is absent or of another type.
    static bool KeyExists(HKEY root, const std::wstring& path);
    static std::optional<std::wstring> ReadText(HKEY root, const std::wstring& path, const wchar_t* name = nullptr);

private:
    std::wstring m_path;
    CRegKeyHandle m_classes;
    CRegKeyHandle m_user;
    bool m_bRedirected = false;
};
