#include "CLumoClientCallCollection.h"
#include "CLumoClientCall.h"
#include "framework/CComVariant.h"

void CLumoClientCallCollection::FinalRelease() noexcept
{
    for (ILumoClientCall* pCall : m_coll)
        pCall->Release();
    m_coll.clear();
}

STDMETHODIMP CLumoClientCallCollection::get_Item(VARIANT Index, VARIANT* pVal)
{
    if (!pVal) return E_POINTER;
    CComVariant index;
    if (FAILED(index.ChangeType(VT_I4, &Index)) || index.lVal < 0) return E_FAIL;
    return ICollectionOnSTLImpl::get_Item(index.lVal + 1, pVal);
}

HRESULT CLumoClientCallCollection::AddCalls(const CCallArray& calls) noexcept
{
    try
    {
        m_coll.reserve(m_coll.size() + static_cast<size_t>(calls.GetSize()));
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    for (INT_PTR i = 0; i < calls.GetSize(); ++i)
    {
        CComObject<CLumoClientCall>* pCall = nullptr;
        const HRESULT hr = CComObject<CLumoClientCall>::CreateInstance(&pCall);
        if (FAILED(hr)) return hr;
        pCall->AddRef(); // the collection's reference
        try
        {
            pCall->SetCall(calls[i]);
        }
        catch (...) // the number's copy could not be allocated
        {
            pCall->Release();
            return E_OUTOFMEMORY;
        }
        m_coll.push_back(pCall); // room was reserved above: no throw
    }
    return S_OK;
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientCallCollection, CLumoClientCallCollection)
