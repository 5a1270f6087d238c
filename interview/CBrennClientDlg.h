#pragma once
#include "framework/AfxEventSinkMap.h"
#include "framework/CDialog.h"
#include "interview/CLumoClientCtrlWnd.h"

class CManifestActCtx;

// BrennClient's main window: a dialog nobody works in. It hosts LumoClient loaded without
// registration, connects it to Lumo's application port as application 0 and hears its events. Once
// connected it lives as an icon that the user can neither open nor close; it goes when Lumo's
// connection is lost with no task running, or when asked to (WM_USER+1), and BrennClient with it.
class CBrennClientDlg : public CDialog
{
public:
    explicit CBrennClientDlg(USHORT nPort, CWnd* pParent = nullptr);
    ~CBrennClientDlg() override;

    // Creates the modeless window; once connected it is shown minimised. FALSE when no window
    // could be made.
    BOOL CreateMain();
    bool IsConnected() const { return m_bConnected; }
    bool IsReady() const { return m_bReady; }

    // The context of LumoClient.manifest while the window exists, for the data objects made
    // outside it; null otherwise.
    static CManifestActCtx* GetActCtx() { return s_pActCtx; }

    USHORT m_nPort;
    bool m_bTaskRunning = false;
    bool m_bConnected = false;
    bool m_bReady = false;
    bool m_bQuitAfterTask = false;
    CLumoClientCtrlWnd m_Control;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter: nothing to confirm
    void OnCancel() override {} // Escape: the user cannot close this window
    void PostNcDestroy() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    BOOL OnQueryOpen();
    void OnClose();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnDestroy();
    LRESULT OnQuit(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    void OnLumoConnectionChanged(long nState);
    void OnUTCShiftServerChanged(long nOldShift, long nNewShift);
    DECLARE_EVENTSINK_MAP()

private:
    // The connection's steps after the control exists; false when Init fails.
    bool Connect();
    void CheckVersion();
    // Interview files still waiting for their confirmation go out again.
    void ResendPendingInterviews() {}

    HICON m_hIcon = nullptr;
    CManifestActCtx* m_pActCtx = nullptr;
    static CManifestActCtx* s_pActCtx;
};
