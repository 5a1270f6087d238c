// Programs, processes and threads, against our helper program lumo_process_child.exe.
#include "core/CUtilities.h"
#include "framework/CHandleOwner.h"
#include "framework/CStringConversion.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "framework/testing/CRecorderWnd.h"
#include <gtest/gtest.h>
#include <winsock2.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
CWinApp theApp(L"LumoProcessTests"); // the test thread is the application's main thread

constexpr UINT kDoneMsg = WM_APP + 7;

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::wstring Child()
{
    return OwnFolder() + L"\\lumo_process_child.exe";
}

CString ChildCommand(const std::wstring& arguments)
{
    return (L"\"" + Child() + L"\" " + arguments).c_str();
}

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"lumo_process_tests_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring WriteTempFile(const wchar_t* name, const std::string& bytes)
{
    const std::wstring path = TempFolder() + L"\\" + name;
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
    return path;
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string Narrow(const CString& text)
{
    return NarrowText(text.GetString(), text.GetLength(), CP_UTF8);
}

// A thread message of ours, taken from the queue when it arrives; false when none came in time.
bool TakeThreadMessage(UINT nMsg, MSG& msg, DWORD timeoutMs = 20000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;)
    {
        if (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), nMsg, nMsg, PM_REMOVE)) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                  QS_POSTMESSAGE);
    }
}

// A CWnd whose handle is the recorder's: the utilities only read the handle from it.
class CBorrowedWnd : public CWnd
{
public:
    explicit CBorrowedWnd(HWND hWnd) { m_hWnd = hWnd; }
    ~CBorrowedWnd() override { m_hWnd = nullptr; }
};

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done())
    {
        if (GetTickCount64() >= end) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

bool IsProcessAlive(DWORD pid)
{
    CKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}
} // namespace

// ---- RunAndCapture ----

TEST(RunAndCapture, CapturesTextAndExitCodes)
{
    struct CaptureCase
    {
        std::wstring arguments;
        int result;
        std::string output;
        const char* why;
    };
    const CaptureCase cases[] = {
        {L"utf16 2", 0,
         "Zeile 0: \xc3\xa4\xc3\xb6\xc3\xbc \xe2\x82\xac \xe4\xb8\xad\r\nZeile 1: \xc3\xa4\xc3\xb6\xc3\xbc "
         "\xe2\x82\xac \xe4\xb8\xad\r\n",
         "UTF-16 output is taken as it is"},
        {L"both", 0, "out;err;", "standard error goes into the same text"},
        {L"exit 42", 42, "", "the program's exit code"},
        {L"exit 3221225471", 0, "", "0xBFFFFFFF is still an exit code"},
        {L"exit 3221225472", CUtilities::runNoExitCode, "", "0xC0000000 and above mean an exception"},
        {L"crash", CUtilities::runNoExitCode, "", "an access violation"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CString output = L"stale";
        int expected = c.result;
        if (c.arguments == L"exit 3221225471") expected = static_cast<int>(0xBFFFFFFFu);
        EXPECT_EQ(CUtilities::RunAndCapture(ChildCommand(c.arguments), L"", output, 20000), expected);
        EXPECT_EQ(Narrow(output), c.output);
    }
}

TEST(RunAndCapture, AnsiOutputUsesTheThreadCodePage)
{
    CString output;
    ASSERT_EQ(CUtilities::RunAndCapture(ChildCommand(L"ansi"), nullptr, output, INFINITE), 0);
    const std::wstring accent = WidenText("\xe9", 1, CP_THREAD_ACP);
    EXPECT_EQ(std::wstring(output.GetString()), L"ANSI text " + accent + L"\r\n");
}

TEST(RunAndCapture, OneMebibyteArrivesWhole)
{
    CString output;
    ASSERT_EQ(CUtilities::RunAndCapture(ChildCommand(L"big 1048576"), nullptr, output, 60000), 0);
    ASSERT_EQ(output.GetLength(), 1048576);
    EXPECT_EQ(Narrow(output.Left(66)), "00000000 " + std::string(53, 'a') + "\r\n00");
    EXPECT_EQ(Narrow(output.Mid(64 * 16383, 64)),
              "00016383 " + std::string(53, static_cast<char>('a' + 16383 % 26)) + "\r\n");
}

TEST(RunAndCapture, UnicodeSplitAcrossReadsStaysWhole)
{
    CString output;
    ASSERT_EQ(CUtilities::RunAndCapture(ChildCommand(L"utf16 20000"), nullptr, output, 60000), 0);
    const std::wstring line9999 = L"Zeile 9999: \u00e4\u00f6\u00fc \u20ac \u4e2d\r\n";
    EXPECT_NE(std::wstring(output.GetString()).find(line9999), std::wstring::npos);
    EXPECT_EQ(std::count(output.GetString(), output.GetString() + output.GetLength(), L'\u4e2d'), 20000)
        << "every line's last character survives, wherever the reads were cut";
}

TEST(RunAndCapture, FolderStartFailureAndTimeLimit)
{
    const std::wstring folder = TempFolder();
    CString output;
    ASSERT_EQ(CUtilities::RunAndCapture(ChildCommand(L"cwd"), folder.c_str(), output, 20000), 0);
    EXPECT_EQ(output.CompareNoCase(folder.c_str()), 0) << Narrow(output);

    EXPECT_EQ(CUtilities::RunAndCapture(L"\"C:\\no such folder\\none.exe\"", nullptr, output, 1000),
              CUtilities::runNotStarted);

    // A loaded machine may start the program after the limit, so its id also comes through a file.
    const std::wstring pidFile = folder + L"\\sleeper.pid";
    DeleteFileW(pidFile.c_str());
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(CUtilities::RunAndCapture(ChildCommand(L"sleep 20000 \"" + pidFile + L"\""), nullptr, output, 500),
              CUtilities::runTimedOut);
    EXPECT_LT(GetTickCount64() - start, 10000u) << "the time limit ends the wait";
    DWORD pid = 0;
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::string text = ReadFileBytes(pidFile); // whole once its line ends
            return text.ends_with('\n') && (pid = strtoul(text.c_str(), nullptr, 10)) != 0;
        },
        20000))
        << "the program started";
    ASSERT_NE(pid, 0u);
    if (!output.IsEmpty()) // what it told before the limit is kept
    {
        EXPECT_EQ(wcstoul(output.GetString(), nullptr, 10), pid) << Narrow(output);
    }
    EXPECT_TRUE(IsProcessAlive(pid)) << "the program is left running";
    EXPECT_TRUE(CUtilities::CloseProcess(pid, true, 100));
    EXPECT_TRUE(PumpUntil([&] { return !IsProcessAlive(pid); }, 5000)) << "terminated by CloseProcess";
}

TEST(RunAndCapture, RunSelfStartsThisProgram)
{
    CString output;
    ASSERT_EQ(CUtilities::RunSelf(L"--gtest_list_tests", output, 30000), 0);
    EXPECT_NE(Narrow(output).find("RunSelfStartsThisProgram"), std::string::npos) << Narrow(output);
}

TEST(RunCommand, QuotesTheArgumentAndFillsTheTemplate)
{
    const std::wstring out = TempFolder() + L"\\args.txt";
    struct CommandCase
    {
        std::wstring tmpl;
        const wchar_t* argument;
        std::string args;
        const char* why;
    };
    const CommandCase cases[] = {
        {L"\"" + Child() + L"\" args \"" + out + L"\" %s tail", L"a b", "a b\ntail\n",
         "the argument in the template, quoted"},
        {L"\"" + Child() + L"\" args \"" + out + L"\"", L"single", "single\n", "without %s the argument follows"},
        {L"\"" + Child() + L"\" args \"" + out + L"\" x", L"", "x\n", "without an argument the template runs alone"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        DeleteFileW(out.c_str());
        ASSERT_TRUE(CUtilities::RunCommand(c.tmpl.c_str(), c.argument));
        ASSERT_TRUE(PumpUntil([&] { return ReadFileBytes(out).size() == c.args.size(); }, 10000));
        EXPECT_EQ(ReadFileBytes(out), c.args);
    }
    EXPECT_FALSE(CUtilities::RunCommand(L"\"C:\\no such folder\\none.exe\" %s", L"x"));
    EXPECT_FALSE(CUtilities::RunCommand(L"", L""));
}

TEST(RunProgramOnThread, PostsTheResultRecord)
{
    CRecorderWnd recorder;
    CBorrowedWnd notify(recorder.Handle());
    const DWORD worker = CUtilities::RunProgramOnThread(ChildCommand(L"exit 7"), L"", &notify, kDoneMsg, 5);
    ASSERT_NE(worker, 0u);
    ASSERT_TRUE(PumpUntil([&] { return !recorder.m_seen.empty(); }));
    const CRecordedMessage& seen = recorder.m_seen[0];
    EXPECT_EQ(seen.message, kDoneMsg);
    EXPECT_EQ(seen.wParam, 5u);
    std::unique_ptr<CUtilities::ProgramResult> result(reinterpret_cast<CUtilities::ProgramResult*>(seen.lParam));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->m_nResult, 7);

    // Without a window the main thread gets it.
    ASSERT_NE(CUtilities::RunProgramOnThread(ChildCommand(L"ansi"), L"", nullptr, kDoneMsg, 6), 0u);
    MSG msg{};
    ASSERT_TRUE(TakeThreadMessage(kDoneMsg, msg));
    EXPECT_EQ(msg.wParam, 6u);
    std::unique_ptr<CUtilities::ProgramResult> second(reinterpret_cast<CUtilities::ProgramResult*>(msg.lParam));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->m_nResult, 0);
    EXPECT_EQ(Narrow(second->m_strOutput).substr(0, 10), "ANSI text ");
}

// ---- Opening files with their associated program ----

class EditFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::wstring child = L"\"" + Child() + L"\" ";
        Associate(L".lumoopen", L"LumoTest.Open", child + L"keep \"%1\"", child + L"change \"%1\"");
        Associate(L".lumochange", L"LumoTest.Change", child + L"change \"%1\"", L"");
        Associate(L".lumoedit", L"LumoTest.Edit", L"", child + L"keep \"%1\"");
        Associate(L".lumonone", L"LumoTest.None", L"", L"");
        Associate(L".lumoslow", L"LumoTest.Slow", child + L"slow \"%1\"", L"");
    }
    void TearDown() override
    {
        for (const wchar_t* key :
             {L".lumoopen", L".lumochange", L".lumoedit", L".lumonone", L".lumoslow", L"LumoTest.Open",
              L"LumoTest.Change", L"LumoTest.Edit", L"LumoTest.None", L"LumoTest.Slow"})
            RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + key).c_str());
    }
    static void SetDefault(const std::wstring& key, const std::wstring& value)
    {
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        CRegKeyHandle owned(h);
        RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    static void Associate(const std::wstring& ext, const std::wstring& progId, const std::wstring& open,
                          const std::wstring& edit)
    {
        SetDefault(ext, progId);
        SetDefault(progId, L"Lumo test file");
        if (!open.empty()) SetDefault(progId + L"\\shell\\open\\command", open);
        if (!edit.empty()) SetDefault(progId + L"\\shell\\edit\\command", edit);
    }
    // Runs the worker to its message; the lParam it posted.
    static LPARAM EditAndWait(const std::wstring& path, bool editOnly)
    {
        const DWORD worker = CUtilities::EditFileOnThread(path.c_str(), editOnly, nullptr, kDoneMsg, 11);
        EXPECT_NE(worker, 0u);
        MSG msg{};
        EXPECT_TRUE(TakeThreadMessage(kDoneMsg, msg)) << "the worker reports to the main thread";
        EXPECT_EQ(msg.wParam, 11u);
        return msg.lParam;
    }
};

TEST_F(EditFileTest, ReportsWhetherTheProgramChangedTheFile)
{
    struct EditCase
    {
        const wchar_t* name;
        bool editOnly;
        LPARAM changed;
        std::string after;
        const char* why;
    };
    const EditCase cases[] = {
        {L"a.lumoopen", false, 0, "text", "the open command saves the same contents"},
        {L"b.lumoopen", true, 1, "textchanged", "edit-only takes the edit command, which changes the file"},
        {L"c.lumochange", false, 1, "textchanged", "the open command changes the file"},
        {L"d.lumoedit", false, 0, "text", "no open command: the edit command runs"},
        {L"e.lumonone", false, 1, "text", "no command at all: nothing starts, reported as changed"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const std::wstring path = WriteTempFile(c.name, "text");
        EXPECT_EQ(EditAndWait(path, c.editOnly), c.changed);
        EXPECT_EQ(ReadFileBytes(path), c.after);
    }
    EXPECT_EQ(EditAndWait(TempFolder() + L"\\missing.lumoopen", false), 1) << "a file that cannot be read";
}

TEST_F(EditFileTest, NotifiesTheWindowAndNamesTheWorker)
{
    CRecorderWnd recorder;
    CBorrowedWnd notify(recorder.Handle());
    const std::wstring path = WriteTempFile(L"slow.lumoslow", "text");
    const DWORD worker = CUtilities::EditFileOnThread(path.c_str(), &notify, kDoneMsg, 3);
    ASSERT_NE(worker, 0u);
    ASSERT_TRUE(PumpUntil([&] { return CUtilities::CloseWorkerProcess(worker, false, 0); }, 10000))
        << "the worker records its program while it runs";
    EXPECT_EQ(Narrow(CUtilities::GetThreadDisplayName(worker)),
              "EditFileThreadFnct file " + Narrow(path.c_str()) + " (Thread ID " + std::to_string(worker) + ")");
    EXPECT_TRUE(CUtilities::CloseWorkerProcess(worker, true, 0)) << "terminates the program";
    ASSERT_TRUE(PumpUntil([&] { return !recorder.m_seen.empty(); }));
    EXPECT_EQ(recorder.m_seen[0].wParam, 3u);
    EXPECT_EQ(recorder.m_seen[0].lParam, 0) << "the program ended without touching the file";
    ASSERT_TRUE(PumpUntil([&] { return !CUtilities::IsThreadRunning(worker); }, 10000));
    EXPECT_FALSE(CUtilities::CloseWorkerProcess(worker, false, 0)) << "no program after the worker";
    EXPECT_EQ(Narrow(CUtilities::GetThreadDisplayName(worker)), "Thread ID " + std::to_string(worker))
        << "the worker forgets its name";
}

TEST_F(EditFileTest, WithoutAMessageTheWorkerDoesNotWait)
{
    const std::wstring path = WriteTempFile(L"nowait.lumoslow", "text");
    const std::wstring pidFile = path + L".pid", release = path + L".release";
    DeleteFileW(pidFile.c_str());
    DeleteFileW(release.c_str());
    const DWORD worker = CUtilities::EditFileOnThread(path.c_str(), nullptr, 0, 0);
    ASSERT_NE(worker, 0u);
    ASSERT_TRUE(PumpUntil([&] { return !CUtilities::IsThreadRunning(worker); }, 20000));
    // The program runs until the test releases it, which it has not done yet: a worker that waited
    // for its program would still be running.
    DWORD pid = 0;
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::string text = ReadFileBytes(pidFile); // whole once its line ends
            return text.ends_with('\n') && (pid = strtoul(text.c_str(), nullptr, 10)) != 0;
        },
        20000))
        << "the program started";
    EXPECT_TRUE(pid != 0 && IsProcessAlive(pid)) << "the worker ended while its program still ran";
    std::ofstream(release.c_str()) << "done";
    if (pid != 0)
    {
        EXPECT_TRUE(PumpUntil([&] { return !IsProcessAlive(pid); }, 20000)) << "released, the program ends";
    }
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), kDoneMsg, kDoneMsg, PM_REMOVE)) << "nothing posted";
}

// ---- Processes, threads and accounts ----

TEST(ProcessInformation, FileNameUserPortAndThreadState)
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    EXPECT_EQ(CUtilities::GetProcessFileName(GetCurrentProcessId()).CompareNoCase(own), 0);
    EXPECT_TRUE(CUtilities::GetProcessFileName(0).IsEmpty());

    CString user, domain;
    ASSERT_TRUE(CUtilities::GetProcessUser(0, user, domain));
    wchar_t name[256] = {};
    DWORD length = 256;
    GetUserNameW(name, &length);
    EXPECT_EQ(user.CompareNoCase(name), 0);
    CString userById, domainById;
    EXPECT_TRUE(CUtilities::GetProcessUser(GetCurrentProcessId(), userById, domainById));
    EXPECT_EQ(userById, user);
    EXPECT_EQ(domainById, domain);

    WSADATA wsa{};
    const int started = WSAStartup(MAKEWORD(2, 2), &wsa);
    ASSERT_EQ(started, 0);
    CWinsockStartup winsock(started == 0);
    CSocketHandle listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    int size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    // Wine's table holds the listeners but no owning process ids (0); Windows names this process.
    const DWORD owner = CUtilities::GetTcpPortOwner(address.sin_port);
    if (owner != 0)
    {
        EXPECT_EQ(owner, GetCurrentProcessId());
    }
    listener.Close();
    EXPECT_EQ(CUtilities::GetTcpPortOwner(address.sin_port), 0u) << "nobody listens there any more";
    winsock.Close();

    EXPECT_TRUE(CUtilities::IsThreadRunning(GetCurrentThreadId()));
    DWORD finishedId = 0;
    std::thread finished([&] { finishedId = GetCurrentThreadId(); });
    finished.join();
    EXPECT_FALSE(CUtilities::IsThreadRunning(finishedId));
}

TEST(ProcessInformation, PrimaryDomainOfAStandAloneMachine)
{
    CString name = L"before";
    bool workgroup = true;
    ASSERT_EQ(CUtilities::GetPrimaryDomain(name, workgroup), 0u);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = ARRAYSIZE(computer);
    GetComputerNameW(computer, &length);
    // This machine is in a workgroup not named like the computer: no name, the flag untouched.
    EXPECT_TRUE(name.IsEmpty()) << Narrow(name) << " on " << Narrow(CString(computer));
    EXPECT_TRUE(workgroup);
}

// ---- Thread names ----

TEST(ThreadNames, RecordsNamesAndReportsEachNewOneOnce)
{
    static std::vector<std::string> reports;
    reports.clear();
    CUtilities::SetThreadNameReportForTest(
        [](DWORD id, LPCSTR name) { reports.push_back(std::to_string(id) + " " + name); });
    CUtilities::ClearThreadNames();
    CUtilities::SetThreadName(4242, L"Worker %d of %s", 3, L"pool");
    EXPECT_EQ(Narrow(CUtilities::GetThreadDisplayName(4242)), "Worker 3 of pool (Thread ID 4242)");
    CUtilities::SetThreadName(4242, L"Worker %d of %s", 3, L"pool");
    CUtilities::SetThreadName(4242, L"Renamed");
    CUtilities::SetThreadName(4243, L"Other");
    CUtilities::SetThreadName(4242, L"");
    EXPECT_EQ(Narrow(CUtilities::GetThreadDisplayName(4242)), "Thread ID 4242") << "an empty name forgets it";
    CUtilities::SetThreadName(4242, L"Renamed");
    EXPECT_EQ(reports,
              (std::vector<std::string>{"4242 Worker 3 of pool", "4242 Renamed", "4243 Other", "4242 Renamed"}))
        << "each new name once; the same name again is not reported";
    CUtilities::ClearThreadNames();
    EXPECT_EQ(Narrow(CUtilities::GetThreadDisplayName(4243)), "Thread ID 4243");
    CUtilities::SetThreadNameReportForTest(nullptr);
    CUtilities::SetThreadName(4244, L"No debugger here");
    EXPECT_EQ(Narrow(CUtilities::GetThreadDisplayName(4244)), "No debugger here (Thread ID 4244)")
        << "without a debugger the name is only recorded, and nothing breaks";
    CUtilities::ClearThreadNames();
}

// ---- Waiting ----

TEST(WaitForObject, OffTheMainThreadWaitsPlainly)
{
    CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool signalled = true, timedOut = true;
    std::thread waiter([&] {
        timedOut = CUtilities::WaitForObject(event, 1);
        std::thread([&] {
            Sleep(200);
            SetEvent(event);
        }).detach();
        signalled = CUtilities::WaitForObject(event, 20);
    });
    waiter.join();
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(signalled);
}

TEST(WaitForObject, OnTheMainThreadKeepsMessagesFlowing)
{
    CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(CUtilities::WaitForObject(event, 0)) << "0 seconds tests once";
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(CUtilities::WaitForObject(event, 1));
    EXPECT_GE(GetTickCount64() - start, 900u) << "a second of waiting";

    // Only the pumped message can set the event: the wait must dispatch it.
    CRecorderWnd recorder;
    recorder.m_onMessage = [&] { SetEvent(event); };
    std::thread poster([&] {
        Sleep(150);
        PostMessageW(recorder.Handle(), kDoneMsg, 0, 0);
    });
    EXPECT_TRUE(CUtilities::WaitForObject(event, 20));
    poster.join();
    EXPECT_EQ(recorder.m_seen.size(), 1u);
    EXPECT_TRUE(CUtilities::WaitForObject(event, 0)) << "0 seconds on a signalled handle";
}

TEST(WaitForObjectModal, EndsOnSignalOrLimitAndStaysHidden)
{
    CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> visibleDialogs{0}, hiddenDialogs{0};
    const DWORD mainThread = GetCurrentThreadId();
    std::thread helper([&] {
        // The dialog comes when the main thread gets to it: look until it is there, up to 15 s.
        const ULONGLONG deadline = GetTickCount64() + 15000;
        for (;;)
        {
            visibleDialogs = 0;
            hiddenDialogs = 0;
            EnumThreadWindows(
                mainThread,
                [](HWND hWnd, LPARAM p) -> BOOL {
                    auto* counts = reinterpret_cast<std::atomic<int>**>(p);
                    ++*counts[IsWindowVisible(hWnd) ? 0 : 1];
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(std::array<std::atomic<int>*, 2>{&visibleDialogs, &hiddenDialogs}.data()));
            if (visibleDialogs + hiddenDialogs > 0 || GetTickCount64() >= deadline) break;
            Sleep(10);
        }
        SetEvent(event);
    });
    EXPECT_TRUE(CUtilities::WaitForObjectModal(event, 20));
    helper.join();
    EXPECT_GE(hiddenDialogs.load(), 1) << "the waiting dialog exists";
    EXPECT_EQ(visibleDialogs.load(), 0) << "and is never shown";

    ResetEvent(event);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(CUtilities::WaitForObjectModal(event, 1));
    EXPECT_GE(GetTickCount64() - start, 900u);

    SetEvent(event);
    EXPECT_TRUE(CUtilities::WaitForObjectModal(event, 0)) << "a signal seen with the expiry counts as signalled";
}
