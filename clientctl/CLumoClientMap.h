#pragma once
#include "framework/CComBSTR.h"
#include "framework/CComCoClass.h"
#include "framework/CComEnumOnSTL.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComVariant.h"
#include "framework/CString.h"
#include "framework/ICollectionOnSTLCopyImpl.h"
#include "framework/IDispatchImpl.h"
#include "clientctl/module/LumoClientResources.h"
#include "LumoClient.h"
#include <map>

// Keys order by CComBSTR's comparison: the OLE text comparison of the user's default locale,
// case-sensitive, so a and A are two keys in the locale's collation order.
using CLumoClientMapColl = std::map<CComBSTR, CComVariant>;

// An entry of the map as the VARIANT the enumerator gives out: its value, not its key.
class CCopyMapValueToVariant
{
public:
    static void init(VARIANT* p) noexcept { ::VariantInit(p); }
    static HRESULT copy(VARIANT* pTo, const CLumoClientMapColl::value_type* pFrom) noexcept;
    static void destroy(VARIANT* p) noexcept { ::VariantClear(p); }
};

using CLumoClientMapEnum =
    CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT, CCopyMapValueToVariant, CLumoClientMapColl>;

// A map from texts to values of any type (texts, numbers, byte arrays, objects). Clients pass one
// to the control to be filled or to carry fields; the control hands received lists out as maps.
// Its enumerator works on a copy taken when it is made.
class CLumoClientMap
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CLumoClientMap, &CLSID_LumoClientMap>,
      public VCUE::ICollectionOnSTLCopyImpl<IDispatchImpl<ILumoClientMap, &IID_ILumoClientMap, &LIBID_LumoClientLib>,
                                            CLumoClientMapColl, VARIANT, CCopyMapValueToVariant, CLumoClientMapEnum>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTMAP)

    BEGIN_COM_MAP(CLumoClientMap)
    COM_INTERFACE_ENTRY(ILumoClientMap)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(get_Item)(VARIANT Index, VARIANT* pVal) override;
    STDMETHOD(Add)(VARIANT Key, VARIANT Item) override;
    STDMETHOD(Remove)(VARIANT Index) override;
    STDMETHOD(Clear)() override;
    STDMETHOD(GetKeys)(ILumoClientStringCollection** pVal) override;
    STDMETHOD(GetValues)(ILumoClientStringCollection** pVal) override;
    STDMETHOD(ContainsKey)(VARIANT Key, VARIANT_BOOL* pVal) override;

    // A value as GetValues shows it: numbers in the user locale's form, texts unchanged, flags as 1 or
    // 0. False, with the empty text, for a value that has no text form here (objects, arrays, nothing,
    // 64-bit integers and the other number types).
    static bool ValueText(const VARIANT& value, CString& strText);

private:
    // A key or index as the map's key text: unchanged when it is a text, else converted.
    static HRESULT KeyOf(const VARIANT& key, CComBSTR& text) noexcept;
};
