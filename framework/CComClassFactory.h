#pragma once
#include "framework/CAtlModule.h"
#include "framework/CComObjectRootEx.h"
// The class factory DllGetClassObject hands out: creates objects through the class's creator
// function. LockServer holds the module, so the server stays loaded between creations.
class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    using CreatorFunction = HRESULT(WINAPI*)(void* pv, REFIID riid, void** ppv);

    BEGIN_COM_MAP(CComClassFactory)
    COM_INTERFACE_ENTRY(IClassFactory)
    END_COM_MAP()

    void SetCreator(CreatorFunction pfnCreate) noexcept { m_pfnCreate = pfnCreate; }

    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        // COM's rule: an aggregate is only ever asked for its inner IUnknown.
        if (pUnkOuter && !::InlineIsEqualGUID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        if (!m_pfnCreate) return E_UNEXPECTED;
        return m_pfnCreate(pUnkOuter, riid, ppvObject);
    }
    STDMETHOD(LockServer)(BOOL fLock) override
    {
        if (CAtlModule* pModule = AtlGetModule()) fLock ? pModule->Lock() : pModule->Unlock();
        return S_OK;
    }

private:
    CreatorFunction m_pfnCreate = nullptr;
};
