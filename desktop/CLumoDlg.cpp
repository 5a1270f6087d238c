#include "desktop/CLumoDlg.h"
#include "core/CTimeTools.h"
#include "desktop/CApplicationToolBarDlg.h"
#include "desktop/CIniFile.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "framework/AfxMessageBox.h"
#include "framework/CDataExchange.h"
#include "framework/CMenu.h"
#include "framework/CPaintDC.h"
#include "sessions/CAppSocket.h"
#include "sessions/CJexSocket.h"
#include "sessions/CLumoClientSocket.h"
#include "sessions/CSessionCore.h"
#include <algorithm>
#include <iterator>
#include <objbase.h>

IMPLEMENT_DYNAMIC(CLumoDlg, CLumoDialog)

namespace
{
// The ten call buttons.
constexpr int kCallButtons[] = {IDC_BUTTON_END_CALL,    IDC_BUTTON_END_TASK,  IDC_BUTTON_ON_HOLD,   IDC_BUTTON_RECORD,
                                IDC_BUTTON_ANONYMIZE,   IDC_BUTTON_TAKE_BACK, IDC_BUTTON_TAKE_CALL, IDC_BUTTON_TRANSFER,
                                IDC_BUTTON_TRANSFER_TO, IDC_BUTTON_CONFERENCE};

// The statistics statics: hidden unless both the statistics and the extended view are on.
constexpr int kStatistics[] = {IDC_GROUP_LABEL, IDC_GROUP_NAME, IDC_QUEUE_LABEL,  IDC_QUEUE_VALUE,
                               IDC_TIME_LABEL,  IDC_TIME_VALUE, IDC_AGENTS_VALUE, IDC_AGENTS_LABEL};

struct Column
{
    UINT nText;
    int nWidth;
};
// The extended view's columns; the compact view's are the same but for their widths and the
// first, whose call id is there for look-ups only.
constexpr Column kExtendedColumns[] = {
    {IDS_COLUMN_CALL, 60},   {IDS_COLUMN_GROUP, 120},      {IDS_COLUMN_TOTAL_TIME, 60}, {IDS_COLUMN_QUEUE_TIME, 60},
    {IDS_COLUMN_SENDER, 60}, {IDS_COLUMN_DESTINATION, 65}, {IDS_COLUMN_TYPE, 50},       {IDS_COLUMN_STATUS, 88},
};
constexpr Column kCompactColumns[] = {
    {IDS_COLUMN_CALL, 0},    {IDS_COLUMN_GROUP, 80},       {IDS_COLUMN_TOTAL_TIME, 60}, {IDS_COLUMN_QUEUE_TIME, 75},
    {IDS_COLUMN_SENDER, 55}, {IDS_COLUMN_DESTINATION, 55}, {IDS_COLUMN_TYPE, 50},       {IDS_COLUMN_STATUS, 88},
};

constexpr UINT_PTR kTimerMarquee = 102;
constexpr UINT kMarqueeMs = 300;
constexpr UINT_PTR kTimerClock = 103;
constexpr UINT kClockMs = 1000;

constexpr int kNoCallInfoHeight = 60; // what the window loses without the call list
constexpr int kNoExtendedWidth = 120; // without the extended view
constexpr int kNoStatisticsHeight = 30;
constexpr int kHiddenHeight = 189; // the start shows less than the template
constexpr int kMultiButtonsHeight = 33;
constexpr int kStatisticsFrameShift = 65; // the status frame takes the statistics' place

CString LoadText(UINT nId)
{
    CString text;
    text.LoadString(nId);
    return text;
}

DWORD WindowsVersion()
{
    OSVERSIONINFOW info{sizeof info};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations" // the version the program reports is the one this gives
    if (!::GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion * 256 + info.dwMinorVersion;
}
} // namespace

CLumoDlg::CLumoDlg(CLumoApp& app, CWnd* pParent)
    : CLumoDialog(IDD_LUMO_DIALOG, pParent), m_app(app), m_strGroupLabel(LoadText(IDS_INBOUND_GROUP) + L":     "),
      m_pJexSocket(app.GetJexSocket()), m_tStateStart(_time64(nullptr)), m_nWindowsVersion(WindowsVersion())
{
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_LUMO));
    m_fontStatus.CreateFont(-12, -10, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Courier");
    Core().Roles().Install(*this);
}

CLumoDlg::~CLumoDlg()
{
    // The tool bar first: it holds a reference to the call it shows.
    m_pToolBar.reset();
    StopScriptThreads();
    m_scriptTexts.clear();
    m_scriptLoadEvents.clear();
    // The core keeps the calls for the session; a main window that goes ends them all.
    for (const auto& pCall : Core().GetCalls())
        Core().RemoveCall(pCall->m_nCallId);
    if (m_hTimeChangeWnd) CTimeTools::RegisterTimeChangeListener(m_hTimeChangeWnd, 0, 0);
    Core().Roles().Withdraw(*this);
    DestroyWindow();
    m_comInitialized.Close();
}

CSessionCore& CLumoDlg::Core() const
{
    return m_app.m_sessionCore;
}

void CLumoDlg::CreateToolBar()
{
    if (m_pToolBar) return;
    m_pToolBar = std::make_unique<CApplicationToolBarDlg>(this);
    m_pToolBar->Create();
}

BOOL CLumoDlg::Create()
{
    return CLumoDialog::Create(IDD_LUMO_DIALOG, CWnd::FromHandle(::GetDesktopWindow()));
}

void CLumoDlg::DoDataExchange(CDataExchange* pDX)
{
    CLumoDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATUS_FRAME, m_staticStatusFrame);
    DDX_Control(pDX, IDC_CALL_LIST, m_listCalls);
    DDX_Control(pDX, IDC_BUTTON_ON_HOLD, m_btnOnHold);
    DDX_Control(pDX, IDC_BUTTON_TAKE_BACK, m_btnTakeBack);
    DDX_Control(pDX, IDC_BUTTON_TAKE_CALL, m_btnTakeCall);
    DDX_Control(pDX, IDC_BUTTON_TRANSFER_TO, m_btnTransferTo);
    DDX_Control(pDX, IDC_BUTTON_RECORD, m_btnRecord);
    DDX_Control(pDX, IDC_BUTTON_END_TASK, m_btnEndTask);
    DDX_Control(pDX, IDC_BUTTON_END_CALL, m_btnEndCall);
    DDX_Control(pDX, IDC_BUTTON_ANONYMIZE, m_btnAnonymize);
    DDX_Control(pDX, IDC_BUTTON_TRANSFER, m_btnTransfer);
    DDX_Control(pDX, IDC_BUTTON_CONFERENCE, m_btnConference);
    DDX_Control(pDX, IDC_MASTER_VOLUME, m_knobMaster);
    DDX_Control(pDX, IDC_MICROPHONE_VOLUME, m_knobMicrophone);
    DDX_Control(pDX, IDC_BUTTON_MUTE_MASTER, m_btnMuteMaster);
    DDX_Control(pDX, IDC_BUTTON_MUTE_MICROPHONE, m_btnMuteMicrophone);
    DDX_Text(pDX, IDC_GROUP_LABEL, m_strGroupLabel);
    DDX_Control(pDX, IDC_GROUP_NAME, m_staticGroupName);
    DDX_Control(pDX, IDC_QUEUE_VALUE, m_staticQueueValue);
    DDX_Control(pDX, IDC_TIME_VALUE, m_staticTimeValue);
    DDX_Control(pDX, IDC_AGENTS_VALUE, m_staticAgentsValue);
    DDX_Control(pDX, IDC_QUEUE_LABEL, m_staticQueueLabel);
    DDX_Control(pDX, IDC_TIME_LABEL, m_staticTimeLabel);
    DDX_Control(pDX, IDC_AGENTS_LABEL, m_staticAgentsLabel);
}

BOOL CLumoDlg::OnInitDialog()
{
    CLumoDialog::OnInitDialog();
    // The softphone and script engines are COM objects of this thread; balanced by the destructor.
    m_comInitialized.Attach(SUCCEEDED(::CoInitialize(nullptr)));

    const bool bStatistics = m_app.m_bStatisticsView;
    const bool bExtended = m_app.m_bExtendedView;
    const bool bCallInfo = m_app.m_bCallInfoWindow;

    CRect rcWindow;
    GetWindowRect(&rcWindow);
    if (!bCallInfo) rcWindow.bottom -= kNoCallInfoHeight;
    if (!bExtended) rcWindow.right -= kNoExtendedWidth;
    m_versionInfo.Read();
    LOGFONTW lf{};
    if (CFont* pFont = GetFont(); pFont && pFont->GetLogFont(&lf))
    {
        lf.lfWeight = FW_BOLD;
        m_fontBold.CreateFontIndirect(&lf);
    }
    if (!bStatistics || !bExtended)
    {
        rcWindow.bottom -= kNoStatisticsHeight;
        CRect rcFrame = ChildRect(IDC_STATUS_FRAME);
        rcFrame.left += 3;
        rcFrame.right -= 3;
        rcFrame.OffsetRect(0, -kStatisticsFrameShift);
        m_staticStatusFrame.MoveWindow(rcFrame, FALSE);
    }
    MoveWindow(rcWindow, FALSE);
    ArrangeButtons();

    SetTimer(kTimerClock, kClockMs);
    if (CTimeTools::RegisterTimeChangeListener(m_hWnd, 0, WM_SYSTEMTIMECHANGED)) m_hTimeChangeWnd = m_hWnd;

    const CString strAbout = LoadText(IDS_ABOUTBOX);
    if (CMenu* pSysMenu = GetSystemMenu(FALSE); pSysMenu && !strAbout.IsEmpty())
    {
        pSysMenu->AppendMenu(MF_SEPARATOR);
        pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAbout);
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // Hidden until the agent is logged on; the log-on shows the window.
    ExtendHeight(-kHiddenHeight, TRUE);

    PrepareCallList();
    if (!bExtended) LayoutWindow(kNoExtendedWidth, 25);

    OpenApplicationPortListeners();

    InitPanelButtons();
    SetPauseIndicator(m_bPause);
    SetTimer(kTimerMarquee, kMarqueeMs);
    m_nMarqueeOffset = 10;
    m_rcStatusArea = ChildRect(IDC_STATUS_FRAME);
    InitCallList();
    Core().BroadcastLumoPresent();

    if (CWnd* pStatusEdit = GetDlgItem(IDC_STATUS_EDIT)) pStatusEdit->SetFont(&m_fontStatus);
    if (bStatistics && bExtended)
    {
        for (int nId : {IDC_AGENTS_VALUE, IDC_GROUP_NAME, IDC_QUEUE_VALUE, IDC_TIME_VALUE})
            if (CWnd* pStatic = GetDlgItem(nId)) pStatic->SetFont(&m_fontBold);
    }
    else
    {
        for (int nId : kStatistics)
            ShowChild(nId, FALSE);
    }

    StartCallScript(0, CString(), CString(), -1);
    SetUpCallButtons();
    SetUpMuteButtons();

    SetPauseIndicator(FALSE);
    m_bReady = TRUE;
    SetAgentState(m_nAgentState, CString());
    UpdateQueueDisplay();
    CenterWindow();

    m_cxFrame = ::GetSystemMetrics(SM_CXFIXEDFRAME);
    m_cyFrame = ::GetSystemMetrics(SM_CYFIXEDFRAME);
    m_cyCaption = ::GetSystemMetrics(SM_CYCAPTION);
    return TRUE;
}

void CLumoDlg::OpenApplicationPortListeners()
{
    // Exactly the configured ports: one that is taken stays closed until the log-on, which makes
    // the missing listener again and moves on to a free port.
    if (!m_app.m_pOldListener)
    {
        auto pListener = std::make_unique<CAppSocket>(Core(), m_app.m_host);
        if (pListener->StartListening(m_app.GetApplicationPort(), 0))
        {
            m_app.m_nApplicationPort = static_cast<USHORT>(pListener->GetListeningPort());
            m_app.m_pOldListener = std::move(pListener);
        }
    }
    if (!m_app.m_pListener)
    {
        auto pListener = std::make_unique<CLumoClientSocket>(Core(), m_app.m_host);
        if (pListener->StartListening(m_app.GetAppPort(), 0))
        {
            m_app.m_nAppPort = static_cast<USHORT>(pListener->GetListeningPort());
            m_app.m_pListener = std::move(pListener);
        }
    }
}

void CLumoDlg::PrepareCallList()
{
    m_listCalls.SetExtendedStyle(LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    // The calls keep the order they came in: a header click must not pretend to sort them.
    m_listCalls.ShowSortIcon(FALSE);
}

void CLumoDlg::InitCallList()
{
    if (!m_app.m_bCallInfoWindow)
    {
        ShowChild(IDC_CALL_LIST, FALSE);
        for (int nId : kCallButtons)
            ShowChild(nId, FALSE);
        return;
    }
    // Every row carries the call id in column 0, which every look-up of a row's call reads. The
    // compact view keeps that column at zero width, out of the agent's sight.
    const bool bExtended = m_app.m_bExtendedView;
    const Column* pColumns = bExtended ? kExtendedColumns : kCompactColumns;
    const int nColumns = static_cast<int>(std::size(kExtendedColumns));
    for (int i = 0; i < nColumns; ++i)
        m_listCalls.InsertColumn(i, pColumns[i].nText, pColumns[i].nWidth);
    if (!bExtended)
    {
        LayoutWindow(0, 22);
        return;
    }
    m_listCalls.SetColumnWidth(nColumns - 1, LVSCW_AUTOSIZE_USEHEADER);
    if (m_app.m_bStatisticsView) return;
    if (CIniFile::GetMultiCallButtons())
        ExtendHeight(kMultiButtonsHeight, FALSE);
    else
        LayoutWindow(0, 22);
}

struct CallButtonLook
{
    CFlatButton CLumoDlg::*pButton;
    int nIconIn;
    int nIconOut;
    UINT nTip;
};

void CLumoDlg::SetUpCallButtons()
{
    if (!CIniFile::GetMultiCallButtons()) return;
    static const CallButtonLook kLooks[] = {
        {&CLumoDlg::m_btnEndCall, IDI_END_CALL_IN, IDI_END_CALL_OUT, IDS_TIP_END_CALL},
        {&CLumoDlg::m_btnEndTask, IDI_END_TASK_IN, IDI_END_TASK_OUT, IDS_TIP_END_TASK},
        {&CLumoDlg::m_btnOnHold, IDI_ON_HOLD_IN, IDI_ON_HOLD_OUT, IDS_TIP_ON_HOLD},
        {&CLumoDlg::m_btnRecord, IDI_RECORD_IN, IDI_RECORD_OUT, IDS_TIP_RECORD},
        {&CLumoDlg::m_btnAnonymize, IDI_ANONYMIZE_IN, IDI_ANONYMIZE_OUT, IDS_TIP_ANONYMIZE},
        {&CLumoDlg::m_btnTakeBack, IDI_TAKE_BACK_IN, IDI_TAKE_BACK_OUT, IDS_TIP_TAKE_BACK},
        {&CLumoDlg::m_btnTakeCall, IDI_TAKE_CALL_IN, IDI_TAKE_CALL_OUT, IDS_TIP_TAKE_CALL},
        {&CLumoDlg::m_btnTransfer, IDI_TRANSFER_IN, IDI_TRANSFER_OUT, IDS_TIP_TRANSFER},
        {&CLumoDlg::m_btnTransferTo, IDI_TRANSFER_TO_IN, IDI_TRANSFER_TO_OUT, IDS_TIP_TRANSFER_TO},
        {&CLumoDlg::m_btnConference, IDI_CONFERENCE_IN, IDI_CONFERENCE_OUT, IDS_TIP_CONFERENCE},
    };
    for (const auto& look : kLooks)
    {
        CFlatButton& button = this->*look.pButton;
        button.SetIcon(look.nIconIn, look.nIconOut);
        button.SetTooltipText(static_cast<int>(look.nTip));
        button.SetDrawTransparent(FALSE);
    }
    // Until the calls first change, recording shows as the permission allows it; the buttons'
    // own update takes over from then on.
    m_btnRecord.m_bForceIcon = TRUE;
    m_btnRecord.m_bForcedIconChoice = m_app.m_bAllowRecording ? TRUE : FALSE;
    m_btnAnonymize.EnableWindow(FALSE);
}

void CLumoDlg::SetUpMuteButtons()
{
    m_btnMuteMaster.SetIcon(IDI_MUTE_MASTER_IN, IDI_MUTE_MASTER_OUT);
    m_btnMuteMaster.SetTooltipText(IDS_TIP_MUTE_MASTER);
    m_btnMuteMaster.SetDrawTransparent(TRUE);
    m_btnMuteMicrophone.SetIcon(IDI_MUTE_MICROPHONE_IN, IDI_MUTE_MICROPHONE_OUT);
    m_btnMuteMicrophone.SetTooltipText(IDS_TIP_MUTE_MICROPHONE);
    m_btnMuteMicrophone.SetDrawTransparent(TRUE);
}

CRect CLumoDlg::ChildRect(int nId) const
{
    CRect rect;
    if (const HWND hChild = ::GetDlgItem(m_hWnd, nId))
    {
        ::GetWindowRect(hChild, &rect);
        ScreenToClient(&rect);
    }
    return rect;
}

void CLumoDlg::ShowChild(int nId, BOOL bShow)
{
    if (const HWND hChild = ::GetDlgItem(m_hWnd, nId)) ::ShowWindow(hChild, bShow ? SW_SHOW : SW_HIDE);
}

BOOL CLumoDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Enter must never close the main window: it goes on as a command that nothing handles.
    if (LOWORD(wParam) == IDOK) return CLumoDialog::OnCommand(ID_ENTER_SWALLOWED, 124);
    return CLumoDialog::OnCommand(wParam, lParam);
}

BOOL CLumoDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_toolTips.GetSafeHwnd()) m_toolTips.RelayEvent(pMsg);
    return CLumoDialog::PreTranslateMessage(pMsg);
}

void CLumoDlg::GrowCallList(int dy)
{
    CRect rcList = ChildRect(IDC_CALL_LIST);
    rcList.bottom += dy;
    m_listCalls.MoveWindow(rcList);
    ExtendHeight(dy, FALSE);
}

void CLumoDlg::LayoutWindow(int dx, int dy)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(&placement)) return;
    CRect rcWindow(placement.rcNormalPosition);
    CRect rcEdit = ChildRect(IDC_STATUS_EDIT);
    CRect rcFrame = ChildRect(IDC_STATUS_FRAME);
    CRect rcList = ChildRect(IDC_CALL_LIST);

    if (m_app.m_bAllowToolBar && m_pToolBar && m_pToolBar->GetDockMode() == 1)
    {
        // The docked tool bar takes over the top of the window.
        const int nUp = m_app.m_bCallInfoWindow ? 140 : 68;
        rcWindow.OffsetRect(0, -nUp);
        rcEdit.OffsetRect(0, -nUp / 2);
        rcList.OffsetRect(0, -nUp / 2);
        rcFrame.OffsetRect(0, m_bToolBarLayoutDone ? -nUp / 2 : -nUp);
        m_bToolBarLayoutDone = TRUE;
    }

    rcWindow.right -= dx;
    placement.rcNormalPosition = rcWindow;
    // A hidden window reads as shown; written back so it would appear before its time.
    if (!IsWindowVisible()) placement.showCmd = SW_HIDE;
    SetWindowPlacement(&placement);
    Invalidate();

    for (CRect* pRect : {&rcEdit, &rcFrame, &rcList})
    {
        pRect->OffsetRect(0, -dy);
        pRect->right -= dx;
    }
    if (!(m_app.m_bStatisticsView && m_app.m_bExtendedView))
    {
        ShowChild(IDC_STATUS_EDIT, FALSE);
        rcList.OffsetRect(0, rcEdit.top - rcList.top);
    }
    if (CWnd* pEdit = GetDlgItem(IDC_STATUS_EDIT)) pEdit->MoveWindow(rcEdit);
    m_staticStatusFrame.MoveWindow(rcFrame);
    m_listCalls.MoveWindow(rcList);
    m_rcStatusArea = rcFrame;
}

void CLumoDlg::PostMessageBox(const CString& strText)
{
    auto pText = std::make_unique<CString>(strText);
    if (GetSafeHwnd() && PostMessage(WM_POSTEDMESSAGEBOX, 0, reinterpret_cast<LPARAM>(pText.get()))) pText.release();
}

LRESULT CLumoDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_POSTEDMESSAGEBOX) return CLumoDialog::WindowProc(message, wParam, lParam);
    const std::unique_ptr<CString> pText(reinterpret_cast<CString*>(lParam));
    if (pText) ShowPostedBox(*pText);
    return 0;
}

// A box's own message loop delivers the next posted box. Opened there, every box would stay on the
// stack until the user closed the ones above it, and a program sending thousands of unknown words
// would overflow it. So they wait in line and come one after the other; a text already waiting is
// not added twice, and past a few the rest are dropped: nobody reads thousands of boxes.
void CLumoDlg::ShowPostedBox(const CString& strText)
{
    if (m_bShowingPostedBox)
    {
        if (m_waitingBoxes.size() < kMaxWaitingBoxes &&
            std::find(m_waitingBoxes.begin(), m_waitingBoxes.end(), strText) == m_waitingBoxes.end())
            m_waitingBoxes.push_back(strText);
        return;
    }
    m_bShowingPostedBox = true;
    AfxMessageBox(strText, MB_OK);
    while (!m_waitingBoxes.empty())
    {
        const CString strNext = m_waitingBoxes.front();
        m_waitingBoxes.pop_front();
        AfxMessageBox(strNext, MB_OK);
    }
    m_bShowingPostedBox = false;
}
