// The guards of the members that ask Lumo for something, and the dispatch of the one member the
// type library cannot carry; the members themselves are the request helpers'.
#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoSocket.h"

namespace
{
constexpr DISPID kSendInterviewId = 46;
const wchar_t kLumoNotConnected[] = L"Lumo is not connected!";
const wchar_t kJexNotConnected[] = L"Jex is not connected!";
const wchar_t kAgentNotLoggedOn[] = L"Agent is not logged on!";
} // namespace

// ---------------------------------------------------------------------------------------------
// Guards

bool CLumoClientCtrl::PassesLinkGuard()
{
    if (m_nLumoConnectionState == connection_Connected && m_pLink) return true;
    LogError(kLumoNotConnected);
    return false;
}

// The Jex and agent states fall back when the link goes, but a sink called while the loss is being
// reported still sees the old ones: without a link the member is refused as for the link guard.
bool CLumoClientCtrl::PassesJexGuard()
{
    if (m_nJexConnectionState != connection_Connected)
    {
        LogError(kJexNotConnected);
        return false;
    }
    if (m_pLink) return true;
    LogError(kLumoNotConnected);
    return false;
}

bool CLumoClientCtrl::PassesAgentGuard()
{
    if (!IsAgentLoggedOn())
    {
        LogError(kAgentNotLoggedOn);
        return false;
    }
    if (m_pLink) return true;
    LogError(kLumoNotConnected);
    return false;
}

HRESULT CLumoClientCtrl::RefuseMissing(LPCWSTR pszMember, LPCWSTR pszArgument)
{
    CString strText;
    strText.Format(L"CLumoClientCtrl::%s => %s is missing!", pszMember, pszArgument);
    LogError(strText);
    return S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// IDispatch

STDMETHODIMP CLumoClientCtrl::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    using CDispatch = IDispatchImpl<ILumoClientCtrl, &IID_ILumoClientCtrl, &LIBID_LumoClientLib>;
    if (dispIdMember != kSendInterviewId || !(wFlags & DISPATCH_METHOD) || !pDispParams)
        return CDispatch::Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    if (pDispParams->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (pDispParams->cArgs != 4) return DISP_E_BADPARAMCOUNT;
    VARIANT* pArgs = pDispParams->rgvarg; // the last argument first
    CComVariant taskId, callId, checksum;
    const std::pair<CComVariant*, VARTYPE> numbers[] = {
        {&checksum, VT_UI4}, {nullptr, VT_EMPTY}, {&callId, VT_I4}, {&taskId, VT_I4}};
    for (UINT i = 0; i < 4; ++i)
    {
        if (!numbers[i].first || SUCCEEDED(numbers[i].first->ChangeType(numbers[i].second, &pArgs[i]))) continue;
        if (puArgErr) *puArgErr = i;
        return DISP_E_TYPEMISMATCH;
    }
    // A script passes its variable as a reference to it.
    VARIANT* pData = &pArgs[1];
    if (pData->vt == (VT_BYREF | VT_VARIANT) && pData->pvarVal) pData = pData->pvarVal;
    VARIANT_BOOL bResult = VARIANT_FALSE;
    const HRESULT hr = SendInterview(taskId.lVal, callId.lVal, pData, checksum.ulVal, &bResult);
    if (FAILED(hr))
    {
        if (pExcepInfo)
        {
            *pExcepInfo = EXCEPINFO{};
            pExcepInfo->scode = hr;
        }
        return DISP_E_EXCEPTION;
    }
    if (pVarResult)
    {
        ::VariantClear(pVarResult);
        pVarResult->vt = VT_BOOL;
        pVarResult->boolVal = bResult;
    }
    return S_OK;
}
