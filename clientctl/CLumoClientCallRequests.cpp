#include "clientctl/CLumoClientCallRequests.h"
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoSocket.h"
#include "clientctl/ClientRequestGuards.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"

namespace
{
const wchar_t kWrongFormat[] = L"CLumoClientCtrl::SendInterview => pInterviewData has wrong array format!";
const wchar_t kNoSize[] = L"CLumoClientCtrl::SendInterview => Could not get size of pInterviewData array!";
const wchar_t kNoAccess[] = L"CLumoClientCtrl::SendInterview => Could not access pInterviewData array!";
const wchar_t kNoAttachments[] = L"CLumoClientCtrl::SendMessageToSupervisor => Could not retrieve the attachments!";
const wchar_t kUnsupportedMailType[] = L"CLumoClientCtrl::SendEmail => Unsupported mailtype";
} // namespace

// The conversions and the client's own objects may report a text whose sink ends the link: members that
// use them look for the link again before they send.

CLumoClientCallRequests::CLumoClientCallRequests(CLumoClientCtrl& ctrl) : m_ctrl(ctrl)
{
}

// ---------------------------------------------------------------------------------------------
// Calls

HRESULT CLumoClientCallRequests::DialNumber(BSTR strNumber, BSTR strTag)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->DialNumber(TextOf(strNumber), TextOf(strTag));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::DropCall(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->DropCall(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::PutCallOnHold(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->PutCallOnHold(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::TakeCallOnHold(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->TakeCallOnHold(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestNextCall()
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestNextCall();
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::TakeCall(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->TakeCall(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::Transfer(LONG lCallId, LONG lCallId2)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->Transfer(lCallId, lCallId2);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::TagCall(LONG lCallId, BSTR strTag)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->TagCall(lCallId, TextOf(strTag));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::SendDTMF(LONG lCallId, BSTR strDTMF, VARIANT_BOOL bSilent)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->SendDTMF(lCallId, TextOf(strDTMF), bSilent == VARIANT_TRUE);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::StartTriggerPredictive(LONG lCallId, LONG lType)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->TriggerPredictive(TRUE, lCallId, lType);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::StopTriggerPredictive(LONG lCallId, LONG lType)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->TriggerPredictive(FALSE, lCallId, lType);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::ChangeOutboundGroup(LONG lOutboundGroupId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->ChangeOutboundGroup(lOutboundGroupId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::SendInterviewStatus(LONG lCallId, BSTR strStatus)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->SendInterviewStatus(lCallId, TextOf(strStatus));
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Recording and sounds

HRESULT CLumoClientCallRequests::StartRecording(LONG lCallId, RecordResultCodes* enumRecordResult)
{
    LUMO_MEMBER_BEGIN
    if (enumRecordResult) *enumRecordResult = recordrslt_RequestFailed;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!enumRecordResult) return m_ctrl.RefuseMissing(L"StartRecording", L"enumRecordResult");
    *enumRecordResult = static_cast<RecordResultCodes>(m_ctrl.m_pLink->StartRecording(lCallId));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestStartRecording(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestStartRecording(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::StartQuestionRecording(LONG lCallId, BSTR strFileName, RecordResultCodes* nReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (nReturnVal) *nReturnVal = recordrslt_RequestFailed;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!nReturnVal) return m_ctrl.RefuseMissing(L"StartQuestionRecording", L"nReturnVal");
    *nReturnVal = static_cast<RecordResultCodes>(m_ctrl.m_pLink->StartQuestionRecording(lCallId, TextOf(strFileName)));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::StopQuestionRecording(LONG lCallId, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!bResult) return m_ctrl.RefuseMissing(L"StopQuestionRecording", L"bResult");
    *bResult = ToVariantBool(m_ctrl.m_pLink->StopQuestionRecording(lCallId) != 0);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestStartQuestionRecording(LONG lCallId, BSTR strFileName)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestStartQuestionRecording(lCallId, TextOf(strFileName));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestStopQuestionRecording(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestStopQuestionRecording(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::StartPlaySound(LONG lCallId, BSTR strFileName, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!bResult) return m_ctrl.RefuseMissing(L"StartPlaySound", L"bResult");
    *bResult = ToVariantBool(m_ctrl.m_pLink->StartPlaySound(lCallId, TextOf(strFileName)));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::StopPlaySound(LONG lCallId, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!bResult) return m_ctrl.RefuseMissing(L"StopPlaySound", L"bResult");
    *bResult = ToVariantBool(m_ctrl.m_pLink->StopPlaySound(lCallId));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestStartPlaySound(LONG lCallId, BSTR strFileName)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestStartPlaySound(lCallId, TextOf(strFileName));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestStopPlaySound(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestStopPlaySound(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::ChangeRecordingAnonymiseState(LONG lCallId, VARIANT_BOOL bOnOff)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    CPropertyList arguments;
    arguments.SetProperty(L"Off", bOnOff == 0 ? 1 : 0);
    const auto found = m_ctrl.m_mapAnonymisation.find(lCallId);
    const long nAnnotationId = found == m_ctrl.m_mapAnonymisation.end() ? -1 : found->second;
    m_ctrl.m_pLink->UpdateAnnotation(lCallId, 0, nAnnotationId, arguments);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::CreateAnnotation(LONG lCallId, INT nAnnotationType, ILumoClientMap* mapArgs)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    const CPropertyList arguments = PropertyListOf(mapArgs);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->UpdateAnnotation(lCallId, nAnnotationType, -1, arguments);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::UpdateAnnotation(LONG lCallId, INT nAnnotationType, LONG lAnnotationId,
                                               ILumoClientMap* mapArgs)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    const CPropertyList arguments = PropertyListOf(mapArgs);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->UpdateAnnotation(lCallId, nAnnotationType, lAnnotationId, arguments);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Tasks

CPropertyList CLumoClientCallRequests::PropertyListOf(ILumoClientMap* pMap)
{
    CPropertyList list;
    if (pMap) m_ctrl.ParseLumoClientMapToPropertyList(pMap, list);
    return list;
}

HRESULT CLumoClientCallRequests::EndTask(LONG lCallId, SHORT nCallResult, SHORT nCallSubResult, ILumoClientMap* mapFields)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    CPropertyList fields = PropertyListOf(mapFields);
    fields.SetProperty(L"QoCallId", static_cast<long>(lCallId));
    fields.SetProperty(L"BreSecondaryCode", static_cast<int>(nCallSubResult));
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->EndTask(nCallResult, fields);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::EndTaskAfterConnectionLost(ILumoClientMap* mapFields)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    const CPropertyList fields = PropertyListOf(mapFields);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->EndTaskAfterConnectionLost(fields);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestTaskContents(LONG lTaskId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestTaskContents(lTaskId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestTaskResources(LONG lTaskId, ILumoClientStringCollection* Ids)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    CList<long, long> lstIds;
    if (Ids) m_ctrl.ParseLumoClientStringCollectionToLongList(Ids, lstIds);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->RequestTaskResources(lTaskId, lstIds);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::SendInterview(LONG lTaskId, LONG lCallId, VARIANT* pInterviewData, ULONG lCheckSum,
                                            VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!pInterviewData) return m_ctrl.RefuseMissing(L"SendInterview", L"pInterviewData");
    if (!bResult) return m_ctrl.RefuseMissing(L"SendInterview", L"bResult");
    return SendInterviewData(lTaskId, lCallId, *pInterviewData, lCheckSum, bResult);
    LUMO_MEMBER_END
}

// The length is the array's element count whatever its lower bound: reading up to its upper bound
// from the start would read past an array that begins at 1, and the checksum would not match.
HRESULT CLumoClientCallRequests::SendInterviewData(LONG lTaskId, LONG lCallId, const VARIANT& data, ULONG lCheckSum,
                                           VARIANT_BOOL* bResult)
{
    SAFEARRAY* pArray = data.vt == (VT_ARRAY | VT_UI1) ? data.parray : nullptr;
    if (!pArray || ::SafeArrayGetDim(pArray) != 1)
    {
        m_ctrl.LogError(kWrongFormat);
        return S_FALSE;
    }
    LONG nLower = 0, nUpper = 0;
    if (FAILED(::SafeArrayGetLBound(pArray, 1, &nLower)) || FAILED(::SafeArrayGetUBound(pArray, 1, &nUpper)))
    {
        m_ctrl.LogError(kNoSize);
        return S_FALSE;
    }
    const LONGLONG nCount = static_cast<LONGLONG>(nUpper) - nLower + 1;
    void* pData = nullptr;
    if (nCount < 0 || FAILED(::SafeArrayAccessData(pArray, &pData)))
    {
        m_ctrl.LogError(kNoAccess);
        return S_FALSE;
    }
    const CSafeArrayAccess access(pArray);
    // The socket layer copies the bytes: the caller may free the array as soon as this returns.
    m_ctrl.m_pLink->SendInterview(lTaskId, lCallId, static_cast<const BYTE*>(pData), static_cast<DWORD>(nCount), lCheckSum);
    *bResult = VARIANT_TRUE;
    return S_OK;
}

HRESULT CLumoClientCallRequests::GetCallHistory(LONG lCallId, ILumoClientCallCollection** arrCalls, LONG* lResult)
{
    LUMO_MEMBER_BEGIN
    if (lResult) *lResult = -1;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!arrCalls) return m_ctrl.RefuseMissing(L"GetCallHistory", L"arrCalls");
    if (!lResult) return m_ctrl.RefuseMissing(L"GetCallHistory", L"lResult");
    CCallArray arrRecords;
    if (!m_ctrl.m_pLink->GetCallHistory(lCallId, arrRecords)) return S_FALSE;
    CComObject<CLumoClientCallCollection>* pCollection = nullptr;
    HRESULT hr = CComObject<CLumoClientCallCollection>::CreateInstance(&pCollection);
    if (FAILED(hr)) return hr;
    CComPtr<ILumoClientCallCollection> collection(pCollection);
    hr = pCollection->AddCalls(arrRecords);
    if (FAILED(hr)) return hr;
    *arrCalls = collection.Detach();
    *lResult = static_cast<LONG>(arrRecords.GetSize());
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::RequestCallHistory(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestCallHistory(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Messages and e-mails

HRESULT CLumoClientCallRequests::SendMessageToSupervisor(ILumoClientMessage* toSend)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!toSend) return m_ctrl.RefuseMissing(L"SendMessageToSupervisor", L"toSend");
    CMessage message;
    CComBSTR text;
    if (SUCCEEDED(toSend->get_Subject(&text))) message.m_strSubject = TextOf(text);
    text.Empty();
    if (SUCCEEDED(toSend->get_Message(&text))) message.m_strText = TextOf(text);
    LONG nTo = 0;
    if (SUCCEEDED(toSend->get_To(&nTo))) message.AddRecipient(nTo);
    message.SetTimeNow();
    CComPtr<ILumoClientMap> attachments;
    if (FAILED(toSend->get_Attachments(&attachments)) || !attachments)
        m_ctrl.LogError(kNoAttachments);
    else
        m_ctrl.ParseAttachmentsMap(attachments, message);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->SendMessage(message); // the link may have gone while a sink heard a text
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::SendEmail(LONG lCallId, ILumoClientEmail* mailToSend)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!mailToSend) return m_ctrl.RefuseMissing(L"SendEmail", L"mailToSend");
    CMailMessage mail;
    CComBSTR text;
    if (SUCCEEDED(mailToSend->get_From(&text))) mail.m_strFrom = TextOf(text);
    MailTypes nType = mailType_PlainText;
    if (SUCCEEDED(mailToSend->get_MailType(&nType)))
    {
        if (nType == mailType_PlainText || nType == mailType_HTML)
            mail.m_nTP = nType;
        else
            m_ctrl.LogError(kUnsupportedMailType);
    }
    text.Empty();
    if (SUCCEEDED(mailToSend->get_Message(&text))) mail.m_strText = TextOf(text);
    text.Empty();
    if (SUCCEEDED(mailToSend->get_Subject(&text))) mail.m_strSubject = TextOf(text);
    using Getter = HRESULT (STDMETHODCALLTYPE ILumoClientEmail::*)(ILumoClientStringCollection**);
    const auto readAddresses = [this, mailToSend](Getter get, CStringArray& arr) {
        CComPtr<ILumoClientStringCollection> addresses;
        if (SUCCEEDED((mailToSend->*get)(&addresses)) && addresses)
            m_ctrl.ParseLumoClientStringCollectionToCStringArray(addresses, arr);
    };
    readAddresses(&ILumoClientEmail::get_To, mail.m_arrTo);
    readAddresses(&ILumoClientEmail::get_Cc, mail.m_arrCc);
    readAddresses(&ILumoClientEmail::get_Bcc, mail.m_arrBcc);
    mail.SetTimeNow();
    CComPtr<ILumoClientMap> attachments;
    if (SUCCEEDED(mailToSend->get_Attachments(&attachments)) && attachments) m_ctrl.ParseAttachmentsMap(attachments, mail);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->SendEmail(lCallId, mail);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Key-in and IVR

HRESULT CLumoClientCallRequests::BrennStartIVR(BSTR strInterviewGuid, LONG lCallId, BSTR strNumber)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->BrennStartIVR(TextOf(strInterviewGuid), lCallId, TextOf(strNumber));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::BrennStartKeyIn(LONG lInterviewId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->BrennStartKeyIn(lInterviewId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::BrennEndKeyIn(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->BrennEndKeyIn(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCallRequests::BrennFindKeyInInterviews(ILumoClientMap* searchParameters,
                                                       ILumoClientStringCollection* arrReturnFields)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    const CPropertyList search = PropertyListOf(searchParameters);
    CStringArray arrFields;
    if (arrReturnFields) m_ctrl.ParseLumoClientStringCollectionToCStringArray(arrReturnFields, arrFields);
    if (m_ctrl.m_pLink) m_ctrl.m_pLink->BrennFindKeyInInterviews(search, arrFields);
    return S_OK;
    LUMO_MEMBER_END
}
