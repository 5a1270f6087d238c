// One 64 MiB payload through a pair of links on 127.0.0.1 (each end on a thread of its own), plain,
// RC4 and compressed, each against a reference doing the same work with the same bytes in the same
// run, best of five for every figure:
// - raw: blocking Winsock send/recv between two threads, received into one fresh buffer of the
//   payload's size, as a link must end with the whole payload in one buffer;
// - RC4: raw plus encrypting and decrypting the payload once with the link's cipher;
// - compressed: zlib's own deflate (the link's level, a sync flush) and inflate of the same bytes.
// Every transfer's received bytes are checked against the sent ones by CRC-32. The memory figure is
// what a plain transfer adds to the process at its peak (the sender's payload and the receiver's
// buffer), as a multiple of the payload.
#include "core/CAsyncSocketEx.h"
#include "core/CLinkCipher.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CListener.h"
#include "framework/testing/CPeakSampler.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/BestInterleaved.h"
#include <zlib.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace
{
constexpr int kPayloadBytes = 64 * 1024 * 1024;
constexpr int kRounds = 5;
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
        const int len = std::snprintf(
            text, sizeof text, "2026-12-10T14:%02d:%02d.%03d agent %u state %u call %u queue %u\r\n", line / 60 % 60,
            line % 60, static_cast<int>(n % 1000), n >> 20 & 0xFFF, n >> 8 & 7, n & 0xFFFF, n >> 28);
        bytes.insert(bytes.end(), text, text + len);
    }
    bytes.resize(static_cast<size_t>(nBytes));
    return bytes;
}

unsigned long Crc(const BYTE* p, size_t n)
{
    return crc32(0, p, static_cast<uInt>(n));
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The receiving end: reserves room for the payload once its line is read, stops the clock when the
// payload is whole, and checks it afterwards.
class CBenchLink : public CAsyncSocketEx
{
public:
    CBenchLink(bool bEncryption, bool bCompression) : CAsyncSocketEx(bEncryption, bCompression)
    {
        m_bDeleteOnClose = false;
        InitCommandMap();
    }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            using C = CSocketCommand;
            map.Add(L"BLOBPL",
                    new C(SocketHandler(&CBenchLink::OnBlob), C::modeFieldsPayload, false, C::checkOneOf, 0, 1, -1));
        });
    }
    void OnConnect(int nErrorCode) override
    {
        m_bConnected = nErrorCode == 0;
        CAsyncSocket::OnConnect(nErrorCode); // the layers are set by the constructor: no handshake
    }
    bool m_bConnected = false;
    bool m_bDone = false;
    Clock::time_point m_end;
    unsigned long m_nCrc = 0;
    int m_nLength = -1;

private:
    void OnBlob(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = CStaticTools::ToInt(arrFields[0]);
        if (GetReceivedCount() < nLineLength + GetCharSize() + nLength)
        {
            ReservePayload(nLineLength, nLength);
            bIncomplete = TRUE;
            return;
        }
        m_end = Clock::now();
        m_nCrc = Crc(GetReceivedData() + nLineLength + GetCharSize(), static_cast<size_t>(nLength));
        m_nLength = nLength;
        m_bDone = true;
        ConsumeReceived(nLineLength + nLength);
    }
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};
CSocketCommandMap CBenchLink::s_map;
CCriticalSection CBenchLink::s_cs;

struct Result
{
    double seconds = -1;
    size_t nAddedBytes = 0;
};

// One transfer through a fresh link pair, each end on a thread of its own with its own message loop,
// as the two programs of a real link are (and as the raw reference's two threads are). The payload
// is handed over, as the payload senders do.
Result TimeLinkPair(const std::vector<BYTE>& payload, unsigned long nCrc, bool bEncryption, bool bCompression,
                    bool bSampleMemory = false)
{
    Result result;
    CListener listener;
    UINT nPort = 0;
    CString strAddress;
    if (!listener.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1") || !listener.Listen() ||
        !listener.GetSockName(strAddress, nPort))
        return result;
    auto pServer = std::make_unique<CBenchLink>(bEncryption, bCompression);
    listener.m_pInto = pServer.get();

    std::atomic<int> nSenderState{0}; // 1 connected, -1 failed
    std::atomic<bool> bGo{false};
    std::atomic<bool> bStop{false};
    std::vector<BYTE> handed;          // the sender's own copy, handed over to its link
    std::atomic<Clock::rep> nStart{0}; // read on this thread once the payload is whole
    std::thread sender([&] {
        CBenchLink client(bEncryption, bCompression);
        if (!client.Create() ||
            (!client.Connect(L"127.0.0.1", nPort) && CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) ||
            !PumpUntil([&] { return client.m_bConnected; }))
        {
            nSenderState = -1;
            return;
        }
        nSenderState = 1;
        if (!PumpUntil([&] { return bGo.load(); }, 60000)) return;
        nStart = Clock::now().time_since_epoch().count();
        {
            CSingleLock lock(&client.m_csSend, TRUE);
            client.SendCommand(L"BLOBPL %d\r", static_cast<int>(handed.size()));
            client.SendRaw(std::move(handed));
        }
        PumpUntil([&] { return bStop.load(); }, 600000); // OnSend drains the queue meanwhile
    });
    struct CJoin
    {
        std::thread& thread;
        std::atomic<bool>& bStop;
        ~CJoin()
        {
            bStop = true;
            thread.join();
        }
    } join{sender, bStop};
    if (!PumpUntil([&] { return nSenderState != 0 && listener.m_bAccepted; }) || nSenderState < 0) return result;

    // The sampler's thread would steal time from the transfer: only a round of its own is sampled.
    std::unique_ptr<CPeakSampler> pPeak(bSampleMemory ? new CPeakSampler : nullptr);
    handed = payload;
    bGo = true;
    if (!PumpUntil([&] { return pServer->m_bDone; }, 600000)) return result;
    if (pPeak) result.nAddedBytes = pPeak->Added();
    if (pServer->m_nLength == static_cast<int>(payload.size()) && pServer->m_nCrc == nCrc)
        result.seconds =
            std::chrono::duration<double>(pServer->m_end - Clock::time_point(Clock::duration(nStart.load()))).count();
    return result;
}

// The same bytes with blocking Winsock calls, sender and receiver on two threads, into one fresh
// buffer of the payload's size.
double TimeRawWinsock(const std::vector<BYTE>& payload, unsigned long nCrc)
{
    CSocketHandle listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (!listener.IsValid() || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(listener, 1) != 0)
        return -1;
    const CSocketHandle sender(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (connect(sender, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
    const CSocketHandle receiver(accept(listener, nullptr, nullptr));
    listener.Close();
    if (!receiver.IsValid()) return -1;

    const auto start = Clock::now();
    std::thread sending([&] {
        for (size_t sent = 0; sent < payload.size();)
        {
            const int n = send(sender, reinterpret_cast<const char*>(payload.data() + sent),
                               static_cast<int>(payload.size() - sent), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
    });
    std::unique_ptr<BYTE[]> buffer(new BYTE[payload.size()]); // fresh, untouched, like the link's
    size_t received = 0;
    while (received < payload.size())
    {
        const int n = recv(receiver, reinterpret_cast<char*>(buffer.get() + received),
                           static_cast<int>(payload.size() - received), 0);
        if (n <= 0) break;
        received += static_cast<size_t>(n);
    }
    const double seconds = Since(start);
    sending.join();
    return received == payload.size() && Crc(buffer.get(), received) == nCrc ? seconds : -1;
}

// The link's cipher alone: the sender's encryption and the receiver's decryption of the payload.
double TimeRc4(const std::vector<BYTE>& payload)
{
    std::vector<BYTE> bytes(payload);
    CLinkCipher cipher;
    if (!cipher.Init("3teXOnikawubroPle-_h9D+muS6lepiz")) return -1;
    const auto start = Clock::now();
    const DWORD n = static_cast<DWORD>(bytes.size());
    if (!cipher.Encrypt(bytes.data(), n) || !cipher.Decrypt(bytes.data(), n)) return -1;
    const double seconds = Since(start);
    return bytes == payload ? seconds : -1;
}

// zlib's own deflate at the link's level with one sync flush, and inflate into one fresh buffer.
double TimeZlib(const std::vector<BYTE>& payload, unsigned long nCrc)
{
    z_stream deflater{};
    z_stream inflater{};
    if (deflateInit(&deflater, Z_DEFAULT_COMPRESSION) != Z_OK || inflateInit(&inflater) != Z_OK) return -1;
    std::unique_ptr<BYTE[]> packed(new BYTE[deflateBound(&deflater, payload.size()) + 64]);
    std::unique_ptr<BYTE[]> unpacked(new BYTE[payload.size()]);
    const auto start = Clock::now();
    deflater.next_in = const_cast<Bytef*>(payload.data());
    deflater.avail_in = static_cast<uInt>(payload.size());
    deflater.next_out = packed.get();
    deflater.avail_out = static_cast<uInt>(deflateBound(&deflater, payload.size()) + 64);
    const int nDeflated = deflate(&deflater, Z_SYNC_FLUSH);
    inflater.next_in = packed.get();
    inflater.avail_in = static_cast<uInt>(deflater.total_out);
    inflater.next_out = unpacked.get();
    inflater.avail_out = static_cast<uInt>(payload.size());
    const int nInflated = inflate(&inflater, Z_SYNC_FLUSH);
    const double seconds = Since(start);
    const bool bOk = nDeflated == Z_OK && (nInflated == Z_OK || nInflated == Z_BUF_ERROR) &&
                     inflater.total_out == payload.size() && Crc(unpacked.get(), payload.size()) == nCrc;
    deflateEnd(&deflater);
    inflateEnd(&inflater);
    return bOk ? seconds : -1;
}

} // namespace

int main()
{
    if (!AfxSocketInit()) return 1;
    const std::vector<BYTE> payload = MakeLogText(kPayloadBytes);
    const unsigned long nCrc = Crc(payload.data(), payload.size());
    const auto link = [&](bool bEncryption, bool bCompression) {
        return
            [&, bEncryption, bCompression] { return TimeLinkPair(payload, nCrc, bEncryption, bCompression).seconds; };
    };
    const std::vector<double> best = BestInterleaved(
        {[&] { return TimeRawWinsock(payload, nCrc); }, [&] { return TimeRc4(payload); },
         [&] { return TimeZlib(payload, nCrc); }, link(false, false), link(true, false), link(false, true)},
        kRounds);
    const double raw = best[0], rc4 = best[1], zlib = best[2];
    const double plain = best[3], encrypted = best[4], compressed = best[5];
    const Result sampled = TimeLinkPair(payload, nCrc, false, false, true);
    const size_t nPeakAdded = sampled.nAddedBytes;
    if (raw < 0 || rc4 < 0 || zlib < 0 || plain < 0 || encrypted < 0 || compressed < 0 || sampled.seconds < 0)
    {
        std::printf("link throughput: a transfer failed or its bytes differ (raw %.3f, rc4 %.3f, zlib %.3f, plain "
                    "%.3f, encrypted %.3f, compressed %.3f s)\n",
                    raw, rc4, zlib, plain, encrypted, compressed);
        return 1;
    }
    const double mib = kPayloadBytes / (1024.0 * 1024.0);
    std::printf("64 MiB payload of log text through a link pair on 127.0.0.1, best of %d, bytes checked by CRC-32\n",
                kRounds);
    std::printf("  raw Winsock into one buffer  %7.3f s  %7.1f MiB/s\n", raw, mib / raw);
    std::printf("  link, plain                  %7.3f s  %7.1f MiB/s  %.2fx raw's time (aim: at most 1.2x)\n", plain,
                mib / plain, plain / raw);
    std::printf("  link, RC4                    %7.3f s  %7.1f MiB/s  %.2fx the time of raw + RC4 alone (%.3f s; "
                "aim: at most 1.5x)\n",
                encrypted, mib / encrypted, encrypted / (raw + rc4), raw + rc4);
    std::printf("  link, compressed             %7.3f s  %7.1f MiB/s  %.2fx the time of zlib's deflate + inflate "
                "(%.3f s; aim: at most 1.2x)\n",
                compressed, mib / compressed, compressed / zlib, zlib);
    std::printf("  peak working set added by a plain transfer: %.2fx the payload (aim: at most 2x + 32 MiB, %.2fx)\n",
                static_cast<double>(nPeakAdded) / kPayloadBytes, 2.0 + 32.0 * 1024 * 1024 / kPayloadBytes);
    return 0;
}
