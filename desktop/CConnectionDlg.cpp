#include "desktop/CConnectionDlg.h"
#include "core/CStaticTools.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "framework/AfxMessageBox.h"
#include "sessions/CJexSocket.h"

namespace
{
CConnectionDlg::Timings g_timings;

constexpr int kHandshakeFailed = 4; // the link's handshake state once its rounds gave up

// -1: no outcome yet. 0 and WSAEWOULDBLOCK: the attempt is still on its way. None is an error to show.
bool IsConnectError(int nError)
{
    return nError != -1 && nError != 0 && nError != WSAEWOULDBLOCK;
}
} // namespace

BEGIN_MESSAGE_MAP(CConnectionDlg, CDialog)
ON_WM_CREATE()
ON_WM_TIMER()
ON_WM_WINDOWPOSCHANGING()
ON_MESSAGE(WM_PROGRESSCLOSED, &CConnectionDlg::OnProgressClosed)
END_MESSAGE_MAP()

void CConnectionDlg::SetTimings(const Timings& timings)
{
    g_timings = timings;
}

const CConnectionDlg::Timings& CConnectionDlg::GetTimings()
{
    return g_timings;
}

BOOL CConnectionDlg::CreateLink(CJexSocket& link)
{
    return link.Create(0, SOCK_STREAM, CAsyncSocket::kAllEvents);
}

CConnectionDlg::CConnectionDlg(std::shared_ptr<CJexSocket> pJexSocket, CLumoApp& app, CWnd* pParentWnd)
    : CDialog(IDD_CONNECTION, pParentWnd), m_pJexSocket(std::move(pJexSocket)), m_app(app)
{
}

CConnectionDlg::~CConnectionDlg() = default;

int CConnectionDlg::OnCreate(LPCREATESTRUCTW lpCreateStruct)
{
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
    // Above other programs: the agent has nothing to do in Lumo until Jex answers.
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return 0;
}

void CConnectionDlg::OnWindowPosChanging(WINDOWPOS* lpwndpos)
{
    // Every way of showing a window (the modal loop's own show, ShowWindow, SetWindowPos) passes
    // here, so this is the one place that keeps the dialog hidden until its first tick, and for
    // good while Lumo runs hidden: the modal loop's show may come after that tick.
    if (!m_bMayShow || !m_app.m_bVisible) lpwndpos->flags &= ~SWP_SHOWWINDOW;
    CDialog::OnWindowPosChanging(lpwndpos);
}

BOOL CConnectionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    StartAttempt();
    SetTimer(kConnectTimer, g_timings.nTickMs);
    GotoDlgCtrl(GetDlgItem(IDCANCEL));
    return FALSE; // the focus is set
}

void CConnectionDlg::OnOK() {}

void CConnectionDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kConnectTimer)
    {
        CDialog::OnTimer(nIDEvent);
        return;
    }
    OnConnectTick();
}

void CConnectionDlg::OnConnectTick()
{
    CJexSocket& link = *m_pJexSocket;
    if (link.m_bSession)
    {
        KillTimer(kConnectTimer);
        EndDialog(IDOK);
        return;
    }
    if (link.IsUpdateInProgress())
    {
        // The download owns the dialog from here on; it ends Lumo when it is done.
        KillTimer(kConnectTimer);
        ShowWindow(SW_HIDE);
        return;
    }
    if (m_bShowWhileConnecting && !m_bSuspended)
    {
        m_bMayShow = true;
        ShowIfAllowed();
    }
    if (link.IsGreetingRefused())
    {
        KillTimer(kConnectTimer);
        CString strText = link.GetGreetingRefusalText();
        if (strText.IsEmpty()) strText.LoadString(IDS_GREETING_UNREADABLE);
        AfxMessageBox(strText, MB_OK);
        EndDialog(IDCANCEL);
        return;
    }
    ++m_nTickCount;
    const bool bAttemptOver =
        m_nTickCount >= g_timings.nTicksPerAttempt || link.GetHandshakeState() == kHandshakeFailed;
    if (bAttemptOver && !m_bSuspended)
    {
        m_nTickCount = 0;
        StartNewAttempt();
        return;
    }
    const int nError = link.GetConnectError();
    // The same error again is not news: the text stays as it is.
    if (nError != m_nLastError && IsConnectError(nError)) ShowError(nError);
}

void CConnectionDlg::StartAttempt()
{
    CJexSocket& link = *m_pJexSocket;
    const int nError = link.ConnectToServer() ? 0 : link.GetConnectError();
    if (IsConnectError(nError))
        ShowError(nError);
    else
    {
        m_strStatus.Format(IDS_JEX_WAITING, m_app.m_strRemoteHost.GetString(), static_cast<int>(m_app.m_nJexPort));
        ShowStatus();
    }
}

void CConnectionDlg::StartNewAttempt()
{
    // A socket is connected once: the next attempt needs a new one. The old connection is closed
    // before the new one opens, so Jex never sees two of ours at once.
    m_pJexSocket->Close();
    CreateLink(*m_pJexSocket); // a failure shows as the attempt's error
    StartAttempt();
}

void CConnectionDlg::ShowError(int nError)
{
    m_nLastError = nError;
    // The system's text ends with a line end, which would push the closing bracket onto a line of its own.
    CString strReason = CStaticTools::FormatSystemError(static_cast<DWORD>(nError));
    strReason.TrimRight();
    m_strStatus.Format(IDS_JEX_NO_RESPONSE, m_app.m_strRemoteHost.GetString(), static_cast<int>(m_app.m_nJexPort),
                       nError, strReason.GetString());
    ShowStatus();
}

void CConnectionDlg::ShowStatus()
{
    SetDlgItemText(IDC_CONNECTION_STATUS, m_strStatus);
}

void CConnectionDlg::ShowIfAllowed()
{
    if (m_bMayShow && m_app.m_bVisible && m_hWnd) ShowWindow(SW_SHOW);
}

void CConnectionDlg::ShowUpdateWindow()
{
    KillTimer(kConnectTimer);
    ShowWindow(SW_HIDE);
    ShowStatus();
}

// Both report to the progress window, which the update download opens; without one there is
// nobody to tell.
void CConnectionDlg::ShowUpdateProgress(long /*nReceived*/, long /*nTotal*/) {}
void CConnectionDlg::ShowUpdateDone() {}

void CConnectionDlg::SetMessageBoxShown(BOOL bShown)
{
    m_bSuspended = bShown != FALSE;
    if (m_bSuspended)
        ShowWindow(SW_HIDE);
    else
        ShowIfAllowed();
}

LRESULT CConnectionDlg::OnProgressClosed(WPARAM wParam, LPARAM /*lParam*/)
{
    constexpr WPARAM kCancelled = 2; // the agent cancelled the download
    if (wParam == kCancelled) m_app.QuitApplication();
    return 0;
}
