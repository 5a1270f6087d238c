// LumoClientCtrl created from LumoClient.ocx without registration, as BrennClient creates it: driven
// by DISPID against the scripted Lumo, its events seen by recording sinks.
#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "core/CStaticTools.h"
#include "framework/CComBSTR.h"
#include "framework/CComQIPtr.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CTestContainerSite.h"
#include "LumoVersion.h"
#include <ocidl.h>
#include <olectl.h>
#include <cstring>
#include <memory>

TEST_F(LumoClientCtrlTest, DefaultsBeforeInit)
{
    EXPECT_EQ(Text(Get(Id::kLumoState)), L"0");
    EXPECT_EQ(Text(Get(Id::kJexState)), L"3");
    EXPECT_EQ(Text(Get(Id::kAgentState)), L"18");
    EXPECT_EQ(Text(Get(Id::kPauseReasonId)), L"-1");
    EXPECT_EQ(Text(Get(Id::kLogMode)), L"0");
    EXPECT_EQ(Text(Get(Id::kPort)), L"1905s");
    EXPECT_EQ(Text(Get(Id::kApplicationId)), L"1");
    EXPECT_EQ(Text(Get(Id::kLumoAddress)), L"'127.0.0.1'");
    EXPECT_EQ(Text(Call(Id::kVersion)), L"'" LUMO_VERSION_WTEXT L"'");
    EXPECT_EQ(Text(Call(Id::kUninit)), L"0b");
    EXPECT_TRUE(Events().empty());
}

TEST_F(LumoClientCtrlTest, PortAboveTheShortRangeIsRefusedLateBoundAndOtherwiseKept)
{
    EXPECT_EQ(Put(Id::kPort, CComVariant(40000L)), DISP_E_OVERFLOW);
    EXPECT_EQ(Put(Id::kPort, CComVariant(static_cast<short>(-25536))), S_OK);
    EXPECT_EQ(Text(Get(Id::kPort)), L"-25536s");
    EXPECT_EQ(Put(Id::kLogMode, CComVariant(7L)), S_OK);
    EXPECT_EQ(Text(Get(Id::kLogMode)), L"7");
}

TEST_F(LumoClientCtrlTest, InitWithNobodyListeningFiresOnlyDisconnected)
{
    Put(Id::kPort, CComVariant(static_cast<short>(FreePort())));
    EXPECT_EQ(Text(Call(Id::kInit)), L"0b");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"2(0)"});
    EXPECT_EQ(States(), L"0/3/18");
}

TEST_F(LumoClientCtrlTest, InitConnectsOnceUninitEndsSilentlyAndTheNextInitConnectsAnew)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "silence 1\nwaitclose\n" + Accepted() +
                       "expect APLGIN 1 7 0\nline APLGIN 1 -1 0 1\nwaitclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
    Put(Id::kApplicationId, CComVariant(7L));
    EXPECT_EQ(Text(Call(Id::kInit)), L"-1b");
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"2(2)", L"3(1)", L"4(3)", L"2(1)"}));
    EXPECT_EQ(States(), L"1/1/3");
    m_sink->m_calls.clear();

    EXPECT_EQ(Text(Call(Id::kInit)), L"-1b") << "connected: at once, nothing sent";
    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    EXPECT_EQ(States(), L"0/3/18");
    EXPECT_TRUE(Events().empty());

    EXPECT_EQ(Text(Call(Id::kInit)), L"-1b");
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"2(2)", L"3(0)", L"4(1)", L"2(1)"}));
    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LumoClientCtrlTest, LumoClosingFiresJexAgentAndLumoInThisOrder)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "close\n");
    Connect(lumo);
    ASSERT_TRUE(PumpUntilEvent(L"2(0)"));
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"3(3)", L"4(18)", L"2(0)"}));
    EXPECT_EQ(States(), L"0/3/18");
    EXPECT_EQ(Text(Call(Id::kUninit)), L"0b") << "the link is gone already";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

namespace
{
struct PushCase
{
    std::string lines; // script lines sent after the link is up
    std::vector<std::wstring> events;
    const char* why;
};

std::wstring Crc(const std::vector<BYTE>& bytes)
{
    return std::to_wstring(CStaticTools::GetChecksumForMemory(bytes.data(), static_cast<unsigned long>(bytes.size())));
}
} // namespace

// Every received command as its events, in order, with LogMode 2 so that error texts show as events.
// A marker (ENDTSK with a large call id) follows each case, so a case that fires nothing shows too.
TEST_F(LumoClientCtrlTest, ReceivedCommandsFireTheirEvents)
{
    const std::vector<BYTE> abc{1, 2, 3}, p10 = Pattern(10);
    const std::wstring kNoName = L"200('CLumoClientCtrl::OnReceiveMessage => Attachment was found but no filename "
                                 L"was specified')";
    const auto renamed = [](const wchar_t* pszAs) {
        return std::wstring(L"200('CLumoClientCtrl::OnReceiveMessage => Attachment \"a.txt\" occurs more than once; "
                            L"passed on as \"") +
               pszAs + L"\"')";
    };
    const std::string message = MessageText(L"hello", {{L"", 3}, {L"a.txt", 2}, {L"a.txt", 1}, {L"a.txt", 2}});
    const PushCase kCases[] = {
        {"push AGSTAT 2", {L"4(2)"}, "agent state"},
        {"push JEXSTA 0", {L"3(0)"}, "Jex state"},
        {"push STACAL 3 'QoCallId = \"42\" b = \"y\" a = \"x\" '",
         {L"19(3s,42,{'a'='x','b'='y','QoCallId'='42'})", L"21(3s,42,{})"},
         "no jexTaskParameters: StartTask gets an empty map"},
        {"push STACAL 1 'QoCallId = \"5\" a = \"x\" b = \"y\" jexTaskParameters = \"a;b\" '",
         {L"19(1s,5,{'a'='x','b'='y','jexTaskParameters'='a;b','QoCallId'='5'})", L"21(1s,5,{'a'='x','b'='y'})"},
         "a;b"},
        {"push STACAL 1 'a = \"x\" b = \"y\" jexTaskParameters = \"a;c;b;\" '",
         {L"19(1s,0,{'a'='x','b'='y','jexTaskParameters'='a;c;b;'})", L"21(1s,0,{'a'='x','b'='y','c'=''})"},
         "a;c;b; with a final semicolon, c missing from the task, no QoCallId"},
        {"push SNDINT 7 8", {L"11(7,8)"}, "interview confirmed"},
        {"data SNDINT -1 hex:010203 7 8 {crc}",
         {L"17(7,8," + BytesText(abc) + L"," + Crc(abc) + L"u)"},
         "interview data"},
        {"data SNDINT -1 hex:010203 7 8 {crc} crc=bad",
         {L"200('Not relaying interview data for Survey <7>, Call <8> to JEX: Invalid Checksum when data was received "
          L"(Calculated " +
          Crc(abc) + L" - should be " +
          std::to_wstring((CStaticTools::GetChecksumForMemory(abc.data(), 3) + 1) & 0xFFFFFFFFu) + L")')"},
         "interview data with a bad checksum: only the text"},
        {"data CALLHY -1 calls:2 5 {crc} crc=bad",
         {L"200('CLumoSocket::ProcessCommandCALLHY => Incorrect checksum for call history for call ID 5.')",
          L"30(5,[])"},
         "history with a bad checksum: the text, then an empty collection"},
        {"push TSKRES 12", {L"15(12,0,bytes:0/0,0u)"}, "resource without data"},
        {"data TSKRES -1 gen:10 12 34 {crc}", {L"15(12,34," + BytesText(p10) + L"," + Crc(p10) + L"u)"}, "resource"},
        {"data UPDTSK -1 gen:10 11 {crc} '12:100;;13:200;x'",
         {L"12(11," + BytesText(p10) + L"," + Crc(p10) + L"u,{'12'=100u,'13'=200u})"},
         "task contents: the empty piece and x are skipped"},
        {"push STAQUE 5:30:2:Sales", {L"20('Sales',2,5,30)"}, "statistics"},
        {"push STAQUE 5:30:2", {}, "statistics with three parts"},
        {"push CALINF 1:grp:3:4:snd:dst:7:8:1:0", {L"22(1,'grp',3,4,'snd','dst',7,8,-1b,0b)"}, "call info"},
        {"push CALINF 1:grp:3:4:snd:dst:7:8:1:", {}, "call info with an empty tenth part"},
        {"push UPDANO 5 0 9 0", {L"32(5,1)", L"33(5,0,0,9)"}, "anonymisation on"},
        {"push UPDANO 5 0 9 0", {L"32(5,0)", L"33(5,0,0,9)"}, "anonymisation off"},
        {"push UPDANO 5 1 9 0", {L"33(5,0,1,9)"}, "another annotation type"},
        {"push UPDANO 5 0 9 65536", {L"32(5,1)", L"33(5,0,0,9)"}, "only the low 16 bits of the result count"},
        {"push AUMUTE 1 0", {L"27(0b)"}, "speaker mute"},
        {"push AUMUTE 2 1", {L"28(-1b)"}, "microphone mute"},
        {"push AUMUTE 3 1", {}, "mute of another device"},
        {"push AUVLME 1 70", {L"25(70s)"}, "speaker volume"},
        {"push AUVLME 2 40", {L"26(40s)"}, "microphone volume"},
        {"push AUVLME 3 40", {}, "volume of another device"},
        {"push VOIRDY 1", {L"29(-1b)"}, "softphone ready"},
        {"data SNDMSG -1 hex:0102030405060708 '" + message + "' Boss",
         {kNoName, renamed(L"a.txt (2)"), renamed(L"a.txt (3)"),
          L"23('Boss',msg(-1,'','hello',{'a.txt'=" + BytesText({4, 5}) + L",'a.txt (2)'=" + BytesText({6}) +
              L",'a.txt (3)'=" + BytesText({7, 8}) + L",'Attachment 0'=" + BytesText(abc) + L"}))"},
         "a nameless attachment and three of one name"},
        {"push LSTAGT 2 'Count = \"2\" ID1 = \"9\" '",
         {L"5({'9'=''},{'9'=''},{'9'=''})", L"31(2,{'9'=''},{'9'=''},{'9'=''})"},
         "agent list: entry 0 has no id and is skipped, entry 1 has no names"},
        {"push LSTAGT 1 'ID0 = \"9\" FN0 = \"a\" '", {L"5({},{},{})", L"31(1,{},{},{})"}, "agent list without Count"},
        {"push LSTAGT 1 'Count = \"40000\" ID0 = \"9\" '",
         {L"5({},{},{})", L"31(1,{},{},{})"},
         "agent list with a Count beyond a short"},
        {"push LSTAGT 0 'Count = \"1\" ID0 = \"4\" FN0 = \"F\" LN0 = \"L\" UN0 = \"U\" '",
         {L"5({'4'='F'},{'4'='L'},{'4'='U'})", L"31(0,{'4'='F'},{'4'='L'},{'4'='U'})"},
         "agent list"},
        {"push LSTLOC 'Count = \"2\" ID0 = \"x\" NM0 = \"n\" ID1 = \"3\" NM1 = \"Here\" CNM1 = \"PC3\" '",
         {L"18({'3'='Here'},{'3'='PC3'})"},
         "location list: an entry without a numeric id is skipped"},
        {"push LSTPAU '3 = \"Lunch\" x = \"Other\" '", {L"1({'0'='Other','3'='Lunch'})"}, "pause list"},
        {"push LSTPAU ''", {L"1({})"}, "empty pause list"},
        {"push LSTOGR ''", {L"16({})"}, "empty group list"},
        {"push MANDIA 3", {L"6(3)"}, "dial result"},
        {"push RECCAL 2", {L"8(2)"}, "record result"},
        {"push QRESTA 5 1", {L"9(5,1s)"}, "question recording started"},
        {"push QRESTO 5 2", {L"10(5,2s)"}, "question recording stopped"},
        {"push PLSSTA 6 1", {L"13(6,1s)"}, "sound started"},
        {"push PLSSTO 6 0", {L"14(6,0s)"}, "sound stopped"},
        {"push ASSKYI 0", {L"102(0b)"}, "key-in assignment"},
        {"push UPDSMO 4 a b", {L"101(4,['a','b'])"}, "semi-opens"},
        {"push UPDSMO 4", {L"101(4,[])"}, "no semi-opens"},
        {"push STAKYI 1 2 3 'f = \"v\" '", {L"103(1s,2,3,{'f'='v'})"}, "key-in started"},
        {"push KYIINT 8 'x = \"1\" '", {L"104(8,{'x'='1'})"}, "key-in interview"},
        {"data QTAUPD -1 gen:10 4 2", {L"105(4,2s," + BytesText(p10) + L")"}, "quota update"},
    };
    std::string script = Accepted() + LoggedIn(7, 3);
    for (size_t i = 0; i < std::size(kCases); ++i)
        script += kCases[i].lines + "\npush ENDTSK " + std::to_string(1000000 + i) + "\n";
    CScriptedLumo lumo(script + "waitclose\n");
    Put(Id::kLogMode, CComVariant(2L));
    Connect(lumo);
    const std::wstring kLast = L"7(" + std::to_wstring(1000000 + std::size(kCases) - 1) + L")";
    ASSERT_TRUE(PumpUntilEvent(kLast, 30000)) << lumo.Log();

    std::vector<std::wstring> events = Events();
    auto from = events.begin();
    for (size_t i = 0; i < std::size(kCases); ++i)
    {
        SCOPED_TRACE(kCases[i].why);
        const auto marker = std::find(from, events.end(), L"7(" + std::to_wstring(1000000 + i) + L")");
        ASSERT_NE(marker, events.end());
        EXPECT_EQ(std::vector<std::wstring>(from, marker), kCases[i].events);
        from = marker + 1;
    }
    for (const CRecordingSink::Call& call : m_sink->m_calls)
        EXPECT_EQ(call.hadResult, call.dispId == 23 || call.dispId == 30 || call.dispId == 101) << call.dispId;
}

TEST_F(LumoClientCtrlTest, ServerClockFiresTheOldAndNewShiftWhichTheControlReports)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "clock 3600\npush ENDTSK 1\nwaitclose\n");
    Connect(lumo);
    ASSERT_TRUE(PumpUntilEvent(L"7(1)"));
    const auto last = std::find_if(m_sink->m_calls.rbegin(), m_sink->m_calls.rend(),
                                   [](const CRecordingSink::Call& call) { return call.dispId == Ev::kShift; });
    ASSERT_NE(last, m_sink->m_calls.rend());
    ASSERT_EQ(last->args.size(), 2u);
    EXPECT_EQ(last->args[1].vt, VT_I4);
    EXPECT_EQ(last->args[0].vt, VT_I4);
    EXPECT_EQ(Text(Get(Id::kUtcShift)), Text(last->args[0].value)) << "UTCShiftServer is the new shift";
}

namespace
{
// Not null, so that a GetGUID which writes nothing shows.
const GUID kSentinel = {0x6A2C3A5C, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID* const kAnswered[] = {&IID_IDispatch,
                                &IID_IViewObjectEx,
                                &IID_IViewObject2,
                                &IID_IViewObject,
                                &IID_IOleInPlaceObjectWindowless,
                                &IID_IOleInPlaceObject,
                                &IID_IOleWindow,
                                &IID_IOleInPlaceActiveObject,
                                &IID_IOleControl,
                                &IID_IOleObject,
                                &IID_IConnectionPointContainer,
                                &IID_IProvideClassInfo,
                                &IID_IProvideClassInfo2};
const IID* const kRefused[] = {&IID_IPersist,          &IID_IPersistStreamInit,
                               &IID_IPersistStorage,   &IID_IPersistPropertyBag,
                               &IID_ISupportErrorInfo, &IID_IQuickActivate};
} // namespace

TEST_F(LumoClientCtrlTest, AnswersItsInterfacesAndNoPersistenceOrErrorInfo)
{
    for (const IID* pIid : kAnswered)
    {
        CComPtr<IUnknown> p;
        EXPECT_EQ(m_ctrl->QueryInterface(*pIid, reinterpret_cast<void**>(&p)), S_OK);
    }
    for (const IID* pIid : kRefused)
    {
        CComPtr<IUnknown> p;
        EXPECT_EQ(m_ctrl->QueryInterface(*pIid, reinterpret_cast<void**>(&p)), E_NOINTERFACE);
    }
    // The dual interface is the coclass's default: its type information names it.
    CComQIPtr<IProvideClassInfo2> classInfo(m_ctrl);
    ASSERT_TRUE(classInfo);
    CComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
    TYPEATTR* pAttr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&pAttr), S_OK);
    EXPECT_TRUE(::IsEqualGUID(pAttr->guid, kCtrl));
    EXPECT_EQ(pAttr->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(pAttr);

    GUID guid = kSentinel;
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
    EXPECT_TRUE(::IsEqualGUID(guid, kEvents));
    guid = kSentinel;
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &guid), E_INVALIDARG);
    EXPECT_TRUE(::IsEqualGUID(guid, GUID_NULL));
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);

    CComQIPtr<IConnectionPointContainer> points(m_ctrl);
    CComPtr<IConnectionPoint> point;
    EXPECT_EQ(points->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(points->FindConnectionPoint(kEvents, &point), S_OK);

    for (DISPID id : {16, 30})
    {
        CComVariant result;
        EXPECT_EQ(InvokeByDispId(m_ctrl, id, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND) << id;
    }
}

// Three sinks: the second fails every event, the third is advised late and unadvises the first from
// inside an event; the others still get every event.
TEST_F(LumoClientCtrlTest, EverySinkGetsTheEventWhateverTheOthersDo)
{
    CRecordingSink* pFailing = CRecordingSink::Create(kEvents, false);
    CRecordingSink* pThird = CRecordingSink::Create(kEvents);
    ASSERT_EQ(pFailing->Advise(m_ctrl), S_OK);
    ASSERT_EQ(pThird->Advise(m_ctrl), S_OK);
    pFailing->m_onInvoke = [](const CRecordingSink::Call&) { return DISP_E_MEMBERNOTFOUND; };
    CRecordingSink* pFirst = m_sink;
    pThird->m_onInvoke = [pFirst](const CRecordingSink::Call& call) {
        if (call.dispId == 33) pFirst->Unadvise();
        return S_OK;
    };
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "push UPDANO 5 0 9 0\npush ENDTSK 1\nwaitclose\n");
    Connect(lumo);
    ASSERT_TRUE(PumpUntil([&] { return !pThird->m_calls.empty() && pThird->m_calls.back().dispId == 7; }));
    const auto texts = [](const CRecordingSink* pSink) {
        std::vector<std::wstring> events;
        for (const CRecordingSink::Call& call : pSink->m_calls)
            if (call.dispId != Ev::kShift && call.dispId >= 7) events.push_back(EventText(call));
        return events;
    };
    EXPECT_EQ(texts(pFirst), (std::vector<std::wstring>{L"32(5,1)", L"33(5,0,0,9)"})) << "unadvised after 33";
    const std::vector<std::wstring> all{L"32(5,1)", L"33(5,0,0,9)", L"7(1)"};
    EXPECT_EQ(texts(pFailing), all);
    EXPECT_EQ(texts(pThird), all);
    // AnnotationChanged(5, 0, 0, 9) as the sink sees it: last argument first, all VT_I4.
    const CRecordingSink::Call& annotation = pThird->m_calls[pThird->m_calls.size() - 2];
    ASSERT_EQ(annotation.args.size(), 4u);
    const long expected[] = {9, 0, 0, 5};
    for (size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(annotation.args[i].vt, VT_I4);
        EXPECT_EQ(annotation.args[i].value.lVal, expected[i]) << i;
    }
    pFailing->Unadvise();
    pThird->Unadvise();
    pFailing->Release();
    pThird->Release();
}

// A sink that lets the control go from inside an event during Init: Init ends normally, the last
// release closes the link once, and nothing of the library stays alive.
TEST_F(LumoClientCtrlTest, ControlReleasedByASinkDuringInitEndsAfterInit)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "waitclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
    Put(Id::kApplicationId, CComVariant(7L));
    CComPtr<IDispatch> ctrl = m_ctrl;
    m_sink->m_onInvoke = [this](const CRecordingSink::Call& call) {
        if (call.dispId == Ev::kAgent)
        {
            m_sink->Unadvise();
            m_ctrl.Release();
        }
        return S_OK;
    };
    CComVariant result;
    IDispatch* pCtrl = ctrl.Detach(); // the test's own reference goes inside Init, through the sink
    m_ctrl = pCtrl;
    pCtrl->Release();
    EXPECT_EQ(InvokeMember(pCtrl, Id::kInit, DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(Text(result), L"-1b");
    EXPECT_FALSE(m_ctrl);
    EXPECT_EQ(lumo.ExitCode(), 0) << "the link was closed: " << lumo.Log();
    EXPECT_TRUE(PumpUntil([] { return LibraryCanUnload() == S_OK; }));
}

// A sink that lets the connected control go from inside the first of the two events of one received
// command: the handler goes on to the second (which no sink is left to hear), the last release closes
// the link once the handler is done, and nothing of the library stays alive.
TEST_F(LumoClientCtrlTest, ControlReleasedByASinkDuringAReceivedCommandEndsAfterIt)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "push UPDANO 5 0 9 0\nwaitclose\n");
    std::vector<std::unique_ptr<BYTE[]>> reused;
    m_sink->m_onInvoke = [this, &reused](const CRecordingSink::Call& call) {
        if (call.dispId != 32) return S_OK;
        m_sink->Unadvise();
        m_ctrl.Release();
        // Had that freed the control under its running handler, these blocks would take its memory.
        for (size_t n = 32; n <= 4096; n += 16)
            for (int i = 0; i < 4; ++i)
            {
                reused.push_back(std::make_unique<BYTE[]>(n));
                std::memset(reused.back().get(), 0xFF, n);
            }
        return S_OK;
    };
    Connect(lumo);
    ASSERT_TRUE(PumpUntil([&] { return !m_ctrl; })) << "the sink let the control go";
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"32(5,1)"});
    EXPECT_EQ(lumo.ExitCode(), 0) << "the link was closed: " << lumo.Log();
    EXPECT_TRUE(PumpUntil([] { return LibraryCanUnload() == S_OK; }));
    EXPECT_TRUE(::HeapValidate(::GetProcessHeap(), 0, nullptr));
}

namespace
{
CComPtr<IDispatch>* g_pReleasedByTimer = nullptr;
void CALLBACK ReleaseOnTimer(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    ::KillTimer(nullptr, idEvent);
    if (g_pReleasedByTimer) g_pReleasedByTimer->Release();
}
} // namespace

TEST_F(LumoClientCtrlTest, ControlReleasedByAMessagePumpedDuringTheRegistrationWait)
{
    CScriptedLumo lumo(Accepted() +
                       "expect APLGIN (?P<id>\\d+) 7 [01]\nsleep 0.3\nline APLGIN {id} -1 1 3\nwaitclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
    Put(Id::kApplicationId, CComVariant(7L));
    m_sink->Unadvise();
    IDispatch* pCtrl = m_ctrl;
    g_pReleasedByTimer = std::addressof(m_ctrl);
    ASSERT_NE(::SetTimer(nullptr, 0, 0, ReleaseOnTimer), 0u);
    CComVariant result;
    EXPECT_EQ(InvokeMember(pCtrl, Id::kInit, DISPATCH_METHOD, {}, &result), S_OK);
    g_pReleasedByTimer = nullptr;
    EXPECT_FALSE(m_ctrl) << "the timer ran during the wait";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
    EXPECT_TRUE(PumpUntil([] { return LibraryCanUnload() == S_OK; }));
}

namespace
{
constexpr COLORREF kPaper = RGB(200, 220, 240);
constexpr COLORREF kInk = RGB(0, 0, 0);

// The control's picture inside bounds: a frame in the DC's pen over its brush, its name in the middle,
// and nothing outside.
void ExpectControlPicture(const CPixelCanvas& canvas, const RECT& rc)
{
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    ASSERT_GE(cy, 40) << "the text must stay away from the corners";
    EXPECT_EQ(canvas.CountPixels(kInk, RECT{rc.left, rc.top, rc.right, rc.top + 1}), cx) << "top edge";
    EXPECT_EQ(canvas.CountPixels(kInk, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom}), cx) << "bottom edge";
    // The text's opaque cell may cover the sides where it is wider than the control: the corners show them.
    for (const RECT& corner :
         {RECT{rc.left, rc.top, rc.left + 1, rc.top + 5}, RECT{rc.right - 1, rc.top, rc.right, rc.top + 5},
          RECT{rc.left, rc.bottom - 5, rc.left + 1, rc.bottom}, RECT{rc.right - 1, rc.bottom - 5, rc.right, rc.bottom}})
        EXPECT_EQ(canvas.CountPixels(kInk, corner), 5) << "side at " << corner.left << "," << corner.top;
    const RECT inside{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    EXPECT_FALSE(canvas.AnyPixelOf(kPaper, inside)) << "the brush fills the inside";
    const int midX = (rc.left + rc.right) / 2, midY = (rc.top + rc.bottom) / 2;
    // The text sits on the baseline through the centre, centred horizontally: ink on both sides,
    // above the centre line.
    EXPECT_TRUE(canvas.AnyPixelOf(kInk, RECT{inside.left, inside.top, midX, midY})) << "text left of the centre";
    EXPECT_TRUE(canvas.AnyPixelOf(kInk, RECT{midX, inside.top, inside.right, midY})) << "text right of the centre";
    const RECT all{0, 0, canvas.Width(), canvas.Height()};
    EXPECT_EQ(canvas.CountPixels(kPaper, all), canvas.Width() * canvas.Height() - cx * cy) << "drew outside";
}
} // namespace

TEST_F(LumoClientCtrlTest, HostedWindowedItPaintsFrameAndName)
{
    CTestContainerSite site(false);
    ASSERT_EQ(site.Site(m_ctrl), S_OK);
    CComQIPtr<IOleInPlaceObject> inPlace(m_ctrl.p);
    ASSERT_TRUE(inPlace);
    HWND hwnd = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&hwnd), S_OK);
    CPixelCanvas canvas(100, 50, kPaper);
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.GetDC()), PRF_CLIENT);
    ExpectControlPicture(canvas, RECT{0, 0, 100, 50});
    ASSERT_EQ(site.Unsite(), S_OK);
}

TEST_F(LumoClientCtrlTest, HostedWindowlessItDrawsInsideItsBoundsOnly)
{
    CTestContainerSite site(true);
    ASSERT_EQ(site.Site(m_ctrl), S_OK);
    CPixelCanvas canvas(200, 100, kPaper);
    const RECT bounds{20, 10, 140, 70};
    ASSERT_EQ(site.Draw(canvas.GetDC(), &bounds), S_OK);
    ExpectControlPicture(canvas, bounds);
    ASSERT_EQ(site.Unsite(), S_OK);
}

namespace
{
std::wstring g_boxText;
BOOL CALLBACK CloseMessageBox(HWND hwnd, LPARAM)
{
    wchar_t className[16] = L"";
    ::GetClassNameW(hwnd, className, 16);
    if (std::wstring(className) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[512] = L"";
    ::GetDlgItemTextW(hwnd, 0xFFFF, text, 512); // the static text of a message box
    g_boxText = text;
    ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
}
void CALLBACK LookForMessageBox(HWND, UINT, UINT_PTR, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), CloseMessageBox, 0);
}
} // namespace

// LogMode 1 shows the library's own box on the control's thread; it pumps, and events go on after it.
TEST_F(LumoClientCtrlTest, LogModeVerboseShowsTheTextInABox)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) +
                       "data SNDINT -1 hex:010203 7 8 {crc} crc=bad\npush ENDTSK 1\nwaitclose\n");
    Put(Id::kLogMode, CComVariant(1L));
    Connect(lumo);
    g_boxText.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, LookForMessageBox);
    ASSERT_NE(timer, 0u);
    const bool bSeen = PumpUntilEvent(L"7(1)");
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(bSeen);
    EXPECT_TRUE(g_boxText.starts_with(L"Not relaying interview data for Survey <7>, Call <8> to JEX")) << g_boxText;
}

namespace
{
const wchar_t kLogFile[] = L"c:\\temp\\out.txt";
std::string ReadLogFile()
{
    CFileHandle file(::CreateFileW(kLogFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return "<none>";
    std::string text(4096, '\0');
    DWORD nRead = 0;
    ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &nRead, nullptr);
    text.resize(nRead);
    return text;
}
} // namespace

// LogMode 3 appends to an existing file only.
TEST_F(LumoClientCtrlTest, LogModeFileAppendsToAnExistingFileOnly)
{
    ::CreateDirectoryW(L"c:\\temp", nullptr);
    ::DeleteFileW(kLogFile);
    const std::string kBadData = "data SNDINT -1 hex:010203 7 8 {crc} crc=bad\n";
    // The second Lumo's version differs and has a letter outside ASCII: the text goes in the ANSI code page.
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + kBadData + "push ENDTSK 1\nwaitclose\n" +
                       Accepted("5.4.10.\xC3\xA9") + LoggedIn(7, 3) + kBadData + "push ENDTSK 2\nwaitclose\n");
    Put(Id::kLogMode, CComVariant(3L));
    Connect(lumo);
    ASSERT_TRUE(PumpUntilEvent(L"7(1)"));
    EXPECT_EQ(ReadLogFile(), "<none>") << "the file was created";
    Call(Id::kUninit);
    {
        CFileHandle file(::CreateFileW(kLogFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
        DWORD nWritten = 0;
        ::WriteFile(file, "old\n", 4, &nWritten, nullptr);
    }
    Connect(lumo);
    ASSERT_TRUE(PumpUntilEvent(L"7(2)"));
    const std::vector<BYTE> abc{1, 2, 3};
    const unsigned long nCrc = CStaticTools::GetChecksumForMemory(abc.data(), 3);
    const std::wstring mismatch = L"The version of LumoClient.ocx (v " + std::wstring(LUMO_VERSION_WTEXT) +
                                  L") is different from the version of LUMO (v 5.4.10.\u00E9) you are trying to "
                                  L"connect to.\nTo avoid any problems please upgrade LumoClient.ocx";
    const auto inCodePage = [&](UINT nCodePage) {
        std::string text(mismatch.size() * 4, '\0');
        text.resize(
            static_cast<size_t>(::WideCharToMultiByte(nCodePage, 0, mismatch.data(), static_cast<int>(mismatch.size()),
                                                      text.data(), static_cast<int>(text.size()), nullptr, nullptr)));
        return text;
    };
    ASSERT_NE(inCodePage(CP_ACP), inCodePage(CP_UTF8)) << "this prefix's ANSI code page cannot show the difference";
    EXPECT_EQ(ReadLogFile(), "old\n" + inCodePage(CP_ACP) +
                                 "\nNot relaying interview data for Survey <7>, Call <8> to JEX: Invalid Checksum when "
                                 "data was received (Calculated " +
                                 std::to_string(nCrc) + " - should be " + std::to_string(nCrc + 1) + ")\n");
    ::DeleteFileW(kLogFile);
    Call(Id::kUninit);
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

// LogMode 0 and any unknown mode drop the text: no event, no box, no file.
TEST_F(LumoClientCtrlTest, LogModeOffAndUnknownModesDropTheText)
{
    ::CreateDirectoryW(L"c:\\temp", nullptr);
    ::DeleteFileW(kLogFile);
    const std::string kBadData = "data SNDINT -1 hex:010203 7 8 {crc} crc=bad\n";
    // The second Lumo's version differs and has a letter outside ASCII: the text goes in the ANSI code page.
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + kBadData + "push ENDTSK 1\nwaitclose\n" +
                       Accepted("5.4.10.\xC3\xA9") + LoggedIn(7, 3) + kBadData + "push ENDTSK 2\nwaitclose\n");
    for (long nMode : {0L, 7L})
    {
        SCOPED_TRACE(nMode);
        Put(Id::kLogMode, CComVariant(nMode));
        Connect(lumo);
        ASSERT_TRUE(PumpUntilEvent(nMode == 0 ? L"7(1)" : L"7(2)"));
        EXPECT_EQ(Events().size(), 1u) << "only the marker";
        Call(Id::kUninit);
    }
    EXPECT_EQ(ReadLogFile(), "<none>");
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}
