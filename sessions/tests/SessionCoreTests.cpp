// The session core over real application links: a listener of ours on 127.0.0.1 accepts the links
// of a Python peer (tests/peers/apprecorder.py), which records every line each link receives, and
// the core's hosts and Jex are recorders.
#include "sessions/CSessionCore.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAgentSettingStore.h"
#include "sessions/IOldApplicationLink.h"
#include "sessions/tests/SessionRecorders.h"
#include "core/CAsyncSocketEx.h"
#include "core/CPropertyList.h"
#include "framework/CMemFile.h"
#include "framework/testing/CPeerProcess.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

using Lines = std::vector<std::wstring>;

// An accepted application link, as the port server's connections will be, with one word of its
// own: ECHOME comes back from the peer and is recorded. Registered on the old port, it carries the
// old dialect's lines as they are.
class CAppLink : public CAsyncSocketEx, public IOldApplicationLink
{
public:
    void SendLine(const CString& strLine) override { SendString(strLine); }
    void SendBytes(const BYTE* pBytes, DWORD nCount) override { SendRaw(pBytes, static_cast<int>(nCount)); }
    void CloseLink() override { Disconnect(); } // the test owns the link and its register entry
    using CAsyncSocketEx::SendCommand;

    CAppLink()
    {
        m_bDeleteOnClose = false;
        InitCommandMap(); // an accepted link is never created
    }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            using C = CSocketCommand;
            map.Add(L"ECHOME", new C(SocketHandler(&CAppLink::OnEcho), C::modeFields, false, C::checkNone, 0, -1));
        });
    }

    std::vector<std::wstring> m_echoes;
    std::function<void()> m_onEcho;

private:
    void OnEcho(CStringArray& arrFields)
    {
        m_echoes.push_back(arrFields.GetSize() ? arrFields[0].Str() : L"");
        if (m_onEcho) m_onEcho();
    }
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};

CSocketCommandMap CAppLink::s_map;
CCriticalSection CAppLink::s_cs;

class CAppListener : public CAsyncSocketEx
{
public:
    CAppListener() { m_bDeleteOnClose = false; }
    void OnAccept(int nErrorCode) override
    {
        if (nErrorCode != 0) return;
        auto pLink = std::make_unique<CAppLink>();
        if (Accept(*pLink)) m_links.push_back(std::move(pLink));
    }
    std::vector<std::unique_ptr<CAppLink>> m_links; // in the order the peer connected them
};

// An old-port link whose closing leaves the register and may take others with it, as when its
// leaving pumps messages and their connections close meanwhile. It notes each close asked of it.
class CLeavingLink : public IOldApplicationLink
{
public:
    CLeavingLink(CSessionCore& core, Lines& closes, long nId) : m_core(core), m_closes(closes), m_nId(nId) {}
    void SendLine(const CString& /*strLine*/) override {}
    void SendBytes(const BYTE* /*pBytes*/, DWORD /*nCount*/) override {}
    void CloseLink() override
    {
        m_closes.push_back(std::to_wstring(m_nId));
        Leave();
        for (CLeavingLink* pOther : m_takesAlong)
            pOther->Leave();
    }
    void Leave() { m_core.RemoveOldApplication(m_nId, this); }

    std::vector<CLeavingLink*> m_takesAlong;

private:
    CSessionCore& m_core;
    Lines& m_closes;
    long m_nId;
};

std::wstring PayloadLine(const std::string& bytes)
{
    const unsigned long nCrc =
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    wchar_t text[64];
    std::swprintf(text, 64, L"payload %u %08lx", static_cast<unsigned>(bytes.size()), nCrc);
    return text;
}

const BYTE* Bytes(const std::string& text)
{
    return reinterpret_cast<const BYTE*>(text.data());
}

// A setting of an id the agent settings do not know, told apart by its name.
CAgentSetting NamedSetting(int32_t nId, LPCWSTR pszName)
{
    CAgentSetting setting(nId);
    setting.m_strName = pszName;
    return setting;
}

class SessionCoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AfxSocketInit());
        ASSERT_TRUE(m_listener.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1"));
        ASSERT_TRUE(m_listener.Listen());
        CSessionCore::Timings quick; // the real waits have tests of their own
        quick.nRegistrationPauseMs = 0;
        quick.nSettingsWaitRounds = 50;
        quick.nSettingsWaitStepMs = 10;
        m_core.SetTimings(quick);
        m_core.Roles().Install(m_dlg);
        m_core.SetJexSender(&m_jex);
        m_core.SetAgentSettingStore(&m_store);
        m_dlg.m_nAgentState = 4;
    }
    void TearDown() override
    {
        for (auto& pLink : m_listener.m_links)
            pLink->Close();
    }

    // Starts the peer with n application links and waits until we have accepted them all.
    void ConnectApplications(int n)
    {
        CString strAddress;
        UINT nPort = 0;
        ASSERT_TRUE(m_listener.GetSockName(strAddress, nPort));
        m_pPeer = std::make_unique<CPeerProcess>();
        ASSERT_TRUE(
            m_pPeer->Start(LUMO_PYTHON, LUMO_APP_RECORDER, "{dir} " + std::to_string(nPort) + " " + std::to_string(n)));
        ASSERT_TRUE(m_pPeer->WaitForFile(L"connected")) << m_pPeer->ReadFile(L"log");
        ASSERT_TRUE(PumpUntil([&] { return m_listener.m_links.size() == static_cast<size_t>(n); }));
    }
    CAppLink* Link(size_t i) { return m_listener.m_links.at(i).get(); }

    // Closes every link once its queue has gone out; what each peer link received, by link.
    std::vector<Lines> FinishAndReadLines()
    {
        std::vector<Lines> lines;
        EXPECT_TRUE(PumpUntil([&] {
            for (auto& pLink : m_listener.m_links)
                if (pLink->GetQueuedByteCount() != 0) return false;
            return true;
        }));
        for (auto& pLink : m_listener.m_links)
            pLink->Close();
        EXPECT_EQ(m_pPeer->ExitCode(), 0) << m_pPeer->ReadFile(L"log");
        for (size_t i = 0; i < m_listener.m_links.size(); ++i)
            lines.push_back(m_pPeer->ReadLines((L"lines" + std::to_wstring(i)).c_str()));
        return lines;
    }

    CRecordingAppHost m_app;
    CRecordingDlgHost m_dlg;
    CRecordingJex m_jex;
    CAgentSettingStore m_store;
    CSessionCore m_core{m_app};
    CAppListener m_listener;
    std::unique_ptr<CPeerProcess> m_pPeer;
};

TEST_F(SessionCoreTest, BroadcastsAndListsReachEveryRegisteredApplicationInItsDialect)
{
    ConnectApplications(4);
    ASSERT_TRUE(m_core.AddApplication(5, Link(0), TRUE, 41));
    ASSERT_TRUE(m_core.AddApplication(8, Link(1), TRUE, 42));
    ASSERT_TRUE(m_core.AddOldApplication(7, Link(2)));
    // Link 3 is connected but never registers: it must hear nothing.

    m_core.BroadcastAgentState(6, L"Pause");
    m_core.BroadcastJexConnectionState(FALSE);
    m_core.BroadcastEndTask(123);
    m_core.BroadcastManualDialResult(L"busy line", 3);
    m_core.BroadcastRecordResult(17, 1, L"ok");
    m_core.BroadcastAnnotationUpdate(1, 2, 3, 4, 5);
    m_core.BroadcastMuteState(2, TRUE);
    m_core.BroadcastVolume(1, 0.579);
    m_core.BroadcastVolume(2, -0.5);
    m_core.BroadcastVoipReady(TRUE);
    m_core.BroadcastSemiOpensUpdate(L"a b");
    m_core.BroadcastCallInfo(L"9:grp a:1");
    m_core.BroadcastQueueStatistics(L"");
    m_core.BroadcastPasswordChangeResult(2);
    m_core.BroadcastPasswordCheckResult(0);
    m_core.BroadcastEndTransfer(1);
    m_core.BroadcastTransferAgent(0, L"x");
    m_core.BroadcastTransferCall(55, L"y");
    m_core.BroadcastLumoPresent();
    m_core.SendAgentLogonResult(5, 0);
    m_core.SendAgentLogonResult(-1, 9); // no application log-on pending: nothing
    m_core.SendAgentList(3, 5, L"0", L"A=1 B");
    m_core.SendAgentList(4, 7, L"2", L"Count = \"1\" FN0 = \"Ann\" ID0 = \"9\" LN0 = \"Lee\" ");
    m_core.SendLocationList(6, 8, L"Count = \"1\" ID0 = \"2\" NM0 = \"Booth\" ");
    m_core.SendOutboundGroupList(7, 7, L"4 = \"Sales\" ");
    m_core.SendPauseList(8, 5, L"P");
    m_core.SendPauseList(9, 7, L"3 = \"Lunch\" 7 = \"Break\" ");
    m_core.BroadcastTimeSync();
    EXPECT_TRUE(m_core.IsPasswordChecked(7));

    std::vector<Lines> lines = FinishAndReadLines();
    ASSERT_EQ(lines.size(), 4u);
    // The clock of TTSYNC is the time tools' business; only its place is checked here.
    for (size_t i : {0u, 1u})
    {
        ASSERT_FALSE(lines[i].empty());
        EXPECT_EQ(lines[i].back().rfind(L"TTSYNC ", 0), 0u) << "link " << i;
        lines[i].pop_back();
    }
    const Lines common = {L"AGSTAT -1 -1 6",
                          L"JEXSTA -1 -1 0",
                          L"ENDTSK -1 -1 123",
                          L"MANDIA -1 -1 3",
                          L"RECCAL 17 -1 1",
                          L"UPDANO 1 -1 2 3 4 5",
                          L"AUMUTE -1 -1 2 1",
                          L"AUVLME -1 -1 1 57",
                          L"AUVLME -1 -1 2 -1",
                          L"VOIRDY -1 -1 1",
                          L"UPDSMO -1 -1 a b",
                          L"CALINF -1 -1 9:grp"
                          L"\x0c"
                          L"a:1",
                          L"STAQUE -1 -1 \x08",
                          L"ALOGON 5 -1 0"};
    Lines expected0 = {L"APLGIN 41 -1 1 4"};
    expected0.insert(expected0.end(), common.begin(), common.end());
    expected0.insert(expected0.end(), {L"LSTAGT 3 -1 0 A=1\x0c"
                                       L"B",
                                       L"LSTPAU 8 -1 P"});
    Lines expected1 = {L"APLGIN 42 -1 1 4"};
    expected1.insert(expected1.end(), common.begin(), common.end());
    expected1.push_back(L"LSTLOC 6 -1 Count\x0c=\x0c\"1\"\x0cID0\x0c=\x0c\"2\"\x0cNM0\x0c=\x0c\"Booth\"\x0c");
    const Lines expected2 = {L"APLGIN 4.2.0.17", L"AGSTAT Ready", L"AGSTAT Pause", L"JEXSTA 0", L"ENDOUT 123",
                             L"MANDIA busy line", L"RECCAL ok", L"UPDSMO a b", L"CALINF 9:grp a:1", L"STAQUE ",
                             L"CHGPWD 2", L"CHKPWD 0", L"ENDTRA 1", L"TRAAGE 0 x", L"TRACAL 55 y", L"LUMPRE",
                             // The lists in the old port's own keys, numbered from 1.
                             L"LSTSUP Firstname1 = \"Ann\" Id1 = \"9\" Surname1 = \"Lee\" ",
                             L"LSTLOC Computer1 = \"\" Id1 = \"2\" Name1 = \"Booth\" ",
                             L"LSTOGR Id1 = \"4\" Name1 = \"Sales\" ", L"PAUSES Lunch\u00a7Break\u00a7"};
    EXPECT_EQ(lines[0], expected0);
    EXPECT_EQ(lines[1], expected1);
    EXPECT_EQ(lines[2], expected2);
    EXPECT_EQ(lines[3], Lines{}) << "an unregistered socket hears nothing";
}

TEST_F(SessionCoreTest, RegisteringProgramsGetTheirHeldTaskSemiOpensAndOpenCalls)
{
    m_dlg.m_bKeyIn = TRUE;
    m_dlg.m_bSoftphone = TRUE;
    auto pCall = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
    pCall->m_nCallId = 10;
    pCall->m_nApplicationId = 0;
    pCall->m_nCallKind = 2;
    pCall->m_nCallType = 1; // Jex's call information has arrived: the call has information to send
    pCall->m_strTask = L"Survey=4 Name=x";
    m_core.AddCall(pCall);
    auto pEnded = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
    pEnded->m_nCallId = 11;
    pEnded->m_nApplicationId = 0;
    pEnded->m_bEnded = 1;
    m_core.AddCall(pEnded);
    auto pOther = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
    pOther->m_nCallId = 12;
    pOther->m_nApplicationId = 5;
    m_core.AddCall(pOther);

    // BrennClient is not there yet: the interview data and the tasks wait, and it is started once.
    const std::string data = "abcde";
    auto pData = std::make_unique<BYTE[]>(data.size());
    std::copy(data.begin(), data.end(), pData.get());
    EXPECT_FALSE(m_core.ForwardInterviewData(0, 99, 10, pData, 5, 0xAB));
    EXPECT_FALSE(pData) << "the call record took the data over";
    const std::string older = "older", newer = "newer contents";
    m_core.PassTaskToBrennClient(1, Bytes(older), 5, 0x11, L"r");
    m_core.PassTaskToBrennClient(2, Bytes(newer), 14, 0x22, L"res a");
    m_core.HoldSemiOpens(L"s o");
    EXPECT_EQ(m_app.m_started, std::vector<long>{0}) << "started once for the missing connection";
    EXPECT_TRUE(m_core.HasHeldTask(0));

    ConnectApplications(2);
    ASSERT_TRUE(m_core.AddApplication(0, Link(0), FALSE, 7));
    EXPECT_TRUE(m_core.IsProgramConnected(0));
    EXPECT_FALSE(m_core.HasHeldTask(0));
    EXPECT_TRUE(m_core.GetHeldSemiOpens().IsEmpty());
    EXPECT_EQ(m_dlg.m_softphoneLog, std::vector<std::wstring>{L"CallID: 10 Start Call"});
    EXPECT_TRUE(m_core.IsTaskStarted());

    // Connected now: a task goes straight out; Quillan's task waits for Quillan alone.
    const std::string direct = "direct";
    m_core.PassTaskToBrennClient(3, Bytes(direct), 6, 0x33, L"");
    const std::string script = "script";
    m_core.PassTaskToQuillan(4, Bytes(script), 6, 0x44, L"q");
    EXPECT_EQ(m_app.m_started, (std::vector<long>{0, 11}));
    // Interview data for a connected application go out at once and stay the caller's.
    auto pMore = std::make_unique<BYTE[]>(3);
    std::copy_n("xyz", 3, pMore.get());
    EXPECT_TRUE(m_core.ForwardInterviewData(0, 98, 30, pMore, 3, 0x55));
    EXPECT_TRUE(pMore);
    EXPECT_FALSE(m_core.FindCall(30));
    ASSERT_TRUE(m_core.AddApplication(11, Link(1), TRUE, 9));
    EXPECT_FALSE(m_core.HasHeldTask(11));

    const std::vector<Lines> lines = FinishAndReadLines();
    const Lines expected0 = {L"APLGIN 7 -1 1 4",
                             L"UPDTSK -1 14 2 34 res\x0c"
                             L"a",
                             PayloadLine(newer),
                             L"UPDSMO -1 -1 s o",
                             L"CALINF -1 -1 " + CAsyncSocketEx::EscapeParameter(pCall->Format()).Str(),
                             L"SNDINT -1 5 99 10 171",
                             PayloadLine(data),
                             L"STACAL -1 -1 2 Survey=4\x0cName=x",
                             L"ASSKYI -1 -1 1",
                             L"UPDTSK -1 6 3 51 \x08",
                             PayloadLine(direct),
                             L"SNDINT -1 3 98 30 85",
                             PayloadLine("xyz")};
    const Lines expected1 = {L"APLGIN 9 -1 1 4", L"UPDTSK -1 6 4 68 q", PayloadLine(script), L"ASSKYI -1 -1 1"};
    EXPECT_EQ(lines.at(0), expected0);
    EXPECT_EQ(lines.at(1), expected1);
}

TEST_F(SessionCoreTest, AnOldPortApplicationGetsItsOpenCallsInTheOldDialect)
{
    auto pCall = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
    pCall->m_nCallId = 40;
    pCall->m_nApplicationId = 5;
    pCall->m_nCallKind = 1;
    pCall->m_nCallType = 1;
    pCall->m_nCallState = 2;
    pCall->m_strTask = L"Survey=4 Name=x";
    m_core.AddCall(pCall);
    // A call Jex has told nothing of yet: it starts, but has no information to send on either port.
    auto pUntold = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
    pUntold->m_nCallId = 41;
    pUntold->m_nApplicationId = 5;
    pUntold->m_nCallKind = 2;
    pUntold->m_strTask = L"T";
    m_core.AddCall(pUntold);
    ConnectApplications(2);
    ASSERT_TRUE(m_core.AddOldApplication(5, Link(0)));
    EXPECT_EQ(m_core.GetReplayMaster(), 5);
    ASSERT_TRUE(m_core.AddApplication(5, Link(1), TRUE, 3));
    const std::vector<Lines> lines = FinishAndReadLines();
    const Lines expectedOld = {L"APLGIN 4.2.0.17", L"AGSTAT Ready",
                               L"CALINF " + pCall->FormatOldDialect(L"Voice", L"Talking").Str(),
                               L"STACAL 1 Survey=4 Name=x", L"STACAL 2 T",
                               // the calls start again for the id's registration on the current port
                               L"STACAL 1 Survey=4 Name=x", L"STACAL 2 T"};
    EXPECT_EQ(lines.at(0), expectedOld);
    const Lines expectedCurrent = {L"APLGIN 3 -1 1 4",
                                   L"CALINF -1 -1 " + CAsyncSocketEx::EscapeParameter(pCall->Format()).Str(),
                                   L"STACAL -1 -1 1 Survey=4\x0cName=x", L"STACAL -1 -1 2 T"};
    EXPECT_EQ(lines.at(1), expectedCurrent);
}

TEST_F(SessionCoreTest, AnIdHeldOnBothPortsStaysUntilBothClose)
{
    m_app.m_bVisible = FALSE;
    auto pCall = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
    pCall->m_nCallId = 20;
    pCall->m_nApplicationId = 0;
    m_core.AddCall(pCall);
    ConnectApplications(3);
    ASSERT_TRUE(m_core.AddApplication(0, Link(0), TRUE, 1));
    ASSERT_TRUE(m_core.AddOldApplication(0, Link(1)));
    // A second BrennClient on the current port is refused; its close changes nothing.
    EXPECT_FALSE(m_core.AddApplication(0, Link(2), TRUE, 2));
    EXPECT_EQ(m_core.FindApplication(0), Link(0));
    EXPECT_FALSE(m_core.RemoveApplication(0, Link(2)));
    EXPECT_EQ(m_core.FindApplication(0), Link(0));

    EXPECT_TRUE(m_core.RemoveApplication(0, Link(0)));
    EXPECT_EQ(m_core.FindApplication(0), nullptr);
    EXPECT_EQ(m_core.FindOldApplication(0), Link(1));
    EXPECT_TRUE(m_core.IsProgramConnected(0)) << "still there on the old port";
    EXPECT_TRUE(m_app.m_started.empty());
    EXPECT_EQ(m_app.m_nShown, 0);

    EXPECT_TRUE(m_core.RemoveOldApplication(0, Link(1)));
    EXPECT_FALSE(m_core.IsRegistered(0));
    EXPECT_FALSE(m_core.IsProgramConnected(0));
    EXPECT_EQ(m_app.m_started, std::vector<long>{0}) << "its open call needs it back";
    EXPECT_EQ(m_app.m_nShown, 1) << "the last application left while the desktop was hidden";
    EXPECT_EQ(m_app.m_nChecks, 2) << "the refused program's close checks nothing";
    const std::vector<Lines> lines = FinishAndReadLines();
    EXPECT_EQ(lines.at(2), Lines{}) << "the refused program got no answer";
}

// Only a registered application leaving is a departure. What follows one: the program is gone
// (seen here as the restart of BrennClient, whose open call nobody serves), the hidden desktop shows
// when nobody is left, and the Jex link is checked.
TEST_F(SessionCoreTest, OnlyARegisteredApplicationsDepartureHasConsequences)
{
    struct RemovalCase
    {
        const char* why;
        std::function<BOOL(CSessionCore&, CAppLink*, CAppLink*)> act; // the removal's result
        BOOL bRemoved;
        bool bGone;
        int nShown;
        int nChecks;
    };
    const RemovalCase cases[] = {
        {"closed before its APLGIN (id -1)",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink*) { return core.RemoveApplication(-1, pFirst); }, FALSE,
         false, 0, 0},
        {"closed before its APLGIN on the old port",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink*) { return core.RemoveOldApplication(-1, pFirst); }, FALSE,
         false, 0, 0},
        {"a refused second id",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink* pSecond) {
             EXPECT_TRUE(core.AddApplication(5, pFirst, TRUE, 1));
             EXPECT_FALSE(core.AddApplication(5, pSecond, TRUE, 1));
             const BOOL bRemoved = core.RemoveApplication(5, pSecond);
             EXPECT_EQ(core.FindApplication(5), pFirst) << "the holder stays";
             return bRemoved;
         },
         FALSE, false, 0, 0},
        {"a refused second id on the old port",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink* pSecond) {
             EXPECT_TRUE(core.AddOldApplication(5, pFirst));
             EXPECT_FALSE(core.AddOldApplication(5, pSecond));
             return core.RemoveOldApplication(5, pSecond);
         },
         FALSE, false, 0, 0},
        {"an id on one port while another stays",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink* pSecond) {
             EXPECT_TRUE(core.AddOldApplication(5, pFirst));
             EXPECT_TRUE(core.AddApplication(7, pSecond, TRUE, 1));
             return core.RemoveOldApplication(5, pFirst);
         },
         TRUE, true, 0, 1},
        {"an id on both ports, of which one closes",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink* pSecond) {
             EXPECT_TRUE(core.AddApplication(5, pFirst, TRUE, 1));
             EXPECT_TRUE(core.AddOldApplication(5, pSecond));
             return core.RemoveApplication(5, pFirst);
         },
         TRUE, false, 0, 1},
        {"the last program while hidden",
         [](CSessionCore& core, CAppLink* pFirst, CAppLink*) {
             EXPECT_TRUE(core.AddApplication(5, pFirst, TRUE, 1));
             return core.RemoveApplication(5, pFirst);
         },
         TRUE, true, 1, 1},
    };
    ConnectApplications(2 * static_cast<int>(std::size(cases)));
    size_t nLink = 0;
    for (const RemovalCase& c : cases)
    {
        SCOPED_TRACE(c.why);
        CRecordingAppHost app;
        app.m_bVisible = FALSE;
        CSessionCore core(app);
        CSessionCore::Timings quick;
        quick.nRegistrationPauseMs = 0;
        core.SetTimings(quick);
        core.Roles().Install(m_dlg);
        core.SetJexSender(&m_jex);
        auto pCall = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
        pCall->m_nCallId = 20;
        pCall->m_nApplicationId = CSessionCore::kBrennClientId; // open, and BrennClient is not connected
        core.AddCall(pCall);

        CAppLink* pFirst = Link(nLink++);
        CAppLink* pSecond = Link(nLink++);
        EXPECT_EQ(c.act(core, pFirst, pSecond), c.bRemoved);
        EXPECT_EQ(app.m_started, c.bGone ? std::vector<long>{0} : std::vector<long>{}) << "the program gone";
        EXPECT_EQ(app.m_nShown, c.nShown) << "the desktop shown";
        EXPECT_EQ(app.m_nChecks, c.nChecks) << "the Jex link checked";
    }
    FinishAndReadLines();
}

TEST_F(SessionCoreTest, ReplayMasterIsTakenReleasedAndHandedOnInIdOrder)
{
    ConnectApplications(5);
    ASSERT_TRUE(m_core.AddApplication(0, Link(0), FALSE, 1));
    EXPECT_EQ(m_core.GetReplayMaster(), -1) << "BrennClient never takes the role by registering";
    ASSERT_TRUE(m_core.AddOldApplication(11, Link(1)));
    EXPECT_EQ(m_core.GetReplayMaster(), 11);
    ASSERT_TRUE(m_core.AddOldApplication(5, Link(2)));
    ASSERT_TRUE(m_core.AddOldApplication(0, Link(3)));
    EXPECT_EQ(m_core.GetReplayMaster(), 11);

    EXPECT_TRUE(m_core.AssignReplayMaster(3, FALSE, TRUE)) << "a release by another id";
    EXPECT_EQ(m_core.GetReplayMaster(), 11) << "changes nothing";

    EXPECT_TRUE(m_core.AssignReplayMaster(11, FALSE, TRUE));
    EXPECT_EQ(m_core.GetReplayMaster(), 5) << "the lowest old-port id other than 0 and the releasing one";

    EXPECT_TRUE(m_core.AssignReplayMaster(8, TRUE, FALSE));
    EXPECT_TRUE(m_core.IsReplayMasterLocked());
    EXPECT_FALSE(m_core.AssignReplayMaster(9, TRUE, TRUE)) << "locked";
    EXPECT_EQ(m_core.GetReplayMaster(), 8);

    ASSERT_TRUE(m_core.AddApplication(9, Link(4), TRUE, 2));
    EXPECT_TRUE(m_core.AssignReplayMaster(8, FALSE, TRUE));
    EXPECT_EQ(m_core.GetReplayMaster(), 9) << "a current-port application that may take it comes first";
    EXPECT_FALSE(m_core.IsReplayMasterLocked());

    // Its departure hands the role on to the old port.
    EXPECT_TRUE(m_core.RemoveApplication(9, Link(4)));
    EXPECT_EQ(m_core.GetReplayMaster(), 5);
    EXPECT_TRUE(m_core.RemoveOldApplication(5, Link(2)));
    EXPECT_EQ(m_core.GetReplayMaster(), 11);
    EXPECT_TRUE(m_core.RemoveOldApplication(11, Link(1)));
    EXPECT_EQ(m_core.GetReplayMaster(), -1) << "only BrennClient is left";
    FinishAndReadLines();
}

TEST_F(SessionCoreTest, MessagesGoToTheReplayMasterInItsDialect)
{
    CMessage message;
    message.m_strText = L"Call me";
    const std::string attachment = "PDF";
    auto* pFile = new CMemFile();
    pFile->Write(attachment.data(), static_cast<UINT>(attachment.size()));
    message.AddAttachment(pFile, L"a.pdf");
    message.m_arrAttachments[0]->m_nSize = static_cast<long>(attachment.size());
    EXPECT_FALSE(m_core.SendMessageToReplayMaster(L"Sup One", message)) << "nobody holds the role";

    ConnectApplications(2);
    ASSERT_TRUE(m_core.AddApplication(6, Link(0), TRUE, 1));
    EXPECT_FALSE(m_core.SendMessageToReplayMaster(L"Sup One", message)) << "the main window shows it too";
    ASSERT_TRUE(m_core.AddOldApplication(4, Link(1)));
    ASSERT_TRUE(m_core.AssignReplayMaster(4, TRUE, TRUE));
    EXPECT_TRUE(m_core.SendMessageToReplayMaster(L"Sup One", message));

    CString strText;
    message.GetText(strText, true);
    CPropertyList notice;
    notice.SetProperty(L"Name", L"Sup One");
    notice.SetProperty(L"Reply", L"Call me");
    const std::vector<Lines> lines = FinishAndReadLines();
    const Lines expected0 = {L"APLGIN 1 -1 1 4",
                             L"SNDMSG -1 3 " + CAsyncSocketEx::EscapeParameter(strText).Str() + L" Sup\x0cOne",
                             PayloadLine(attachment)};
    EXPECT_EQ(lines.at(0), expected0);
    const Lines expected1 = {L"APLGIN 4.2.0.17", L"AGSTAT Ready", L"SNDMSG " + notice.GetString().Str()};
    EXPECT_EQ(lines.at(1), expected1);
}

// The replay master reads exactly the announced bytes behind the message's line, whatever its
// attachments' files hold: a short file is made up with zeros, a long one cut, a missing one is
// zeros; the line after it arrives whole.
TEST_F(SessionCoreTest, AMessageToTheReplayMasterCarriesExactlyTheAnnouncedBytes)
{
    CMessage message;
    message.m_strText = L"Files";
    const auto attach = [&](const std::string& bytes, long nAnnounced, bool bFile) {
        auto* pFile = new CMemFile();
        pFile->Write(bytes.data(), static_cast<UINT>(bytes.size()));
        message.AddAttachment(pFile, L"f.bin");
        CMessage::CMessageAttachment& attachment = *message.m_arrAttachments[message.m_arrAttachments.GetSize() - 1];
        attachment.m_nSize = nAnnounced;
        if (!bFile)
        {
            delete attachment.m_pFile; // gone before the message was passed on
            attachment.m_pFile = nullptr;
        }
    };
    attach("ab", 5, true);                        // shorter than announced
    attach("0123456789", 4, true);                // longer than announced
    attach("xyz", 3, false);                      // missing
    attach("ignored", 0, true);                   // announces nothing
    attach(std::string(15000, 'L'), 12000, true); // cut inside its second block

    ConnectApplications(1);
    ASSERT_TRUE(m_core.AddApplication(6, Link(0), TRUE, 1));
    EXPECT_EQ(m_core.GetReplayMaster(), 6);
    EXPECT_FALSE(m_core.SendMessageToReplayMaster(L"Sup", message));
    m_core.BroadcastVoipReady(TRUE);

    CString strText;
    message.GetText(strText, true);
    const std::string payload = std::string("ab\0\0\0", 5) + "0123" + std::string(3, '\0') + std::string(12000, 'L');
    const std::vector<Lines> lines = FinishAndReadLines();
    const Lines expected = {L"APLGIN 1 -1 1 4",
                            L"SNDMSG -1 12012 " + CAsyncSocketEx::EscapeParameter(strText).Str() + L" Sup",
                            PayloadLine(payload), L"VOIRDY -1 -1 1"};
    EXPECT_EQ(lines.at(0), expected);
}

TEST_F(SessionCoreTest, ApplicationSettingsAreCachedAskedForAndAgentSettingsPassedOn)
{
    m_app.m_agent.m_nId = 77;
    m_core.StoreSetting(5, NamedSetting(3, L"first"));
    m_core.StoreSetting(5, NamedSetting(3, L"second")); // replaces the earlier copy
    CAgentSetting toolbar;
    toolbar.SetProperties(L"Id = \"1000\" Type = \"1\" Value = \"1\" "); // as UPDASE carries it
    ASSERT_FALSE(m_store.GetToolbarOnTopSetting());
    m_core.StoreSetting(2, toolbar);
    EXPECT_TRUE(m_store.GetToolbarOnTopSetting()) << "kind 2 replaces the agent setting";
    EXPECT_FALSE(m_core.GetApplicationSettings().contains(2));
    m_core.StoreApplicationSetting(102, NamedSetting(4, L"app"));
    EXPECT_FALSE(m_store.LookupAgentSetting(4, FALSE)) << "an application's setting never becomes the agent's";

    std::shared_ptr<const CAgentSetting> pSetting = m_core.GetApplicationSetting(105, 3);
    ASSERT_TRUE(pSetting);
    EXPECT_EQ(pSetting->m_strName.Str(), L"second");
    EXPECT_FALSE(m_core.GetApplicationSetting(105, 4)) << "cached owner, unknown id";
    pSetting = m_core.GetApplicationSetting(102, 4);
    ASSERT_TRUE(pSetting);
    EXPECT_EQ(pSetting->m_strName.Str(), L"app");
    EXPECT_TRUE(m_jex.m_sent.empty()) << "cache hits ask Jex nothing";

    // A miss asks Jex; its answer arrives through the message loop while the core waits.
    ConnectApplications(1);
    Link(0)->m_onEcho = [&] {
        m_core.StoreSetting(9, NamedSetting(6, L"six"));
        m_core.SetApplicationSettingsComplete();
    };
    m_jex.m_onRequest = [&] { Link(0)->SendCommand(L"ECHOME %s\r", L"answer"); };
    pSetting = m_core.GetApplicationSetting(109, 6);
    ASSERT_TRUE(pSetting);
    EXPECT_EQ(pSetting->m_strName.Str(), L"six");
    EXPECT_EQ(m_jex.m_sent, std::vector<std::wstring>{L"RQASFA 77 9 1"});
    FinishAndReadLines();
}

// Logging off closes each old-port link once, also when closing one takes another with it, and
// leaves none registered.
TEST_F(SessionCoreTest, ClosingTheOldApplicationsClosesEachLinkOnceWhileLinksTakeOthersAlong)
{
    Lines closes;
    CLeavingLink first(m_core, closes, 3), second(m_core, closes, 5), third(m_core, closes, 8);
    first.m_takesAlong = {&second};
    ASSERT_TRUE(m_core.AddOldApplication(3, &first));
    ASSERT_TRUE(m_core.AddOldApplication(5, &second));
    ASSERT_TRUE(m_core.AddOldApplication(8, &third));
    m_core.CloseOldApplications();
    EXPECT_EQ(closes, (Lines{L"3", L"8"})) << "the link that went along is not closed again";
    EXPECT_FALSE(m_core.HasApplications());
}

// The waits with their real lengths, one test each.
TEST_F(SessionCoreTest, ASilentJexGivesNoSettingAfterTenSecondsWhileLinksStayServed)
{
    m_core.SetTimings(CSessionCore::Timings{});
    ConnectApplications(1);
    m_jex.m_onRequest = [&] { Link(0)->SendCommand(L"ECHOME %s\r", L"during"); };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_core.GetApplicationSetting(120, 1));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(9500));
    EXPECT_LT(waited, std::chrono::milliseconds(20000));
    EXPECT_EQ(Link(0)->m_echoes, std::vector<std::wstring>{L"during"}) << "the link was served during the wait";
    EXPECT_EQ(m_jex.m_sent, std::vector<std::wstring>{L"RQASFA -1 20 1"});
    FinishAndReadLines();
}

TEST_F(SessionCoreTest, RegistrationPausesAfterTheAnswer)
{
    m_core.SetTimings(CSessionCore::Timings{});
    ConnectApplications(1);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_core.AddApplication(3, Link(0), TRUE, 1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
    FinishAndReadLines();
}

TEST(SessionCoreHold, TheIntervalIsTwoSeconds)
{
    EXPECT_EQ(CSessionCore::Timings{}.nHoldIntervalMs, 2000u);
}

TEST(SessionCoreHold, ASecondRequestWithinTheIntervalIsIgnored)
{
    CRecordingAppHost app;
    CRecordingJex jex;
    CSessionCore core(app);
    // The rule is about real time: an interval of an hour is one the test never outlives, a short
    // one is soon over, without the test sleeping through the real two seconds.
    CSessionCore::Timings timings;
    timings.nHoldIntervalMs = 60 * 60 * 1000;
    core.SetTimings(timings);
    EXPECT_FALSE(core.HoldOrRetrieveCall(FALSE, 1, FALSE)) << "no Jex link";
    core.SetJexSender(&jex);
    EXPECT_TRUE(core.HoldOrRetrieveCall(FALSE, 1, FALSE));
    EXPECT_FALSE(core.HoldOrRetrieveCall(TRUE, 1, FALSE));
    EXPECT_TRUE(core.HoldOrRetrieveCall(TRUE, 2, TRUE)) << "forced";
    const ULONGLONG nForced = ::GetTickCount64();
    timings.nHoldIntervalMs = 100;
    core.SetTimings(timings);
    for (int i = 0; i < 500 && ::GetTickCount64() - nForced <= 150; ++i)
        ::Sleep(10);
    ASSERT_GT(::GetTickCount64() - nForced, 150u);
    EXPECT_TRUE(core.HoldOrRetrieveCall(TRUE, 3, FALSE));
    EXPECT_EQ(jex.m_sent, (std::vector<std::wstring>{L"ONHOLD 1", L"TAKBAC 2", L"TAKBAC 3"}));
}

TEST(SessionCoreLogon, ApplicationLogonsGoToJexUnlessTheDesktopUsesWindowsAccounts)
{
    CRecordingAppHost app;
    CRecordingJex jex;
    CSessionCore core(app);
    core.ForwardApplicationLogon(4, L"a", L"b", L"c", L"d"); // no Jex link
    core.SetJexSender(&jex);
    core.ForwardApplicationLogon(5, L"1", L"user", L"pw", L"x");
    app.m_bUseAuthentication = TRUE;
    core.ForwardApplicationLogon(6, L"1", L"user", L"pw", L"x");
    EXPECT_EQ(jex.m_sent, std::vector<std::wstring>{L"APPLGN 5 1 user pw x"});
}

} // namespace
