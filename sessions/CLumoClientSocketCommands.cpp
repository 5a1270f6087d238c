// CLumoClientSocket, its plain requests: what goes to Jex, to the main window or to the session
// core, and the answers made here. A request that needs Jex or the main window while there is
// none is dropped without an answer.
#include "sessions/CLumoClientSocket.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/ILumoDlgHost.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"

namespace
{
long ToLong(const CString& strText)
{
    return CStaticTools::ToLong(strText.GetString());
}

int ToInt(const CString& strText)
{
    return CStaticTools::ToInt(strText.GetString());
}

// False only for "0".
BOOL ToBool(const CString& strText)
{
    return CStaticTools::ToBool(strText.GetString()) ? TRUE : FALSE;
}

constexpr int kSpeakers = 1;
constexpr int kMicrophone = 2;
} // namespace

void CLumoClientSocket::AddCommands(CSocketCommandMap& map)
{
    using C = CSocketCommand;
    auto fields = [&map](LPCWSTR pszWord, auto pfn, int nCount) {
        map.Add(pszWord, new C(SocketHandler(pfn), C::modeFields, false, C::checkOneOf, 0, nCount, -1));
    };
    auto payload = [&map](LPCWSTR pszWord, auto pfn, int nCount) {
        map.Add(pszWord, new C(SocketHandler(pfn), C::modeFieldsPayload, false, C::checkOneOf, 0, nCount, -1));
    };
    fields(L"ALOGOF", &CLumoClientSocket::HandleALOGOF, 0);
    fields(L"ALOGON", &CLumoClientSocket::HandleALOGON, 4);
    fields(L"APLGIN", &CLumoClientSocket::HandleAPLGIN, 2);
    fields(L"AUMUTE", &CLumoClientSocket::HandleAUMUTE, 2);
    fields(L"AUVLME", &CLumoClientSocket::HandleAUVLME, 2);
    fields(L"CALLHY", &CLumoClientSocket::HandleCALLHY, 1);
    fields(L"CHGOGR", &CLumoClientSocket::HandleCHGOGR, 1);
    fields(L"DODTMF", &CLumoClientSocket::HandleDODTMF, 3);
    fields(L"DRPCAL", &CLumoClientSocket::HandleDRPCAL, 1);
    fields(L"ENDTSK", &CLumoClientSocket::HandleENDTSK, 2);
    fields(L"FNDKYI", &CLumoClientSocket::HandleFNDKYI, 2);
    fields(L"GETASE", &CLumoClientSocket::HandleGETASE, 1);
    fields(L"INTHBT", &CLumoClientSocket::HandleINTHBT, 2);
    fields(L"ISVOIP", &CLumoClientSocket::HandleISVOIP, 0);
    fields(L"LSTAGT", &CLumoClientSocket::HandleLSTAGT, 1);
    fields(L"LSTLOC", &CLumoClientSocket::HandleLSTLOC, 0);
    fields(L"LSTOGR", &CLumoClientSocket::HandleLSTOGR, 0);
    fields(L"LSTPAU", &CLumoClientSocket::HandleLSTPAU, 0);
    fields(L"MANDIA", &CLumoClientSocket::HandleMANDIA, 2);
    fields(L"NEXCAL", &CLumoClientSocket::HandleNEXCAL, 0);
    fields(L"ONHOLD", &CLumoClientSocket::HandleONHOLD, 2);
    fields(L"PLSSTA", &CLumoClientSocket::HandlePLSSTA, 2);
    fields(L"PLSSTO", &CLumoClientSocket::HandlePLSSTO, 1);
    fields(L"QRESTA", &CLumoClientSocket::HandleQRESTA, 2);
    fields(L"QRESTO", &CLumoClientSocket::HandleQRESTO, 1);
    fields(L"RECCAL", &CLumoClientSocket::HandleRECCAL, 1);
    fields(L"REPLMA", &CLumoClientSocket::HandleREPLMA, 2);
    fields(L"REQTSK", &CLumoClientSocket::HandleREQTSK, 1);
    fields(L"SAVASE", &CLumoClientSocket::HandleSAVASE, 4);
    fields(L"SHOWLC", &CLumoClientSocket::HandleSHOWLC, 1);
    payload(L"SNDINT", &CLumoClientSocket::HandleSNDINT, 4);
    payload(L"SNDMAI", &CLumoClientSocket::HandleSNDMAI, 3);
    payload(L"SNDMSG", &CLumoClientSocket::HandleSNDMSG, 2);
    fields(L"STAIVR", &CLumoClientSocket::HandleSTAIVR, 3);
    fields(L"STAKYI", &CLumoClientSocket::HandleSTAKYI, 1);
    fields(L"STAPAU", &CLumoClientSocket::HandleSTAPAU, 2);
    fields(L"STOKYI", &CLumoClientSocket::HandleSTOKYI, 1);
    fields(L"STOPAU", &CLumoClientSocket::HandleSTOPAU, 0);
    fields(L"TAGCAL", &CLumoClientSocket::HandleTAGCAL, 2);
    fields(L"TKECAL", &CLumoClientSocket::HandleTKECAL, 1);
    fields(L"TRACAL", &CLumoClientSocket::HandleTRACAL, 2);
    fields(L"TRGPRD", &CLumoClientSocket::HandleTRGPRD, 3);
    fields(L"TSKRES", &CLumoClientSocket::HandleTSKRES, 2);
    fields(L"UPDANO", &CLumoClientSocket::HandleUPDANO, 4);
    fields(L"UPMSGM", &CLumoClientSocket::HandleUPMSGM, 1);
    fields(L"WRCACL", &CLumoClientSocket::HandleWRCACL, 1);
}

// ---- registration and the local answers ----

void CLumoClientSocket::HandleAPLGIN(CStringArray& arrFields)
{
    // Registered once: a second entry for this socket would outlive its close.
    if (m_bLoggedIn) return;
    // A request that waited let the close through: the lines behind it no longer register anything.
    if (m_bPeerClosed || m_hSocket == INVALID_SOCKET) return;
    const long nApplicationId = ToLong(arrFields[0]);
    const BOOL bMayBeMaster = ToBool(arrFields[1]);
    if (!m_core.AddApplication(nApplicationId, this, bMayBeMaster, m_nRequestId))
    {
        Disconnect(); // the id is taken: the program that holds it keeps it
        return;
    }
    if (m_hSocket == INVALID_SOCKET)
    {
        // Closed while the deliveries went out, still without its id: the entry must go now.
        m_core.RemoveApplication(nApplicationId, this);
        return;
    }
    m_nApplicationId = nApplicationId;
    m_bMayBeMessageMaster = bMayBeMaster != FALSE;
    m_bLoggedIn = true;
}

void CLumoClientSocket::HandleUPMSGM(CStringArray& arrFields)
{
    m_bMayBeMessageMaster = ToBool(arrFields[0]) != FALSE;
    m_core.SetMayBeReplayMaster(m_nApplicationId, m_bMayBeMessageMaster);
}

void CLumoClientSocket::HandleREPLMA(CStringArray& arrFields)
{
    const BOOL bDone = m_core.AssignReplayMaster(m_nApplicationId, ToBool(arrFields[0]), ToBool(arrFields[1]));
    SendCommand(L"REPLMA %ld -1 %d\r", m_nRequestId, bDone ? 1 : 0);
}

void CLumoClientSocket::HandleISVOIP(CStringArray& /*arrFields*/)
{
    SendCommand(L"ISVOIP %ld -1 %d\r", m_nRequestId, m_app.IsVoipOn() ? 1 : 0);
}

void CLumoClientSocket::HandleAUMUTE(CStringArray& arrFields)
{
    const int nDevice = ToInt(arrFields[0]);
    const long nValue = ToLong(arrFields[1]);
    if (nDevice != kSpeakers && nDevice != kMicrophone) return;
    ILumoDlgHost* pDlg = GetDlg();
    if (nValue < 0)
    {
        const BOOL bMuted = pDlg && (nDevice == kSpeakers ? pDlg->IsMasterMuted() : pDlg->IsMicrophoneMuted());
        SendCommand(L"AUMUTE %ld -1 %d %d\r", m_nRequestId, nDevice, bMuted ? 1 : 0);
        return;
    }
    if (!pDlg) return;
    if (nDevice == kSpeakers)
        pDlg->SetMasterMute(nValue > 0);
    else
        pDlg->SetMicrophoneMute(nValue > 0);
}

void CLumoClientSocket::HandleAUVLME(CStringArray& arrFields)
{
    const int nDevice = ToInt(arrFields[0]);
    const long nValue = ToLong(arrFields[1]);
    if (nDevice != kSpeakers && nDevice != kMicrophone) return;
    ILumoDlgHost* pDlg = GetDlg();
    if (nValue == -1)
    {
        double dFraction = -1;
        if (pDlg) dFraction = nDevice == kSpeakers ? pDlg->GetSpeakerVolume() : pDlg->GetMicrophoneVolume();
        const int nPercent = dFraction < 0 ? -1 : static_cast<int>(dFraction * 100);
        SendCommand(L"AUVLME %ld -1 %d %d\r", m_nRequestId, nDevice, nPercent);
        return;
    }
    if (!pDlg) return;
    const double dFraction = static_cast<float>(nValue) / 100.0f;
    if (nDevice == kSpeakers)
        pDlg->SetMasterVolume(dFraction);
    else
        pDlg->SetMicrophoneVolume(dFraction);
}

// 1 restores, 2 minimises; any other mode is the window command itself.
void CLumoClientSocket::HandleSHOWLC(CStringArray& arrFields)
{
    const int nMode = ToInt(arrFields[0]);
    m_core.ShowDesktop(nMode == 1 ? SW_RESTORE : nMode == 2 ? SW_MINIMIZE : nMode);
}

// ---- the main window ----

void CLumoClientSocket::HandleALOGOF(CStringArray& /*arrFields*/)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->LogOff();
}

void CLumoClientSocket::HandleALOGON(CStringArray& arrFields)
{
    m_core.ForwardApplicationLogon(m_nRequestId, arrFields[0], arrFields[1], arrFields[2], arrFields[3]);
}

void CLumoClientSocket::HandleCALLHY(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->RequestCallHistory(ToLong(arrFields[0]), m_nRequestId, m_nApplicationId);
}

void CLumoClientSocket::HandleDODTMF(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->SendDtmfForCall(ToLong(arrFields[0]), arrFields[1], ToBool(arrFields[2]));
}

void CLumoClientSocket::HandleDRPCAL(CStringArray& arrFields)
{
    const long nCallId = ToLong(arrFields[0]);
    if (nCallId >= 0)
    {
        if (const auto pJex = GetJex()) pJex->SendRejectCall(static_cast<int>(nCallId), 0);
        return;
    }
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->DropCall(nullptr); // the selected call
}

void CLumoClientSocket::HandleENDTSK(CStringArray& arrFields)
{
    ILumoDlgHost* pDlg = GetDlg();
    if (!pDlg) return;
    const CPropertyList endFields(arrFields[1].GetString());
    long nCallId = 0;
    if (!endFields.GetProperty(L"QoCallId", nCallId)) nCallId = 0;
    pDlg->EndCall(ToInt(arrFields[0]), arrFields[1], nCallId);
}

void CLumoClientSocket::HandleLSTAGT(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->RequestAgentList(m_nRequestId, m_nApplicationId, ToInt(arrFields[0]));
}

void CLumoClientSocket::HandleLSTPAU(CStringArray& /*arrFields*/)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->RequestPauseList(m_nRequestId, m_nApplicationId);
}

void CLumoClientSocket::HandleMANDIA(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg())
        pDlg->DialNumberForApplication(m_nRequestId, m_nApplicationId, arrFields[0], arrFields[1]);
}

void CLumoClientSocket::HandleONHOLD(CStringArray& arrFields)
{
    m_core.HoldOrRetrieveCall(ToLong(arrFields[0]) == 0, ToLong(arrFields[1]), FALSE);
}

void CLumoClientSocket::HandleRECCAL(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->RecordCall(m_nRequestId, ToLong(arrFields[0]));
}

void CLumoClientSocket::HandleSTAPAU(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->RequestPause(ToLong(arrFields[0]), ToInt(arrFields[1]));
}

void CLumoClientSocket::HandleSTOPAU(CStringArray& /*arrFields*/)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->EndPause();
}

void CLumoClientSocket::HandleTKECAL(CStringArray& arrFields)
{
    if (ILumoDlgHost* pDlg = GetDlg()) pDlg->TakeCallById(ToLong(arrFields[0]));
}

// ---- Jex ----

void CLumoClientSocket::HandleCHGOGR(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendJoinOutboundGroup(ToInt(arrFields[0]));
}

void CLumoClientSocket::HandleFNDKYI(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendFindKeyIn(arrFields[0], arrFields[1]);
}

void CLumoClientSocket::HandleINTHBT(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendInterviewHeartbeat(ToLong(arrFields[0]), arrFields[1]);
}

void CLumoClientSocket::HandleLSTLOC(CStringArray& /*arrFields*/)
{
    if (const auto pJex = GetJex()) pJex->RequestLocationList(m_nRequestId, static_cast<int>(m_nApplicationId));
}

void CLumoClientSocket::HandleLSTOGR(CStringArray& /*arrFields*/)
{
    if (const auto pJex = GetJex()) pJex->RequestOutboundGroupList(m_nRequestId, static_cast<int>(m_nApplicationId));
}

void CLumoClientSocket::HandleNEXCAL(CStringArray& /*arrFields*/)
{
    if (const auto pJex = GetJex()) pJex->SendNextCall();
}

void CLumoClientSocket::HandlePLSSTA(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendPlaySoundStart(m_nRequestId, ToInt(arrFields[0]), arrFields[1]);
}

void CLumoClientSocket::HandlePLSSTO(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendPlaySoundEnd(m_nRequestId, ToInt(arrFields[0]));
}

void CLumoClientSocket::HandleQRESTA(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendQuestionRecordingStart(m_nRequestId, ToInt(arrFields[0]), arrFields[1]);
}

void CLumoClientSocket::HandleQRESTO(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendQuestionRecordingEnd(m_nRequestId, ToInt(arrFields[0]));
}

void CLumoClientSocket::HandleREQTSK(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendRequestTask(ToLong(arrFields[0]));
}

void CLumoClientSocket::HandleSTAIVR(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendStartIvr(arrFields[0], ToLong(arrFields[1]), arrFields[2]);
}

void CLumoClientSocket::HandleSTAKYI(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendStartKeyIn(ToLong(arrFields[0]));
}

void CLumoClientSocket::HandleSTOKYI(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendStopKeyIn(ToLong(arrFields[0]));
}

void CLumoClientSocket::HandleTAGCAL(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendTagCall(ToLong(arrFields[0]), arrFields[1]);
}

void CLumoClientSocket::HandleTRACAL(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendTransferCall(ToLong(arrFields[0]), ToLong(arrFields[1]));
}

void CLumoClientSocket::HandleTRGPRD(CStringArray& arrFields)
{
    const auto pJex = GetJex();
    if (!pJex) return;
    if (ToBool(arrFields[0]))
        pJex->SendStartTrigger(ToInt(arrFields[1]), ToInt(arrFields[2]));
    else
        pJex->SendCancelTrigger(ToInt(arrFields[1]), ToInt(arrFields[2]));
}

void CLumoClientSocket::HandleTSKRES(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->RequestTaskResources(ToInt(arrFields[0]), arrFields[1]);
}

void CLumoClientSocket::HandleUPDANO(CStringArray& arrFields)
{
    const auto pJex = GetJex();
    if (!pJex) return;
    const CPropertyList annotation(arrFields[3].GetString());
    pJex->SendUpdateAnnotation(m_nRequestId, ToLong(arrFields[0]), ToLong(arrFields[1]), ToLong(arrFields[2]),
                               annotation.GetString());
}

void CLumoClientSocket::HandleWRCACL(CStringArray& arrFields)
{
    if (const auto pJex = GetJex()) pJex->SendWriteCallClass(arrFields[0]);
}
