#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IJexSender.h"
#include "sessions/IOldApplicationLink.h"
#include "core/CAsyncSocketEx.h"
#include "framework/CWnd.h"

CSessionCore::CSessionCore(ILumoAppHost& app) : m_app(app)
{
    m_roles.Install(app);
}

CSessionCore::~CSessionCore() = default;

BOOL CSessionCore::AddApplication(long nApplicationId, CAsyncSocketEx* pSocket, BOOL bMayBeReplayMaster,
                                  long nRequestId)
{
    if (!pSocket || m_current.contains(nApplicationId)) return FALSE;
    m_current[nApplicationId] = CurrentEntry{pSocket, bMayBeReplayMaster};
    // A desktop that is still connecting may have its link in a moment; the answer says whether it has.
    for (int nRound = 0; nRound < m_timings.nJexWaitRounds && HasMainWindow() && !m_pJex; ++nRound)
        ::Sleep(m_timings.nJexWaitStepMs);
    const int nState = HasMainWindow() ? m_roles.Find<IAgentState>(__func__)->GetAgentState() : 0;
    pSocket->SendCommand(L"APLGIN %ld -1 %d %d\r", nRequestId, m_pJex ? 1 : 0, nState);
    // The application sets itself up after the answer; what follows must not overtake that.
    ::Sleep(m_timings.nRegistrationPauseMs);
    TakeReplayMasterIfFree(nApplicationId);
    if (HasMainWindow()) DeliverToNewApplication(nApplicationId);
    return TRUE;
}

BOOL CSessionCore::AddOldApplication(long nApplicationId, IOldApplicationLink* pLink)
{
    if (!pLink || m_old.contains(nApplicationId)) return FALSE;
    m_old[nApplicationId] = OldEntry{pLink, FALSE};
    pLink->SendCommand(L"APLGIN %s\r", m_app.GetVersionString().GetString());
    TakeReplayMasterIfFree(nApplicationId);
    if (HasMainWindow()) DeliverToNewOldApplication(nApplicationId, *pLink);
    return TRUE;
}

void CSessionCore::TakeReplayMasterIfFree(long nApplicationId)
{
    // BrennClient never takes the role by registering: it has no screen for supervisor messages.
    if (m_nReplayMaster == -1 && !m_bReplayMasterLocked && nApplicationId != kBrennClientId)
        m_nReplayMaster = nApplicationId;
}

void CSessionCore::DeliverToNewApplication(long nApplicationId)
{
    if (nApplicationId == kBrennClientId)
        OnBrennClientRegistered();
    else if (nApplicationId == kQuillanId)
        OnQuillanRegistered();
    for (const CSmartObjectPtr<CCallInfo>& pCall : GetCalls())
    {
        if (pCall->m_nApplicationId != nApplicationId || pCall->m_bEnded) continue;
        CAsyncSocketEx* pSocket = FindApplication(nApplicationId);
        if (!pSocket) return;         // the deliveries closed it
        if (pCall->m_nCallType != -1) // only a call whose information Jex has sent has any to tell
            pSocket->SendCommand(L"CALINF -1 -1 %s\r", CAsyncSocketEx::EscapeParameter(pCall->Format()).GetString());
        if (pCall->m_pHeldData)
        {
            // The record keeps the data: the application may register again before Jex confirms.
            CSingleLock lock(&pSocket->m_csSend, TRUE);
            pSocket->SendCommand(L"SNDINT -1 %lu %ld %ld %lu\r", pCall->m_nHeldDataLength, pCall->m_nSurveyId,
                                 pCall->m_nCallId, pCall->m_nHeldDataCrc);
            pSocket->SendRaw(pCall->m_pHeldData.get(), static_cast<int>(pCall->m_nHeldDataLength));
        }
        StartCall(nApplicationId, pCall->m_nCallId);
    }
    if (HasMainWindow() && m_roles.Find<IAgentState>(__func__)->IsAssignedToKeyIn())
        if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId)) pSocket->SendCommand(L"ASSKYI -1 -1 %d\r", 1);
}

void CSessionCore::DeliverToNewOldApplication(long nApplicationId, IOldApplicationLink& link)
{
    if (nApplicationId == kBrennClientId)
        OnBrennClientRegistered();
    else if (nApplicationId == kQuillanId)
        OnQuillanRegistered();
    else
        link.SendCommand(L"AGSTAT %s\r", m_roles.Find<IAgentState>(__func__)->GetAgentStateText().GetString());
    for (const CSmartObjectPtr<CCallInfo>& pCall : GetCalls())
    {
        if (pCall->m_nApplicationId != nApplicationId || pCall->m_bEnded) continue;
        ICallActions* pCalls = m_roles.Find<ICallActions>(__func__);
        if (!pCalls) return;
        if (pCall->m_nCallType != -1) // as on the current port: a call Jex has told nothing of has nothing to tell
        {
            const CString strInfo = pCall->FormatOldDialect(pCalls->GetCallTypeText(pCall->m_nCallType).GetString(),
                                                            pCalls->GetCallStateText(pCall->m_nCallState).GetString());
            link.SendCommand(L"CALINF %s\r", strInfo.GetString());
        }
        StartCall(nApplicationId, pCall->m_nCallId);
    }
}

BOOL CSessionCore::RemoveApplication(long nApplicationId, CAsyncSocketEx* pSocket)
{
    BOOL bRemoved = FALSE;
    // Only the register entry of the closing socket goes: a refused second program closes a socket
    // that was never registered, and the same program may hold its id on the other port too.
    if (auto it = m_current.find(nApplicationId); it != m_current.end() && it->second.pSocket == pSocket)
    {
        m_current.erase(it);
        bRemoved = TRUE;
    }
    AfterRemoval(nApplicationId, bRemoved);
    return bRemoved;
}

BOOL CSessionCore::RemoveOldApplication(long nApplicationId, IOldApplicationLink* pLink)
{
    BOOL bRemoved = FALSE;
    if (auto it = m_old.find(nApplicationId); it != m_old.end() && it->second.pSocket == pLink)
    {
        m_old.erase(it);
        bRemoved = TRUE;
    }
    AfterRemoval(nApplicationId, bRemoved);
    return bRemoved;
}

void CSessionCore::CloseOldApplications()
{
    std::vector<long> ids;
    for (const auto& [nId, entry] : m_old)
        ids.push_back(nId);
    // Looked up again each time: a closing link's leaving may pump messages, and others go with it.
    for (const long nId : ids)
        if (IOldApplicationLink* pLink = FindOldApplication(nId)) pLink->CloseLink();
}

void CSessionCore::AfterRemoval(long nApplicationId, BOOL bRemoved)
{
    // A connection that never registered (closed before its APLGIN, or refused a taken id) was no
    // application: its close must not restart programs, show the hidden desktop or ask to
    // reconnect a link that is down, as a port probe would otherwise make it.
    if (!bRemoved) return;
    if (!IsRegistered(nApplicationId)) ReleaseApplication(nApplicationId);
    if (IDesktopWindows* pWindows = m_roles.Find<IDesktopWindows>(__func__))
        if (!HasApplications() && !pWindows->IsVisible()) pWindows->ShowWindows();
    m_app.CheckConnection();
}

void CSessionCore::ShowDesktop(int nShowCommand)
{
    const auto isWindow = [](const CWnd* pWnd) { return pWnd && ::IsWindow(pWnd->GetSafeHwnd()); };
    IDesktopWindows* pWindows = m_roles.Find<IDesktopWindows>(__func__);
    if (pWindows) pWindows->SetVisible(nShowCommand != SW_HIDE);
    if (IAgentState* pState = m_roles.Find<IAgentState>(__func__))
    {
        BroadcastAgentState(pState->GetAgentState(), pState->GetAgentStateText());
        if (CWnd* pMain = pState->GetWnd(); isWindow(pMain)) pMain->ShowWindow(nShowCommand);
    }
    // A minimised progress dialog would sit in the task bar on its own.
    if (CWnd* pConnection = pWindows ? pWindows->GetConnectionDialogWnd() : nullptr; isWindow(pConnection))
        pConnection->ShowWindow(nShowCommand == SW_MINIMIZE ? SW_HIDE : nShowCommand);
    if (ILogonDialogs* pDialogs = m_roles.Find<ILogonDialogs>(__func__))
        for (CWnd* pDialog : {pDialogs->GetPasswordDialog(), pDialogs->GetLocationDialog()})
            if (isWindow(pDialog)) pDialog->ShowWindow(nShowCommand);
}

void CSessionCore::ReleaseApplication(long nApplicationId)
{
    OnApplicationGone(nApplicationId);
    AssignReplayMaster(nApplicationId, FALSE, TRUE);
}

CAsyncSocketEx* CSessionCore::FindApplication(long nApplicationId) const
{
    const auto it = m_current.find(nApplicationId);
    return it == m_current.end() ? nullptr : it->second.pSocket;
}

std::vector<long> CSessionCore::GetOldApplicationIds() const
{
    std::vector<long> ids;
    for (const auto& [nId, entry] : m_old)
        ids.push_back(nId);
    return ids;
}

IOldApplicationLink* CSessionCore::FindOldApplication(long nApplicationId) const
{
    const auto it = m_old.find(nApplicationId);
    return it == m_old.end() ? nullptr : it->second.pSocket;
}

void CSessionCore::SetMayBeReplayMaster(long nApplicationId, BOOL bMay)
{
    if (auto it = m_current.find(nApplicationId); it != m_current.end()) it->second.bMayBeReplayMaster = bMay;
}

BOOL CSessionCore::IsPasswordChecked(long nApplicationId) const
{
    const auto it = m_old.find(nApplicationId);
    return it != m_old.end() && it->second.bPasswordChecked;
}

BOOL CSessionCore::AssignReplayMaster(long nApplicationId, BOOL bTake, BOOL bAllowOthers)
{
    if (bTake)
    {
        if (m_bReplayMasterLocked) return FALSE;
        m_nReplayMaster = nApplicationId;
        m_bReplayMasterLocked = !bAllowOthers;
        return TRUE;
    }
    // Any other application asking to release would take the role from its holder.
    if (nApplicationId != m_nReplayMaster) return TRUE;
    long nSuccessor = -1;
    for (const auto& [nId, entry] : m_current)
    {
        if (entry.bMayBeReplayMaster && nId != nApplicationId)
        {
            nSuccessor = nId;
            break;
        }
    }
    if (nSuccessor == -1)
    {
        for (const auto& [nId, entry] : m_old)
        {
            if (nId != kBrennClientId && nId != nApplicationId)
            {
                nSuccessor = nId;
                break;
            }
        }
    }
    m_nReplayMaster = nSuccessor;
    m_bReplayMasterLocked = FALSE;
    return TRUE;
}

void CSessionCore::ForwardApplicationLogon(long nRequestId, const CString& strField1, const CString& strField2,
                                           const CString& strField3, const CString& strField4)
{
    if (!m_pJex || m_app.UseAuthentication()) return;
    m_pJex->SendApplicationLogon(nRequestId, strField1, strField2, strField3, strField4);
}
