#pragma once
#include "framework/CHandleOwner.h"
#include <string>
// Activates the activation context of a manifest file for the calling thread while it lives, so
// COM finds the classes the manifest declares without any registration. The manifest's files
// are looked for in the manifest's own folder.
class CActivationContextScope
{
public:
    explicit CActivationContextScope(const std::wstring& manifestPath);
    ~CActivationContextScope();
    CActivationContextScope(const CActivationContextScope&) = delete;
    CActivationContextScope& operator=(const CActivationContextScope&) = delete;

    bool IsActive() const noexcept { return m_cookie != 0; }
    DWORD Error() const noexcept { return m_error; } // why it is not active

private:
    CActCtxHandle m_context;
    ULONG_PTR m_cookie = 0;
    DWORD m_error = ERROR_SUCCESS;
};

// The full path of a file in the folder of the running program.
std::wstring PathBesideProgram(const wchar_t* fileName);
