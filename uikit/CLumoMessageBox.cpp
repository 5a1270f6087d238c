#include "uikit/CLumoMessageBox.h"
#include "framework/CClientDC.h"
#include "framework/CMenu.h"
#include "framework/CWinApp.h"
#include "uikit/LumoMessageBoxResources.h"
#include <algorithm>

namespace
{
CLumoMessageBox::MessageBeepFunction g_pfnMessageBeep = nullptr;
constexpr LPCWSTR kSection = L"MessageBoxes";

struct SetButton
{
    UINT nID;
    UINT nCaption;
};

CString LoadText(UINT nId)
{
    CString text;
    if (nId) text.LoadString(nId);
    return text;
}

CString AppName()
{
    CWinApp* pApp = AfxGetApp();
    return pApp && pApp->m_pszAppName ? CString(pApp->m_pszAppName) : CString();
}

bool ProfileUsable()
{
    CWinApp* pApp = AfxGetApp();
    return pApp && !pApp->IsStandalone();
}
} // namespace

BEGIN_MESSAGE_MAP(CLumoMessageBox, CLumoDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

void CLumoMessageBox::SetMessageBeepFunction(MessageBeepFunction pfn)
{
    g_pfnMessageBeep = pfn;
}

CLumoMessageBox::CLumoMessageBox(CWnd* pParent, UINT nTextId, UINT nCaptionId, UINT nFlags, UINT nId)
    : CLumoMessageBox(pParent, LoadText(nTextId), nCaptionId ? LoadText(nCaptionId).GetString() : nullptr, nFlags, nId)
{
}

CLumoMessageBox::CLumoMessageBox(CWnd* pParent, LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nFlags, UINT nId)
    : CLumoDialog(IDD_LUMOMESSAGEBOX, pParent), m_strText(lpszText ? lpszText : L""),
      m_strCaption(lpszCaption && *lpszCaption ? CString(lpszCaption) : AppName()), m_nFlags(nFlags), m_nId(nId)
{
}

CLumoMessageBox::~CLumoMessageBox() = default;

void CLumoMessageBox::AddButton(UINT nID, UINT nCaption, BOOL bIsDefault, BOOL bIsEscape)
{
    m_buttons.push_back({nID, nCaption});
    if (bIsDefault) m_nDefaultButton = static_cast<int>(nID);
    if (bIsEscape) m_nEscapeButton = static_cast<int>(nID);
}

void CLumoMessageBox::SetCountdown(UINT nSeconds, BOOL bBlock)
{
    m_nCountdown = nSeconds;
    m_bBlockDuringCountdown = bBlock;
}

void CLumoMessageBox::SetIcon(HICON hIcon)
{
    m_hIcon.Attach(hIcon);
}

const CString& CLumoMessageBox::GetAnswerKey()
{
    if (m_strAnswerKey.IsEmpty())
    {
        if (m_nId != 0)
            m_strAnswerKey.Format(L"%u", m_nId);
        else
        {
            // Summed without overflow in unsigned arithmetic; written as the signed value.
            UINT32 sum = 0;
            for (int i = 0; i < m_strText.GetLength(); ++i)
                sum += static_cast<UINT32>(m_strText[i]) * static_cast<UINT32>(i);
            m_strAnswerKey.Format(L"%d", static_cast<INT32>(sum));
        }
    }
    return m_strAnswerKey;
}

void CLumoMessageBox::BuildButtons()
{
    if (m_bButtonsBuilt) return;
    m_bButtonsBuilt = true;
    m_nCallerButtons = static_cast<int>(m_buttons.size());
    const UINT set = m_nFlags & 0x0F;
    const bool yesToAll = (m_nFlags & MBF_YESTOALL) != 0, noToAll = (m_nFlags & MBF_NOTOALL) != 0;
    auto add = [this](UINT nID, UINT nCaption, bool bDefault, bool bEscape) {
        AddButton(nID, nCaption, bDefault && m_nDefaultButton < 0, bEscape && m_nEscapeButton < 0);
    };
    switch (set)
    {
    case MB_OKCANCEL:
        add(IDOK, IDS_MSGBOX_OK, true, false);
        add(IDCANCEL, IDS_MSGBOX_CANCEL, false, true);
        break;
    case MB_ABORTRETRYIGNORE:
        add(IDABORT, IDS_MSGBOX_ABORT, true, false);
        add(IDRETRY, IDS_MSGBOX_RETRY, false, false);
        add(IDIGNORE, IDS_MSGBOX_IGNORE, false, false);
        break;
    case MB_YESNOCANCEL:
    case MB_YESNO:
        add(IDYES, IDS_MSGBOX_YES, true, false);
        if (yesToAll) add(IDMB_YESTOALL, IDS_MSGBOX_YESTOALL, false, false);
        add(IDNO, IDS_MSGBOX_NO, false, false);
        if (noToAll) add(IDMB_NOTOALL, IDS_MSGBOX_NOTOALL, false, false);
        if (set == MB_YESNOCANCEL) add(IDCANCEL, IDS_MSGBOX_CANCEL, false, true);
        break;
    case MB_RETRYCANCEL:
        add(IDRETRY, IDS_MSGBOX_RETRY, true, false);
        add(IDCANCEL, IDS_MSGBOX_CANCEL, false, true);
        break;
    case MB_CANCELTRYCONTINUE:
        add(IDCANCEL, IDS_MSGBOX_CANCEL, true, true);
        add(IDTRYAGAIN, IDS_MSGBOX_RETRY, false, false);
        add(IDCONTINUE, IDS_MSGBOX_CONTINUE, false, false);
        break;
    case 7:
        add(IDCONTINUE, IDS_MSGBOX_CONTINUE, true, false);
        add(IDABORT, IDS_MSGBOX_ABORT, false, false);
        break;
    case 8:
        add(IDMB_SKIP, IDS_MSGBOX_SKIP, true, false);
        add(IDMB_SKIPALL, IDS_MSGBOX_SKIPALL, false, false);
        add(IDCANCEL, IDS_MSGBOX_CANCEL, false, true);
        break;
    case 9:
        add(IDIGNORE, IDS_MSGBOX_IGNORE, true, false);
        add(IDMB_IGNOREALL, IDS_MSGBOX_IGNOREALL, false, false);
        add(IDCANCEL, IDS_MSGBOX_CANCEL, false, true);
        break;
    default:
        add(IDOK, IDS_MSGBOX_OK, true, true);
        break;
    }
    if (m_nFlags & MB_HELP) AddButton(IDHELP, IDS_MSGBOX_HELP);
    // 0x100 names the second button, up to 0x500 the sixth, when there are that many.
    const size_t defaultIndex = (m_nFlags & 0x0F00) >> 8;
    if (defaultIndex >= 1 && defaultIndex <= 5 && defaultIndex < m_buttons.size())
        m_nDefaultButton = static_cast<int>(m_buttons[defaultIndex].nID);
}

bool CLumoMessageBox::IsButtonId(int nId) const
{
    return std::any_of(m_buttons.begin(), m_buttons.end(),
                       [nId](const tagMSGBOXBTN& b) { return static_cast<int>(b.nID) == nId; });
}

INT_PTR CLumoMessageBox::DoModal()
{
    BuildButtons();
    if (RemembersAnswers() && ProfileUsable())
    {
        const int remembered = static_cast<int>(AfxGetApp()->GetProfileInt(kSection, GetAnswerKey(), -1));
        // Only an answer this box could give; anything else shows the box.
        if (remembered != -1 && IsButtonId(remembered)) return remembered;
    }
    return CLumoDialog::DoModal();
}

CString CLumoMessageBox::ButtonCaption(size_t index, UINT nSecondsLeft) const
{
    CString caption = LoadText(m_buttons[index].nCaption);
    if (nSecondsLeft == 0) return caption;
    CString counted;
    counted.Format(L"%s = %u", caption.GetString(), nSecondsLeft);
    return counted;
}

BOOL CLumoMessageBox::OnInitDialog()
{
    if (!CDialog::OnInitDialog()) return FALSE;
    if ((m_nFlags & 0xF0) == 0)
    {
        const UINT set = m_nFlags & 0x0F;
        if (set == MB_OK || set == MB_OKCANCEL)
            m_nFlags |= MB_ICONEXCLAMATION;
        else if (set == MB_YESNOCANCEL || set == MB_YESNO)
            m_nFlags |= MB_ICONQUESTION;
    }
    SetWindowText(m_strCaption);
    m_nIDHelp = m_nId;
    BuildButtons();
    if (!m_hIcon.IsValid())
    {
        LPCWSTR iconName = nullptr;
        switch (m_nFlags & 0xF0)
        {
        case MB_ICONHAND:
            iconName = IDI_HAND;
            break;
        case MB_ICONQUESTION:
            iconName = IDI_QUESTION;
            break;
        case MB_ICONEXCLAMATION:
            iconName = IDI_EXCLAMATION;
            break;
        case MB_ICONASTERISK:
            iconName = IDI_ASTERISK;
            break;
        default:
            break;
        }
        // A copy of the shared system icon, so the box owns what it destroys.
        if (iconName) m_hIcon.Attach(::CopyIcon(::LoadIconW(nullptr, iconName)));
    }

    CRect unit(0, 0, 1000, 1000);
    MapDialogRect(&unit);
    m_nUnitX = unit.Width();
    m_nUnitY = unit.Height();
    CFont* pFont = GetFont();

    if (m_hIcon.IsValid())
    {
        ICONINFO info{};
        if (::GetIconInfo(m_hIcon, &info))
        {
            CGdiHandle<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
            BITMAP bm{};
            if (::GetObjectW(colour.IsValid() ? colour.Get() : mask.Get(), sizeof(bm), &bm))
            {
                m_nIconWidth = bm.bmWidth;
                m_nIconHeight = colour.IsValid() ? bm.bmHeight : bm.bmHeight / 2;
            }
        }
        m_stcIcon.Create(L"", WS_CHILD | WS_VISIBLE | WS_DISABLED | SS_ICON, CRect(0, 0, m_nIconWidth, m_nIconHeight),
                         this);
        m_stcIcon.SetIcon(m_hIcon);
    }

    CClientDC dc(nullptr);
    HGDIOBJ oldFont = pFont ? ::SelectObject(dc, pFont->GetSafeHandle()) : nullptr;
    int side = ::GetSystemMetrics(SM_CXSCREEN) / 2 + 100;
    if (m_hIcon.IsValid()) side -= m_nIconWidth + DX(8) * 2;
    CRect textRect(0, 0, side, side);
    ::DrawTextW(dc, m_strText, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    m_nTextWidth = textRect.Width();
    m_nTextHeight = textRect.Height();
    // A box whose text cannot be shown still offers its buttons: the answer is what counts.
    static_cast<void>(m_stcText.CreateEx((m_nFlags & MB_RTLREADING) ? WS_EX_RTLREADING : 0, L"STATIC", m_strText,
                       WS_CHILD | WS_VISIBLE | ((m_nFlags & MB_RIGHT) ? SS_RIGHT : 0), textRect, this, 0xFFFF));
    m_stcText.SetFont(pFont);

    if (RemembersAnswers())
    {
        const CString check =
            LoadText((m_nFlags & MBF_DONTSHOWAGAIN) ? IDS_MSGBOX_DONTSHOWAGAIN : IDS_MSGBOX_DONTASKAGAIN);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, check, check.GetLength(), &extent);
        m_nCheckWidth = extent.cx + DX(14);
        m_nCheckHeight = extent.cy;
        HWND hCheck = ::CreateWindowExW(0, L"BUTTON", check, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0,
                                        m_nCheckWidth, m_nCheckHeight, m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDMB_REMEMBER)),
                                        AfxGetInstanceHandle(), nullptr);
        ::SendMessageW(hCheck, WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? pFont->GetSafeHandle() : nullptr), FALSE);
        ::SendMessageW(hCheck, BM_SETCHECK, BST_CHECKED, 0);
    }

    m_nButtonWidth = DX(40);
    m_nButtonHeight = DY(14);
    for (size_t i = 0; i < m_buttons.size(); ++i)
    {
        const CString measured = ButtonCaption(i, m_nCountdown);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, measured, measured.GetLength(), &extent);
        m_nButtonWidth = std::max(m_nButtonWidth, static_cast<int>(extent.cx));
        m_nButtonHeight = std::max(m_nButtonHeight, static_cast<int>(extent.cy));
    }
    if (oldFont) ::SelectObject(dc, oldFont);
    m_nButtonWidth += 2 * DX(4);
    m_nButtonHeight += 2 * (m_nUnitX / 1000);
    for (const tagMSGBOXBTN& button : m_buttons)
    {
        HWND hButton = ::CreateWindowExW(0, L"BUTTON", LoadText(button.nCaption), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                                         0, m_nButtonWidth, m_nButtonHeight, m_hWnd,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.nID)),
                                         AfxGetInstanceHandle(), nullptr);
        ::SendMessageW(hButton, WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? pFont->GetSafeHandle() : nullptr), FALSE);
    }

    Layout();
    InitCaptionMetrics();

    if (!(m_nFlags & MBF_NOBEEP)) (g_pfnMessageBeep ? g_pfnMessageBeep : &::MessageBeep)(m_nFlags & 0xF0);
    if (m_nFlags & MB_SYSTEMMODAL) ModifyStyle(0, DS_SYSMODAL);
    if (m_nFlags & MB_SETFOREGROUND) SetForegroundWindow();
    if (m_nFlags & MB_TOPMOST) ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (m_nEscapeButton < 0)
        if (HMENU hSystem = ::GetSystemMenu(m_hWnd, FALSE))
            ::EnableMenuItem(hSystem, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    if (m_nCountdown > 0)
    {
        if (m_bBlockDuringCountdown) EnableControls(FALSE);
        m_nTimer = SetTimer(kCountdownTimer, 1000);
    }
    if (m_nDefaultButton >= 0)
    {
        if (HWND hDefault = ::GetDlgItem(m_hWnd, m_nDefaultButton))
        {
            ::SetFocus(hDefault);
            SetDefID(static_cast<UINT>(m_nDefaultButton));
            return FALSE;
        }
    }
    return TRUE;
}

void CLumoMessageBox::Layout()
{
    int W = 2 * DX(8), H = 2 * DY(8), x = DX(8), y = DY(8);
    if (m_stcIcon.m_hWnd)
    {
        m_stcIcon.SetWindowPos(nullptr, DX(8), DY(8), m_nIconWidth, m_nIconHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        W += DX(8) + m_nIconWidth;
        H += DY(8) + m_nIconHeight;
        x += DX(8) + m_nIconWidth;
    }
    W += DX(8) + m_nTextWidth;
    H = std::max(H, DY(4) + 2 * DY(8) + m_nTextHeight);
    m_stcText.SetWindowPos(nullptr, x, y, m_nTextWidth, m_nTextHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    y += DY(4) + DY(8) + m_nTextHeight;
    if (HWND hCheck = ::GetDlgItem(m_hWnd, IDMB_REMEMBER))
    {
        ::SetWindowPos(hCheck, nullptr, x, y, m_nCheckWidth, m_nCheckHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        W = std::max(W, DX(8) + x + m_nCheckWidth);
        H = std::max(H, DY(8) + m_nCheckHeight + y);
    }
    const int count = static_cast<int>(m_buttons.size());
    const int row = (count - 1) * DX(4) + count * m_nButtonWidth;
    W = std::max(W, row + 2 * DX(8));
    H += DY(8) + m_nButtonHeight;
    int left = (m_nFlags & MBF_BUTTONSRIGHT) ? W - DX(8) - row : (W - row) / 2;
    for (const tagMSGBOXBTN& button : m_buttons)
    {
        ::SetWindowPos(::GetDlgItem(m_hWnd, button.nID), nullptr, left, H - DY(8) - m_nButtonHeight, m_nButtonWidth,
                       m_nButtonHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        left += m_nButtonWidth + DX(4);
    }
    CRect window(0, 0, W, H);
    CalcWindowRect(&window);
    SetWindowPos(nullptr, 0, 0, window.Width(), window.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
}

void CLumoMessageBox::EnableControls(BOOL bEnable)
{
    for (const tagMSGBOXBTN& button : m_buttons)
        ::EnableWindow(::GetDlgItem(m_hWnd, button.nID), bEnable);
    if (HWND hCheck = ::GetDlgItem(m_hWnd, IDMB_REMEMBER)) ::EnableWindow(hCheck, bEnable);
}

void CLumoMessageBox::EndWith(int nResult, bool bUserChose)
{
    // Only what the user chose is remembered: the countdown's press, Esc and closing are not a
    // "never ask again", whatever the check box (which starts checked) says.
    if (bUserChose && RemembersAnswers() && ProfileUsable() &&
        ::IsDlgButtonChecked(m_hWnd, IDMB_REMEMBER) == BST_CHECKED)
        AfxGetApp()->WriteProfileInt(kSection, GetAnswerKey(), nResult);
    if (m_nTimer)
    {
        KillTimer(kCountdownTimer);
        m_nTimer = 0;
    }
    EndDialog(nResult);
}

BOOL CLumoMessageBox::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    const UINT message = HIWORD(static_cast<UINT>(nCode)), notification = LOWORD(static_cast<UINT>(nCode));
    if (!pHandlerInfo && message == 0)
    {
        if (nID == IDHELP)
        {
            OnHelp();
            return TRUE;
        }
        if (nID != IDMB_REMEMBER && nID != static_cast<UINT>(-1) && nID != 0xFFFF && notification == 0)
        {
            if (!IsBlocked()) EndWith(static_cast<int>(nID), true);
            return TRUE;
        }
    }
    return CLumoDialog::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CLumoMessageBox::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
    {
        if (IsBlocked()) return TRUE;
        if (pMsg->wParam == VK_RETURN)
        {
            const int focused = ::GetDlgCtrlID(::GetFocus());
            if (::IsChild(m_hWnd, ::GetFocus()) && IsButtonId(focused)) m_nDefaultButton = focused;
            if (m_nDefaultButton >= 0) EndWith(m_nDefaultButton, true);
            return TRUE;
        }
        if (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_CANCEL)
        {
            if (m_nEscapeButton >= 0) EndWith(m_nEscapeButton, false);
            return TRUE;
        }
    }
    return CLumoDialog::PreTranslateMessage(pMsg);
}

BOOL CLumoMessageBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_CLOSE)
    {
        if (!IsBlocked() && m_nEscapeButton >= 0) EndWith(m_nEscapeButton, false);
        if (pResult) *pResult = 0;
        return TRUE;
    }
    return CLumoDialog::OnWndMsg(message, wParam, lParam, pResult);
}

void CLumoMessageBox::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kCountdownTimer || m_nCountdown == 0)
    {
        CLumoDialog::OnTimer(nIDEvent);
        return;
    }
    --m_nCountdown;
    if (m_nCountdown == 0)
    {
        KillTimer(kCountdownTimer);
        m_nTimer = 0;
        if (m_bBlockDuringCountdown) EnableControls(TRUE);
    }
    for (size_t i = 0; i < m_buttons.size(); ++i)
        if (static_cast<int>(m_buttons[i].nID) == m_nDefaultButton)
            ::SetDlgItemTextW(m_hWnd, m_nDefaultButton, ButtonCaption(i, m_nCountdown));
    if (m_nCountdown == 0 && !m_bBlockDuringCountdown && m_nDefaultButton >= 0) EndWith(m_nDefaultButton, false);
}

void ResetMessageBoxAnswers()
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp || pApp->IsStandalone() || !pApp->m_pszRegistryKey || !pApp->m_pszProfileName) return;
    CString key;
    key.Format(L"Software\\%s\\%s\\%s", pApp->m_pszRegistryKey, pApp->m_pszProfileName, kSection);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
}
