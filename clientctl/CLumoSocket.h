#pragma once
#include "clientctl/CCall.h"
#include "clientctl/CSyncSocketEx.h"
#include "framework/CList.h"
#include <vector>

class CMailMessage;
class CMessage;
class CPropertyList;
class ILumoSocketCallbacks;

// The control's connection to Lumo's application port: the connection sequence (greeting, version check,
// APLGIN) and the commands Lumo sends without being waited for, each passed on to the control.
class CLumoSocket : public CSyncSocketEx
{
public:
    explicit CLumoSocket(ILumoSocketCallbacks* pControl);

    // TCP connect and greeting, the version comparison, then the registration with APLGIN.
    BOOL Connect(LPCWSTR pszAddress, short nPort, long nApplicationId, BOOL bPossibleMessageMaster);

    // The control's Uninit clears it: nothing reaches the control afterwards.
    void SetControl(ILumoSocketCallbacks* pControl) { m_pControl = pControl; }
    ILumoSocketCallbacks* GetControl() const { return m_pControl; }

    // The version this library compares with Lumo's; by default the file version of the module it is
    // linked into.
    void SetOwnVersion(const CString& strVersion) { m_strOwnVersion = strVersion; }
    const CString& GetOwnVersion() const { return m_strOwnVersion; }
    // Versions match when they agree, without regard to case, up to their last dot.
    static bool IsSameVersion(const CString& strOwn, const CString& strLumo);

    // A text as one blank-free field of a request line.
    static CString EscapeParameter(const CString& strText);

    // Requests that wait up to 3 s for their answer; each gives the failure value named when none came.
    CString GetAgentList(short nListType); // empty text
    CString GetLocationList();             // empty text
    CString GetOutboundGroupList();        // empty text
    CString GetPauseList();                // empty text
    // FALSE, the values untouched, when no answer came or it held an empty list.
    BOOL GetAgentSetting(long nSettingId, long& nValue, CString& strValue);
    // FALSE for no answer, a checksum that differs or a history that does not load (both reported).
    BOOL GetCallHistory(long nCallId, CCallArray& arrCalls);
    BOOL GetMute(short nDevice, BOOL& bMuted);            // FALSE
    BOOL GetVolume(short nDevice, short& nVolume);        // FALSE
    BOOL IsVoIP(BOOL& bVoIP);                             // FALSE
    BOOL ReplayMasterRole(BOOL bTake, BOOL bAllowOthers); // FALSE
    // TRUE only when Lumo answers with the number 0; the password goes as given when already encrypted.
    BOOL AgentLogon(const CString& strUserName, long nLocationId, const CString& strPassword,
                    BOOL bPasswordAlreadyEncrypted);
    BOOL AgentLogonById(long nAgentId, long nLocationId, const CString& strPassword, BOOL bPasswordAlreadyEncrypted);
    BOOL StartPlaySound(long nCallId, const CString& strFileName);          // FALSE
    BOOL StopPlaySound(long nCallId);                                       // FALSE
    short StartQuestionRecording(long nCallId, const CString& strFileName); // -1
    short StopQuestionRecording(long nCallId);                              // 0
    short StartRecording(long nCallId);                                     // -1

    // Requests sent without waiting; whatever Lumo answers comes back through the command map.
    void RequestAgentList(short nListType);
    void RequestCallHistory(long nCallId);
    void RequestLocationList();
    void RequestOutboundGroupList();
    void RequestPauseList();
    void RequestStartPlaySound(long nCallId, const CString& strFileName);
    void RequestStopPlaySound(long nCallId);
    void RequestStartQuestionRecording(long nCallId, const CString& strFileName);
    void RequestStopQuestionRecording(long nCallId);
    void RequestStartRecording(long nCallId);
    void RequestTaskContents(long nTaskId);
    void RequestTaskResources(long nTaskId, const CList<long, long>& lstResourceIds);
    void RequestStartPause(long nPauseReasonId, short nStartType);
    void RequestStopPause();
    void RequestNextCall();
    void AgentLogOff();
    void DialNumber(const CString& strNumber, const CString& strTag);
    void DropCall(long nCallId);
    void TakeCall(long nCallId);
    void PutCallOnHold(long nCallId);
    void TakeCallOnHold(long nCallId);
    void Transfer(long nCallId, long nCallId2);
    void TagCall(long nCallId, const CString& strTag);
    void SendDTMF(long nCallId, const CString& strDigits, BOOL bSilent);
    void TriggerPredictive(BOOL bStart, long nCallId, long nType);
    void ChangeOutboundGroup(long nOutboundGroupId);
    void EndTask(short nCallResult, const CPropertyList& fields);
    void EndTaskAfterConnectionLost(const CPropertyList& fields);
    void SendInterviewStatus(long nCallId, const CString& strStatus);
    void SaveAgentSetting(long nSettingId, const CString& strName, long nValue, const CString& strValue);
    void UpdateAnnotation(long nCallId, long nAnnotationType, long nAnnotationId, const CPropertyList& arguments);
    void ShowLumoClient(short nVisibleMode);
    void SetMute(short nDevice, BOOL bMuted);
    void SetVolume(short nDevice, short nVolume);
    void SetPossibleMessageMaster(BOOL bPossible);
    void BrennStartKeyIn(long nInterviewId);
    void BrennEndKeyIn(long nCallId);
    void BrennStartIVR(const CString& strInterviewGuid, long nCallId, const CString& strNumber);
    void BrennFindKeyInInterviews(const CPropertyList& searchParameters, const CStringArray& arrReturnFields);
    // The bytes are copied before these return.
    void SendInterview(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nChecksum);
    void SendMessage(const CMessage& message);
    void SendEmail(long nCallId, const CMailMessage& mail);

    void OnDisconnected(int nErrorCode) override;
    CSyncSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;
    void OnServerTime(const CString& strClock) override;
    void OnLinkError(const CString& strText) override;

protected:
    BOOL ProcessCommandAGSTAT(CStringArray& arrFields);
    BOOL ProcessCommandLSTPAU(CStringArray& arrFields);
    BOOL ProcessCommandLSTAGT(CStringArray& arrFields);
    BOOL ProcessCommandMANDIA(CStringArray& arrFields);
    BOOL ProcessCommandENDTSK(CStringArray& arrFields);
    BOOL ProcessCommandJEXSTA(CStringArray& arrFields);
    BOOL ProcessCommandRECCAL(CStringArray& arrFields);
    BOOL ProcessCommandQRESTA(CStringArray& arrFields);
    BOOL ProcessCommandQRESTO(CStringArray& arrFields);
    BOOL ProcessCommandSNDINT(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandUPDTSK(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandPLSSTA(CStringArray& arrFields);
    BOOL ProcessCommandPLSSTO(CStringArray& arrFields);
    BOOL ProcessCommandTSKRES(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandLSTOGR(CStringArray& arrFields);
    BOOL ProcessCommandLSTLOC(CStringArray& arrFields);
    BOOL ProcessCommandSTAKYI(CStringArray& arrFields);
    BOOL ProcessCommandSTACAL(CStringArray& arrFields);
    BOOL ProcessCommandSTAQUE(CStringArray& arrFields);
    BOOL ProcessCommandCALINF(CStringArray& arrFields);
    BOOL ProcessCommandSNDMSG(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandASSKYI(CStringArray& arrFields);
    BOOL ProcessCommandUPDSMO(CStringArray& arrFields);
    BOOL ProcessCommandKYIINT(CStringArray& arrFields);
    BOOL ProcessCommandQTAUPD(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandAUVLME(CStringArray& arrFields);
    BOOL ProcessCommandAUMUTE(CStringArray& arrFields);
    BOOL ProcessCommandVOIRDY(CStringArray& arrFields);
    BOOL ProcessCommandCALLHY(CStringArray& arrFields, BYTE* pData, DWORD nLength);
    BOOL ProcessCommandUPDANO(CStringArray& arrFields);

    // The history of a CALLHY payload; FALSE when the archive was corrupt (the array holds what was read).
    static BOOL ReadCallHistory(BYTE* pData, DWORD nLength, CCallArray& arrCalls);

    static CSyncSocketCommandMap s_mapCommands;

private:
    static CString ReadModuleVersion();
    // The answer's fields to a request posted with a waiter; FALSE when none came within 3 s.
    BOOL WaitForAnswerFields(long nId, CStringArray& arrFields, int nMinFields);
    // The first field of the answer, or empty text.
    CString AskForList(LPCWSTR pszCommand);
    BOOL AskLogon(const CString& strFields);
    // The bytes of every attachment one after the other, as long as all their sizes together.
    std::vector<BYTE> ReadAttachments(const CMessage& message);

    ILumoSocketCallbacks* m_pControl;
    CString m_strOwnVersion;
};
