// The road of one interview through the session layer, over 127.0.0.1 from end to end: the
// scripted Jex (tests/peers/jex_sessions.py, which takes a link again after a loss) on one side,
// the scripted local applications (tests/peers/scripted_app.py: BrennClient as 0, Quillan as 11,
// another as 12; tests/peers/oldapp.py on the old port) on the other, and between them the session
// layer as a process of its own (SessionHost.exe: the Jex link, both application ports and the
// session core, with the main window's receivers in its record).
#include "tests/support/CJexSessions.h"
#include "tests/support/CScriptedApps.h"
#include "tests/support/CSessionHostProcess.h"
#include "core/CAsyncSocketEx.h"
#include "core/CPropertyList.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::wstring>;

// Jex greets, takes the agent's log-on and answers it.
constexpr char kLogon[] = "handshake\n"
                          "greet 0 5.4.9.6 0.0.0.0\n"
                          "expect ALOGON 77 3 -?\\d+\n"
                          "send ALOGON 0 x y z\n"
                          "expectline ENDINI\n";

unsigned long Crc(const std::string& bytes)
{
    return crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
}

std::string Num(unsigned long long n)
{
    return std::to_string(n);
}

std::string Bytes(size_t nCount, unsigned nSeed)
{
    std::mt19937 random(nSeed);
    std::string bytes(nCount, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // the texts here are ASCII
}

// A text as a Python regular expression of a script line: control characters (the field escapes)
// as \xNN, which a line of the script must not hold as they are, and the pattern characters quoted.
std::string Pattern(const std::wstring& text)
{
    std::string out;
    for (const wchar_t c : text)
    {
        char escape[8];
        if (c < 0x20)
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
        else if (std::wstring(L".^$*+?{}[]\\|()").find(c) != std::wstring::npos)
            std::snprintf(escape, sizeof escape, "\\%c", static_cast<char>(c));
        else
            std::snprintf(escape, sizeof escape, "%c", static_cast<char>(c));
        out += escape;
    }
    return out;
}

// The first lines that Lumo sends on every link: its log-on, and ENDINI once Jex accepted it.
bool StartsWithLogon(const Lines& received)
{
    return received.size() >= 2 && std::regex_match(Narrow(received[0]), std::regex("ALOGON 77 3 -?\\d+")) &&
           received[1] == L"ENDINI";
}

Lines AfterLogon(const Lines& received)
{
    return received.size() < 2 ? Lines{} : Lines(received.begin() + 2, received.end());
}

class RoadTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        m_pApps.reset();
        m_pHost.reset(); // stops the host when a test left it running
        m_pJex.reset();
    }

    void StartJex(const std::vector<std::string>& scripts, const CJexSessions::Files& files = {})
    {
        m_pJex = std::make_unique<CJexSessions>(static_cast<int>(scripts.size()), 30, scripts, files);
    }
    // The host on the Jex's port, with the agent logged on.
    bool StartHost(int nReconnects = 0)
    {
        const UINT nJexPort = m_pJex->Port();
        if (!nJexPort) return false;
        m_pHost = std::make_unique<CSessionHostProcess>(
            CSessionHostProcess::Options{.nJexPort = nJexPort, .nReconnects = nReconnects});
        return m_pHost->Ready();
    }
    void StartApps(const std::string& script, const CScriptedApps::Files& files = {})
    {
        m_pApps = std::make_unique<CScriptedApps>(m_pHost->AppPort(), script, files);
    }
    // The applications' script ran to its end; then the host is stopped (ALOGOF to a Jex still
    // there) and every Jex link's script must have passed.
    void FinishAll()
    {
        EXPECT_EQ(m_pApps->Finish(120000), 0) << m_pApps->Log();
        EXPECT_EQ(m_pHost->Stop(), CSessionHostProcess::kStopped) << "the host ended as asked";
        EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
    }

    std::unique_ptr<CJexSessions> m_pJex;
    std::unique_ptr<CSessionHostProcess> m_pHost;
    std::unique_ptr<CScriptedApps> m_pApps;
};

// The whole road: the task contents wait for BrennClient, the call starts in it, its interview
// reaches Jex only with the right CRC-32, Jex's confirmation and every routed answer reach only
// the application they belong to, what Jex tells everyone reaches all three, and so does the
// loss of Jex.
TEST_F(RoadTest, InterviewTravelsFromTaskToConfirmationAndEveryLineOnlyWhereItBelongs)
{
    const std::string task = "survey 100, questionnaire and quotas";
    const std::string otherTask = "contents Jex garbled";
    const std::string interview = Bytes(20000, 31);
    const std::wstring taskText = L"QoCallId = \"31\" jexApplicationId = \"0\" jexTaskId = \"7\" jexTaskType = \"0\" ";
    // The main window starts the call with the task's list as it writes it.
    const std::wstring started =
        CAsyncSocketEx::EscapeParameter(CPropertyList(taskText.c_str()).GetString()).GetString();
    StartJex({std::string(kLogon) +
              "payload {dir}/task UPDTSK 7 0 {size} {crc} r1;r2\n"
              "payload {dir}/othertask UPDTSK 8 0 {size} 12345 r9\n"
              "expectline TSKRES 7 r1\n"
              "send STRTOU '" +
              Narrow(taskText) +
              "'\n"
              "expectpayload 'SNDINT 100 31 20000 " +
              Num(Crc(interview)) +
              " 1' 2 crc=3 same={dir}/interview\n"
              "send SNDINT 100 0 31 1\n"
              "expectline ENDOUT 2 QoCallId\\x0c=\\x0c\"31\"\\x0c\n"
              "send ENDOUT 31\n"
              "send AGSTAT 3 Interview\n"
              "expectline LSTOGR 40 12\n"
              "send LSTOGR 40 12 '5 = \"Outbound A\" '\n"
              "expectline LSTPAU 41 11\n"
              "send LSTPAU 41 11 p1\n"
              "send STAQUE 1:2:3\n"
              "close\n"},
             {{L"task", task}, {L"othertask", otherTask}, {L"interview", interview}});
    ASSERT_TRUE(StartHost()) << m_pJex->Log();
    StartApps("connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 1 0\n"
              "connect other\n"
              "aplgin 12 0\n"
              "answer APLGIN 1 0\n"
              "mark registered\n"
              "wait started\n"
              "connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 0\n"
              "expect UPDTSK -1 " +
                  Num(task.size()) + " 7 " + Num(Crc(task)) +
                  " r1;r2 bytes=file:{dir}/task crc=3\n"
                  "request TSKRES 7 r1\n"
                  "push STACAL 2 " +
                  Pattern(started) +
                  "\n"
                  "payload SNDINT file:{dir}/interview 100 31 {crc} crc=bad\n"
                  "payload SNDINT file:{dir}/interview 100 31 {crc} pieces=8192\n"
                  "push SNDINT 100 31\n"
                  "request ENDTSK 2 'QoCallId = \"31\" '\n"
                  "push ENDTSK 31\n"
                  "push AGSTAT 3\n"
                  "use other\n"
                  "push ENDTSK 31\n"
                  "push AGSTAT 3\n"
                  "request LSTOGR id=40\n"
                  "answer LSTOGR 5\\x0c=\\x0c\"Outbound\\x0cA\"\\x0c id=40\n"
                  "use quillan\n"
                  "push ENDTSK 31\n"
                  "push AGSTAT 3\n"
                  "request LSTPAU id=41\n"
                  "answer LSTPAU p1 id=41\n"
                  // What each application reads next shows that nothing else came before it.
                  "push STAQUE 1:2:3\n"
                  "push JEXSTA 0\n"
                  "use other\n"
                  "push STAQUE 1:2:3\n"
                  "push JEXSTA 0\n"
                  "use brenn\n"
                  "push STAQUE 1:2:3\n"
                  "push JEXSTA 0\n",
              {{L"task", task}, {L"interview", interview}});
    ASSERT_TRUE(m_pApps->WaitForMark(L"registered")) << m_pApps->Log();
    ASSERT_TRUE(m_pHost->WaitForRecord(L"app StartProgram 0")) << "the held task starts BrennClient";
    m_pApps->Release(L"started");
    EXPECT_EQ(m_pApps->Finish(120000), 0) << m_pApps->Log();
    ASSERT_TRUE(m_pHost->WaitForRecord(L"host Jex lost"));

    const Lines expectedDlg = {
        L"StartOutboundCall " + taskText, L"EndCall 2 [QoCallId = \"31\" ] 31",
        L"OnOutboundCallEnded 31",        L"SetAgentState 3 Interview",
        L"RequestPauseList 41 11",        L"OnPauseList 41 11 p1",
        L"ShowQueueStats 1:2:3",
    };
    EXPECT_EQ(m_pHost->Record(L"dlg"), expectedDlg);
    EXPECT_EQ(m_pHost->Record(L"app"), (Lines{L"OnAgentLogon -1 0", L"StartProgram 0"}))
        << "BrennClient is started once, for the task held for it";
    // The refusal is one line of the log; its date is the log writer's business.
    const std::regex refusal("\\d\\d:\\d\\d:\\d\\d  \\d\\d-\\d\\d-\\d{4} Not relaying interview data for Survey <100>, "
                             "Call <31> to Jex: Invalid Checksum when data was received \\(Calculated " +
                             Num(Crc(interview)) + " - should be " + Num(Crc(interview) + 1) + "\\)\r?\n");
    const std::string log = m_pHost->ReadLog();
    EXPECT_TRUE(std::regex_match(log, refusal)) << log;

    EXPECT_EQ(m_pHost->Stop(), CSessionHostProcess::kStopped) << "the loss of Jex leaves the host serving";
    EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
    const Lines received = m_pJex->Received(0);
    EXPECT_TRUE(StartsWithLogon(received));
    const Lines expectedJex = {
        L"TSKRES 7 r1",
        L"SNDINT 100 31 20000 " + std::to_wstring(Crc(interview)) + L" 1",
        L"ENDOUT 2 QoCallId\\x0c=\\x0c\"31\"\\x0c",
        L"LSTOGR 40 12",
        L"LSTPAU 41 11",
    };
    EXPECT_EQ(AfterLogon(received), expectedJex) << "the interview with the wrong CRC-32 never reached Jex";
}

// A thousand interviews of 64 KiB from three applications at once reach Jex whole and, for each
// application, in the order it sent them (the scripted Jex checks every CRC-32 and every order).
TEST_F(RoadTest, ThousandInterviewsOf64KiBArriveWholeAndInOrder)
{
    StartJex({std::string(kLogon) + "timeout 120\n"
                                    "sndintflood 1000\n"
                                    "send AGSTAT 1 Ready\n"
                                    "expectline ALOGOF\n"
                                    "closed\n"});
    ASSERT_TRUE(StartHost()) << m_pJex->Log();
    StartApps("timeout 120\n"
              "connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 0\n"
              "connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 1 0\n"
              "connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 1 0\n"
              "sndintflood 1000 65536 brenn quillan other\n"
              "push AGSTAT 1\n"
              "use quillan\n"
              "push AGSTAT 1\n"
              "use brenn\n"
              "push AGSTAT 1\n");
    FinishAll();
    EXPECT_EQ(m_pHost->ReadLog(), "") << "no interview was refused";
}

// An application that closes in the middle of an interview's bytes takes them with it: nothing of
// them reaches Jex or is read as a request, its id is free again, and the others go on.
TEST_F(RoadTest, ApplicationClosingMidPayloadDisturbsNothing)
{
    const std::string interview = Bytes(30000, 7);
    StartJex({std::string(kLogon) + "expectpayload 'SNDINT 100 31 30000 " + Num(Crc(interview)) +
              " 1' 2 crc=3 same={dir}/interview\n"
              "send SNDINT 100 0 31 1\n"
              "send AGSTAT 2 Ready\n"
              "expectline ALOGOF\n"
              "closed\n"},
             {{L"interview", interview}});
    ASSERT_TRUE(StartHost()) << m_pJex->Log();
    StartApps("connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 0\n"
              "connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 1 0\n"
              "connect other\n"
              "aplgin 12 1\n"
              "answer APLGIN 1 0\n"
              "payload SNDINT file:{dir}/interview 100 32 {crc} cut=12000\n"
              "close\n"
              "connect again\n"
              "aplgin 12 1\n"
              "answer APLGIN 1 0\n"
              "use brenn\n"
              "payload SNDINT file:{dir}/interview 100 31 {crc}\n"
              "push SNDINT 100 31\n"
              "push AGSTAT 2\n"
              "use quillan\n"
              "push AGSTAT 2\n"
              "use again\n"
              "push AGSTAT 2\n"
              // The last application logs the agent off, which ends the desktop.
              "request ALOGOF\n"
              "closed\n",
              {{L"interview", interview}});
    EXPECT_TRUE(PumpUntil([&] { return m_pHost->ExitCode() == CSessionHostProcess::kStopped; }, 30000));
    FinishAll();
    EXPECT_EQ(m_pHost->Record(L"dlg"), (Lines{L"SetAgentState 2 Ready", L"LogOff"}))
        << "nothing of the bytes ran as a request";
    EXPECT_EQ(m_pHost->ReadLog(), "");
    const Lines received = m_pJex->Received(0);
    EXPECT_TRUE(StartsWithLogon(received));
    EXPECT_EQ(AfterLogon(received),
              (Lines{L"SNDINT 100 31 30000 " + std::to_wstring(Crc(interview)) + L" 1", L"ALOGOF"}));
}

// Jex goes while an interview waits for its confirmation. Every application learns it (JEXSTA 0);
// an interview sent while there is no usable link goes nowhere, not even onto the new link before
// its greeting; once the agent is logged on again (JEXSTA 1) BrennClient sends both again, as it
// does with what Jex has not confirmed, and each reaches the new Jex once and is confirmed once.
TEST_F(RoadTest, JexClosingWhileAnInterviewWaitsIsToldAndNothingGoesTwice)
{
    const std::string first = Bytes(25000, 1);
    const std::string second = Bytes(26000, 2);
    const std::string firstLine = "SNDINT 100 31 25000 " + Num(Crc(first)) + " 1";
    const std::string secondLine = "SNDINT 100 32 26000 " + Num(Crc(second)) + " 1";
    StartJex({std::string(kLogon) + "expectpayload '" + firstLine +
                  "' 2 crc=3 same={dir}/first\n"
                  "close\n",
              // The new link is slow to greet: the interview sent meanwhile must not come first.
              "handshake\n"
              "sleep 2\n"
              "greet 0 5.4.9.6 0.0.0.0\n"
              "expect ALOGON 77 3 -?\\d+\n"
              "send ALOGON 0 x y z\n"
              "expectline ENDINI\n"
              "expectpayload '" +
                  firstLine +
                  "' 2 crc=3 same={dir}/first\n"
                  "expectpayload '" +
                  secondLine +
                  "' 2 crc=3 same={dir}/second\n"
                  "send SNDINT 100 0 31 1\n"
                  "send SNDINT 100 0 32 1\n"
                  "expectline ALOGOF\n"
                  "closed\n"},
             {{L"first", first}, {L"second", second}});
    ASSERT_TRUE(StartHost(1)) << m_pJex->Log();
    StartApps("connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 0\n"
              "connect quillan\n"
              "aplgin 11 1\n"
              "answer APLGIN 1 0\n"
              "use brenn\n"
              "payload SNDINT file:{dir}/first 100 31 {crc}\n"
              "push JEXSTA 0\n"
              "payload SNDINT file:{dir}/second 100 32 {crc}\n"
              "push JEXSTA 1\n"
              "payload SNDINT file:{dir}/first 100 31 {crc}\n"
              "payload SNDINT file:{dir}/second 100 32 {crc}\n"
              "push SNDINT 100 31\n"
              "push SNDINT 100 32\n"
              "silence 0.5\n"
              "use quillan\n"
              "push JEXSTA 0\n"
              "push JEXSTA 1\n"
              "silence 0.2\n",
              {{L"first", first}, {L"second", second}});
    FinishAll();
    const Lines lost = m_pJex->Received(0);
    EXPECT_TRUE(StartsWithLogon(lost));
    EXPECT_EQ(AfterLogon(lost), Lines{std::wstring(firstLine.begin(), firstLine.end())});
    const Lines again = m_pJex->Received(1);
    EXPECT_TRUE(StartsWithLogon(again)) << "the agent logs on again before anything else goes to Jex";
    EXPECT_EQ(AfterLogon(again), (Lines{std::wstring(firstLine.begin(), firstLine.end()),
                                        std::wstring(secondLine.begin(), secondLine.end()), L"ALOGOF"}));
    const Lines host = m_pHost->Record(L"host");
    EXPECT_EQ(std::count(host.begin(), host.end(), L"logged on"), 2);
    EXPECT_EQ(std::count(host.begin(), host.end(), L"Jex lost"), 1);
}

// The old application port is on the same road: an old-dialect program's interview reaches Jex
// with port flag 0 only with the right CRC-32 (the refusal in the log), Jex's confirmation with
// port flag 0 reaches it alone and in its own dialect, and what Jex tells everyone, as the loss of
// Jex, reaches the programs of both ports.
TEST_F(RoadTest, OldPortInterviewTravelsBesideTheCurrentPort)
{
    const std::string oldInterview = Bytes(15000, 41);
    const std::string interview = Bytes(12000, 31);
    const std::string oldLine = "SNDINT 200 41 15000 " + Num(Crc(oldInterview)) + " 0";
    const std::string line = "SNDINT 100 31 12000 " + Num(Crc(interview)) + " 1";
    StartJex({std::string(kLogon) + "expectpayload '" + oldLine +
              "' 2 crc=3 same={dir}/old\n"
              "send SNDINT 200 12 41 0\n"
              "send AGSTAT 2 Busy\n"
              "expectpayload '" +
              line +
              "' 2 crc=3 same={dir}/current\n"
              "send SNDINT 100 0 31 1\n"
              "send STAQUE 4:5:6\n"
              "close\n"},
             {{L"old", oldInterview}, {L"current", interview}});
    ASSERT_TRUE(StartHost()) << m_pJex->Log();
    ASSERT_NE(m_pHost->OldAppPort(), 0u);
    CScriptedApps oldApp(CScriptedApps::OldDialect{LUMO_OLD_APP}, m_pHost->OldAppPort(),
                         "send 'APLGIN 12'\n"
                         "expect 'APLGIN 5.4.9.6'\n"
                         "expect 'AGSTAT Ready'\n"
                         "mark registered\n"
                         "waitfile brenn\n"
                         "payload {dir}/old 'SNDINT 200 42 {size} 12345'\n"
                         "payload {dir}/old 'SNDINT 200 41 {size} {crc}'\n"
                         "expect 'SNDINT 200 41'\n"
                         "expect 'AGSTAT Busy'\n"
                         "expect 'STAQUE 4:5:6'\n"
                         "expect 'JEXSTA 0'\n"
                         "silence 0.3\n"
                         "close\n",
                         {{L"old", oldInterview}});
    ASSERT_TRUE(oldApp.WaitForMark(L"registered")) << oldApp.Log();
    StartApps("connect brenn\n"
              "aplgin 0 1\n"
              "answer APLGIN 1 0\n"
              "mark brenn\n"
              "push AGSTAT 2\n"
              "payload SNDINT file:{dir}/current 100 31 {crc}\n"
              "push SNDINT 100 31\n"
              "push STAQUE 4:5:6\n"
              "push JEXSTA 0\n"
              "silence 0.3\n",
              {{L"current", interview}});
    ASSERT_TRUE(m_pApps->WaitForMark(L"brenn")) << m_pApps->Log();
    oldApp.Release(L"brenn");
    EXPECT_EQ(oldApp.Finish(60000), 0) << oldApp.Log();
    FinishAll();

    const std::regex refusal("\\d\\d:\\d\\d:\\d\\d  \\d\\d-\\d\\d-\\d{4} Not relaying interview data for Survey <200>, "
                             "Call <42> to Jex: Invalid Checksum when data was received \\(Calculated " +
                             Num(Crc(oldInterview)) + " - should be 12345\\)\r?\n");
    const std::string log = m_pHost->ReadLog();
    EXPECT_TRUE(std::regex_match(log, refusal)) << log;
    const Lines received = m_pJex->Received(0);
    EXPECT_TRUE(StartsWithLogon(received));
    EXPECT_EQ(AfterLogon(received),
              (Lines{std::wstring(oldLine.begin(), oldLine.end()), std::wstring(line.begin(), line.end())}))
        << "the refused interview never reached Jex";
}

} // namespace
