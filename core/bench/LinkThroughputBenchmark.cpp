// Throughput of one 64 MiB payload through a pair of links on 127.0.0.1, plain and compressed, each
// against a blocking Winsock send/recv of the same bytes between two threads, measured in the same run.
#include "core/CAsyncSocketEx.h"
#include "core/CStaticTools.h"
#include "framework/testing/MessagePump.h"
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kPayloadBytes = 64 * 1024 * 1024;
using Clock = std::chrono::steady_clock;

// Log-like text: compressible the way the system's real payloads are, not a constant run.
std::vector<BYTE> MakeLogText(int nBytes)
{
    std::vector<BYTE> bytes;
    bytes.reserve(static_cast<size_t>(nBytes) + 200);
    unsigned n = 12345;
    for (int line = 0; static_cast<int>(bytes.size()) < nBytes; ++line)
    {
        n = n * 1103515245u + 12345u;
        char text[160];
        const int len = std::snprintf(text, sizeof text, "2026-12-10T14:%02d:%02d.%03d agent %u state %u call %u queue %u\r\n",
                                      line / 60 % 60, line % 60, static_cast<int>(n % 1000), n >> 20 & 0xFFF,
                                      n >> 8 & 7, n & 0xFFFF, n >> 28);
        bytes.insert(bytes.end(), text, text + len);
    }
    bytes.resize(static_cast<size_t>(nBytes));
    return bytes;
}

class CBenchLink : public CAsyncSocketEx
{
public:
    explicit CBenchLink(bool bCompression) : CAsyncSocketEx(false, bCompression)
    {
        m_bDeleteOnClose = false;
        InitCommandMap();
    }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        CSingleLock own(&s_cs, TRUE);
        if (!s_map.IsEmpty()) return;
        CSingleLock base(&s_csCommandMap, TRUE);
        CAsyncSocketEx::InitCommandMap();
        s_map.CopyFrom(*CAsyncSocketEx::GetCommandMap());
        using C = CSocketCommand;
        s_map.Add(L"BLOBPL",
                  new C(SocketHandler(&CBenchLink::OnBlob), C::modeFieldsPayload, false, C::checkOneOf, 0, 1, -1));
    }
    void OnConnect(int nErrorCode) override
    {
        m_bConnected = nErrorCode == 0;
        CAsyncSocket::OnConnect(nErrorCode); // the layers are set by the constructor: no handshake
    }
    bool m_bConnected = false;
    int m_nReceivedPayload = -1;

private:
    void OnBlob(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = CStaticTools::ToInt(arrFields[0]);
        if (GetReceivedCount() < nLineLength + GetCharSize() + nLength)
        {
            bIncomplete = TRUE;
            return;
        }
        m_nReceivedPayload = nLength;
        ConsumeReceived(nLineLength + nLength);
    }
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};
CSocketCommandMap CBenchLink::s_map;
CCriticalSection CBenchLink::s_cs;

class CListener : public CAsyncSocket
{
public:
    CAsyncSocket* m_pInto = nullptr;
    bool m_bAccepted = false;
    void OnAccept(int nErrorCode) override
    {
        if (nErrorCode == 0 && m_pInto && !m_bAccepted) m_bAccepted = Accept(*m_pInto) != FALSE;
    }
};

// Seconds for the payload through a framework link pair; negative on failure.
double TimeLinkPair(const std::vector<BYTE>& payload, bool bCompression)
{
    CListener listener;
    UINT nPort = 0;
    CString strAddress;
    if (!listener.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1") || !listener.Listen() ||
        !listener.GetSockName(strAddress, nPort))
        return -1;
    CBenchLink client(bCompression), server(bCompression);
    listener.m_pInto = &server;
    if (!client.Create()) return -1;
    if (!client.Connect(L"127.0.0.1", nPort) && CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) return -1;
    if (!PumpUntil([&] { return client.m_bConnected && listener.m_bAccepted; })) return -1;

    const auto start = Clock::now();
    {
        CSingleLock lock(&client.m_csSend, TRUE);
        client.SendCommand(L"BLOBPL %d\r", static_cast<int>(payload.size()));
        client.SendRaw(payload.data(), static_cast<int>(payload.size()));
    }
    if (!PumpUntil([&] { return server.m_nReceivedPayload >= 0; }, 600000)) return -1;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return server.m_nReceivedPayload == static_cast<int>(payload.size()) ? seconds : -1;
}

// Seconds for the same bytes with plain blocking Winsock calls, sender and receiver on two threads.
double TimeRawWinsock(const std::vector<BYTE>& payload)
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(listener, 1) != 0)
        return -1;
    SOCKET sender = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connect(sender, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
    SOCKET receiver = accept(listener, nullptr, nullptr);
    closesocket(listener);
    if (receiver == INVALID_SOCKET) return -1;

    const auto start = Clock::now();
    std::thread sending([&] {
        for (size_t sent = 0; sent < payload.size();)
        {
            const int n = send(sender, reinterpret_cast<const char*>(payload.data() + sent),
                               static_cast<int>(std::min<size_t>(payload.size() - sent, 1 << 20)), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
    });
    std::vector<char> buffer(1 << 20);
    size_t received = 0;
    while (received < payload.size())
    {
        const int n = recv(receiver, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n <= 0) break;
        received += static_cast<size_t>(n);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sending.join();
    closesocket(sender);
    closesocket(receiver);
    return received == payload.size() ? seconds : -1;
}
}  // namespace

int main()
{
    if (!AfxSocketInit()) return 1;
    const std::vector<BYTE> payload = MakeLogText(kPayloadBytes);
    const double raw = TimeRawWinsock(payload);
    const double plain = TimeLinkPair(payload, false);
    const double compressed = TimeLinkPair(payload, true);
    if (raw <= 0 || plain <= 0 || compressed <= 0)
    {
        std::printf("link throughput: a transfer failed (raw %.3f s, plain %.3f s, compressed %.3f s)\n", raw,
                    plain, compressed);
        return 1;
    }
    const double mib = kPayloadBytes / (1024.0 * 1024.0);
    std::printf("64 MiB payload of log text through a link pair on 127.0.0.1\n");
    std::printf("  raw Winsock send/recv  %7.3f s  %8.1f MiB/s\n", raw, mib / raw);
    std::printf("  link, plain            %7.3f s  %8.1f MiB/s  ratio %.2fx raw's time (aim: within 1.5x)\n", plain,
                mib / plain, plain / raw);
    std::printf("  link, compressed       %7.3f s  %8.1f MiB/s  ratio %.2fx raw's time\n", compressed,
                mib / compressed, compressed / raw);
    return 0;
}
