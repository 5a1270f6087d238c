#include "core/CIniFileBase.h"
#include "framework/CWinApp.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Every test works under a key of its own, removed from both roots afterwards.
namespace
{
constexpr wchar_t kSection[] = L"Settings";

struct RawValue
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool present = false;
};

class IniFileBaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int nTest = 0;
        m_path = L"Software\\LumoTests\\IniFileBase-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++nTest);
        RemoveKeys();
    }
    void TearDown() override
    {
        CIniFileBase::Close();
        CIniFileBase::Open(nullptr, FALSE,
                           TRUE); // leave access off for whatever runs next
        RemoveKeys();
    }
    void RemoveKeys()
    {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        {
            RegDeleteTreeW(root, m_path.c_str());
            RegDeleteKeyW(root,
                          L"Software\\LumoTests"); // only goes when no other test key is left
        }
    }
    void Open(BOOL bWriteDefaults = TRUE) { CIniFileBase::Open(m_path.c_str(), bWriteDefaults, FALSE); }

    std::wstring SectionPath(LPCWSTR pszSection = kSection) const
    {
        return *pszSection ? m_path + L"\\" + pszSection : m_path;
    }
    void Put(HKEY root, LPCWSTR pszEntry, DWORD type, const void* pData, DWORD nSize, LPCWSTR pszSection = kSection)
    {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, SectionPath(pszSection).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey,
                                  nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(hKey, pszEntry, 0, type, static_cast<const BYTE*>(pData), nSize), ERROR_SUCCESS);
        RegCloseKey(hKey);
    }
    void PutDword(HKEY root, LPCWSTR pszEntry, DWORD nValue)
    {
        Put(root, pszEntry, REG_DWORD, &nValue, sizeof(nValue));
    }
    void PutText(HKEY root, LPCWSTR pszEntry, const std::wstring& text, DWORD type = REG_SZ)
    {
        Put(root, pszEntry, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    RawValue Get(HKEY root, LPCWSTR pszEntry, LPCWSTR pszSection = kSection) const
    {
        RawValue v;
        DWORD nSize = 0;
        if (RegGetValueW(root, SectionPath(pszSection).c_str(), pszEntry, RRF_RT_ANY | RRF_NOEXPAND, &v.type, nullptr,
                         &nSize) != ERROR_SUCCESS)
            return v;
        v.data.resize(nSize);
        v.present = RegGetValueW(root, SectionPath(pszSection).c_str(), pszEntry, RRF_RT_ANY | RRF_NOEXPAND, &v.type,
                                 v.data.data(), &nSize) == ERROR_SUCCESS;
        v.data.resize(nSize);
        return v;
    }
    static RawValue Dword(DWORD n)
    {
        RawValue v{REG_DWORD, std::vector<BYTE>(4), true};
        memcpy(v.data.data(), &n, 4);
        return v;
    }
    static RawValue Text(const std::wstring& text)
    {
        RawValue v{REG_SZ, std::vector<BYTE>((text.size() + 1) * 2), true};
        memcpy(v.data.data(), text.c_str(), v.data.size());
        return v;
    }
    bool KeyExists(HKEY root) const
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(root, m_path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
        RegCloseKey(hKey);
        return true;
    }

    std::wstring m_path;
};

void ExpectRaw(const RawValue& got, const RawValue& expected, const char* what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(got.present, expected.present);
    EXPECT_EQ(got.type, expected.type);
    EXPECT_EQ(got.data, expected.data);
}

std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}
} // namespace

TEST_F(IniFileBaseTest, RegistryOffTouchesNothing)
{
    Open();
    PutDword(HKEY_CURRENT_USER, L"Stored", 42);
    CIniFileBase::Close();
    RemoveKeys();

    CIniFileBase::Open(m_path.c_str(), TRUE, TRUE);
    EXPECT_TRUE(CIniFileBase::IsRegistryOff());
    EXPECT_EQ(CIniFileBase::GetUserKey(), nullptr);
    EXPECT_EQ(CIniFileBase::GetMachineKey(), nullptr);
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), 10);
    EXPECT_TRUE(CIniFileBase::GetBool(kSection, L"Flag", true, TRUE));
    EXPECT_EQ(Str(CIniFileBase::GetString(kSection, L"Text", L"fallback", TRUE)), L"fallback");
    EXPECT_FALSE(CIniFileBase::SetString(kSection, L"Text", L"x"));
    EXPECT_FALSE(CIniFileBase::SetInt(kSection, L"Number", 5));
    EXPECT_FALSE(CIniFileBase::SetBool(kSection, L"Flag", TRUE));
    int n = 0;
    EXPECT_FALSE(CIniFileBase::ReadInt(HKEY_CURRENT_USER, L"", L"x", n)) << "not even through a root handle";
    EXPECT_FALSE(CIniFileBase::WriteInt(HKEY_CURRENT_USER, m_path.c_str(), L"x", 1));
    EXPECT_FALSE(CIniFileBase::DeleteValue(HKEY_CURRENT_USER, m_path.c_str(), L"x"));
    CIniFileBase::Close();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER)) << "no key may be created while access is off";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE));
}

TEST_F(IniFileBaseTest, RegistryOffIgnoresStoredValues)
{
    Open();
    PutDword(HKEY_CURRENT_USER, L"Number", 42);
    PutText(HKEY_CURRENT_USER, L"Text", L"stored");
    CIniFileBase::Open(m_path.c_str(), TRUE, TRUE);
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), 10);
    EXPECT_EQ(Str(CIniFileBase::GetString(kSection, L"Text", L"fallback", TRUE)), L"fallback");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Number"), Dword(42), "the stored value stays as it was");
}

TEST_F(IniFileBaseTest, OpenCreatesTheKeyUnderBothRoots)
{
    Open();
    EXPECT_FALSE(CIniFileBase::IsRegistryOff());
    EXPECT_NE(CIniFileBase::GetUserKey(), nullptr);
    EXPECT_NE(CIniFileBase::GetMachineKey(), nullptr);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE));
}

TEST_F(IniFileBaseTest, UserValueFirstMachineValueSecond)
{
    Open();
    PutDword(HKEY_CURRENT_USER, L"Both", 7);
    PutDword(HKEY_LOCAL_MACHINE, L"Both", 8);
    PutDword(HKEY_LOCAL_MACHINE, L"MachineOnly", 50);
    PutDword(HKEY_LOCAL_MACHINE, L"FlagMachine", 3);
    PutText(HKEY_CURRENT_USER, L"TextBoth", L"user");
    PutText(HKEY_LOCAL_MACHINE, L"TextBoth", L"machine");
    PutText(HKEY_LOCAL_MACHINE, L"TextMachine", L"machine");

    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Both", 10, 0, 100, TRUE), 7);
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"MachineOnly", 10, 0, 100, TRUE), 50);
    EXPECT_TRUE(CIniFileBase::GetBool(kSection, L"FlagMachine", false, TRUE)) << "any number but 0 is TRUE";
    EXPECT_EQ(Str(CIniFileBase::GetString(kSection, L"TextBoth", L"d", TRUE)), L"user");
    EXPECT_EQ(Str(CIniFileBase::GetString(kSection, L"TextMachine", L"d", TRUE)), L"machine");
    for (LPCWSTR entry : {L"MachineOnly", L"FlagMachine", L"TextMachine"})
        EXPECT_FALSE(Get(HKEY_CURRENT_USER, entry).present) << "a machine value is not copied to the user";
}

TEST_F(IniFileBaseTest, MissingValuesGiveTheDefaultWrittenBack)
{
    Open();
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), 10);
    EXPECT_FALSE(CIniFileBase::GetBool(kSection, L"Flag", false, TRUE));
    EXPECT_TRUE(CIniFileBase::GetBool(kSection, L"FlagOn", true, TRUE));
    EXPECT_EQ(Str(CIniFileBase::GetString(kSection, L"Text", L"fallback", TRUE)), L"fallback");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Number"), Dword(10), "number");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Flag"), Dword(0), "yes/no FALSE");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"FlagOn"), Dword(1), "yes/no TRUE");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Text"), Text(L"fallback"), "text with its terminator");
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, L"Number").present) << "defaults go to the user only";
}

TEST_F(IniFileBaseTest, DefaultsAreNotWrittenWithoutBothSwitches)
{
    struct SwitchCase
    {
        BOOL bOpen;
        BOOL bCaller;
        const char* why;
    };
    const SwitchCase cases[] = {
        {TRUE, FALSE, "the caller asks not to write back"},
        {FALSE, TRUE, "Open turned writing defaults off"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        Open(c.bOpen);
        EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, c.bCaller), 10);
        EXPECT_EQ(CIniFileBase::GetInt(kSection, L"OutOfRange", 10, 0, 100, c.bCaller), 10);
        EXPECT_TRUE(CIniFileBase::GetBool(kSection, L"Flag", true, c.bCaller));
        EXPECT_EQ(Str(CIniFileBase::GetString(kSection, L"Text", L"fallback", c.bCaller)), L"fallback");
        for (LPCWSTR entry : {L"Number", L"Flag", L"Text"})
            EXPECT_FALSE(Get(HKEY_CURRENT_USER, entry).present);
    }
}

TEST_F(IniFileBaseTest, NumberOutsideItsRangeIsRepairedForTheNextCall)
{
    struct RangeCase
    {
        HKEY root;
        DWORD stored;
        int repaired;
        const char* why;
    };
    const RangeCase cases[] = {
        {HKEY_CURRENT_USER, 500, 100, "above the range in the user's key"},
        {HKEY_CURRENT_USER, static_cast<DWORD>(-5), 0, "below the range in the user's key"},
        {HKEY_LOCAL_MACHINE, 500, 100, "above the range in the machine's key"},
    };
    Open();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, SectionPath().c_str(), L"Number");
        PutDword(c.root, L"Number", c.stored);
        EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), 10) << "not used on this call";
        ExpectRaw(Get(HKEY_CURRENT_USER, L"Number"), Dword(c.repaired), "the limited value is stored");
        EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), c.repaired) << "the next call reads it";
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, SectionPath().c_str(), L"Number");
    }
}

TEST_F(IniFileBaseTest, InRangeMachineValueWinsOverOutOfRangeUserValue)
{
    Open();
    PutDword(HKEY_CURRENT_USER, L"Number", 500);
    PutDword(HKEY_LOCAL_MACHINE, L"Number", 50);
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), 50);
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Number"), Dword(500), "nothing is written when a value was used");
}

TEST_F(IniFileBaseTest, TextValuesOfEveryKind)
{
    Open();
    const wchar_t multi[] = L"first\0second\0";
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    Put(HKEY_CURRENT_USER, L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
    PutText(HKEY_CURRENT_USER, L"Expand", L"%TEMP%\\lumo", REG_EXPAND_SZ);
    Put(HKEY_CURRENT_USER, L"Unterminated", REG_SZ, unterminated, sizeof(unterminated));
    PutText(HKEY_CURRENT_USER, L"EmptyText", L"");
    Put(HKEY_CURRENT_USER, L"ZeroSize", REG_SZ, L"", 0);
    PutText(HKEY_LOCAL_MACHINE, L"ZeroSize", L"machine");
    PutDword(HKEY_CURRENT_USER, L"Number", 3);

    struct TextCase
    {
        const wchar_t* entry;
        const wchar_t* expected;
        const char* why;
    };
    const TextCase cases[] = {
        {L"Multi", L"first", "the first string of a multi-string"},
        {L"Expand", L"%TEMP%\\lumo", "an expandable text as stored"},
        {L"Unterminated", L"abc", "a text stored without its terminator"},
        {L"EmptyText", L"", "an empty text with its terminator is a value"},
        {L"ZeroSize", L"machine", "a text of size 0 counts as absent"},
        {L"Number", L"default", "a number is no text"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Str(CIniFileBase::GetString(kSection, c.entry, L"default", FALSE)), c.expected);
        CString out(L"stale");
        CIniFileBase::GetString(out, kSection, c.entry, L"default", FALSE);
        EXPECT_EQ(Str(out), c.expected);
    }
}

TEST_F(IniFileBaseTest, NumbersAreReadUpToFourBytes)
{
    Open();
    const BYTE shortValue[] = {0x34, 0x12};
    const ULONGLONG longValue = 7;
    Put(HKEY_CURRENT_USER, L"Short", REG_BINARY, shortValue, sizeof(shortValue));
    Put(HKEY_CURRENT_USER, L"Long", REG_QWORD, &longValue, sizeof(longValue));
    PutDword(HKEY_CURRENT_USER, L"Negative", static_cast<DWORD>(-7));
    int n = 0;
    ASSERT_TRUE(CIniFileBase::ReadInt(CIniFileBase::GetUserKey(), kSection, L"Short", n));
    EXPECT_EQ(n, 0x1234) << "a shorter value is read whatever its type";
    EXPECT_FALSE(CIniFileBase::ReadInt(CIniFileBase::GetUserKey(), kSection, L"Long", n)) << "longer than 4 bytes";
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Negative", 0, -10, 10, FALSE), -7);
    EXPECT_FALSE(CIniFileBase::ReadInt(nullptr, kSection, L"Short", n)) << "a null key";
    EXPECT_FALSE(CIniFileBase::ReadInt(CIniFileBase::GetUserKey(), kSection, L"Missing", n));
}

TEST_F(IniFileBaseTest, SettersWriteTheUserKeyAndDeleteValueRemoves)
{
    Open();
    EXPECT_TRUE(CIniFileBase::SetInt(kSection, L"Number", -3));
    EXPECT_TRUE(CIniFileBase::SetBool(kSection, L"Flag", TRUE));
    EXPECT_TRUE(CIniFileBase::SetBool(kSection, L"Flag2", 0x100)) << "only the low byte counts";
    EXPECT_TRUE(CIniFileBase::SetString(kSection, L"Text", L"Grüße"));
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Number"), Dword(static_cast<DWORD>(-3)), "number");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Flag"), Dword(1), "yes/no");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Flag2"), Dword(0), "yes/no from its low byte");
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Text"), Text(L"Grüße"), "text");
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, L"Number").present);
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 0, -10, 10, FALSE), -3);

    EXPECT_TRUE(CIniFileBase::DeleteValue(CIniFileBase::GetUserKey(), kSection, L"Number"));
    EXPECT_FALSE(Get(HKEY_CURRENT_USER, L"Number").present);
    EXPECT_FALSE(CIniFileBase::DeleteValue(CIniFileBase::GetUserKey(), kSection, L"Number")) << "already gone";
}

TEST_F(IniFileBaseTest, EmptySectionIsTheProgramKeyItself)
{
    Open();
    EXPECT_TRUE(CIniFileBase::SetInt(L"", L"TopLevel", 5));
    ExpectRaw(Get(HKEY_CURRENT_USER, L"TopLevel", L""), Dword(5), "a value of the program key");
    EXPECT_EQ(CIniFileBase::GetInt(L"", L"TopLevel", 0, 0, 10, FALSE), 5);
}

TEST_F(IniFileBaseTest, WithoutPathTheApplicationsKeyIsUsed)
{
    const std::wstring program = L"IniFileBase-App-" + std::to_wstring(GetCurrentProcessId());
    m_path = L"Software\\LumoTests\\" + program; // removed by TearDown
    CWinApp app(program.c_str());
    app.SetRegistryKey(L"LumoTests");
    CIniFileBase::Open(nullptr, TRUE, FALSE);
    ASSERT_NE(CIniFileBase::GetUserKey(), nullptr);
    EXPECT_TRUE(CIniFileBase::SetInt(kSection, L"Number", 12));
    ExpectRaw(Get(HKEY_CURRENT_USER, L"Number"), Dword(12), "under Software\\<company key>\\<program>");
    CIniFileBase::Close();
}

TEST_F(IniFileBaseTest, WithoutPathAndApplicationNothingIsOpened)
{
    ASSERT_EQ(AfxGetApp(), nullptr) << "this test needs a process without application object";
    CIniFileBase::Open(nullptr, TRUE, FALSE);
    EXPECT_EQ(CIniFileBase::GetUserKey(), nullptr);
    EXPECT_EQ(CIniFileBase::GetMachineKey(), nullptr);
    EXPECT_EQ(CIniFileBase::GetInt(kSection, L"Number", 10, 0, 100, TRUE), 10);
    EXPECT_FALSE(CIniFileBase::SetInt(kSection, L"Number", 5)) << "writes to a null user key fail";
}
