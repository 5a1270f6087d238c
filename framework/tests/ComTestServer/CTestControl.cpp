#include "CTestControl.h"
#include "CTestCollection.h"
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include "framework/CHandleOwner.h"
#include <cstring>

STDMETHODIMP CTestControl::get_Caption(BSTR* pVal)
{
    if (!pVal) return E_POINTER;
    return m_caption.CopyTo(pVal);
}

STDMETHODIMP CTestControl::put_Caption(BSTR newVal)
{
    try
    {
        m_caption = newVal;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    FireViewChange();
    return S_OK;
}

STDMETHODIMP CTestControl::Add(LONG a, LONG b, LONG* pSum)
{
    if (!pSum) return E_POINTER;
    *pSum = a + b;
    return S_OK;
}

// Every argument kind the control library sends; the byte array lives only during the event.
STDMETHODIMP CTestControl::FireEverything()
{
    try
    {
        CComPtr<ITestCollection> collection;
        HRESULT hr = CTestCollection::CreateInstance(&collection);
        if (FAILED(hr)) return hr;
        collection->Add(CComBSTR(L"inner"));
        const BYTE payload[] = {1, 2, 3, 250};
        SAFEARRAY* pArray = ::SafeArrayCreateVector(VT_UI1, 0, sizeof(payload));
        if (!pArray) return E_OUTOFMEMORY;
        std::memcpy(pArray->pvData, payload, sizeof(payload));
        CComVariant bytes;
        bytes.vt = VT_ARRAY | VT_UI1;
        bytes.parray = pArray;
        CComBSTR text(L"text");
        Fire_Everything(-2, -4, 4000000000UL, true, text, collection, &bytes);
        return S_OK;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CTestControl::FirePing(LONG n, LONG* pLastResult)
{
    if (!pLastResult) return E_POINTER;
    *pLastResult = Fire_Ping(n);
    return S_OK;
}

HRESULT CTestControl::OnDraw(ATL_DRAWINFO& di)
{
    const RECT bounds{di.prcBounds->left, di.prcBounds->top, di.prcBounds->right, di.prcBounds->bottom};
    CGdiHandle<HBRUSH> brush(::CreateSolidBrush(kFillColor));
    if (!brush.IsValid()) return E_OUTOFMEMORY;
    ::FillRect(di.hdcDraw, &bounds, brush);
    return S_OK;
}

OBJECT_ENTRY_AUTO(CLSID_TestControl, CTestControl)
