#pragma once
#include "framework/CComDynamicUnkArray.h"
#include "framework/CComEnum.h"
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include "framework/IConnectionPointLocator.h"
#include <ocidl.h>
#include <olectl.h>
#include <vector>
// One connection point of T for the outgoing interface *piid, as a base of T. The point itself is
// an inner object whose reference count is T's, so it lives as long as T does. Sinks are kept in
// m_vec; FireEvent calls every one of them through IDispatch.
template <class T, const IID* piid, class CDV = CComDynamicUnkArray>
class IConnectionPointImpl : public IConnectionPointLocator<piid>
{
public:
    IConnectionPoint* LocateConnectionPoint() noexcept override { return &m_point; }

protected:
    IConnectionPointImpl() noexcept : m_point(*this) {}
    IConnectionPointImpl(const IConnectionPointImpl&) = delete;
    IConnectionPointImpl& operator=(const IConnectionPointImpl&) = delete;

    // Calls dispId on every sink in advise order with the arguments (given first to last, sent
    // last-first as IDispatch wants, each made anew for each sink as the VARIANT CComVariant makes
    // of it). The number of slots is read once: a sink that unadvises during the call empties its
    // slot, which is skipped. Each sink is held during its call; a failing sink stops nothing.
    // The result is the last call's HRESULT (S_OK with no sink).
    template <class... Args> HRESULT FireEvent(DISPID dispId, bool bWantResult, const Args&... args)
    {
        HRESULT hr = S_OK;
        const int nSlots = m_vec.GetSize();
        for (int i = 0; i < nSlots; ++i)
        {
            CComPtr<IDispatch> sink(static_cast<IDispatch*>(static_cast<void*>(m_vec.GetAt(i))));
            if (!sink) continue;
            CComVariant argv[sizeof...(Args) + 1]; // one spare: an event may have no argument
            size_t next = sizeof...(Args);
            ((argv[--next] = CComVariant(args)), ...);
            DISPPARAMS params{sizeof...(Args) ? argv : nullptr, nullptr, static_cast<UINT>(sizeof...(Args)), 0};
            CComVariant result;
            hr = sink->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                              bWantResult ? &result : nullptr, nullptr, nullptr);
        }
        return hr;
    }

    CDV m_vec;

private:
    using CEnumConnections = CComEnum<IEnumConnections, &IID_IEnumConnections, CONNECTDATA>;

    class CPoint : public IConnectionPoint
    {
    public:
        explicit CPoint(IConnectionPointImpl& owner) noexcept : m_owner(owner) {}
        STDMETHOD_(ULONG, AddRef)() override { return Owner()->AddRef(); }
        STDMETHOD_(ULONG, Release)() override { return Owner()->Release(); }
        STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override
        {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (!::InlineIsEqualGUID(iid, IID_IUnknown) && !::InlineIsEqualGUID(iid, IID_IConnectionPoint))
                return E_NOINTERFACE;
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        STDMETHOD(GetConnectionInterface)(IID* pIID) override
        {
            if (!pIID) return E_POINTER;
            *pIID = *piid;
            return S_OK;
        }
        STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** ppCPC) override
        {
            if (!ppCPC) return E_POINTER;
            return Owner()->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(ppCPC));
        }
        // A sink answering the point's interface, else one answering IDispatch (a plain dispatch
        // sink); anything else cannot connect.
        STDMETHOD(Advise)(IUnknown* pUnkSink, DWORD* pdwCookie) override
        {
            if (!pdwCookie) return E_POINTER;
            *pdwCookie = 0;
            if (!pUnkSink) return E_POINTER;
            IUnknown* pSink = nullptr;
            if (FAILED(pUnkSink->QueryInterface(*piid, reinterpret_cast<void**>(&pSink))) &&
                FAILED(pUnkSink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pSink))))
                return CONNECT_E_CANNOTCONNECT;
            *pdwCookie = m_owner.m_vec.Add(pSink);
            if (*pdwCookie == 0)
            {
                pSink->Release();
                return E_OUTOFMEMORY;
            }
            return S_OK;
        }
        STDMETHOD(Unadvise)(DWORD dwCookie) override
        {
            IUnknown* pSink = m_owner.m_vec.Remove(dwCookie);
            if (!pSink) return CONNECT_E_NOCONNECTION;
            pSink->Release();
            return S_OK;
        }
        STDMETHOD(EnumConnections)(IEnumConnections** ppEnum) override
        {
            if (!ppEnum) return E_POINTER;
            *ppEnum = nullptr;
            std::vector<CONNECTDATA> connections;
            try
            {
                for (int i = 0; i < m_owner.m_vec.GetSize(); ++i)
                    if (IUnknown* p = m_owner.m_vec.GetAt(i))
                        connections.push_back(CONNECTDATA{p, static_cast<DWORD>(i + 1)});
            }
            catch (...)
            {
                return E_OUTOFMEMORY;
            }
            return CEnumConnections::Create(connections.data(), connections.data() + connections.size(), ppEnum);
        }

    private:
        IUnknown* Owner() noexcept { return static_cast<T*>(&m_owner)->GetUnknown(); }
        IConnectionPointImpl& m_owner;
    };

    CPoint m_point;
};
