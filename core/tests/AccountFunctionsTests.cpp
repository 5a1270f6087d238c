#include "core/AccountFunctions.h"
#include "core/CLibAdvapi32.h"
#include "core/CLibNetapi32.h"
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace
{
// Not imported by the test program, and freed by Wine when its last reference goes.
constexpr wchar_t kSpareLibrary[] = L"msacm32.dll";

bool IsInProcess(LPCWSTR pszLibrary)
{
    return GetModuleHandleW(pszLibrary) != nullptr;
}

std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

std::wstring ProcessUserName()
{
    WCHAR szName[256];
    DWORD n = 256;
    return GetUserNameW(szName, &n) ? szName : L"";
}
} // namespace

TEST(PDLL, UnloadWithoutLoadFreesNothing)
{
    ASSERT_FALSE(IsInProcess(kSpareLibrary)) << "the spare library must not be loaded yet";
    PDLL dll;
    ASSERT_TRUE(dll.SetLibraryName(kSpareLibrary));
    EXPECT_FALSE(dll.Unload());
    EXPECT_FALSE(dll.IsLoaded());
}

TEST(PDLL, TwoLoadsNeedTwoUnloads)
{
    PDLL dll;
    ASSERT_TRUE(dll.SetLibraryName(kSpareLibrary));
    EXPECT_TRUE(dll.Load()) << "the first load loads";
    EXPECT_TRUE(IsInProcess(kSpareLibrary));
    EXPECT_FALSE(dll.Load()) << "the second load only counts";
    EXPECT_FALSE(dll.SetLibraryName(L"other.dll")) << "no new name while loaded";
    EXPECT_FALSE(dll.Unload()) << "one load is still outstanding";
    EXPECT_TRUE(IsInProcess(kSpareLibrary));
    EXPECT_TRUE(dll.Unload());
    EXPECT_FALSE(IsInProcess(kSpareLibrary)) << "the second unload frees the library";
    EXPECT_FALSE(dll.Unload()) << "nothing left to unload";
}

TEST(PDLL, DestructorFreesWhateverTheCount)
{
    {
        PDLL dll;
        ASSERT_TRUE(dll.SetLibraryName(kSpareLibrary));
        ASSERT_TRUE(dll.Load());
        dll.Load();
        ASSERT_TRUE(IsInProcess(kSpareLibrary));
    }
    EXPECT_FALSE(IsInProcess(kSpareLibrary));
}

TEST(PDLL, LoadWithoutNameOrWithMissingLibraryFails)
{
    PDLL unnamed;
    EXPECT_FALSE(unnamed.Load());
    PDLL missing;
    ASSERT_TRUE(missing.SetLibraryName(L"lumo-no-such-library.dll"));
    EXPECT_FALSE(missing.Load());
    EXPECT_FALSE(missing.IsLoaded());
}

TEST(CLibAdvapi32, FindsEveryFunction)
{
    CLibAdvapi32 adv;
    ASSERT_TRUE(adv.IsUsable());
    EXPECT_NE(adv.m_pfnLookupAccountNameA, nullptr);
    EXPECT_NE(adv.m_pfnConvertStringSidToSidW, nullptr);
    EXPECT_NE(adv.m_pfnGetTokenInformation, nullptr);
    CLibNetapi32 net;
    ASSERT_TRUE(net.IsUsable());
    EXPECT_NE(net.m_pfnNetUserDel, nullptr);
}

TEST(AccountFunctions, MissingLibraryMakesEveryFunctionFail)
{
    struct LibraryCase
    {
        const wchar_t* library;
        bool loads;
        const char* why;
    };
    const LibraryCase cases[] = {
        {L"lumo-no-such-library.dll", false, "the library cannot be loaded"},
        {L"kernel32.dll", true, "the library loads but has none of the functions"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CLibAdvapi32 adv(c.library);
        CLibNetapi32 net(c.library);
        EXPECT_EQ(adv.IsLoaded(), c.loads);
        EXPECT_EQ(adv.IsFunctionMissing(), c.loads) << "functions are only looked up in a loaded library";
        CString a(L"unchanged"), b(L"unchanged"), d(L"unchanged");
        CStringArray names;
        names.Add(L"stale");
        EXPECT_FALSE(GetWorkstationInfo(net, &a, &b));
        EXPECT_FALSE(GetCurrentUserAccount(adv, &a, &b, &d));
        EXPECT_FALSE(GetDomainControllerName(net, &a));
        EXPECT_FALSE(AddNetworkUser(net, L"lumo-user", L"Pw-12345"));
        EXPECT_FALSE(DeleteNetworkUser(net, L"lumo-user"));
        EXPECT_FALSE(EnumerateUserNames(net, names));
        EXPECT_FALSE(LookupAccountFromSidText(adv, L"S-1-5-32-544", &a, &b));
        EXPECT_EQ(Str(a), L"unchanged");
        EXPECT_EQ(Str(b), L"unchanged");
        EXPECT_EQ(Str(d), L"unchanged");
        EXPECT_EQ(names.GetSize(), 0) << "the array is emptied first";
    }
}

TEST(AccountFunctions, CurrentUserIsTheProcessUserAndItsSidLooksUpAgain)
{
    CString sid, user, domain;
    ASSERT_TRUE(GetCurrentUserAccount(&sid, &user, &domain)) << "error " << GetLastError();
    EXPECT_EQ(Str(user), ProcessUserName());
    EXPECT_EQ(Str(sid).rfind(L"S-1-5-", 0), 0u) << "a SID text, got " << testing::PrintToString(Str(sid));
    EXPECT_FALSE(domain.IsEmpty());
    CString user2, domain2;
    ASSERT_TRUE(LookupAccountFromSidText(sid, &user2, &domain2));
    EXPECT_EQ(Str(user2), Str(user));
    EXPECT_EQ(Str(domain2), Str(domain));
    EXPECT_TRUE(GetCurrentUserAccount(nullptr, nullptr, nullptr)) << "every output may be left out";
}

TEST(AccountFunctions, ThreadWithoutImpersonationReportsTheProcessUser)
{
    CString sid, user, mainSid;
    ASSERT_TRUE(GetCurrentUserAccount(&mainSid, nullptr, nullptr));
    BOOL bOk = FALSE;
    std::thread([&] { bOk = GetCurrentUserAccount(&sid, &user, nullptr); }).join();
    ASSERT_TRUE(bOk);
    EXPECT_EQ(Str(sid), Str(mainSid));
    EXPECT_EQ(Str(user), ProcessUserName());
}

TEST(AccountFunctions, LookupOfSidTexts)
{
    CString user, domain;
    ASSERT_TRUE(LookupAccountFromSidText(L"S-1-5-32-544", &user, &domain));
    EXPECT_EQ(Str(user), L"Administrators");
    EXPECT_EQ(Str(domain), L"BUILTIN");
    CString untouched(L"unchanged");
    EXPECT_FALSE(LookupAccountFromSidText(L"not a SID", &untouched, nullptr));
    EXPECT_FALSE(LookupAccountFromSidText(L"S-1-5-21-1-2-3-987654", &untouched, nullptr)) << "an unknown account";
    EXPECT_EQ(Str(untouched), L"unchanged");
}

TEST(AccountFunctions, WorkstationIsTheLocalComputer)
{
    WCHAR szComputer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(szComputer, &n));
    CString computer, group;
    ASSERT_TRUE(GetWorkstationInfo(&computer, &group));
    EXPECT_EQ(Str(computer), szComputer);
    EXPECT_FALSE(group.IsEmpty());
    CString only;
    EXPECT_TRUE(GetWorkstationInfo(&only, nullptr));
    EXPECT_EQ(Str(only), szComputer);
}

TEST(AccountFunctions, WithoutDomainControllerLocalAccountsAreManaged)
{
    CString dc(L"unchanged");
    EXPECT_TRUE(GetDomainControllerName(&dc)) << "no domain controller is no failure";
    EXPECT_EQ(Str(dc), L"unchanged") << "a computer outside a domain has no domain controller";

    // Wine keeps local accounts in the memory of its netapi32: the library must stay loaded from
    // the addition to the removal, so both go through one library object.
    CLibNetapi32 net;
    const std::wstring name = L"lumo" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(AddNetworkUser(net, name.c_str(), L"Pw-12345!")) << "error " << GetLastError();
    EXPECT_TRUE(DeleteNetworkUser(net, name.c_str())) << "error " << GetLastError();
    EXPECT_FALSE(DeleteNetworkUser(net, name.c_str())) << "the account is gone";

    CStringArray names;
    names.Add(L"stale");
    ASSERT_TRUE(EnumerateUserNames(names));
    bool bFound = false;
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
    {
        EXPECT_NE(Str(names[i]), L"stale");
        bFound = bFound || Str(names[i]) == ProcessUserName();
    }
    EXPECT_TRUE(bFound) << "the process user is a normal account of this computer";
}
