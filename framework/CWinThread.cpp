#include "framework/CWinThread.h"
#include "framework/CHandleOwner.h"
#include "framework/CException.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include <process.h>
#include <cwchar>

namespace
{
thread_local CWinThread* t_pThread = nullptr;
// Plain data only (see AfxRegisterThreadCleanup): no per-thread destructors.
constexpr int kMaxThreadCleanups = 8;
thread_local void (*t_cleanups[kMaxThreadCleanups])() = {};
thread_local int t_nCleanups = 0;

void RunThreadCleanups()
{
    while (t_nCleanups > 0)
        t_cleanups[--t_nCleanups]();
}
} // namespace

void AfxRegisterThreadCleanup(void (*pfnCleanup)())
{
    for (int i = 0; i < t_nCleanups; ++i)
        if (t_cleanups[i] == pfnCleanup) return;
    if (t_nCleanups < kMaxThreadCleanups) t_cleanups[t_nCleanups++] = pfnCleanup;
}

CWinThread* AfxGetThread()
{
    return t_pThread;
}

// Lets CWinApp make the constructing thread its own without a thread entry.
void AfxSetCurrentThread(CWinThread* pThread)
{
    t_pThread = pThread;
}

void AfxPostQuitMessage(int nExitCode)
{
    ::PostQuitMessage(nExitCode);
}

LRESULT AfxProcessWndProcException(CException* e, const MSG* pMsg)
{
    wchar_t why[256] = L"";
    if (e)
    {
        e->GetErrorMessage(why, 256);
        e->Delete();
    }
    wchar_t text[400];
    swprintf(text, 400, L"Exception in the handler of message 0x%04X (window %p): %ls; message ignored\n",
             pMsg ? pMsg->message : 0u, pMsg ? static_cast<void*>(pMsg->hwnd) : nullptr, why);
    ::OutputDebugStringW(text);
    if (pMsg && pMsg->message == WM_CREATE) return -1;                          // the window is not created
    if (pMsg && pMsg->message == WM_PAINT) ::ValidateRect(pMsg->hwnd, nullptr); // else it repaints forever
    return 0;
}

CWnd* AfxGetMainWnd()
{
    CWinThread* pThread = AfxGetThread();
    return pThread ? pThread->GetMainWnd() : nullptr;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    if (CWinThread* pThread = AfxGetThread()) return pThread->PreTranslateMessage(pMsg);
    return pMsg->hwnd ? CWnd::WalkPreTranslateTree(nullptr, pMsg) : FALSE;
}

BOOL AfxPumpPendingMessages(UINT nFirst, UINT nLast, bool* pAny)
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, nFirst, nLast, PM_REMOVE))
    {
        if (pAny) *pAny = true;
        if (msg.message == WM_QUIT)
        {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return FALSE;
        }
        if (!AfxPreTranslateMessage(&msg))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return TRUE;
}

BOOL AfxPumpMessage()
{
    if (CWinThread* pThread = AfxGetThread()) return pThread->PumpMessage();
    MSG msg;
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) return FALSE;
    if (!AfxPreTranslateMessage(&msg))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return TRUE;
}

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

// ---- CWinThread ----------------------------------------------------------------------------

CWinThread::CWinThread() = default;

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
}

CWinThread::~CWinThread()
{
    if (t_pThread == this) t_pThread = nullptr;
    CKernelHandle(m_hThread).Close(); // keeps the error our owner may be about to report
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    if (m_hThread)
    {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    m_hStarted.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hStarted.IsValid()) return FALSE;
    // Always suspended at first: m_hThread and m_nThreadID must be set before the thread can end.
    unsigned id = 0;
    const uintptr_t h =
        ::_beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this, CREATE_SUSPENDED, &id);
    if (!h)
    {
        const DWORD lastError = ::GetLastError();
        m_hStarted.Close();
        ::SetLastError(lastError ? lastError : ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = id;
    if (!(dwCreateFlags & CREATE_SUSPENDED)) ResumeThread();
    return TRUE;
}

DWORD CWinThread::ResumeThread()
{
    // Our own copy of the start event: an auto-deleting thread may end, and close the object's
    // handle, before the wait below begins.
    CKernelHandle started;
    if (!m_bResumed && m_hStarted.IsValid())
    {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), m_hStarted, ::GetCurrentProcess(), &copy, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        started.Attach(copy);
    }
    m_bResumed = true;
    const DWORD previous = ::ResumeThread(m_hThread);
    if (started.IsValid()) ::WaitForSingleObject(started, INFINITE);
    return previous;
}

unsigned __stdcall CWinThread::ThreadEntry(void* p)
{
    auto* pThread = static_cast<CWinThread*>(p);
    const HMODULE hHeldLibrary = pThread->m_hHeldLibrary; // the object may be gone at the end
    t_pThread = pThread;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // creates the message queue
    ::SetEvent(pThread->m_hStarted);
    // Until the thread sets a main window of its own, AfxGetMainWnd() on it answers the
    // application's main window, as code running on any thread expects. The wrapper only borrows
    // the handle; it is not in any handle map, so the window's messages never come to it.
    CWnd* pInherited = nullptr;
    if (CWinApp* pApp = AfxGetApp(); pApp && pApp != pThread && !pThread->m_pMainWnd)
        if (HWND hMain = AfxGetSafeHwnd(pApp->m_pMainWnd))
        {
            pInherited = new CWnd;
            pInherited->m_hWnd = hMain;
            pThread->m_pMainWnd = pInherited;
        }
    UINT result = 0;
    try // nothing escapes a thread of ours
    {
        if (pThread->m_pfnThreadProc)
            result = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
        else if (!pThread->InitInstance())
            result = static_cast<UINT>(pThread->ExitInstance());
        else
            result = static_cast<UINT>(pThread->Run());
    }
    catch (CException* e)
    {
        ::OutputDebugStringW(L"Exception escaped a thread; the thread ends\n");
        e->Delete(); // thrown as a heap pointer: nobody else will free it
        result = static_cast<UINT>(-1);
    }
    catch (...)
    {
        ::OutputDebugStringW(L"Exception escaped a thread; the thread ends\n");
        result = static_cast<UINT>(-1);
    }
    CWnd::DeleteTempMap();
    if (pInherited)
    {
        if (pThread->m_pMainWnd == pInherited) pThread->m_pMainWnd = nullptr;
        pInherited->m_hWnd = nullptr; // borrowed: never destroyed by its wrapper
        delete pInherited;
    }
    t_pThread = nullptr;
    pThread->Delete();
    RunThreadCleanups();
    // The code that frees the library must not be the library's: the system call ends the thread.
    if (hHeldLibrary) ::FreeLibraryAndExitThread(hHeldLibrary, result);
    return result;
}

void CWinThread::Delete()
{
    if (m_bAutoDelete) delete this;
}

BOOL CWinThread::InitInstance()
{
    return FALSE; // a user-interface thread overrides it
}

int CWinThread::ExitInstance()
{
    return static_cast<int>(m_msgCur.wParam);
}

CWnd* CWinThread::GetMainWnd()
{
    return m_pMainWnd;
}

BOOL CWinThread::OnIdle(LONG lCount)
{
    if (lCount <= 0) CWnd::DeleteTempMap();
    return FALSE;
}

BOOL CWinThread::IsIdleMessage(MSG* pMsg)
{
    // Timers, paints and mouse moves at the same place come all the time: they do not end idleness.
    static thread_local POINT lastPos{-1, -1};
    static thread_local UINT lastMsg = 0;
    if (pMsg->message == WM_MOUSEMOVE || pMsg->message == WM_NCMOUSEMOVE)
    {
        if (pMsg->pt.x == lastPos.x && pMsg->pt.y == lastPos.y && pMsg->message == lastMsg) return FALSE;
        lastPos = pMsg->pt;
        lastMsg = pMsg->message;
        return TRUE;
    }
    return pMsg->message != WM_PAINT && pMsg->message != 0x0118 /* WM_SYSTIMER, the caret blink */;
}

BOOL CWinThread::PumpMessage()
{
    const BOOL got = ::GetMessageW(&m_msgCur, nullptr, 0, 0);
    if (got == 0 || got == -1) return FALSE; // WM_QUIT (or a broken queue: stop rather than spin)
    // PreTranslateMessage overrides do work of their own (a thread's work items): an exception
    // there is reported as one of a window procedure, and the loop goes on with the next message.
    try
    {
        if (!PreTranslateMessage(&m_msgCur))
        {
            ::TranslateMessage(&m_msgCur);
            ::DispatchMessageW(&m_msgCur);
        }
    }
    catch (CException* e)
    {
        ProcessWndProcException(e, &m_msgCur);
    }
    catch (...)
    {
        ProcessWndProcException(nullptr, &m_msgCur);
    }
    return TRUE;
}

int CWinThread::Run()
{
    bool idle = true;
    LONG idleCount = 0;
    for (;;)
    {
        while (idle && !::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE))
            if (!OnIdle(idleCount++)) idle = false;
        do
        {
            if (!PumpMessage()) return ExitInstance();
            if (IsIdleMessage(&m_msgCur))
            {
                idle = true;
                idleCount = 0;
            }
        } while (::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE));
    }
}

BOOL CWinThread::DispatchThreadMessageEx(MSG* pMsg)
{
    // Messages of the WM_USER+ range and registered ones only: WM_TIMER without a window and the
    // like are the system's.
    if (pMsg->message < WM_USER) return FALSE;
    // A thread message has no window procedure around it: this is its exception boundary.
    try
    {
        return DispatchMessageEntry(pMsg->message, pMsg->wParam, pMsg->lParam, nullptr);
    }
    catch (CException* e)
    {
        ProcessWndProcException(e, pMsg);
    }
    catch (...)
    {
        ProcessWndProcException(nullptr, pMsg);
    }
    return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg)
{
    if (!pMsg->hwnd) return DispatchThreadMessageEx(pMsg);
    return CWnd::WalkPreTranslateTree(AfxGetSafeHwnd(GetMainWnd()), pMsg);
}

BOOL CWinThread::ProcessMessageFilter(int /*code*/, LPMSG /*lpMsg*/)
{
    return FALSE;
}

LRESULT CWinThread::ProcessWndProcException(CException* e, const MSG* pMsg)
{
    return AfxProcessWndProcException(e, pMsg);
}

BEGIN_MESSAGE_MAP(CWinThread, CCmdTarget)
END_MESSAGE_MAP()

// ---- AfxBeginThread ------------------------------------------------------------------------

namespace
{
CWinThread* StartThread(CWinThread* pThread, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                        LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
    {
        const DWORD lastError = ::GetLastError();
        pThread->m_bAutoDelete = TRUE;
        pThread->Delete();
        ::SetLastError(lastError);
        return nullptr;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) pThread->ResumeThread();
    return pThread;
}
} // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    return StartThread(new CWinThread(pfnThreadProc, pParam), nPriority, nStackSize, dwCreateFlags, lpSecurityAttrs);
}

CWinThread* AfxBeginThread(const CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CObject* pObject = pThreadClass ? pThreadClass->CreateObject() : nullptr;
    auto* pThread =
        pObject && pObject->IsKindOf(RUNTIME_CLASS(CWinThread)) ? static_cast<CWinThread*>(pObject) : nullptr;
    if (!pThread)
    {
        delete pObject;
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return StartThread(pThread, nPriority, nStackSize, dwCreateFlags, lpSecurityAttrs);
}

CWinThread* AfxBeginThread(CWinThread* pThread, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    return StartThread(pThread, nPriority, nStackSize, dwCreateFlags, lpSecurityAttrs);
}
