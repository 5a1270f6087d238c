#pragma once
#include <objbase.h>
// Picks the creator by whether an outer unknown is given: T1 alone, T2 aggregated.
template <class T1, class T2> class CComCreator2
{
public:
    static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, void** ppv) noexcept
    {
        return pv ? T2::CreateInstance(pv, riid, ppv) : T1::CreateInstance(pv, riid, ppv);
    }
};
