// The requests of the Jex command link, read by the scripted Jex (tests/peers/scripted_jex.py) over
// 127.0.0.1 with its own decoder: the exact line of every word in UTF-16LE and ANSI, and the
// payloads that follow SNDINT, SNDMSG and SNDMAI.
#include "sessions/tests/JexLinkFixture.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CCallInfo.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CFileException.h"
#include "framework/CMemFile.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

// A field as Jex unescapes it, written by the test itself: the link's escape is under test.
std::wstring Esc(std::wstring text)
{
    if (text.empty()) return L"\x08";
    for (wchar_t& c : text)
        if (c == L' ')
            c = L'\x0c';
        else if (c == L'\r')
            c = L'\x07';
    return text;
}

std::string Bytes(size_t nCount, unsigned nSeed)
{
    std::string bytes(nCount, '\0');
    for (size_t i = 0; i < nCount; ++i)
        bytes[i] = static_cast<char>((i * 31 + nSeed * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

DWORD Crc(const std::string& bytes)
{
    return CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>(bytes.data()),
                                              static_cast<unsigned long>(bytes.size()));
}

// A memory file that stops with a file exception once it has given nGood bytes.
class CFailingFile : public CMemFile
{
public:
    CFailingFile(const std::string& bytes, UINT nGood) : m_nGood(nGood)
    {
        Write(bytes.data(), static_cast<UINT>(bytes.size()));
    }
    UINT Read(void* lpBuf, UINT nCount) override
    {
        if (GetPosition() >= m_nGood) AfxThrowFileException(CFileException::genericException, ERROR_READ_FAULT);
        return CMemFile::Read(lpBuf, nCount);
    }

private:
    UINT m_nGood;
};

CMemFile* MemoryFile(const std::string& bytes)
{
    auto* pFile = new CMemFile;
    pFile->Write(bytes.data(), static_cast<UINT>(bytes.size()));
    return pFile;
}

struct RequestCase
{
    std::function<BOOL(CJexSocket&)> send;
    std::wstring line; // as Jex reads it, escapes in place
};

class JexRequestsTest : public JexLinkFixture
{
protected:
    std::vector<RequestCase> PlainRequests()
    {
        const std::wstring offset = std::to_wstring(CTimeTools::GetCurrentUTCOffsetLocal());
        CSmartObjectPtr<CCallInfo> pCall(new CCallInfo(FALSE));
        pCall->m_nCallId = 31;
        pCall->m_nCallKind = 2;
        pCall->m_strTask = L"Name = \"a b\" ";
        m_setting.m_nId = 44;
        m_setting.m_strName = L"Toolbar top";
        const std::wstring settingText = Esc(m_setting.GetProperties().Str());
        using S = CJexSocket&;
        return {
            {[](S s) { return s.SendAlarm(802, TRUE, L"Audio device changed"); }, L"ADDALA 802 1 Audio\x0c"
                                                                                  L"device\x0c"
                                                                                  L"changed"},
            {[](S s) { return s.SendAlarm(801, FALSE, L""); }, L"ADDALA 801 0 \x08"},
            {[](S s) { return s.SendApplicationLogon(4, L"agent7", L"pass word", L"x", L""); },
             L"APPLGN agent7 pass\x0cword x " + offset + L" \x08 17"},
            {[](S s) { return s.SendBlindTransfer(31, L""); }, L"BLITRA 31 \x08"},
            {[](S s) { return s.SendCallAcknowledge(-1); }, L"CALACK -1"},
            {[](S s) { return s.RequestCallHistory(5, 11, 31); }, L"CALLHY 5 11 31"},
            {[](S s) { return s.SendCancelTrigger(1, 2); }, L"CANTRG 1 2"},
            {[pCall](S s) { return s.SendChangeCallInfo(pCall); }, L"CCLINF 31 2 Name\x0c=\x0c\"a\x0c"
                                                                   L"b\"\x0c"},
            {[](S s) { return s.SendChangeNumber(3, 4, L"+49 30 1"); }, L"CHANUM 3 4 +49\x0c"
                                                                        L"30\x0c"
                                                                        L"1"},
            {[](S s) { return s.SendChangePasswordById(nullptr, 7, L"ABCD", L"EFGH"); }, L"CHGPWD 1 7 ABCD EFGH"},
            {[](S s) { return s.SendChangePasswordByName(nullptr, L"ann lee", L"AB", L"CD"); },
             L"CHGPWD 2 ann\x0clee AB CD"},
            {[](S s) { return s.SendCheckPasswordById(nullptr, 7, L"ABCD"); }, L"CHKPWD 1 7 ABCD"},
            {[](S s) { return s.SendCheckPasswordByName(nullptr, L"ann", L""); }, L"CHKPWD 2 ann \x08"},
            {[](S s) { return s.SendConferenceAdd(70000, 2); }, L"CONADD 70000 2"},
            {[](S s) { return s.SendConferenceAction(1, 9); }, L"CONAGP 1 9"},
            {[](S s) { return s.SendConferenceParticipantAction(2, 9, 123); }, L"CONCAP 2 9 123"},
            {[](S s) { return s.SendEndInbound(-3, L"done\rnow"); }, L"ENDINB -3 done\x07now"},
            {[](S s) { return s.SendEndOutbound(12, L""); }, L"ENDOUT 12 \x08"},
            {[](S s) { return s.SendEndPause(); }, L"ENDPAU"},
            {[](S s) { return s.SendFindContact(L"M\u00fcller", L"\u00e9"); }, L"FNDCON M\u00fcller \u00e9"},
            {[](S s) { return s.SendFindKeyIn(L"a b", L"c"); }, L"FNDKYI a\x0c"
                                                                L"b c"},
            {[](S s) { return s.SendFindNumber(L"030 1234"); }, L"FNDNUM 030\x0c"
                                                                L"1234"},
            {[](S s) { return s.SendInterviewHeartbeat(5, L"alive"); }, L"INTHBT 5 alive"},
            {[](S s) { return s.SendJoinOutboundGroup(4); }, L"JOIOGR 4"},
            {[](S s) { return s.RequestAgentList(nullptr, 8, 0, 2); }, L"LSTAGT 8 0 2"},
            {[](S s) { return s.RequestLocationList(nullptr); }, L"LSTLOC -1 -1"},
            {[](S s) { return s.RequestLocationList(8, 11); }, L"LSTLOC 8 11"},
            {[](S s) { return s.RequestAgentInboundGroups(nullptr); }, L"LSTMIG"},
            {[](S s) { return s.RequestAgentOutboundGroups(nullptr); }, L"LSTMOG"},
            {[](S s) { return s.RequestOutboundGroupList(nullptr); }, L"LSTOGR -1 -1"},
            {[](S s) { return s.RequestOutboundGroupList(8, 11); }, L"LSTOGR 8 11"},
            {[](S s) { return s.RequestPauseList(8, 0); }, L"LSTPAU 8 0"},
            {[](S s) { return s.SendManualDial(-1, L"0301234", L""); }, L"MANDIA -1 0301234 \x08"},
            {[](S s) { return s.SendNextCall(); }, L"NEXCAL"},
            {[](S s) { return s.SendConfirmTransfer(TRUE); }, L"OKTRAN 1"},
            {[](S s) { return s.SendConfirmTransfer(FALSE); }, L"OKTRAN 0"},
            {[](S s) { return s.SendOnHold(31); }, L"ONHOLD 31"},
            {[](S s) { return s.SendPlayDtmf(31, L"1#*"); }, L"PLDTMF 31 1#*"},
            {[](S s) { return s.SendPlaySoundEnd(6, 31); }, L"PLSEND 6 31"},
            {[](S s) { return s.SendPlaySoundStart(6, 31, L"beep.wav"); }, L"PLSSTA 6 31 beep.wav"},
            {[](S s) { return s.SendQuestionRecordingEnd(6, 31); }, L"QREEND 6 31"},
            {[](S s) { return s.SendQuestionRecordingStart(6, 31, L"Q 1"); }, L"QRESTA 6 31 Q\x0c"
                                                                              L"1"},
            {[](S s) { return s.SendRecordCall(6, 31); }, L"RECCAL 6 31"},
            {[](S s) { return s.SendRefuseNumber(4, 5); }, L"REFNUM 4 5"},
            {[](S s) { return s.SendRejectCall(31, 0); }, L"REJCAL 31 0"},
            {[](S s) { return s.SendReleaseNumber(); }, L"RELNUM"},
            {[](S s) { return s.SendRequestManual(); }, L"REQMAN"},
            {[](S s) { return s.SendRequestPause(3, 1); }, L"REQPAU 3 1"},
            {[](S s) { return s.SendRequestTask(99); }, L"REQTSK 99"},
            {[](S s) { return s.RequestApplicationSettings(7, 12, 1); }, L"RQASFA 7 12 1"},
            {[](S s) { return s.RequestStartupDataById(7); }, L"RQASUD 1 7"},
            {[](S s) { return s.RequestStartupDataByName(L"ann lee"); }, L"RQASUD 2 ann\x0clee"},
            {[this](S s) { return s.SendSaveSetting(2, 7, m_setting); }, L"SAVASE 2 7 " + settingText},
            {[](S s) { return s.SendSelectNumber(4, 5); }, L"SELNUM 4 5"},
            {[](S s) { return s.SendStartInterviewOutbound(L"x y"); }, L"SINTOU x\x0cy"},
            {[](S s) { return s.SendStartIvr(L"a", 3, L"b c"); }, L"STAIVR a 3 b\x0c"
                                                                  L"c"},
            {[](S s) { return s.SendStartKeyIn(5); }, L"STAKYI 5"},
            {[](S s) { return s.SendStartTrigger(1, 2); }, L"STATRG 1 2"},
            {[](S s) { return s.SendStopKeyIn(5); }, L"STOKYI 5"},
            {[](S s) { return s.SendTagCall(31, L"vip"); }, L"TAGCAL 31 vip"},
            {[](S s) { return s.SendTakeBack(31); }, L"TAKBAC 31"},
            {[](S s) { return s.SendTakeCall(31); }, L"TAKCAL 31"},
            {[](S s) { return s.SendTransferCall(31, 204); }, L"TRACAL 31 204"},
            {[](S s) { return s.RequestTaskResources(9, L"1;2;3"); }, L"TSKRES 9 1;2;3"},
            {[](S s) { return s.SendUpdateAnnotation(6, 1, 2, 3, L"Note = \"x\" "); },
             L"UPDANO 6 1 2 3 Note\x0c=\x0c\"x\"\x0c"},
            {[](S s) { return s.SendVoiceMail(-2, 5); }, L"VOMAIL -2 5"},
            {[](S s) { return s.SendWriteCallClass(L""); }, L"WRCACL \x08"},
        };
    }

    CAgentSetting m_setting;
};

TEST_F(JexRequestsTest, EveryRequestHasItsExactLineInBothEncodings)
{
    m_app.m_bAlarms = TRUE;
    const std::string interview = Bytes(3000, 1);
    const DWORD nCrc = Crc(interview);
    for (const char* pszEncoding : {"wide", "ansi"})
    {
        SCOPED_TRACE(pszEncoding);
        const std::vector<RequestCase> cases = PlainRequests();
        std::string script = std::string(pszEncoding == std::string("ansi") ? "ansi" : "handshake") +
                             " push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpectencoding " + pszEncoding + "\n";
        for (const RequestCase& c : cases)
            script += "expectline " + ScriptText(c.line) + "\n";
        script += "expectpayload 'SNDINT 4 31 3000 " + std::to_string(nCrc) +
                  " 1' 2 crc=3 same={dir}/interview\n"
                  "expectpayload 'SNDINT -1 32 0 0 0' 2 crc=3\n"
                  "expectline ALOGOF\nclosed\n";
        ASSERT_TRUE(Connect(script, {{L"interview", interview}}));
        ASSERT_TRUE(WaitForGreeting());
        for (const RequestCase& c : cases)
            EXPECT_TRUE(c.send(*m_pLink)) << c.line.c_str();
        EXPECT_TRUE(
            m_pLink->SendInterviewData(4, 31, reinterpret_cast<const BYTE*>(interview.data()), 3000, nCrc, TRUE));
        EXPECT_TRUE(m_pLink->SendInterviewData(-1, 32, nullptr, 0, 0, FALSE)) << "an empty payload still has its line";
        Finish();
    }
}

TEST_F(JexRequestsTest, WithoutALiveLinkEverySenderIsFalseAndSendsNothing)
{
    m_app.m_bAlarms = TRUE;
    CJexSocket link(m_app, m_boxes); // never created
    for (const RequestCase& c : PlainRequests())
        EXPECT_FALSE(c.send(link)) << c.line.c_str();
    const BYTE data[2] = {1, 2};
    EXPECT_FALSE(link.SendInterviewData(1, 2, data, 2, 0, TRUE));
    CMessage message;
    EXPECT_FALSE(link.SendMessage(message));
    CMailMessage mail;
    EXPECT_FALSE(link.SendMail(3, mail));
    EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// A link that is connecting, or has made its handshake but not yet been greeted, takes no
// request: it would go into the handshake's stream, or reach Jex before the session. A
// reconnecting desktop meets this while its applications go on sending.
TEST_F(JexRequestsTest, BeforeTheGreetingEverySenderIsFalseAndSendsNothing)
{
    m_app.m_bAlarms = TRUE;
    m_pJex = std::make_unique<CScriptedJex>("handshake\nsleep 1\ngreet 0 5.4.9.6 0.0.0.0\n"
                                            "expectline NEXCAL\nexpectline ALOGOF\nclosed\n");
    m_app.m_nPort = m_pJex->Port();
    ASSERT_NE(m_app.m_nPort, 0u);
    m_pLink = std::make_unique<CJexSocket>(m_app, m_boxes, m_pCore);
    ASSERT_TRUE(m_pLink->Create() && m_pLink->ConnectToServer());
    const BYTE data[2] = {1, 2};
    const auto expectNothingSent = [&](const char* pszWhen) {
        SCOPED_TRACE(pszWhen);
        for (const RequestCase& c : PlainRequests())
            EXPECT_FALSE(c.send(*m_pLink)) << c.line.c_str();
        EXPECT_FALSE(m_pLink->SendInterviewData(1, 2, data, 2, Crc(std::string("\x01\x02", 2)), TRUE));
        CMessage message;
        EXPECT_FALSE(m_pLink->SendMessage(message));
    };
    expectNothingSent("connecting");
    ASSERT_TRUE(PumpUntil([&] { return m_pLink->GetConnectError() != -1; }));
    ASSERT_EQ(m_pLink->GetConnectError(), 0);
    expectNothingSent("handshake made, not greeted");
    ASSERT_TRUE(WaitForGreeting());
    EXPECT_TRUE(m_pLink->SendNextCall());
    Finish(); // the script: NEXCAL is the first line after the greeting
    EXPECT_TRUE(m_boxes.m_boxes.empty());
}

TEST_F(JexRequestsTest, AlarmsWaitForTheAlarmSwitch)
{
    ASSERT_TRUE(
        Connect("handshake\ngreet 0 5.4.9.6 0.0.0.0\nexpectline ADDALA 803 1 high\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForGreeting());
    EXPECT_FALSE(m_pLink->SendAlarm(803, TRUE, L"early")) << "the switch is off until the log-on";
    m_app.m_bAlarms = TRUE;
    EXPECT_TRUE(m_pLink->SendAlarm(803, TRUE, L"high"));
    Finish();
}

TEST_F(JexRequestsTest, ApplicationLogonCarriesTheRegistryLocationAndItsAnswerTheApplication)
{
    // The agent sits at location 3 (the host's current one); APPLGN names the registry's 17.
    ASSERT_EQ(m_app.GetLocationId(), 3);
    const std::wstring offset = std::to_wstring(CTimeTools::GetCurrentUTCOffsetLocal());
    ASSERT_TRUE(Connect("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\n"
                        "expectline " +
                        ScriptText(L"APPLGN 1 ann\x0clee 2 " + offset + L" secret\x0cword 17") +
                        "\n"
                        "send ALOGON 0 a b c\nexpectline ENDINI\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForGreeting());
    EXPECT_TRUE(m_pLink->SendApplicationLogon(11, L"1", L"ann lee", L"2", L"secret word"));
    ASSERT_TRUE(PumpUntil([&] { return !m_app.m_logons.empty(); }));
    EXPECT_EQ(m_app.m_logons, (std::vector<std::pair<long, int>>{{11, 0}}))
        << "the answer names the waiting application";
    Finish();
}

TEST_F(JexRequestsTest, MessageAttachmentsKeepTheLinkInStepWhateverTheirFiles)
{
    const std::string first = Bytes(5000, 2), second = Bytes(20000, 3), shortened = Bytes(5000, 4),
                      failing = Bytes(15000, 5);
    CMessage message;
    message.m_strText = L"Hello there";
    message.AddAttachment(MemoryFile(first), L"first.bin");
    message.AddAttachment(MemoryFile(second), L"second.bin");
    message.AddAttachment(MemoryFile(""), L"empty.txt");
    CMailMessage mail;
    mail.m_strText = L"Mail";
    mail.AddTo(L"ann@example.org");
    CMemFile* pShort = MemoryFile(shortened);
    mail.AddAttachment(pShort, L"short.bin");
    mail.AddAttachment(new CFailingFile(failing, 10240), L"failing.bin");
    pShort->SetLength(1000); // the file shrank after it was attached
    CString strMessage, strMail;
    message.GetText(strMessage, true);
    mail.GetText(strMail, true);

    // 5000 + 20000 + 0 announced, and 10240 + 9760 of the second in two blocks.
    const std::string messagePayload = first + second;
    // What the files could not give comes as zeros: 4000 for the short one, 4760 for the failing one.
    const std::string mailPayload =
        shortened.substr(0, 1000) + std::string(4000, '\0') + failing.substr(0, 10240) + std::string(4760, '\0');
    ASSERT_TRUE(Connect("handshake\ngreet 0 5.4.9.6 0.0.0.0\n"
                        "expectpayload " +
                            Quoted(L"SNDMSG " + Esc(strMessage.Str()) + L" 25000") +
                            " 1 same={dir}/message\n"
                            "expectpayload " +
                            Quoted(L"SNDMAI 77 " + Esc(strMail.Str()) + L" 20000") +
                            " 2 same={dir}/mail\n"
                            "expectline ENDPAU\nexpectline ALOGOF\nclosed\n",
                        {{L"message", messagePayload}, {L"mail", mailPayload}}));
    ASSERT_TRUE(WaitForGreeting());
    const unsigned long long nCopiedBefore = m_pLink->GetSendCopiedBytes();
    EXPECT_TRUE(m_pLink->SendMessage(message));
    // The attachments' blocks are handed over to the link; only the line (well under 1 KB) is copied.
    EXPECT_LT(m_pLink->GetSendCopiedBytes() - nCopiedBefore, 1000u);
    EXPECT_TRUE(m_boxes.m_boxes.empty());
    EXPECT_TRUE(m_pLink->SendMail(77, mail));
    EXPECT_TRUE(m_pLink->SendEndPause()) << "the next line must be read as a line";
    Finish();
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, L"Error while sending attachment short.bin.");
    EXPECT_EQ(m_boxes.m_boxes[1].text, L"Error while sending attachment failing.bin.");
    EXPECT_EQ(m_boxes.m_boxes[1].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_F(JexRequestsTest, InterviewDataOfConcurrentSendersNeverInterleaves)
{
    constexpr int kThreads = 4, kEach = 200;
    ASSERT_TRUE(Connect("handshake\ngreet 0 5.4.9.6 0.0.0.0\ntimeout 60\nsndintflood " +
                        std::to_string(kThreads * kEach) + "\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForGreeting());
    std::atomic<int> nDone{0}, nRefused{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
            {
                const std::string data = Bytes(1 + (t * 131 + i * 57) % 3000, static_cast<unsigned>(t * kEach + i));
                if (!m_pLink->SendInterviewData(t, i, reinterpret_cast<const BYTE*>(data.data()),
                                                static_cast<DWORD>(data.size()), Crc(data), TRUE))
                    ++nRefused;
            }
            ++nDone;
        });
    // The link's queue drains on this thread's messages while the senders run.
    const bool bDone = PumpUntil([&] { return nDone == kThreads; }, 60000);
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(nRefused, 0);
    Finish();
}

} // namespace
