// The requests of CLumoSocket: one operation per command word the control sends to Lumo.
#include "clientctl/CLumoSocket.h"
#include "clientctl/ILumoSocketCallbacks.h"
#include "core/CAsyncSocketEx.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPasswordCipher.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include "framework/CFile.h"
#include <algorithm>

namespace
{
constexpr int kAnswerTimeout = 3; // seconds
constexpr UINT kAttachmentPiece = 10240;

short ToShort(const CString& str)
{
    return CStaticTools::ToShort(str.GetString());
}
BOOL ToBool(const CString& str)
{
    return CStaticTools::ToBool(str.GetString()) ? TRUE : FALSE;
}

// Lumo's log-on result succeeds only as the number 0 itself: a lenient conversion would also take
// a text that is no number, or one beyond 16 bits, for success.
bool IsNumberZero(const CString& strText)
{
    long nValue = 0;
    return CStaticTools::EstLong(strText.GetString(), nValue) && nValue == 0;
}

// The ALOGON password field: the letter pairs of the encrypted text, or the text as the caller has
// it already encrypted; a failed encryption leaves it empty.
CString PasswordField(const CString& strPassword, BOOL bAlreadyEncrypted)
{
    if (bAlreadyEncrypted) return strPassword;
    CString strLetters;
    if (!EncryptPassword(strPassword.GetString(), strLetters)) strLetters.Empty();
    return strLetters;
}
} // namespace

CString CLumoSocket::EscapeParameter(const CString& strText)
{
    return CAsyncSocketEx::EscapeParameter(strText);
}

BOOL CLumoSocket::WaitForAnswerFields(long nId, CStringArray& arrFields, int nMinFields)
{
    return nId != 0 && WaitForAnswer(nId, arrFields, nMinFields, kAnswerTimeout);
}

// ---------------------------------------------------------------------------------------------
// Requests that wait for their answer

CString CLumoSocket::AskForList(LPCWSTR pszCommand)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    return WaitForAnswerFields(PostCommand(TRUE, pszCommand), arrFields, 1) ? arrFields[0] : CString();
}

CString CLumoSocket::GetAgentList(short nListType)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    const long nId = PostRequest(TRUE, L"LSTAGT", L"%d", static_cast<int>(nListType));
    return WaitForAnswerFields(nId, arrFields, 2) ? arrFields[1] : CString();
}

CString CLumoSocket::GetLocationList()
{
    return AskForList(L"LSTLOC");
}

CString CLumoSocket::GetOutboundGroupList()
{
    return AskForList(L"LSTOGR");
}

CString CLumoSocket::GetPauseList()
{
    return AskForList(L"LSTPAU");
}

BOOL CLumoSocket::GetAgentSetting(long nSettingId, long& nValue, CString& strValue)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    if (!WaitForAnswerFields(PostRequest(TRUE, L"GETASE", L"%ld", nSettingId), arrFields, 1)) return FALSE;
    const CPropertyList setting(arrFields[0].GetString(), false);
    if (setting.GetCount() == 0) return FALSE;
    nValue = CStaticTools::ToLong(setting.GetPropertyString(L"lValue", L"").GetString());
    strValue = setting.GetPropertyString(L"strValue", L"");
    return TRUE;
}

BOOL CLumoSocket::GetCallHistory(long nCallId, CCallArray& arrCalls)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    std::unique_ptr<BYTE[]> pData;
    DWORD nLength = 0;
    const long nId = PostRequest(TRUE, L"CALLHY", L"%d", static_cast<int>(nCallId));
    if (nId == 0 || !WaitForAnswerData(nId, arrFields, 2, pData, nLength, kAnswerTimeout)) return FALSE;
    const DWORD nExpected = static_cast<DWORD>(CStaticTools::ToULong(arrFields[1].GetString()));
    CString strText;
    if (!pData && nExpected == 0)
        arrCalls.RemoveAll(); // Lumo knows no such call: it answers at once, without a history
    else if (const DWORD nComputed = static_cast<DWORD>(CStaticTools::GetChecksumForMemory(pData.get(), nLength));
             nComputed != nExpected)
        strText.Format(L"CLumoSocket::GetCallHistory for call ID %ld: Invalid Checksum when data was received "
                       L"(Calculated %lu - should be %lu)",
                       nCallId, static_cast<unsigned long>(nComputed), static_cast<unsigned long>(nExpected));
    else if (!ReadCallHistory(pData.get(), nLength, arrCalls))
        strText.Format(L"CLumoSocket::GetCallHistory => Error while processing call history for call ID %ld.", nCallId);
    if (strText.IsEmpty()) return TRUE;
    arrCalls.RemoveAll();
    if (m_pControl) m_pControl->OnError(strText);
    return FALSE;
}

BOOL CLumoSocket::GetMute(short nDevice, BOOL& bMuted)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    if (!WaitForAnswerFields(PostRequest(TRUE, L"AUMUTE", L"%d -1", static_cast<int>(nDevice)), arrFields, 2))
        return FALSE;
    bMuted = ToBool(arrFields[1]);
    return TRUE;
}

BOOL CLumoSocket::GetVolume(short nDevice, short& nVolume)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    if (!WaitForAnswerFields(PostRequest(TRUE, L"AUVLME", L"%d -1", static_cast<int>(nDevice)), arrFields, 2))
        return FALSE;
    nVolume = ToShort(arrFields[1]);
    return TRUE;
}

BOOL CLumoSocket::IsVoIP(BOOL& bVoIP)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    if (!WaitForAnswerFields(PostCommand(TRUE, L"ISVOIP"), arrFields, 1)) return FALSE;
    bVoIP = ToBool(arrFields[0]);
    return TRUE;
}

BOOL CLumoSocket::ReplayMasterRole(BOOL bTake, BOOL bAllowOthers)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    const long nId = PostRequest(TRUE, L"REPLMA", L"%d %d", bTake ? 1 : 0, bAllowOthers ? 1 : 0);
    return WaitForAnswerFields(nId, arrFields, 1) && ToBool(arrFields[0]);
}

BOOL CLumoSocket::AskLogon(const CString& strFields)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    return WaitForAnswerFields(PostRequest(TRUE, L"ALOGON", L"%s", strFields.GetString()), arrFields, 1) &&
           IsNumberZero(arrFields[0]);
}

BOOL CLumoSocket::AgentLogon(const CString& strUserName, long nLocationId, const CString& strPassword,
                             BOOL bPasswordAlreadyEncrypted)
{
    CString strFields;
    strFields.Format(L"1 %s %ld %s", EscapeParameter(strUserName).GetString(), nLocationId,
                     EscapeParameter(PasswordField(strPassword, bPasswordAlreadyEncrypted)).GetString());
    return AskLogon(strFields);
}

BOOL CLumoSocket::AgentLogonById(long nAgentId, long nLocationId, const CString& strPassword,
                                 BOOL bPasswordAlreadyEncrypted)
{
    CString strFields;
    strFields.Format(L"2 %ld %ld %s", nAgentId, nLocationId,
                     EscapeParameter(PasswordField(strPassword, bPasswordAlreadyEncrypted)).GetString());
    return AskLogon(strFields);
}

BOOL CLumoSocket::StartPlaySound(long nCallId, const CString& strFileName)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    const long nId = PostRequest(TRUE, L"PLSSTA", L"%ld %s", nCallId, EscapeParameter(strFileName).GetString());
    return WaitForAnswerFields(nId, arrFields, 2) && ToBool(arrFields[1]);
}

BOOL CLumoSocket::StopPlaySound(long nCallId)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    return WaitForAnswerFields(PostRequest(TRUE, L"PLSSTO", L"%ld", nCallId), arrFields, 2) && ToBool(arrFields[1]);
}

short CLumoSocket::StartQuestionRecording(long nCallId, const CString& strFileName)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    const long nId = PostRequest(TRUE, L"QRESTA", L"%ld %s", nCallId, EscapeParameter(strFileName).GetString());
    return WaitForAnswerFields(nId, arrFields, 2) ? ToShort(arrFields[1]) : static_cast<short>(-1);
}

short CLumoSocket::StopQuestionRecording(long nCallId)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    return WaitForAnswerFields(PostRequest(TRUE, L"QRESTO", L"%ld", nCallId), arrFields, 2) ? ToShort(arrFields[1])
                                                                                            : static_cast<short>(0);
}

short CLumoSocket::StartRecording(long nCallId)
{
    CBusyScope busy(*this);
    CStringArray arrFields;
    return WaitForAnswerFields(PostRequest(TRUE, L"RECCAL", L"%ld", nCallId), arrFields, 1) ? ToShort(arrFields[0])
                                                                                            : static_cast<short>(-1);
}

// ---------------------------------------------------------------------------------------------
// Requests sent without waiting

void CLumoSocket::RequestAgentList(short nListType)
{
    PostRequest(FALSE, L"LSTAGT", L"%d", static_cast<int>(nListType));
}

void CLumoSocket::RequestCallHistory(long nCallId)
{
    PostRequest(FALSE, L"CALLHY", L"%ld", nCallId);
}

void CLumoSocket::RequestLocationList()
{
    PostCommand(FALSE, L"LSTLOC");
}

void CLumoSocket::RequestOutboundGroupList()
{
    PostCommand(FALSE, L"LSTOGR");
}

void CLumoSocket::RequestPauseList()
{
    PostCommand(FALSE, L"LSTPAU");
}

void CLumoSocket::RequestStartPlaySound(long nCallId, const CString& strFileName)
{
    PostRequest(FALSE, L"PLSSTA", L"%ld %s", nCallId, EscapeParameter(strFileName).GetString());
}

void CLumoSocket::RequestStopPlaySound(long nCallId)
{
    PostRequest(FALSE, L"PLSSTO", L"%ld", nCallId);
}

void CLumoSocket::RequestStartQuestionRecording(long nCallId, const CString& strFileName)
{
    PostRequest(FALSE, L"QRESTA", L"%ld %s", nCallId, EscapeParameter(strFileName).GetString());
}

void CLumoSocket::RequestStopQuestionRecording(long nCallId)
{
    PostRequest(FALSE, L"QRESTO", L"%ld", nCallId);
}

void CLumoSocket::RequestStartRecording(long nCallId)
{
    PostRequest(FALSE, L"RECCAL", L"%d", static_cast<int>(nCallId));
}

void CLumoSocket::RequestTaskContents(long nTaskId)
{
    PostRequest(FALSE, L"REQTSK", L"%ld", nTaskId);
}

void CLumoSocket::RequestTaskResources(long nTaskId, const CList<long, long>& lstResourceIds)
{
    CString strIds;
    for (POSITION pos = lstResourceIds.GetHeadPosition(); pos;)
        strIds.AppendFormat(L"%ld;", lstResourceIds.GetNext(pos));
    PostRequest(FALSE, L"TSKRES", L"%d %s", static_cast<int>(nTaskId), EscapeParameter(strIds).GetString());
}

void CLumoSocket::RequestStartPause(long nPauseReasonId, short nStartType)
{
    PostRequest(FALSE, L"STAPAU", L"%d %d", static_cast<int>(nPauseReasonId), static_cast<int>(nStartType));
}

void CLumoSocket::RequestStopPause()
{
    PostCommand(FALSE, L"STOPAU");
}

void CLumoSocket::RequestNextCall()
{
    PostCommand(FALSE, L"NEXCAL");
}

void CLumoSocket::AgentLogOff()
{
    PostCommand(FALSE, L"ALOGOF");
}

void CLumoSocket::DialNumber(const CString& strNumber, const CString& strTag)
{
    PostRequest(FALSE, L"MANDIA", L"%s %s", EscapeParameter(strNumber).GetString(),
                EscapeParameter(strTag).GetString());
}

void CLumoSocket::DropCall(long nCallId)
{
    PostRequest(FALSE, L"DRPCAL", L"%d", static_cast<int>(nCallId));
}

void CLumoSocket::TakeCall(long nCallId)
{
    PostRequest(FALSE, L"TKECAL", L"%d", static_cast<int>(nCallId));
}

void CLumoSocket::PutCallOnHold(long nCallId)
{
    PostRequest(FALSE, L"ONHOLD", L"1 %d", static_cast<int>(nCallId));
}

void CLumoSocket::TakeCallOnHold(long nCallId)
{
    PostRequest(FALSE, L"ONHOLD", L"0 %d", static_cast<int>(nCallId));
}

void CLumoSocket::Transfer(long nCallId, long nCallId2)
{
    PostRequest(FALSE, L"TRACAL", L"%ld %ld", nCallId, nCallId2);
}

void CLumoSocket::TagCall(long nCallId, const CString& strTag)
{
    PostRequest(FALSE, L"TAGCAL", L"%ld %s", nCallId, EscapeParameter(strTag).GetString());
}

void CLumoSocket::SendDTMF(long nCallId, const CString& strDigits, BOOL bSilent)
{
    PostRequest(FALSE, L"DODTMF", L"%ld %s %d", nCallId, EscapeParameter(strDigits).GetString(), bSilent ? 1 : 0);
}

void CLumoSocket::TriggerPredictive(BOOL bStart, long nCallId, long nType)
{
    PostRequest(FALSE, L"TRGPRD", L"%d %ld %ld", bStart ? 1 : 0, nCallId, nType);
}

void CLumoSocket::ChangeOutboundGroup(long nOutboundGroupId)
{
    PostRequest(FALSE, L"CHGOGR", L"%ld", nOutboundGroupId);
}

void CLumoSocket::EndTask(short nCallResult, const CPropertyList& fields)
{
    PostRequest(FALSE, L"ENDTSK", L"%d %s", static_cast<int>(nCallResult),
                EscapeParameter(fields.GetString()).GetString());
}

void CLumoSocket::EndTaskAfterConnectionLost(const CPropertyList& fields)
{
    PostRequest(FALSE, L"WRCACL", L"%s", EscapeParameter(fields.GetString()).GetString());
}

void CLumoSocket::SendInterviewStatus(long nCallId, const CString& strStatus)
{
    PostRequest(FALSE, L"INTHBT", L"%ld %s", nCallId, EscapeParameter(strStatus).GetString());
}

void CLumoSocket::SaveAgentSetting(long nSettingId, const CString& strName, long nValue, const CString& strValue)
{
    PostRequest(FALSE, L"SAVASE", L"%ld %s %ld %s", nSettingId, EscapeParameter(strName).GetString(), nValue,
                EscapeParameter(strValue).GetString());
}

void CLumoSocket::UpdateAnnotation(long nCallId, long nAnnotationType, long nAnnotationId,
                                   const CPropertyList& arguments)
{
    PostRequest(FALSE, L"UPDANO", L"%ld %ld %ld %s", nCallId, nAnnotationType, nAnnotationId,
                EscapeParameter(arguments.GetString()).GetString());
}

void CLumoSocket::ShowLumoClient(short nVisibleMode)
{
    PostRequest(FALSE, L"SHOWLC", L"%d", static_cast<int>(nVisibleMode));
}

void CLumoSocket::SetMute(short nDevice, BOOL bMuted)
{
    PostRequest(FALSE, L"AUMUTE", L"%d %d", static_cast<int>(nDevice), bMuted ? 1 : 0);
}

void CLumoSocket::SetVolume(short nDevice, short nVolume)
{
    PostRequest(FALSE, L"AUVLME", L"%d %d", static_cast<int>(nDevice), static_cast<int>(nVolume));
}

void CLumoSocket::SetPossibleMessageMaster(BOOL bPossible)
{
    PostRequest(FALSE, L"UPMSGM", L"%d", bPossible ? 1 : 0);
}

void CLumoSocket::BrennStartKeyIn(long nInterviewId)
{
    PostRequest(FALSE, L"STAKYI", L"%ld", nInterviewId);
}

void CLumoSocket::BrennEndKeyIn(long nCallId)
{
    PostRequest(FALSE, L"STOKYI", L"%ld", nCallId);
}

void CLumoSocket::BrennStartIVR(const CString& strInterviewGuid, long nCallId, const CString& strNumber)
{
    PostRequest(FALSE, L"STAIVR", L"%s %ld %s", EscapeParameter(strInterviewGuid).GetString(), nCallId,
                EscapeParameter(strNumber).GetString());
}

void CLumoSocket::BrennFindKeyInInterviews(const CPropertyList& searchParameters, const CStringArray& arrReturnFields)
{
    CString strFields;
    CStaticTools::WriteStringSeparatorString(strFields, L';', arrReturnFields);
    PostRequest(FALSE, L"FNDKYI", L"%s %s", EscapeParameter(searchParameters.GetString()).GetString(),
                EscapeParameter(strFields).GetString());
}

// ---------------------------------------------------------------------------------------------
// Requests with a payload

void CLumoSocket::SendInterview(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nChecksum)
{
    PostRequestWithData(FALSE, L"SNDINT", L"%ld %ld %lu", pData, nLength, nTaskId, nCallId,
                        static_cast<unsigned long>(nChecksum));
}

std::vector<BYTE> CLumoSocket::ReadAttachments(const CMessage& message)
{
    unsigned long long nTotal = 0;
    for (const CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
        if (pAttachment && pAttachment->m_nSize > 0) nTotal += static_cast<unsigned long long>(pAttachment->m_nSize);
    std::vector<BYTE> bytes(static_cast<size_t>(nTotal));
    size_t nOffset = 0;
    for (const CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
    {
        if (!pAttachment || pAttachment->m_nSize <= 0) continue;
        const size_t nSize = static_cast<size_t>(pAttachment->m_nSize);
        // A file shorter than the size leaves zeros: Lumo cuts the payload by the sizes in the text.
        try
        {
            if (CFile* pFile = pAttachment->m_pFile)
            {
                pFile->SeekToBegin();
                for (size_t nRead = 0; nRead < nSize;)
                {
                    const UINT n = pFile->Read(bytes.data() + nOffset + nRead,
                                               static_cast<UINT>(std::min<size_t>(kAttachmentPiece, nSize - nRead)));
                    if (n == 0) break;
                    nRead += n;
                }
            }
        }
        catch (CException* pException)
        {
            pException->Delete();
            CString strText;
            strText.Format(L"CLumoSocket::SendMessage => Error while sending attachment %s.",
                           pAttachment->m_strName.GetString());
            if (m_pControl) m_pControl->OnError(strText);
        }
        nOffset += nSize;
    }
    return bytes;
}

void CLumoSocket::SendMessage(const CMessage& message)
{
    CBusyScope busy(*this);
    CString strText;
    message.GetText(strText, true);
    const std::vector<BYTE> bytes = ReadAttachments(message);
    PostRequestWithData(FALSE, L"SNDMSG", L"%s", bytes.data(), static_cast<DWORD>(bytes.size()),
                        EscapeParameter(strText).GetString());
}

void CLumoSocket::SendEmail(long nCallId, const CMailMessage& mail)
{
    CBusyScope busy(*this);
    CString strText;
    mail.GetText(strText, true);
    const std::vector<BYTE> bytes = ReadAttachments(mail);
    PostRequestWithData(FALSE, L"SNDMAI", L"%ld %s", bytes.data(), static_cast<DWORD>(bytes.size()), nCallId,
                        EscapeParameter(strText).GetString());
}
