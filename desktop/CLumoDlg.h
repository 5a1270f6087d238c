#pragma once
#include "core/CVersionInfo.h"
#include "framework/CBitmap.h"
#include "framework/CFont.h"
#include "framework/CHandleOwner.h"
#include "framework/CStatic.h"
#include "framework/CToolTipCtrl.h"
#include "sessions/CHostRoles.h"
#include "uikit/CFlatButton.h"
#include "uikit/CListCtrlEx.h"
#include "uikit/CLumoDialog.h"
#include "uikit/CRotaryControl.h"
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class CApplicationToolBarDlg;
class CJexSocket;
class CLumoApp;
class CSessionCore;

// The call list's control: the toolkit's extended list. PrepareCallList and InitCallList are the
// only code that depends on which it is.
using CCallListCtrl = CListCtrlEx;

// The agent desktop's main window: a modeless dialog that shows the agent's state, the calls and
// their buttons, the volume knobs and the panel of image buttons, and the hub that the Jex link
// and the application ports call, in the roles it serves them (CHostRoles). The call records, the
// registers of the local applications and the held task contents are the session core's; the
// window reaches them through the application object, which owns both. GUI thread only.
//
// CLumoDlg.cpp holds the structure and the start; CLumoDlgReceivers.cpp the message handlers and
// the receivers whose behaviour comes with later work, grouped by topic.
class CLumoDlg : public CLumoDialog,
                 public IAgentState,
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
    DECLARE_DYNAMIC(CLumoDlg)

public:
    // The window is made by Create; until then only the tool bar may be created.
    explicit CLumoDlg(CLumoApp& app, CWnd* pParent = nullptr);
    CLumoDlg(const CLumoDlg&) = delete;
    CLumoDlg& operator=(const CLumoDlg&) = delete;
    ~CLumoDlg() override;

    // The tool bar, once: a window of its own, hidden until the agent may use it.
    void CreateToolBar();
    CApplicationToolBarDlg* GetToolBar() const { return m_pToolBar.get(); }
    // The window, modeless from template 102 with no parent. FALSE when it cannot be made.
    BOOL Create();

    // The main window's own copy of the Jex link; empty while there is none.
    std::shared_ptr<CJexSocket> GetJexSocket() const { return m_pJexSocket; }
    void SetJexSocket(std::shared_ptr<CJexSocket> pSocket) { m_pJexSocket = std::move(pSocket); }

    // The call list grows by dy at its bottom, and the window with it.
    void GrowCallList(int dy);
    // Moves the window's right edge left by dx, and the status line, its frame and the call list
    // up by dy and their right edges left by dx.
    void LayoutWindow(int dx, int dy);

    // Set at the end of OnInitDialog: call information that arrives before is dropped.
    BOOL IsReady() const { return m_bReady; }
    const CRect& GetStatusArea() const { return m_rcStatusArea; }
    int GetRowStep() const { return m_nRowStep; }

    // The text of an agent state as the window and the old application port show it; state 2
    // gives the pause reason Jex sent with it, or "In pause" without one.
    CString GetAgentStateText(int nState) const;
    // Tells every local application the current agent state and its text again.
    void BroadcastAgentState();
    // The pause as the agent state last left it, and when it began.
    BOOL IsInPause() const { return m_bPause; }
    __time64_t GetStateStartTime() const { return m_tStateStart; }
    const CString& GetStatusText() const { return m_strStatusText; }
    // Tests only: a known start time, to tell a pause that began from one that went on.
    void SetStateStartTime(__time64_t tStart) { m_tStateStart = tStart; }

    // ---- roles the session layer calls: state the session core reads ----
    int GetAgentState() override { return m_nAgentState; }
    CString GetAgentStateText() override;
    BOOL IsAssignedToKeyIn() override { return m_bAssignedToKeyIn; }
    BOOL HasSoftphone() override;
    void WriteSoftphoneLog(const CString& strLine) override;
    void OnTaskStarted() override;
    CString GetCallTypeText(long nCallType) override;
    CString GetCallStateText(long nCallState) override;
    void SetLogonResult(int nResult) override { m_nLogonResult = nResult; }

    // ---- roles the session layer calls: operations the links call ----
    void LogOff() override;
    BOOL IsMasterMuted() override;
    BOOL IsMicrophoneMuted() override;
    void SetMasterMute(BOOL bMuted) override;
    void SetMicrophoneMute(BOOL bMuted) override;
    double GetSpeakerVolume() override;
    double GetMicrophoneVolume() override;
    void SetMasterVolume(double dFraction) override;
    void SetMicrophoneVolume(double dFraction) override;
    void RequestCallHistory(long nCallId, long nRequestId, long nApplicationId) override;
    void SendDtmfForCall(long nCallId, const CString& strDigits, BOOL bFlag) override;
    BOOL HandleDialKey(UINT nChar);
    void EndCall(int nResult, const CString& strEndText, long nCallId) override;
    void RequestAgentList(long nRequestId, long nApplicationId, int nListKind) override;
    void RequestPauseList(long nRequestId, long nApplicationId) override;
    void DialNumberForApplication(long nRequestId, long nApplicationId, const CString& strNumber,
                                  const CString& strText) override;
    void RecordCall(long nRequestId, long nCallId) override;
    void RequestPause(long nPauseReasonId, int nStartType) override;
    void EndPause() override;
    void SetPauseState(BOOL bPause);
    void SetPauseStateFor(BOOL bPause, long nRequester) override;
    void PostMessageBox(const CString& strText) override;
    void StopQuestionRecording(long nRequestId, long nCallId) override;
    void TakeCallById(long nCallId) override;
    long DialOnSoftPhone(const CString& strNumber) override;
    virtual void ApplySoftphoneAlarmLimits(); // virtual: tests count the calls

    // ---- roles the session layer calls: receivers of Jex commands ----
    void SetAssignedToKeyIn(BOOL bAssigned) override;
    void SetAgentState(int nState, const CString& strStateText) override;
    void OnAvailableOutbound(BOOL bAvailable, long nGroupId, const CString& strGroup) override;
    void OnBlindTransferResult(long nFirst, long nSecond) override;
    void OnCallInfo(const CString& strCallInfo) override;
    void OnCallHistory(long nCallId, long nRequestId, long nApplicationId, const BYTE* pBytes, DWORD nLength,
                       DWORD nCrc) override;
    void OnConferenceAdded(const CString& strText) override;
    void OnOutboundCallEnded(long nCallId) override;
    void OnKeyInInterview(long nInterviewId, const CString& strText) override;
    void OnPauseList(long nRequestId, long nApplicationId, const CString& strList) override;
    void OnManualDialResult(int nCode) override;
    void OnNextCallResult(int nCode) override;
    void OnNumberInfo(const CString& strText) override;
    void OnConfirmTransferResult(int nCode) override;
    void OnHoldResult(int nCode) override;
    void OnQuotaUpdate(long nSurveyId, int nType, const BYTE* pBytes, DWORD nLength) override;
    void OnRecordCallResult(long nId, long nResult) override;
    void OnRefuseNumberResult(long nFirst, long nSecond, long nThird) override;
    void OnSelectNumberResult(long nFirst, long nSecond, long nThird) override;
    void OnManualDialRequest(int nType) override;
    void ArrangeButtons() override;
    void OnMessageReceived(const CString& strSender, std::unique_ptr<CMessage> pMessage) override;
    void OnStartKeyInResult(const CString& strText) override;
    void ShowQueueStats(const CString& strText) override;
    void StartInboundCall(const CString& strTask) override;
    void StartOutboundCall(const CString& strTask) override;
    void OnTakeBackResult(int nCode) override;
    void OnTakeCallResult(int nCode) override;
    void OnTransferCallResult(int nCode) override;
    void OnTransferEnded(int nCode) override;
    void StartTransferredCall(const CString& strTask, BOOL bInbound) override;
    void OnTransferToAgent(int nCode) override;
    void OnTaskResources(long nTaskId, long nApplicationId, long nResourceId, std::unique_ptr<BYTE[]> pBytes,
                         DWORD nLength, DWORD nCrc) override;
    void OnAnnotationChanged(long nFirst, long nSecond, long nThird, long nFourth, int nFifth) override;
    void UpdateSoftPhoneLog() override;
    void OnUpdateSemiOpens(const CString& strText) override;
    void OnScriptContents(long nScriptId, const CString& strText, BOOL bChecksumMatched) override;
    void CreateSoftphone();
    void OnContactSearchResult(const CPropertyList& result) override;
    CWnd* GetWnd() override { return this; }
    void DropCall(CCallInfo* pCall) override;

    // ---- operations of later work that the start calls ----
    // After the first successful log-on: the tool bar's buttons, the call list and the softphone.
    void SetUpToolBarAfterLogon();
    void PrepareAfterLogon();
    void InitPanelButtons();
    void SetPauseIndicator(BOOL bOn);
    void UpdateQueueDisplay();
    void HangUpSoftPhone();
    void StopScriptThreads();
    // Takes (and so starts) a call-script thread for the script; script id 0 only starts one.
    void StartCallScript(long nScriptId, const CString& strParameters, const CString& strFields, long nCallId);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnCancel() override;
    // Takes the posted message boxes before the message map, whose entries are the window's
    // interface and fixed.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // ---- the message map's handlers, in its order ----
    LRESULT OnNcHitTest(CPoint point);
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    LRESULT OnJexConnectionClosed(WPARAM wParam, LPARAM lParam);
    LRESULT OnJexReply(WPARAM wParam, LPARAM lParam);
    LRESULT OnLogonResult(WPARAM wParam, LPARAM lParam);
    LRESULT OnCloseLumo(WPARAM wParam, LPARAM lParam);
    LRESULT OnSystemTimeChanged(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    void OnNcRButtonDown(UINT nHitTest, CPoint point);
    void OnUpdateStatusEdit();
    void OnRClickCallList(NMHDR* pNotify, LRESULT* pResult);
    void OnMenuOnHold();
    void OnMenuRecord();
    void OnMenuTakeBack();
    void OnMenuTransfer();
    void OnMenuTransferTo();
    void OnMenuEndTask();
    void OnMenuEndCall();
    void OnMenuTakeCall();
    void OnClickCallList(NMHDR* pNotify, LRESULT* pResult);
    void OnButtonEndCall();
    void OnButtonEndTask();
    void OnButtonOnHold();
    void OnButtonRecord();
    void OnButtonAnonymize();
    void OnButtonTakeBack();
    void OnButtonTakeCall();
    void OnButtonTransfer();
    void OnButtonTransferTo();
    void OnButtonConference();
    void OnNcLButtonDblClk(UINT nHitTest, CPoint point);
    LRESULT OnSoftPhoneEvent(WPARAM wParam, LPARAM lParam);
    void OnNextCall();
    LRESULT OnAudioEndpointChanged(WPARAM wParam, LPARAM lParam);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    LRESULT OnCallAckRequest(WPARAM wParam, LPARAM lParam);
    LRESULT OnCallAckRemove(WPARAM wParam, LPARAM lParam);
    LRESULT OnSoftPhoneError(WPARAM wParam, LPARAM lParam);
    LRESULT OnUserNoop(WPARAM wParam, LPARAM lParam);
    LRESULT OnSoftPhoneAlarm(WPARAM wParam, LPARAM lParam);
    void OnButtonMuteMaster();
    void OnButtonMuteMicrophone();
    void OnMasterVolumeKnob(NMHDR* pNotify, LRESULT* pResult);
    void OnMicrophoneVolumeKnob(NMHDR* pNotify, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

private:
    void ShowPostedBox(const CString& strText);
    CSessionCore& Core() const;
    // The listeners of both application ports, on the configured ports, unless the application
    // object holds them already. They stay the application object's: the log-on replaces them.
    void OpenApplicationPortListeners();
    // The list's styles, set once the window exists.
    void PrepareCallList();
    // Columns, or hides the list and the call buttons when the calls are not shown.
    void InitCallList();
    void SetUpCallButtons();
    void SetUpMuteButtons();
    // A child's window rectangle in client coordinates.
    CRect ChildRect(int nId) const;
    // The first panel button shows the pause: pressed while one lasts.
    void MarkPauseButton(BOOL bPressed);
    void ShowChild(int nId, BOOL bShow);

    CLumoApp& m_app;

    // Controls, bound by data exchange.
    CStatic m_staticStatusFrame;
    CCallListCtrl m_listCalls;
    CFlatButton m_btnOnHold;
    CFlatButton m_btnTakeBack;
    CFlatButton m_btnTakeCall;
    CFlatButton m_btnTransferTo;
    CFlatButton m_btnRecord;
    CFlatButton m_btnEndTask;
    CFlatButton m_btnEndCall;
    CFlatButton m_btnAnonymize;
    CFlatButton m_btnTransfer;
    CFlatButton m_btnConference;
    CRotaryControl m_knobMaster;
    CRotaryControl m_knobMicrophone;
    CFlatButton m_btnMuteMaster;
    CFlatButton m_btnMuteMicrophone;
    CString m_strGroupLabel; // "Inbound group:     ", or the outbound one
    CStatic m_staticGroupName;
    CStatic m_staticQueueValue;
    CStatic m_staticTimeValue;
    CStatic m_staticAgentsValue;
    CStatic m_staticQueueLabel;
    CStatic m_staticTimeLabel;
    CStatic m_staticAgentsLabel;

    int m_nAgentState = 0; // 1 ready, 2 pause
    BOOL m_bOutbound = FALSE;
    long m_nOutboundGroupId = 0;
    CString m_strGroupName;
    CVersionInfo m_versionInfo;
    long m_nAlerting = 0;    // the status text is drawn in red while an incoming call alerts
    HICON m_hIcon = nullptr; // shared resource icon: not freed
    std::shared_ptr<CJexSocket> m_pJexSocket;
    std::vector<std::unique_ptr<CBitmap>> m_panelImages; // five per panel button
    std::unique_ptr<CApplicationToolBarDlg> m_pToolBar;
    CFont m_fontStatus;      // Courier, for the status edit
    CFont m_fontBold;        // the dialog's font in bold, for the marquee and the statistics
    CToolTipCtrl m_toolTips; // the panel's
    int m_nMarqueeOffset = 0;
    int m_nPressedPanelButton = -1;
    BOOL m_bReady = FALSE;
    CString m_strMarqueeText;
    std::map<long, long> m_annotations; // call id -> anonymisation mark
    std::vector<BYTE> m_panelHover;
    std::vector<BYTE> m_panelHeld;
    std::vector<BYTE> m_panelLatched;
    BOOL m_bCallActive = FALSE;
    BOOL m_bLinkLost = FALSE;
    BOOL m_bBrennClientRegistered = FALSE;
    BOOL m_bQuillanRegistered = FALSE;
    BOOL m_bPause = FALSE;
    BOOL m_bAssignedToKeyIn = FALSE;
    BOOL m_bSoftphoneLogOn = FALSE;
    CString m_strStateText;
    CString m_strQueueCalls;
    CString m_strQueueTime;
    CString m_strQueueAgents;
    CString m_strQueueGroup;
    CString m_strPauseReason;
    CString m_strStatusText;
    CString m_strSavedStatusText;
    CRect m_rcStatusArea; // the inside of frame 1059, in client coordinates
    int m_nRowStep = 14;  // pixels the call list grows per call beyond the first
    int m_nPanelButtonCount = 0;
    std::map<int, CRect> m_panelRects;
    std::vector<CRect> m_paintedTextRects;
    long m_nSoftphoneState = -1;
    BOOL m_bSoundDeviceMissing = FALSE;
    __time64_t m_tStateStart = 0;
    std::vector<long> m_cpuSamples;
    DWORD m_nWindowsVersion = 0; // major * 256 + minor
    std::map<long, CString> m_scriptTexts;
    std::map<long, CKernelHandle> m_scriptLoadEvents;
    int m_nLogonResult = 0;
    BOOL m_bToolBarLayoutDone = FALSE; // the docked tool bar moved the status frame once
    int m_cxFrame = 0;                 // frame metrics measured at the end of the start
    int m_cyFrame = 0;
    int m_cyCaption = 0;
    HWND m_hTimeChangeWnd = nullptr; // registered for clock changes under this handle
    CComInitialization m_comInitialized;
    // Posted boxes that arrived while one was shown; a few, each text once.
    std::deque<CString> m_waitingBoxes;
    bool m_bShowingPostedBox = false;
    static constexpr size_t kMaxWaitingBoxes = 16;
};
