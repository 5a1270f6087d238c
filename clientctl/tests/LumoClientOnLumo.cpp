// LumoClient as BrennClient registers with Lumo.exe itself. test_lumo_client_logon.py runs this
// program once Lumo has logged agent 12 on, with LUMO_TEST_APP_PORT naming Lumo's application port
// and LUMO_TEST_LUMO_VERSION the file version of Lumo.exe. Jex answers BrennClient's request for the
// locations with new permissions and the agent state "ready".
#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "framework/CComBSTR.h"
#include "LumoVersion.h"
#include <cstdlib>
#include <cstring>

namespace
{
constexpr DISPID kGetAgentSetting = 62, kRequestLocationList = 60;

std::wstring Widen(const char* psz)
{
    return std::wstring(psz, psz + std::strlen(psz)); // ports and versions: ASCII
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

    // Lumo greets with its file version. Both programs were built with the same release version,
    // so the library finds it equal to its own and shows no mismatch message: the events are the
    // pending state, Jex connected, the agent state Lumo knows (none, 0, as Jex has told none since
    // the log-on) and the connection.
    const std::wstring quoted = Text(Call(Id::kVersion)), lumo = Widen(pszLumoVersion);
    const std::wstring own = quoted.substr(1, quoted.size() - 2); // the text without the quotes Text adds
    EXPECT_EQ(own, LUMO_VERSION_WTEXT) << "LumoClient.ocx carries the release version";
    EXPECT_EQ(lumo, LUMO_VERSION_WTEXT) << "Lumo.exe carries the release version";
    std::vector<std::wstring> expected = {L"2(2)", L"3(1)", L"4(0)", L"2(1)"};
    EXPECT_EQ(Events(), expected) << "no version mismatch message";
    EXPECT_EQ(States(), L"1/1/0");

    // GetAgentSetting's result, value and text in one.
    const auto agentSetting = [this](long nId) {
        LONG nValue = 77;
        CComBSTR strValue(L"old");
        CComVariant result;
        EXPECT_TRUE(SUCCEEDED(InvokeMember(m_ctrl, kGetAgentSetting, DISPATCH_METHOD,
                                           {CComVariant(nId), ByRef(&nValue), ByRef(&strValue.m_str)}, &result)))
            << nId;
        return Text(result) + L" " + std::to_wstring(nValue) + L" '" +
               std::wstring(strValue.m_str ? strValue.m_str : L"") + L"'";
    };

    // Without an agent state the control asks Lumo for no agent setting.
    for (const long nId : {-1L, -2L})
    {
        EXPECT_EQ(agentSetting(nId), L"0b 77 'old'") << nId;
        expected.push_back(L"200('Agent is not logged on!')");
    }
    EXPECT_EQ(Events(), expected);

    // The request for the locations goes through Lumo to Jex, which then grants permission bit 5
    // (full screen) but not bit 6 (hide Lumo) and says the agent is ready. Lumo relays the state,
    // and the control, now with a logged-on agent, asks Lumo for the built-in settings.
    EXPECT_TRUE(SUCCEEDED(InvokeMember(m_ctrl, kRequestLocationList, DISPATCH_METHOD, {}, nullptr)));
    ASSERT_TRUE(PumpUntilEvent(L"4(1)", 30000)) << "AGSTAT relayed as the agent state";
    expected.push_back(L"4(1)");
    EXPECT_EQ(Events(), expected);
    EXPECT_EQ(States(), L"1/1/1");
    EXPECT_EQ(agentSetting(-1), L"-1b 1 'OrvialFullScreen'");
    EXPECT_EQ(agentSetting(-2), L"-1b 0 'OrvialHideLumo'");
    EXPECT_EQ(Events(), expected) << "nothing refused";

    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    ReleaseAndExpectUnload();
}
} // namespace
