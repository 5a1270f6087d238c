#pragma once
#include "framework/CDialog.h"
#include "sessions/IUpdateWindowSink.h"
#include <memory>

class CJexSocket;
class CLumoApp;

// The modal dialog that waits for Jex's greeting on a new link. It stays invisible for its first
// tick, so a Jex that answers at once is never seen waiting; then it shows the attempt and its
// errors and starts a new attempt every few seconds until the link is up or the agent cancels.
// Ends with IDOK when the link is up, IDCANCEL otherwise.
class CConnectionDlg : public CDialog, public IUpdateWindowSink
{
public:
    // How often the dialog looks at the link, and how many looks one attempt gets. Tests shorten them.
    struct Timings
    {
        UINT nTickMs = 500;
        int nTicksPerAttempt = 20;
    };
    static void SetTimings(const Timings& timings);
    static const Timings& GetTimings();

    static constexpr UINT_PTR kConnectTimer = 101;

    // Creates (or creates again) the link's socket on any local port, with all six socket events.
    static BOOL CreateLink(CJexSocket& link);

    CConnectionDlg(std::shared_ptr<CJexSocket> pJexSocket, CLumoApp& app, CWnd* pParentWnd = nullptr);
    ~CConnectionDlg() override;

    void SetShowWhileConnecting(bool bShow) { m_bShowWhileConnecting = bShow; }
    // While suspended the timer neither shows the dialog nor starts a new attempt: the link is
    // inside a handler showing a box, and the socket must stay as it is.
    void SetSuspended(bool bSuspended) { m_bSuspended = bSuspended; }
    bool IsSuspended() const { return m_bSuspended; }
    // Shows the dialog when its first tick has allowed it and Lumo is not hidden.
    void ShowIfAllowed();
    const CString& GetStatusText() const { return m_strStatus; }

    // The update download's side (the progress window comes with the update download itself).
    void ShowUpdateWindow() override;
    void ShowUpdateProgress(long nReceived, long nTotal) override;
    void ShowUpdateDone() override;
    void SetMessageBoxShown(BOOL bShown) override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Enter must not end the wait
    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    void OnTimer(UINT_PTR nIDEvent);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    LRESULT OnProgressClosed(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void OnConnectTick();
    // Starts an attempt on the link as it is; the status text says how it began.
    void StartAttempt();
    void StartNewAttempt(); // closes the link and creates it again first
    void ShowError(int nError);
    void ShowStatus();

    std::shared_ptr<CJexSocket> m_pJexSocket;
    CLumoApp& m_app;
    int m_nTickCount = 0;
    bool m_bMayShow = false;
    bool m_bShowWhileConnecting = true;
    int m_nLastError = -1;
    bool m_bSuspended = false;
    CString m_strStatus;
};
