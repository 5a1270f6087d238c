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
