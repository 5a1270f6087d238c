#include "sessions/CSessionCore.h"
#include "sessions/COldDialect.h"
#include "sessions/IOldApplicationLink.h"
#include "core/CAsyncSocketEx.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "framework/CException.h"
#include "framework/CFile.h"
#include <algorithm>
#include <memory>
#include <vector>

namespace
{
constexpr UINT kAttachmentBlock = 10240;

CString Escaped(const CString& strText)
{
    return CAsyncSocketEx::EscapeParameter(strText);
}

// Sending can close a link, and a closed link leaves its register: walk a copy.
template <typename Register> auto Snapshot(const Register& entries)
{
    std::vector<decltype(entries.begin()->second.pSocket)> sockets;
    for (const auto& [nId, entry] : entries)
        sockets.push_back(entry.pSocket);
    return sockets;
}
} // namespace

template <typename... Args> void CSessionCore::SendToAllCurrent(LPCWSTR pszFormat, Args... args)
{
    for (CAsyncSocketEx* pSocket : Snapshot(m_current))
        pSocket->SendCommand(pszFormat, args...);
}

template <typename... Args> void CSessionCore::SendToAllOld(LPCWSTR pszFormat, Args... args)
{
    for (IOldApplicationLink* pLink : Snapshot(m_old))
        pLink->SendCommand(pszFormat, args...);
}

void CSessionCore::BroadcastAgentState(int nState, const CString& strStateText)
{
    SendToAllOld(L"AGSTAT %s\r", strStateText.GetString());
    SendToAllCurrent(L"AGSTAT -1 -1 %d\r", nState);
}

void CSessionCore::BroadcastJexConnectionState(BOOL bUp)
{
    const int nUp = bUp ? 1 : 0;
    SendToAllOld(L"JEXSTA %d\r", nUp);
    SendToAllCurrent(L"JEXSTA -1 -1 %d\r", nUp);
}

void CSessionCore::BroadcastEndTask(long nCallId)
{
    SendToAllOld(L"ENDOUT %d\r", static_cast<int>(nCallId));
    SendToAllCurrent(L"ENDTSK -1 -1 %ld\r", nCallId);
}

void CSessionCore::BroadcastManualDialResult(const CString& strText, long nCode)
{
    SendToAllOld(L"MANDIA %s\r", strText.GetString());
    SendToAllCurrent(L"MANDIA -1 -1 %ld\r", nCode);
}

void CSessionCore::BroadcastRecordResult(long nRequestId, long nCode, const CString& strText)
{
    SendToAllOld(L"RECCAL %s\r", strText.GetString());
    SendToAllCurrent(L"RECCAL %ld -1 %ld\r", nRequestId, nCode);
}

void CSessionCore::BroadcastAnnotationUpdate(long nFirst, long nSecond, long nThird, long nFourth, int nFifth)
{
    SendToAllCurrent(L"UPDANO %ld -1 %ld %ld %ld %d\r", nFirst, nSecond, nThird, nFourth, nFifth);
}

void CSessionCore::BroadcastMuteState(int nDevice, BOOL bMuted)
{
    SendToAllCurrent(L"AUMUTE -1 -1 %d %d\r", nDevice, bMuted ? 1 : 0);
}

void CSessionCore::BroadcastVolume(int nDevice, double dFraction)
{
    const int nPercent = dFraction < 0 ? -1 : static_cast<int>(dFraction * 100);
    SendToAllCurrent(L"AUVLME -1 -1 %d %d\r", nDevice, nPercent);
}

void CSessionCore::BroadcastVoipReady(BOOL bReady)
{
    SendToAllCurrent(L"VOIRDY -1 -1 %ld\r", bReady ? 1L : 0L);
}

void CSessionCore::BroadcastSemiOpensUpdate(const CString& strText)
{
    SendToAllOld(L"UPDSMO %s\r", strText.GetString());
    SendToAllCurrent(L"UPDSMO -1 -1 %s\r", strText.GetString());
}

void CSessionCore::BroadcastCallInfo(const CString& strCallInfo)
{
    SendToAllOld(L"CALINF %s\r", strCallInfo.GetString());
    SendToAllCurrent(L"CALINF -1 -1 %s\r", Escaped(strCallInfo).GetString());
}

void CSessionCore::BroadcastQueueStatistics(const CString& strText)
{
    SendToAllOld(L"STAQUE %s\r", strText.GetString());
    SendToAllCurrent(L"STAQUE -1 -1 %s\r", Escaped(strText).GetString());
}

void CSessionCore::BroadcastPasswordChangeResult(int nResult)
{
    SendToAllOld(L"CHGPWD %d\r", nResult);
}

void CSessionCore::BroadcastPasswordCheckResult(int nResult)
{
    for (auto& [nId, entry] : m_old)
        entry.bPasswordChecked = nResult == 0;
    SendToAllOld(L"CHKPWD %d\r", nResult);
}

void CSessionCore::BroadcastEndTransfer(int nResult)
{
    SendToAllOld(L"ENDTRA %d\r", nResult);
}

void CSessionCore::BroadcastTransferAgent(int nResult, const CString& strText)
{
    SendToAllOld(L"TRAAGE %d %s\r", nResult, strText.GetString());
}

void CSessionCore::BroadcastTransferCall(long nCallId, const CString& strText)
{
    SendToAllOld(L"TRACAL %ld %s\r", nCallId, strText.GetString());
}

void CSessionCore::BroadcastTransferAgentResult(int nResultCode)
{
    int nFlag = 0;
    CString strText;
    if (COldDialect::ConvertTransferAgentResult(nResultCode, nFlag, strText)) BroadcastTransferAgent(nFlag, strText);
}

void CSessionCore::BroadcastLumoPresent()
{
    SendToAllOld(L"LUMPRE\r");
}

void CSessionCore::BroadcastTimeSync()
{
    for (CAsyncSocketEx* pSocket : Snapshot(m_current))
        pSocket->SendTimeSync();
}

void CSessionCore::SendAgentLogonResult(long nPendingApplicationId, int nResult)
{
    if (nPendingApplicationId >= 0) SendToAllCurrent(L"ALOGON %ld -1 %d\r", nPendingApplicationId, nResult);
}

void CSessionCore::SendAgentList(long nRequestId, long nApplicationId, const CString& strListKind,
                                 const CString& strList)
{
    if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
        pOld->SendCommand(strListKind == L"2" ? L"LSTSUP %s\r" : L"LSTAGE %s\r",
                          COldDialect::ConvertAgentList(strList).GetString());
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
        pSocket->SendCommand(L"LSTAGT %ld -1 %s %s\r", nRequestId, strListKind.GetString(),
                             Escaped(strList).GetString());
}

void CSessionCore::SendLocationList(long nRequestId, long nApplicationId, const CString& strList)
{
    SendToAllOld(L"LSTLOC %s\r", COldDialect::ConvertLocationList(strList).GetString());
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
        pSocket->SendCommand(L"LSTLOC %ld -1 %s\r", nRequestId, Escaped(strList).GetString());
}

void CSessionCore::SendOutboundGroupList(long nRequestId, long nApplicationId, const CString& strList)
{
    if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
        pOld->SendCommand(L"LSTOGR %s\r", COldDialect::ConvertOutboundGroupList(strList).GetString());
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
        pSocket->SendCommand(L"LSTOGR %ld -1 %s\r", nRequestId, Escaped(strList).GetString());
}

void CSessionCore::SendPauseList(long nRequestId, long nApplicationId, const CString& strList)
{
    if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
    {
        CStringArray arrIds, arrNames;
        const CString strNames = COldDialect::ConvertPauseList(strList, arrIds, arrNames);
        pOld->KeepPauseList(arrIds, arrNames);
        pOld->SendCommand(L"PAUSES %s\r", strNames.GetString());
    }
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
        pSocket->SendCommand(L"LSTPAU %ld -1 %s\r", nRequestId, Escaped(strList).GetString());
}

void CSessionCore::SendInterviewConfirmation(long nApplicationId, BOOL bCurrentPort, long nFirst, long nThird)
{
    if (!bCurrentPort)
    {
        if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
            pOld->SendCommand(L"SNDINT %ld %ld\r", nFirst, nThird);
        return;
    }
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
        pSocket->SendCommand(L"SNDINT -1 -1 %ld %ld\r", nFirst, nThird);
}

void CSessionCore::SendCallAnswer(CallAnswer kind, long nApplicationId, long nRequestId, long nCallId, long nResult)
{
    static constexpr struct
    {
        LPCWSTR pszOld;
        LPCWSTR pszCurrent;
    } kWords[] = {
        {L"PLSSTA %ld %d\r", L"PLSSTA %ld -1 %ld %ld\r"},
        {L"PLSEND %ld %d\r", L"PLSSTO %ld -1 %ld %ld\r"},
        {L"QRESTA %ld %d\r", L"QRESTA %ld -1 %ld %d\r"},
        {L"QREEND %ld %d\r", L"QRESTO %ld -1 %ld %d\r"},
    };
    if (kind < answerSoundStart || kind > answerRecordingEnd) return;
    const auto& words = kWords[kind];
    if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
        pOld->SendCommand(words.pszOld, nCallId, static_cast<int>(nResult));
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
    {
        if (kind == answerSoundStart || kind == answerSoundEnd)
            pSocket->SendCommand(words.pszCurrent, nRequestId, nCallId, nResult);
        else
            pSocket->SendCommand(words.pszCurrent, nRequestId, nCallId, static_cast<int>(nResult));
    }
}

void CSessionCore::SendTaskResource(long nApplicationId, long nTaskId, long nResourceId, const BYTE* pBytes,
                                    DWORD nLength, DWORD nCrc)
{
    const unsigned long nLengthField = pBytes ? nLength : 0;
    if (IOldApplicationLink* pOld = FindOldApplication(nApplicationId))
    {
        if (!pBytes)
            pOld->SendCommand(L"TSKRES %ld\r", nTaskId);
        else
        {
            pOld->SendCommand(L"TSKRES %ld %ld %lu %lu\r", nTaskId, nResourceId, nLengthField,
                              static_cast<unsigned long>(nCrc));
            pOld->SendBytes(pBytes, nLength);
        }
    }
    if (CAsyncSocketEx* pSocket = FindApplication(nApplicationId))
    {
        if (!pBytes)
        {
            pSocket->SendCommand(L"TSKRES -1 -1 %ld\r", nTaskId);
            return;
        }
        CSingleLock lock(&pSocket->m_csSend, TRUE);
        pSocket->SendCommand(L"TSKRES -1 %lu %ld %ld %lu\r", nLengthField, nTaskId, nResourceId,
                             static_cast<unsigned long>(nCrc));
        pSocket->SendRaw(pBytes, static_cast<int>(nLength));
    }
}

BOOL CSessionCore::SendMessageToReplayMaster(const CString& strSender, const CMessage& message)
{
    if (m_nReplayMaster == -1) return FALSE;
    if (IOldApplicationLink* pOld = FindOldApplication(m_nReplayMaster))
    {
        CPropertyList notice;
        notice.SetProperty(L"Name", strSender);
        notice.SetProperty(L"Reply", message.m_strText);
        pOld->SendCommand(L"SNDMSG %s\r", notice.GetString().GetString());
        return TRUE;
    }
    CAsyncSocketEx* pSocket = FindApplication(m_nReplayMaster);
    if (!pSocket) return FALSE;
    unsigned long nTotal = 0;
    const auto& attachments = message.m_arrAttachments;
    for (INT_PTR i = 0; i < attachments.GetSize(); ++i)
        if (attachments[i] && attachments[i]->m_nSize > 0)
            nTotal += static_cast<unsigned long>(attachments[i]->m_nSize);
    CString strText;
    message.GetText(strText, true);
    CSingleLock lock(&pSocket->m_csSend, TRUE); // the line and every attachment byte in one piece
    pSocket->SendCommand(L"SNDMSG -1 %lu %s %s\r", nTotal, Escaped(strText).GetString(),
                         Escaped(strSender).GetString());
    // The application reads exactly the announced bytes behind the line: a file that is shorter is
    // made up with zeros, a longer one is cut, and a missing one is all zeros, so that the next line
    // is still read as a line.
    static const BYTE kZeros[kAttachmentBlock] = {};
    for (INT_PTR i = 0; i < attachments.GetSize(); ++i)
    {
        const CMessage::CMessageAttachment* pAttachment = attachments[i];
        if (!pAttachment || pAttachment->m_nSize <= 0) continue;
        unsigned long nLeft = static_cast<unsigned long>(pAttachment->m_nSize);
        if (pAttachment->m_pFile)
        {
            try
            {
                pAttachment->m_pFile->SeekToBegin();
                while (nLeft > 0)
                {
                    // A block of its own each time, handed over: the link need not copy it.
                    std::unique_ptr<BYTE[]> pBlock(new BYTE[kAttachmentBlock]);
                    const UINT nRead = pAttachment->m_pFile->Read(
                        pBlock.get(), static_cast<UINT>(std::min<unsigned long>(nLeft, kAttachmentBlock)));
                    if (nRead == 0) break;
                    pSocket->SendRaw(std::move(pBlock), static_cast<int>(nRead));
                    nLeft -= nRead;
                }
            }
            catch (CException* pError)
            {
                pError->Delete(); // what is left of this attachment goes as zeros; the others still go
            }
        }
        for (unsigned long nPad; nLeft > 0; nLeft -= nPad)
        {
            nPad = std::min<unsigned long>(nLeft, kAttachmentBlock);
            pSocket->SendRaw(kZeros, static_cast<int>(nPad));
        }
    }
    // A current-port holder gets the message, and the main window shows it as well.
    return FALSE;
}
