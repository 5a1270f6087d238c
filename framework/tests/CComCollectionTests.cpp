// The collection templates on a class of the test program itself (no server, no module).
#include "framework/CComObject.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include "framework/ICollectionOnSTLCopyImpl.h"
#include <gtest/gtest.h>
#include <map>
#include <string>

struct ITextList : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE get_Count(long* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppUnk) = 0;
};
__CRT_UUID_DECL(ITextList, 0x5d8f0e1c, 0x2f4b, 0x4a37, 0x9c, 0x11, 0x6e, 0x2a, 0x40, 0x7b, 0x51, 0x12)

namespace
{
using CTextMap = std::map<std::wstring, std::wstring>;

class CCopyValueToVariant
{
public:
    static void init(VARIANT* p) noexcept { ::VariantInit(p); }
    static HRESULT copy(VARIANT* pTo, const CTextMap::value_type* pFrom) noexcept
    {
        ::VariantInit(pTo);
        pTo->bstrVal = ::SysAllocString(pFrom->second.c_str());
        if (!pTo->bstrVal) return E_OUTOFMEMORY;
        pTo->vt = VT_BSTR;
        return S_OK;
    }
    static void destroy(VARIANT* p) noexcept { ::VariantClear(p); }
};
using CTextMapEnum = CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT, CCopyValueToVariant, CTextMap>;

// A map whose enumerator works on a copy, as the control library's map does.
class CTextMapObject
    : public CComObjectRootEx<CComSingleThreadModel>,
      public VCUE::ICollectionOnSTLCopyImpl<ITextList, CTextMap, VARIANT, CCopyValueToVariant, CTextMapEnum>
{
public:
    BEGIN_COM_MAP(CTextMapObject)
    COM_INTERFACE_ENTRY(ITextList)
    END_COM_MAP()

    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
};

std::vector<std::wstring> Drain(IEnumVARIANT* pEnum)
{
    std::vector<std::wstring> texts;
    for (int guard = 0; guard < 100; ++guard)
    {
        CComVariant item;
        if (pEnum->Next(1, &item, nullptr) != S_OK) break;
        texts.emplace_back(item.bstrVal);
    }
    return texts;
}
} // namespace

TEST(ComCollection, CopyEnumeratorKeepsItsSnapshotAndClonesKeepThePosition)
{
    CComObject<CTextMapObject>* pObject = nullptr;
    ASSERT_EQ(CComObject<CTextMapObject>::CreateInstance(&pObject), S_OK);
    CComPtr<ITextList> list(pObject);
    pObject->m_coll = {{L"b", L"two"}, {L"a", L"one"}};

    CComPtr<IUnknown> unknown;
    ASSERT_EQ(list->get__NewEnum(&unknown), S_OK);
    CComPtr<IEnumVARIANT> items;
    ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items)), S_OK);
    pObject->m_coll[L"c"] = L"three"; // after the enumerator was made
    pObject->m_coll.erase(L"a");

    CComVariant first;
    ASSERT_EQ(items->Next(1, &first, nullptr), S_OK);
    EXPECT_STREQ(first.bstrVal, L"one") << "values in key order, as they were when _NewEnum was called";
    CComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(items->Clone(&clone), S_OK);
    EXPECT_EQ(Drain(clone), (std::vector<std::wstring>{L"two"})) << "the clone starts at the original's position";
    EXPECT_EQ(Drain(items), (std::vector<std::wstring>{L"two"}));
    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Skip(5), S_FALSE);
    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Skip(2), S_OK);

    VARIANT value;
    ::VariantInit(&value);
    EXPECT_EQ(pObject->get_Item(1, &value), S_OK) << "positions count from 1";
    EXPECT_STREQ(value.bstrVal, L"two");
    ::VariantClear(&value);
    EXPECT_EQ(pObject->get_Item(0, &value), E_INVALIDARG);
    EXPECT_EQ(pObject->get_Item(3, &value), E_FAIL);
    long count = 0;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
}
