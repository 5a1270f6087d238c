#include "sessions/CJexDataSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CJexSocket.h"
#include "sessions/ILumoAppHost.h"
#include <map>

UINT CJexDataSocket::s_nConnectTimeoutMs = CJexDataSocket::kConnectTimeoutMs;
CSocketCommandMap CJexDataSocket::s_mapData;
CCriticalSection CJexDataSocket::s_csData;

namespace
{
// A thread timer carries no pointer of its own: its procedure finds the link by the timer's id.
// Touched on the GUI thread only, as the timers themselves.
std::map<UINT_PTR, CJexDataSocket*>& ConnectTimers()
{
    static std::map<UINT_PTR, CJexDataSocket*> s_timers;
    return s_timers;
}

bool IsTcpPort(long nPort)
{
    return nPort > 0 && nPort <= 65535;
}
} // namespace

CJexDataSocket::CJexDataSocket(ILumoAppHost& app, CJexSocket& owner) : CJexSocketBase(app), m_pOwner(&owner)
{
    m_strTraceLineFormat = L"%s [DATA] : %s\n";
}

CJexDataSocket::~CJexDataSocket()
{
    KillConnectTimer();
}

CSocketCommandMap* CJexDataSocket::GetCommandMap()
{
    return &s_mapData;
}

void CJexDataSocket::InitCommandMap()
{
    InitDerivedCommandMap<CJexSocketBase>(this, s_mapData, s_csData, s_csJexBase, [](CSocketCommandMap& map) {
        using C = CSocketCommand;
        map.Add(L"STARTS",
                new C(SocketHandler(&CJexDataSocket::HandleSTARTS), C::modeText, false, C::checkNone, 0, -1));
        map.Add(L"ALGDAT",
                new C(SocketHandler(&CJexDataSocket::HandleALGDAT), C::modeText, false, C::checkNone, 0, -1));
    });
}

// ---- connecting ----

BOOL CJexDataSocket::StartConnect()
{
    // A new attempt: whatever an earlier one left running must not log on a second time.
    KillConnectTimer();
    m_bLogonHandedOn = false;
    if (m_hSocket == INVALID_SOCKET && !Create(0, SOCK_STREAM, CAsyncSocket::kAllEvents))
    {
        m_nLastError = WSAGetLastError();
        return FALSE;
    }
    // A port beyond 16 bits would be cut to another one on the wire.
    if (!IsTcpPort(m_nDataPort))
    {
        Close();
        return FALSE;
    }
    IJexConnection* pJex = m_pOwner->Served<IJexConnection>(__func__);
    if (Connect(pJex ? pJex->GetJexHostName().GetString() : L"", static_cast<UINT>(m_nDataPort))) return TRUE;
    m_nLastError = WSAGetLastError();
    if (m_nLastError != WSAEWOULDBLOCK)
    {
        Close();
        return FALSE;
    }
    m_connectTimer.Attach(::SetTimer(nullptr, 0, s_nConnectTimeoutMs, &CJexDataSocket::DataConnectTimerProc));
    if (m_connectTimer.IsValid()) ConnectTimers()[m_connectTimer.Get()] = this;
    return TRUE;
}

void CJexDataSocket::OnConnect(int nErrorCode)
{
    CJexSocketBase::OnConnect(nErrorCode);
    if (nErrorCode != 0)
    {
        // The attempt is over: the timer would only log on a second time.
        KillConnectTimer();
        Close();
    }
    HandOnLogon();
}

void CJexDataSocket::OnConnectTimeout()
{
    if (m_bSession && m_bLoggedIn) return;
    Close();
    HandOnLogon();
}

void CALLBACK CJexDataSocket::DataConnectTimerProc(HWND /*hWnd*/, UINT /*nMsg*/, UINT_PTR nIdEvent, DWORD /*dwTime*/)
{
    ::KillTimer(nullptr, nIdEvent);
    auto& timers = ConnectTimers();
    const auto found = timers.find(nIdEvent);
    if (found == timers.end()) return;
    CJexDataSocket* pLink = found->second;
    timers.erase(found);
    pLink->m_connectTimer.Detach(); // killed above
    pLink->OnConnectTimeout();
}

void CJexDataSocket::KillConnectTimer()
{
    if (!m_connectTimer.IsValid()) return;
    ConnectTimers().erase(m_connectTimer.Get());
    m_connectTimer.Close();
}

void CJexDataSocket::HandOnLogon()
{
    if (m_bLogonHandedOn || !m_pOwner) return;
    m_bLogonHandedOn = true;
    m_pOwner->SendLogonCommand();
}

// ---- closing ----

void CJexDataSocket::Close()
{
    m_bSession = false;
    m_bLoggedIn = false;
    CJexSocketBase::Close();
}

void CJexDataSocket::OnClose(int nErrorCode)
{
    CJexSocketBase::OnClose(nErrorCode);
    m_bSession = false;
    m_bLoggedIn = false;
}

void CJexDataSocket::CloseWithCommandLink()
{
    KillConnectTimer();
    m_bLogonHandedOn = true;
    Close();
}

// ---- Jex's words ----

void CJexDataSocket::HandleSTARTS(CString /*strParameters*/)
{
    m_bSession = true;
    SendCommand(L"ALGDAT %ld\r", static_cast<long>(m_app.GetAgent().m_nId));
}

void CJexDataSocket::HandleALGDAT(CString strParameters)
{
    m_bLoggedIn = strParameters == L"0";
    if (m_bLoggedIn) KillConnectTimer(); // nothing left for it to bound
}
