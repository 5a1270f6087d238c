#pragma once
#include "framework/CSyncObject.h"

// A kernel event; auto-reset unless bManualReset. Lock waits for it to be set.
// Construction throws CResourceException* when the system cannot create it.
class CEvent : public CSyncObject
{
public:
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCWSTR lpszName = nullptr,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = nullptr);
    BOOL SetEvent();
    BOOL ResetEvent();
    BOOL PulseEvent();
    BOOL Unlock() override; // nothing to release: TRUE
    using CSyncObject::Unlock;
};
