// Time-change notification with real windows: WM_TIMECHANGE is sent by hand, because the tests
// cannot change the clock.
#include "core/CTimeChangeWnd.h"
#include "core/CTimeTools.h"
#include "framework/testing/CRecorderWnd.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
constexpr UINT kChangedMsg = WM_APP + 108;

HWND HiddenWindow()
{
    return CTimeChangeWnd::GetInstance().GetSafeHwnd();
}

void SendTimeChange()
{
    ASSERT_NE(HiddenWindow(), nullptr);
    SendMessageW(HiddenWindow(), WM_TIMECHANGE, 0, 0);
}

int g_callbacks = 0;
void CountCallback()
{
    ++g_callbacks;
}

class TimeChangeTest : public ::testing::Test
{
protected:
    void SetUp() override { g_callbacks = 0; }
    void TearDown() override
    {
        CTimeTools::SetTimeChangeCallback(nullptr);
        EXPECT_FALSE(CTimeChangeWnd::GetInstance().IsCreated()) << "every test removes what it registered";
    }
};
} // namespace

TEST_F(TimeChangeTest, BurstOfChangesGivesOneNotificationAfterItSettles)
{
    CRecorderWnd first, second;
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(first.Handle(), 0, kChangedMsg));
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(second.Handle(), 0, kChangedMsg + 1));
    ASSERT_TRUE(CTimeTools::SetTimeChangeCallback(&CountCallback));
    ASSERT_TRUE(IsWindow(HiddenWindow()));
    EXPECT_EQ(GetParent(HiddenWindow()), nullptr) << "a top-level window hears the broadcast";
    EXPECT_FALSE(IsWindowVisible(HiddenWindow()));
    wchar_t title[64] = {};
    GetWindowTextW(HiddenWindow(), title, 64);
    EXPECT_STREQ(title, L"CTimeChangeWnd");

    ULONGLONG lastChange = 0;
    for (int i = 0; i < 3; ++i)
    {
        SendTimeChange();
        lastChange = GetTickCount64();
        PumpFor(100);
    }
    EXPECT_TRUE(first.m_seen.empty()) << "nothing while the changes go on";
    PumpFor(1500);
    ASSERT_EQ(first.m_seen.size(), 1u) << "one message for the whole burst";
    EXPECT_EQ(first.m_seen[0].message, kChangedMsg);
    EXPECT_EQ(first.m_seen[0].wParam, 0u);
    EXPECT_EQ(first.m_seen[0].lParam, 0);
    EXPECT_GE(first.m_seen[0].tick - lastChange, 400u) << "about 500 ms after the last change";
    ASSERT_EQ(second.m_seen.size(), 1u);
    EXPECT_EQ(second.m_seen[0].message, kChangedMsg + 1);
    EXPECT_EQ(g_callbacks, 1);

    CTimeTools::RegisterTimeChangeListener(first.Handle(), 0, 0);
    CTimeTools::RegisterTimeChangeListener(second.Handle(), 0, 0);
}

TEST_F(TimeChangeTest, RegistrationRules)
{
    CRecorderWnd listener;
    EXPECT_FALSE(CTimeTools::RegisterTimeChangeListener(listener.Handle(), GetCurrentThreadId(), kChangedMsg))
        << "both a window and a thread";
    EXPECT_FALSE(CTimeTools::RegisterTimeChangeListener(nullptr, 0, kChangedMsg)) << "neither";
    EXPECT_FALSE(CTimeChangeWnd::GetInstance().IsCreated()) << "a refused registration changes nothing";

    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(listener.Handle(), 0, kChangedMsg));
    EXPECT_TRUE(CTimeChangeWnd::GetInstance().IsCreated()) << "the first listener creates the window";
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(listener.Handle(), 0, kChangedMsg + 5));
    EXPECT_EQ(CTimeChangeWnd::GetInstance().GetListenerCount(), 1) << "entered again: one entry, new message";
    SendTimeChange();
    PumpFor(900);
    ASSERT_EQ(listener.m_seen.size(), 1u);
    EXPECT_EQ(listener.m_seen[0].message, kChangedMsg + 5);

    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(listener.Handle(), 0, 0));
    EXPECT_FALSE(CTimeChangeWnd::GetInstance().IsCreated()) << "the last listener gone: the window goes";
    EXPECT_EQ(HiddenWindow(), nullptr);

    HWND gone = nullptr;
    {
        CRecorderWnd shortLived;
        gone = shortLived.Handle();
    }
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(gone, 0, kChangedMsg)) << "TRUE even for a dead window";
    EXPECT_EQ(CTimeChangeWnd::GetInstance().GetListenerCount(), 0) << "but it is not entered";
    EXPECT_FALSE(CTimeChangeWnd::GetInstance().IsCreated());
}

TEST_F(TimeChangeTest, DeadListenersAreDroppedAndTheOthersStillHear)
{
    CRecorderWnd staying, leaving;
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(staying.Handle(), 0, kChangedMsg));
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(leaving.Handle(), 0, kChangedMsg));
    DWORD endedThread = 0;
    std::thread([&] { endedThread = GetCurrentThreadId(); }).join();
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(nullptr, endedThread, kChangedMsg));
    ASSERT_TRUE(CTimeTools::RegisterTimeChangeListener(nullptr, GetCurrentThreadId(), kChangedMsg + 2));
    EXPECT_EQ(CTimeChangeWnd::GetInstance().GetListenerCount(), 4);

    leaving.Destroy(); // without unregistering
    SendTimeChange();
    bool threadHeard = false;
    const ULONGLONG end = GetTickCount64() + 1500;
    while (GetTickCount64() < end)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (!msg.hwnd && msg.message == kChangedMsg + 2) threadHeard = true;
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    EXPECT_EQ(staying.m_seen.size(), 1u);
    EXPECT_TRUE(threadHeard) << "a registered thread gets a thread message";
    EXPECT_EQ(CTimeChangeWnd::GetInstance().GetListenerCount(), 2) << "the dead window and thread are dropped";

    CTimeTools::RegisterTimeChangeListener(staying.Handle(), 0, 0);
    EXPECT_TRUE(CTimeChangeWnd::GetInstance().IsCreated()) << "the thread still listens";
    CTimeTools::RegisterTimeChangeListener(nullptr, GetCurrentThreadId(), 0);
}

TEST_F(TimeChangeTest, CallbackAloneKeepsTheWindow)
{
    ASSERT_TRUE(CTimeTools::SetTimeChangeCallback(&CountCallback));
    EXPECT_TRUE(CTimeChangeWnd::GetInstance().IsCreated()) << "a callback without listeners creates the window";
    SendTimeChange();
    PumpFor(900);
    EXPECT_EQ(g_callbacks, 1);
    ASSERT_TRUE(CTimeTools::SetTimeChangeCallback(nullptr));
    EXPECT_FALSE(CTimeChangeWnd::GetInstance().IsCreated()) << "clearing it destroys the window again";
}
