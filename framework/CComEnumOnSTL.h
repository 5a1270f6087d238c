#pragma once
#include "framework/CComObject.h"
#include "framework/ComEnumNext.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComPtr.h"
#include <iterator>
// An enumerator (Base, such as IEnumVARIANT) over a live standard container of the object that
// holds it: it keeps the object alive and reads the container as it is at each call, by position,
// so elements added or removed meanwhile do not invalidate it. Copy makes a T of an element.
// Clones start at the clone's position.
template <class Base, const IID* piid, class T, class Copy, class CollType>
class CComEnumOnSTL : public Base, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    using EnumInterface = Base;
    static constexpr const IID* kpiid = piid;

    BEGIN_COM_MAP(CComEnumOnSTL)
    COM_INTERFACE_ENTRY_IID(*piid, Base)
    END_COM_MAP()

    // A new enumerator over coll, which pUnkOwner owns; asked for its interface.
    static HRESULT Create(IUnknown* pUnkOwner, const CollType& coll, Base** ppEnum, size_t pos = 0) noexcept
    {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        CComObject<CComEnumOnSTL>* p = nullptr;
        const HRESULT hr = CComObject<CComEnumOnSTL>::CreateInstance(&p);
        if (FAILED(hr)) return hr;
        p->m_owner = pUnkOwner;
        p->m_pColl = &coll;
        p->m_pos = pos;
        p->AddRef();
        *ppEnum = p;
        return S_OK;
    }

    STDMETHOD(Next)(ULONG celt, T* rgelt, ULONG* pceltFetched) override
    {
        return ComEnumNext<T, Copy>(celt, rgelt, pceltFetched, m_pColl->size(), m_pos,
                                    [this](size_t i) { return &*std::next(m_pColl->begin(), static_cast<long>(i)); });
    }
    STDMETHOD(Skip)(ULONG celt) override
    {
        m_pos += celt;
        if (m_pos <= m_pColl->size()) return S_OK;
        m_pos = m_pColl->size();
        return S_FALSE;
    }
    STDMETHOD(Reset)() override
    {
        m_pos = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(Base** ppEnum) override { return Create(m_owner, *m_pColl, ppEnum, m_pos); }

private:
    CComPtr<IUnknown> m_owner; // keeps the container alive
    const CollType* m_pColl = nullptr;
    size_t m_pos = 0;
};
