// The Jex command link over real sockets on 127.0.0.1 against the scripted Jex
// (tests/peers/scripted_jex.py), which Wine starts as a Unix process. The peer plays Jex's side
// and logs every line; these tests check what our link did, told its windows and sent.
#include "sessions/CJexSocket.h"
#include "sessions/tests/JexLinkFixture.h"
#include "sessions/tests/SessionRecorders.h"
#include "core/AccountFunctions.h"
#include "core/CPasswordCipher.h"
#include "core/CTimeTools.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace
{

class CLogonResultDlgHost : public CRecordingDlgHost
{
public:
    void SetLogonResult(int nResult) override { m_results.push_back(nResult); }
    std::vector<int> m_results;
};

// A waiting window as the dialogs are: it takes over the heap objects of WM_JEXREPLY and frees them.
class CReplyWindow : public CRecordingParent
{
public:
    std::vector<Lines> m_logonFields;
    std::vector<CJexSocket::PasswordResult> m_passwordResults;
    int m_nFreed = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_JEXREPLY && wParam == CJexSocket::replyLogon && lParam != -1)
        {
            std::unique_ptr<CStringArray> pFields(reinterpret_cast<CStringArray*>(lParam));
            Lines fields;
            for (INT_PTR i = 0; i < pFields->GetSize(); ++i)
                fields.push_back((*pFields)[i].Str());
            m_logonFields.push_back(fields);
            ++m_nFreed;
        }
        if (message == WM_JEXREPLY && wParam == CJexSocket::replyCheckPassword)
        {
            std::unique_ptr<CJexSocket::PasswordResult> pResult(reinterpret_cast<CJexSocket::PasswordResult*>(lParam));
            m_passwordResults.push_back(*pResult);
            ++m_nFreed;
        }
        return CRecordingParent::WindowProc(message, wParam, lParam);
    }
};

std::string Greeting(const char* pszFields)
{
    return std::string("handshake\ngreet ") + pszFields + "\n";
}

class JexSocketTest : public JexLinkFixture
{
protected:
    void SetUp() override { ASSERT_TRUE(m_reply.Create()); }
    void TearDown() override { m_pLink.reset(); } // before the window it may name

    CReplyWindow m_reply;
};

TEST_F(JexSocketTest, GreetingFlagsDecideSessionEncryptionAndLogonByName)
{
    struct FlagCase
    {
        const char* flags;
        bool session, encryption, byName, refused;
        const char* why;
    };
    const FlagCase kCases[] = {
        {"3", true, true, true, false, "odd and 2 or more"},
        {"2", true, false, true, false, "by name without encryption"},
        {"1", true, true, false, false, "encryption by id"},
        {"0", true, false, false, false, "neither"},
        {"-1", true, false, false, false, "a negative remainder is not odd"},
        {"x", false, true, false, true, "not a number: refused, nothing changes"},
    };
    for (const FlagCase& c : kCases)
    {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(Connect(Greeting((std::string(c.flags) + " 5.4.9.6 0.0.0.0 0 - 1907").c_str()) + "drain\n"));
        ASSERT_TRUE(WaitForGreeting());
        EXPECT_EQ(m_pLink->m_bSession, c.session);
        EXPECT_EQ(m_pLink->IsPasswordEncryption(), c.encryption);
        EXPECT_EQ(m_pLink->IsLogonByName() != FALSE, c.byName);
        EXPECT_EQ(m_pLink->IsGreetingRefused(), c.refused);
        EXPECT_TRUE(m_pLink->GetGreetingRefusalText().IsEmpty());
        EXPECT_TRUE(m_boxes.m_boxes.empty());
        // A session says goodbye on close; a refused greeting has nothing to log off.
        EXPECT_EQ(Finish(), c.session ? Lines{L"ALOGOF"} : Lines{});
    }
}

TEST_F(JexSocketTest, UpdateDecisionFollowsSetupVersionModeAndAnswer)
{
    struct UpdateCase
    {
        const char* installed;
        const char* greeting;
        bool standalone;
        int answer;
        UINT boxType; // kNoBox: none
        bool update, session;
        int quits;
        const char* why;
    };
    constexpr UINT kNoBox = ~0u;
    const UpdateCase kCases[] = {
        {"5.4.9.0", "1 5.4.9.6 5.4.9.0 0 p", false, IDOK, kNoBox, false, true, 0, "the installed version"},
        {"5.4.a.0", "1 5.4.9.6 5.4.A.0 0 p", false, IDOK, kNoBox, false, true, 0, "differs only in case"},
        {"5.4.9.0", "1 5.4.9.6 0.0.0.0 0 p", false, IDOK, kNoBox, false, true, 0, "no setup offered"},
        {"5.4.9.0", "1 5.4.9.6", false, IDOK, kNoBox, false, true, 0, "an empty setup version counts as none"},
        {"5.4.9.0", "1 5.4.9.6 5.5.0.1 0 p", false, IDYES, MB_YESNO, true, false, 0, "mode 0, Yes"},
        {"5.4.9.0", "1 5.4.9.6 5.5.0.1 0 p", false, IDNO, MB_YESNO, false, true, 0, "mode 0, No goes on"},
        {"5.4.9.0", "1 5.4.9.6 5.5.0.1 1 p", false, IDOK, MB_OKCANCEL, true, false, 0, "mode 1, OK"},
        {"5.4.9.0", "1 5.4.9.6 5.5.0.1 1 p", false, IDCANCEL, MB_OKCANCEL, false, false, 1, "mode 1, Cancel quits"},
        {"5.4.9.0", "1 5.4.9.6 5.5.0.1 2 p", false, IDOK, kNoBox, true, false, 0, "mode 2 asks nothing"},
        {"5.4.9.0", "1 5.4.9.6 5.5.0.1 0 p", true, IDOK, MB_OK, false, false, 1, "standalone only tells"},
    };
    for (const UpdateCase& c : kCases)
    {
        SCOPED_TRACE(c.why);
        m_app.m_strInstalled = c.installed;
        m_app.m_bStandalone = c.standalone;
        m_app.m_nQuits = 0;
        m_app.m_service.m_nChecks = 0;
        m_app.m_connection.m_events.clear();
        m_boxes.m_boxes.clear();
        m_boxes.m_answers = {c.answer};
        ASSERT_TRUE(Connect(Greeting(c.greeting) + "drain\n"));
        ASSERT_TRUE(PumpUntil([&] { return m_pLink->m_bSession || m_pLink->IsUpdateInProgress() || m_app.m_nQuits; }));
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(m_boxes.m_boxes.size(), c.boxType != kNoBox ? 1u : 0u);
        if (c.boxType != kNoBox)
        {
            EXPECT_EQ(m_boxes.m_boxes[0].type, c.boxType);
            EXPECT_NE(m_boxes.m_boxes[0].text.find(L"   new setup version: 5.5.0.1"), std::wstring::npos)
                << m_boxes.m_boxes[0].text;
        }
        EXPECT_EQ(m_pLink->IsUpdateInProgress(), c.update);
        EXPECT_EQ(m_pLink->m_bSession, c.session);
        EXPECT_EQ(m_app.m_nQuits, c.quits);
        EXPECT_EQ(m_app.m_service.m_nChecks > 0, !c.standalone) << "the update service is asked unless standalone";
        Lines expected;
        if (c.update) expected.push_back(L"UPDATE 5.4.9.0 p");
        if (c.session) expected.push_back(L"ALOGOF");
        EXPECT_EQ(Finish(), expected);
        if (c.update)
        {
            EXPECT_EQ(m_app.m_connection.m_events, (Lines{L"box on", L"window"}));
        }
        else if (c.boxType == MB_YESNO)
        {
            EXPECT_EQ(m_app.m_connection.m_events, (Lines{L"box on", L"box off"}));
        }
    }
}

TEST_F(JexSocketTest, MissingUpdateServiceIsShownAndTheGreetingGoesOn)
{
    m_app.m_service.m_bRunning = FALSE;
    ASSERT_TRUE(Connect(Greeting("0 5.4.9.6 0.0.0.0") + "drain\n"));
    ASSERT_TRUE(WaitForGreeting());
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, L"The update service is not running.");
    EXPECT_TRUE(m_pLink->m_bSession);
    Finish();
}

TEST_F(JexSocketTest, DifferentServerVersionWarnsOncePerRun)
{
    ASSERT_TRUE(Connect(Greeting("0 5.4.10.1 0.0.0.0") + "greet 0 5.4.10.1 0.0.0.0\nsend ASUFIN\ndrain\n"));
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nStartupComplete == 1; }));
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u) << "the second greeting does not warn again";
    EXPECT_EQ(m_boxes.m_boxes[0].text,
              L"The version of LUMO (v 5.4.9.6) is different from the version of JEX (v 5.4.10.1) you are trying to "
              L"connect to.\nTo avoid any problems please upgrade LUMO to version 5.4.10.0 or higher");
    EXPECT_EQ(m_boxes.m_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    Finish();
}

TEST_F(JexSocketTest, LogonByIdChecksThePasswordAsLetterPairsAndRepliesToTheWindow)
{
    CLogonResultDlgHost dlg;
    CRecordingParent main;
    ASSERT_TRUE(main.Create());
    m_app.m_agent.m_nId = 7;
    ASSERT_TRUE(Connect(Greeting("1 5.4.9.6 0.0.0.0") +
                        "password CHKPWD 2 s3cret\n"
                        "send CHKPWD 7 0\n"
                        "expectline RQASUD 1 7\n"
                        "send STARTD 1\n" // start-up data Jex sends that this link does not know: skipped
                        "send ASUFIN\n"
                        "expect ALOGON 7 3 -?\\d+\n"
                        "send ALOGON 0 first second third\n"
                        "drain\n"));
    ASSERT_TRUE(WaitForGreeting());
    m_pLink->SetMainWindow(&dlg, &main);
    CString strLetters;
    ASSERT_TRUE(EncryptPassword(L"s3cret", strLetters));
    m_pLink->SendCheckPasswordById(&m_reply, 7, strLetters);
    ASSERT_TRUE(PumpUntil([&] { return !m_reply.m_passwordResults.empty(); }));
    EXPECT_EQ(m_reply.m_passwordResults[0].nAgentId, 7);
    EXPECT_EQ(m_reply.m_passwordResults[0].nResult, 0);

    m_pLink->RequestStartupDataById(7);
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nStartupComplete == 1; }));
    m_pLink->Logon(nullptr); // the window of the last request keeps waiting
    ASSERT_TRUE(PumpUntil([&] { return !m_reply.m_logonFields.empty(); }));
    EXPECT_EQ(m_reply.m_logonFields[0], (Lines{L"0", L"first", L"second", L"third"}));
    EXPECT_EQ(m_reply.m_nFreed, 2) << "both heap answers reached the window and were freed there";
    EXPECT_EQ(dlg.m_results, std::vector<int>{0});
    EXPECT_EQ(m_app.m_logons, (std::vector<std::pair<long, int>>{{-1, 0}}));

    const Lines sent = Finish();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[3], L"ENDINI") << "a successful log-on ends the initialisation";
    EXPECT_EQ(sent[4], L"ALOGOF");
    main.DestroyWindow();
}

TEST_F(JexSocketTest, LogonAnswerGoesToTheOpenLogonDialogsAndAFailureSendsNoEndini)
{
    CReplyWindow logon, password, location;
    ASSERT_TRUE(logon.Create() && password.Create() && location.Create());
    m_app.m_pLogon = &logon;
    m_app.m_pPassword = &password;
    m_app.m_pLocation = &location;
    ASSERT_TRUE(Connect(Greeting("0 5.4.9.6 0.0.0.0") + "expect ALOGON -1 3 -?\\d+\nsend ALOGON 5 a b c\ndrain\n"));
    ASSERT_TRUE(WaitForGreeting());
    m_pLink->Logon(&m_reply);
    ASSERT_TRUE(PumpUntil([&] { return !logon.m_logonFields.empty(); }));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(logon.m_logonFields[0], (Lines{L"5", L"a", L"b", L"c"}));
    EXPECT_EQ(m_app.m_nLogonAnswered, 1);
    EXPECT_EQ(password.Seen(), (Seq{{WM_JEXREPLY, 0, -1}}));
    EXPECT_EQ(location.Seen(), (Seq{{WM_JEXREPLY, static_cast<UINT_PTR>(-1), 0}}));
    EXPECT_TRUE(m_reply.Seen().empty()) << "the log-on dialog takes the answer instead of the reply window";
    EXPECT_EQ(m_app.m_logons, (std::vector<std::pair<long, int>>{{-1, 5}}));
    const Lines sent = Finish();
    ASSERT_EQ(sent.size(), 2u) << "no ENDINI after a refused log-on";
    EXPECT_TRUE(sent[0].starts_with(L"ALOGON -1 3 ")) << sent[0];
    EXPECT_EQ(sent[1], L"ALOGOF");
}

TEST_F(JexSocketTest, LogonByNameUsesTheUserNameForms)
{
    ASSERT_TRUE(Connect(Greeting("2 5.4.9.6 0.0.0.0") + "expectline CHKPWD 2 ann\\x0clee ABCD\n"
                                                        "send CHKPWD 12 3\n"
                                                        "expectline RQASUD 2 ann\\x0clee\n"
                                                        "drain\n"));
    ASSERT_TRUE(WaitForGreeting());
    EXPECT_TRUE(m_pLink->IsLogonByName());
    m_pLink->SendCheckPasswordByName(&m_reply, L"ann lee", L"ABCD");
    ASSERT_TRUE(PumpUntil([&] { return !m_reply.m_passwordResults.empty(); }));
    EXPECT_EQ(m_reply.m_passwordResults[0].nAgentId, 12);
    EXPECT_EQ(m_reply.m_passwordResults[0].nResult, 3);
    EXPECT_EQ(m_app.m_agent.m_nId, 12) << "the agent record takes the id Jex names";
    m_pLink->RequestStartupDataByName(L"ann lee");
    Finish();
}

TEST_F(JexSocketTest, WindowsLogonSendsTheEncryptedAccountAndReadsTheAnswers)
{
    CString strComputer, strGroup, strSid, strUser, strDomain;
    ASSERT_TRUE(GetWorkstationInfo(&strComputer, &strGroup));
    ASSERT_TRUE(GetCurrentUserAccount(&strSid, &strUser, &strDomain));
    ASSERT_TRUE(Connect(Greeting("1 5.4.9.6 0.0.0.0") + "decrypt ALOGOS 0 1\n"
                                                        "send ALOGOS 0 '' '' 0 ''\n"
                                                        "send ALOGOS 9 Ann Lee 12 'Desk 12'\n"
                                                        "drain\n"));
    ASSERT_TRUE(WaitForGreeting());
    ASSERT_TRUE(m_pLink->SendWindowsLogon(&m_reply));
    EXPECT_EQ(m_pLink->GetReplyWindow(), &m_reply);
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nLocationId == 12; }));

    // No agent and no location: both are told, in this order, and each ends the program.
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, L"There is no agent with NT Account '" + strDomain.Str() + L"\\" +
                                           strUser.Str() + L"' configured on Jex.\nLumo will now be closed.");
    EXPECT_EQ(m_boxes.m_boxes[1].text, L"There is no location for computer name '" + strGroup.Str() + L"\\" +
                                           strComputer.Str() + L"' configured on Jex.\nLumo will now be closed.");
    EXPECT_EQ(m_boxes.m_boxes[1].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(m_app.m_nQuits, 2);
    EXPECT_EQ(m_app.m_strLocationName, L"Desk 12");
    EXPECT_EQ(m_app.m_agent.m_nId, 9);
    EXPECT_EQ(m_app.m_agent.m_strFirstName.Str(), L"Ann");
    EXPECT_EQ(m_app.m_agent.m_strLastName.Str(), L"Lee");

    Finish();
    const Lines traffic = m_pJex->Traffic();
    const std::wstring deciphered = L"= ALOGOS " + strComputer.Str() + L" " + strSid.Str();
    EXPECT_NE(std::find(traffic.begin(), traffic.end(), deciphered), traffic.end())
        << "Jex deciphers the computer name and the account's identifier; log:\n"
        << m_pJex->Log();
}

TEST_F(JexSocketTest, ServerClockShiftShowsInTheLogonOffset)
{
    ASSERT_TRUE(Connect(Greeting("0 5.4.9.6 0.0.0.0") + "ttsync 3600\nsend ASUFIN\nexpect ALOGON .*\ndrain\n"));
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nStartupComplete == 1; }));
    const int32_t nShift = CTimeTools::m_nUTCShift_sec.load();
    m_pLink->Logon(nullptr);
    const Lines sent = Finish();
    CTimeTools::m_nUTCShift_sec = 0; // the shift is process-wide
    EXPECT_NEAR(nShift, 3600, 3) << "Jex's clock runs an hour behind ours";
    ASSERT_EQ(sent.size(), 2u);
    const long nOffset = std::stol(sent[0].substr(sent[0].rfind(L' ') + 1));
    EXPECT_EQ(nOffset, CTimeTools::GetCurrentUTCOffsetSystem() + nShift) << sent[0];
}

TEST_F(JexSocketTest, LossReachesTheMainWindowOrElseTheReplyWindow)
{
    CLogonResultDlgHost dlg;
    CRecordingParent main;
    ASSERT_TRUE(main.Create());
    for (bool bMainWindow : {true, false})
    {
        SCOPED_TRACE(bMainWindow ? "main window" : "start-up, no main window");
        main.Clear();
        m_reply.Clear();
        // Jex drops the link once the log-on is out, so both windows are known by then.
        ASSERT_TRUE(Connect(Greeting("0 5.4.9.6 0.0.0.0") + "expect ALOGON .*\nclose\n"));
        if (bMainWindow) m_pLink->SetMainWindow(&dlg, &main);
        ASSERT_TRUE(WaitForGreeting());
        m_pLink->Logon(&m_reply);
        ASSERT_TRUE(PumpUntil([&] { return !main.Seen().empty() || !m_reply.Seen().empty(); }));
        EXPECT_FALSE(m_pLink->m_bSession);
        EXPECT_EQ(main.Seen(), (bMainWindow ? Seq{{WM_JEXCLOSED, 0, 0}} : Seq{}));
        EXPECT_EQ(m_reply.Seen(), (bMainWindow ? Seq{} : Seq{{WM_JEXCLOSED, 0, 0}}));
        EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
    }
    main.DestroyWindow();
}

TEST_F(JexSocketTest, BadInputLeavesTheLinkUpForLaterLines)
{
    // The first lines come in one write with the greeting: none of them may be lost.
    ASSERT_TRUE(Connect("handshake\n"
                        "sendlines STARTS 1 5.4.9.6 0.0.0.0 0 - 1907 extra words\\rASUFIN\n"
                        "expect ALOGON .*\n"
                        "send ALOGON 0 too-few\n"
                        "send BOGUSW 1 2\n"
                        "send ASUFIN surplus\n"
                        "send ASUFIN\n"
                        "send ALOGON 0 a b c\n"
                        "drain\n"));
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nStartupComplete == 1; }));
    EXPECT_TRUE(m_pLink->m_bSession) << "a greeting with extra fields still greets";
    m_pLink->Logon(&m_reply);
    ASSERT_TRUE(PumpUntil([&] { return !m_reply.m_logonFields.empty(); }));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(m_app.m_nStartupComplete, 2) << "the ASUFIN behind the greeting and the one after the bad lines";
    EXPECT_EQ(m_reply.m_logonFields, (std::vector<Lines>{{L"0", L"a", L"b", L"c"}}))
        << "the short ALOGON was refused, the whole one handled";
    Finish();
}

TEST_F(JexSocketTest, ConnectRefusedKeepsTheError)
{
    CAsyncSocket probe; // a port that nobody listens on: bound, then closed again
    ASSERT_TRUE(probe.Create(0, SOCK_STREAM, 0, L"127.0.0.1"));
    CString strAddress;
    UINT nPort = 0;
    ASSERT_TRUE(probe.GetSockName(strAddress, nPort));
    probe.Close();
    m_app.m_nPort = nPort;
    CJexSocket link(m_app, m_boxes);
    ASSERT_TRUE(link.Create());
    EXPECT_EQ(link.GetConnectError(), -1);
    if (link.ConnectToServer()) // under way: the refusal comes to OnConnect
    {
        ASSERT_TRUE(PumpUntil([&] { return link.GetConnectError() != -1; }));
    }
    EXPECT_EQ(link.GetConnectError(), WSAECONNREFUSED);
    EXPECT_FALSE(link.m_bSession);
}

// The trace paths of the registry reach the link: what it reports of the received lines goes to
// the input trace, its close to both; a file never grows past its bound, and the last line is in it.
TEST_F(JexSocketTest, TracesReachTheirFilesAndStayBounded)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lumo-trace-" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    m_app.m_strInputTrace = (folder / "in.log").wstring().c_str();
    m_app.m_strOutputTrace = (folder / "out.log").wstring().c_str();
    // The link cuts what it reports of each line; together the reports are more than a file may hold.
    std::string flood = "XYZABC " + std::string(5000, 'p') + "\\r";
    for (int i = 0; i < 6000; ++i)
        flood += "XYZABC " + std::to_string(i) + std::string(200, 'p') + "\\r";
    ASSERT_TRUE(Connect(Greeting("0 5.4.9.6 0.0.0.0") + "sendlines QWERTY first\n" + "sendlines " + flood +
                        "XYZABC last\nexpectline NEXCAL\nclose\n"));
    ASSERT_TRUE(WaitForGreeting());
    const auto read = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    // Jex closes only once every line is read here: a close with lines unread could lose them.
    ASSERT_TRUE(PumpUntil([&] { return read(folder / "in.log").find("Parameters: last") != std::string::npos; }));
    m_pLink->SendNextCall();
    ASSERT_TRUE(PumpUntil([&] { return !m_pLink->m_bSession; }));
    EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
    const std::string input = read(folder / "in.log");
    const std::string output = read(folder / "out.log");
    EXPECT_LE(input.size(), static_cast<size_t>(CJexSocketBase::kMaxTraceFileBytes));
    EXPECT_GT(input.size(), static_cast<size_t>(CJexSocketBase::kMaxTraceChars)) << "the file started again, not empty";
    EXPECT_NE(input.find("ERROR - UNKNOWN COMMAND XYZABC RECEIVED (Parameters: last)."), std::string::npos);
    EXPECT_EQ(input.find("QWERTY"), std::string::npos)
        << "the first line went when the file started again; " << input.size() << " bytes";
    EXPECT_EQ(input.find(std::string(static_cast<size_t>(CJexSocketBase::kMaxTraceChars) + 1, 'p')), std::string::npos)
        << "each text is cut";
    EXPECT_NE(input.find("SOCKET CLOSED"), std::string::npos)
        << input.substr(input.size() > 300 ? input.size() - 300 : 0);
    EXPECT_NE(output.find("SOCKET CLOSED"), std::string::npos) << output;
    EXPECT_EQ(output.find("XYZABC"), std::string::npos) << "what came in is not in the output trace";
    m_pLink.reset();
    std::filesystem::remove_all(folder);
}

} // namespace
