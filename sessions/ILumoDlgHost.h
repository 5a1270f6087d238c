#pragma once
#include "framework/CString.h"

class CCallInfo;
class CMessage;
class CPropertyList;
class CWnd;

// What the links and the session core need of the main window: its state, its screen work
// (dialogs, softphone, audio) and the receivers of Jex commands. The call records, the held task
// contents and the application registers are the session core's, so they are not here. Absent
// (null in the core) while the main window does not exist.
class ILumoDlgHost
{
public:
    virtual ~ILumoDlgHost() = default;

    // State the core reads.
    virtual int GetAgentState() = 0;         // the state number sent with APLGIN answers
    virtual CString GetAgentStateText() = 0; // the text old-port applications get
    virtual BOOL IsAssignedToKeyIn() = 0;
    virtual BOOL HasSoftphone() = 0;
    virtual void WriteSoftphoneLog(const CString& strLine) = 0;
    virtual void OnTaskStarted() = 0;                    // a task was started in an application
    virtual CString GetCallTypeText(long nCallType) = 0; // display texts of the old port
    virtual CString GetCallStateText(long nCallState) = 0;
    virtual void SetLogonResult(int nResult) = 0;

    // Operations the links call.
    virtual void LogOff() = 0;
    virtual BOOL IsMasterMuted() = 0;
    virtual BOOL IsMicrophoneMuted() = 0;
    virtual void SetMasterMute(BOOL bMuted) = 0;
    virtual void SetMicrophoneMute(BOOL bMuted) = 0;
    virtual double GetSpeakerVolume() = 0; // 0.0 to 1.0, -1 when unknown
    virtual double GetMicrophoneVolume() = 0;
    virtual void SetMasterVolume(double dFraction) = 0;
    virtual void SetMicrophoneVolume(double dFraction) = 0;
    virtual void RequestCallHistory(long nCallId, long nRequestId, long nApplicationId) = 0;
    virtual void SendDtmfForCall(long nCallId, const CString& strDigits, BOOL bFlag) = 0;
    virtual BOOL HandleDialKey(UINT nChar) = 0;
    virtual void EndCall(int nResult, const CString& strEndText, long nCallId) = 0;
    virtual void RequestAgentList(long nRequestId, long nApplicationId, int nListKind) = 0;
    virtual void RequestPauseList(long nRequestId, long nApplicationId) = 0;
    virtual void DialNumberForApplication(long nRequestId, long nApplicationId, const CString& strNumber,
                                          const CString& strText) = 0;
    virtual void RecordCall(long nRequestId, long nCallId) = 0;
    virtual void RequestPause(long nPauseReasonId, int nStartType) = 0;
    virtual void EndPause() = 0;
    virtual void SetPauseState(BOOL bPause) = 0;
    // An old-port application asks for a pause under its id, so that the pause list comes back to
    // it, or ends one (-1).
    virtual void SetPauseStateFor(BOOL bPause, long /*nRequester*/) { SetPauseState(bPause); }
    // A message box shown when the main window gets to it: the caller goes on at once.
    virtual void PostMessageBox(const CString& /*strText*/) {}
    virtual void StopQuestionRecording(long nRequestId, long nCallId) = 0;
    virtual void TakeCallById(long nCallId) = 0;
    virtual long DialOnSoftPhone(const CString& strNumber) = 0;
    virtual void ApplySoftphoneAlarmLimits() = 0;

    // Receivers of Jex commands.
    virtual void SetAssignedToKeyIn(BOOL bAssigned) = 0;
    virtual void SetAgentState(int nState, const CString& strStateText) = 0;
    virtual void OnAvailableOutbound(BOOL bAvailable, long nGroupId, const CString& strGroup) = 0;
    virtual void OnBlindTransferResult(long nFirst, long nSecond) = 0;
    virtual void OnCallInfo(const CString& strCallInfo) = 0;
    // The bytes are valid only during the call.
    virtual void OnCallHistory(long nCallId, long nRequestId, long nApplicationId, const BYTE* pBytes, DWORD nLength,
                               DWORD nCrc) = 0;
    virtual void OnConferenceAdded(const CString& strText) = 0;
    virtual void OnOutboundCallEnded(long nCallId) = 0;
    virtual void OnKeyInInterview(long nInterviewId, const CString& strText) = 0;
    virtual void OnPauseList(long nRequestId, long nApplicationId, const CString& strList) = 0;
    virtual void OnManualDialResult(int nCode) = 0;
    virtual void OnNextCallResult(int nCode) = 0;
    virtual void OnNumberInfo(const CString& strText) = 0;
    virtual void OnConfirmTransferResult(int nCode) = 0;
    virtual void OnHoldResult(int nCode) = 0;
    virtual void OnQuotaUpdate(long nSurveyId, int nType, const BYTE* pBytes, DWORD nLength) = 0;
    virtual void OnRecordCallResult(long nId, long nResult) = 0;
    virtual void OnRefuseNumberResult(long nFirst, long nSecond, long nThird) = 0;
    virtual void OnSelectNumberResult(long nFirst, long nSecond, long nThird) = 0;
    virtual void OnManualDialRequest(int nType) = 0;
    virtual void ArrangeButtons() = 0;
    virtual void OnMessageReceived(const CString& strSender, CMessage* pMessage) = 0; // takes the message
    virtual void OnStartKeyInResult(const CString& strText) = 0;
    virtual void ShowQueueStats(const CString& strText) = 0;
    virtual void StartInboundCall(const CString& strTask) = 0;
    virtual void StartOutboundCall(const CString& strTask) = 0;
    virtual void OnTakeBackResult(int nCode) = 0;
    virtual void OnTakeCallResult(int nCode) = 0;
    virtual void OnTransferCallResult(int nCode) = 0;
    virtual void OnTransferEnded(int nCode) = 0;
    virtual void StartTransferredCall(const CString& strTask, BOOL bInbound) = 0;
    virtual void OnTransferToAgent(int nCode) = 0;
    // Takes the bytes (null without a resource).
    virtual void OnTaskResources(long nTaskId, long nApplicationId, long nResourceId, BYTE* pBytes, DWORD nLength,
                                 DWORD nCrc) = 0;
    virtual void OnAnnotationChanged(long nFirst, long nSecond, long nThird, long nFourth, int nFifth) = 0;
    virtual void UpdateSoftPhoneLog() = 0;
    virtual void OnUpdateSemiOpens(const CString& strText) = 0;
    virtual void OnScriptContents(long nScriptId, const CString& strText, BOOL bChecksumMatched) = 0;
    virtual void CreateSoftphone() = 0;
    virtual void OnContactSearchResult(const CPropertyList& result) = 0; // dropped when no search is open

    // ---- what the current application port needs besides.
    virtual CWnd* GetWnd() { return nullptr; } // the main window itself, for showing and hiding it
    // Ends the call of the record, or the only selected call when there is none (null).
    virtual void DropCall(CCallInfo* /*pCall*/) {}
};
