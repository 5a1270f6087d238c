#include "core/CLibNetapi32.h"

CLibNetapi32::CLibNetapi32(LPCWSTR pszLibrary)
{
    SetLibraryName(pszLibrary);
    if (!LoadDirect()) return;
    Bind(m_pfnNetApiBufferFree, "NetApiBufferFree");
    Bind(m_pfnNetWkstaGetInfo, "NetWkstaGetInfo");
    Bind(m_pfnNetGetDCName, "NetGetDCName");
    Bind(m_pfnNetUserEnum, "NetUserEnum");
    Bind(m_pfnNetUserAdd, "NetUserAdd");
    Bind(m_pfnNetUserDel, "NetUserDel");
}
