#pragma once
#include "core/PDLL.h"
#include <lm.h>

// The network-management functions of Netapi32, bound at run time (see CLibAdvapi32).
class CLibNetapi32 : public PDLL
{
public:
    // The name is for tests only: a library that is missing or lacks the functions.
    explicit CLibNetapi32(LPCWSTR pszLibrary = L"netapi32.dll");

    decltype(&::NetApiBufferFree) m_pfnNetApiBufferFree = nullptr;
    decltype(&::NetWkstaGetInfo) m_pfnNetWkstaGetInfo = nullptr;
    decltype(&::NetGetDCName) m_pfnNetGetDCName = nullptr;
    decltype(&::NetUserEnum) m_pfnNetUserEnum = nullptr;
    decltype(&::NetUserAdd) m_pfnNetUserAdd = nullptr;
    decltype(&::NetUserDel) m_pfnNetUserDel = nullptr;
};
