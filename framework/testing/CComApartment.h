#pragma once
#include "framework/Platform.h"
#include <objbase.h>
// Makes the calling thread a single-threaded COM apartment while it lives.
class CComApartment
{
public:
    CComApartment() noexcept;
    ~CComApartment();
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};
