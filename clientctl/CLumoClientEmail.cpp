#include "CLumoClientEmail.h"
#include "CLumoClientMap.h"
#include "CLumoClientStringCollection.h"
#include "ComPropertyValues.h"

HRESULT CLumoClientEmail::FinalConstruct() noexcept
{
    HRESULT hr = CLumoClientStringCollection::CreateInstance(&m_to);
    if (SUCCEEDED(hr)) hr = CLumoClientStringCollection::CreateInstance(&m_cc);
    if (SUCCEEDED(hr)) hr = CLumoClientStringCollection::CreateInstance(&m_bcc);
    if (SUCCEEDED(hr)) hr = CLumoClientMap::CreateInstance(&m_attachments);
    return hr;
}

STDMETHODIMP CLumoClientEmail::get_To(ILumoClientStringCollection** pVal)
{
    return GetObjectProperty(m_to, pVal);
}

STDMETHODIMP CLumoClientEmail::get_Cc(ILumoClientStringCollection** pVal)
{
    return GetObjectProperty(m_cc, pVal);
}

STDMETHODIMP CLumoClientEmail::get_Bcc(ILumoClientStringCollection** pVal)
{
    return GetObjectProperty(m_bcc, pVal);
}

STDMETHODIMP CLumoClientEmail::get_Subject(BSTR* pVal)
{
    return GetTextProperty(m_strSubject, pVal);
}

STDMETHODIMP CLumoClientEmail::put_Subject(BSTR newVal)
{
    return PutTextProperty(m_strSubject, newVal);
}

STDMETHODIMP CLumoClientEmail::get_From(BSTR* pVal)
{
    return GetTextProperty(m_strFrom, pVal);
}

STDMETHODIMP CLumoClientEmail::put_From(BSTR newVal)
{
    return PutTextProperty(m_strFrom, newVal);
}

STDMETHODIMP CLumoClientEmail::get_MailType(MailTypes* pVal)
{
    return GetValueProperty(pVal, m_mailType);
}

STDMETHODIMP CLumoClientEmail::put_MailType(MailTypes newVal)
{
    m_mailType = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientEmail::get_Message(BSTR* pVal)
{
    return GetTextProperty(m_strMessage, pVal);
}

STDMETHODIMP CLumoClientEmail::put_Message(BSTR newVal)
{
    return PutTextProperty(m_strMessage, newVal);
}

STDMETHODIMP CLumoClientEmail::get_Attachments(ILumoClientMap** pVal)
{
    return GetObjectProperty(m_attachments, pVal);
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientEmail, CLumoClientEmail)
