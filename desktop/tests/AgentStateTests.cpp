// The agent state in the main window, in process under Xvfb: Jex's AGSTAT arrives on a real link
// from the scripted Jex (tests/peers/scripted_jex.py), the window shows it in its status line and
// title, keeps the pause, and tells the local applications on both of its own application ports
// (tests/peers/scripted_app.py on the current one, tests/peers/oldapp.py on the old one).
#include "desktop/CIniFile.h"
#include "desktop/CLumoApp.h"
#include "desktop/CLumoDlg.h"
#include "desktop/tests/SettingsKey.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/MessagePump.h"
#include "sessions/CJexSocket.h"
#include "tests/support/CScriptedApps.h"
#include "tests/support/CScriptedJex.h"
#include "LumoVersion.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

std::wstring Widen(const char* psz)
{
    return std::wstring(psz, psz + std::strlen(psz)); // the cases' texts are ASCII
}

std::wstring TitleOf(const CWnd& wnd)
{
    wchar_t text[256] = L"";
    ::GetWindowTextW(wnd.GetSafeHwnd(), text, 256);
    return text;
}

// One AGSTAT of Jex (the text after the word) and what the window makes of it, in the order sent.
struct StateCase
{
    const char* pszAgstat;
    int nState;
    const char* pszText; // the state text: status line, title after "Lumo - ", old port's AGSTAT
    bool bPause;
    bool bPauseBegins; // the state start time is taken now
    const char* why;
};
const StateCase kStateCases[] = {
    {"1 Bereit", 1, "Ready", false, false, "a state's text is the desktop's own, not Jex's"},
    {"2 Lunch", 2, "Lunch", true, true, "a pause begins: its reason is the text"},
    {"2", 2, "In pause", true, false, "the same pause without a reason: no new start"},
    {"2 Coffee break", 2, "Coffee break", true, false, "only the first blank splits"},
    {"3 x", 3, "Inbound call", false, false, "a call ends the pause"},
    {"15 Something", 15, "", false, false, "15 has no text"},
    {"65538 Lunch", 0, "", false, false, "a state beyond 16 bits is no state, not 2"},
    {"2", 2, "In pause", true, true, "a new pause begins"},
    {"2 Lunch", 2, "Lunch", true, false, "the reason changes within the pause"},
    {"18", 18, "Predictive dialing", false, false, "the last of the table"},
    {"14", 14, "Key-in", false, false, "a state without a reason text"},
    {"19 New", 19, "", false, false, "a state the desktop does not know has no text"},
};

class AgentStateTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(AfxSocketInit()); }
    void SetUp() override
    {
        CIniFile::Open(m_key.Path().c_str(), TRUE, FALSE);
        m_pApp = std::make_unique<CLumoApp>();
        m_pApp->m_strRemoteHost = L"127.0.0.1";
        m_pApp->m_bStandalone = true;
        m_pApp->m_bStatisticsView = m_pApp->m_bExtendedView = m_pApp->m_bCallInfoWindow = true;
        m_pApp->m_nAppPort = 0; // both application ports where the system finds room
        m_pApp->m_nApplicationPort = 0;
    }
    void TearDown() override
    {
        if (m_pApp->GetJexSocket()) m_pApp->GetJexSocket()->ClearMainWindow();
        m_pDlg.reset();
        if (m_pApp->GetJexSocket()) m_pApp->GetJexSocket()->Close();
        m_pApp.reset();
        CIniFile::Open(nullptr, FALSE, TRUE);
    }

    // Jex's link up and following the script after its greeting, then the main window on it.
    void StartWith(const std::string& script)
    {
        m_pJex = std::make_unique<CScriptedJex>("handshake\ngreet 0 " LUMO_VERSION_TEXT " 0.0.0.0\n" + script);
        m_pApp->m_nJexPort = m_pJex->Port();
        ASSERT_TRUE(m_pApp->Connect(FALSE));
        ASSERT_TRUE(m_pApp->GetJexSocket());
        m_pDlg = std::make_unique<CLumoDlg>(*m_pApp);
        ASSERT_TRUE(m_pDlg->Create());
        m_pApp->GetJexSocket()->SetMainWindow(m_pDlg.get(), m_pDlg.get());
        ASSERT_NE(m_pApp->GetAppPort(), 0) << "the window listens on the current application port";
        ASSERT_NE(m_pApp->GetApplicationPort(), 0) << "and on the old one";
    }

    SettingsKey m_key{L"Software\\Quelmoor\\LumoAgentStateTests"};
    CMessageBoxAnswerer m_boxes;
    std::unique_ptr<CLumoApp> m_pApp;
    std::unique_ptr<CScriptedJex> m_pJex;
    std::unique_ptr<CLumoDlg> m_pDlg;
};

TEST_F(AgentStateTest, JexStatesShowInStatusAndTitleKeepThePauseAndReachTheApplications)
{
    // Jex says each state when the test asks for it; the applications expect each broadcast and
    // mark it, so that the test looks at the window once the whole reaction is over.
    std::string jexScript, current = "connect a\naplgin 5 0\nanswer APLGIN \\d 0\nmark registered\n",
                           old = "send 'APLGIN 6'\nexpectre 'APLGIN .*'\nexpect 'AGSTAT '\nmark registered\n";
    for (size_t i = 0; i < std::size(kStateCases); ++i)
    {
        const StateCase& c = kStateCases[i];
        jexScript += "expect ^NEXT$\nsendraw AGSTAT " + std::string(c.pszAgstat) + "\n";
        current += "push AGSTAT " + std::to_string(c.nState) + "\nmark current" + std::to_string(i) + "\n";
        old += "expect 'AGSTAT " + std::string(c.pszText) + "'\nmark old" + std::to_string(i) + "\n";
    }
    // The window tells the last state again when it is shown or hidden.
    const StateCase& last = kStateCases[std::size(kStateCases) - 1];
    current += "push AGSTAT " + std::to_string(last.nState) + "\n";
    old += "expect 'AGSTAT " + std::string(last.pszText) + "'\n";
    StartWith(jexScript + "drain\n");
    EXPECT_EQ(TitleOf(*m_pDlg), L"Lumo - ") << "state 0 after the start";
    EXPECT_EQ(Str(m_pDlg->GetStatusText()), L"");

    CScriptedApps currentApp(m_pApp->GetAppPort(), current);
    CScriptedApps oldApp(CScriptedApps::OldDialect{LUMO_OLD_APP}, m_pApp->GetApplicationPort(), old);
    ASSERT_TRUE(currentApp.WaitForMark(L"registered")) << currentApp.Log();
    ASSERT_TRUE(oldApp.WaitForMark(L"registered")) << oldApp.Log();

    for (size_t i = 0; i < std::size(kStateCases); ++i)
    {
        const StateCase& c = kStateCases[i];
        SCOPED_TRACE(std::string("AGSTAT ") + c.pszAgstat + ": " + c.why);
        const __time64_t kEarlier = 1000; // a start time no pause of this test can have
        m_pDlg->SetStateStartTime(kEarlier);
        const __time64_t tBefore = _time64(nullptr);
        m_pApp->GetJexSocket()->SendCommand(L"NEXT\r");
        const std::wstring n = std::to_wstring(i);
        ASSERT_TRUE(currentApp.WaitForMark((L"current" + n).c_str(), 10000)) << currentApp.Log();
        ASSERT_TRUE(oldApp.WaitForMark((L"old" + n).c_str(), 10000)) << oldApp.Log();

        const std::wstring text = Widen(c.pszText);
        EXPECT_EQ(m_pDlg->GetAgentState(), c.nState);
        EXPECT_EQ(Str(m_pDlg->GetAgentStateText()), text);
        EXPECT_EQ(Str(m_pDlg->GetStatusText()), text);
        EXPECT_EQ(TitleOf(*m_pDlg), L"Lumo - " + text);
        EXPECT_EQ(m_pDlg->IsInPause() != FALSE, c.bPause);
        if (c.bPauseBegins)
        {
            EXPECT_GE(m_pDlg->GetStateStartTime(), tBefore) << "a beginning pause takes the time";
            EXPECT_LE(m_pDlg->GetStateStartTime(), _time64(nullptr));
        }
        else
        {
            EXPECT_EQ(m_pDlg->GetStateStartTime(), kEarlier) << "only a beginning pause takes the time";
        }
    }

    m_pDlg->BroadcastAgentState();
    EXPECT_EQ(currentApp.Finish(), 0) << currentApp.Log();
    EXPECT_EQ(oldApp.Finish(), 0) << oldApp.Log();
    m_pApp->GetJexSocket()->Close();
    EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
}
TEST_F(AgentStateTest, BeforeTheStartOnlyTheStateIsKeptAndTheStartShowsIt)
{
    m_pDlg = std::make_unique<CLumoDlg>(*m_pApp);
    m_pDlg->SetAgentState(2, L"Lunch"); // Jex may be quicker than the window
    EXPECT_EQ(m_pDlg->GetAgentState(), 2);
    EXPECT_FALSE(m_pDlg->IsInPause());
    EXPECT_EQ(Str(m_pDlg->GetAgentStateText()), L"");
    EXPECT_EQ(Str(m_pDlg->GetStatusText()), L"");

    ASSERT_TRUE(m_pDlg->Create());
    EXPECT_TRUE(m_pDlg->IsInPause()) << "the start takes up the state it holds";
    EXPECT_EQ(Str(m_pDlg->GetStatusText()), L"In pause") << "without the reason, which came too early";
    EXPECT_EQ(TitleOf(*m_pDlg), L"Lumo - In pause");
}
} // namespace
