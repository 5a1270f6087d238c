#pragma once
#include "framework/CAtlModule.h"
#include <new>
// A COM object standing alone: Base (a class on CComObjectRootEx with a COM map) plus IUnknown.
// Every live object holds a module lock, so the server is not unloaded under it.
template <class Base> class CComObject : public Base
{
public:
    CComObject() { ModuleLock(); }
    virtual ~CComObject()
    {
        this->m_dwRef = -(LONG_MAX / 2); // a reference taken and dropped in FinalRelease must not delete twice
        if (m_bConstructed) this->FinalRelease();
        ModuleUnlock();
    }
    STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = this->InternalRelease();
        if (count == 0) delete this;
        return count;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppvObject) override
    {
        return this->_InternalQueryInterface(iid, ppvObject);
    }

    // A new object with no reference yet (the caller takes the first), FinalConstruct run.
    static HRESULT WINAPI CreateInstance(CComObject<Base>** pp) noexcept
    {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        auto* p = new (std::nothrow) CComObject<Base>();
        if (!p) return E_OUTOFMEMORY;
        p->InternalFinalConstructAddRef();
        p->m_dwRef = 1; // a FinalConstruct that hands itself out and releases must not end the object
        HRESULT hr = p->FinalConstruct();
        p->m_dwRef = 0;
        p->InternalFinalConstructRelease();
        if (FAILED(hr))
        {
            p->m_bConstructed = false; // FinalRelease pairs with a FinalConstruct that succeeded
            delete p;
            return hr;
        }
        *pp = p;
        return S_OK;
    }

private:
    static void ModuleLock() noexcept
    {
        if (CAtlModule* pModule = AtlGetModule()) pModule->Lock();
    }
    static void ModuleUnlock() noexcept
    {
        if (CAtlModule* pModule = AtlGetModule()) pModule->Unlock();
    }
    bool m_bConstructed = true;
};
