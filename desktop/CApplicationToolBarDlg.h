#pragma once
#include "framework/CDialog.h"
#include "sessions/CCallInfo.h"
#include "sessions/CSmartObjectPtr.h"

// The agent's compact tool bar, docked across a screen edge. For now a stand-in: the window of
// template 210 (a tool window that is not visible at creation) with the operations the main
// window calls, which do nothing yet; the tool bar's own behaviour, its docking and its buttons
// replace it.
class CApplicationToolBarDlg : public CDialog
{
public:
    explicit CApplicationToolBarDlg(CWnd* pParent);
    ~CApplicationToolBarDlg() override;

    // Modeless, from template 210 with no parent window: the tool bar docks on the screen, not
    // inside the main window.
    BOOL Create();

    void SetCurrentCall(const CSmartObjectPtr<CCallInfo>& pCall);
    void ShowCurrentCall();
    void SetBannerText(const CString& strText);
    void SetDockEdge(bool bTop);
    // 1 while docked as an application desktop tool bar, 0 otherwise. The stand-in never docks.
    int GetDockMode() const { return 0; }

protected:
    void OnOK() override {} // Enter and Esc leave the tool bar as it is
    void OnCancel() override {}

private:
    CWnd* m_pMainWnd; // the main window, which the tool bar's commands go to
};
