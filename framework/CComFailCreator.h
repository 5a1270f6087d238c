#pragma once
#include <objbase.h>
// A creator that always refuses with hr (CLASS_E_NOAGGREGATION for a class that cannot be aggregated).
template <HRESULT hr> class CComFailCreator
{
public:
    static HRESULT WINAPI CreateInstance(void*, REFIID, void** ppv) noexcept
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        return hr;
    }
};
