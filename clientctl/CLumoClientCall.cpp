#include "CLumoClientCall.h"
#include "ComPropertyValues.h"

STDMETHODIMP CLumoClientCall::get_CallId(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nCallId);
}

STDMETHODIMP CLumoClientCall::get_TelephoneNumber(BSTR* pVal)
{
    if (!pVal) return E_POINTER;
    const CString& number = m_call.m_strTelephoneNumber;
    *pVal = ::SysAllocStringLen(number, static_cast<UINT>(number.GetLength()));
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

// The date part as stored, whatever the status: an empty record gives 0.0.
STDMETHODIMP CLumoClientCall::get_StartTimeUTC(DATE* pVal)
{
    return GetValueProperty(pVal, m_call.m_dtStartTimeUTC.m_dt);
}

STDMETHODIMP CLumoClientCall::get_UTCOffsetAgent(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nUTCOffsetAgent);
}

STDMETHODIMP CLumoClientCall::get_UTCOffsetRespondent(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nUTCOffsetRespondent);
}

STDMETHODIMP CLumoClientCall::get_ShiftNr(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nShiftNr);
}

STDMETHODIMP CLumoClientCall::get_Result(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nResult);
}

STDMETHODIMP CLumoClientCall::get_SubResult(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nSubResult);
}

STDMETHODIMP CLumoClientCall::get_Derivation(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nDerivation);
}

STDMETHODIMP CLumoClientCall::get_RecoverTimeUTC(DATE* pVal)
{
    return GetValueProperty(pVal, m_call.m_dtRecoverTimeUTC.m_dt);
}

STDMETHODIMP CLumoClientCall::get_AgentId(LONG* pVal)
{
    return GetValueProperty(pVal, m_call.m_nAgentId);
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientCall, CLumoClientCall)
