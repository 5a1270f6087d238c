#include "desktop/CIniFile.h"
#include "desktop/tests/SettingsKey.h"
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace
{
// Every accessor's result as text, so one table covers texts, flags and numbers.
std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}
std::wstring Str(bool b)
{
    return b ? L"TRUE" : L"FALSE";
}
std::wstring Str(int n)
{
    return std::to_wstring(n);
}

struct Accessor
{
    LPCWSTR name; // the value the accessor reads
    std::function<std::wstring()> read;
};

#define ACCESSOR(value, fn)                                                                                            \
    Accessor                                                                                                           \
    {                                                                                                                  \
        L## #value, [] { return Str(CIniFile::fn()); }                                                                 \
    }

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override { Open(FALSE); }
    void TearDown() override
    {
        CIniFile::Close();
        CIniFile::Open(nullptr, FALSE, TRUE); // nothing after us touches this key
    }
    void Open(BOOL bRegistryOff) { CIniFile::Open(m_key.Path().c_str(), TRUE, bRegistryOff); }

    SettingsKey m_key{L"Software\\LumoTests\\IniFile-" + std::to_wstring(GetCurrentProcessId())};
};

struct DefaultCase
{
    Accessor accessor;
    std::wstring result;
    RegValue stored; // REG_NONE: nothing is written back
};

TEST_F(IniFileTest, EveryAccessorOnAnEmptyKeyGivesItsDefaultAndWritesBackAsListed)
{
    const RegValue none;
    const RegValue empty = RegValue::Text(L"");
    const DefaultCase cases[] = {
        {ACCESSOR(RemoteHost, GetRemoteHost), L"", empty},
        {ACCESSOR(ApplicationPort, GetApplicationPort), L"905", RegValue::Dword(905)},
        {ACCESSOR(AppPort, GetAppPort), L"1905", RegValue::Dword(1905)},
        {ACCESSOR(Location, GetLocation), L"0", RegValue::Dword(0)},
        {ACCESSOR(UseAuthentication, GetUseAuthentication), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(LatestInstalledSetup, GetLatestInstalledSetup), L"", none},
        {ACCESSOR(AgentMonitorPath, GetAgentMonitorPath), L"", empty},
        {ACCESSOR(BrennPath, GetBrennPath), L"", empty},
        {ACCESSOR(BrennPathStartupDir, GetBrennPathStartupDir), L"", empty},
        {ACCESSOR(QuillanPath, GetQuillanPath), L"", empty},
        {ACCESSOR(DebugBrennClient, GetDebugBrennClient), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(DebugQuillan, GetDebugQuillan), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(LoginScriptId, GetLoginScriptId), L"0", RegValue::Dword(0)},
        {ACCESSOR(StatisticsView, GetStatisticsView), L"TRUE", RegValue::Dword(1)},
        {ACCESSOR(ExtendedView, GetExtendedView), L"TRUE", RegValue::Dword(1)},
        {ACCESSOR(CallInfoWindow, GetCallInfoWindow), L"TRUE", RegValue::Dword(1)},
        {ACCESSOR(MultiCallButtons, GetMultiCallButtons), L"TRUE", RegValue::Dword(1)},
        {ACCESSOR(IsToolbarOnTop, GetIsToolbarOnTop), L"TRUE", RegValue::Dword(1)},
        {ACCESSOR(AllowBlindTransfer, GetAllowBlindTransfer), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(AllowConference, GetAllowConference), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(ExtraMessageForIncomingCall, GetExtraMessageForIncomingCall), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(InputNumberList, GetInputNumberList), L"", empty},
        {ACCESSOR(MessageListFile, GetMessageListFile), L"", empty},
        {ACCESSOR(VOIPGateWay, GetVOIPGateWay), L"", empty},
        {ACCESSOR(VOIPSilenceDetection, GetVOIPSilenceDetection), L"FALSE", RegValue::Dword(0)},
        {ACCESSOR(VOIPErrorsToSuppress, GetVOIPErrorsToSuppress), L"", empty},
        {ACCESSOR(LogFileLocation, GetLogFileLocation), L"", empty},
        {ACCESSOR(InputTracePath, GetInputTracePath), L"", empty},
        {ACCESSOR(OutputTracePath, GetOutputTracePath), L"", empty},
        // The port is chosen once and kept, whatever the write-back switch of its parts says.
        {ACCESSOR(RemotePortNr, GetRemotePort), L"901", RegValue::Dword(901)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.accessor.name, c.accessor.name + wcslen(c.accessor.name)));
        m_key.Remove();
        Open(FALSE);
        EXPECT_EQ(c.accessor.read(), c.result);
        EXPECT_EQ(m_key.Get(HKEY_CURRENT_USER, c.accessor.name), c.stored);
        EXPECT_EQ(c.accessor.read(), c.result) << "the stored default reads the same";
    }
    // The parts of the port and the older error list are never written back.
    for (LPCWSTR pszName : {L"UseEncryption", L"RemotePort", L"RemotePortEncrypted", L"H323ErrorsToSuppress"})
        EXPECT_FALSE(m_key.Has(HKEY_CURRENT_USER, pszName)) << "written back: " << pszName;
}

TEST_F(IniFileTest, StandaloneReadsAndWritesNothing)
{
    m_key.Put(HKEY_CURRENT_USER, L"RemoteHost", RegValue::Text(L"jex1"));
    m_key.Put(HKEY_LOCAL_MACHINE, L"LatestInstalledSetup", RegValue::Text(L"5.1.0.0"));
    Open(TRUE);
    EXPECT_EQ(Str(CIniFile::GetRemoteHost()), L"");
    EXPECT_EQ(Str(CIniFile::GetLatestInstalledSetup()), L"");
    EXPECT_EQ(CIniFile::GetRemotePort(), 901);
    EXPECT_EQ(CIniFile::GetAppPort(), 1905);
    EXPECT_TRUE(CIniFile::GetStatisticsView());
    EXPECT_EQ(m_key.All(HKEY_CURRENT_USER).size(), 1u) << "only the value put there before";
}

TEST_F(IniFileTest, EncryptedPortIsChosenOnceAndKept)
{
    m_key.Put(HKEY_CURRENT_USER, L"UseEncryption", RegValue::Dword(1));
    EXPECT_EQ(CIniFile::GetRemotePort(), 1901);
    EXPECT_EQ(m_key.Get(HKEY_CURRENT_USER, L"RemotePortNr"), RegValue::Dword(1901));
    m_key.Put(HKEY_CURRENT_USER, L"UseEncryption", RegValue::Dword(0));
    EXPECT_EQ(CIniFile::GetRemotePort(), 1901) << "flipping the switch later changes nothing";
    m_key.Put(HKEY_CURRENT_USER, L"RemotePortNr", RegValue::Dword(0));
    m_key.Put(HKEY_CURRENT_USER, L"RemotePort", RegValue::Dword(1234));
    EXPECT_EQ(CIniFile::GetRemotePort(), 1234) << "set back to 0, the plain port counts again";
    EXPECT_EQ(m_key.Get(HKEY_CURRENT_USER, L"RemotePortNr"), RegValue::Dword(1234));
}

TEST_F(IniFileTest, MachineOnlyValueIsUsedNotCopied)
{
    m_key.Put(HKEY_LOCAL_MACHINE, L"RemoteHost", RegValue::Text(L"jex.example"));
    m_key.Put(HKEY_LOCAL_MACHINE, L"AllowConference", RegValue::Dword(1));
    EXPECT_EQ(Str(CIniFile::GetRemoteHost()), L"jex.example");
    EXPECT_TRUE(CIniFile::GetAllowConference());
    EXPECT_FALSE(m_key.Has(HKEY_CURRENT_USER, L"RemoteHost"));
    EXPECT_FALSE(m_key.Has(HKEY_CURRENT_USER, L"AllowConference"));
    m_key.Put(HKEY_CURRENT_USER, L"RemoteHost", RegValue::Text(L"jex.user"));
    EXPECT_EQ(Str(CIniFile::GetRemoteHost()), L"jex.user") << "the user's value comes first";
}

TEST_F(IniFileTest, MultiCallButtonsNeedTheExtendedView)
{
    m_key.Put(HKEY_CURRENT_USER, L"MultiCallButtons", RegValue::Dword(1));
    m_key.Put(HKEY_CURRENT_USER, L"ExtendedView", RegValue::Dword(0));
    EXPECT_FALSE(CIniFile::GetMultiCallButtons());
    m_key.Put(HKEY_CURRENT_USER, L"ExtendedView", RegValue::Dword(7));
    EXPECT_TRUE(CIniFile::GetMultiCallButtons()) << "any non-zero number is TRUE";
}

TEST_F(IniFileTest, OlderErrorListMovesToTheNewerName)
{
    m_key.Put(HKEY_CURRENT_USER, L"H323ErrorsToSuppress", RegValue::Text(L"5,7"));
    EXPECT_EQ(Str(CIniFile::GetVOIPErrorsToSuppress()), L"5,7");
    EXPECT_EQ(m_key.Get(HKEY_CURRENT_USER, L"VOIPErrorsToSuppress"), RegValue::Text(L"5,7"));
    m_key.Put(HKEY_CURRENT_USER, L"VOIPErrorsToSuppress", RegValue::Text(L"9"));
    EXPECT_EQ(Str(CIniFile::GetVOIPErrorsToSuppress()), L"9") << "the newer name wins once it is there";
}

TEST_F(IniFileTest, InstalledSetupComesFromTheMachineOnly)
{
    m_key.Put(HKEY_CURRENT_USER, L"LatestInstalledSetup", RegValue::Text(L"9.9.9.9"));
    EXPECT_EQ(Str(CIniFile::GetLatestInstalledSetup()), L"");
    m_key.Put(HKEY_LOCAL_MACHINE, L"LatestInstalledSetup", RegValue::Text(L"5.1.0.0"));
    EXPECT_EQ(Str(CIniFile::GetLatestInstalledSetup()), L"5.1.0.0");
}

struct BadNumberCase
{
    Accessor accessor;
    RegValue stored;
    std::wstring result; // on every read, the first included
    RegValue after;
    const char* why;
};

TEST_F(IniFileTest, BadStoredValuesFollowTheRangeRules)
{
    const BadNumberCase cases[] = {
        {ACCESSOR(Location, GetLocation), RegValue::Dword(static_cast<DWORD>(-5)), L"-1",
         RegValue::Dword(static_cast<DWORD>(-1)), "below the range: the stored bound counts at once"},
        {ACCESSOR(LoginScriptId, GetLoginScriptId), RegValue::Dword(static_cast<DWORD>(-7)), L"0", RegValue::Dword(0),
         "below the range"},
        {ACCESSOR(IsToolbarOnTop, GetIsToolbarOnTop), RegValue::Dword(static_cast<DWORD>(-1)), L"FALSE",
         RegValue::Dword(0), "its bound 0 reads as FALSE"},
        {ACCESSOR(AppPort, GetAppPort), RegValue::Dword(70000), L"1905", RegValue::Dword(70000),
         "no port: the default, the value left as it is"},
        {ACCESSOR(ApplicationPort, GetApplicationPort), RegValue::Dword(0), L"905", RegValue::Dword(0), "port 0"},
        {ACCESSOR(AppPort, GetAppPort), RegValue::Dword(static_cast<DWORD>(-3)), L"1905", RegValue::Dword(0),
         "repaired to 0, still no port"},
        {ACCESSOR(RemotePortNr, GetRemotePort), RegValue::Dword(70000), L"901", RegValue::Dword(901),
         "out of range counts as not set, so the plain port is chosen and kept"},
        {ACCESSOR(Location, GetLocation), RegValue::Text(L"12345"), L"0", RegValue::Dword(0),
         "a long text is no number: the default replaces it"},
        {ACCESSOR(RemoteHost, GetRemoteHost), RegValue::Dword(5), L"", RegValue::Text(L""),
         "a number is no text: the default replaces it"},
        {ACCESSOR(RemoteHost, GetRemoteHost), RegValue::Text(std::wstring(65536, L'h')), std::wstring(65536, L'h'),
         RegValue::Text(std::wstring(65536, L'h')), "a 64 KiB text is read whole"},
        {ACCESSOR(UseAuthentication, GetUseAuthentication), RegValue{REG_BINARY, {}}, L"FALSE",
         RegValue{REG_BINARY, {}}, "up to four bytes of any type read as a number, none as 0"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_key.Remove();
        Open(FALSE);
        m_key.Put(HKEY_CURRENT_USER, c.accessor.name, c.stored);
        EXPECT_EQ(c.accessor.read(), c.result);
        EXPECT_EQ(m_key.Get(HKEY_CURRENT_USER, c.accessor.name), c.after);
        EXPECT_EQ(c.accessor.read(), c.result) << "the next run reads the same";
    }
}
} // namespace
