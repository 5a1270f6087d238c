#include "uikit/CManifestActCtx.h"
#include <shlwapi.h>

namespace
{
CManifestActCtx::CreateActCtxFunction g_pfnCreateActCtx = nullptr;

std::wstring PathBesideExecutable(LPCWSTR lpszName)
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, folder, MAX_PATH);
    // A path that filled the buffer may have been cut short: it is not used.
    if (length < 1 || length > MAX_PATH - 1 || !::PathRemoveFileSpecW(folder)) return {};
    wchar_t path[MAX_PATH] = {};
    if (!::PathCombineW(path, folder, lpszName)) return {};
    return path;
}
} // namespace

void CManifestActCtx::SetCreateActCtxFunction(CreateActCtxFunction pfn)
{
    g_pfnCreateActCtx = pfn;
}

CManifestActCtx::CManifestActCtx(LPCWSTR lpszManifestName, BOOL bActivateNow)
{
    if (!lpszManifestName || !*lpszManifestName) return;
    m_strPath = PathBesideExecutable(lpszManifestName);
    if (m_strPath.empty()) return;
    m_actCtx.cbSize = sizeof(m_actCtx);
    m_actCtx.lpSource = m_strPath.c_str();
    m_hActCtx.Attach(g_pfnCreateActCtx ? g_pfnCreateActCtx(&m_actCtx) : ::CreateActCtxW(&m_actCtx));
    if (m_hActCtx.IsValid() && bActivateNow && !Activate()) m_hActCtx.Close();
}

CManifestActCtx::~CManifestActCtx()
{
    Deactivate();
}

BOOL CManifestActCtx::Activate()
{
    if (!m_hActCtx.IsValid()) return FALSE;
    if (m_ulCookie != 0) return TRUE;
    if (!::ActivateActCtx(m_hActCtx, &m_ulCookie))
    {
        m_ulCookie = 0;
        return FALSE;
    }
    return TRUE;
}

BOOL CManifestActCtx::Deactivate()
{
    if (!m_hActCtx.IsValid()) return FALSE;
    if (m_ulCookie != 0)
    {
        if (!::DeactivateActCtx(0, m_ulCookie)) return FALSE;
        m_ulCookie = 0;
    }
    return TRUE;
}
