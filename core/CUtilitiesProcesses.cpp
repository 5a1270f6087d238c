// CUtilities: starting programs and capturing their output, opening files with their associated
// program on worker threads, processes, threads and their names, and waits that keep the user
// interface alive.
#include "core/CUtilities.h"
#include "core/AccountHandles.h"
#include "core/CCrcFixedTable.h"
#include "framework/CHandleOwner.h"
#include "framework/CStringConversion.h"
#include "framework/CWinApp.h"
#include "framework/CWinThread.h"
#include "framework/CWnd.h"
#include <iphlpapi.h>
#include <lm.h>
#include <ntsecapi.h>
#include <shlwapi.h>
#include <atomic>
#include <process.h>
#include <cstdarg>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{
constexpr DWORD kReadBlock = 1024;
constexpr UINT_PTR kWaitTimerId = 123;
constexpr DWORD kExceptionExitCodes = 0xC0000000;
constexpr DWORD kThreadNameException = 0x406D1388;

// ---- Registries ----

struct ThreadNames
{
    std::mutex lock;
    std::map<DWORD, CString> names;
};

ThreadNames& Names()
{
    static ThreadNames* names = new ThreadNames; // workers may still name themselves at exit
    return *names;
}

struct WorkerProcesses
{
    std::mutex lock;
    std::map<DWORD, DWORD> processByWorker;
};

WorkerProcesses& Workers()
{
    static WorkerProcesses* workers = new WorkerProcesses;
    return *workers;
}

std::atomic<CUtilities::ThreadNameReport> g_pfnThreadNameReportForTest{nullptr};

LONG CALLBACK SwallowThreadNameException(EXCEPTION_POINTERS* pInfo)
{
    return pInfo->ExceptionRecord->ExceptionCode == kThreadNameException ? EXCEPTION_CONTINUE_EXECUTION
                                                                         : EXCEPTION_CONTINUE_SEARCH;
}

// The naming exception is for a debugger only. Without one there is nobody to tell, and raising
// it anyway is not harmless everywhere (under Wine, continuing from it on a worker thread
// corrupts the heap).
void ReportThreadNameToDebugger(DWORD dwThreadId, const CString& strName)
{
    const std::string narrow = NarrowText(strName.GetString(), strName.GetLength());
    if (const auto report = g_pfnThreadNameReportForTest.load())
    {
        report(dwThreadId, narrow.c_str());
        return;
    }
    if (!IsDebuggerPresent()) return;
#pragma pack(push, 8)
    struct ThreadNameInfo
    {
        DWORD dwType;
        LPCSTR szName;
        DWORD dwThreadID;
        DWORD dwFlags;
    };
#pragma pack(pop)
    const ThreadNameInfo info{0x1000, narrow.c_str(), dwThreadId, 0};
    static std::once_flag installed; // a debugger that lets it pass must not end the program
    std::call_once(installed, [] { AddVectoredExceptionHandler(0, &SwallowThreadNameException); });
    RaiseException(kThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                   reinterpret_cast<const ULONG_PTR*>(&info));
}

// ---- Helpers ----

CString QuoteIfBlank(LPCWSTR szText)
{
    CString text(szText ? szText : L"");
    if (text.Find(L' ') >= 0) text = L"\"" + text + L"\"";
    return text;
}

bool StartDetached(CString strCommandLine, LPCWSTR szFolder, PROCESS_INFORMATION& pi)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring line(strCommandLine.GetString()); // CreateProcessW may write into it
    line.push_back(L'\0');
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                          szFolder && *szFolder ? szFolder : nullptr, &si, &pi) != FALSE;
}

// Everything the pipe holds now, read in blocks.
void ReadAvailable(HANDLE hRead, std::string& bytes)
{
    for (;;)
    {
        DWORD available = 0;
        if (!PeekNamedPipe(hRead, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
        char block[kReadBlock];
        DWORD read = 0;
        if (!ReadFile(hRead, block, kReadBlock, &read, nullptr) || read == 0) return;
        bytes.append(block, read);
    }
}

// Converted once at the end: a block boundary may fall inside a UTF-16 unit or a DBCS character.
CString OutputText(const std::string& bytes, bool bUnicode)
{
    if (bUnicode)
        return CString(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2).c_str(),
                       static_cast<int>(bytes.size() / 2));
    const std::wstring wide = WidenText(bytes.data(), static_cast<int>(bytes.size()), CP_THREAD_ACP);
    return CString(wide.c_str(), static_cast<int>(wide.size()));
}

bool IsMainThread()
{
    const CWinApp* app = AfxGetApp();
    return app && app->m_nThreadID == GetCurrentThreadId();
}

// Posts to the window while it exists, else to the main thread. A message that could not be
// posted leaves lParam with the caller.
bool PostResult(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == 0) return false; // message 0 would reach nobody's handler
    if (hWnd && IsWindow(hWnd)) return PostMessageW(hWnd, nMsg, wParam, lParam) != FALSE;
    const CWinApp* app = AfxGetApp();
    return app && app->m_nThreadID && PostThreadMessageW(app->m_nThreadID, nMsg, wParam, lParam) != FALSE;
}

struct EditFileJob
{
    HWND hNotify = nullptr; // the handle, not the object: the window may be gone when we post
    UINT nMsg = 0;
    WPARAM wParam = 0;
    DWORD dwThreadId = 0;
    CString strPath;
    bool bEditVerbOnly = false;
};

struct ProgramJob
{
    HWND hNotify = nullptr;
    UINT nMsg = 0;
    WPARAM wParam = 0;
    DWORD dwThreadId = 0;
    CString strCommand;
    CString strFolder;
};

DWORD FileChecksum(const CString& strPath)
{
    DWORD crc = 0;
    if (CCrcFixedTable::ComputeFileRead(strPath, crc) != NO_ERROR) return 0;
    return crc;
}

// The default value of a classes key, from the user's classes first, as the merged
// HKEY_CLASSES_ROOT view gives it (a view some systems do not offer).
CString ReadClassesDefault(const CString& strSubKey)
{
    const CString userKey = L"Software\\Classes\\" + strSubKey;
    const std::pair<HKEY, LPCWSTR> places[] = {{HKEY_CURRENT_USER, userKey}, {HKEY_CLASSES_ROOT, strSubKey}};
    for (const auto& [root, subKey] : places)
    {
        wchar_t value[1024] = {};
        DWORD size = sizeof value - sizeof(wchar_t); // REG_EXPAND_SZ comes expanded
        if (RegGetValueW(root, subKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS && value[0])
            return CString(value);
    }
    return CString();
}

CString VerbCommand(LPCWSTR szExtension, LPCWSTR szVerb)
{
    wchar_t command[1024] = {};
    DWORD length = ARRAYSIZE(command);
    if (SUCCEEDED(AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, szExtension, szVerb, command, &length)))
        return CString(command);
    const CString progId = ReadClassesDefault(szExtension);
    if (progId.IsEmpty()) return CString();
    return ReadClassesDefault(progId + L"\\shell\\" + szVerb + L"\\command");
}

CString AssociatedCommand(const CString& strPath, bool bEditVerbOnly)
{
    const LPCWSTR extension = PathFindExtensionW(strPath);
    if (!extension || !*extension) return CString();
    CString command = bEditVerbOnly ? CString() : VerbCommand(extension, L"open");
    if (command.IsEmpty()) command = VerbCommand(extension, L"edit");
    command.Replace(L"%1", strPath);
    return command;
}

CString FolderOf(const CString& strPath)
{
    const int slash = std::max(strPath.ReverseFind(L'\\'), strPath.ReverseFind(L'/'));
    return slash > 0 ? strPath.Left(slash) : CString();
}

unsigned __stdcall EditFileThreadFnct(void* pParam)
{
    std::unique_ptr<EditFileJob> job(static_cast<EditFileJob*>(pParam));
    try
    {
        CUtilities::SetThreadName(job->dwThreadId, L"EditFileThreadFnct file %s", job->strPath.GetString());
        DWORD crcBefore = 0;
        bool started = false;
        if (!job->strPath.IsEmpty())
        {
            crcBefore = FileChecksum(job->strPath);
            const CString command = AssociatedCommand(job->strPath, job->bEditVerbOnly);
            PROCESS_INFORMATION pi{};
            if (!command.IsEmpty() && StartDetached(command, FolderOf(job->strPath), pi))
            {
                started = true;
                CKernelHandle process(pi.hProcess), thread(pi.hThread);
                WaitForInputIdle(process, INFINITE);
                {
                    std::lock_guard<std::mutex> lock(Workers().lock);
                    Workers().processByWorker[job->dwThreadId] = pi.dwProcessId;
                }
                if (job->nMsg != 0) WaitForSingleObject(process, INFINITE);
                std::lock_guard<std::mutex> lock(Workers().lock);
                Workers().processByWorker.erase(job->dwThreadId);
            }
        }
        const DWORD crcAfter = job->strPath.IsEmpty() ? 0 : FileChecksum(job->strPath);
        const LPARAM changed = started && crcBefore != 0 && crcBefore == crcAfter ? 0 : 1;
        PostResult(job->hNotify, job->nMsg, job->wParam, changed);
    }
    catch (...) // a worker's failure must not end the program
    {
    }
    CUtilities::SetThreadName(job->dwThreadId, L"");
    return 0;
}

unsigned __stdcall RunProgramOnThreadFnct(void* pParam)
{
    std::unique_ptr<ProgramJob> job(static_cast<ProgramJob*>(pParam));
    try
    {
        CUtilities::SetThreadName(job->dwThreadId, L"RunProgramOnThreadFnct Cmd %s - Workdir: %s",
                                  job->strCommand.GetString(), job->strFolder.GetString());
        auto result = std::make_unique<CUtilities::ProgramResult>();
        result->m_nResult = CUtilities::RunAndCapture(job->strCommand, job->strFolder, result->m_strOutput, INFINITE);
        if (PostResult(job->hNotify, job->nMsg, job->wParam, reinterpret_cast<LPARAM>(result.get())))
            result.release(); // the receiver's now
    }
    catch (...)
    {
    }
    CUtilities::SetThreadName(job->dwThreadId, L"");
    return 0;
}

// Creates the worker suspended so that the job knows its thread id before it runs. A plain
// thread: the workers need no message loop, and nobody keeps a thread object for them.
template <class Job> DWORD StartWorker(unsigned(__stdcall* pfnWorker)(void*), std::unique_ptr<Job> job)
{
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, pfnWorker, job.get(), CREATE_SUSPENDED, &id);
    if (!handle) return 0;
    CKernelHandle thread(reinterpret_cast<HANDLE>(handle));
    job->dwThreadId = id;
    job.release(); // the worker deletes it
    ResumeThread(thread);
    return id;
}

// ---- The hidden modal wait ----

class CWaitObjectDlg
{
public:
    CWaitObjectDlg(HANDLE hObject, DWORD dwLimitMs) : m_hObject(hObject), m_dwLimitMs(dwLimitMs) {}

    INT_PTR DoModal(HWND hOwner)
    {
        // WS_POPUP, WS_EX_NOACTIVATE, no controls, at 0,0, 200 by 200 dialog units; no menu,
        // class or title. DialogBoxIndirect wants the template DWORD-aligned.
        alignas(4) WORD words[32] = {};
        auto* dlg = reinterpret_cast<DLGTEMPLATE*>(words);
        dlg->style = WS_POPUP;
        dlg->dwExtendedStyle = WS_EX_NOACTIVATE;
        dlg->cdit = 0;
        dlg->x = 0;
        dlg->y = 0;
        dlg->cx = 200;
        dlg->cy = 200;
        return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dlg, hOwner, &CWaitObjectDlg::DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG)
        {
            SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
            auto* self = reinterpret_cast<CWaitObjectDlg*>(lParam);
            self->m_dwStart = GetTickCount64();
            self->m_nTimer = SetTimer(hDlg, kWaitTimerId, 5, nullptr);
            return FALSE; // no focus to set
        }
        auto* self = reinterpret_cast<CWaitObjectDlg*>(GetWindowLongPtrW(hDlg, DWLP_USER));
        if (!self) return FALSE;
        switch (message)
        {
        case WM_WINDOWPOSCHANGING: // never shown, whoever asks
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
            return FALSE;
        case WM_TIMER:
            if (wParam == kWaitTimerId) self->OnTick(hDlg);
            return TRUE;
        default:
            return FALSE;
        }
    }

    void OnTick(HWND hDlg)
    {
        // The signal is looked at first: one that arrives in the same tick as the expiry counts.
        if (WaitForSingleObject(m_hObject, 0) == WAIT_OBJECT_0)
        {
            KillTimer(hDlg, kWaitTimerId);
            EndDialog(hDlg, 1);
        }
        else if (m_dwLimitMs != INFINITE && GetTickCount64() - m_dwStart > m_dwLimitMs)
        {
            KillTimer(hDlg, kWaitTimerId);
            EndDialog(hDlg, 2);
        }
    }

    HANDLE m_hObject;
    DWORD m_dwLimitMs;
    ULONGLONG m_dwStart = 0;
    UINT_PTR m_nTimer = 0;
};

using GetExtendedTcpTableFn = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);
} // namespace

// ---- Starting programs ----

bool CUtilities::RunCommand(LPCWSTR szCommandTemplate, LPCWSTR szArgument)
{
    const CString argument = QuoteIfBlank(szArgument);
    CString command(szCommandTemplate ? szCommandTemplate : L"");
    const int slot = command.Find(L"%s");
    if (slot >= 0)
        command = command.Left(slot) + argument + command.Mid(slot + 2);
    else if (!argument.IsEmpty())
        command += L" " + argument; // without an argument the template alone runs
    command.Trim();
    if (command.IsEmpty()) return false;
    PROCESS_INFORMATION pi{};
    if (!StartDetached(command, nullptr, pi)) return false;
    const CKernelHandle thread(pi.hThread), process(pi.hProcess); // the program runs on without us
    return true;
}

bool CUtilities::ShowInExplorer(LPCWSTR szPath)
{
    return RunCommand(L"Explorer /e,/select,%s", szPath);
}

int CUtilities::RunAndCapture(LPCWSTR szCommandLine, LPCWSTR szFolder, CString& strOutput, DWORD dwTimeoutMs)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return runNoPipe;
    CKernelHandle inheritableRead(readRaw), write(writeRaw), errorWrite, read;
    const HANDLE self = GetCurrentProcess();
    HANDLE h = nullptr;
    if (!DuplicateHandle(self, write, self, &h, 0, TRUE, DUPLICATE_SAME_ACCESS)) return runNoWriteDuplicate;
    errorWrite.Attach(h);
    if (!DuplicateHandle(self, inheritableRead.Detach(), self, &h, 0, FALSE,
                         DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE))
        return runNoReadDuplicate;
    read.Attach(h);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = write;
    si.hStdError = errorWrite;
    std::wstring line(szCommandLine ? szCommandLine : L"");
    line.push_back(L'\0');
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        szFolder && *szFolder ? szFolder : nullptr, &si, &pi))
        return runNotStarted;
    const CKernelHandle process(pi.hProcess), thread(pi.hThread);
    // Only the program holds the write ends now, so its end is the pipe's end too.
    write.Close();
    errorWrite.Close();

    const bool limited = dwTimeoutMs != INFINITE;
    const ULONGLONG deadline = GetTickCount64() + dwTimeoutMs;
    WaitForInputIdle(process, dwTimeoutMs);

    std::string bytes;
    bool ended = false, timedOut = false;
    for (;;)
    {
        const size_t before = bytes.size();
        ReadAvailable(read, bytes);
        if (ended) break;
        // A program that writes much fills the pipe; while it does, read again at once.
        const DWORD pause = bytes.size() > before ? 0 : 100;
        ended = WaitForSingleObject(process, pause) == WAIT_OBJECT_0;
        if (!ended && limited && GetTickCount64() > deadline)
        {
            timedOut = true;
            break;
        }
    }
    // The first block decides for the whole output.
    const bool unicode =
        !bytes.empty() &&
        IsTextUnicode(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), kReadBlock)), nullptr);
    strOutput = OutputText(bytes, unicode);
    if (timedOut) return runTimedOut;
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode) || exitCode >= kExceptionExitCodes) return runNoExitCode;
    return static_cast<int>(exitCode);
}

int CUtilities::RunSelf(LPCWSTR szArguments, CString& strOutput, DWORD dwTimeoutMs)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return runNotStarted;
        if (n < path.size())
        {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const CString command = L"\"" + CString(path.c_str()) + L"\" " + CString(szArguments ? szArguments : L"");
    return RunAndCapture(command, nullptr, strOutput, dwTimeoutMs);
}

DWORD CUtilities::RunProgramOnThread(LPCWSTR szCommandLine, LPCWSTR szFolder, CWnd* pNotifyWnd, UINT nMsg,
                                     WPARAM wParam)
{
    auto job = std::make_unique<ProgramJob>();
    job->hNotify = AfxGetSafeHwnd(pNotifyWnd);
    job->nMsg = nMsg;
    job->wParam = wParam;
    job->strCommand = szCommandLine ? szCommandLine : L"";
    job->strFolder = szFolder ? szFolder : L"";
    return StartWorker(&RunProgramOnThreadFnct, std::move(job));
}

DWORD CUtilities::EditFileOnThread(LPCWSTR szPath, CWnd* pNotifyWnd, UINT nMsg, WPARAM wParam)
{
    return EditFileOnThread(szPath, false, pNotifyWnd, nMsg, wParam);
}

DWORD CUtilities::EditFileOnThread(LPCWSTR szPath, bool bEditVerbOnly, CWnd* pNotifyWnd, UINT nMsg, WPARAM wParam)
{
    auto job = std::make_unique<EditFileJob>();
    job->hNotify = AfxGetSafeHwnd(pNotifyWnd);
    job->nMsg = nMsg;
    job->wParam = wParam;
    job->strPath = szPath ? szPath : L"";
    job->bEditVerbOnly = bEditVerbOnly;
    return StartWorker(&EditFileThreadFnct, std::move(job));
}

// ---- Processes and threads ----

bool CUtilities::CloseProcess(DWORD dwProcessId, bool bTerminate, DWORD dwWaitMs)
{
    CKernelHandle process(OpenProcess(SYNCHRONIZE | (bTerminate ? PROCESS_TERMINATE : 0), FALSE, dwProcessId));
    if (!process) return false;
    EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(hWnd, &owner);
            if (owner == static_cast<DWORD>(lParam)) PostMessageW(hWnd, WM_CLOSE, 0, 0);
            return TRUE;
        },
        static_cast<LPARAM>(dwProcessId));
    if (!bTerminate) return true;
    if (WaitForSingleObject(process, dwWaitMs) == WAIT_OBJECT_0) return true;
    return TerminateProcess(process, 0) != FALSE;
}

bool CUtilities::CloseWorkerProcess(DWORD dwWorkerThreadId, bool bTerminate, DWORD dwWaitMs)
{
    DWORD processId = 0;
    {
        std::lock_guard<std::mutex> lock(Workers().lock);
        const auto found = Workers().processByWorker.find(dwWorkerThreadId);
        if (found == Workers().processByWorker.end()) return false;
        processId = found->second;
    }
    return CloseProcess(processId, bTerminate, dwWaitMs);
}

CString CUtilities::GetProcessFileName(DWORD dwProcessId)
{
    if (dwProcessId == 0) return CString();
    CKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId));
    if (!process) return CString();
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = ARRAYSIZE(path);
    if (!QueryFullProcessImageNameW(process, 0, path, &length)) return CString();
    return CString(path, static_cast<int>(length));
}

bool CUtilities::GetProcessUser(DWORD dwProcessId, CString& strUser, CString& strDomain)
{
    CKernelHandle opened;
    HANDLE process = GetCurrentProcess(); // a pseudo handle: never closed
    if (dwProcessId != 0)
    {
        opened.Attach(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId));
        if (!opened) return false;
        process = opened;
    }
    HANDLE tokenRaw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &tokenRaw)) return false;
    CKernelHandle token(tokenRaw);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t name[1024] = {}, domain[1024] = {};
    DWORD nameLength = ARRAYSIZE(name), domainLength = ARRAYSIZE(domain);
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, user->User.Sid, name, &nameLength, domain, &domainLength, &use)) return false;
    strUser = name;
    strDomain = domain;
    return true;
}

DWORD CUtilities::GetTcpPortOwner(DWORD dwLocalPort)
{
    const CLibraryHandle library(LoadLibraryW(L"iphlpapi.dll"));
    if (!library.IsValid()) return 0;
    // Through void (*)(), the generic function pointer that GCC lets convert to any signature.
    const auto getTable = reinterpret_cast<GetExtendedTcpTableFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "GetExtendedTcpTable")));
    if (!getTable) return 0;
    DWORD size = 0;
    if (getTable(nullptr, &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0) != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    std::vector<BYTE> buffer(size);
    if (getTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0) != NO_ERROR) return 0;
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        if (table->table[i].dwLocalPort == dwLocalPort) return table->table[i].dwOwningPid;
    return 0;
}

bool CUtilities::IsThreadRunning(DWORD dwThreadId)
{
    CKernelHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, dwThreadId));
    DWORD exitCode = 0;
    return thread && GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE;
}

// ---- Waiting ----

bool CUtilities::WaitForObject(HANDLE hObject, DWORD dwSeconds)
{
    const ULONGLONG limitMs = static_cast<ULONGLONG>(dwSeconds) * 1000;
    if (!IsMainThread())
    {
        const DWORD wait =
            dwSeconds == INFINITE ? INFINITE : static_cast<DWORD>(std::min<ULONGLONG>(limitMs, INFINITE - 1));
        return WaitForSingleObject(hObject, wait) == WAIT_OBJECT_0;
    }
    if (dwSeconds == 0) return WaitForSingleObject(hObject, 0) == WAIT_OBJECT_0;

    const bool unlimited = dwSeconds == INFINITE;
    const ULONGLONG maxSteps =
        unlimited ? ~0ULL : std::min<ULONGLONG>(static_cast<ULONGLONG>(dwSeconds) * 10, 2147483647);
    const ULONGLONG deadline = unlimited ? ~0ULL : GetTickCount64() + limitMs;
    CWinApp* app = AfxGetApp();
    for (ULONGLONG step = 0; step < maxSteps; ++step)
    {
        const DWORD result = WaitForSingleObject(hObject, 100);
        if (result != WAIT_TIMEOUT) return result == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        {
            if (!app->PumpMessage())
            {
                PostQuitMessage(static_cast<int>(app->m_msgCur.wParam)); // the loop above us must see it too
                return WaitForSingleObject(hObject, 0) == WAIT_OBJECT_0;
            }
            if (GetTickCount64() > deadline) return WaitForSingleObject(hObject, 0) == WAIT_OBJECT_0;
        }
        if (GetTickCount64() > deadline) return WaitForSingleObject(hObject, 0) == WAIT_OBJECT_0;
    }
    return false;
}

bool CUtilities::WaitForObjectModal(HANDLE hObject, DWORD dwSeconds)
{
    const DWORD limitMs =
        dwSeconds == INFINITE
            ? INFINITE
            : static_cast<DWORD>(std::min<ULONGLONG>(static_cast<ULONGLONG>(dwSeconds) * 1000, INFINITE - 1));
    CWaitObjectDlg dialog(hObject, limitMs);
    return dialog.DoModal(AfxGetSafeHwnd(AfxGetMainWnd())) == 1;
}

// ---- Thread names ----

void CUtilities::SetThreadName(DWORD dwThreadId, LPCWSTR szFormat, ...)
{
    CString name;
    va_list args;
    va_start(args, szFormat);
    name.FormatV(szFormat ? szFormat : L"", args);
    va_end(args);
    {
        ThreadNames& names = Names();
        std::lock_guard<std::mutex> lock(names.lock);
        if (name.IsEmpty())
        {
            names.names.erase(dwThreadId);
            return;
        }
        const auto found = names.names.find(dwThreadId);
        if (found != names.names.end() && found->second == name) return;
        names.names[dwThreadId] = name;
    }
    ReportThreadNameToDebugger(dwThreadId, name);
}

CString CUtilities::GetThreadDisplayName(DWORD dwThreadId)
{
    CString name;
    {
        ThreadNames& names = Names();
        std::lock_guard<std::mutex> lock(names.lock);
        const auto found = names.names.find(dwThreadId);
        if (found != names.names.end()) name = found->second;
    }
    CString text;
    if (name.IsEmpty())
        text.Format(L"Thread ID %lu", static_cast<unsigned long>(dwThreadId));
    else
        text.Format(L"%s (Thread ID %lu)", name.GetString(), static_cast<unsigned long>(dwThreadId));
    return text;
}

void CUtilities::SetThreadNameReportForTest(ThreadNameReport pfnReport)
{
    g_pfnThreadNameReportForTest = pfnReport;
}

void CUtilities::ClearThreadNames()
{
    ThreadNames& names = Names();
    std::lock_guard<std::mutex> lock(names.lock);
    names.names.clear();
}

// ---- Accounts ----

DWORD CUtilities::GetPrimaryDomain(CString& strName, bool& bWorkgroup)
{
    CString computer;
    {
        CNetApiMemory<WKSTA_INFO_100> info;
        const NET_API_STATUS status = NetWkstaGetInfo(nullptr, 100, reinterpret_cast<LPBYTE*>(info.Receive()));
        if (status != NERR_Success) return status;
        computer = info.Get()->wki100_computername ? info.Get()->wki100_computername : L"";
    }

    CLsaMemory<POLICY_PRIMARY_DOMAIN_INFO> domain;
    {
        LSA_OBJECT_ATTRIBUTES attributes{};
        CLsaPolicy policy;
        NTSTATUS nt = LsaOpenPolicy(nullptr, &attributes, POLICY_VIEW_LOCAL_INFORMATION, policy.Receive());
        if (nt != 0) return LsaNtStatusToWinError(nt);
        nt = LsaQueryInformationPolicy(policy, PolicyPrimaryDomainInformation,
                                       reinterpret_cast<PVOID*>(domain.Receive()));
        if (nt != 0) return LsaNtStatusToWinError(nt);
    }
    const CString name(domain.Get()->Name.Buffer ? domain.Get()->Name.Buffer : L"",
                       domain.Get()->Name.Length / sizeof(WCHAR));
    const bool hasDomainSid = domain.Get()->Sid != nullptr;

    if (hasDomainSid)
    {
        strName = name;
        bWorkgroup = false;
    }
    else if (name.CompareNoCase(computer) == 0)
    {
        strName = name;
        bWorkgroup = true;
    }
    else
    {
        strName.Empty();
    }
    return 0;
}
