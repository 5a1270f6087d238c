#include "framework/CSyncObject.h"
#include "framework/CHandleOwner.h"

CSyncObject::CSyncObject(LPCWSTR /*pstrName*/) {}

CSyncObject::~CSyncObject()
{
    CKernelHandle(m_hObject).Close(); // keeps the error the owner may be about to report
}

BOOL CSyncObject::Lock(DWORD dwTimeout)
{
    const DWORD result = WaitForSingleObject(m_hObject, dwTimeout);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return TRUE;
    if (result == WAIT_TIMEOUT) SetLastError(WAIT_TIMEOUT);
    return FALSE;
}
