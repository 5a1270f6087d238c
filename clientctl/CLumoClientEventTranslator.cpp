#include "clientctl/CLumoClientEventTranslator.h"
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoClientMap.h"
#include "clientctl/CLumoClientMessage.h"
#include "clientctl/CLumoClientStringCollection.h"
#include "clientctl/CPayloadArray.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CFile.h"
#include <vector>

namespace
{
const wchar_t kNoFileName[] =
    L"CLumoClientCtrl::OnReceiveMessage => Attachment was found but no filename was specified";
const wchar_t kRenamedAttachment[] =
    L"CLumoClientCtrl::OnReceiveMessage => Attachment \"%s\" occurs more than once; passed on as \"%s\"";
} // namespace

CLumoClientEventTranslator::CLumoClientEventTranslator(CLumoClientCtrl& ctrl) : m_ctrl(ctrl) {}

template <class TObject, class TInterface> CComPtr<TInterface> CLumoClientEventTranslator::CreateObject()
{
    CComObject<TObject>* pObject = nullptr;
    HRESULT hr = CComObject<TObject>::CreateInstance(&pObject);
    if (FAILED(hr)) throw hr;
    CComPtr<TInterface> result(static_cast<TInterface*>(pObject));
    return result;
}

// Each handler holds the control: a sink may release it from inside an event.

void CLumoClientEventTranslator::OnReceivePauseList(const CString& strPauseList)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> map = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParsePropertyListToIdMap(CPropertyList(strPauseList.GetString()), map);
    m_ctrl.Fire_PauseListReceived(map);
}

void CLumoClientEventTranslator::OnReceiveOutboundGroupList(const CString& strList)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> map = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParsePropertyListToIdMap(CPropertyList(strList.GetString()), map);
    m_ctrl.Fire_OutboundGroupListReceived(map);
}

void CLumoClientEventTranslator::OnReceiveLocationList(const CString& strList)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> names = CreateObject<CLumoClientMap, ILumoClientMap>();
    CComPtr<ILumoClientMap> computerNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParseLocationList(CPropertyList(strList.GetString()), names, computerNames);
    m_ctrl.Fire_LocationListReceived(names, computerNames);
}

void CLumoClientEventTranslator::OnReceiveAgentList(short nListType, const CString& strAgentList)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> firstNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    CComPtr<ILumoClientMap> lastNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    CComPtr<ILumoClientMap> userNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParseAgentList(CPropertyList(strAgentList.GetString()), firstNames, lastNames, userNames);
    m_ctrl.Fire_AgentListReceived(firstNames, lastNames, userNames);
    m_ctrl.Fire_AgentListReceivedEx(static_cast<AgentListRequestTypes>(nListType), firstNames, lastNames, userNames);
}

void CLumoClientEventTranslator::OnReceiveDialNumberResult(long nResult)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_DialNumberResultReceived(static_cast<DialResults>(nResult));
}

void CLumoClientEventTranslator::OnReceiveEndTask(long nCallId)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_EndTaskReceived(nCallId);
}

void CLumoClientEventTranslator::OnReceiveRecordResult(short nResult)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_RecordResultReceived(static_cast<RecordResultCodes>(nResult));
}

void CLumoClientEventTranslator::OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    if (bStart)
        m_ctrl.Fire_StartQuestionRecordingResultReceived(nCallId, nResult);
    else
        m_ctrl.Fire_StopQuestionRecordingResultReceived(nCallId, nResult);
}

void CLumoClientEventTranslator::OnReceiveStartPlaySoundResult(long nCallId, short nResult)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_StartPlaySoundResultReceived(nCallId, nResult);
}

void CLumoClientEventTranslator::OnReceiveStopPlaySoundResult(long nCallId, short nResult)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_StopPlaySoundResultReceived(nCallId, nResult);
}

void CLumoClientEventTranslator::OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_SendInterviewConfirmationReceived(nTaskId, nCallId);
}

void CLumoClientEventTranslator::OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength,
                                                        DWORD nChecksum)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CPayloadArray data(pData, nLength);
    m_ctrl.Fire_InterviewDataReceived(nTaskId, nCallId, data.Get(), nChecksum);
}

void CLumoClientEventTranslator::OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                                                       const CString& strResources)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> resources = CreateObject<CLumoClientMap, ILumoClientMap>();
    CStringArray arrPieces;
    CStaticTools::ReadStringSeparatorString(strResources, L';', arrPieces);
    for (INT_PTR i = 0; i < arrPieces.GetSize(); ++i)
    {
        const CString& strPiece = arrPieces[i];
        const int nColon = strPiece.Find(L':');
        if (nColon < 0) continue;
        const long nResourceId = CStaticTools::ToLong(strPiece.Left(nColon).GetString());
        const unsigned long nResourceChecksum = CStaticTools::ToULong(strPiece.Mid(nColon + 1).GetString());
        resources->Add(CComVariant(nResourceId), CComVariant(nResourceChecksum));
    }
    CPayloadArray data(pData, nLength);
    m_ctrl.Fire_TaskContentsReceived(nTaskId, data.Get(), nChecksum, resources);
}

void CLumoClientEventTranslator::OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                                                       DWORD nChecksum)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CPayloadArray data(pData, nLength);
    m_ctrl.Fire_TaskResourceReceived(nTaskId, nResourceId, data.Get(), nChecksum);
}

void CLumoClientEventTranslator::OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData,
                                                      DWORD nLength)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CPayloadArray data(pData, nLength);
    m_ctrl.Fire_BrennQuotaUpdateReceived(nSurveyId, nUpdateType, data.Get());
}

void CLumoClientEventTranslator::OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComObject<CLumoClientCallCollection>* pCollection = nullptr;
    HRESULT hr = CComObject<CLumoClientCallCollection>::CreateInstance(&pCollection);
    if (FAILED(hr)) throw hr;
    CComPtr<ILumoClientCallCollection> collection(pCollection);
    hr = pCollection->AddCalls(arrCalls);
    if (FAILED(hr)) throw hr;
    m_ctrl.Fire_CallHistoryReceived(nCallId, collection);
}

void CLumoClientEventTranslator::OnReceiveStartTask(short nCallType, const CString& strProperties)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    const CPropertyList task(strProperties.GetString());
    CComPtr<ILumoClientMap> allFields = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParsePropertyListToLumoClientMap(task, allFields);
    const long nCallId = CStaticTools::ToLong(task.GetPropertyString(L"QoCallId", L"").GetString());
    CString strParameters = task.GetPropertyString(L"jexTaskParameters", L"");
    if (!strParameters.IsEmpty() && strParameters.Right(1) != L";") strParameters += L";";
    m_ctrl.Fire_StartTaskEx(nCallType, nCallId, allFields);

    CPropertyList parameters;
    int nStart = 0;
    for (int nEnd = strParameters.Find(L';'); nEnd >= 0; nEnd = strParameters.Find(L';', nStart))
    {
        const CString strName = strParameters.Mid(nStart, nEnd - nStart);
        parameters.SetProperty(strName.GetString(), task.GetPropertyString(strName.GetString(), L""));
        nStart = nEnd + 1;
    }
    CComPtr<ILumoClientMap> parameterMap = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParsePropertyListToLumoClientMap(parameters, parameterMap);
    m_ctrl.Fire_StartTask(nCallType, nCallId, parameterMap);
}

void CLumoClientEventTranslator::OnReceiveStats(const CString& strStats)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CStringArray arrPieces;
    CStaticTools::ReadStringSeparatorString(strStats, L':', arrPieces);
    if (arrPieces.GetSize() < 4) return;
    CComBSTR group(arrPieces[3].GetString());
    m_ctrl.Fire_StatsReceived(group, CStaticTools::ToLong(arrPieces[2].GetString()),
                              CStaticTools::ToLong(arrPieces[0].GetString()),
                              CStaticTools::ToLong(arrPieces[1].GetString()));
}

void CLumoClientEventTranslator::OnReceiveCallInfo(const CString& strCallInfo)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CStringArray arrPieces;
    CStaticTools::LireChaineSeparateurString(strCallInfo, L':', arrPieces);
    if (arrPieces.GetSize() < 10) return;
    CComBSTR group(arrPieces[1].GetString());
    CComBSTR sender(arrPieces[4].GetString());
    CComBSTR destination(arrPieces[5].GetString());
    m_ctrl.Fire_CallInfoReceived(
        CStaticTools::ToLong(arrPieces[0].GetString()), group, CStaticTools::ToLong(arrPieces[2].GetString()),
        CStaticTools::ToLong(arrPieces[3].GetString()), sender, destination,
        CStaticTools::ToLong(arrPieces[6].GetString()), CStaticTools::ToLong(arrPieces[7].GetString()),
        CStaticTools::ToBool(arrPieces[8].GetString()), CStaticTools::ToBool(arrPieces[9].GetString()));
}

void CLumoClientEventTranslator::OnReceiveMessage(const CString& strSender, CMessage& message)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComObject<CLumoClientMessage>* pMessage = nullptr;
    HRESULT hr = CComObject<CLumoClientMessage>::CreateInstance(&pMessage);
    if (FAILED(hr)) throw hr;
    CComPtr<ILumoClientMessage> result(pMessage);
    result->put_From(message.m_nSenderID);
    result->put_Subject(CComBSTR(message.m_strSubject.GetString()));
    result->put_Message(CComBSTR(message.m_strText.GetString()));
    CComPtr<ILumoClientMap> attachments;
    result->get_Attachments(&attachments);
    for (INT_PTR i = 0; attachments && i < message.m_arrAttachments.GetSize(); ++i)
    {
        CMessage::CMessageAttachment* pAttachment = message.m_arrAttachments[i];
        if (!pAttachment || !pAttachment->m_pFile || pAttachment->m_nSize < 0) continue;
        CString strKey = pAttachment->m_strName;
        if (strKey.IsEmpty())
        {
            m_ctrl.LogError(kNoFileName);
            strKey.Format(L"Attachment %d", static_cast<int>(i));
        }
        // A second attachment of one name would be refused by the map and lost: it goes on renamed.
        VARIANT_BOOL bHeld = VARIANT_FALSE;
        CString strFree = strKey;
        for (int n = 2; SUCCEEDED(attachments->ContainsKey(CComVariant(strFree.GetString()), &bHeld)) &&
                        bHeld == VARIANT_TRUE && n < 100000;
             ++n)
            strFree.Format(L"%s (%d)", strKey.GetString(), n);
        if (strFree != strKey)
        {
            CString strText;
            strText.Format(kRenamedAttachment, strKey.GetString(), strFree.GetString());
            m_ctrl.LogError(strText);
        }
        SAFEARRAY* pArray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(pAttachment->m_nSize));
        if (!pArray) throw E_OUTOFMEMORY;
        CComVariant bytes;
        bytes.vt = VT_ARRAY | VT_UI1;
        bytes.parray = pArray;
        pAttachment->m_pFile->SeekToBegin();
        UINT nRead = 0;
        while (nRead < static_cast<UINT>(pAttachment->m_nSize))
        {
            const UINT n = pAttachment->m_pFile->Read(static_cast<BYTE*>(pArray->pvData) + nRead,
                                                      static_cast<UINT>(pAttachment->m_nSize) - nRead);
            if (n == 0) break;
            nRead += n;
        }
        attachments->Add(CComVariant(strFree.GetString()), bytes);
    }
    CComBSTR sender(strSender.GetString());
    m_ctrl.Fire_MessageReceived(sender, result);
}

void CLumoClientEventTranslator::OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                                           const CString& strProperties)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> fields = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParsePropertyListToLumoClientMap(CPropertyList(strProperties.GetString()), fields);
    m_ctrl.Fire_BrennStartKeyInResultReceived(nResult, nCallId, nInterviewId, fields);
}

void CLumoClientEventTranslator::OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComPtr<ILumoClientMap> fields = CreateObject<CLumoClientMap, ILumoClientMap>();
    m_ctrl.ParsePropertyListToLumoClientMap(properties, fields);
    m_ctrl.Fire_BrennKeyInInterviewReceived(nInterviewId, fields);
}

void CLumoClientEventTranslator::OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    CComObject<CLumoClientStringCollection>* pCollection = nullptr;
    HRESULT hr = CComObject<CLumoClientStringCollection>::CreateInstance(&pCollection);
    if (FAILED(hr)) throw hr;
    CComPtr<ILumoClientStringCollection> collection(pCollection);
    for (INT_PTR i = 0; i < arrSemiOpens.GetSize(); ++i)
    {
        hr = pCollection->AddText(arrSemiOpens[i].GetString(), static_cast<size_t>(arrSemiOpens[i].GetLength()));
        if (FAILED(hr)) throw hr;
    }
    m_ctrl.Fire_BrennUpdateSemiOpensReceived(nSurveyId, collection);
}

void CLumoClientEventTranslator::OnAssignedToKeyIn(BOOL bAssigned)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_BrennAssignedToKeyIn(bAssigned != FALSE);
}

void CLumoClientEventTranslator::OnReceiveVolume(short nDevice, short nVolume)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    if (nDevice == 1)
    {
        m_ctrl.m_nMasterVolume = static_cast<WORD>(nVolume);
        m_ctrl.Fire_MasterVolumeChanged(nVolume);
    }
    else if (nDevice == 2)
    {
        m_ctrl.m_nMicrophoneVolume = static_cast<WORD>(nVolume);
        m_ctrl.Fire_MicrophoneVolumeChanged(nVolume);
    }
}

void CLumoClientEventTranslator::OnReceiveMute(short nDevice, BOOL bMuted)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    if (nDevice == 1)
    {
        m_ctrl.m_nMasterMuted = bMuted ? 1 : 0;
        m_ctrl.Fire_MasterMuteChanged(bMuted != FALSE);
    }
    else if (nDevice == 2)
    {
        m_ctrl.m_nMicrophoneMuted = bMuted ? 1 : 0;
        m_ctrl.Fire_MicrophoneMuteChanged(bMuted != FALSE);
    }
}

void CLumoClientEventTranslator::OnReceiveVoipState(BOOL bReady)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    m_ctrl.Fire_VoipStateChanged(bReady != FALSE); // the IsVoIP cache stays: only its getter fills it
}

void CLumoClientEventTranslator::OnReceiveAnnotation(long nCallId, long nAnnotationType, long nAnnotationId,
                                                     long nResult)
{
    CLumoClientCtrl::CSelfReference keepAlive(m_ctrl);
    if (nAnnotationType == 0 && LOWORD(nResult) == 0)
    {
        const auto it = m_ctrl.m_mapAnonymisation.find(nCallId);
        int nState = 0;
        if (it == m_ctrl.m_mapAnonymisation.end())
        {
            m_ctrl.m_mapAnonymisation.emplace(nCallId, nAnnotationId);
            nState = 1;
        }
        else
            m_ctrl.m_mapAnonymisation.erase(it);
        m_ctrl.Fire_RecordingAnonymizationStateChanged(nCallId, nState);
    }
    m_ctrl.Fire_AnnotationChanged(nCallId, static_cast<short>(nResult), nAnnotationType, nAnnotationId);
}
