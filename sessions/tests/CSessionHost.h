#pragma once
// The session layer hosted on its own, for tests that drive it from outside as a process: the Jex
// command link, both application ports and the session core, with recording stand-ins for the
// application object and the main window. SessionHostMain.cpp makes the program of it.
#include "sessions/CAppSocket.h"
#include "sessions/CJexSocket.h"
#include "sessions/CLumoClientSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/tests/CSessionHostApp.h"
#include "sessions/tests/CSessionHostDlg.h"
#include "sessions/IMessageBoxSink.h"
#include "framework/CHandleOwner.h"
#include "framework/CWnd.h"
#include <memory>
#include <string>
#include <vector>

// Lives on the thread that runs the message loop; it is the hidden main window that the link
// tells of its loss. Everything it notes goes to the file "record" of its folder, one line each:
// "host ..." for its own steps, "dlg ..." for what reached the main window, "app ..." for what
// reached the application object, "box ..." for a message box the link raised.
class CSessionHost : public CWnd, public IMessageBoxSink
{
public:
    struct Options
    {
        std::wstring folder;   // where record, ready, stop and the log file are
        UINT nJexPort = 0;     // the Jex on 127.0.0.1
        UINT nAppPort = 0;     // the application port wanted; 0 lets the system choose
        UINT nOldAppPort = 0;  // the old application port wanted; 0 lets the system choose
        long nAgentId = 77;    // logs on as this agent
        long nLocationId = 3;  // at this location
        int nReconnects = 0;   // new links to Jex after a loss
        DWORD nLifetimeMs = 0; // ends itself after this long; 0 never
    };
    // How the host ended: the message loop's exit code.
    enum ExitCode
    {
        exitStopped = 0,  // the stop file, or an application's ALOGOF
        exitUsage = 1,    // arguments the program cannot read
        exitNoPort = 2,   // an application port could not be opened
        exitNoLogon = 3,  // the first link to Jex or the agent's log-on failed
        exitLifetime = 4, // the lifetime ran out before anyone stopped it
    };

    explicit CSessionHost(const Options& options);
    ~CSessionHost() override;
    CSessionHost(const CSessionHost&) = delete; // the links and the window hold `this`
    CSessionHost& operator=(const CSessionHost&) = delete;

    // Opens both application ports and the first link to Jex. FALSE (the loop's exit code posted)
    // when a port cannot be opened.
    BOOL Start();

    // One line of the record: "SOURCE TEXT", control characters as \xNN.
    void Record(const wchar_t* pszSource, const std::wstring& text);
    // The application object and the main window report here.
    void OnAgentLogon(long nPendingApplicationId, int nResult);
    void OnLogOff();
    // The application object was asked to quit: ends as stopped once the agent was logged on,
    // else as a failed log-on.
    void Quit();
    // Closes the applications' links and the Jex link (ALOGOF while the session is up) and ends
    // the message loop with the code.
    void Stop(int nExitCode);

    // A message box of the link: noted, and answered as its first button would be.
    int ShowMessage(const CString& strText, UINT nType) override;
    int ShowMessage(UINT nStringId, UINT nType) override;

    CSessionCore& GetCore() { return m_core; }
    CJexSocket* GetJex() { return m_pJex.get(); }

protected:
    LRESULT OnJexClosed(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    DECLARE_MESSAGE_MAP()

private:
    enum class JexState
    {
        connecting, // the handshake and the greeting
        loggingOn,  // ALOGON sent
        loggedOn,
        lost,
    };
    void ConnectJex();
    void WatchConnecting();
    void JexFailed(const wchar_t* pszWhy);
    std::wstring PathOf(const wchar_t* pszName) const { return m_options.folder + L"\\" + pszName; }
    void WriteReadyFile();

    Options m_options;
    CFileHandle m_hRecord;
    CSessionHostApp m_app{*this};
    CSessionCore m_core{m_app};
    std::vector<std::wstring> m_dlgEffects; // what the main window noted, in the record as well
    CSessionHostDlg m_dlg{*this, m_dlgEffects};
    CLumoClientSocket m_listener{m_core, m_app};
    CAppSocket m_oldListener{m_core, m_app}; // its connections own themselves
    std::shared_ptr<CJexSocket> m_pJex;
    JexState m_jexState = JexState::lost;
    ULONGLONG m_nConnectStartTick = 0;
    ULONGLONG m_nStartTick = 0;
    int m_nReconnectsLeft = 0;
    UINT m_nOldAppPort = 0; // in use
    bool m_bEverLoggedOn = false;
    bool m_bStopping = false;
};
