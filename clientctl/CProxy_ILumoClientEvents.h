#pragma once
#include "framework/IConnectionPointImpl.h"
#include "LumoClient.h"
// The control's event source: one firing operation per event of _ILumoClientEvents. Flags go out as
// VT_BOOL, enumerations as VT_I4; a byte array goes by reference and lives only during the call.
template <class T> class CProxy_ILumoClientEvents : public IConnectionPointImpl<T, &DIID__ILumoClientEvents>
{
public:
    HRESULT Fire_PauseListReceived(ILumoClientMap* mapPauses) { return Fire(1, false, Dispatch(mapPauses)); }
    HRESULT Fire_LumoConnectionChanged(ConnectionStates enumConnectionState)
    {
        return Fire(2, false, static_cast<long>(enumConnectionState));
    }
    HRESULT Fire_JexConnectionChanged(ConnectionStates enumConnectionState)
    {
        return Fire(3, false, static_cast<long>(enumConnectionState));
    }
    HRESULT Fire_AgentStateChanged(AgentStates enumAgentState)
    {
        return Fire(4, false, static_cast<long>(enumAgentState));
    }
    HRESULT Fire_AgentListReceived(ILumoClientMap* mapFirstNames, ILumoClientMap* mapLastNames,
                                   ILumoClientMap* mapUserNames)
    {
        return Fire(5, false, Dispatch(mapFirstNames), Dispatch(mapLastNames), Dispatch(mapUserNames));
    }
    HRESULT Fire_DialNumberResultReceived(DialResults enumResult)
    {
        return Fire(6, false, static_cast<long>(enumResult));
    }
    HRESULT Fire_EndTaskReceived(LONG lCallId) { return Fire(7, false, lCallId); }
    HRESULT Fire_RecordResultReceived(RecordResultCodes enumRecordResultCode)
    {
        return Fire(8, false, static_cast<long>(enumRecordResultCode));
    }
    HRESULT Fire_StartQuestionRecordingResultReceived(LONG lCallId, SHORT nResult)
    {
        return Fire(9, false, lCallId, nResult);
    }
    HRESULT Fire_StopQuestionRecordingResultReceived(LONG lCallId, SHORT nResult)
    {
        return Fire(10, false, lCallId, nResult);
    }
    HRESULT Fire_SendInterviewConfirmationReceived(LONG lTaskId, LONG lCallId)
    {
        return Fire(11, false, lTaskId, lCallId);
    }
    HRESULT Fire_TaskContentsReceived(LONG lTaskId, VARIANT* pTask, ULONG lCheckSum, ILumoClientMap* mapResources)
    {
        return Fire(12, false, lTaskId, ByRef(pTask), lCheckSum, Dispatch(mapResources));
    }
    HRESULT Fire_StartPlaySoundResultReceived(LONG lCallId, SHORT nResult) { return Fire(13, false, lCallId, nResult); }
    HRESULT Fire_StopPlaySoundResultReceived(LONG lCallId, SHORT nResult) { return Fire(14, false, lCallId, nResult); }
    HRESULT Fire_TaskResourceReceived(LONG lTaskId, LONG lResourceId, VARIANT* pResource, ULONG lCheckSum)
    {
        return Fire(15, false, lTaskId, lResourceId, ByRef(pResource), lCheckSum);
    }
    HRESULT Fire_OutboundGroupListReceived(ILumoClientMap* mapOutboundGroups)
    {
        return Fire(16, false, Dispatch(mapOutboundGroups));
    }
    HRESULT Fire_InterviewDataReceived(LONG lTaskId, LONG lCallId, VARIANT* pInterviewData, ULONG lCheckSum)
    {
        return Fire(17, false, lTaskId, lCallId, ByRef(pInterviewData), lCheckSum);
    }
    HRESULT Fire_LocationListReceived(ILumoClientMap* mapLocationNames, ILumoClientMap* mapLocationComputerNames)
    {
        return Fire(18, false, Dispatch(mapLocationNames), Dispatch(mapLocationComputerNames));
    }
    HRESULT Fire_StartTaskEx(SHORT nCallType, LONG lCallId, ILumoClientMap* mapFields)
    {
        return Fire(19, false, nCallType, lCallId, Dispatch(mapFields));
    }
    HRESULT Fire_StatsReceived(BSTR strGroupName, LONG lAvailableAgents, LONG lNumberOfCalls, LONG lWaitingTime)
    {
        return Fire(20, false, Text(strGroupName), lAvailableAgents, lNumberOfCalls, lWaitingTime);
    }
    HRESULT Fire_StartTask(SHORT nCallType, LONG lCallId, ILumoClientMap* mapParameters)
    {
        return Fire(21, false, nCallType, lCallId, Dispatch(mapParameters));
    }
    HRESULT Fire_CallInfoReceived(LONG lCallId, BSTR strGroupName, LONG lTotalTime, LONG QueueTime, BSTR strSender,
                                  BSTR strDestination, LONG lCallType, LONG lCallStatus, bool IsInbound,
                                  bool IsRecording)
    {
        return Fire(22, false, lCallId, Text(strGroupName), lTotalTime, QueueTime, Text(strSender),
                    Text(strDestination), lCallType, lCallStatus, IsInbound, IsRecording);
    }
    HRESULT Fire_MessageReceived(BSTR strSenderAgentName, ILumoClientMessage* Message)
    {
        return Fire(23, true, Text(strSenderAgentName), Dispatch(Message));
    }
    HRESULT Fire_UTCShiftServerChanged(LONG lOldUTCShiftServer, LONG lNewUTCShiftServer)
    {
        return Fire(24, false, lOldUTCShiftServer, lNewUTCShiftServer);
    }
    HRESULT Fire_MasterVolumeChanged(SHORT sNewValue) { return Fire(25, false, sNewValue); }
    HRESULT Fire_MicrophoneVolumeChanged(SHORT sNewValue) { return Fire(26, false, sNewValue); }
    HRESULT Fire_MasterMuteChanged(bool bNewValue) { return Fire(27, false, bNewValue); }
    HRESULT Fire_MicrophoneMuteChanged(bool bNewValue) { return Fire(28, false, bNewValue); }
    HRESULT Fire_VoipStateChanged(bool bNewValue) { return Fire(29, false, bNewValue); }
    HRESULT Fire_CallHistoryReceived(LONG lCallId, ILumoClientCallCollection* arrCalls)
    {
        return Fire(30, true, lCallId, Dispatch(arrCalls));
    }
    HRESULT Fire_AgentListReceivedEx(AgentListRequestTypes enumType, ILumoClientMap* mapFirstNames,
                                     ILumoClientMap* mapLastNames, ILumoClientMap* mapUserNames)
    {
        return Fire(31, false, static_cast<long>(enumType), Dispatch(mapFirstNames), Dispatch(mapLastNames),
                    Dispatch(mapUserNames));
    }
    HRESULT Fire_RecordingAnonymizationStateChanged(LONG lCallId, INT nState)
    {
        return Fire(32, false, lCallId, static_cast<long>(nState));
    }
    HRESULT Fire_AnnotationChanged(LONG lCallId, INT nResult, INT nAnnotationType, LONG lAnnotationId)
    {
        return Fire(33, false, lCallId, static_cast<long>(nResult), static_cast<long>(nAnnotationType), lAnnotationId);
    }
    HRESULT Fire_BrennUpdateSemiOpensReceived(LONG lSurveyId, ILumoClientStringCollection* arrSemiOpens)
    {
        return Fire(101, true, lSurveyId, Dispatch(arrSemiOpens));
    }
    HRESULT Fire_BrennAssignedToKeyIn(bool isKeyInOn) { return Fire(102, false, isKeyInOn); }
    HRESULT Fire_BrennStartKeyInResultReceived(SHORT nResult, LONG lCallId, LONG lInterviewId,
                                               ILumoClientMap* mapFields)
    {
        return Fire(103, false, nResult, lCallId, lInterviewId, Dispatch(mapFields));
    }
    HRESULT Fire_BrennKeyInInterviewReceived(LONG lInterviewId, ILumoClientMap* mapFields)
    {
        return Fire(104, false, lInterviewId, Dispatch(mapFields));
    }
    HRESULT Fire_BrennQuotaUpdateReceived(LONG lSurveyId, SHORT sUpdateType, VARIANT* arrData)
    {
        return Fire(105, false, lSurveyId, sUpdateType, ByRef(arrData));
    }
    HRESULT Fire_LumoClientError(BSTR strError) { return Fire(200, false, Text(strError)); }

private:
    // Each firing keeps the control alive: a sink may release it from inside the event.
    template <class... Args> HRESULT Fire(DISPID dispId, bool bWantResult, const Args&... args)
    {
        CComPtr<IUnknown> keepAlive(static_cast<T*>(this)->GetUnknown());
        return this->FireEvent(dispId, bWantResult, args...);
    }
    // A null object still goes out as VT_DISPATCH, as the declared type says.
    static IDispatch* Dispatch(IDispatch* p) noexcept { return p; }
    static LPCOLESTR Text(BSTR p) noexcept { return p ? p : L""; }
    static VARIANT ByRef(VARIANT* p) noexcept
    {
        VARIANT byRef;
        ::VariantInit(&byRef);
        byRef.vt = VT_BYREF | VT_VARIANT;
        byRef.pvarVal = p;
        return byRef;
    }
};
