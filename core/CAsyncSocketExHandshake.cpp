// CAsyncSocketEx, its third part: the connection-properties handshake of both sides and the four
// commands every link understands (CNPROP, CURTIM, TTSYNC, HEARTB), with the clock texts they carry.
#include "core/CAsyncSocketEx.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CException.h"
#include <lm.h>
#include <ntsecapi.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

const char CAsyncSocketEx::s_szLinkPassPhrase[] = "3teXOnikawubroPle-_h9D+muS6lepiz";

namespace
{

constexpr int kConnectRounds = 60; // about 3 s of a silent peer
constexpr int kAcceptRounds = 20;  // about 1 s
constexpr DWORD kRoundPauseMs = 50;
constexpr int kStampLength = 20;
constexpr LONGLONG kFileTimeUnitsPerSecond = 10000000;

class CLsaPolicy
{
public:
    CLsaPolicy() = default;
    ~CLsaPolicy()
    {
        if (m_hPolicy) LsaClose(m_hPolicy);
    }
    CLsaPolicy(const CLsaPolicy&) = delete;
    CLsaPolicy& operator=(const CLsaPolicy&) = delete;
    LSA_HANDLE* operator&() { return &m_hPolicy; }
    operator LSA_HANDLE() const { return m_hPolicy; }

private:
    LSA_HANDLE m_hPolicy = nullptr;
};

template <class T, auto pfnFree> class CApiBuffer
{
public:
    CApiBuffer() = default;
    ~CApiBuffer()
    {
        if (m_p) pfnFree(m_p);
    }
    CApiBuffer(const CApiBuffer&) = delete;
    CApiBuffer& operator=(const CApiBuffer&) = delete;
    T** Receive() { return &m_p; }
    T* operator->() const { return m_p; }

private:
    T* m_p = nullptr;
};

ULONGLONG ToUInt64(const FILETIME& ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

ULONGLONG CurrentFileTime()
{
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    return ToUInt64(ft);
}

int FieldAt(const CString& strText, int nFirst, int nCount)
{
    return CStaticTools::ToInt(strText.Mid(nFirst, nCount).GetString());
}

} // namespace

COleDateTimeSpan CAsyncSocketEx::NullSpan()
{
    COleDateTimeSpan span;
    span.SetStatus(COleDateTimeSpan::null);
    return span;
}

void CAsyncSocketEx::AddBuiltInCommands(CSocketCommandMap& map)
{
    using C = CSocketCommand;
    map.Add(L"CURTIM", new C(&CAsyncSocketEx::HandleCURTIM, C::modeFields, false, C::checkOneOf, 0, 1, -1));
    map.Add(L"CNPROP", new C(&CAsyncSocketEx::HandleCNPROP, C::modeFields, false, C::checkNone, 0, -1));
    map.Add(L"TTSYNC", new C(&CAsyncSocketEx::HandleTTSYNC, C::modeFields, false, C::checkOneOf, 0, 0, 1, -1));
    // Flag and stamp: a line with the flag alone is refused by the count check, so the lines after it
    // are read as usual instead of being thrown away with a failed handler's buffer.
    map.Add(L"HEARTB", new C(&CAsyncSocketEx::HandleHEARTB, C::modeFields, false, C::checkAtLeast, 0, 2, -1));
}

void CAsyncSocketEx::GetPreferredSettings(bool& bEncryption, bool& bCompression)
{
    bEncryption = true;
    bCompression = false;
}

void CAsyncSocketEx::TraceBoth(const CString& strText)
{
    TraceReceived(strText);
    TraceSent(strText);
}

// Receive passes until the handshake is done, the link closes or the rounds are used up. A pass that
// read something is followed at once by the next; an empty one waits a little first.
bool CAsyncSocketEx::RunHandshakeRounds(int nRounds)
{
    for (int i = 0; i < nRounds; ++i)
    {
        const int nResult = ProcessReceive(0);
        if (m_nHandshakeState == 3) return true;
        if (nResult == 0 || m_bDeletePending) return false;
        if (nResult == -1) Sleep(kRoundPauseMs);
    }
    return m_nHandshakeState == 3;
}

// ---- the connecting side ----

void CAsyncSocketEx::OnConnect(int nErrorCode)
{
    CAsyncSocket::OnConnect(nErrorCode);
    if (nErrorCode != 0) return;
    // A close during the rounds (a handler's Disconnect, a broken stream) must not delete this object
    // under our feet: the handshake counts as an accept in progress, and the deletion waits for its end.
    ++m_nAcceptsInProgress;
    try
    {
        m_bAcceptingSide = false;
        m_bDetectEncoding = true;
        m_nOwnerThread = GetCurrentThreadId();
        {
            CSingleLock lock(&m_csSend, TRUE);
            InitEncryption(s_szLinkPassPhrase); // each connection starts both key streams afresh
            InitCompression(-1);
        }
        const bool bEncryption = m_bEncryption;
        const bool bCompression = m_bCompression;
        m_bEncryption = true;
        m_bCompression = false;
        m_nHandshakeState = 1;
        CString strAccount;
        if (GetMachineAccountName(strAccount))
            SendCommand(L"CNPROP %s %s\r", FormatCurrentTime().GetString(), EscapeParameter(strAccount).GetString());
        else
            SendCommand(L"CNPROP %s\r", FormatCurrentTime().GetString());
        if (!RunHandshakeRounds(kConnectRounds))
        {
            m_bEncryption = bEncryption;
            m_bCompression = bCompression;
            m_nHandshakeState = 4;
        }
    }
    catch (CException* pException) // nothing leaves a notification, and nothing goes unreported
    {
        AfxReportSocketException(pException, m_hSocket, FD_CONNECT);
    }
    catch (...)
    {
        AfxReportSocketException(nullptr, m_hSocket, FD_CONNECT);
    }
    --m_nAcceptsInProgress;
    DeleteIfPending(); // may delete this object
}

// ---- the accepting side ----

BOOL CAsyncSocketEx::Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr, int* lpSockAddrLen)
{
    auto* pLink = dynamic_cast<CAsyncSocketEx*>(&rConnectedSocket);
    if (!pLink) return CAsyncSocket::Accept(rConnectedSocket, lpSockAddr, lpSockAddrLen); // no handshake to run
    CAsyncSocketEx& link = *pLink;
    link.InitCommandMap(); // an accepted link is never created, and the handshake needs its words
    link.m_bAcceptingSide = true;
    link.m_nOwnerThread = GetCurrentThreadId();
    ++link.m_nAcceptsInProgress;
    const bool bEncryption = link.m_bEncryption;
    const bool bCompression = link.m_bCompression;
    link.m_bEncryption = true;
    link.m_bCompression = false;
    link.m_nHandshakeState = 1;

    BOOL bResult = FALSE;
    SOCKADDR_IN address{};
    int nLength = sizeof address;
    if (CAsyncSocket::Accept(link, reinterpret_cast<SOCKADDR*>(&address), &nLength))
    {
        if (lpSockAddr)
        {
            const int nRoom = lpSockAddrLen ? std::min<int>(*lpSockAddrLen, sizeof address) : sizeof address;
            std::memcpy(lpSockAddr, &address, static_cast<size_t>(std::max(nRoom, 0)));
            if (lpSockAddrLen) *lpSockAddrLen = sizeof address;
        }
        CString strAddress(inet_ntoa(address.sin_addr));
        const unsigned short nPort = ntohs(address.sin_port);
        CString strTrace;
        strTrace.Format(L"SOCKET ACCEPTED - IP Address: %s, Port: %hu", strAddress.GetString(), nPort);
        link.TraceBoth(strTrace);
        try
        {
            if (!link.RunHandshakeRounds(kAcceptRounds) && !link.m_bDeletePending)
            {
                link.m_bEncryption = bEncryption;
                link.m_bCompression = bCompression;
                link.m_nHandshakeState = 4;
                // What was read went through a key stream the peer never used: neither the bytes nor the
                // encoding they suggested mean anything, so the peer's next data decides afresh.
                link.DiscardReceived();
                link.ForgetPayload();
                if (link.m_bDetectEncoding)
                {
                    link.m_bEncodingDetected = false;
                    link.m_bWide = true;
                    link.m_nCharSize = 2;
                }
                strTrace.Format(
                    L"SOCKET handshake failed; reverted back to default settings - IP Address: %s, Port: %hu",
                    strAddress.GetString(), nPort);
                link.TraceBoth(strTrace);
            }
        }
        catch (CException* pException)
        {
            AfxReportSocketException(pException, link.m_hSocket, FD_ACCEPT);
        }
        catch (...)
        {
            AfxReportSocketException(nullptr, link.m_hSocket, FD_ACCEPT);
        }
        bResult = !link.m_bDeletePending;
    }
    else
    {
        const int nError = WSAGetLastError();
        CString strTrace;
        strTrace.Format(L"SOCKET ACCEPT FAILED with error %d - IP Address: %s, Port: %hu", nError,
                        CString(inet_ntoa(address.sin_addr)).GetString(), ntohs(address.sin_port));
        link.TraceBoth(strTrace);
        WSASetLastError(nError);
    }
    --link.m_nAcceptsInProgress;
    link.DeleteIfPending(); // may delete the new link
    return bResult;
}

// ---- CNPROP ----

void CAsyncSocketEx::HandleCNPROP(CStringArray& arrFields)
{
    const INT_PTR nFields = arrFields.GetSize();
    if (m_bAcceptingSide)
    {
        if (nFields == 0)
        {
            if (m_nHandshakeState != 4) m_nHandshakeState = 3;
            if (m_bPushClockAfterHandshake) SendTimeSync();
            return;
        }
        if (m_nHandshakeState != 4) m_nHandshakeState = 2;
        SetPeerTime(arrFields[0]);
        m_strPeerMachineAccount = nFields >= 2 ? arrFields[1] : CString();
        bool bEncryption = true;
        bool bCompression = false;
        GetPreferredSettings(bEncryption, bCompression);
        CString strAccount;
        if (nFields >= 2 && GetMachineAccountName(strAccount))
            SendCommand(L"CNPROP %s %d %d %s\r", FormatCurrentTime().GetString(), bEncryption ? 1 : 0,
                        bCompression ? 1 : 0, EscapeParameter(strAccount).GetString());
        else
            SendCommand(L"CNPROP %s %d %d\r", FormatCurrentTime().GetString(), bEncryption ? 1 : 0,
                        bCompression ? 1 : 0);
        // Our reply went under the handshake's settings; all that follows goes under the decision.
        CSingleLock lock(&m_csSend, TRUE);
        m_bEncryption = bEncryption;
        m_bCompression = bCompression;
        return;
    }
    if (nFields < 3) return; // not an answer that decides anything
    SetPeerTime(arrFields[0]);
    {
        CSingleLock lock(&m_csSend, TRUE);
        m_bEncryption = CStaticTools::ToBool(arrFields[1].GetString());
        m_bCompression = CStaticTools::ToBool(arrFields[2].GetString());
    }
    m_strPeerMachineAccount = nFields >= 4 ? arrFields[3] : CString();
    SendString(L"CNPROP\r");
    m_nHandshakeState = 3;
    if (!m_bPushClockAfterHandshake) SendTimeSync();
}

// ---- clocks ----

CString CAsyncSocketEx::FormatLinkClock(const SYSTEMTIME& stUtc, long nUtcBiasMinutes)
{
    // The sign is the bias's own: a "%+03ld" of the truncated hours would write +00:30 for a bias of
    // -30 minutes, and the peer would read the zone the wrong way round.
    const long nAbsolute = nUtcBiasMinutes < 0 ? -nUtcBiasMinutes : nUtcBiasMinutes;
    CString str;
    str.Format(L"%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", stUtc.wYear, stUtc.wMonth, stUtc.wDay, stUtc.wHour,
               stUtc.wMinute, stUtc.wSecond, nUtcBiasMinutes < 0 ? L'-' : L'+', nAbsolute / 60, nAbsolute % 60);
    return str;
}

CString CAsyncSocketEx::FormatCurrentTime()
{
    SYSTEMTIME st{};
    GetSystemTime(&st);
    return FormatLinkClock(st, CStaticTools::GetUtcOffsetMinutes());
}

void CAsyncSocketEx::SetPeerTime(const CString& strClock)
{
    SYSTEMTIME stPeer{};
    stPeer.wYear = static_cast<WORD>(FieldAt(strClock, 0, 4));
    stPeer.wMonth = static_cast<WORD>(FieldAt(strClock, 5, 2));
    stPeer.wDay = static_cast<WORD>(FieldAt(strClock, 8, 2));
    stPeer.wHour = static_cast<WORD>(FieldAt(strClock, 11, 2));
    stPeer.wMinute = static_cast<WORD>(FieldAt(strClock, 14, 2));
    stPeer.wSecond = static_cast<WORD>(FieldAt(strClock, 17, 2));
    FILETIME ftPeer{};
    // A clock that is no date would give a difference against the year 1601: keep what we had.
    if (strClock.GetLength() < 19 || !SystemTimeToFileTime(&stPeer, &ftPeer)) return;

    SYSTEMTIME stOwn{};
    GetSystemTime(&stOwn);
    stOwn.wMilliseconds = 0;
    FILETIME ftOwn{};
    if (!SystemTimeToFileTime(&stOwn, &ftOwn)) return;
    const LONGLONG nSeconds =
        (static_cast<LONGLONG>(ToUInt64(ftOwn)) - static_cast<LONGLONG>(ToUInt64(ftPeer))) / kFileTimeUnitsPerSecond;
    m_nPeerClockDifference = static_cast<int32_t>(
        std::clamp<LONGLONG>(nSeconds, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));

    // "-05:30": the sign stands before the hours and counts for the minutes too, also under one hour.
    const int nHours = FieldAt(strClock, 19, 3);
    const int nMinutes = FieldAt(strClock, 23, 2);
    const bool bNegative = strClock.GetLength() > 19 && strClock[19] == L'-';
    const int nBias = (nHours < 0 ? -nHours : nHours) * 60 + nMinutes;
    m_nPeerUtcBias = bNegative ? -nBias : nBias;

    const long nOwnBias = CStaticTools::GetUtcOffsetMinutes();
    m_spanLocalTimeDifference = COleDateTimeSpan(static_cast<double>(m_nPeerUtcBias - nOwnBias) / 1440.0 +
                                                 static_cast<double>(m_nPeerClockDifference) / 86400.0);
}

void CAsyncSocketEx::HandleCURTIM(CStringArray& arrFields)
{
    SetPeerTime(arrFields[0]);
}

void CAsyncSocketEx::RequestTimeSync()
{
    SendString(L"TTSYNC\r");
}

void CAsyncSocketEx::SendTimeSync()
{
    SendCommand(L"TTSYNC %s\r", CTimeTools::GetTimeSyncText().GetString());
}

void CAsyncSocketEx::SendCurrentTime()
{
    SendCommand(L"CURTIM %s\r", FormatCurrentTime().GetString());
}

void CAsyncSocketEx::HandleTTSYNC(CStringArray& arrFields)
{
    if (arrFields.GetSize() == 0)
        SendTimeSync();
    else
        OnTimeSync(arrFields[0]);
}

void CAsyncSocketEx::OnTimeSync(const CString& strClock)
{
    CTimeTools::SetServerTime(strClock);
}

// ---- heartbeat ----

void CAsyncSocketEx::SendHeartbeat(const CString& strStamp, bool bRequest)
{
    if (!strStamp.IsEmpty())
    {
        SendCommand(L"HEARTB %d %s\r", bRequest ? 1 : 0, strStamp.GetString());
        return;
    }
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    SendCommand(L"HEARTB %d %010lu%010lu\r", bRequest ? 1 : 0, static_cast<unsigned long>(ft.dwHighDateTime),
                static_cast<unsigned long>(ft.dwLowDateTime));
}

void CAsyncSocketEx::HandleHEARTB(CStringArray& arrFields)
{
    const CString& strStamp = arrFields[1];
    if (CStaticTools::ToBool(arrFields[0].GetString()))
    {
        SendHeartbeat(strStamp, false);
        return;
    }
    if (strStamp.GetLength() != kStampLength) return;
    const ULONGLONG nHigh = CStaticTools::ToULong(strStamp.Left(10).GetString());
    const ULONGLONG nLow = CStaticTools::ToULong(strStamp.Right(10).GetString());
    const ULONGLONG nSent = (nHigh << 32) + nLow;
    OnHeartbeatRoundTrip((CurrentFileTime() - nSent) / 10000);
}

void CAsyncSocketEx::OnHeartbeatRoundTrip(ULONGLONG /*nMilliseconds*/) {}

// ---- the machine account ----

CString CAsyncSocketEx::ComposeMachineAccountName(const CString& strDomain, bool bDomainHasSid,
                                                  const CString& strComputer)
{
    const bool bKeepDomain = bDomainHasSid || strDomain.CompareNoCase(strComputer.GetString()) == 0;
    CString str;
    str.Format(L"%s\\%s", bKeepDomain ? strDomain.GetString() : L"", strComputer.GetString());
    return str;
}

BOOL CAsyncSocketEx::GetMachineAccountName(CString& strAccount)
{
    CApiBuffer<WKSTA_INFO_100, NetApiBufferFree> workstation;
    if (NetWkstaGetInfo(nullptr, 100, reinterpret_cast<LPBYTE*>(workstation.Receive())) != NERR_Success) return FALSE;

    LSA_OBJECT_ATTRIBUTES attributes{};
    CLsaPolicy policy;
    if (LsaOpenPolicy(nullptr, &attributes, POLICY_VIEW_LOCAL_INFORMATION, &policy) != 0) return FALSE;
    CApiBuffer<POLICY_PRIMARY_DOMAIN_INFO, LsaFreeMemory> domain;
    if (LsaQueryInformationPolicy(policy, PolicyPrimaryDomainInformation, reinterpret_cast<PVOID*>(domain.Receive())) !=
        0)
        return FALSE;

    wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD nComputer = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(szComputer, &nComputer)) return FALSE;

    CString strDomain;
    if (domain->Name.Buffer && domain->Name.Length > 0)
        strDomain = CString(domain->Name.Buffer, static_cast<int>(domain->Name.Length / sizeof(wchar_t)));
    strAccount = ComposeMachineAccountName(strDomain, domain->Sid != nullptr, CString(szComputer));
    return TRUE;
}
