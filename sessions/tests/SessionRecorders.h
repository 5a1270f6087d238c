#pragma once
// Recording stand-ins for what owns the session core and the Jex links: the application object,
// the main window, the Jex link, message boxes and the update window and service. They record
// what is asked of them.
#include "sessions/CAgent.h"
#include "sessions/IJexSender.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/ILumoDlgHost.h"
#include "sessions/IMessageBoxSink.h"
#include "sessions/IUpdateServiceClient.h"
#include "sessions/IUpdateWindowSink.h"
#include "core/CMessage.h"
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CRecordingAppHost : public ILumoAppHost
{
public:
    CAgent& GetAgent() override { return m_agent; }
    CString GetVersionString() override { return L"4.2.0.17"; }
    CString GetWorkFolder() override { return L"C:\\work\\"; }
    BOOL IsStandalone() override { return FALSE; }
    CString GetInstalledSetupVersion() override { return L"4.2"; }
    long GetLocationId() override { return 3; }
    void SetLocation(long nLocationId, const CString&) override { m_nLocationId = nLocationId; }
    BOOL UseAuthentication() override { return m_bUseAuthentication; }
    BOOL StartProgram(long nApplicationId) override
    {
        m_started.push_back(nApplicationId);
        return TRUE;
    }
    BOOL IsVisible() override { return m_bVisible; }
    void ShowWindows() override
    {
        m_bVisible = TRUE;
        ++m_nShown;
    }
    BOOL CheckConnection() override
    {
        ++m_nChecks;
        return TRUE;
    }
    void QuitApplication() override {}
    void OnAgentLogon(long, int) override {}

    CAgent m_agent;
    long m_nLocationId = -1;
    std::vector<long> m_started; // application ids, in start order
    BOOL m_bVisible = TRUE;
    BOOL m_bUseAuthentication = FALSE;
    int m_nShown = 0;
    int m_nChecks = 0;
};

class CRecordingJex : public IJexSender
{
public:
    BOOL SendOnHold(long nCallId) override
    {
        m_sent.push_back(L"ONHOLD " + std::to_wstring(nCallId));
        return TRUE;
    }
    BOOL SendTakeBack(long nCallId) override
    {
        m_sent.push_back(L"TAKBAC " + std::to_wstring(nCallId));
        return TRUE;
    }
    BOOL RequestApplicationSettings(long nAgentId, long nOwner, int nFlag) override
    {
        m_sent.push_back(L"RQASFA " + std::to_wstring(nAgentId) + L" " + std::to_wstring(nOwner) + L" " +
                         std::to_wstring(nFlag));
        if (m_onRequest) m_onRequest();
        return TRUE;
    }

    BOOL SendApplicationLogon(long nPendingId, const CString& strField1, const CString& strField2,
                              const CString& strField3, const CString& strField4) override
    {
        m_sent.push_back(L"APPLGN " + std::to_wstring(nPendingId) + L" " + strField1.Str() + L" " + strField2.Str() +
                         L" " + strField3.Str() + L" " + strField4.Str());
        return TRUE;
    }

    std::vector<std::wstring> m_sent;
    std::function<void()> m_onRequest; // runs inside the request, before the core starts waiting
};

// The main window: the state the core reads, and a record of what it is told. The receivers of
// Jex commands are the links' business; the core never calls them.
class CRecordingDlgHost : public ILumoDlgHost
{
public:
    int GetAgentState() override { return m_nAgentState; }
    CString GetAgentStateText() override { return m_strAgentStateText; }
    BOOL IsAssignedToKeyIn() override { return m_bKeyIn; }
    BOOL HasSoftphone() override { return m_bSoftphone; }
    void WriteSoftphoneLog(const CString& strLine) override { m_softphoneLog.push_back(strLine.Str()); }
    void OnTaskStarted() override { ++m_nTasksStarted; }
    CString GetCallTypeText(long nCallType) override { return nCallType == 1 ? L"Voice" : L"Other"; }
    CString GetCallStateText(long nCallState) override { return nCallState == 2 ? L"Talking" : L"Idle"; }
    void SetLogonResult(int) override {}

    void LogOff() override {}
    BOOL IsMasterMuted() override { return FALSE; }
    BOOL IsMicrophoneMuted() override { return FALSE; }
    void SetMasterMute(BOOL) override {}
    void SetMicrophoneMute(BOOL) override {}
    double GetSpeakerVolume() override { return -1; }
    double GetMicrophoneVolume() override { return -1; }
    void SetMasterVolume(double) override {}
    void SetMicrophoneVolume(double) override {}
    void RequestCallHistory(long, long, long) override {}
    void SendDtmfForCall(long, const CString&, BOOL) override {}
    BOOL HandleDialKey(UINT) override { return FALSE; }
    void EndCall(int, const CString&, long) override {}
    void RequestAgentList(long, long, int) override {}
    void RequestPauseList(long, long) override {}
    void DialNumberForApplication(long, long, const CString&, const CString&) override {}
    void RecordCall(long, long) override {}
    void RequestPause(long, int) override {}
    void EndPause() override {}
    void SetPauseState(BOOL) override {}
    void StopQuestionRecording(long, long) override {}
    void TakeCallById(long) override {}
    long DialOnSoftPhone(const CString&) override { return 0; }
    void ApplySoftphoneAlarmLimits() override {}

    void SetAssignedToKeyIn(BOOL) override {}
    void SetAgentState(int, const CString&) override {}
    void OnAvailableOutbound(BOOL, long, const CString&) override {}
    void OnBlindTransferResult(long, long) override {}
    void OnCallInfo(const CString&) override {}
    void OnCallHistory(long, long, long, const BYTE*, DWORD, DWORD) override {}
    void OnConferenceAdded(const CString&) override {}
    void OnOutboundCallEnded(long) override {}
    void OnKeyInInterview(long, const CString&) override {}
    void OnPauseList(long, long, const CString&) override {}
    void OnManualDialResult(int) override {}
    void OnNextCallResult(int) override {}
    void OnNumberInfo(const CString&) override {}
    void OnConfirmTransferResult(int) override {}
    void OnHoldResult(int) override {}
    void OnQuotaUpdate(long, int, const BYTE*, DWORD) override {}
    void OnRecordCallResult(long, long) override {}
    void OnRefuseNumberResult(long, long, long) override {}
    void OnSelectNumberResult(long, long, long) override {}
    void OnManualDialRequest(int) override {}
    void ArrangeButtons() override {}
    void OnMessageReceived(const CString&, CMessage* pMessage) override { delete pMessage; }
    void OnStartKeyInResult(const CString&) override {}
    void ShowQueueStats(const CString&) override {}
    void StartInboundCall(const CString&) override {}
    void StartOutboundCall(const CString&) override {}
    void OnTakeBackResult(int) override {}
    void OnTakeCallResult(int) override {}
    void OnTransferCallResult(int) override {}
    void OnTransferEnded(int) override {}
    void StartTransferredCall(const CString&, BOOL) override {}
    void OnTransferToAgent(int) override {}
    void OnTaskResources(long, long, long, BYTE*, DWORD, DWORD) override {}
    void OnAnnotationChanged(long, long, long, long, int) override {}
    void UpdateSoftPhoneLog() override {}
    void OnUpdateSemiOpens(const CString&) override {}
    void OnScriptContents(long, const CString&, BOOL) override {}
    void CreateSoftphone() override {}
    void OnContactSearchResult(const CPropertyList&) override {}

    int m_nAgentState = 0;
    CString m_strAgentStateText = L"Ready";
    BOOL m_bKeyIn = FALSE;
    BOOL m_bSoftphone = FALSE;
    std::vector<std::wstring> m_softphoneLog;
    int m_nTasksStarted = 0;
};

// Message boxes as the links raise them, answered from a list (IDOK once it is empty).
class CAnsweringBoxes : public IMessageBoxSink
{
public:
    int ShowMessage(const CString& strText, UINT nType) override
    {
        m_boxes.push_back({strText.Str(), nType});
        if (m_answers.empty()) return IDOK;
        const int nAnswer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return nAnswer;
    }
    int ShowMessage(UINT nStringId, UINT nType) override
    {
        m_boxes.push_back({L"#" + std::to_wstring(nStringId), nType});
        return IDOK;
    }
    struct Box
    {
        std::wstring text;
        UINT type;
    };
    std::vector<Box> m_boxes;
    std::vector<int> m_answers;
};

class CRecordingUpdateWindow : public IUpdateWindowSink
{
public:
    void ShowUpdateWindow() override { m_events.push_back(L"window"); }
    void ShowUpdateProgress(long nReceived, long nTotal) override
    {
        m_events.push_back(L"progress");
        m_progress.push_back({nReceived, nTotal});
        if (m_onProgress) m_onProgress();
    }
    void ShowUpdateDone() override { m_events.push_back(L"done"); }
    void SetMessageBoxShown(BOOL bShown) override { m_events.push_back(bShown ? L"box on" : L"box off"); }
    std::vector<std::wstring> m_events;
    std::vector<std::pair<long, long>> m_progress; // received, total
    std::function<void()> m_onProgress;            // runs inside each progress report
};

// The update service: its check answers m_bRunning, a run m_bRunSucceeds.
class CRecordingUpdateService : public IUpdateServiceClient
{
public:
    BOOL CheckService(CString& strError) override
    {
        ++m_nChecks;
        strError = L"The update service is not running.";
        return m_bRunning;
    }
    BOOL RunUpdate(const CString& strProgram, const CString& strArguments, CString& strError, BOOL bDeleteProgram,
                   BOOL bWait) override
    {
        m_runs.push_back({strProgram.Str(), strArguments.Str(), bDeleteProgram, bWait});
        if (!m_bRunSucceeds) strError = L"access denied";
        return m_bRunSucceeds;
    }
    struct Run
    {
        std::wstring program, arguments;
        BOOL bDelete, bWait;
    };
    BOOL m_bRunning = TRUE;
    BOOL m_bRunSucceeds = FALSE;
    int m_nChecks = 0;
    std::vector<Run> m_runs;
};
