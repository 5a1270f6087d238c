// LumoClient as BrennClient registers with Lumo.exe itself. test_lumo_client_logon.py runs this
// program once Lumo has logged agent 12 on, with LUMO_TEST_APP_PORT naming Lumo's application port
// and LUMO_TEST_LUMO_VERSION the file version of Lumo.exe.
#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "framework/CComBSTR.h"
#include <cstdlib>
#include <cstring>

namespace
{
constexpr DISPID kGetAgentSetting = 62;

std::wstring Widen(const char* psz)
{
    return std::wstring(psz, psz + std::strlen(psz)); // ports and versions: ASCII
}

// A version without its last part, as the greeting's check compares it.
std::wstring Cut(const std::wstring& version)
{
    const size_t nDot = version.rfind(L'.');
    return nDot == std::wstring::npos ? std::wstring() : version.substr(0, nDot);
}

TEST_F(LumoClientCtrlTest, BrennClientRegistersWithLoggedOnLumo)
{
    const char* pszPort = std::getenv("LUMO_TEST_APP_PORT");
    const char* pszLumoVersion = std::getenv("LUMO_TEST_LUMO_VERSION");
    ASSERT_TRUE(pszPort && pszLumoVersion) << "run by test_lumo_client_logon.py";
    EXPECT_EQ(Put(Id::kPort, CComVariant(static_cast<short>(std::atoi(pszPort)))), S_OK);
    EXPECT_EQ(Put(Id::kApplicationId, CComVariant(0L)), S_OK);
    EXPECT_EQ(Put(Id::kLogMode, CComVariant(2L)), S_OK); // every message of the control as an event
    ASSERT_EQ(Text(Call(Id::kInit)), L"-1b");

    // Lumo greets with its file version; a message before the pending state only when the first
    // three parts differ from the library's. The answer tells Jex connected, and the agent state
    // Lumo knows: none (0), as Jex has told none since the log-on.
    const std::wstring quoted = Text(Call(Id::kVersion)), lumo = Widen(pszLumoVersion);
    const std::wstring own = quoted.substr(1, quoted.size() - 2); // the text without the quotes Text adds
    std::vector<std::wstring> expected = {L"2(2)", L"3(1)", L"4(0)", L"2(1)"};
    if (_wcsicmp(Cut(own).c_str(), Cut(lumo).c_str()) != 0)
        expected.insert(expected.begin(), L"200('The version of LumoClient.ocx (v " + own +
                                              L") is different from the version of LUMO (v " + lumo +
                                              L") you are trying to connect to.\nTo avoid any problems please "
                                              L"upgrade LumoClient.ocx')");
    EXPECT_EQ(Events(), expected);
    EXPECT_EQ(States(), L"1/1/0");

    // Without an agent state the control asks Lumo for no agent setting.
    for (const long nId : {-1L, -2L})
    {
        LONG nValue = 77;
        CComBSTR strValue(L"old");
        CComVariant result;
        EXPECT_TRUE(SUCCEEDED(InvokeMember(m_ctrl, kGetAgentSetting, DISPATCH_METHOD,
                                           {CComVariant(nId), ByRef(&nValue), ByRef(&strValue.m_str)}, &result)))
            << nId;
        EXPECT_EQ(Text(result) + L" " + std::to_wstring(nValue) + L" '" +
                      std::wstring(strValue.m_str ? strValue.m_str : L"") + L"'",
                  L"0b 77 'old'")
            << nId;
        expected.push_back(L"200('Agent is not logged on!')");
    }
    EXPECT_EQ(Events(), expected);

    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    ReleaseAndExpectUnload();
}
} // namespace
