// LumoClient.ocx registering itself, written into a scratch key: HKCR and HKCU are redirected there
// while a test runs, so the prefix stays without any registration of the library.
#include "framework/CHandleOwner.h"
#include "framework/CRegistrar.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CScratchRegistry.h"
#include "framework/testing/ModuleExport.h"
#include <gtest/gtest.h>
#include <oleauto.h>
#include <optional>
#include <string>

namespace
{
constexpr const wchar_t* kScratch = L"Software\\LumoTests\\LumoClientRegistration";
constexpr const wchar_t* kLibId = L"{2DB51A0F-E82B-4C20-87F1-9CABC29159D5}";
const GUID kLibGuid = {0x2DB51A0F, 0xE82B, 0x4C20, {0x87, 0xF1, 0x9C, 0xAB, 0xC2, 0x91, 0x59, 0xD5}};

struct Coclass
{
    const wchar_t* name;
    const wchar_t* clsid;
};
// The classes of the object map: the six data classes and the control.
const Coclass kDataClasses[] = {
    {L"LumoClientStringCollection", L"{C5515502-BACC-429E-8483-7226067A514B}"},
    {L"LumoClientMap", L"{93A9AE2D-BC59-4B3F-ABFC-80621FC3F7B6}"},
    {L"LumoClientMessage", L"{5C056C68-B178-4637-93AD-E90AB7A39119}"},
    {L"LumoClientEmail", L"{EA0DF7A5-8ECA-449D-AAC4-687ED756FCA8}"},
    {L"LumoClientCall", L"{A106549A-9D2E-449C-BB25-A4D9B9675B49}"},
    {L"LumoClientCallCollection", L"{D863B0C4-52AF-417C-9416-64A8585CF70C}"},
};
const Coclass kControl = {L"LumoClientCtrl", L"{1A733E11-6AAE-4E30-8034-F44B2B2BF66D}"};

using Text = std::optional<std::wstring>;

bool IsTypeLibRegistered()
{
    BSTR path = nullptr;
    const HRESULT hr = ::QueryPathOfRegTypeLib(kLibGuid, 1, 0, 0x0409, &path); // the library's own locale
    ::SysFreeString(path);
    return SUCCEEDED(hr);
}

class LumoClientRegistration : public ::testing::Test
{
protected:
    using Function = HRESULT(WINAPI*)();
    using InstallFunction = HRESULT(WINAPI*)(BOOL, LPCWSTR);
    void SetUp() override
    {
        ASSERT_TRUE(m_registry.IsRedirected()) << "RegOverridePredefKey did not redirect HKCR";
        ASSERT_TRUE(m_library.IsValid()) << ::GetLastError();
        ASSERT_TRUE(m_register && m_unregister && m_install);
    }
    void TearDown() override
    {
        if (m_unregister) m_unregister();
    }

    // Every key and value of one class's script under root (HKCR, or the user's classes).
    void ExpectRegistered(HKEY root, const std::wstring& prefix, const Coclass& c)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        const std::wstring description = std::wstring(c.name) + L" Class";
        const std::wstring progId = prefix + L"LumoClientLib." + c.name;
        const std::wstring key = prefix + L"CLSID\\" + c.clsid;
        const std::wstring versioned = std::wstring(L"LumoClientLib.") + c.name + L".1";
        using S = CScratchRegistry;
        EXPECT_EQ(S::ReadText(root, progId + L".1"), Text(description));
        EXPECT_EQ(S::ReadText(root, progId + L".1\\CLSID"), Text(c.clsid));
        EXPECT_EQ(S::ReadText(root, progId), Text(description));
        EXPECT_EQ(S::ReadText(root, progId + L"\\CurVer"), Text(versioned));
        EXPECT_EQ(S::ReadText(root, key), Text(description));
        EXPECT_EQ(S::ReadText(root, key + L"\\ProgID"), Text(versioned));
        EXPECT_EQ(S::ReadText(root, key + L"\\VersionIndependentProgID"),
                  Text(L"LumoClientLib." + std::wstring(c.name)));
        EXPECT_TRUE(S::KeyExists(root, key + L"\\Programmable"));
        EXPECT_EQ(S::ReadText(root, key + L"\\InprocServer32"), Text(m_path));
        EXPECT_EQ(S::ReadText(root, key + L"\\InprocServer32", L"ThreadingModel"), Text(L"Apartment"));
        EXPECT_EQ(S::ReadText(root, key + L"\\TypeLib"), Text(kLibId));
        EXPECT_EQ(S::ReadText(root, key + L"\\Version"), Text(L"1.0"));
    }
    // The keys only the control's script writes, with its miscellaneous status as the module gives it.
    void ExpectControlKeys(HKEY root, const std::wstring& prefix)
    {
        const std::wstring key = prefix + L"CLSID\\" + kControl.clsid;
        using S = CScratchRegistry;
        EXPECT_TRUE(S::KeyExists(root, key + L"\\Control"));
        EXPECT_EQ(S::ReadText(root, key + L"\\ToolboxBitmap32"), Text(m_path + L", 106"));
        EXPECT_EQ(S::ReadText(root, key + L"\\MiscStatus"), Text(L"0"));
        EXPECT_EQ(S::ReadText(root, key + L"\\MiscStatus\\1"), Text(L"148882"));
    }
    void ExpectNothingOf(HKEY root, const std::wstring& prefix, const Coclass& c)
    {
        EXPECT_FALSE(CScratchRegistry::KeyExists(root, prefix + L"CLSID\\" + c.clsid));
        EXPECT_FALSE(CScratchRegistry::KeyExists(root, prefix + L"LumoClientLib." + c.name));
        EXPECT_FALSE(CScratchRegistry::KeyExists(root, prefix + L"LumoClientLib." + c.name + L".1"));
    }

    CScratchRegistry m_registry{kScratch};
    std::wstring m_path = PathBesideProgram(L"LumoClient.ocx");
    CLibraryHandle m_library{::LoadLibraryW(m_path.c_str())};
    Function m_register = ModuleExport<Function>(m_library, "DllRegisterServer");
    Function m_unregister = ModuleExport<Function>(m_library, "DllUnregisterServer");
    InstallFunction m_install = ModuleExport<InstallFunction>(m_library, "DllInstall");
};
} // namespace

TEST_F(LumoClientRegistration, RegistersEveryClassAndTheTypeLibraryAndRemovesThem)
{
    const LCID before = ::GetThreadLocale();
    ASSERT_EQ(m_register(), S_OK);
    EXPECT_EQ(::GetThreadLocale(), before) << "the caller's thread locale comes back";
    for (const auto& c : kDataClasses)
        ExpectRegistered(m_registry.Classes(), L"", c);
    ExpectRegistered(m_registry.Classes(), L"", kControl);
    ExpectControlKeys(m_registry.Classes(), L"");
    EXPECT_TRUE(IsTypeLibRegistered());

    ASSERT_EQ(m_unregister(), S_OK);
    for (const auto& c : kDataClasses)
        ExpectNothingOf(m_registry.Classes(), L"", c);
    ExpectNothingOf(m_registry.Classes(), L"", kControl);
    EXPECT_TRUE(CScratchRegistry::KeyExists(m_registry.Classes(), L"CLSID")) << "CLSID is never removed";
    EXPECT_FALSE(IsTypeLibRegistered());
}

TEST_F(LumoClientRegistration, InstallForUserOnlyWithTheWholeWordUser)
{
    const std::wstring userClasses = L"Software\\Classes\\";
    for (const wchar_t* user : {L"user", L"USER"})
    {
        SCOPED_TRACE(testing::Message() << (user[0] == L'u' ? "user" : "USER"));
        ASSERT_EQ(m_install(TRUE, user), S_OK);
        for (const auto& c : kDataClasses)
        {
            ExpectRegistered(m_registry.User(), userClasses, c);
            ExpectNothingOf(m_registry.Classes(), L"", c);
        }
        ExpectRegistered(m_registry.User(), userClasses, kControl);
        ExpectControlKeys(m_registry.User(), userClasses);
        ExpectNothingOf(m_registry.Classes(), L"", kControl);
        ASSERT_EQ(m_install(FALSE, user), S_OK);
        for (const auto& c : kDataClasses)
            ExpectNothingOf(m_registry.User(), userClasses, c);
        ExpectNothingOf(m_registry.User(), userClasses, kControl);
    }
    ASSERT_EQ(m_install(TRUE, L"users"), S_OK);
    for (const auto& c : kDataClasses)
    {
        ExpectRegistered(m_registry.Classes(), L"", c);
        ExpectNothingOf(m_registry.User(), userClasses, c);
    }
    ASSERT_EQ(m_install(FALSE, L"users"), S_OK);
    for (const auto& c : kDataClasses)
        ExpectNothingOf(m_registry.Classes(), L"", c);
}

// The control's script, as the library carries it, ahead of the control itself.
TEST_F(LumoClientRegistration, ControlScriptWritesTheControlsKeys)
{
    CRegistrar registrar;
    ASSERT_EQ(registrar.AddReplacement(L"MODULE", m_path.c_str()), S_OK);
    ASSERT_EQ(registrar.AddReplacement(L"OLEMISC", L"148882"), S_OK);
    ASSERT_EQ(registrar.ResourceRegister(m_library, 107, L"REGISTRY"), S_OK);
    ExpectRegistered(m_registry.Classes(), L"", kControl);
    const std::wstring key = std::wstring(L"CLSID\\") + kControl.clsid;
    using S = CScratchRegistry;
    EXPECT_TRUE(S::KeyExists(m_registry.Classes(), key + L"\\Control"));
    EXPECT_EQ(S::ReadText(m_registry.Classes(), key + L"\\ToolboxBitmap32"), Text(m_path + L", 106"));
    EXPECT_EQ(S::ReadText(m_registry.Classes(), key + L"\\MiscStatus"), Text(L"0"));
    EXPECT_EQ(S::ReadText(m_registry.Classes(), key + L"\\MiscStatus\\1"), Text(L"148882"));
    EXPECT_NE(::FindResourceW(m_library, MAKEINTRESOURCEW(106), MAKEINTRESOURCEW(2)), nullptr) // RT_BITMAP
        << "the tool-box bitmap the key names";
    ASSERT_EQ(registrar.ResourceUnregister(m_library, 107, L"REGISTRY"), S_OK);
    ExpectNothingOf(m_registry.Classes(), L"", kControl);
}
