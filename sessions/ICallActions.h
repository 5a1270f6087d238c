#pragma once
#include "framework/CString.h"

class CCallInfo;

// What the local applications ask of the agent's calls, through the main window that holds the
// softphone and the selected call. Both application ports call it; the session core reads the
// old port's display texts from it. The desktop's main window serves it.
class ICallActions
{
public:
    static constexpr const char* kRoleName = "ICallActions";
    virtual ~ICallActions() = default;

    virtual void EndCall(int nResult, const CString& strEndText, long nCallId) = 0;
    // Ends the call of the record, or the only selected call when there is none (null).
    virtual void DropCall(CCallInfo* pCall) = 0;
    virtual void TakeCallById(long nCallId) = 0;
    virtual void RecordCall(long nRequestId, long nCallId) = 0;
    virtual void StopQuestionRecording(long nRequestId, long nCallId) = 0;
    virtual void SendDtmfForCall(long nCallId, const CString& strDigits, BOOL bFlag) = 0;
    virtual void DialNumberForApplication(long nRequestId, long nApplicationId, const CString& strNumber,
                                          const CString& strText) = 0;
    virtual void RequestCallHistory(long nCallId, long nRequestId, long nApplicationId) = 0;
    virtual void RequestAgentList(long nRequestId, long nApplicationId, int nListKind) = 0;
    virtual CString GetCallTypeText(long nCallType) = 0; // display texts of the old port
    virtual CString GetCallStateText(long nCallState) = 0;
};
