#include "framework/testing/DispatchInvoke.h"

namespace
{
// The member's exception, with its texts freed: only the code is of use to the callers.
HRESULT InvokeCatching(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                       VARIANT* pResult, UINT* puArgErr, SCODE* pScode)
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
    *pScode = exception.scode;
    return hr;
}
} // namespace

HRESULT InvokeByDispId(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                       VARIANT* pResult, UINT* puArgErr)
{
    SCODE scode = S_OK;
    return InvokeCatching(pDispatch, dispId, wFlags, args, pResult, puArgErr, &scode);
}

DISPID DispIdOfName(IDispatch* pDispatch, const wchar_t* name, HRESULT* pHr)
{
    DISPID dispId = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = pDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispId);
    if (pHr) *pHr = hr;
    return SUCCEEDED(hr) ? dispId : DISPID_UNKNOWN;
}

HRESULT InvokeMember(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                     VARIANT* pResult)
{
    SCODE scode = S_OK;
    const HRESULT hr = InvokeCatching(pDispatch, dispId, wFlags, args, pResult, nullptr, &scode);
    return hr == DISP_E_EXCEPTION && FAILED(scode) ? scode : hr;
}
