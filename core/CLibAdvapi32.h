#pragma once
#include "core/PDLL.h"
#include <sddl.h>

// The account and token functions of Advapi32, bound at run time. Construct, check IsUsable(),
// call, and let the object go: that frees the library again.
class CLibAdvapi32 : public PDLL
{
public:
    // The name is for tests only: a library that is missing or lacks the functions.
    explicit CLibAdvapi32(LPCWSTR pszLibrary = L"Advapi32.dll");

    decltype(&::LookupAccountNameA) m_pfnLookupAccountNameA = nullptr;
    decltype(&::LookupAccountNameW) m_pfnLookupAccountNameW = nullptr;
    decltype(&::LookupAccountSidA) m_pfnLookupAccountSidA = nullptr;
    decltype(&::LookupAccountSidW) m_pfnLookupAccountSidW = nullptr;
    decltype(&::ConvertSidToStringSidA) m_pfnConvertSidToStringSidA = nullptr;
    decltype(&::ConvertSidToStringSidW) m_pfnConvertSidToStringSidW = nullptr;
    decltype(&::ConvertStringSidToSidA) m_pfnConvertStringSidToSidA = nullptr;
    decltype(&::ConvertStringSidToSidW) m_pfnConvertStringSidToSidW = nullptr;
    decltype(&::OpenProcessToken) m_pfnOpenProcessToken = nullptr;
    decltype(&::OpenThreadToken) m_pfnOpenThreadToken = nullptr;
    decltype(&::GetTokenInformation) m_pfnGetTokenInformation = nullptr;
};
