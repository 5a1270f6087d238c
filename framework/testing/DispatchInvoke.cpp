#include "framework/testing/DispatchInvoke.h"

HRESULT InvokeByDispId(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                       VARIANT* pResult, UINT* puArgErr)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend()); // shallow: args own the contents
    DISPID putId = DISPID_PROPERTYPUT;
    const bool isPut = (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), isPut ? &putId : nullptr,
                      static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
    EXCEPINFO exception{};
    UINT argErr = 0;
    const HRESULT hr =
        pDispatch->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, wFlags, &params, pResult, &exception, &argErr);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    if (puArgErr) *puArgErr = argErr;
    return hr;
}

DISPID DispIdOfName(IDispatch* pDispatch, const wchar_t* name, HRESULT* pHr)
{
    DISPID dispId = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = pDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispId);
    if (pHr) *pHr = hr;
    return SUCCEEDED(hr) ? dispId : DISPID_UNKNOWN;
}
