#include "framework/CSemaphore.h"
#include "framework/CException.h"

CSemaphore::CSemaphore(LONG lInitialCount, LONG lMaxCount, LPCWSTR pstrName, LPSECURITY_ATTRIBUTES lpsaAttributes)
    : CSyncObject(pstrName)
{
    m_hObject = CreateSemaphoreW(lpsaAttributes, lInitialCount, lMaxCount, pstrName);
    if (!m_hObject) AfxThrowResourceException();
}

BOOL CSemaphore::Unlock()
{
    return Unlock(1, nullptr);
}

BOOL CSemaphore::Unlock(LONG lCount, LPLONG lprevCount)
{
    return ReleaseSemaphore(m_hObject, lCount, lprevCount);
}
