// The receive path with scripted reads: a link whose network read hands out prepared chunks, one per
// notification, so every split of the stream can be placed exactly. No network here; the links over real
// sockets are tested with the sending side.
#include "core/CAsyncSocketEx.h"
#include "framework/CException.h"
#include "framework/CMemFile.h"
#include <zlib.h>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Bytes = std::string;

Bytes Utf16(const std::wstring& text)
{
    return Bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::wstring Text(const CString& str)
{
    return str.Str();
}

// Records what reaches the handlers and the trace, in order.
class CScriptedSocket : public CAsyncSocketEx
{
public:
    CScriptedSocket()
    {
        m_bDeleteOnClose = false; // lives on the test's stack
        InitCommandMap();
    }

    using CAsyncSocketEx::OnReceive;

    void Queue(const Bytes& bytes) { m_chunks.push_back(bytes); }
    // One notification per chunk, as the network would give them.
    void Deliver(const Bytes& bytes)
    {
        Queue(bytes);
        OnReceive(0);
    }

    CSocketCommandMap* GetCommandMap() override { return &s_mapScripted; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(
            this, s_mapScripted, s_csScripted, s_csCommandMap, [](CSocketCommandMap& map) {
                using C = CSocketCommand;
                map.Add(L"FIELDS",
                        new C(SocketHandler(&CScriptedSocket::OnFields), C::modeFields, false, C::checkNone, 0, -1));
                map.Add(L"TWOFIV", new C(SocketHandler(&CScriptedSocket::OnFields), C::modeFields, false, C::checkOneOf,
                                         0, 2, 5, -1));
                map.Add(L"THREE1", new C(SocketHandler(&CScriptedSocket::OnFields), C::modeFields, false, C::checkOneOf,
                                         0, 3, -1));
                map.Add(L"ATLST2", new C(SocketHandler(&CScriptedSocket::OnFields), C::modeFields, false,
                                         C::checkAtLeast, 0, 2, -1));
                map.Add(L"SESSIO",
                        new C(SocketHandler(&CScriptedSocket::OnFields), C::modeFields, true, C::checkNone, 0, -1));
                map.Add(L"PAYLOD", new C(SocketHandler(&CScriptedSocket::OnPayload), C::modeFieldsPayload, false,
                                         C::checkOneOf, 0, 1, -1));
                map.Add(L"RAWTXT",
                        new C(SocketHandler(&CScriptedSocket::OnRawText), C::modeText, false, C::checkNone, 0, -1));
                map.Add(L"RAWPAY", new C(SocketHandler(&CScriptedSocket::OnRawPayload), C::modeTextPayload, false,
                                         C::checkNone, 0, -1));
                map.Add(L"THROWS",
                        new C(SocketHandler(&CScriptedSocket::OnThrow), C::modeFields, false, C::checkNone, 0, -1));
                map.Add(L"PTHROW", new C(SocketHandler(&CScriptedSocket::OnPayloadThrow), C::modeFieldsPayload, false,
                                         C::checkNone, 0, -1));
                map.Add(L"PUMPIT",
                        new C(SocketHandler(&CScriptedSocket::OnPump), C::modeFields, false, C::checkNone, 0, -1));
                auto* pBinary =
                    new C(SocketHandler(&CScriptedSocket::OnBinary), C::modeBinary, false, C::checkNone, 0, -1);
                pBinary->m_nPayloadLengthField = 0;
                map.Add(L"BINARY", pBinary);
                auto* pCallback = new C({}, C::modeCallback, false, C::checkNone, 77, -1);
                pCallback->m_pfnStatic = &CScriptedSocket::OnCallback;
                map.Add(L"CALLBK", pCallback);
            });
    }

    std::vector<std::wstring> m_calls;  // "WORD|field|field" per handler call
    std::vector<std::wstring> m_traces; // texts of the error hooks
    std::vector<Bytes> m_payloads;
    long InProgress() const { return m_nCommandsInProgress; }
    void MarkDeletePending() { m_bDeletePending = true; }
    std::deque<Bytes> m_chunks;
    std::wstring m_throwKind;

protected:
    int ReadFromNetwork(void* pTarget, int nCount, int /*nFlags*/) override
    {
        if (m_chunks.empty())
        {
            WSASetLastError(WSAEWOULDBLOCK);
            return SOCKET_ERROR;
        }
        Bytes& chunk = m_chunks.front();
        const int nTaken = std::min(nCount, static_cast<int>(chunk.size()));
        std::memcpy(pTarget, chunk.data(), static_cast<size_t>(nTaken));
        chunk.erase(0, static_cast<size_t>(nTaken));
        if (chunk.empty()) m_chunks.pop_front();
        return nTaken;
    }
    void TraceReceived(const CString& strText) override { m_traces.push_back(strText.Str()); }

    void Record(const wchar_t* pszWord, const CStringArray& arrFields)
    {
        std::wstring call = pszWord;
        for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
            call += L"|" + arrFields[i].Str();
        m_calls.push_back(call);
    }
    void OnFields(CStringArray& arrFields) { Record(L"FIELDS", arrFields); }
    // Field 0 is the payload length; takes line, line end and payload when all is here.
    void OnPayload(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        Record(L"PAYLOD", arrFields);
        const int nPayload = _wtoi(arrFields[0].GetString());
        if (GetReceivedCount() < nLineLength + GetCharSize() + nPayload)
        {
            bIncomplete = TRUE;
            return;
        }
        const char* pPayload = reinterpret_cast<const char*>(GetReceivedData()) + nLineLength + GetCharSize();
        m_payloads.emplace_back(pPayload, static_cast<size_t>(nPayload));
        ConsumeReceived(nLineLength + nPayload);
    }
    void OnRawText(CString strParameters) { m_calls.push_back(L"RAWTXT|" + strParameters.Str()); }
    void OnRawPayload(const CString& strParameters, int nLineLength, BOOL& bIncomplete)
    {
        m_calls.push_back(L"RAWPAY|" + strParameters.Str());
        const int nPayload = _wtoi(strParameters.GetString());
        if (GetReceivedCount() < nLineLength + GetCharSize() + nPayload)
        {
            bIncomplete = TRUE;
            return;
        }
        m_payloads.emplace_back(reinterpret_cast<const char*>(GetReceivedData()) + nLineLength + GetCharSize(),
                                nPayload);
        ConsumeReceived(nLineLength + nPayload);
    }
    void OnThrow(CStringArray& arrFields)
    {
        Record(L"THROWS", arrFields);
        Throw(arrFields[0].Str());
    }
    void OnPayloadThrow(CStringArray& arrFields, int, BOOL&)
    {
        Record(L"PTHROW", arrFields);
        Throw(arrFields[0].Str());
    }
    void Throw(const std::wstring& kind)
    {
        if (kind == L"user") AfxThrowUserException();
        if (kind == L"cexc") AfxThrowInvalidArgException();
        if (kind == L"std") throw std::runtime_error("bad \xC3\xA9t\xC3\xA9"); // UTF-8 of "bad été"
        if (kind == L"close")
        {
            MarkDeletePending();
            AfxThrowUserException();
        }
        throw 42;
    }
    // As a handler that pumps messages: the link's next notification arrives inside it.
    void OnPump(CStringArray& arrFields)
    {
        Record(L"PUMPIT", arrFields);
        OnReceive(0);
        m_calls.push_back(L"PUMPIT returns");
    }
    void OnBinary(CStringArray& arrFields, BYTE* pPayload, int nLength)
    {
        Record(L"BINARY", arrFields);
        m_payloads.emplace_back(reinterpret_cast<const char*>(pPayload), static_cast<size_t>(nLength));
    }
    static void OnCallback(DWORD dwContext, wchar_t** ppFields, int nCount)
    {
        std::wstring call = L"CALLBK|" + std::to_wstring(dwContext);
        for (int i = 0; i < nCount; ++i)
            call += std::wstring(L"|") + ppFields[i];
        s_pCallbackTarget->m_calls.push_back(call);
    }

public:
    static CScriptedSocket* s_pCallbackTarget;

protected:
    static CSocketCommandMap s_mapScripted;
    static CCriticalSection s_csScripted;
};

CSocketCommandMap CScriptedSocket::s_mapScripted;
CCriticalSection CScriptedSocket::s_csScripted;
CScriptedSocket* CScriptedSocket::s_pCallbackTarget = nullptr;

// A class derived once more: its map is the map above plus its own word.
class CMoreScriptedSocket : public CScriptedSocket
{
public:
    CMoreScriptedSocket() { InitCommandMap(); }
    CSocketCommandMap* GetCommandMap() override { return &s_mapMore; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CScriptedSocket>(this, s_mapMore, s_csMore, s_csScripted, [](CSocketCommandMap& map) {
            map.Add(L"EXTRAW", new CSocketCommand(SocketHandler(&CMoreScriptedSocket::OnExtra),
                                                  CSocketCommand::modeFields, false, CSocketCommand::checkNone, 0, -1));
        });
    }
    void OnExtra(CStringArray& arrFields) { Record(L"EXTRAW", arrFields); }

private:
    static CSocketCommandMap s_mapMore;
    static CCriticalSection s_csMore;
};

CSocketCommandMap CMoreScriptedSocket::s_mapMore;
CCriticalSection CMoreScriptedSocket::s_csMore;

using Calls = std::vector<std::wstring>;

// ---- lines and encodings ----

TEST(SocketReceive, LineSplitOverReadsWaitsForItsEndEvenHalfACarriageReturn)
{
    CScriptedSocket link;
    const Bytes stream = Utf16(L"FIELDS a b\rFIELDS c\r");
    const size_t nHalfReturn = Utf16(L"FIELDS a b").size() + 1; // just after the 0x0D byte
    link.Deliver(stream.substr(0, 8));
    link.Deliver(stream.substr(8, nHalfReturn - 8));
    EXPECT_EQ(link.m_calls, Calls{}) << "the 0x0D alone is no line end yet";
    link.Deliver(stream.substr(nHalfReturn));
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|a|b", L"FIELDS|c"})) << "both lines in the pass of the last read";
    EXPECT_EQ(link.GetReceivedCount(), 0);
}

TEST(SocketReceive, TwoLinesInOneReadRunInOrder)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"FIELDS 1\rFIELDS 2\rFIELDS 3"));
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|1", L"FIELDS|2"}));
    link.Deliver(Utf16(L"\r"));
    EXPECT_EQ(link.m_calls.back(), L"FIELDS|3");
}

TEST(SocketReceive, EncodingIsDecidedOncePerReset)
{
    CScriptedSocket link;
    link.Deliver("FIELDS ansi\r");
    EXPECT_FALSE(link.IsWide());
    EXPECT_EQ(link.GetCharSize(), 1);
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|ansi"}));
    link.Deliver(Utf16(L"F")); // a UTF-16 looking byte pair later changes nothing
    EXPECT_FALSE(link.IsWide());
    link.Deliver("IELDS x\r");
    EXPECT_EQ(link.m_calls.size(), 1u) << "the 0 byte stays in the ANSI word";

    link.ResetConnection();
    EXPECT_TRUE(link.IsWide()) << "until the peer's first data, UTF-16LE";
    link.m_calls.clear();
    link.Deliver(Utf16(L"FIELDS wide\r"));
    EXPECT_TRUE(link.IsWide());
    EXPECT_EQ(link.GetCharSize(), 2);
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|wide"}));
}

TEST(SocketReceive, OneByteFirstReadLeavesTheEncodingOpen)
{
    CScriptedSocket link;
    link.Deliver("F");
    link.Deliver("IELDS one\r");
    EXPECT_FALSE(link.IsWide()) << "decided on the second byte once it is here";
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|one"}));

    CScriptedSocket wide;
    const Bytes line = Utf16(L"FIELDS two\r");
    wide.Deliver(line.substr(0, 1));
    wide.Deliver(line.substr(1));
    EXPECT_TRUE(wide.IsWide());
    EXPECT_EQ(wide.m_calls, (Calls{L"FIELDS|two"}));
}

TEST(SocketReceive, CarriageReturnByteAtAnOddOffsetIsNoLineEnd)
{
    CScriptedSocket link;
    // U+0D41 then U+4100: the bytes 41 0D 00 41 hold 0D 00 at an odd offset.
    link.Deliver(Utf16(std::wstring(L"FIELDS x") + L"\x0D41\x4100" + L"y\r"));
    EXPECT_EQ(link.m_calls, (Calls{std::wstring(L"FIELDS|x") + L"\x0D41\x4100" + L"y"}));
}

TEST(SocketReceive, LongLineGrowsTheBuffer)
{
    CScriptedSocket link;
    const std::wstring field(70000, L'z');
    const Bytes stream = Utf16(L"FIELDS " + field + L"\rFIELDS end\r");
    for (size_t n = 0; n < stream.size(); n += 40000)
        link.Deliver(stream.substr(n, 40000));
    while (!link.m_chunks.empty())
        link.OnReceive(0); // a read takes at most the free room
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|" + field, L"FIELDS|end"}));
}

// ---- fields and escapes ----

struct FieldsCase
{
    std::wstring parameters;
    Calls calls;
    const char* why;
};

TEST(SocketReceive, FieldsSplitAtEveryBlankAndUnescape)
{
    const FieldsCase cases[] = {
        {L" a  b", {L"FIELDS|a||b"}, "two blanks give an empty field"},
        {L" a ", {L"FIELDS|a"}, "a trailing blank adds nothing"},
        {L"  a", {L"FIELDS||a"}, "a leading blank gives an empty first field"},
        {L"", {L"FIELDS"}, "no parameters, no fields"},
        {L" \x08", {L"FIELDS|"}, "0x08 is an empty field"},
        {L" x\x0Cy\x07z \x08\x08", {L"FIELDS|x y\rz|\x08\x08"}, "0x0C and 0x07 inside; only a lone 0x08 empties"},
        {L" line\nfeed", {L"FIELDS|line\nfeed"}, "a line feed passes as it is"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CScriptedSocket link;
        link.Deliver(Utf16(L"FIELDS" + c.parameters + L"\r"));
        EXPECT_EQ(link.m_calls, c.calls);
    }
}

TEST(SocketReceive, EscapedFieldsComeBackAsTheyWere)
{
    const std::pair<std::wstring, std::wstring> escapes[] = {
        {L"", L"\x08"},
        {L"a b", L"a\x0C"
                 L"b"},
        {L" ", L"\x0C"},
        {L"a\rb", L"a\x07"
                  L"b"},
        {L"a\nb", L"a\nb"},
    };
    CScriptedSocket link;
    std::wstring line = L"FIELDS";
    Calls expected{L"FIELDS"};
    for (const auto& [plain, escaped] : escapes)
    {
        EXPECT_EQ(Text(CAsyncSocketEx::EscapeParameter(plain.c_str())), escaped);
        line += L" " + Text(CAsyncSocketEx::EscapeParameter(plain.c_str()));
        expected[0] += L"|" + plain;
    }
    link.Deliver(Utf16(line + L"\r"));
    EXPECT_EQ(link.m_calls, expected);
}

TEST(SocketReceive, SplitCommandLine)
{
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        {L"WORD a b", L"WORD", L"a b"},
        {L"WORD", L"WORD", L""},
        {L" WORD a", L" WORD a", L""},
        {L"WORD ", L"WORD", L""},
    };
    for (const auto& [line, word, parameters] : cases)
    {
        CString strWord;
        CString strParameters = L"old";
        CAsyncSocketEx::SplitCommandLine(line, strWord, strParameters);
        EXPECT_EQ(Text(strWord), word) << "line '" << CStringA(line).GetString() << "'";
        EXPECT_EQ(Text(strParameters), parameters);
    }
}

TEST(SocketReceive, AnsiLinesAreConvertedWithTheThreadCodePage)
{
    CScriptedSocket link;
    link.Deliver("FIELDS caf\xE9\r");
    CString expected(L"FIELDS|caf");
    expected += CString("\xE9"); // whatever the thread code page makes of it, the same way
    EXPECT_EQ(link.m_calls, (Calls{expected.Str()}));
}

// ---- refusals and the hook texts ----

TEST(SocketReceive, UnknownWordIsReportedShortenedAndTheNextLineRuns)
{
    CScriptedSocket link;
    const std::wstring parameters(200, L'p');
    link.Deliver(Utf16(L"ABCDEFGHIJKLMNOPQRST " + parameters + L"\rFIELDS next\r"));
    ASSERT_EQ(link.m_traces.size(), 1u);
    EXPECT_EQ(link.m_traces[0],
              L"ERROR - UNKNOWN COMMAND ABCDEFGHIJKLMNOP RECEIVED (Parameters: " + parameters.substr(0, 128) + L").");
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|next"}));
    EXPECT_EQ(link.GetReceivedCount(), 0);
}

TEST(SocketReceive, UnreadableTextsAreReplacedInReports)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"BAD\x01WORD x\rNOSUCH \x20AC 5\x0C\x07\x08\t\rfields x\r"));
    EXPECT_EQ(link.m_traces, (Calls{L"ERROR - UNKNOWN COMMAND <invalid string> RECEIVED (Parameters: x).",
                                    L"ERROR - UNKNOWN COMMAND NOSUCH RECEIVED (Parameters: \x20AC "
                                    L"5\x0C\x07\x08\t).",
                                    L"ERROR - UNKNOWN COMMAND fields RECEIVED (Parameters: x)."}))
        << "the euro sign, the escapes and white space are readable; words "
           "compare with case";
}

TEST(SocketReceive, SessionWordsWaitForTheSession)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"SESSIO x\r"));
    EXPECT_EQ(link.m_calls, Calls{});
    EXPECT_EQ(link.m_traces, (Calls{L"ERROR - COMMAND SESSIO NOT ALLOWED (Parameters: x)."}));
    link.m_bSession = true;
    link.Deliver(Utf16(L"SESSIO y\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|y"}));
}

struct CountCase
{
    std::wstring line;
    bool dispatched;
    std::wstring trace;
    const char* why;
};

TEST(SocketReceive, CountChecks)
{
    const CountCase cases[] = {
        {L"TWOFIV a b", true, L"", "one of 2 and 5: two"},
        {L"TWOFIV a b c d e", true, L"", "one of 2 and 5: five"},
        {L"TWOFIV a b c", false, L"TWOFIV|Received 3, Parameters: a b c).", "two counts listed: expected -1"},
        {L"THREE1 a b", false, L"THREE1|Expected minimum 3, Received 2, Parameters: a b).",
         "one count listed: it is reported"},
        {L"THREE1 a b c", true, L"", "exactly three"},
        {L"ATLST2 a", false, L"ATLST2|Expected minimum 2, Received 1, Parameters: a).", "at least two: one"},
        {L"ATLST2 a b c", true, L"", "at least two: three"},
        {L"ATLST2", false, L"ATLST2|Expected minimum 2, Received 0, Parameters: ).", "no parameters"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CScriptedSocket link;
        link.Deliver(Utf16(c.line + L"\rFIELDS after\r"));
        EXPECT_EQ(link.m_calls.size(), c.dispatched ? 2u : 1u);
        EXPECT_EQ(link.m_calls.back(), L"FIELDS|after") << "the next line runs either way";
        if (!c.dispatched)
        {
            const size_t nBar = c.trace.find(L'|');
            const std::wstring expected = L"ERROR - COMMAND " + c.trace.substr(0, nBar) +
                                          L" RECEIVED WITH INCORRECT NR OF PARAMETERS (" + c.trace.substr(nBar + 1);
            EXPECT_EQ(link.m_traces, (Calls{expected}));
        }
        else
            EXPECT_EQ(link.m_traces, Calls{});
    }
}

// ---- the dispatch modes ----

TEST(SocketReceive, RawTextModesGetTheParametersUnsplit)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"RAWTXT a\x0C  b\rRAWPAY 3\r") + "xyz" + Utf16(L"FIELDS end\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"RAWTXT|a\x0C  b", L"RAWPAY|3", L"FIELDS|end"}));
    EXPECT_EQ(link.m_payloads, (std::vector<Bytes>{"xyz"}));
}

TEST(SocketReceive, PayloadOverThreeReadsHoldsLaterLinesBack)
{
    CScriptedSocket link;
    const Bytes payload("\x0D\x00\x0D"
                        "abcdefg",
                        10); // line-end bytes inside a payload are data
    const Bytes stream = Utf16(L"PAYLOD 10\r") + payload + Utf16(L"FIELDS after\r");
    const size_t nLine = Utf16(L"PAYLOD 10\r").size();
    link.Deliver(stream.substr(0, nLine + 3));
    EXPECT_TRUE(link.IsLastCommandIncomplete());
    link.Deliver(stream.substr(nLine + 3, 4));
    EXPECT_EQ(link.m_calls, (Calls{L"PAYLOD|10", L"PAYLOD|10"})) << "dispatched again, anew, on each read";
    link.Deliver(stream.substr(nLine + 7));
    EXPECT_EQ(link.m_calls, (Calls{L"PAYLOD|10", L"PAYLOD|10", L"PAYLOD|10", L"FIELDS|after"}));
    EXPECT_EQ(link.m_payloads, (std::vector<Bytes>{payload}));
    EXPECT_FALSE(link.IsLastCommandIncomplete());
    EXPECT_EQ(link.GetReceivedCount(), 0);
}

TEST(SocketReceive, OddPayloadLeavesTheNextWideLineReadable)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"PAYLOD 3\r") + "abc" + Utf16(L"FIELDS \x0D41\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"PAYLOD|3", L"FIELDS|\x0D41"}))
        << "the line after an odd payload starts at an odd address";
}

TEST(SocketReceive, BinaryModeCollectsItsPayload)
{
    CScriptedSocket link;
    const Bytes line = Utf16(L"BINARY 6 x\r");
    link.Deliver(line + "12");
    EXPECT_EQ(link.m_calls, Calls{});
    link.Deliver("34");
    link.Deliver("56" + Utf16(L"FIELDS next\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"BINARY|6|x"})) << "a read into the payload takes only the payload's rest";
    link.OnReceive(0); // the network signals the bytes still waiting
    EXPECT_EQ(link.m_calls, (Calls{L"BINARY|6|x", L"FIELDS|next"}));
    EXPECT_EQ(link.m_payloads, (std::vector<Bytes>{"123456"}));
}

TEST(SocketReceive, CallbackModeGetsFieldCopiesAndContext)
{
    CScriptedSocket link;
    CScriptedSocket::s_pCallbackTarget = &link;
    link.Deliver(Utf16(L"CALLBK a\x0C"
                       L"b \x08\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"CALLBK|77|a b|"}));
}

TEST(SocketReceive, ConsumeOutOfRangeEmptiesTheBuffer)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"FIELDS"));
    link.ConsumeReceived(1000);
    EXPECT_EQ(link.GetReceivedCount(), 0);
    link.Deliver(Utf16(L"FIELDS"));
    link.ConsumeReceived(-10);
    EXPECT_EQ(link.GetReceivedCount(), 0);
}

// ---- exceptions in handlers ----

TEST(SocketReceive, ExceptionInALineModeReportsAndGoesOn)
{
    struct
    {
        const wchar_t* kind;
        std::wstring error;
    } const cases[] = {
        {L"cexc", L""}, // the framework's text, checked to be non-empty below
        {L"std", L"bad \x00E9t\x00E9"},
        {L"other", L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(CStringA(c.kind).GetString());
        CScriptedSocket link;
        link.Deliver(Utf16(std::wstring(L"THROWS ") + c.kind + L"\rFIELDS after\r"));
        EXPECT_EQ(link.m_calls, (Calls{std::wstring(L"THROWS|") + c.kind, L"FIELDS|after"}));
        ASSERT_EQ(link.m_traces.size(), 1u);
        const std::wstring head = std::wstring(L"ERROR - EXCEPTION WHILE PROCESSING COMMAND THROWS "
                                               L"(Parameters: ") +
                                  c.kind + L"). Error: ";
        EXPECT_EQ(link.m_traces[0].substr(0, head.size()), head);
        if (std::wstring(c.kind) == L"cexc")
            EXPECT_GT(link.m_traces[0].size(), head.size()) << "the framework exception's message";
        else
            EXPECT_EQ(link.m_traces[0].substr(head.size()), c.error);
        EXPECT_EQ(link.InProgress(), 0);
    }
}

TEST(SocketReceive, ExceptionInAPayloadModeDiscardsTheBuffer)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"PTHROW cexc\rFIELDS lost\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"PTHROW|cexc"})) << "the payload boundary is unknown: the rest goes";
    EXPECT_EQ(link.GetReceivedCount(), 0);
    EXPECT_EQ(link.m_traces.size(), 1u);
    EXPECT_EQ(link.InProgress(), 0);
    link.Deliver(Utf16(L"FIELDS later\r"));
    EXPECT_EQ(link.m_calls.back(), L"FIELDS|later") << "the link keeps working";
}

TEST(SocketReceive, UserAbortEndsThePassAndKeepsTheInput)
{
    CScriptedSocket link;
    link.Deliver(Utf16(L"THROWS user\rFIELDS waits\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"THROWS|user"}));
    EXPECT_EQ(link.m_traces, Calls{}) << "nothing reported";
    EXPECT_EQ(link.InProgress(), 0) << "released on this path too";
    link.Deliver(Utf16(L"FIELDS new\r"));
    EXPECT_EQ(link.m_calls, (Calls{L"THROWS|user", L"FIELDS|waits", L"FIELDS|new"}));
}

TEST(SocketReceive, CloseDuringAHandlerDeletesAtTheEndOfThePass)
{
    struct CDeletionWatch : CScriptedSocket
    {
        explicit CDeletionWatch(bool& bDeleted) : m_bDeleted(bDeleted) { m_bDeleteOnClose = true; }
        ~CDeletionWatch() override { m_bDeleted = true; }
        bool& m_bDeleted;
    };
    bool bDeleted = false;
    auto* pLink = new CDeletionWatch(bDeleted);
    pLink->Deliver(Utf16(L"THROWS close\r")); // marks the close, then cancels the pass
    EXPECT_TRUE(bDeleted) << "the cancelled pass still carried out the deletion";
    if (!bDeleted) delete pLink;
}

// ---- nested notifications ----

TEST(SocketReceive, NotificationInsideAHandlerDispatchesNothingTwice)
{
    CScriptedSocket link;
    link.Queue(Utf16(L"PUMPIT\rFIELDS 1\r"));
    link.Queue(Utf16(L"FIELDS 2\r")); // read by the notification that arrives inside PUMPIT
    link.OnReceive(0);
    EXPECT_EQ(link.m_calls, (Calls{L"PUMPIT", L"PUMPIT returns", L"FIELDS|1", L"FIELDS|2"}));
    EXPECT_TRUE(link.m_chunks.empty());
    EXPECT_EQ(link.GetReceivedCount(), 0);
}

// ---- command maps ----

TEST(SocketCommandMap, DerivedMapHoldsTheBaseEntriesAndItsOwn)
{
    CMoreScriptedSocket more;
    CScriptedSocket plain;
    CSocketCommand* pCommand = nullptr;
    EXPECT_TRUE(more.GetCommandMap()->Lookup(L"EXTRAW", pCommand));
    EXPECT_TRUE(more.GetCommandMap()->Lookup(L"FIELDS", pCommand));
    EXPECT_EQ(more.GetCommandMap()->GetCount(), plain.GetCommandMap()->GetCount() + 1);
    EXPECT_FALSE(plain.GetCommandMap()->Lookup(L"EXTRAW", pCommand)) << "the base map is not changed";
    CSocketCommand* pPlain = nullptr;
    ASSERT_TRUE(plain.GetCommandMap()->Lookup(L"FIELDS", pPlain));
    EXPECT_NE(pCommand, pPlain) << "entries are copies";
    more.Deliver(Utf16(L"EXTRAW 1\rFIELDS 2\r"));
    EXPECT_EQ(more.m_calls, (Calls{L"EXTRAW|1", L"FIELDS|2"}));
}

// Whether another thread could take the lock now (it is let go again at once).
bool IsFreeForOthers(CCriticalSection& cs)
{
    bool bFree = false;
    std::thread([&] {
        bFree = TryEnterCriticalSection(cs) != FALSE;
        if (bFree) LeaveCriticalSection(cs);
    }).join();
    return bFree;
}

CSocketCommand* NewFieldsCommand(DWORD dwContext)
{
    return new CSocketCommand({}, CSocketCommand::modeFields, false, CSocketCommand::checkNone, dwContext, -1);
}

TEST(SocketCommandMap, DerivedMapCopiesTheBaseOnceUnderBothLocksThenAddsItsOwn)
{
    CCriticalSection csOwn, csBase;
    CSocketCommandMap base, derived;
    base.Add(L"SHARED", NewFieldsCommand(1));
    base.Add(L"BASEON", NewFieldsCommand(2));
    int nBaseInits = 0;
    const auto initBase = [&] {
        ++nBaseInits;
        EXPECT_FALSE(IsFreeForOthers(csOwn)) << "the derived map's lock is held";
        EXPECT_FALSE(IsFreeForOthers(csBase)) << "the base map's lock is held while it is copied";
        return &base;
    };
    const auto addOwn = [&](CSocketCommandMap& map) {
        EXPECT_EQ(&map, &derived);
        EXPECT_FALSE(IsFreeForOthers(csBase));
        map.Add(L"SHARED", NewFieldsCommand(3));
        map.Add(L"OWNONE", NewFieldsCommand(4));
    };
    derived.InitDerived(csOwn, csBase, initBase, addOwn);
    derived.InitDerived(csOwn, csBase, initBase, addOwn);
    EXPECT_EQ(nBaseInits, 1) << "a filled map is left as it is";
    ASSERT_EQ(derived.GetCount(), 3);
    CSocketCommand* pCommand = nullptr;
    ASSERT_TRUE(derived.Lookup(L"SHARED", pCommand));
    EXPECT_EQ(pCommand->m_dwContext, 3u) << "the derived class's entry replaces the base's of the same word";
    ASSERT_TRUE(derived.Lookup(L"BASEON", pCommand));
    EXPECT_EQ(pCommand->m_dwContext, 2u);
    EXPECT_TRUE(IsFreeForOthers(csOwn) && IsFreeForOthers(csBase)) << "both locks are let go";
}

// The one lock order: a class initialising its map takes its own lock before it waits for the
// base's, so it never holds the base's lock while it waits for its own.
TEST(SocketCommandMap, DerivedMapTakesItsOwnLockBeforeTheBases)
{
    CCriticalSection csOwn, csBase;
    CSocketCommandMap base, derived;
    base.Add(L"BASEON", NewFieldsCommand(1));
    std::atomic<bool> bBaseHeld{false};
    bool bOwnTakenWhileBaseWaited = false;
    std::thread other([&] {
        EnterCriticalSection(csBase);
        bBaseHeld = true;
        // The initialising thread comes to wait for the base's lock; its own must be taken by then.
        // Polled, with a bound: nothing tells this thread when the other one is waiting.
        for (int i = 0; i < 5000; ++i)
        {
            if (!TryEnterCriticalSection(csOwn))
            {
                bOwnTakenWhileBaseWaited = true;
                break;
            }
            LeaveCriticalSection(csOwn);
            Sleep(1);
        }
        LeaveCriticalSection(csBase);
    });
    for (int i = 0; i < 100000 && !bBaseHeld; ++i)
        Sleep(0);
    ASSERT_TRUE(bBaseHeld);
    derived.InitDerived(
        csOwn, csBase, [&] { return &base; }, [](CSocketCommandMap&) {});
    other.join();
    EXPECT_TRUE(bOwnTakenWhileBaseWaited);
    EXPECT_EQ(derived.GetCount(), 1);
}

TEST(SocketCommandMap, EntryListsItsCounts)
{
    CSocketCommand command({}, CSocketCommand::modeFields, true, CSocketCommand::checkOneOf, 5, 2, 5, -1);
    EXPECT_EQ(command.m_arrCounts, (std::vector<int>{2, 5})) << "counts up to the negative end mark";
    EXPECT_TRUE(std::holds_alternative<std::monostate>(command.m_pfnStatic));
    EXPECT_EQ(command.m_nPayloadLengthField, -1);
    CSocketCommand copy(command);
    EXPECT_EQ(copy.m_arrCounts, command.m_arrCounts);
    EXPECT_TRUE(copy.m_bNeedsSession);
    EXPECT_EQ(copy.m_dwContext, 5u);
}

// ---- seams for long payloads and streams ----

// A scripted link with the handlers of the session layer's long payloads: a stream taken piece by
// piece, a payload that reserves its room, a payload read through a memory file, and a greeting that
// drops what came before it. Counts every receive buffer it is given.
class CStreamSocket : public CScriptedSocket
{
public:
    CStreamSocket() { InitCommandMap(); }
    CSocketCommandMap* GetCommandMap() override { return &s_mapStream; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CScriptedSocket>(this, s_mapStream, s_csStream, s_csScripted, [](CSocketCommandMap& map) {
            using C = CSocketCommand;
            map.Add(L"STREAM",
                    new C(SocketHandler(&CStreamSocket::OnStream), C::modeTextPayload, false, C::checkNone, 0, -1));
            map.Add(L"RESERV", new C(SocketHandler(&CStreamSocket::OnReserved), C::modeFieldsPayload, false,
                                     C::checkOneOf, 0, 1, -1));
            map.Add(L"INFILE", new C(SocketHandler(&CStreamSocket::OnInFile), C::modeFieldsPayload, false,
                                     C::checkOneOf, 0, 1, -1));
            map.Add(L"GREETS",
                    new C(SocketHandler(&CStreamSocket::OnGreeting), C::modeFields, false, C::checkNone, 0, -1));
        });
    }
    void OnClose(int nErrorCode) override
    {
        m_nCloseError = nErrorCode;
        m_chunks.clear(); // the network is gone with the socket
        CScriptedSocket::OnClose(nErrorCode);
    }
    void SetCompression() { m_bCompression = true; } // the streams were prepared by the constructor
    void DeliverAll()
    {
        for (int i = 0; !m_chunks.empty() && i < 1000000; ++i)
            OnReceive(0); // a read takes at most the free room
    }

    std::vector<int> m_allocations; // capacities asked of AllocateReceiveBuffer, in order
    int m_nLargestCapacity = 0;     // as seen by the handlers
    unsigned long m_nStreamCrc = 0;
    long long m_nStreamTaken = 0;
    int m_nStreamPieces = 0;
    int m_nCloseError = -1;
    Bytes m_fromFile;

protected:
    std::unique_ptr<BYTE[]> AllocateReceiveBuffer(int nCapacity) override
    {
        m_allocations.push_back(nCapacity);
        return CScriptedSocket::AllocateReceiveBuffer(nCapacity);
    }
    void TraceReceived(const CString& strText) override { m_traces.push_back(strText.Str()); }

    // STREAM <length>: the bytes behind the line are taken as they come; the line goes last.
    void OnStream(const CString& strParameters, int nLineLength, BOOL& bIncomplete)
    {
        m_nLargestCapacity = std::max(m_nLargestCapacity, GetReceiveCapacity());
        const long long nLength = _wtoi64(strParameters.GetString());
        const int nHere =
            static_cast<int>(std::min<long long>(GetCountAfterLine(nLineLength), nLength - m_nStreamTaken));
        if (nHere > 0)
        {
            m_nStreamCrc =
                crc32(m_nStreamCrc, GetReceivedData() + nLineLength + GetCharSize(), static_cast<uInt>(nHere));
            ConsumeAfterLine(nLineLength, nHere);
            m_nStreamTaken += nHere;
            ++m_nStreamPieces;
        }
        if (m_nStreamTaken < nLength)
        {
            bIncomplete = TRUE;
            return;
        }
        ConsumeReceived(nLineLength);
        m_calls.push_back(L"STREAM|" + strParameters.Str());
    }
    // RESERV <length>: room for all of it at once, then the bytes are checked where they lie.
    void OnReserved(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const long long nLength = _wtoi64(arrFields[0].GetString());
        if (GetReceivedCount() < nLineLength + GetCharSize() + nLength)
        {
            ReservePayload(nLineLength, nLength);
            m_nLargestCapacity = std::max(m_nLargestCapacity, GetReceiveCapacity());
            bIncomplete = TRUE;
            return;
        }
        m_nStreamCrc = crc32(0, GetReceivedData() + nLineLength + GetCharSize(), static_cast<uInt>(nLength));
        m_calls.push_back(L"RESERV|" + arrFields[0].Str());
        ConsumeReceived(nLineLength + static_cast<int>(nLength));
    }
    // INFILE <length>: a memory file sits over the payload, which is changed in place through it.
    void OnInFile(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = _wtoi(arrFields[0].GetString());
        if (GetReceivedCount() < nLineLength + GetCharSize() + nLength)
        {
            bIncomplete = TRUE;
            return;
        }
        BYTE* pPayload = GetReceivedData() + nLineLength + GetCharSize();
        CMemFile file(pPayload, static_cast<UINT>(nLength));
        file.Write("OK", 2);
        m_fromFile.assign(reinterpret_cast<const char*>(pPayload), static_cast<size_t>(nLength));
        ConsumeReceived(nLineLength + nLength);
    }
    void OnGreeting(CStringArray& arrFields)
    {
        Record(L"GREETS", arrFields);
        DiscardReceived(); // what the peer sent before its greeting is of no use
    }

private:
    static CSocketCommandMap s_mapStream;
    static CCriticalSection s_csStream;
};

CSocketCommandMap CStreamSocket::s_mapStream;
CCriticalSection CStreamSocket::s_csStream;

Bytes PatternBytes(size_t nBytes, unsigned nSeed)
{
    Bytes bytes(nBytes, '\0');
    unsigned n = nSeed;
    for (char& b : bytes)
    {
        n = n * 1103515245u + 12345u;
        b = static_cast<char>(n >> 23);
    }
    return bytes;
}

unsigned long CrcOf(const Bytes& bytes)
{
    return crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
}

// Delivers a stream in reads of one size, as a peer's sends would arrive.
void QueueInReads(CScriptedSocket& link, const Bytes& stream, size_t nRead)
{
    for (size_t n = 0; n < stream.size(); n += nRead)
        link.Queue(stream.substr(n, nRead));
}

TEST(SocketStream, LongStreamIsTakenInPiecesAndTheNextLineFollows)
{
    constexpr size_t kStream = 25u * 1024 * 1024;
    const Bytes body = PatternBytes(kStream, 25);
    CStreamSocket link;
    QueueInReads(link, Utf16(L"STREAM " + std::to_wstring(kStream) + L"\r") + body + Utf16(L"FIELDS after\r"),
                 1024 * 1024);
    link.DeliverAll();
    EXPECT_EQ(link.m_calls, (Calls{L"STREAM|" + std::to_wstring(kStream), L"FIELDS|after"}))
        << "the stream ends its line, and the bytes behind it are the next line";
    EXPECT_EQ(link.m_nStreamTaken, static_cast<long long>(kStream));
    EXPECT_EQ(link.m_nStreamCrc, CrcOf(body)) << "every byte once, in order";
    EXPECT_GT(link.m_nStreamPieces, 25) << "taken as it came, not at once";
    EXPECT_LE(link.m_nLargestCapacity, 1024 * 1024) << "never held whole";
    EXPECT_EQ(link.GetReceivedCount(), 0);
}

TEST(SocketStream, ReservedPayloadGrowsInFewStepsToExactlyItsSize)
{
    constexpr size_t kPayload = 64u * 1024 * 1024;
    const Bytes body = PatternBytes(kPayload, 64);
    CStreamSocket link;
    const Bytes line = Utf16(L"RESERV " + std::to_wstring(kPayload) + L"\r");
    QueueInReads(link, line + body + Utf16(L"FIELDS after\r"), 1024 * 1024);
    link.DeliverAll();
    EXPECT_EQ(link.m_calls, (Calls{L"RESERV|" + std::to_wstring(kPayload), L"FIELDS|after"}));
    EXPECT_EQ(link.m_nStreamCrc, CrcOf(body));
    ASSERT_FALSE(link.m_allocations.empty());
    EXPECT_EQ(link.m_allocations.back(), static_cast<int>(line.size() + kPayload))
        << "line and payload end in one block of their size";
    EXPECT_LE(link.m_allocations.size(), 12u) << "no read-by-read growth: each step adds half or more";
    for (size_t i = 1; i + 1 < link.m_allocations.size(); ++i)
        EXPECT_GE(link.m_allocations[i], link.m_allocations[i - 1] + link.m_allocations[i - 1] / 2) << "step " << i;
}

TEST(SocketStream, WaitingPayloadTakesWhatHasArrivedInOneNotification)
{
    CStreamSocket link;
    const Bytes body = PatternBytes(4 * 65536, 4);
    link.Deliver(Utf16(L"RESERV " + std::to_wstring(body.size()) + L"\r") + body.substr(0, 100));
    ASSERT_TRUE(link.IsLastCommandIncomplete()) << "the handler made room and waits";
    QueueInReads(link, body.substr(100) + Utf16(L"FIELDS a\r"), 65536);
    link.Queue(Utf16(L"FIELDS b\r"));
    link.OnReceive(0);
    EXPECT_EQ(link.m_calls, (Calls{L"RESERV|" + std::to_wstring(body.size())}))
        << "one notification read on until the payload's room was full";
    EXPECT_EQ(link.m_nStreamCrc, CrcOf(body));
    EXPECT_EQ(link.m_chunks.size(), 2u) << "what lies behind the payload waits for the next notification";
    link.OnReceive(0);
    EXPECT_EQ(link.m_calls.back(), L"FIELDS|a");
    EXPECT_EQ(link.m_chunks.size(), 1u) << "lines that nobody waits for come one read per notification";
}

TEST(SocketStream, FullReadWithNothingPendingDoesNotGrowTheBuffer)
{
    CStreamSocket link;
    Bytes stream;
    while (stream.size() < 8u * 32768)
        stream += Utf16(L"FIELDS 0123456789\r");
    QueueInReads(link, stream, 32768); // each read fills the buffer exactly
    link.DeliverAll();
    EXPECT_EQ(link.m_calls.size(), stream.size() / Utf16(L"FIELDS 0123456789\r").size());
    EXPECT_EQ(link.m_allocations, std::vector<int>{}) << "a full buffer whose lines are dispatched needs no room";
    EXPECT_EQ(link.GetReceiveCapacity(), 32768);
}

TEST(SocketStream, PayloadIsWritableInPlace)
{
    CStreamSocket link;
    link.Deliver(Utf16(L"INFILE 6\r") + "abcdef" + Utf16(L"FIELDS x\r"));
    EXPECT_EQ(link.m_fromFile, "OKcdef") << "the memory file wrote into the received bytes";
    EXPECT_EQ(link.m_calls, (Calls{L"FIELDS|x"}));
}

TEST(SocketStream, GreetingDiscardsWhatFollowsInTheSameRead)
{
    CStreamSocket link;
    link.Deliver(Utf16(L"GREETS 1\rFIELDS stale\rFIELDS stale2"));
    EXPECT_EQ(link.m_calls, (Calls{L"GREETS|1"}));
    EXPECT_EQ(link.GetReceivedCount(), 0);
    link.Deliver(Utf16(L"FIELDS fresh\r"));
    EXPECT_EQ(link.m_calls.back(), L"FIELDS|fresh") << "the link reads on after the discard";
}

// ---- bounded memory ----

// ANSI, so that the bytes are the characters: "FIELDS " and the rest of the line.
Bytes AnsiLine(size_t nLineBytes, bool bEnd)
{
    Bytes line = "FIELDS ";
    line.resize(nLineBytes, 'a');
    if (bEnd) line += '\r';
    return line;
}

TEST(SocketBounds, LineOfTheLimitPassesAndOneByteMoreClosesTheLink)
{
    const size_t kLimit = CAsyncSocketEx::kMaxLineBytes;
    {
        CStreamSocket link;
        QueueInReads(link, AnsiLine(kLimit, true) + "FIELDS next\r", 1024 * 1024);
        link.DeliverAll();
        ASSERT_EQ(link.m_calls.size(), 2u) << "a line of exactly the limit is read";
        EXPECT_EQ(link.m_calls[0].size(), std::wstring(L"FIELDS|").size() + kLimit - 7);
        EXPECT_EQ(link.m_nCloseError, -1);
    }
    CStreamSocket link;
    QueueInReads(link, AnsiLine(kLimit + 2, false), 1024 * 1024);
    link.DeliverAll();
    EXPECT_EQ(link.m_nCloseError, WSAEMSGSIZE) << "the link closes";
    EXPECT_EQ(link.m_calls, Calls{});
    ASSERT_EQ(link.m_traces.size(), 2u) << "the error, then the close";
    EXPECT_EQ(link.m_traces[0], L"ERROR - EXCEPTION WHILE PROCESSING COMMAND  (Parameters: ). Error: line longer than "
                                L"67108864 bytes")
        << "reported through the error hook";
    EXPECT_EQ(link.GetReceiveCapacity(), 32768) << "and gives its memory back";
    const int nLargest = *std::max_element(link.m_allocations.begin(), link.m_allocations.end());
    EXPECT_LE(nLargest, static_cast<int>(kLimit) + 1) << "never more than the longest line allowed";
}

TEST(SocketBounds, CompressedLineWithoutEndStopsAtTheLimit)
{
    // 1 GiB of one endless line deflates to about 1 MB: the input of a memory bomb.
    z_stream stream{};
    ASSERT_EQ(deflateInit(&stream, 9), Z_OK);
    const Bytes block(1024 * 1024, 'a');
    Bytes compressed;
    std::vector<Bytef> out(1 << 16);
    for (int i = 0; i < 1024; ++i)
    {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
        stream.avail_in = static_cast<uInt>(block.size());
        do
        {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, i == 1023 ? Z_SYNC_FLUSH : Z_NO_FLUSH);
            compressed.append(reinterpret_cast<const char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    CStreamSocket link;
    link.SetCompression();
    QueueInReads(link, compressed, 65536);
    link.DeliverAll();
    EXPECT_EQ(link.m_nCloseError, WSAEMSGSIZE);
    ASSERT_FALSE(link.m_allocations.empty());
    const int nLargest = *std::max_element(link.m_allocations.begin(), link.m_allocations.end());
    EXPECT_LE(nLargest, CAsyncSocketEx::kMaxLineBytes + 2) << "the link never held more than one line's worth";
    EXPECT_EQ(link.GetReceiveCapacity(), 32768);
}

// A peer may announce any length: the link holds room for what it sent, not for what it announced.
TEST(SocketBounds, AnnouncedPayloadCostsOnlyWhatArrives)
{
    constexpr long long kAnnounced = 2000000000; // close to 2 GiB, still within the counts
    constexpr size_t kLater = 4u * 1024 * 1024;
    constexpr long long kFirstStep = 1024 * 1024 + 64; // a bounded first step and the line
    for (const wchar_t* pszWord : {L"RESERV", L"BINARY"})
    {
        SCOPED_TRACE(pszWord);
        CStreamSocket link;
        link.Deliver(Utf16(std::wstring(pszWord) + L" " + std::to_wstring(kAnnounced) + L"\r") + "0123456789");
        EXPECT_TRUE(link.IsLastCommandIncomplete()) << "the handler waits for the rest";
        EXPECT_EQ(link.m_nCloseError, -1) << "the length is one the link can count: it stays open";
        ASSERT_FALSE(link.m_allocations.empty()) << "the payload's room comes from the receive buffers";
        long long nTotal = 0;
        for (int n : link.m_allocations)
            nTotal += n;
        EXPECT_LE(nTotal, kFirstStep) << "10 bytes sent cost one bounded step, not the announced length";

        QueueInReads(link, PatternBytes(kLater, 7), 65536);
        link.DeliverAll();
        EXPECT_EQ(link.m_calls, Calls{});
        const int nLargest = *std::max_element(link.m_allocations.begin(), link.m_allocations.end());
        EXPECT_LE(nLargest, 2 * static_cast<long long>(kLater) + kFirstStep) << "the room grew with the bytes";
    }
}

TEST(SocketBounds, GrownBinaryPayloadArrivesWhole)
{
    const Bytes body = PatternBytes(3u * 1024 * 1024 + 5, 3);
    CStreamSocket link;
    QueueInReads(link, Utf16(L"BINARY " + std::to_wstring(body.size()) + L"\r") + body + Utf16(L"FIELDS after\r"),
                 65536);
    link.DeliverAll();
    EXPECT_EQ(link.m_calls, (Calls{L"BINARY|" + std::to_wstring(body.size()), L"FIELDS|after"}));
    ASSERT_EQ(link.m_payloads.size(), 1u);
    EXPECT_EQ(CrcOf(link.m_payloads[0]), CrcOf(body)) << "every byte once, in order, across the growth";
}

TEST(SocketBounds, PayloadBeyondTheCountsClosesTheLink)
{
    CStreamSocket link;
    link.Deliver(Utf16(L"RESERV 4000000000\rFIELDS x\r"));
    EXPECT_EQ(link.m_nCloseError, WSAEMSGSIZE);
    EXPECT_EQ(link.m_calls, Calls{}) << "nothing behind it is read";
    ASSERT_EQ(link.m_traces.size(), 2u) << "the error, then the close";
    EXPECT_NE(link.m_traces[0].find(L"payload longer than the link can count"), std::wstring::npos);
    EXPECT_EQ(link.m_allocations, std::vector<int>{});
}

} // namespace
