// The control's cases that only a time-out ends.
#include "clientctl/tests/LumoClientCtrlTestSupport.h"

// Lumo greets but never answers the registration: after its 3 s the connection is given up.
TEST_F(LumoClientCtrlTest, InitWithASilentRegistrationFiresPendingThenDisconnected)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN (?P<id>\\d+) 7 [01]\nwaitclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
    Put(Id::kApplicationId, CComVariant(7L));
    EXPECT_EQ(Text(Call(Id::kInit)), L"0b");
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"2(2)", L"2(0)"}));
    EXPECT_EQ(States(), L"0/3/18");
    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b") << "the failed link stays until Uninit";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

// Lumo refuses a second connection of one application id by closing it during the registration: the
// loss is reported at once, and Init, when its wait ends, reports its own failure.
TEST_F(LumoClientCtrlTest, InitRefusedByLumoClosingDuringTheRegistration)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN (?P<id>\\d+) 7 [01]\nclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
    Put(Id::kApplicationId, CComVariant(7L));
    EXPECT_EQ(Text(Call(Id::kInit)), L"0b");
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"2(2)", L"3(3)", L"4(18)", L"2(0)", L"2(0)"}));
    EXPECT_EQ(States(), L"0/3/18");
    EXPECT_EQ(Text(Call(Id::kUninit)), L"0b") << "the loss released the link";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

// Lumo takes the requests but answers none within 3 s: each synchronous member gives its failure value
// (S_OK, or S_FALSE for the cached getters and the history), and a pause list that comes late still
// reaches the sink as PauseListReceived.
TEST_F(LumoClientCtrlTest, SynchronousMembersWithoutAnAnswerGiveTheirFailureValue)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) +
                       "expect RECCAL \\d+ 5\nexpect QRESTO \\d+ 5\nexpect AUVLME \\d+ 1 -1\nexpect CALLHY \\d+ 5\n"
                       "expect LSTPAU (?P<id>\\d+)\nsleep 3.5\nanswer LSTPAU '3 = \"Late\" '\nwaitclose\n");
    Put(Id::kLogMode, CComVariant(2L));
    Connect(lumo);
    struct Case
    {
        DISPID id;
        WORD flags;
        std::vector<CComVariant> args;
        HRESULT hr;
        std::wstring result;
    };
    CComPtr<IDispatch> map;
    ASSERT_EQ(map.CoCreateInstance(CLSID{0x93A9AE2D, 0xBC59, 0x4B3F, {0xAB, 0xFC, 0x80, 0x62, 0x1F, 0xC3, 0xF7, 0xB6}},
                                   nullptr, CLSCTX_INPROC_SERVER),
              S_OK);
    IDispatch* pCalls = nullptr;
    CComVariant calls;
    calls.vt = VT_BYREF | VT_DISPATCH;
    calls.ppdispVal = &pCalls;
    const Case cases[] = {
        {38, DISPATCH_METHOD, {CComVariant(5L)}, S_OK, L"-1"},
        {43, DISPATCH_METHOD, {CComVariant(5L)}, S_OK, L"0b"},
        {11, DISPATCH_PROPERTYGET, {}, S_FALSE, L"23130s"}, // untouched
        {70, DISPATCH_METHOD, {CComVariant(5L), calls}, S_FALSE, L"-1"},
        {21, DISPATCH_METHOD, {CComVariant(static_cast<IDispatch*>(map))}, S_OK, L"0"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.id);
        const ULONGLONG nStart = ::GetTickCount64();
        CComVariant result;
        EXPECT_EQ(InvokeThroughVtable(m_ctrl, c.id, c.flags, c.args, &result), c.hr);
        EXPECT_EQ(Text(result), c.result);
        EXPECT_GE(::GetTickCount64() - nStart, 2900u) << "waited its 3 s";
    }
    EXPECT_EQ(pCalls, nullptr) << "no collection without an answer";
    EXPECT_TRUE(Events().empty()) << "a missing answer is reported by no text";
    EXPECT_TRUE(PumpUntilEvent(L"1({'3'='Late'})"));
    Call(Id::kUninit);
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}
