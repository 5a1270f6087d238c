#pragma once
#include "clientctl/CLumoClientArguments.h"
#include "clientctl/CLumoClientErrorSink.h"
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
    STDMETHOD(get_IsPossibleMessageMaster)(VARIANT_BOOL* pVal) override;
    STDMETHOD(put_IsPossibleMessageMaster)(VARIANT_BOOL newVal) override;
    STDMETHOD(get_MasterVolume)(SHORT* pVal) override;
    STDMETHOD(put_MasterVolume)(SHORT newVal) override;
    STDMETHOD(get_MicrophoneVolume)(SHORT* pVal) override;
    STDMETHOD(put_MicrophoneVolume)(SHORT newVal) override;
    STDMETHOD(get_IsMasterMuted)(VARIANT_BOOL* pVal) override;
    STDMETHOD(put_IsMasterMuted)(VARIANT_BOOL newVal) override;
    STDMETHOD(get_IsMicrophoneMuted)(VARIANT_BOOL* pVal) override;
    STDMETHOD(put_IsMicrophoneMuted)(VARIANT_BOOL newVal) override;
    STDMETHOD(get_IsVoIP)(VARIANT_BOOL* pVal) override;
    STDMETHOD(GetPauseList)(ILumoClientMap* mapPauses, LONG* lReturnVal) override;
    STDMETHOD(RequestPauseList)() override;
    STDMETHOD(RequestStartPause)(LONG lPauseReasonId, StartPauseTypes enumStartPauseType) override;
    STDMETHOD(RequestStopPause)() override;
    STDMETHOD(ShowLumoClient)(VisibleModes enumVisibleMode) override;
    STDMETHOD(GetAgentList)
    (AgentListRequestTypes enumType, ILumoClientMap* mapFirstNames, ILumoClientMap* mapLastNames,
     ILumoClientMap* mapUserNames, LONG* lReturnVal) override;
    STDMETHOD(RequestAgentList)(AgentListRequestTypes enumType) override;
    STDMETHOD(DialNumber)(BSTR strNumber, BSTR strTag) override;
    STDMETHOD(EndTask)
    (LONG lCallId, SHORT nCallResult, SHORT nCallSubResult, ILumoClientMap* mapFields) override;
    STDMETHOD(AgentLogon)
    (BSTR strUserName, LONG lLocationId, BSTR strPassword, VARIANT_BOOL bPasswordAlreadyEncrypted,
     VARIANT_BOOL* nReturnVal) override;
    STDMETHOD(AgentLogonById)
    (LONG lAgentId, LONG lLocationId, BSTR strPassword, VARIANT_BOOL bPasswordAlreadyEncrypted,
     VARIANT_BOOL* nReturnVal) override;
    STDMETHOD(AgentLogOff)() override;
    STDMETHOD(DropCall)(LONG lCallId) override;
    STDMETHOD(PutCallOnHold)(LONG lCallId) override;
    STDMETHOD(TakeCallOnHold)(LONG lCallId) override;
    STDMETHOD(RequestNextCall)() override;
    STDMETHOD(StartRecording)(LONG lCallId, RecordResultCodes* enumRecordResult) override;
    STDMETHOD(RequestStartRecording)(LONG lCallId) override;
    STDMETHOD(StartTriggerPredictive)(LONG lCallId, LONG lType) override;
    STDMETHOD(StopTriggerPredictive)(LONG lCallId, LONG lType) override;
    STDMETHOD(StartQuestionRecording)
    (LONG lCallId, BSTR strFileName, RecordResultCodes* nReturnVal) override;
    STDMETHOD(StopQuestionRecording)(LONG lCallId, VARIANT_BOOL* bResult) override;
    STDMETHOD(RequestStartQuestionRecording)(LONG lCallId, BSTR strFileName) override;
    STDMETHOD(RequestStopQuestionRecording)(LONG lCallId) override;
    STDMETHOD(SendInterview)
    (LONG lTaskId, LONG lCallId, VARIANT* pInterviewData, ULONG lCheckSum, VARIANT_BOOL* bResult) override;
    STDMETHOD(RequestTaskContents)(LONG lTaskId) override;
    STDMETHOD(EndTaskAfterConnectionLost)(ILumoClientMap* mapFields) override;
    STDMETHOD(Transfer)(LONG lCallId, LONG lCallId2) override;
    STDMETHOD(TagCall)(LONG lCallId, BSTR strTag) override;
    STDMETHOD(StartPlaySound)(LONG lCallId, BSTR strFileName, VARIANT_BOOL* bResult) override;
    STDMETHOD(StopPlaySound)(LONG lCallId, VARIANT_BOOL* bResult) override;
    STDMETHOD(RequestStartPlaySound)(LONG lCallId, BSTR strFileName) override;
    STDMETHOD(RequestStopPlaySound)(LONG lCallId) override;
    STDMETHOD(RequestTaskResources)(LONG lTaskId, ILumoClientStringCollection* Ids) override;
    STDMETHOD(GetOutboundGroupList)(ILumoClientMap* mapOutboundGroups, LONG* lResult) override;
    STDMETHOD(RequestOutboundGroupList)() override;
    STDMETHOD(GetLocationList)
    (ILumoClientMap* mapNames, ILumoClientMap* mapComputerNames, LONG* lReturnVal) override;
    STDMETHOD(RequestLocationList)() override;
    STDMETHOD(ChangeOutboundGroup)(LONG lOutboundGroupId) override;
    STDMETHOD(GetAgentSetting)
    (LONG lSettingId, LONG* lValue, BSTR* strValue, VARIANT_BOOL* bResult) override;
    STDMETHOD(SaveAgentSetting)(LONG lSettingId, BSTR strName, LONG lValue, BSTR strValue) override;
    STDMETHOD(SendMessageToSupervisor)(ILumoClientMessage* toSend) override;
    STDMETHOD(SendEmail)(LONG lCallId, ILumoClientEmail* mailToSend) override;
    STDMETHOD(GetReplayMasterRole)(VARIANT_BOOL allowOthersToTakeRole, VARIANT_BOOL* retHasRole) override;
    STDMETHOD(ReleaseReplayMasterRole)(VARIANT_BOOL* retHasRole) override;
    STDMETHOD(TakeCall)(LONG lCallId) override;
    STDMETHOD(SendDTMF)(LONG lCallId, BSTR strDTMF, VARIANT_BOOL bSilent) override;
    STDMETHOD(GetCallHistory)(LONG lCallId, ILumoClientCallCollection** arrCalls, LONG* lResult) override;
    STDMETHOD(RequestCallHistory)(LONG lCallId) override;
    STDMETHOD(SendInterviewStatus)(LONG lCallId, BSTR strStatus) override;
    STDMETHOD(ChangeRecordingAnonymiseState)(LONG lCallId, VARIANT_BOOL bOnOff) override;
    STDMETHOD(CreateAnnotation)(LONG lCallId, INT nAnnotationType, ILumoClientMap* mapArgs) override;
    STDMETHOD(UpdateAnnotation)
    (LONG lCallId, INT nAnnotationType, LONG lAnnotationId, ILumoClientMap* mapArgs) override;
    STDMETHOD(BrennStartIVR)(BSTR strInterviewGuid, LONG lCallId, BSTR strNumber) override;
    STDMETHOD(BrennStartKeyIn)(LONG lInterviewId) override;
    STDMETHOD(BrennEndKeyIn)(LONG lCallId) override;
    STDMETHOD(BrennFindKeyInInterviews)
    (ILumoClientMap* searchParameters, ILumoClientStringCollection* arrReturnFields) override;

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
    void OnReceivePauseList(const CString& strPauseList) override;
    void OnReceiveAgentList(short nListType, const CString& strAgentList) override;
    void OnReceiveDialNumberResult(long nResult) override;
    void OnReceiveEndTask(long nCallId) override;
    void OnReceiveRecordResult(short nResult) override;
    void OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult) override;
    void OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId) override;
    void OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nChecksum) override;
    void OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                               const CString& strResources) override;
    void OnReceiveStartPlaySoundResult(long nCallId, short nResult) override;
    void OnReceiveStopPlaySoundResult(long nCallId, short nResult) override;
    void OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                               DWORD nChecksum) override;
    void OnReceiveOutboundGroupList(const CString& strList) override;
    void OnReceiveLocationList(const CString& strList) override;
    void OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                   const CString& strProperties) override;
    void OnReceiveStartTask(short nCallType, const CString& strProperties) override;
    void OnReceiveStats(const CString& strStats) override;
    void OnReceiveCallInfo(const CString& strCallInfo) override;
    void OnReceiveMessage(const CString& strSender, CMessage& message) override;
    void OnAssignedToKeyIn(BOOL bAssigned) override;
    void OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens) override;
    void OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties) override;
    void OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength) override;
    void OnReceiveVolume(short nDevice, short nVolume) override;
    void OnReceiveMute(short nDevice, BOOL bMuted) override;
    void OnReceiveVoipState(BOOL bReady) override;
    void OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls) override;
    void OnReceiveAnnotation(long nCallId, long nAnnotationType, long nAnnotationId, long nResult) override;

private:
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
    // The cached audio properties; nDevice 1 is the speaker, 2 the microphone.
    HRESULT GetVolume(short nDevice, WORD& nCache, SHORT* pVal);
    HRESULT PutVolume(short nDevice, WORD& nCache, SHORT newVal);
    HRESULT GetMute(short nDevice, LONG& nCache, VARIANT_BOOL* pVal);
    HRESULT PutMute(short nDevice, LONG& nCache, VARIANT_BOOL newVal);
    // A property list from a client's map; a missing map gives an empty list.
    CPropertyList PropertyListOf(ILumoClientMap* pMap);
    // The sending half of SendInterview once the guard passed.
    HRESULT SendInterviewData(LONG lTaskId, LONG lCallId, const VARIANT& data, ULONG lCheckSum, VARIANT_BOOL* bResult);
    // What the error sink shows or fires for the control.
    void ShowErrorBox(const CString& strText);
    void FireErrorEvent(const CString& strText);
    // A new data object of the library with one reference, the caller's; throws when none can be made.
    template <class TObject, class TInterface> static CComPtr<TInterface> CreateObject();

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
};
