#include "CLumoClientStringCollection.h"
#include "framework/CComVariant.h"
#include <algorithm>

HRESULT CCopyTextToVariant::copy(VARIANT* pTo, const std::wstring* pFrom) noexcept
{
    ::VariantInit(pTo);
    pTo->bstrVal = ::SysAllocStringLen(pFrom->data(), static_cast<UINT>(pFrom->size()));
    if (!pTo->bstrVal) return E_OUTOFMEMORY;
    pTo->vt = VT_BSTR;
    return S_OK;
}

namespace
{
// The index of Item and Remove as an integer; FALSE when it is none.
bool IndexOf(const VARIANT& index, long& nIndex) noexcept
{
    CComVariant converted;
    if (FAILED(converted.ChangeType(VT_I4, &index))) return false;
    nIndex = converted.lVal;
    return true;
}
} // namespace

STDMETHODIMP CLumoClientStringCollection::get_Item(VARIANT Index, VARIANT* pVal)
{
    if (!pVal) return E_POINTER;
    long nIndex = 0;
    if (!IndexOf(Index, nIndex)) return E_FAIL;
    ::VariantInit(pVal);
    if (nIndex >= 0 && static_cast<size_t>(nIndex) < m_coll.size())
        return ICollectionOnSTLImpl::get_Item(nIndex + 1, pVal);
    // A caller that ignores the result still reads a text, the empty one.
    pVal->bstrVal = ::SysAllocString(L"");
    if (!pVal->bstrVal) return E_OUTOFMEMORY;
    pVal->vt = VT_BSTR;
    return nIndex < 0 ? E_INVALIDARG : E_FAIL;
}

STDMETHODIMP CLumoClientStringCollection::Add(VARIANT Item)
{
    if (Item.vt != VT_BSTR) return E_FAIL; // texts only, as given: a number is refused, not converted
    return AddText(Item.bstrVal, ::SysStringLen(Item.bstrVal));
}

STDMETHODIMP CLumoClientStringCollection::Remove(VARIANT Index)
{
    long nIndex = 0;
    if (!IndexOf(Index, nIndex)) return E_FAIL;
    return RemoveAt(nIndex);
}

STDMETHODIMP CLumoClientStringCollection::Clear()
{
    m_coll.clear();
    return S_OK;
}

HRESULT CLumoClientStringCollection::RemoveAt(long nIndex)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_coll.size()) return E_INVALIDARG;
    m_coll.erase(m_coll.begin() + nIndex);
    return S_OK;
}

HRESULT CLumoClientStringCollection::AddText(const wchar_t* pszText, size_t nLength) noexcept
{
    try
    {
        const wchar_t* pszBegin = pszText ? pszText : L"";
        const size_t nKept = pszText ? std::find(pszBegin, pszBegin + nLength, L'\0') - pszBegin : 0;
        m_coll.emplace_back(pszBegin, nKept);
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientStringCollection, CLumoClientStringCollection)
