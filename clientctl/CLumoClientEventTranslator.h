#pragma once
#include "clientctl/ILumoSocketCallbacks.h"
#include "framework/CComPtr.h"
#include "framework/Platform.h" // Winsock before windows.h, which the generated header includes
#include "LumoClient.h"

class CLumoClientCtrl;

// Turns each command Lumo pushes into the control's event, with the data objects the event carries,
// and keeps the control's mirrored caches that the commands update.
class CLumoClientEventTranslator
{
public:
    explicit CLumoClientEventTranslator(CLumoClientCtrl& ctrl);
    CLumoClientEventTranslator(const CLumoClientEventTranslator&) = delete; // holds its control
    CLumoClientEventTranslator& operator=(const CLumoClientEventTranslator&) = delete;

    void OnReceivePauseList(const CString& strPauseList);
    void OnReceiveOutboundGroupList(const CString& strList);
    void OnReceiveLocationList(const CString& strList);
    void OnReceiveAgentList(short nListType, const CString& strAgentList);
    void OnReceiveDialNumberResult(long nResult);
    void OnReceiveEndTask(long nCallId);
    void OnReceiveRecordResult(short nResult);
    void OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult);
    void OnReceiveStartPlaySoundResult(long nCallId, short nResult);
    void OnReceiveStopPlaySoundResult(long nCallId, short nResult);
    void OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId);
    void OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nChecksum);
    void OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                               const CString& strResources);
    void OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength, DWORD nChecksum);
    void OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength);
    void OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls);
    void OnReceiveStartTask(short nCallType, const CString& strProperties);
    void OnReceiveStats(const CString& strStats);
    void OnReceiveCallInfo(const CString& strCallInfo);
    void OnReceiveMessage(const CString& strSender, CMessage& message);
    void OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId, const CString& strProperties);
    void OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties);
    void OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens);
    void OnAssignedToKeyIn(BOOL bAssigned);
    void OnReceiveVolume(short nDevice, short nVolume);
    void OnReceiveMute(short nDevice, BOOL bMuted);
    void OnReceiveVoipState(BOOL bReady);
    void OnReceiveAnnotation(long nCallId, long nAnnotationType, long nAnnotationId, long nResult);

private:
    // A new data object of the library with one reference, the caller's; throws when none can be made.
    template <class TObject, class TInterface> static CComPtr<TInterface> CreateObject();

    CLumoClientCtrl& m_ctrl;
};
