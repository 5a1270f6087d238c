#pragma once
// Recording stand-ins for what owns the session core and the Jex links: the application object,
// the main window in its roles, the Jex link, message boxes and the update window and service.
// They record what is asked of them, and CUnhandledRecord what nobody served.
#include "sessions/CAgent.h"
#include "sessions/IJexSender.h"
#include "sessions/CHostRoles.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IMessageBoxSink.h"
#include "sessions/IUpdateServiceClient.h"
#include "sessions/IUpdateWindowSink.h"
#include "core/CMessage.h"
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The application object: what the session core reads of it and whether the desktop shows.
class CRecordingAppHost : public ILumoAppHost, public IDesktopWindows
{
public:
    CAgent& GetAgent() override { return m_agent; }
    CString GetVersionString() override { return L"4.2.0.17"; }
    CString GetWorkFolder() override { return L"C:\\work\\"; }
    BOOL IsStandalone() override { return FALSE; }
    CString GetInstalledSetupVersion() override { return L"4.2"; }
    CString GetLogFileLocation() override { return CString(); }
    CString GetInputTracePath() override { return CString(); }
    CString GetOutputTracePath() override { return CString(); }
    long GetLocationId() override { return 3; }
    long GetRegistryLocationId() override { return 0; }
    void SetLocation(long nLocationId, const CString&) override { m_nLocationId = nLocationId; }
    BOOL UseAuthentication() override { return m_bUseAuthentication; }
    BOOL StartProgram(long nApplicationId) override
    {
        m_started.push_back(nApplicationId);
        return TRUE;
    }
    BOOL CheckConnection() override
    {
        ++m_nChecks;
        return TRUE;
    }
    void QuitApplication() override {}
    void OnAgentLogon(long, int) override {}

    // IDesktopWindows
    BOOL IsVisible() override { return m_bVisible; }
    void ShowWindows() override
    {
        m_bVisible = TRUE;
        ++m_nShown;
    }
    void SetVisible(BOOL) override {}
    CWnd* GetConnectionDialogWnd() override { return nullptr; }

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

// The main window in every role it serves: the state the core reads, and a record of what it is
// told. The receivers of Jex commands are the links' business; the core never calls them.
class CRecordingDlgHost : public IAgentState,
                          public IPauses,
                          public IQueueDisplay,
                          public IAudioControls,
                          public ISoftphone,
                          public ICallActions,
                          public ICallEvents,
                          public IDialing,
                          public ITasks,
                          public IAgentMessages
{
public:
    // IAgentState
    int GetAgentState() override { return m_nAgentState; }
    CString GetAgentStateText() override { return m_strAgentStateText; }
    BOOL IsAssignedToKeyIn() override { return m_bKeyIn; }
    void SetAssignedToKeyIn(BOOL) override {}
    void SetAgentState(int, const CString&) override {}
    void OnAvailableOutbound(BOOL, long, const CString&) override {}
    void SetLogonResult(int) override {}
    void ArrangeButtons() override {}
    void LogOff() override {}
    CWnd* GetWnd() override { return nullptr; }

    // IPauses
    void RequestPause(long, int) override {}
    void EndPause() override {}
    void SetPauseStateFor(BOOL, long) override {}
    void RequestPauseList(long, long) override {}
    void OnPauseList(long, long, const CString&) override {}

    // IQueueDisplay
    void ShowQueueStats(const CString&) override {}
    void OnUpdateSemiOpens(const CString&) override {}
    void OnQuotaUpdate(long, int, const BYTE*, DWORD) override {}

    // IAudioControls
    BOOL IsMasterMuted() override { return FALSE; }
    BOOL IsMicrophoneMuted() override { return FALSE; }
    void SetMasterMute(BOOL) override {}
    void SetMicrophoneMute(BOOL) override {}
    double GetSpeakerVolume() override { return -1; }
    double GetMicrophoneVolume() override { return -1; }
    void SetMasterVolume(double) override {}
    void SetMicrophoneVolume(double) override {}

    // ISoftphone
    BOOL HasSoftphone() override { return m_bSoftphone; }
    void WriteSoftphoneLog(const CString& strLine) override { m_softphoneLog.push_back(strLine.Str()); }
    void UpdateSoftPhoneLog() override {}
    long DialOnSoftPhone(const CString&) override { return 0; }

    // ICallActions
    void EndCall(int, const CString&, long) override {}
    void DropCall(CCallInfo*) override {}
    void TakeCallById(long) override {}
    void RecordCall(long, long) override {}
    void StopQuestionRecording(long, long) override {}
    void SendDtmfForCall(long, const CString&, BOOL) override {}
    void DialNumberForApplication(long, long, const CString&, const CString&) override {}
    void RequestCallHistory(long, long, long) override {}
    void RequestAgentList(long, long, int) override {}
    CString GetCallTypeText(long nCallType) override { return nCallType == 1 ? L"Voice" : L"Other"; }
    CString GetCallStateText(long nCallState) override { return nCallState == 2 ? L"Talking" : L"Idle"; }

    // ICallEvents
    void OnCallInfo(const CString&) override {}
    void OnHoldResult(int) override {}
    void OnTakeBackResult(int) override {}
    void OnTakeCallResult(int) override {}
    void OnTransferCallResult(int) override {}
    void OnConfirmTransferResult(int) override {}
    void OnTransferEnded(int) override {}
    void OnTransferToAgent(int) override {}
    void OnBlindTransferResult(long, long) override {}
    void OnConferenceAdded(const CString&) override {}
    void OnOutboundCallEnded(long) override {}
    void OnRecordCallResult(long, long) override {}
    void OnAnnotationChanged(long, long, long, long, int) override {}
    void OnCallHistory(long, long, long, const BYTE*, DWORD, DWORD) override {}

    // IDialing
    void OnManualDialRequest(int) override {}
    void OnManualDialResult(int) override {}
    void OnNextCallResult(int) override {}
    void OnNumberInfo(const CString&) override {}
    void OnRefuseNumberResult(long, long, long) override {}
    void OnSelectNumberResult(long, long, long) override {}
    void OnKeyInInterview(long, const CString&) override {}
    void OnStartKeyInResult(const CString&) override {}

    // ITasks
    void StartInboundCall(const CString&) override {}
    void StartOutboundCall(const CString&) override {}
    void StartTransferredCall(const CString&, BOOL) override {}
    void OnTaskStarted() override { ++m_nTasksStarted; }
    void OnTaskResources(long, long, long, std::unique_ptr<BYTE[]>, DWORD, DWORD) override {}
    void OnScriptContents(long, const CString&, BOOL) override {}
    void OnContactSearchResult(const CPropertyList&) override {}

    // IAgentMessages
    void OnMessageReceived(const CString&, std::unique_ptr<CMessage>) override {}
    void PostMessageBox(const CString&) override {}

    int m_nAgentState = 0;
    CString m_strAgentStateText = L"Ready";
    BOOL m_bKeyIn = FALSE;
    BOOL m_bSoftphone = FALSE;
    std::vector<std::wstring> m_softphoneLog;
    int m_nTasksStarted = 0;
};

// What went unhandled where the roles are held: "ROLE CALLER", in order.
class CUnhandledRecord
{
public:
    void Watch(CHostRoles& roles)
    {
        roles.SetUnhandledObserver([this](const char* pszRole, const char* pszCaller) {
            m_lines.push_back(std::string(pszRole) + " " + pszCaller);
        });
    }
    std::vector<std::string> m_lines;
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
