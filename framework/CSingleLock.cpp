#include "framework/CSingleLock.h"
#include "framework/CException.h"

CSingleLock::CSingleLock(CSyncObject* pObject, BOOL bInitialLock) : m_pObject(pObject)
{
    if (!m_pObject) AfxThrowInvalidArgException();
    if (bInitialLock) Lock();
}

CSingleLock::~CSingleLock()
{
    Unlock();
}

BOOL CSingleLock::Lock(DWORD dwTimeout)
{
    if (!m_bAcquired) m_bAcquired = m_pObject->Lock(dwTimeout);
    return m_bAcquired;
}

BOOL CSingleLock::Unlock()
{
    if (m_bAcquired) m_bAcquired = !m_pObject->Unlock();
    return !m_bAcquired;
}

BOOL CSingleLock::Unlock(LONG lCount, LPLONG lPrevCount)
{
    if (m_bAcquired) m_bAcquired = !m_pObject->Unlock(lCount, lPrevCount);
    return !m_bAcquired;
}
