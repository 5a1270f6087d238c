#pragma once
#include "framework/CComPtr.h"
// A CComPtr filled by QueryInterface from any interface (a T too): null when the object does not answer T.
template <class T, const IID* piid = &__uuidof(T)> class CComQIPtr : public CComPtr<T>
{
public:
    CComQIPtr() noexcept = default;
    CComQIPtr(IUnknown* pUnk) noexcept { *this = pUnk; }
    CComQIPtr& operator=(IUnknown* pUnk) noexcept
    {
        T* pNew = nullptr;
        if (pUnk) pUnk->QueryInterface(*piid, reinterpret_cast<void**>(&pNew));
        this->Attach(pNew);
        return *this;
    }
};
