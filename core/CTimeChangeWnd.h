#pragma once
#include "framework/CCriticalSection.h"
#include "framework/CMap.h"
#include "framework/CWnd.h"

// Hears the system's clock and time-zone changes for the whole process and tells the registered
// windows and threads once the changes have settled. The clock-change broadcast reaches only
// top-level windows, so this is a hidden top-level window (not a message-only one); it exists
// while someone listens and lives on the thread of the registration that created it.
class CTimeChangeWnd : public CWnd
{
public:
    using Callback = void (*)();

    CTimeChangeWnd();
    ~CTimeChangeWnd() override;
    CTimeChangeWnd(const CTimeChangeWnd&) = delete; // the maps hold registrations for the process
    CTimeChangeWnd& operator=(const CTimeChangeWnd&) = delete;

    static CTimeChangeWnd& GetInstance(); // the process's one object

    // A window (when hWnd is given) or else a thread; message 0 removes the registration.
    void RegisterListener(HWND hWnd, DWORD dwThreadId, UINT nMsg);
    void SetCallback(Callback pfnCallback); // called after each refresh; null removes it

    // For tests: whether the hidden window exists, and how many listeners are entered.
    BOOL IsCreated();
    INT_PTR GetListenerCount();

    static constexpr UINT_PTR kSettleTimerId = 123;
    static constexpr UINT kSettleMs = 500; // quiet time after the last change

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateIfNeeded();  // under the lock
    void DestroyIfUnused(); // under the lock
    void NotifyListeners();

    CCriticalSection m_lock; // the maps, the callback and the window's existence
    CMap<HWND, HWND, UINT, UINT> m_windows{10};
    CMap<DWORD, DWORD, UINT, UINT> m_threads{10};
    Callback m_pfnCallback = nullptr;
    BOOL m_bCreated = FALSE;
};
