#include "CLumoClientMap.h"
#include "CLumoClientStringCollection.h"
#include "core/CStaticTools.h"
#include "framework/CComCopy.h"
#include "framework/CException.h"
#include "framework/COleVariant.h"
#include "framework/CString.h"

HRESULT CCopyMapValueToVariant::copy(VARIANT* pTo, const CLumoClientMapColl::value_type* pFrom) noexcept
{
    return CComCopy<VARIANT>::copy(pTo, &pFrom->second);
}

namespace
{
// A new, empty string collection with one reference for the caller.
HRESULT NewStringCollection(CComObject<CLumoClientStringCollection>** pp) noexcept
{
    HRESULT hr = CComObject<CLumoClientStringCollection>::CreateInstance(pp);
    if (SUCCEEDED(hr)) (*pp)->AddRef();
    return hr;
}
} // namespace

bool CLumoClientMap::ValueText(const VARIANT& value, CString& strText)
{
    strText.Empty();
    switch (value.vt)
    {
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
    case VT_DECIMAL:
        strText = CStaticTools::VariantToString(COleVariant(value), false);
        return true;
    default:
        return false;
    }
}

HRESULT CLumoClientMap::KeyOf(const VARIANT& key, CComBSTR& text) noexcept
{
    CComVariant converted;
    const HRESULT hr = key.vt == VT_BSTR ? converted.Copy(&key) : converted.ChangeType(VT_BSTR, &key);
    if (FAILED(hr)) return hr;
    text.Empty();
    text.Attach(converted.bstrVal ? converted.bstrVal : ::SysAllocString(L""));
    converted.vt = VT_EMPTY; // the text now belongs to the key
    return text ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CLumoClientMap::get_Item(VARIANT Index, VARIANT* pVal)
{
    if (!pVal) return E_POINTER;
    CComBSTR key;
    if (FAILED(KeyOf(Index, key))) return E_FAIL;
    const auto found = m_coll.find(key);
    if (found == m_coll.end()) return E_FAIL;
    ::VariantClear(pVal);
    return CComCopy<VARIANT>::copy(pVal, &found->second);
}

STDMETHODIMP CLumoClientMap::Add(VARIANT Key, VARIANT Item)
{
    CComBSTR key;
    HRESULT hr = KeyOf(Key, key);
    if (FAILED(hr)) return hr;
    if (m_coll.find(key) != m_coll.end()) return E_FAIL; // Add never replaces
    CComVariant value;
    // A value passed by reference points into the caller's frame: the map keeps what it points to.
    hr = (Item.vt & VT_BYREF) ? ::VariantCopyInd(&value, &Item) : value.Copy(&Item);
    if (FAILED(hr)) return hr;
    try
    {
        m_coll.emplace(std::move(key), std::move(value));
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientMap::Remove(VARIANT Index)
{
    CComBSTR key;
    if (FAILED(KeyOf(Index, key))) return E_FAIL;
    const auto found = m_coll.find(key);
    if (found == m_coll.end()) return E_FAIL;
    m_coll.erase(found);
    return S_OK;
}

STDMETHODIMP CLumoClientMap::Clear()
{
    m_coll.clear();
    return S_OK;
}

STDMETHODIMP CLumoClientMap::GetKeys(ILumoClientStringCollection** pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    CComObject<CLumoClientStringCollection>* pKeys = nullptr;
    HRESULT hr = NewStringCollection(&pKeys);
    for (auto entry = m_coll.begin(); SUCCEEDED(hr) && entry != m_coll.end(); ++entry)
        hr = pKeys->AddText(entry->first, entry->first.Length());
    if (FAILED(hr))
    {
        if (pKeys) pKeys->Release();
        return hr;
    }
    *pVal = pKeys;
    return S_OK;
}

STDMETHODIMP CLumoClientMap::GetValues(ILumoClientStringCollection** pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    CComObject<CLumoClientStringCollection>* pValues = nullptr;
    HRESULT hr = NewStringCollection(&pValues);
    try
    {
        for (auto entry = m_coll.begin(); SUCCEEDED(hr) && entry != m_coll.end(); ++entry)
        {
            CString text;
            ValueText(entry->second, text);
            hr = pValues->AddText(text, static_cast<size_t>(text.GetLength()));
        }
    }
    catch (CException* pException) // a value the OLE conversion refuses, or memory
    {
        pException->Delete();
        hr = E_FAIL;
    }
    catch (...)
    {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr))
    {
        if (pValues) pValues->Release();
        return hr;
    }
    *pVal = pValues;
    return S_OK;
}

STDMETHODIMP CLumoClientMap::ContainsKey(VARIANT Key, VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    CComBSTR key;
    if (FAILED(KeyOf(Key, key))) return E_FAIL;
    *pVal = m_coll.find(key) != m_coll.end() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientMap, CLumoClientMap)
