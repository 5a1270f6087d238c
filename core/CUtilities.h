#pragma once
// The library's static system helpers. The members live in two source files by theme:
// CUtilitiesFiles.cpp (shell, files, clipboard, monitors, buffers, GUIDs) and
// CUtilitiesProcesses.cpp (programs, processes and threads).
#include "framework/CArray.h"
#include "framework/CObject.h"
#include "framework/CRect.h"
#include "framework/CString.h"
#include <commctrl.h>

class CWnd;

class CUtilities : public CObject
{
public:
    virtual ~CUtilities() = default;

    // ---- Shell, files and buffers (CUtilitiesFiles.cpp) ----

    // A file name is only looked at for its type: nothing needs to exist under it.
    // The shell's shared system image list (never destroyed by us); null when the Windows folder
    // cannot be read.
    static HIMAGELIST GetSystemImageList(BOOL bSmall);
    static int GetFileIconIndex(LPCWSTR szFileName, BOOL bSmall);
    static HICON GetFileIcon(LPCWSTR szFileName, BOOL bSmall); // the caller destroys the icon
    static HICON GetFolderIcon(BOOL bSmall);                   // the caller destroys the icon
    static CString GetFileTypeName(LPCWSTR szFileName);
    static int GetStockIconIndex(int nStockIconId, BOOL bSmall); // -1 when Shell32.dll does not load

    static bool FileExists(LPCWSTR szPath);
    static bool FolderExists(LPCWSTR szPath);
    // UNICODE makes this CopyFileW, as it does for every caller that includes <windows.h>.
    static bool CopyFile(LPCWSTR szSource, LPCWSTR szDestination);
    static bool CopyFolder(LPCWSTR szSourceFolder, LPCWSTR szDestinationFolder); // the contents
    static bool DeleteFolder(LPCWSTR szFolder);                                  // contents and folder
    static bool CreateFolderPath(LPCWSTR szPath);
    // The path created, or the path followed by the suffix with the first free number 1 to 99
    // (the suffix holds the number's placeholder, such as L" (%d)"); empty on failure.
    static CString CreateNewFolder(LPCWSTR szPath, LPCWSTR szSuffixFormat);
    // Changes the path to "name (n).ext" for a free n when the file exists; returns the path.
    static CString MakeUniqueFileName(CString& strPath);

    static CString GetClipboardText();
    static void SetClipboardText(LPCWSTR szText);

    static int EnumMonitors(CArray<HMONITOR, HMONITOR>& monitors); // -1 when enumeration fails
    static bool GetMonitorRects(HMONITOR hMonitor, CRect& rcWork, CRect& rcMonitor);
    static bool GetMonitorRectsFromPoint(POINT pt, CRect& rcWork, CRect& rcMonitor);

    // The buffer as a zip archive with one entry "data" (level 8), or the first entry of a zip
    // archive. The new buffer comes from malloc or new[] as bUseMalloc says; bFreeOld frees the
    // old one with the same family. On failure nothing changes and the result is false.
    static bool ZipBuffer(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld, bool bUseMalloc);
    static bool UnzipBuffer(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld, bool bUseMalloc);
    // Runs of 2 to 255 equal bytes b become b, b, count. New buffers come from new[]; bFreeOld
    // deletes the old one with delete[].
    static void CompressRunLength(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld);
    static void ExpandRunLength(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld);

    static CString CreateGuidString(); // lower case with hyphens, no braces; empty on failure

    // ---- end of shell, files and buffers ----

    // ---- Programs, processes and threads (CUtilitiesProcesses.cpp) ----

    // RunAndCapture results other than the program's exit code
    enum : int
    {
        runNoPipe = -2,
        runNoWriteDuplicate = -3,
        runNoReadDuplicate = -4,
        runNotStarted = -5,
        runTimedOut = -6,   // the program is left running
        runNoExitCode = -7, // or it ended by an exception (exit code 0xC0000000 or higher)
    };
    // The lParam of RunProgramOnThread's message; the receiver deletes it.
    struct ProgramResult
    {
        int m_nResult = 0; // as RunAndCapture's
        CString m_strOutput;
    };

    // The first "%s" of the template takes the argument (quoted when it holds a blank); without
    // one the argument follows the template after a blank. Nothing waits for the program.
    static bool RunCommand(LPCWSTR szCommandTemplate, LPCWSTR szArgument);
    static bool ShowInExplorer(LPCWSTR szPath);
    // Standard output and error as text (UTF-16 when the output looks like it, else the thread's
    // ANSI code page). An empty folder runs in the current one; INFINITE: no time limit.
    static int RunAndCapture(LPCWSTR szCommandLine, LPCWSTR szFolder, CString& strOutput, DWORD dwTimeoutMs);
    static int RunSelf(LPCWSTR szArguments, CString& strOutput, DWORD dwTimeoutMs);
    // Worker threads that report by posting nMsg (with wParam) to the window while it exists,
    // else to the application's main thread. The result is the worker's thread id, 0 on failure.
    static DWORD RunProgramOnThread(LPCWSTR szCommandLine, LPCWSTR szFolder, CWnd* pNotifyWnd, UINT nMsg,
                                    WPARAM wParam);
    // lParam 0: the file was not changed by its program; 1: changed, unreadable or not opened.
    // Without a message the worker does not wait for the program.
    static DWORD EditFileOnThread(LPCWSTR szPath, CWnd* pNotifyWnd, UINT nMsg, WPARAM wParam);
    static DWORD EditFileOnThread(LPCWSTR szPath, bool bEditVerbOnly, CWnd* pNotifyWnd, UINT nMsg, WPARAM wParam);

    // Posts WM_CLOSE to the process's top-level windows; with bTerminate, ends it after dwWaitMs.
    static bool CloseProcess(DWORD dwProcessId, bool bTerminate, DWORD dwWaitMs);
    // The program an EditFileOnThread worker is running; false when there is none.
    static bool CloseWorkerProcess(DWORD dwWorkerThreadId, bool bTerminate, DWORD dwWaitMs);
    static CString GetProcessFileName(DWORD dwProcessId);
    static bool GetProcessUser(DWORD dwProcessId, CString& strUser, CString& strDomain); // 0: this process
    static DWORD GetTcpPortOwner(DWORD dwLocalPort); // port in network byte order; 0: none
    static bool IsThreadRunning(DWORD dwThreadId);

    // On the application's main thread the wait keeps its messages flowing. INFINITE: no limit.
    static bool WaitForObject(HANDLE hObject, DWORD dwSeconds);
    // A hidden modal dialog waits; its owner stays disabled meanwhile.
    static bool WaitForObjectModal(HANDLE hObject, DWORD dwSeconds);

    // Also tells an attached debugger. An empty name forgets the thread's name.
    static void SetThreadName(DWORD dwThreadId, LPCWSTR szFormat, ...);
    static CString GetThreadDisplayName(DWORD dwThreadId);
    static void ClearThreadNames();
    // Test seam: new names go to this function instead of a debugger (null: the debugger again).
    using ThreadNameReport = void (*)(DWORD dwThreadId, LPCSTR szName);
    static void SetThreadNameReportForTest(ThreadNameReport pfnReport);
    // The domain (bWorkgroup cleared) or, when the workgroup is named like the computer, the
    // workgroup (bWorkgroup set); otherwise empty. 0 or the Windows error of the failed call.
    static DWORD GetPrimaryDomain(CString& strName, bool& bWorkgroup);

    // ---- end of programs, processes and threads ----
};
