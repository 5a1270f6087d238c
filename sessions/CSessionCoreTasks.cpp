#include "sessions/CSessionCore.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAgentSettingStore.h"
#include "sessions/IJexSender.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IOldApplicationLink.h"
#include "core/CAsyncSocketEx.h"
#include "framework/CWnd.h"
#include "framework/CWinThread.h"

// ---- calls ----

CSmartObjectPtr<CCallInfo> CSessionCore::FindCall(long nCallId) const
{
    const auto it = m_calls.find(nCallId);
    return it == m_calls.end() ? CSmartObjectPtr<CCallInfo>() : it->second;
}

void CSessionCore::AddCall(const CSmartObjectPtr<CCallInfo>& pCall)
{
    if (pCall) m_calls[pCall->m_nCallId] = pCall;
}

void CSessionCore::RemoveCall(long nCallId)
{
    m_calls.erase(nCallId);
}

std::vector<CSmartObjectPtr<CCallInfo>> CSessionCore::GetCalls() const
{
    std::vector<CSmartObjectPtr<CCallInfo>> calls;
    for (const auto& [nId, pCall] : m_calls)
        calls.push_back(pCall);
    return calls;
}

BOOL CSessionCore::ForwardInterviewData(long nApplicationId, long nSurveyId, long nCallId,
                                        std::unique_ptr<BYTE[]>& pData, DWORD nLength, DWORD nCrc)
{
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
    {
        CSingleLock lock(&pSocket->m_csSend, TRUE);
        pSocket->SendCommand(L"SNDINT -1 %lu %ld %ld %lu\r", static_cast<unsigned long>(nLength), nSurveyId, nCallId,
                             static_cast<unsigned long>(nCrc));
        pSocket->SendRaw(pData.get(), static_cast<int>(nLength));
        return TRUE;
    }
    CSmartObjectPtr<CCallInfo> pCall = FindCall(nCallId);
    if (!pCall)
    {
        pCall = CSmartObjectPtr<CCallInfo>(new CCallInfo(FALSE));
        pCall->m_nCallId = nCallId;
        AddCall(pCall);
    }
    pCall->m_nSurveyId = nSurveyId;
    pCall->m_nApplicationId = nApplicationId;
    pCall->m_pHeldData = std::move(pData);
    pCall->m_nHeldDataLength = nLength;
    pCall->m_nHeldDataCrc = nCrc;
    return FALSE;
}

void CSessionCore::StartCall(long nApplicationId, long nCallId)
{
    const CSmartObjectPtr<CCallInfo> pCall = FindCall(nCallId);
    if (!pCall) return;
    if (ISoftphone* pSoftphone = m_roles.Find<ISoftphone>(__func__); pSoftphone && pSoftphone->HasSoftphone())
    {
        CString strLine;
        strLine.Format(L"CallID: %ld Start Call", nCallId);
        pSoftphone->WriteSoftphoneLog(strLine);
    }
    if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
        pOld->SendCommand(L"STACAL %d %s\r", static_cast<int>(pCall->m_nCallKind), pCall->m_strTask.GetString());
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
        pSocket->SendCommand(L"STACAL -1 -1 %d %s\r", static_cast<int>(pCall->m_nCallKind),
                             CAsyncSocketEx::EscapeParameter(pCall->m_strTask).GetString());
    m_bTaskStarted = TRUE;
    if (ITasks* pTasks = m_roles.Find<ITasks>(__func__)) pTasks->OnTaskStarted();
}

// ---- held tasks and the programs ----

CSessionCore::ProgramState* CSessionCore::FindProgram(long nApplicationId)
{
    if (nApplicationId == kBrennClientId) return &m_brennClient;
    if (nApplicationId == kQuillanId) return &m_quillan;
    return nullptr;
}

const CSessionCore::ProgramState* CSessionCore::FindProgram(long nApplicationId) const
{
    return const_cast<CSessionCore*>(this)->FindProgram(nApplicationId);
}

void CSessionCore::PassTaskToBrennClient(long nTaskId, const BYTE* pContents, DWORD nLength, DWORD nCrc,
                                         const CString& strResources)
{
    PassTask(kBrennClientId, nTaskId, pContents, nLength, nCrc, strResources);
}

void CSessionCore::PassTaskToQuillan(long nTaskId, const BYTE* pContents, DWORD nLength, DWORD nCrc,
                                     const CString& strResources)
{
    PassTask(kQuillanId, nTaskId, pContents, nLength, nCrc, strResources);
}

void CSessionCore::PassTask(long nApplicationId, long nTaskId, const BYTE* pContents, DWORD nLength, DWORD nCrc,
                            const CString& strResources)
{
    ProgramState& program = *FindProgram(nApplicationId);
    // Marked connected on the old port alone, the program has no current-port link that takes
    // contents: they stay held rather than being dropped.
    CAsyncSocketEx* pSocket = program.bConnected ? FindApplication(nApplicationId) : nullptr;
    if (pSocket)
    {
        CSingleLock lock(&pSocket->m_csSend, TRUE);
        pSocket->SendCommand(L"UPDTSK -1 %lu %ld %lu %s\r", static_cast<unsigned long>(nLength), nTaskId,
                             static_cast<unsigned long>(nCrc),
                             CAsyncSocketEx::EscapeParameter(strResources).GetString());
        pSocket->SendRaw(pContents, static_cast<int>(nLength));
        program.pHeldTask.reset();
        return;
    }
    auto pHeld = std::make_unique<HeldTask>();
    pHeld->nTaskId = nTaskId;
    if (pContents && nLength) pHeld->contents.assign(pContents, pContents + nLength);
    pHeld->nCrc = nCrc;
    pHeld->strResources = strResources;
    program.pHeldTask = std::move(pHeld);
    if (!program.bConnected) StartProgramOnce(nApplicationId);
}

void CSessionCore::StartProgramOnce(long nApplicationId)
{
    ProgramState& program = *FindProgram(nApplicationId);
    // A program takes a while to come up and register; more tasks meanwhile must not start it again.
    if (program.bStartPending) return;
    program.bStartPending = m_app.StartProgram(nApplicationId);
}

BOOL CSessionCore::HasHeldTask(long nApplicationId) const
{
    const ProgramState* pProgram = FindProgram(nApplicationId);
    return pProgram && pProgram->pHeldTask;
}

BOOL CSessionCore::IsProgramConnected(long nApplicationId) const
{
    const ProgramState* pProgram = FindProgram(nApplicationId);
    return pProgram && pProgram->bConnected;
}

void CSessionCore::OnProgramRegistered(long nApplicationId)
{
    ProgramState& program = *FindProgram(nApplicationId);
    program.bConnected = TRUE;
    program.bStartPending = FALSE;
    if (!program.pHeldTask) return;
    const std::unique_ptr<HeldTask> pHeld = std::move(program.pHeldTask);
    PassTask(nApplicationId, pHeld->nTaskId, pHeld->contents.data(), static_cast<DWORD>(pHeld->contents.size()),
             pHeld->nCrc, pHeld->strResources);
}

void CSessionCore::OnBrennClientRegistered()
{
    OnProgramRegistered(kBrennClientId);
    if (m_strHeldSemiOpens.IsEmpty()) return;
    if (CAsyncSocketEx* pSocket = FindApplication(kBrennClientId))
    {
        pSocket->SendCommand(L"UPDSMO -1 -1 %s\r", m_strHeldSemiOpens.GetString());
        m_strHeldSemiOpens.Empty();
    }
}

void CSessionCore::OnQuillanRegistered()
{
    OnProgramRegistered(kQuillanId);
}

void CSessionCore::OnApplicationGone(long nApplicationId)
{
    if (ProgramState* pProgram = FindProgram(nApplicationId)) pProgram->bConnected = FALSE;
    if (!m_pJex) return;
    for (const CSmartObjectPtr<CCallInfo>& pCall : GetCalls())
    {
        const ProgramState* pOwner = FindProgram(pCall->m_nApplicationId);
        if (pOwner && !pOwner->bConnected && !pCall->m_bEnded) StartProgramOnce(pCall->m_nApplicationId);
    }
}

// ---- holds ----

BOOL CSessionCore::HoldOrRetrieveCall(BOOL bTakeBack, long nCallId, BOOL bForced)
{
    const ULONGLONG nNow = ::GetTickCount64();
    // Jex needs the time to switch the call; a second request meanwhile would be refused or undo it.
    if (!bForced && m_bHoldSent && nNow - m_nLastHoldTick < m_timings.nHoldIntervalMs) return FALSE;
    if (!m_pJex) return FALSE;
    if (bTakeBack)
        m_pJex->SendTakeBack(nCallId);
    else
        m_pJex->SendOnHold(nCallId);
    m_nLastHoldTick = nNow;
    m_bHoldSent = TRUE;
    return TRUE;
}

// ---- the settings cache ----

void CSessionCore::StoreSetting(long nKind, const CAgentSetting& setting)
{
    constexpr long kAgentSettingKind = 2;
    if (nKind == kAgentSettingKind)
    {
        if (m_pAgentSettings) m_pAgentSettings->StoreAgentSetting(setting);
        return;
    }
    m_settings[nKind][setting.m_nId] = std::make_shared<const CAgentSetting>(setting);
}

void CSessionCore::StoreApplicationSetting(long nApplicationId, const CAgentSetting& setting)
{
    // Straight into the cache: an application numbered 102 must not overwrite the agent's own settings.
    m_settings[nApplicationId - 100][setting.m_nId] = std::make_shared<const CAgentSetting>(setting);
}

std::shared_ptr<const CAgentSetting> CSessionCore::GetApplicationSetting(long nApplicationId, long nSettingId)
{
    const long nOwner = nApplicationId - 100;
    if (!m_settings.contains(nOwner))
    {
        m_bSettingsComplete = FALSE;
        if (m_pJex) m_pJex->RequestApplicationSettings(m_app.GetAgent().m_nId, nOwner, 1);
        // The settings arrive through this thread's messages; keep the desktop and its links served.
        for (int nRound = 0; nRound < m_timings.nSettingsWaitRounds && !m_bSettingsComplete; ++nRound)
        {
            AfxPumpPendingMessages(); // a WM_QUIT is posted again for the loop above this wait
            if (m_bSettingsComplete) break;
            ::Sleep(m_timings.nSettingsWaitStepMs);
        }
        m_bSettingsComplete = TRUE;
    }
    const auto itOwner = m_settings.find(nOwner);
    if (itOwner == m_settings.end()) return nullptr;
    const auto it = itOwner->second.find(nSettingId);
    return it == itOwner->second.end() ? nullptr : it->second;
}
