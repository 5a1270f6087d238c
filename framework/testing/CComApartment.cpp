#include "framework/testing/CComApartment.h"

CComApartment::CComApartment() noexcept
    : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)), m_com(SUCCEEDED(m_hr))
{
}
