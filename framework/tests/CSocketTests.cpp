// Blocking sockets over 127.0.0.1 against a plain Winsock peer on another thread. The peer waits
// until the test thread's timer has ticked during the blocked call, which shows that the call pumps.
#include "framework/CSocket.h"
#include "framework/CHandleOwner.h"
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{

// The test thread's timer: counts ticks and, from the third on, lets the peer go or cancels the call.
struct CTicks
{
    std::atomic<int> nTicks{0};
    CKernelHandle hThirdTick{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CSocket* pCancel = nullptr;
};
CTicks* g_pTicks = nullptr;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_pTicks || ++g_pTicks->nTicks < 3) return;
    ::SetEvent(g_pTicks->hThirdTick);
    if (g_pTicks->pCancel) g_pTicks->pCancel->CancelBlockingCall();
}

// Waits for the third tick, at most a bound: a call that does not pump fails the test, not hangs it.
bool WaitForTicks(const CTicks& ticks)
{
    return ::WaitForSingleObject(ticks.hThirdTick, 10000) == WAIT_OBJECT_0;
}

SOCKET RawSocket()
{
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

sockaddr_in Loopback(UINT nPort)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<u_short>(nPort));
    return addr;
}

class BlockingSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AfxSocketInit());
        g_pTicks = &m_ticks;
        m_nTimer = ::SetTimer(nullptr, 0, 10, &OnTick);
        ASSERT_NE(m_nTimer, 0u);
        m_listener = RawSocket();
        sockaddr_in addr = Loopback(0);
        int nLength = sizeof addr;
        ASSERT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &nLength), 0);
        ASSERT_EQ(::listen(m_listener, 1), 0);
        m_nPort = ntohs(addr.sin_port);
    }
    void TearDown() override
    {
        ::KillTimer(nullptr, m_nTimer);
        g_pTicks = nullptr;
        if (m_peer != INVALID_SOCKET) ::closesocket(m_peer);
        ::closesocket(m_listener);
    }
    // The blocking connect, and the peer's end of it.
    void ConnectClient()
    {
        ASSERT_TRUE(m_client.Create());
        ASSERT_TRUE(m_client.Connect(L"127.0.0.1", m_nPort)) << "Connect returns connected";
        m_peer = ::accept(m_listener, nullptr, nullptr);
        ASSERT_NE(m_peer, INVALID_SOCKET);
    }

    CTicks m_ticks;
    UINT_PTR m_nTimer = 0;
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_peer = INVALID_SOCKET;
    UINT m_nPort = 0;
    CSocket m_client;
};

TEST_F(BlockingSocketTest, SendReturnsWhenASlowPeerTookEveryByteAndPumpsMeanwhile)
{
    ConnectClient();
    const int nSmall = 4096;
    ASSERT_TRUE(m_client.SetSockOpt(SO_SNDBUF, &nSmall, sizeof nSmall));
    std::vector<char> bytes(8 * 1024 * 1024); // more than both ends' buffers hold
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 4099);
    std::vector<char> received;
    bool bTicked = false;
    std::thread peer([&] {
        bTicked = WaitForTicks(m_ticks); // nothing is read before the blocked Send has pumped
        char buf[65536];
        for (int n; received.size() < bytes.size() && (n = ::recv(m_peer, buf, sizeof buf, 0)) > 0;)
            received.insert(received.end(), buf, buf + n);
    });
    constexpr UINT kHeld = WM_USER + 7;
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), kHeld, 42, 0));
    const int nSent = m_client.Send(bytes.data(), static_cast<int>(bytes.size()));
    peer.join();
    EXPECT_EQ(nSent, static_cast<int>(bytes.size())) << "all of it, in one call";
    EXPECT_TRUE(bTicked) << "the timer ran while Send waited";
    EXPECT_TRUE(received == bytes) << "the peer got every byte in order (" << received.size() << " bytes)";
    EXPECT_FALSE(m_client.IsBlocking());
    MSG msg{};
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, kHeld, kHeld, PM_REMOVE))
        << "a message of the socket range waits until the call returns";
}

TEST_F(BlockingSocketTest, ReceiveWaitsForThePeerAndSeesItsClose)
{
    ConnectClient();
    std::thread peer([&] {
        if (WaitForTicks(m_ticks)) ::send(m_peer, "hello", 5, 0);
    });
    char buf[16] = {};
    const int n = m_client.Receive(buf, sizeof buf);
    peer.join();
    ASSERT_EQ(n, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    ::closesocket(m_peer);
    m_peer = INVALID_SOCKET;
    EXPECT_EQ(m_client.Receive(buf, sizeof buf), 0) << "the peer's close reads as 0";
}

TEST_F(BlockingSocketTest, CancelFromAMessageEndsTheWait)
{
    ConnectClient();
    m_ticks.pCancel = &m_client;
    char buf[16];
    EXPECT_EQ(m_client.Receive(buf, sizeof buf), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEINTR);
    EXPECT_GE(m_ticks.nTicks, 3);
    m_ticks.pCancel = nullptr;
    ASSERT_EQ(::send(m_peer, "x", 1, 0), 1);
    EXPECT_EQ(m_client.Receive(buf, sizeof buf), 1) << "the next call waits afresh";
}

TEST_F(BlockingSocketTest, AcceptWaitsForAConnection)
{
    CSocket listener;
    ASSERT_TRUE(listener.Create(0, SOCK_STREAM, L"127.0.0.1"));
    ASSERT_TRUE(listener.Listen());
    CString strAddress;
    UINT nPort = 0;
    ASSERT_TRUE(listener.GetSockName(strAddress, nPort));
    SOCKET connector = RawSocket();
    std::thread peer([&] {
        if (!WaitForTicks(m_ticks)) return;
        const sockaddr_in addr = Loopback(nPort);
        ::connect(connector, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    });
    CSocket accepted;
    const BOOL bAccepted = listener.Accept(accepted);
    peer.join();
    ::closesocket(connector);
    EXPECT_TRUE(bAccepted);
    EXPECT_NE(accepted.m_hSocket, INVALID_SOCKET);
}

TEST_F(BlockingSocketTest, ConnectToAClosedPortFails)
{
    ::closesocket(m_listener); // nothing listens on its port any more
    m_listener = RawSocket();
    CSocket client;
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.Connect(L"127.0.0.1", m_nPort));
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAECONNREFUSED);
}

} // namespace
