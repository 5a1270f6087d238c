#include "sessions/tests/CEffectDlgHost.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"

std::wstring CEffectDlgHost::BytesText(const BYTE* pBytes, DWORD nLength)
{
    return pBytes ? std::wstring(pBytes, pBytes + nLength) : L"(none)";
}

void CEffectDlgHost::SetAssignedToKeyIn(BOOL b)
{
    Note(L"SetAssignedToKeyIn " + Num(b));
}

void CEffectDlgHost::SetAgentState(int n, const CString& s)
{
    Note(L"SetAgentState " + Num(n) + L" " + s.Str());
}

void CEffectDlgHost::OnAvailableOutbound(BOOL b, long n, const CString& s)
{
    Note(L"OnAvailableOutbound " + Num(b) + L" " + Num(n) + L" " + s.Str());
}

void CEffectDlgHost::OnBlindTransferResult(long a, long b)
{
    Note(L"OnBlindTransferResult " + Num(a) + L" " + Num(b));
}

void CEffectDlgHost::OnCallInfo(const CString& s)
{
    Note(L"OnCallInfo " + s.Str());
}

void CEffectDlgHost::OnCallHistory(long nCall, long nRequest, long nApp, const BYTE* p, DWORD n, DWORD)
{
    Note(L"OnCallHistory " + Num(nCall) + L" " + Num(nRequest) + L" " + Num(nApp) + L" " + BytesText(p, n));
}

void CEffectDlgHost::OnConferenceAdded(const CString& s)
{
    Note(L"OnConferenceAdded " + s.Str());
}

void CEffectDlgHost::OnOutboundCallEnded(long n)
{
    Note(L"OnOutboundCallEnded " + Num(n));
}

void CEffectDlgHost::OnKeyInInterview(long n, const CString& s)
{
    Note(L"OnKeyInInterview " + Num(n) + L" " + s.Str());
}

void CEffectDlgHost::OnPauseList(long a, long b, const CString& s)
{
    Note(L"OnPauseList " + Num(a) + L" " + Num(b) + L" " + s.Str());
}

void CEffectDlgHost::OnManualDialResult(int n)
{
    Note(L"OnManualDialResult " + Num(n));
}

void CEffectDlgHost::OnNextCallResult(int n)
{
    Note(L"OnNextCallResult " + Num(n));
}

void CEffectDlgHost::OnNumberInfo(const CString& s)
{
    Note(L"OnNumberInfo " + s.Str());
}

void CEffectDlgHost::OnConfirmTransferResult(int n)
{
    Note(L"OnConfirmTransferResult " + Num(n));
}

void CEffectDlgHost::OnHoldResult(int n)
{
    Note(L"OnHoldResult " + Num(n));
}

void CEffectDlgHost::OnQuotaUpdate(long nSurvey, int nType, const BYTE* p, DWORD n)
{
    Note(L"OnQuotaUpdate " + Num(nSurvey) + L" " + Num(nType) + L" " + BytesText(p, n));
}

void CEffectDlgHost::OnRecordCallResult(long a, long b)
{
    Note(L"OnRecordCallResult " + Num(a) + L" " + Num(b));
}

void CEffectDlgHost::OnRefuseNumberResult(long a, long b, long c)
{
    Note(L"OnRefuseNumberResult " + Num(a) + L" " + Num(b) + L" " + Num(c));
}

void CEffectDlgHost::OnSelectNumberResult(long a, long b, long c)
{
    Note(L"OnSelectNumberResult " + Num(a) + L" " + Num(b) + L" " + Num(c));
}

void CEffectDlgHost::OnManualDialRequest(int n)
{
    Note(L"OnManualDialRequest " + Num(n));
}

void CEffectDlgHost::ArrangeButtons()
{
    Note(L"ArrangeButtons");
}

void CEffectDlgHost::OnMessageReceived(const CString& strSender, std::unique_ptr<CMessage> pMessage)
{
    Note(L"OnMessageReceived " + strSender.Str() + L" " + pMessage->m_strText.Str());
    m_messages.push_back(std::move(pMessage));
}

void CEffectDlgHost::OnStartKeyInResult(const CString& s)
{
    Note(L"OnStartKeyInResult " + s.Str());
}

void CEffectDlgHost::ShowQueueStats(const CString& s)
{
    Note(L"ShowQueueStats " + s.Str());
}

void CEffectDlgHost::StartInboundCall(const CString& s)
{
    Note(L"StartInboundCall " + s.Str());
}

void CEffectDlgHost::StartOutboundCall(const CString& s)
{
    Note(L"StartOutboundCall " + s.Str());
}

void CEffectDlgHost::OnTakeBackResult(int n)
{
    Note(L"OnTakeBackResult " + Num(n));
}

void CEffectDlgHost::OnTakeCallResult(int n)
{
    Note(L"OnTakeCallResult " + Num(n));
}

void CEffectDlgHost::OnTransferCallResult(int n)
{
    Note(L"OnTransferCallResult " + Num(n));
}

void CEffectDlgHost::OnTransferEnded(int n)
{
    Note(L"OnTransferEnded " + Num(n));
}

void CEffectDlgHost::StartTransferredCall(const CString& s, BOOL b)
{
    Note(L"StartTransferredCall " + s.Str() + L" " + Num(b));
}

void CEffectDlgHost::OnTransferToAgent(int n)
{
    Note(L"OnTransferToAgent " + Num(n));
}

void CEffectDlgHost::OnTaskResources(long nTask, long nApp, long nResource, std::unique_ptr<BYTE[]> p, DWORD n, DWORD)
{
    Note(L"OnTaskResources " + Num(nTask) + L" " + Num(nApp) + L" " + Num(nResource) + L" " + BytesText(p.get(), n));
}

void CEffectDlgHost::OnAnnotationChanged(long a, long b, long c, long d, int e)
{
    Note(L"OnAnnotationChanged " + Num(a) + L" " + Num(b) + L" " + Num(c) + L" " + Num(d) + L" " + Num(e));
}

void CEffectDlgHost::UpdateSoftPhoneLog()
{
    Note(L"UpdateSoftPhoneLog");
}

void CEffectDlgHost::OnUpdateSemiOpens(const CString& s)
{
    Note(L"OnUpdateSemiOpens " + s.Str());
}

void CEffectDlgHost::OnScriptContents(long n, const CString& s, BOOL b)
{
    Note(L"OnScriptContents " + Num(n) + L" " + s.Str() + L" " + Num(b));
}

void CEffectDlgHost::OnContactSearchResult(const CPropertyList& result)
{
    Note(L"OnContactSearchResult " + result.GetPropertyString(L"Name", L"").Str());
}

long CEffectDlgHost::DialOnSoftPhone(const CString& s)
{
    Note(L"DialOnSoftPhone " + s.Str());
    return 4;
}
