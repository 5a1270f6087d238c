#include "framework/CSocket.h"
#include "framework/CWnd.h"

namespace
{
// Ready or not, the socket is looked at again after this long: a notification that never comes
// (the peer's window opened without one) costs at most this much.
constexpr int kPollMs = 5;
constexpr UINT kFirstHeldMessage = WM_USER;
constexpr UINT kLastHeldMessage = 0x7FFF;

// Marks the socket as blocking for the length of one call; calls do not nest on one socket.
class CBlockingScope
{
public:
    CBlockingScope(bool& bBlocking, bool& bCancelled) : m_bBlocking(bBlocking)
    {
        m_bBlocking = true;
        bCancelled = false;
    }
    ~CBlockingScope() { m_bBlocking = false; }
    CBlockingScope(const CBlockingScope&) = delete;
    CBlockingScope& operator=(const CBlockingScope&) = delete;

private:
    bool& m_bBlocking;
};

bool IsWouldBlock()
{
    return ::WSAGetLastError() == WSAEWOULDBLOCK;
}
} // namespace

IMPLEMENT_DYNAMIC(CSocket, CAsyncSocket)

BOOL CSocket::Create(UINT nSocketPort, int nSocketType, LPCWSTR lpszSocketAddress)
{
    return CAsyncSocket::Create(nSocketPort, nSocketType, kAllEvents, lpszSocketAddress);
}

// Dispatches what is queued outside the held range; false when WM_QUIT came.
bool CSocket::PumpAllowedMessages()
{
    const UINT ranges[2][2] = {{0, kFirstHeldMessage - 1}, {kLastHeldMessage + 1, 0xFFFFFFFF}};
    for (const auto& range : ranges)
        if (!AfxPumpPendingMessages(range[0], range[1])) return false;
    return true;
}

BOOL CSocket::WaitUntilReady(Wait wait)
{
    for (;;)
    {
        if (!PumpAllowedMessages() || m_bCancelled)
        {
            ::WSASetLastError(WSAEINTR);
            return FALSE;
        }
        if (m_hSocket == INVALID_SOCKET) // closed by a handler during the wait
        {
            ::WSASetLastError(WSAENOTSOCK);
            return FALSE;
        }
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(m_hSocket, &ready);
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(m_hSocket, &failed);
        timeval timeout{0, kPollMs * 1000};
        const int n = ::select(0, wait == Wait::readable ? &ready : nullptr, wait == Wait::writable ? &ready : nullptr,
                               &failed, &timeout);
        if (n == SOCKET_ERROR) return FALSE;
        if (n > 0) return TRUE; // a failure too: the call itself then reports it
    }
}

int CSocket::Receive(void* lpBuf, int nBufLen, int nFlags)
{
    CBlockingScope blocking(m_bBlocking, m_bCancelled);
    for (;;)
    {
        const int n = CAsyncSocket::Receive(lpBuf, nBufLen, nFlags);
        if (n != SOCKET_ERROR || !IsWouldBlock()) return n;
        if (!WaitUntilReady(Wait::readable)) return SOCKET_ERROR;
    }
}

int CSocket::Send(const void* lpBuf, int nBufLen, int nFlags)
{
    CBlockingScope blocking(m_bBlocking, m_bCancelled);
    const char* p = static_cast<const char*>(lpBuf);
    int nLeft = nBufLen;
    while (nLeft > 0)
    {
        const int n = CAsyncSocket::Send(p, nLeft, nFlags);
        if (n > 0)
        {
            p += n;
            nLeft -= n;
            continue;
        }
        if (n == SOCKET_ERROR && !IsWouldBlock()) return SOCKET_ERROR;
        if (!WaitUntilReady(Wait::writable)) return SOCKET_ERROR;
    }
    return nBufLen;
}

BOOL CSocket::Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr, int* lpSockAddrLen)
{
    CBlockingScope blocking(m_bBlocking, m_bCancelled);
    for (;;)
    {
        if (CAsyncSocket::Accept(rConnectedSocket, lpSockAddr, lpSockAddrLen)) return TRUE;
        if (!IsWouldBlock()) return FALSE;
        if (!WaitUntilReady(Wait::readable)) return FALSE;
    }
}

BOOL CSocket::ConnectHelper(const SOCKADDR* lpSockAddr, int nSockAddrLen)
{
    CBlockingScope blocking(m_bBlocking, m_bCancelled);
    if (CAsyncSocket::ConnectHelper(lpSockAddr, nSockAddrLen)) return TRUE;
    if (!IsWouldBlock() || !WaitUntilReady(Wait::writable)) return FALSE;
    // Writable means connected; a refusal shows as the socket's pending error.
    int nError = 0;
    int nLength = sizeof nError;
    if (!GetSockOpt(SO_ERROR, &nError, &nLength)) return FALSE;
    if (nError == 0) return TRUE;
    ::WSASetLastError(nError);
    return FALSE;
}
