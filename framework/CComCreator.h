#pragma once
#include <objbase.h>
// Creates a T2 (CComObject<X> or CComAggObject<X>) and asks it for riid. pv is the outer unknown
// for an aggregate, else null.
template <class T2> class CComCreator
{
public:
    static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, void** ppv) noexcept
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        T2* p = nullptr;
        HRESULT hr = Make(static_cast<IUnknown*>(pv), &p);
        if (FAILED(hr)) return hr;
        p->AddRef(); // held across the QueryInterface: a refusal destroys the new object
        hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }

private:
    template <class U> static auto Make(IUnknown* pOuter, U** pp) noexcept -> decltype(U::CreateInstance(pOuter, pp))
    {
        return U::CreateInstance(pOuter, pp);
    }
    template <class U> static auto Make(IUnknown* pOuter, U** pp) noexcept -> decltype(U::CreateInstance(pp))
    {
        return pOuter ? CLASS_E_NOAGGREGATION : U::CreateInstance(pp);
    }
};
