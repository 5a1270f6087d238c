// The Jex data link, the update stream and the uploads over real sockets on 127.0.0.1 against the
// scripted Jex (tests/peers/scripted_jex.py), which serves both links, reads the uploads with its own
// zip and CRC-32 code and makes the update program itself.
#include "sessions/CJexDataSocket.h"
#include "sessions/CJexSocket.h"
#include "sessions/tests/JexLinkFixture.h"
#include "core/CTimeTools.h"
#include "framework/CHandleOwner.h"
#include "framework/COleDateTime.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <psapi.h>
#include <zlib.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;

constexpr UINT kTestConnectTimeoutMs = 1500;
constexpr unsigned long kMiB = 1024 * 1024;

size_t CountStartingWith(const Lines& lines, const wchar_t* pszStart)
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(),
                                             [&](const std::wstring& line) { return line.starts_with(pszStart); }));
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Read in chunks: the test must not add a copy of a large program to the working set it measures.
unsigned long FileCrc(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(kMiB);
    uLong nCrc = crc32(0, nullptr, 0);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
        nCrc = crc32(nCrc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(in.gcount()));
    return nCrc;
}

// The CRC-32 the peer noted for the update program it sent ("= UPDATE <size> <crc>").
unsigned long NotedUpdateCrc(const Lines& traffic)
{
    for (const std::wstring& entry : traffic)
        if (entry.starts_with(L"= UPDATE ")) return std::stoul(entry.substr(entry.rfind(L' ') + 1));
    return 0;
}

// A file opened by "another program" that shares it with nobody.
CFileHandle LockFile(const fs::path& path)
{
    return CFileHandle(
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A port that nobody listens on: bound, then closed again.
UINT DeadPort()
{
    CAsyncSocket probe;
    if (!probe.Create(0, SOCK_STREAM, 0, L"127.0.0.1")) return 0;
    CString strAddress;
    UINT nPort = 0;
    if (!probe.GetSockName(strAddress, nPort)) nPort = 0;
    probe.Close();
    return nPort;
}

class JexDataSocketTest : public JexLinkFixture
{
protected:
    void SetUp() override
    {
        CJexDataSocket::SetConnectTimeout(kTestConnectTimeoutMs);
        wchar_t szTemp[MAX_PATH] = {};
        ASSERT_GT(::GetTempPathW(MAX_PATH, szTemp), 0u);
        m_root = fs::path(szTemp) / (L"lumo-jexdata-" + std::to_wstring(::GetCurrentProcessId()));
        fs::remove_all(m_root);
        m_work = m_root / L"work";
        ASSERT_TRUE(fs::create_directories(m_work));
        m_app.m_strWorkFolder = (m_work.wstring() + L"\\").c_str();
        m_app.m_agent.m_nId = 7;
    }
    void TearDown() override
    {
        m_pLink.reset();
        CJexDataSocket::SetConnectTimeout(CJexDataSocket::kConnectTimeoutMs);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    // Logs on and waits until the data link's part is decided: logged in, or no connect pending.
    bool LogonAndSettle()
    {
        m_pLink->Logon(nullptr);
        CJexDataSocket& data = m_pLink->GetDataSocket();
        return PumpUntil([&] { return data.IsLoggedIn() || !data.IsConnectPending(); }, 20000) && PumpUntilIdle();
    }

    fs::path m_root;
    fs::path m_work;
};

const char kDataGreeting[] = "handshake\ngreet 1 5.4.9.6 0.0.0.0 0 - {dataport}\n";

TEST_F(JexDataSocketTest, DataLinkLogsInBeforeTheLogonAndCarriesTheLogFile)
{
    ASSERT_TRUE(Connect(std::string(kDataGreeting) + "expect ALOGON 7 3 -?\\d+\ndrain\n", {},
                        "handshake\nsend STARTS 1\nexpectline ALGDAT 7\nsend ALGDAT 0\n"
                        "upload SNDLOG 1 - phone.log\ndrain\n"));
    ASSERT_TRUE(WaitForGreeting());
    EXPECT_GT(m_pLink->GetDataSocket().GetDataPort(), 0);
    EXPECT_EQ(m_pLink->GetDataSocket().GetOwner(), m_pLink.get());
    ASSERT_TRUE(LogonAndSettle());
    ASSERT_TRUE(m_pLink->GetDataSocket().IsLoggedIn());
    EXPECT_EQ(&m_pLink->GetDataRoute(), &m_pLink->GetDataSocket());

    const std::string log = "12:00:01 call 4711 ringing\r\n12:00:05 call 4711 answered\r\n";
    EXPECT_TRUE(m_pLink->SendLogFile(L"soft phone.log", reinterpret_cast<const BYTE*>(log.data()),
                                     static_cast<DWORD>(log.size())));
    // A second log-on finds the data link up and goes out at once.
    m_pLink->Logon(nullptr);
    EXPECT_FALSE(m_pLink->GetDataSocket().IsConnectPending());
    const Lines sent = Finish();
    EXPECT_EQ(CountStartingWith(sent, L"ALOGON "), 2u);
    EXPECT_EQ(CountStartingWith(sent, L"SNDLOG"), 0u) << "bulk transfers stay off the command link";
    const Lines data = m_pJex->DataReceived();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0], L"ALGDAT 7");
    EXPECT_TRUE(data[1].starts_with(L"SNDLOG soft\\x0cphone.log ")) << data[1];
    EXPECT_EQ(m_pJex->ReadFile(L"phone.log"), log) << "the peer unzipped the single entry \"data\"";
}

TEST_F(JexDataSocketTest, EveryFailedDataLinkRoadLogsOnExactlyOnce)
{
    const std::string strDeadPort = std::to_string(DeadPort());
    struct RoadCase
    {
        std::string portWord; // empty: no sixth word
        std::string dataScript;
        int nPending; // a connect was under way after the log-on call: 1 yes, 0 no, -1 either
        const char* why;
    };
    const RoadCase kCases[] = {
        {"", "", 0, "no data port announced: at once"},
        {"0", "", 0, "port 0: at once"},
        {"70000", "", 0, "a port beyond 16 bits is no port"},
        {strDeadPort, "", -1, "refused: the failed connect logs on and stops the timer"},
        {"{dataport}", "handshake\nsend STARTS 1\nexpectline ALGDAT 7\nclosed\n", 1,
         "ALGDAT never answered: the timer closes the data link"},
        {"{dataport}", "handshake\nsend STARTS 1\nexpectline ALGDAT 7\nsend ALGDAT 1\nclosed\n", 1,
         "ALGDAT answered 1: the timer closes the data link"},
    };
    for (const RoadCase& c : kCases)
    {
        SCOPED_TRACE(c.why);
        // While the data link is not logged in, a log file goes over the command link.
        ASSERT_TRUE(Connect("handshake\ngreet 1 5.4.9.6 0.0.0.0 0 - " + c.portWord +
                                "\nexpect ALOGON 7 3 -?\\d+\nupload SNDLOG 1 - late.log\ndrain\n",
                            {}, c.dataScript));
        ASSERT_TRUE(WaitForGreeting());
        m_pLink->Logon(nullptr);
        CJexDataSocket& data = m_pLink->GetDataSocket();
        if (c.nPending >= 0)
        {
            EXPECT_EQ(data.IsConnectPending(), c.nPending == 1);
        }
        // The timer, where one runs, has fired or been stopped by then: a second log-on would be out.
        ASSERT_TRUE(PumpUntil([&] { return !data.IsConnectPending(); }, 20000));
        ASSERT_TRUE(PumpUntilIdle());
        EXPECT_FALSE(data.IsLoggedIn());
        EXPECT_EQ(data.m_hSocket, INVALID_SOCKET) << "a data link that did not get logged in is closed";
        EXPECT_EQ(&m_pLink->GetDataRoute(), static_cast<CJexSocketBase*>(m_pLink.get()));
        EXPECT_TRUE(m_pLink->SendLogFile(L"late.log", reinterpret_cast<const BYTE*>("x"), 1));
        const Lines sent = Finish();
        EXPECT_EQ(CountStartingWith(sent, L"ALOGON "), 1u) << "exactly one log-on per road";
        EXPECT_EQ(m_pJex->ReadFile(L"late.log"), "x");
    }
}

TEST_F(JexDataSocketTest, LossOfTheCommandLinkClosesTheDataLink)
{
    ASSERT_TRUE(Connect(std::string(kDataGreeting) + "expect ALOGON .*\nexpectline RQASUD 1 7\nclose\n", {},
                        "handshake\nsend STARTS 1\nexpectline ALGDAT 7\nsend ALGDAT 0\nclosed\n"));
    ASSERT_TRUE(WaitForGreeting());
    ASSERT_TRUE(LogonAndSettle());
    CJexDataSocket& data = m_pLink->GetDataSocket();
    ASSERT_TRUE(data.IsLoggedIn());
    m_pLink->RequestStartupDataById(7); // Jex drops the command link on this
    ASSERT_TRUE(PumpUntil([&] { return !m_pLink->m_bSession; }));
    EXPECT_FALSE(data.IsLoggedIn());
    EXPECT_EQ(data.m_hSocket, INVALID_SOCKET);
    EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
}

// ---- the update stream ----

std::string UpdateGreeting()
{
    // Mode 2 updates without asking; the stream is sent in the clear, as RC4 in the peer is slow.
    return "handshake enc=0\ngreet 1 5.4.9.6 5.5.0.1 2 p\nexpectline UPDATE 5.4.9.0 p\n";
}

TEST_F(JexDataSocketTest, LargeUpdateIsWrittenInFewLargeChunksWithoutHoldingItAll)
{
    const unsigned long nSize = 25 * kMiB;
    const fs::path program = m_work / L"Stovik.exe";
    std::vector<unsigned long> sizes; // the file's size at each progress report and at the end
    m_app.m_connection.m_onProgress = [&] {
        std::error_code error;
        const auto nNow = static_cast<unsigned long>(fs::file_size(program, error));
        if (!error && (sizes.empty() || sizes.back() != nNow)) sizes.push_back(nNow);
    };
    m_app.m_service.m_bRunSucceeds = TRUE;
    ASSERT_TRUE(Connect(UpdateGreeting() + "update " + std::to_string(nSize) + " 11 'run me'\ndrain\n"));
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nQuits > 0; }, 120000));
    PROCESS_MEMORY_COUNTERS memory{};
    ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory));
    m_app.m_connection.m_onProgress();

    EXPECT_LT(memory.PeakWorkingSetSize, 2 * static_cast<SIZE_T>(nSize) + 32 * kMiB);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), nSize);
    ASSERT_LE(sizes.size(), 3u) << "writes of at least 10 MiB each but the last";
    for (size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_GE(sizes[i] - (i ? sizes[i - 1] : 0), static_cast<unsigned long>(CJexSocket::kUpdateChunkBytes));
    EXPECT_EQ(m_app.m_connection.m_progress.back(), (std::pair<long, long>{long(nSize), long(nSize)}));
    EXPECT_EQ(m_app.m_connection.m_events.back(), L"done");
    ASSERT_EQ(m_app.m_service.m_runs.size(), 1u);
    EXPECT_EQ(m_app.m_service.m_runs[0].program, program.wstring());
    EXPECT_EQ(m_app.m_service.m_runs[0].arguments, L"run me") << "the escaped blank is a blank again";
    EXPECT_TRUE(m_app.m_service.m_runs[0].bDelete && m_app.m_service.m_runs[0].bWait);
    EXPECT_EQ(m_app.m_nQuits, 1);
    EXPECT_TRUE(m_boxes.m_boxes.empty());
    Finish();
    EXPECT_EQ(FileCrc(program), NotedUpdateCrc(m_pJex->Traffic()));
}

TEST_F(JexDataSocketTest, LinesBehindTheUpdateInTheSameReadAreHandledNotWritten)
{
    const unsigned long nSize = kMiB;
    WriteAll(m_work / L"Stovik.exe", std::string(3 * kMiB, 'o')); // an old program, longer than the new one
    ASSERT_TRUE(Connect(UpdateGreeting() + "update " + std::to_string(nSize) +
                        " 5 args 'HEARTB 1 first' 'HEARTB 1 second'\n"
                        "expectline HEARTB 0 first\nexpectline HEARTB 0 second\ndrain\n"));
    ASSERT_TRUE(PumpUntil([&] { return m_app.m_nQuits > 0; }, 60000));
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, L"Update failed!\nError: 'access denied'.");
    EXPECT_EQ(m_boxes.m_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(m_app.m_nQuits, 1);
    Finish(); // the peer saw both answers
    EXPECT_EQ(fs::file_size(m_work / L"Stovik.exe"), nSize);
    EXPECT_EQ(FileCrc(m_work / L"Stovik.exe"), NotedUpdateCrc(m_pJex->Traffic()));
}

TEST_F(JexDataSocketTest, UpdateThatCannotBeKeptShowsTheErrorAndQuitsOnce)
{
    WriteAll(m_work / L"Stovik.exe", "still running");
    struct FailCase
    {
        std::string jex;
        bool bLockProgram;
        const char* why;
    };
    const FailCase kCases[] = {
        {"send UPDATE args 0\nsend HEARTB 1 next\n", false, "size 0"},
        {"send UPDATE args many\nsend HEARTB 1 next\n", false, "size not a number"},
        {"update 70000 3 args 'HEARTB 1 next'\n", true, "the program file is held by another program"},
    };
    for (const FailCase& c : kCases)
    {
        SCOPED_TRACE(c.why);
        m_app.m_nQuits = 0;
        m_boxes.m_boxes.clear();
        CFileHandle lock = c.bLockProgram ? LockFile(m_work / L"Stovik.exe") : CFileHandle();
        ASSERT_EQ(lock.IsValid(), c.bLockProgram);
        ASSERT_TRUE(Connect(UpdateGreeting() + c.jex + "expectline HEARTB 0 next\ndrain\n"));
        ASSERT_TRUE(PumpUntil([&] { return m_app.m_nQuits > 0; }));
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes.m_boxes[0].text, L"An unexpected error occurred while retrieving the update.");
        EXPECT_EQ(m_boxes.m_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(m_app.m_nQuits, 1);
        Finish(); // the line behind the dropped stream was understood
        EXPECT_TRUE(m_app.m_service.m_runs.empty());
    }
    EXPECT_EQ(ReadAll(m_work / L"Stovik.exe"), "still running");
}

TEST_F(JexDataSocketTest, UpdateStreamNobodyAskedForIsDropped)
{
    ASSERT_TRUE(Connect("handshake enc=0\ngreet 1 5.4.9.6 0.0.0.0\nupdate 5000 3 args 'HEARTB 1 next'\n"
                        "expectline HEARTB 0 next\ndrain\n"));
    ASSERT_TRUE(WaitForGreeting());
    ASSERT_TRUE(PumpUntilIdle(300));
    Finish();
    EXPECT_FALSE(fs::exists(m_work / L"Stovik.exe"));
    EXPECT_TRUE(m_app.m_service.m_runs.empty());
    EXPECT_EQ(m_app.m_nQuits, 0);
    EXPECT_TRUE(m_app.m_connection.m_progress.empty());
}

// ---- recordings ----

TEST_F(JexDataSocketTest, RecordingGoesOverTheDataLinkAndItsConfirmationDeletesIt)
{
    const fs::path recording = m_work / L"Task7" / L"rec 1.wav";
    // Noise, so that the archive stays about as long as the recording.
    std::string bytes(70000, '\0');
    unsigned nNoise = 99;
    for (char& c : bytes)
        c = static_cast<char>((nNoise = nNoise * 1103515245u + 12345u) >> 23);
    WriteAll(recording, bytes);
    ASSERT_TRUE(Connect(std::string(kDataGreeting) + "expect ALOGON .*\ndrain\n", {},
                        "handshake\nsend STARTS 1\nexpectline ALGDAT 7\nsend ALGDAT 0\n"
                        "upload SNDSRE 4 5 rec.wav\nsend SNDSRE 0 7 'rec 1.wav'\ndrain\n"));
    ASSERT_TRUE(WaitForGreeting());
    ASSERT_TRUE(LogonAndSettle());
    const unsigned long long nCopiedBefore = m_pLink->GetDataSocket().GetSendCopiedBytes();
    ASSERT_TRUE(m_pLink->SendStereoRecording(21, 22, recording.wstring().c_str()));
    // The archive is handed over to the data link; only the line (well under 1 KB) is copied.
    EXPECT_LT(m_pLink->GetDataSocket().GetSendCopiedBytes() - nCopiedBefore, 1000u);
    ASSERT_TRUE(PumpUntil([&] { return !fs::exists(recording); })) << "the confirmation on the data link deletes it";
    Finish();
    EXPECT_EQ(m_pJex->ReadFile(L"rec.wav"), bytes);
    const Lines data = m_pJex->DataReceived();
    ASSERT_EQ(data.size(), 2u);
    std::wsmatch match;
    const std::wregex line(
        L"SNDSRE 21 22 rec\\\\x0c1\\.wav (\\d{4})-(\\d\\d)-(\\d\\d)T(\\d\\d):(\\d\\d):(\\d\\d) \\d+ \\d+");
    ASSERT_TRUE(std::regex_match(data[1], match, line)) << data[1];
    const COleDateTime dtSent(std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3]), std::stoi(match[4]),
                              std::stoi(match[5]), std::stoi(match[6]));
    const double dSeconds = (CTimeTools::GetCurrentTimeUTC().m_dt - dtSent.m_dt) * 86400.0;
    EXPECT_LT(std::abs(dSeconds), 300.0) << "the creation time in UTC, not local time";
}

TEST_F(JexDataSocketTest, LockedRecordingIsRetriedThenLeftOnDisk)
{
    const fs::path held = m_work / L"Task7" / L"held.wav";
    const fs::path brief = m_work / L"Task7" / L"brief.wav";
    WriteAll(held, "held");
    WriteAll(brief, "brief");
    ASSERT_TRUE(Connect("handshake\ngreet 1 5.4.9.6 0.0.0.0\nupload SNDSRE 4 5 brief.wav\ndrain\n"));
    ASSERT_TRUE(WaitForGreeting());
    {
        CFileHandle lock = LockFile(held);
        ASSERT_TRUE(lock.IsValid());
        const ULONGLONG nStart = ::GetTickCount64();
        EXPECT_FALSE(m_pLink->SendStereoRecording(1, 2, held.wstring().c_str()));
        EXPECT_GE(::GetTickCount64() - nStart, 1700u) << "ten tries, 200 ms apart";
    }
    {
        // Another program lets go of it during the tries: the upload goes ahead.
        CFileHandle lock = LockFile(brief);
        ASSERT_TRUE(lock.IsValid());
        std::thread release([&] {
            ::Sleep(400);
            lock.Close();
        });
        const BOOL bSent = m_pLink->SendStereoRecording(1, 2, brief.wstring().c_str());
        release.join();
        EXPECT_TRUE(bSent);
    }
    const Lines sent = Finish();
    EXPECT_EQ(CountStartingWith(sent, L"SNDSRE"), 1u) << "nothing of the held one went out";
    EXPECT_EQ(m_pJex->ReadFile(L"brief.wav"), "brief");
    EXPECT_TRUE(fs::exists(held));
}

TEST_F(JexDataSocketTest, ConfirmationsDeleteOnlyFilesOfTheWorkFolder)
{
    const fs::path task = m_work / L"Task7";
    const fs::path stereo = m_work / L"StereoRecordings";
    const std::vector<fs::path> kept = {m_root / L"victim", m_work / L"victim", task / L"a" / L"b",
                                        task / L"locked.wav", task / L"other.wav"};
    for (const fs::path& path : kept)
        WriteAll(path, "keep");
    WriteAll(task / L"good.wav", "go");
    WriteAll(stereo / L"stereo.wav", "go");
    CFileHandle lock = LockFile(task / L"locked.wav");
    ASSERT_TRUE(lock.IsValid());
    ASSERT_TRUE(Connect("handshake\ngreet 1 5.4.9.6 0.0.0.0\n"
                        "send SNDSRE 0 7 '..\\victim'\n"
                        "send SNDSRE 0 7 '..\\..\\victim'\n"
                        "send SNDSRE 1 x '..\\victim'\n"
                        "send SNDSRE 0 7 'C:\\victim'\n"
                        "send SNDSRE 0 7 a/b\n"
                        "send SNDSRE 0 .. victim\n"
                        "send SNDSRE 0 '7\\..\\..' victim\n"
                        "send SNDSRE 0 7 ''\n"
                        "send SNDSRE 0 7 missing.wav\n"
                        "send SNDSRE 0 7 locked.wav\n"
                        "send SNDSRE 2 7 other.wav\n"
                        "send SNDSRE 1 '' stereo.wav\n"
                        "send SNDSRE 0 7 good.wav\n"
                        "drain\n"));
    ASSERT_TRUE(WaitForGreeting());
    ASSERT_TRUE(PumpUntil([&] { return !fs::exists(task / L"good.wav"); }));
    EXPECT_FALSE(fs::exists(stereo / L"stereo.wav"));
    for (const fs::path& path : kept)
        EXPECT_TRUE(fs::exists(path)) << path.string();
    Finish();
}

} // namespace
