// The old application port over 127.0.0.1: a Python application of the old dialect
// (tests/peers/oldapp.py) on one side, the scripted Jex (tests/peers/scripted_jex.py) on the
// other, the session core between them, and recorders for the application object and main window.
#include "sessions/CAppPortRelays.h"
#include "sessions/CAppSocket.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAgentSettingStore.h"
#include "sessions/CSessionCore.h"
#include "sessions/tests/JexLinkFixture.h"
#include "core/CAsyncSocketEx.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CStringConversion.h"
#include "framework/testing/CPeerProcess.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <psapi.h>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace
{

std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

// The main window: what the port asks of it, in the order asked, among the other effects.
class COldPortDlg : public CRecordingDlgHost
{
public:
    explicit COldPortDlg(Lines& effects) : m_effects(effects) {}
    void LogOff() override
    {
        Note(L"LogOff");
        if (m_onLogOff) m_onLogOff();
    }
    void EndCall(int nResult, const CString& strText, long nCallId) override
    {
        Note(L"EndCall " + Num(nResult) + L" [" + strText.Str() + L"] " + Num(nCallId));
    }
    void RequestAgentList(long nRequest, long nApplication, int nKind) override
    {
        Note(L"RequestAgentList " + Num(nRequest) + L" " + Num(nApplication) + L" " + Num(nKind));
    }
    void RequestPauseList(long nRequest, long nApplication) override
    {
        Note(L"RequestPauseList " + Num(nRequest) + L" " + Num(nApplication));
    }
    void DialNumberForApplication(long nRequest, long nApplication, const CString& strNumber,
                                  const CString& strText) override
    {
        Note(L"Dial " + Num(nRequest) + L" " + Num(nApplication) + L" [" + strNumber.Str() + L"] [" + strText.Str() +
             L"]");
    }
    void RecordCall(long nRequest, long nCallId) override
    {
        Note(L"RecordCall " + Num(nRequest) + L" " + Num(nCallId));
    }
    void RequestPause(long nReason, int nStartType) override
    {
        Note(L"RequestPause " + Num(nReason) + L" " + Num(nStartType));
    }
    void StopQuestionRecording(long nRequest, long nCallId) override
    {
        Note(L"StopQuestionRecording " + Num(nRequest) + L" " + Num(nCallId));
    }
    void SetPauseStateFor(BOOL bPause, long nRequester) override
    {
        Note(L"SetPauseStateFor " + Num(bPause) + L" " + Num(nRequester));
    }
    void PostMessageBox(const CString& strText) override { Note(L"PostMessageBox " + strText.Str()); }
    CWnd* GetWnd() override { return m_pWnd; }

    CWnd* m_pWnd = nullptr;
    std::function<void()> m_onLogOff; // what the desktop's log-off does to the ports

private:
    void Note(const std::wstring& effect) { m_effects.push_back(effect); }
    Lines& m_effects;
};

std::string Utf8(const std::wstring& text)
{
    return NarrowText(text.c_str(), static_cast<int>(text.size()), CP_UTF8);
}

// A line as the scripted Jex logs it: control characters (the field escapes) as "\\xNN".
std::wstring Visible(const std::wstring& text)
{
    std::wstring out;
    for (const wchar_t c : text)
    {
        if (c < 0x20 && c != L'\t')
        {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\x%02x", static_cast<unsigned>(c));
            out += escape;
        }
        else
            out += c;
    }
    return out;
}

// Lines that match: exactly, or by a regular expression when the expectation starts with '~'.
void ExpectLines(const Lines& actual, const Lines& expected)
{
    EXPECT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < std::min(actual.size(), expected.size()); ++i)
    {
        if (!expected[i].empty() && expected[i][0] == L'~')
            EXPECT_TRUE(std::regex_match(actual[i], std::wregex(expected[i].substr(1))))
                << "line " << i << ": " << Utf8(actual[i]) << " does not match " << Utf8(expected[i]);
        else
            EXPECT_EQ(actual[i], expected[i]) << "line " << i;
    }
}

// What Jex received: its log shows the field escapes as text.
void ExpectJexLines(const Lines& actual, Lines expected)
{
    for (std::wstring& line : expected)
        if (line.empty() || line[0] != L'~') line = Visible(line);
    ExpectLines(actual, expected);
}

class OldPortTest : public JexLinkFixture
{
protected:
    void SetUp() override
    {
        JexLinkFixture::SetUp();
        ASSERT_TRUE(AfxSocketInit());
        CSessionCore::Timings timings;
        timings.nRegistrationPauseMs = 0;
        timings.nSettingsWaitRounds = 5;
        timings.nSettingsWaitStepMs = 10;
        timings.nHoldIntervalMs = 0;
        m_core.SetTimings(timings);
        m_core.Roles().Install(m_dlg);
        m_core.SetAgentSettingStore(&m_store);
        m_pCore = &m_core;
        m_pListener = std::make_unique<CAppSocket>(m_core, m_app);
        ASSERT_TRUE(m_pListener->StartListening(0));
        CString strAddress;
        ASSERT_TRUE(m_pListener->GetSockName(strAddress, m_nPort));
        EXPECT_EQ(strAddress.Str(), L"127.0.0.1") << "the port serves this machine only";
    }
    void TearDown() override
    {
        // Every connection the test made has closed: none outlives the core it registered with.
        EXPECT_TRUE(PumpUntil([&] { return !m_core.HasApplications(); }));
        m_pListener.reset();
        m_app.m_pJexSocket.reset();
        m_core.SetJexSender(nullptr);
    }

    // Jex in session after its greeting (flag 1: Jex ciphers passwords), then what the script says,
    // then it records everything until the link closes.
    bool StartJex(const std::string& script, int nFlags = 0, const Files& files = {})
    {
        if (!Connect("handshake push=0\ngreet " + std::to_string(nFlags) + " 5.4.9.6 0.0.0.0\n" + script + "drain\n",
                     files) ||
            !WaitForGreeting())
            return false;
        m_pLink->SetApplicationRelay(&m_core);
        m_core.SetJexSender(m_pLink.get());
        m_app.m_pJexSocket = std::shared_ptr<CJexSocket>(m_pLink.get(), [](CJexSocket*) {});
        return true;
    }

    // Starts the old application with its script; "{dir}" names its folder.
    bool StartApp(std::string script, const Files& files = {})
    {
        m_pApp = std::make_unique<CPeerProcess>();
        for (const auto& [name, bytes] : files)
            if (!m_pApp->WriteFile(name.c_str(), bytes)) return false;
        for (size_t at; (at = script.find("{dir}")) != std::string::npos;)
            script.replace(at, 5, m_pApp->UnixFolder());
        return m_pApp->WriteFile(L"script", script) &&
               m_pApp->Start(LUMO_PYTHON, LUMO_OLD_APP, "{dir} " + std::to_string(m_nPort) + " {dir}/script");
    }
    // Waits for the application's end and for its connections to close here; whether it passed.
    bool FinishApp(int nConnections)
    {
        const int nExit = m_pApp->ExitCode(60000);
        EXPECT_EQ(nExit, 0) << m_pApp->ReadFile(L"log");
        const bool bClosed = PumpUntil([&] { return m_app.m_nChecks >= m_nChecksBefore + nConnections; });
        EXPECT_TRUE(bClosed) << "the application's connections closed";
        m_nChecksBefore = m_app.m_nChecks;
        return nExit == 0 && bClosed;
    }
    CAppSocket* OldSocket(long nApplicationId)
    {
        return dynamic_cast<CAppSocket*>(m_core.FindOldApplication(nApplicationId));
    }
    // A setting the application can read back without a round to Jex.
    void StoreSetting(long nApplicationId, long nSettingId, const wchar_t* pszName)
    {
        m_core.StoreApplicationSetting(nApplicationId,
                                       CAppPortRelays::MakeApplicationSetting(nSettingId, pszName, 1, L"t"));
    }

    Lines& m_effects = m_app.m_effects;
    COldPortDlg m_dlg{m_app.m_effects};
    CAgentSettingStore m_store;
    CSessionCore m_core{m_app};
    std::unique_ptr<CAppSocket> m_pListener;
    UINT m_nPort = 0;
    std::unique_ptr<CPeerProcess> m_pApp;
    int m_nChecksBefore = 0;
};

// ---- framing and registration ----

TEST_F(OldPortTest, AUtf16ApplicationIsKnownFromItsFirstLineEvenWhenItsFirstByteComesAlone)
{
    ASSERT_TRUE(StartJex(""));
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("encoding wide\n"
                         "split 'APLGIN 5' 1\n"
                         "expect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "send 'WRCACL Gr\\u00fc\\u00dfe \\u2713'\n"
                         // A character whose low byte is 0x0D ends no line.
                         "send 'WRCACL \\u0d00\\u0100x'\n"
                         "mark registered\nwaitfile go\n"
                         "expect 'STAQUE Gr\\u00f6\\u00dfe \\u2713'\n"));
    ASSERT_TRUE(m_pApp->WaitForFile(L"registered"));
    ASSERT_NE(OldSocket(5), nullptr);
    EXPECT_TRUE(OldSocket(5)->IsWide());
    m_core.BroadcastQueueStatistics(L"Gr\u00f6\u00dfe \u2713");
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    ASSERT_TRUE(FinishApp(1));
    ExpectJexLines(Finish(), {L"WRCACL Gr\u00fc\u00dfe\x0c\u2713", L"WRCACL \u0d00\u0100x", L"ALOGOF"});
}

// The port has no escapes and its lines end at a CR: a CR inside a text from Jex (a queue
// statistic, a transfer result, a message for the replay master) arrives as a blank, and each text
// is one line in either encoding. A line feed is text there.
TEST_F(OldPortTest, AReturnInsideATextNeverEndsALineEarly)
{
    ASSERT_TRUE(StartJex(""));
    long nId = 4;
    for (const char* pszEncoding : {"encoding ansi cp1252", "encoding wide"})
    {
        SCOPED_TRACE(pszEncoding);
        StoreSetting(++nId, 1, L"s");
        ASSERT_TRUE(StartApp(std::string(pszEncoding) + "\nsend 'APLGIN " + std::to_string(nId) +
                             "'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                             "mark registered\nwaitfile go\n"
                             "expect 'STAQUE a NEXCAL b'\n"
                             "expect 'TRACAL 31 ALOGOF  x'\n"
                             "expectre 'SNDMSG Name = \"Sup One\" Reply = \"c.*NEXCAL.*d\" '\n"
                             "expect 'STAQUE end'\n"));
        ASSERT_TRUE(m_pApp->WaitForFile(L"registered"));
        m_core.BroadcastQueueStatistics(L"a\rNEXCAL\rb");
        m_core.BroadcastTransferCall(31, L"ALOGOF\r\rx");
        CMessage message;
        message.m_strText = L"c\rNEXCAL\nd";
        EXPECT_TRUE(m_core.SendMessageToReplayMaster(L"Sup One", message));
        m_core.BroadcastQueueStatistics(L"end");
        ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
        ASSERT_TRUE(FinishApp(1));
    }
    ExpectLines(m_effects, {}); // no line was read as an unknown word
    ExpectJexLines(Finish(), {L"ALOGOF"});
}

TEST_F(OldPortTest, AnAnsiApplicationStaysAnsiWhateverItsLinesHoldAfterRegistering)
{
    ASSERT_TRUE(StartJex(""));
    StoreSetting(6, 1, L"s");
    ASSERT_TRUE(
        StartApp("encoding ansi cp1252\n"
                 // One byte alone decides nothing: the second one shows ANSI.
                 "split 'APLGIN 6' 1\n"
                 "expect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                 "send 'T\\x00'\n"
                 "send 'WRCACL Gr\\u00fc\\u00dfe'\n"
                 "send 'GETASE 1'\nexpect 'GETASE Del = \"0\" Id = \"1\" Name = \"s\" lValue = \"1\" strValue = "
                 "\"t\" '\n"
                 "mark registered\nwaitfile go\n"
                 "expect 'STAQUE Gr\\u00f6\\u00dfe'\n"));
    ASSERT_TRUE(m_pApp->WaitForFile(L"registered"));
    ASSERT_NE(OldSocket(6), nullptr);
    EXPECT_FALSE(OldSocket(6)->IsWide());
    m_core.BroadcastQueueStatistics(L"Gr\u00f6\u00dfe");
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    ASSERT_TRUE(FinishApp(1));
    ExpectJexLines(Finish(), {L"WRCACL Gr\u00fc\u00dfe", L"ALOGOF"});
    ExpectLines(m_effects, {L"PostMessageBox Command T from Application not supported !"});
}

TEST_F(OldPortTest, RegistrationIsRefusedForATakenIdOrANonNumberAndNotRepeated)
{
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "connect taken\nsend 'APLGIN 5'\nclosed\n"
                         "connect word\nsend 'APLGIN x5'\nclosed\n"
                         "connect big\nsend 'APLGIN 2147483648'\nclosed\n"
                         "connect blank\nsend 'APLGIN'\nclosed\n"
                         "use main\n"
                         // Registered once: a second APLGIN is no new id and gets no answer.
                         "send 'APLGIN 9'\n"
                         "send 'GETASE 1'\nexpectre 'GETASE Del = .*'\n"
                         "mark checked\nwaitfile go\n"));
    ASSERT_TRUE(m_pApp->WaitForFile(L"checked"));
    EXPECT_NE(OldSocket(5), nullptr);
    EXPECT_EQ(m_core.FindOldApplication(9), nullptr);
    EXPECT_EQ(m_core.GetReplayMaster(), 5);
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    ASSERT_TRUE(FinishApp(1)); // the refused connections were destroyed without closing notices
    EXPECT_EQ(m_core.FindOldApplication(5), nullptr);
    EXPECT_EQ(m_core.GetReplayMaster(), -1);
}

// ---- interview data and the refusal log ----

void LateOnLeapDay(SYSTEMTIME& utc)
{
    utc = SYSTEMTIME{2024, 2, 4, 29, 23, 30, 5, 0};
}

TEST_F(OldPortTest, InterviewDataGoToJexOnlyWithTheirChecksumAndARefusalIsLogged)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lumo-oldport-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    const std::filesystem::path log = folder / "refused.log";
    m_app.m_strLogFile = log.wstring().c_str();
    TIME_ZONE_INFORMATION zone{};
    zone.Bias = -60;
    CAppPortRelays::SetClock(&LateOnLeapDay, &zone);

    std::string interview(3000, '\0');
    for (size_t i = 0; i < interview.size(); ++i)
        interview[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    interview[10] = '\r'; // a CR in the payload is data, not a line end
    const DWORD nCrc = CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>(interview.data()),
                                                          static_cast<unsigned long>(interview.size()));
    const std::string crc = std::to_string(nCrc);
    ASSERT_TRUE(StartJex("expectpayload 'SNDINT 4 31 3000 " + crc +
                             " 0' 2 crc=3 same={dir}/interview\n"
                             "expectpayload 'SNDINT 5 33 3000 " +
                             crc +
                             " 0' 2 crc=3 same={dir}/interview\n"
                             "expectpayload 'SNDINT 6 34 3000 " +
                             crc +
                             " 0' 2 crc=3 same={dir}/interview\n"
                             "expectline WRCACL after\n",
                         0, {{L"interview", interview}}));
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "payload {dir}/interview 'SNDINT 4 31 {size} {crc}'\n"
                         "payload {dir}/interview 'SNDINT 4 32 {size} 12345'\n"
                         "payloadsplit {dir}/interview 'SNDINT 5 33 {size} {crc}'\n"
                         "send 'SNDINT 1 2 3'\n" // no length: only the line goes
                         "connect wide\nencoding wide\nsend 'APLGIN 7'\nexpect 'APLGIN 5.4.9.6'\n"
                         "expect 'AGSTAT Ready'\n"
                         "payload {dir}/interview 'SNDINT 6 34 {size} {crc}'\n"
                         "send 'WRCACL after'\n"
                         "use main\nsend 'GETASE 1'\nexpectre 'GETASE Del.*'\n",
                         {{L"interview", interview}}));
    ASSERT_TRUE(FinishApp(2));
    CAppPortRelays::SetClock(nullptr, nullptr);
    const std::wstring wideCrc = Num(nCrc);
    ExpectJexLines(Finish(), {L"SNDINT 4 31 3000 " + wideCrc + L" 0", L"SNDINT 5 33 3000 " + wideCrc + L" 0",
                              L"SNDINT 6 34 3000 " + wideCrc + L" 0", L"WRCACL after", L"ALOGOF"});
    std::ifstream file(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    const DWORD nWrongCrc = nCrc; // the bytes are the same; only the announced value was wrong
    EXPECT_EQ(text, "00:30:05  01-03-2024 Not relaying interview data for Survey <4>, Call <32> to Jex: Invalid "
                    "Checksum when data was received (Calculated " +
                        std::to_string(nWrongCrc) + " - should be 12345)\r\n");
    file.close();
    std::filesystem::remove_all(folder);
}

// ---- the log-on ----

TEST_F(OldPortTest, WithCipheredPasswordsOnlyTheSocketsOwnSuccessfulCheckLetsItLogOn)
{
    const std::string offset = std::to_string(CTimeTools::GetCurrentUTCOffsetLocal());
    ASSERT_TRUE(StartJex("expectline CHKPWD 1 7 WRONG\nsend CHKPWD 7 1\n"
                         "expectline CHKPWD 1 7 ABCD\nsend CHKPWD 7 0\n"
                         "expectline ALOGON 7 3 " +
                             offset + "\n",
                         1));
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "send 'ALOGON 7 0'\n" // no check of its own yet
                         "send 'CHKPWD 7 WRONG'\nexpect 'CHKPWD 1'\n"
                         "send 'ALOGON 7 0'\n" // the check failed
                         "send 'CHKPWD 7 ABCD'\nexpect 'CHKPWD 0'\n"
                         "send 'ALOGON 8 0'\n" // checked for another agent
                         "send 'ALOGON 7'\n"   // too few numbers: nothing, and the next line is read
                         "send 'ALOGON 7 0'\n"
                         "send 'GETASE 1'\nexpectre 'GETASE Del.*'\n"));
    ASSERT_TRUE(FinishApp(1));
    EXPECT_EQ(m_app.m_nLocationId, 17) << "location 0 is the desktop's own from the registry";
    EXPECT_EQ(m_app.GetAgent().m_nId, 7);
    ExpectJexLines(Finish(), {L"CHKPWD 1 7 WRONG", L"CHKPWD 1 7 ABCD",
                              L"ALOGON 7 3 " + Num(CTimeTools::GetCurrentUTCOffsetLocal()), L"ALOGOF"});
}

TEST_F(OldPortTest, WithoutCipheredPasswordsALogOnNeedsNoCheckAndAuthenticationRefusesIt)
{
    ASSERT_TRUE(StartJex("", 0));
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "send 'ALOGON 9 4'\n"
                         "send 'GETASE 1'\nexpectre 'GETASE Del.*'\n"
                         "mark first\nwaitfile go\n"
                         "send 'ALOGON 10 5'\n"
                         "send 'CHGPWD 10 AB CD'\n"
                         "send 'GETASE 1'\nexpectre 'GETASE Del.*'\n"));
    ASSERT_TRUE(m_pApp->WaitForFile(L"first"));
    EXPECT_EQ(m_app.m_nLocationId, 4);
    EXPECT_EQ(m_app.GetAgent().m_nId, 9);
    m_app.m_bUseAuthentication = TRUE; // the Windows account logs the desktop on: no agent log-on by id
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    ASSERT_TRUE(FinishApp(1));
    EXPECT_EQ(m_app.m_nLocationId, 4);
    EXPECT_EQ(m_app.GetAgent().m_nId, 9);
    ExpectJexLines(Finish(), {L"ALOGON 9 3 " + Num(CTimeTools::GetCurrentUTCOffsetLocal()), L"ALOGOF"});
}

// ---- logging off ----

// Logging off closes every old-port application's connection: the one that asked, an idle one,
// and one whose settings request is waiting for Jex meanwhile, which gets no answer after the
// close. Each leaves the register at once; the objects of the two whose handlers are still
// running outlive the close until their handlers return, and then go too.
TEST_F(OldPortTest, LoggingOffClosesEveryOldPortConnection)
{
    const int nObjectsBefore = CAppSocket::GetInstanceCount();
    CSessionCore::Timings timings;
    timings.nRegistrationPauseMs = 0;
    timings.nSettingsWaitRounds = 1000; // no Jex here: the log-off ends the wait
    timings.nSettingsWaitStepMs = 10;
    m_core.SetTimings(timings);
    CRecordingJex jex;
    jex.m_onRequest = [&] { EXPECT_TRUE(m_pApp->WriteFile(L"waiting", "1")); };
    m_core.SetJexSender(&jex);
    m_dlg.m_onLogOff = [&] {
        const int nObjects = CAppSocket::GetInstanceCount();
        m_core.CloseOldApplications();
        EXPECT_FALSE(m_core.HasApplications());
        EXPECT_EQ(CAppSocket::GetInstanceCount(), nObjects - 1) << "only the idle link's object is gone";
        m_core.SetApplicationSettingsComplete();
    };
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "connect idle\nsend 'APLGIN 6'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "connect waiting\nsend 'APLGIN 7'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "send 'GETASE 1'\n"
                         "use main\nwaitfile waiting\nsend 'ALOGOF'\nclosed\n"
                         "use idle\nclosed\n"
                         "use waiting\nclosed\n"));
    ASSERT_TRUE(FinishApp(3));
    m_core.SetJexSender(nullptr);
    EXPECT_FALSE(m_core.HasApplications());
    EXPECT_TRUE(PumpUntil([&] { return CAppSocket::GetInstanceCount() == nObjectsBefore; }))
        << CAppSocket::GetInstanceCount() - nObjectsBefore << " connection objects left";
    EXPECT_EQ(jex.m_sent, Lines{L"RQASFA -1 -93 1"});
    ExpectLines(m_effects, {L"LogOff"});
}

// ---- every other word, and what the desktop sends in the old dialect ----

struct WordCase
{
    const char* line; // what the application sends
    Lines effects;    // on the main window and the application object
    Lines jex;        // what Jex receives
};

TEST_F(OldPortTest, EveryWordReachesItsReceiverAndTheOldDialectComesBack)
{
    CMailMessage mail;
    mail.m_strFrom = L"a@x";
    mail.AddTo(L"b@x");
    mail.AddTo(L"c@x");
    mail.AddTo(L"d@x");
    mail.AddBcc(L"e@x");
    mail.m_strSubject = L"Hi";
    mail.m_strText = L"Text";
    CString strMail;
    mail.GetText(strMail, true);
    const std::wstring mailLine = L"SNDMAI 31 " + CAsyncSocketEx::EscapeParameter(strMail).Str() + L" 0";
    const WordCase kCases[] = {
        {"ENDCAL 3 5 QoCallId = \"31\" Note = \"x\" ",
         {L"RequestPause 5 1", L"EndCall 3 [QoCallId = \"31\" Note = \"x\" ] 31"}},
        {"ENDCAL 3 -2 Note = \"y\" ", {L"EndCall 3 [Note = \"y\" ] 0"}},
        {"ENDCAL 2 -1", {L"RequestPause -1 1", L"EndCall 2 [] 0"}},
        {"LSTAGE 1", {L"RequestAgentList -1 12 0"}},
        {"LSTAGE 0", {L"RequestAgentList -1 12 1"}},
        {"LSTPAU", {L"RequestPauseList -1 12"}},
        {"STAPAU", {L"SetPauseStateFor 1 12"}},
        {"ENDPAU", {L"SetPauseStateFor 0 -1"}},
        {"SNDMSG 44 Call me back",
         {},
         {L"~SNDMSG .*rcpts.x0c=.x0c\"44\u00a7\".*sid.x0c=.x0c\"7\".*text.x0c=.x0c\"Call.x0cme.x0c"
          L"back\".* 0"}},
        {"MANDIA 0301234 \"Mr Lee\"", {L"Dial -1 12 [0301234] [Mr Lee]"}},
        {"MANDIA \"+49 30\"", {L"Dial -1 12 [+49 30] []"}},
        {"CHGPWD 7 ABCD EFGH", {}, {L"CHGPWD 1 7 ABCD EFGH"}},
        {"RECCAL 31", {L"RecordCall -1 31"}},
        {"TRAFER 1 2", {}},
        {"TRF_OK", {}, {L"OKTRAN 1"}},
        {"TRFNOK", {}, {L"OKTRAN 0"}},
        {"REJCAL 31", {}, {L"REJCAL 31 0"}},
        {"ONHOLD 31", {}, {L"ONHOLD 31"}},
        {"TAKBAC 31", {}, {L"TAKBAC 31"}},
        {"NEXCAL", {}, {L"NEXCAL"}},
        {"UPDQTA 1 2", {}},
        {"STATRG 1 2", {}, {L"STATRG 1 2"}},
        {"STATRG 1", {}},
        {"CANTRG 3 4", {}, {L"CANTRG 3 4"}},
        {"CANTRG 3 4 5", {}},
        {"QRESTA 6 31 Question one", {}, {L"QRESTA 6 31 Question\x0cone"}},
        {"QREEND 6 31", {L"StopQuestionRecording 6 31"}},
        {"SNDMAL CallId = \"31\" From = \"a@x\" To = \"b@x,c@x;\xa7"
         "d@x;\" Bcc = \"e@x\" Subject = \"Hi\" "
         "Body = \"Text\" ",
         {},
         {mailLine}},
        {"RQKISD 1", {}},
        {"CANKIN", {}},
        {"ENDKIN", {}},
        {"MODKIN", {}},
        {"CANMOD", {}},
        {"CALLOU 030", {}},
        {"REQTSK 99", {}, {L"REQTSK 99"}},
        {"WRCACL class A",
         {},
         {L"WRCACL class\x0c"
          L"A"}},
        {"LSTLOC", {}, {L"LSTLOC -1 12"}},
        {"LSTSUP", {L"RequestAgentList -1 12 2"}},
        {"TRACAL 31 204", {}, {L"TRACAL 31 204"}},
        {"TRACAL 31", {}},
        {"TAGCAL 31 \"very important\"", {}, {L"TAGCAL 31 very\x0cimportant"}},
        {"TAGCAL 31 a b", {}},
        {"PLSSTA 31 beep.wav", {}, {L"PLSSTA -1 31 beep.wav"}},
        {"PLSEND 31", {}, {L"PLSEND -1 31"}},
        {"TSKRES 9 1 2 3", {}, {L"TSKRES 9 1;2;3"}},
        {"JOIOGR 4", {}, {L"JOIOGR 4"}},
        {"SAVASE 70 Colour 5 dark blue", {}},
        {"LSTOGR", {}, {L"LSTOGR -1 12"}},
    };
    std::string script = "send 'APLGIN 12'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n";
    Lines effects, jex;
    for (const WordCase& c : kCases)
    {
        std::wstring line;
        for (const char* p = c.line; *p; ++p)
            line += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        script += "send " + Quoted(line) + "\n";
        effects.insert(effects.end(), c.effects.begin(), c.effects.end());
        jex.insert(jex.end(), c.jex.begin(), c.jex.end());
    }
    // Read back in the order sent: the answers show that every line before them was handled.
    script += "send 'GETASE 70'\n"
              "expect 'GETASE Del = \"0\" Id = \"70\" Name = \"Colour\" lValue = \"5\" strValue = \"dark blue\" '\n"
              "send 'GETASE -1'\nexpect 'GETASE '\n" // built in only for BrennClient
              "mark sent\nwaitfile go\n"
              "expect 'LSTAGE Firstname1 = \"Ann\" Firstname2 = \"Bo\" Id1 = \"9\" Id2 = \"10\" Surname1 = \"Lee\" "
              "Surname2 = \"Nu\" '\n"
              "expect 'LSTSUP Firstname1 = \"Ann\" Firstname2 = \"Bo\" Id1 = \"9\" Id2 = \"10\" Surname1 = \"Lee\" "
              "Surname2 = \"Nu\" '\n"
              "expect 'LSTLOC Computer1 = \"PC1\" Id1 = \"2\" Name1 = \"Booth\" '\n"
              "expect 'LSTOGR Id1 = \"4\" Id2 = \"6\" Name1 = \"Sales\" Name2 = \"Care\" '\n"
              "expect 'PAUSES Lunch\\xa7"
              "Break\\xa7'\n"
              "expect 'TRAAGE 1 '\n"
              "expect 'TRAAGE 0 No ring'\nexpect 'TRAAGE 0 Busy'\nexpect 'TRAAGE 0 No answer'\n"
              "expect 'TRAAGE 0 No free channel available'\nexpect 'TRAAGE 0 Agent not logged on'\n"
              "expect 'TRAAGE 0 Agent not available'\nexpect 'TRAAGE 0  '\nexpect 'TRAAGE 0 Unknown error'\n"
              "expect 'TRAAGE 0  '\n"
              "expect 'SNDMSG Name = \"Sup One\" Reply = \"Call me\" '\n"
              "expect 'SNDINT 4 31'\n"
              "expect 'PLSEND 31 1'\nexpect 'QREEND 31 3'\n"
              "expect 'TSKRES 9 3 3 " +
              std::to_string(CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>("res"), 3)) +
              "'\n"
              "expectbytes res\n"
              "expect 'TSKRES 9'\n"
              // The pause list's ids, in its order: index 1 is reason 7; past its end the index itself.
              "send 'PAUSES 1'\nsend 'PAUSES 5'\n"
              "send 'GETASE 70'\nexpectre 'GETASE Del.*'\n";
    effects.insert(effects.end(), {L"RequestPause 7 0", L"RequestPause 5 0"});

    m_app.GetAgent().m_nId = 7;
    ASSERT_TRUE(StartJex(""));
    ASSERT_TRUE(StartApp(script));
    ASSERT_TRUE(m_pApp->WaitForFile(L"sent"));
    const CString strAgents = L"Count = \"2\" FN0 = \"Ann\" FN1 = \"Bo\" ID0 = \"9\" ID1 = \"10\" LN0 = \"Lee\" "
                              L"LN1 = \"Nu\" ";
    m_core.SendAgentList(8, 12, L"0", strAgents);
    m_core.SendAgentList(8, 12, L"2", strAgents);
    m_core.SendAgentList(8, 13, L"2", strAgents); // another application's
    m_core.SendLocationList(8, 99, L"CNM0 = \"PC1\" Count = \"1\" ID0 = \"2\" NM0 = \"Booth\" ");
    m_core.SendOutboundGroupList(8, 12, L"4 = \"Sales\" 6 = \"Care\" ");
    m_core.SendPauseList(8, 12, L"7 = \"Break\" 3 = \"Lunch\" ");
    for (int nResult = 0; nResult <= 10; ++nResult)
        m_core.BroadcastTransferAgentResult(nResult);
    CMessage message;
    message.m_strText = L"Call me";
    EXPECT_TRUE(m_core.SendMessageToReplayMaster(L"Sup One", message)) << "the first old application holds the role";
    m_core.SendInterviewConfirmation(12, TRUE, 4, 30); // from the current port: not this application's
    m_core.SendInterviewConfirmation(12, FALSE, 4, 31);
    m_core.SendCallAnswer(IApplicationRelay::answerSoundEnd, 12, 6, 31, 1);
    m_core.SendCallAnswer(IApplicationRelay::answerRecordingEnd, 12, 6, 31, 3);
    m_core.SendTaskResource(12, 9, 3, reinterpret_cast<const BYTE*>("res"), 3,
                            CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>("res"), 3));
    m_core.SendTaskResource(12, 9, -1, nullptr, 0, 0);
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    ASSERT_TRUE(FinishApp(1));
    ExpectLines(m_effects, effects);
    jex.push_back(L"ALOGOF");
    ExpectJexLines(Finish(), jex);
}

// SHOWLC with real windows: any mode but 0, 1 and 2 shows (7 is no window command here), 2
// minimises (the progress dialog hides), 1 restores, 0 hides and clears the visible flag. Each time
// the applications hear the agent state again.
TEST_F(OldPortTest, ShowlcMinimisesRestoresHidesAndShowsTheDesktop)
{
    // The main window and the progress dialog; the tracked dialogs go the main window's way (the
    // current port's test shows them), and each window more costs seconds of Wine's waits.
    CRecordingParent main, connection;
    ASSERT_TRUE(main.Create() && connection.Create());
    m_dlg.m_pWnd = &main;
    m_app.m_pConnectionWnd = &connection;
    const auto shows = [&](bool bVisible, bool bIconic, bool bConnectionVisible) {
        return !main.IsWindowVisible() == !bVisible && (!bVisible || !main.IsIconic() == !bIconic) &&
               !connection.IsWindowVisible() == !bConnectionVisible;
    };
    StoreSetting(5, 1, L"s");
    std::string script = "send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n";
    for (const char* pszMode : {"7", "2", "1", "0"})
        script += std::string("send 'SHOWLC ") + pszMode + "'\nexpect 'AGSTAT Ready'\nmark shown" + pszMode +
                  "\nwaitfile looked" + pszMode + "\n";
    ASSERT_TRUE(StartApp(script));
    struct Step
    {
        const wchar_t* pszMode;
        bool bVisible, bIconic, bConnectionVisible;
        const char* why;
    };
    const Step steps[] = {
        {L"7", true, false, true, "shown: passed on as a window command, 7 would minimise them"},
        {L"2", true, true, false, "minimised; a minimised desktop hides its progress dialog"},
        {L"1", true, false, true, "restored"},
        {L"0", false, false, false, "hidden"},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.why);
        ASSERT_TRUE(m_pApp->WaitForFile((std::wstring(L"shown") + step.pszMode).c_str()));
        EXPECT_TRUE(PumpUntil([&] { return shows(step.bVisible, step.bIconic, step.bConnectionVisible); }, 2000));
        EXPECT_EQ(m_app.m_bVisible, step.bVisible ? TRUE : FALSE);
        ASSERT_TRUE(m_pApp->WriteFile((std::wstring(L"looked") + step.pszMode).c_str(), "1"));
    }
    ASSERT_TRUE(FinishApp(1));
}

TEST_F(OldPortTest, BrennClientReadsItsBuiltInSettingsAndTheCacheForTheRest)
{
    m_app.m_permissions = {5};
    ASSERT_TRUE(StartJex(""));
    ASSERT_TRUE(StartApp("send 'APLGIN 0'\nexpect 'APLGIN 5.4.9.6'\n"
                         "send 'GETASE -1'\nexpect 'GETASE Del = \"0\" Id = \"-1\" Name = \"OrvialFullScreen\" "
                         "lValue = \"1\" strValue = \"OrvialFullScreen\" '\n"
                         "send 'GETASE -2'\nexpect 'GETASE Del = \"0\" Id = \"-2\" Name = \"OrvialHideLumo\" "
                         "lValue = \"0\" strValue = \"OrvialHideLumo\" '\n"
                         // No third built-in here: Jex is asked for BrennClient's settings, in vain.
                         "send 'GETASE -3'\nexpect 'GETASE '\n"
                         "send 'SAVASE -3 Rec 1 on'\n"
                         "send 'GETASE -3'\nexpect 'GETASE Del = \"0\" Id = \"-3\" Name = \"Rec\" lValue = \"1\" "
                         "strValue = \"on\" '\n"));
    ASSERT_TRUE(FinishApp(1));
    ExpectJexLines(Finish(), {L"RQASFA -1 -100 1", L"ALOGOF"});
}

// ---- what stops the reading of lines ----

TEST_F(OldPortTest, AnUnknownWordIsShownLaterAndTheLinesBehindItAreServedAtOnce)
{
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "sendlines 'FOOBAR x y' 'GETASE 1'\nexpectre 'GETASE Del.*'\n"
                         "sendlines ' leading blank' 'GETASE 1'\nexpectre 'GETASE Del.*'\n"
                         // Logging off may close this very connection: nothing behind it is read now.
                         "sendlines ALOGOF 'GETASE 1'\nsilence 0.5\n"
                         "send 'GETASE 1'\nexpectre 'GETASE Del.*'\nexpectre 'GETASE Del.*'\n"));
    ASSERT_TRUE(FinishApp(1));
    ExpectLines(m_effects, {L"PostMessageBox Command FOOBAR from Application not supported !",
                            L"PostMessageBox Command  from Application not supported !", L"LogOff"});
}

// ---- what one program may make the desktop hold ----

SIZE_T WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

// Interview data announced and not sent cost what was sent, not what was announced; a length beyond
// what one connection may hold closes that connection.
TEST_F(OldPortTest, AnnouncedInterviewDataHoldsOnlyWhatArrived)
{
    constexpr int kConnections = 6;
    constexpr long long kMiB = 1024 * 1024;
    std::string script = "send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n";
    for (int i = 0; i < kConnections; ++i)
        script += "connect c" + std::to_string(i) + "\nsend 'SNDINT 1 2 " + std::to_string(60 * kMiB) +
                  " 7\\r0123456789'\n";
    script += "connect big\nsend 'SNDINT 1 2 " + std::to_string(256 * kMiB) + " 7'\nclosed\n"
              "use main\nsend 'GETASE 1'\nexpectre 'GETASE Del.*'\nmark sent\nwaitfile go\n";
    StoreSetting(5, 1, L"s");
    PumpUntilIdle();
    const SIZE_T nBefore = WorkingSet();
    ASSERT_TRUE(StartApp(script));
    ASSERT_TRUE(m_pApp->WaitForFile(L"sent", 60000));
    PumpUntilIdle();
    const SIZE_T nAfter = WorkingSet();
    EXPECT_LT(nAfter, nBefore + 32 * kMiB) << "announced: " << kConnections * 60 << " MiB; grew by "
                                           << (nAfter > nBefore ? (nAfter - nBefore) / kMiB : 0) << " MiB";
    EXPECT_EQ(CAppSocket::GetInstanceCount(), 2 + kConnections) << "the listener, main and the waiting ones";
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    EXPECT_EQ(m_pApp->ExitCode(60000), 0) << m_pApp->ReadFile(L"log");
    EXPECT_TRUE(PumpUntil([] { return CAppSocket::GetInstanceCount() == 1; })) << "every connection went";
}

// Any program may connect: past the bound a connection is closed at once, and the others are served.
TEST_F(OldPortTest, ConnectionsBeyondTheBoundAreClosedAtOnceAndTheOthersServed)
{
    std::string script = "send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n";
    for (int i = 1; i < CAppSocket::kMaxConnections; ++i)
        script += "connect c" + std::to_string(i) + "\n";
    script += "connect over\nclosed\n"
              "use main\nsend 'GETASE 1'\nexpectre 'GETASE Del.*'\n"
              "use c1\nclose\nsleep 0.5\nconnect again\nsend 'APLGIN 6'\nexpect 'APLGIN 5.4.9.6'\n";
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp(script));
    EXPECT_EQ(m_pApp->ExitCode(60000), 0) << m_pApp->ReadFile(L"log");
    EXPECT_TRUE(PumpUntil([] { return CAppSocket::GetInstanceCount() == 1; })) << "every connection went";
}

// A program may send unknown words by the thousand in one write: each is dropped in turn, the
// stack does not grow with them, and the word behind them is served.
TEST_F(OldPortTest, AFloodOfUnknownWordsIsDroppedOneByOneAndTheNextWordAnswered)
{
    constexpr size_t kFlood = 100000;
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("send 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "timeout 120\nflood " +
                         std::to_string(kFlood) + " 'NOSUCH{n} x' 'GETASE 1'\nexpectre 'GETASE Del.*'\n"));
    ASSERT_TRUE(FinishApp(1));
    ASSERT_EQ(m_effects.size(), kFlood) << "one box per unknown word, nothing else";
    EXPECT_EQ(m_effects.front(), L"PostMessageBox Command NOSUCH0 from Application not supported !");
    EXPECT_EQ(m_effects.back(), L"PostMessageBox Command NOSUCH99999 from Application not supported !");
}

// A multi-byte code page: Japanese text in the thread's ANSI page (932) keeps every byte, and the
// CR behind it, in both directions.
TEST_F(OldPortTest, AMultiByteCodePageKeepsItsLineEnds)
{
    const LCID previous = GetThreadLocale();
    ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT)));
    const std::string bytes = NarrowText(L"\u5f85\u3061", 2, CP_THREAD_ACP);
    if (bytes.size() != 4)
    {
        SetThreadLocale(previous);
        GTEST_SKIP() << "the thread locale does not choose code page 932 here";
    }
    ASSERT_TRUE(StartJex(""));
    StoreSetting(5, 1, L"s");
    ASSERT_TRUE(StartApp("encoding ansi cp932\nsend 'APLGIN 5'\nexpect 'APLGIN 5.4.9.6'\nexpect 'AGSTAT Ready'\n"
                         "send 'WRCACL \\u65e5\\u672c\\u8a9e'\n"
                         "mark registered\nwaitfile go\n"
                         "expect 'STAQUE \\u5f85\\u3061 3'\n"
                         "expect 'UPDSMO \\u534a'\n"));
    ASSERT_TRUE(m_pApp->WaitForFile(L"registered"));
    m_core.BroadcastQueueStatistics(L"\u5f85\u3061 3");
    m_core.BroadcastSemiOpensUpdate(L"\u534a");
    ASSERT_TRUE(m_pApp->WriteFile(L"go", "1"));
    const bool bFinished = FinishApp(1);
    SetThreadLocale(previous);
    ASSERT_TRUE(bFinished);
    ExpectJexLines(Finish(), {L"WRCACL \u65e5\u672c\u8a9e", L"ALOGOF"});
}

} // namespace
