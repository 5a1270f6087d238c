#include "CLumoClientMessage.h"
#include "CLumoClientMap.h"
#include "ComPropertyValues.h"

HRESULT CLumoClientMessage::FinalConstruct() noexcept
{
    return CLumoClientMap::CreateInstance(&m_attachments);
}

STDMETHODIMP CLumoClientMessage::get_From(LONG* pVal)
{
    return GetValueProperty(pVal, m_nFrom);
}

STDMETHODIMP CLumoClientMessage::put_From(LONG newVal)
{
    m_nFrom = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientMessage::get_To(LONG* pVal)
{
    return GetValueProperty(pVal, m_nTo);
}

STDMETHODIMP CLumoClientMessage::put_To(LONG newVal)
{
    m_nTo = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientMessage::get_Subject(BSTR* pVal)
{
    return GetTextProperty(m_strSubject, pVal);
}

STDMETHODIMP CLumoClientMessage::put_Subject(BSTR newVal)
{
    return PutTextProperty(m_strSubject, newVal);
}

STDMETHODIMP CLumoClientMessage::get_Message(BSTR* pVal)
{
    return GetTextProperty(m_strMessage, pVal);
}

STDMETHODIMP CLumoClientMessage::put_Message(BSTR newVal)
{
    return PutTextProperty(m_strMessage, newVal);
}

STDMETHODIMP CLumoClientMessage::get_Attachments(ILumoClientMap** pVal)
{
    return GetObjectProperty(m_attachments, pVal);
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientMessage, CLumoClientMessage)
