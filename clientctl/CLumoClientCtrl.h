#pragma once
#include "clientctl/CLumoClientAgentRequests.h"
#include "clientctl/CLumoClientArguments.h"
#include "clientctl/CLumoClientCallRequests.h"
#include "clientctl/CLumoClientErrorSink.h"
#include "clientctl/CLumoClientEventTranslator.h"
#include "clientctl/CProxy_ILumoClientEvents.h"
#include "clientctl/ILumoSocketCallbacks.h"
#include "clientctl/module/LumoClientResources.h"
#include "framework/CComBSTR.h"
#include "framework/CComCoClass.h"
#include "framework/CComControl.h"
#include "framework/CComObjectRootEx.h"
#include "framework/IConnectionPointContainerImpl.h"
#include "framework/IDispatchImpl.h"
#include "framework/IOleControlImpl.h"
#include "framework/IOleInPlaceActiveObjectImpl.h"
#include "framework/IOleInPlaceObjectWindowlessImpl.h"
#include "framework/IOleObjectImpl.h"
#include "framework/IProvideClassInfo2Impl.h"
#include "framework/IViewObjectExImpl.h"
#include "core/CPropertyList.h"
#include "framework/CList.h"
#include "framework/CStringArray.h"
#include "LumoClient.h"
#include <map>

class CLumoSocket;
class CMessage;

// The client's view of Lumo: a mirror of Lumo's state (its own link, Lumo's link to Jex, the agent
// state, the audio caches) kept over one link, and every command Lumo pushes fired as an event.
// Apartment-threaded: everything, link callbacks included, runs on the creating thread.
//
// Lifetime: anything that can pump messages or call out to a sink (Init, each received command, each
// firing, a message box) holds a reference to the control, so a container that releases it from an
// event or a pumped message frees it only when the outermost of them returns; that final release
// runs Uninit once.
class CLumoClientCtrl
    : public CComObjectRootEx<CComSingleThreadModel>,
      public IDispatchImpl<ILumoClientCtrl, &IID_ILumoClientCtrl, &LIBID_LumoClientLib>,
      public CComControl<CLumoClientCtrl>,
      public IOleControlImpl<CLumoClientCtrl>,
      public IOleObjectImpl<CLumoClientCtrl>,
      public IOleInPlaceActiveObjectImpl<CLumoClientCtrl>,
      public IViewObjectExImpl<CLumoClientCtrl>,
      public IOleInPlaceObjectWindowlessImpl<CLumoClientCtrl>,
      public IConnectionPointContainerImpl<CLumoClientCtrl>,
      public CProxy_ILumoClientEvents<CLumoClientCtrl>,
      public IProvideClassInfo2Impl<&CLSID_LumoClientCtrl, &DIID__ILumoClientEvents, &LIBID_LumoClientLib>,
      public CComCoClass<CLumoClientCtrl, &CLSID_LumoClientCtrl>,
      public ILumoSocketCallbacks
{
public:
    DECLARE_OLEMISC_STATUS(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_NOUIACTIVATE | OLEMISC_INVISIBLEATRUNTIME |
                           OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                           OLEMISC_ONLYICONIC)
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOCLIENTCTRL)

    BEGIN_COM_MAP(CLumoClientCtrl)
    COM_INTERFACE_ENTRY(ILumoClientCtrl)
    COM_INTERFACE_ENTRY2(IDispatch, ILumoClientCtrl)
    COM_INTERFACE_ENTRY(IViewObjectEx)
    COM_INTERFACE_ENTRY(IViewObject2)
    COM_INTERFACE_ENTRY(IViewObject)
    COM_INTERFACE_ENTRY(IOleInPlaceObjectWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceObject)
    COM_INTERFACE_ENTRY2(IOleWindow, IOleInPlaceObjectWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceActiveObject)
    COM_INTERFACE_ENTRY(IOleControl)
    COM_INTERFACE_ENTRY(IOleObject)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    COM_INTERFACE_ENTRY(IProvideClassInfo)
    COM_INTERFACE_ENTRY(IProvideClassInfo2)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(CLumoClientCtrl)
    CONNECTION_POINT_ENTRY(DIID__ILumoClientEvents)
    END_CONNECTION_POINT_MAP()

    CLumoClientCtrl() = default;
    ~CLumoClientCtrl() override;
    CLumoClientCtrl(const CLumoClientCtrl&) = delete; // the link points at this object
    CLumoClientCtrl& operator=(const CLumoClientCtrl&) = delete;

    void FinalRelease() noexcept;

    // ILumoClientCtrl: the connection and the mirrored state.
    STDMETHOD(get_LumoAddress)(BSTR* pVal) override;
    STDMETHOD(put_LumoAddress)(BSTR newVal) override;
    STDMETHOD(get_Port)(SHORT* pVal) override;
    STDMETHOD(put_Port)(SHORT newVal) override;
    STDMETHOD(get_ApplicationId)(LONG* pVal) override;
    STDMETHOD(put_ApplicationId)(LONG newVal) override;
    STDMETHOD(get_JexConnectionState)(ConnectionStates* pVal) override;
    STDMETHOD(get_LumoConnectionState)(ConnectionStates* pVal) override;
    STDMETHOD(get_PauseReasonId)(LONG* pVal) override;
    STDMETHOD(get_AgentState)(AgentStates* pVal) override;
    STDMETHOD(get_LogMode)(LogModes* pVal) override;
    STDMETHOD(put_LogMode)(LogModes newVal) override;
    STDMETHOD(get_UTCShiftServer)(LONG* pVal) override;
    STDMETHOD(Init)(VARIANT_BOOL* bResult) override;
    STDMETHOD(GetVersionInfoString)(BSTR* lReturnVal) override;
    STDMETHOD(Uninit)(VARIANT_BOOL* bResult) override;

    // IDispatch: SendInterview's interview data has no direction attribute, and Wine's type library
    // converts such a VARIANT given by value on its way, so the control unpacks that call itself.
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // ILumoClientCtrl: the requests to Lumo. S_OK when the work was done, S_FALSE when a guard, an argument
    // or a missing answer refused it; the refusal text goes to the error sink.
    STDMETHOD(get_IsPossibleMessageMaster)(VARIANT_BOOL* pVal) override
    {
        return m_agentRequests.get_IsPossibleMessageMaster(pVal);
    }
    STDMETHOD(put_IsPossibleMessageMaster)(VARIANT_BOOL newVal) override
    {
        return m_agentRequests.put_IsPossibleMessageMaster(newVal);
    }
    STDMETHOD(get_MasterVolume)(SHORT* pVal) override { return m_agentRequests.get_MasterVolume(pVal); }
    STDMETHOD(put_MasterVolume)(SHORT newVal) override { return m_agentRequests.put_MasterVolume(newVal); }
    STDMETHOD(get_MicrophoneVolume)(SHORT* pVal) override { return m_agentRequests.get_MicrophoneVolume(pVal); }
    STDMETHOD(put_MicrophoneVolume)(SHORT newVal) override { return m_agentRequests.put_MicrophoneVolume(newVal); }
    STDMETHOD(get_IsMasterMuted)(VARIANT_BOOL* pVal) override { return m_agentRequests.get_IsMasterMuted(pVal); }
    STDMETHOD(put_IsMasterMuted)(VARIANT_BOOL newVal) override { return m_agentRequests.put_IsMasterMuted(newVal); }
    STDMETHOD(get_IsMicrophoneMuted)(VARIANT_BOOL* pVal) override
    {
        return m_agentRequests.get_IsMicrophoneMuted(pVal);
    }
    STDMETHOD(put_IsMicrophoneMuted)(VARIANT_BOOL newVal) override
    {
        return m_agentRequests.put_IsMicrophoneMuted(newVal);
    }
    STDMETHOD(get_IsVoIP)(VARIANT_BOOL* pVal) override { return m_agentRequests.get_IsVoIP(pVal); }
    STDMETHOD(GetPauseList)(ILumoClientMap* mapPauses, LONG* lReturnVal) override
    {
        return m_agentRequests.GetPauseList(mapPauses, lReturnVal);
    }
    STDMETHOD(RequestPauseList)() override { return m_agentRequests.RequestPauseList(); }
    STDMETHOD(RequestStartPause)(LONG lPauseReasonId, StartPauseTypes enumStartPauseType) override
    {
        return m_agentRequests.RequestStartPause(lPauseReasonId, enumStartPauseType);
    }
    STDMETHOD(RequestStopPause)() override { return m_agentRequests.RequestStopPause(); }
    STDMETHOD(ShowLumoClient)(VisibleModes enumVisibleMode) override
    {
        return m_agentRequests.ShowLumoClient(enumVisibleMode);
    }
    STDMETHOD(GetAgentList)
    (AgentListRequestTypes enumType, ILumoClientMap* mapFirstNames, ILumoClientMap* mapLastNames,
     ILumoClientMap* mapUserNames, LONG* lReturnVal) override
    {
        return m_agentRequests.GetAgentList(enumType, mapFirstNames, mapLastNames, mapUserNames, lReturnVal);
    }
    STDMETHOD(RequestAgentList)(AgentListRequestTypes enumType) override
    {
        return m_agentRequests.RequestAgentList(enumType);
    }
    STDMETHOD(DialNumber)(BSTR strNumber, BSTR strTag) override { return m_callRequests.DialNumber(strNumber, strTag); }
    STDMETHOD(EndTask)(LONG lCallId, SHORT nCallResult, SHORT nCallSubResult, ILumoClientMap* mapFields) override
    {
        return m_callRequests.EndTask(lCallId, nCallResult, nCallSubResult, mapFields);
    }
    STDMETHOD(AgentLogon)
    (BSTR strUserName, LONG lLocationId, BSTR strPassword, VARIANT_BOOL bPasswordAlreadyEncrypted,
     VARIANT_BOOL* nReturnVal) override
    {
        return m_agentRequests.AgentLogon(strUserName, lLocationId, strPassword, bPasswordAlreadyEncrypted, nReturnVal);
    }
    STDMETHOD(AgentLogonById)
    (LONG lAgentId, LONG lLocationId, BSTR strPassword, VARIANT_BOOL bPasswordAlreadyEncrypted,
     VARIANT_BOOL* nReturnVal) override
    {
        return m_agentRequests.AgentLogonById(lAgentId, lLocationId, strPassword, bPasswordAlreadyEncrypted,
                                              nReturnVal);
    }
    STDMETHOD(AgentLogOff)() override { return m_agentRequests.AgentLogOff(); }
    STDMETHOD(DropCall)(LONG lCallId) override { return m_callRequests.DropCall(lCallId); }
    STDMETHOD(PutCallOnHold)(LONG lCallId) override { return m_callRequests.PutCallOnHold(lCallId); }
    STDMETHOD(TakeCallOnHold)(LONG lCallId) override { return m_callRequests.TakeCallOnHold(lCallId); }
    STDMETHOD(RequestNextCall)() override { return m_callRequests.RequestNextCall(); }
    STDMETHOD(StartRecording)(LONG lCallId, RecordResultCodes* enumRecordResult) override
    {
        return m_callRequests.StartRecording(lCallId, enumRecordResult);
    }
    STDMETHOD(RequestStartRecording)(LONG lCallId) override { return m_callRequests.RequestStartRecording(lCallId); }
    STDMETHOD(StartTriggerPredictive)(LONG lCallId, LONG lType) override
    {
        return m_callRequests.StartTriggerPredictive(lCallId, lType);
    }
    STDMETHOD(StopTriggerPredictive)(LONG lCallId, LONG lType) override
    {
        return m_callRequests.StopTriggerPredictive(lCallId, lType);
    }
    STDMETHOD(StartQuestionRecording)(LONG lCallId, BSTR strFileName, RecordResultCodes* nReturnVal) override
    {
        return m_callRequests.StartQuestionRecording(lCallId, strFileName, nReturnVal);
    }
    STDMETHOD(StopQuestionRecording)(LONG lCallId, VARIANT_BOOL* bResult) override
    {
        return m_callRequests.StopQuestionRecording(lCallId, bResult);
    }
    STDMETHOD(RequestStartQuestionRecording)(LONG lCallId, BSTR strFileName) override
    {
        return m_callRequests.RequestStartQuestionRecording(lCallId, strFileName);
    }
    STDMETHOD(RequestStopQuestionRecording)(LONG lCallId) override
    {
        return m_callRequests.RequestStopQuestionRecording(lCallId);
    }
    STDMETHOD(SendInterview)
    (LONG lTaskId, LONG lCallId, VARIANT* pInterviewData, ULONG lCheckSum, VARIANT_BOOL* bResult) override
    {
        return m_callRequests.SendInterview(lTaskId, lCallId, pInterviewData, lCheckSum, bResult);
    }
    STDMETHOD(RequestTaskContents)(LONG lTaskId) override { return m_callRequests.RequestTaskContents(lTaskId); }
    STDMETHOD(EndTaskAfterConnectionLost)(ILumoClientMap* mapFields) override
    {
        return m_callRequests.EndTaskAfterConnectionLost(mapFields);
    }
    STDMETHOD(Transfer)(LONG lCallId, LONG lCallId2) override { return m_callRequests.Transfer(lCallId, lCallId2); }
    STDMETHOD(TagCall)(LONG lCallId, BSTR strTag) override { return m_callRequests.TagCall(lCallId, strTag); }
    STDMETHOD(StartPlaySound)(LONG lCallId, BSTR strFileName, VARIANT_BOOL* bResult) override
    {
        return m_callRequests.StartPlaySound(lCallId, strFileName, bResult);
    }
    STDMETHOD(StopPlaySound)(LONG lCallId, VARIANT_BOOL* bResult) override
    {
        return m_callRequests.StopPlaySound(lCallId, bResult);
    }
    STDMETHOD(RequestStartPlaySound)(LONG lCallId, BSTR strFileName) override
    {
        return m_callRequests.RequestStartPlaySound(lCallId, strFileName);
    }
    STDMETHOD(RequestStopPlaySound)(LONG lCallId) override { return m_callRequests.RequestStopPlaySound(lCallId); }
    STDMETHOD(RequestTaskResources)(LONG lTaskId, ILumoClientStringCollection* Ids) override
    {
        return m_callRequests.RequestTaskResources(lTaskId, Ids);
    }
    STDMETHOD(GetOutboundGroupList)(ILumoClientMap* mapOutboundGroups, LONG* lResult) override
    {
        return m_agentRequests.GetOutboundGroupList(mapOutboundGroups, lResult);
    }
    STDMETHOD(RequestOutboundGroupList)() override { return m_agentRequests.RequestOutboundGroupList(); }
    STDMETHOD(GetLocationList)(ILumoClientMap* mapNames, ILumoClientMap* mapComputerNames, LONG* lReturnVal) override
    {
        return m_agentRequests.GetLocationList(mapNames, mapComputerNames, lReturnVal);
    }
    STDMETHOD(RequestLocationList)() override { return m_agentRequests.RequestLocationList(); }
    STDMETHOD(ChangeOutboundGroup)(LONG lOutboundGroupId) override
    {
        return m_callRequests.ChangeOutboundGroup(lOutboundGroupId);
    }
    STDMETHOD(GetAgentSetting)(LONG lSettingId, LONG* lValue, BSTR* strValue, VARIANT_BOOL* bResult) override
    {
        return m_agentRequests.GetAgentSetting(lSettingId, lValue, strValue, bResult);
    }
    STDMETHOD(SaveAgentSetting)(LONG lSettingId, BSTR strName, LONG lValue, BSTR strValue) override
    {
        return m_agentRequests.SaveAgentSetting(lSettingId, strName, lValue, strValue);
    }
    STDMETHOD(SendMessageToSupervisor)(ILumoClientMessage* toSend) override
    {
        return m_callRequests.SendMessageToSupervisor(toSend);
    }
    STDMETHOD(SendEmail)(LONG lCallId, ILumoClientEmail* mailToSend) override
    {
        return m_callRequests.SendEmail(lCallId, mailToSend);
    }
    STDMETHOD(GetReplayMasterRole)(VARIANT_BOOL allowOthersToTakeRole, VARIANT_BOOL* retHasRole) override
    {
        return m_agentRequests.GetReplayMasterRole(allowOthersToTakeRole, retHasRole);
    }
    STDMETHOD(ReleaseReplayMasterRole)(VARIANT_BOOL* retHasRole) override
    {
        return m_agentRequests.ReleaseReplayMasterRole(retHasRole);
    }
    STDMETHOD(TakeCall)(LONG lCallId) override { return m_callRequests.TakeCall(lCallId); }
    STDMETHOD(SendDTMF)(LONG lCallId, BSTR strDTMF, VARIANT_BOOL bSilent) override
    {
        return m_callRequests.SendDTMF(lCallId, strDTMF, bSilent);
    }
    STDMETHOD(GetCallHistory)(LONG lCallId, ILumoClientCallCollection** arrCalls, LONG* lResult) override
    {
        return m_callRequests.GetCallHistory(lCallId, arrCalls, lResult);
    }
    STDMETHOD(RequestCallHistory)(LONG lCallId) override { return m_callRequests.RequestCallHistory(lCallId); }
    STDMETHOD(SendInterviewStatus)(LONG lCallId, BSTR strStatus) override
    {
        return m_callRequests.SendInterviewStatus(lCallId, strStatus);
    }
    STDMETHOD(ChangeRecordingAnonymiseState)(LONG lCallId, VARIANT_BOOL bOnOff) override
    {
        return m_callRequests.ChangeRecordingAnonymiseState(lCallId, bOnOff);
    }
    STDMETHOD(CreateAnnotation)(LONG lCallId, INT nAnnotationType, ILumoClientMap* mapArgs) override
    {
        return m_callRequests.CreateAnnotation(lCallId, nAnnotationType, mapArgs);
    }
    STDMETHOD(UpdateAnnotation)(LONG lCallId, INT nAnnotationType, LONG lAnnotationId, ILumoClientMap* mapArgs) override
    {
        return m_callRequests.UpdateAnnotation(lCallId, nAnnotationType, lAnnotationId, mapArgs);
    }
    STDMETHOD(BrennStartIVR)(BSTR strInterviewGuid, LONG lCallId, BSTR strNumber) override
    {
        return m_callRequests.BrennStartIVR(strInterviewGuid, lCallId, strNumber);
    }
    STDMETHOD(BrennStartKeyIn)(LONG lInterviewId) override { return m_callRequests.BrennStartKeyIn(lInterviewId); }
    STDMETHOD(BrennEndKeyIn)(LONG lCallId) override { return m_callRequests.BrennEndKeyIn(lCallId); }
    STDMETHOD(BrennFindKeyInInterviews)
    (ILumoClientMap* searchParameters, ILumoClientStringCollection* arrReturnFields) override
    {
        return m_callRequests.BrennFindKeyInInterviews(searchParameters, arrReturnFields);
    }

    HRESULT OnDraw(ATL_DRAWINFO& di) override;

    // The error sink: the text goes where LogMode says; never fails towards its caller.
    void LogError(const CString& strText);

    // Conversions of received property lists into maps the caller owns; each gives the number of
    // entries read (the list's size, or the Count the list names).
    long ParsePropertyListToLumoClientMap(const CPropertyList& list, ILumoClientMap* pMap);
    long ParsePropertyListToIdMap(const CPropertyList& list, ILumoClientMap* pMap);
    long ParseAgentList(const CPropertyList& list, ILumoClientMap* pFirstNames, ILumoClientMap* pLastNames,
                        ILumoClientMap* pUserNames);
    long ParseLocationList(const CPropertyList& list, ILumoClientMap* pNames, ILumoClientMap* pComputerNames);
    // Conversions of a client's maps and collections into request data. FALSE, the target untouched,
    // when the keys or the count cannot be read; items that cannot be used are reported and skipped.
    BOOL ParseLumoClientMapToPropertyList(ILumoClientMap* pMap, CPropertyList& list);
    BOOL ParseLumoClientStringCollectionToCStringArray(ILumoClientStringCollection* pCollection, CStringArray& arr);
    BOOL ParseLumoClientStringCollectionToLongList(ILumoClientStringCollection* pCollection, CList<long, long>& list);
    BOOL ParseAttachmentsMap(ILumoClientMap* pMap, CMessage& message);

    // ILumoSocketCallbacks: what the link reports, on this thread.
    void OnError(const CString& strText) override;
    void OnLumoConnectionPending() override;
    void OnJexConnectionChanged(BOOL bConnected) override;
    void OnAgentStateChanged(short nAgentState) override;
    void OnDisconnected(int nErrorCode) override;
    void OnUTCShiftServerChanged(long nOldShift, long nNewShift) override;
    void OnReceivePauseList(const CString& strPauseList) override
    {
        m_eventTranslator.OnReceivePauseList(strPauseList);
    }
    void OnReceiveAgentList(short nListType, const CString& strAgentList) override
    {
        m_eventTranslator.OnReceiveAgentList(nListType, strAgentList);
    }
    void OnReceiveDialNumberResult(long nResult) override { m_eventTranslator.OnReceiveDialNumberResult(nResult); }
    void OnReceiveEndTask(long nCallId) override { m_eventTranslator.OnReceiveEndTask(nCallId); }
    void OnReceiveRecordResult(short nResult) override { m_eventTranslator.OnReceiveRecordResult(nResult); }
    void OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult) override
    {
        m_eventTranslator.OnReceiveQuestionRecordingResult(bStart, nCallId, nResult);
    }
    void OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId) override
    {
        m_eventTranslator.OnReceiveSendInterviewConfirmation(nTaskId, nCallId);
    }
    void OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nChecksum) override
    {
        m_eventTranslator.OnReceiveInterviewData(nTaskId, nCallId, pData, nLength, nChecksum);
    }
    void OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                               const CString& strResources) override
    {
        m_eventTranslator.OnReceiveTaskContents(nTaskId, nChecksum, pData, nLength, strResources);
    }
    void OnReceiveStartPlaySoundResult(long nCallId, short nResult) override
    {
        m_eventTranslator.OnReceiveStartPlaySoundResult(nCallId, nResult);
    }
    void OnReceiveStopPlaySoundResult(long nCallId, short nResult) override
    {
        m_eventTranslator.OnReceiveStopPlaySoundResult(nCallId, nResult);
    }
    void OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                               DWORD nChecksum) override
    {
        m_eventTranslator.OnReceiveTaskResource(nTaskId, nResourceId, pData, nLength, nChecksum);
    }
    void OnReceiveOutboundGroupList(const CString& strList) override
    {
        m_eventTranslator.OnReceiveOutboundGroupList(strList);
    }
    void OnReceiveLocationList(const CString& strList) override { m_eventTranslator.OnReceiveLocationList(strList); }
    void OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                   const CString& strProperties) override
    {
        m_eventTranslator.OnReceiveStartKeyInResult(nResult, nCallId, nInterviewId, strProperties);
    }
    void OnReceiveStartTask(short nCallType, const CString& strProperties) override
    {
        m_eventTranslator.OnReceiveStartTask(nCallType, strProperties);
    }
    void OnReceiveStats(const CString& strStats) override { m_eventTranslator.OnReceiveStats(strStats); }
    void OnReceiveCallInfo(const CString& strCallInfo) override { m_eventTranslator.OnReceiveCallInfo(strCallInfo); }
    void OnReceiveMessage(const CString& strSender, CMessage& message) override
    {
        m_eventTranslator.OnReceiveMessage(strSender, message);
    }
    void OnAssignedToKeyIn(BOOL bAssigned) override { m_eventTranslator.OnAssignedToKeyIn(bAssigned); }
    void OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens) override
    {
        m_eventTranslator.OnReceiveSemiOpens(nSurveyId, arrSemiOpens);
    }
    void OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties) override
    {
        m_eventTranslator.OnReceiveKeyInInterview(nInterviewId, properties);
    }
    void OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength) override
    {
        m_eventTranslator.OnReceiveQuotaUpdate(nSurveyId, nUpdateType, pData, nLength);
    }
    void OnReceiveVolume(short nDevice, short nVolume) override { m_eventTranslator.OnReceiveVolume(nDevice, nVolume); }
    void OnReceiveMute(short nDevice, BOOL bMuted) override { m_eventTranslator.OnReceiveMute(nDevice, bMuted); }
    void OnReceiveVoipState(BOOL bReady) override { m_eventTranslator.OnReceiveVoipState(bReady); }
    void OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls) override
    {
        m_eventTranslator.OnReceiveCallHistory(nCallId, arrCalls);
    }
    void OnReceiveAnnotation(long nCallId, long nAnnotationType, long nAnnotationId, long nResult) override
    {
        m_eventTranslator.OnReceiveAnnotation(nCallId, nAnnotationType, nAnnotationId, nResult);
    }

private:
    // The helpers behind the members: they read and fill the mirror, use the link and the guards.
    friend class CLumoClientEventTranslator;
    friend class CLumoClientAgentRequests;
    friend class CLumoClientCallRequests;

    // Holds the control for the length of a scope that may pump or call a sink.
    class CSelfReference
    {
    public:
        explicit CSelfReference(CLumoClientCtrl& ctrl) : m_pUnknown(ctrl.GetUnknown()) { m_pUnknown->AddRef(); }
        ~CSelfReference() { m_pUnknown->Release(); }
        CSelfReference(const CSelfReference&) = delete;
        CSelfReference& operator=(const CSelfReference&) = delete;

    private:
        IUnknown* m_pUnknown;
    };

    void ReleaseLink();
    // The guards: true when the member may go on; otherwise the refusal text went to the sink.
    bool PassesLinkGuard();
    bool PassesJexGuard();
    bool PassesAgentGuard();
    bool IsAgentLoggedOn() const
    {
        return m_nAgentState != agentstate_LoggedOff && m_nAgentState != agentstate_UnKnown;
    }
    // A member refused for an object or out pointer it needs: the text names both, S_FALSE.
    HRESULT RefuseMissing(LPCWSTR pszMember, LPCWSTR pszArgument);
    // What the error sink shows or fires for the control.
    void ShowErrorBox(const CString& strText);
    void FireErrorEvent(const CString& strText);

    CComBSTR m_strLumoAddress{L"127.0.0.1"};
    SHORT m_nPort = 1905;
    LONG m_nApplicationId = 1;
    ConnectionStates m_nJexConnectionState = connection_Unknown;
    ConnectionStates m_nLumoConnectionState = connection_Disconnected;
    AgentStates m_nAgentState = agentstate_UnKnown;
    LONG m_nPauseReasonId = -1;
    LogModes m_nLogMode = logMode_Off;
    bool m_bPossibleMessageMaster = false;
    CLumoSocket* m_pLink = nullptr; // owned; released through SafeDelete
    WORD m_nMasterVolume = 0x8000;  // 0x8000: not known yet
    WORD m_nMicrophoneVolume = 0x8000;
    LONG m_nMasterMuted = -1; // -1: not known yet
    LONG m_nMicrophoneMuted = -1;
    LONG m_nIsVoIP = -1;
    std::map<LONG, LONG> m_mapAnonymisation; // call id to the annotation id of its anonymisation
    CLumoClientErrorSink m_errorSink{[this](const CString& strText) { ShowErrorBox(strText); },
                                     [this](const CString& strText) { FireErrorEvent(strText); }};
    CLumoClientArguments m_arguments{[this](const CString& strText) { LogError(strText); }};
    CLumoClientEventTranslator m_eventTranslator{*this};
    CLumoClientAgentRequests m_agentRequests{*this};
    CLumoClientCallRequests m_callRequests{*this};
};
