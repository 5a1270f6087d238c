#include "framework/testing/CRecordingSink.h"
#include <ocidl.h>

CRecordingSink* CRecordingSink::Create(const IID& eventsIid, bool bAnswerEventsIid)
{
    return new CRecordingSink(eventsIid, bAnswerEventsIid);
}

STDMETHODIMP CRecordingSink::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!::InlineIsEqualGUID(iid, IID_IUnknown) && !::InlineIsEqualGUID(iid, IID_IDispatch) &&
        !(m_bAnswerEvents && ::InlineIsEqualGUID(iid, m_iid)))
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CRecordingSink::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRef));
}

STDMETHODIMP_(ULONG) CRecordingSink::Release()
{
    const LONG count = ::InterlockedDecrement(&m_nRef);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CRecordingSink::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CRecordingSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CRecordingSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CRecordingSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                    VARIANT* pVarResult, EXCEPINFO*, UINT*)
{
    Call call{dispIdMember, {}, pVarResult != nullptr};
    for (UINT i = 0; pDispParams && i < pDispParams->cArgs; ++i)
    {
        const VARIANT& arg = pDispParams->rgvarg[i];
        Argument recorded{arg.vt, {}, {}, VT_EMPTY};
        if (arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal)
        {
            const VARIANT& inner = *arg.pvarVal;
            recorded.innerVt = inner.vt;
            if (inner.vt == (VT_ARRAY | VT_UI1) && inner.parray && inner.parray->cDims == 1)
            {
                const auto* data = static_cast<const BYTE*>(inner.parray->pvData);
                recorded.bytes.assign(data, data + inner.parray->rgsabound[0].cElements);
            }
        }
        else
            recorded.value = arg;
        call.args.push_back(std::move(recorded));
    }
    m_calls.push_back(call);
    AddRef(); // the hook may unadvise, which can drop the source's reference to us
    const HRESULT hr = m_onInvoke ? m_onInvoke(call) : S_OK; // not m_calls.back(): the hook may fire again
    Release();
    return hr;
}

HRESULT CRecordingSink::Advise(IUnknown* pSource)
{
    CComPtr<IConnectionPointContainer> container;
    HRESULT hr = pSource->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (FAILED(hr)) return hr;
    CComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(m_iid, &point);
    if (FAILED(hr)) return hr;
    hr = point->Advise(static_cast<IDispatch*>(this), &m_cookie);
    if (SUCCEEDED(hr)) m_point = point;
    return hr;
}

HRESULT CRecordingSink::Unadvise()
{
    if (!m_point) return CONNECT_E_NOCONNECTION;
    const HRESULT hr = m_point->Unadvise(m_cookie);
    m_point.Release(); // the point holds the source, which may hold us: no cycle is left behind
    m_cookie = 0;
    return hr;
}
