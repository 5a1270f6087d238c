#pragma once
#include "clientctl/CCall.h"
#include "framework/CString.h"
#include "framework/CStringArray.h"

class CMessage;
class CPropertyList;

// What the link to Lumo tells its control, always on the control's thread. Byte pointers and objects are
// valid only during the call: the receiver copies what it keeps.
class ILumoSocketCallbacks
{
public:
    virtual ~ILumoSocketCallbacks() = default;

    virtual void OnError(const CString& strText) = 0;
    virtual void OnLumoConnectionPending() = 0;
    virtual void OnJexConnectionChanged(BOOL bConnected) = 0;
    virtual void OnAgentStateChanged(short nAgentState) = 0;
    virtual void OnDisconnected(int nErrorCode) = 0;
    virtual void OnUTCShiftServerChanged(long nOldShift, long nNewShift) = 0;

    virtual void OnReceivePauseList(const CString& strPauseList) = 0;
    virtual void OnReceiveAgentList(short nListType, const CString& strAgentList) = 0;
    virtual void OnReceiveDialNumberResult(long nResult) = 0;
    virtual void OnReceiveEndTask(long nCallId) = 0;
    virtual void OnReceiveRecordResult(short nResult) = 0;
    virtual void OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult) = 0;
    virtual void OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId) = 0;
    virtual void OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength,
                                        DWORD nChecksum) = 0;
    virtual void OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                                       const CString& strResources) = 0;
    virtual void OnReceiveStartPlaySoundResult(long nCallId, short nResult) = 0;
    virtual void OnReceiveStopPlaySoundResult(long nCallId, short nResult) = 0;
    virtual void OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                                       DWORD nChecksum) = 0;
    virtual void OnReceiveOutboundGroupList(const CString& strList) = 0;
    virtual void OnReceiveLocationList(const CString& strList) = 0;
    virtual void OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                           const CString& strProperties) = 0;
    virtual void OnReceiveStartTask(short nCallType, const CString& strProperties) = 0;
    virtual void OnReceiveStats(const CString& strStats) = 0;
    virtual void OnReceiveCallInfo(const CString& strCallInfo) = 0;
    virtual void OnReceiveMessage(const CString& strSender, CMessage& message) = 0;
    virtual void OnAssignedToKeyIn(BOOL bAssigned) = 0;
    virtual void OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens) = 0;
    virtual void OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties) = 0;
    virtual void OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength) = 0;
    virtual void OnReceiveVolume(short nDevice, short nVolume) = 0;
    virtual void OnReceiveMute(short nDevice, BOOL bMuted) = 0;
    virtual void OnReceiveVoipState(BOOL bReady) = 0;
    virtual void OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls) = 0;
    virtual void OnReceiveAnnotation(long nValue1, long nValue2, long nValue3, long nValue4) = 0;
};
