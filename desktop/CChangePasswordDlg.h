#pragma once
#include "framework/CDialog.h"
#include "framework/CString.h"
#include <memory>

class CAgent;
class CJexSocket;

// Has Jex change the agent's password. Ends with IDOK once Jex changed it: the agent (and the
// application's agent) then hold the new password's letters; IDCANCEL when the agent gave up.
class CChangePasswordDlg : public CDialog
{
public:
    // pAgent: not owned; it gets the new password's letters when the change is sent.
    CChangePasswordDlg(std::shared_ptr<CJexSocket> pJexSocket, CAgent* pAgent, CWnd* pParentWnd = nullptr);
    ~CChangePasswordDlg() override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDestroy();
    LRESULT OnJexReply(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void HandleChangeResult(long nAgentId, short nResult);

    std::shared_ptr<CJexSocket> m_pJexSocket;
    CAgent* m_pAgent;
    CString m_strUserName;
    CString m_strOldPassword;
    CString m_strNewPassword;
    CString m_strNewPasswordAgain;
};
