// Links over real sockets on 127.0.0.1: both ends on the test's thread, notifications through its
// message loop, the sender's socket buffer cut to 4 KiB so that most bytes wait in the send queue.
#include "core/CAsyncSocketEx.h"
#include "core/CLinkCipher.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include "framework/testing/CListener.h"
#include "framework/testing/CReportCountingApp.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int kPayloadBytes = 20 * 1024 * 1024;
constexpr int kLines = 10000;

std::vector<BYTE> MakePayload(int nBytes, unsigned nSeed)
{
    std::vector<BYTE> bytes(static_cast<size_t>(nBytes));
    unsigned n = nSeed;
    for (BYTE& b : bytes)
    {
        n = n * 1103515245u + 12345u; // incompressible enough to make deflate's output larger
        b = static_cast<BYTE>(n >> 23);
    }
    return bytes;
}

unsigned long Crc(const BYTE* p, size_t n)
{
    return crc32(crc32(0L, Z_NULL, 0), p, static_cast<uInt>(n));
}

// One end of a link that records what its words carry.
class CTestLink : public CAsyncSocketEx
{
public:
    CTestLink(bool bEncryption, bool bCompression) : CAsyncSocketEx(bEncryption, bCompression)
    {
        m_bDeleteOnClose = false;
        InitCommandMap(); // an accepted end is never created
    }
    ~CTestLink() override
    {
        if (m_pDeleted) *m_pDeleted = true;
    }

    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            using C = CSocketCommand;
            map.Add(L"LINENR", new C(SocketHandler(&CTestLink::OnLine), C::modeFields, false, C::checkOneOf, 0, 2, -1));
            map.Add(L"BLOBPL",
                    new C(SocketHandler(&CTestLink::OnBlob), C::modeFieldsPayload, false, C::checkOneOf, 0, 2, -1));
            map.Add(L"CLOSEX",
                    new C(SocketHandler(&CTestLink::OnCloseRequest), C::modeFields, false, C::checkNone, 0, -1));
        });
    }

    void SetCloseMessage(UINT nMessage)
    {
        m_nCloseMessage = nMessage;
        m_nOwnerThread = GetCurrentThreadId();
    }
    void SetNames(LPCWSTR pszLocal, LPCWSTR pszRemote)
    {
        m_strLocalName = pszLocal;
        m_strRemoteName = pszRemote;
    }
    void OnConnect(int nErrorCode) override
    {
        m_nConnectError = nErrorCode;
        // These tests set the layers themselves: no handshake (the handshake tests run one against a peer).
        CAsyncSocket::OnConnect(nErrorCode);
    }
    void OnClose(int nErrorCode) override
    {
        m_nCloseError = nErrorCode;
        CAsyncSocketEx::OnClose(nErrorCode); // may delete this object
    }

    int m_nConnectError = -1;
    int m_nCloseError = -1;
    std::vector<std::wstring> m_lines[2];       // "LINENR <sender> <n>": n by sender 0 and 1
    std::vector<unsigned long> m_blobCrcs;      // CRC-32 of each payload as it arrived
    std::vector<unsigned long> m_announcedCrcs; // and as its line announced it
    std::vector<std::wstring> m_traces;
    // Outlive the object, for a link that deletes itself.
    bool* m_pDeleted = nullptr;
    bool* m_pAliveAfterDisconnect = nullptr;
    std::vector<std::wstring>* m_pLinesOut = nullptr;

protected:
    void TraceReceived(const CString& strText) override { m_traces.push_back(L"in: " + strText.Str()); }
    void TraceSent(const CString& strText) override { m_traces.push_back(L"out: " + strText.Str()); }

    void OnLine(CStringArray& arrFields)
    {
        const int nSender = CStaticTools::ToInt(arrFields[0]);
        if (nSender == 0 || nSender == 1) m_lines[nSender].push_back(arrFields[1].Str());
        if (m_pLinesOut) m_pLinesOut->push_back(arrFields[1].Str());
    }
    // BLOBPL <length> <crc>, then the payload.
    void OnBlob(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = CStaticTools::ToInt(arrFields[0]);
        if (GetReceivedCount() < nLineLength + GetCharSize() + nLength)
        {
            bIncomplete = TRUE;
            return;
        }
        m_blobCrcs.push_back(Crc(GetReceivedData() + nLineLength + GetCharSize(), static_cast<size_t>(nLength)));
        m_announcedCrcs.push_back(CStaticTools::ToULong(arrFields[1]));
        ConsumeReceived(nLineLength + nLength);
    }
    void OnCloseRequest(CStringArray&)
    {
        Disconnect();
        if (m_pLinesOut) m_pLinesOut->push_back(L"closed");
        if (m_pAliveAfterDisconnect) *m_pAliveAfterDisconnect = m_pDeleted && !*m_pDeleted;
    }

private:
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};

CSocketCommandMap CTestLink::s_map;
CCriticalSection CTestLink::s_cs;

class LinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AfxSocketInit());
        ASSERT_TRUE(m_listener.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1"));
        ASSERT_TRUE(m_listener.Listen());
        CString strAddress;
        ASSERT_TRUE(m_listener.GetSockName(strAddress, m_nPort));
    }
    // Connects `client` to a fresh accepted end `server`, the client's send buffer at 4 KiB.
    void Connect(CTestLink& client, CTestLink& server)
    {
        m_listener.m_pInto = &server;
        m_listener.m_bAccepted = false;
        ASSERT_TRUE(client.Create());
        const int nSendBuffer = 4096;
        ASSERT_TRUE(client.SetSockOpt(SO_SNDBUF, &nSendBuffer, sizeof nSendBuffer));
        if (!client.Connect(L"127.0.0.1", m_nPort))
        {
            ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK) << "pending, not failed";
        }
        ASSERT_TRUE(PumpUntil([&] { return client.m_nConnectError == 0 && m_listener.m_bAccepted; }))
            << "connected and accepted";
    }
    CListener m_listener;
    UINT m_nPort = 0;
};

// ---- a large transfer through every combination of the layers ----

struct LayerCase
{
    bool encryption;
    bool compression;
    int payloadBytes; // the full 20 MiB once: a 4 KiB socket buffer under Wine moves ~1.5 MB/s
    const char* why;
};
const LayerCase kLayerCases[] = {
    {true, true, kPayloadBytes, "zlib inside RC4"},
    {false, false, 1024 * 1024, "plain"},
    {true, false, 1024 * 1024, "RC4"},
    {false, true, 1024 * 1024, "zlib"},
};

TEST_F(LinkTest, LinesAndALargePayloadFromTwoThreadsArriveWholeAndInOrder)
{
    const std::vector<BYTE> wholePayload = MakePayload(kPayloadBytes, 7);
    for (const auto& c : kLayerCases)
    {
        SCOPED_TRACE(c.why);
        const BYTE* const pPayload = wholePayload.data();
        const unsigned long nPayloadCrc = Crc(pPayload, static_cast<size_t>(c.payloadBytes));
        CTestLink client(c.encryption, c.compression);
        CTestLink server(c.encryption, c.compression);
        Connect(client, server);

        // Sender 0 writes lines from this thread; sender 1 from another thread writes lines with
        // the payload in their middle, its line and payload under one hold of the send lock.
        std::thread other([&] {
            for (int i = 0; i < kLines / 2; ++i)
            {
                if (i == kLines / 4)
                {
                    CSingleLock lock(&client.m_csSend, TRUE);
                    client.SendCommand(L"BLOBPL %d %lu\r", c.payloadBytes, nPayloadCrc);
                    client.SendRaw(pPayload, c.payloadBytes);
                }
                client.SendCommand(L"LINENR 1 %d\r", i);
            }
        });
        for (int i = 0; i < kLines / 2; ++i)
            client.SendCommand(L"LINENR 0 %d\r", i);
        // The main thread must pump while the other sends: OnSend drains the queue.
        const bool bOtherDone = PumpUntil(
            [&] {
                return server.m_lines[1].size() == kLines / 2 && server.m_lines[0].size() == kLines / 2 &&
                       !server.m_blobCrcs.empty();
            },
            120000);
        other.join();
        ASSERT_TRUE(bOtherDone) << "received " << server.m_lines[0].size() << " + " << server.m_lines[1].size()
                                << " lines, " << server.m_blobCrcs.size() << " payloads; "
                                << client.GetQueuedByteCount() << " bytes still queued";
        EXPECT_EQ(client.GetQueuedByteCount(), 0);
        for (int nSender = 0; nSender < 2; ++nSender)
        {
            bool bInOrder = true;
            for (int i = 0; i < kLines / 2 && bInOrder; ++i)
                bInOrder = server.m_lines[nSender][static_cast<size_t>(i)] == std::to_wstring(i);
            EXPECT_TRUE(bInOrder) << "lines of sender " << nSender << " in the order they were sent";
        }
        ASSERT_EQ(server.m_blobCrcs.size(), 1u);
        EXPECT_EQ(server.m_blobCrcs[0], nPayloadCrc) << "the payload arrived unchanged";
        EXPECT_EQ(server.m_announcedCrcs[0], nPayloadCrc);
        EXPECT_EQ(server.GetReceivedCount(), 0);
        EXPECT_EQ(client.GetBytesSent(false), server.GetBytesReceived(false)) << "both ends count the plain bytes";
    }
}

// Both ends of every other test derive their keys the same way, so a derivation that differs from the
// peers' (RC4 keyed with the 16 bytes of the pass phrase's MD5 digest) would pass them all. The key
// stream is pinned here, and it runs on across calls.
TEST(LinkCipher, KeyStreamIsRc4OverTheMd5OfThePassPhrase)
{
    CLinkCipher cipher;
    ASSERT_TRUE(cipher.Init("3teXOnikawubroPle-_h9D+muS6lepiz"));
    BYTE bytes[32] = {};
    ASSERT_TRUE(cipher.Encrypt(bytes, 16));
    ASSERT_TRUE(cipher.Encrypt(bytes + 16, 16));
    const BYTE kKeyStream[32] = {0xa6, 0x23, 0x79, 0xba, 0xf7, 0xa7, 0xe8, 0x3d, 0xd2, 0x11, 0x66,
                                 0x68, 0xfb, 0x94, 0x63, 0x2e, 0x2b, 0xe7, 0x4e, 0xae, 0x5a, 0xe8,
                                 0x8b, 0x39, 0x0f, 0x65, 0x2a, 0x0f, 0xf8, 0x3e, 0x0b, 0x9b};
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 32), std::vector<BYTE>(kKeyStream, kKeyStream + 32))
        << "zeros encrypted give the RC4 key stream of MD5(pass phrase)";
    BYTE decrypted[32];
    std::copy(bytes, bytes + 32, decrypted);
    ASSERT_TRUE(cipher.Decrypt(decrypted, 32));
    EXPECT_EQ(std::vector<BYTE>(decrypted, decrypted + 32), std::vector<BYTE>(32, 0))
        << "the receive key starts where the send key started";
}

// The handshake rebuilds keys and streams on the owner thread while a sender on another thread may be
// deflating or encrypting under the send lock: the rebuild waits for it instead of pulling the layers
// from under it.
TEST(LinkLayers, RebuildingKeysOrStreamsWaitsForTheSendLock)
{
    const std::pair<const char*, std::function<BOOL(CAsyncSocketEx&)>> rebuilds[] = {
        {"keys", [](CAsyncSocketEx& link) { return link.InitEncryption("3teXOnikawubroPle-_h9D+muS6lepiz"); }},
        {"streams", [](CAsyncSocketEx& link) { return link.InitCompression(-1); }},
    };
    for (const auto& [what, rebuild] : rebuilds)
    {
        SCOPED_TRACE(what);
        CTestLink link(true, true);
        CSingleLock sender(&link.m_csSend, TRUE); // as a sender between its line and its payload
        std::atomic<bool> bDone{false};
        BOOL bResult = FALSE;
        std::thread owner([&] {
            bResult = rebuild(link);
            bDone = true;
        });
        Sleep(250); // ample for a rebuild that does not wait
        EXPECT_FALSE(bDone) << "rebuilt while another thread held the send lock";
        sender.Unlock();
        owner.join();
        EXPECT_TRUE(bDone);
        EXPECT_TRUE(bResult);
    }
}

TEST_F(LinkTest, LayersChangeTheBytesOnTheWire)
{
    for (const auto& c : kLayerCases)
    {
        if (!c.encryption && !c.compression) continue;
        SCOPED_TRACE(c.why);
        CTestLink client(c.encryption, c.compression);
        CTestLink server(false, false); // reads the wire as it is
        Connect(client, server);
        for (int i = 0; i < 20; ++i)
            client.SendCommand(L"LINENR 0 %d\r", i);
        ASSERT_TRUE(PumpUntil([&] { return server.GetBytesReceived(false) > 0; }));
        PumpUntilIdle(100, 2000);
        EXPECT_TRUE(server.m_lines[0].empty()) << "no plain line may cross a layer that is switched on";
    }
}

// ---- the send queue and the counters ----

TEST_F(LinkTest, NullBytesSendNothingAndCountNothing)
{
    CTestLink client(false, false);
    CTestLink server(false, false);
    Connect(client, server);
    client.SendRaw(nullptr, 100);
    EXPECT_EQ(client.GetBytesSent(false), 0u);
    client.SendString(L"LINENR 0 1\r");
    EXPECT_EQ(client.GetBytesSent(false), 22u) << "UTF-16LE until the peer's first data says otherwise";
    ASSERT_TRUE(PumpUntil([&] { return server.m_lines[0].size() == 1; }));
}

TEST_F(LinkTest, CompressionCountsBothSidesOfTheStream)
{
    CTestLink client(false, true);
    CTestLink server(false, true);
    Connect(client, server);
    for (int i = 0; i < 1000; ++i)
        client.SendCommand(L"LINENR 0 %d\r", 7);
    ASSERT_TRUE(PumpUntil([&] { return server.m_lines[0].size() == 1000; }));
    const DWORD nPlain = 1000 * 22;
    EXPECT_EQ(client.GetBytesSent(false), nPlain);
    EXPECT_LT(client.GetBytesSent(true), nPlain) << "repeated lines compress";
    EXPECT_EQ(server.GetBytesReceived(false), nPlain);
    EXPECT_EQ(server.GetBytesReceived(true), client.GetBytesSent(true)) << "what one deflated the other inflated";
    EXPECT_GT(client.GetSendCompressionRatio(), 1.0);
    EXPECT_DOUBLE_EQ(server.GetReceiveCompressionRatio(), client.GetSendCompressionRatio());
}

// ---- broken streams and closing ----

TEST_F(LinkTest, CorruptInflateStreamClosesTheLink)
{
    CTestLink client(false, false); // sends plain bytes to an end that expects a zlib stream
    CTestLink server(false, true);
    Connect(client, server);
    client.SendString(L"LINENR 0 1\r");
    ASSERT_TRUE(PumpUntil([&] { return server.m_nCloseError != -1; })) << "the reading end closes";
    EXPECT_EQ(server.m_nCloseError, WSAECONNABORTED);
    EXPECT_EQ(server.m_hSocket, INVALID_SOCKET);
    EXPECT_TRUE(server.m_lines[0].empty());
    EXPECT_TRUE(PumpUntil([&] { return client.m_nCloseError != -1; })) << "and the peer learns of it";
}

TEST_F(LinkTest, CloseDuringAHandlerDeletesTheLinkAtTheEndOfThePass)
{
    bool bDeleted = false;
    bool bAliveAfterDisconnect = false;
    std::vector<std::wstring> lines;
    CTestLink client(false, false);
    auto* pServer = new CTestLink(false, false);
    pServer->m_bDeleteOnClose = true;
    pServer->m_pDeleted = &bDeleted;
    pServer->m_pAliveAfterDisconnect = &bAliveAfterDisconnect;
    pServer->m_pLinesOut = &lines;
    Connect(client, *pServer);
    client.SendString(L"LINENR 0 1\rCLOSEX\rLINENR 0 2\r");
    if (!PumpUntil([&] { return bDeleted; }))
    {
        ADD_FAILURE() << "a link closed inside a handler is deleted after the pass";
        delete pServer;
        return;
    }
    EXPECT_TRUE(bAliveAfterDisconnect) << "not deleted while its handler runs";
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"1", L"closed", L"2"})) << "the pass ends with what was buffered";
    EXPECT_TRUE(PumpUntil([&] { return client.m_nCloseError != -1; })) << "the peer sees the close";
}

// A link whose first receive pass throws on its way out, after it has read and dispatched its lines.
class CThrowOnceLink : public CTestLink
{
public:
    using CTestLink::CTestLink;
    int ProcessReceive(int nErrorCode) override
    {
        const int nResult = CTestLink::ProcessReceive(nErrorCode);
        if (!m_bThrown)
        {
            m_bThrown = true;
            throw new CInvalidArgException;
        }
        return nResult;
    }

private:
    bool m_bThrown = false;
};

TEST_F(LinkTest, ExceptionOutOfAReceivePassIsReportedOnceAndTheLinkKeepsWorking)
{
    CReportCountingApp app;
    CTestLink client(false, false);
    CThrowOnceLink server(false, false);
    Connect(client, server);
    client.SendString(L"LINENR 0 1\r");
    ASSERT_TRUE(PumpUntil([&] { return app.m_nReports > 0; })) << "the thread's report hears of it";
    EXPECT_EQ(server.m_lines[0], (std::vector<std::wstring>{L"1"}));
    client.SendString(L"LINENR 0 2\r");
    ASSERT_TRUE(PumpUntil([&] { return server.m_lines[0].size() == 2; })) << "later lines still arrive";
    EXPECT_EQ(server.m_lines[0][1], L"2");
    EXPECT_EQ(app.m_nReports, 1);
    EXPECT_NE(server.m_hSocket, INVALID_SOCKET) << "the link stays open";
}

// The same, but its end runs the real connecting handshake, whose first receive pass throws.
class CThrowInHandshakeLink : public CThrowOnceLink
{
public:
    using CThrowOnceLink::CThrowOnceLink;
    void OnConnect(int nErrorCode) override
    {
        CAsyncSocketEx::OnConnect(nErrorCode);
        m_nConnectError = nErrorCode;
    }
};

// A listening link: its Accept runs the accepting handshake on the new link.
class CHandshakeListener : public CAsyncSocketEx
{
public:
    CHandshakeListener() { m_bDeleteOnClose = false; }
    void OnAccept(int /*nErrorCode*/) override
    {
        m_bAccepted = Accept(*m_pInto) ? 1 : 0;
    }
    CAsyncSocketEx* m_pInto = nullptr;
    int m_bAccepted = -1; // -1 not yet, else Accept's result
};

TEST_F(LinkTest, ExceptionOutOfEitherHandshakeIsReportedOnce)
{
    CReportCountingApp app;
    {
        SCOPED_TRACE("connecting side");
        CThrowInHandshakeLink client(false, false);
        CTestLink server(false, false);
        Connect(client, server);
        EXPECT_EQ(app.m_nReports, 1) << "the connect notification's report hears of it";
        EXPECT_NE(client.m_hSocket, INVALID_SOCKET) << "the link stays open";
    }
    {
        SCOPED_TRACE("accepting side");
        app.m_nReports = 0;
        CHandshakeListener listener;
        ASSERT_TRUE(listener.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1"));
        ASSERT_TRUE(listener.Listen());
        CString strAddress;
        UINT nPort = 0;
        ASSERT_TRUE(listener.GetSockName(strAddress, nPort));
        CTestLink client(false, false);
        CThrowOnceLink server(false, false);
        listener.m_pInto = &server;
        ASSERT_TRUE(client.Create());
        if (!client.Connect(L"127.0.0.1", nPort))
        {
            ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
        }
        ASSERT_TRUE(PumpUntil([&] { return listener.m_bAccepted != -1; }));
        EXPECT_EQ(listener.m_bAccepted, 1) << "the connection is still accepted";
        EXPECT_EQ(app.m_nReports, 1) << "the accept's report hears of it";
        EXPECT_NE(server.m_hSocket, INVALID_SOCKET);
    }
}

TEST_F(LinkTest, CloseWritesTheByteCountsToTheTraces)
{
    CTestLink client(false, false);
    CTestLink server(false, false);
    Connect(client, server);
    client.SendString(L"LINENR 0 1\r");
    ASSERT_TRUE(PumpUntil([&] { return server.m_lines[0].size() == 1; }));
    server.SendString(L"LINENR 0 2\rLINENR 0 3\r");
    ASSERT_TRUE(PumpUntil([&] { return client.m_lines[0].size() == 2; }));
    client.m_traces.clear();
    EXPECT_FALSE(client.Disconnect()) << "closed at once on its own thread";
    EXPECT_EQ(client.m_nCloseError, 0);
    EXPECT_EQ(client.m_traces, (std::vector<std::wstring>{
                                   L"in: SOCKET CLOSED (error 0) - Received: " + CStaticTools::FormatByteSize(44).Str(),
                                   L"out: SOCKET CLOSED (error 0) - Sent: " + CStaticTools::FormatByteSize(22).Str()}));
    EXPECT_EQ(client.GetBytesSent(false), 0u) << "the counters start again";
    ASSERT_TRUE(PumpUntil([&] { return server.m_nCloseError != -1; }));
}

TEST_F(LinkTest, PeerCloseDeletesALinkThatOwnsItself)
{
    bool bDeleted = false;
    CTestLink client(false, false);
    auto* pServer = new CTestLink(false, false);
    pServer->m_bDeleteOnClose = true;
    pServer->m_pDeleted = &bDeleted;
    Connect(client, *pServer);
    EXPECT_FALSE(bDeleted);
    CAsyncSocketEx::DisconnectByHandle(client.m_hSocket); // finds the client by its handle
    EXPECT_EQ(client.m_nCloseError, 0) << "closed at once on its own thread";
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    if (!PumpUntil([&] { return bDeleted; }))
    {
        ADD_FAILURE() << "the peer's close deletes a link with delete-on-close set";
        delete pServer;
    }
}

TEST_F(LinkTest, DisconnectFromAnotherThreadIsPostedToTheOwner)
{
    constexpr UINT kCloseMessage = WM_APP + 42; // wParam: the socket handle
    CTestLink client(false, false);
    CTestLink server(false, false);
    Connect(client, server);
    client.SetCloseMessage(kCloseMessage);
    BOOL bPosted = FALSE;
    std::thread([&] { bPosted = client.Disconnect(); }).join();
    EXPECT_TRUE(bPosted);
    EXPECT_NE(client.m_hSocket, INVALID_SOCKET) << "not closed on the foreign thread";
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, kCloseMessage, kCloseMessage, PM_REMOVE)) << "the owner got the message";
    EXPECT_EQ(static_cast<SOCKET>(msg.wParam), client.m_hSocket);
    CAsyncSocketEx::DisconnectByHandle(static_cast<SOCKET>(msg.wParam)); // as the owner's loop does
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    EXPECT_EQ(client.m_nCloseError, 0);
}

// ---- descriptions ----

TEST_F(LinkTest, DescriptionsNameBothEnds)
{
    CTestLink client(false, false);
    CTestLink server(false, false);
    Connect(client, server);
    const std::wstring local = client.GetLocalAddress().Str();
    const std::wstring peer = client.GetPeerAddress().Str();
    EXPECT_EQ(peer, L"127.0.0.1:" + std::to_wstring(m_nPort));
    EXPECT_EQ(local.substr(0, 10), L"127.0.0.1:");
    EXPECT_EQ(server.GetPeerAddress().Str(), local) << "each end sees the other";
    EXPECT_EQ(client.GetDescription().Str(), L"") << "no names, no description";
    client.SetNames(L"Lumo", L"Jex");
    EXPECT_EQ(client.GetDescription().Str(), L"Socket from Lumo to Jex");
    EXPECT_EQ(client.GetDescription(true).Str(), L"Socket from Jex to Lumo");
    EXPECT_EQ(client.GetLinkDescription().Str(), L"Lumo (" + local + L") <-> Jex (" + peer + L")");
    BOOL bKeepAlive = FALSE;
    int nLength = sizeof bKeepAlive;
    ASSERT_TRUE(client.GetSockOpt(SO_KEEPALIVE, &bKeepAlive, &nLength));
    EXPECT_TRUE(bKeepAlive) << "Create switches keep-alive on";
}

// ---- payloads handed over to the send queue ----

// Records where every network send took its bytes from.
class CSendRecordingLink : public CTestLink
{
public:
    using CTestLink::CTestLink;
    int Send(const void* lpBuf, int nBufLen, int nFlags = 0) override
    {
        const int nSent = CTestLink::Send(lpBuf, nBufLen, nFlags);
        if (nSent > 0) m_sends.push_back({static_cast<const BYTE*>(lpBuf), nSent}); // under the send lock
        return nSent;
    }
    std::vector<std::pair<const BYTE*, int>> m_sends;
};

TEST_F(LinkTest, HandedOverPayloadsFromFourThreadsGoOutWhereTheyLie)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2;
    constexpr int kBytes = 1024 * 1024;
    for (const bool bEncryption : {false, true})
    {
        SCOPED_TRACE(bEncryption ? "RC4, in place" : "plain");
        CSendRecordingLink client(bEncryption, false);
        CTestLink server(bEncryption, false);
        Connect(client, server);
        // All payloads exist before the first send, so no two of them can share an address.
        std::vector<std::vector<BYTE>> payloads;
        std::vector<std::pair<const BYTE*, const BYTE*>> ranges;
        std::vector<unsigned long> crcs;
        for (int i = 0; i < kThreads * kPerThread; ++i)
        {
            payloads.push_back(MakePayload(kBytes, 100u + static_cast<unsigned>(i)));
            ranges.emplace_back(payloads.back().data(), payloads.back().data() + kBytes);
            crcs.push_back(Crc(payloads.back().data(), kBytes));
        }
        std::vector<std::thread> senders;
        std::atomic<int> nNotEmptied{0};
        for (int t = 0; t < kThreads; ++t)
            senders.emplace_back([&, t] {
                for (int k = 0; k < kPerThread; ++k)
                {
                    const int i = t * kPerThread + k;
                    CSingleLock lock(&client.m_csSend, TRUE); // line and payload back to back
                    client.SendCommand(L"BLOBPL %d %lu\r", kBytes, crcs[static_cast<size_t>(i)]);
                    client.SendRaw(std::move(payloads[static_cast<size_t>(i)]));
                    if (!payloads[static_cast<size_t>(i)].empty()) ++nNotEmptied;
                }
            });
        const bool bArrived = PumpUntil([&] { return server.m_blobCrcs.size() == kThreads * kPerThread; }, 120000);
        for (std::thread& sender : senders)
            sender.join();
        ASSERT_TRUE(bArrived) << server.m_blobCrcs.size() << " payloads arrived";
        EXPECT_EQ(nNotEmptied, 0) << "the caller's vector is handed over";
        EXPECT_EQ(server.m_blobCrcs, server.m_announcedCrcs) << "each payload intact behind its own line";
        std::vector<unsigned long> arrived = server.m_blobCrcs;
        std::sort(arrived.begin(), arrived.end());
        std::sort(crcs.begin(), crcs.end());
        EXPECT_EQ(arrived, crcs);
        long long nFromCallers = 0;
        for (const auto& [pSent, nSent] : client.m_sends)
            for (const auto& [pBegin, pEnd] : ranges)
                if (pSent >= pBegin && pSent + nSent <= pEnd) nFromCallers += nSent;
        EXPECT_EQ(nFromCallers, static_cast<long long>(kThreads) * kPerThread * kBytes)
            << "every payload byte went to the network from the caller's own block, none from a copy";
    }
}

// What the send path copies, counted through the link: a payload the caller keeps is copied once at
// most (into the queue, or, with RC4, into the work buffer, which then waits in the queue itself); a
// handed-over one not at all. The 4 KiB socket buffer makes nearly every byte wait.
enum class PayloadKind
{
    kept,
    vector,
    block
};
struct CopyCase
{
    PayloadKind kind;
    bool encryption;
    int maxCopies; // in whole payloads
    const char* why;
};
const CopyCase kCopyCases[] = {
    {PayloadKind::kept, false, 1, "kept, plain: the rest copied into the queue"},
    {PayloadKind::kept, true, 1, "kept, RC4: copied into the work buffer, which waits in the queue"},
    {PayloadKind::vector, false, 0, "vector, plain"},
    {PayloadKind::vector, true, 0, "vector, RC4 in place"},
    {PayloadKind::block, false, 0, "block, plain"},
    {PayloadKind::block, true, 0, "block, RC4 in place"},
};

TEST_F(LinkTest, SendPathCopiesAKeptPayloadOnceAndAHandedOverOneNever)
{
    constexpr int kBytes = 512 * 1024;
    const std::vector<BYTE> payload = MakePayload(kBytes, 31);
    const unsigned long nCrc = Crc(payload.data(), kBytes);
    for (const auto& c : kCopyCases)
    {
        SCOPED_TRACE(c.why);
        CTestLink client(c.encryption, false);
        CTestLink server(c.encryption, false);
        Connect(client, server);
        unsigned long long nCopied = 0;
        {
            CSingleLock lock(&client.m_csSend, TRUE);
            client.SendCommand(L"BLOBPL %d %lu\r", kBytes, nCrc);
            const unsigned long long nBefore = client.GetSendCopiedBytes();
            switch (c.kind)
            {
            case PayloadKind::kept:
                client.SendRaw(payload.data(), kBytes);
                break;
            case PayloadKind::vector:
                client.SendRaw(std::vector<BYTE>(payload));
                break;
            case PayloadKind::block: {
                std::unique_ptr<BYTE[]> pBlock(new BYTE[kBytes]);
                std::copy(payload.begin(), payload.end(), pBlock.get());
                client.SendRaw(std::move(pBlock), kBytes);
                EXPECT_FALSE(pBlock) << "the block is handed over";
                break;
            }
            }
            nCopied = client.GetSendCopiedBytes() - nBefore;
        }
        ASSERT_TRUE(PumpUntil([&] { return !server.m_blobCrcs.empty(); }, 60000));
        EXPECT_EQ(server.m_blobCrcs[0], nCrc) << "the payload arrived unchanged";
        EXPECT_LE(nCopied, static_cast<unsigned long long>(c.maxCopies) * kBytes);
        if (c.maxCopies > 0)
        {
            EXPECT_GE(nCopied, static_cast<unsigned long long>(kBytes) / 2) << "the counter sees the copy";
        }
    }
}

} // namespace
