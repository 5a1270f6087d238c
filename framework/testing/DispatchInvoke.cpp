#include "framework/testing/DispatchInvoke.h"
#include "framework/CComPtr.h"

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

namespace
{
// What an untouched 32-, 16-bit or BOOL out value of InvokeThroughVtable holds.
constexpr LONG kUntouched = 0x5A5A5A5A;

// The vtable's type information of a dual interface (IDispatch gives its dispatch view first).
CComPtr<ITypeInfo> VtableTypeInfo(IDispatch* pDispatch)
{
    CComPtr<ITypeInfo> info;
    if (FAILED(pDispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info) return nullptr;
    TYPEATTR* pAttr = nullptr;
    if (FAILED(info->GetTypeAttr(&pAttr))) return nullptr;
    const bool bDispatch = pAttr->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(pAttr);
    if (!bDispatch) return info;
    HREFTYPE hRef = 0;
    CComPtr<ITypeInfo> vtable;
    if (FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &hRef)) || FAILED(info->GetRefTypeInfo(hRef, &vtable)))
        return nullptr;
    return vtable;
}

// The VARTYPE a value of the type has in a VARIANT: enumerations are I4, interfaces IDispatch.
VARTYPE ValueType(ITypeInfo* pInfo, const TYPEDESC& type)
{
    if (type.vt == VT_USERDEFINED)
    {
        CComPtr<ITypeInfo> ref;
        TYPEATTR* pAttr = nullptr;
        if (FAILED(pInfo->GetRefTypeInfo(type.hreftype, &ref)) || FAILED(ref->GetTypeAttr(&pAttr))) return VT_I4;
        const TYPEKIND kind = pAttr->typekind;
        ref->ReleaseTypeAttr(pAttr);
        return kind == TKIND_ENUM ? VT_I4 : VT_DISPATCH;
    }
    if (type.vt == VT_PTR && type.lptdesc->vt == VT_USERDEFINED) return ValueType(pInfo, *type.lptdesc);
    return type.vt;
}

// The IID of an interface pointer parameter; null for any other type.
const IID* InterfaceOf(ITypeInfo* pInfo, const TYPEDESC& type, IID& iid)
{
    if (type.vt != VT_PTR || type.lptdesc->vt != VT_USERDEFINED) return nullptr;
    CComPtr<ITypeInfo> ref;
    TYPEATTR* pAttr = nullptr;
    if (FAILED(pInfo->GetRefTypeInfo(type.lptdesc->hreftype, &ref)) || FAILED(ref->GetTypeAttr(&pAttr))) return nullptr;
    const bool bInterface = pAttr->typekind == TKIND_INTERFACE || pAttr->typekind == TKIND_DISPATCH;
    iid = pAttr->guid;
    ref->ReleaseTypeAttr(pAttr);
    return bInterface ? &iid : nullptr;
}
} // namespace

HRESULT InvokeThroughVtable(IDispatch* pDispatch, DISPID dispId, WORD wFlags, const std::vector<CComVariant>& args,
                            VARIANT* pResult)
{
    CComPtr<ITypeInfo> info = VtableTypeInfo(pDispatch);
    if (!info) return E_INVALIDARG;
    const INVOKEKIND kind = (wFlags & DISPATCH_PROPERTYGET)   ? INVOKE_PROPERTYGET
                            : (wFlags & DISPATCH_PROPERTYPUT) ? INVOKE_PROPERTYPUT
                                                              : INVOKE_FUNC;
    FUNCDESC* pFunc = nullptr;
    for (UINT i = 0; info->GetFuncDesc(i, &pFunc) == S_OK; ++i)
    {
        if (pFunc->memid == dispId && pFunc->invkind == kind) break;
        info->ReleaseFuncDesc(pFunc);
        pFunc = nullptr;
    }
    if (!pFunc) return E_INVALIDARG;
    const size_t nParams = static_cast<size_t>(pFunc->cParams);
    std::vector<CComVariant> values(nParams);
    std::vector<VARIANT> passed(nParams);
    std::vector<VARTYPE> types(nParams);
    std::vector<VARIANTARG*> pointers(nParams);
    CComVariant retval;
    IID iid{};
    HRESULT hr = S_OK;
    for (size_t j = 0; j < nParams && SUCCEEDED(hr); ++j)
    {
        const ELEMDESC& param = pFunc->lprgelemdescParam[j];
        const USHORT flags = param.paramdesc.wParamFlags;
        VARIANT& slot = passed[j];
        ::VariantInit(&slot);
        if (flags & PARAMFLAG_FRETVAL)
        {
            // The member writes through the pointer into retval's union; its type is set afterwards.
            // A member that leaves its out value untouched shows the sentinel (or a null pointer).
            retval.vt = ValueType(info, *param.tdesc.lptdesc);
            retval.llVal = 0;
            if (retval.vt == VT_I4 || retval.vt == VT_I2 || retval.vt == VT_BOOL) retval.lVal = kUntouched;
            slot.vt = VT_BYREF | retval.vt;
            slot.byref = &retval.lVal;
        }
        else if (j >= args.size() || (args[j].vt == VT_ERROR && args[j].scode == DISP_E_PARAMNOTFOUND))
        {
            if (!(flags & PARAMFLAG_FHASDEFAULT))
                hr = DISP_E_PARAMNOTOPTIONAL;
            else
                hr = values[j].Copy(&param.paramdesc.pparamdescex->varDefaultValue);
            if (SUCCEEDED(hr)) hr = values[j].ChangeType(ValueType(info, param.tdesc));
            slot = values[j];
        }
        else if (param.tdesc.vt == VT_PTR && param.tdesc.lptdesc->vt == VT_VARIANT &&
                 args[j].vt != (VT_BYREF | VT_VARIANT))
        {
            slot.vt = VT_BYREF | VT_VARIANT;
            slot.pvarVal = const_cast<VARIANT*>(static_cast<const VARIANT*>(&args[j]));
        }
        else if (param.tdesc.vt == VT_PTR && (args[j].vt & VT_BYREF))
            slot = args[j];
        else if (const IID* pIid = InterfaceOf(info, param.tdesc, iid); pIid && args[j].vt == VT_DISPATCH)
        {
            // The object as the interface the parameter names, not as its IDispatch.
            values[j].vt = VT_UNKNOWN;
            values[j].punkVal = nullptr;
            if (args[j].pdispVal)
                hr = args[j].pdispVal->QueryInterface(*pIid, reinterpret_cast<void**>(&values[j].punkVal));
            slot = values[j];
        }
        else
        {
            hr = values[j].ChangeType(ValueType(info, param.tdesc), &args[j]);
            slot = values[j];
        }
        types[j] = slot.vt;
        pointers[j] = &slot;
    }
    const SHORT oVft = pFunc->oVft;
    info->ReleaseFuncDesc(pFunc);
    if (FAILED(hr)) return hr;
    // The vtable of the interface the type describes: QueryInterface for its IID.
    TYPEATTR* pAttr = nullptr;
    if (FAILED(info->GetTypeAttr(&pAttr))) return E_INVALIDARG;
    CComPtr<IUnknown> target;
    hr = pDispatch->QueryInterface(pAttr->guid, reinterpret_cast<void**>(&target));
    info->ReleaseTypeAttr(pAttr);
    if (FAILED(hr)) return hr;
    VARIANT returned;
    ::VariantInit(&returned);
    hr = ::DispCallFunc(target.p, static_cast<ULONG_PTR>(oVft), CC_STDCALL, VT_ERROR, static_cast<UINT>(nParams),
                        types.data(), pointers.data(), &returned);
    if (FAILED(hr)) return hr;
    if (pResult && retval.vt != VT_EMPTY)
    {
        ::VariantClear(pResult);
        *pResult = retval;
        retval.vt = VT_EMPTY; // handed over
    }
    return returned.scode;
}
