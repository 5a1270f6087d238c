#include "interview/CBrennClientDlg.h"
#include "core/CTimeTools.h"
#include "framework/AfxMessageBox.h"
#include "framework/COleDispatchException.h"
#include "framework/CPaintDC.h"
#include "framework/CRect.h"
#include "interview/BrennResource.h"
#include "interview/BrennShared.h"
#include "interview/CBrennClientApp.h"
#include "interview/LumoClientVersion.h"
#include "sessions/CCallResultSettings.h"
#include "uikit/CManifestActCtx.h"

namespace
{
constexpr long kApplicationId = 0;
constexpr long kSettingFullScreen = -1;
constexpr long kSettingHideLumo = -2;
} // namespace

CManifestActCtx* CBrennClientDlg::s_pActCtx = nullptr;

BEGIN_MESSAGE_MAP(CBrennClientDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_QUERYOPEN()
ON_WM_CLOSE()
ON_WM_SYSCOMMAND()
ON_WM_DESTROY()
ON_MESSAGE(WM_BRENN_QUIT, &CBrennClientDlg::OnQuit)
END_MESSAGE_MAP()

BEGIN_EVENTSINK_MAP(CBrennClientDlg, CDialog)
ON_EVENT(CBrennClientDlg, IDC_LUMOCLIENTCTRL, 2, &CBrennClientDlg::OnLumoConnectionChanged, VTS_I4)
ON_EVENT(CBrennClientDlg, IDC_LUMOCLIENTCTRL, 24, &CBrennClientDlg::OnUTCShiftServerChanged, VTS_I4 VTS_I4)
END_EVENTSINK_MAP()

CBrennClientDlg::CBrennClientDlg(USHORT nPort, CWnd* pParent)
    : CDialog(IDD_BRENNCLIENT_DIALOG, pParent), m_nPort(nPort)
{
    m_hIcon = static_cast<HICON>(
        ::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CBrennClientDlg::~CBrennClientDlg() = default;

BOOL CBrennClientDlg::CreateMain()
{
    if (!Create(IDD_BRENNCLIENT_DIALOG, nullptr)) return FALSE;
    if (m_bConnected)
    {
        ShowWindow(SW_SHOWMINIMIZED);
        UpdateWindow();
    }
    return TRUE;
}

BOOL CBrennClientDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_pActCtx = new CManifestActCtx(L"LumoClient.manifest", TRUE);
    const BOOL bCreated = m_Control.Create(this, IDC_LUMOCLIENTCTRL);
    m_pActCtx->Deactivate();
    if (!bCreated)
    {
        AfxMessageBox(IDS_CANNOT_CONNECT, MB_OK | MB_ICONERROR);
        return TRUE;
    }
    s_pActCtx = m_pActCtx;
    // A control that fails a call leaves BrennClient unconnected, never an exception in the loop.
    try
    {
        CheckVersion();
        if (Connect()) return TRUE;
    }
    catch (COleDispatchException* e)
    {
        e->Delete();
    }
    catch (CException* e)
    {
        e->Delete();
    }
    m_bConnected = false;
    CString text;
    text.Format(IDS_CANNOT_CONNECT_ON_PORT, static_cast<int>(m_nPort));
    AfxMessageBox(text, MB_OK | MB_ICONERROR);
    return TRUE;
}

void CBrennClientDlg::CheckVersion()
{
    const CString warning = LumoClientVersionWarning(GetBrennApp()->m_VersionInfo.m_strFileVersion,
                                                     m_Control.GetVersionInfoString());
    if (!warning.IsEmpty()) AfxMessageBox(warning, MB_OK | MB_ICONINFORMATION);
}

bool CBrennClientDlg::Connect()
{
    m_Control.SetApplicationId(kApplicationId);
    m_Control.SetPort(m_nPort);
    if (!m_Control.Init()) return false;
    CTimeTools::m_nUTCShift_sec = m_Control.GetUTCShiftServer();
    CTimeTools::UpdateTimeZoneInfo();
    m_bConnected = true;
    CBrennClientApp* pApp = GetBrennApp();
    long nValue = 0;
    if (m_Control.GetAgentSetting(kSettingFullScreen, nValue)) pApp->m_bFullScreen = nValue != 0;
    if (m_Control.GetAgentSetting(kSettingHideLumo, nValue)) pApp->m_bHideLumo = nValue != 0;
    m_bReady = true;
    ResendPendingInterviews();
    CCallResultSettings::RebuildDefaults();
    ShowWindow(SW_HIDE);
    return true;
}

void CBrennClientDlg::PostNcDestroy()
{
    if (CBrennClientApp* pApp = GetBrennApp()) pApp->ForgetMainWindow(this);
    delete this;
}

void CBrennClientDlg::OnPaint()
{
    if (!IsIconic())
    {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CBrennClientDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

BOOL CBrennClientDlg::OnQueryOpen()
{
    return FALSE;
}

void CBrennClientDlg::OnClose() {}

void CBrennClientDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == SC_CLOSE) return;
    CDialog::OnSysCommand(nID, lParam);
}

void CBrennClientDlg::OnDestroy()
{
    if (s_pActCtx == m_pActCtx) s_pActCtx = nullptr;
    delete m_pActCtx;
    m_pActCtx = nullptr;
    CDialog::OnDestroy();
}

LRESULT CBrennClientDlg::OnQuit(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    DestroyWindow();
    return 0;
}

void CBrennClientDlg::OnLumoConnectionChanged(long nState)
{
    if (nState == 1)
        m_bQuitAfterTask = false;
    else if (nState == 0 && m_bTaskRunning)
        m_bQuitAfterTask = true; // the interview goes on; BrennClient ends after it
    else if (nState == 0)
        PostMessage(WM_BRENN_QUIT);
}

void CBrennClientDlg::OnUTCShiftServerChanged(long /*nOldShift*/, long nNewShift)
{
    CTimeTools::m_nUTCShift_sec = nNewShift;
    CTimeTools::UpdateTimeZoneInfo();
}
