#pragma once
#include "framework/CObject.h"

// Base of the framework's synchronisation objects. It owns m_hObject (NULL when the object has no
// kernel handle, as a critical section) and closes it on destruction.
class CSyncObject : public CObject
{
public:
    explicit CSyncObject(LPCWSTR pstrName = nullptr);
    CSyncObject(const CSyncObject&) = delete;
    CSyncObject& operator=(const CSyncObject&) = delete;
    ~CSyncObject() override;

    operator HANDLE() const { return m_hObject; }

    // TRUE when the object was acquired within dwTimeout milliseconds (an abandoned mutex counts as
    // acquired); FALSE on time-out or failure, with GetLastError() telling which (WAIT_TIMEOUT).
    virtual BOOL Lock(DWORD dwTimeout = INFINITE);
    virtual BOOL Unlock() = 0;
    virtual BOOL Unlock(LONG /*lCount*/, LPLONG /*lpPrevCount*/ = nullptr) { return TRUE; }

    HANDLE m_hObject = nullptr;
};
