#include "framework/CMutex.h"
#include "framework/CException.h"

CMutex::CMutex(BOOL bInitiallyOwn, LPCWSTR lpszName, LPSECURITY_ATTRIBUTES lpsaAttribute) : CSyncObject(lpszName)
{
    m_hObject = CreateMutexW(lpsaAttribute, bInitiallyOwn, lpszName);
    if (!m_hObject) AfxThrowResourceException();
}

BOOL CMutex::Unlock()
{
    return ReleaseMutex(m_hObject);
}
