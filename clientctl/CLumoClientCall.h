#pragma once
#include "clientctl/CCall.h"
#include "framework/CComCoClass.h"
#include "framework/CComObjectRootEx.h"
#include "framework/IDispatchImpl.h"
#include "framework/IProvideClassInfo2Impl.h"
#include "clientctl/module/LumoClientResources.h"
#include "LumoClient.h"

// One call of a contact's call history, read-only. The control copies a received record in; one a
// client creates holds an empty record.
class CLumoClientCall : public CComObjectRootEx<CComSingleThreadModel>,
                        public CComCoClass<CLumoClientCall, &CLSID_LumoClientCall>,
                        public IDispatchImpl<ILumoClientCall, &IID_ILumoClientCall, &LIBID_LumoClientLib>,
                        public IProvideClassInfo2Impl<&CLSID_LumoClientCall, nullptr, &LIBID_LumoClientLib>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTCALL)

    BEGIN_COM_MAP(CLumoClientCall)
    COM_INTERFACE_ENTRY(ILumoClientCall)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IProvideClassInfo)
    COM_INTERFACE_ENTRY(IProvideClassInfo2)
    END_COM_MAP()

    STDMETHOD(get_CallId)(LONG* pVal) override;
    STDMETHOD(get_TelephoneNumber)(BSTR* pVal) override;
    STDMETHOD(get_StartTimeUTC)(DATE* pVal) override;
    STDMETHOD(get_UTCOffsetAgent)(LONG* pVal) override;
    STDMETHOD(get_UTCOffsetRespondent)(LONG* pVal) override;
    STDMETHOD(get_ShiftNr)(LONG* pVal) override;
    STDMETHOD(get_Result)(LONG* pVal) override;
    STDMETHOD(get_SubResult)(LONG* pVal) override;
    STDMETHOD(get_Derivation)(LONG* pVal) override;
    STDMETHOD(get_RecoverTimeUTC)(DATE* pVal) override;
    STDMETHOD(get_AgentId)(LONG* pVal) override;

    void SetCall(const CCall& call) { m_call = call; }

private:
    CCall m_call;
};
