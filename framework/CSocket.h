#pragma once
#include "framework/CAsyncSocket.h"

// A socket whose calls block: Send returns when the network has taken every byte, Receive when some
// have arrived (or the peer closed), Connect when the connection stands or is refused, Accept when a
// connection came. Line protocols that write a line and its payload back to back rely on Send taking
// everything.
//
// While a call waits, the thread's messages are pumped as its own loop would (PreTranslateMessage
// first), so painting, input, timers and WM_APP messages go on. Messages from WM_USER to 0x7FFF stay
// queued until the call returns: among them are the notifications of this thread's sockets, and a
// handler of this or another link must not run in the middle of a line being written. WM_QUIT ends
// the wait (it is posted again for the real loop), and so does CancelBlockingCall; the call then
// fails with WSAEINTR.
class CSocket : public CAsyncSocket
{
    DECLARE_DYNAMIC(CSocket)

public:
    CSocket() = default;
    ~CSocket() override = default;

    // A stream socket on all of this thread's notifications.
    BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM, LPCWSTR lpszSocketAddress = nullptr);

    BOOL IsBlocking() const { return m_bBlocking; }
    // From a message handled during the wait (a timer, a button): the waiting call gives up.
    void CancelBlockingCall() { m_bCancelled = true; }

    BOOL Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr = nullptr, int* lpSockAddrLen = nullptr) override;
    // The count of bytes read, 0 when the peer closed, SOCKET_ERROR on failure.
    int Receive(void* lpBuf, int nBufLen, int nFlags = 0) override;
    // nBufLen when every byte was taken, SOCKET_ERROR otherwise (bytes may have gone before the failure).
    int Send(const void* lpBuf, int nBufLen, int nFlags = 0) override;

protected:
    BOOL ConnectHelper(const SOCKADDR* lpSockAddr, int nSockAddrLen) override;

private:
    enum class Wait
    {
        readable,
        writable
    };
    // Pumps until the socket is ready for the kind of call. FALSE with the last error set when the
    // call must give up (cancelled, WM_QUIT, or the socket failed).
    BOOL WaitUntilReady(Wait wait);
    static bool PumpAllowedMessages();

    bool m_bBlocking = false;
    bool m_bCancelled = false;
};
