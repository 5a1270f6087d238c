// CJexSocket, its commands: what Jex says on its own or in answer, handed to the main window, the
// waiting window, the session core and the application relays. The greeting and the log-on
// answers are in CJexSocket.cpp.
#include "sessions/CJexSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAlarmOption.h"
#include "sessions/CLocation.h"
#include "sessions/COutboundGroup.h"
#include "sessions/CSessionCore.h"
#include "sessions/IApplicationRelay.h"
#include "sessions/ILumoAppHost.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CUtilities.h"
#include "framework/CException.h"
#include "framework/CFile.h"
#include "framework/CWnd.h"
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
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

// A copy of a payload that the receivers may keep: two zero bytes behind it let it be read as text.
std::unique_ptr<BYTE[]> CopyPayload(const BYTE* pPayload, DWORD nLength)
{
    auto pCopy = std::make_unique<BYTE[]>(static_cast<size_t>(nLength) + 2);
    if (nLength) std::memcpy(pCopy.get(), pPayload, nLength);
    pCopy[nLength] = pCopy[nLength + 1] = 0;
    return pCopy;
}

bool CrcMatches(const BYTE* pBytes, DWORD nLength, DWORD nCrc)
{
    return CStaticTools::GetChecksumForMemory(pBytes, nLength) == nCrc;
}

// The extension an attachment's file may take from its name: only a plain one, so that the name
// Jex sends can neither leave the work folder nor open an alternate stream.
CString PlainExtension(const CString& strName)
{
    constexpr int kMaxExtension = 16;
    const int nDot = strName.ReverseFind(L'.');
    if (nDot < 0) return CString();
    const CString strExtension = strName.Mid(nDot + 1);
    if (strExtension.IsEmpty() || strExtension.GetLength() > kMaxExtension) return CString();
    for (int i = 0; i < strExtension.GetLength(); ++i)
    {
        const wchar_t c = strExtension[i];
        if (!std::iswalnum(c) && c != L'_' && c != L'-') return CString();
    }
    return L"." + strExtension;
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

void CJexSocket::AddCommands(CSocketCommandMap& map)
{
    using C = CSocketCommand;
    auto fields = [&map](LPCWSTR pszWord, auto pfn, auto... counts) {
        map.Add(pszWord, new C(SocketHandler(pfn), C::modeFields, true, C::checkOneOf, 0, counts..., -1));
    };
    auto payload = [&map](LPCWSTR pszWord, auto pfn, auto... counts) {
        map.Add(pszWord, new C(SocketHandler(pfn), C::modeFieldsPayload, true, C::checkOneOf, 0, counts..., -1));
    };
    auto text = [&map](LPCWSTR pszWord, auto pfn) {
        map.Add(pszWord, new C(SocketHandler(pfn), C::modeText, true, C::checkNone, 0, -1));
    };
    fields(L"AGASKI", &CJexSocket::HandleAGASKI, 1);
    text(L"AGSTAT", &CJexSocket::HandleAGSTAT);
    fields(L"AVLOUT", &CJexSocket::HandleAVLOUT, 1, 3);
    text(L"BLITRA", &CJexSocket::HandleBLITRA);
    fields(L"CALACK", &CJexSocket::HandleCALACK, 2);
    text(L"CALINF", &CJexSocket::HandleCALINF);
    payload(L"CALLHY", &CJexSocket::HandleCALLHY, 5);
    fields(L"CALRAC", &CJexSocket::HandleCALRAC, 2);
    fields(L"CHGPWD", &CJexSocket::HandleCHGPWD, 2);
    text(L"CONADD", &CJexSocket::HandleCONADD);
    fields(L"ENDOUT", &CJexSocket::HandleENDOUT, 1);
    fields(L"FNDCON", &CJexSocket::HandleFNDCON, 1);
    text(L"HTBEAT", &CJexSocket::HandleHTBEAT);
    fields(L"KYIINT", &CJexSocket::HandleKYIINT, 3);
    fields(L"LSTAGT", &CJexSocket::HandleLSTAGT, 4);
    fields(L"LSTLOC", &CJexSocket::HandleLSTLOC, 1, 3);
    text(L"LSTMIG", &CJexSocket::HandleLSTMIG);
    text(L"LSTMOG", &CJexSocket::HandleLSTMOG);
    fields(L"LSTOGR", &CJexSocket::HandleLSTOGR, 3);
    fields(L"LSTPAU", &CJexSocket::HandleLSTPAU, 3);
    fields(L"LUMDIA", &CJexSocket::HandleLUMDIA, 1);
    fields(L"MANDIA", &CJexSocket::HandleMANDIA, 1);
    text(L"NEXCAL", &CJexSocket::HandleNEXCAL);
    text(L"NORIGT", &CJexSocket::HandleNORIGT);
    text(L"NUMINF", &CJexSocket::HandleNUMINF);
    text(L"OKTRAN", &CJexSocket::HandleOKTRAN);
    text(L"ONHOLD", &CJexSocket::HandleONHOLD);
    fields(L"PLSEND", &CJexSocket::HandlePLSEND, 3);
    fields(L"PLSSTA", &CJexSocket::HandlePLSSTA, 3);
    fields(L"QREEND", &CJexSocket::HandleQREEND, 3);
    fields(L"QRESTA", &CJexSocket::HandleQRESTA, 3);
    payload(L"QTAUPD", &CJexSocket::HandleQTAUPD, 3);
    fields(L"RECCAL", &CJexSocket::HandleRECCAL, 2);
    text(L"REFNUM", &CJexSocket::HandleREFNUM);
    text(L"REQMAN", &CJexSocket::HandleREQMAN);
    fields(L"SEE-IN", &CJexSocket::HandleSEEIN, 3);
    text(L"SELNMR", &CJexSocket::HandleSELNMR);
    fields(L"SETPER", &CJexSocket::HandleSETPER, 1);
    payload(L"SNDINT", &CJexSocket::HandleSNDINT, 4, 6);
    payload(L"SNDMSG", &CJexSocket::HandleSNDMSG, 3);
    text(L"STAKYI", &CJexSocket::HandleSTAKYI);
    text(L"STAQUE", &CJexSocket::HandleSTAQUE);
    fields(L"STRTIN", &CJexSocket::HandleSTRTIN, 1);
    fields(L"STRTOU", &CJexSocket::HandleSTRTOU, 1);
    text(L"TAKBAC", &CJexSocket::HandleTAKBAC);
    text(L"TAKCAL", &CJexSocket::HandleTAKCAL);
    text(L"TRACAL", &CJexSocket::HandleTRACAL);
    fields(L"TRAEND", &CJexSocket::HandleTRAEND, 1);
    fields(L"TRANIN", &CJexSocket::HandleTRANIN, 1);
    fields(L"TRANOU", &CJexSocket::HandleTRANOU, 1);
    fields(L"TRNSFR", &CJexSocket::HandleTRNSFR, 1);
    payload(L"TSKRES", &CJexSocket::HandleTSKRES, 2, 5);
    fields(L"UPDALO", &CJexSocket::HandleUPDALO, 1);
    fields(L"UPDANO", &CJexSocket::HandleUPDANO, 5);
    fields(L"UPDASE", &CJexSocket::HandleUPDASE, 2);
    fields(L"UPDSFT", &CJexSocket::HandleUPDSFT, 1);
    text(L"UPDSMO", &CJexSocket::HandleUPDSMO);
    payload(L"UPDTSK", &CJexSocket::HandleUPDTSK, 5);
    fields(L"VOICIP", &CJexSocket::HandleVOICIP, 2);
}

// ---- helpers ----

const BYTE* CJexSocket::WaitForPayload(int nLineLength, const CString& strLength, DWORD& nLength, BOOL& bIncomplete)
{
    // Read whole: "1\0" + "0" is no length of 1. Taken for one, it would leave the rest of the payload
    // to be read as lines, or put a UTF-16 link one byte out of step for good.
    unsigned long nParsed = 0;
    if (strLength.IsEmpty() || std::wcslen(strLength.GetString()) != static_cast<size_t>(strLength.GetLength()) ||
        !CStaticTools::EstULong(strLength.GetString(), nParsed))
    {
        ConsumeReceived(nLineLength);
        OnCommandException(CString(), strLength, L"payload length is no number");
        return nullptr;
    }
    nLength = static_cast<DWORD>(nParsed);
    // Closing the link for it would cost the agent's session for one line; no Jex sends a payload
    // that large, so it is dropped as one more protocol error and the link reads on.
    if (!IsPayloadCountable(nLineLength, nLength))
    {
        ConsumeReceived(nLineLength);
        OnCommandException(CString(), strLength, L"payload longer than the link can hold");
        return nullptr;
    }
    if (static_cast<DWORD>(GetCountAfterLine(nLineLength)) >= nLength)
        return GetReceivedData() + nLineLength + GetCharSize();
    // Room grows as the bytes come.
    ReservePayload(nLineLength, nLength);
    bIncomplete = TRUE;
    return nullptr;
}

void CJexSocket::SendReplyText(WPARAM nKind, CString& strText)
{
    if (IsWindowAlive(m_pReplyWnd)) m_pReplyWnd->SendMessage(WM_JEXREPLY, nKind, reinterpret_cast<LPARAM>(&strText));
}

// ---- state and results for the main window ----

void CJexSocket::HandleAGASKI(CStringArray& arrFields)
{
    if (IAgentState* pState = Served<IAgentState>(__func__)) pState->SetAssignedToKeyIn(ToBool(arrFields[0]));
}

void CJexSocket::HandleAGSTAT(CString strText)
{
    const int nBlank = strText.Find(L' ');
    const CString strState = nBlank < 0 ? strText : strText.Left(nBlank);
    const CString strStateText = nBlank < 0 ? CString() : strText.Mid(nBlank + 1);
    if (IAgentState* pState = Served<IAgentState>(__func__)) pState->SetAgentState(ToShort(strState), strStateText);
}

void CJexSocket::HandleAVLOUT(CStringArray& arrFields)
{
    const bool bGroup = arrFields.GetSize() == 3;
    if (IAgentState* pState = Served<IAgentState>(__func__))
        pState->OnAvailableOutbound(arrFields[0] == L"1", bGroup ? ToLong(arrFields[1]) : -1,
                                    bGroup ? arrFields[2] : CString());
}

void CJexSocket::HandleBLITRA(CString strText)
{
    const CDWordArray numbers = ReadNumbers(strText);
    if (numbers.GetSize() < 2) return; // nothing to report; the lines behind it are read on
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnBlindTransferResult(NumberAt(numbers, 0), NumberAt(numbers, 1));
}

void CJexSocket::HandleCALACK(CStringArray& arrFields)
{
    if (!IsWindowAlive(m_pMainWnd)) return;
    auto pText = std::make_unique<CString>(arrFields[1]);
    if (m_pMainWnd->PostMessage(WM_CALLACKREQUEST,
                                static_cast<WPARAM>(std::wcstol(arrFields[0].GetString(), nullptr, 10)),
                                reinterpret_cast<LPARAM>(pText.get())))
        pText.release(); // the main window deletes it
}

void CJexSocket::HandleCALINF(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnCallInfo(strText);
}

void CJexSocket::HandleCALRAC(CStringArray& arrFields)
{
    if (IsWindowAlive(m_pMainWnd))
        m_pMainWnd->PostMessage(WM_CALLACKREMOVE,
                                static_cast<WPARAM>(std::wcstol(arrFields[0].GetString(), nullptr, 10)),
                                static_cast<LPARAM>(std::wcstol(arrFields[1].GetString(), nullptr, 10)));
}

void CJexSocket::HandleCONADD(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnConferenceAdded(strText);
}

void CJexSocket::HandleENDOUT(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnOutboundCallEnded(ToLong(arrFields[0]));
}

void CJexSocket::HandleFNDCON(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->OnContactSearchResult(CPropertyList(arrFields[0], false));
}

void CJexSocket::HandleHTBEAT(CString /*strText*/)
{
    // Jex's sign of life: the line itself was the news.
}

void CJexSocket::HandleKYIINT(CStringArray& arrFields)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnKeyInInterview(ToLong(arrFields[1]), arrFields[2]);
}

void CJexSocket::HandleLSTPAU(CStringArray& arrFields)
{
    if (IPauses* pPauses = Served<IPauses>(__func__))
        pPauses->OnPauseList(ToLong(arrFields[0]), ToLong(arrFields[1]), arrFields[2]);
}

void CJexSocket::HandleLUMDIA(CStringArray& arrFields)
{
    ISoftphone* pSoftphone = Served<ISoftphone>(__func__);
    const long nResult = pSoftphone ? pSoftphone->DialOnSoftPhone(arrFields[0]) : 1;
    SendRequest(L"LUMDIA %s %ld\r", EscapeParameter(arrFields[0]).GetString(), nResult);
}

void CJexSocket::HandleMANDIA(CStringArray& arrFields)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnManualDialResult(ToShort(arrFields[0]));
}

void CJexSocket::HandleNEXCAL(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnNextCallResult(_wtoi(strText.GetString()));
}

void CJexSocket::HandleNUMINF(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnNumberInfo(strText);
}

void CJexSocket::HandleOKTRAN(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnConfirmTransferResult(_wtoi(strText.GetString()));
}

void CJexSocket::HandleONHOLD(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnHoldResult(_wtoi(strText.GetString()));
}

void CJexSocket::HandleRECCAL(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnRecordCallResult(ToLong(arrFields[0]), ToLong(arrFields[1]));
}

void CJexSocket::HandleREFNUM(CString strText)
{
    const CDWordArray numbers = ReadNumbers(strText);
    if (numbers.GetSize() < 3) return;
    if (IDialing* pDialing = Served<IDialing>(__func__))
        pDialing->OnRefuseNumberResult(NumberAt(numbers, 0), NumberAt(numbers, 1), NumberAt(numbers, 2));
}

void CJexSocket::HandleREQMAN(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnManualDialRequest(_wtoi(strText.GetString()));
}

void CJexSocket::HandleSELNMR(CString strText)
{
    const CDWordArray numbers = ReadNumbers(strText);
    if (numbers.GetSize() < 3) return;
    if (IDialing* pDialing = Served<IDialing>(__func__))
        pDialing->OnSelectNumberResult(NumberAt(numbers, 0), NumberAt(numbers, 1), NumberAt(numbers, 2));
}

void CJexSocket::HandleSTAKYI(CString strText)
{
    if (IDialing* pDialing = Served<IDialing>(__func__)) pDialing->OnStartKeyInResult(strText);
}

void CJexSocket::HandleSTAQUE(CString strText)
{
    if (IQueueDisplay* pQueue = Served<IQueueDisplay>(__func__)) pQueue->ShowQueueStats(strText);
}

void CJexSocket::HandleSTRTIN(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartInboundCall(arrFields[0]);
}

void CJexSocket::HandleSTRTOU(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartOutboundCall(arrFields[0]);
}

void CJexSocket::HandleTAKBAC(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTakeBackResult(_wtoi(strText.GetString()));
}

void CJexSocket::HandleTAKCAL(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTakeCallResult(_wtoi(strText.GetString()));
}

void CJexSocket::HandleTRACAL(CString strText)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTransferCallResult(_wtoi(strText.GetString()));
}

void CJexSocket::HandleTRAEND(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__)) pCallEvents->OnTransferEnded(ToShort(arrFields[0]));
}

void CJexSocket::HandleTRANIN(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartTransferredCall(arrFields[0], TRUE);
}

void CJexSocket::HandleTRANOU(CStringArray& arrFields)
{
    if (ITasks* pTasks = Served<ITasks>(__func__)) pTasks->StartTransferredCall(arrFields[0], FALSE);
}

void CJexSocket::HandleTRNSFR(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnTransferToAgent(static_cast<unsigned short>(ToULong(arrFields[0])));
}

void CJexSocket::HandleUPDANO(CStringArray& arrFields)
{
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__))
        pCallEvents->OnAnnotationChanged(ToLong(arrFields[0]), ToLong(arrFields[1]), ToLong(arrFields[2]),
                                         ToLong(arrFields[3]), ToShort(arrFields[4]));
}

void CJexSocket::HandleUPDSFT(CStringArray& arrFields)
{
    m_app.GetAgent().m_bSoftphoneLog = ToBool(arrFields[0]) != FALSE;
    if (ISoftphone* pSoftphone = Served<ISoftphone>(__func__)) pSoftphone->UpdateSoftPhoneLog();
}

void CJexSocket::HandleUPDSMO(CString strText)
{
    if (IQueueDisplay* pQueue = Served<IQueueDisplay>(__func__)) pQueue->OnUpdateSemiOpens(strText);
}

// ---- answers for a waiting window or an application ----

void CJexSocket::HandleCHGPWD(CStringArray& arrFields)
{
    const long nAgentId = ToLong(arrFields[0]);
    const short nResult = ToShort(arrFields[1]);
    m_app.GetAgent().m_nId = nAgentId;
    if (IsWindowAlive(m_pReplyWnd))
    {
        // Sent, not posted: the receiver deletes the record before the call returns.
        auto pResult = std::make_unique<PasswordResult>(PasswordResult{nAgentId, nResult});
        m_pReplyWnd->SendMessage(WM_JEXREPLY, replyChangePassword, reinterpret_cast<LPARAM>(pResult.release()));
    }
    if (m_pCore) m_pCore->BroadcastPasswordChangeResult(nResult);
}

void CJexSocket::HandleLSTAGT(CStringArray& arrFields)
{
    if (IsWindowAlive(m_pReplyWnd))
        m_pReplyWnd->SendMessage(WM_JEXREPLY, replyAgentList, reinterpret_cast<LPARAM>(&arrFields));
}

void CJexSocket::HandleLSTLOC(CStringArray& arrFields)
{
    if (arrFields.GetSize() < 3) return; // an answer without its list: nothing to hand on
    CObArray locations;
    CLocation::ParseLocationList(locations, arrFields[2]);
    HandOnList(arrFields, locations, replyLocations, &CSessionCore::SendLocationList);
}

void CJexSocket::HandleLSTOGR(CStringArray& arrFields)
{
    CObArray groups;
    COutboundGroup::ParseOutboundGroupList(groups, arrFields[2]);
    HandOnList(arrFields, groups, replyOutboundGroups, &CSessionCore::SendOutboundGroupList);
}

// Application id -1 in the answer: the desktop's own dialog asked. The records are ours either way.
void CJexSocket::HandOnList(CStringArray& arrFields, CObArray& records, WPARAM nKind,
                            void (CSessionCore::*pfnRelay)(long, long, const CString&))
{
    const long nApplicationId = ToLong(arrFields[1]);
    if (nApplicationId == -1)
    {
        if (IsWindowAlive(m_pReplyWnd))
            m_pReplyWnd->SendMessage(WM_JEXREPLY, nKind, reinterpret_cast<LPARAM>(&records));
    }
    else if (m_pCore)
        (m_pCore->*pfnRelay)(ToLong(arrFields[0]), nApplicationId, arrFields[2]);
    DeleteObArray(records);
}

void CJexSocket::HandleLSTMIG(CString strText)
{
    SendReplyText(replyAgentInboundGroups, strText);
}

void CJexSocket::HandleLSTMOG(CString strText)
{
    SendReplyText(replyAgentOutboundGroups, strText);
}

void CJexSocket::HandleNORIGT(CString /*strText*/)
{
    if (IsWindowAlive(m_pReplyWnd)) m_pReplyWnd->PostMessage(WM_JEXREPLY, replyNoRight, 0);
}

void CJexSocket::RelayCallAnswer(int nKind, CStringArray& arrFields)
{
    if (!m_pCore || !m_pRelay) return;
    const long nCallId = ToLong(arrFields[1]);
    const CSmartObjectPtr<CCallInfo> pCall = m_pCore->FindCall(nCallId);
    if (!pCall) return; // nobody asked for an unknown call
    m_pRelay->SendCallAnswer(static_cast<IApplicationRelay::CallAnswer>(nKind), pCall->m_nApplicationId,
                             ToLong(arrFields[0]), nCallId, ToLong(arrFields[2]));
}

void CJexSocket::HandlePLSEND(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerSoundEnd, arrFields);
}

void CJexSocket::HandlePLSSTA(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerSoundStart, arrFields);
}

void CJexSocket::HandleQREEND(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerRecordingEnd, arrFields);
}

void CJexSocket::HandleQRESTA(CStringArray& arrFields)
{
    RelayCallAnswer(IApplicationRelay::answerRecordingStart, arrFields);
}

// ---- settings of the application object ----

void CJexSocket::HandleSEEIN(CStringArray& arrFields)
{
    if (IAgentMonitor* pMonitor = Served<IAgentMonitor>(__func__))
        pMonitor->StartAgentMonitor(arrFields[0], ToLong(arrFields[1]), ToLong(arrFields[2]));
}

void CJexSocket::HandleSETPER(CStringArray& arrFields)
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

void CJexSocket::HandleUPDALO(CStringArray& arrFields)
{
    CAlarmOption options;
    options.SetFromText(arrFields[0].GetString());
    if (IAlarmOptions* pAlarms = Served<IAlarmOptions>(__func__)) pAlarms->UpdateAlarmOptions(options);
}

void CJexSocket::HandleUPDASE(CStringArray& arrFields)
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

void CJexSocket::HandleVOICIP(CStringArray& arrFields)
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

void CJexSocket::HandleCALLHY(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    const BYTE* pPayload = WaitForPayload(nLineLength, arrFields[3], nLength, bIncomplete);
    if (!pPayload) return;
    const DWORD nCrc = ToULong(arrFields[4]);
    // Passed on in place: the receiver copies what it sends before the bytes are consumed.
    if (ICallEvents* pCallEvents = Served<ICallEvents>(__func__); pCallEvents && CrcMatches(pPayload, nLength, nCrc))
        pCallEvents->OnCallHistory(ToLong(arrFields[2]), ToLong(arrFields[0]), ToLong(arrFields[1]), pPayload, nLength,
                                   nCrc);
    ConsumeReceived(nLineLength + static_cast<int>(nLength));
}

void CJexSocket::HandleQTAUPD(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    const BYTE* pPayload = WaitForPayload(nLineLength, arrFields[2], nLength, bIncomplete);
    if (!pPayload) return;
    if (IQueueDisplay* pQueue = Served<IQueueDisplay>(__func__))
        pQueue->OnQuotaUpdate(ToLong(arrFields[0]), ToShort(arrFields[1]), pPayload, nLength);
    ConsumeReceived(nLineLength + static_cast<int>(nLength));
}

void CJexSocket::HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    if (arrFields.GetSize() == 4)
    {
        ConsumeReceived(nLineLength);
        if (m_pRelay)
            m_pRelay->SendInterviewConfirmation(ToLong(arrFields[1]), ToBool(arrFields[3]), ToLong(arrFields[0]),
                                                ToLong(arrFields[2]));
        return;
    }
    DWORD nLength = 0;
    const BYTE* pPayload = WaitForPayload(nLineLength, arrFields[4], nLength, bIncomplete);
    if (!pPayload) return;
    std::unique_ptr<BYTE[]> pCopy = CopyPayload(pPayload, nLength);
    ConsumeReceived(nLineLength + static_cast<int>(nLength));
    const DWORD nCrc = ToULong(arrFields[5]);
    if (!m_pCore || !CrcMatches(pCopy.get(), nLength, nCrc)) return;
    // FALSE: the call record took the copy over until the application registers.
    m_pCore->ForwardInterviewData(ToLong(arrFields[1]), ToLong(arrFields[0]), ToLong(arrFields[3]), pCopy, nLength,
                                  nCrc);
}

void CJexSocket::HandleSNDMSG(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nTotal = 0;
    const BYTE* pPayload = WaitForPayload(nLineLength, arrFields[2], nTotal, bIncomplete);
    if (!pPayload) return;
    auto pMessage = std::make_unique<CMessage>();
    pMessage->SetText(arrFields[1].GetString(), true);
    WriteAttachments(*pMessage, pPayload, nTotal);
    ConsumeReceived(nLineLength + static_cast<int>(nTotal));
    if (IAgentMessages* pMessages = Served<IAgentMessages>(__func__))
    {
        pMessages->OnMessageReceived(arrFields[0], std::move(pMessage));
        return;
    }
    pMessage->DeleteAttachments();
}

// Each attachment becomes a file of its own in the work folder. Only the announced total is read:
// an attachment whose size does not fit what remains of it gets no bytes and ends the walk.
void CJexSocket::WriteAttachments(CMessage& message, const BYTE* pPayload, DWORD nTotal)
{
    const CString strFolder = m_app.GetWorkFolder();
    DWORD nRemaining = nTotal;
    for (CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
    {
        if (!pAttachment) continue;
        if (pAttachment->m_nSize < 0 || static_cast<DWORD>(pAttachment->m_nSize) > nRemaining) break;
        const DWORD nSize = static_cast<DWORD>(pAttachment->m_nSize);
        const CString strPath = strFolder + CUtilities::CreateGuidString() + PlainExtension(pAttachment->m_strName);
        try
        {
            CFile file(strPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
            if (nSize) file.Write(pPayload, nSize);
            file.Close();
            pAttachment->m_strLocalPath = strPath;
        }
        catch (CException* pError)
        {
            pError->Delete(); // the message still arrives, without this file
            ::DeleteFileW(strPath);
        }
        pPayload += nSize;
        nRemaining -= nSize;
    }
}

void CJexSocket::HandleTSKRES(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    const long nApplicationId = ToLong(arrFields[0]);
    const long nTaskId = ToLong(arrFields[1]);
    if (arrFields.GetSize() == 2)
    {
        ConsumeReceived(nLineLength);
        if (ITasks* pTasks = Served<ITasks>(__func__))
            pTasks->OnTaskResources(nTaskId, nApplicationId, -1, nullptr, 0, 0);
        return;
    }
    DWORD nLength = 0;
    const BYTE* pPayload = WaitForPayload(nLineLength, arrFields[3], nLength, bIncomplete);
    if (!pPayload) return;
    std::unique_ptr<BYTE[]> pCopy = CopyPayload(pPayload, nLength);
    ConsumeReceived(nLineLength + static_cast<int>(nLength));
    const DWORD nCrc = ToULong(arrFields[4]);
    if (ITasks* pTasks = Served<ITasks>(__func__); pTasks && CrcMatches(pCopy.get(), nLength, nCrc))
        pTasks->OnTaskResources(nTaskId, nApplicationId, ToLong(arrFields[2]), std::move(pCopy), nLength, nCrc);
}

void CJexSocket::HandleUPDTSK(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    const BYTE* pPayload = WaitForPayload(nLineLength, arrFields[2], nLength, bIncomplete);
    if (!pPayload) return;
    const std::unique_ptr<BYTE[]> pCopy = CopyPayload(pPayload, nLength);
    ConsumeReceived(nLineLength + static_cast<int>(nLength));
    const long nTaskId = ToLong(arrFields[0]);
    const DWORD nCrc = ToULong(arrFields[3]);
    const bool bMatches = CrcMatches(pCopy.get(), nLength, nCrc);
    switch (ToShort(arrFields[1]))
    {
    case 0:
        if (m_pCore && bMatches) m_pCore->PassTaskToBrennClient(nTaskId, pCopy.get(), nLength, nCrc, arrFields[4]);
        break;
    case 1: {
        // The script text comes in the link's own encoding.
        const CString strScript =
            IsWide() ? CString(reinterpret_cast<const wchar_t*>(pCopy.get()), static_cast<int>(nLength / 2))
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
