// The connection to Jex in process: the application object connects through its connection
// dialog to a Jex on 127.0.0.1 (tests/peers/jex_sessions.py, the scripted Jex's directives on as
// many links as a test needs), with short ticks unless a test says otherwise.
#include "desktop/CConnectionDlg.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "core/CAsyncSocketEx.h"
#include "framework/AfxMessageBox.h"
#include "framework/CAsyncSocket.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CLoopStep.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/CPeerProcess.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "sessions/CJexSocket.h"
#include "tests/support/CJexSessions.h"
#include "LumoVersion.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Lines = std::vector<std::wstring>;

constexpr char kGreeting[] = "handshake\ngreet 0 " LUMO_VERSION_TEXT " 0.0.0.0\n";
constexpr char kNoRefusal[] = "Jex sent a greeting that Lumo cannot read.";

std::wstring Str(const CString& s)
{
    return s.Str();
}

// A loopback port that nothing listens on.
UINT ClosedPort()
{
    CSocketHandle probe(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!probe.IsValid() || ::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return 0;
    int n = sizeof addr;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &n);
    return ntohs(addr.sin_port);
}

// A stand-in for the local update service: a blocking listener that counts what connects.
class CServiceStandIn
{
public:
    CServiceStandIn() : m_listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP))
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int n = sizeof addr;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(m_listener, 8) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &n) == 0)
            m_nPort = ntohs(addr.sin_port);
    }
    UINT Port() const { return m_nPort; }
    // The bytes of each connection waiting now, read until its end.
    std::vector<size_t> TakeConnections()
    {
        std::vector<size_t> sizes;
        for (;;)
        {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(m_listener.Get(), &set);
            timeval none{0, 0};
            if (::select(0, &set, nullptr, nullptr, &none) != 1) return sizes;
            CSocketHandle conn(::accept(m_listener, nullptr, nullptr));
            if (!conn.IsValid()) return sizes;
            DWORD nTimeoutMs = 5000;
            ::setsockopt(conn, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&nTimeoutMs), sizeof nTimeoutMs);
            size_t nBytes = 0;
            char buffer[256];
            for (int n; (n = ::recv(conn, buffer, sizeof buffer, 0)) > 0;)
                nBytes += static_cast<size_t>(n);
            sizes.push_back(nBytes);
        }
    }

private:
    CSocketHandle m_listener;
    UINT m_nPort = 0;
};

// The message-box hook of a box that stays open for a while, as an agent's would: it pumps the
// thread's messages meanwhile, as the box's own loop does.
struct CHeldBoxes
{
    explicit CHeldBoxes(DWORD nHoldMs) : m_nHoldMs(nHoldMs)
    {
        m_pfnPrevious = AfxSetMessageBoxHook(&Hook, this, &m_pPrevious);
    }
    ~CHeldBoxes() { AfxSetMessageBoxHook(m_pfnPrevious, m_pPrevious); }
    CHeldBoxes(const CHeldBoxes&) = delete;
    CHeldBoxes& operator=(const CHeldBoxes&) = delete;
    static int Hook(void* pContext, HWND, LPCWSTR lpszText, LPCWSTR, UINT)
    {
        auto* p = static_cast<CHeldBoxes*>(pContext);
        p->m_texts.push_back(lpszText);
        PumpFor(p->m_nHoldMs);
        return IDOK;
    }
    DWORD m_nHoldMs;
    Lines m_texts;
    AFX_MESSAGEBOX_HOOK m_pfnPrevious = nullptr;
    void* m_pPrevious = nullptr;
};

// An application port of the test's own, for the links of tests/peers/apprecorder.py, which
// records every line a local application receives.
class CApplicationPort : public CAsyncSocketEx
{
public:
    CApplicationPort() { m_bDeleteOnClose = false; }
    void OnAccept(int nErrorCode) override
    {
        auto pLink = std::make_unique<CAsyncSocketEx>();
        pLink->m_bDeleteOnClose = false;
        pLink->InitCommandMap(); // an accepted link is never created
        if (nErrorCode == 0 && Accept(*pLink)) m_links.push_back(std::move(pLink));
    }
    std::vector<std::unique_ptr<CAsyncSocketEx>> m_links;
};

class ConnectionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(AfxSocketInit()); }
    void SetUp() override
    {
        m_pApp = std::make_unique<CLumoApp>();
        App().m_strRemoteHost = L"127.0.0.1";
        App().m_bStandalone = true; // no update service unless a test asks for one
        SetTicks(50, 1000);
    }
    void TearDown() override
    {
        CConnectionDlg::SetTimings({});
        if (m_pApp && m_pApp->m_pJexSocket) m_pApp->m_pJexSocket->Close();
        m_pApp.reset();
        TakeQuit(); // a test's quit must not reach the next test
    }
    static void SetTicks(UINT nTickMs, int nTicksPerAttempt)
    {
        CConnectionDlg::SetTimings({nTickMs, nTicksPerAttempt});
    }
    CLumoApp& App() { return *m_pApp; }
    HWND Dialog() const { return m_pApp->m_pConnectionDlg ? m_pApp->m_pConnectionDlg->GetSafeHwnd() : nullptr; }
    std::wstring StatusText() const
    {
        wchar_t text[512] = L"";
        ::GetDlgItemTextW(Dialog(), IDC_CONNECTION_STATUS, text, 512);
        return text;
    }
    // Connect, with the step run from the dialog's loop; the step ends the dialog or the test fails.
    BOOL ConnectWith(std::function<bool()> step)
    {
        CLoopStep loop([this, step] {
            if (Dialog() && ::IsWindowVisible(Dialog()) && !m_nShownAt) m_nShownAt = GetTickCount64();
            return step();
        });
        m_nConnectStart = GetTickCount64();
        return App().Connect(TRUE);
    }
    void Cancel() { ::PostMessageW(::GetDlgItem(Dialog(), IDCANCEL), BM_CLICK, 0, 0); }
    // The exit code of a posted quit, or -1 when none is waiting.
    static int TakeQuit()
    {
        MSG msg;
        int nCode = -1;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            nCode = static_cast<int>(msg.wParam);
        return nCode;
    }

    std::unique_ptr<CLumoApp> m_pApp;
    ULONGLONG m_nConnectStart = 0;
    ULONGLONG m_nShownAt = 0; // when the dialog was first seen visible
};

TEST_F(ConnectionTest, AGreetingBeforeTheFirstTickNeverShowsTheDialog)
{
    SetTicks(1500, 20); // the rule, not the real tick: a loaded machine must not make it flaky
    CJexSessions jex(1, 10, {std::string(kGreeting) + "drain"});
    App().m_nJexPort = jex.Port();
    bool bShowRefused = false;
    EXPECT_TRUE(ConnectWith([&] {
        if (!Dialog()) return false;
        // Whatever shows the window before the first tick is refused, also under Wine.
        ::ShowWindow(Dialog(), SW_SHOW);
        ::SetWindowPos(Dialog(), nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
        bShowRefused = !::IsWindowVisible(Dialog());
        return true;
    }));
    EXPECT_TRUE(bShowRefused);
    EXPECT_EQ(m_nShownAt, 0u) << "the dialog was seen";
    ASSERT_NE(App().GetJexSocket(), nullptr);
    EXPECT_TRUE(App().GetJexSocket()->m_bSession);
    EXPECT_EQ(App().m_pConnectionDlg, nullptr);

    App().GetJexSocket()->Close();
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    EXPECT_EQ(jex.Received(0), Lines{L"ALOGOF"});
}

TEST_F(ConnectionTest, ARefusedConnectShowsWaitingThenTheErrorOnce)
{
    SetTicks(50, 6);
    const UINT nPort = ClosedPort();
    App().m_nJexPort = nPort;
    const std::wstring waiting = L"Waiting for Jex [127.0.0.1:" + std::to_wstring(nPort) + L"]";
    const std::wstring failed = L"No response from Jex [127.0.0.1:" + std::to_wstring(nPort) + L"] (Error 10061: ";
    Lines texts;
    CMessageBoxAnswerer boxes;
    const BOOL bConnected = ConnectWith([&] {
        if (!Dialog()) return false;
        if (texts.empty() || texts.back() != StatusText()) texts.push_back(StatusText());
        // Three attempts (6 ticks of 50 ms each), then the agent gives up.
        if (GetTickCount64() - m_nConnectStart < 1000) return false;
        Cancel();
        return true;
    });
    EXPECT_FALSE(bConnected);
    EXPECT_EQ(App().GetJexSocket(), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty()) << "Cancel ends without a box";
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], waiting);
    EXPECT_TRUE(texts[1].starts_with(failed) && texts[1].ends_with(L")")) << texts[1];
    EXPECT_EQ(texts[2], waiting) << "a new attempt waits again";
    EXPECT_EQ(texts.size(), 3u) << "the same error is not shown twice; last: " << texts.back();
    EXPECT_NE(m_nShownAt, 0u) << "shown once waiting took a tick";
}

TEST_F(ConnectionTest, AJexThatNeverGreetsGetsANewConnectionPerAttempt)
{
    SetTicks(50, 4);
    CJexSessions jex(3, 10, {"handshake\ndrain"});
    App().m_nJexPort = jex.Port();
    EXPECT_FALSE(ConnectWith([&] {
        if (jex.Events(L"accept").size() < 3) return false;
        Cancel();
        return true;
    }));
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    const auto accepts = jex.Events(L"accept");
    ASSERT_EQ(accepts.size(), 3u) << jex.Log();
    for (int i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_GE(accepts[i + 1].Seconds() - accepts[i].Seconds(), 0.15) << "four ticks of 50 ms per attempt";
    }
    for (const auto& before : jex.Events(L"before"))
        EXPECT_EQ(before.detail, L"closed") << "link " << before.nLink << " came while the one before was open";
}

TEST_F(ConnectionTest, AJexThatNeverAnswersTheHandshakeIsLeftWhenItsRoundsAreOver)
{
    SetTicks(50, 1000); // the tick count alone would wait 50 s
    CJexSessions jex(2, 15, {"silent"});
    App().m_nJexPort = jex.Port();
    EXPECT_FALSE(ConnectWith([&] {
        if (jex.Events(L"accept").size() < 2) return false;
        Cancel();
        return true;
    }));
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    const auto accepts = jex.Events(L"accept");
    ASSERT_EQ(accepts.size(), 2u) << jex.Log();
    const double gap = accepts[1].Seconds() - accepts[0].Seconds();
    EXPECT_GE(gap, 2.9) << "60 rounds of 50 ms";
    EXPECT_LE(gap, 6.0);
}

TEST_F(ConnectionTest, AnUnreadableGreetingEndsTheWaitWithABox)
{
    CJexSessions jex(1, 10, {"handshake\ngreet x " LUMO_VERSION_TEXT " 0.0.0.0\ndrain"});
    App().m_nJexPort = jex.Port();
    CMessageBoxAnswerer boxes;
    EXPECT_FALSE(ConnectWith([] { return true; }));
    EXPECT_EQ(App().GetJexSocket(), nullptr);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(Str(boxes.Boxes()[0].text), std::wstring(kNoRefusal, kNoRefusal + sizeof kNoRefusal - 1));
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    EXPECT_TRUE(jex.Received(0).empty()) << "never up, so no ALOGOF";
}

TEST_F(ConnectionTest, WhileTheGreetingsBoxIsOpenTheDialogNeitherShowsNorReconnects)
{
    SetTicks(50, 4); // an attempt every 200 ms, and the box stays open for 1.5 s
    App().m_bStandalone = false;
    App().m_host.SetUpdateServicePort(ClosedPort());
    CJexSessions jex(2, 4, {std::string(kGreeting) + "drain"});
    App().m_nJexPort = jex.Port();
    CHeldBoxes boxes(1500);
    EXPECT_TRUE(ConnectWith([] { return true; }));
    EXPECT_EQ(
        boxes.m_texts,
        Lines{L"Could not connect to Contact Center Update Service: connect() error -1.\nUpdates will not work!."});
    EXPECT_EQ(m_nShownAt, 0u) << "shown while suspended";
    App().GetJexSocket()->Close();
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    EXPECT_EQ(jex.Events(L"accept").size(), 1u) << jex.Log();
}

TEST_F(ConnectionTest, EveryGreetingChecksTheUpdateServiceUnlessStandalone)
{
    CServiceStandIn service;
    ASSERT_NE(service.Port(), 0u);
    App().m_host.SetUpdateServicePort(service.Port());
    struct Case
    {
        bool bStandalone;
        std::vector<size_t> connections;
    };
    for (const Case& c : {Case{false, {0}}, Case{true, {}}})
    {
        SCOPED_TRACE(c.bStandalone ? "stand-alone" : "with the service");
        App().m_bStandalone = c.bStandalone;
        CMessageBoxAnswerer boxes;
        CJexSessions jex(1, 10, {std::string(kGreeting) + "drain"});
        App().m_nJexPort = jex.Port();
        EXPECT_TRUE(ConnectWith([] { return true; }));
        App().GetJexSocket()->Close();
        EXPECT_EQ(jex.Finish(), 0) << jex.Log();
        EXPECT_EQ(service.TakeConnections(), c.connections) << "one connection that sends nothing";
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

TEST_F(ConnectionTest, ReconnectingClosesTheLinkThatIsUpAndMakesANewOne)
{
    CJexSessions jex(2, 10, {std::string(kGreeting) + "drain"});
    App().m_nJexPort = jex.Port();
    ASSERT_TRUE(ConnectWith([] { return true; }));
    const std::shared_ptr<CJexSocket> pFirst = App().GetJexSocket();
    ASSERT_TRUE(ConnectWith([] { return true; }));
    EXPECT_NE(App().GetJexSocket(), pFirst) << "a new link object";
    EXPECT_FALSE(pFirst->m_bSession);
    App().GetJexSocket()->Close();
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    EXPECT_EQ(jex.Received(0), Lines{L"ALOGOF"});
    EXPECT_EQ(jex.Events(L"before").at(0).detail, L"closed") << "the old link closed before the new one opened";
}

TEST_F(ConnectionTest, CheckConnectionAsksNothingWhileTheLinkIsUpOrAConnectionIsBeingMade)
{
    CMessageBoxAnswerer boxes(IDNO);
    CJexSessions jex(1, 10, {std::string(kGreeting) + "drain"});
    App().m_nJexPort = jex.Port();
    ASSERT_TRUE(ConnectWith([] { return true; }));
    EXPECT_TRUE(App().CheckConnection()) << "up";
    App().GetJexSocket()->Close();
    App().m_pJexSocket.reset();

    CWnd logon;
    for (auto open : std::vector<std::function<void(bool)>>{
             [&](bool b) { App().m_bReconnectQuestionOpen = b; },
             [&](bool b) { App().m_pLogonDlg = b ? &logon : nullptr; },
             [&](bool b) { App().m_pPasswordDlg = b ? &logon : nullptr; },
             [&](bool b) { App().m_pLocationDlg = b ? &logon : nullptr; },
         })
    {
        open(true);
        EXPECT_TRUE(App().CheckConnection());
        open(false);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(TakeQuit(), -1);
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
}

TEST_F(ConnectionTest, ALocalProgramThatDisconnectsDuringTheConnectionDialogStartsNoSecondConnect)
{
    CMessageBoxAnswerer boxes(IDYES);
    CJexSessions jex(2, 2, {"handshake\ndrain"});
    App().m_nJexPort = jex.Port();
    BOOL bChecked = FALSE;
    EXPECT_FALSE(ConnectWith([&] {
        if (jex.Events(L"accept").empty()) return false;
        bChecked = App().CheckConnection(); // what the application port does when a program leaves
        Cancel();
        return true;
    }));
    EXPECT_TRUE(bChecked);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    EXPECT_EQ(jex.Events(L"accept").size(), 1u) << jex.Log();
}

TEST_F(ConnectionTest, CheckConnectionOnAnotherThreadAsksNothing)
{
    CMessageBoxAnswerer boxes(IDNO); // were it asked, the answer would end Lumo
    BOOL bResult = TRUE;
    std::thread other([&] { bResult = App().CheckConnection(); });
    other.join();
    EXPECT_FALSE(bResult) << "the link is down and nobody may be asked from here";
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(App().m_bReconnectQuestionOpen);
    EXPECT_EQ(TakeQuit(), -1);
}

TEST_F(ConnectionTest, NoToTheReconnectQuestionQuits)
{
    CMessageBoxAnswerer boxes(IDNO);
    EXPECT_FALSE(App().CheckConnection());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(Str(boxes.Boxes()[0].text), L"Lost connection. Do you want to reconnect ?");
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(TakeQuit(), 0);
    EXPECT_FALSE(App().m_bReconnectQuestionOpen);
}

TEST_F(ConnectionTest, YesReconnectsOnANewLinkLogsOnByWindowsAccountAndTellsTheApplications)
{
    App().m_bUseAuthentication = true;
    CJexSessions jex(
        2, 10,
        {std::string(kGreeting) + "expect ^DROPME$\nclose", std::string(kGreeting) + "decrypt ALOGOS 0 1\ndrain"});
    App().m_nJexPort = jex.Port();
    ASSERT_TRUE(ConnectWith([] { return true; }));
    const std::shared_ptr<CJexSocket> pLost = App().GetJexSocket();

    // One local application on the current port.
    CApplicationPort port;
    ASSERT_TRUE(port.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1"));
    ASSERT_TRUE(port.Listen());
    CString strAddress;
    UINT nPort = 0;
    ASSERT_TRUE(port.GetSockName(strAddress, nPort));
    CPeerProcess application;
    ASSERT_TRUE(application.Start(LUMO_PYTHON, LUMO_APP_RECORDER, "{dir} " + std::to_string(nPort) + " 1"));
    ASSERT_TRUE(application.WaitForFile(L"connected")) << application.ReadFile(L"log");
    ASSERT_TRUE(PumpUntil([&] { return port.m_links.size() == 1; }));
    ASSERT_TRUE(App().m_sessionCore.AddApplication(5, port.m_links[0].get(), FALSE, 1));

    pLost->SendCommand(L"DROPME\r"); // Jex drops the link once it is up on both sides
    ASSERT_TRUE(PumpUntil([&] { return !pLost->m_bSession; })) << "Jex dropped the link";

    CMessageBoxAnswerer boxes(IDYES);
    EXPECT_TRUE(App().CheckConnection());
    ASSERT_EQ(boxes.Boxes().size(), 1u) << "the question, and no log-on dialog";
    EXPECT_NE(App().GetJexSocket(), pLost);
    EXPECT_FALSE(App().m_bReconnectQuestionOpen);
    const auto applicationGot = [&](const std::wstring& line) {
        const Lines lines = application.ReadLines(L"lines0");
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(PumpUntil([&] { return applicationGot(L"JEXSTA -1 -1 1"); })) << application.ReadFile(L"lines0");

    App().GetJexSocket()->Close();
    port.m_links[0]->Close();
    EXPECT_EQ(application.ExitCode(), 0) << application.ReadFile(L"log");
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    const Lines sent = jex.Received(1);
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(sent[0].starts_with(L"ALOGOS ")) << sent[0];
}

TEST_F(ConnectionTest, QuitWhileTheDialogRunsEndsItAndTheLoop)
{
    App().m_nJexPort = ClosedPort();
    EXPECT_FALSE(ConnectWith([&] {
        if (!Dialog()) return false;
        App().QuitApplication();
        return true;
    }));
    EXPECT_EQ(App().GetJexSocket(), nullptr);
    EXPECT_EQ(TakeQuit(), 0);
}

TEST_F(ConnectionTest, ACancelledDownloadQuitsAndAFinishedOneDoesNot)
{
    App().m_nJexPort = ClosedPort();
    bool bStillRunning = false;
    EXPECT_FALSE(ConnectWith([&] {
        if (!Dialog()) return false;
        ::SendMessageW(Dialog(), WM_PROGRESSCLOSED, 1, 0);
        bStillRunning = App().m_pConnectionDlg != nullptr && TakeQuit() == -1;
        ::SendMessageW(Dialog(), WM_PROGRESSCLOSED, 2, 0); // as the progress window sends it
        return true;
    }));
    EXPECT_TRUE(bStillRunning) << "a download that ended well leaves the dialog alone";
    EXPECT_EQ(TakeQuit(), 0);
}

TEST_F(ConnectionTest, EnterDoesNotEndTheWaitButEscCancels)
{
    App().m_nJexPort = ClosedPort();
    int nStep = 0;
    ULONGLONG nOkAt = 0;
    EXPECT_FALSE(ConnectWith([&] {
        if (!Dialog()) return false;
        if (nStep == 0)
        {
            // What Enter becomes when no button has the focus.
            ::PostMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            nOkAt = GetTickCount64();
            nStep = 1;
            return false;
        }
        if (GetTickCount64() - nOkAt < 300) return false;
        PressKey(*CWnd::FromHandle(::GetDlgItem(Dialog(), IDCANCEL)), VK_ESCAPE);
        return true;
    }));
    EXPECT_EQ(nStep, 1) << "the dialog outlived Enter";
}

TEST_F(ConnectionTest, HiddenLumoNeverShowsTheDialog)
{
    App().m_bVisible = false;
    App().m_nJexPort = ClosedPort();
    EXPECT_FALSE(ConnectWith([&] {
        if (!Dialog() || GetTickCount64() - m_nConnectStart < 500) return false; // ten ticks
        Cancel();
        return true;
    }));
    EXPECT_EQ(m_nShownAt, 0u);
}

TEST_F(ConnectionTest, PortZeroShowsTheSystemsErrorAndStillCancels)
{
    SetTicks(50, 4);
    App().m_nJexPort = 0;
    Lines texts;
    EXPECT_FALSE(ConnectWith([&] {
        if (!Dialog()) return false;
        if (texts.empty() || texts.back() != StatusText()) texts.push_back(StatusText());
        if (GetTickCount64() - m_nConnectStart < 500) return false;
        Cancel();
        return true;
    }));
    EXPECT_EQ(App().GetJexSocket(), nullptr);
    EXPECT_NE(std::find_if(
                  texts.begin(), texts.end(),
                  [](const std::wstring& t) { return t.starts_with(L"No response from Jex [127.0.0.1:0] (Error "); }),
              texts.end());
}
} // namespace
