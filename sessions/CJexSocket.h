#pragma once
#include "sessions/CHostRoles.h"
#include "sessions/CJexDataSocket.h"
#include "sessions/CJexSocketBase.h"
#include "sessions/IJexSender.h"
#include "sessions/CSmartObjectPtr.h"

class CCallInfo;
class IApplicationRelay;
class CMailMessage;
class CObArray;
class CMessage;
class CSessionCore;
class CSettingBase;
class CWnd;
class ILumoAppHost;
class IMessageBoxSink;

// The answer to a request that named a window. lParam: see the kinds below.
constexpr UINT WM_JEXREPLY = WM_USER + 100;
// The Jex command link closed. wParam, lParam: 0.
constexpr UINT WM_JEXCLOSED = WM_USER + 101;
// Jex CALACK. wParam: the acknowledgement id; lParam: a new CString with its text, the receiver deletes it.
constexpr UINT WM_CALLACKREQUEST = WM_USER + 105;
// Jex CALRAC. wParam: the acknowledgement id; lParam: the second number.
constexpr UINT WM_CALLACKREMOVE = WM_USER + 106;

// The command link to Jex: every request of the desktop and every command of Jex travels here.
// One object per session: a reconnect makes a new one, so nothing of a lost session lingers.
// Runs on the GUI thread; message boxes go to the box sink, so that nothing in a handler blocks
// a caller that cannot answer them.
class CJexSocket : public CJexSocketBase, public IJexSender
{
public:
    // wParam of WM_JEXREPLY.
    enum ReplyKind
    {
        replyLogon = 0,               // posted; lParam: new CStringArray of the four fields, the receiver deletes it
        replyAgentList = 1,           // sent; lParam: the answer's CStringArray, valid during the call
        replyCheckPassword = 2,       // sent; lParam: new PasswordResult, the receiver deletes it
        replyChangePassword = 3,      // sent; lParam: new PasswordResult, the receiver deletes it
        replyOutboundGroups = 4,      // sent; lParam: CObArray of COutboundGroup, valid during the call
        replyNoRight = 5,             // posted; lParam: 0
        replyLocations = 6,           // sent; lParam: CObArray of CLocation, valid during the call
        replyAgentOutboundGroups = 7, // sent; lParam: the answer's CString, valid during the call
        replyAgentInboundGroups = 8,  // sent; lParam: the answer's CString, valid during the call
    };
    struct PasswordResult
    {
        long nAgentId;
        short nResult;
    };

    // pCore: the session core that passes the server clock on to the local applications; may be null.
    CJexSocket(ILumoAppHost& app, IMessageBoxSink& boxes, CSessionCore* pCore = nullptr);
    ~CJexSocket() override;

    CSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;

    // Connects to the application's Jex host and port. FALSE when the connect fails at once (the
    // connect error keeps why); TRUE while it is under way or done.
    BOOL ConnectToServer();
    void OnConnect(int nErrorCode) override;
    // Says ALOGOF while the session is up, then closes.
    void Close() override;
    void OnClose(int nErrorCode) override;

    // The main window: the roles it serves and the window that learns the loss of the link. The
    // roles of the one before are withdrawn; ClearMainWindow leaves none.
    template <class Window> void SetMainWindow(Window* pDlg, CWnd* pWnd)
    {
        ClearMainWindow();
        if (pDlg)
        {
            m_roles.Install(*pDlg);
            m_pMainHost = dynamic_cast<const void*>(pDlg);
        }
        m_pMainWnd = pWnd;
    }
    void ClearMainWindow();
    // Who serves the desktop's roles here: the application object's from the start, the main window's
    // while it is set.
    CHostRoles& Roles() { return m_roles; }
    // The role's server, or null, reported as not handled by pszCaller.
    template <class Role> Role* Served(const char* pszCaller) const { return m_roles.Find<Role>(pszCaller); }

    // Log-on by agent id; the window, when given, waits for the answer.
    void Logon(CWnd* pReplyWnd);
    void StartLogon();
    virtual void SendLogonCommand();
    // Log-on by Windows account: FALSE, with nothing sent, when the computer name or the account
    // cannot be read or encrypted.
    BOOL SendWindowsLogon(CWnd* pReplyWnd);
    // Dialogs choose the user-name form of CHKPWD, CHGPWD and RQASUD by it.
    BOOL IsLogonByName() const { return m_bLogonByName; }
    void DetachReplyWindow(CWnd* pWnd);

    // The requests on the way to a log-on. Passwords are letter-pair text of the password cipher.
    BOOL SendCheckPasswordById(CWnd* pReplyWnd, long nAgentId, const CString& strPassword);
    BOOL SendCheckPasswordByName(CWnd* pReplyWnd, const CString& strUserName, const CString& strPassword);
    BOOL RequestStartupDataById(long nAgentId);
    BOOL RequestStartupDataByName(const CString& strUserName);

    bool IsUpdateInProgress() const { return m_bUpdateInProgress; }
    bool IsPasswordEncryption() const { return m_bPasswordEncryption; }
    CWnd* GetReplyWindow() const { return m_pReplyWnd; }

protected:
    void OnTimeSync(const CString& strClock) override;

    void HandleSTARTS(CString strParameters);
    void HandleALOGON(CStringArray& arrFields);
    void HandleALOGOS(CStringArray& arrFields);
    void HandleCHKPWD(CStringArray& arrFields);
    void HandleASUFIN(CStringArray& arrFields);

private:
    // Greeting steps; FALSE when the greeting ends there.
    BOOL DecideUpdate(const CString& strSetupVersion, const CString& strUpdateMode, const CString& strUpdateParameter);
    void CheckServerVersion(const CString& strServerVersion);
    int ShowMessage(const CString& strText, UINT nType);
    IUpdateWindowSink* ConnectionDialog() const; // null while it is not open
    void PostReply(CWnd* pWnd, WPARAM nKind, CStringArray* pFields);

    IMessageBoxSink& m_boxes;
    CSessionCore* m_pCore;

    CWnd* m_pReplyWnd = nullptr;
    CHostRoles m_roles;
    const void* m_pMainHost = nullptr; // the object the main window's roles were installed from
    CWnd* m_pMainWnd = nullptr;
    bool m_bUpdateInProgress = false;
    bool m_bPasswordEncryption = true; // until the greeting says otherwise
    bool m_bLogonByName = false;
    long m_nPendingApplication = -1; // the local application whose log-on waits for ALOGON; -1 none

    static CSocketCommandMap s_mapJex;
    static CCriticalSection s_csJex;

    // ---- the data link, the update stream and the uploads ----
public:
    CJexDataSocket& GetDataSocket() { return m_dataLink; }
    // Bulk transfers go over the data link while Jex has it logged in, else over this link.
    CJexSocketBase& GetDataRoute() override;

    // A log file, zipped as the single entry "data" (SNDLOG). The caller keeps its bytes. TRUE
    // when the archive was handed to the link.
    BOOL SendLogFile(const CString& strFileName, const BYTE* pBytes, DWORD nLength);
    // A recording, zipped with its checksum (SNDSRE). A file that another program keeps locked for
    // about 2 s is not sent; Jex's confirmation deletes it. TRUE when the archive was handed to the link.
    BOOL SendStereoRecording(long nFirstId, long nSecondId, const CString& strPath);

    static constexpr int kUpdateChunkBytes = 10485760; // the update program is written in chunks of at least this

protected:
    void HandleUPDATE(const CString& strParameters, int nLineLength, BOOL& bIncomplete);

private:
    // The update program's next bytes, at the end of its file; FALSE when the file cannot take them.
    BOOL WriteUpdateChunk(const BYTE* pBytes, int nCount);
    void FinishUpdate(const CString& strArguments);
    void FailUpdate();

    CJexDataSocket m_dataLink;
    unsigned long m_nUpdateReceived = 0; // bytes of the update program taken from the stream
    CString m_strUpdateFilePath;
    bool m_bUpdateDropped = false; // the stream runs on to its end without being written or run

    // ---- requests (CJexSocketRequests.cpp) ----
    // Each sends one line (and its payload) and is TRUE once the framework has it; FALSE, with
    // nothing sent, while the link has no session (no socket, not greeted yet, or lost). Text
    // fields are escaped here; letter-pair passwords need none. A request that names a window
    // makes it the reply window for Jex's answer.
public:
    BOOL SendAlarm(long nAlarmId, BOOL bOn, const CString& strText); // only while the alarm switch is on
    BOOL SendApplicationLogon(long nPendingId, const CString& strField1, const CString& strField2,
                              const CString& strField3, const CString& strField4) override;
    BOOL SendBlindTransfer(long nCallId, const CString& strDestination);
    BOOL SendCallAcknowledge(long nAcknowledgeId);
    BOOL RequestCallHistory(long nRequestId, long nApplicationId, long nCallId);
    BOOL SendCancelTrigger(int nFirst, int nSecond);
    // Lets go of the record once the line is out.
    BOOL SendChangeCallInfo(CSmartObjectPtr<CCallInfo> pCall);
    BOOL SendChangeNumber(int nFirst, int nSecond, const CString& strNumber);
    BOOL SendChangePasswordById(CWnd* pReplyWnd, long nAgentId, const CString& strOld, const CString& strNew);
    BOOL SendChangePasswordByName(CWnd* pReplyWnd, const CString& strUserName, const CString& strOld,
                                  const CString& strNew);
    BOOL SendConferenceAdd(long nFirst, int nSecond);
    BOOL SendConferenceAction(int nAction, int nConferenceId);
    BOOL SendConferenceParticipantAction(int nAction, int nConferenceId, long nParticipant);
    BOOL SendEndInbound(short nResult, const CString& strEndText);
    BOOL SendEndOutbound(short nResult, const CString& strEndText);
    BOOL SendEndPause();
    BOOL SendFindContact(const CString& strFirst, const CString& strSecond);
    BOOL SendFindKeyIn(const CString& strFirst, const CString& strSecond);
    BOOL SendFindNumber(const CString& strNumber);
    BOOL SendInterviewHeartbeat(long nValue, const CString& strText);
    BOOL SendJoinOutboundGroup(int nGroupId);
    BOOL RequestAgentList(CWnd* pReplyWnd, long nRequestId, int nApplicationId, int nListKind);
    BOOL RequestLocationList(CWnd* pReplyWnd); // the desktop's own list
    BOOL RequestLocationList(long nRequestId, int nApplicationId);
    BOOL RequestAgentInboundGroups(CWnd* pReplyWnd);
    BOOL RequestAgentOutboundGroups(CWnd* pReplyWnd);
    BOOL RequestOutboundGroupList(CWnd* pReplyWnd); // the desktop's own list
    BOOL RequestOutboundGroupList(long nRequestId, int nApplicationId);
    BOOL RequestPauseList(long nRequestId, int nApplicationId);
    BOOL SendManualDial(long nRequestId, const CString& strNumber, const CString& strText);
    BOOL SendNextCall();
    BOOL SendConfirmTransfer(BOOL bAccept);
    BOOL SendOnHold(long nCallId) override;
    BOOL SendPlayDtmf(long nCallId, const CString& strDigits);
    BOOL SendPlaySoundEnd(long nRequestId, int nCallId);
    BOOL SendPlaySoundStart(long nRequestId, int nCallId, const CString& strSound);
    BOOL SendQuestionRecordingEnd(long nRequestId, int nCallId);
    BOOL SendQuestionRecordingStart(long nRequestId, int nCallId, const CString& strText);
    BOOL SendRecordCall(int nRequestId, int nCallId);
    BOOL SendRefuseNumber(int nFirst, int nSecond);
    BOOL SendRejectCall(int nCallId, int nSecond);
    BOOL SendReleaseNumber();
    BOOL SendRequestManual();
    BOOL SendRequestPause(int nPauseReasonId, int nStartType);
    BOOL SendRequestTask(long nTaskId);
    // nOwner: the application's owner number (its id - 100); nNew 1 when nothing is cached for it.
    BOOL RequestApplicationSettings(long nAgentId, long nOwner, int nNew) override;
    // nOwner: 2 for an agent setting, else the owner number of an application setting.
    BOOL SendSaveSetting(long nOwner, long nAgentId, const CSettingBase& setting);
    BOOL SendSelectNumber(int nFirst, int nSecond);
    BOOL SendStartInterviewOutbound(const CString& strText);
    // The caller has checked the bytes against nCrc. bCurrentPort: they came from the current
    // application port (1), else from the old one (0).
    BOOL SendInterviewData(long nSurveyId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nCrc,
                           BOOL bCurrentPort);
    // The attachments' bytes follow the line, each exactly its announced size.
    BOOL SendMail(long nCallId, const CMailMessage& mail);
    BOOL SendMessage(const CMessage& message);
    BOOL SendStartIvr(const CString& strFirst, long nNumber, const CString& strSecond);
    BOOL SendStartKeyIn(long nKeyInId);
    BOOL SendStartTrigger(int nFirst, int nSecond);
    BOOL SendStopKeyIn(long nKeyInId);
    BOOL SendTagCall(long nCallId, const CString& strTag);
    BOOL SendTakeBack(long nCallId) override;
    BOOL SendTakeCall(int nCallId);
    BOOL SendTransferCall(long nCallId, long nDestination);
    BOOL RequestTaskResources(int nTaskId, const CString& strResourceIds);
    BOOL SendUpdateAnnotation(long nRequestId, long nFirst, long nSecond, long nThird, const CString& strAnnotation);
    BOOL SendVoiceMail(short nFirst, int nSecond);
    BOOL SendWriteCallClass(const CString& strText);

private:
    // Before the greeting a request would go into the handshake's stream, which a reconnecting
    // link is still running while local applications go on sending: Jex would read it as a
    // broken handshake, or as a request before the session.
    bool IsLinkUp() const { return m_hSocket != INVALID_SOCKET && m_bSession; }
    template <FormatArgument... Args> BOOL SendRequest(LPCWSTR pszFormat, Args... args)
    {
        if (!IsLinkUp()) return FALSE;
        SendCommand(pszFormat, args...);
        return TRUE;
    }
    BOOL SendWithAttachments(const CMessage& message, const CString& strLine);

    // ---- commands (CJexSocketCommands.cpp) ----
public:
    // Where Jex's answers for local applications go; null until the application ports exist.
    void SetApplicationRelay(IApplicationRelay* pRelay) { m_pRelay = pRelay; }

protected:
    static void AddCommands(CSocketCommandMap& map);

    void HandleAGASKI(CStringArray& arrFields);
    void HandleAGSTAT(CString strText);
    void HandleAVLOUT(CStringArray& arrFields);
    void HandleBLITRA(CString strText);
    void HandleCALACK(CStringArray& arrFields);
    void HandleCALINF(CString strText);
    void HandleCALLHY(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleCALRAC(CStringArray& arrFields);
    void HandleCHGPWD(CStringArray& arrFields);
    void HandleCONADD(CString strText);
    void HandleENDOUT(CStringArray& arrFields);
    void HandleFNDCON(CStringArray& arrFields);
    void HandleHTBEAT(CString strText);
    void HandleKYIINT(CStringArray& arrFields);
    void HandleLSTAGT(CStringArray& arrFields);
    void HandleLSTLOC(CStringArray& arrFields);
    void HandleLSTMIG(CString strText);
    void HandleLSTMOG(CString strText);
    void HandleLSTOGR(CStringArray& arrFields);
    void HandleLSTPAU(CStringArray& arrFields);
    void HandleLUMDIA(CStringArray& arrFields);
    void HandleMANDIA(CStringArray& arrFields);
    void HandleNEXCAL(CString strText);
    void HandleNORIGT(CString strText);
    void HandleNUMINF(CString strText);
    void HandleOKTRAN(CString strText);
    void HandleONHOLD(CString strText);
    void HandlePLSEND(CStringArray& arrFields);
    void HandlePLSSTA(CStringArray& arrFields);
    void HandleQREEND(CStringArray& arrFields);
    void HandleQRESTA(CStringArray& arrFields);
    void HandleQTAUPD(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleRECCAL(CStringArray& arrFields);
    void HandleREFNUM(CString strText);
    void HandleREQMAN(CString strText);
    void HandleSEEIN(CStringArray& arrFields);
    void HandleSELNMR(CString strText);
    void HandleSETPER(CStringArray& arrFields);
    void HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleSNDMSG(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleSTAKYI(CString strText);
    void HandleSTAQUE(CString strText);
    void HandleSTRTIN(CStringArray& arrFields);
    void HandleSTRTOU(CStringArray& arrFields);
    void HandleTAKBAC(CString strText);
    void HandleTAKCAL(CString strText);
    void HandleTRACAL(CString strText);
    void HandleTRAEND(CStringArray& arrFields);
    void HandleTRANIN(CStringArray& arrFields);
    void HandleTRANOU(CStringArray& arrFields);
    void HandleTRNSFR(CStringArray& arrFields);
    void HandleTSKRES(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleUPDALO(CStringArray& arrFields);
    void HandleUPDANO(CStringArray& arrFields);
    void HandleUPDASE(CStringArray& arrFields);
    void HandleUPDSFT(CStringArray& arrFields);
    void HandleUPDSMO(CString strText);
    void HandleUPDTSK(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleVOICIP(CStringArray& arrFields);

private:
    // The payload behind the line once it is all here; null while it is not (incomplete) and when the
    // length field is no number or more than the link can hold (the line alone is dropped, as a
    // protocol error).
    const BYTE* WaitForPayload(int nLineLength, const CString& strLength, DWORD& nLength, BOOL& bIncomplete);
    void RelayCallAnswer(int nKind, CStringArray& arrFields);
    void HandOnList(CStringArray& arrFields, CObArray& records, WPARAM nKind,
                    void (CSessionCore::*pfnRelay)(long, long, const CString&));
    void SendReplyText(WPARAM nKind, CString& strText);
    void WriteAttachments(CMessage& message, const BYTE* pPayload, DWORD nTotal);

    IApplicationRelay* m_pRelay = nullptr;
};
