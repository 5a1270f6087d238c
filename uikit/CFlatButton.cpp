#include "uikit/CFlatButton.h"
#include "framework/CBrush.h"
#include <algorithm>
#include <cwchar>
#include <utility>

namespace
{
CFlatButton::ShellExecuteFunction g_pfnShellExecute = nullptr;
}

BEGIN_MESSAGE_MAP(CFlatButton, CButton)
ON_WM_SETCURSOR()
ON_WM_KILLFOCUS()
ON_WM_MOUSEMOVE()
ON_WM_SYSCOLORCHANGE()
ON_CONTROL_REFLECT_EX(BN_CLICKED, &CFlatButton::OnClicked)
ON_WM_ACTIVATE()
ON_WM_ENABLE()
ON_WM_CANCELMODE()
ON_WM_GETDLGCODE()
ON_WM_CTLCOLOR_REFLECT()
ON_WM_DESTROY()
ON_MESSAGE(BM_SETSTYLE, &CFlatButton::OnSetStyle)
ON_MESSAGE(WM_MOUSELEAVE, &CFlatButton::OnMouseLeave)
ON_MESSAGE(BM_SETCHECK, &CFlatButton::OnSetCheck)
ON_MESSAGE(BM_GETCHECK, &CFlatButton::OnGetCheck)
END_MESSAGE_MAP()

CFlatButton::CFlatButton()
{
    ResetColors(FALSE);
    SetPressedShift(0, FALSE);
}

CFlatButton::~CFlatButton()
{
    // The snapshot bitmap leaves the DC before either is freed.
    DropBackground();
    FreeImages();
}

void CFlatButton::SetShellExecuteFunction(ShellExecuteFunction pfn)
{
    g_pfnShellExecute = pfn;
}

DWORD CFlatButton::SetSwitch(BOOL& bMember, BOOL bOn, BOOL bRepaint)
{
    bMember = bOn;
    Repaint(bRepaint);
    return FLATBTN_OK;
}

void CFlatButton::Repaint(BOOL bRepaint)
{
    if (bRepaint && m_hWnd) Invalidate(TRUE);
}

void CFlatButton::PreSubclassWindow()
{
    const UINT type = GetStyle() & 0x0F;
    m_bIsCheckBox = type != BS_PUSHBUTTON;
    if (type == BS_DEFPUSHBUTTON) m_bIsDefault = TRUE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (GetStyle() & ~0x0FUL) | BS_OWNERDRAW);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

BOOL CFlatButton::PreTranslateMessage(MSG* pMsg)
{
    EnsureTooltip();
    m_toolTip.RelayEvent(pMsg);
    // A double click counts as a second click.
    if (pMsg->message == WM_LBUTTONDBLCLK) pMsg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(pMsg);
}

void CFlatButton::EnsureTooltip()
{
    if (m_toolTip.m_hWnd || !m_hWnd) return;
    if (!m_toolTip.Create(this, m_dwToolTipStyle)) return;
    m_toolTip.Activate(FALSE);
    m_toolTip.SetMaxTipWidth(400);
}

void CFlatButton::EndHover()
{
    if (m_bIsFlat && m_bHovered)
    {
        m_bHovered = FALSE;
        Invalidate(TRUE);
    }
}

BOOL CFlatButton::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
{
    if (m_hCursor.IsValid())
    {
        ::SetCursor(m_hCursor);
        return TRUE;
    }
    return CButton::OnSetCursor(pWnd, nHitTest, message);
}

void CFlatButton::OnKillFocus(CWnd* pNewWnd)
{
    CButton::OnKillFocus(pNewWnd);
    if (!pNewWnd && !IsWindowEnabled()) m_bFocusLostByDisabling = true;
    EndHover();
}

void CFlatButton::OnMouseMove(UINT nFlags, CPoint point)
{
    CButton::OnMouseMove(nFlags, point);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    HWND hUnder = ::WindowFromPoint(cursor);
    if (((nFlags & MK_LBUTTON) && !m_bHovered) || !m_bIsFlat) return;
    HWND hReference = m_bHoverWhenInactive ? m_hWnd : ::GetActiveWindow();
    if (hUnder == m_hWnd && hReference)
    {
        if (!m_bHovered)
        {
            m_bHovered = TRUE;
            Invalidate(TRUE);
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, HOVER_DEFAULT};
            ::TrackMouseEvent(&track);
        }
    }
    else
        EndHover();
}

LRESULT CFlatButton::OnMouseLeave(WPARAM, LPARAM)
{
    EndHover();
    return 0;
}

void CFlatButton::OnSysColorChange()
{
    CButton::OnSysColorChange();
    DropBackground();
    ResetColors(TRUE);
}

void CFlatButton::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    CButton::OnActivate(nState, pWndOther, bMinimized);
    if (nState == WA_INACTIVE) EndHover();
}

void CFlatButton::OnEnable(BOOL bEnable)
{
    CButton::OnEnable(bEnable);
    if (!bEnable)
    {
        // Only a focus this button holds moves on: the desktop disables buttons on server
        // events, which must not take the user's typing away from another control.
        HWND hFocus = ::GetFocus();
        const bool held = std::exchange(m_bFocusLostByDisabling, false) ||
                          (hFocus && (hFocus == m_hWnd || ::IsChild(m_hWnd, hFocus)));
        if (held)
        {
            if (CWnd* pParent = GetParent())
            {
                HWND hNext = ::GetNextDlgTabItem(pParent->m_hWnd, m_hWnd, FALSE);
                ::SetFocus(hNext && hNext != m_hWnd ? hNext : pParent->m_hWnd);
            }
        }
        EndHover();
    }
}

void CFlatButton::OnCancelMode()
{
    CButton::OnCancelMode();
    EndHover();
}

UINT CFlatButton::OnGetDlgCode()
{
    UINT code = CButton::OnGetDlgCode();
    code |= m_bIsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
    return code | DLGC_RADIOBUTTON;
}

HBRUSH CFlatButton::CtlColor(CDC*, UINT)
{
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CFlatButton::OnDestroy()
{
    DropBackground();
    CButton::OnDestroy();
}

LRESULT CFlatButton::OnSetStyle(WPARAM wParam, LPARAM lParam)
{
    const UINT type = static_cast<UINT>(wParam) & 0x0F;
    if (type == BS_DEFPUSHBUTTON)
        m_bIsDefault = TRUE;
    else if (type == BS_PUSHBUTTON)
        m_bIsDefault = FALSE;
    return DefWindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(0x04)) | BS_OWNERDRAW, lParam);
}

LRESULT CFlatButton::OnSetCheck(WPARAM wParam, LPARAM)
{
    SetCheck(wParam == BST_CHECKED || wParam == BST_INDETERMINATE, TRUE);
    return 0;
}

LRESULT CFlatButton::OnGetCheck(WPARAM, LPARAM)
{
    return m_bCheckState;
}

BOOL CFlatButton::OnClicked()
{
    SetFocus();
    if (m_bIsCheckBox)
    {
        m_bCheckState = !m_bCheckState;
        Invalidate(TRUE);
        return FALSE;
    }
    if (m_hMenu.IsValid())
    {
        CRect rc;
        GetWindowRect(&rc);
        m_bMenuShowing = TRUE;
        Invalidate(TRUE);
        HMENU hSub = ::GetSubMenu(m_hMenu, 0);
        if (m_popupCallback.hWnd)
            ::SendMessageW(m_popupCallback.hWnd, m_popupCallback.nMessage, reinterpret_cast<WPARAM>(hSub),
                           m_popupCallback.lParam);
        const UINT nCommand = static_cast<UINT>(::TrackPopupMenuEx(hSub, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                                   rc.left, rc.bottom, m_hMenuOwner, nullptr));
        m_bMenuShowing = FALSE;
        Invalidate(TRUE);
        if (nCommand) ::PostMessageW(m_hMenuOwner, WM_COMMAND, MAKEWPARAM(LOWORD(nCommand), 0), 0);
        return FALSE;
    }
    if (m_szLink[0])
    {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = m_szLink;
        info.nShow = SW_SHOWMAXIMIZED;
        g_pfnShellExecute ? g_pfnShellExecute(&info) : ::ShellExecuteExW(&info);
    }
    return FALSE;
}

DWORD CFlatButton::SetAlign(BYTE byAlign, BOOL bRepaint)
{
    if (byAlign > FB_ALIGN_OVERLAP) return FLATBTN_BADALIGN;
    m_byAlign = byAlign;
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetFlat(BOOL bFlat, BOOL bRepaint)
{
    return SetSwitch(m_bIsFlat, bFlat, bRepaint);
}

DWORD CFlatButton::SetHoverBorder(BOOL bOn, BOOL bRepaint)
{
    return SetSwitch(m_bHoverBorder, bOn, bRepaint);
}

DWORD CFlatButton::SetIdleFrame(BOOL bOn, BOOL bRepaint)
{
    return SetSwitch(m_bIdleFrame, bOn, bRepaint);
}

DWORD CFlatButton::SetFlatFocusRect(BOOL bOn, BOOL bRepaint)
{
    return SetSwitch(m_bFlatFocusRect, bOn, bRepaint);
}

DWORD CFlatButton::SetColor(BYTE byIndex, COLORREF crColor, BOOL bRepaint)
{
    if (byIndex >= FB_COLOR_COUNT) return FLATBTN_BADINDEX;
    m_colors[byIndex] = crColor;
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::GetColor(BYTE byIndex, COLORREF* crpColor) const
{
    if (byIndex >= FB_COLOR_COUNT) return FLATBTN_BADINDEX;
    *crpColor = m_colors[byIndex];
    return FLATBTN_OK;
}

DWORD CFlatButton::ResetColors(BOOL bRepaint)
{
    for (int i = 0; i < FB_COLOR_COUNT; ++i)
        m_colors[i] = ::GetSysColor(i % 2 == 0 ? COLOR_BTNFACE : COLOR_BTNTEXT);
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::ShiftColor(BYTE byIndex, short shOffset, BOOL bRepaint)
{
    if (byIndex >= FB_COLOR_COUNT) return FLATBTN_BADINDEX;
    if (shOffset < -255 || shOffset > 255) return FLATBTN_BADPARAM;
    const COLORREF c = m_colors[byIndex];
    const int channels[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    int amount = shOffset;
    // One amount for all three channels, cut so that none leaves 0..255: the hue stays.
    for (int v : channels)
        amount = shOffset > 0 ? std::min(amount, 255 - v) : std::max(amount, -v);
    m_colors[byIndex] = RGB(channels[0] + amount, channels[1] + amount, channels[2] + amount);
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetPressedShift(int nStyle, BOOL bRepaint)
{
    if (nStyle == 0)
        m_ptPressedShift = {1, 1};
    else if (nStyle == 1)
        m_ptPressedShift = {0, 2};
    else
        return FLATBTN_BADPRESSEDSTYLE;
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetCheck(int nCheck, BOOL bRepaint)
{
    if (m_bIsCheckBox)
    {
        m_bCheckState = nCheck != 0;
        Repaint(bRepaint);
    }
    return FLATBTN_OK;
}

DWORD CFlatButton::SetHoverWhenInactive(BOOL bOn)
{
    m_bHoverWhenInactive = bOn;
    return FLATBTN_OK;
}

void CFlatButton::DropBackground()
{
    m_bkSelection.Close();
    m_bmpBk.Close();
    m_dcBk.Close();
}

void CFlatButton::SetDrawTransparent(BOOL bRepaint)
{
    m_bDrawTransparent = TRUE;
    DropBackground();
    Repaint(bRepaint);
}

DWORD CFlatButton::SetBackgroundFromDC(CDC* pDC)
{
    if (!m_bDrawTransparent || !pDC || !pDC->GetSafeHdc()) return FLATBTN_BADPARAM;
    CRect client, window;
    GetClientRect(&client);
    GetWindowRect(&window);
    if (CWnd* pParent = GetParent()) pParent->ScreenToClient(&window);
    DropBackground();
    m_dcBk.Attach(::CreateCompatibleDC(*pDC));
    m_bmpBk.Attach(::CreateCompatibleBitmap(*pDC, client.Width(), client.Height()));
    if (!m_dcBk.IsValid() || !m_bmpBk.IsValid())
    {
        DropBackground();
        return FLATBTN_BADPARAM;
    }
    m_bkSelection.Attach({m_dcBk, ::SelectObject(m_dcBk, m_bmpBk)});
    ::BitBlt(m_dcBk, 0, 0, client.Width(), client.Height(), *pDC, window.left, window.top, SRCCOPY);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetCursorResource(int nCursorId, BOOL bRepaint)
{
    m_hCursor.Close();
    if (nCursorId == 0) return FLATBTN_OK;
    LPCWSTR name = MAKEINTRESOURCEW(nCursorId);
    m_hCursor.Attach(
        static_cast<HCURSOR>(::LoadImageW(AfxFindResourceHandle(name, RT_GROUP_CURSOR), name, IMAGE_CURSOR, 0, 0, 0)));
    if (!m_hCursor.IsValid()) return FLATBTN_BADRESOURCE;
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetPopupMenu(int nMenu, HWND hOwner, BOOL bRepaint)
{
    m_hMenu.Close();
    if (nMenu != 0)
    {
        LPCWSTR name = MAKEINTRESOURCEW(nMenu);
        m_hMenu.Attach(::LoadMenuW(AfxFindResourceHandle(name, RT_MENU), name));
        if (!m_hMenu.IsValid()) return FLATBTN_BADRESOURCE;
        m_hMenuOwner = hOwner;
    }
    Repaint(bRepaint);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetPopupCallback(HWND hWnd, UINT nMessage, LPARAM lParam)
{
    m_popupCallback = {hWnd, nMessage, lParam};
    return FLATBTN_OK;
}

DWORD CFlatButton::SetLink(LPCWSTR lpszLink)
{
    m_szLink[0] = 0;
    if (lpszLink) ::wcsncat(m_szLink, lpszLink, std::size(m_szLink) - 1);
    return FLATBTN_OK;
}

void CFlatButton::SetTooltipText(int nText, BOOL bActivate)
{
    CString text;
    if (text.LoadString(static_cast<UINT>(nText)) && !text.IsEmpty()) SetTooltipString(text, bActivate);
}

void CFlatButton::SetTooltipString(LPCWSTR lpszText, BOOL bActivate)
{
    if (!lpszText) return;
    EnsureTooltip();
    if (!m_toolTip.m_hWnd) return;
    if (m_toolTip.GetToolCount() == 0)
    {
        CRect client;
        GetClientRect(&client);
        m_toolTip.AddTool(this, lpszText, &client, 1);
    }
    m_toolTip.UpdateTipText(lpszText, this, 1);
    m_toolTip.Activate(bActivate);
}

LRESULT CFlatButton::SetTooltipActive(BOOL bActivate)
{
    if (!m_toolTip.m_hWnd || m_toolTip.GetToolCount() == 0) return 0;
    return m_toolTip.SendMessage(TTM_ACTIVATE, bActivate);
}

DWORD CFlatButton::SetTooltipBalloonStyle()
{
    m_dwToolTipStyle |= TTS_BALLOON;
    return FLATBTN_OK;
}

void CFlatButton::SizeToContent()
{
    int cx = 0, cy = 0;
    if (m_icons[0].hIcon.IsValid())
    {
        cx = m_icons[0].cx;
        cy = m_icons[0].cy;
    }
    else if (m_bitmaps[0].hBitmap.IsValid())
    {
        cx = m_bitmaps[0].cx;
        cy = m_bitmaps[0].cy;
    }
    else
        return;
    m_nImageMarginX = 0;
    m_nImageMarginY = 0;
    SetWindowPos(nullptr, -1, -1, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}
