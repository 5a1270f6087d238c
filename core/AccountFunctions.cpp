#include "core/AccountFunctions.h"
#include "core/CLibAdvapi32.h"
#include "core/CLibNetapi32.h"

namespace
{
constexpr DWORD kNameChars = 256;

// Frees a Netapi32 buffer through the bound function on every way out.
class CNetBuffer
{
public:
    explicit CNetBuffer(CLibNetapi32& net) : m_net(net) {}
    ~CNetBuffer() { Free(); }
    CNetBuffer(const CNetBuffer&) = delete;
    CNetBuffer& operator=(const CNetBuffer&) = delete;
    LPBYTE* operator&()
    {
        Free();
        return &m_p;
    }
    template <typename T> T* As() const { return reinterpret_cast<T*>(m_p); }
    void Free()
    {
        if (m_p) m_net.m_pfnNetApiBufferFree(m_p);
        m_p = nullptr;
    }

private:
    CLibNetapi32& m_net;
    LPBYTE m_p = nullptr;
};

class CTokenHandle
{
public:
    CTokenHandle() = default;
    ~CTokenHandle()
    {
        if (m_h)
        {
            const DWORD err = GetLastError();
            CloseHandle(m_h);
            SetLastError(err);
        }
    }
    CTokenHandle(const CTokenHandle&) = delete;
    CTokenHandle& operator=(const CTokenHandle&) = delete;
    PHANDLE operator&() { return &m_h; }
    operator HANDLE() const { return m_h; }

private:
    HANDLE m_h = nullptr;
};

// LocalAlloc'ed memory that the system handed over (identifier texts and identifiers).
template <typename T> class CLocalMemory
{
public:
    CLocalMemory() = default;
    ~CLocalMemory()
    {
        if (m_p) LocalFree(m_p);
    }
    CLocalMemory(const CLocalMemory&) = delete;
    CLocalMemory& operator=(const CLocalMemory&) = delete;
    T* operator&() { return &m_p; }
    operator T() const { return m_p; }

private:
    T m_p = nullptr;
};

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
    CNetBuffer buffer(net);
    const NET_API_STATUS status = net.m_pfnNetWkstaGetInfo(nullptr, 100, &buffer);
    if (status != NERR_Success || !buffer.As<WKSTA_INFO_100>())
    {
        SetLastError(status);
        return FALSE;
    }
    if (pComputerName) *pComputerName = buffer.As<WKSTA_INFO_100>()->wki100_computername;
    if (pLanGroup) *pLanGroup = buffer.As<WKSTA_INFO_100>()->wki100_langroup;
    return TRUE;
}

BOOL GetCurrentUserAccount(CLibAdvapi32& adv, CString* pSidText, CString* pUserName, CString* pDomain)
{
    if (!adv.IsUsable()) return Unusable();
    CTokenHandle token;
    if (!adv.m_pfnOpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token))
    {
        if (GetLastError() != ERROR_NO_TOKEN || !adv.m_pfnOpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return FALSE;
    }
    DWORD nSize = 0;
    if (adv.m_pfnGetTokenInformation(token, TokenUser, nullptr, 0, &nSize) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    struct CHeapBlock
    {
        void* p;
        ~CHeapBlock()
        {
            if (p) HeapFree(GetProcessHeap(), 0, p);
        }
    } user{HeapAlloc(GetProcessHeap(), 0, nSize)};
    if (!user.p)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!adv.m_pfnGetTokenInformation(token, TokenUser, user.p, nSize, &nSize)) return FALSE;
    const PSID pSid = static_cast<TOKEN_USER*>(user.p)->User.Sid;
    CString name, domain;
    if (!LookupSid(adv, pSid, &name, &domain)) return FALSE;
    CLocalMemory<LPWSTR> sidText;
    if (adv.m_pfnConvertSidToStringSidW(pSid, &sidText) && pSidText) *pSidText = static_cast<LPWSTR>(sidText);
    if (pUserName) *pUserName = name;
    if (pDomain) *pDomain = domain;
    return TRUE;
}

BOOL GetDomainControllerName(CLibNetapi32& net, CString* pName)
{
    if (!net.IsUsable()) return Unusable();
    CNetBuffer buffer(net);
    if (net.m_pfnNetGetDCName(nullptr, nullptr, &buffer) == NERR_Success && buffer.As<WCHAR>() && pName)
        *pName = buffer.As<WCHAR>();
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
        CNetBuffer buffer(net);
        DWORD nRead = 0;
        DWORD nTotal = 0;
        // A preferred length of 0 gets "more data" and no entry for ever, at least under Wine.
        status = net.m_pfnNetUserEnum(ServerOrLocal(server), 20, FILTER_NORMAL_ACCOUNT, &buffer, MAX_PREFERRED_LENGTH,
                                      &nRead, &nTotal, &resume);
        if (status != NERR_Success && status != ERROR_MORE_DATA) break;
        const USER_INFO_20* pUsers = buffer.As<USER_INFO_20>();
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
    if (!adv.m_pfnConvertStringSidToSidW(pszSidText, &sid)) return FALSE;
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
