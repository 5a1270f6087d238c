#pragma once
#include "framework/CComBSTR.h"
#include "framework/CComCoClass.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComPtr.h"
#include "framework/IDispatchImpl.h"
#include "clientctl/module/LumoClientResources.h"
#include "LumoClient.h"

// An e-mail a client sends through the control. Its address lists and attachments map are its
// own from construction to destruction: a client may fill To through the collection it got,
// release that, and the e-mail keeps the addresses.
class CLumoClientEmail : public CComObjectRootEx<CComSingleThreadModel>,
                         public CComCoClass<CLumoClientEmail, &CLSID_LumoClientEmail>,
                         public IDispatchImpl<ILumoClientEmail, &IID_ILumoClientEmail, &LIBID_LumoClientLib>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTEMAIL)

    BEGIN_COM_MAP(CLumoClientEmail)
    COM_INTERFACE_ENTRY(ILumoClientEmail)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    HRESULT FinalConstruct() noexcept;

    STDMETHOD(get_To)(ILumoClientStringCollection** pVal) override;
    STDMETHOD(get_Cc)(ILumoClientStringCollection** pVal) override;
    STDMETHOD(get_Bcc)(ILumoClientStringCollection** pVal) override;
    STDMETHOD(get_Subject)(BSTR* pVal) override;
    STDMETHOD(put_Subject)(BSTR newVal) override;
    STDMETHOD(get_From)(BSTR* pVal) override;
    STDMETHOD(put_From)(BSTR newVal) override;
    STDMETHOD(get_MailType)(MailTypes* pVal) override;
    STDMETHOD(put_MailType)(MailTypes newVal) override;
    STDMETHOD(get_Message)(BSTR* pVal) override;
    STDMETHOD(put_Message)(BSTR newVal) override;
    STDMETHOD(get_Attachments)(ILumoClientMap** pVal) override;

private:
    CComPtr<ILumoClientStringCollection> m_to;
    CComPtr<ILumoClientStringCollection> m_cc;
    CComPtr<ILumoClientStringCollection> m_bcc;
    CComPtr<ILumoClientMap> m_attachments;
    CComBSTR m_strSubject;
    CComBSTR m_strFrom;
    MailTypes m_mailType = mailType_PlainText; // any value is kept; the control decides what it means
    CComBSTR m_strMessage;
};
