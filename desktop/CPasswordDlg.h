#pragma once
#include "framework/CDialog.h"
#include "framework/CString.h"
#include <memory>

class CAgent;
class CJexSocket;

// Asks Jex whether the agent's password is right before the log-on goes on. A password stored
// from the command line or an earlier log-on is tried first without showing the dialog; the
// dialog appears only when Jex refuses it. Ends with IDOK when Jex accepted the password (or a
// changed one), IDCANCEL when the agent or Jex gave up.
class CPasswordDlg : public CDialog
{
public:
    static constexpr UINT_PTR kSubmitTimer = 0; // runs OnOK once for a stored password
    static constexpr UINT kSubmitDelayMs = 100;

    // pAgent: the agent to log on, not owned; on IDOK its id (and, as Jex asks, user name and
    // password letters) are those Jex accepted.
    CPasswordDlg(std::shared_ptr<CJexSocket> pJexSocket, CAgent* pAgent, CWnd* pParentWnd = nullptr);
    ~CPasswordDlg() override;

    bool IsAutoSubmit() const { return m_bAutoSubmit; }
    bool IsPasswordEncrypted() const { return m_bPasswordEncrypted; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnTimer(UINT_PTR nIDEvent);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnDestroy();
    void OnPasswordEdited();
    void OnChangePassword();
    LRESULT OnJexReply(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // FALSE when the dialog ended.
    BOOL HandleCheckResult(long nAgentId, short nResult);
    void AcceptPassword(long nAgentId);
    void SelectField(UINT nId);
    bool IsLogonByName() const;
    bool IsPasswordRequired() const;

    std::shared_ptr<CJexSocket> m_pJexSocket;
    CAgent* m_pAgent;
    bool m_bAutoSubmit = false;
    bool m_bPasswordEncrypted = false;
    CString m_strUserName;
    CString m_strPassword;
};
