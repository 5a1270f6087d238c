// The synchronous layer over real sockets against the scripted Lumo: request ids, waits, payloads cut out
// of the stream, the command map for what nobody waits for, and the object's lifetime.
#include "clientctl/CSyncSocketEx.h"
#include "clientctl/tests/LinkTestSupport.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <stdexcept>

namespace
{
// A link with a few words of its own; what reaches it goes to a record that outlives it.
class CProbeSocket : public CSyncSocketEx
{
public:
    explicit CProbeSocket(std::vector<std::wstring>& seen) : m_seen(seen) {}
    ~CProbeSocket() override { m_seen.push_back(L"Deleted"); }

    CSyncSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        if (!s_map.IsEmpty()) return;
        using C = CSyncSocketCommand;
        s_map.Add(L"PUSHED", new C(SyncHandler(&CProbeSocket::OnPushed), C::typeFieldsPayload, false, C::ruleNone, -1));
        s_map.Add(L"NESTED", new C(SyncHandler(&CProbeSocket::OnNested), C::typeFields, false, C::ruleNone, -1));
        s_map.Add(L"KILL", new C(SyncHandler(&CProbeSocket::OnKill), C::typeFields, false, C::ruleNone, -1));
        s_map.Add(L"QUIT", new C(SyncHandler(&CProbeSocket::OnQuit), C::typeFields, false, C::ruleNone, -1));
        s_map.Add(L"THROW", new C(SyncHandler(&CProbeSocket::OnThrow), C::typeFields, false, C::ruleNone, -1));
        s_map.Add(L"TWO",
                  new C(SyncHandler(&CProbeSocket::OnPushed), C::typeFieldsPayload, false, C::ruleOneOf, 2, -1));
    }
    void OnDisconnected(int nErrorCode) override
    {
        // Before the socket thread is told to quit: its link, and what the link holds, still exist.
        m_nCommittedAtClose = CommittedBytes();
        CSyncSocketEx::OnDisconnected(nErrorCode);
        m_seen.push_back(L"Disconnected");
    }
    void OnLinkError(const CString& strText) override { m_seen.push_back(L"Error " + strText.Str()); }

    // Private memory the process has committed, whether or not it was ever touched.
    static size_t CommittedBytes()
    {
        size_t nTotal = 0;
        MEMORY_BASIC_INFORMATION info{};
        for (const BYTE* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
             p = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize)
            if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) nTotal += info.RegionSize;
        return nTotal;
    }
    size_t m_nCommittedAtClose = 0;

    static std::wstring Join(const CStringArray& arrFields)
    {
        std::wstring text;
        for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
            text += (i ? L"|" : L"") + arrFields[i].Str();
        return text;
    }

protected:
    BOOL OnPushed(CStringArray& arrFields, BYTE* pData, DWORD nLength)
    {
        m_seen.push_back(L"PUSHED " + Join(arrFields) + L" " + std::to_wstring(pData ? nLength : 0) + L"b");
        return TRUE;
    }
    BOOL OnNested(CStringArray&)
    {
        const long nId = PostRequest(TRUE, L"INNER", L"%s", L"x");
        CStringArray arrAnswer;
        const BOOL bAnswered = WaitForAnswer(nId, arrAnswer, 1, 10);
        m_seen.push_back(L"INNER " + std::to_wstring(nId) + L" " + std::to_wstring(bAnswered) + L" " + Join(arrAnswer));
        return TRUE;
    }
    BOOL OnKill(CStringArray&)
    {
        m_seen.push_back(L"KILL");
        SafeDelete();
        return TRUE;
    }
    BOOL OnQuit(CStringArray&)
    {
        ::PostQuitMessage(7);
        return TRUE;
    }
    BOOL OnThrow(CStringArray&) { throw std::runtime_error("the handler broke"); }

private:
    std::vector<std::wstring>& m_seen;
    static CSyncSocketCommandMap s_map;
};
CSyncSocketCommandMap CProbeSocket::s_map;

bool Seen(const std::vector<std::wstring>& seen, const std::wstring& text)
{
    return std::find(seen.begin(), seen.end(), text) != seen.end();
}

class SyncSocketTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (m_pSocket) m_pSocket->SafeDelete();
        ExpectNoLinkLeft();
    }
    // Starts the peer with the script and connects a new probe to it.
    bool Connect(CScriptedLumo& lumo)
    {
        m_pSocket = new CProbeSocket(m_seen);
        CStringArray arrGreeting;
        return lumo.IsStarted() && m_pSocket->Connect(L"127.0.0.1", lumo.Port(), arrGreeting);
    }
    // The script ran to its end: what our side sent was right.
    static void ExpectScriptDone(CScriptedLumo& lumo) { EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log(); }

    std::vector<std::wstring> m_seen;
    CProbeSocket* m_pSocket = nullptr;
};

TEST_F(SyncSocketTest, IdsStartAtOneGreetingIsZeroAndEachConnectionCountsAgain)
{
    CScriptedLumo lumo(Accepted("'5.4.9.3 two'") +
                       "expect FIRST 1 a\nline FIRST 1 -1 one\nexpect SECOND 2\n"
                       "line SECOND 2 -1 two\nwaitclose\n" +
                       Accepted() + "expect FIRST 1 b\nline FIRST 1 -1 again\nwaitclose\n");
    m_pSocket = new CProbeSocket(m_seen);
    CStringArray arrGreeting;
    ASSERT_TRUE(m_pSocket->Connect(L"127.0.0.1", lumo.Port(), arrGreeting));
    EXPECT_EQ(CProbeSocket::Join(arrGreeting), L"5.4.9.3 two") << "the greeting's fields, unescaped";
    CStringArray arrAnswer;
    EXPECT_EQ(m_pSocket->PostRequest(TRUE, L"FIRST", L"%s", L"a"), 1);
    // A request without fields is word and id only.
    const long nSecond = m_pSocket->PostCommand(TRUE, L"SECOND");
    EXPECT_EQ(nSecond, 2);
    CStringArray arrSecond;
    EXPECT_TRUE(m_pSocket->WaitForAnswer(1, arrAnswer, 1, 5));
    EXPECT_TRUE(m_pSocket->WaitForAnswer(nSecond, arrSecond, 1, 5));
    EXPECT_EQ(CProbeSocket::Join(arrAnswer), L"one");
    EXPECT_EQ(CProbeSocket::Join(arrSecond), L"two");
    EXPECT_TRUE(m_pSocket->Disconnect());
    EXPECT_FALSE(m_pSocket->Disconnect()) << "the thread is already forgotten";
    ASSERT_TRUE(PumpUntil([&] { return Seen(m_seen, L"Disconnected"); })) << "a disconnect still reports the close";
    m_pSocket->SafeDelete();

    m_pSocket = new CProbeSocket(m_seen);
    ASSERT_TRUE(m_pSocket->Connect(L"127.0.0.1", lumo.Port(), arrGreeting));
    EXPECT_EQ(m_pSocket->PostRequest(TRUE, L"FIRST", L"%s", L"b"), 1) << "a new connection starts at 1 again";
    EXPECT_TRUE(m_pSocket->WaitForAnswer(1, arrAnswer, 1, 5));
    EXPECT_EQ(CProbeSocket::Join(arrAnswer), L"again");
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

// An escaped blank (0x0C) that ends the last field is the field's own: only an empty format's blank goes.
TEST_F(SyncSocketTest, AnEscapedBlankEndingTheLastFieldIsSent)
{
    CScriptedLumo lumo(Accepted() + "expect TAGCAL 1 5 x\\x0c\nexpect EMPTY 2\nexpect SHOWLC 3 1\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    m_pSocket->PostRequest(FALSE, L"TAGCAL", L"%d %s", 5, L"x\x0c");
    m_pSocket->PostRequest(FALSE, L"EMPTY", L"");
    m_pSocket->PostRequest(FALSE, L"SHOWLC", L"%d", 1);
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, TimeOutOfZeroWaitsWithoutLimit)
{
    CScriptedLumo lumo(Accepted() + "expect SLOW 1\nsleep 1.5\nline SLOW 1 -1 late\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    CStringArray arrAnswer;
    const long nId = m_pSocket->PostCommand(TRUE, L"SLOW");
    EXPECT_TRUE(m_pSocket->WaitForAnswer(nId, arrAnswer, -1, 0));
    EXPECT_EQ(CProbeSocket::Join(arrAnswer), L"late");
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, LengthsMinusOneZeroAndWordsCarryNoPayload)
{
    // Each answer is followed in the same send by a line that would be eaten as its payload.
    CScriptedLumo lumo(Accepted() + "expect A 1\nline A 1 -1 f1\\rPUSHED -1 -1 after-minus-one\n"
                                    "expect A 2\nline A 2 0 f2\\rPUSHED -1 -1 after-zero\n"
                                    "expect A 3\nline A 3 x f3\\rPUSHED -1 -1 after-word\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    for (const wchar_t* pszExpected : {L"f1", L"f2", L"f3"})
    {
        SCOPED_TRACE(pszExpected);
        const long nId = m_pSocket->PostCommand(TRUE, L"A");
        CStringArray arrAnswer;
        std::unique_ptr<BYTE[]> pData;
        DWORD nLength = 99;
        EXPECT_TRUE(m_pSocket->WaitForAnswerData(nId, arrAnswer, 1, pData, nLength, 5));
        EXPECT_EQ(CProbeSocket::Join(arrAnswer), pszExpected);
        EXPECT_EQ(pData, nullptr);
        EXPECT_EQ(nLength, 0u);
    }
    ASSERT_TRUE(PumpUntil([&] { return Seen(m_seen, L"PUSHED after-word 0b"); }));
    EXPECT_TRUE(Seen(m_seen, L"PUSHED after-minus-one 0b"));
    EXPECT_TRUE(Seen(m_seen, L"PUSHED after-zero 0b"));
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, PayloadInPiecesIsWholeAndTheLineAfterItIsProcessed)
{
    CScriptedLumo lumo(Accepted() + "expect DATA 1 ask\ndata DATA 1 gen:3000 got pieces=1000 'then=PUSHED -1 -1 tail'\n"
                                    "waitclose\n");
    ASSERT_TRUE(Connect(lumo));
    const long nId = m_pSocket->PostRequest(TRUE, L"DATA", L"%s", L"ask");
    CStringArray arrAnswer;
    std::unique_ptr<BYTE[]> pData;
    DWORD nLength = 0;
    ASSERT_TRUE(m_pSocket->WaitForAnswerData(nId, arrAnswer, 1, pData, nLength, 5));
    EXPECT_EQ(CProbeSocket::Join(arrAnswer), L"got");
    ASSERT_EQ(nLength, 3000u);
    ASSERT_NE(pData, nullptr);
    EXPECT_EQ(CountPatternMismatches(pData.get(), nLength), 0u) << "payload bytes differ";
    EXPECT_TRUE(PumpUntil([&] { return Seen(m_seen, L"PUSHED tail 0b"); })) << "the line after the payload";
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, NestedCallsEachGetTheirOwnAnswerInReverseOrder)
{
    CScriptedLumo lumo(Accepted() +
                       "expect OUTER (?P<outer>\\d+)\npush NESTED\nexpect INNER (?P<inner>\\d+) x\n"
                       "line INNER {inner} -1 inner-answer\nline OUTER {outer} -1 outer-answer\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    const long nId = m_pSocket->PostCommand(TRUE, L"OUTER");
    CStringArray arrAnswer;
    EXPECT_TRUE(m_pSocket->WaitForAnswer(nId, arrAnswer, 1, 10));
    EXPECT_EQ(CProbeSocket::Join(arrAnswer), L"outer-answer");
    EXPECT_TRUE(Seen(m_seen, L"INNER 2 1 inner-answer")) << "the nested call ran and got its answer first";
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, AnswerAfterTheTimeOutReachesTheCommandMap)
{
    CScriptedLumo lumo(Accepted() + "expect PUSHED (?P<id>\\d+)\nsleep 1.6\nline PUSHED {id} -1 late\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    const long nId = m_pSocket->PostCommand(TRUE, L"PUSHED");
    CStringArray arrAnswer;
    EXPECT_FALSE(m_pSocket->WaitForAnswer(nId, arrAnswer, -1, 1));
    EXPECT_TRUE(PumpUntil([&] { return Seen(m_seen, L"PUSHED late 0b"); }));
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, FieldsAreUnescapedAndCountsAreChecked)
{
    CScriptedLumo lumo(Accepted() + "expect E 1\nline E 1 -1 a\\x0cb c\\x07d \\x08 e\n"
                                    "line TWO -1 -1 one\nline TWO -1 -1 one two\nline NOSUCH -1 -1 x\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    CStringArray arrAnswer;
    EXPECT_TRUE(m_pSocket->WaitForAnswer(m_pSocket->PostCommand(TRUE, L"E"), arrAnswer, 4, 5));
    ASSERT_EQ(arrAnswer.GetSize(), 4);
    EXPECT_EQ(arrAnswer[0].Str(), L"a b");
    EXPECT_EQ(arrAnswer[1].Str(), L"c\rd");
    EXPECT_EQ(arrAnswer[2].Str(), L"");
    EXPECT_EQ(arrAnswer[3].Str(), L"e");
    ASSERT_TRUE(PumpUntil([&] { return Seen(m_seen, L"PUSHED one|two 0b"); }));
    PumpUntilIdle();
    EXPECT_EQ(
        std::count_if(m_seen.begin(), m_seen.end(), [](const std::wstring& s) { return s.starts_with(L"PUSHED"); }), 1)
        << "TWO with one field is refused by its count rule";
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, TooFewFieldsFailTheWait)
{
    CScriptedLumo lumo(Accepted() + "expect F 1\ndata F 1 gen:10 one\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    CStringArray arrAnswer;
    std::unique_ptr<BYTE[]> pData;
    DWORD nLength = 0;
    EXPECT_FALSE(m_pSocket->WaitForAnswerData(m_pSocket->PostCommand(TRUE, L"F"), arrAnswer, 2, pData, nLength, 5));
    EXPECT_EQ(pData, nullptr) << "the payload of a refused answer is freed";
    EXPECT_EQ(nLength, 0u);
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, SafeDeleteFromAHandlerWaitsForTheCallInside)
{
    CScriptedLumo lumo(Accepted() + "expect HOLD 1\npush KILL\npush PUSHED after-kill\nsleep 0.3\nclose\n");
    ASSERT_TRUE(Connect(lumo));
    CStringArray arrAnswer;
    const long nId = m_pSocket->PostCommand(TRUE, L"HOLD");
    EXPECT_FALSE(m_pSocket->WaitForAnswer(nId, arrAnswer, -1, 1)) << "the connection went while it waited";
    m_pSocket = nullptr; // deleted when the wait left
    const std::vector<std::wstring> expected = {L"KILL", L"PUSHED after-kill 0b", L"Disconnected", L"Deleted"};
    EXPECT_EQ(m_seen, expected) << "the link works on until the waiting call has left";
    EXPECT_EQ(CSyncSocketEx::GetInstanceCount(), 0);
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, QuitPumpedDuringAWaitIsSeenAfterIt)
{
    CScriptedLumo lumo(Accepted() + "expect Q 1\npush QUIT\nsleep 0.5\nline Q 1 -1 done\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    CStringArray arrAnswer;
    EXPECT_TRUE(m_pSocket->WaitForAnswer(m_pSocket->PostCommand(TRUE, L"Q"), arrAnswer, 1, 5))
        << "the wait goes on without pumping";
    MSG msg{};
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the container's loop sees the quit";
    EXPECT_EQ(msg.wParam, 7u);
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, AnAbsurdLengthClosesTheLinkWithAReport)
{
    CScriptedLumo lumo(Accepted() + "line PUSHED -1 4294967296 x\nwaitclose 10\n");
    ASSERT_TRUE(Connect(lumo));
    ASSERT_TRUE(PumpUntil([&] { return Seen(m_seen, L"Disconnected"); }));
    ASSERT_FALSE(m_seen.empty());
    EXPECT_TRUE(m_seen.front().starts_with(L"Error ") && m_seen.front().find(L"4294967296") != std::wstring::npos)
        << "reported first";
    EXPECT_FALSE(m_pSocket->HasThread());
    ExpectScriptDone(lumo);
}

// The length is the peer's word: until the bytes come, it costs no more than the bytes that came.
TEST_F(SyncSocketTest, AnAnnouncedPayloadTakesMemoryOnlyAsItArrives)
{
    constexpr size_t kAnnounced = 512u * 1024 * 1024; // the most the link waits for
    CScriptedLumo lumo(Accepted() + "line PUSHED -1 " + std::to_string(kAnnounced) + " x\nline abc\nclose\n");
    ASSERT_TRUE(Connect(lumo));
    const size_t nBefore = CProbeSocket::CommittedBytes();
    ASSERT_TRUE(PumpUntil([&] { return Seen(m_seen, L"Disconnected"); }));
    EXPECT_FALSE(Seen(m_seen, L"PUSHED x 0b")) << "the payload never came whole";
    const size_t nAdded = m_pSocket->m_nCommittedAtClose > nBefore ? m_pSocket->m_nCommittedAtClose - nBefore : 0;
    EXPECT_LT(nAdded, 64u * 1024 * 1024) << "8 bytes of an announced 512 MiB payload took " << nAdded << " bytes";
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, AnExceptionInAHandlerIsReportedAndTheLinkGoesOn)
{
    CScriptedLumo lumo(Accepted() + "push THROW\npush PUSHED next\nwaitclose\n");
    ASSERT_TRUE(Connect(lumo));
    ASSERT_TRUE(PumpUntil([&] { return Seen(m_seen, L"PUSHED next 0b"); }));
    ASSERT_GE(m_seen.size(), 2u);
    EXPECT_NE(m_seen.front().find(L"THROW"), std::wstring::npos) << m_seen.front();
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

TEST_F(SyncSocketTest, PostingWithoutAConnectionSendsNothing)
{
    m_pSocket = new CProbeSocket(m_seen);
    EXPECT_EQ(m_pSocket->PostCommand(TRUE, L"NONE"), 0);
    CStringArray arrAnswer;
    EXPECT_FALSE(m_pSocket->WaitForAnswer(0, arrAnswer, -1, 1));
    EXPECT_FALSE(m_pSocket->Disconnect());
}

TEST_F(SyncSocketTest, ManyCallsReuseTheirEventsAndABigPayloadArrivesWhole)
{
    constexpr int kCalls = 1000;
    constexpr int kBig = 16 * 1024 * 1024;
    std::string script = "accept enc=0\nstarts 5.4.9.3\n";
    for (int i = 1; i <= kCalls; ++i)
        script += "expect C " + std::to_string(i) + "\nline C " + std::to_string(i) + " -1 " + std::to_string(i) + "\n";
    script += "expect BIG (?P<id>\\d+)\ndata BIG {id} gen:" + std::to_string(kBig) + " {crc} pieces=1000\nwaitclose\n";
    CScriptedLumo lumo(script);
    ASSERT_TRUE(Connect(lumo));
    int nAnswered = 0;
    for (int i = 1; i <= kCalls; ++i)
    {
        CStringArray arrAnswer;
        nAnswered += m_pSocket->WaitForAnswer(m_pSocket->PostCommand(TRUE, L"C"), arrAnswer, 1, 10) &&
                     arrAnswer[0] == CString(std::to_wstring(i).c_str());
    }
    EXPECT_EQ(nAnswered, kCalls);
    EXPECT_LE(m_pSocket->GetEventPoolSize(), 2u);
    CStringArray arrAnswer;
    std::unique_ptr<BYTE[]> pData;
    DWORD nLength = 0;
    ASSERT_TRUE(m_pSocket->WaitForAnswerData(m_pSocket->PostCommand(TRUE, L"BIG"), arrAnswer, 1, pData, nLength, 120));
    ASSERT_EQ(nLength, static_cast<DWORD>(kBig));
    EXPECT_EQ(CountPatternMismatches(pData.get(), nLength), 0u);
    m_pSocket->Disconnect();
    ExpectScriptDone(lumo);
}

} // namespace
