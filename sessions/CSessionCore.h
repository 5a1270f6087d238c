#pragma once
#include "sessions/CCallInfo.h"
#include "sessions/CHostRoles.h"
#include "sessions/CSmartObjectPtr.h"
#include "sessions/IApplicationRelay.h"
#include "framework/CString.h"
#include <map>
#include <memory>
#include <vector>

class CAgentSetting;
class CAgentSettingStore;
class CAsyncSocketEx;
class CMessage;
class IJexSender;
class ILumoAppHost;
class IOldApplicationLink;

// The agent session behind the desktop's services: the registers of the local applications on
// both application ports, what is sent to them, the call records, the task contents held for a
// program that is not connected yet, and the settings Jex keeps for the applications. The
// application object owns it and the main window delegates to it, so the registers and the call
// records stay consistent with each other. Everything runs on the GUI thread.
//
// Registers iterate in ascending application id: broadcasts reach applications in that order and
// the replay-master successor is the lowest eligible id.
//
// The class is large: CSessionCore.cpp holds the registers and the replay master,
// CSessionCoreBroadcasts.cpp what is sent to all or to one application, CSessionCoreTasks.cpp the
// calls, held tasks, holds and the settings cache.
class CSessionCore : public IApplicationRelay
{
public:
    static constexpr long kBrennClientId = 0;
    static constexpr long kQuillanId = 11;

    // The waits of the session; tests shorten them.
    struct Timings
    {
        DWORD nRegistrationPauseMs = 100; // after the APLGIN answer, before the deliveries
        int nSettingsWaitRounds = 100;    // rounds of pumping while Jex sends application settings
        DWORD nSettingsWaitStepMs = 100;
        ULONGLONG nHoldIntervalMs = 2000; // a hold or take-back closer to the last one is ignored
        int nJexWaitRounds = 12;          // rounds before an APLGIN answer while there is no Jex link
        DWORD nJexWaitStepMs = 100;
    };

    explicit CSessionCore(ILumoAppHost& app);
    CSessionCore(const CSessionCore&) = delete; // the registers hold sockets the owner passed in
    CSessionCore& operator=(const CSessionCore&) = delete;
    ~CSessionCore() override;

    // Who serves the desktop's roles: the application object's from the start, the main window's
    // while it exists (installed and withdrawn by its owner). The application ports use these too.
    CHostRoles& Roles() { return m_roles; }
    const CHostRoles& Roles() const { return m_roles; }
    bool HasMainWindow() const { return m_roles.Has<IAgentState>(); }
    void SetJexSender(IJexSender* pJex) { m_pJex = pJex; } // null while there is no Jex link
    void SetAgentSettingStore(CAgentSettingStore* pStore) { m_pAgentSettings = pStore; }
    void SetTimings(const Timings& timings) { m_timings = timings; }

    // ---- registers (CSessionCore.cpp) ----
    // Current port: FALSE (nothing changes) when the id is taken. Otherwise registers the socket,
    // answers its APLGIN ("APLGIN %ld -1 %d %d": request id, Jex link present, agent state) and makes
    // the deliveries that wait for it. bMayBeReplayMaster is the second field of its APLGIN. While
    // the main window has no Jex link, the answer waits a little for one.
    BOOL AddApplication(long nApplicationId, CAsyncSocketEx* pSocket, BOOL bMayBeReplayMaster, long nRequestId);
    // Old port: FALSE when the id is taken; otherwise registers, answers "APLGIN %s" with the version
    // and makes the old port's deliveries.
    BOOL AddOldApplication(long nApplicationId, IOldApplicationLink* pLink);
    // The closing socket leaves its register. An application may hold its id on both ports: only
    // when neither port holds the id any more is it gone (connected marks, replay master). TRUE
    // when the socket was registered; a socket that never was (closed before its APLGIN, or
    // refused) changes nothing at all.
    BOOL RemoveApplication(long nApplicationId, CAsyncSocketEx* pSocket);
    BOOL RemoveOldApplication(long nApplicationId, IOldApplicationLink* pLink); // the same for the old port
    // Logging off: every registered old-port application's connection closes and leaves the register.
    void CloseOldApplications();
    CAsyncSocketEx* FindApplication(long nApplicationId) const;
    IOldApplicationLink* FindOldApplication(long nApplicationId) const;
    std::vector<long> GetOldApplicationIds() const; // of the registered old-port applications, in order
    BOOL IsRegistered(long nApplicationId) const
    {
        return FindApplication(nApplicationId) || FindOldApplication(nApplicationId);
    }
    BOOL HasApplications() const { return !m_current.empty() || !m_old.empty(); }
    // UPMSGM: whether a current-port application may take the replay-master role on a release.
    void SetMayBeReplayMaster(long nApplicationId, BOOL bMay);
    BOOL IsPasswordChecked(long nApplicationId) const; // old port, from the last password check

    // Take: FALSE while the role is locked; else the id holds it, locked unless others may take it
    // over. Release: only the holder releases; the successor is the first current-port application
    // that may take the role, else the first old-port one other than BrennClient, else nobody.
    BOOL AssignReplayMaster(long nApplicationId, BOOL bTake, BOOL bAllowOthers);
    long GetReplayMaster() const { return m_nReplayMaster; }
    BOOL IsReplayMasterLocked() const { return m_bReplayMasterLocked; }

    // SHOWLC of either port, with the window command the port made of the mode: the visible flag
    // (set unless the command hides), the agent state to every application again, then the main
    // window, the connection dialog and the tracked password and location dialogs, each where it
    // is a window.
    void ShowDesktop(int nShowCommand);

    // An application's ALOGON: its four fields go to Jex unless the desktop logs on by Windows
    // account; nothing without a Jex link.
    void ForwardApplicationLogon(long nRequestId, const CString& strField1, const CString& strField2,
                                 const CString& strField3, const CString& strField4);

    // ---- sends (CSessionCoreBroadcasts.cpp) ----
    void BroadcastAgentState(int nState, const CString& strStateText);
    void BroadcastJexConnectionState(BOOL bUp);
    void BroadcastEndTask(long nCallId);
    void BroadcastManualDialResult(const CString& strText, long nCode);
    void BroadcastRecordResult(long nRequestId, long nCode, const CString& strText);
    void BroadcastAnnotationUpdate(long nFirst, long nSecond, long nThird, long nFourth, int nFifth);
    void BroadcastMuteState(int nDevice, BOOL bMuted);
    void BroadcastVolume(int nDevice, double dFraction);
    void BroadcastVoipReady(BOOL bReady);
    void BroadcastSemiOpensUpdate(const CString& strText);
    void BroadcastCallInfo(const CString& strCallInfo);
    void BroadcastQueueStatistics(const CString& strText);
    void BroadcastPasswordChangeResult(int nResult);
    void BroadcastPasswordCheckResult(int nResult);
    void BroadcastEndTransfer(int nResult);
    void BroadcastTransferAgent(int nResult, const CString& strText);
    // Jex's transfer-to-agent result code, in the old port's form (nothing for a transfer under way).
    void BroadcastTransferAgentResult(int nResultCode);
    void BroadcastTransferCall(long nCallId, const CString& strText);
    void BroadcastLumoPresent();
    void BroadcastTimeSync();
    // The ALOGON answer of a pending application log-on, to every current-port application.
    void SendAgentLogonResult(long nPendingApplicationId, int nResult);

    // nListKind as Jex sent it: 2 supervisors, otherwise agents.
    void SendAgentList(long nRequestId, long nApplicationId, const CString& strListKind, const CString& strList);
    void SendLocationList(long nRequestId, long nApplicationId, const CString& strList);
    void SendOutboundGroupList(long nRequestId, long nApplicationId, const CString& strList);
    void SendPauseList(long nRequestId, long nApplicationId, const CString& strList);
    // Jex's answers for the application of an id, on the port it registered on (IApplicationRelay).
    void SendInterviewConfirmation(long nApplicationId, BOOL bCurrentPort, long nFirst, long nThird) override;
    void SendCallAnswer(CallAnswer kind, long nApplicationId, long nRequestId, long nCallId, long nResult) override;
    // A task resource for the application of the id on both ports, its bytes behind the line; null
    // bytes: Jex has no such resource, and only the task id is told.
    void SendTaskResource(long nApplicationId, long nTaskId, long nResourceId, const BYTE* pBytes, DWORD nLength,
                          DWORD nCrc);
    // TRUE when the message went to an old-port replay master. A current-port one gets it with its
    // attachments and FALSE comes back, so the main window shows it too; FALSE without a holder.
    BOOL SendMessageToReplayMaster(const CString& strSender, const CMessage& message);

    // ---- calls, tasks, holds and settings (CSessionCoreTasks.cpp) ----
    CSmartObjectPtr<CCallInfo> FindCall(long nCallId) const;
    void AddCall(const CSmartObjectPtr<CCallInfo>& pCall); // replaces a record of the same call id
    void RemoveCall(long nCallId);
    std::vector<CSmartObjectPtr<CCallInfo>> GetCalls() const; // in call-id order

    // TRUE when "SNDINT -1 %lu %ld %ld %lu" and the data went to the current-port application; the
    // caller keeps pData. FALSE when it is not there: the call record (created when missing) takes
    // pData over and the data go out when the application registers.
    BOOL ForwardInterviewData(long nApplicationId, long nSurveyId, long nCallId, std::unique_ptr<BYTE[]>& pData,
                              DWORD nLength, DWORD nCrc);
    // Starts the call's task in the application on both ports and marks that a task was started.
    void StartCall(long nApplicationId, long nCallId);
    BOOL IsTaskStarted() const { return m_bTaskStarted; }

    // Sends the task contents to the program when it is connected; otherwise holds a copy (a newer
    // task replaces an older one) and starts the program, once per missing connection.
    void PassTaskToBrennClient(long nTaskId, const BYTE* pContents, DWORD nLength, DWORD nCrc,
                               const CString& strResources);
    void PassTaskToQuillan(long nTaskId, const BYTE* pContents, DWORD nLength, DWORD nCrc, const CString& strResources);
    BOOL HasHeldTask(long nApplicationId) const;
    // The semi-open text BrennClient gets when it registers.
    void HoldSemiOpens(const CString& strText) { m_strHeldSemiOpens = strText; }
    const CString& GetHeldSemiOpens() const { return m_strHeldSemiOpens; }
    void OnBrennClientRegistered();
    void OnQuillanRegistered();
    // Clears the program's connected mark and, while a Jex link exists, starts again every program
    // that owns an open call record and is not connected.
    void OnApplicationGone(long nApplicationId);
    BOOL IsProgramConnected(long nApplicationId) const;

    // Unless forced, a request closer than the hold interval to the last one sent is ignored. FALSE
    // when nothing was sent.
    BOOL HoldOrRetrieveCall(BOOL bTakeBack, long nCallId, BOOL bForced);

    // Kind 2 is an agent setting and replaces the stored one of its id in the agent-settings store;
    // any other kind keeps a copy in the application-settings cache under (kind, setting id),
    // replacing an earlier copy.
    void StoreSetting(long nKind, const CAgentSetting& setting);
    // An application's SAVASE: kept under owner number nApplicationId - 100, never as an agent setting.
    void StoreApplicationSetting(long nApplicationId, const CAgentSetting& setting);
    // The cached setting of owner nApplicationId - 100, or null. When nothing of that owner is
    // cached, asks Jex (RQASFA) and pumps messages until the settings are complete or the wait runs out.
    std::shared_ptr<const CAgentSetting> GetApplicationSetting(long nApplicationId, long nSettingId);
    // Jex's empty UPDASE: the requested settings are all there.
    void SetApplicationSettingsComplete() { m_bSettingsComplete = TRUE; }
    // Owner number -> setting id -> setting, for the upload at exit.
    using SettingsCache = std::map<long, std::map<long, std::shared_ptr<const CAgentSetting>>>;
    const SettingsCache& GetApplicationSettings() const { return m_settings; }

private:
    struct CurrentEntry
    {
        CAsyncSocketEx* pSocket = nullptr;
        BOOL bMayBeReplayMaster = TRUE;
    };
    struct OldEntry
    {
        IOldApplicationLink* pSocket = nullptr;
        BOOL bPasswordChecked = FALSE;
    };
    struct HeldTask
    {
        long nTaskId = -1;
        std::vector<BYTE> contents;
        DWORD nCrc = 0;
        CString strResources;
    };
    struct ProgramState
    {
        BOOL bConnected = FALSE;
        BOOL bStartPending = FALSE; // started for a missing connection, not registered yet
        std::unique_ptr<HeldTask> pHeldTask;
    };

    void TakeReplayMasterIfFree(long nApplicationId);
    void DeliverToNewApplication(long nApplicationId);
    void DeliverToNewOldApplication(long nApplicationId, IOldApplicationLink& link);
    void ReleaseApplication(long nApplicationId);
    void AfterRemoval(long nApplicationId, BOOL bRemoved);
    template <typename... Args> void SendToAllCurrent(LPCWSTR pszFormat, Args... args);
    template <typename... Args> void SendToAllOld(LPCWSTR pszFormat, Args... args);
    ProgramState* FindProgram(long nApplicationId);
    const ProgramState* FindProgram(long nApplicationId) const;
    void PassTask(long nApplicationId, long nTaskId, const BYTE* pContents, DWORD nLength, DWORD nCrc,
                  const CString& strResources);
    void StartProgramOnce(long nApplicationId);
    void OnProgramRegistered(long nApplicationId);

    ILumoAppHost& m_app;
    CHostRoles m_roles;
    IJexSender* m_pJex = nullptr;
    CAgentSettingStore* m_pAgentSettings = nullptr;
    Timings m_timings;

    std::map<long, CurrentEntry> m_current; // current port, by application id
    std::map<long, OldEntry> m_old;         // old port, by application id
    long m_nReplayMaster = -1;
    BOOL m_bReplayMasterLocked = FALSE;

    std::map<long, CSmartObjectPtr<CCallInfo>> m_calls;
    BOOL m_bTaskStarted = FALSE;
    ProgramState m_brennClient;
    ProgramState m_quillan;
    CString m_strHeldSemiOpens;

    ULONGLONG m_nLastHoldTick = 0;
    BOOL m_bHoldSent = FALSE;

    SettingsCache m_settings;
    BOOL m_bSettingsComplete = TRUE;
};
