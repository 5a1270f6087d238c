#pragma once
#include "framework/CSyncObject.h"

// A kernel mutex, possibly named and shared between processes. Construction throws
// CResourceException* when the system cannot create it.
class CMutex : public CSyncObject
{
public:
    explicit CMutex(BOOL bInitiallyOwn = FALSE, LPCWSTR lpszName = nullptr,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = nullptr);
    BOOL Unlock() override;
    using CSyncObject::Unlock;
};
