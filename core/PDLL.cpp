#include "core/PDLL.h"
#include <cwchar>

BOOL PDLL::Load()
{
    if (m_nUseCount++ > 0) return FALSE;
    if (m_hModule) // already loaded directly: loading it again would leak a reference
        return TRUE;
    if (!m_pszLibraryName)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    m_hModule = LoadLibraryW(m_pszLibraryName.get());
    return m_hModule != nullptr;
}

BOOL PDLL::Unload()
{
    if (m_nUseCount == 0) return FALSE;
    if (--m_nUseCount > 0) return FALSE;
    if (m_hModule) FreeLibrary(m_hModule);
    m_hModule = nullptr;
    m_pszLibraryName.reset();
    return TRUE;
}

PDLL::~PDLL()
{
    if (m_hModule)
    {
        const DWORD err = GetLastError();
        FreeLibrary(m_hModule);
        SetLastError(err);
    }
}

BOOL PDLL::SetLibraryName(LPCWSTR pszName)
{
    if (m_hModule) return FALSE;
    m_pszLibraryName.reset();
    if (pszName)
    {
        const size_t n = std::wcslen(pszName) + 1;
        m_pszLibraryName = std::make_unique<wchar_t[]>(n);
        std::wmemcpy(m_pszLibraryName.get(), pszName, n);
    }
    return TRUE;
}

bool PDLL::LoadDirect()
{
    if (!m_hModule && m_pszLibraryName) m_hModule = LoadLibraryW(m_pszLibraryName.get());
    return m_hModule != nullptr;
}
