#pragma once
#include "framework/Platform.h"
#include <oleauto.h>
#include <mutex>
// The type information of one interface (or coclass) of the module's own type library, loaded
// once from the binary's embedded type library (resource 1): no registry and no activation
// context is asked, so a server works registered or not. The holder keeps one reference until
// it is destroyed with the module's statics.
class CComTypeInfoHolder
{
public:
    explicit CComTypeInfoHolder(const GUID& guid) noexcept : m_guid(guid) {}
    ~CComTypeInfoHolder();
    CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
    CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

    // The type information, borrowed (valid while the holder lives). For a dual interface it is
    // the vtable side, which ITypeInfo::Invoke needs to call the object's methods.
    HRESULT GetTI(ITypeInfo** ppInfo) noexcept;

    // IDispatch's members answered from the type information.
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) noexcept;
    HRESULT Invoke(IDispatch* pThis, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept;

    // The binary's own type library; one reference to the caller.
    static HRESULT LoadModuleTypeLib(ITypeLib** ppLib) noexcept;

private:
    const GUID& m_guid;
    std::mutex m_lock; // objects of one class may live in several apartments
    ITypeInfo* m_pInfo = nullptr;
};
