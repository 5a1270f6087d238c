// The link's socket thread keeps the library it runs in mapped until its last instruction: a client
// that releases the library while the thread still ends neither crashes nor keeps the library.
#include "clientctl/tests/LinkTestSupport.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/ModuleExport.h"
#include <gtest/gtest.h>

class CSyncSocketEx;

TEST(LinkUnload, LibraryReleasedWhileTheLinkThreadEndsUnloadsAfterIt)
{
    constexpr int kRounds = 5;
    constexpr const wchar_t* kHost = L"clientctl_link_host.dll";
    std::string script;
    for (int i = 0; i < kRounds; ++i)
        script += Accepted() + "waitclose\n";
    CScriptedLumo lumo(script);
    ASSERT_TRUE(lumo.IsStarted());
    for (int round = 0; round < kRounds; ++round)
    {
        SCOPED_TRACE(round);
        ASSERT_EQ(::GetModuleHandleW(kHost), nullptr);
        HMODULE hHost = ::LoadLibraryW(PathBesideProgram(kHost).c_str());
        ASSERT_NE(hHost, nullptr) << ::GetLastError();
        auto open = ModuleExport<CSyncSocketEx*(WINAPI*)(UINT)>(hHost, "LinkHostOpen");
        auto close = ModuleExport<void(WINAPI*)(CSyncSocketEx*)>(hHost, "LinkHostClose");
        auto lockCount = ModuleExport<LONG(WINAPI*)()>(hHost, "LinkHostLockCount");
        ASSERT_TRUE(open && close && lockCount);
        CSyncSocketEx* pLink = open(lumo.Port());
        ASSERT_NE(pLink, nullptr);
        EXPECT_EQ(lockCount(), 1) << "the socket thread holds the module";
        close(pLink);
        if (round == 0) // once, the library kept until the thread is gone: the lock goes with it
        {
            EXPECT_TRUE(PumpUntil([&] { return lockCount() == 0; })) << "the module lock outlived the link";
        }
        ::FreeLibrary(hHost); // in the other rounds the socket thread is still ending
        EXPECT_TRUE(PumpUntil([&] { return ::GetModuleHandleW(kHost) == nullptr; }))
            << "the library stayed loaded after its socket thread";
    }
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}
