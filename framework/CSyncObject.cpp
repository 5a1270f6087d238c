#include "framework/CSyncObject.h"

CSyncObject::CSyncObject(LPCWSTR /*pstrName*/) {}

CSyncObject::~CSyncObject()
{
    if (m_hObject)
    {
        const DWORD lastError = GetLastError(); // the owner may be about to report it
        CloseHandle(m_hObject);
        SetLastError(lastError);
    }
}

BOOL CSyncObject::Lock(DWORD dwTimeout)
{
    const DWORD result = WaitForSingleObject(m_hObject, dwTimeout);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return TRUE;
    if (result == WAIT_TIMEOUT) SetLastError(WAIT_TIMEOUT);
    return FALSE;
}
