// The connection cases that only a real time-out ends (3 s for APLGIN, 10 s for the greeting), the
// lifetime of links deleted by their owner inside those waits, and many connections one after the other.
#include "clientctl/CLumoSocket.h"
#include "clientctl/tests/LinkTestSupport.h"
#include "framework/CAtlModule.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>

namespace
{
CAtlModule g_module; // as in LumoClient.ocx: each socket thread holds it while it runs

class LinkSlowTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (m_pSocket) m_pSocket->SafeDelete();
        ExpectNoLinkLeft();
    }
    CLumoSocket* NewLink()
    {
        m_pSocket = new CLumoSocket(&m_control);
        m_pSocket->SetOwnVersion(CString(kOwnVersion));
        return m_pSocket;
    }
    // The owner releases its link when told of the close, as the control does.
    void ReleaseOnDisconnect()
    {
        m_control.m_onSeen = [this](const std::wstring& text) {
            if (text.starts_with(L"Disconnected") && m_pSocket)
            {
                m_nDisconnectedAt = ::GetTickCount64();
                std::exchange(m_pSocket, nullptr)->SafeDelete();
            }
        };
    }
    std::vector<std::wstring> SeenWithoutClock() const
    {
        std::vector<std::wstring> seen;
        for (const std::wstring& s : m_control.m_seen)
            if (!s.starts_with(L"Shift ")) seen.push_back(s);
        return seen;
    }

    CRecordingControl m_control;
    CLumoSocket* m_pSocket = nullptr;
    ULONGLONG m_nDisconnectedAt = 0;
};

TEST_F(LinkSlowTest, UnansweredRegistrationFailsAfterThreeSeconds)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN 1 7 1\nwaitclose\n");
    const ULONGLONG nStart = ::GetTickCount64();
    EXPECT_FALSE(NewLink()->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, TRUE));
    EXPECT_GE(::GetTickCount64() - nStart, 3000u);
    EXPECT_EQ(SeenWithoutClock(), std::vector<std::wstring>{L"Pending"});
    m_pSocket->Disconnect();
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LinkSlowTest, LumoClosingAtRegistrationReportsTheCloseAtOnceAndFails)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN 1 7 1\nclose\n");
    const ULONGLONG nStart = ::GetTickCount64();
    m_control.m_onSeen = [this](const std::wstring& text) {
        if (text.starts_with(L"Disconnected")) m_nDisconnectedAt = ::GetTickCount64();
    };
    EXPECT_FALSE(NewLink()->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, TRUE));
    EXPECT_GE(::GetTickCount64() - nStart, 3000u) << "the wait is not woken early";
    ASSERT_NE(m_nDisconnectedAt, 0u);
    EXPECT_LT(m_nDisconnectedAt - nStart, 2000u) << "the control hears of the close during the wait";
    EXPECT_EQ(SeenWithoutClock(), (std::vector<std::wstring>{L"Pending", L"Disconnected 0"}));
    EXPECT_FALSE(m_pSocket->HasThread());
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LinkSlowTest, OwnerReleasingTheLinkDuringTheGreetingWait)
{
    CScriptedLumo lumo("accept\nclose\n");
    ReleaseOnDisconnect();
    CLumoSocket* pLink = NewLink();
    EXPECT_FALSE(pLink->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, TRUE));
    EXPECT_EQ(m_pSocket, nullptr) << "released in the callback";
    EXPECT_EQ(CSyncSocketEx::GetInstanceCount(), 0) << "deleted once Connect left";
    EXPECT_EQ(SeenWithoutClock(), std::vector<std::wstring>{L"Disconnected 0"});
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LinkSlowTest, OwnerReleasingTheLinkDuringTheRegistrationWait)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN 1 7 1\nclose\n");
    ReleaseOnDisconnect();
    CLumoSocket* pLink = NewLink();
    EXPECT_FALSE(pLink->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, TRUE));
    EXPECT_EQ(m_pSocket, nullptr);
    EXPECT_EQ(CSyncSocketEx::GetInstanceCount(), 0);
    EXPECT_EQ(SeenWithoutClock(), (std::vector<std::wstring>{L"Pending", L"Disconnected 0"}));
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LinkSlowTest, SilentLumoFailsTheGreetingAfterTenSeconds)
{
    CScriptedLumo lumo("accept\nsilence 11\n");
    const ULONGLONG nStart = ::GetTickCount64();
    EXPECT_FALSE(NewLink()->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, TRUE));
    EXPECT_GE(::GetTickCount64() - nStart, 10000u);
    EXPECT_FALSE(m_pSocket->HasThread());
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
    EXPECT_TRUE(SeenWithoutClock().empty());
}

TEST_F(LinkSlowTest, RefusedConnectLeavesNoThreadAndTellsNothing)
{
    UINT nPort = 0;
    {
        CScriptedLumo lumo(""); // listens and ends at once: its port is free again afterwards
        nPort = lumo.Port();
        ASSERT_EQ(lumo.ExitCode(), 0);
    }
    EXPECT_FALSE(NewLink()->Connect(L"127.0.0.1", static_cast<short>(nPort), 7, TRUE));
    EXPECT_FALSE(m_pSocket->HasThread());
    EXPECT_TRUE(PumpUntil([] { return CSyncSocketExThread::GetInstanceCount() == 0; }));
    PumpUntilIdle();
    EXPECT_TRUE(m_control.m_seen.empty());
}

TEST_F(LinkSlowTest, HundredConnectionsLeaveNoThreadBehind)
{
    constexpr int kCycles = 100;
    std::string script;
    for (int i = 0; i < kCycles; ++i)
        script += Accepted() + LoggedIn() + "waitclose\n";
    CScriptedLumo lumo(script);
    int nConnected = 0;
    for (int i = 0; i < kCycles; ++i)
    {
        nConnected += NewLink()->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, TRUE);
        m_pSocket->SetControl(nullptr);
        m_pSocket->Disconnect();
        std::exchange(m_pSocket, nullptr)->SafeDelete();
    }
    EXPECT_EQ(nConnected, kCycles);
    EXPECT_TRUE(PumpUntil([] { return CSyncSocketExThread::GetInstanceCount() == 0; }));
    EXPECT_EQ(g_module.GetLockCount(), 0) << "a socket thread kept its hold on the module";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

} // namespace
