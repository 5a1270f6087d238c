#include "sessions/tests/CSessionHostDlg.h"
#include "sessions/CCallInfo.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/tests/CSessionHost.h"
#include "core/CPropertyList.h"

namespace
{
constexpr long kInbound = 1;
constexpr long kOutbound = 2;
} // namespace

void CSessionHostDlg::Note(const std::wstring& text)
{
    CEffectDlgHost::Note(text);
    m_host.Record(L"dlg", text);
}

void CSessionHostDlg::SetAgentState(int nState, const CString& strStateText)
{
    CEffectDlgHost::SetAgentState(nState, strStateText);
    m_nAgentState = nState;
    m_strAgentStateText = strStateText;
    m_host.GetCore().BroadcastAgentState(nState, strStateText);
}

void CSessionHostDlg::ShowQueueStats(const CString& strText)
{
    CEffectDlgHost::ShowQueueStats(strText);
    m_host.GetCore().BroadcastQueueStatistics(strText);
}

void CSessionHostDlg::OnOutboundCallEnded(long nCallId)
{
    CEffectDlgHost::OnOutboundCallEnded(nCallId);
    m_host.GetCore().BroadcastEndTask(nCallId);
}

void CSessionHostDlg::OnPauseList(long nRequestId, long nApplicationId, const CString& strList)
{
    CEffectDlgHost::OnPauseList(nRequestId, nApplicationId, strList);
    if (nApplicationId != -1) m_host.GetCore().SendPauseList(nRequestId, nApplicationId, strList); // -1: our own dialog
}

void CSessionHostDlg::StartInboundCall(const CString& strTask)
{
    CEffectDlgHost::StartInboundCall(strTask);
    StartCall(strTask, kInbound);
}

void CSessionHostDlg::StartOutboundCall(const CString& strTask)
{
    CEffectDlgHost::StartOutboundCall(strTask);
    StartCall(strTask, kOutbound);
}

void CSessionHostDlg::StartCall(const CString& strTask, long nDirection)
{
    CSessionCore& core = m_host.GetCore();
    CPropertyList list(strTask.GetString());
    const long nCallId = list.GetPropertyLong(L"QoCallId", -1L);
    CSmartObjectPtr<CCallInfo> pCall = core.FindCall(nCallId);
    if (!pCall)
    {
        pCall = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
        pCall->m_nCallId = nCallId;
        core.AddCall(pCall);
    }
    if (nDirection == kInbound) list.SetProperty(L"CallType", pCall->m_nCallType);
    pCall->m_nCallKind = nDirection;
    const long nTaskType = list.GetPropertyLong(L"jexTaskType", -1L);
    if (nTaskType < 0 || nTaskType > 2) return; // the record stays; nothing starts
    long nApplicationId = list.GetPropertyLong(L"jexApplicationId", -1L);
    if (nDirection == kInbound && nTaskType == 1 && nApplicationId == CSessionCore::kBrennClientId)
        nApplicationId = -1; // an inbound call script is never BrennClient's
    pCall->m_nApplicationId = nApplicationId;
    pCall->m_strTask = list.GetString();
    // Data Jex sent for the call before it started; an application that is not there yet gets it
    // when it registers.
    if (pCall->m_pHeldData && core.FindApplication(nApplicationId))
        core.ForwardInterviewData(nApplicationId, pCall->m_nSurveyId, nCallId, pCall->m_pHeldData,
                                  pCall->m_nHeldDataLength, pCall->m_nHeldDataCrc);
    core.StartCall(nApplicationId, nCallId);
}

void CSessionHostDlg::EndCall(int nResult, const CString& strEndText, long nCallId)
{
    Note(L"EndCall " + Num(nResult) + L" [" + strEndText.Str() + L"] " + Num(nCallId));
    CSessionCore& core = m_host.GetCore();
    const CSmartObjectPtr<CCallInfo> pCall = core.FindCall(nCallId);
    if (CJexSocket* pJex = m_host.GetJex())
    {
        if (pCall && pCall->IsInbound())
            pJex->SendEndInbound(static_cast<short>(nResult), strEndText);
        else
            pJex->SendEndOutbound(static_cast<short>(nResult), strEndText);
    }
    core.RemoveCall(nCallId);
}

void CSessionHostDlg::RequestPauseList(long nRequestId, long nApplicationId)
{
    Note(L"RequestPauseList " + Num(nRequestId) + L" " + Num(nApplicationId));
    if (CJexSocket* pJex = m_host.GetJex()) pJex->RequestPauseList(nRequestId, static_cast<int>(nApplicationId));
}

void CSessionHostDlg::LogOff()
{
    Note(L"LogOff");
    m_host.OnLogOff();
}
