#include "desktop/CPasswordDlg.h"
#include "core/CPasswordCipher.h"
#include "desktop/CChangePasswordDlg.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoResource.h"
#include "framework/AfxMessageBox.h"
#include "sessions/CAgent.h"
#include "sessions/CJexSocket.h"

namespace
{
CLumoApp& App()
{
    return *static_cast<CLumoApp*>(AfxGetApp());
}

constexpr UINT IDS_INVALID_PASSWORD = 61158;
constexpr UINT IDS_AGENT_DOES_NOT_EXIST = 63836;
constexpr UINT IDS_AGENT_ALREADY_CONNECTED = 63838;
constexpr UINT IDS_NO_LOGON_PERMISSION = 63845;
constexpr UINT IDS_LOGIN_TITLE = 63866;
} // namespace

BEGIN_MESSAGE_MAP(CPasswordDlg, CDialog)
ON_WM_TIMER()
ON_WM_WINDOWPOSCHANGING()
ON_WM_DESTROY()
ON_CONTROL(EN_CHANGE, IDC_PASSWORD_OLD, &CPasswordDlg::OnPasswordEdited)
ON_COMMAND(IDC_PASSWORD_CHANGE, &CPasswordDlg::OnChangePassword)
ON_MESSAGE(WM_JEXREPLY, &CPasswordDlg::OnJexReply)
END_MESSAGE_MAP()

CPasswordDlg::CPasswordDlg(std::shared_ptr<CJexSocket> pJexSocket, CAgent* pAgent, CWnd* pParentWnd)
    : CDialog(IDD_PASSWORD, pParentWnd), m_pJexSocket(std::move(pJexSocket)), m_pAgent(pAgent),
      m_strUserName(pAgent->GetDisplayName())
{
}

CPasswordDlg::~CPasswordDlg() = default;

bool CPasswordDlg::IsLogonByName() const
{
    return m_pJexSocket && m_pJexSocket->IsLogonByName();
}

bool CPasswordDlg::IsPasswordRequired() const
{
    return m_pJexSocket && m_pJexSocket->IsPasswordEncryption();
}

BOOL CPasswordDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CLumoApp& app = App();
    app.m_pPasswordDlg = this;
    const bool bByName = IsLogonByName();
    CAgent& shown = bByName ? *app.GetAgent() : *m_pAgent;
    m_strUserName = shown.m_strUserName;
    m_strPassword = app.GetAgent()->m_strPassword;
    SetDlgItemText(IDC_PASSWORD_USER, m_strUserName);
    SetDlgItemText(IDC_PASSWORD_OLD, m_strPassword); // its change notice clears the flag: set it afterwards
    if (!m_strPassword.IsEmpty())
    {
        m_bAutoSubmit = true;
        m_bPasswordEncrypted = true;
        SetTimer(kSubmitTimer, kSubmitDelayMs, nullptr);
    }
    CWnd* pUser = GetDlgItem(IDC_PASSWORD_USER);
    CWnd* pPassword = GetDlgItem(IDC_PASSWORD_OLD);
    if (bByName)
    {
        CString strTitle;
        strTitle.LoadString(IDS_LOGIN_TITLE);
        SetWindowText(strTitle);
    }
    else
        pUser->SendMessage(EM_SETREADONLY, TRUE);
    if (!IsPasswordRequired())
    {
        pPassword->SendMessage(EM_SETREADONLY, TRUE);
        pPassword->EnableWindow(FALSE);
    }
    GotoDlgCtrl(bByName && m_strUserName.IsEmpty() ? pUser : pPassword);
    return FALSE; // the focus is set
}

void CPasswordDlg::OnWindowPosChanging(WINDOWPOS* lpwndpos)
{
    // A stored password is tried unseen; a hidden Lumo shows no dialog at all.
    if (m_bAutoSubmit || !App().m_bVisible) lpwndpos->flags &= ~SWP_SHOWWINDOW;
    CDialog::OnWindowPosChanging(lpwndpos);
}

void CPasswordDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kSubmitTimer)
    {
        CDialog::OnTimer(nIDEvent);
        return;
    }
    KillTimer(kSubmitTimer);
    OnOK();
}

void CPasswordDlg::OnPasswordEdited()
{
    m_bPasswordEncrypted = false;
}

void CPasswordDlg::OnOK()
{
    GetDlgItemText(IDC_PASSWORD_USER, m_strUserName);
    GetDlgItemText(IDC_PASSWORD_OLD, m_strPassword);
    if (!m_bPasswordEncrypted)
    {
        CString strLetters;
        // Without the cipher the password would leave in plain text: nothing is sent.
        if (!EncryptPassword(m_strPassword, strLetters)) return;
        m_strPassword = strLetters;
        SetDlgItemText(IDC_PASSWORD_OLD, m_strPassword);
        m_bPasswordEncrypted = true;
        SelectField(IDC_PASSWORD_OLD);
    }
    if (!m_pJexSocket) return;
    if (IsLogonByName() && m_pAgent->m_nId <= 0)
        m_pJexSocket->SendCheckPasswordByName(this, m_strUserName, m_strPassword);
    else
        m_pJexSocket->SendCheckPasswordById(this, m_pAgent->m_nId, m_strPassword);
}

LRESULT CPasswordDlg::OnJexReply(WPARAM wParam, LPARAM lParam)
{
    switch (wParam)
    {
    case CJexSocket::replyCheckPassword: {
        std::unique_ptr<CJexSocket::PasswordResult> pResult(reinterpret_cast<CJexSocket::PasswordResult*>(lParam));
        if (pResult && HandleCheckResult(pResult->nAgentId, pResult->nResult))
        {
            m_bAutoSubmit = false;
            if (App().m_bVisible) ShowWindow(SW_SHOW);
        }
        break;
    }
    case CJexSocket::replyLogon:
        // The log-on dialog has the result; a copy only comes here when this dialog was the
        // waiting window, and whatever comes is freed by its receiver.
        if (lParam != -1) delete reinterpret_cast<CStringArray*>(lParam);
        break;
    case CJexSocket::replyChangePassword:
        delete reinterpret_cast<CJexSocket::PasswordResult*>(lParam);
        break;
    default:
        break;
    }
    return 0;
}

BOOL CPasswordDlg::HandleCheckResult(long nAgentId, short nResult)
{
    CLumoApp& app = App();
    CAgent& appAgent = *app.GetAgent();
    const bool bRequired = IsPasswordRequired();
    switch (nResult)
    {
    case -1:
        OnCancel();
        return FALSE;
    case 0:
    case 9:
        AcceptPassword(nAgentId);
        return FALSE;
    case 100:
        if (!bRequired)
        {
            AcceptPassword(nAgentId);
            return FALSE;
        }
        if (appAgent.m_strPassword.IsEmpty())
            AfxMessageBox(IDS_INVALID_PASSWORD);
        else
        {
            // A stored password that Jex refuses is dropped without a word: the agent types one.
            appAgent.m_strPassword.Empty();
            SetDlgItemText(IDC_PASSWORD_OLD, L"");
        }
        SelectField(IDC_PASSWORD_OLD);
        return TRUE;
    case 1:
        if (appAgent.GetDisplayName().IsEmpty() && appAgent.m_nId <= 0)
            AfxMessageBox(IDS_AGENT_DOES_NOT_EXIST);
        else
        {
            // Forget the agent: the next log-on must not try it again.
            appAgent.m_nId = -1;
            appAgent.m_strPassword.Empty();
        }
        SelectField(IDC_PASSWORD_USER);
        if (!IsLogonByName())
        {
            OnCancel();
            return FALSE;
        }
        return TRUE;
    case 6:
        AfxMessageBox(IDS_AGENT_ALREADY_CONNECTED);
        SelectField(IDC_PASSWORD_USER);
        return TRUE;
    case 103:
        AfxMessageBox(IDS_NO_LOGON_PERMISSION);
        SelectField(IDC_PASSWORD_USER);
        return TRUE;
    default:
        return TRUE;
    }
}

void CPasswordDlg::AcceptPassword(long nAgentId)
{
    m_pAgent->m_nId = nAgentId;
    if (IsLogonByName()) m_pAgent->m_strUserName = m_strUserName;
    if (IsPasswordRequired()) m_pAgent->m_strPassword = m_strPassword;
    EndDialog(IDOK);
}

void CPasswordDlg::SelectField(UINT nId)
{
    CWnd* pField = GetDlgItem(nId);
    if (!pField) return;
    GotoDlgCtrl(pField);
    pField->SendMessage(EM_SETSEL, 0, -1);
}

void CPasswordDlg::OnChangePassword()
{
    ShowWindow(SW_HIDE);
    CChangePasswordDlg dlg(m_pJexSocket, m_pAgent, this);
    if (dlg.DoModal() == IDOK)
    {
        EndDialog(IDOK);
        return;
    }
    ShowWindow(SW_SHOW); // a hidden Lumo keeps it hidden (OnWindowPosChanging)
}

void CPasswordDlg::OnDestroy()
{
    if (m_pJexSocket) m_pJexSocket->DetachReplyWindow(this);
    CLumoApp& app = App();
    if (app.m_pPasswordDlg == this) app.m_pPasswordDlg = nullptr;
    CDialog::OnDestroy();
}
