#include "core/CLibAdvapi32.h"

CLibAdvapi32::CLibAdvapi32(LPCWSTR pszLibrary)
{
    SetLibraryName(pszLibrary);
    if (!LoadDirect()) return;
    Bind(m_pfnLookupAccountNameA, "LookupAccountNameA");
    Bind(m_pfnLookupAccountNameW, "LookupAccountNameW");
    Bind(m_pfnLookupAccountSidA, "LookupAccountSidA");
    Bind(m_pfnLookupAccountSidW, "LookupAccountSidW");
    Bind(m_pfnConvertSidToStringSidA, "ConvertSidToStringSidA");
    Bind(m_pfnConvertSidToStringSidW, "ConvertSidToStringSidW");
    Bind(m_pfnConvertStringSidToSidA, "ConvertStringSidToSidA");
    Bind(m_pfnConvertStringSidToSidW, "ConvertStringSidToSidW");
    Bind(m_pfnOpenProcessToken, "OpenProcessToken");
    Bind(m_pfnOpenThreadToken, "OpenThreadToken");
    Bind(m_pfnGetTokenInformation, "GetTokenInformation");
}
