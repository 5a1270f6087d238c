#include "CTestCollection.h"
#include "framework/CComVariant.h"

STDMETHODIMP CTestCollection::get_Item(VARIANT Index, VARIANT* pVal)
{
    if (!pVal) return E_POINTER;
    CComVariant index;
    if (FAILED(index.ChangeType(VT_I4, &Index))) return E_FAIL;
    if (index.lVal < 0) return E_INVALIDARG;
    ::VariantInit(pVal);
    return ICollectionOnSTLImpl::get_Item(index.lVal + 1, pVal);
}

STDMETHODIMP CTestCollection::Add(BSTR Text)
{
    try
    {
        m_coll.emplace_back(Text ? Text : L"", ::SysStringLen(Text));
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

OBJECT_ENTRY_AUTO(CLSID_TestCollection, CTestCollection)
