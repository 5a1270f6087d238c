#pragma once
#include "sessions/CSmartObject.h"
#include <utility>

// One counted reference to a CSmartObject record: copies add a count, destruction drops one.
template <typename T> class CSmartObjectPtr
{
public:
    CSmartObjectPtr() = default;
    explicit CSmartObjectPtr(T* pObject) : m_pObject(pObject) { SmartObjectPtrAddRef(m_pObject); }
    CSmartObjectPtr(const CSmartObjectPtr& other) : CSmartObjectPtr(other.m_pObject) {}
    CSmartObjectPtr(CSmartObjectPtr&& other) noexcept : m_pObject(std::exchange(other.m_pObject, nullptr)) {}
    CSmartObjectPtr& operator=(CSmartObjectPtr other) noexcept
    {
        std::swap(m_pObject, other.m_pObject); // the old reference is dropped with other
        return *this;
    }
    ~CSmartObjectPtr() { SmartObjectPtrRelease(m_pObject); }

    T* Get() const { return m_pObject; }
    T* operator->() const { return m_pObject; }
    T& operator*() const { return *m_pObject; }
    explicit operator bool() const { return m_pObject != nullptr; }
    void Reset() { *this = CSmartObjectPtr(); }

private:
    T* m_pObject = nullptr;
};
