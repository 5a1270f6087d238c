#pragma once
#include "framework/CObject.h"
#include "framework/CString.h"
#include <ws2tcpip.h>
// CAsyncSocket: a Winsock socket whose events arrive as notifications on the thread that created
// (or accepted, or attached) it, through that thread's message loop.
//
// Each thread has one hidden socket window and one map from socket handle to object. Every
// notification looks its handle up when it is dispatched: one still queued for a socket that was
// closed, detached or deleted meanwhile finds nothing and is dropped, even when a new socket of
// the thread got the same handle value (each attachment has its own notification message). Exceptions thrown by a
// handler are caught at the dispatch and reported through the thread's ProcessWndProcException.
//
// Results follow Winsock: BOOL or SOCKET_ERROR, with GetLastError() (WSAGetLastError) telling
// why; WSAEWOULDBLOCK from Connect, Receive, Send and Accept is flow, not failure.

class CAsyncSocket : public CObject
{
    DECLARE_DYNAMIC(CAsyncSocket)

public:
    enum
    {
        receives = 0,
        sends = 1,
        both = 2
    };
    static constexpr long kAllEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

    CAsyncSocket() = default;
    CAsyncSocket(const CAsyncSocket&) = delete; // the handle map points at the object
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;
    ~CAsyncSocket() override; // closes an open socket; leaves the last error as it was

    SOCKET m_hSocket = INVALID_SOCKET;
    operator SOCKET() const noexcept { return m_hSocket; }

    // socket + bind + AsyncSelect. A null address binds to every local address.
    [[nodiscard]] BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM, long lEvent = kAllEvents,
                LPCWSTR lpszSocketAddress = nullptr);
    [[nodiscard]] BOOL Socket(int nSocketType = SOCK_STREAM, long lEvent = kAllEvents, int nProtocolType = 0,
                int nAddressFormat = PF_INET);
    [[nodiscard]] BOOL Bind(UINT nSocketPort, LPCWSTR lpszSocketAddress = nullptr);
    [[nodiscard]] BOOL Bind(const SOCKADDR* lpSockAddr, int nSockAddrLen);
    // Takes over a handle (mapped on the calling thread) / gives it up without closing it.
    [[nodiscard]] BOOL Attach(SOCKET hSocket, long lEvent = kAllEvents);
    SOCKET Detach();
    static CAsyncSocket* FromHandle(SOCKET hSocket); // the calling thread's object, or null
    static CAsyncSocket* LookupHandle(SOCKET hSocket, BOOL bDead = FALSE);

    // A host name or dotted address. FALSE with WSAEWOULDBLOCK: the outcome comes to OnConnect.
    [[nodiscard]] BOOL Connect(LPCWSTR lpszHostAddress, UINT nHostPort);
    [[nodiscard]] BOOL Connect(const SOCKADDR* lpSockAddr, int nSockAddrLen);
    [[nodiscard]] BOOL Listen(int nConnectionBacklog = 5);
    // Accepts into an object without a socket; the new handle is mapped on the calling thread.
    [[nodiscard]] virtual BOOL Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr = nullptr, int* lpSockAddrLen = nullptr);
    virtual void Close();
    BOOL ShutDown(int nHow = sends);

    virtual int Receive(void* lpBuf, int nBufLen, int nFlags = 0);
    virtual int Send(const void* lpBuf, int nBufLen, int nFlags = 0);
    int ReceiveFrom(void* lpBuf, int nBufLen, SOCKADDR* lpSockAddr, int* lpSockAddrLen, int nFlags = 0);
    int SendTo(const void* lpBuf, int nBufLen, const SOCKADDR* lpSockAddr, int nSockAddrLen, int nFlags = 0);

    BOOL AsyncSelect(long lEvent = kAllEvents);
    BOOL IOCtl(long lCommand, DWORD* lpArgument);
    BOOL SetSockOpt(int nOptionName, const void* lpOptionValue, int nOptionLen, int nLevel = SOL_SOCKET);
    BOOL GetSockOpt(int nOptionName, void* lpOptionValue, int* lpOptionLen, int nLevel = SOL_SOCKET);
    BOOL GetSockName(SOCKADDR* lpSockAddr, int* lpSockAddrLen);
    BOOL GetPeerName(SOCKADDR* lpSockAddr, int* lpSockAddrLen);
    // Address text and port of either end (IPv4).
    BOOL GetSockName(CString& rSocketAddress, UINT& rSocketPort);
    BOOL GetPeerName(CString& rPeerAddress, UINT& rPeerPort);
    static int GetLastError() { return ::WSAGetLastError(); }

    // Notifications, on the thread the socket is mapped on. nErrorCode 0: success.
    virtual void OnReceive(int nErrorCode);
    virtual void OnSend(int nErrorCode);
    virtual void OnOutOfBandData(int nErrorCode);
    virtual void OnAccept(int nErrorCode);
    virtual void OnConnect(int nErrorCode);
    virtual void OnClose(int nErrorCode); // before it, data still pending is offered to OnReceive

protected:
    virtual BOOL ConnectHelper(const SOCKADDR* lpSockAddr, int nSockAddrLen);
    virtual int ReceiveFromHelper(void* lpBuf, int nBufLen, SOCKADDR* lpSockAddr, int* lpSockAddrLen, int nFlags);
    virtual int SendToHelper(const void* lpBuf, int nBufLen, const SOCKADDR* lpSockAddr, int nSockAddrLen, int nFlags);
};

class CException;
// Reports an exception that escaped a handler of the socket hSocket's lEvent notification (FD_READ,
// ...) as the dispatch does: through the thread's ProcessWndProcException, which deletes e (null for
// any other exception). For code that runs a handler outside the dispatch's own catch.
void AfxReportSocketException(CException* e, SOCKET hSocket, long lEvent);
// Starts Winsock 2.2 for the process (once; cleaned up at exit). FALSE when it is not available.
BOOL AfxSocketInit(WSADATA* lpwsaData = nullptr);
