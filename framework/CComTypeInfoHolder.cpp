#include "framework/CComTypeInfoHolder.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

CComTypeInfoHolder::~CComTypeInfoHolder()
{
    if (m_pInfo) m_pInfo->Release();
}

HRESULT CComTypeInfoHolder::LoadModuleTypeLib(ITypeLib** ppLib) noexcept
{
    if (!ppLib) return E_POINTER;
    *ppLib = nullptr;
    wchar_t path[MAX_PATH] = L"";
    if (!::GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH))
        return HRESULT_FROM_WIN32(::GetLastError());
    return ::LoadTypeLibEx(path, REGKIND_NONE, ppLib);
}

HRESULT CComTypeInfoHolder::GetTI(ITypeInfo** ppInfo) noexcept
{
    if (!ppInfo) return E_POINTER;
    *ppInfo = nullptr;
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_pInfo)
    {
        ITypeLib* pLib = nullptr;
        HRESULT hr = LoadModuleTypeLib(&pLib);
        if (FAILED(hr)) return hr;
        ITypeInfo* pInfo = nullptr;
        hr = pLib->GetTypeInfoOfGuid(m_guid, &pInfo);
        pLib->Release();
        if (FAILED(hr)) return hr;
        // A dual interface is found as its dispatch side; the interface side is one reference away.
        HREFTYPE hRef = 0;
        ITypeInfo* pVtable = nullptr;
        if (SUCCEEDED(pInfo->GetRefTypeOfImplType(-1, &hRef)) && SUCCEEDED(pInfo->GetRefTypeInfo(hRef, &pVtable)))
        {
            pInfo->Release();
            pInfo = pVtable;
        }
        m_pInfo = pInfo;
    }
    *ppInfo = m_pInfo;
    return S_OK;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) noexcept
{
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    ITypeInfo* pInfo = nullptr;
    const HRESULT hr = GetTI(&pInfo);
    if (FAILED(hr)) return hr;
    pInfo->AddRef();
    *ppTInfo = pInfo;
    return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                          DISPID* rgDispId) noexcept
{
    if (!::InlineIsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* pInfo = nullptr;
    const HRESULT hr = GetTI(&pInfo);
    if (FAILED(hr)) return hr;
    return pInfo->GetIDsOfNames(rgszNames, cNames, rgDispId);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* pThis, DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) noexcept
{
    if (!::InlineIsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* pInfo = nullptr;
    const HRESULT hr = GetTI(&pInfo);
    if (FAILED(hr)) return hr;
    // The type library settles unknown members, omitted optional arguments and coercion.
    return pInfo->Invoke(pThis, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}
