#pragma once
#include "clientctl/CCall.h"
#include "framework/CComCoClass.h"
#include "framework/CComEnumOnSTL.h"
#include "framework/CComObjectRootEx.h"
#include "framework/ICollectionOnSTLImpl.h"
#include "framework/IDispatchImpl.h"
#include "clientctl/module/LumoClientResources.h"
#include "LumoClient.h"
#include <vector>

namespace CallColl
{
// A call of the collection as the VT_DISPATCH that Item and the enumerator give out, with a
// reference for the receiver.
class _CopyVariantFromInterface
{
public:
    static void init(VARIANT* p) noexcept { ::VariantInit(p); }
    static HRESULT copy(VARIANT* pTo, ILumoClientCall* const* pFrom) noexcept
    {
        ::VariantInit(pTo);
        pTo->vt = VT_DISPATCH;
        pTo->pdispVal = *pFrom; // ILumoClientCall is an IDispatch
        if (pTo->pdispVal) pTo->pdispVal->AddRef();
        return S_OK;
    }
    static void destroy(VARIANT* p) noexcept { ::VariantClear(p); }
};
} // namespace CallColl

using CLumoClientCallCollectionEnum = CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT,
                                                    CallColl::_CopyVariantFromInterface, std::vector<ILumoClientCall*>>;

// A contact's call history in record order. It holds one reference per call and releases them all
// when it goes; its enumerator reads the live sequence.
class CLumoClientCallCollection
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CLumoClientCallCollection, &CLSID_LumoClientCallCollection>,
      public ICollectionOnSTLImpl<
          IDispatchImpl<ILumoClientCallCollection, &IID_ILumoClientCallCollection, &LIBID_LumoClientLib>,
          std::vector<ILumoClientCall*>, VARIANT, CallColl::_CopyVariantFromInterface, CLumoClientCallCollectionEnum>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTCALLCOLLECTION)

    BEGIN_COM_MAP(CLumoClientCallCollection)
    COM_INTERFACE_ENTRY(ILumoClientCallCollection)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    void FinalRelease() noexcept;

    // Item counts from 0; an index may also be a number in a text.
    STDMETHOD(get_Item)(VARIANT Index, VARIANT* pVal) override;

    // Appends a new LumoClientCall for each record, in order.
    HRESULT AddCalls(const CCallArray& calls) noexcept;
};
