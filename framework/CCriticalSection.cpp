#include "framework/CCriticalSection.h"

CCriticalSection::CCriticalSection()
{
    InitializeCriticalSectionAndSpinCount(&m_sect, 4000); // cannot fail on supported systems
}

CCriticalSection::~CCriticalSection()
{
    DeleteCriticalSection(&m_sect);
}

BOOL CCriticalSection::Lock()
{
    EnterCriticalSection(&m_sect);
    return TRUE;
}

BOOL CCriticalSection::Lock(DWORD dwTimeout)
{
    if (dwTimeout == INFINITE) return Lock();
    const ULONGLONG start = GetTickCount64();
    for (;;)
    {
        if (TryEnterCriticalSection(&m_sect)) return TRUE;
        if (GetTickCount64() - start >= dwTimeout)
        {
            SetLastError(WAIT_TIMEOUT);
            return FALSE;
        }
        Sleep(1);
    }
}

BOOL CCriticalSection::Unlock()
{
    LeaveCriticalSection(&m_sect);
    return TRUE;
}
