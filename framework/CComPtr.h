#pragma once
#include "framework/Platform.h"
#include <objbase.h>
#include <utility>
// Owns one interface reference: Release on destruction, AddRef on copy. A null pointer is "none".
template <class T> class CComPtr
{
public:
    CComPtr() noexcept = default;
    CComPtr(T* p) noexcept : p(p)
    {
        if (p) p->AddRef();
    }
    CComPtr(const CComPtr& other) noexcept : CComPtr(other.p) {}
    CComPtr(CComPtr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
    ~CComPtr() { Release(); }

    CComPtr& operator=(T* pNew) noexcept
    {
        if (pNew) pNew->AddRef(); // before the release: pNew may live only through p
        Release();
        p = pNew;
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other) Attach(std::exchange(other.p, nullptr));
        return *this;
    }

    operator T*() const noexcept { return p; }
    T* operator->() const noexcept { return p; }
    T& operator*() const noexcept { return *p; }
    T** operator&() noexcept { return &p; } // for out parameters; the pointer should be null first
    bool operator!() const noexcept { return p == nullptr; }

    void Release() noexcept
    {
        if (T* old = std::exchange(p, nullptr)) old->Release();
    }
    void Attach(T* pNew) noexcept // takes the reference over
    {
        Release();
        p = pNew;
    }
    T* Detach() noexcept { return std::exchange(p, nullptr); }
    HRESULT CopyTo(T** ppT) const noexcept
    {
        if (!ppT) return E_POINTER;
        *ppT = p;
        if (p) p->AddRef();
        return S_OK;
    }
    template <class Q> HRESULT QueryInterface(Q** pp) const noexcept
    {
        if (!p) return E_POINTER;
        return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }
    HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept
    {
        Release();
        return ::CoCreateInstance(rclsid, pUnkOuter, dwClsContext, __uuidof(T), reinterpret_cast<void**>(&p));
    }

    T* p = nullptr;
};
