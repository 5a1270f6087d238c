#pragma once
#include "sessions/CReadWriteLock.h"

// Holds a tracked lock, shared or exclusive, for a scope: released on every way out, exceptions
// included.
class CReadWriteLockHold
{
public:
    CReadWriteLockHold(CReadWriteLock& lock, bool bShared, DWORD dwTimeout = INFINITE)
        : m_lock(lock), m_bShared(bShared), m_bLocked(bShared ? lock.LockRead(dwTimeout) : lock.LockWrite(dwTimeout))
    {
    }
    ~CReadWriteLockHold() { Unlock(); }
    CReadWriteLockHold(const CReadWriteLockHold&) = delete;
    CReadWriteLockHold& operator=(const CReadWriteLockHold&) = delete;

    BOOL IsLocked() const { return m_bLocked; }
    void Unlock()
    {
        if (!m_bLocked) return;
        m_bLocked = FALSE;
        if (m_bShared)
            m_lock.UnlockRead();
        else
            m_lock.UnlockWrite();
    }

private:
    CReadWriteLock& m_lock;
    const bool m_bShared;
    BOOL m_bLocked;
};
