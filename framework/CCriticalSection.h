#pragma once
#include "framework/CSyncObject.h"

// A process-local lock, re-entrant on the thread that holds it: each Lock needs its Unlock.
class CCriticalSection : public CSyncObject
{
public:
    CCriticalSection();
    ~CCriticalSection() override;

    operator CRITICAL_SECTION*() { return &m_sect; }

    BOOL Lock();
    // A finite time-out waits by polling, as critical sections cannot be waited on with one.
    BOOL Lock(DWORD dwTimeout) override;
    BOOL Unlock() override;
    using CSyncObject::Unlock;

    CRITICAL_SECTION m_sect;
};
