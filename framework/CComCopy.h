#pragma once
#include "framework/Platform.h"
#include <ocidl.h>
#include <oleauto.h>
// How an enumerator copies its elements out and frees its own: a VARIANT deep-copied, a
// connection's sink and an interface pointer each with a reference added.
template <class T> class CComCopy;

template <> class CComCopy<VARIANT>
{
public:
    static void init(VARIANT* p) noexcept { ::VariantInit(p); }
    static HRESULT copy(VARIANT* pTo, const VARIANT* pFrom) noexcept
    {
        ::VariantInit(pTo);
        return ::VariantCopy(pTo, const_cast<VARIANT*>(pFrom)); // the source is only read
    }
    static void destroy(VARIANT* p) noexcept { ::VariantClear(p); }
};

template <> class CComCopy<CONNECTDATA>
{
public:
    static void init(CONNECTDATA* p) noexcept { *p = CONNECTDATA{}; }
    static HRESULT copy(CONNECTDATA* pTo, const CONNECTDATA* pFrom) noexcept
    {
        *pTo = *pFrom;
        if (pTo->pUnk) pTo->pUnk->AddRef();
        return S_OK;
    }
    static void destroy(CONNECTDATA* p) noexcept
    {
        if (p->pUnk) p->pUnk->Release();
        p->pUnk = nullptr;
    }
};

template <class I> class CComCopy<I*>
{
public:
    static void init(I** p) noexcept { *p = nullptr; }
    static HRESULT copy(I** pTo, I* const* pFrom) noexcept
    {
        *pTo = *pFrom;
        if (*pTo) (*pTo)->AddRef();
        return S_OK;
    }
    static void destroy(I** p) noexcept
    {
        if (*p) (*p)->Release();
        *p = nullptr;
    }
};
