// The link to Lumo against an answering Lumo in C++ (its own thread, a core link), in the same run:
// synchronous request/answer on a core link driven from its own thread against a raw blocking Winsock
// ping-pong of the same line sizes, and through CLumoSocket against the core link, and a 16 MiB answer to CLumoSocket's
// waiter against the same payload to a core link's handler. Then the control of LumoClient.ocx, created without
// registration as its clients create it: a synchronous member through IDispatch::Invoke against a core link's exchange,
// and a 1 MiB SendInterview until Lumo holds it against the same line and payload sent on a core link.
#include "clientctl/CLumoSocket.h"
#include "clientctl/bench/CLumoThread.h"
#include "clientctl/bench/CWordLink.h"
#include "core/CAsyncSocketEx.h"
#include "core/CStaticTools.h"
#include "framework/CComPtr.h"
#include "framework/CHandleOwner.h"
#include "framework/CComVariant.h"
#include "framework/CWinApp.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/DispatchInvoke.h"
#include "framework/testing/MessagePump.h"
#include "LumoVersion.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

CWinApp theApp(L"clientctl_link_bench"); // synchronous waits pump the application thread's messages

namespace
{
constexpr int kCalls = 2000;
constexpr int kBigBytes = 16 * 1024 * 1024;
constexpr int kBigRounds = 5;
constexpr int kInterviewBytes = 1024 * 1024;
constexpr int kInterviewRounds = 5;
// The published ids of the control (the IDL's header is the library's, not its clients').
const CLSID kControl = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};
constexpr DISPID kPort = 2, kApplicationId = 3, kInit = 20, kSendInterview = 46, kGetReplayMasterRole = 66,
                 kUninit = 73;
using Clock = std::chrono::steady_clock;

std::vector<BYTE> g_big(kBigBytes);
std::vector<BYTE> g_interview(kInterviewBytes);
std::atomic<int> g_nInterviewsHeld{0}; // interviews Lumo received whole, with the right checksum

using C = CSocketCommand;

// Lumo's side: greets, answers APLGIN and ECHO, sends BIG's payload.
class CAnsweringLink : public CWordLink<CAnsweringLink>
{
public:
    static void AddWords(CSocketCommandMap& map)
    {
        map.Add(L"APLGIN", new C(SocketHandler(&CAnsweringLink::OnAplgin), C::modeFields, false, C::checkNone, 0, -1));
        map.Add(L"ECHO", new C(SocketHandler(&CAnsweringLink::OnEcho), C::modeFields, false, C::checkNone, 0, -1));
        map.Add(L"BIG", new C(SocketHandler(&CAnsweringLink::OnBig), C::modeFields, false, C::checkNone, 0, -1));
        map.Add(L"REPLMA", new C(SocketHandler(&CAnsweringLink::OnReplma), C::modeFields, false, C::checkNone, 0, -1));
        auto* pInterview = new C(SocketHandler(&CAnsweringLink::OnSndint), C::modeBinary, false, C::checkNone, 0, -1);
        pInterview->m_nPayloadLengthField = 1;
        map.Add(L"SNDINT", pInterview);
    }
    void OnReplma(CStringArray& arrFields) { SendCommand(L"REPLMA %s -1 1\r", arrFields[0].GetString()); }
    // Counted when the bytes are all there and their CRC-32 is the one the line names.
    void OnSndint(CStringArray& arrFields, BYTE* pData, int nLength)
    {
        if (arrFields.GetSize() >= 5 && nLength == kInterviewBytes &&
            CStaticTools::GetChecksumForMemory(pData, static_cast<unsigned long>(nLength)) ==
                CStaticTools::ToULong(arrFields[4].GetString()))
            ++g_nInterviewsHeld;
    }
    void OnAplgin(CStringArray& arrFields) { SendCommand(L"APLGIN %s -1 1 3\r", arrFields[0].GetString()); }
    void OnEcho(CStringArray& arrFields) { SendCommand(L"ECHO %s -1 ok\r", arrFields[0].GetString()); }
    void OnBig(CStringArray& arrFields)
    {
        CSingleLock lock(&m_csSend, TRUE);
        SendCommand(L"BIG %s %d\r", arrFields[0].GetString(), kBigBytes);
        SendRaw(g_big.data(), kBigBytes);
    }
};

// The client side on a core link, used from the thread it lives on.
class CCoreClient : public CWordLink<CCoreClient>
{
public:
    static void AddWords(CSocketCommandMap& map)
    {
        map.Add(L"STARTS", new C(SocketHandler(&CCoreClient::OnStarts), C::modeFields, false, C::checkNone, 0, -1));
        map.Add(L"ECHO", new C(SocketHandler(&CCoreClient::OnEcho), C::modeFields, false, C::checkNone, 0, -1));
        auto* pBig = new C(SocketHandler(&CCoreClient::OnBig), C::modeBinary, false, C::checkNone, 0, -1);
        pBig->m_nPayloadLengthField = 1;
        map.Add(L"BIG", pBig);
    }
    void OnStarts(CStringArray&) { m_bGreeted = true; }
    // Each answer sends the next request: one synchronous exchange after the other.
    void OnEcho(CStringArray&)
    {
        if (++m_nAnswers < kCalls) SendCommand(L"ECHO %d\r", m_nAnswers + 1);
    }
    void OnBig(CStringArray&, BYTE*, int nLength) { m_nBigReceived = nLength; }
    // The line and payload SendInterview makes, as one piece under the send lock.
    void SendInterview(int nId, unsigned long nChecksum)
    {
        CSingleLock lock(&m_csSend, TRUE);
        SendCommand(L"SNDINT %d %d 77 42 %lu\r", nId, kInterviewBytes, nChecksum);
        SendRaw(g_interview.data(), kInterviewBytes);
    }

    bool m_bGreeted = false;
    int m_nAnswers = 0;
    int m_nBigReceived = -1;
};

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Sends all of the bytes on a blocking socket.
bool SendAll(SOCKET s, const char* p, int n)
{
    while (n > 0)
    {
        const int sent = send(s, p, n, 0);
        if (sent <= 0) return false;
        p += sent;
        n -= sent;
    }
    return true;
}

// Reads exactly n bytes from a blocking socket.
bool ReceiveAll(SOCKET s, char* p, int n)
{
    while (n > 0)
    {
        const int got = recv(s, p, n, 0);
        if (got <= 0) return false;
        p += got;
        n -= got;
    }
    return true;
}

// The round trip itself, as a reference: kCalls request/answer exchanges between two blocking
// Winsock sockets on 127.0.0.1, one answering from a thread of its own, with the byte counts of the
// links' lines (the request "ECHO n" and the answer "ECHO n -1 ok", wide characters with their
// carriage return). Seconds, or a negative number when an exchange failed.
double TimeRawPingPong()
{
    CSocketHandle listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (!listener.IsValid() || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(listener, 1) != 0)
        return -1;
    CSocketHandle client(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
    CSocketHandle server(accept(listener, nullptr, nullptr));
    if (!server.IsValid()) return -1;
    const std::wstring request = L"ECHO 1000\r", answer = L"ECHO 1000 -1 ok\r";
    const int nRequest = static_cast<int>(request.size() * sizeof(wchar_t));
    const int nAnswer = static_cast<int>(answer.size() * sizeof(wchar_t));
    std::atomic<bool> bServed{true};
    std::thread answering([&] {
        std::vector<char> line(static_cast<size_t>(nRequest));
        for (int i = 0; i < kCalls && bServed; ++i)
            bServed = ReceiveAll(server, line.data(), nRequest) &&
                      SendAll(server, reinterpret_cast<const char*>(answer.data()), nAnswer);
    });
    std::vector<char> line(static_cast<size_t>(nAnswer));
    bool bOk = true;
    const auto start = Clock::now();
    for (int i = 0; i < kCalls && bOk; ++i)
        bOk = SendAll(client, reinterpret_cast<const char*>(request.data()), nRequest) &&
              ReceiveAll(client, line.data(), nAnswer);
    const double seconds = Since(start);
    if (!bOk) shutdown(client, SD_BOTH); // the answering thread then stops at its next call
    answering.join();
    return bOk && bServed ? seconds : -1;
}

} // namespace

int main()
{
    if (!AfxSocketInit()) return 1;
    for (size_t i = 0; i < g_big.size(); ++i)
        g_big[i] = static_cast<BYTE>(i * 31 + 7);
    for (size_t i = 0; i < g_interview.size(); ++i)
        g_interview[i] = static_cast<BYTE>(i * 7 + 3);
    auto* pLumo = new CLumoThread<CAnsweringLink>;
    pLumo->m_bAutoDelete = FALSE;
    if (!AfxBeginThread(pLumo)) return 1;
    if (!PumpUntil([&] { return pLumo->m_nPort != 0; })) return 1;
    const UINT nPort = pLumo->m_nPort;

    // Through CLumoSocket: connect, then synchronous calls and the big answer.
    auto* pLink = new CLumoSocket(nullptr);
    pLink->SetOwnVersion(LUMO_VERSION_WTEXT);
    if (!pLink->Connect(L"127.0.0.1", static_cast<short>(nPort), 7, FALSE))
    {
        std::printf("link bench: CLumoSocket did not connect\n");
        return 1;
    }
    auto start = Clock::now();
    int nAnswered = 0;
    for (int i = 0; i < kCalls; ++i)
    {
        CStringArray arrAnswer;
        nAnswered += pLink->WaitForAnswer(pLink->PostCommand(TRUE, L"ECHO"), arrAnswer, 1, 10);
    }
    const double tSync = Since(start);
    // The best of a few big answers on each side: one transfer alone is at the mercy of a shared machine.
    double tSyncBig = 1e9;
    BOOL bBig = TRUE;
    DWORD nLength = 0;
    for (int i = 0; i < kBigRounds; ++i)
    {
        start = Clock::now();
        CStringArray arrAnswer;
        std::unique_ptr<BYTE[]> pData;
        bBig &= pLink->WaitForAnswerData(pLink->PostCommand(TRUE, L"BIG"), arrAnswer, -1, pData, nLength, 120);
        tSyncBig = std::min(tSyncBig, Since(start));
    }
    pLink->Disconnect();
    pLink->SafeDelete();

    // The same on a core link used from its own thread.
    CCoreClient client;
    if (!client.Create() || (!client.Connect(L"127.0.0.1", nPort) && CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) ||
        !PumpUntil([&] { return client.m_bGreeted; }))
    {
        std::printf("link bench: the core link did not connect\n");
        return 1;
    }
    const double tRaw = TimeRawPingPong();
    start = Clock::now();
    client.SendCommand(L"ECHO %d\r", 1);
    const bool bEchoes = PumpUntil([&] { return client.m_nAnswers >= kCalls; }, 120000);
    const double tCore = Since(start);
    double tCoreBig = 1e9;
    bool bCoreBig = true;
    for (int i = 0; i < kBigRounds; ++i)
    {
        client.m_nBigReceived = -1;
        start = Clock::now();
        client.SendCommand(L"BIG %d\r", 0);
        bCoreBig &= PumpUntil([&] { return client.m_nBigReceived >= 0; }, 120000);
        tCoreBig = std::min(tCoreBig, Since(start));
    }
    client.Close();

    // The control, as its clients create it, through IDispatch.
    const unsigned long nInterviewCrc = CStaticTools::GetChecksumForMemory(g_interview.data(), kInterviewBytes);
    double tMember = 0, tCoreMember = 0, tInterview = 1e9, tCoreInterview = 1e9;
    bool bControl = false;
    {
        CComApartment apartment;
        CActivationContextScope context(PathBesideProgram(L"LumoClient.manifest"));
        CComPtr<IDispatch> control;
        CComVariant connected;
        if (SUCCEEDED(apartment.Result()) && context.IsActive() &&
            SUCCEEDED(control.CoCreateInstance(kControl, nullptr, CLSCTX_INPROC_SERVER)) &&
            SUCCEEDED(InvokeMember(control, kPort, DISPATCH_PROPERTYPUT, {CComVariant(static_cast<short>(nPort))})) &&
            SUCCEEDED(InvokeMember(control, kApplicationId, DISPATCH_PROPERTYPUT, {CComVariant(0L)})) &&
            SUCCEEDED(InvokeMember(control, kInit, DISPATCH_METHOD, {}, &connected)) && connected.vt == VT_BOOL &&
            connected.boolVal == VARIANT_TRUE)
        {
            bControl = true;
            start = Clock::now();
            for (int i = 0; i < kCalls && bControl; ++i)
            {
                CComVariant hasRole;
                bControl = SUCCEEDED(InvokeMember(control, kGetReplayMasterRole, DISPATCH_METHOD,
                                                  {CComVariant(static_cast<short>(0))}, &hasRole)) &&
                           hasRole.vt == VT_BOOL && hasRole.boolVal == VARIANT_TRUE;
            }
            tMember = Since(start);
            CComVariant checksum;
            checksum.vt = VT_UI4;
            checksum.ulVal = nInterviewCrc;
            for (int i = 0; i < kInterviewRounds && bControl; ++i)
            {
                // The client's array is made and freed around each call, as a client does.
                CComVariant data;
                data.vt = VT_ARRAY | VT_UI1;
                data.parray = ::SafeArrayCreateVector(VT_UI1, 0, kInterviewBytes);
                std::memcpy(data.parray->pvData, g_interview.data(), kInterviewBytes);
                const int nHeld = g_nInterviewsHeld;
                start = Clock::now();
                CComVariant sent;
                bControl = SUCCEEDED(InvokeMember(control, kSendInterview, DISPATCH_METHOD,
                                                  {CComVariant(77L), CComVariant(42L), data, checksum}, &sent)) &&
                           sent.vt == VT_BOOL && sent.boolVal == VARIANT_TRUE &&
                           PumpUntil([&] { return g_nInterviewsHeld > nHeld; }, 120000);
                tInterview = std::min(tInterview, Since(start));
            }
            InvokeMember(control, kUninit, DISPATCH_METHOD, {});
        }
    }
    // The same exchanges on a core link from the thread it lives on.
    CCoreClient reference;
    bool bReference = reference.Create() &&
                      (reference.Connect(L"127.0.0.1", nPort) || CAsyncSocket::GetLastError() == WSAEWOULDBLOCK) &&
                      PumpUntil([&] { return reference.m_bGreeted; });
    if (bReference)
    {
        start = Clock::now();
        reference.SendCommand(L"ECHO %d\r", 1);
        bReference = PumpUntil([&] { return reference.m_nAnswers >= kCalls; }, 120000);
        tCoreMember = Since(start);
        for (int i = 0; i < kInterviewRounds && bReference; ++i)
        {
            const int nHeld = g_nInterviewsHeld;
            start = Clock::now();
            reference.SendInterview(i + 1, nInterviewCrc);
            bReference = PumpUntil([&] { return g_nInterviewsHeld > nHeld; }, 120000);
            tCoreInterview = std::min(tCoreInterview, Since(start));
        }
        reference.Close();
    }

    pLumo->PostThreadMessage(WM_QUIT, 0, 0);
    ::WaitForSingleObject(pLumo->m_hThread, 10000);
    delete pLumo;

    if (tRaw < 0)
    {
        std::printf("link bench: the raw ping-pong failed\n");
        return 1;
    }
    if (nAnswered != kCalls || !bBig || nLength != static_cast<DWORD>(kBigBytes) || !bEchoes || !bCoreBig ||
        client.m_nBigReceived != kBigBytes)
    {
        std::printf("link bench: an exchange failed (sync %d/%d, big %lu, core %d, core big %d)\n", nAnswered, kCalls,
                    static_cast<unsigned long>(nLength), client.m_nAnswers, client.m_nBigReceived);
        return 1;
    }
    if (!bControl || !bReference)
    {
        std::printf("link bench: the control's exchanges failed (control %d, core link %d)\n", bControl, bReference);
        return 1;
    }
    std::printf("%d synchronous request/answer exchanges on 127.0.0.1\n", kCalls);
    std::printf("  raw blocking Winsock ping-pong, same line sizes  %7.3f s  %8.0f calls/s\n", tRaw, kCalls / tRaw);
    std::printf("  core link, own thread                           %7.3f s  %8.0f calls/s  ratio %.2fx the raw "
                "ping-pong's time (aim: at most 2x)\n",
                tCore, kCalls / tCore, tCore / tRaw);
    std::printf("  CLumoSocket                                     %7.3f s  %8.0f calls/s  ratio %.2fx the core "
                "link's time (aim: at most 1.3x)\n",
                tSync, kCalls / tSync, tSync / tCore);
    std::printf("16 MiB answer, best of %d\n", kBigRounds);
    std::printf("  core link's handler    %7.3f s\n", tCoreBig);
    std::printf("  CLumoSocket's waiter   %7.3f s  ratio %.2fx the core link's time (aim: within 1.3x)\n", tSyncBig,
                tSyncBig / tCoreBig);
    std::printf("LumoClientCtrl, %d synchronous members (GetReplayMasterRole) through IDispatch::Invoke\n", kCalls);
    std::printf("  core link, own thread  %7.3f s\n", tCoreMember);
    std::printf("  the control            %7.3f s  ratio %.2fx the core link's time (aim: within 2x)\n", tMember,
                tMember / tCoreMember);
    std::printf("LumoClientCtrl, 1 MiB SendInterview until Lumo holds it, best of %d\n", kInterviewRounds);
    std::printf("  core link, own thread  %7.3f s\n", tCoreInterview);
    std::printf("  the control            %7.3f s  ratio %.2fx the core link's time (aim: within 1.5x)\n", tInterview,
                tInterview / tCoreInterview);
    return 0;
}
