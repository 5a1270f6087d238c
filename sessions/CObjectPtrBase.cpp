#include "sessions/CObjectPtrBase.h"

CReadWriteLock& CObjectPtrBase::GetDefaultLock()
{
    static CReadWriteLock s_defaultLock;
    return s_defaultLock;
}

CReadWriteLock& CObjectPtrBase::LockOf(CLockObject* pObject)
{
    return pObject ? pObject->GetLock() : GetDefaultLock();
}

CObjectPtrBase::CObjectPtrBase(bool bShared) : m_pState(std::make_unique<LockState>())
{
    m_pState->pLock = &GetDefaultLock();
    m_pState->bShared = bShared;
}

CObjectPtrBase::CObjectPtrBase(CLockObject* pObject, bool bShared, bool bLockNow, DWORD dwTimeout)
    : m_pState(std::make_unique<LockState>()), m_pObject(pObject)
{
    m_pState->pLock = &LockOf(pObject);
    m_pState->bShared = bShared;
    if (bLockNow) Lock(bShared, dwTimeout);
}

CObjectPtrBase::CObjectPtrBase(const CObjectPtrBase& other) : m_pState(std::make_unique<LockState>())
{
    TakeFrom(other);
}

CObjectPtrBase& CObjectPtrBase::operator=(const CObjectPtrBase& other)
{
    if (&other != this)
    {
        Unlock();
        TakeFrom(other);
    }
    return *this;
}

CObjectPtrBase::~CObjectPtrBase()
{
    Unlock();
}

void CObjectPtrBase::TakeFrom(const CObjectPtrBase& other)
{
    m_pObject = other.m_pObject;
    m_pState->pLock = &LockOf(m_pObject);
    m_pState->bShared = other.m_pState->bShared;
    if (other.m_pState->bLocked) Lock(other.m_pState->bShared, INFINITE);
}

BOOL CObjectPtrBase::Lock(bool bShared, DWORD dwTimeout)
{
    Unlock(); // a second hold would never be released by the one Unlock that follows
    m_pState->bShared = bShared;
    m_pState->bLocked = bShared ? m_pState->pLock->LockRead(dwTimeout) : m_pState->pLock->LockWrite(dwTimeout);
    return m_pState->bLocked;
}

void CObjectPtrBase::Unlock()
{
    if (!m_pState->bLocked) return;
    m_pState->bLocked = FALSE;
    if (m_pState->bShared)
        m_pState->pLock->UnlockRead();
    else
        m_pState->pLock->UnlockWrite();
}
