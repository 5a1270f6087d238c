#pragma once
#include "sessions/CLockObject.h"
#include <memory>

// A pointer to a lockable object that holds the object's lock, shared or exclusive, for as long as
// it says so; copies take a lock of their own of the same kind. Without an object a process-wide
// default lock is used.
class CObjectPtrBase
{
public:
    explicit CObjectPtrBase(bool bShared);
    CObjectPtrBase(CLockObject* pObject, bool bShared, bool bLockNow, DWORD dwTimeout = INFINITE);
    CObjectPtrBase(const CObjectPtrBase& other);
    CObjectPtrBase& operator=(const CObjectPtrBase& other);
    virtual ~CObjectPtrBase();

    // Takes the lock the given way; a hold taken earlier is released first.
    virtual BOOL Lock(bool bShared, DWORD dwTimeout = INFINITE);
    void Unlock();

    CLockObject* GetPointer() const { return m_pObject; }
    BOOL IsLocked() const { return m_pState->bLocked; }
    bool IsShared() const { return m_pState->bShared; }

    static CReadWriteLock& GetDefaultLock();

private:
    struct LockState
    {
        CReadWriteLock* pLock = nullptr;
        BOOL bLocked = FALSE;
        bool bShared = true;
    };
    static CReadWriteLock& LockOf(CLockObject* pObject);
    void TakeFrom(const CObjectPtrBase& other);

    std::unique_ptr<LockState> m_pState;
    CLockObject* m_pObject = nullptr;
};
