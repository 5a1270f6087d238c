#pragma once
#include <atomic>

// An intrusive reference count for records that several holders share. Counts are changed
// atomically, so any thread may drop its reference; whichever drops the last deletes the record,
// exactly once, through the virtual destructor.
class CSmartObject
{
public:
    CSmartObject() = default;
    CSmartObject(const CSmartObject&) = delete; // a copy would share the count's owner
    CSmartObject& operator=(const CSmartObject&) = delete;
    virtual ~CSmartObject() = default;

    long GetRefCount() const { return m_nRefCount.load(); } // a snapshot, for diagnostics only

private:
    friend void SmartObjectPtrAddRef(CSmartObject* pObject);
    friend void SmartObjectPtrRelease(CSmartObject* pObject);
    std::atomic<long> m_nRefCount{0};
};

// Both accept null and then do nothing.
void SmartObjectPtrAddRef(CSmartObject* pObject);
void SmartObjectPtrRelease(CSmartObject* pObject);
