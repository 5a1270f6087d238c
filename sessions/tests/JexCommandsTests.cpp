// The commands of Jex on the command link, sent by the scripted Jex (tests/peers/scripted_jex.py)
// over 127.0.0.1: what reaches the main window, the waiting window, the application object, the
// session core and the application relays.
#include "sessions/tests/JexLinkFixture.h"
#include "sessions/tests/CEffectDlgHost.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAgentSettingStore.h"
#include "sessions/CLocation.h"
#include "sessions/COutboundGroup.h"
#include "sessions/CSessionCore.h"
#include "sessions/IApplicationRelay.h"
#include "sessions/IOldApplicationLink.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
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

std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

class CEffectRelay : public IApplicationRelay
{
public:
    explicit CEffectRelay(Lines& effects) : m_effects(effects) {}
    void SendInterviewConfirmation(long nApp, BOOL bCurrent, long nFirst, long nThird) override
    {
        m_effects.push_back(L"SendInterviewConfirmation " + Num(nApp) + L" " + Num(bCurrent) + L" " + Num(nFirst) +
                            L" " + Num(nThird));
    }
    void SendCallAnswer(CallAnswer kind, long nApp, long nRequest, long nCall, long nResult) override
    {
        m_effects.push_back(L"SendCallAnswer " + Num(kind) + L" " + Num(nApp) + L" " + Num(nRequest) + L" " +
                            Num(nCall) + L" " + Num(nResult));
    }

private:
    Lines& m_effects;
};

// An application as the session core sees it: what the core sends it is noted, nothing goes out.
// The same on either port.
class CEffectAppSocket : public CAsyncSocketEx, public IOldApplicationLink
{
public:
    void SendLine(const CString& strLine) override { SendString(strLine); }
    void SendBytes(const BYTE* pBytes, DWORD nCount) override { SendRaw(pBytes, static_cast<int>(nCount)); }
    void CloseLink() override { m_effects.push_back(m_name + L" closed"); }
    using CAsyncSocketEx::SendCommand;
    CEffectAppSocket(Lines& effects, const std::wstring& name) : m_effects(effects), m_name(name) {}
    void SendString(const CString& strText) override
    {
        std::wstring line = strText.Str();
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        m_effects.push_back(m_name + L"< " + line);
    }
    void SendRaw(const void* pBytes, int nCount) override
    {
        m_effects.push_back(m_name + L"< " +
                            CEffectDlgHost::BytesText(static_cast<const BYTE*>(pBytes), static_cast<DWORD>(nCount)));
    }

private:
    Lines& m_effects;
    std::wstring m_name;
};

// A waiting window: what the heap or borrowed objects of WM_JEXREPLY carry, as text.
class CEffectReplyWindow : public CRecordingParent
{
public:
    Lines m_replies;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_JEXREPLY) m_replies.push_back(Describe(wParam, lParam));
        if (message == WM_CALLACKREQUEST)
        {
            const std::unique_ptr<CString> pText(reinterpret_cast<CString*>(lParam));
            m_replies.push_back(L"CALLACKREQUEST " + Num(static_cast<long>(wParam)) + L" " + pText->Str());
        }
        if (message == WM_CALLACKREMOVE)
            m_replies.push_back(L"CALLACKREMOVE " + Num(static_cast<long>(wParam)) + L" " + Num(lParam));
        return CRecordingParent::WindowProc(message, wParam, lParam);
    }

private:
    template <typename Record> static void AppendRecords(std::wstring& text, LPARAM lParam)
    {
        const auto& records = *reinterpret_cast<CObArray*>(lParam);
        for (INT_PTR i = 0; i < records.GetSize(); ++i)
        {
            const auto* pRecord = static_cast<const Record*>(records[i]);
            text += L" " + Num(pRecord->m_nId) + L"=" + pRecord->m_strName.Str();
        }
    }
    static std::wstring Describe(WPARAM nKind, LPARAM lParam)
    {
        std::wstring text = L"reply " + Num(static_cast<long long>(nKind)) + L":";
        switch (nKind)
        {
        case CJexSocket::replyAgentList: {
            const auto& fields = *reinterpret_cast<CStringArray*>(lParam);
            for (INT_PTR i = 0; i < fields.GetSize(); ++i)
                text += L" " + fields[i].Str();
            break;
        }
        case CJexSocket::replyChangePassword: {
            const std::unique_ptr<CJexSocket::PasswordResult> pResult(
                reinterpret_cast<CJexSocket::PasswordResult*>(lParam));
            text += L" " + Num(pResult->nAgentId) + L" " + Num(pResult->nResult);
            break;
        }
        case CJexSocket::replyLocations:
            AppendRecords<CLocation>(text, lParam);
            break;
        case CJexSocket::replyOutboundGroups:
            AppendRecords<COutboundGroup>(text, lParam);
            break;
        case CJexSocket::replyAgentInboundGroups:
        case CJexSocket::replyAgentOutboundGroups:
            text += L" " + reinterpret_cast<CString*>(lParam)->Str();
            break;
        default:
            text += L" " + Num(lParam);
        }
        return text;
    }
};

// A session with everything a command may reach: main window, waiting window, core with an
// application 11 on the current port and 5 on the old one, and the relays.
class JexCommandsTest : public JexLinkFixture
{
protected:
    void SetUp() override
    {
        JexLinkFixture::SetUp();
        ASSERT_TRUE(m_reply.Create() && m_main.Create());
        CSessionCore::Timings timings;
        timings.nRegistrationPauseMs = 0;
        timings.nJexWaitRounds = 0; // application 11 registers before the link exists
        m_core.SetTimings(timings);
        m_core.Roles().Install(m_dlg);
        m_core.SetAgentSettingStore(&m_store);
        ASSERT_TRUE(m_core.AddApplication(11, &m_app11, TRUE, 1));
        ASSERT_TRUE(m_core.AddOldApplication(5, &m_app5));
        CSmartObjectPtr<CCallInfo> pCall(new CCallInfo(FALSE));
        pCall->m_nCallId = 31;
        pCall->m_nApplicationId = 11;
        m_core.AddCall(pCall);
        m_app.m_effects.clear();
        m_pCore = &m_core;
    }
    void TearDown() override
    {
        m_core.RemoveApplication(11, &m_app11);
        m_core.RemoveOldApplication(5, &m_app5);
    }

    // Connects, greets and wires the link as the desktop does.
    bool Start(const std::string& script, const Files& files = {}, bool bMainWindow = true)
    {
        if (!Connect(script, files)) return false;
        if (bMainWindow) m_pLink->SetMainWindow(&m_dlg, &m_main);
        m_pLink->SetApplicationRelay(&m_relay);
        m_pLink->Logon(&m_reply); // the waiting window, as a dialog makes itself one
        return true;
    }
    // An empty work folder of its own for the attachment files; empty when it cannot be made.
    std::filesystem::path UseFreshWorkFolder(const char* pszName)
    {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / (pszName + std::to_string(GetCurrentProcessId()));
        std::filesystem::remove_all(folder);
        if (!std::filesystem::create_directories(folder)) return {};
        m_app.m_strWorkFolder = (folder.wstring() + L"\\").c_str();
        return folder;
    }
    // Every effect up to the marker Jex sends last ("ENDOUT 999" unless said otherwise).
    bool WaitForMarker(const std::wstring& marker = L"OnOutboundCallEnded 999")
    {
        const bool bSeen = PumpUntil(
            [&] { return std::find(m_app.m_effects.begin(), m_app.m_effects.end(), marker) != m_app.m_effects.end(); });
        if (bSeen) m_app.m_effects.pop_back();
        return bSeen && PumpUntilIdle();
    }

    Lines& m_effects = m_app.m_effects;
    CEffectDlgHost m_dlg{m_app.m_effects};
    CEffectRelay m_relay{m_app.m_effects};
    CEffectAppSocket m_app11{m_app.m_effects, L"app11"};
    CEffectAppSocket m_app5{m_app.m_effects, L"old5"};
    CEffectReplyWindow m_reply;
    CEffectReplyWindow m_main;
    CAgentSettingStore m_store;
    CSessionCore m_core{m_app};
};

std::string Crc(const std::string& bytes)
{
    return std::to_string(CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>(bytes.data()),
                                                             static_cast<unsigned long>(bytes.size())));
}

std::wstring WideCrc(const std::string& bytes)
{
    const std::string crc = Crc(bytes);
    return std::wstring(crc.begin(), crc.end());
}

struct CommandCase
{
    const char* script; // what Jex sends
    Lines effects;      // in order; none when the line is refused or ignored
};

// How a word is read, as Jex's vocabulary fixes it: the handler mode, the field counts a line may
// have (none listed: no count check) and whether it waits for the session.
struct EntryRule
{
    const wchar_t* word;
    int nMode;
    std::vector<int> counts;
    bool bSession = true;
};

void ExpectMapHolds(CSocketCommandMap& map, const std::vector<EntryRule>& rules)
{
    const wchar_t* const kBuiltIns[] = {L"CNPROP", L"CURTIM", L"TTSYNC", L"HEARTB"};
    EXPECT_EQ(map.GetCount(), static_cast<INT_PTR>(std::size(kBuiltIns) + rules.size()));
    for (const wchar_t* pszWord : kBuiltIns)
    {
        CSocketCommand* pEntry = nullptr;
        EXPECT_TRUE(map.Lookup(pszWord, pEntry) && pEntry && !pEntry->m_bNeedsSession) << pszWord;
    }
    for (const EntryRule& rule : rules)
    {
        SCOPED_TRACE(CStringA(rule.word).GetString());
        CSocketCommand* pEntry = nullptr;
        ASSERT_TRUE(map.Lookup(rule.word, pEntry) && pEntry);
        EXPECT_EQ(pEntry->m_nMode, rule.nMode);
        EXPECT_EQ(pEntry->m_bNeedsSession, rule.bSession);
        EXPECT_EQ(pEntry->m_nCountCheck, rule.counts.empty() ? CSocketCommand::checkNone : CSocketCommand::checkOneOf);
        EXPECT_EQ(pEntry->m_arrCounts, rule.counts);
    }
}

TEST(JexCommandMaps, EveryWordHasItsModeCountsAndSessionRule)
{
    constexpr int F = CSocketCommand::modeFields, P = CSocketCommand::modeFieldsPayload, T = CSocketCommand::modeText,
                  U = CSocketCommand::modeTextPayload;
    const std::vector<EntryRule> kShared = {{L"SNDSRE", F, {3}}};
    std::vector<EntryRule> command = {
        {L"AGASKI", F, {1}},       {L"AGSTAT", T, {}},     {L"ALOGON", F, {4}},    {L"ALOGOS", F, {5}},
        {L"ASUFIN", F, {0}},       {L"AVLOUT", F, {1, 3}}, {L"BLITRA", T, {}},     {L"CALACK", F, {2}},
        {L"CALINF", T, {}},        {L"CALLHY", P, {5}},    {L"CALRAC", F, {2}},    {L"CHGPWD", F, {2}},
        {L"CHKPWD", F, {2}},       {L"CONADD", T, {}},     {L"ENDOUT", F, {1}},    {L"FNDCON", F, {1}},
        {L"HTBEAT", T, {}},        {L"KYIINT", F, {3}},    {L"LSTAGT", F, {4}},    {L"LSTLOC", F, {1, 3}},
        {L"LSTMIG", T, {}},        {L"LSTMOG", T, {}},     {L"LSTOGR", F, {3}},    {L"LSTPAU", F, {3}},
        {L"LUMDIA", F, {1}},       {L"MANDIA", F, {1}},    {L"NEXCAL", T, {}},     {L"NORIGT", T, {}},
        {L"NUMINF", T, {}},        {L"OKTRAN", T, {}},     {L"ONHOLD", T, {}},     {L"PLSEND", F, {3}},
        {L"PLSSTA", F, {3}},       {L"QREEND", F, {3}},    {L"QRESTA", F, {3}},    {L"QTAUPD", P, {3}},
        {L"RECCAL", F, {2}},       {L"REFNUM", T, {}},     {L"REQMAN", T, {}},     {L"SEE-IN", F, {3}},
        {L"SELNMR", T, {}},        {L"SETPER", F, {1}},    {L"SNDINT", P, {4, 6}}, {L"SNDMSG", P, {3}},
        {L"STAKYI", T, {}},        {L"STAQUE", T, {}},     {L"STRTIN", F, {1}},    {L"STRTOU", F, {1}},
        {L"TAKBAC", T, {}},        {L"TAKCAL", T, {}},     {L"TRACAL", T, {}},     {L"TRAEND", F, {1}},
        {L"TRANIN", F, {1}},       {L"TRANOU", F, {1}},    {L"TRNSFR", F, {1}},    {L"TSKRES", P, {2, 5}},
        {L"UPDALO", F, {1}},       {L"UPDANO", F, {5}},    {L"UPDASE", F, {2}},    {L"UPDATE", U, {}, false},
        {L"UPDSFT", F, {1}},       {L"UPDSMO", T, {}},     {L"UPDTSK", P, {5}},    {L"VOICIP", F, {2}},
        {L"STARTS", T, {}, false},
    };
    ASSERT_EQ(command.size(), 65u);
    std::vector<EntryRule> data = {{L"STARTS", T, {}, false}, {L"ALGDAT", T, {}, false}};
    command.insert(command.end(), kShared.begin(), kShared.end());
    data.insert(data.end(), kShared.begin(), kShared.end());

    CJexLinkAppHost app;
    CAnsweringBoxes boxes;
    CJexSocket link(app, boxes);
    link.InitCommandMap();
    link.GetDataSocket().InitCommandMap();
    {
        SCOPED_TRACE("command link");
        ExpectMapHolds(*link.GetCommandMap(), command);
    }
    {
        SCOPED_TRACE("data link");
        ExpectMapHolds(*link.GetDataSocket().GetCommandMap(), data);
    }
}

TEST_F(JexCommandsTest, EveryWordReachesItsReceiverUnderItsCountAndSessionRules)
{
    const std::string history = "history", quota = "quota", interview = "survey data", resource = "res",
                      task = "task bytes";
    const CommandCase kCases[] = {
        // Counts: a wrong count is refused before the handler runs.
        {"send AGASKI 1 2", {}},
        {"send AVLOUT 1 2", {}},
        {"send ASUFIN surplus", {}},
        {"send SNDINT 1 2 3", {}},
        {"send UPDANO 1 2 3 4", {}},
        {"send AGASKI 1", {L"SetAssignedToKeyIn 1"}},
        {"sendraw AGSTAT 3 On a call", {L"SetAgentState 3 On a call"}},
        {"sendraw AGSTAT 4", {L"SetAgentState 4 "}},
        {"send AVLOUT 1", {L"OnAvailableOutbound 1 -1 "}},
        {"send AVLOUT yes 4 'Sales team'", {L"OnAvailableOutbound 0 4 Sales team"}},
        {"sendraw BLITRA 5  -7", {L"OnBlindTransferResult 5 -7"}},
        {"sendraw BLITRA 5", {}}, // fewer than two numbers: ignored, the next line is read
        {"sendraw CALINF id=1 state=2", {L"OnCallInfo id=1 state=2"}},
        {"payloadsplit {dir}/history CALLHY 5 11 31 {size} {crc}", {L"OnCallHistory 31 5 11 history"}},
        {"payloadsplit {dir}/history CALLHY 5 11 31 {size} 12345", {}},
        {"send CHGPWD 7 0", {L"old5< CHGPWD 0"}},
        {"sendraw CONADD 1 2", {L"OnConferenceAdded 1 2"}},
        {"send ENDOUT 31", {L"OnOutboundCallEnded 31"}},
        {"send FNDCON 'Name = \"Lee\" '", {L"OnContactSearchResult Lee"}},
        {"sendraw HTBEAT anything at all", {}},
        {"send KYIINT x 77 'key in'", {L"OnKeyInInterview 77 key in"}},
        {"send LSTLOC 4 11 'Count = \"1\" ID0 = \"2\" NM0 = \"Booth\" '",
         {L"old5< LSTLOC Computer1 = \"\" Id1 = \"2\" Name1 = \"Booth\" ",
          L"app11< LSTLOC 4 -1 Count\x0c=\x0c\"1\"\x0cID0\x0c=\x0c\"2\"\x0cNM0\x0c=\x0c\"Booth\"\x0c"}},
        {"send LSTLOC 3", {}}, // an answer without its list
        {"send LSTOGR 5 11 '4 = \"Sales\" '", {L"app11< LSTOGR 5 -1 4\x0c=\x0c\"Sales\"\x0c"}},
        {"send LSTPAU 6 11 'Lunch;Break'", {L"OnPauseList 6 11 Lunch;Break"}},
        {"send LUMDIA 0301234", {L"DialOnSoftPhone 0301234"}},
        {"send MANDIA 3", {L"OnManualDialResult 3"}},
        {"sendraw NEXCAL 2", {L"OnNextCallResult 2"}},
        {"sendraw NUMINF a=1", {L"OnNumberInfo a=1"}},
        {"sendraw OKTRAN 1", {L"OnConfirmTransferResult 1"}},
        {"sendraw ONHOLD 0", {L"OnHoldResult 0"}},
        {"send PLSSTA 6 31 0", {L"SendCallAnswer 0 11 6 31 0"}},
        {"send PLSEND 6 31 1", {L"SendCallAnswer 1 11 6 31 1"}},
        {"send QRESTA 6 31 2", {L"SendCallAnswer 2 11 6 31 2"}},
        {"send QREEND 6 31 3", {L"SendCallAnswer 3 11 6 31 3"}},
        {"send PLSEND 6 99 1", {}}, // nobody owns an unknown call
        {"payloadsplit {dir}/quota QTAUPD 8 2 {size}", {L"OnQuotaUpdate 8 2 quota"}},
        {"send RECCAL 6 0", {L"OnRecordCallResult 6 0"}},
        {"sendraw REFNUM 4 5 6", {L"OnRefuseNumberResult 4 5 6"}},
        {"sendraw REQMAN 1", {L"OnManualDialRequest 1"}},
        {"send SEE-IN viewer.host 5900 3", {L"StartAgentMonitor viewer.host 5900 3"}},
        {"sendraw SELNMR 1 2 3", {L"OnSelectNumberResult 1 2 3"}},
        {"send SETPER 161",
         {L"SetPermission 0 1", L"SetPermission 1 0", L"SetPermission 5 1", L"SetPermission 6 0", L"SetPermission 7 1",
          L"SetPermission 8 0", L"SetPermission 9 0", L"ArrangeButtons"}},
        {"send SNDINT 3 11 31 1", {L"SendInterviewConfirmation 11 1 3 31"}},
        {"send SNDINT 3 11 31 0", {L"SendInterviewConfirmation 11 0 3 31"}},
        {"send SNDINT 3 11 31 yes", {L"SendInterviewConfirmation 11 1 3 31"}},
        {"payloadsplit {dir}/interview SNDINT 4 11 0 31 {size} {crc}",
         {L"app11< SNDINT -1 11 4 31 " + WideCrc(interview), L"app11< survey data"}},
        {"payloadsplit {dir}/interview SNDINT 4 12 0 32 {size} {crc}", {}}, // held in the call record
        {"payloadsplit {dir}/interview SNDINT 4 11 0 31 {size} 1", {}},
        {"sendraw STAKYI ok", {L"OnStartKeyInResult ok"}},
        {"sendraw STAQUE 1:2:3", {L"ShowQueueStats 1:2:3"}},
        {"send STRTIN 'Task = \"1\"'", {L"StartInboundCall Task = \"1\""}},
        {"send STRTOU 'Task = \"2\"'", {L"StartOutboundCall Task = \"2\""}},
        {"sendraw TAKBAC 1", {L"OnTakeBackResult 1"}},
        {"sendraw TAKCAL 2", {L"OnTakeCallResult 2"}},
        {"sendraw TRACAL 3", {L"OnTransferCallResult 3"}},
        {"send TRAEND 4", {L"OnTransferEnded 4"}},
        {"send TRANIN t1", {L"StartTransferredCall t1 1"}},
        {"send TRANOU t2", {L"StartTransferredCall t2 0"}},
        {"send TRNSFR 65535", {L"OnTransferToAgent 65535"}},
        {"send TSKRES 11 9", {L"OnTaskResources 9 11 -1 (none)"}},
        {"payloadsplit {dir}/resource TSKRES 11 9 3 {size} {crc}", {L"OnTaskResources 9 11 3 res"}},
        {"payloadsplit {dir}/resource TSKRES 11 9 3 {size} 7", {}},
        {"send UPDALO '801:1;807:1;808:250;'",
         {L"UpdateAlarmOptions 801:0;807:0;808:250;809:100;810:30;811:40;812:80;"}},
        {"send UPDANO 1 2 3 4 5", {L"OnAnnotationChanged 1 2 3 4 5"}},
        {"send UPDSFT 1", {L"UpdateSoftPhoneLog"}},
        {"sendraw UPDSMO semi opens", {L"OnUpdateSemiOpens semi opens"}},
        {"payloadsplit {dir}/task UPDTSK 9 2 {size} {crc} 'r 1'",
         {L"app11< UPDTSK -1 10 9 " + WideCrc(task) +
              L" r\x0c"
              L"1",
          L"app11< task bytes"}},
        {"payloadsplit {dir}/task UPDTSK 9 2 {size} 1 r", {}},
        {"payloadsplit {dir}/task UPDTSK 8 0 {size} {crc} r", {}}, // held for BrennClient, which is started
        {"payloadsplit {dir}/task UPDTSK 9 7 {size} {crc} r", {}}, // a kind nobody takes
        {"send VOICIP 1 'gw1;gw2'", {L"SetVoip 1", L"SetVoipGateways gw1;gw2"}},
        {"send NOSUCH 1", {}},
    };
    std::string script = "handshake push=0\nsend AGASKI 1\n" // before the greeting: no session yet
                         "greet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n";
    Lines expected;
    for (const CommandCase& c : kCases)
    {
        script += std::string(c.script) + "\n";
        expected.insert(expected.end(), c.effects.begin(), c.effects.end());
    }
    script += "send ENDOUT 999\nexpectline LUMDIA 0301234 4\nexpectline ALOGOF\nclosed\n";
    ASSERT_TRUE(Start(script, {{L"history", history},
                               {L"quota", quota},
                               {L"interview", interview},
                               {L"resource", resource},
                               {L"task", task}}));
    ASSERT_TRUE(WaitForMarker());
    const auto [itGot, itWanted] = std::mismatch(m_effects.begin(), m_effects.end(), expected.begin(), expected.end());
    EXPECT_TRUE(itGot == m_effects.end() && itWanted == expected.end())
        << "first difference at effect " << (itGot - m_effects.begin()) << ": got "
        << (itGot == m_effects.end() ? L"(end)" : *itGot).c_str() << ", expected "
        << (itWanted == expected.end() ? L"(end)" : *itWanted).c_str();
    EXPECT_EQ(m_reply.m_replies, (Lines{L"reply 3: 7 0"})) << "the change-password answer";
    EXPECT_TRUE(m_app.m_agent.m_bSoftphoneLog);
    EXPECT_EQ(m_app.m_agent.m_nId, 7);
    EXPECT_EQ(m_app.m_started, std::vector<long>{0});
    EXPECT_TRUE(m_core.HasHeldTask(0));
    // Interview data for an application that is not there waits in the call record.
    const CSmartObjectPtr<CCallInfo> pHeld = m_core.FindCall(32);
    ASSERT_TRUE(pHeld);
    EXPECT_EQ(pHeld->m_nApplicationId, 12);
    ASSERT_TRUE(pHeld->m_pHeldData);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pHeld->m_pHeldData.get()), pHeld->m_nHeldDataLength),
              interview);
    Finish();
}

// A NUL is a character like any other in the fields and payloads Jex sends: whatever a handler
// makes of it, the link stays in step and the next command runs.
struct PayloadWord
{
    const wchar_t* word;
    std::vector<std::wstring> fields; // "{size}" and "{crc}" stand for the payload's
    std::wstring payload;
};
const PayloadWord kPayloadWords[] = {
    {L"CALLHY", {L"5", L"11", L"31", L"{size}", L"{crc}"}, L"history"},
    {L"QTAUPD", {L"8", L"2", L"{size}"}, L"quota"},
    {L"SNDINT", {L"4", L"11", L"0", L"31", L"{size}", L"{crc}"}, L"survey"},
    {L"SNDMSG", {L"Lee", L"text\x0c=\x0c\"hi\"\x0c", L"{size}"}, L"att"},
    {L"TSKRES", {L"11", L"9", L"3", L"{size}", L"{crc}"}, L"res"},
    {L"UPDTSK", {L"9", L"2", L"{size}", L"{crc}", L"r"}, L"task"},
};

std::wstring WithNul(const std::wstring& text, int nWhere) // 0 start, 1 middle, 2 end
{
    const size_t nAt = nWhere == 0 ? 0 : nWhere == 1 ? text.size() / 2 : text.size();
    return text.substr(0, nAt) + L'\0' + text.substr(nAt);
}

// The line (UTF-16LE, as the link talks), the payload, and a heartbeat request right behind.
std::wstring PayloadCommand(const PayloadWord& w, int nField, int nWhere)
{
    const std::wstring payload = nField < 0 ? WithNul(w.payload, nWhere) : w.payload;
    const std::string bytes(reinterpret_cast<const char*>(payload.data()), payload.size() * sizeof(wchar_t));
    std::wstring line = w.word;
    for (int i = 0; i < static_cast<int>(w.fields.size()); ++i)
    {
        std::wstring field = w.fields[i];
        if (field == L"{size}") field = std::to_wstring(bytes.size());
        if (field == L"{crc}") field = WideCrc(bytes);
        line += L" " + (i == nField ? WithNul(field, nWhere) : field);
    }
    return line + L"\r" + payload;
}

TEST_F(JexCommandsTest, ANulAnywhereInAPayloadCommandLeavesTheLinkInStep)
{
    std::string script = "handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n";
    int nStamp = 0;
    for (const PayloadWord& w : kPayloadWords)
        for (int nField = -1; nField < static_cast<int>(w.fields.size()); ++nField)
            for (int nWhere = 0; nWhere < 3; ++nWhere)
            {
                // A CR after the payload ends whatever a lost step would make of it; the heartbeat
                // after it must be answered in any case.
                const std::string stamp = std::to_string(10000000000000000000ull + ++nStamp);
                script += "sendlines " + JexLinkFixture::ScriptText(PayloadCommand(w, nField, nWhere)) +
                          "\\rHEARTB 1 " + stamp + "\nexpectline HEARTB 0 " + stamp + "\n";
            }
    script += "send ENDOUT 999\nexpectline ALOGOF\nclosed\n";
    ASSERT_TRUE(Start(script));
    EXPECT_TRUE(WaitForMarker()) << "the commands behind the NULs all ran";
    Finish();
    EXPECT_EQ(nStamp, 99);
}

// A length the link cannot count costs that line only: the link stays open and reads on.
TEST_F(JexCommandsTest, APayloadLongerThanTheLinkCanHoldDropsOnlyItsLine)
{
    std::string script = "handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n";
    int nStamp = 0;
    for (const PayloadWord& w : kPayloadWords)
        for (const wchar_t* pszLength : {L"2147483647", L"4294967295", L"2147450880"})
        {
            std::wstring line = w.word;
            for (const std::wstring& field : w.fields)
                line += L" " + (field == L"{size}" ? std::wstring(pszLength) : field == L"{crc}" ? L"0" : field);
            const std::string stamp = std::to_string(++nStamp);
            script += "sendlines " + JexLinkFixture::ScriptText(line) + "\\rHEARTB 1 " + stamp +
                      "\nexpectline HEARTB 0 " + stamp + "\n";
        }
    script += "send ENDOUT 999\nexpectline ALOGOF\nclosed\n";
    ASSERT_TRUE(Start(script));
    EXPECT_TRUE(WaitForMarker()) << "every heartbeat behind a huge length was answered on the same link";
    EXPECT_NE(m_pLink->m_hSocket, INVALID_SOCKET) << "the link is still open";
    Finish();
    EXPECT_EQ(nStamp, 18);
}

TEST_F(JexCommandsTest, AnswersForTheWaitingWindowAndTheMainWindowsMessages)
{
    ASSERT_TRUE(Start("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n"
                      "send LSTAGT 1 2 3 'ID1 = \"4\" '\n"
                      "send LSTLOC 3 -1 'Count = \"2\" ID0 = \"1\" NM0 = \"Desk\" ID1 = \"2\" NM1 = \"Booth\" '\n"
                      "send LSTOGR 3 -1 '4 = \"Sales\" x = \"Odd\" '\n"
                      "sendraw LSTMIG g1 g2\n"
                      "sendraw LSTMOG o1\n"
                      "sendraw NORIGT anything\n"
                      "send CALACK 12 'Please confirm'\n"
                      "send CALRAC 12 3\n"
                      "send ENDOUT 999\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForMarker());
    ASSERT_TRUE(PumpUntil([&] { return m_main.m_replies.size() == 2 && m_reply.m_replies.size() == 6; }));
    EXPECT_EQ(m_reply.m_replies, (Lines{L"reply 1: 1 2 3 ID1 = \"4\" ", L"reply 6: 1=Desk 2=Booth",
                                        L"reply 4: 4=Sales 0=Odd", L"reply 8: g1 g2", L"reply 7: o1", L"reply 5: 0"}));
    EXPECT_EQ(m_main.m_replies, (Lines{L"CALLACKREQUEST 12 Please confirm", L"CALLACKREMOVE 12 3"}));
    EXPECT_TRUE(m_effects.empty()) << "lists for the desktop's own dialogs reach no application";
    Finish();
}

TEST_F(JexCommandsTest, PermissionBitsOverrideTheModeInOrder)
{
    struct ModeCase
    {
        int nBits;
        int nMode; // -1: left as it was
    };
    const ModeCase kCases[] = {{4, 1}, {8, 0}, {16, 2}, {12, 0}, {20, 2}, {28, 2}, {0, -1}, {1023 & ~28, -1}};
    std::string script = "handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n";
    for (const ModeCase& c : kCases)
        script += "send SETPER " + std::to_string(c.nBits) + "\n";
    ASSERT_TRUE(Start(script + "send ENDOUT 999\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForMarker());
    Lines modes;
    for (const std::wstring& effect : m_effects)
        if (effect.starts_with(L"SetPermissionMode") || effect == L"ArrangeButtons") modes.push_back(effect);
    Lines expected;
    for (const ModeCase& c : kCases)
    {
        if (c.nMode != -1) expected.push_back(L"SetPermissionMode " + Num(c.nMode));
        expected.push_back(L"ArrangeButtons");
    }
    EXPECT_EQ(modes, expected);
    EXPECT_NE(std::find(m_effects.begin(), m_effects.end(), L"SetPermission 9 1"), m_effects.end());
    Finish();
}

TEST_F(JexCommandsTest, LocalVoipGatewaysWinOverJexs)
{
    m_app.m_strLocalGateways = L"local;gw";
    ASSERT_TRUE(Start("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\nsend VOICIP 0 'gw1;gw2'\n"
                      "send ENDOUT 999\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForMarker());
    EXPECT_EQ(m_effects, (Lines{L"SetVoip 0", L"SetVoipGateways local;gw"}));
    Finish();
}

TEST_F(JexCommandsTest, SettingsArriveForTheCacheAndTheAgentAndEndTheWait)
{
    CAgentSetting application(44), agent(7);
    application.m_strName = L"Layout";
    agent.m_strName = L"Toolbar";
    m_app.m_agent.m_nId = 7;
    const auto Quote = [](const CString& strText) { return "'" + std::string(CStringA(strText).GetString()) + "'"; };
    ASSERT_TRUE(Start("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n"
                      "expectline RQASFA 7 5 1\n"
                      "send UPDASE 2 " +
                      Quote(agent.GetProperties()) + "\nsend UPDASE 5 " + Quote(application.GetProperties()) +
                      "\nsend UPDASE 5 ''\nexpectline ALOGOF\nclosed\n"));
    ASSERT_TRUE(WaitForGreeting()); // requests go out once Jex has greeted
    m_core.SetJexSender(m_pLink.get());
    const ULONGLONG nStart = GetTickCount64();
    const std::shared_ptr<const CAgentSetting> pSetting = m_core.GetApplicationSetting(105, 44);
    EXPECT_LT(GetTickCount64() - nStart, 8000u) << "the empty UPDASE ends the wait before it runs out";
    m_core.SetJexSender(nullptr);
    ASSERT_TRUE(pSetting);
    EXPECT_EQ(pSetting->GetProperties().Str(), application.GetProperties().Str());
    const std::shared_ptr<const CAgentSetting> pAgent = m_store.LookupAgentSetting(7, FALSE);
    ASSERT_TRUE(pAgent) << "kind 2 is an agent setting";
    EXPECT_EQ(pAgent->GetProperties().Str(), agent.GetProperties().Str());
    Finish();
}

TEST_F(JexCommandsTest, ScriptTextIsReadInTheLinksEncodingAndABadChecksumIsReported)
{
    const std::wstring script = L"Dim x ' caf\u00e9";
    const std::string wide(reinterpret_cast<const char*>(script.data()), script.size() * 2);
    std::string ansi;
    for (const wchar_t c : script)
        ansi += static_cast<char>(c); // Latin-1 letters are their own code page 1252 bytes
    for (const bool bWide : {true, false})
    {
        SCOPED_TRACE(bWide ? "UTF-16LE" : "ANSI");
        m_effects.clear();
        const std::string handshake = bWide ? "handshake push=0" : "ansi push=0";
        ASSERT_TRUE(Start(handshake + "\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n"
                                      "payloadsplit {dir}/scripttext UPDTSK 9 1 {size} {crc} r\n"
                                      "payloadsplit {dir}/scripttext UPDTSK 10 1 {size} 5 r\n"
                                      "send ENDOUT 999\nexpectline ALOGOF\nclosed\n",
                          {{L"scripttext", bWide ? wide : ansi}}));
        ASSERT_TRUE(WaitForMarker());
        EXPECT_EQ(m_effects,
                  (Lines{L"OnScriptContents 9 " + script + L" 1", L"OnScriptContents 10 " + script + L" 0"}));
        Finish();
    }
}

TEST_F(JexCommandsTest, MessageAttachmentsBecomeFilesOnlyInTheWorkFolder)
{
    const std::filesystem::path folder = UseFreshWorkFolder("lumo-sndmsg-");
    ASSERT_FALSE(folder.empty());
    const auto Message = [](const std::vector<std::pair<std::string, long>>& attachments) {
        std::string text = "text = \"hi\" attcnt = \"" + std::to_string(attachments.size()) + "\" ";
        for (size_t i = 0; i < attachments.size(); ++i)
            text += "attfn" + std::to_string(i) + " = \"" + attachments[i].first + "\" attsz" + std::to_string(i) +
                    " = \"" + std::to_string(attachments[i].second) + "\" ";
        return "'" + text + "'";
    };
    // Payloads: "abc" for 3 + 0; "abcdef" for sizes that do not fit; nothing behind a total of 0.
    ASSERT_TRUE(Start("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n"
                      "payloadsplit {dir}/abc SNDMSG Ann " +
                          Message({{"a.txt", 3}, {"b.\\\\..\\\\x", 0}}) +
                          " {size}\n"
                          "payloadsplit {dir}/abcdef SNDMSG Bob " +
                          Message({{"c.exe:stream", 2}, {"d.bin", 9}, {"e.bin", 1}}) +
                          " {size}\n"
                          "payloadsplit {dir}/abcdef SNDMSG Cy " +
                          Message({{"f.bin", -1}, {"g.bin", 1}}) +
                          " {size}\n"
                          "send SNDMSG Dee " +
                          Message({{"h.bin", 4}}) +
                          " 0\n"
                          "send ENDOUT 999\nexpectline ALOGOF\nclosed\n",
                      {{L"abc", "abc"}, {L"abcdef", "abcdef"}}));
    ASSERT_TRUE(WaitForMarker());
    const auto& messages = m_dlg.m_messages;
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(m_effects, (Lines{L"OnMessageReceived Ann hi", L"OnMessageReceived Bob hi", L"OnMessageReceived Cy hi",
                                L"OnMessageReceived Dee hi"}));
    const auto Contents = [](const CMessage::CMessageAttachment* pAttachment) {
        std::ifstream file(std::filesystem::path(pAttachment->m_strLocalPath.Str()), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const auto Extension = [](const CMessage::CMessageAttachment* pAttachment) {
        return std::filesystem::path(pAttachment->m_strLocalPath.Str()).extension().wstring();
    };
    const auto& ann = messages[0]->m_arrAttachments;
    ASSERT_EQ(ann.GetSize(), 2);
    EXPECT_EQ(Contents(ann[0]), "abc");
    EXPECT_EQ(Extension(ann[0]), L".txt");
    EXPECT_EQ(Contents(ann[1]), "") << "an empty attachment is an empty file";
    EXPECT_EQ(Extension(ann[1]), L"") << "a name that climbs out of the folder gives no extension";
    const auto& bob = messages[1]->m_arrAttachments;
    EXPECT_EQ(Contents(bob[0]), "ab");
    EXPECT_EQ(Extension(bob[0]), L"") << "no alternate stream";
    EXPECT_TRUE(bob[1]->m_strLocalPath.IsEmpty()) << "9 bytes do not fit the 4 left: the walk ends";
    EXPECT_TRUE(bob[2]->m_strLocalPath.IsEmpty());
    EXPECT_TRUE(messages[2]->m_arrAttachments[0]->m_strLocalPath.IsEmpty()) << "a negative size gets nothing";
    EXPECT_TRUE(messages[2]->m_arrAttachments[1]->m_strLocalPath.IsEmpty());
    EXPECT_TRUE(messages[3]->m_arrAttachments[0]->m_strLocalPath.IsEmpty()) << "a total of 0 reads nothing";
    size_t nFiles = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    {
        ++nFiles;
        EXPECT_EQ(entry.path().parent_path(), folder) << "every file lands in the work folder itself";
    }
    EXPECT_EQ(nFiles, 3u);
    for (const auto& pMessage : messages)
        pMessage->DeleteAttachments();
    Finish();
    std::filesystem::remove_all(folder);
}

// A command for a role nobody serves reaches nobody: it is reported once as not handled, with the
// handler and the missing role, and what other roles it has still happens.
TEST_F(JexCommandsTest, CommandsForRolesNobodyServesAreReportedAsNotHandled)
{
    ASSERT_TRUE(Start("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n"
                      "send SEE-IN viewer.host 5900 3\nsend UPDALO '801:1;'\nsend VOICIP 1 'gw1'\nsend STAQUE 4\n"
                      "send ENDOUT 999\nexpectline ALOGOF\nclosed\n"));
    CUnhandledRecord unhandled;
    unhandled.Watch(m_pLink->Roles());
    m_pLink->Roles().Uninstall<IAgentMonitor>();
    m_pLink->Roles().Uninstall<IAlarmOptions>();
    m_pLink->Roles().Uninstall<IVoipGateways>();
    ASSERT_TRUE(WaitForMarker());
    EXPECT_EQ(m_effects, (Lines{L"SetVoip 1", L"ShowQueueStats 4"}));
    EXPECT_EQ(unhandled.m_lines, (std::vector<std::string>{"IAgentMonitor HandleSEEIN", "IAlarmOptions HandleUPDALO",
                                                           "IVoipGateways HandleVOICIP"}));
    Finish();
}

TEST_F(JexCommandsTest, WithoutAMainWindowAMessageLeavesNoFiles)
{
    const std::filesystem::path folder = UseFreshWorkFolder("lumo-sndmsg-nomain-");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(Start("handshake push=0\ngreet 0 5.4.9.6 0.0.0.0\nexpect ALOGON .*\n"
                      "payloadsplit {dir}/abc SNDMSG Ann 'attcnt = \"1\" attfn0 = \"a.txt\" attsz0 = \"3\" ' {size}\n"
                      "send SEE-IN m 1 2\nexpectline ALOGOF\nclosed\n",
                      {{L"abc", "abc"}}, false));
    ASSERT_TRUE(WaitForMarker(L"StartAgentMonitor m 1 2"));
    Finish();
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "the attachment files go with the message";
    std::filesystem::remove_all(folder);
}

} // namespace
