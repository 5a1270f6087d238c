#include "core/AccountFunctions.h"
#include "core/CLibAdvapi32.h"
#include "core/CLibNetapi32.h"
#include "framework/CHandleOwner.h"

namespace
{
constexpr DWORD kNameChars = 256;

// A buffer the bound Netapi32 handed out goes back through the same library.
CNetApiBufferHandle NetBuffer(const CLibNetapi32& net, LPBYTE pBuffer)
{
    return CNetApiBufferHandle({pBuffer, net.m_pfnNetApiBufferFree});
}

BOOL Unusable()
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

// The server for user management: the domain controller, or empty for the local computer.
BOOL GetUserServer(CLibNetapi32& net, CString& server)
{
    server.Empty();
    return GetDomainControllerName(net, &server);
}

LPCWSTR ServerOrLocal(const CString& server)
{
    return server.IsEmpty() ? nullptr : static_cast<LPCWSTR>(server);
}

BOOL LookupSid(CLibAdvapi32& adv, PSID pSid, CString* pUserName, CString* pDomain)
{
    WCHAR szName[kNameChars] = {};
    WCHAR szDomain[kNameChars] = {};
    DWORD nName = kNameChars;
    DWORD nDomain = kNameChars;
    SID_NAME_USE use{};
    if (!adv.m_pfnLookupAccountSidW(nullptr, pSid, szName, &nName, szDomain, &nDomain, &use)) return FALSE;
    if (pUserName) *pUserName = szName;
    if (pDomain) *pDomain = szDomain;
    return TRUE;
}
} // namespace

BOOL GetWorkstationInfo(CLibNetapi32& net, CString* pComputerName, CString* pLanGroup)
{
    if (!net.IsUsable()) return Unusable();
    LPBYTE pBuffer = nullptr;
    const NET_API_STATUS status = net.m_pfnNetWkstaGetInfo(nullptr, 100, &pBuffer);
    const CNetApiBufferHandle buffer = NetBuffer(net, pBuffer);
    const auto* pInfo = reinterpret_cast<const WKSTA_INFO_100*>(pBuffer);
    if (status != NERR_Success || !pInfo)
    {
        SetLastError(status);
        return FALSE;
    }
    if (pComputerName) *pComputerName = pInfo->wki100_computername;
    if (pLanGroup) *pLanGroup = pInfo->wki100_langroup;
    return TRUE;
}

BOOL GetCurrentUserAccount(CLibAdvapi32& adv, CString* pSidText, CString* pUserName, CString* pDomain)
{
    if (!adv.IsUsable()) return Unusable();
    CKernelHandle token;
    if (!adv.m_pfnOpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.Receive()))
    {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !adv.m_pfnOpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
            return FALSE;
    }
    DWORD nSize = 0;
    if (adv.m_pfnGetTokenInformation(token, TokenUser, nullptr, 0, &nSize) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    const CProcessHeapMemory user(HeapAlloc(GetProcessHeap(), 0, nSize));
    if (!user.IsValid())
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!adv.m_pfnGetTokenInformation(token, TokenUser, user, nSize, &nSize)) return FALSE;
    const PSID pSid = static_cast<TOKEN_USER*>(user.Get())->User.Sid;
    CString name, domain;
    if (!LookupSid(adv, pSid, &name, &domain)) return FALSE;
    CLocalMemory<LPWSTR> sidText;
    if (adv.m_pfnConvertSidToStringSidW(pSid, sidText.Receive()) && pSidText) *pSidText = sidText.Get();
    if (pUserName) *pUserName = name;
    if (pDomain) *pDomain = domain;
    return TRUE;
}

BOOL GetDomainControllerName(CLibNetapi32& net, CString* pName)
{
    if (!net.IsUsable()) return Unusable();
    LPBYTE pBuffer = nullptr;
    const bool bFound = net.m_pfnNetGetDCName(nullptr, nullptr, &pBuffer) == NERR_Success;
    const CNetApiBufferHandle buffer = NetBuffer(net, pBuffer);
    if (bFound && pBuffer && pName) *pName = reinterpret_cast<LPCWSTR>(pBuffer);
    return TRUE;
}

BOOL AddNetworkUser(CLibNetapi32& net, LPCWSTR pszUserName, LPCWSTR pszPassword)
{
    if (!net.IsUsable()) return Unusable();
    CString server;
    if (!GetUserServer(net, server)) return FALSE;
    USER_INFO_1 info{};
    info.usri1_name = const_cast<LPWSTR>(pszUserName);
    info.usri1_password = const_cast<LPWSTR>(pszPassword);
    info.usri1_priv = USER_PRIV_USER;
    info.usri1_flags = UF_SCRIPT;
    DWORD nBadField = 0;
    const NET_API_STATUS status =
        net.m_pfnNetUserAdd(ServerOrLocal(server), 1, reinterpret_cast<LPBYTE>(&info), &nBadField);
    SetLastError(status);
    return status == NERR_Success;
}

BOOL DeleteNetworkUser(CLibNetapi32& net, LPCWSTR pszUserName)
{
    if (!net.IsUsable()) return Unusable();
    CString server;
    if (!GetUserServer(net, server)) return FALSE;
    const NET_API_STATUS status = net.m_pfnNetUserDel(ServerOrLocal(server), pszUserName);
    SetLastError(status);
    return status == NERR_Success;
}

BOOL EnumerateUserNames(CLibNetapi32& net, CStringArray& names)
{
    names.RemoveAll();
    if (!net.IsUsable()) return Unusable();
    CString server;
    if (!GetUserServer(net, server)) return FALSE;
    DWORD resume = 0;
    NET_API_STATUS status;
    do
    {
        LPBYTE pBuffer = nullptr;
        DWORD nRead = 0;
        DWORD nTotal = 0;
        // A preferred length of 0 gets "more data" and no entry for ever, at least under Wine.
        status = net.m_pfnNetUserEnum(ServerOrLocal(server), 20, FILTER_NORMAL_ACCOUNT, &pBuffer, MAX_PREFERRED_LENGTH,
                                      &nRead, &nTotal, &resume);
        const CNetApiBufferHandle buffer = NetBuffer(net, pBuffer);
        if (status != NERR_Success && status != ERROR_MORE_DATA) break;
        const auto* pUsers = reinterpret_cast<const USER_INFO_20*>(pBuffer);
        for (DWORD i = 0; pUsers && i < nRead; ++i)
        {
            if (!(pUsers[i].usri20_flags & UF_ACCOUNTDISABLE)) names.Add(pUsers[i].usri20_name);
        }
        // "More data" with nothing read would ask the same question again.
        if (status == ERROR_MORE_DATA && nRead == 0) break;
    } while (status == ERROR_MORE_DATA);
    return TRUE;
}

BOOL LookupAccountFromSidText(CLibAdvapi32& adv, LPCWSTR pszSidText, CString* pUserName, CString* pDomain)
{
    if (!adv.IsUsable()) return Unusable();
    CLocalMemory<PSID> sid;
    if (!adv.m_pfnConvertStringSidToSidW(pszSidText, sid.Receive())) return FALSE;
    return LookupSid(adv, sid, pUserName, pDomain);
}

BOOL GetWorkstationInfo(CString* pComputerName, CString* pLanGroup)
{
    CLibNetapi32 net;
    return GetWorkstationInfo(net, pComputerName, pLanGroup);
}

BOOL GetCurrentUserAccount(CString* pSidText, CString* pUserName, CString* pDomain)
{
    CLibAdvapi32 adv;
    return GetCurrentUserAccount(adv, pSidText, pUserName, pDomain);
}

BOOL GetDomainControllerName(CString* pName)
{
    CLibNetapi32 net;
    return GetDomainControllerName(net, pName);
}

BOOL AddNetworkUser(LPCWSTR pszUserName, LPCWSTR pszPassword)
{
    CLibNetapi32 net;
    return AddNetworkUser(net, pszUserName, pszPassword);
}

BOOL DeleteNetworkUser(LPCWSTR pszUserName)
{
    CLibNetapi32 net;
    return DeleteNetworkUser(net, pszUserName);
}

BOOL EnumerateUserNames(CStringArray& names)
{
    CLibNetapi32 net;
    return EnumerateUserNames(net, names);
}

BOOL LookupAccountFromSidText(LPCWSTR pszSidText, CString* pUserName, CString* pDomain)
{
    CLibAdvapi32 adv;
    return LookupAccountFromSidText(adv, pszSidText, pUserName, pDomain);
}
