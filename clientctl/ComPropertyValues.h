#pragma once
#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
// The bodies of the data objects' plain property accessors: a number is given as the property's
// type (a 16-bit field widens with its sign), a text is copied whole (with any NUL inside it) and
// an owned sub-object is handed out with a reference for the caller.

template <class T, class V> HRESULT GetValueProperty(T* pVal, V value) noexcept
{
    if (!pVal) return E_POINTER;
    *pVal = static_cast<T>(value);
    return S_OK;
}

inline HRESULT GetTextProperty(const CComBSTR& value, BSTR* pVal) noexcept
{
    return value.CopyTo(pVal);
}

inline HRESULT PutTextProperty(CComBSTR& value, BSTR newVal) noexcept
{
    BSTR copy = nullptr;
    if (newVal)
    {
        copy = ::SysAllocStringLen(newVal, ::SysStringLen(newVal));
        if (!copy) return E_OUTOFMEMORY;
    }
    value.Attach(copy);
    return S_OK;
}

template <class T> HRESULT GetObjectProperty(const CComPtr<T>& value, T** pVal) noexcept
{
    return value.CopyTo(pVal);
}
