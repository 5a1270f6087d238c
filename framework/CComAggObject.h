#pragma once
#include "framework/CAtlModule.h"
#include "framework/CComContainedObject.h"
#include "framework/CComObjectRootEx.h"
#include <new>
// A COM object created inside an outer object (aggregation). This object is the inner,
// non-delegating unknown the outer object holds; the contained Base's interfaces delegate to the
// outer one. Holds a module lock while it lives.
template <class Base> class CComAggObject : public IUnknown, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    explicit CComAggObject(IUnknown* pOuterUnknown) : m_contained(pOuterUnknown)
    {
        if (CAtlModule* pModule = AtlGetModule()) pModule->Lock();
    }
    virtual ~CComAggObject()
    {
        m_dwRef = -(LONG_MAX / 2);
        if (m_bConstructed) m_contained.FinalRelease();
        if (CAtlModule* pModule = AtlGetModule()) pModule->Unlock();
    }
    STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = InternalRelease();
        if (count == 0) delete this;
        return count;
    }
    // IUnknown is this inner unknown; every other interface is the contained object's, whose
    // AddRef goes to the outer object as COM's aggregation rules ask.
    STDMETHOD(QueryInterface)(REFIID iid, void** ppvObject) override
    {
        if (!ppvObject) return E_POINTER;
        if (::InlineIsEqualGUID(iid, IID_IUnknown))
        {
            *ppvObject = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_contained._InternalQueryInterface(iid, ppvObject);
    }

    static HRESULT WINAPI CreateInstance(IUnknown* pUnkOuter, CComAggObject<Base>** pp) noexcept
    {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        if (!pUnkOuter) return CLASS_E_NOAGGREGATION;
        auto* p = new (std::nothrow) CComAggObject<Base>(pUnkOuter);
        if (!p) return E_OUTOFMEMORY;
        p->m_dwRef = 1; // see CComObject::CreateInstance
        HRESULT hr = p->m_contained.FinalConstruct();
        p->m_dwRef = 0;
        if (FAILED(hr))
        {
            p->m_bConstructed = false;
            delete p;
            return hr;
        }
        *pp = p;
        return S_OK;
    }

    CComContainedObject<Base> m_contained;

private:
    bool m_bConstructed = true;
};
