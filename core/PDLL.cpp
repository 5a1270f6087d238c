#include "core/PDLL.h"
#include <cwchar>

BOOL PDLL::Load()
{
    if (m_nUseCount++ > 0) return FALSE;
    if (m_hModule.IsValid()) // already loaded directly: loading it again would leak a reference
        return TRUE;
    if (!m_pszLibraryName)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    m_hModule.Attach(LoadLibraryW(m_pszLibraryName.get()));
    return m_hModule.IsValid();
}

BOOL PDLL::Unload()
{
    if (m_nUseCount == 0) return FALSE;
    if (--m_nUseCount > 0) return FALSE;
    m_hModule.Close();
    m_pszLibraryName.reset();
    return TRUE;
}

PDLL::~PDLL() = default;

BOOL PDLL::SetLibraryName(LPCWSTR pszName)
{
    if (m_hModule.IsValid()) return FALSE;
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
    if (!m_hModule.IsValid() && m_pszLibraryName) m_hModule.Attach(LoadLibraryW(m_pszLibraryName.get()));
    return m_hModule.IsValid();
}
