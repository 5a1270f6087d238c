#pragma once
#include "framework/CComTypeInfoHolder.h"
// IDispatch for a dual interface T, answered from the type information of T in the binary's own
// type library (see CComTypeInfoHolder). The library id and version only document which library
// the interface comes from: the binary carries exactly one.
template <class T, const IID* piid = &__uuidof(T), const GUID* plibid = nullptr, WORD wMajor = 1, WORD wMinor = 0>
class IDispatchImpl : public T
{
public:
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override
    {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override
    {
        return TypeInfo().GetTypeInfo(iTInfo, lcid, ppTInfo);
    }
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override
    {
        return TypeInfo().GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
    }
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        return TypeInfo().Invoke(static_cast<T*>(this), dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult,
                                 pExcepInfo, puArgErr);
    }

    static CComTypeInfoHolder& TypeInfo() noexcept
    {
        static CComTypeInfoHolder holder(*piid);
        return holder;
    }
};
