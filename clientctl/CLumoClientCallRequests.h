#pragma once
#include "framework/Platform.h" // Winsock before windows.h, which the generated header includes
#include "LumoClient.h"

class CLumoClientCtrl;
class CPropertyList;

// The members of the control that act on calls and tasks: dialling, recording, sounds, annotations,
// interview data, messages, e-mails and key-in. Each checks its guard and arguments, then asks
// through the control's link.
// S_OK when the work was done, S_FALSE when a guard, an argument or a missing answer refused it.
class CLumoClientCallRequests
{
public:
    explicit CLumoClientCallRequests(CLumoClientCtrl& ctrl);
    CLumoClientCallRequests(const CLumoClientCallRequests&) = delete; // holds its control
    CLumoClientCallRequests& operator=(const CLumoClientCallRequests&) = delete;

    HRESULT DialNumber(BSTR strNumber, BSTR strTag);
    HRESULT DropCall(LONG lCallId);
    HRESULT PutCallOnHold(LONG lCallId);
    HRESULT TakeCallOnHold(LONG lCallId);
    HRESULT RequestNextCall();
    HRESULT TakeCall(LONG lCallId);
    HRESULT Transfer(LONG lCallId, LONG lCallId2);
    HRESULT TagCall(LONG lCallId, BSTR strTag);
    HRESULT SendDTMF(LONG lCallId, BSTR strDTMF, VARIANT_BOOL bSilent);
    HRESULT StartTriggerPredictive(LONG lCallId, LONG lType);
    HRESULT StopTriggerPredictive(LONG lCallId, LONG lType);
    HRESULT ChangeOutboundGroup(LONG lOutboundGroupId);
    HRESULT SendInterviewStatus(LONG lCallId, BSTR strStatus);
    HRESULT StartRecording(LONG lCallId, RecordResultCodes* enumRecordResult);
    HRESULT RequestStartRecording(LONG lCallId);
    HRESULT StartQuestionRecording(LONG lCallId, BSTR strFileName, RecordResultCodes* nReturnVal);
    HRESULT StopQuestionRecording(LONG lCallId, VARIANT_BOOL* bResult);
    HRESULT RequestStartQuestionRecording(LONG lCallId, BSTR strFileName);
    HRESULT RequestStopQuestionRecording(LONG lCallId);
    HRESULT StartPlaySound(LONG lCallId, BSTR strFileName, VARIANT_BOOL* bResult);
    HRESULT StopPlaySound(LONG lCallId, VARIANT_BOOL* bResult);
    HRESULT RequestStartPlaySound(LONG lCallId, BSTR strFileName);
    HRESULT RequestStopPlaySound(LONG lCallId);
    HRESULT ChangeRecordingAnonymiseState(LONG lCallId, VARIANT_BOOL bOnOff);
    HRESULT CreateAnnotation(LONG lCallId, INT nAnnotationType, ILumoClientMap* mapArgs);
    HRESULT UpdateAnnotation(LONG lCallId, INT nAnnotationType, LONG lAnnotationId, ILumoClientMap* mapArgs);
    HRESULT EndTask(LONG lCallId, SHORT nCallResult, SHORT nCallSubResult, ILumoClientMap* mapFields);
    HRESULT EndTaskAfterConnectionLost(ILumoClientMap* mapFields);
    HRESULT RequestTaskContents(LONG lTaskId);
    HRESULT RequestTaskResources(LONG lTaskId, ILumoClientStringCollection* Ids);
    HRESULT SendInterview(LONG lTaskId, LONG lCallId, VARIANT* pInterviewData, ULONG lCheckSum, VARIANT_BOOL* bResult);
    HRESULT GetCallHistory(LONG lCallId, ILumoClientCallCollection** arrCalls, LONG* lResult);
    HRESULT RequestCallHistory(LONG lCallId);
    HRESULT SendMessageToSupervisor(ILumoClientMessage* toSend);
    HRESULT SendEmail(LONG lCallId, ILumoClientEmail* mailToSend);
    HRESULT BrennStartIVR(BSTR strInterviewGuid, LONG lCallId, BSTR strNumber);
    HRESULT BrennStartKeyIn(LONG lInterviewId);
    HRESULT BrennEndKeyIn(LONG lCallId);
    HRESULT BrennFindKeyInInterviews(ILumoClientMap* searchParameters, ILumoClientStringCollection* arrReturnFields);

private:
    CPropertyList PropertyListOf(ILumoClientMap* pMap);
    HRESULT SendInterviewData(LONG lTaskId, LONG lCallId, const VARIANT& data, ULONG lCheckSum, VARIANT_BOOL* bResult);

    CLumoClientCtrl& m_ctrl;
};
