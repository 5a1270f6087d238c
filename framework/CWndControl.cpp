// CWnd's side of ActiveX control hosting: creating a control as a window, and calling it by DISPID.
#include "framework/CWnd.h"
#include "framework/AfxEnableControlContainer.h"
#include "framework/COleControlContainer.h"
#include "framework/COleControlSite.h"
#include "framework/COleDispatchException.h"
#include "framework/AfxEventSinkMap.h"
#include <cstdarg>
#include <cstring>
#include <vector>

namespace
{
// The arguments of one call, made from the caller's "..." by their VTS_ codes; owns the BSTRs it made.
class CInvokeArguments
{
public:
    CInvokeArguments() = default;
    CInvokeArguments(const CInvokeArguments&) = delete;
    CInvokeArguments& operator=(const CInvokeArguments&) = delete;
    ~CInvokeArguments()
    {
        for (size_t i = 0; i < m_args.size(); ++i)
            if (m_owned[i]) ::VariantClear(&m_args[i]);
    }

    // Reads one argument per code; false (and E_OUTOFMEMORY or DISP_E_BADVARTYPE in *pHr) on failure.
    bool Read(const BYTE* pbParamInfo, va_list argList, HRESULT* pHr)
    {
        const size_t n = pbParamInfo ? std::strlen(reinterpret_cast<const char*>(pbParamInfo)) : 0;
        m_args.resize(n);
        m_owned.assign(n, false);
        // rgvarg wants the last argument first
        for (size_t i = 0; i < n; ++i)
        {
            VARIANT& v = m_args[n - 1 - i];
            ::VariantInit(&v);
            const BYTE code = pbParamInfo[i];
            if (code & VTS_BYREF_FLAG)
            {
                v.vt = static_cast<VARTYPE>(VT_BYREF | (code & ~VTS_BYREF_FLAG));
                v.byref = va_arg(argList, void*);
                continue;
            }
            v.vt = code;
            switch (code)
            {
            case VT_I2:
                v.iVal = static_cast<SHORT>(va_arg(argList, int));
                break;
            case VT_I4:
                v.lVal = va_arg(argList, long);
                break;
            case VT_R4:
                v.fltVal = static_cast<float>(va_arg(argList, double));
                break;
            case VT_R8:
                v.dblVal = va_arg(argList, double);
                break;
            case VT_BOOL:
                v.boolVal = va_arg(argList, int) ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case VT_UI1:
                v.bVal = static_cast<BYTE>(va_arg(argList, int));
                break;
            case VT_UI2:
                v.uiVal = static_cast<USHORT>(va_arg(argList, int));
                break;
            case VT_UI4:
                v.ulVal = va_arg(argList, unsigned long);
                break;
            case VT_DISPATCH:
                v.pdispVal = va_arg(argList, IDispatch*);
                break;
            case VT_UNKNOWN:
                v.punkVal = va_arg(argList, IUnknown*);
                break;
            case VT_VARIANT: {
                const VARIANT* pArg = va_arg(argList, const VARIANT*);
                if (pArg)
                    v = *pArg; // the caller's content, lent for the call
                else
                    v.vt = VT_EMPTY;
                break;
            }
            case VT_BSTR: {
                LPCWSTR text = va_arg(argList, LPCWSTR);
                v.bstrVal = ::SysAllocString(text ? text : L"");
                if (!v.bstrVal)
                {
                    v.vt = VT_EMPTY;
                    *pHr = E_OUTOFMEMORY;
                    return false;
                }
                m_owned[n - 1 - i] = true;
                break;
            }
            default:
                v.vt = VT_EMPTY;
                *pHr = DISP_E_BADVARTYPE;
                return false;
            }
        }
        return true;
    }

    VARIANT* Data() noexcept { return m_args.empty() ? nullptr : m_args.data(); }
    UINT Count() const noexcept { return static_cast<UINT>(m_args.size()); }

private:
    std::vector<VARIANT> m_args;
    std::vector<bool> m_owned;
};

[[noreturn]] void ThrowInvokeFailure(HRESULT hr, EXCEPINFO* pExcepInfo)
{
    if (hr == DISP_E_EXCEPTION && pExcepInfo && pExcepInfo->pfnDeferredFillIn)
        pExcepInfo->pfnDeferredFillIn(pExcepInfo);
    COleDispatchException* pException = COleDispatchException::FromInvokeResult(hr, pExcepInfo);
    if (pExcepInfo)
    {
        ::SysFreeString(pExcepInfo->bstrSource);
        ::SysFreeString(pExcepInfo->bstrDescription);
        ::SysFreeString(pExcepInfo->bstrHelpFile);
    }
    throw pException;
}

// Stores the call's result into the caller's variable of the type vtRet names.
void StoreResult(VARTYPE vtRet, void* pvRet, VARIANT& result)
{
    if (vtRet == VT_VARIANT)
    {
        *static_cast<VARIANT*>(pvRet) = result; // handed over: the caller clears it
        ::VariantInit(&result);
        return;
    }
    const HRESULT hr = ::VariantChangeType(&result, &result, 0, vtRet);
    if (FAILED(hr)) ThrowInvokeFailure(hr, nullptr);
    switch (vtRet)
    {
    case VT_I2:
        *static_cast<short*>(pvRet) = result.iVal;
        break;
    case VT_I4:
        *static_cast<long*>(pvRet) = result.lVal;
        break;
    case VT_R4:
        *static_cast<float*>(pvRet) = result.fltVal;
        break;
    case VT_R8:
        *static_cast<double*>(pvRet) = result.dblVal;
        break;
    case VT_BOOL:
        *static_cast<BOOL*>(pvRet) = result.boolVal != VARIANT_FALSE;
        break;
    case VT_UI1:
        *static_cast<BYTE*>(pvRet) = result.bVal;
        break;
    case VT_UI2:
        *static_cast<unsigned short*>(pvRet) = result.uiVal;
        break;
    case VT_UI4:
        *static_cast<ULONG*>(pvRet) = result.ulVal;
        break;
    case VT_BSTR:
        *static_cast<CString*>(pvRet) = result.bstrVal ? result.bstrVal : L"";
        break;
    case VT_DISPATCH:
        *static_cast<IDispatch**>(pvRet) = result.pdispVal; // the caller's reference now
        ::VariantInit(&result);
        break;
    case VT_UNKNOWN:
        *static_cast<IUnknown**>(pvRet) = result.punkVal;
        ::VariantInit(&result);
        break;
    default:
        ThrowInvokeFailure(DISP_E_BADVARTYPE, nullptr);
    }
}

void InvokeHelperV(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                   const BYTE* pbParamInfo, va_list argList)
{
    if (!pDispatch) ThrowInvokeFailure(E_UNEXPECTED, nullptr); // no control behind this window
    CInvokeArguments args;
    HRESULT hr = S_OK;
    if (!args.Read(pbParamInfo, argList, &hr)) ThrowInvokeFailure(hr, nullptr);
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.Data(), nullptr, args.Count(), 0};
    if (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
    {
        params.rgdispidNamedArgs = &namedPut;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO excepInfo{};
    UINT argErr = 0;
    hr = pDispatch->Invoke(dwDispID, IID_NULL, LOCALE_USER_DEFAULT, wFlags, &params,
                           vtRet != VT_EMPTY ? &result : nullptr, &excepInfo, &argErr);
    if (FAILED(hr))
    {
        ::VariantClear(&result);
        ThrowInvokeFailure(hr, &excepInfo);
    }
    if (vtRet == VT_EMPTY || !pvRet)
    {
        ::VariantClear(&result);
        return;
    }
    try
    {
        StoreResult(vtRet, pvRet, result);
    }
    catch (...)
    {
        ::VariantClear(&result);
        throw;
    }
    ::VariantClear(&result);
}
} // namespace

BOOL CWnd::CreateControl(REFCLSID clsid, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                         UINT nID, BSTR bstrLicKey)
{
    if (!pParentWnd || !::IsWindow(pParentWnd->m_hWnd))
    {
        ::SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return FALSE;
    }
    if (m_hWnd)
    {
        ::SetLastError(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)));
        return FALSE;
    }
    if (!AfxIsControlContainerEnabled())
    {
        ::SetLastError(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)));
        return FALSE;
    }
    if (!pParentWnd->m_pCtrlCont.IsValid())
    {
        COleControlContainer* pContainer = COleControlContainer::Create(pParentWnd);
        if (!pContainer)
        {
            ::SetLastError(static_cast<DWORD>(E_OUTOFMEMORY));
            return FALSE;
        }
        pParentWnd->m_pCtrlCont.Attach(pContainer);
    }
    const HRESULT hr =
        pParentWnd->m_pCtrlCont.Get()->CreateControl(this, clsid, lpszWindowName, dwStyle, rect, nID, bstrLicKey);
    if (FAILED(hr))
    {
        ::SetLastError(static_cast<DWORD>(hr));
        return FALSE;
    }
    return TRUE;
}

IUnknown* CWnd::GetControlUnknown() const
{
    return m_pCtrlSite ? m_pCtrlSite->GetControlUnknown() : nullptr;
}

void CWnd::InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo, ...)
{
    va_list argList;
    va_start(argList, pbParamInfo);
    try
    {
        InvokeHelperV(m_pCtrlSite ? m_pCtrlSite->GetControlDispatch() : nullptr, dwDispID, wFlags, vtRet, pvRet,
                      pbParamInfo, argList);
    }
    catch (...)
    {
        va_end(argList);
        throw;
    }
    va_end(argList);
}

void CWnd::SetProperty(DISPID dwDispID, VARTYPE vtProp, ...)
{
    const BYTE params[2] = {static_cast<BYTE>(vtProp), 0};
    va_list argList;
    va_start(argList, vtProp);
    try
    {
        InvokeHelperV(m_pCtrlSite ? m_pCtrlSite->GetControlDispatch() : nullptr, dwDispID,
                      vtProp == VT_DISPATCH || vtProp == VT_UNKNOWN ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                      VT_EMPTY, nullptr, params, argList);
    }
    catch (...)
    {
        va_end(argList);
        throw;
    }
    va_end(argList);
}

void CWnd::GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const
{
    const_cast<CWnd*>(this)->InvokeHelper(dwDispID, DISPATCH_PROPERTYGET, vtProp, pvProp, nullptr);
}
