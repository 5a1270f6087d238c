// The application object: identity, and the profile functions on the registry and on a file.
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace
{
TEST(Application, ObjectIsTheAppAndTheThreadWhileItLives)
{
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CWinApp app(L"ProbeApp");
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(AfxGetThread(), &app);
        EXPECT_STREQ(AfxGetAppName(), L"ProbeApp");
        EXPECT_EQ(app.m_nThreadID, ::GetCurrentThreadId());
        EXPECT_EQ(app.m_hInstance, AfxGetInstanceHandle());
        EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
    }
    EXPECT_EQ(AfxGetApp(), nullptr) << "gone with the object";
    EXPECT_EQ(AfxGetThread(), nullptr);
}

TEST(Application, WithoutANameTheTitleFromTheStringTableNamesIt)
{
    CWinApp app;
    EXPECT_STREQ(app.m_pszAppName, L"PROBE TITLE") << "AFX_IDS_APP_TITLE of the test's resources";
    EXPECT_STREQ(AfxGetAppName(), L"PROBE TITLE");
    EXPECT_STREQ(app.m_pszExeName, L"framework_thread_tests") << "the executable keeps its own name";
    app.SetRegistryKey(L"LumoFrameworkTests");
    EXPECT_STREQ(app.m_pszProfileName, L"PROBE TITLE") << "the registry settings live under the title";
}

// Runs each case against both stores: the registry key and an .INI file.
class ProfileTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        m_name = L"ProfileTest" + std::to_wstring(::GetCurrentProcessId());
        m_app = std::make_unique<CWinApp>(m_name.c_str());
        if (GetParam())
        {
            m_app->SetRegistryKey(L"LumoFrameworkTests");
            EXPECT_STREQ(m_app->m_pszRegistryKey, L"LumoFrameworkTests");
            EXPECT_STREQ(m_app->m_pszProfileName, m_name.c_str()) << "the profile is named after the application";
        }
        else
        {
            wchar_t dir[MAX_PATH];
            ::GetTempPathW(MAX_PATH, dir);
            m_iniPath = std::wstring(dir) + m_name + L".ini";
            free(const_cast<wchar_t*>(m_app->m_pszProfileName));
            m_app->m_pszProfileName = _wcsdup(m_iniPath.c_str());
        }
    }
    void TearDown() override
    {
        if (GetParam())
            ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\LumoFrameworkTests\\" + m_name).c_str());
        else
            ::DeleteFileW(m_iniPath.c_str());
        m_app.reset();
    }
    std::wstring m_name;
    std::wstring m_iniPath;
    std::unique_ptr<CWinApp> m_app;
};

TEST_P(ProfileTest, ValuesRoundTripAndMissingOnesGiveTheDefault)
{
    CWinApp& app = *m_app;
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 1905), 1905u) << "missing";
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Host", L"localhost"), CString(L"localhost"));
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Host"), CString(L"")) << "no default: empty";

    ASSERT_TRUE(app.WriteProfileInt(L"Settings", L"Port", 2001));
    ASSERT_TRUE(app.WriteProfileInt(L"Settings", L"Negative", -7));
    ASSERT_TRUE(app.WriteProfileString(L"Settings", L"Host", L"jex.example"));
    ASSERT_TRUE(app.WriteProfileString(L"Settings", L"Empty", L""));
    BYTE data[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    ASSERT_TRUE(app.WriteProfileBinary(L"Settings", L"Blob", data, sizeof data));

    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 0), 2001u);
    EXPECT_EQ(static_cast<int>(app.GetProfileInt(L"Settings", L"Negative", 0)), -7);
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Host"), CString(L"jex.example"));
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Empty", L"default"), CString(L"")) << "empty is a value";
    LPBYTE read = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(app.GetProfileBinary(L"Settings", L"Blob", &read, &bytes));
    ASSERT_EQ(bytes, sizeof data);
    EXPECT_EQ(memcmp(read, data, bytes), 0);
    delete[] read;
    EXPECT_FALSE(app.GetProfileBinary(L"Settings", L"NoBlob", &read, &bytes));
    EXPECT_EQ(read, nullptr);

    ASSERT_TRUE(app.WriteProfileString(L"Settings", L"Host", nullptr));
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Host", L"gone"), CString(L"gone"))
        << "a null value removes the entry";
    ASSERT_TRUE(app.WriteProfileString(L"Settings", nullptr, nullptr));
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 3), 3u) << "a null entry removes the section";
}

TEST_P(ProfileTest, TextIsNotANumber)
{
    if (!GetParam()) GTEST_SKIP() << "a file holds only text";
    ASSERT_TRUE(m_app->WriteProfileString(L"Settings", L"Port", L"1905"));
    EXPECT_EQ(m_app->GetProfileInt(L"Settings", L"Port", 9), 9u) << "a string value is not a DWORD";
}

TEST_P(ProfileTest, StandaloneReadsDefaultsAndStoresNothing)
{
    CWinApp& app = *m_app;
    auto storeExists = [&] {
        if (!GetParam()) return ::GetFileAttributesW(m_iniPath.c_str()) != INVALID_FILE_ATTRIBUTES;
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\LumoFrameworkTests\\" + m_name).c_str(), 0, KEY_READ,
                            &hKey) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(hKey);
        return true;
    };
    BYTE data[] = {1, 2};
    LPBYTE read = nullptr;
    UINT bytes = 0;

    app.SetStandalone(TRUE);
    EXPECT_TRUE(app.IsStandalone());
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 1905), 1905u);
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Host", L"localhost"), CString(L"localhost"));
    EXPECT_FALSE(app.GetProfileBinary(L"Settings", L"Blob", &read, &bytes));
    EXPECT_FALSE(app.WriteProfileInt(L"Settings", L"Port", 2001));
    EXPECT_FALSE(app.WriteProfileString(L"Settings", L"Host", L"jex.example"));
    EXPECT_FALSE(app.WriteProfileBinary(L"Settings", L"Blob", data, sizeof data));
    EXPECT_EQ(app.GetAppRegistryKey(), nullptr);
    EXPECT_FALSE(storeExists()) << "neither reads nor writes made the key or the file";

    app.SetStandalone(FALSE);
    ASSERT_TRUE(app.WriteProfileInt(L"Settings", L"Port", 2001));
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 0), 2001u) << "off: values round-trip";
    EXPECT_TRUE(storeExists());

    app.SetStandalone(TRUE);
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 7), 7u) << "a stored value is not read in standalone mode";
    EXPECT_FALSE(app.WriteProfileString(L"Settings", nullptr, nullptr)) << "nor removed";
    app.SetStandalone(FALSE);
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"Port", 0), 2001u);
}

INSTANTIATE_TEST_SUITE_P(Stores, ProfileTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Registry" : "IniFile"; });
} // namespace
