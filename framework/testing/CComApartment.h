#pragma once
#include "framework/CHandleOwner.h"
#include "framework/Platform.h"
// Makes the calling thread a single-threaded COM apartment while it lives.
class CComApartment
{
public:
    CComApartment() noexcept;
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
    CComInitialization m_com; // balances a successful start only
};
