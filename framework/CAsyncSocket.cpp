#include "framework/CAsyncSocket.h"
#include "framework/CHandleOwner.h"
#include "framework/CKeepLastError.h"
#include "framework/CException.h"
#include "framework/CWinThread.h"
#include "framework/CWnd.h"
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <unordered_map>

namespace
{
// Each socket mapped on a thread gets its own notification message number from this range.
// Windows reuses a closed socket's handle value at once, and a notification queued for the old
// socket carries that value; its old message number is what tells it apart from the new socket's.
constexpr UINT kFirstNotifyMessage = WM_USER + 1; // on our socket window's own class only
constexpr UINT kLastNotifyMessage = 0x7FFF;
constexpr wchar_t kSocketWindowClass[] = L"LumoSocketWindow";

struct SocketEntry
{
    CAsyncSocket* pSocket;
    UINT message;
};

struct SocketThreadState
{
    HWND hWnd = nullptr;
    std::unordered_map<SOCKET, SocketEntry> map;
    std::unordered_map<UINT, SOCKET> byMessage;
    UINT nextMessage = kFirstNotifyMessage;
    ~SocketThreadState()
    {
        if (hWnd) ::DestroyWindow(hWnd);
    }
    UINT Add(SOCKET h, CAsyncSocket* p)
    {
        // The next number not in use; the range is far larger than the sockets of one thread.
        while (byMessage.count(nextMessage))
            nextMessage = nextMessage == kLastNotifyMessage ? kFirstNotifyMessage : nextMessage + 1;
        const UINT message = nextMessage;
        nextMessage = nextMessage == kLastNotifyMessage ? kFirstNotifyMessage : nextMessage + 1;
        map[h] = {p, message};
        byMessage[message] = h;
        return message;
    }
    void Remove(SOCKET h, const CAsyncSocket* p)
    {
        auto it = map.find(h);
        if (it == map.end() || it->second.pSocket != p) return;
        byMessage.erase(it->second.message);
        map.erase(it);
    }
};

// A plain pointer: see the thread state of CWnd.cpp for why not an object with a destructor.
thread_local SocketThreadState* t_pSockets = nullptr;

void FreeSocketThreadState()
{
    delete t_pSockets;
    t_pSockets = nullptr;
}

SocketThreadState& SocketState()
{
    if (!t_pSockets)
    {
        t_pSockets = new SocketThreadState;
        AfxRegisterThreadCleanup(&FreeSocketThreadState);
    }
    return *t_pSockets;
}

CAsyncSocket* Lookup(SOCKET hSocket)
{
    auto it = SocketState().map.find(hSocket);
    return it == SocketState().map.end() ? nullptr : it->second.pSocket;
}

// The object a notification belongs to: the socket of its handle, attached under its number.
CAsyncSocket* LookupNotified(SOCKET hSocket, UINT message)
{
    auto it = SocketState().map.find(hSocket);
    return it == SocketState().map.end() || it->second.message != message ? nullptr : it->second.pSocket;
}

DWORD PendingBytes(SOCKET hSocket)
{
    u_long n = 0;
    return ::ioctlsocket(hSocket, FIONREAD, &n) == 0 ? n : 0;
}

void DispatchNotification(UINT message, SOCKET hSocket, UINT event, int error)
{
    CAsyncSocket* pSocket = LookupNotified(hSocket, message);
    if (!pSocket) return; // closed, detached or deleted since the notification was queued
    try
    {
        switch (event)
        {
        case FD_READ: {
            // A read notification can outlive its data (an earlier handler read it all): skip it.
            u_long n = 0;
            int readError = error;
            if (!readError && ::ioctlsocket(hSocket, FIONREAD, &n) != 0) readError = ::WSAGetLastError();
            if (n || readError) pSocket->OnReceive(readError);
            break;
        }
        case FD_WRITE:
            pSocket->OnSend(error);
            break;
        case FD_OOB:
            pSocket->OnOutOfBandData(error);
            break;
        case FD_ACCEPT:
            pSocket->OnAccept(error);
            break;
        case FD_CONNECT:
            pSocket->OnConnect(error);
            break;
        case FD_CLOSE:
            // The peer's last bytes may still wait behind the close: offer them first, for as
            // long as each pass takes some, so that closing does not lose them.
            for (DWORD pending = error ? 0 : PendingBytes(hSocket); pending;)
            {
                pSocket->OnReceive(0);
                pSocket = LookupNotified(hSocket, message); // the handler may have closed or deleted it
                if (!pSocket) return;
                const DWORD left = PendingBytes(hSocket);
                if (left >= pending) break;
                pending = left;
            }
            pSocket->OnClose(error);
            break;
        default:
            break;
        }
    }
    catch (CException* e)
    {
        AfxReportSocketException(e, hSocket, event);
    }
    catch (...)
    {
        AfxReportSocketException(nullptr, hSocket, event);
    }
}

LRESULT CALLBACK SocketWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= kFirstNotifyMessage && message <= kLastNotifyMessage)
    {
        DispatchNotification(message, static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam),
                             WSAGETSELECTERROR(lParam));
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

HWND SocketWindow()
{
    if (SocketState().hWnd) return SocketState().hWnd;
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = SocketWndProc;
        wc.hInstance = AfxGetInstanceHandle();
        wc.lpszClassName = kSocketWindowClass;
        ::RegisterClassW(&wc);
    });
    SocketState().hWnd = ::CreateWindowExW(0, kSocketWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           AfxGetInstanceHandle(), nullptr);
    return SocketState().hWnd;
}

BOOL MakeAddress(LPCWSTR lpszAddress, UINT nPort, sockaddr_in& addr)
{
    addr = sockaddr_in{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(nPort));
    if (!lpszAddress || !*lpszAddress)
    {
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        return TRUE;
    }
    if (::InetPtonW(AF_INET, lpszAddress, &addr.sin_addr) == 1) return TRUE;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* result = nullptr;
    if (::GetAddrInfoW(lpszAddress, nullptr, &hints, &result) != 0 || !result)
    {
        ::WSASetLastError(WSAHOST_NOT_FOUND);
        return FALSE;
    }
    addr.sin_addr = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    ::FreeAddrInfoW(result);
    return TRUE;
}

BOOL AddressText(const sockaddr_in& addr, CString& rAddress, UINT& rPort)
{
    wchar_t text[INET_ADDRSTRLEN] = L"";
    if (!::InetNtopW(AF_INET, &addr.sin_addr, text, INET_ADDRSTRLEN)) return FALSE;
    rAddress = text;
    rPort = ntohs(addr.sin_port);
    return TRUE;
}
} // namespace

void AfxReportSocketException(CException* e, SOCKET hSocket, long lEvent)
{
    MSG msg{};
    msg.hwnd = SocketState().hWnd;
    msg.message = SocketState().map.count(hSocket) ? SocketState().map[hSocket].message : kFirstNotifyMessage;
    msg.wParam = static_cast<WPARAM>(hSocket);
    msg.lParam = static_cast<LPARAM>(lEvent);
    if (CWinThread* pThread = AfxGetThread())
        pThread->ProcessWndProcException(e, &msg);
    else
        AfxProcessWndProcException(e, &msg);
}

BOOL AfxSocketInit(WSADATA* lpwsaData)
{
    static std::once_flag started;
    static int result = -1;
    static WSADATA data{};
    std::call_once(started, [] {
        result = ::WSAStartup(MAKEWORD(2, 2), &data);
        if (result == 0) std::atexit([] { ::WSACleanup(); });
    });
    if (lpwsaData) *lpwsaData = data;
    return result == 0;
}

IMPLEMENT_DYNAMIC(CAsyncSocket, CObject)

CAsyncSocket::~CAsyncSocket()
{
    CKeepLastError keep;
    if (m_hSocket != INVALID_SOCKET) CAsyncSocket::Close();
}

CAsyncSocket* CAsyncSocket::FromHandle(SOCKET hSocket)
{
    return Lookup(hSocket);
}

CAsyncSocket* CAsyncSocket::LookupHandle(SOCKET hSocket, BOOL)
{
    return Lookup(hSocket);
}

BOOL CAsyncSocket::Attach(SOCKET hSocket, long lEvent)
{
    if (hSocket == INVALID_SOCKET || m_hSocket != INVALID_SOCKET)
    {
        ::WSASetLastError(WSAEINVAL);
        return FALSE;
    }
    if (!SocketWindow()) return FALSE;
    m_hSocket = hSocket;
    SocketState().Add(hSocket, this);
    return AsyncSelect(lEvent);
}

SOCKET CAsyncSocket::Detach()
{
    SOCKET h = m_hSocket;
    if (h != INVALID_SOCKET)
    {
        CKeepLastError keep;
        ::WSAAsyncSelect(h, SocketState().hWnd, 0, 0);
        SocketState().Remove(h, this);
    }
    m_hSocket = INVALID_SOCKET;
    return h;
}

BOOL CAsyncSocket::Socket(int nSocketType, long lEvent, int nProtocolType, int nAddressFormat)
{
    if (m_hSocket != INVALID_SOCKET)
    {
        ::WSASetLastError(WSAEISCONN);
        return FALSE;
    }
    CSocketHandle h(::socket(nAddressFormat, nSocketType, nProtocolType));
    if (!h.IsValid()) return FALSE;
    if (!Attach(h, lEvent))
    {
        CKeepLastError keep;
        Detach();
        return FALSE; // h closes it
    }
    h.Detach(); // this object's now
    return TRUE;
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent, LPCWSTR lpszSocketAddress)
{
    if (!Socket(nSocketType, lEvent)) return FALSE;
    if (Bind(nSocketPort, lpszSocketAddress)) return TRUE;
    CKeepLastError keep;
    Close();
    return FALSE;
}

BOOL CAsyncSocket::Bind(UINT nSocketPort, LPCWSTR lpszSocketAddress)
{
    sockaddr_in addr;
    if (!MakeAddress(lpszSocketAddress, nSocketPort, addr)) return FALSE;
    return Bind(reinterpret_cast<const SOCKADDR*>(&addr), sizeof addr);
}

BOOL CAsyncSocket::Bind(const SOCKADDR* lpSockAddr, int nSockAddrLen)
{
    return ::bind(m_hSocket, lpSockAddr, nSockAddrLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::Connect(LPCWSTR lpszHostAddress, UINT nHostPort)
{
    if (!lpszHostAddress || !*lpszHostAddress)
    {
        ::WSASetLastError(WSAEINVAL);
        return FALSE;
    }
    sockaddr_in addr;
    if (!MakeAddress(lpszHostAddress, nHostPort, addr)) return FALSE;
    return Connect(reinterpret_cast<const SOCKADDR*>(&addr), sizeof addr);
}

BOOL CAsyncSocket::Connect(const SOCKADDR* lpSockAddr, int nSockAddrLen)
{
    return ConnectHelper(lpSockAddr, nSockAddrLen);
}

BOOL CAsyncSocket::ConnectHelper(const SOCKADDR* lpSockAddr, int nSockAddrLen)
{
    return ::connect(m_hSocket, lpSockAddr, nSockAddrLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::Listen(int nConnectionBacklog)
{
    return ::listen(m_hSocket, nConnectionBacklog) != SOCKET_ERROR;
}

BOOL CAsyncSocket::Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr, int* lpSockAddrLen)
{
    if (rConnectedSocket.m_hSocket != INVALID_SOCKET)
    {
        ::WSASetLastError(WSAEINVAL);
        return FALSE;
    }
    CSocketHandle h(::accept(m_hSocket, lpSockAddr, lpSockAddrLen));
    if (!h.IsValid()) return FALSE;
    // The new socket would inherit the listener's selection; the accepting object gets the full
    // set on this thread's window, as a created socket would.
    if (!rConnectedSocket.Attach(h, kAllEvents))
    {
        CKeepLastError keep;
        rConnectedSocket.Detach();
        return FALSE; // h closes it
    }
    h.Detach(); // the accepting object's now
    return TRUE;
}

void CAsyncSocket::Close()
{
    if (m_hSocket == INVALID_SOCKET) return;
    SOCKET h = m_hSocket;
    SocketState().Remove(h, this);
    m_hSocket = INVALID_SOCKET;
    CSocketHandle(h).Close();
}

BOOL CAsyncSocket::ShutDown(int nHow)
{
    return ::shutdown(m_hSocket, nHow) != SOCKET_ERROR;
}

int CAsyncSocket::Receive(void* lpBuf, int nBufLen, int nFlags)
{
    return ::recv(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::Send(const void* lpBuf, int nBufLen, int nFlags)
{
    return ::send(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::ReceiveFrom(void* lpBuf, int nBufLen, SOCKADDR* lpSockAddr, int* lpSockAddrLen, int nFlags)
{
    return ReceiveFromHelper(lpBuf, nBufLen, lpSockAddr, lpSockAddrLen, nFlags);
}

int CAsyncSocket::SendTo(const void* lpBuf, int nBufLen, const SOCKADDR* lpSockAddr, int nSockAddrLen, int nFlags)
{
    return SendToHelper(lpBuf, nBufLen, lpSockAddr, nSockAddrLen, nFlags);
}

int CAsyncSocket::ReceiveFromHelper(void* lpBuf, int nBufLen, SOCKADDR* lpSockAddr, int* lpSockAddrLen, int nFlags)
{
    return ::recvfrom(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags, lpSockAddr, lpSockAddrLen);
}

int CAsyncSocket::SendToHelper(const void* lpBuf, int nBufLen, const SOCKADDR* lpSockAddr, int nSockAddrLen, int nFlags)
{
    return ::sendto(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags, lpSockAddr, nSockAddrLen);
}

BOOL CAsyncSocket::AsyncSelect(long lEvent)
{
    HWND hWnd = SocketWindow();
    auto it = SocketState().map.find(m_hSocket);
    if (!hWnd || it == SocketState().map.end() || it->second.pSocket != this)
    {
        ::WSASetLastError(WSAENOTSOCK); // not mapped on this thread
        return FALSE;
    }
    return ::WSAAsyncSelect(m_hSocket, hWnd, it->second.message, lEvent) != SOCKET_ERROR;
}

BOOL CAsyncSocket::IOCtl(long lCommand, DWORD* lpArgument)
{
    u_long arg = *lpArgument;
    if (::ioctlsocket(m_hSocket, lCommand, &arg) == SOCKET_ERROR) return FALSE;
    *lpArgument = arg;
    return TRUE;
}

BOOL CAsyncSocket::SetSockOpt(int nOptionName, const void* lpOptionValue, int nOptionLen, int nLevel)
{
    return ::setsockopt(m_hSocket, nLevel, nOptionName, static_cast<const char*>(lpOptionValue), nOptionLen) !=
           SOCKET_ERROR;
}

BOOL CAsyncSocket::GetSockOpt(int nOptionName, void* lpOptionValue, int* lpOptionLen, int nLevel)
{
    return ::getsockopt(m_hSocket, nLevel, nOptionName, static_cast<char*>(lpOptionValue), lpOptionLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::GetSockName(SOCKADDR* lpSockAddr, int* lpSockAddrLen)
{
    return ::getsockname(m_hSocket, lpSockAddr, lpSockAddrLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::GetPeerName(SOCKADDR* lpSockAddr, int* lpSockAddrLen)
{
    return ::getpeername(m_hSocket, lpSockAddr, lpSockAddrLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::GetSockName(CString& rSocketAddress, UINT& rSocketPort)
{
    sockaddr_in addr{};
    int len = sizeof addr;
    return GetSockName(reinterpret_cast<SOCKADDR*>(&addr), &len) && AddressText(addr, rSocketAddress, rSocketPort);
}

BOOL CAsyncSocket::GetPeerName(CString& rPeerAddress, UINT& rPeerPort)
{
    sockaddr_in addr{};
    int len = sizeof addr;
    return GetPeerName(reinterpret_cast<SOCKADDR*>(&addr), &len) && AddressText(addr, rPeerAddress, rPeerPort);
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
