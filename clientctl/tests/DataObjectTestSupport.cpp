#include "DataObjectTestSupport.h"
#include "framework/testing/DispatchInvoke.h"
#include <cwchar>

namespace
{
std::wstring CollectionText(IDispatch* pCollection)
{
    CComVariant count;
    if (FAILED(InvokeMember(pCollection, DispId::kCount, DISPATCH_PROPERTYGET, {}, &count)) || count.vt != VT_I4)
        return L"DISPATCH";
    std::wstring text = L"TEXTS:";
    for (long i = 0; i < count.lVal && i < 100; ++i)
    {
        CComVariant item;
        InvokeMember(pCollection, DispId::kItem, DISPATCH_PROPERTYGET, {CComVariant(i)}, &item);
        const std::wstring itemText = Render(item);
        text += (i ? L"|" : L"") + itemText.substr(itemText.find(L':') + 1);
    }
    return text;
}
} // namespace

std::wstring Render(const VARIANT& value)
{
    wchar_t number[64] = L"";
    switch (value.vt)
    {
    case VT_EMPTY:
        return L"EMPTY";
    case VT_I4:
        std::swprintf(number, 64, L"I4:%ld", value.lVal);
        return number;
    case VT_BOOL:
        std::swprintf(number, 64, L"BOOL:%d", value.boolVal);
        return number;
    case VT_DATE:
        std::swprintf(number, 64, L"DATE:%g", value.date);
        return number;
    case VT_BSTR:
        return L"BSTR:" + std::wstring(value.bstrVal ? value.bstrVal : L"", ::SysStringLen(value.bstrVal));
    case VT_DISPATCH: {
        if (!value.pdispVal) return L"DISPATCH:null";
        if (DispIdOfName(value.pdispVal, L"CallId") != DISPID_UNKNOWN)
        {
            CComVariant id;
            InvokeMember(value.pdispVal, DispIdOfName(value.pdispVal, L"CallId"), DISPATCH_PROPERTYGET, {}, &id);
            return L"CALL:" + Render(id).substr(3);
        }
        return CollectionText(value.pdispVal);
    }
    default:
        std::swprintf(number, 64, L"VT%u", value.vt);
        return number;
    }
}

std::vector<std::wstring> Drain(IEnumVARIANT* pEnum)
{
    std::vector<std::wstring> items;
    for (int guard = 0; guard < 100; ++guard)
    {
        CComVariant item;
        if (pEnum->Next(1, &item, nullptr) != S_OK) break;
        items.push_back(Render(item));
    }
    return items;
}

CComPtr<IEnumVARIANT> EnumeratorOf(IDispatch* pCollection)
{
    CComVariant unknown;
    CComPtr<IEnumVARIANT> items;
    if (SUCCEEDED(InvokeMember(pCollection, DispId::kNewEnum, DISPATCH_PROPERTYGET, {}, &unknown)) &&
        (unknown.vt == VT_UNKNOWN || unknown.vt == VT_DISPATCH) && unknown.punkVal)
        unknown.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items));
    return items;
}
