#include "core/CTimeChangeWnd.h"
#include "core/CTimeTools.h"
#include "framework/CSingleLock.h"
#include <vector>

CTimeChangeWnd::CTimeChangeWnd() = default;

CTimeChangeWnd::~CTimeChangeWnd()
{
    m_windows.RemoveAll();
    m_threads.RemoveAll();
    // A window of another thread cannot be destroyed from here; the process takes it with it.
    if (m_hWnd && GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId()) DestroyWindow();
}

CTimeChangeWnd& CTimeChangeWnd::GetInstance()
{
    static CTimeChangeWnd instance;
    return instance;
}

void CTimeChangeWnd::RegisterListener(HWND hWnd, DWORD dwThreadId, UINT nMsg)
{
    CSingleLock lock(&m_lock, TRUE);
    if (nMsg != 0) CreateIfNeeded();
    if (hWnd)
    {
        if (IsWindow(hWnd) && nMsg != 0)
            m_windows.SetAt(hWnd, nMsg);
        else
            m_windows.RemoveKey(hWnd);
    }
    else if (dwThreadId)
    {
        if (nMsg != 0)
            m_threads.SetAt(dwThreadId, nMsg);
        else
            m_threads.RemoveKey(dwThreadId);
    }
    DestroyIfUnused();
}

void CTimeChangeWnd::SetCallback(Callback pfnCallback)
{
    CSingleLock lock(&m_lock, TRUE);
    if (pfnCallback) CreateIfNeeded();
    m_pfnCallback = pfnCallback;
    DestroyIfUnused();
}

BOOL CTimeChangeWnd::IsCreated()
{
    CSingleLock lock(&m_lock, TRUE);
    return m_bCreated;
}

INT_PTR CTimeChangeWnd::GetListenerCount()
{
    CSingleLock lock(&m_lock, TRUE);
    return m_windows.GetCount() + m_threads.GetCount();
}

void CTimeChangeWnd::CreateIfNeeded()
{
    if (m_bCreated) return;
    // No style bits: never visible. A failure leaves us deaf until a later registration.
    m_bCreated = CreateEx(0, AfxRegisterWndClass(0), L"CTimeChangeWnd", 0, 0, 0, 0, 0, nullptr, nullptr);
}

void CTimeChangeWnd::DestroyIfUnused()
{
    if (!m_bCreated || m_pfnCallback || m_windows.GetCount() != 0 || m_threads.GetCount() != 0) return;
    // Only the window's own thread can destroy it. From any other thread it stays, idle, and is
    // used again by the next registration.
    if (GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) return;
    DestroyWindow();
    m_bCreated = FALSE;
}

LRESULT CTimeChangeWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMECHANGE)
    {
        SetTimer(kSettleTimerId, kSettleMs, nullptr); // restarts a running one: a burst is answered once
    }
    else if (message == WM_TIMER)
    {
        KillTimer(kSettleTimerId);
        CTimeTools::UpdateTimeZoneInfo();
        Callback callback = nullptr;
        {
            CSingleLock lock(&m_lock, TRUE);
            callback = m_pfnCallback;
        }
        if (callback) callback();
        NotifyListeners();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CTimeChangeWnd::NotifyListeners()
{
    CSingleLock lock(&m_lock, TRUE);
    std::vector<HWND> goneWindows;
    std::vector<DWORD> goneThreads;
    POSITION pos = m_windows.GetStartPosition();
    while (pos)
    {
        HWND hWnd = nullptr;
        UINT nMsg = 0;
        m_windows.GetNextAssoc(pos, hWnd, nMsg);
        if (!::PostMessageW(hWnd, nMsg, 0, 0) && GetLastError() == ERROR_INVALID_WINDOW_HANDLE)
            goneWindows.push_back(hWnd);
    }
    pos = m_threads.GetStartPosition();
    while (pos)
    {
        DWORD dwThreadId = 0;
        UINT nMsg = 0;
        m_threads.GetNextAssoc(pos, dwThreadId, nMsg);
        // Wine says ERROR_INVALID_PARAMETER for an id whose thread is gone entirely.
        if (!::PostThreadMessageW(dwThreadId, nMsg, 0, 0) &&
            (GetLastError() == ERROR_INVALID_THREAD_ID || GetLastError() == ERROR_INVALID_PARAMETER))
            goneThreads.push_back(dwThreadId);
    }
    for (HWND hWnd : goneWindows)
        m_windows.RemoveKey(hWnd);
    for (DWORD id : goneThreads)
        m_threads.RemoveKey(id);
}

// ---- The time tools' entries ----

BOOL CTimeTools::RegisterTimeChangeListener(HWND hWnd, DWORD dwThreadId, UINT nMsg)
{
    if ((hWnd != nullptr) == (dwThreadId != 0)) return FALSE; // exactly one of the two
    CTimeChangeWnd::GetInstance().RegisterListener(hWnd, dwThreadId, nMsg);
    return TRUE;
}

BOOL CTimeTools::SetTimeChangeCallback(void (*pfnCallback)())
{
    CTimeChangeWnd::GetInstance().SetCallback(pfnCallback);
    return TRUE;
}
