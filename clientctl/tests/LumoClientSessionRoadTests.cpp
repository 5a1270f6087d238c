// LumoClient end to end as BrennClient uses it, against the session layer run as a program of its
// own (SessionHost.exe) with the scripted Jex of several links (tests/peers/jex_sessions.py)
// behind it and the agent logged on: the task held for BrennClient, the call it starts, a large
// interview relayed to Jex only under a checksum that matches the bytes, a second control asking
// for the same application id turned away, and the loss of Jex told to the client.
#include "clientctl/tests/LumoClientCtrlTestSupport.h"
#include "tests/support/CJexSessions.h"
#include "tests/support/CSessionHostProcess.h"
#include "core/CStaticTools.h"
#include <regex>

namespace
{
std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // the texts here are ASCII
}

using LumoClientSessionRoadTest = LumoClientCtrlTest;

TEST_F(LumoClientSessionRoadTest, BrennClientRoadThroughTheSessionLayer)
{
    constexpr size_t kInterviewBytes = 1024 * 1024;
    const std::vector<BYTE> interview = Pattern(kInterviewBytes), contents = Pattern(5000);
    const ULONG nCrc = CStaticTools::GetChecksumForMemory(interview.data(), kInterviewBytes);
    const std::wstring contentsCrc = std::to_wstring(CStaticTools::GetChecksumForMemory(contents.data(), 5000));
    const std::wstring taskText = L"QoCallId = \"42\" jexApplicationId = \"0\" jexTaskId = \"7\" jexTaskType = \"0\" ";
    const std::string sentLine = "SNDINT 100 42 1048576 " + std::to_string(nCrc) + " 1";
    // Jex closes only once the client has spoken after the refused second control, so the loss
    // comes last on the client's road.
    CJexSessions jex(1, 30,
                     {"handshake\n"
                      "greet 0 5.4.9.6 0.0.0.0\n"
                      "expect ALOGON 77 3 -?\\d+\n"
                      "send ALOGON 0 x y z\n"
                      "expectline ENDINI\n"
                      "send AGSTAT 3 Interview\n"
                      "payload {dir}/task UPDTSK 7 0 {size} {crc} '12:100;'\n"
                      "send STRTOU '" +
                      Narrow(taskText) +
                      "'\n"
                      "expectpayload '" +
                      sentLine +
                      "' 2 crc=3 same={dir}/interview\n"
                      "send SNDINT 100 0 42 1\n"
                      "expectline INTHBT 42 done\n"
                      "close\n"},
                     {{L"task", std::string(contents.begin(), contents.end())},
                      {L"interview", std::string(interview.begin(), interview.end())}});
    ASSERT_NE(jex.Port(), 0u) << jex.Log();
    CSessionHostProcess host(CSessionHostProcess::Options{.nJexPort = jex.Port()});
    ASSERT_TRUE(host.Ready()) << jex.Log();

    // BrennClient is started for the task held for it, by then the agent is in the interview.
    ASSERT_TRUE(host.WaitForRecord(L"app StartProgram 0")) << jex.Log();
    ASSERT_TRUE(host.WaitForRecord(L"dlg SetAgentState 3 Interview")) << jex.Log();
    EXPECT_EQ(Put(Id::kPort, CComVariant(static_cast<short>(host.AppPort()))), S_OK);
    EXPECT_EQ(Put(Id::kApplicationId, CComVariant(0L)), S_OK);
    ASSERT_EQ(Text(Call(Id::kInit)), L"-1b");
    const std::wstring call = L"42,{'jexApplicationId'='0','jexTaskId'='7','jexTaskType'='0','QoCallId'='42'}";
    ASSERT_TRUE(PumpUntilEvent(L"21(2s,42,{})")) << jex.Log();

    // First under a checksum that is not the bytes': the session layer keeps it from Jex.
    EXPECT_EQ(Text(SendInterview(100, 42, interview, nCrc + 1)), L"-1b");
    EXPECT_EQ(Text(SendInterview(100, 42, interview, nCrc)), L"-1b");
    ASSERT_TRUE(PumpUntilEvent(L"11(100,42)", 30000)) << jex.Log();
    const std::regex refusal("\\d\\d:\\d\\d:\\d\\d  \\d\\d-\\d\\d-\\d{4} Not relaying interview data for Survey <100>, "
                             "Call <42> to Jex: Invalid Checksum when data was received \\(Calculated " +
                             std::to_string(nCrc) + " - should be " + std::to_string(nCrc + 1) + "\\)\r?\n");
    const std::string log = host.ReadLog();
    EXPECT_TRUE(std::regex_match(log, refusal)) << log;

    // A second control under the same id: the session layer keeps the first and closes on it.
    {
        CComPtr<IDispatch> second;
        ASSERT_EQ(second.CoCreateInstance(kCtrl, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        EXPECT_EQ(
            InvokeMember(second, Id::kPort, DISPATCH_PROPERTYPUT, {CComVariant(static_cast<short>(host.AppPort()))}),
            S_OK);
        EXPECT_EQ(InvokeMember(second, Id::kApplicationId, DISPATCH_PROPERTYPUT, {CComVariant(0L)}), S_OK);
        CComVariant result;
        EXPECT_EQ(InvokeMember(second, Id::kInit, DISPATCH_METHOD, {}, &result), S_OK);
        EXPECT_EQ(Text(result), L"0b");
        InvokeMember(second, Id::kUninit, DISPATCH_METHOD, {}, &result);
    }

    EXPECT_EQ(InvokeMember(m_ctrl, 72, DISPATCH_METHOD, {CComVariant(42L), CComVariant(L"done")}), S_OK);
    ASSERT_TRUE(PumpUntilEvent(L"3(0)", 30000)) << jex.Log();
    EXPECT_EQ(Events(),
              (std::vector<std::wstring>{L"2(2)", L"3(1)", L"4(3)", L"2(1)",
                                         L"12(7,bytes:5000/" + contentsCrc + L"," + contentsCrc + L"u,{'12'=100u})",
                                         L"19(2s," + call + L")", L"21(2s,42,{})", L"11(100,42)", L"3(0)"}))
        << "the held task and its call reach the client once it registers; the second control changed nothing";

    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    ReleaseAndExpectUnload();
    EXPECT_EQ(host.Stop(), CSessionHostProcess::kStopped);
    EXPECT_EQ(jex.Finish(), 0) << jex.Log();
    const CJexSessions::Lines received = jex.Received(0);
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(CJexSessions::Lines(received.begin() + 2, received.end()),
              (CJexSessions::Lines{std::wstring(sentLine.begin(), sentLine.end()), L"INTHBT 42 done"}))
        << "the interview under the wrong checksum never reached Jex";
}
} // namespace
