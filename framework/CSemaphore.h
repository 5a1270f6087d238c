#pragma once
#include "framework/CSyncObject.h"

// A kernel semaphore. Construction throws CResourceException* when the system cannot create it.
class CSemaphore : public CSyncObject
{
public:
    explicit CSemaphore(LONG lInitialCount = 1, LONG lMaxCount = 1, LPCWSTR pstrName = nullptr,
                        LPSECURITY_ATTRIBUTES lpsaAttributes = nullptr);
    BOOL Unlock() override; // releases one count
    BOOL Unlock(LONG lCount, LPLONG lprevCount = nullptr) override;
};
