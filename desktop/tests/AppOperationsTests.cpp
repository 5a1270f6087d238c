// The application object's smaller operations in process: the VoIP gateways, the agent's password,
// the alarm options and the agent monitor, directly and as Jex's VOICIP, UPDALO and SEE-IN reach
// them from the scripted Jex (tests/peers/scripted_jex.py). The agent monitor is the child-program
// stand-in copied as winvnc.exe; it reports how it was started to a listener of the test.
#include "desktop/CIniFile.h"
#include "desktop/CLumoApp.h"
#include "desktop/tests/SettingsKey.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/MessagePump.h"
#include "sessions/CJexSocket.h"
#include "tests/support/CScriptedJex.h"
#include <gtest/gtest.h>
#include <winsock2.h>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::wstring Str(const CString& s)
{
    return s.Str();
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                        static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
    return wide;
}

// The build gives the stand-in's folder as a Unix path; Wine sees the root as drive Z.
std::wstring StandInFolder()
{
    std::wstring path = Widen(LUMO_CHILD_PROGRAMS);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return (path.starts_with(L"\\") ? L"Z:" + path : path) + L"\\";
}

// What one started stand-in told: its lines by their first word, and its link, which ends with it.
struct CReport
{
    std::map<std::string, std::wstring> lines;
    CSocketHandle link;
    std::string pending;

    // Reads what has come; false once the stand-in has gone (its link ended).
    bool Read()
    {
        for (;;)
        {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(link.Get(), &readable);
            timeval now{0, 0};
            if (::select(0, &readable, nullptr, nullptr, &now) <= 0) return true;
            char buffer[1024];
            const int n = ::recv(link, buffer, sizeof(buffer), 0);
            if (n <= 0) return false;
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t at; (at = pending.find('\n')) != std::string::npos; pending.erase(0, at + 1))
            {
                const std::string line = pending.substr(0, at);
                const size_t blank = line.find(' ');
                lines[line.substr(0, blank)] = blank == std::string::npos ? L"" : Widen(line.substr(blank + 1));
            }
        }
    }
    bool IsComplete() const { return lines.contains("process"); }
};

// The port the stand-ins report to (LUMO_CHILD_REPORT_PORT of this process, which they inherit).
class CReportListener
{
public:
    CReportListener()
    {
        m_listener.Attach(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int nLength = sizeof(address);
        if (!m_listener.IsValid() || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
            return;
        ::SetEnvironmentVariableW(L"LUMO_CHILD_REPORT_PORT", std::to_wstring(ntohs(address.sin_port)).c_str());
    }
    ~CReportListener()
    {
        ::SetEnvironmentVariableW(L"LUMO_CHILD_REPORT_PORT", nullptr);
        // A stand-in the job did not end must not outlive the test.
        for (auto& pReport : m_reports)
            if (pReport->lines.contains("process"))
                if (CKernelHandle hProcess(
                        ::OpenProcess(PROCESS_TERMINATE, FALSE, std::stoul(pReport->lines["process"])));
                    hProcess.IsValid())
                    ::TerminateProcess(hProcess, 0);
    }
    // The next stand-in's whole report, messages pumped meanwhile; null when none came in time.
    CReport* Next(DWORD nTimeoutMs = 20000)
    {
        auto pReport = std::make_unique<CReport>();
        const bool bCame = PumpUntil(
            [&] {
                if (!pReport->link.IsValid())
                {
                    fd_set readable;
                    FD_ZERO(&readable);
                    FD_SET(m_listener.Get(), &readable);
                    timeval now{0, 0};
                    if (::select(0, &readable, nullptr, nullptr, &now) <= 0) return false;
                    pReport->link.Attach(::accept(m_listener, nullptr, nullptr));
                }
                pReport->Read();
                return pReport->IsComplete();
            },
            nTimeoutMs);
        if (!bCame) return nullptr;
        m_reports.push_back(std::move(pReport));
        return m_reports.back().get();
    }

private:
    CSocketHandle m_listener;
    std::vector<std::unique_ptr<CReport>> m_reports;
};

// A main window that only counts the softphone's alarm limits.
class CCountingDlg : public CLumoDlg
{
public:
    using CLumoDlg::CLumoDlg;
    void ApplySoftphoneAlarmLimits() override { ++m_nApplied; }
    int m_nApplied = 0;
};

// A folder of the test's own, removed with everything in it at the end.
class CScratchFolder
{
public:
    CScratchFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"lumo-monitor-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++s_nCount) + L"\\";
        ::CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CScratchFolder() { Remove(m_path); }
    const std::wstring& Path() const { return m_path; }
    // The stand-in copied to the path below the folder, its folders made.
    bool PlaceServer(const std::wstring& strRelative) const
    {
        const std::wstring target = m_path + strRelative;
        for (size_t at = m_path.size(); (at = target.find(L'\\', at)) != std::wstring::npos; ++at)
            ::CreateDirectoryW(target.substr(0, at).c_str(), nullptr);
        return ::CopyFileW((StandInFolder() + L"winvnc.exe").c_str(), target.c_str(), FALSE) != FALSE;
    }

private:
    static void Remove(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found{};
        CFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &found));
        if (find.IsValid())
        {
            do
            {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(folder + name + L"\\");
                else
                    ::DeleteFileW((folder + name).c_str());
            } while (::FindNextFileW(find, &found));
        }
        ::RemoveDirectoryW(folder.c_str());
    }
    static inline int s_nCount = 0;
    std::wstring m_path;
};

std::wstring ServerCommandLine(const std::wstring& program, const std::wstring& host = L"viewer.example")
{
    return L"\"" + program + L"\" -sc_prompt -sc_exit -multi -id:3 -connect " + host + L":5500 -run";
}

std::wstring WithoutTrailingBackslash(std::wstring path)
{
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

class AppOperationsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(AfxSocketInit()); }
    void SetUp() override
    {
        CIniFile::Open(m_key.Path().c_str(), TRUE, FALSE);
        m_pApp = std::make_unique<CLumoApp>();
        App().m_strRemoteHost = L"127.0.0.1";
        App().m_bStandalone = true; // no update service; the settings are this test's key
    }
    void TearDown() override
    {
        if (m_pApp && m_pApp->m_pJexSocket) m_pApp->m_pJexSocket->Close();
        if (m_pJex)
        {
            EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
        }
        m_pApp.reset();
        CIniFile::Open(nullptr, FALSE, TRUE);
    }
    CLumoApp& App() { return *m_pApp; }
    // The link up, Jex following the script after its greeting.
    bool Connect(const std::string& script)
    {
        // Jex of Lumo's own version: another would bring the version warning's box.
        const std::string strVersion = CStringA(App().GetVersionString()).GetString();
        m_pJex = std::make_unique<CScriptedJex>("handshake\ngreet 0 " + strVersion + " 0.0.0.0\n" + script);
        App().m_nJexPort = m_pJex->Port();
        return App().Connect(FALSE) && App().GetJexSocket();
    }
    std::vector<std::wstring> Gateways(int nCount)
    {
        std::vector<std::wstring> gateways;
        for (int i = 0; i < nCount; ++i)
            gateways.push_back(Str(App().GetNextVoipGateway()));
        return gateways;
    }

    CMessageBoxAnswerer m_boxes; // a box nobody answers would hold the test
    SettingsKey m_key{L"Software\\LumoTests\\AppOperations-" + std::to_wstring(GetCurrentProcessId())};
    std::unique_ptr<CLumoApp> m_pApp;
    std::unique_ptr<CScriptedJex> m_pJex;
};

// ---- gateways, password, alarm options ----

TEST_F(AppOperationsTest, GatewaysGoRoundFromTheFirst)
{
    struct GatewayCase
    {
        const wchar_t* text;
        long nCount;
        std::vector<std::wstring> turns;
        const char* why;
    };
    const GatewayCase cases[] = {
        {L"gw1;gw2", 2, {L"gw1", L"gw2", L"gw1"}, "round and round"},
        {L"", 0, {L"", L""}, "none: empty"},
        {L"solo", 1, {L"solo", L"solo"}, "one is every turn's"},
        {L";gw1;;gw2;", 2, {L"gw1", L"gw2", L"gw1"}, "empty pieces are no gateway"},
    };
    for (const GatewayCase& c : cases)
    {
        SCOPED_TRACE(c.why);
        App().SetVoipGateways(L"old1;old2;old3");
        Gateways(2);
        App().SetVoipGateways(c.text);
        EXPECT_EQ(App().GetVoipGatewayCount(), c.nCount);
        EXPECT_EQ(Gateways(static_cast<int>(c.turns.size())), c.turns) << "a new list starts at its first";
    }
}

TEST_F(AppOperationsTest, VoicipGatewaysGiveWayToTheRegistrysAndUpdaloReachesTheOptionsAndTheSoftphoneOnce)
{
    auto pDlg = std::make_unique<CCountingDlg>(App());
    CCountingDlg& dlg = *pDlg;
    App().m_pMainDlg = std::move(pDlg);
    EXPECT_EQ(App().GetJexDataSocket(), nullptr) << "no link, no data link";
    ASSERT_TRUE(Connect("send VOICIP 1 'gw1;gw2'\nsend UPDALO '801:1;807:1;808:250;'\nwaitfile second\n"
                        "send VOICIP 1 'gw3;gw4'\ndrain\n"));
    EXPECT_EQ(App().GetJexDataSocket(), &App().GetJexSocket()->GetDataSocket());
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nApplied > 0; })) << m_pJex->Log();
    EXPECT_EQ(Gateways(3), (std::vector<std::wstring>{L"gw1", L"gw2", L"gw1"})) << "Jex's, with no local ones";
    EXPECT_TRUE(App().m_bVoIP);
    EXPECT_EQ(Str(App().GetAlarmOptions()->GetText()), L"801:0;807:0;808:250;809:100;810:30;811:40;812:80;");
    EXPECT_EQ(dlg.m_nApplied, 1);

    m_key.Put(HKEY_CURRENT_USER, L"VOIPGateWay", RegValue::Text(L"local1;local2"));
    ASSERT_TRUE(m_pJex->WriteFile(L"second", ""));
    ASSERT_TRUE(PumpUntil([&] { return App().GetVoipGatewayCount() == 2 && Gateways(1)[0] == L"local1"; }));
    EXPECT_EQ(Gateways(2), (std::vector<std::wstring>{L"local2", L"local1"})) << "this machine's own win";
    EXPECT_EQ(dlg.m_nApplied, 1);
    for (const auto& box : m_boxes.Boxes())
        ADD_FAILURE() << "a box: " << Str(box.text);
    App().m_pMainDlg.reset();
}

TEST_F(AppOperationsTest, ThePasswordIsKeptInItsLetterFormUnlessTheCipherFails)
{
    CAgent agent;
    EXPECT_TRUE(agent.SetPassword(L"secret"));
    CString strLetters;
    ASSERT_TRUE(EncryptPassword(L"secret", strLetters));
    EXPECT_EQ(Str(agent.m_strPassword), Str(strLetters));
    CString strPlain;
    ASSERT_TRUE(DecryptPassword(agent.m_strPassword, strPlain));
    EXPECT_EQ(Str(strPlain), L"secret");

    const auto failing = [](LPCWSTR, CString& strOut) -> BOOL {
        strOut = L"HALF";
        return FALSE;
    };
    EXPECT_FALSE(agent.SetPassword(L"other", failing));
    EXPECT_EQ(Str(agent.m_strPassword), Str(strLetters)) << "the old one stays";
}

// ---- the agent monitor ----

TEST_F(AppOperationsTest, TheServerIsLookedForInItsPlacesAndStartedInItsFolder)
{
    struct SearchCase
    {
        const char* why;
        std::vector<std::wstring> placed; // below the scratch folder; the program folder is "prog\"
        std::wstring configured;          // AgentMonitorPath, below the scratch folder; empty: none
        std::wstring expected;            // the server started, below the scratch folder; empty: none
    };
    const SearchCase cases[] = {
        {"the configured path wins",
         {L"custom\\vnc.exe", L"prog\\AgentMonitor\\winvnc.exe", L"prog\\winvnc.exe"},
         L"custom\\vnc.exe",
         L"custom\\vnc.exe"},
        {"an unreadable configured path falls back to AgentMonitor beside the program",
         {L"prog\\AgentMonitor\\winvnc.exe", L"AgentMonitor\\winvnc.exe", L"prog\\winvnc.exe"},
         L"custom\\missing.exe",
         L"prog\\AgentMonitor\\winvnc.exe"},
        {"AgentMonitor beside the program's folder, the path made canonical",
         {L"AgentMonitor\\winvnc.exe", L"prog\\winvnc.exe"},
         L"",
         L"AgentMonitor\\winvnc.exe"},
        {"the program's own folder last", {L"prog\\winvnc.exe"}, L"", L"prog\\winvnc.exe"},
        {"none anywhere", {L"prog\\other.exe"}, L"", L""},
    };
    CReportListener reports;
    for (const SearchCase& c : cases)
    {
        SCOPED_TRACE(c.why);
        CScratchFolder scratch;
        for (const std::wstring& place : c.placed)
            ASSERT_TRUE(scratch.PlaceServer(place)) << "no stand-in in " << StandInFolder();
        App().m_strProgramFolder = (scratch.Path() + L"prog\\").c_str();
        App().m_strAgentMonitorPath =
            c.configured.empty() ? CString() : CString((scratch.Path() + c.configured).c_str());
        CMessageBoxAnswerer boxes;
        const BOOL bStarted = App().StartAgentMonitor(L"viewer.example", 5500, 3);
        EXPECT_TRUE(boxes.Boxes().empty());
        if (c.expected.empty())
        {
            EXPECT_FALSE(bStarted);
            continue;
        }
        ASSERT_TRUE(bStarted);
        CReport* pReport = reports.Next();
        ASSERT_NE(pReport, nullptr) << "the server did not report";
        const std::wstring program = scratch.Path() + c.expected;
        EXPECT_EQ(pReport->lines["commandline"], ServerCommandLine(program));
        EXPECT_EQ(WithoutTrailingBackslash(pReport->lines["folder"]),
                  WithoutTrailingBackslash(program.substr(0, program.rfind(L'\\'))))
            << "it runs in its own folder";
    }
}

// A program folder below the scratch folder whose server "AgentMonitor\winvnc.exe" has a path of
// nLength characters.
std::wstring ProgramFolderForPath(const CScratchFolder& scratch, size_t nLength)
{
    const size_t nFixed = scratch.Path().size() + std::wstring(L"AgentMonitor\\winvnc.exe").size();
    std::wstring folder;
    if (nLength < nFixed + 2) return folder; // the callers check the length they got
    size_t nMissing = nLength - nFixed;
    for (; nMissing > 62; nMissing -= 61)
        folder += std::wstring(60, L'd') + L"\\";
    return folder + std::wstring(nMissing - 1, L'e') + L"\\";
}

TEST_F(AppOperationsTest, BadHostsAndOverlongLinesStartNothing)
{
    // A long path, so that a host within its own limit can push the command line past its limit.
    CScratchFolder scratch;
    const std::wstring folder = ProgramFolderForPath(scratch, 230);
    ASSERT_TRUE(scratch.PlaceServer(folder + L"AgentMonitor\\winvnc.exe"));
    App().m_strProgramFolder = (scratch.Path() + folder).c_str();
    const std::wstring program = scratch.Path() + folder + L"AgentMonitor\\winvnc.exe";
    ASSERT_EQ(program.size(), 230u);
    const int nFixed = static_cast<int>(ServerCommandLine(program, L"").size());
    struct HostCase
    {
        std::wstring host;
        BOOL bStarts;
        const char* why;
    };
    const HostCase cases[] = {
        {L"a b", FALSE, "a blank would add an argument"},
        {L"x\"y", FALSE, "a quote would end the argument"},
        {std::wstring(300, L'a'), FALSE, "longer than a host name"},
        {L"", FALSE, "no host"},
        {L"x/y", FALSE, "no host character"},
        // The longest host that keeps the whole line within its limit, and one more letter.
        {std::wstring(static_cast<size_t>(CLumoApp::kMaxMonitorCommandLine - nFixed) + 1, L'h'), FALSE,
         "the command line one over its limit"},
        {std::wstring(static_cast<size_t>(CLumoApp::kMaxMonitorCommandLine - nFixed), L'h'), TRUE,
         "the command line at its limit"},
        {L"fe80::1.example-2", TRUE, "letters, digits, '.', '-' and ':'"},
    };
    ASSERT_LT(CLumoApp::kMaxMonitorCommandLine - nFixed, CLumoApp::kMaxMonitorHost) << "the line's limit must bite";
    CReportListener reports;
    for (const HostCase& c : cases)
    {
        SCOPED_TRACE(c.why);
        CMessageBoxAnswerer boxes;
        EXPECT_EQ(App().StartAgentMonitor(c.host.c_str(), 5500, 3), c.bStarts);
        EXPECT_TRUE(boxes.Boxes().empty());
        if (!c.bStarts) continue;
        // Nothing was started for the refused ones: the next report is this one's.
        CReport* pReport = reports.Next();
        ASSERT_NE(pReport, nullptr);
        EXPECT_EQ(pReport->lines["commandline"], ServerCommandLine(program, c.host));
    }

    // A program folder that pushes the server's path one past 259 characters.
    CScratchFolder deep;
    const std::wstring deepFolder = ProgramFolderForPath(deep, CLumoApp::kMaxMonitorPath + 1);
    if (!deep.PlaceServer(deepFolder + L"AgentMonitor\\winvnc.exe")) GTEST_SKIP() << "no path that long here";
    App().m_strProgramFolder = (deep.Path() + deepFolder).c_str();
    CMessageBoxAnswerer boxes;
    EXPECT_FALSE(App().StartAgentMonitor(L"viewer.example", 5500, 3));
    EXPECT_TRUE(boxes.Boxes().empty());
    // The server at a path within the limit starts, and its report is the next.
    App().m_strProgramFolder = (scratch.Path() + folder).c_str();
    ASSERT_TRUE(App().StartAgentMonitor(L"after", 5500, 3));
    CReport* pReport = reports.Next();
    ASSERT_NE(pReport, nullptr);
    EXPECT_EQ(pReport->lines["commandline"], ServerCommandLine(program, L"after"));
}

TEST_F(AppOperationsTest, SeeInFromJexStartsTheServerAndBadLinesAreSkipped)
{
    CScratchFolder scratch;
    ASSERT_TRUE(scratch.PlaceServer(L"prog\\AgentMonitor\\winvnc.exe"));
    App().m_strProgramFolder = (scratch.Path() + L"prog\\").c_str();
    CReportListener reports;
    CMessageBoxAnswerer boxes;
    ASSERT_TRUE(Connect("send SEE-IN 'a b' 5500 3\nsend SEE-IN 'x\"y' 5500 3\nsend SEE-IN '" + std::string(300, 'a') +
                        "' 5500 3\nsend SEE-IN '' 5500 3\nsend SEE-IN viewer.example 5500 3\nsend VOICIP 0 gw9\n"
                        "drain\n"));
    CReport* pReport = reports.Next();
    ASSERT_NE(pReport, nullptr) << m_pJex->Log();
    EXPECT_EQ(pReport->lines["commandline"], ServerCommandLine(scratch.Path() + L"prog\\AgentMonitor\\winvnc.exe"))
        << "the first server started";
    ASSERT_TRUE(PumpUntil([&] { return App().GetVoipGatewayCount() == 1; })) << "the line after was handled";
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(AppOperationsTest, TheServersEndWhenTheirJobCloses)
{
    CScratchFolder scratch;
    ASSERT_TRUE(scratch.PlaceServer(L"prog\\AgentMonitor\\winvnc.exe"));
    App().m_strProgramFolder = (scratch.Path() + L"prog\\").c_str();
    CReportListener reports;
    std::vector<CReport*> started;
    for (long nId : {1, 2})
    {
        ASSERT_TRUE(App().StartAgentMonitor(L"viewer.example", 5500, nId));
        started.push_back(reports.Next());
        ASSERT_NE(started.back(), nullptr);
    }
    EXPECT_TRUE(started[0]->Read() && started[1]->Read()) << "both run while Lumo does";
    // What the system does to the job when Lumo's process ends.
    App().m_hAgentMonitorJob.Close();
    EXPECT_TRUE(PumpUntil([&] { return !started[0]->Read() && !started[1]->Read(); }, 20000))
        << "a server outlived its job";
}
} // namespace
