// The handshake and the built-in commands, over real sockets on 127.0.0.1 against the independent
// Python peer (HandshakePeer.py on top of tests/peers/lumopeer.py), which Wine starts as a Unix
// process. The peer checks what our link sent; these tests check what our link did and recorded.
#include "core/CAsyncSocketEx.h"
#include "core/CLinkCipher.h"
#include "core/CStaticTools.h"
#include "core/tests/TimeZoneFixtures.h"
#include "framework/testing/CPeerProcess.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace
{

const std::wregex kLinkClock(LR"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2})");
const std::wregex kSyncClock(LR"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{5})");

// One run of a peer script, with the two files a handshake scenario writes: "port" (accepting
// scenarios, once listening) and "lines" (the handshake lines as the peer read them).
class CPeerRun : public CPeerProcess
{
public:
    CPeerRun(const char* pszScript, const std::string& args) : m_bStarted(Start(LUMO_PYTHON, pszScript, args)) {}
    bool IsStarted() const { return m_bStarted; }
    std::vector<std::wstring> Lines()
    {
        return WaitForFile(L"lines") ? ReadLines(L"lines") : std::vector<std::wstring>{};
    }

private:
    bool m_bStarted;
};

// What a MARKER line found on the link when it arrived.
struct Marker
{
    int n;
    int32_t bias;
    int32_t clockDifference;
    size_t roundTrips;
    size_t timeSyncs;
    size_t wrongCounts;
};

unsigned long Crc(const BYTE* p, int n)
{
    return crc32(crc32(0L, Z_NULL, 0), p, static_cast<uInt>(n));
}

// A link that records what the built-in commands do and echoes what the peer asks for.
class CHandshakeLink : public CAsyncSocketEx
{
public:
    CHandshakeLink() { m_bDeleteOnClose = false; }

    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            using C = CSocketCommand;
            map.Add(L"LINENR",
                    new C(SocketHandler(&CHandshakeLink::OnLine), C::modeFields, false, C::checkNone, 0, -1));
            map.Add(L"ECHOME",
                    new C(SocketHandler(&CHandshakeLink::OnEchoMe), C::modeFields, false, C::checkNone, 0, -1));
            map.Add(L"MARKER",
                    new C(SocketHandler(&CHandshakeLink::OnMarker), C::modeFields, false, C::checkNone, 0, -1));
            map.Add(L"DONE", new C(SocketHandler(&CHandshakeLink::OnDone), C::modeFields, false, C::checkNone, 0, -1));
            map.Add(L"BLOBPL", new C(SocketHandler(&CHandshakeLink::OnBlob), C::modeFieldsPayload, false, C::checkOneOf,
                                     0, 2, -1));
            map.Add(L"ECHOPL", new C(SocketHandler(&CHandshakeLink::OnEchoPayload), C::modeFieldsPayload, false,
                                     C::checkOneOf, 0, 1, -1));
        });
    }

    void OnConnect(int nErrorCode) override
    {
        const ULONGLONG nStart = GetTickCount64();
        CAsyncSocketEx::OnConnect(nErrorCode);
        m_nConnectMs = GetTickCount64() - nStart;
        m_nConnectError = nErrorCode;
    }

    void SendHeartbeat(const CString& strStamp, bool bRequest) override
    {
        m_heartbeatsSent.push_back(std::to_wstring(bRequest ? 1 : 0) + L" " + strStamp.Str());
        CAsyncSocketEx::SendHeartbeat(strStamp, bRequest);
    }

    using CAsyncSocketEx::s_szLinkPassPhrase;

    int m_nConnectError = -1;
    ULONGLONG m_nConnectMs = 0;
    std::vector<std::wstring> m_lines;
    std::vector<unsigned long> m_blobCrcs;
    std::vector<Marker> m_markers;
    std::vector<ULONGLONG> m_roundTrips;
    std::vector<std::wstring> m_heartbeatsSent; // "flag stamp" of every SendHeartbeat call
    std::vector<std::wstring> m_timeSyncs;
    std::vector<std::wstring> m_wrongCounts;
    std::vector<std::wstring> m_traces;
    bool m_bDone = false;

protected:
    void OnHeartbeatRoundTrip(ULONGLONG nMilliseconds) override { m_roundTrips.push_back(nMilliseconds); }
    void OnTimeSync(const CString& strClock) override
    {
        m_timeSyncs.push_back(strClock.Str());
        CAsyncSocketEx::OnTimeSync(strClock);
    }
    void OnWrongParameterCount(const CString& strWord, const CString& strParameters, long nExpected,
                               int nReceived) override
    {
        m_wrongCounts.push_back(strWord.Str() + L" " + std::to_wstring(nExpected) + L" " + std::to_wstring(nReceived));
        CAsyncSocketEx::OnWrongParameterCount(strWord, strParameters, nExpected, nReceived);
    }
    void TraceReceived(const CString& strText) override { m_traces.push_back(strText.Str()); }

    void OnLine(CStringArray& arrFields) { m_lines.push_back(arrFields[1].Str()); }
    void OnEchoMe(CStringArray& arrFields) { SendCommand(L"ECHOME %s\r", arrFields[0].GetString()); }
    void OnMarker(CStringArray& arrFields)
    {
        m_markers.push_back({CStaticTools::ToInt(arrFields[0].GetString()), GetPeerUtcBias(), GetPeerClockDifference(),
                             m_roundTrips.size(), m_timeSyncs.size(), m_wrongCounts.size()});
    }
    void OnDone(CStringArray&) { m_bDone = true; }
    bool HasPayload(int nLineLength, int nLength) const
    {
        return GetReceivedCount() >= nLineLength + GetCharSize() + nLength;
    }
    void OnBlob(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = CStaticTools::ToInt(arrFields[0].GetString());
        if (!HasPayload(nLineLength, nLength))
        {
            bIncomplete = TRUE;
            return;
        }
        m_blobCrcs.push_back(Crc(GetReceivedData() + nLineLength + GetCharSize(), nLength));
        ConsumeReceived(nLineLength + nLength);
    }
    void OnEchoPayload(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
    {
        const int nLength = CStaticTools::ToInt(arrFields[0].GetString());
        if (!HasPayload(nLineLength, nLength))
        {
            bIncomplete = TRUE;
            return;
        }
        {
            CSingleLock lock(&m_csSend, TRUE); // the line and its payload in one piece
            SendCommand(L"ECHOPL %d\r", nLength);
            SendRaw(GetReceivedData() + nLineLength + GetCharSize(), nLength);
        }
        ConsumeReceived(nLineLength + nLength);
    }

private:
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};

CSocketCommandMap CHandshakeLink::s_map;
CCriticalSection CHandshakeLink::s_cs;

// A listening link that accepts one connection into a new link, as the system's listeners do.
class CHandshakeListener : public CAsyncSocketEx
{
public:
    CHandshakeListener() { m_bDeleteOnClose = false; }
    void OnAccept(int nErrorCode) override
    {
        if (nErrorCode != 0 || m_pAccepted) return;
        m_pAccepted = std::make_unique<CHandshakeLink>();
        const ULONGLONG nStart = GetTickCount64();
        m_bAcceptResult = Accept(*m_pAccepted);
        m_nAcceptMs = GetTickCount64() - nStart;
        m_nStateAfterAccept = m_pAccepted->GetHandshakeState();
        // What the handshake recorded, before later lines of the peer can change it.
        m_nClockDifferenceAfterAccept = m_pAccepted->GetPeerClockDifference();
        m_nUtcBiasAfterAccept = m_pAccepted->GetPeerUtcBias();
        m_dLocalDifferenceAfterAccept = m_pAccepted->GetLocalTimeDifference().GetTotalSeconds();
        if (m_bGoAheadAfterAccept) m_pAccepted->SendCommand(L"GOAHEAD\r");
        m_bAcceptDone = true;
    }
    std::unique_ptr<CHandshakeLink> m_pAccepted;
    BOOL m_bAcceptResult = FALSE;
    bool m_bAcceptDone = false;
    ULONGLONG m_nAcceptMs = 0;
    int m_nStateAfterAccept = -1;
    int32_t m_nClockDifferenceAfterAccept = 0;
    int32_t m_nUtcBiasAfterAccept = 0;
    double m_dLocalDifferenceAfterAccept = 0;
    bool m_bGoAheadAfterAccept = false; // tells a peer that waits for it that the values are taken
};

// The zone is pinned for each test, and the process-wide server clock shift starts unset.
class HandshakeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AfxSocketInit());
        ResetServerClockShift();
    }
    void TearDown() override
    {
        CTimeTools::SetTimeZoneForTest(nullptr);
        ResetServerClockShift();
    }
    static void ResetServerClockShift()
    {
        CTimeTools::m_nUTCShift_sec = 0;
        CTimeTools::m_bUTCShiftSet = false;
    }
    static void PinZone(const DYNAMIC_TIME_ZONE_INFORMATION& zone) { CTimeTools::SetTimeZoneForTest(&zone); }

    // Starts a connecting peer scenario against our listening link and waits until our Accept has run.
    std::unique_ptr<CPeerRun> AcceptPeer(const std::string& scenario)
    {
        EXPECT_TRUE(m_listener.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1"));
        EXPECT_TRUE(m_listener.Listen());
        CString strAddress;
        UINT nPort = 0;
        EXPECT_TRUE(m_listener.GetSockName(strAddress, nPort));
        auto pRun = std::make_unique<CPeerRun>(LUMO_HANDSHAKE_PEER, "{dir} " + scenario + " " + std::to_string(nPort));
        EXPECT_TRUE(pRun->IsStarted()) << "the peer process starts";
        EXPECT_TRUE(PumpUntil([&] { return m_listener.m_bAcceptDone; }, 30000))
            << "the peer connected; its log: " << pRun->ReadFile(L"log");
        return pRun;
    }
    // Starts an accepting peer scenario and connects our link to it; returns once OnConnect has run.
    std::unique_ptr<CPeerRun> ConnectToPeer(CHandshakeLink& link, const std::string& scenario)
    {
        auto pRun = std::make_unique<CPeerRun>(LUMO_HANDSHAKE_PEER, "{dir} " + scenario);
        EXPECT_TRUE(pRun->IsStarted()) << "the peer process starts";
        const UINT nPort = pRun->Port();
        EXPECT_NE(nPort, 0u) << "the peer listens; its log: " << pRun->ReadFile(L"log");
        EXPECT_TRUE(link.Create());
        if (!link.Connect(L"127.0.0.1", nPort))
        {
            EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK) << "pending, not failed";
        }
        EXPECT_TRUE(PumpUntil([&] { return link.m_nConnectError != -1; }, 30000)) << "OnConnect ran";
        EXPECT_EQ(link.m_nConnectError, 0);
        return pRun;
    }
    // Closes our end, which ends the peer's scenario, and checks that every check of the peer passed.
    static void ExpectPeerPassed(CAsyncSocketEx& link, CPeerRun& run)
    {
        link.Close();
        EXPECT_EQ(run.ExitCode(), 0) << "the peer's checks: " << run.ReadFile(L"log");
    }
    static std::wstring OwnAccountField()
    {
        CString strAccount;
        EXPECT_TRUE(CAsyncSocketEx::GetMachineAccountName(strAccount));
        return CAsyncSocketEx::EscapeParameter(strAccount).Str();
    }

    CHandshakeListener m_listener;
};

// ---- clock texts ----

struct ClockCase
{
    long bias;
    const wchar_t* text;
    const char* why;
};
const ClockCase kClockCases[] = {
    {-60, L"2020-01-22T09:30:07-01:00", "one hour east of Greenwich"},
    {-330, L"2020-01-22T09:30:07-05:30", "five and a half hours east"},
    {300, L"2020-01-22T09:30:07+05:00", "five hours west"},
    {0, L"2020-01-22T09:30:07+00:00", "Greenwich"},
    {-30, L"2020-01-22T09:30:07-00:30", "half an hour east keeps its sign"},
    {30, L"2020-01-22T09:30:07+00:30", "half an hour west"},
};

TEST(LinkClockText, WritesUtcThenUtcMinusLocalInHoursAndMinutes)
{
    SYSTEMTIME st{};
    st.wYear = 2020;
    st.wMonth = 1;
    st.wDay = 22;
    st.wHour = 9;
    st.wMinute = 30;
    st.wSecond = 7;
    st.wMilliseconds = 999;
    for (const auto& c : kClockCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CAsyncSocketEx::FormatLinkClock(st, c.bias).Str(), c.text);
    }
}

TEST_F(HandshakeTest, CurrentTimeCarriesTheMachinesZone)
{
    PinZone(TimeFixtures::India());
    const std::wstring text = CAsyncSocketEx::FormatCurrentTime().Str();
    EXPECT_TRUE(std::regex_match(text, kLinkClock)) << "a link clock text: " << CString(text.c_str()).GetString();
    EXPECT_EQ(text.substr(19), L"-05:30");
}

// ---- recording the peer's clock ----

CString ClockBefore(int nSeconds, const wchar_t* pszZone)
{
    SYSTEMTIME st{};
    GetSystemTime(&st);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER n{};
    n.LowPart = ft.dwLowDateTime;
    n.HighPart = ft.dwHighDateTime;
    n.QuadPart -= static_cast<ULONGLONG>(nSeconds) * 10000000;
    ft.dwLowDateTime = n.LowPart;
    ft.dwHighDateTime = n.HighPart;
    FileTimeToSystemTime(&ft, &st);
    CString str;
    str.Format(L"%04u-%02u-%02uT%02u:%02u:%02u%s", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
               pszZone);
    return str;
}

struct PeerZoneCase
{
    const wchar_t* zone;
    int32_t bias;
    const char* why;
};
const PeerZoneCase kPeerZoneCases[] = {
    {L"-05:30", -330, "the minutes take the sign of the hours"},
    {L"+05:00", 300, "west of Greenwich"},
    {L"-00:30", -30, "under one hour the sign still counts"},
    {L"+00:45", 45, "under one hour west"},
    {L"", 0, "no zone reads as Greenwich"},
    {L"+xx:yy", 0, "a zone that is no number reads as Greenwich"},
};

TEST_F(HandshakeTest, PeerTimeRecordsTheZoneOfTheClockText)
{
    for (const auto& c : kPeerZoneCases)
    {
        SCOPED_TRACE(c.why);
        CHandshakeLink link;
        link.SetPeerTime(ClockBefore(0, c.zone));
        EXPECT_EQ(link.GetPeerUtcBias(), c.bias);
        EXPECT_LE(std::abs(link.GetPeerClockDifference()), 2) << "the same clock";
    }
}

TEST_F(HandshakeTest, PeerTimeRecordsClockAndLocalTimeDifferences)
{
    PinZone(TimeFixtures::WestAfrica()); // own bias -60
    CHandshakeLink link;
    EXPECT_EQ(link.GetLocalTimeDifference().GetStatus(), COleDateTimeSpan::null) << "no peer clock yet";
    link.SetPeerTime(ClockBefore(3600, L"+01:00"));
    EXPECT_NEAR(link.GetPeerClockDifference(), 3600, 2) << "own UTC minus the peer's";
    EXPECT_EQ(link.GetPeerUtcBias(), 60);
    // The peer's local clock is UTC-1 h and an hour slow; ours is UTC+1 h: three hours apart.
    ASSERT_EQ(link.GetLocalTimeDifference().GetStatus(), COleDateTimeSpan::valid);
    EXPECT_NEAR(link.GetLocalTimeDifference().GetTotalSeconds(), 3 * 3600, 2);
}

TEST_F(HandshakeTest, UnreadablePeerClockLeavesTheRecordedValues)
{
    CHandshakeLink link;
    link.SetPeerTime(ClockBefore(120, L"-02:00"));
    const COleDateTimeSpan span = link.GetLocalTimeDifference();
    for (const wchar_t* text : {L"not a clock", L"", L"2020-13-45T99:99:99+01:00", L"0000-00-00T00:00:00+01:00"})
    {
        SCOPED_TRACE(CStringA(text).GetString());
        link.SetPeerTime(text);
        EXPECT_NEAR(link.GetPeerClockDifference(), 120, 2);
        EXPECT_EQ(link.GetPeerUtcBias(), -120);
        EXPECT_EQ(link.GetLocalTimeDifference(), span);
    }
}

// ---- machine account and keys ----

struct AccountCase
{
    const wchar_t* domain;
    bool hasSid;
    const wchar_t* computer;
    const wchar_t* account;
    const char* why;
};
const AccountCase kAccountCases[] = {
    {L"CORP", true, L"PC7", L"CORP\\PC7", "a domain member names its domain"},
    {L"WORKGROUP", false, L"PC7", L"\\PC7", "a workgroup is no domain"},
    {L"pc7", false, L"PC7", L"pc7\\PC7", "unless it is named like the computer, in any case"},
    {L"", false, L"PC7", L"\\PC7", "no name at all"},
};

TEST(MachineAccount, KeepsOnlyARealDomainName)
{
    for (const auto& c : kAccountCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CAsyncSocketEx::ComposeMachineAccountName(c.domain, c.hasSid, c.computer).Str(), c.account);
    }
}

TEST(MachineAccount, ReadsBackslashAndComputerNameOutsideADomain)
{
    wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD nComputer = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(szComputer, &nComputer));
    CString strAccount;
    ASSERT_TRUE(CAsyncSocketEx::GetMachineAccountName(strAccount)) << "Wine answers every query";
    EXPECT_EQ(strAccount.Str(), std::wstring(L"\\") + szComputer) << "Wine's machine is in no domain";
}

TEST_F(HandshakeTest, CryptoApiKeyStreamsMatchThePeersRc4)
{
    constexpr int kBytes = 4096;
    CPeerRun run(LUMO_PROTOCOL_PEER, "keystream --bytes " + std::to_string(kBytes));
    ASSERT_TRUE(run.IsStarted());
    ASSERT_EQ(run.ExitCode(), 0) << run.ReadFile(L"log");
    std::string hex = run.ReadFile(L"log");
    while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r'))
        hex.pop_back();
    ASSERT_EQ(hex.size(), 2u * kBytes) << "the peer's key stream in hex";
    std::vector<BYTE> expected;
    for (size_t i = 0; i < hex.size(); i += 2)
        expected.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));

    CLinkCipher cipher;
    ASSERT_TRUE(cipher.Init(CHandshakeLink::s_szLinkPassPhrase)) << "the enhanced provider, MD5 and RC4";
    std::vector<BYTE> send(kBytes, 0);
    std::vector<BYTE> receive(kBytes, 0);
    ASSERT_TRUE(cipher.Encrypt(send.data(), 1000)); // in two pieces: the stream runs on
    ASSERT_TRUE(cipher.Encrypt(send.data() + 1000, kBytes - 1000));
    ASSERT_TRUE(cipher.Decrypt(receive.data(), kBytes));
    EXPECT_TRUE(send == expected) << "the send key's stream is RC4 keyed with the pass phrase's MD5 digest";
    EXPECT_TRUE(receive == expected) << "the receive key starts in the same state";
}

// ---- the connecting side against the peer as Jex ----

struct DecisionCase
{
    const char* enc;
    const char* cmp;
    bool encryption;
    bool compression;
};
const DecisionCase kDecisionCases[] = {
    {"1", "0", true, false},
    {"1", "1", true, true},
    {"0", "0", false, false},
};

TEST_F(HandshakeTest, ConnectingLinkTakesTheAcceptorsDecisionAndCarriesLinesAndPayloads)
{
    PinZone(TimeFixtures::India());
    const std::wstring ownAccount = OwnAccountField();
    constexpr int kLines = 1000;
    std::vector<BYTE> payload(1024 * 1024);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<BYTE>((i * 2654435761u) >> 13);
    const unsigned long nPayloadCrc = Crc(payload.data(), static_cast<int>(payload.size()));

    for (const auto& c : kDecisionCases)
    {
        SCOPED_TRACE(std::string("encryption ") + c.enc + ", compression " + c.cmp);
        ResetServerClockShift();
        CHandshakeLink link;
        auto pRun = ConnectToPeer(link, std::string("jex ") + c.enc + " " + c.cmp);
        EXPECT_EQ(link.GetHandshakeState(), 3) << "done inside OnConnect";
        EXPECT_FALSE(link.IsAcceptingSide());
        EXPECT_EQ(link.IsEncryptionOn(), c.encryption);
        EXPECT_EQ(link.IsCompressionOn(), c.compression);
        EXPECT_EQ(link.GetPeerMachineAccount().Str(), L"JEXHOST\\jex service");
        EXPECT_EQ(link.GetPeerUtcBias(), 0);
        EXPECT_LE(std::abs(link.GetPeerClockDifference()), 5);
        const std::vector<std::wstring> lines = pRun->Lines();
        ASSERT_EQ(lines.size(), 2u) << "the peer read our CNPROP and the closing one";
        EXPECT_EQ(lines[0].substr(0, 7), L"CNPROP ");
        EXPECT_EQ(lines[0].substr(32), L" " + ownAccount) << "the clock, then our escaped machine account";
        EXPECT_EQ(lines[1], L"CNPROP");

        ASSERT_TRUE(PumpUntil([&] { return !link.m_timeSyncs.empty(); })) << "the acceptor pushes its clock";
        EXPECT_TRUE(std::regex_match(link.m_timeSyncs[0], kSyncClock));
        EXPECT_TRUE(CTimeTools::m_bUTCShiftSet) << "the pushed clock sets the server clock shift";

        for (int i = 0; i < kLines; ++i)
            link.SendCommand(L"LINENR 0 %d\r", i);
        {
            CSingleLock lock(&link.m_csSend, TRUE);
            link.SendCommand(L"BLOBPL %d %lu\r", static_cast<int>(payload.size()), nPayloadCrc);
            link.SendRaw(payload.data(), static_cast<int>(payload.size()));
        }
        ASSERT_TRUE(PumpUntil([&] { return link.m_bDone; }, 120000))
            << link.m_lines.size() << " lines and " << link.m_blobCrcs.size()
            << " payloads came back; the peer: " << pRun->ReadFile(L"log");
        ASSERT_EQ(link.m_lines.size(), static_cast<size_t>(kLines));
        bool bInOrder = true;
        for (int i = 0; i < kLines && bInOrder; ++i)
            bInOrder = link.m_lines[static_cast<size_t>(i)] == std::to_wstring(i);
        EXPECT_TRUE(bInOrder) << "our lines came back in order";
        EXPECT_EQ(link.m_blobCrcs, std::vector<unsigned long>{nPayloadCrc}) << "our payload came back whole";
        EXPECT_TRUE(link.m_wrongCounts.empty());
        ExpectPeerPassed(link, *pRun); // it checked the echoes of its own lines and payload
    }
}

TEST_F(HandshakeTest, ConnectingLinkGivesUpOnAnAnswerWithoutADecision)
{
    CHandshakeLink link;
    auto pRun = ConnectToPeer(link, "jex-refuses");
    EXPECT_EQ(link.GetHandshakeState(), 4);
    EXPECT_FALSE(link.IsEncryptionOn()) << "back to the defaults";
    EXPECT_FALSE(link.IsCompressionOn());
    EXPECT_GE(link.m_nConnectMs, 2500u) << "60 rounds of 50 ms";
    EXPECT_LT(link.m_nConnectMs, 15000u);
    ExpectPeerPassed(link, *pRun);
}

// Deletes itself when it closes; a CLOSEX line makes it close inside its handler.
class CSelfDeletingLink : public CAsyncSocketEx
{
public:
    explicit CSelfDeletingLink(int* pStateAtDeletion) : m_pStateAtDeletion(pStateAtDeletion) {}
    ~CSelfDeletingLink() override { *m_pStateAtDeletion = GetHandshakeState(); }
    CSocketCommandMap* GetCommandMap() override { return &s_map; }
    void InitCommandMap() override
    {
        InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
            map.Add(L"CLOSEX", new CSocketCommand(SocketHandler(&CSelfDeletingLink::OnCloseRequest),
                                                  CSocketCommand::modeFields, false, CSocketCommand::checkNone, 0, -1));
        });
    }

private:
    void OnCloseRequest(CStringArray&) { Disconnect(); }
    int* m_pStateAtDeletion;
    static CSocketCommandMap s_map;
    static CCriticalSection s_cs;
};

CSocketCommandMap CSelfDeletingLink::s_map;
CCriticalSection CSelfDeletingLink::s_cs;

TEST_F(HandshakeTest, ACloseDuringTheConnectingHandshakeDeletesTheLinkOnlyAfterIt)
{
    constexpr int kAlive = -1;
    int nStateAtDeletion = kAlive;
    CPeerRun run(LUMO_HANDSHAKE_PEER, "{dir} jex-closes");
    const UINT nPort = run.Port();
    ASSERT_NE(nPort, 0u) << run.ReadFile(L"log");
    auto* pLink = new CSelfDeletingLink(&nStateAtDeletion);
    ASSERT_TRUE(pLink->Create());
    if (!pLink->Connect(L"127.0.0.1", nPort))
    {
        ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK) << "pending, not failed";
    }
    if (!PumpUntil([&] { return nStateAtDeletion != kAlive; }, 30000))
    {
        ADD_FAILURE() << "the close inside the handshake deletes the link";
        delete pLink;
        return;
    }
    // Deleted inside the rounds, the link would have gone with the state its close left (0); the
    // handshake's own end runs first and leaves the failed state.
    EXPECT_EQ(nStateAtDeletion, 4) << "deleted at the end of OnConnect";
    EXPECT_EQ(run.ExitCode(), 0) << run.ReadFile(L"log");
}

// ---- the accepting side against the peer as a client ----

TEST_F(HandshakeTest, AcceptingLinkCompletesTheHandshakeWithinAcceptAndRecordsPeerClocks)
{
    PinZone(TimeFixtures::WestAfrica());
    const std::wstring ownAccount = OwnAccountField();
    m_listener.m_bGoAheadAfterAccept = true;
    auto pRun = AcceptPeer("client");
    ASSERT_TRUE(m_listener.m_pAccepted);
    CHandshakeLink& link = *m_listener.m_pAccepted;
    EXPECT_TRUE(m_listener.m_bAcceptResult);
    EXPECT_EQ(m_listener.m_nStateAfterAccept, 3) << "the handshake was done when Accept returned";
    EXPECT_TRUE(link.IsAcceptingSide());
    EXPECT_TRUE(link.IsEncryptionOn()) << "our preferred settings";
    EXPECT_FALSE(link.IsCompressionOn());
    EXPECT_EQ(link.GetPeerMachineAccount().Str(), L"WKS\\agent 7");
    EXPECT_NEAR(m_listener.m_nClockDifferenceAfterAccept, 3600, 5) << "the peer's clock is an hour slow";
    EXPECT_EQ(m_listener.m_nUtcBiasAfterAccept, 60);
    EXPECT_NEAR(m_listener.m_dLocalDifferenceAfterAccept, 3 * 3600, 5);
    ASSERT_TRUE(PumpUntil([&] { return link.m_markers.size() == 4; })) << pRun->ReadFile(L"log");
    EXPECT_EQ(link.m_markers[0].bias, -330);
    EXPECT_EQ(link.m_markers[1].bias, 300);
    EXPECT_EQ(link.m_markers[2].bias, -30);
    EXPECT_LE(std::abs(link.m_markers[2].clockDifference), 5) << "CURTIM records the clock as well";
    EXPECT_EQ(link.m_markers[3].bias, -30) << "a CURTIM that is no clock changes nothing";
    const std::vector<std::wstring> lines = pRun->Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(lines[0].size() - ownAccount.size()), ownAccount) << "our reply ends with our account";
    ExpectPeerPassed(link, *pRun); // it checked our reply and the clock push
}

TEST_F(HandshakeTest, AcceptingLinkAnswersAClockWithoutAnAccountWithoutItsOwn)
{
    PinZone(TimeFixtures::WestAfrica());
    auto pRun = AcceptPeer("clock-only");
    ASSERT_TRUE(m_listener.m_pAccepted);
    CHandshakeLink& link = *m_listener.m_pAccepted;
    EXPECT_EQ(m_listener.m_nStateAfterAccept, 3);
    EXPECT_TRUE(link.GetPeerMachineAccount().IsEmpty()) << "the peer sent none";
    EXPECT_EQ(pRun->Lines().size(), 2u) << "the peer read our reply and our clock";
    ExpectPeerPassed(link, *pRun); // it checked that the reply has no account
}

TEST_F(HandshakeTest, AcceptGivesUpOnASilentClientWhoseLaterPlainTextWorks)
{
    auto pRun = AcceptPeer("silent");
    ASSERT_TRUE(m_listener.m_pAccepted);
    CHandshakeLink& link = *m_listener.m_pAccepted;
    EXPECT_TRUE(m_listener.m_bAcceptResult) << "accepted, though without a handshake";
    EXPECT_EQ(m_listener.m_nStateAfterAccept, 4);
    EXPECT_GE(m_listener.m_nAcceptMs, 900u) << "20 rounds of 50 ms";
    EXPECT_LT(m_listener.m_nAcceptMs, 10000u);
    EXPECT_FALSE(link.IsEncryptionOn());
    EXPECT_FALSE(link.IsCompressionOn());
    link.SendString(L"GOAHEAD\r"); // plain text now; the peer waits for it before it talks
    ASSERT_TRUE(PumpUntil([&] { return link.m_markers.size() == 2; })) << pRun->ReadFile(L"log");
    EXPECT_FALSE(link.IsWide()) << "the client's ANSI text";
    ASSERT_GE(link.m_traces.size(), 2u);
    EXPECT_TRUE(
        std::regex_match(link.m_traces[0], std::wregex(LR"(SOCKET ACCEPTED - IP Address: 127\.0\.0\.1, Port: \d+)")));
    EXPECT_TRUE(std::regex_match(link.m_traces[1], std::wregex(LR"(SOCKET handshake failed; reverted back to default )"
                                                               LR"(settings - IP Address: 127\.0\.0\.1, Port: \d+)")));
    ExpectPeerPassed(link, *pRun);
}

TEST_F(HandshakeTest, AcceptDiscardsWhatItReadThroughTheWrongKeyAndDetectsTheEncodingAfresh)
{
    auto pRun = AcceptPeer("early");
    ASSERT_TRUE(m_listener.m_pAccepted);
    CHandshakeLink& link = *m_listener.m_pAccepted;
    EXPECT_EQ(m_listener.m_nStateAfterAccept, 4);
    EXPECT_EQ(link.GetReceivedCount(), 0) << "the garbage is gone";
    link.SendString(L"GOAHEAD\r");
    ASSERT_TRUE(PumpUntil([&] { return link.m_markers.size() == 2; }))
        << link.m_markers.size() << " markers; " << pRun->ReadFile(L"log");
    EXPECT_EQ(link.m_markers[0].n, 1) << "the line read through RC4 never arrives";
    EXPECT_EQ(link.m_markers[1].n, 2);
    EXPECT_TRUE(link.IsWide()) << "decided on the plain UTF-16LE, not on the garbage";
    ExpectPeerPassed(link, *pRun);
}

// ---- heartbeat and clock synchronisation ----

TEST_F(HandshakeTest, HeartbeatRequestsAreAnsweredAndAnswersMeasureTheRoundTrip)
{
    PinZone(TimeFixtures::India()); // the peer checks the zone of our CURTIM clock
    auto pRun = AcceptPeer("heartbeat");
    ASSERT_TRUE(m_listener.m_pAccepted);
    CHandshakeLink& link = *m_listener.m_pAccepted;
    ASSERT_TRUE(PumpUntil([&] { return link.m_markers.size() == 3; })) << pRun->ReadFile(L"log");
    ASSERT_EQ(link.m_markers[0].roundTrips, 1u) << "an answer with a 20-digit stamp";
    EXPECT_GE(link.m_roundTrips[0], 250u) << "the stamp was 300 ms old";
    EXPECT_LT(link.m_roundTrips[0], 10000u);
    EXPECT_EQ(link.m_markers[1].roundTrips, 1u) << "stamps of 19 and 21 characters measure nothing";
    EXPECT_EQ(link.m_wrongCounts, std::vector<std::wstring>{L"HEARTB 2 1"}) << "the flag alone is a wrong count";
    ASSERT_EQ(link.m_heartbeatsSent.size(), 4u) << "the answers to the peer's requests go through SendHeartbeat";
    EXPECT_EQ(link.m_heartbeatsSent[1], L"0 abc");
    EXPECT_EQ(link.m_heartbeatsSent[3], L"0 zz");

    link.SendHeartbeat(CString(), true); // a request with the current stamp
    link.RequestTimeSync();
    link.SendCurrentTime();
    ASSERT_TRUE(PumpUntil([&] { return link.m_roundTrips.size() == 2 && link.m_timeSyncs.size() == 1; }))
        << "the peer answers both requests; " << pRun->ReadFile(L"log");
    EXPECT_LT(link.m_roundTrips[1], 10000u) << "our own stamp came back";
    EXPECT_TRUE(std::regex_match(link.m_timeSyncs[0], kSyncClock));
    ExpectPeerPassed(link, *pRun); // it checked the answers, the one after the refused line included
}

TEST_F(HandshakeTest, TimeSyncRequestsAreAnsweredAndClocksSetTheServerShift)
{
    PinZone(TimeFixtures::Colombia()); // local minus UTC: -18000 s
    auto pRun = AcceptPeer("ttsync");
    ASSERT_TRUE(m_listener.m_pAccepted);
    CHandshakeLink& link = *m_listener.m_pAccepted;
    ASSERT_TRUE(PumpUntil([&] { return link.m_markers.size() == 1; })) << pRun->ReadFile(L"log");
    ASSERT_EQ(link.m_timeSyncs.size(), 1u);
    EXPECT_TRUE(CTimeTools::m_bUTCShiftSet);
    EXPECT_NEAR(CTimeTools::m_nUTCShift_sec.load(), 3600, 5) << "the peer's clock is an hour slow";
    ASSERT_TRUE(PumpUntil([&] { return link.m_markers.size() == 2; })) << pRun->ReadFile(L"log");
    EXPECT_EQ(link.m_markers[1].timeSyncs, 1u) << "two fields reach no handler";
    EXPECT_EQ(link.m_wrongCounts, std::vector<std::wstring>{L"TTSYNC -1 2"});
    ExpectPeerPassed(link, *pRun); // it checked the answer and that clocks are not answered
}

} // namespace
