// CJexSocket, its requests: one sender per word the desktop says to Jex. The link itself, the
// greeting and the log-on are in CJexSocket.cpp.
#include "sessions/CJexSocket.h"
#include "sessions/CCallInfo.h"
#include "sessions/CSettingBase.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IMessageBoxSink.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CTimeTools.h"
#include "framework/CException.h"
#include "framework/CFile.h"
#include <algorithm>
#include <memory>
#include <vector>

namespace
{
constexpr UINT kAttachmentBlock = 10240;

// The escaped field lives until the end of the full expression that formats the line.
CString Escaped(const CString& strText)
{
    return CAsyncSocketEx::EscapeParameter(strText);
}

long UtcOffset()
{
    return static_cast<long>(CTimeTools::GetCurrentUTCOffsetLocal());
}

// Jex reads exactly this many bytes behind the line: attachments with a negative size add none.
DWORD AttachmentTotal(const CMessage& message)
{
    DWORD nTotal = 0;
    const auto& attachments = message.m_arrAttachments;
    for (INT_PTR i = 0; i < attachments.GetSize(); ++i)
        if (attachments[i] && attachments[i]->m_nSize > 0) nTotal += static_cast<DWORD>(attachments[i]->m_nSize);
    return nTotal;
}
} // namespace

BOOL CJexSocket::SendAlarm(long nAlarmId, BOOL bOn, const CString& strText)
{
    IPermissionSwitches* pSwitches = Served<IPermissionSwitches>(__func__);
    if (!pSwitches || !pSwitches->IsAlarmSwitchOn()) return FALSE;
    return SendRequest(L"ADDALA %ld %ld %s\r", nAlarmId, static_cast<long>(bOn ? 1 : 0), Escaped(strText).GetString());
}

BOOL CJexSocket::SendApplicationLogon(long nPendingId, const CString& strField1, const CString& strField2,
                                      const CString& strField3, const CString& strField4)
{
    if (!IsLinkUp()) return FALSE;
    // Jex's ALOGON answer names no application: the one that waits is remembered here.
    m_nPendingApplication = nPendingId;
    // Every field comes from a local program: one left as it came could end the line or add fields.
    return SendRequest(L"APPLGN %s %s %s %ld %s %ld\r", Escaped(strField1).GetString(), Escaped(strField2).GetString(),
                       Escaped(strField3).GetString(), UtcOffset(), Escaped(strField4).GetString(),
                       m_app.GetRegistryLocationId());
}

BOOL CJexSocket::SendBlindTransfer(long nCallId, const CString& strDestination)
{
    return SendRequest(L"BLITRA %d %s\r", static_cast<int>(nCallId), Escaped(strDestination).GetString());
}

BOOL CJexSocket::SendCallAcknowledge(long nAcknowledgeId)
{
    return SendRequest(L"CALACK %ld\r", nAcknowledgeId);
}

BOOL CJexSocket::RequestCallHistory(long nRequestId, long nApplicationId, long nCallId)
{
    return SendRequest(L"CALLHY %ld %ld %ld\r", nRequestId, nApplicationId, nCallId);
}

BOOL CJexSocket::SendCancelTrigger(int nFirst, int nSecond)
{
    return SendRequest(L"CANTRG %d %d\r", nFirst, nSecond);
}

BOOL CJexSocket::SendChangeCallInfo(CSmartObjectPtr<CCallInfo> pCall)
{
    if (!pCall) return FALSE;
    return SendRequest(L"CCLINF %d %d %s\r", static_cast<int>(pCall->m_nCallId), static_cast<int>(pCall->m_nCallKind),
                       Escaped(pCall->m_strTask).GetString());
}

BOOL CJexSocket::SendChangeNumber(int nFirst, int nSecond, const CString& strNumber)
{
    return SendRequest(L"CHANUM %d %d %s\r", nFirst, nSecond, Escaped(strNumber).GetString());
}

BOOL CJexSocket::SendChangePasswordById(CWnd* pReplyWnd, long nAgentId, const CString& strOld, const CString& strNew)
{
    m_pReplyWnd = pReplyWnd;
    // Letter pairs pass the escape unchanged; a program's own text of another kind must not split the line.
    return SendRequest(L"CHGPWD 1 %d %s %s\r", static_cast<int>(nAgentId), Escaped(strOld).GetString(),
                       Escaped(strNew).GetString());
}

BOOL CJexSocket::SendChangePasswordByName(CWnd* pReplyWnd, const CString& strUserName, const CString& strOld,
                                          const CString& strNew)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"CHGPWD 2 %s %s %s\r", Escaped(strUserName).GetString(), Escaped(strOld).GetString(),
                       Escaped(strNew).GetString());
}

BOOL CJexSocket::SendConferenceAdd(long nFirst, int nSecond)
{
    return SendRequest(L"CONADD %ld %d\r", nFirst, nSecond);
}

BOOL CJexSocket::SendConferenceAction(int nAction, int nConferenceId)
{
    return SendRequest(L"CONAGP %d %d\r", nAction, nConferenceId);
}

BOOL CJexSocket::SendConferenceParticipantAction(int nAction, int nConferenceId, long nParticipant)
{
    return SendRequest(L"CONCAP %d %d %ld\r", nAction, nConferenceId, nParticipant);
}

BOOL CJexSocket::SendEndInbound(short nResult, const CString& strEndText)
{
    return SendRequest(L"ENDINB %d %s\r", static_cast<int>(nResult), Escaped(strEndText).GetString());
}

BOOL CJexSocket::SendEndOutbound(short nResult, const CString& strEndText)
{
    return SendRequest(L"ENDOUT %d %s\r", static_cast<int>(nResult), Escaped(strEndText).GetString());
}

BOOL CJexSocket::SendEndPause()
{
    return SendRequest(L"ENDPAU\r");
}

BOOL CJexSocket::SendFindContact(const CString& strFirst, const CString& strSecond)
{
    return SendRequest(L"FNDCON %s %s\r", Escaped(strFirst).GetString(), Escaped(strSecond).GetString());
}

BOOL CJexSocket::SendFindKeyIn(const CString& strFirst, const CString& strSecond)
{
    return SendRequest(L"FNDKYI %s %s\r", Escaped(strFirst).GetString(), Escaped(strSecond).GetString());
}

BOOL CJexSocket::SendFindNumber(const CString& strNumber)
{
    return SendRequest(L"FNDNUM %s\r", Escaped(strNumber).GetString());
}

BOOL CJexSocket::SendInterviewHeartbeat(long nValue, const CString& strText)
{
    return SendRequest(L"INTHBT %ld %s\r", nValue, Escaped(strText).GetString());
}

BOOL CJexSocket::SendJoinOutboundGroup(int nGroupId)
{
    return SendRequest(L"JOIOGR %d\r", nGroupId);
}

BOOL CJexSocket::RequestAgentList(CWnd* pReplyWnd, long nRequestId, int nApplicationId, int nListKind)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"LSTAGT %ld %d %d\r", nRequestId, nApplicationId, nListKind);
}

BOOL CJexSocket::RequestLocationList(CWnd* pReplyWnd)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"LSTLOC -1 -1\r");
}

BOOL CJexSocket::RequestLocationList(long nRequestId, int nApplicationId)
{
    return SendRequest(L"LSTLOC %ld %d\r", nRequestId, nApplicationId);
}

BOOL CJexSocket::RequestAgentInboundGroups(CWnd* pReplyWnd)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"LSTMIG\r");
}

BOOL CJexSocket::RequestAgentOutboundGroups(CWnd* pReplyWnd)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"LSTMOG\r");
}

BOOL CJexSocket::RequestOutboundGroupList(CWnd* pReplyWnd)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"LSTOGR -1 -1\r");
}

BOOL CJexSocket::RequestOutboundGroupList(long nRequestId, int nApplicationId)
{
    return SendRequest(L"LSTOGR %ld %d\r", nRequestId, nApplicationId);
}

BOOL CJexSocket::RequestPauseList(long nRequestId, int nApplicationId)
{
    return SendRequest(L"LSTPAU %ld %d\r", nRequestId, nApplicationId);
}

BOOL CJexSocket::SendManualDial(long nRequestId, const CString& strNumber, const CString& strText)
{
    return SendRequest(L"MANDIA %ld %s %s\r", nRequestId, Escaped(strNumber).GetString(), Escaped(strText).GetString());
}

BOOL CJexSocket::SendNextCall()
{
    return SendRequest(L"NEXCAL\r");
}

BOOL CJexSocket::SendConfirmTransfer(BOOL bAccept)
{
    return SendRequest(bAccept ? L"OKTRAN 1\r" : L"OKTRAN 0\r");
}

BOOL CJexSocket::SendOnHold(long nCallId)
{
    return SendRequest(L"ONHOLD %d\r", static_cast<int>(nCallId));
}

BOOL CJexSocket::SendPlayDtmf(long nCallId, const CString& strDigits)
{
    return SendRequest(L"PLDTMF %ld %s\r", nCallId, Escaped(strDigits).GetString());
}

BOOL CJexSocket::SendPlaySoundEnd(long nRequestId, int nCallId)
{
    return SendRequest(L"PLSEND %ld %d\r", nRequestId, nCallId);
}

BOOL CJexSocket::SendPlaySoundStart(long nRequestId, int nCallId, const CString& strSound)
{
    return SendRequest(L"PLSSTA %ld %d %s\r", nRequestId, nCallId, Escaped(strSound).GetString());
}

BOOL CJexSocket::SendQuestionRecordingEnd(long nRequestId, int nCallId)
{
    return SendRequest(L"QREEND %ld %d\r", nRequestId, nCallId);
}

BOOL CJexSocket::SendQuestionRecordingStart(long nRequestId, int nCallId, const CString& strText)
{
    return SendRequest(L"QRESTA %ld %d %s\r", nRequestId, nCallId, Escaped(strText).GetString());
}

BOOL CJexSocket::SendRecordCall(int nRequestId, int nCallId)
{
    return SendRequest(L"RECCAL %d %d\r", nRequestId, nCallId);
}

BOOL CJexSocket::SendRefuseNumber(int nFirst, int nSecond)
{
    return SendRequest(L"REFNUM %d %d\r", nFirst, nSecond);
}

BOOL CJexSocket::SendRejectCall(int nCallId, int nSecond)
{
    return SendRequest(L"REJCAL %d %d\r", nCallId, nSecond);
}

BOOL CJexSocket::SendReleaseNumber()
{
    return SendRequest(L"RELNUM\r");
}

BOOL CJexSocket::SendRequestManual()
{
    return SendRequest(L"REQMAN\r");
}

BOOL CJexSocket::SendRequestPause(int nPauseReasonId, int nStartType)
{
    return SendRequest(L"REQPAU %d %d\r", nPauseReasonId, nStartType);
}

BOOL CJexSocket::SendRequestTask(long nTaskId)
{
    return SendRequest(L"REQTSK %ld\r", nTaskId);
}

BOOL CJexSocket::RequestApplicationSettings(long nAgentId, long nOwner, int nNew)
{
    return SendRequest(L"RQASFA %d %d %d\r", static_cast<int>(nAgentId), static_cast<int>(nOwner), nNew);
}

BOOL CJexSocket::SendSaveSetting(long nOwner, long nAgentId, const CSettingBase& setting)
{
    return SendRequest(L"SAVASE %ld %ld %s\r", nOwner, nAgentId, Escaped(setting.GetProperties()).GetString());
}

BOOL CJexSocket::SendSelectNumber(int nFirst, int nSecond)
{
    return SendRequest(L"SELNUM %d %d\r", nFirst, nSecond);
}

BOOL CJexSocket::SendStartInterviewOutbound(const CString& strText)
{
    return SendRequest(L"SINTOU %s\r", Escaped(strText).GetString());
}

BOOL CJexSocket::SendInterviewData(long nSurveyId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nCrc,
                                   BOOL bCurrentPort)
{
    if (!IsLinkUp() || (!pData && nLength) || nLength > static_cast<DWORD>(INT_MAX)) return FALSE;
    CString strLine;
    strLine.Format(L"SNDINT %ld %ld %lu %lu %d\r", nSurveyId, nCallId, static_cast<unsigned long>(nLength),
                   static_cast<unsigned long>(nCrc), bCurrentPort ? 1 : 0);
    SendLineWithPayload(strLine, pData, static_cast<int>(nLength));
    return TRUE;
}

BOOL CJexSocket::SendMail(long nCallId, const CMailMessage& mail)
{
    CString strText, strLine;
    mail.GetText(strText, true);
    strLine.Format(L"SNDMAI %ld %s %u\r", nCallId, Escaped(strText).GetString(),
                   static_cast<unsigned>(AttachmentTotal(mail)));
    return SendWithAttachments(mail, strLine);
}

BOOL CJexSocket::SendMessage(const CMessage& message)
{
    CString strText, strLine;
    message.GetText(strText, true);
    strLine.Format(L"SNDMSG %s %u\r", Escaped(strText).GetString(), static_cast<unsigned>(AttachmentTotal(message)));
    return SendWithAttachments(message, strLine);
}

BOOL CJexSocket::SendWithAttachments(const CMessage& message, const CString& strLine)
{
    if (!IsLinkUp()) return FALSE;
    std::vector<CString> failed;
    SendLineThen(strLine, [&] {
        const auto& attachments = message.m_arrAttachments;
        for (INT_PTR i = 0; i < attachments.GetSize(); ++i)
        {
            const CMessage::CMessageAttachment* pAttachment = attachments[i];
            if (!pAttachment || pAttachment->m_nSize <= 0) continue;
            DWORD nLeft = static_cast<DWORD>(pAttachment->m_nSize);
            bool bFailed = pAttachment->m_pFile == nullptr;
            if (!bFailed)
            {
                try
                {
                    pAttachment->m_pFile->SeekToBegin();
                    while (nLeft > 0)
                    {
                        // A block of its own each time, handed over: the link need not copy it.
                        std::unique_ptr<BYTE[]> pBlock(new BYTE[kAttachmentBlock]);
                        const UINT nRead =
                            pAttachment->m_pFile->Read(pBlock.get(), std::min<DWORD>(nLeft, kAttachmentBlock));
                        if (nRead == 0) break;
                        SendRaw(std::move(pBlock), static_cast<int>(nRead));
                        nLeft -= nRead;
                    }
                }
                catch (CException* pError)
                {
                    pError->Delete();
                }
                bFailed = nLeft > 0;
            }
            // Jex reads exactly the announced bytes: what the file could not give is made up with
            // zeros, so that the next line is read as a line.
            static const BYTE kZeros[kAttachmentBlock] = {};
            for (DWORD nPad; nLeft > 0; nLeft -= nPad)
            {
                nPad = std::min<DWORD>(nLeft, kAttachmentBlock);
                SendRaw(kZeros, static_cast<int>(nPad));
            }
            if (bFailed) failed.push_back(pAttachment->m_strName);
        }
    });
    // Told only once the lock is free: a box must not hold up the other senders.
    for (const CString& strName : failed)
    {
        CString strText;
        strText.Format(L"Error while sending attachment %s.", strName.GetString());
        m_boxes.ShowMessage(strText, MB_OK | MB_ICONERROR);
    }
    return TRUE;
}

BOOL CJexSocket::SendStartIvr(const CString& strFirst, long nNumber, const CString& strSecond)
{
    return SendRequest(L"STAIVR %s %ld %s\r", Escaped(strFirst).GetString(), nNumber, Escaped(strSecond).GetString());
}

BOOL CJexSocket::SendStartKeyIn(long nKeyInId)
{
    return SendRequest(L"STAKYI %ld\r", nKeyInId);
}

BOOL CJexSocket::SendStartTrigger(int nFirst, int nSecond)
{
    return SendRequest(L"STATRG %d %d\r", nFirst, nSecond);
}

BOOL CJexSocket::SendStopKeyIn(long nKeyInId)
{
    return SendRequest(L"STOKYI %ld\r", nKeyInId);
}

BOOL CJexSocket::SendTagCall(long nCallId, const CString& strTag)
{
    return SendRequest(L"TAGCAL %ld %s\r", nCallId, Escaped(strTag).GetString());
}

BOOL CJexSocket::SendTakeBack(long nCallId)
{
    return SendRequest(L"TAKBAC %d\r", static_cast<int>(nCallId));
}

BOOL CJexSocket::SendTakeCall(int nCallId)
{
    return SendRequest(L"TAKCAL %d\r", nCallId);
}

BOOL CJexSocket::SendTransferCall(long nCallId, long nDestination)
{
    return SendRequest(L"TRACAL %ld %ld\r", nCallId, nDestination);
}

BOOL CJexSocket::RequestTaskResources(int nTaskId, const CString& strResourceIds)
{
    return SendRequest(L"TSKRES %d %s\r", nTaskId, Escaped(strResourceIds).GetString());
}

BOOL CJexSocket::SendUpdateAnnotation(long nRequestId, long nFirst, long nSecond, long nThird,
                                      const CString& strAnnotation)
{
    return SendRequest(L"UPDANO %ld %ld %ld %ld %s\r", nRequestId, nFirst, nSecond, nThird,
                       Escaped(strAnnotation).GetString());
}

BOOL CJexSocket::SendVoiceMail(short nFirst, int nSecond)
{
    return SendRequest(L"VOMAIL %d %d\r", static_cast<int>(nFirst), nSecond);
}

BOOL CJexSocket::SendWriteCallClass(const CString& strText)
{
    return SendRequest(L"WRCACL %s\r", Escaped(strText).GetString());
}

BOOL CJexSocket::SendSoftPhoneDialResult(const CString& strNumber, long nResult)
{
    return SendRequest(L"LUMDIA %s %ld\r", EscapeParameter(strNumber).GetString(), nResult);
}
