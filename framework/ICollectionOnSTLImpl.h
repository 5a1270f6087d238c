#pragma once
#include "framework/CComEnumOnSTL.h"
#include <oaidl.h>
// Count, 1-based positional lookup and an enumerator for a collection interface T whose
// elements are in the standard container m_coll. CopyItem makes an ItemType (the VARIANT of
// Item and the enumerator) of an element; EnumType is the enumerator class, a CComEnumOnSTL
// over m_coll's type (a live enumerator). The class's own Item usually converts its index and
// calls the positional lookup by qualified name.
template <class T, class CollType, class ItemType, class CopyItem, class EnumType> class ICollectionOnSTLImpl : public T
{
public:
    STDMETHOD(get_Count)(long* pcount) override
    {
        if (!pcount) return E_POINTER;
        *pcount = static_cast<long>(m_coll.size());
        return S_OK;
    }
    // Index 1 is the first element: E_INVALIDARG below 1, E_FAIL past the end (pvar untouched).
    virtual HRESULT STDMETHODCALLTYPE get_Item(long Index, ItemType* pvar)
    {
        if (!pvar) return E_POINTER;
        if (Index < 1) return E_INVALIDARG;
        if (static_cast<size_t>(Index) > m_coll.size()) return E_FAIL;
        return CopyItem::copy(pvar, &*std::next(m_coll.begin(), Index - 1));
    }
    STDMETHOD(get__NewEnum)(IUnknown** ppUnk) override
    {
        if (!ppUnk) return E_POINTER;
        *ppUnk = nullptr;
        IUnknown* pOwner = nullptr;
        HRESULT hr = this->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pOwner));
        if (FAILED(hr)) return hr;
        typename EnumType::EnumInterface* pEnum = nullptr;
        hr = EnumType::Create(pOwner, m_coll, &pEnum);
        pOwner->Release();
        if (SUCCEEDED(hr)) *ppUnk = pEnum;
        return hr;
    }

    CollType m_coll;
};
