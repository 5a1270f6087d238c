// Registry scripts and server registration, written into a scratch key: HKCR and HKCU are
// redirected there (RegOverridePredefKey) while a test runs, so the prefix is never touched.
#include "framework/CHandleOwner.h"
#include "framework/CRegistrar.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/ModuleExport.h"
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace
{
constexpr const wchar_t* kScratch = L"Software\\LumoTests\\Registrar";

HKEY CreateKey(HKEY root, const std::wstring& path)
{
    HKEY h = nullptr;
    ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    return h;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

std::optional<std::wstring> ReadText(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t text[512] = L"";
    DWORD size = sizeof(text);
    if (::RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

std::optional<DWORD> ReadNumber(HKEY root, const std::wstring& path, const wchar_t* name)
{
    DWORD number = 0;
    DWORD size = sizeof(number);
    if (::RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &number, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return number;
}

DWORD SubkeyCount(HKEY key)
{
    DWORD count = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    return count;
}
} // namespace

class RegistrarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        m_classes.Attach(CreateKey(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Classes"));
        m_user.Attach(CreateKey(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\User"));
        ASSERT_TRUE(m_classes.IsValid() && m_user.IsValid());
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes), ERROR_SUCCESS);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, m_user), ERROR_SUCCESS);
        // No test may write before the redirection is seen to work: it would write into the prefix.
        CRegKeyHandle probe(CreateKey(HKEY_CLASSES_ROOT, L"LumoProbe"));
        ASSERT_TRUE(probe.IsValid());
        ASSERT_TRUE(KeyExists(m_classes, L"LumoProbe")) << "RegOverridePredefKey did not redirect HKCR";
        probe.Close();
        ASSERT_EQ(::RegDeleteKeyW(m_classes, L"LumoProbe"), ERROR_SUCCESS);
        m_registrar.AddReplacement(L"MODULE", L"c:\\x\\server.dll");
    }
    void TearDown() override
    {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        m_classes.Close();
        m_user.Close();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kScratch);
    }

    CRegKeyHandle m_classes; // what HKCR shows during a test
    CRegKeyHandle m_user;    // what HKCU shows during a test
    CRegistrar m_registrar;
};

struct ExpectedText
{
    const wchar_t* path;
    const wchar_t* name; // null: the default value
    const wchar_t* text;
};
struct RegisterCase
{
    const wchar_t* script;
    std::vector<ExpectedText> texts;
    const char* why;
};

TEST_F(RegistrarTest, ScriptsWriteTheirKeysAndValues)
{
    const RegisterCase cases[] = {
        {L"HKCR { A = s 'one' { B = s 'two' { val V = s 'three' } } }",
         {{L"A", nullptr, L"one"}, {L"A\\B", nullptr, L"two"}, {L"A\\B", L"V", L"three"}},
         "nested keys, default and named values"},
        {L"HKCR\n{\n\tM = s '%MODULE%'\n\t{\n\t\tval P = s '100%%'\n\t}\n}",
         {{L"M", nullptr, L"c:\\x\\server.dll"}, {L"M", L"P", L"100%"}},
         "replacements; %% is a percent sign; any white space separates"},
        {L"HKCR { 'Two Words' = s 'it''s' { '1' = s '2' } }",
         {{L"Two Words", nullptr, L"it's"}, {L"Two Words\\1", nullptr, L"2"}},
         "quoted names and a doubled quote"},
        {L"HKCR { NoRemove CLSID { ForceRemove {6A6C8B86-2C70-4139-8AE4-3845A35D7C5B} = s 'C' "
         L"{ InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' } } } }",
         {{L"CLSID\\{6A6C8B86-2C70-4139-8AE4-3845A35D7C5B}", nullptr, L"C"},
          {L"CLSID\\{6A6C8B86-2C70-4139-8AE4-3845A35D7C5B}\\InprocServer32", L"ThreadingModel", L"Apartment"}},
         "a GUID is one word; removal keywords"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ASSERT_EQ(m_registrar.StringRegister(c.script), S_OK);
        for (const auto& t : c.texts)
            EXPECT_EQ(ReadText(m_classes, t.path, t.name), std::optional<std::wstring>(t.text)) << t.path;
    }
    ASSERT_EQ(m_registrar.StringRegister(L"HKCR { N { val D = d '148882' val H = d '0x10' } }"), S_OK);
    EXPECT_EQ(ReadNumber(m_classes, L"N", L"D"), std::optional<DWORD>(148882));
    EXPECT_EQ(ReadNumber(m_classes, L"N", L"H"), std::optional<DWORD>(16));
}

TEST_F(RegistrarTest, BadScriptWritesNothing)
{
    const struct
    {
        const wchar_t* script;
        const char* why;
    } cases[] = {
        {L"HKCR { A = s 'one' ", "a block never closed"},
        {L"HKCR { A = s 'one }", "a quote never closed"},
        {L"HKCR { A = x 'one' }", "an unknown value type"},
        {L"HKCR { A = s unquoted }", "a value not quoted"},
        {L"HKCR { A = s '%NOPE%' }", "an unknown replacement"},
        {L"HKCR { A = s '%MODULE }", "a replacement never closed"},
        {L"HKCR { A = d 'abc' }", "a number that is none"},
        {L"HKXX { A }", "an unknown root"},
        {L"HKCR { = s 'x' }", "a value without a key"},
        {L"HKCR { A = s 'ok' } HKCR { B = }", "an error after a good block: nothing of the good block either"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(m_registrar.StringRegister(c.script), DISP_E_EXCEPTION);
        EXPECT_EQ(SubkeyCount(m_classes), 0u);
    }
}

TEST_F(RegistrarTest, UnregisterKeepsNoRemoveAndRemovesForceRemoveWhole)
{
    const wchar_t* script = L"HKCR { NoRemove Kept { Inner = s 'i' } ForceRemove Gone = s 'g' { Sub = s 's' } "
                            L"Plain = s 'p' { Leaf = s 'l' } Shared = s 'x' }";
    CRegKeyHandle(CreateKey(m_classes, L"Gone\\Old"));
    ASSERT_EQ(m_registrar.StringRegister(script), S_OK);
    EXPECT_FALSE(KeyExists(m_classes, L"Gone\\Old")) << "ForceRemove replaces the key whole when registering";
    CRegKeyHandle(CreateKey(m_classes, L"Kept\\Other"));
    CRegKeyHandle(CreateKey(m_classes, L"Gone\\Foreign"));
    CRegKeyHandle(CreateKey(m_classes, L"Shared\\Foreign"));

    ASSERT_EQ(m_registrar.StringUnregister(script), S_OK);
    EXPECT_TRUE(KeyExists(m_classes, L"Kept"));
    EXPECT_FALSE(KeyExists(m_classes, L"Kept\\Inner"));
    EXPECT_TRUE(KeyExists(m_classes, L"Kept\\Other"));
    EXPECT_FALSE(KeyExists(m_classes, L"Gone")) << "a ForceRemove key goes with everything below it";
    EXPECT_FALSE(KeyExists(m_classes, L"Plain"));
    EXPECT_TRUE(KeyExists(m_classes, L"Shared\\Foreign")) << "a key with someone else's subkeys stays";
    EXPECT_EQ(m_registrar.StringUnregister(script), S_OK) << "unregistering twice is no error";
}

TEST_F(RegistrarTest, PerUserModeWritesTheUsersClasses)
{
    m_registrar.SetPerUser(true);
    ASSERT_EQ(m_registrar.StringRegister(L"HKCR { A = s 'mine' }"), S_OK);
    EXPECT_EQ(ReadText(m_user, L"Software\\Classes\\A"), std::optional<std::wstring>(L"mine"));
    EXPECT_FALSE(KeyExists(m_classes, L"A"));
    ASSERT_EQ(m_registrar.StringUnregister(L"HKCR { A = s 'mine' }"), S_OK);
    EXPECT_FALSE(KeyExists(m_user, L"Software\\Classes\\A"));
}

namespace
{
// Asked through oleaut32 for the library the server carries. (widl 7.0 writes a wrong last byte
// into the library's GUID in the type library, so the id in the header cannot be used here.)
bool IsTypeLibRegistered(const std::wstring& serverPath)
{
    ITypeLib* pLib = nullptr;
    if (FAILED(::LoadTypeLibEx(serverPath.c_str(), REGKIND_NONE, &pLib))) return false;
    TLIBATTR* pAttr = nullptr;
    HRESULT hr = pLib->GetLibAttr(&pAttr);
    if (SUCCEEDED(hr))
    {
        BSTR path = nullptr;
        hr = ::QueryPathOfRegTypeLib(pAttr->guid, pAttr->wMajorVerNum, pAttr->wMinorVerNum, LOCALE_NEUTRAL, &path);
        ::SysFreeString(path);
        pLib->ReleaseTLibAttr(pAttr);
    }
    pLib->Release();
    return SUCCEEDED(hr);
}
constexpr const wchar_t* kControlKey = L"CLSID\\{CE74D63E-3274-4034-8F61-BAD92763833C}";
} // namespace

TEST_F(RegistrarTest, ServerRegistersItsClassesAndTypeLibrary)
{
    const std::wstring path = PathBesideProgram(L"ComTestServer.dll");
    CLibraryHandle server(::LoadLibraryW(path.c_str()));
    ASSERT_TRUE(server.IsValid());
    using Function = HRESULT(WINAPI*)();
    using InstallFunction = HRESULT(WINAPI*)(BOOL, LPCWSTR);
    auto registerServer = ModuleExport<Function>(server, "DllRegisterServer");
    auto unregisterServer = ModuleExport<Function>(server, "DllUnregisterServer");
    auto install = ModuleExport<InstallFunction>(server, "DllInstall");
    ASSERT_TRUE(registerServer && unregisterServer && install);

    ASSERT_EQ(registerServer(), S_OK);
    const std::wstring control = kControlKey;
    EXPECT_EQ(ReadText(m_classes, control), std::optional<std::wstring>(L"TestControl Class"));
    EXPECT_EQ(ReadText(m_classes, control + L"\\ProgID"), std::optional<std::wstring>(L"ComTestServer.TestControl.1"));
    EXPECT_EQ(ReadText(m_classes, control + L"\\VersionIndependentProgID"),
              std::optional<std::wstring>(L"ComTestServer.TestControl"));
    EXPECT_EQ(ReadText(m_classes, control + L"\\InprocServer32"), std::optional<std::wstring>(path));
    EXPECT_EQ(ReadText(m_classes, control + L"\\InprocServer32", L"ThreadingModel"),
              std::optional<std::wstring>(L"Apartment"));
    EXPECT_EQ(ReadText(m_classes, control + L"\\MiscStatus\\1"), std::optional<std::wstring>(L"148882"));
    EXPECT_EQ(ReadText(m_classes, control, L"AppID"),
              std::optional<std::wstring>(L"{208F51F3-7898-4824-AA8E-7ACB77BEBF13}"));
    EXPECT_TRUE(KeyExists(m_classes, control + L"\\Programmable"));
    EXPECT_EQ(ReadText(m_classes, L"ComTestServer.TestControl.1\\CLSID"),
              std::optional<std::wstring>(L"{CE74D63E-3274-4034-8F61-BAD92763833C}"));
    EXPECT_EQ(ReadText(m_classes, L"ComTestServer.TestControl\\CurVer"),
              std::optional<std::wstring>(L"ComTestServer.TestControl.1"));
    EXPECT_TRUE(KeyExists(m_classes, L"CLSID\\{6A6C8B86-2C70-4139-8AE4-3845A35D7C5B}\\InprocServer32"));
    EXPECT_TRUE(IsTypeLibRegistered(path)) << "the type library is not registered";

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(m_classes, control));
    EXPECT_FALSE(KeyExists(m_classes, L"ComTestServer.TestControl.1"));
    EXPECT_TRUE(KeyExists(m_classes, L"CLSID")) << "CLSID is never removed";
    EXPECT_FALSE(IsTypeLibRegistered(path));

    // "user" in any case, and nothing else, registers for the current user only.
    const std::wstring userControl = L"Software\\Classes\\" + control;
    ASSERT_EQ(install(TRUE, L"UsEr"), S_OK);
    EXPECT_TRUE(KeyExists(m_user, userControl + L"\\InprocServer32"));
    EXPECT_FALSE(KeyExists(m_classes, control));
    ASSERT_EQ(install(FALSE, L"user"), S_OK);
    EXPECT_FALSE(KeyExists(m_user, userControl));
    ASSERT_EQ(install(TRUE, L"users"), S_OK);
    EXPECT_TRUE(KeyExists(m_classes, control)) << "a longer command line does not switch to the user";
    EXPECT_FALSE(KeyExists(m_user, userControl));
    ASSERT_EQ(install(FALSE, nullptr), S_OK);
    EXPECT_FALSE(KeyExists(m_classes, control));
}
