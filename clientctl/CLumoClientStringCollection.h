#pragma once
#include "framework/CComCoClass.h"
#include "framework/CComEnumOnSTL.h"
#include "framework/CComObjectRootEx.h"
#include "framework/ICollectionOnSTLImpl.h"
#include "framework/IDispatchImpl.h"
#include "clientctl/module/LumoClientResources.h"
#include "LumoClient.h"
#include <string>
#include <vector>

// A text of the collection as the VT_BSTR that Item and the enumerator give out.
class CCopyTextToVariant
{
public:
    static void init(VARIANT* p) noexcept { ::VariantInit(p); }
    static HRESULT copy(VARIANT* pTo, const std::wstring* pFrom) noexcept;
    static void destroy(VARIANT* p) noexcept { ::VariantClear(p); }
};

using CLumoClientStringCollectionEnum =
    CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT, CCopyTextToVariant, std::vector<std::wstring>>;

// A list of texts in the order they were added. Clients fill one for the control (addresses,
// resource ids); the map hands out its keys and values as new ones. The enumerator reads the live
// list, so it sees texts added after it was made.
class CLumoClientStringCollection
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CLumoClientStringCollection, &CLSID_LumoClientStringCollection>,
      public ICollectionOnSTLImpl<
          IDispatchImpl<ILumoClientStringCollection, &IID_ILumoClientStringCollection, &LIBID_LumoClientLib>,
          std::vector<std::wstring>, VARIANT, CCopyTextToVariant, CLumoClientStringCollectionEnum>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTSTRINGCOLLECTION)

    BEGIN_COM_MAP(CLumoClientStringCollection)
    COM_INTERFACE_ENTRY(ILumoClientStringCollection)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    // Item and Remove count from 0; an index may also be a number in a text.
    STDMETHOD(get_Item)(VARIANT Index, VARIANT* pVal) override;
    STDMETHOD(Add)(VARIANT Item) override;
    STDMETHOD(Remove)(VARIANT Index) override;
    STDMETHOD(Clear)() override;

    // Removes the text at nIndex (from 0): E_INVALIDARG outside the list.
    virtual HRESULT RemoveAt(long nIndex);

    // Appends a text up to its first NUL; a null text is the empty one. Used by the library's own
    // producers (the map's keys and values) as well as by Add.
    HRESULT AddText(const wchar_t* pszText, size_t nLength) noexcept;
};
