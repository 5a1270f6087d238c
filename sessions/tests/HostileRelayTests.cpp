// Hostile texts from local programs on both application ports, relayed to the scripted Jex: every
// text field must reach Jex as one field of one line, whatever characters it carries, and every
// number field as the number the desktop read.
#include "sessions/tests/AppPortFixture.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/CAppSocket.h"
#include "framework/CStringConversion.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

struct HostileText
{
    std::wstring text; // as the program means it (the current port's programs escape it)
    const char* why;
};

// A long text with blanks and returns spread through it, 64 KiB in all.
std::wstring LongText()
{
    std::wstring text;
    while (text.size() < 65536)
        text += text.size() % 4096 == 0 ? L"x\rALOGOF\r" : L"abcdefg ";
    text.resize(65536);
    return text;
}

// None starts with a digit: read as a number each is 0.
std::vector<HostileText> HostileTexts()
{
    return {
        {L"", "empty"},
        {L" ", "a blank alone"},
        {L"a NEXCAL b", "blanks inside"},
        {L"\x0c", "the escaped blank as text"},
        {std::wstring(L"x\x0c") + L"ENDPAU\x0c", "escaped blanks inside"},
        {L"\x07", "the escaped return as text"},
        {L"\rNEXCAL\r", "returns that would end the line"},
        {L"\x08", "the empty field's mark as text"},
        {std::wstring(L"a\x08") + L"b", "the empty field's mark inside"},
        {L"a\nNEXCAL\n", "line feeds"},
        {std::wstring(L"a\0b", 3), "a NUL inside"},
        {L"\xd800x\xdc00", "lone surrogates"},
        {LongText(), "64 KiB"},
    };
}

// The escapes of the line format: an empty text is 0x08, a blank 0x0C, a carriage return 0x07.
std::wstring EscapeField(const std::wstring& text)
{
    if (text.empty()) return L"\x08";
    std::wstring field = text;
    for (wchar_t& c : field)
    {
        if (c == L' ') c = L'\x0c';
        if (c == L'\r') c = L'\x07';
    }
    return field;
}

// A line as the scripted Jex logs it: control characters and lone surrogates as escapes.
std::wstring Visible(const std::wstring& text)
{
    std::wstring out;
    for (const wchar_t c : text)
    {
        wchar_t escape[8] = {};
        if (c < 0x20 && c != L'\t')
            std::swprintf(escape, 8, L"\\x%02x", static_cast<unsigned>(c));
        else if (c >= 0xD800 && c <= 0xDFFF)
            std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
        else
            escape[0] = c;
        out += escape;
    }
    return out;
}

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::string Utf8(const std::wstring& text)
{
    return NarrowText(text.c_str(), static_cast<int>(text.size()), CP_UTF8);
}

// A relayed request: "$" is the hostile field, "#" the request id (current port only), "@" in
// the Jex line any signed number (the clock's offset).
struct Relay
{
    const wchar_t* pszRequest;
    const wchar_t* pszJex;
};

// Every text field of the current port's table that goes to Jex as it is, and number fields that
// go as numbers.
const Relay kCurrentRelays[] = {
    {L"ALOGON $ $ $ $", L"APPLGN $ $ $ @ $ 17"},
    {L"FNDKYI $ $", L"FNDKYI $ $"},
    {L"INTHBT 3 $", L"INTHBT 3 $"},
    {L"INTHBT $ t", L"INTHBT 0 t"},
    {L"PLSSTA 31 $", L"PLSSTA # 31 $"},
    {L"QRESTA 31 $", L"QRESTA # 31 $"},
    {L"STAIVR $ 4 $", L"STAIVR $ 4 $"},
    {L"STAIVR a $ b", L"STAIVR a 0 b"},
    {L"TAGCAL 31 $", L"TAGCAL 31 $"},
    {L"TSKRES 9 $", L"TSKRES 9 $"},
    {L"WRCACL $", L"WRCACL $"},
    {L"TRACAL $ $", L"TRACAL 0 0"},
    {L"TRGPRD 1 $ $", L"STATRG 0 0"},
    {L"REQTSK $", L"REQTSK 0"},
};

// The old port's words that relay a text (no escapes: a line cannot carry a return there).
// clang-format off
const Relay kOldRelays[] = {
    {L"WRCACL $", L"WRCACL $"},
    {L"PLSSTA 31 $", L"PLSSTA -1 31 $"},
    {L"QRESTA 8 31 $", L"QRESTA 8 31 $"},
    {L"CHGPWD 5 $ $", L"CHGPWD 1 5 $ $"},
    {L"CHKPWD 5 $", L"CHKPWD 1 5 $"},
};
// clang-format on

// Whether a line Jex received is the expected one; "@" in the expected line stands for a number.
bool SameLine(const std::wstring& received, const std::wstring& expected)
{
    const size_t nAt = expected.find(L'@');
    if (nAt == std::wstring::npos) return received == expected;
    const std::wstring head = expected.substr(0, nAt), tail = expected.substr(nAt + 1);
    if (received.size() < head.size() + tail.size() + 1 || received.compare(0, head.size(), head) != 0 ||
        received.compare(received.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::wstring number = received.substr(head.size(), received.size() - head.size() - tail.size());
    const size_t nFirst = number[0] == L'-' ? 1 : 0;
    return nFirst < number.size() && number.find_first_not_of(L"0123456789", nFirst) == std::wstring::npos;
}

// What Jex received for each request: every request is followed by a NEXCAL of its own, so the
// lines between two of them are what that one request made.
std::vector<Lines> GroupsBetweenMarks(Lines received)
{
    std::vector<Lines> groups(1);
    for (const std::wstring& line : received)
    {
        if (line == L"NEXCAL")
            groups.emplace_back();
        else
            groups.back().push_back(line);
    }
    return groups;
}

// Fields of a line as Jex splits it.
size_t FieldCount(const std::wstring& line)
{
    return static_cast<size_t>(std::count(line.begin(), line.end(), L' ')) + 1;
}

// A NUL cannot travel in the desktop's lines: a request that carries one may be dropped or its
// text cut there, but it never makes more than its one line with its own fields.
void ExpectJexLines(const Lines& received, const std::vector<std::wstring>& expected,
                    const std::vector<HostileText>& texts, const std::vector<std::string>& why)
{
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), L"ALOGOF");
    const std::vector<Lines> groups = GroupsBetweenMarks(Lines(received.begin(), received.end() - 1));
    ASSERT_EQ(groups.size(), expected.size() + 1) << "one mark after each request";
    EXPECT_TRUE(groups.back().empty()) << "nothing after the last mark";
    for (size_t i = 0; i < expected.size(); ++i)
    {
        const std::wstring visible = Visible(expected[i]);
        const bool bNul = texts[i].text.find(L'\0') != std::wstring::npos;
        if (bNul && groups[i].empty()) continue;
        ASSERT_EQ(groups[i].size(), 1u) << why[i] << ": one line per request";
        const std::wstring& line = groups[i][0];
        if (bNul)
            EXPECT_EQ(FieldCount(line), FieldCount(visible)) << why[i] << ": " << Utf8(line);
        else
            EXPECT_TRUE(SameLine(line, visible)) << why[i] << "\n  got:      " << Utf8(line.substr(0, 300))
                                                 << "\n  expected: " << Utf8(visible.substr(0, 300));
    }
}

using HostileRelayTest = AppPortFixture;

TEST_F(HostileRelayTest, CurrentPortTextsReachJexAsOneFieldOfOneLine)
{
    ASSERT_TRUE(ConnectJex("timeout 120\ndrain\n"));
    std::string script = "timeout 120\nconnect other\naplgin 12 1\nanswer APLGIN 1 4\n";
    std::vector<std::wstring> expected;
    std::vector<std::string> why;
    std::vector<HostileText> texts;
    long nRequestId = 100;
    for (const Relay& relay : kCurrentRelays)
    {
        for (const HostileText& hostile : HostileTexts())
        {
            const std::wstring id = std::to_wstring(++nRequestId);
            const std::wstring field = EscapeField(hostile.text);
            std::wstring request = Replace(relay.pszRequest, L"$", field);
            request.insert(request.find(L' '), L" " + id);
            script += "line " + ScriptText(request) + "\nrequest NEXCAL\n";
            expected.push_back(Replace(Replace(relay.pszJex, L"$", field), L"#", id));
            texts.push_back(hostile);
            why.push_back(Utf8(relay.pszRequest) + ", " + hostile.why);
        }
    }
    script += "request ISVOIP\nanswer ISVOIP 0\n";
    StartApps(script);
    FinishApps();
    ExpectJexLines(Finish(), expected, texts, why);
}

TEST_F(HostileRelayTest, OldPortTextsReachJexAsOneFieldOfOneLine)
{
    ASSERT_TRUE(ConnectJex("timeout 120\ndrain\n"));
    CAppSocket oldListener(m_core, m_app);
    ASSERT_TRUE(oldListener.StartListening(0));
    m_core.StoreApplicationSetting(5, CAppPortRelays::MakeApplicationSetting(1, L"s", 1, L"t")); // no round to Jex
    std::string script = "timeout 120\nencoding wide\nsend 'APLGIN 5'\nexpectre 'APLGIN .*'\nexpectre 'AGSTAT .*'\n";
    std::vector<std::wstring> expected;
    std::vector<std::string> why;
    std::vector<HostileText> texts;
    for (const Relay& relay : kOldRelays)
    {
        for (const HostileText& hostile : HostileTexts())
        {
            // The old dialect ends its line at any return and splits tokens at blanks: a text with
            // either is no single field there, so only the rest-of-line words may carry them.
            const bool bToken = relay.pszRequest[0] == L'C';
            if (hostile.text.find(L'\r') != std::wstring::npos ||
                (bToken && (hostile.text.empty() || hostile.text.find(L' ') != std::wstring::npos)))
                continue;
            script += "send '" + ScriptText(Replace(relay.pszRequest, L"$", hostile.text)) + "'\nsend NEXCAL\n";
            expected.push_back(Replace(relay.pszJex, L"$", EscapeField(hostile.text)));
            texts.push_back(hostile);
            why.push_back(Utf8(relay.pszRequest) + ", " + hostile.why);
        }
    }
    script += "send 'GETASE 1'\nexpectre 'GETASE.*'\n";
    CScriptedApps apps(CScriptedApps::OldDialect{LUMO_OLD_APP}, oldListener.GetListeningPort(), script);
    EXPECT_EQ(apps.Finish(), 0) << apps.Log();
    EXPECT_TRUE(PumpUntil([&] { return !m_core.HasApplications(); })) << "the old application's link closed";
    ExpectJexLines(Finish(), expected, texts, why);
}

// A program that closes while a request of its own waits (its registration's answer waits for the
// Jex link, its settings request for Jex's settings) leaves no register entry behind: the next
// program registers under the same id.
TEST_F(HostileRelayTest, AnIdIsFreeAgainWhenItsConnectionClosesWhileARequestWaits)
{
    UseJex(false); // the answer of every registration and of every settings request waits
    // The desktop learns of a close only when its notice arrives, which a new connection may
    // overtake: after each close the program waits until the desktop has let the connection go.
    int nCloses = 0;
    const auto closed = [&nCloses] {
        const std::string n = std::to_string(++nCloses);
        return "close\nmark closed" + n + "\nwait gone" + n + "\n";
    };
    const auto again = [&] { return "connect again\naplgin 12 1\nanswer APLGIN 0 4\n" + closed(); };
    std::string script = "timeout 30\n"
                         // Waiting for the settings before registering; the registration behind it in one write.
                         "connect first\nline GETASE 1 5\\rAPLGIN 2 12 1\n" + closed();
    script += again();
    // Registered, then waiting for the settings.
    script += "connect second\naplgin 12 1\nanswer APLGIN 0 4\nrequest GETASE 5\n" + closed();
    script += again();
    // Closed while its registration's answer waits for the Jex link.
    script += "connect third\naplgin 12 1\n" + closed();
    script += again();
    // Two requests waiting, one inside the other.
    script += "connect fourth\naplgin 12 1\nanswer APLGIN 0 4\nline GETASE 2 5\\rGETASE 3 6\n" + closed();
    script += again();
    StartApps(script);
    for (int i = 1; i <= nCloses; ++i)
    {
        const std::wstring n = std::to_wstring(i);
        ASSERT_TRUE(m_pApps->WaitForMark((L"closed" + n).c_str())) << m_pApps->Log();
        ASSERT_TRUE(PumpUntil([&] { return m_listener.GetConnectionCount() == 0; })) << "close " << i << " seen";
        m_pApps->Release((L"gone" + n).c_str());
    }
    FinishApps();
    EXPECT_FALSE(m_core.HasApplications()) << "every closed connection left its register";
}

TEST_F(HostileRelayTest, AnOldPortIdIsFreeAgainWhenItsConnectionClosesWhileARequestWaits)
{
    UseJex(false);
    CAppSocket oldListener(m_core, m_app);
    ASSERT_TRUE(oldListener.StartListening(0));
    int nCloses = 0;
    const auto closed = [&nCloses] {
        const std::string n = std::to_string(++nCloses);
        return "close\nmark closed" + n + "\nwaitfile gone" + n + "\n";
    };
    const auto again = [&] {
        return "connect again\nsend 'APLGIN 12'\nexpectre 'APLGIN .*'\nexpectre 'AGSTAT .*'\n" + closed();
    };
    std::string script = "timeout 30\nsendlines 'GETASE 5' 'APLGIN 12'\n" + closed();
    script += again();
    script += "connect second\nsend 'APLGIN 12'\nexpectre 'APLGIN .*'\nexpectre 'AGSTAT .*'\nsend 'GETASE 5'\n" +
              closed();
    script += again();
    script += "connect third\nsendlines 'APLGIN 12' 'GETASE 5' 'GETASE 6'\n" + closed();
    script += again();
    CScriptedApps apps(CScriptedApps::OldDialect{LUMO_OLD_APP}, oldListener.GetListeningPort(), script);
    for (int i = 1; i <= nCloses; ++i)
    {
        const std::wstring n = std::to_wstring(i);
        ASSERT_TRUE(apps.WaitForMark((L"closed" + n).c_str())) << apps.Log();
        ASSERT_TRUE(PumpUntil([] { return CAppSocket::GetInstanceCount() == 1; })) << "close " << i << " seen";
        apps.Release((L"gone" + n).c_str());
    }
    EXPECT_EQ(apps.Finish(), 0) << apps.Log();
    EXPECT_TRUE(PumpUntil([&] { return !m_core.HasApplications(); })) << "every closed connection left its register";
}

// Any program may connect: past the bound a connection is closed at once, before the handshake,
// and the others are served; once one goes, a new one is taken again.
TEST_F(HostileRelayTest, CurrentPortConnectionsBeyondTheBoundAreClosedAtOnceAndTheOthersServed)
{
    UseJex(false); // registrations are answered at once
    std::string script = "timeout 30\n";
    for (size_t i = 1; i <= CLumoClientSocket::kMaxConnections; ++i)
        script += "connect c" + std::to_string(i) + "\n";
    script += "connect over handshake=0 greeting=0\nclosed\n"
              "use c1\naplgin 12 1\nanswer APLGIN 0 4\n"
              "use c2\nclose\nmark c2closed\nwait c2gone\n"
              "connect again\naplgin 13 1\nanswer APLGIN 0 4\n";
    StartApps(script);
    ASSERT_TRUE(m_pApps->WaitForMark(L"c2closed")) << m_pApps->Log();
    EXPECT_LE(m_listener.GetConnectionCount(), CLumoClientSocket::kMaxConnections) << "the one over was not kept";
    EXPECT_TRUE(PumpUntil([&] { return m_listener.GetConnectionCount() < CLumoClientSocket::kMaxConnections; }))
        << "the desktop saw the second connection close";
    m_pApps->Release(L"c2gone");
    FinishApps();
}

} // namespace
