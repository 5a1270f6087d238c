// What each command of Jex does on the desktop. The words and their modes are the command link's
// table (CJexSocketCommands.cpp); the greeting and the log-on answers are the link's own
// (CJexSocket.cpp).
#include "sessions/CJexCommands.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAlarmOption.h"
#include "sessions/CJexAttachmentWriter.h"
#include "sessions/CJexSocket.h"
#include "sessions/CJexWorkFolder.h"
#include "sessions/CLocation.h"
#include "sessions/COutboundGroup.h"
#include "sessions/CSessionCore.h"
#include "sessions/IApplicationRelay.h"
#include "sessions/ILumoAppHost.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CWnd.h"
#include <cstdlib>
#include <cwchar>
#include <memory>

namespace
{
long ToLong(const CString& strText)
{
    return CStaticTools::ToLong(strText.GetString());
}

DWORD ToULong(const CString& strText)
{
    return static_cast<DWORD>(CStaticTools::ToULong(strText.GetString()));
}

short ToShort(const CString& strText)
{
    return CStaticTools::ToShort(strText.GetString());
}

BOOL ToBool(const CString& strText)
{
    return CStaticTools::ToBool(strText.GetString()) ? TRUE : FALSE;
}

bool IsWindowAlive(const CWnd* pWnd)
{
    return pWnd && ::IsWindow(pWnd->GetSafeHwnd());
}

// Blank-separated signed numbers; empty pieces are skipped.
CDWordArray ReadNumbers(const CString& strText)
{
    CDWordArray numbers;
    CStaticTools::ReadStringSeparatorDWordArraySigned(strText, L' ', numbers);
    return numbers;
}

long NumberAt(const CDWordArray& numbers, INT_PTR nIndex)
{
    return static_cast<long>(numbers[nIndex]);
}
} // namespace

CJexCommands::CJexCommands(CJexSocket& link, ILumoAppHost& app, CSessionCore* pCore)
    : m_link(link), m_app(app), m_pCore(pCore), m_payload(link)
{
}

template <class Role> Role* CJexCommands::Served(const char* pszCaller) const
{
    return m_link.Served<Role>(pszCaller);
}

CWnd* CJexCommands::ReplyWindow() const
{
    return m_link.GetReplyWindow();
}

CWnd* CJexCommands::MainWindow() const
{
    return m_link.GetMainWindow();
}

void CJexCommands::SendReplyText(WPARAM nKind, CString& strText)
{
    if (IsWindowAlive(ReplyWindow()))
        ReplyWindow()->SendMessage(WM_JEXREPLY, nKind, reinterpret_cast<LPARAM>(&strText));
}

// ---- state and results for the main window ----

void CJexCommands::HandleAGASKI(CStringArray& arrFields)
{
    if (IAgentState* pState = Served<IAgentState>(__func__)) pState->SetAssignedToKeyIn(ToBool(arrFields[0]));
}

void CJexCommands::HandleAGSTAT(CString strText)
{
    const int nBlank = strText.Find(L' ');
    const CString strState = nBlank < 0 ? strText : strText.Left(nBlank);
    const CString strStateText = nBlank < 0 ? CString() : strText.Mid(nBlank + 1);
    if (IAgentState* pState = Served<IAgentState>(__func__)) pState->SetAgentState(ToShort(strState), strStateText);
}

void CJexCommands::HandleAVLOUT(CStringArray& arrFields)
{
    const bool bGroup = arrFields.GetSize() == 3;
    if (IAgentState* pState = Served<IAgentState>(__func__))
        pState->OnAvailableOutbound(arrFields[0] == L"1", bGroup ? ToLong(arrFields[1]) : -1,
                                    bGroup ? arrFields[2] : CString());
}

void CJexCommands::HandleBLITRA(CString strText)
{
    const CDWordArray numbers = ReadNumbers(strText);
    if (numbers.GetSize() < 2) return; // nothing to report; the lines behind it are read on
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnBlindTransferResult(NumberAt(numbers, 0), NumberAt(numbers, 1));
}

void CJexCommands::HandleCALACK(CStringArray& arrFields)
{
    if (!IsWindowAlive(MainWindow())) return;
    auto pText = std::make_unique<CString>(arrFields[1]);
    if (MainWindow()->PostMessage(WM_CALLACKREQUEST,
                                  static_cast<WPARAM>(std::wcstol(arrFields[0].GetString(), nullptr, 10)),
                                  reinterpret_cast<LPARAM>(pText.get())))
        pText.release(); // the main window deletes it
}

void CJexCommands::HandleCALINF(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnCallInfo(strText);
}

void CJexCommands::HandleCALRAC(CStringArray& arrFields)
{
    if (IsWindowAlive(MainWindow()))
        MainWindow()->PostMessage(WM_CALLACKREMOVE,
                                  static_cast<WPARAM>(std::wcstol(arrFields[0].GetString(), nullptr, 10)),
                                  static_cast<LPARAM>(std::wcstol(arrFields[1].GetString(), nullptr, 10)));
}

void CJexCommands::HandleCONADD(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnConferenceAdded(strText);
}

void CJexCommands::HandleENDOUT(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnOutboundCallEnded(ToLong(arrFields[0]));
}

void CJexCommands::HandleFNDCON(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->OnContactSearchResult(CPropertyList(arrFields[0], false));
}

void CJexCommands::HandleHTBEAT(CString /*strText*/)
{
    // Jex's sign of life: the line itself was the news.
}

void CJexCommands::HandleKYIINT(CStringArray& arrFields)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnKeyInInterview(ToLong(arrFields[1]), arrFields[2]);
}

void CJexCommands::HandleLSTPAU(CStringArray& arrFields)
{
    if (IPauses* pPauses = Served<IPauses>(__func__))
        pPauses->OnPauseList(ToLong(arrFields[0]), ToLong(arrFields[1]), arrFields[2]);
}

void CJexCommands::HandleLUMDIA(CStringArray& arrFields)
{
    ISoftphone* pSoftphone = Served<ISoftphone>(__func__);
    const long nResult = pSoftphone ? pSoftphone->DialOnSoftPhone(arrFields[0]) : 1;
    m_link.SendSoftPhoneDialResult(arrFields[0], nResult);
}

void CJexCommands::HandleMANDIA(CStringArray& arrFields)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnManualDialResult(ToShort(arrFields[0]));
}

void CJexCommands::HandleNEXCAL(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnNextCallResult(_wtoi(strText.GetString()));
}

void CJexCommands::HandleNUMINF(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnNumberInfo(strText);
}

void CJexCommands::HandleOKTRAN(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnConfirmTransferResult(_wtoi(strText.GetString()));
}

void CJexCommands::HandleONHOLD(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnHoldResult(_wtoi(strText.GetString()));
}

void CJexCommands::HandleRECCAL(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnRecordCallResult(ToLong(arrFields[0]), ToLong(arrFields[1]));
}

void CJexCommands::HandleREFNUM(CString strText)
{
    const CDWordArray numbers = ReadNumbers(strText);
    if (numbers.GetSize() < 3) return;
    if (IDialing* pDialing = Served<IDialing>(__func__))
        pDialing->OnRefuseNumberResult(NumberAt(numbers, 0), NumberAt(numbers, 1), NumberAt(numbers, 2));
}

void CJexCommands::HandleREQMAN(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnManualDialRequest(_wtoi(strText.GetString()));
}

void CJexCommands::HandleSELNMR(CString strText)
{
    const CDWordArray numbers = ReadNumbers(strText);
    if (numbers.GetSize() < 3) return;
    if (IDialing* pDialing = Served<IDialing>(__func__))
        pDialing->OnSelectNumberResult(NumberAt(numbers, 0), NumberAt(numbers, 1), NumberAt(numbers, 2));
}

void CJexCommands::HandleSTAKYI(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnStartKeyInResult(strText);
}

void CJexCommands::HandleSTAQUE(CString strText)
{
    if (IQueueDisplay* pQueue = Served<IQueueDisplay>(__func__)) pQueue->ShowQueueStats(strText);
}

void CJexCommands::HandleSTRTIN(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartInboundCall(arrFields[0]);
}

void CJexCommands::HandleSTRTOU(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartOutboundCall(arrFields[0]);
}

void CJexCommands::HandleTAKBAC(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTakeBackResult(_wtoi(strText.GetString()));
}

void CJexCommands::HandleTAKCAL(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTakeCallResult(_wtoi(strText.GetString()));
}

void CJexCommands::HandleTRACAL(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTransferCallResult(_wtoi(strText.GetString()));
}

void CJexCommands::HandleTRAEND(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnTransferEnded(ToShort(arrFields[0]));
}

void CJexCommands::HandleTRANIN(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartTransferredCall(arrFields[0], TRUE);
}

void CJexCommands::HandleTRANOU(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartTransferredCall(arrFields[0], FALSE);
}

void CJexCommands::HandleTRNSFR(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTransferToAgent(static_cast<unsigned short>(ToULong(arrFields[0])));
}

void CJexCommands::HandleUPDANO(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnAnnotationChanged(ToLong(arrFields[0]), ToLong(arrFields[1]), ToLong(arrFields[2]),
                                         ToLong(arrFields[3]), ToShort(arrFields[4]));
}

void CJexCommands::HandleUPDSFT(CStringArray& arrFields)
{
    m_app.GetAgent().m_bSoftphoneLog = ToBool(arrFields[0]) != FALSE;
    if (ISoftphone* pSoftphone = Served<ISoftphone>(__func__)) pSoftphone->UpdateSoftPhoneLog();
}

void CJexCommands::HandleUPDSMO(CString strText)
{
    if (IQueueDisplay* pQueue = Served<IQueueDisplay>(__func__)) pQueue->OnUpdateSemiOpens(strText);
}

// ---- answers for a waiting window or an application ----

void CJexCommands::HandleCHGPWD(CStringArray& arrFields)
{
    const long nAgentId = ToLong(arrFields[0]);
    const short nResult = ToShort(arrFields[1]);
    m_app.GetAgent().m_nId = nAgentId;
    if (IsWindowAlive(ReplyWindow()))
    {
        // Sent, not posted: the receiver deletes the record before the call returns.
        auto pResult = std::make_unique<CJexSocket::PasswordResult>(CJexSocket::PasswordResult{nAgentId, nResult});
        ReplyWindow()->SendMessage(WM_JEXREPLY, CJexSocket::replyChangePassword,
                                   reinterpret_cast<LPARAM>(pResult.release()));
    }
    if (m_pCore) m_pCore->BroadcastPasswordChangeResult(nResult);
}

void CJexCommands::HandleLSTAGT(CStringArray& arrFields)
{
    if (IsWindowAlive(ReplyWindow()))
        ReplyWindow()->SendMessage(WM_JEXREPLY, CJexSocket::replyAgentList, reinterpret_cast<LPARAM>(&arrFields));
}

void CJexCommands::HandleLSTLOC(CStringArray& arrFields)
{
    if (arrFields.GetSize() < 3) return; // an answer without its list: nothing to hand on
    CObArray locations;
    CLocation::ParseLocationList(locations, arrFields[2]);
    HandOnList(arrFields, locations, CJexSocket::replyLocations, &CSessionCore::SendLocationList);
}

void CJexCommands::HandleLSTOGR(CStringArray& arrFields)
{
    CObArray groups;
    COutboundGroup::ParseOutboundGroupList(groups, arrFields[2]);
    HandOnList(arrFields, groups, CJexSocket::replyOutboundGroups, &CSessionCore::SendOutboundGroupList);
}

// Application id -1 in the answer: the desktop's own dialog asked. The records are ours either way.
void CJexCommands::HandOnList(CStringArray& arrFields, CObArray& records, WPARAM nKind,
                              void (CSessionCore::*pfnRelay)(long, long, const CString&))
{
    const long nApplicationId = ToLong(arrFields[1]);
    if (nApplicationId == -1)
    {
        if (IsWindowAlive(ReplyWindow()))
            ReplyWindow()->SendMessage(WM_JEXREPLY, nKind, reinterpret_cast<LPARAM>(&records));
    }
    else if (m_pCore)
        (m_pCore->*pfnRelay)(ToLong(arrFields[0]), nApplicationId, arrFields[2]);
    DeleteObArray(records);
}

void CJexCommands::HandleLSTMIG(CString strText)
{
    SendReplyText(CJexSocket::replyAgentInboundGroups, strText);
}

void CJexCommands::HandleLSTMOG(CString strText)
{
    SendReplyText(CJexSocket::replyAgentOutboundGroups, strText);
}

void CJexCommands::HandleNORIGT(CString /*strText*/)
{
    if (IsWindowAlive(ReplyWindow())) ReplyWindow()->PostMessage(WM_JEXREPLY, CJexSocket::replyNoRight, 0);
}

void CJexCommands::RelayCallAnswer(int nKind, CStringArray& arrFields)
{
    if (!m_pCore || !m_pRelay) return;
    const long nCallId = ToLong(arrFields[1]);
    const CSmartObjectPtr<CCallInfo> pCall = m_pCore->FindCall(nCallId);
    if (!pCall) return; // nobody asked for an unknown call
    m_pRelay->SendCallAnswer(static_cast<IApplicationRelay::CallAnswer>(nKind), pCall->m_nApplicationId,
                             ToLong(arrFields[0]), nCallId, ToLong(arrFields[2]));
}

void CJexCommands::HandlePLSEND(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerSoundEnd, arrFields);
}

void CJexCommands::HandlePLSSTA(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerSoundStart, arrFields);
}

void CJexCommands::HandleQREEND(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerRecordingEnd, arrFields);
}

void CJexCommands::HandleQRESTA(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerRecordingStart, arrFields);
}

// ---- settings of the application object ----

void CJexCommands::HandleSEEIN(CStringArray& arrFields)
{
    if (IAgentMonitor* pMonitor = Served<IAgentMonitor>(__func__))
        pMonitor->StartAgentMonitor(arrFields[0], ToLong(arrFields[1]), ToLong(arrFields[2]));
}

void CJexCommands::HandleSETPER(CStringArray& arrFields)
{
    const int nBits = CStaticTools::ToInt(arrFields[0].GetString());
    IPermissionSwitches* pSwitches = Served<IPermissionSwitches>(__func__);
    for (const int nBit : {0, 1, 5, 6, 7, 8, 9})
        if (pSwitches) pSwitches->SetPermission(nBit, (nBits >> nBit) & 1);
    // Each later bit overrides the earlier ones; without any of them the mode stays as it was.
    int nMode = -1;
    if (nBits & (1 << 2)) nMode = 1;
    if (nBits & (1 << 3)) nMode = 0;
    if (nBits & (1 << 4)) nMode = 2;
    if (nMode != -1 && pSwitches) pSwitches->SetPermissionMode(nMode);
    if (IAgentState* pState = Served<IAgentState>(__func__))
        pState->ArrangeButtons(); // bit 7 shows the ninth call button
}

void CJexCommands::HandleUPDALO(CStringArray& arrFields)
{
    CAlarmOption options;
    options.SetFromText(arrFields[0].GetString());
    if (IAlarmOptions* pAlarms = Served<IAlarmOptions>(__func__)) pAlarms->UpdateAlarmOptions(options);
}

void CJexCommands::HandleUPDASE(CStringArray& arrFields)
{
    if (!m_pCore) return;
    if (arrFields[1].IsEmpty())
    {
        m_pCore->SetApplicationSettingsComplete(); // the requested settings are all there
        return;
    }
    CAgentSetting setting;
    setting.SetProperties(arrFields[1]);
    m_pCore->StoreSetting(ToLong(arrFields[0]), setting);
}

void CJexCommands::HandleVOICIP(CStringArray& arrFields)
{
    if (IPermissionSwitches* pSwitches = Served<IPermissionSwitches>(__func__))
        pSwitches->SetVoip(ToBool(arrFields[0]));
    if (IVoipGateways* pGateways = Served<IVoipGateways>(__func__))
    {
        // A gateway set on this machine wins over the one Jex knows.
        const CString strLocal = pGateways->GetVoipGatewaySetting();
        pGateways->SetVoipGateways(strLocal.IsEmpty() ? arrFields[1] : strLocal);
    }
}

// ---- payloads ----

void CJexCommands::HandleCALLHY(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    const BYTE* pPayload = m_payload.WaitForPayload(nLineLength, arrFields[3], nLength, bIncomplete);
    if (!pPayload) return;
    const DWORD nCrc = ToULong(arrFields[4]);
    // Passed on in place: the receiver copies what it sends before the bytes are consumed.
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__);
        pCallEvents && CJexPayloadReader::CrcMatches(pPayload, nLength, nCrc))
        pCallEvents->OnCallHistory(ToLong(arrFields[2]), ToLong(arrFields[0]), ToLong(arrFields[1]), pPayload, nLength,
                                   nCrc);
    m_payload.Consume(nLineLength, nLength);
}

void CJexCommands::HandleQTAUPD(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    const BYTE* pPayload = m_payload.WaitForPayload(nLineLength, arrFields[2], nLength, bIncomplete);
    if (!pPayload) return;
    if (IQueueDisplay* pQueue = Served<IQueueDisplay>(__func__))
        pQueue->OnQuotaUpdate(ToLong(arrFields[0]), ToShort(arrFields[1]), pPayload, nLength);
    m_payload.Consume(nLineLength, nLength);
}

void CJexCommands::HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    if (arrFields.GetSize() == 4)
    {
        m_link.ConsumeReceived(nLineLength);
        if (m_pRelay)
            m_pRelay->SendInterviewConfirmation(ToLong(arrFields[1]), ToBool(arrFields[3]), ToLong(arrFields[0]),
                                                ToLong(arrFields[2]));
        return;
    }
    DWORD nLength = 0;
    const BYTE* pPayload = m_payload.WaitForPayload(nLineLength, arrFields[4], nLength, bIncomplete);
    if (!pPayload) return;
    std::unique_ptr<BYTE[]> pCopy = CJexPayloadReader::CopyPayload(pPayload, nLength);
    m_payload.Consume(nLineLength, nLength);
    const DWORD nCrc = ToULong(arrFields[5]);
    if (!m_pCore || !CJexPayloadReader::CrcMatches(pCopy.get(), nLength, nCrc)) return;
    // FALSE: the call record took the copy over until the application registers.
    m_pCore->ForwardInterviewData(ToLong(arrFields[1]), ToLong(arrFields[0]), ToLong(arrFields[3]), pCopy, nLength,
                                  nCrc);
}

void CJexCommands::HandleSNDMSG(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nTotal = 0;
    const BYTE* pPayload = m_payload.WaitForPayload(nLineLength, arrFields[2], nTotal, bIncomplete);
    if (!pPayload) return;
    auto pMessage = std::make_unique<CMessage>();
    pMessage->SetText(arrFields[1].GetString(), true);
    CJexAttachmentWriter(CJexWorkFolder(m_app.GetWorkFolder())).WriteAttachments(*pMessage, pPayload, nTotal);
    m_payload.Consume(nLineLength, nTotal);
    if (IAgentMessages* pMessages = Served<IAgentMessages>(__func__))
    {
        pMessages->OnMessageReceived(arrFields[0], std::move(pMessage));
        return;
    }
    pMessage->DeleteAttachments();
}

void CJexCommands::HandleTSKRES(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    const long nApplicationId = ToLong(arrFields[0]);
    const long nTaskId = ToLong(arrFields[1]);
    if (arrFields.GetSize() == 2)
    {
        m_link.ConsumeReceived(nLineLength);
        if (ITasks* pTasks = Served<ITasks>(__func__))
            pTasks->OnTaskResources(nTaskId, nApplicationId, -1, nullptr, 0, 0);
        return;
    }
    DWORD nLength = 0;
    const BYTE* pPayload = m_payload.WaitForPayload(nLineLength, arrFields[3], nLength, bIncomplete);
    if (!pPayload) return;
    std::unique_ptr<BYTE[]> pCopy = CJexPayloadReader::CopyPayload(pPayload, nLength);
    m_payload.Consume(nLineLength, nLength);
    const DWORD nCrc = ToULong(arrFields[4]);
    if (ITasks* pTasks = Served<ITasks>(__func__); pTasks && CJexPayloadReader::CrcMatches(pCopy.get(), nLength, nCrc))
        pTasks->OnTaskResources(nTaskId, nApplicationId, ToLong(arrFields[2]), std::move(pCopy), nLength, nCrc);
}

void CJexCommands::HandleUPDTSK(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    const BYTE* pPayload = m_payload.WaitForPayload(nLineLength, arrFields[2], nLength, bIncomplete);
    if (!pPayload) return;
    const std::unique_ptr<BYTE[]> pCopy = CJexPayloadReader::CopyPayload(pPayload, nLength);
    m_payload.Consume(nLineLength, nLength);
    const long nTaskId = ToLong(arrFields[0]);
    const DWORD nCrc = ToULong(arrFields[3]);
    const bool bMatches = CJexPayloadReader::CrcMatches(pCopy.get(), nLength, nCrc);
    switch (ToShort(arrFields[1]))
    {
    case 0:
        if (m_pCore && bMatches) m_pCore->PassTaskToBrennClient(nTaskId, pCopy.get(), nLength, nCrc, arrFields[4]);
        break;
    case 1: {
        // The script text comes in the link's own encoding.
        const CString strScript =
            m_link.IsWide() ? CString(reinterpret_cast<const wchar_t*>(pCopy.get()), static_cast<int>(nLength / 2))
                            : CString(reinterpret_cast<const char*>(pCopy.get()), static_cast<int>(nLength));
        if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->OnScriptContents(nTaskId, strScript, bMatches);
        break;
    }
    case 2:
        if (m_pCore && bMatches) m_pCore->PassTaskToQuillan(nTaskId, pCopy.get(), nLength, nCrc, arrFields[4]);
        break;
    default:
        break;
    }
}
