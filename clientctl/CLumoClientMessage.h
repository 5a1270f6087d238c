#pragma once
#include "framework/CComCoClass.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
#include "framework/IDispatchImpl.h"
#include "clientctl/module/LumoClientResources.h"
#include "LumoClient.h"

// A message to or from a supervisor. Its attachments map (file name to bytes) is its own from
// construction to destruction; the getter hands out a further reference.
class CLumoClientMessage : public CComObjectRootEx<CComSingleThreadModel>,
                           public CComCoClass<CLumoClientMessage, &CLSID_LumoClientMessage>,
                           public IDispatchImpl<ILumoClientMessage, &IID_ILumoClientMessage, &LIBID_LumoClientLib>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTMESSAGE)

    BEGIN_COM_MAP(CLumoClientMessage)
    COM_INTERFACE_ENTRY(ILumoClientMessage)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    HRESULT FinalConstruct() noexcept;

    STDMETHOD(get_From)(LONG* pVal) override;
    STDMETHOD(put_From)(LONG newVal) override;
    STDMETHOD(get_To)(LONG* pVal) override;
    STDMETHOD(put_To)(LONG newVal) override;
    STDMETHOD(get_Subject)(BSTR* pVal) override;
    STDMETHOD(put_Subject)(BSTR newVal) override;
    STDMETHOD(get_Message)(BSTR* pVal) override;
    STDMETHOD(put_Message)(BSTR newVal) override;
    STDMETHOD(get_Attachments)(ILumoClientMap** pVal) override;

private:
    LONG m_nFrom = 0;
    LONG m_nTo = 0;
    CComBSTR m_strSubject;
    CComBSTR m_strMessage;
    CComPtr<ILumoClientMap> m_attachments;
};
