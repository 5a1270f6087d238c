// The main window's message handlers and the receivers the links call, grouped by topic. Many of
// them do nothing beyond keeping the window working (default processing, painting) and freeing
// what a message hands over.
#include "core/CMessage.h"
#include "desktop/CApplicationToolBarDlg.h"
#include "desktop/CLumoApp.h"
#include "desktop/CLumoDlg.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "framework/CPaintDC.h"
#include "framework/CStringArray.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include <memory>

// Each entry's handler is named after its message or control.
BEGIN_MESSAGE_MAP(CLumoDlg, CLumoDialog)
ON_WM_NCHITTEST()
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_MESSAGE(WM_JEXCLOSED, &CLumoDlg::OnJexConnectionClosed)
ON_MESSAGE(WM_JEXREPLY, &CLumoDlg::OnJexReply)
ON_MESSAGE(WM_LOGONRESULT, &CLumoDlg::OnLogonResult)
ON_MESSAGE(WM_CLOSELUMO, &CLumoDlg::OnCloseLumo)
ON_MESSAGE(WM_SYSTEMTIMECHANGED, &CLumoDlg::OnSystemTimeChanged)
ON_WM_TIMER()
ON_WM_NCRBUTTONDOWN()
ON_CONTROL(EN_UPDATE, IDC_STATUS_EDIT, &CLumoDlg::OnUpdateStatusEdit)
ON_NOTIFY(NM_RCLICK, IDC_CALL_LIST, &CLumoDlg::OnRClickCallList)
ON_COMMAND(ID_MENU_ON_HOLD, &CLumoDlg::OnMenuOnHold)
ON_COMMAND(ID_MENU_RECORD, &CLumoDlg::OnMenuRecord)
ON_COMMAND(ID_MENU_TAKE_BACK, &CLumoDlg::OnMenuTakeBack)
ON_COMMAND(ID_MENU_TRANSFER, &CLumoDlg::OnMenuTransfer)
ON_COMMAND(ID_MENU_TRANSFER_TO, &CLumoDlg::OnMenuTransferTo)
ON_COMMAND(ID_MENU_END_TASK, &CLumoDlg::OnMenuEndTask)
ON_COMMAND(ID_MENU_END_CALL, &CLumoDlg::OnMenuEndCall)
ON_COMMAND(ID_MENU_TAKE_CALL, &CLumoDlg::OnMenuTakeCall)
ON_NOTIFY(NM_CLICK, IDC_CALL_LIST, &CLumoDlg::OnClickCallList)
ON_COMMAND(IDC_BUTTON_END_CALL, &CLumoDlg::OnButtonEndCall)
ON_COMMAND(IDC_BUTTON_END_TASK, &CLumoDlg::OnButtonEndTask)
ON_COMMAND(IDC_BUTTON_ON_HOLD, &CLumoDlg::OnButtonOnHold)
ON_COMMAND(IDC_BUTTON_RECORD, &CLumoDlg::OnButtonRecord)
ON_COMMAND(IDC_BUTTON_ANONYMIZE, &CLumoDlg::OnButtonAnonymize)
ON_COMMAND(IDC_BUTTON_TAKE_BACK, &CLumoDlg::OnButtonTakeBack)
ON_COMMAND(IDC_BUTTON_TAKE_CALL, &CLumoDlg::OnButtonTakeCall)
ON_COMMAND(IDC_BUTTON_TRANSFER, &CLumoDlg::OnButtonTransfer)
ON_COMMAND(IDC_BUTTON_TRANSFER_TO, &CLumoDlg::OnButtonTransferTo)
ON_COMMAND(IDC_BUTTON_CONFERENCE, &CLumoDlg::OnButtonConference)
ON_WM_NCLBUTTONDBLCLK()
ON_MESSAGE(WM_SOFTPHONEEVENT, &CLumoDlg::OnSoftPhoneEvent)
ON_COMMAND(ID_NEXT_CALL, &CLumoDlg::OnNextCall)
ON_MESSAGE(MM_MIXM_CONTROL_CHANGE, &CLumoDlg::OnAudioEndpointChanged)
ON_WM_DEVICECHANGE()
ON_MESSAGE(WM_CALLACKREQUEST, &CLumoDlg::OnCallAckRequest)
ON_MESSAGE(WM_CALLACKREMOVE, &CLumoDlg::OnCallAckRemove)
ON_MESSAGE(WM_SOFTPHONEERROR, &CLumoDlg::OnSoftPhoneError)
ON_MESSAGE(WM_HEADSETSTUCK, &CLumoDlg::OnUserNoop)
ON_MESSAGE(WM_SOFTPHONEALARM, &CLumoDlg::OnSoftPhoneAlarm)
ON_COMMAND(IDC_BUTTON_MUTE_MASTER, &CLumoDlg::OnButtonMuteMaster)
ON_COMMAND(IDC_BUTTON_MUTE_MICROPHONE, &CLumoDlg::OnButtonMuteMicrophone)
ON_NOTIFY(RCN_CHANGED, IDC_MASTER_VOLUME, &CLumoDlg::OnMasterVolumeKnob)
ON_NOTIFY(RCN_CHANGED, IDC_MICROPHONE_VOLUME, &CLumoDlg::OnMicrophoneVolumeKnob)
END_MESSAGE_MAP()

// ---- handlers with their behaviour ----

HCURSOR CLumoDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CLumoDlg::OnUpdateStatusEdit()
{
    InvalidateRect(&m_rcStatusArea, FALSE);
}

// The headset's thread message belongs to the application object; sent to the window it is nothing.
LRESULT CLumoDlg::OnUserNoop(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

// The reply kinds that come with a heap object are freed here whatever the reaction; the
// reactions to the window's own requests (a re-logon, a password check) come with them.
LRESULT CLumoDlg::OnJexReply(WPARAM wParam, LPARAM lParam)
{
    switch (static_cast<int>(wParam))
    {
    case CJexSocket::replyLogon:
        delete reinterpret_cast<CStringArray*>(lParam);
        break;
    case CJexSocket::replyCheckPassword:
    case CJexSocket::replyChangePassword:
        delete reinterpret_cast<CJexSocket::PasswordResult*>(lParam);
        break;
    default:
        break; // the other kinds are valid during the call only
    }
    return 0;
}

// ---- the panel, painting, the non-client mouse and the audio controls ----

LRESULT CLumoDlg::OnNcHitTest(CPoint point)
{
    return CLumoDialog::OnNcHitTest(point);
}

void CLumoDlg::OnPaint()
{
    CPaintDC dc(this); // validates: the panel and the status area are painted with their behaviour
}

void CLumoDlg::OnMouseMove(UINT nFlags, CPoint point)
{
    CLumoDialog::OnMouseMove(nFlags, point);
}

void CLumoDlg::OnLButtonDown(UINT nFlags, CPoint point)
{
    CLumoDialog::OnLButtonDown(nFlags, point);
}

void CLumoDlg::OnLButtonUp(UINT nFlags, CPoint point)
{
    CLumoDialog::OnLButtonUp(nFlags, point);
}

void CLumoDlg::OnNcRButtonDown(UINT /*nHitTest*/, CPoint /*point*/) {}

void CLumoDlg::OnNcLButtonDblClk(UINT nHitTest, CPoint point)
{
    CLumoDialog::OnNcLButtonDblClk(nHitTest, point);
}

LRESULT CLumoDlg::OnAudioEndpointChanged(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

BOOL CLumoDlg::OnDeviceChange(UINT nEventType, DWORD_PTR dwData)
{
    return CLumoDialog::OnDeviceChange(nEventType, dwData);
}

void CLumoDlg::OnButtonMuteMaster() {}

void CLumoDlg::OnButtonMuteMicrophone() {}

void CLumoDlg::OnMasterVolumeKnob(NMHDR* /*pNotify*/, LRESULT* /*pResult*/) {}

void CLumoDlg::OnMicrophoneVolumeKnob(NMHDR* /*pNotify*/, LRESULT* /*pResult*/) {}

void CLumoDlg::InitPanelButtons() {}

void CLumoDlg::SetPauseIndicator(BOOL /*bOn*/) {}

BOOL CLumoDlg::IsMasterMuted()
{
    return FALSE; // no mixer yet
}

BOOL CLumoDlg::IsMicrophoneMuted()
{
    return FALSE;
}

void CLumoDlg::SetMasterMute(BOOL /*bMuted*/) {}

void CLumoDlg::SetMicrophoneMute(BOOL /*bMuted*/) {}

double CLumoDlg::GetSpeakerVolume()
{
    return -1.0; // unknown without a mixer
}

double CLumoDlg::GetMicrophoneVolume()
{
    return -1.0;
}

void CLumoDlg::SetMasterVolume(double /*dFraction*/) {}

void CLumoDlg::SetMicrophoneVolume(double /*dFraction*/) {}

// ---- the exit sequence and the loss of the Jex link ----

void CLumoDlg::OnCancel() {}

LRESULT CLumoDlg::OnJexConnectionClosed(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

LRESULT CLumoDlg::OnLogonResult(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

LRESULT CLumoDlg::OnCloseLumo(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

void CLumoDlg::LogOff() {}

// ---- call records and call information ----

void CLumoDlg::OnClickCallList(NMHDR* /*pNotify*/, LRESULT* /*pResult*/) {}

void CLumoDlg::OnCallInfo(const CString& /*strCallInfo*/) {}

// ---- call-script threads ----

void CLumoDlg::StopScriptThreads() {}

void CLumoDlg::StartCallScript(long /*nScriptId*/, const CString& /*strParameters*/, const CString& /*strFields*/,
                               long /*nCallId*/)
{
}

void CLumoDlg::OnScriptContents(long /*nScriptId*/, const CString& /*strText*/, BOOL /*bChecksumMatched*/) {}

// ---- the agent's call actions ----

void CLumoDlg::OnRClickCallList(NMHDR* /*pNotify*/, LRESULT* /*pResult*/) {}

void CLumoDlg::OnMenuOnHold() {}

void CLumoDlg::OnMenuRecord() {}

void CLumoDlg::OnMenuTakeBack() {}

void CLumoDlg::OnMenuTransfer() {}

void CLumoDlg::OnMenuTransferTo() {}

void CLumoDlg::OnMenuEndTask() {}

void CLumoDlg::OnMenuEndCall() {}

void CLumoDlg::OnMenuTakeCall() {}

void CLumoDlg::OnButtonEndCall() {}

void CLumoDlg::OnButtonEndTask() {}

void CLumoDlg::OnButtonOnHold() {}

void CLumoDlg::OnButtonRecord() {}

void CLumoDlg::OnButtonAnonymize() {}

void CLumoDlg::OnButtonTakeBack() {}

void CLumoDlg::OnButtonTakeCall() {}

void CLumoDlg::OnButtonTransfer() {}

void CLumoDlg::OnButtonTransferTo() {}

void CLumoDlg::OnButtonConference() {}

void CLumoDlg::OnNextCall() {}

BOOL CLumoDlg::HandleDialKey(UINT /*nChar*/)
{
    return FALSE; // no call to send the key on yet
}

void CLumoDlg::EndCall(int /*nResult*/, const CString& /*strEndText*/, long /*nCallId*/) {}

void CLumoDlg::SendDtmfForCall(long /*nCallId*/, const CString& /*strDigits*/, BOOL /*bFlag*/) {}

void CLumoDlg::TakeCallById(long /*nCallId*/) {}

void CLumoDlg::DropCall(CCallInfo* /*pCall*/) {}

void CLumoDlg::RecordCall(long /*nRequestId*/, long /*nCallId*/) {}

// ---- reactions to Jex's call commands ----

LRESULT CLumoDlg::OnCallAckRequest(WPARAM /*wParam*/, LPARAM lParam)
{
    const std::unique_ptr<CString> pText(reinterpret_cast<CString*>(lParam)); // ours, whatever follows
    return 0;
}

LRESULT CLumoDlg::OnCallAckRemove(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

CString CLumoDlg::GetCallTypeText(long /*nCallType*/)
{
    return CString();
}

CString CLumoDlg::GetCallStateText(long /*nCallState*/)
{
    return CString();
}

void CLumoDlg::StartInboundCall(const CString& /*strTask*/) {}

void CLumoDlg::StartOutboundCall(const CString& /*strTask*/) {}

void CLumoDlg::StartTransferredCall(const CString& /*strTask*/, BOOL /*bInbound*/) {}

void CLumoDlg::OnBlindTransferResult(long /*nFirst*/, long /*nSecond*/) {}

void CLumoDlg::OnConferenceAdded(const CString& /*strText*/) {}

void CLumoDlg::OnOutboundCallEnded(long /*nCallId*/) {}

void CLumoDlg::OnNextCallResult(int /*nCode*/) {}

void CLumoDlg::OnConfirmTransferResult(int /*nCode*/) {}

void CLumoDlg::OnHoldResult(int /*nCode*/) {}

void CLumoDlg::OnTakeBackResult(int /*nCode*/) {}

void CLumoDlg::OnTakeCallResult(int /*nCode*/) {}

void CLumoDlg::OnTransferCallResult(int /*nCode*/) {}

void CLumoDlg::OnTransferEnded(int /*nCode*/) {}

void CLumoDlg::OnTransferToAgent(int /*nCode*/) {}

void CLumoDlg::OnRecordCallResult(long /*nId*/, long /*nResult*/) {}

void CLumoDlg::OnAnnotationChanged(long /*nFirst*/, long /*nSecond*/, long /*nThird*/, long /*nFourth*/, int /*nFifth*/)
{
}

// ---- tasks and child programs ----

void CLumoDlg::OnTaskStarted() {}

void CLumoDlg::OnTaskResources(long /*nTaskId*/, long /*nApplicationId*/, long /*nResourceId*/,
                               std::unique_ptr<BYTE[]> /*pBytes*/, DWORD /*nLength*/, DWORD /*nCrc*/)
{
}

void CLumoDlg::OnContactSearchResult(const CPropertyList& /*result*/) {}

// ---- the softphone ----

LRESULT CLumoDlg::OnSoftPhoneEvent(WPARAM /*wParam*/, LPARAM lParam)
{
    const std::unique_ptr<CString> pText(reinterpret_cast<CString*>(lParam));
    return 0;
}

LRESULT CLumoDlg::OnSoftPhoneError(WPARAM /*wParam*/, LPARAM lParam)
{
    const std::unique_ptr<CString> pText(reinterpret_cast<CString*>(lParam));
    return 0;
}

LRESULT CLumoDlg::OnSoftPhoneAlarm(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

BOOL CLumoDlg::HasSoftphone()
{
    return FALSE;
}

void CLumoDlg::WriteSoftphoneLog(const CString& /*strLine*/) {}

void CLumoDlg::HangUpSoftPhone() {}

long CLumoDlg::DialOnSoftPhone(const CString& /*strNumber*/)
{
    return -1; // nothing dialled: there is no softphone
}

void CLumoDlg::ApplySoftphoneAlarmLimits() {}

void CLumoDlg::UpdateSoftPhoneLog() {}

void CLumoDlg::CreateSoftphone() {}

// ---- agent state, pauses, queues, statistics and timers ----

void CLumoDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) return; // the About box comes with the panel's behaviour
    CLumoDialog::OnSysCommand(nID, lParam);
}

LRESULT CLumoDlg::OnSystemTimeChanged(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

void CLumoDlg::OnTimer(UINT_PTR /*nIDEvent*/) {}

CString CLumoDlg::GetAgentStateText()
{
    return m_strStateText;
}

CString CLumoDlg::GetAgentStateText(int nState) const
{
    switch (nState)
    {
    case 1:
        return L"Ready";
    case 2:
        return m_strPauseReason.IsEmpty() ? CString(L"In pause") : m_strPauseReason;
    case 3:
        return L"Inbound call";
    case 4:
        return L"Outbound call";
    case 5:
        return L"Manual call";
    case 6:
        return L"Inbound clerical";
    case 7:
        return L"Outbound clerical";
    case 8:
        return L"Processing email";
    case 9:
        return L"Processing fax";
    case 10:
        return L"Processing voice mail";
    case 11:
        return L"Processing chat";
    case 12:
        return L"Phone is off hook";
    case 13:
        return L"Call Me Call";
    case 14:
        return L"Key-in";
    case 16:
        return L"Selecting";
    case 17:
        return L"Brief";
    case 18:
        return L"Predictive dialing";
    default:
        return CString(); // 0, 15 and states Jex may add later have no text of their own
    }
}

void CLumoDlg::SetAgentState(int nState, const CString& strStateText)
{
    m_nAgentState = nState;
    if (!m_bReady) return; // the end of the start shows the state it holds by then
    if (nState == 2)
    {
        m_strPauseReason = strStateText;
        // Only the beginning of a pause starts the clock: a new reason within it does not.
        if (!m_bPause)
        {
            m_bPause = TRUE;
            MarkPauseButton(TRUE);
            m_tStateStart = _time64(nullptr);
        }
    }
    else if (m_bPause)
    {
        m_bPause = FALSE;
        MarkPauseButton(FALSE);
    }
    SetPauseIndicator(m_bPause);

    m_strStateText = GetAgentStateText(nState);
    if (m_app.m_bAllowToolBar && m_pToolBar) m_pToolBar->SetBannerText(m_strStateText);
    m_strStatusText = m_strStateText;
    InvalidateRect(&m_rcStatusArea, FALSE);
    CString strTitle;
    strTitle.LoadString(IDS_TITLE_PREFIX);
    SetWindowText(strTitle + m_strStateText);
    BroadcastAgentState();
}

void CLumoDlg::BroadcastAgentState()
{
    Core().BroadcastAgentState(m_nAgentState, m_strStateText);
}

void CLumoDlg::MarkPauseButton(BOOL bPressed)
{
    if (m_panelLatched.empty()) return; // no panel buttons yet
    m_panelLatched[0] = bPressed ? 1 : 0;
    if (const auto it = m_panelRects.find(0); it != m_panelRects.end()) InvalidateRect(&it->second, FALSE);
}

void CLumoDlg::UpdateQueueDisplay() {}

void CLumoDlg::ShowQueueStats(const CString& /*strText*/) {}

void CLumoDlg::SetAssignedToKeyIn(BOOL /*bAssigned*/) {}

void CLumoDlg::OnAvailableOutbound(BOOL /*bAvailable*/, long /*nGroupId*/, const CString& /*strGroup*/) {}

void CLumoDlg::OnPauseList(long /*nRequestId*/, long /*nApplicationId*/, const CString& /*strList*/) {}

void CLumoDlg::RequestPause(long /*nPauseReasonId*/, int /*nStartType*/) {}

void CLumoDlg::EndPause() {}

void CLumoDlg::SetPauseState(BOOL /*bPause*/) {}

void CLumoDlg::SetPauseStateFor(BOOL bPause, long /*nRequester*/)
{
    SetPauseState(bPause);
}

void CLumoDlg::RequestPauseList(long /*nRequestId*/, long /*nApplicationId*/) {}

void CLumoDlg::OnUpdateSemiOpens(const CString& /*strText*/) {}

void CLumoDlg::OnQuotaUpdate(long /*nSurveyId*/, int /*nType*/, const BYTE* /*pBytes*/, DWORD /*nLength*/) {}

// ---- permissions, messages, manual dialling, numbers, call history and key-in ----

void CLumoDlg::ArrangeButtons() {}

void CLumoDlg::OnMessageReceived(const CString& /*strSender*/, std::unique_ptr<CMessage> /*pMessage*/) {}

void CLumoDlg::RequestAgentList(long /*nRequestId*/, long /*nApplicationId*/, int /*nListKind*/) {}

void CLumoDlg::DialNumberForApplication(long /*nRequestId*/, long /*nApplicationId*/, const CString& /*strNumber*/,
                                        const CString& /*strText*/)
{
}

void CLumoDlg::OnManualDialRequest(int /*nType*/) {}

void CLumoDlg::OnManualDialResult(int /*nCode*/) {}

void CLumoDlg::OnNumberInfo(const CString& /*strText*/) {}

void CLumoDlg::OnRefuseNumberResult(long /*nFirst*/, long /*nSecond*/, long /*nThird*/) {}

void CLumoDlg::OnSelectNumberResult(long /*nFirst*/, long /*nSecond*/, long /*nThird*/) {}

void CLumoDlg::RequestCallHistory(long /*nCallId*/, long /*nRequestId*/, long /*nApplicationId*/) {}

void CLumoDlg::OnCallHistory(long /*nCallId*/, long /*nRequestId*/, long /*nApplicationId*/, const BYTE* /*pBytes*/,
                             DWORD /*nLength*/, DWORD /*nCrc*/)
{
}

void CLumoDlg::OnKeyInInterview(long /*nInterviewId*/, const CString& /*strText*/) {}

void CLumoDlg::OnStartKeyInResult(const CString& /*strText*/) {}

void CLumoDlg::StopQuestionRecording(long /*nRequestId*/, long /*nCallId*/) {}

// ---- after log-on ----

void CLumoDlg::SetUpToolBarAfterLogon() {}

void CLumoDlg::PrepareAfterLogon() {}
