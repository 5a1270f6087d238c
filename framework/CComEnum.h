#pragma once
#include "framework/CComCopy.h"
#include "framework/CComObject.h"
#include "framework/ComEnumNext.h"
#include "framework/CComObjectRootEx.h"
#include <memory>
#include <vector>
// An enumerator (Base: IEnumVARIANT, IEnumConnections, ...) over a snapshot of elements of type
// T taken when it is made. Clones share the snapshot and start at the clone's position.
template <class Base, const IID* piid, class T, class Copy = CComCopy<T>>
class CComEnum : public Base, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    BEGIN_COM_MAP(CComEnum)
    COM_INTERFACE_ENTRY_IID(*piid, Base)
    END_COM_MAP()

    // A new enumerator over copies of [pBegin, pEnd), asked for its interface.
    static HRESULT Create(const T* pBegin, const T* pEnd, Base** ppEnum) noexcept
    {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        auto snapshot = std::make_shared<Snapshot>();
        try
        {
            snapshot->items.reserve(static_cast<size_t>(pEnd - pBegin));
        }
        catch (...)
        {
            return E_OUTOFMEMORY;
        }
        for (const T* p = pBegin; p != pEnd; ++p)
        {
            T item;
            Copy::init(&item);
            const HRESULT hr = Copy::copy(&item, p);
            if (FAILED(hr)) return hr;
            snapshot->items.push_back(item); // reserved: cannot throw
        }
        return Make(std::move(snapshot), 0, ppEnum);
    }

    STDMETHOD(Next)(ULONG celt, T* rgelt, ULONG* pceltFetched) override
    {
        return ComEnumNext<T, Copy>(celt, rgelt, pceltFetched, m_snapshot->items.size(), m_pos,
                                    [this](size_t i) { return &m_snapshot->items[i]; });
    }
    STDMETHOD(Skip)(ULONG celt) override
    {
        const size_t left = m_snapshot->items.size() - m_pos;
        if (celt > left)
        {
            m_pos = m_snapshot->items.size();
            return S_FALSE;
        }
        m_pos += celt;
        return S_OK;
    }
    STDMETHOD(Reset)() override
    {
        m_pos = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(Base** ppEnum) override { return Make(m_snapshot, m_pos, ppEnum); }

private:
    struct Snapshot
    {
        Snapshot() = default;
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;
        ~Snapshot()
        {
            for (T& item : items)
                Copy::destroy(&item);
        }
        std::vector<T> items;
    };

    static HRESULT Make(std::shared_ptr<Snapshot> snapshot, size_t pos, Base** ppEnum) noexcept
    {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        CComObject<CComEnum>* p = nullptr;
        const HRESULT hr = CComObject<CComEnum>::CreateInstance(&p);
        if (FAILED(hr)) return hr;
        p->m_snapshot = std::move(snapshot);
        p->m_pos = pos;
        p->AddRef();
        *ppEnum = p;
        return S_OK;
    }

    std::shared_ptr<Snapshot> m_snapshot;
    size_t m_pos = 0;
};
