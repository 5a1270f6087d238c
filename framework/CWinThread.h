#pragma once
#include "framework/CCmdTarget.h"
#include "framework/CHandleOwner.h"
// CWinThread: a thread of ours, either a worker (a function) or a user-interface thread (a
// derived class whose InitInstance/Run/ExitInstance drive its own message loop).
//
// A user-interface thread's loop walks PreTranslateMessage for every message and dispatches
// thread messages (hwnd null) through its message map (ON_THREAD_MESSAGE). The object deletes
// itself when the thread ends unless m_bAutoDelete is cleared (set it before the thread can end:
// create suspended, clear, resume).

class CWnd;
class CException;

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

class CWinThread : public CCmdTarget
{
    DECLARE_DYNAMIC(CWinThread)

public:
    CWinThread();                                            // a user-interface thread
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam); // a worker thread
    ~CWinThread() override;                                  // closes the thread handle (never waits)

    // Starts the thread. Unless suspended, returns once the thread has a message queue, so
    // PostThreadMessage works at once. FALSE with GetLastError() set on failure.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
    DWORD ResumeThread(); // the first resume also waits for the message queue
    DWORD SuspendThread() { return ::SuspendThread(m_hThread); }
    int GetThreadPriority() const { return ::GetThreadPriority(m_hThread); }
    BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return ::PostThreadMessageW(m_nThreadID, message, wParam, lParam);
    }
    operator HANDLE() const noexcept { return m_hThread; }

    // Overridables of a user-interface thread.
    virtual BOOL InitInstance(); // FALSE ends the thread after ExitInstance
    virtual int ExitInstance();  // the thread's exit code (WM_QUIT's wParam by default)
    virtual int Run();           // the message loop with idle processing
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // A look at a message that a modal loop of the system (dialog box, menu) pumps itself; code
    // is the message-filter hook's. TRUE would take the message. No hook calls it yet, so the
    // default takes nothing.
    virtual BOOL ProcessMessageFilter(int code, LPMSG lpMsg);
    virtual BOOL PumpMessage();       // FALSE on WM_QUIT
    virtual BOOL OnIdle(LONG lCount); // TRUE asks for more idle time
    virtual BOOL IsIdleMessage(MSG* pMsg);
    // A handler let an exception escape. e is the framework exception (already owned by this
    // call, which deletes it) or null for any other exception. The result is the message's.
    virtual LRESULT ProcessWndProcException(CException* e, const MSG* pMsg);
    virtual void Delete(); // deletes the object when m_bAutoDelete is set
    virtual CWnd* GetMainWnd();

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;
    CWnd* m_pMainWnd = nullptr; // destroying it ends this thread's loop; starts as the app's (borrowed)
    CWnd* m_pActiveWnd = nullptr;
    MSG m_msgCur{};
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;
    // A library reference (from GetModuleHandleEx) that the thread gives back with its last
    // instruction, FreeLibraryAndExitThread: a library whose code the thread runs stays mapped until
    // the thread is gone. Set before the thread is resumed; the thread owns it from then on.
    HMODULE m_hHeldLibrary = nullptr;

protected:
    BOOL DispatchThreadMessageEx(MSG* pMsg);
    DECLARE_MESSAGE_MAP()

private:
    static unsigned __stdcall ThreadEntry(void* pThread);
    friend class CWinApp;
    CKernelHandle m_hStarted; // signalled once the new thread has its message queue
    bool m_bResumed = false;
};

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
// A user-interface thread of a dynamically creatable class (DECLARE_DYNCREATE) derived from CWinThread.
CWinThread* AfxBeginThread(const CRuntimeClass* pThreadClass, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
// A user-interface thread of an object already built (the object is the thread's and, with
// m_bAutoDelete, deleted when it ends). Null (object deleted) when the thread cannot start.
CWinThread* AfxBeginThread(CWinThread* pThread, int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
// The CWinThread of the calling thread, or null for a thread that is not ours.
CWinThread* AfxGetThread();
void AfxPostQuitMessage(int nExitCode);
// Registers a function that frees per-thread state when the calling thread ends (threads of ours
// run them at their end; the main thread's state lives until the process ends).
void AfxRegisterThreadCleanup(void (*pfnCleanup)());

// The report of an escaped exception when the thread has no CWinThread (same as the default hook).
LRESULT AfxProcessWndProcException(CException* e, const MSG* pMsg);
