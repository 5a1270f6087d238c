// The current application port over 127.0.0.1: the scripted local applications 0, 11 and 12
// (tests/peers/scripted_app.py) on one side, the scripted Jex (tests/peers/scripted_jex.py) on
// the other, and in between the listener, the session core and a recording main window.
#include "sessions/tests/AppPortFixture.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/CAppSocket.h"
#include "framework/testing/CPeerProcess.h"
#include "sessions/ListenOnFreePort.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <iphlpapi.h>
#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{

unsigned long Crc(const std::string& bytes)
{
    return crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
}

const BYTE* Bytes(const std::string& text)
{
    return reinterpret_cast<const BYTE*>(text.data());
}

std::string Num(unsigned long n)
{
    return std::to_string(n);
}

using AppPortTest = AppPortFixture;

// What waits for an application comes right after its APLGIN answer, in a fixed order; a second
// program under a taken id is closed unanswered, and a second APLGIN on a registered link changes
// nothing.
TEST_F(AppPortTest, RegistrationAnswersThenDeliversWhatWaitedInOrder)
{
    ASSERT_TRUE(ConnectJex("timeout 60\ndrain\n"));
    const std::string task = "task contents";
    m_core.PassTaskToBrennClient(7, Bytes(task), static_cast<DWORD>(task.size()), Crc(task), L"r1;r2");
    m_core.HoldSemiOpens(L"semi open");
    CSmartObjectPtr<CCallInfo> pCall(new CCallInfo(FALSE));
    pCall->m_nCallId = 31;
    pCall->m_nApplicationId = 0;
    pCall->m_nCallType = 1;
    pCall->m_nCallKind = 2;
    pCall->m_strTask = L"QoCallId = \"31\" ";
    m_core.AddCall(pCall);
    // Interview data for a call Jex has told nothing else about: its record has no information.
    const std::string interview = "answers";
    auto pData = std::make_unique<BYTE[]>(interview.size());
    std::copy(interview.begin(), interview.end(), pData.get());
    ASSERT_FALSE(m_core.ForwardInterviewData(0, 100, 32, pData, static_cast<DWORD>(interview.size()), Crc(interview)));
    m_dlg.m_bKeyIn = TRUE;

    StartApps("connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 4\n"
              "expect UPDTSK -1 13 7 " +
              Num(Crc(task)) +
              " r1;r2 bytes=text:task\\x20contents crc=3\n"
              "push UPDSMO semi open\n"
              "push CALINF \\S+\n"
              "push STACAL 2 QoCallId\\x0c=\\x0c\"31\"\\x0c\n"
              "expect SNDINT -1 7 100 32 " +
              Num(Crc(interview)) +
              " bytes=text:answers crc=4\n"
              "push STACAL -1 \\x08\n"
              "push ASSKYI 1\n"
              "connect second\n"
              "aplgin 0 1 id=3\n"
              "closed\n"
              "use brenn\n"
              "request ISVOIP\n"
              "answer ISVOIP 0\n"
              "connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 1 4\n"
              "connect other\n"
              "aplgin 12 0\n"
              "answer APLGIN 1 4\n"
              "use brenn\n"
              "aplgin 5 1\n"
              "silence 0.5\n"
              "mark registered\n"
              "wait checked\n");
    ASSERT_TRUE(m_pApps->WaitForMark(L"registered")) << m_pApps->Log();
    EXPECT_TRUE(m_core.FindApplication(0) && m_core.FindApplication(11) && m_core.FindApplication(12));
    EXPECT_FALSE(m_core.FindApplication(5)) << "a registered link is registered once";
    EXPECT_EQ(m_core.GetReplayMaster(), 11) << "the first registered id other than 0";
    EXPECT_FALSE(m_core.HasHeldTask(0));
    EXPECT_EQ(m_app.m_started, std::vector<long>{0});
    m_pApps->Release(L"checked");
    FinishApps();
    EXPECT_FALSE(m_core.HasApplications()) << "every closed link left its register";
}

// Without a Jex link the answer waits about 1.2 s for one, then says there is none.
TEST_F(AppPortTest, AplginAnswerWaitsForTheJexLink)
{
    m_core.SetJexSender(nullptr);
    StartApps("connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 0 4\n"
              "elapsed 1.1 3\n"
              "mark answered\n"
              "wait linked\n"
              "connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 1 4\n"
              "elapsed 0 0.6\n");
    ASSERT_TRUE(m_pApps->WaitForMark(L"answered")) << m_pApps->Log();
    m_core.SetJexSender(&m_recordingJex);
    m_pApps->Release(L"linked");
    FinishApps();
}

// The forwarding rows of the port, first while the desktop holds no Jex link (nothing may reach
// Jex), then with one: each arrives as Jex's request word. Interview data goes only with its CRC-32
// right, messages with the attachments that fit in their payload; Jex's answers come back routed.
TEST_F(AppPortTest, RequestsReachJexOnlyWithALinkAndAnswersComeBack)
{
    const std::string hello = "hello";
    const std::string jexScript = "expectline JOIOGR 5\n"
                                  "expectline REJCAL 31 0\n"
                                  "expectline FNDKYI a\\x0cb c\n"
                                  "expectline INTHBT 3 beat\n"
                                  "expectline LSTLOC 20 12\n"
                                  "expectline LSTOGR 21 12\n"
                                  "expectline NEXCAL\n"
                                  "expectline ONHOLD 31\n"
                                  "expectline PLSSTA 22 31 ding\n"
                                  "expectline PLSEND 23 31\n"
                                  "expectline QRESTA 24 31 q1\n"
                                  "expectline QREEND 25 31\n"
                                  "expectline REQTSK 9\n"
                                  "expectline STAIVR x 4 y\n"
                                  "expectline STAKYI 6\n"
                                  "expectline STOKYI 6\n"
                                  "expectline TAGCAL 31 tag\n"
                                  "expectline TRACAL 31 200\n"
                                  "expectline STATRG 2 3\n"
                                  "expectline CANTRG 2 3\n"
                                  "expectline TSKRES 9 r1;r2\n"
                                  "expect UPDANO 26 1 2 3 A\\x0c=\\x0c\"b\"\\x0c\n"
                                  "expectline WRCACL text\n"
                                  "expect APPLGN 1 user pw -?\\d+ x 17\n"
                                  "expectpayload 'SNDINT 100 31 5 " +
                                  Num(Crc(hello)) +
                                  " 1' 2 crc=3\n"
                                  "expect SNDMSG .*sid\\x0c=\\x0c\"77\".* 7\n"
                                  "readpayload 7 {dir}/message\n"
                                  "expect SNDMSG (?!.*attfn1).*attcnt\\x0c=\\x0c\"1\".* 3\n"
                                  "readpayload 3 {dir}/short\n"
                                  "expect SNDMAI 31 .*sid\\x0c=\\x0c\"77\".* 3\n"
                                  "readpayload 3 {dir}/mail\n"
                                  "send LSTOGR 21 12 '5 = \"Outbound A\" '\n"
                                  "send SNDINT 100 12 31 1\n"
                                  "send PLSSTA 22 31 0\n";
    ASSERT_TRUE(ConnectJex(jexScript));
    CSmartObjectPtr<CCallInfo> pCall(new CCallInfo(FALSE));
    pCall->m_nCallId = 31;
    pCall->m_nApplicationId = 12;
    m_core.AddCall(pCall);
    UseJex(false);
    const std::string requests =
        "request CHGOGR 5\n"
        "request DRPCAL 31\n"
        "request FNDKYI 'a b' c\n"
        "request INTHBT 3 beat\n"
        "request LSTLOC id=20\n"
        "request LSTOGR id=21\n"
        "request NEXCAL\n"
        "request ONHOLD 1 31\n"
        "request PLSSTA 31 ding id=22\n"
        "request PLSSTO 31 id=23\n"
        "request QRESTA 31 q1 id=24\n"
        "request QRESTO 31 id=25\n"
        "request REQTSK 9\n"
        "request STAIVR x 4 y\n"
        "request STAKYI 6\n"
        "request STOKYI 6\n"
        "request TAGCAL 31 tag\n"
        "request TRACAL 31 200\n"
        "request TRGPRD 1 2 3\n"
        "request TRGPRD 0 2 3\n"
        "request TSKRES 9 r1;r2\n"
        "request UPDANO 1 2 3 'A = \"b\" ' id=26\n"
        "request WRCACL text\n"
        "request ALOGON 1 user pw x\n"
        "payload SNDINT text:hello 100 31 {crc} pieces=2\n"
        "payload SNDINT text:hello 100 32 {crc} crc=bad\n"
        "payload SNDMSG text:abcdefg 'text = \"hi\" attcnt = \"2\" attfn0 = \"a.txt\" attsz0 = \"3\" attfn1 = "
        "\"b.bin\" attsz1 = \"4\" '\n"
        "payload SNDMSG text:abcdefg 'text = \"hi\" attcnt = \"2\" attfn0 = \"a.txt\" attsz0 = \"3\" attfn1 = "
        "\"b.bin\" attsz1 = \"40\" '\n"
        "payload SNDMAI text:xyz 31 'text = \"mail\" attcnt = \"1\" attfn0 = \"m.txt\" attsz0 = \"3\" '\n"
        "request ISVOIP\n"
        "answer ISVOIP 0\n";
    StartApps("connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 0 4\n"
              "push STACAL -1 \\x08\n" +
              requests + "mark absent\nwait linked\n" + requests +
              "answer LSTOGR 5\\x0c=\\x0c\"Outbound\\x0cA\"\\x0c id=21\n"
              "push SNDINT 100 31\n"
              "answer PLSSTA 31 0 id=22\n");
    ASSERT_TRUE(m_pApps->WaitForMark(L"absent")) << m_pApps->Log();
    const std::string absentLog = ReadLog();
    UseJex(true);
    m_pApps->Release(L"linked");
    FinishApps();
    Finish();
    EXPECT_EQ(m_pJex->ReadFile(L"message"), "abcdefg");
    EXPECT_EQ(m_pJex->ReadFile(L"short"), "abc") << "the attachment beyond the payload went";
    EXPECT_EQ(m_pJex->ReadFile(L"mail"), "xyz");
    const std::string refusal = "Not relaying interview data for Survey <100>, Call <32> to Jex: Invalid Checksum when "
                                "data was received (Calculated " +
                                Num(Crc(hello)) + " - should be " + Num(Crc(hello) + 1) + ")";
    EXPECT_NE(absentLog.find(refusal), std::string::npos) << absentLog;
    const std::string log = ReadLog();
    EXPECT_NE(log.find(refusal, absentLog.size()), std::string::npos) << "one refusal each time: " << log;
}

// A payload request with a wrong field count: its payload is dropped as announced, never read as
// lines; a length that is no number closes the link, as where its bytes end cannot be known.
TEST_F(AppPortTest, MisframedPayloadIsDroppedAndNeverReadAsLines)
{
    // "ALOGOF\r" in UTF-16LE: read as a line it would log the agent off.
    const char* pszLogoff = "hex:41004c004f0047004f0046000d00";
    StartApps(std::string("connect other\n"
                          "aplgin 12 1\n"
                          "answer APLGIN 1 4\n"
                          "payload SNDINT ") +
              pszLogoff +
              " 100 31 pieces=3\n"
              "request ISVOIP\n"
              "answer ISVOIP 0\n"
              "line SNDMSG {next} -1\n"
              "request ISVOIP\n"
              "answer ISVOIP 0\n"
              "line SNDINT {next} x 1 2\n"
              "closed\n"
              "connect second\n"
              "line SNDINT {next} 5\\x0cbytes 1 2 3\n"
              "closed\n");
    m_core.SetJexSender(&m_recordingJex);
    FinishApps();
    EXPECT_EQ(m_dlg.m_calls, std::vector<std::wstring>{}) << "nothing of the payload ran";
    const std::string log = ReadLog();
    EXPECT_NE(log.find("Dropping SNDINT of application <12> and its 14 bytes: 3 fields where 4 belong"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Dropping SNDMSG of application <12> and its 0 bytes"), std::string::npos) << log;
    EXPECT_NE(log.find("SNDINT announces a payload of no readable length <x>"), std::string::npos) << log;
    EXPECT_NE(log.find("announces a payload of no readable length <5 bytes>"), std::string::npos) << log;
}

// The rows that go to the main window, the local answers (with the request id, the word alone
// reading as request id 0), and showing and hiding the desktop with real windows.
TEST_F(AppPortTest, MainWindowRowsLocalAnswersAndShowing)
{
    CRecordingParent main;
    CRecordingParent connection;
    CRecordingParent password;
    ASSERT_TRUE(main.Create() && connection.Create() && password.Create());
    for (CWnd* pWnd : {static_cast<CWnd*>(&main), static_cast<CWnd*>(&connection), static_cast<CWnd*>(&password)})
        pWnd->ShowWindow(SW_SHOW);
    m_dlg.m_pWnd = &main;
    m_app.m_pConnectionWnd = &connection;
    m_app.m_pPassword = &password;
    m_app.m_bVoip = TRUE;
    m_core.SetJexSender(&m_recordingJex);
    StartApps("connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 1 4\n"
              "request LSTAGT 2 id=30\n"
              "request LSTPAU id=31\n"
              "request MANDIA 0123 'hi there' id=32\n"
              "request RECCAL 31 id=33\n"
              "request STAPAU 4 1\n"
              "request STOPAU\n"
              "request TKECAL 31\n"
              "request CALLHY 31 id=34\n"
              "request DODTMF 31 12# 1\n"
              "request DRPCAL -1\n"
              "request ENDTSK 2 'QoCallId = \"31\" '\n"
              "request AUMUTE 1 1\n"
              "request AUMUTE 2 0\n"
              "request AUMUTE 3 1\n"
              "request AUVLME 1 50\n"
              "request AUVLME 3 -1\n"
              "request AUMUTE 2 -5 id=40\n"
              "answer AUMUTE 2 1\n"
              "request AUVLME 1 -1 id=41\n"
              "answer AUVLME 1 75\n"
              "request ISVOIP id=42\n"
              "answer ISVOIP 1\n"
              "line ISVOIP\n"
              "expect ISVOIP 0 -1 1\n"
              "line ISVOIP x\n"
              "expect ISVOIP 0 -1 1\n"
              "line ISVOIP 7 more\n"
              "request REPLMA 1 0 id=43\n"
              "answer REPLMA 1\n"
              "request REPLMA 1 1 id=44\n"
              "answer REPLMA 0\n"
              "request SHOWLC 2\n"
              "push AGSTAT 4\n"
              "mark minimised\n"
              "wait looked\n"
              "request SHOWLC 0\n"
              "push AGSTAT 4\n"
              "mark hidden\n"
              "wait looked-again\n"
              "request ALOGOF\n"
              "request ISVOIP id=45\n"
              "answer ISVOIP 1\n");
    ASSERT_TRUE(m_pApps->WaitForMark(L"minimised")) << m_pApps->Log();
    PumpUntilIdle();
    EXPECT_TRUE(main.IsIconic());
    EXPECT_FALSE(connection.IsWindowVisible()) << "a minimised desktop hides its progress dialog";
    EXPECT_TRUE(password.IsIconic());
    EXPECT_TRUE(m_app.m_bVisible);
    EXPECT_EQ(m_core.GetReplayMaster(), 12);
    EXPECT_TRUE(m_core.IsReplayMasterLocked());
    m_pApps->Release(L"looked");
    ASSERT_TRUE(m_pApps->WaitForMark(L"hidden")) << m_pApps->Log();
    PumpUntilIdle();
    EXPECT_FALSE(main.IsWindowVisible());
    EXPECT_FALSE(password.IsWindowVisible());
    EXPECT_FALSE(m_app.m_bVisible);
    m_pApps->Release(L"looked-again");
    FinishApps();
    const std::vector<std::wstring> expected = {
        L"RequestAgentList 30 12 2",
        L"RequestPauseList 31 12",
        L"DialNumberForApplication 32 12 0123 [hi there]",
        L"RecordCall 33 31",
        L"RequestPause 4 1",
        L"EndPause",
        L"TakeCallById 31",
        L"RequestCallHistory 31 34 12",
        L"SendDtmfForCall 31 12# 1",
        L"DropCall the selected call",
        L"EndCall 2 [QoCallId = \"31\" ] 31",
        L"SetMasterMute 1",
        L"SetMicrophoneMute 0",
        L"SetMasterVolume 0.500000",
        L"LogOff",
    };
    EXPECT_EQ(m_dlg.m_calls, expected);
}

// Settings: the built-ins for Quillan, the cache, the wait for Jex during which the other
// applications stay served, and what an application saves coming back from the cache.
TEST_F(AppPortTest, SettingsFromBuiltInsCacheAndJex)
{
    // Jex's text for an application setting; how a record reads it is the record's business, so
    // the expected answer is what the record made of it, limited to its range.
    const CString strSetting = L"Id = \"5\" Name = \"Colour\" Value = \"12\" lValue = \"12\" strValue = \"blue\" ";
    CAgentSetting parsed;
    parsed.SetProperties(strSetting);
    const long nExpected = std::min<long>(std::max<long>(parsed.m_nValue, parsed.m_nMinimum), parsed.m_nMaximum);
    const std::string expectedValue = "(?=.*lValue\\x0c=\\x0c\"" + std::to_string(nExpected) + "\")";
    // The other application's request reaches Jex only while the first one's settings are awaited.
    ASSERT_TRUE(ConnectJex(std::string("expectline RQASFA 77 -88 1\n"
                                       "mark rqasfa\n"
                                       "expectline NEXCAL\n"
                                       "send UPDASE -88 ") +
                           "'" + std::string(CStringA(strSetting).GetString()) + "'" +
                           "\n"
                           "send UPDASE -88 ''\n"));
    m_app.m_nPermissions = 1 << 6;
    StartApps("connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 1 4\n"
              "connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 1 4\n"
              "use quillan\n"
              "request GETASE -2\n"
              "answer GETASE (?=.*Id\\x0c=\\x0c\"-2\")(?=.*Name\\x0c=\\x0c\"OrvialHideLumo\")"
              "(?=.*lValue\\x0c=\\x0c\"1\")(?=.*Del\\x0c=\\x0c\"0\").*strValue\\x0c=\\x0c\"OrvialHideLumo\".*\n"
              "request GETASE -3\n"
              "answer GETASE .*lValue\\x0c=\\x0c\"0\".*\n"
              "use other\n"
              "request GETASE 5 id=50\n"
              "use quillan\n"
              // Two links have no order between them: Quillan asks once the other's request is at Jex.
              "wait " + m_pJex->UnixFolder() + "/rqasfa\n"
              "request NEXCAL\n"
              "use other\n"
              "answer GETASE (?=.*Name\\x0c=\\x0c\"Colour\")" +
              expectedValue +
              ".*strValue.* id=50\n"
              "request GETASE -2\n"
              "answer GETASE \\x08\n"
              "request SAVASE 9 nm 42 'some text'\n"
              "request GETASE 9\n"
              "answer GETASE "
              "(?=.*Name\\x0c=\\x0c\"nm\")(?=.*lValue\\x0c=\\x0c\"42\").*strValue\\x0c=\\x0c\"some\\x0ctext\".*\n");
    FinishApps();
    Finish();
    const auto& cache = m_core.GetApplicationSettings();
    ASSERT_TRUE(cache.contains(-88));
    EXPECT_TRUE(cache.at(-88).contains(9)) << "saved under the application's number, its id - 100";
}

// The senders that the main window calls for one application reach it with their payloads.
TEST_F(AppPortTest, RelaySendersReachTheirApplication)
{
    m_core.SetJexSender(&m_recordingJex);
    const std::string history = "history";
    StartApps("connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 4\n"
              "mark registered\n"
              "expect CALLHY 8 7 31 " +
              Num(Crc(history)) +
              " bytes=text:history crc=3\n"
              "expect CALLHY 9 0 32 0\n"
              "expect TSKRES -1 7 4 2 " +
              Num(Crc(history)) +
              " bytes=text:history crc=4\n"
              "push TSKRES 4\n"
              "expect QTAUPD -1 7 100 3 bytes=text:history\n"
              "push KYIINT 6 key\\x0cin\n"
              "push STAKYI raw text\n"
              "push ASSKYI 0\n"
              "expect SNDINT -1 -1 100 31\n"
              "expect PLSSTO 5 -1 31 1\n"
              "expect QRESTA 6 -1 31 0\n"
              "expect QRESTO 7 -1 31 2\n");
    ASSERT_TRUE(m_pApps->WaitForMark(L"registered")) << m_pApps->Log();
    const BYTE* pHistory = Bytes(history);
    EXPECT_TRUE(m_relay.SendCallHistory(0, 8, 31, pHistory, 7, Crc(history)));
    EXPECT_TRUE(m_relay.SendCallHistory(0, 9, 32, nullptr, 0, 0));
    EXPECT_FALSE(m_relay.SendCallHistory(12, 9, 32, nullptr, 0, 0)) << "12 is not registered";
    m_core.SendTaskResource(0, 4, 2, pHistory, 7, Crc(history));
    m_core.SendTaskResource(0, 4, -1, nullptr, 0, 0); // Jex has no such resource
    EXPECT_TRUE(m_relay.SendQuotaUpdate(100, 3, pHistory, 7));
    EXPECT_TRUE(m_relay.SendKeyInInterview(6, L"key in"));
    EXPECT_TRUE(m_relay.SendStartKeyInResult(L"raw text"));
    EXPECT_TRUE(m_relay.SendAssignedToKeyIn(FALSE));
    m_core.SendInterviewConfirmation(0, FALSE, 1, 2); // the old port's: nothing here
    m_core.SendInterviewConfirmation(0, TRUE, 100, 31);
    m_core.SendCallAnswer(IApplicationRelay::answerSoundEnd, 0, 5, 31, 1);
    m_core.SendCallAnswer(IApplicationRelay::answerRecordingStart, 0, 6, 31, 0);
    m_core.SendCallAnswer(IApplicationRelay::answerRecordingEnd, 0, 7, 31, 2);
    FinishApps();
}

// Listening addresses of the system's TCP table on a port.
std::vector<DWORD> ListeningAddresses(UINT nPort)
{
    ULONG nSize = 0;
    ::GetTcpTable(nullptr, &nSize, FALSE);
    std::vector<BYTE> buffer(nSize + 4096);
    nSize = static_cast<ULONG>(buffer.size());
    std::vector<DWORD> addresses;
    if (::GetTcpTable(reinterpret_cast<PMIB_TCPTABLE>(buffer.data()), &nSize, FALSE) != NO_ERROR) return addresses;
    const auto* pTable = reinterpret_cast<const MIB_TCPTABLE*>(buffer.data());
    for (DWORD i = 0; i < pTable->dwNumEntries; ++i)
    {
        const MIB_TCPROW& row = pTable->table[i];
        if (row.dwState == MIB_TCP_STATE_LISTEN && ntohs(static_cast<u_short>(row.dwLocalPort)) == nPort)
            addresses.push_back(row.dwLocalAddr);
    }
    return addresses;
}

// A taken port moves the listener on to the next one; every listener is on 127.0.0.1 alone.
TEST_F(AppPortTest, ListenersTakeTheNextPortAndOnlyLoopback)
{
    const UINT nFirst = m_listener.GetListeningPort();
    CLumoClientSocket second(m_core, m_app);
    ASSERT_TRUE(second.StartListening(nFirst));
    EXPECT_GT(second.GetListeningPort(), nFirst);
    EXPECT_LE(second.GetListeningPort(), nFirst + CLumoClientSocket::kPortSearch);

    // The table does show a socket on all addresses: the check below can see what it looks for.
    CAsyncSocket wide;
    ASSERT_TRUE(wide.Create(0, SOCK_STREAM, FD_ACCEPT));
    ASSERT_TRUE(wide.Listen());
    CString strAddress;
    UINT nWidePort = 0;
    ASSERT_TRUE(wide.GetSockName(strAddress, nWidePort));
    EXPECT_EQ(ListeningAddresses(nWidePort), std::vector<DWORD>{htonl(INADDR_ANY)});

    const std::vector<DWORD> loopback{htonl(INADDR_LOOPBACK)};
    EXPECT_EQ(ListeningAddresses(nFirst), loopback);
    EXPECT_EQ(ListeningAddresses(second.GetListeningPort()), loopback);
}

// The search of both ports' listeners, with the binding played by a table: which ports it tries
// and what it gives back.
struct PortSearchCase
{
    UINT nPort;
    UINT nFurtherPorts;
    std::vector<int> errors; // per try, the last repeated: 0 binds, else the error of the try
    UINT nFirstTried, nLastTried;
    UINT nResult;
    int nLastError; // when nothing was taken
    const char* why;
};
const PortSearchCase kPortSearchCases[] = {
    {5000, 100, {0}, 5000, 5000, 5000, 0, "a free port is taken at once"},
    {5000, 100, {WSAEADDRINUSE, WSAEACCES, 0}, 5000, 5002, 5002, 0, "in use and refused both step on"},
    {5000, 100, {WSAEADDRNOTAVAIL}, 5000, 5000, 0, WSAEADDRNOTAVAIL, "any other error ends the search"},
    {5000, 100, {WSAEADDRINUSE, WSAENOBUFS}, 5000, 5001, 0, WSAENOBUFS, "also after a step"},
    {5000, 100, {WSAEADDRINUSE}, 5000, 5100, 0, WSAEADDRINUSE, "at most 100 steps"},
    {65530, 100, {WSAEADDRINUSE}, 65530, 65535, 0, WSAEADDRINUSE, "never past 65535"},
    {65535, 100, {WSAEACCES}, 65535, 65535, 0, WSAEACCES, "the last port alone"},
    {5000, 0, {WSAEADDRINUSE}, 5000, 5000, 0, WSAEADDRINUSE, "no further port: exactly the one asked for"},
    {5000, 0xFFFFFFFF, {WSAEADDRINUSE}, 5000, 65535, 0, WSAEADDRINUSE, "a huge bound does not wrap"},
};

TEST(PortSearch, StepsOnlyOverTakenPortsWithinItsBounds)
{
    for (const PortSearchCase& c : kPortSearchCases)
    {
        std::vector<UINT> tried;
        const UINT nResult = ListenOnFreePort(c.nPort, c.nFurtherPorts, [&](UINT nTry) -> UINT {
            tried.push_back(nTry);
            const int nError = c.errors[std::min(tried.size(), c.errors.size()) - 1];
            ::WSASetLastError(nError);
            return nError == 0 ? nTry : 0;
        });
        EXPECT_EQ(nResult, c.nResult) << c.why;
        ASSERT_FALSE(tried.empty()) << c.why;
        EXPECT_EQ(tried.front(), c.nFirstTried) << c.why;
        EXPECT_EQ(tried.back(), c.nLastTried) << c.why;
        EXPECT_EQ(tried.size(), c.nLastTried - c.nFirstTried + 1) << c.why << ": one port after the other";
        if (nResult == 0)
        {
            EXPECT_EQ(::WSAGetLastError(), c.nLastError) << c.why;
        }
    }
}

// Both listeners over real sockets: a port held by another socket moves them on (by one, unless
// another program of the machine holds the next port too).
TEST_F(AppPortTest, BothListenersMoveOnFromATakenPort)
{
    const UINT nTaken = m_listener.GetListeningPort();
    CAppSocket old(m_core, m_app);
    ASSERT_TRUE(old.StartListening(nTaken, 100));
    EXPECT_GT(old.GetListeningPort(), nTaken);
    EXPECT_LE(old.GetListeningPort(), nTaken + 100);
    CAppSocket exact(m_core, m_app);
    EXPECT_FALSE(exact.StartListening(nTaken));
    EXPECT_EQ(::WSAGetLastError(), WSAEADDRINUSE);
    EXPECT_EQ(exact.GetListeningPort(), 0u);
    CLumoClientSocket current(m_core, m_app);
    ASSERT_TRUE(current.StartListening(nTaken, 100));
    EXPECT_GT(current.GetListeningPort(), nTaken);
    EXPECT_NE(current.GetListeningPort(), old.GetListeningPort());
}

// The log's clock, pinned while it lives: 23:30:05 UTC on 29 February 2024, one hour east of it.
class CLateOnLeapDay
{
public:
    CLateOnLeapDay()
    {
        TIME_ZONE_INFORMATION zone{};
        zone.Bias = -60;
        CAppPortRelays::SetClock(&Now, &zone);
    }
    ~CLateOnLeapDay() { CAppPortRelays::SetClock(nullptr, nullptr); }
    CLateOnLeapDay(const CLateOnLeapDay&) = delete;
    CLateOnLeapDay& operator=(const CLateOnLeapDay&) = delete;

private:
    static void Now(SYSTEMTIME& utc) { utc = SYSTEMTIME{2024, 2, 4, 29, 23, 30, 5, 0}; }
};

// Both ports refuse interview data with a wrong checksum into the one log file, each in its own
// numbers, and their lines carry the same prefix: the local time with the local date, already
// 1 March where the desktop runs.
TEST_F(AppPortTest, BothPortsLogARefusalWithTheLocalDateAndTime)
{
    const CLateOnLeapDay clock;
    const std::string hello = "hello";
    StartApps("connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 0 4\n"
              "payload SNDINT text:hello -100 32 {crc} crc=bad\n"
              "request ISVOIP\n"
              "answer ISVOIP 0\n");
    FinishApps();

    CAppSocket oldListener(m_core, m_app);
    ASSERT_TRUE(oldListener.StartListening(0));
    CString strAddress;
    UINT nOldPort = 0;
    ASSERT_TRUE(oldListener.GetSockName(strAddress, nOldPort));
    m_core.StoreApplicationSetting(5, CAppPortRelays::MakeApplicationSetting(1, L"s", 1, L"t"));
    CPeerProcess oldApp;
    ASSERT_TRUE(oldApp.WriteFile(L"interview", hello));
    ASSERT_TRUE(oldApp.WriteFile(L"script", "send 'APLGIN 5'\nexpectre 'APLGIN .*'\nexpectre 'AGSTAT .*'\n"
                                            "payload " +
                                                oldApp.UnixFolder() +
                                                "/interview 'SNDINT 4294967295 33 {size} 12345'\n"
                                                "send 'GETASE 1'\nexpectre 'GETASE Del.*'\n"));
    ASSERT_TRUE(
        oldApp.Start(LUMO_PYTHON, LUMO_OLD_APP,
                     oldApp.UnixFolder() + " " + std::to_string(nOldPort) + " " + oldApp.UnixFolder() + "/script"));
    EXPECT_EQ(oldApp.ExitCode(), 0) << oldApp.ReadFile(L"log");
    EXPECT_TRUE(PumpUntil([&] { return !m_core.HasApplications(); })) << "the old application's link closed";

    const std::string crc = Num(Crc(hello));
    EXPECT_EQ(ReadLog(), "00:30:05  01-03-2024 Not relaying interview data for Survey <-100>, Call <32> to Jex: "
                         "Invalid Checksum when data was received (Calculated " +
                             crc + " - should be " + Num(Crc(hello) + 1) +
                             ")\r\n"
                             "00:30:05  01-03-2024 Not relaying interview data for Survey <4294967295>, Call <33> to "
                             "Jex: Invalid Checksum when data was received (Calculated " +
                             crc + " - should be 12345)\r\n");
}

} // namespace
