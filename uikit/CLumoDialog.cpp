#include "uikit/CLumoDialog.h"
#include "uikit/IDialogHost.h"
#include "framework/CDC.h"

IMPLEMENT_DYNAMIC(CLumoDialog, CDialog)

BEGIN_MESSAGE_MAP(CLumoDialog, CDialog)
ON_WM_NCHITTEST()
ON_WM_WINDOWPOSCHANGING()
ON_WM_ERASEBKGND()
ON_WM_KEYDOWN()
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CLumoDialog::CLumoDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : CDialog(nIDTemplate, pParentWnd), m_nTemplateId(nIDTemplate)
{
    m_font.CreateFont(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Westminster");
}

CLumoDialog::~CLumoDialog()
{
    // The region slot first, then the extra region; the font and the window follow with the members.
    m_rgn.DeleteObject();
    m_hExtraRgn.Close();
}

void CLumoDialog::DoDataExchange(CDataExchange*) {}

BOOL CLumoDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    InitCaptionMetrics();
    return TRUE;
}

BOOL CLumoDialog::InitCaptionMetrics()
{
    m_nCaptionHeight = ::GetSystemMetrics(SM_CYCAPTION) - ::GetSystemMetrics(SM_CYBORDER);
    return TRUE;
}

BOOL CLumoDialog::PreTranslateMessage(MSG* pMsg)
{
    if (m_bForwardDialKeys && pMsg->message == WM_CHAR)
    {
        IDialogHost* pHost = GetDialogHost();
        if (pHost && pHost->HandleDialKey(static_cast<wchar_t>(pMsg->wParam))) return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CLumoDialog::ReadPlacement(WINDOWPLACEMENT* pPlacement) const
{
    return GetWindowPlacement(pPlacement);
}

void CLumoDialog::ExtendHeight(int nPixels, BOOL bHide)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (ReadPlacement(&placement))
    {
        placement.rcNormalPosition.bottom += nPixels;
        // The placement reads a hidden window as shown: written back as read it would show it.
        if (bHide || !IsWindowVisible()) placement.showCmd = SW_HIDE;
        SetWindowPlacement(&placement);
    }
    Invalidate(TRUE);
}

BOOL CLumoDialog::ShowWindow(int nCmdShow)
{
    if (nCmdShow == SW_HIDE) m_bShowRefused = false;
    return CDialog::ShowWindow(nCmdShow);
}

BOOL CLumoDialog::ApplyWindowRegion(BOOL bRedraw)
{
    if (!m_rgn.GetSafeHandle() || !SetWindowRgn(m_rgn, bRedraw)) return FALSE;
    m_rgn.Detach();
    return TRUE;
}

LRESULT CLumoDialog::OnNcHitTest(CPoint point)
{
    CRect client;
    GetClientRect(&client);
    ClientToScreen(&client);
    // Controls answer their own hit tests, so this only makes the bare background a caption.
    if (client.PtInRect(point)) return HTCAPTION;
    return CDialog::OnNcHitTest(point);
}

void CLumoDialog::OnWindowPosChanging(WINDOWPOS* lpwndpos)
{
    IDialogHost* pHost = GetDialogHost();
    const bool visible = !pHost || pHost->IsDesktopVisible();
    if (lpwndpos->flags & SWP_HIDEWINDOW)
        m_bShowRefused = false; // a hide is never turned into a show, in either mode
    else if (!visible)
    {
        if (lpwndpos->flags & SWP_SHOWWINDOW)
        {
            lpwndpos->flags &= ~SWP_SHOWWINDOW; // move, size and z-order of this change still apply
            m_bShowRefused = true;
        }
    }
    else if (m_bShowRefused)
    {
        m_bShowRefused = false;
        lpwndpos->flags |= SWP_SHOWWINDOW;
    }
    CDialog::OnWindowPosChanging(lpwndpos);
}
