#pragma once
#include "framework/CComCoClass.h"
#include "ComTestServer.h"
#include "ComTestServerResources.h"
#include "framework/CComEnumOnSTL.h"
#include "framework/CComObjectRootEx.h"
#include "framework/ICollectionOnSTLImpl.h"
#include "framework/IDispatchImpl.h"
#include <string>
#include <vector>

// A text of the collection as the VARIANT that Item and the enumerator give out.
class CCopyTextToVariant
{
public:
    static void init(VARIANT* p) noexcept { ::VariantInit(p); }
    static HRESULT copy(VARIANT* pTo, const std::wstring* pFrom) noexcept
    {
        ::VariantInit(pTo);
        pTo->bstrVal = ::SysAllocStringLen(pFrom->data(), static_cast<UINT>(pFrom->size()));
        if (!pTo->bstrVal) return E_OUTOFMEMORY;
        pTo->vt = VT_BSTR;
        return S_OK;
    }
    static void destroy(VARIANT* p) noexcept { ::VariantClear(p); }
};

using CTestCollectionEnum =
    CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT, CCopyTextToVariant, std::vector<std::wstring>>;

// A list of texts: Item counts from 0 and converts its index, as the control library's collections do.
// It cannot be aggregated, so a test sees the refusal.
class CTestCollection
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CTestCollection, &CLSID_TestCollection>,
      public ICollectionOnSTLImpl<IDispatchImpl<ITestCollection, &IID_ITestCollection, &LIBID_ComTestServerLib>,
                                  std::vector<std::wstring>, VARIANT, CCopyTextToVariant, CTestCollectionEnum>
{
public:
    DECLARE_NOT_AGGREGATABLE(CTestCollection)
    DECLARE_REGISTRY_RESOURCEID(IDR_TESTCOLLECTION)

    BEGIN_COM_MAP(CTestCollection)
    COM_INTERFACE_ENTRY(ITestCollection)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(get_Item)(VARIANT Index, VARIANT* pVal) override;
    STDMETHOD(Add)(BSTR Text) override;
};
