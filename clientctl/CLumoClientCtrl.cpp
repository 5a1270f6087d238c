#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientMap.h"
#include "clientctl/CLumoClientMessage.h"
#include "clientctl/CLumoClientStringCollection.h"
#include "clientctl/CPayloadArray.h"
#include "clientctl/CLumoSocket.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "core/CVersionInfo.h"
#include "framework/AfxMessageBox.h"
#include "framework/CFile.h"
#include "framework/CHandleOwner.h"
#include <vector>

namespace
{
// The error sink's log file; its address also names this module to the version check.
constexpr const wchar_t* kLogFile = CLumoClientErrorSink::kLogFile;
const wchar_t kNoFileName[] =
    L"CLumoClientCtrl::OnReceiveMessage => Attachment was found but no filename was specified";
const wchar_t kRenamedAttachment[] =
    L"CLumoClientCtrl::OnReceiveMessage => Attachment \"%s\" occurs more than once; passed on as \"%s\"";
} // namespace

CLumoClientCtrl::~CLumoClientCtrl()
{
    // FinalRelease normally released the link; an object that never finished construction did not.
    if (m_pLink)
    {
        m_pLink->SetControl(nullptr);
        m_pLink->SafeDelete();
    }
}

void CLumoClientCtrl::FinalRelease() noexcept
{
    try
    {
        Uninit(nullptr);
    }
    catch (...)
    {
        // The object goes away regardless; there is no caller to tell.
    }
}

template <class TObject, class TInterface> CComPtr<TInterface> CLumoClientCtrl::CreateObject()
{
    CComObject<TObject>* pObject = nullptr;
    HRESULT hr = CComObject<TObject>::CreateInstance(&pObject);
    if (FAILED(hr)) throw hr;
    CComPtr<TInterface> result(static_cast<TInterface*>(pObject));
    return result;
}

// ---------------------------------------------------------------------------------------------
// Properties and the connection

STDMETHODIMP CLumoClientCtrl::get_LumoAddress(BSTR* pVal)
{
    if (!pVal) return E_POINTER;
    return m_strLumoAddress.CopyTo(pVal);
}

STDMETHODIMP CLumoClientCtrl::put_LumoAddress(BSTR newVal)
{
    try
    {
        m_strLumoAddress = newVal;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_Port(SHORT* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nPort;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_Port(SHORT newVal)
{
    m_nPort = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_ApplicationId(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nApplicationId;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_ApplicationId(LONG newVal)
{
    m_nApplicationId = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_JexConnectionState(ConnectionStates* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nJexConnectionState;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_LumoConnectionState(ConnectionStates* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nLumoConnectionState;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_PauseReasonId(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nPauseReasonId;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_AgentState(AgentStates* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nAgentState;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_LogMode(LogModes* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = m_nLogMode;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_LogMode(LogModes newVal)
{
    m_nLogMode = newVal;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::get_UTCShiftServer(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = CTimeTools::m_nUTCShift_sec;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::Init(VARIANT_BOOL* bResult)
{
    if (!bResult) return E_POINTER;
    try
    {
        if (m_nLumoConnectionState == connection_Connected && m_pLink)
        {
            *bResult = VARIANT_TRUE;
            return S_OK;
        }
        *bResult = VARIANT_FALSE;
        CSelfReference keepAlive(*this);
        ReleaseLink();
        m_pLink = new CLumoSocket(this);
        // The port travels as a signed 16-bit number; ports above 32767 arrive negative.
        const short nPort = m_nPort;
        CLumoSocket* pLink = m_pLink;
        const BOOL bConnected = pLink->Connect(m_strLumoAddress.m_str ? m_strLumoAddress.m_str : L"", nPort,
                                               m_nApplicationId, m_bPossibleMessageMaster);
        // The wait pumped: the link may have been lost, or the control uninitialised, meanwhile.
        if (bConnected && m_pLink == pLink)
        {
            m_nLumoConnectionState = connection_Connected;
            *bResult = VARIANT_TRUE;
            Fire_LumoConnectionChanged(connection_Connected);
        }
        else
        {
            m_nLumoConnectionState = connection_Disconnected;
            Fire_LumoConnectionChanged(connection_Disconnected);
        }
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::GetVersionInfoString(BSTR* lReturnVal)
{
    if (!lReturnVal) return S_OK;
    try
    {
        CVersionInfo version;
        // Any address of this library names the module it is linked into.
        const CString strVersion = version.ReadFromAddress(kLogFile) ? version.m_strVersion : CString();
        *lReturnVal = ::SysAllocString(strVersion.GetString());
        if (!*lReturnVal) return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::Uninit(VARIANT_BOOL* bResult)
{
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_pLink) return S_OK;
    if (bResult) *bResult = VARIANT_TRUE;
    m_pLink->Disconnect();
    ReleaseLink();
    m_nLumoConnectionState = connection_Disconnected;
    m_nJexConnectionState = connection_Unknown;
    m_nAgentState = agentstate_UnKnown;
    return S_OK;
}

// Detached first: a close the socket thread reports later reaches nobody.
void CLumoClientCtrl::ReleaseLink()
{
    CLumoSocket* pLink = m_pLink;
    if (!pLink) return;
    m_pLink = nullptr;
    pLink->SetControl(nullptr);
    pLink->SafeDelete();
}

// ---------------------------------------------------------------------------------------------
// Drawing

HRESULT CLumoClientCtrl::OnDraw(ATL_DRAWINFO& di)
{
    const RECT& rc = *reinterpret_cast<const RECT*>(di.prcBounds);
    const HDC hdc = di.hdcDraw;
    CGdiHandle<HRGN> oldClip(::CreateRectRgn(0, 0, 0, 0));
    if (!oldClip.IsValid()) return E_OUTOFMEMORY;
    const bool bHadClip = ::GetClipRgn(hdc, oldClip) == 1;
    // Within whatever the container clipped to already, in the DC's own coordinates.
    ::IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
    ::Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
    const UINT nOldAlign = ::SetTextAlign(hdc, TA_CENTER | TA_BASELINE);
    static const wchar_t kText[] = L"LumoClientCtrl";
    ::TextOutW(hdc, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, kText, static_cast<int>(wcslen(kText)));
    ::SetTextAlign(hdc, nOldAlign);
    ::SelectClipRgn(hdc, bHadClip ? static_cast<HRGN>(oldClip) : nullptr);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The error sink

void CLumoClientCtrl::LogError(const CString& strText)
{
    m_errorSink.Report(m_nLogMode, strText);
}

void CLumoClientCtrl::ShowErrorBox(const CString& strText)
{
    CSelfReference keepAlive(*this); // the box pumps
    AfxMessageBox(strText.GetString(), MB_OK, 0);
}

void CLumoClientCtrl::FireErrorEvent(const CString& strText)
{
    CComBSTR text(strText.GetString());
    Fire_LumoClientError(text);
}

void CLumoClientCtrl::OnError(const CString& strText)
{
    LogError(strText);
}

// ---------------------------------------------------------------------------------------------
// State reported by the link

void CLumoClientCtrl::OnLumoConnectionPending()
{
    CSelfReference keepAlive(*this);
    m_nLumoConnectionState = connection_Pending;
    Fire_LumoConnectionChanged(connection_Pending);
}

void CLumoClientCtrl::OnJexConnectionChanged(BOOL bConnected)
{
    CSelfReference keepAlive(*this);
    m_nJexConnectionState = bConnected ? connection_Connected : connection_Disconnected;
    Fire_JexConnectionChanged(m_nJexConnectionState);
}

void CLumoClientCtrl::OnAgentStateChanged(short nAgentState)
{
    CSelfReference keepAlive(*this);
    m_nAgentState = static_cast<AgentStates>(nAgentState);
    Fire_AgentStateChanged(m_nAgentState);
}

void CLumoClientCtrl::OnDisconnected(int /*nErrorCode*/)
{
    CSelfReference keepAlive(*this);
    ReleaseLink();
    m_nJexConnectionState = connection_Unknown;
    Fire_JexConnectionChanged(connection_Unknown);
    m_nAgentState = agentstate_UnKnown;
    Fire_AgentStateChanged(agentstate_UnKnown);
    m_nLumoConnectionState = connection_Disconnected;
    Fire_LumoConnectionChanged(connection_Disconnected);
}

void CLumoClientCtrl::OnUTCShiftServerChanged(long nOldShift, long nNewShift)
{
    CSelfReference keepAlive(*this);
    Fire_UTCShiftServerChanged(nOldShift, nNewShift);
}

// ---------------------------------------------------------------------------------------------
// Received commands. Each handler holds the control: a sink may release it from inside an event.

void CLumoClientCtrl::OnReceivePauseList(const CString& strPauseList)
{
    CSelfReference keepAlive(*this);
    CComPtr<ILumoClientMap> map = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParsePropertyListToIdMap(CPropertyList(strPauseList.GetString()), map);
    Fire_PauseListReceived(map);
}

void CLumoClientCtrl::OnReceiveOutboundGroupList(const CString& strList)
{
    CSelfReference keepAlive(*this);
    CComPtr<ILumoClientMap> map = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParsePropertyListToIdMap(CPropertyList(strList.GetString()), map);
    Fire_OutboundGroupListReceived(map);
}

void CLumoClientCtrl::OnReceiveLocationList(const CString& strList)
{
    CSelfReference keepAlive(*this);
    CComPtr<ILumoClientMap> names = CreateObject<CLumoClientMap, ILumoClientMap>();
    CComPtr<ILumoClientMap> computerNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParseLocationList(CPropertyList(strList.GetString()), names, computerNames);
    Fire_LocationListReceived(names, computerNames);
}

void CLumoClientCtrl::OnReceiveAgentList(short nListType, const CString& strAgentList)
{
    CSelfReference keepAlive(*this);
    CComPtr<ILumoClientMap> firstNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    CComPtr<ILumoClientMap> lastNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    CComPtr<ILumoClientMap> userNames = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParseAgentList(CPropertyList(strAgentList.GetString()), firstNames, lastNames, userNames);
    Fire_AgentListReceived(firstNames, lastNames, userNames);
    Fire_AgentListReceivedEx(static_cast<AgentListRequestTypes>(nListType), firstNames, lastNames, userNames);
}

void CLumoClientCtrl::OnReceiveDialNumberResult(long nResult)
{
    CSelfReference keepAlive(*this);
    Fire_DialNumberResultReceived(static_cast<DialResults>(nResult));
}

void CLumoClientCtrl::OnReceiveEndTask(long nCallId)
{
    CSelfReference keepAlive(*this);
    Fire_EndTaskReceived(nCallId);
}

void CLumoClientCtrl::OnReceiveRecordResult(short nResult)
{
    CSelfReference keepAlive(*this);
    Fire_RecordResultReceived(static_cast<RecordResultCodes>(nResult));
}

void CLumoClientCtrl::OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult)
{
    CSelfReference keepAlive(*this);
    if (bStart)
        Fire_StartQuestionRecordingResultReceived(nCallId, nResult);
    else
        Fire_StopQuestionRecordingResultReceived(nCallId, nResult);
}

void CLumoClientCtrl::OnReceiveStartPlaySoundResult(long nCallId, short nResult)
{
    CSelfReference keepAlive(*this);
    Fire_StartPlaySoundResultReceived(nCallId, nResult);
}

void CLumoClientCtrl::OnReceiveStopPlaySoundResult(long nCallId, short nResult)
{
    CSelfReference keepAlive(*this);
    Fire_StopPlaySoundResultReceived(nCallId, nResult);
}

void CLumoClientCtrl::OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId)
{
    CSelfReference keepAlive(*this);
    Fire_SendInterviewConfirmationReceived(nTaskId, nCallId);
}

// The link has compared the payload's CRC-32 with the checksum and reported a mismatch itself.
void CLumoClientCtrl::OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength,
                                             DWORD nChecksum)
{
    CSelfReference keepAlive(*this);
    CPayloadArray data(pData, nLength);
    Fire_InterviewDataReceived(nTaskId, nCallId, data.Get(), nChecksum);
}

void CLumoClientCtrl::OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                                            const CString& strResources)
{
    CSelfReference keepAlive(*this);
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
    Fire_TaskContentsReceived(nTaskId, data.Get(), nChecksum, resources);
}

void CLumoClientCtrl::OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                                            DWORD nChecksum)
{
    CSelfReference keepAlive(*this);
    CPayloadArray data(pData, nLength);
    Fire_TaskResourceReceived(nTaskId, nResourceId, data.Get(), nChecksum);
}

void CLumoClientCtrl::OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength)
{
    CSelfReference keepAlive(*this);
    CPayloadArray data(pData, nLength);
    Fire_BrennQuotaUpdateReceived(nSurveyId, nUpdateType, data.Get());
}

void CLumoClientCtrl::OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls)
{
    CSelfReference keepAlive(*this);
    CComObject<CLumoClientCallCollection>* pCollection = nullptr;
    HRESULT hr = CComObject<CLumoClientCallCollection>::CreateInstance(&pCollection);
    if (FAILED(hr)) throw hr;
    CComPtr<ILumoClientCallCollection> collection(pCollection);
    hr = pCollection->AddCalls(arrCalls);
    if (FAILED(hr)) throw hr;
    Fire_CallHistoryReceived(nCallId, collection);
}

void CLumoClientCtrl::OnReceiveStartTask(short nCallType, const CString& strProperties)
{
    CSelfReference keepAlive(*this);
    const CPropertyList task(strProperties.GetString());
    CComPtr<ILumoClientMap> allFields = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParsePropertyListToLumoClientMap(task, allFields);
    const long nCallId = CStaticTools::ToLong(task.GetPropertyString(L"QoCallId", L"").GetString());
    CString strParameters = task.GetPropertyString(L"jexTaskParameters", L"");
    if (!strParameters.IsEmpty() && strParameters.Right(1) != L";") strParameters += L";";
    Fire_StartTaskEx(nCallType, nCallId, allFields);

    CPropertyList parameters;
    int nStart = 0;
    for (int nEnd = strParameters.Find(L';'); nEnd >= 0; nEnd = strParameters.Find(L';', nStart))
    {
        const CString strName = strParameters.Mid(nStart, nEnd - nStart);
        parameters.SetProperty(strName.GetString(), task.GetPropertyString(strName.GetString(), L""));
        nStart = nEnd + 1;
    }
    CComPtr<ILumoClientMap> parameterMap = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParsePropertyListToLumoClientMap(parameters, parameterMap);
    Fire_StartTask(nCallType, nCallId, parameterMap);
}

void CLumoClientCtrl::OnReceiveStats(const CString& strStats)
{
    CSelfReference keepAlive(*this);
    CStringArray arrPieces;
    CStaticTools::ReadStringSeparatorString(strStats, L':', arrPieces);
    if (arrPieces.GetSize() < 4) return;
    CComBSTR group(arrPieces[3].GetString());
    Fire_StatsReceived(group, CStaticTools::ToLong(arrPieces[2].GetString()),
                       CStaticTools::ToLong(arrPieces[0].GetString()), CStaticTools::ToLong(arrPieces[1].GetString()));
}

void CLumoClientCtrl::OnReceiveCallInfo(const CString& strCallInfo)
{
    CSelfReference keepAlive(*this);
    CStringArray arrPieces;
    CStaticTools::LireChaineSeparateurString(strCallInfo, L':', arrPieces);
    if (arrPieces.GetSize() < 10) return;
    CComBSTR group(arrPieces[1].GetString());
    CComBSTR sender(arrPieces[4].GetString());
    CComBSTR destination(arrPieces[5].GetString());
    Fire_CallInfoReceived(
        CStaticTools::ToLong(arrPieces[0].GetString()), group, CStaticTools::ToLong(arrPieces[2].GetString()),
        CStaticTools::ToLong(arrPieces[3].GetString()), sender, destination,
        CStaticTools::ToLong(arrPieces[6].GetString()), CStaticTools::ToLong(arrPieces[7].GetString()),
        CStaticTools::ToBool(arrPieces[8].GetString()), CStaticTools::ToBool(arrPieces[9].GetString()));
}

void CLumoClientCtrl::OnReceiveMessage(const CString& strSender, CMessage& message)
{
    CSelfReference keepAlive(*this);
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
            LogError(kNoFileName);
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
            LogError(strText);
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
    Fire_MessageReceived(sender, result);
}

void CLumoClientCtrl::OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                                const CString& strProperties)
{
    CSelfReference keepAlive(*this);
    CComPtr<ILumoClientMap> fields = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParsePropertyListToLumoClientMap(CPropertyList(strProperties.GetString()), fields);
    Fire_BrennStartKeyInResultReceived(nResult, nCallId, nInterviewId, fields);
}

void CLumoClientCtrl::OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties)
{
    CSelfReference keepAlive(*this);
    CComPtr<ILumoClientMap> fields = CreateObject<CLumoClientMap, ILumoClientMap>();
    ParsePropertyListToLumoClientMap(properties, fields);
    Fire_BrennKeyInInterviewReceived(nInterviewId, fields);
}

void CLumoClientCtrl::OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens)
{
    CSelfReference keepAlive(*this);
    CComObject<CLumoClientStringCollection>* pCollection = nullptr;
    HRESULT hr = CComObject<CLumoClientStringCollection>::CreateInstance(&pCollection);
    if (FAILED(hr)) throw hr;
    CComPtr<ILumoClientStringCollection> collection(pCollection);
    for (INT_PTR i = 0; i < arrSemiOpens.GetSize(); ++i)
    {
        hr = pCollection->AddText(arrSemiOpens[i].GetString(), static_cast<size_t>(arrSemiOpens[i].GetLength()));
        if (FAILED(hr)) throw hr;
    }
    Fire_BrennUpdateSemiOpensReceived(nSurveyId, collection);
}

void CLumoClientCtrl::OnAssignedToKeyIn(BOOL bAssigned)
{
    CSelfReference keepAlive(*this);
    Fire_BrennAssignedToKeyIn(bAssigned != FALSE);
}

void CLumoClientCtrl::OnReceiveVolume(short nDevice, short nVolume)
{
    CSelfReference keepAlive(*this);
    if (nDevice == 1)
    {
        m_nMasterVolume = static_cast<WORD>(nVolume);
        Fire_MasterVolumeChanged(nVolume);
    }
    else if (nDevice == 2)
    {
        m_nMicrophoneVolume = static_cast<WORD>(nVolume);
        Fire_MicrophoneVolumeChanged(nVolume);
    }
}

void CLumoClientCtrl::OnReceiveMute(short nDevice, BOOL bMuted)
{
    CSelfReference keepAlive(*this);
    if (nDevice == 1)
    {
        m_nMasterMuted = bMuted ? 1 : 0;
        Fire_MasterMuteChanged(bMuted != FALSE);
    }
    else if (nDevice == 2)
    {
        m_nMicrophoneMuted = bMuted ? 1 : 0;
        Fire_MicrophoneMuteChanged(bMuted != FALSE);
    }
}

void CLumoClientCtrl::OnReceiveVoipState(BOOL bReady)
{
    CSelfReference keepAlive(*this);
    Fire_VoipStateChanged(bReady != FALSE); // the IsVoIP cache stays: only its getter fills it
}

void CLumoClientCtrl::OnReceiveAnnotation(long nCallId, long nAnnotationType, long nAnnotationId, long nResult)
{
    CSelfReference keepAlive(*this);
    if (nAnnotationType == 0 && LOWORD(nResult) == 0)
    {
        const auto it = m_mapAnonymisation.find(nCallId);
        int nState = 0;
        if (it == m_mapAnonymisation.end())
        {
            m_mapAnonymisation.emplace(nCallId, nAnnotationId);
            nState = 1;
        }
        else
            m_mapAnonymisation.erase(it);
        Fire_RecordingAnonymizationStateChanged(nCallId, nState);
    }
    Fire_AnnotationChanged(nCallId, static_cast<short>(nResult), nAnnotationType, nAnnotationId);
}

// ---------------------------------------------------------------------------------------------
// Conversions (the argument helper's work; the members stay the control's)

long CLumoClientCtrl::ParsePropertyListToLumoClientMap(const CPropertyList& list, ILumoClientMap* pMap)
{
    return m_arguments.ParsePropertyListToLumoClientMap(list, pMap);
}

long CLumoClientCtrl::ParsePropertyListToIdMap(const CPropertyList& list, ILumoClientMap* pMap)
{
    return m_arguments.ParsePropertyListToIdMap(list, pMap);
}

long CLumoClientCtrl::ParseAgentList(const CPropertyList& list, ILumoClientMap* pFirstNames, ILumoClientMap* pLastNames,
                                     ILumoClientMap* pUserNames)
{
    return m_arguments.ParseAgentList(list, pFirstNames, pLastNames, pUserNames);
}

long CLumoClientCtrl::ParseLocationList(const CPropertyList& list, ILumoClientMap* pNames,
                                        ILumoClientMap* pComputerNames)
{
    return m_arguments.ParseLocationList(list, pNames, pComputerNames);
}

BOOL CLumoClientCtrl::ParseLumoClientMapToPropertyList(ILumoClientMap* pMap, CPropertyList& list)
{
    return m_arguments.ParseLumoClientMapToPropertyList(pMap, list);
}

BOOL CLumoClientCtrl::ParseLumoClientStringCollectionToCStringArray(ILumoClientStringCollection* pCollection,
                                                                    CStringArray& arr)
{
    return m_arguments.ParseLumoClientStringCollectionToCStringArray(pCollection, arr);
}

BOOL CLumoClientCtrl::ParseLumoClientStringCollectionToLongList(ILumoClientStringCollection* pCollection,
                                                                CList<long, long>& list)
{
    return m_arguments.ParseLumoClientStringCollectionToLongList(pCollection, list);
}

BOOL CLumoClientCtrl::ParseAttachmentsMap(ILumoClientMap* pMap, CMessage& message)
{
    return m_arguments.ParseAttachmentsMap(pMap, message);
}

OBJECT_ENTRY_AUTO(CLSID_LumoClientCtrl, CLumoClientCtrl)
