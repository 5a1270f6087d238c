// Interview data on its road through the session layer on 127.0.0.1: an application's SNDINT on
// the current application port, checked by its CRC-32 and relayed on the Jex command link, to a
// Jex that has the whole payload. Three threads with a message loop each, as the three programs
// are: the application, the desktop (listener, session core and Jex link: the real classes) and
// Jex; both links as their handshakes make them. Against a raw two-hop copy of the same bytes in
// the same run: blocking Winsock calls from a sender through a relay thread to a receiver, into one
// fresh buffer. Best of five for every figure, the rounds interleaved; every payload checked by
// CRC-32 where it arrives.
// - one interview of 1 MiB: time until Jex has it all;
// - a thousand interviews of 512 bytes sent back to back: time until Jex has the last, and the
//   interviews per second that makes.
#include "sessions/CJexSocket.h"
#include "sessions/CLumoClientSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/tests/CJexLinkAppHost.h"
#include "sessions/tests/SessionRecorders.h"
#include "core/CAsyncSocketEx.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/BestInterleaved.h"
#include <zlib.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace
{
constexpr int kRounds = 5;
constexpr size_t kLargeBytes = 1024 * 1024;
constexpr int kSmallCount = 1000;
constexpr size_t kSmallBytes = 512;
using Clock = std::chrono::steady_clock;
using Interviews = std::vector<std::vector<BYTE>>;

unsigned long Crc(const BYTE* p, size_t n)
{
    return crc32(0, p, static_cast<uInt>(n));
}

Interviews MakeInterviews(int nCount, size_t nBytes, unsigned nSeed)
{
    std::mt19937 random(nSeed);
    Interviews interviews(static_cast<size_t>(nCount), std::vector<BYTE>(nBytes));
    for (auto& interview : interviews)
        for (BYTE& b : interview)
            b = static_cast<BYTE>(random());
    return interviews;
}

// Jex's end of the command link: greets, then takes interview data, stopping the clock when a
// payload is whole and checking its CRC-32 afterwards.
class CBenchJex : public CAsyncSocketEx
{
public:
    CBenchJex()
    {
        m_bDeleteOnClose = false;
        InitCommandMap();
    }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            using C = CSocketCommand;
            map.Add(L"SNDINT", new C(SocketHandler(&CBenchJex::OnInterview), C::modeFieldsPayload, false, C::checkOneOf,
                                     0, 5, -1));
        });
    }
    bool IsEncrypted() const { return m_bEncryption; }
    std::atomic<int> m_nReceived{0};
    std::atomic<int> m_nBad{0};
    std::atomic<Clock::rep> m_nLastEnd{0};

private:
    void OnInterview(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = CStaticTools::ToInt(arrFields[2]);
        if (GetReceivedCount() < nLineLength + GetCharSize() + nLength)
        {
            ReservePayload(nLineLength, nLength);
            bIncomplete = TRUE;
            return;
        }
        const Clock::rep nEnd = Clock::now().time_since_epoch().count();
        const BYTE* pPayload = GetReceivedData() + nLineLength + GetCharSize();
        if (Crc(pPayload, static_cast<size_t>(nLength)) != CStaticTools::ToULong(arrFields[3].GetString())) ++m_nBad;
        ConsumeReceived(nLineLength + nLength);
        m_nLastEnd = nEnd;
        ++m_nReceived;
    }
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};
CSocketCommandMap CBenchJex::s_map;
CCriticalSection CBenchJex::s_cs;

// Jex's listener: a link of the framework, so that its accept makes the handshake as Jex does.
class CBenchJexListener : public CAsyncSocketEx
{
public:
    CBenchJexListener() { m_bDeleteOnClose = false; }
    void OnAccept(int nErrorCode) override
    {
        if (nErrorCode == 0 && m_pInto && !m_bAccepted) m_bAccepted = Accept(*m_pInto) != FALSE;
    }
    CAsyncSocketEx* m_pInto = nullptr;
    bool m_bAccepted = false;
};

// The application's end of its link to the desktop.
class CBenchApp : public CAsyncSocketEx
{
public:
    CBenchApp() { m_bDeleteOnClose = false; }
    void OnConnect(int nErrorCode) override
    {
        CAsyncSocketEx::OnConnect(nErrorCode); // the handshake, done when it returns
        m_bConnected = nErrorCode == 0 ? 1 : -1;
    }
    bool IsEncrypted() const { return m_bEncryption; }
    int m_bConnected = 0; // 1 connected, -1 failed
};

// A thread with a message loop of its own, running its setup and then its work as it is handed
// over, until it is stopped.
class CLoopThread
{
public:
    explicit CLoopThread(std::function<void()> setup)
        : m_thread([this, setup] {
              setup();
              while (!m_bStop)
              {
                  PumpUntil([&] { return m_bStop || m_pWork.load(); }, 60000);
                  if (std::function<void()>* pWork = m_pWork.exchange(nullptr))
                  {
                      (*pWork)();
                      m_bWorkDone = true;
                  }
              }
          })
    {
    }
    ~CLoopThread()
    {
        m_bStop = true;
        m_thread.join();
    }
    CLoopThread(const CLoopThread&) = delete;
    CLoopThread& operator=(const CLoopThread&) = delete;
    // Runs the work on the thread; the caller pumps its own messages meanwhile.
    bool Run(std::function<void()> work)
    {
        m_bWorkDone = false;
        m_work = std::move(work);
        m_pWork = &m_work;
        return PumpUntil([&] { return m_bWorkDone.load(); }, 60000);
    }

private:
    std::function<void()> m_work;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bWorkDone{false};
    std::atomic<std::function<void()>*> m_pWork{nullptr};
    std::thread m_thread;
};

// The road, set up once: the desktop's part lives on the calling thread, which pumps while it
// waits, the application and Jex on threads of their own.
class CRoad
{
public:
    bool Open()
    {
        CSessionCore::Timings timings;
        timings.nRegistrationPauseMs = 0;
        m_core.SetTimings(timings);
        m_core.Roles().Install(m_dlg);
        m_pJexThread = std::make_unique<CLoopThread>([this] {
            m_pJexListener = std::make_unique<CBenchJexListener>();
            m_pJex = std::make_unique<CBenchJex>();
            m_pJexListener->m_pInto = m_pJex.get();
            CString strAddress;
            UINT nPort = 0;
            if (m_pJexListener->Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1") && m_pJexListener->Listen() &&
                m_pJexListener->GetSockName(strAddress, nPort))
                m_nJexPort = nPort;
            else
                m_nJexPort = -1;
            if (PumpUntil([&] { return m_pJexListener->m_bAccepted; }, 30000))
                m_pJex->SendCommand(L"STARTS 0 5.4.9.6 0.0.0.0\r");
        });
        if (!PumpUntil([&] { return m_nJexPort != 0; }) || m_nJexPort < 0) return false;
        m_app.m_nPort = static_cast<UINT>(m_nJexPort.load());
        m_pLink = std::make_shared<CJexSocket>(m_app, m_boxes, &m_core);
        m_pLink->SetMainWindow(&m_dlg, nullptr);
        m_pLink->SetApplicationRelay(&m_core); // Jex's answers for the applications
        if (!m_pLink->Create() || !m_pLink->ConnectToServer() || !PumpUntil([&] { return m_pLink->m_bSession; }, 30000))
            return false;
        m_app.m_pJexSocket = m_pLink;
        m_core.SetJexSender(m_pLink.get());
        if (!m_listener.StartListening(0)) return false;

        const UINT nAppPort = m_listener.GetListeningPort();
        std::atomic<int> nState{0}; // 1 connected, -1 failed
        m_pAppThread = std::make_unique<CLoopThread>([this, nAppPort, &nState] {
            m_pApp = std::make_unique<CBenchApp>();
            if (!m_pApp->Create() ||
                (!m_pApp->Connect(L"127.0.0.1", nAppPort) && CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) ||
                !PumpUntil([&] { return m_pApp->m_bConnected != 0; }, 30000) || m_pApp->m_bConnected < 0)
            {
                nState = -1;
                return;
            }
            m_pApp->SendCommand(L"APLGIN 1 0 1\r");
            nState = 1;
        });
        return PumpUntil([&] { return nState != 0; }, 30000) && nState > 0 &&
               PumpUntil([&] { return m_core.FindApplication(0) != nullptr; }, 30000);
    }
    // Whether the handshakes put RC4 on both links, as they do between the real programs.
    bool AreBothEncrypted() const { return m_pApp->IsEncrypted() && m_pJex->IsEncrypted(); }

    // Seconds from the application's first send until Jex has the last payload whole; negative
    // when one did not arrive, or arrived changed.
    double Send(const Interviews& interviews)
    {
        const int nBefore = m_pJex->m_nReceived;
        const int nBadBefore = m_pJex->m_nBad;
        std::atomic<Clock::rep> nStart{0};
        if (!m_pAppThread->Run([&] {
                nStart = Clock::now().time_since_epoch().count();
                for (const std::vector<BYTE>& interview : interviews)
                {
                    CSingleLock lock(&m_pApp->m_csSend, TRUE);
                    m_pApp->SendCommand(L"SNDINT %d %u 100 %d %lu\r", m_nNextRequest,
                                        static_cast<unsigned>(interview.size()), m_nNextRequest,
                                        Crc(interview.data(), interview.size()));
                    m_pApp->SendRaw(interview.data(), static_cast<int>(interview.size()));
                    ++m_nNextRequest;
                }
            }))
            return -1;
        const int nWanted = nBefore + static_cast<int>(interviews.size());
        if (!PumpUntil([&] { return m_pJex->m_nReceived >= nWanted; }, 120000) || m_pJex->m_nBad != nBadBefore)
            return -1;
        return std::chrono::duration<double>(Clock::duration(m_pJex->m_nLastEnd - nStart)).count();
    }

    // Stops the threads before their sockets go.
    void Close()
    {
        if (m_pAppThread) m_pAppThread->Run([this] { m_pApp.reset(); });
        m_pAppThread.reset();
        m_listener.CloseConnections();
        if (m_pJexThread)
            m_pJexThread->Run([this] {
                m_pJex.reset();
                m_pJexListener.reset();
            });
        m_pJexThread.reset();
        m_core.SetJexSender(nullptr);
        m_app.m_pJexSocket.reset();
        m_pLink.reset();
    }

private:
    CJexLinkAppHost m_app;
    CRecordingDlgHost m_dlg;
    CAnsweringBoxes m_boxes;
    CSessionCore m_core{m_app};
    CLumoClientSocket m_listener{m_core, m_app};
    std::shared_ptr<CJexSocket> m_pLink;
    std::atomic<int> m_nJexPort{0};
    std::unique_ptr<CBenchJexListener> m_pJexListener; // these two live on the Jex thread
    std::unique_ptr<CBenchJex> m_pJex;
    std::unique_ptr<CBenchApp> m_pApp; // on the application thread
    int m_nNextRequest = 1;
    std::unique_ptr<CLoopThread> m_pJexThread;
    std::unique_ptr<CLoopThread> m_pAppThread;
};

// A connected pair of blocking sockets on 127.0.0.1.
bool MakePair(CSocketHandle& from, CSocketHandle& to)
{
    CSocketHandle listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (!listener.IsValid() || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(listener, 1) != 0)
        return false;
    from.Attach(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (connect(from, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
    to.Attach(accept(listener, nullptr, nullptr));
    return to.IsValid();
}

// The same bytes from a sender, one send loop per interview, through a relay thread that copies
// what it reads on, to a receiver that reads them into one fresh buffer.
double TimeRawTwoHop(const Interviews& interviews)
{
    CSocketHandle senderOut, relayIn, relayOut, receiverIn;
    if (!MakePair(senderOut, relayIn) || !MakePair(relayOut, receiverIn)) return -1;
    size_t nTotal = 0;
    for (const auto& interview : interviews)
        nTotal += interview.size();
    std::atomic<bool> bGo{false}; // the clock starts once both threads are there
    std::thread sender([&] {
        while (!bGo)
            std::this_thread::yield();
        for (const auto& interview : interviews)
            for (size_t sent = 0; sent < interview.size();)
            {
                const int n = send(senderOut, reinterpret_cast<const char*>(interview.data() + sent),
                                   static_cast<int>(interview.size() - sent), 0);
                if (n <= 0) return;
                sent += static_cast<size_t>(n);
            }
    });
    std::thread relay([&] {
        std::vector<char> block(kLargeBytes); // whatever has arrived goes on in one send
        for (size_t copied = 0; copied < nTotal;)
        {
            const int n = recv(relayIn, block.data(), static_cast<int>(block.size()), 0);
            if (n <= 0) return;
            for (int sent = 0; sent < n;)
            {
                const int m = send(relayOut, block.data() + sent, n - sent, 0);
                if (m <= 0) return;
                sent += m;
            }
            copied += static_cast<size_t>(n);
        }
    });
    std::unique_ptr<BYTE[]> buffer(new BYTE[nTotal]);
    const auto start = Clock::now();
    bGo = true;
    size_t received = 0;
    while (received < nTotal)
    {
        const int n =
            recv(receiverIn, reinterpret_cast<char*>(buffer.get() + received), static_cast<int>(nTotal - received), 0);
        if (n <= 0) break;
        received += static_cast<size_t>(n);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sender.join();
    relay.join();
    unsigned long nWanted = 0;
    for (const auto& interview : interviews)
        nWanted = crc32(nWanted, interview.data(), static_cast<uInt>(interview.size()));
    return received == nTotal && Crc(buffer.get(), nTotal) == nWanted ? seconds : -1;
}

} // namespace

int main()
{
    if (!AfxSocketInit()) return 1;
    const Interviews large = MakeInterviews(1, kLargeBytes, 1);
    const Interviews small = MakeInterviews(kSmallCount, kSmallBytes, 2);
    CRoad road;
    if (!road.Open())
    {
        std::printf("interview road: the links did not come up\n");
        return 1;
    }
    const std::vector<double> best =
        BestInterleaved({[&] { return TimeRawTwoHop(large); }, [&] { return road.Send(large); },
                         [&] { return TimeRawTwoHop(small); }, [&] { return road.Send(small); }},
                        kRounds);
    const bool bEncrypted = road.AreBothEncrypted();
    road.Close();
    const double rawLarge = best[0], roadLarge = best[1], rawSmall = best[2], roadSmall = best[3];
    if (rawLarge < 0 || roadLarge < 0 || rawSmall < 0 || roadSmall < 0)
    {
        std::printf("interview road: a transfer failed or its bytes differ (raw %.4f, road %.4f, raw small %.4f, "
                    "road small %.4f s)\n",
                    rawLarge, roadLarge, rawSmall, roadSmall);
        return 1;
    }
    std::printf("interview data, application -> session layer -> Jex on 127.0.0.1, both links as their handshakes "
                "make them (%s), best of %d, every payload checked by CRC-32\n",
                bEncrypted ? "RC4" : "not both encrypted", kRounds);
    std::printf("  one interview of 1 MiB: raw two-hop copy %7.2f ms, road %7.2f ms: %.2fx the raw copy (aim: at most "
                "2x)\n",
                rawLarge * 1e3, roadLarge * 1e3, roadLarge / rawLarge);
    std::printf("  %d interviews of %zu bytes: raw two-hop copy %7.2f ms, road %7.2f ms = %.0f interviews/s (aim: at "
                "least 1,000/s): %.2fx the raw copy\n",
                kSmallCount, kSmallBytes, rawSmall * 1e3, roadSmall * 1e3, kSmallCount / roadSmall,
                roadSmall / rawSmall);
    return 0;
}
