// The connection to Lumo against the scripted Lumo: the connect sequence with its version check and
// registration, and every received command with its conversions, as the recording control sees them.
#include "clientctl/CLumoSocket.h"
#include "clientctl/tests/LinkTestSupport.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>

namespace
{
std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// The recorder's text of a payload: "<length>b/<CRC-32>".
std::wstring DataText(const std::vector<BYTE>& data)
{
    return std::to_wstring(data.size()) + L"b/" +
           std::to_wstring(CStaticTools::GetChecksumForMemory(data.data(), static_cast<unsigned long>(data.size())));
}
std::vector<BYTE> Pattern(size_t n)
{
    std::vector<BYTE> data(n);
    for (size_t i = 0; i < n; ++i)
        data[i] = PatternByte(i);
    return data;
}
std::wstring Crc(const std::vector<BYTE>& data)
{
    return std::to_wstring(CStaticTools::GetChecksumForMemory(data.data(), static_cast<unsigned long>(data.size())));
}

class LumoSocketTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (m_pSocket) m_pSocket->SafeDelete();
        ExpectNoLinkLeft();
    }
    // A new link to the peer, connected and registered as application 7.
    bool Connect(CScriptedLumo& lumo, BOOL bMessageMaster = TRUE, long nApplicationId = 7)
    {
        if (m_pSocket) m_pSocket->SafeDelete();
        m_pSocket = new CLumoSocket(&m_control);
        m_pSocket->SetOwnVersion(CString(kOwnVersion));
        if (!lumo.IsStarted() ||
            !m_pSocket->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), nApplicationId, bMessageMaster))
            return false;
        // The handshake's clock push may be dispatched after the greeting, among the first commands.
        const bool bClock = m_control.PumpUntilSeen(L"Shift ");
        std::erase_if(m_control.m_seen, [](const std::wstring& s) { return s.starts_with(L"Shift "); });
        const std::vector<std::wstring> connected = {L"Pending", L"Jex 1", L"AgentState 3"};
        const bool bSequence = std::equal(connected.begin(), connected.end(), m_control.m_seen.begin(),
                                          m_control.m_seen.begin() + std::min<size_t>(3, m_control.m_seen.size()));
        m_control.m_seen.erase(m_control.m_seen.begin(),
                               m_control.m_seen.begin() + std::min<size_t>(3, m_control.m_seen.size()));
        return bClock && bSequence;
    }
    void Close(CScriptedLumo& lumo)
    {
        m_pSocket->Disconnect();
        EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
    }

    CRecordingControl m_control;
    CLumoSocket* m_pSocket = nullptr;
};

TEST(LumoSocketVersion, MatchesUpToTheLastDotWithoutCase)
{
    struct Case
    {
        const wchar_t* own;
        const wchar_t* lumo;
        bool same;
    };
    const Case kCases[] = {
        {L"5.4.9.3", L"5.4.9.6", true},   {L"5.4.9.3", L"5.4.10.1", false}, {L"5.4.9.3", L"5.5.0.1", false},
        {L"5.4.Rc.3", L"5.4.rC.9", true}, {L"5.4.9.3", L"", false},         {L"5", L"7", true},
    };
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << CString(c.own).Str() << " / " << CString(c.lumo).Str());
        EXPECT_EQ(CLumoSocket::IsSameVersion(c.own, c.lumo), c.same);
    }
}

TEST_F(LumoSocketTest, ConnectReportsVersionPendingJexAndAgentStateInOrder)
{
    struct Case
    {
        const char* lumoVersion;
        const char* ownVersion;
        BOOL messageMaster;
        const char* aplgin; // what Lumo must receive
        bool mismatch;
    };
    const Case kCases[] = {
        {"5.4.9.6", "5.4.9.3", TRUE, "APLGIN 1 7 1", false},
        {"5.4.10.1", "5.4.9.3", FALSE, "APLGIN 1 7 0", true},
        {"5.4.RC.1", "5.4.rc.3", TRUE, "APLGIN 1 7 1", false},
        {"", "5.4.9.3", TRUE, "APLGIN 1 7 1", true},
    };
    std::string script;
    for (const Case& c : kCases)
        script += std::string("accept\nstarts ") + c.lumoVersion + "\nexpect " + c.aplgin + "\nline APLGIN 1 -1 1 4\n" +
                  "waitclose\n";
    CScriptedLumo lumo(script);
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(c.lumoVersion);
        m_control.Clear();
        m_pSocket = new CLumoSocket(&m_control);
        m_pSocket->SetOwnVersion(CString(c.ownVersion));
        ASSERT_TRUE(m_pSocket->Connect(L"127.0.0.1", static_cast<short>(lumo.Port()), 7, c.messageMaster));
        std::vector<std::wstring> expected;
        if (c.mismatch)
            expected.push_back(L"Error The version of LumoClient.ocx (v " + Wide(c.ownVersion) +
                               L") is different from the version of LUMO (v " + Wide(c.lumoVersion) +
                               L") you are trying to connect to.\nTo avoid any problems please upgrade LumoClient.ocx");
        expected.insert(expected.end(), {L"Pending", L"Jex 1", L"AgentState 4"});
        std::vector<std::wstring> seen;
        for (const std::wstring& s : m_control.m_seen)
            if (!s.starts_with(L"Shift")) seen.push_back(s); // the clock push of the handshake
        EXPECT_EQ(seen, expected);
        m_pSocket->Disconnect();
        m_pSocket->SafeDelete();
        m_pSocket = nullptr;
    }
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LumoSocketTest, ReceivedCommandsReachTheControlConverted)
{
    const std::vector<BYTE> abc{1, 2, 3};
    const std::vector<BYTE> p100 = Pattern(100), p10 = Pattern(10), p5 = Pattern(5);
    const unsigned long nBadCrc = CStaticTools::GetChecksumForMemory(abc.data(), 3);
    const CPropertyList keyIn(L"Name = \"x\" ", false);
    struct Case
    {
        std::string line;    // script line
        std::wstring record; // what the control sees; empty: dropped
    };
    const std::vector<Case> kCases = {
        {"push AGSTAT 4", L"AgentState 4"},
        {"push AGSTAT 4 5", L""},
        {"push AGSTAT x", L"AgentState 0"},
        {"push AGSTAT 40000", L"AgentState 0"},
        {"push LSTPAU 'a b'", L"PauseList a b"},
        {"push LSTAGT 2 list", L"AgentList 2 list"},
        {"push LSTAGT 2", L""},
        {"push MANDIA -5", L"DialResult -5"},
        {"push ENDTSK 77", L"EndTask 77"},
        {"push JEXSTA 0", L"Jex 0"},
        {"push JEXSTA x", L"Jex 1"},
        {"push RECCAL 3", L"RecordResult 3"},
        {"push QRESTA 5 1", L"QuestionRecording 1 5 1"},
        {"push QRESTO 5 2", L"QuestionRecording 0 5 2"},
        {"push SNDINT 9 8", L"InterviewConfirmed 9 8"},
        {"data SNDINT -1 hex:010203 9 8 {crc}", L"InterviewData 9 8 " + DataText(abc) + L" " + Crc(abc)},
        {"data SNDINT -1 hex:010203 9 8 {crc} crc=bad",
         L"Error Not relaying interview data for Survey <9>, Call <8> to JEX: Invalid Checksum when data was received "
         L"(Calculated " +
             std::to_wstring(nBadCrc) + L" - should be " + std::to_wstring((nBadCrc + 1) & 0xFFFFFFFFul) + L")"},
        {"push SNDINT 1 2 3 4", L""},
        {"data UPDTSK -1 gen:100 11 {crc} res1;res2;",
         L"TaskContents 11 " + Crc(p100) + L" " + DataText(p100) + L" res1;res2;"},
        {"push PLSSTA 6 1", L"PlayStarted 6 1"},
        {"push PLSSTO 6 2", L"PlayStopped 6 2"},
        {"push TSKRES 12", L"TaskResource 12 0 0b/0 0"},
        {"data TSKRES -1 gen:10 12 34 {crc}", L"TaskResource 12 34 " + DataText(p10) + L" " + Crc(p10)},
        {"push TSKRES 12 34", L""},
        {"push LSTOGR groups", L"OutboundGroups groups"},
        {"push LSTLOC places", L"Locations places"},
        {"push STAKYI 1 2 3 props", L"KeyInStarted 1 2 3 props"},
        {"push STACAL 2 'p = 1'", L"StartTask 2 p = 1"},
        {"push STAQUE stats", L"Stats stats"},
        {"push CALINF info", L"CallInfo info"},
        {"push ASSKYI 0", L"KeyInAssigned 0"},
        {"push UPDSMO 5 a '' c", L"SemiOpens 5 a  c"},
        {"push UPDSMO 5", L"SemiOpens 5"},
        {"line UPDSMO -1 -1", L""},
        {"push KYIINT 8 'Name = \"x\" '", L"KeyInInterview 8 " + keyIn.GetString().Str()},
        {"data QTAUPD -1 gen:5 3 2", L"QuotaUpdate 3 2 " + DataText(p5)},
        {"push AUVLME 1 80", L"Volume 1 80"},
        {"push AUMUTE 2 0", L"Mute 2 0"},
        {"push VOIRDY 1", L"Voip 1"},
        {"push UPDANO 1 2 3 4", L"Annotation 1 2 3 4"},
        {"push UPDANO 1 2 3", L""},
        // Late answers to requests whose words the map does not hold, and a word nobody knows.
        {"line GETASE 5 -1 x", L""},
        {"line ISVOIP 5 -1 1", L""},
        {"line REPLMA 5 -1 1", L""},
        {"line ALOGON 5 -1 1", L""},
        {"line APLGIN 9 -1 1 1", L""},
        {"push NOSUCH x", L""},
    };
    std::string script = Accepted() + LoggedIn();
    std::vector<std::wstring> expected;
    for (const Case& c : kCases)
    {
        script += c.line + "\n";
        if (!c.record.empty()) expected.push_back(c.record);
    }
    script += "push ENDTSK 999\nwaitclose\n";
    expected.push_back(L"EndTask 999");
    CScriptedLumo lumo(script);
    ASSERT_TRUE(Connect(lumo));
    ASSERT_TRUE(m_control.PumpUntilSeen(L"EndTask 999"));
    EXPECT_EQ(m_control.m_seen, expected);
    Close(lumo);
}

TEST_F(LumoSocketTest, MessageAttachmentsTakeSlicesOfThePayload)
{
    const auto messageText = [](long nSecondSize) {
        return MessageText(L"hello", {{L"a.txt", 3}, {L"b.bin", nSecondSize}});
    };
    CScriptedLumo lumo(Accepted() + LoggedIn() + "data SNDMSG -1 hex:0102030405060708 '" + messageText(5) +
                       "' Boss\ndata SNDMSG -1 hex:0102030405060708 '" + messageText(10) + "' Boss\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    ASSERT_TRUE(PumpUntil([&] { return m_control.m_seen.size() >= 3; }));
    EXPECT_EQ(m_control.m_seen[0], L"Message Boss hello [a.txt:1,2,3] [b.bin:4,5,6,7,8]");
    EXPECT_EQ(m_control.m_seen[1], L"Error CLumoSocket::ProcessCommandSNDMSG => Attachment b.bin lies beyond the "
                                   L"received data.");
    EXPECT_EQ(m_control.m_seen[2], L"Message Boss hello [a.txt:1,2,3] [b.bin:none]") << "the message still arrives";
    Close(lumo);
}

TEST_F(LumoSocketTest, CallHistoryIsReadOrReportedAndAlwaysDelivered)
{
    const std::wstring kBadCrc = L"Error CLumoSocket::ProcessCommandCALLHY => Incorrect checksum for call history for "
                                 L"call ID 55.";
    const std::wstring kCorrupt = L"Error CLumoSocket::ProcessCommandCALLHY => Error while processing call history "
                                  L"for call ID 55.";
    CScriptedLumo lumo(Accepted() + LoggedIn() +
                       "data CALLHY -1 calls:3 55 {crc}\n"
                       "data CALLHY -1 calls:3 55 {crc} crc=bad\n"
                       "data CALLHY -1 calls:3,cut=200 55 {crc}\n"
                       "data CALLHY -1 calls:1,count=1000000 55 {crc}\n"
                       "line CALLHY -1 0 55 0\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    ASSERT_TRUE(m_control.PumpUntilSeen(L"CallHistory 55 3"));
    ASSERT_FALSE(m_control.m_histories.empty());
    const CCallArray& calls = m_control.m_histories.front();
    ASSERT_EQ(calls.GetSize(), 3);
    const CCall& second = calls[1];
    EXPECT_EQ(second.m_nCallId, 1001);
    EXPECT_EQ(second.m_strTelephoneNumber.Str(), L"+41 44 001");
    EXPECT_EQ(second.m_nAgentId, 71);
    EXPECT_DOUBLE_EQ(second.m_dtStartTimeUTC.m_dt, 45001.5);
    EXPECT_EQ(second.m_nUTCOffsetAgent, 60);
    EXPECT_EQ(second.m_nUTCOffsetRespondent, -120);
    EXPECT_EQ(second.m_nShiftNr, 1);
    EXPECT_EQ(second.m_nResult, 11);
    EXPECT_EQ(second.m_nSubResult, -1);
    EXPECT_EQ(second.m_nDerivation, 3);
    EXPECT_EQ(second.m_dtRecoverTimeUTC.GetStatus(), COleDateTime::null);
    EXPECT_DOUBLE_EQ(calls[2].m_dtRecoverTimeUTC.m_dt, 45102.25);

    ASSERT_TRUE(PumpUntil([&] { return m_control.m_seen.size() >= 8; }));
    PumpUntilIdle();
    const std::vector<std::wstring> expected = {
        L"CallHistory 55 3", kBadCrc,  L"CallHistory 55 0", kCorrupt,
        L"CallHistory 55 3", kCorrupt, L"CallHistory 55 0", L"CallHistory 55 0"};
    std::vector<std::wstring> seen(m_control.m_seen.begin(), m_control.m_seen.begin() + 8);
    EXPECT_EQ(seen, expected) << "the truncated history keeps its count, the absurd count gives none";
    EXPECT_EQ(m_control.m_seen.size(), 8u);
    ASSERT_EQ(m_control.m_histories.size(), 5u);
    EXPECT_EQ(m_control.m_histories[2].GetSize(), 3) << "unread records keep their defaults";
    EXPECT_EQ(m_control.m_histories[2][2].m_nCallId, 1002) << "read before the bytes ended";
    EXPECT_EQ(m_control.m_histories[2][2].m_nDerivation, 0) << "beyond the end: the default";
    EXPECT_EQ(m_control.m_histories[2][1].m_nCallId, 1001);
    Close(lumo);
}

TEST_F(LumoSocketTest, EveryClockPushIsPassedOnEvenWithAnEqualShift)
{
    CScriptedLumo lumo(Accepted() + LoggedIn() + "expect GO 2\nclock\nclock\nclock\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    m_pSocket->PostCommand(FALSE, L"GO");
    ASSERT_TRUE(PumpUntil([&] { return m_control.m_seen.size() >= 3; }));
    bool bEqual = false;
    for (const std::wstring& s : m_control.m_seen)
    {
        ASSERT_TRUE(s.starts_with(L"Shift ")) << s;
        const size_t nBlank = s.find(L' ', 6);
        bEqual |= s.substr(6, nBlank - 6) == s.substr(nBlank + 1);
    }
    EXPECT_TRUE(bEqual) << "the same clock three times gives an unchanged shift at least once";
    Close(lumo);
}

TEST_F(LumoSocketTest, NothingReachesAClearedControl)
{
    CScriptedLumo lumo(Accepted() + LoggedIn() + "expect MARK 2\npush AGSTAT 5\npush CALINF x\nclose\n");
    ASSERT_TRUE(Connect(lumo));
    m_pSocket->SetControl(nullptr);
    m_control.Clear();
    m_pSocket->PostCommand(FALSE, L"MARK");
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
    ASSERT_TRUE(PumpUntil([&] { return !m_pSocket->HasThread(); })) << "the close reached the link";
    PumpUntilIdle();
    EXPECT_TRUE(m_control.m_seen.empty());
}

} // namespace
