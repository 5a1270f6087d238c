// LumoClient end to end as BrennClient uses it, against the scripted Lumo: created without
// registration, application 0, events advised, Init, a task and its contents, a large interview and
// its confirmation, Lumo closing, Uninit, the release, and the library free to unload.
#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "core/CStaticTools.h"

TEST_F(LumoClientCtrlTest, BrennClientRoadAgainstTheScriptedLumo)
{
    constexpr size_t kInterviewBytes = 1024 * 1024;
    const std::vector<BYTE> interview = Pattern(kInterviewBytes), contents = Pattern(5000);
    const std::string crc = std::to_string(CStaticTools::GetChecksumForMemory(interview.data(), kInterviewBytes));
    const std::wstring contentsCrc = std::to_wstring(CStaticTools::GetChecksumForMemory(contents.data(), 5000));
    CScriptedLumo lumo(Accepted() +
                       "expect APLGIN (?P<id>\\d+) 0 0\nline APLGIN {id} -1 1 3\n"
                       "data UPDTSK -1 gen:5000 77 {crc} '12:100;'\n"
                       "push STACAL 0 'QoCallId = \"42\" a = \"x\" jexTaskParameters = \"a\" '\n"
                       "expect SNDINT \\d+ 1048576 77 42 " +
                       crc + "\npayload 1048576 crc=" + crc + "\npush SNDINT 77 42\nclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    EXPECT_EQ(Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port()))), S_OK);
    EXPECT_EQ(Put(Id::kApplicationId, CComVariant(0L)), S_OK);
    ASSERT_EQ(Text(Call(Id::kInit)), L"-1b");
    ASSERT_TRUE(PumpUntilEvent(L"21(0s,42,{'a'='x'})"));

    EXPECT_EQ(
        Text(SendInterview(77, 42, interview, CStaticTools::GetChecksumForMemory(interview.data(), kInterviewBytes))),
        L"-1b");
    ASSERT_TRUE(PumpUntilEvent(L"2(0)", 30000)) << lumo.Log();
    EXPECT_EQ(Events(),
              (std::vector<std::wstring>{L"2(2)", L"3(1)", L"4(3)", L"2(1)",
                                         L"12(77,bytes:5000/" + contentsCrc + L"," + contentsCrc + L"u,{'12'=100u})",
                                         L"19(0s,42,{'a'='x','jexTaskParameters'='a','QoCallId'='42'})",
                                         L"21(0s,42,{'a'='x'})", L"11(77,42)", L"3(3)", L"4(18)", L"2(0)"}))
        << "Init's events were kept: the sink saw the whole road";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();

    EXPECT_EQ(Text(Call(Id::kUninit)), L"0b") << "Lumo closed the link already";
    ReleaseAndExpectUnload();
}
