#include "desktop/CChangePasswordDlg.h"
#include "core/CPasswordCipher.h"
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

constexpr UINT IDS_NEW_PASSWORDS_DIFFER = 61159;
constexpr UINT IDS_INVALID_OLD_PASSWORD = 61160;
constexpr UINT IDS_INVALID_NEW_PASSWORD = 61161;
constexpr UINT IDS_AGENT_DOES_NOT_EXIST = 63836;
} // namespace

BEGIN_MESSAGE_MAP(CChangePasswordDlg, CDialog)
ON_WM_DESTROY()
ON_MESSAGE(WM_JEXREPLY, &CChangePasswordDlg::OnJexReply)
END_MESSAGE_MAP()

CChangePasswordDlg::CChangePasswordDlg(std::shared_ptr<CJexSocket> pJexSocket, CAgent* pAgent, CWnd* pParentWnd)
    : CDialog(IDD_CHANGE_PASSWORD, pParentWnd), m_pJexSocket(std::move(pJexSocket)), m_pAgent(pAgent),
      m_strUserName(pAgent->GetDisplayName())
{
}

CChangePasswordDlg::~CChangePasswordDlg() = default;

BOOL CChangePasswordDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_PASSWORD_USER, m_strUserName);
    const bool bByName = m_pJexSocket && m_pJexSocket->IsLogonByName();
    if (!bByName) GetDlgItem(IDC_PASSWORD_USER)->SendMessage(EM_SETREADONLY, TRUE);
    GotoDlgCtrl(GetDlgItem(bByName && m_strUserName.IsEmpty() ? IDC_PASSWORD_USER : IDC_PASSWORD_OLD));
    return FALSE; // the focus is set
}

void CChangePasswordDlg::OnOK()
{
    GetDlgItemText(IDC_PASSWORD_USER, m_strUserName);
    GetDlgItemText(IDC_PASSWORD_OLD, m_strOldPassword);
    GetDlgItemText(IDC_PASSWORD_NEW, m_strNewPassword);
    GetDlgItemText(IDC_PASSWORD_NEW_AGAIN, m_strNewPasswordAgain);
    if (m_strNewPassword != m_strNewPasswordAgain)
    {
        AfxMessageBox(IDS_NEW_PASSWORDS_DIFFER);
        return;
    }
    CString strOld;
    CString strNew;
    // Without the cipher the passwords would leave in plain text: nothing is sent.
    if (!EncryptPassword(m_strOldPassword, strOld) || !EncryptPassword(m_strNewPassword, strNew)) return;
    m_pAgent->m_strPassword = strNew;
    if (!m_pJexSocket) return;
    if (m_pJexSocket->IsLogonByName())
        m_pJexSocket->SendChangePasswordByName(this, m_strUserName, strOld, strNew);
    else
        m_pJexSocket->SendChangePasswordById(this, m_pAgent->m_nId, strOld, strNew);
}

LRESULT CChangePasswordDlg::OnJexReply(WPARAM wParam, LPARAM lParam)
{
    switch (wParam)
    {
    case CJexSocket::replyChangePassword: {
        std::unique_ptr<CJexSocket::PasswordResult> pResult(reinterpret_cast<CJexSocket::PasswordResult*>(lParam));
        if (pResult) HandleChangeResult(pResult->nAgentId, pResult->nResult);
        break;
    }
    case CJexSocket::replyCheckPassword: // what this dialog receives it frees
        delete reinterpret_cast<CJexSocket::PasswordResult*>(lParam);
        break;
    case CJexSocket::replyLogon:
        if (lParam != -1) delete reinterpret_cast<CStringArray*>(lParam);
        break;
    default:
        break;
    }
    return 0;
}

void CChangePasswordDlg::HandleChangeResult(long nAgentId, short nResult)
{
    switch (nResult)
    {
    case 0:
        m_pAgent->m_nId = nAgentId;
        App().GetAgent()->m_strPassword = m_pAgent->m_strPassword;
        EndDialog(IDOK);
        break;
    case 1:
        AfxMessageBox(IDS_AGENT_DOES_NOT_EXIST);
        break;
    case 2:
        AfxMessageBox(IDS_INVALID_OLD_PASSWORD);
        break;
    case 3:
        AfxMessageBox(IDS_INVALID_NEW_PASSWORD);
        break;
    default:
        break;
    }
}

void CChangePasswordDlg::OnDestroy()
{
    if (m_pJexSocket) m_pJexSocket->DetachReplyWindow(this);
    CDialog::OnDestroy();
}
