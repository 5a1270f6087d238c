#pragma once
#include "framework/CHandleOwner.h"
#include <string>
// The activation context of a manifest beside the running program, for creating registration-free
// COM controls. Callers keep it on the stack around the creation of the control (activate now);
// the context stays active until the object goes out of scope.
class CManifestActCtx
{
public:
    // An empty name creates nothing. When bActivateNow and the activation fails, the context is
    // released again.
    CManifestActCtx(LPCWSTR lpszManifestName, BOOL bActivateNow);
    ~CManifestActCtx();
    CManifestActCtx(const CManifestActCtx&) = delete; // the description record points at the path
    CManifestActCtx& operator=(const CManifestActCtx&) = delete;

    BOOL Activate();   // FALSE without a context; TRUE at once when already active
    BOOL Deactivate(); // FALSE without a context or when the deactivation fails (the cookie is kept)

    HANDLE GetHandle() const noexcept { return m_hActCtx.Get(); } // INVALID_HANDLE_VALUE when none
    ULONG_PTR GetCookie() const noexcept { return m_ulCookie; }
    const std::wstring& GetPath() const noexcept { return m_strPath; }

    // Replaces CreateActCtxW (null: the system's). Tests only.
    using CreateActCtxFunction = HANDLE(WINAPI*)(PCACTCTXW);
    static void SetCreateActCtxFunction(CreateActCtxFunction pfn);

private:
    std::wstring m_strPath;
    ACTCTXW m_actCtx{};
    CActCtxHandle m_hActCtx;
    ULONG_PTR m_ulCookie = 0;
};
