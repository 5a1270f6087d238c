#include "framework/testing/CComApartment.h"

CComApartment::CComApartment() noexcept : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

CComApartment::~CComApartment()
{
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
}
