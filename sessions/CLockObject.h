#pragma once
#include "sessions/CReadWriteLock.h"

// An object that carries its own reader/writer lock, for CObjectPtrBase to hold while the object is
// used.
class CLockObject
{
public:
    CLockObject() = default;
    CLockObject(const CLockObject&) = delete; // a lock is never copied
    CLockObject& operator=(const CLockObject&) = delete;
    virtual ~CLockObject() = default;

    virtual CReadWriteLock& GetLock() { return m_lock; }
    // TRUE when the calling thread holds the lock; bExclusive tells which way.
    virtual BOOL IsLockedByCurrentThread(BOOL& bExclusive) const;
    virtual BOOL IsReadLockedByCurrentThread() const;
    // A flag kept for the object's users; the lock itself never reads it.
    virtual void SetLockFlag(BYTE nFlag) { m_nLockFlag = nFlag; }
    virtual BYTE GetLockFlag() const { return m_nLockFlag; }

    static CLockObject s_instance;

private:
    BYTE m_nLockFlag = 0;
    mutable CReadWriteLock m_lock;
};
