#pragma once
#include "framework/CHandleOwner.h"
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "framework/CWinApp.h"
#include "desktop/CLumoAppHost.h"
#include "desktop/CLumoDlg.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSettingStore.h"
#include "sessions/CAlarmOption.h"
#include "sessions/CSessionCore.h"
#include <memory>
#include <vector>

class CAppSocket;
class CConnectionDlg;
class CJexDataSocket;
class CJexSocket;
class CLumoClientSocket;

// Lumo's application object: what lives as long as the process, and the start-up that turns the
// command line and the registry settings into it. One exists per process; the program's entry
// makes it, tests make their own.
class CLumoApp : public CWinApp
{
    // Declared first so that they are balanced last, after every member that may still use them;
    // ExitInstance balances them earlier, in the reverse order of their start.
    CComInitialization m_comStarted;
    COleInitialization m_oleStarted;
    CWinsockStartup m_socketsStarted;

public:
    CLumoApp();
    ~CLumoApp() override;

    BOOL InitInstance() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    int ExitInstance() override;
    BOOL ProcessMessageFilter(int code, LPMSG lpMsg) override;

    // Shows the ".CHM" beside m_pszHelpFilePath in HTML Help: HELP_CONTEXT the topic of the
    // context id in dwData, HELP_FINDER the default topic; nothing for other commands or an
    // unreadable file. The old help viewer is gone from current Windows, so the base's is never used.
    void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT) override;
    // What WinHelp calls to show HTML Help, HtmlHelpW by default. Returns the previous entry.
    using HtmlHelpEntry = HWND(WINAPI*)(HWND hwndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData);
    static HtmlHelpEntry SetHtmlHelpEntry(HtmlHelpEntry pfnEntry);

    // The program's arguments, its name first. Taken from the process unless set before start-up.
    void SetArguments(std::vector<CString> arguments) { m_arguments = std::move(arguments); }

    CAgent* GetAgent(); // created empty on first use
    CAlarmOption* GetAlarmOptions() const { return m_pAlarmOptions.get(); }
    USHORT GetAppPort() const { return m_nAppPort; }
    USHORT GetApplicationPort() const { return m_nApplicationPort; }
    // Both end in a backslash. The program folder is empty while the path cannot be read; the
    // work folder is created again whenever it is missing.
    const CString& GetProgramFolder();
    const CString& GetWorkFolder();
    // "major.minor.build.revision" of the running executable, empty without a version resource.
    CString GetVersionString() const;

    // The link to Jex; empty while there is none.
    std::shared_ptr<CJexSocket> GetJexSocket() const { return m_pJexSocket; }
    // Makes a new link to Jex and waits for its greeting in the connection dialog. TRUE when the
    // link is up; otherwise Lumo holds no link afterwards.
    // Virtual for tests of the start-up that stop short of Jex.
    virtual BOOL Connect(BOOL bShowWhileConnecting);
    // When the link is down, asks the agent whether to reconnect and does so, logging on again.
    // TRUE when the link is up (or the question is not Lumo's to ask now).
    BOOL CheckConnection();
    // Ends the message loop (exit code 0), and a running connection dialog with it.
    void QuitApplication();
    // The main window learns the log-on result and the loss of the new link, and keeps its own copy.
    void GiveLinkToMainWindow();

    // Makes the application ports' missing listeners (moving on from a taken port) and runs the
    // log-on dialog. TRUE when the agent is logged on; FALSE when it was cancelled or no listener
    // could be made (after a box that names the port).
    BOOL StartApplicationPortsAndLogon();
    // Every ALOGON answer of Jex. nPendingApplicationId: the local application whose log-on
    // request waits for it, -1 none.
    void OnAgentLogon(long nPendingApplicationId, int nResult);
    // The agent is no longer known: id -1, no password.
    void ForgetAgent();
    void SetLocation(long nLocationId, const CString& strLocationName);

    // ---- smaller operations (CLumoAppOperations.cpp) ----
    // The gateways the softphone registers with, ";"-separated (empty pieces are no gateway); the
    // next one asked for is the first again.
    void SetVoipGateways(const CString& strGateways);
    // The gateways in turn, round and round; empty without any.
    CString GetNextVoipGateway();
    long GetVoipGatewayCount() const { return static_cast<long>(m_voipGateways.size()); }
    // The data link of the current Jex link; null while there is none.
    CJexDataSocket* GetJexDataSocket() const;
    // Jex's alarm options replace the agent's, and the softphone gets the limits.
    void UpdateAlarmOptions(const CAlarmOption& options);
    // Starts the VNC server that shows the agent's screen to the viewer at strHost:nPort (SEE-IN),
    // in a job that ends it with Lumo. FALSE, and nothing started, when the host is no host name
    // or address (letters, digits, '.', '-' and ':', at most 255), no server is found, its path or
    // command line would be longer than Windows takes, or it cannot be started.
    BOOL StartAgentMonitor(const CString& strHost, long nPort, long nId);
    static constexpr int kMaxMonitorHost = 255;
    static constexpr int kMaxMonitorPath = 259;
    static constexpr int kMaxMonitorCommandLine = 519;
    // How many ports beyond the configured one the log-on tries for a listener.
    static constexpr UINT kPortSearch = 100;

    // True for "-standalone", "-sa", "-setup:..." and "-standalone:..." in any case. A leading '/'
    // does not count here, unlike in the other options.
    static bool IsStandaloneRequested(const std::vector<CString>& arguments);

    // What the session layer sees of this object, and the session it serves. Declared before the
    // link, which points at both.
    CLumoAppHost m_host{*this};
    CSessionCore m_sessionCore{m_host};
    CAgentSettingStore m_agentSettings;

    bool m_bStandalone = false;
    CString m_strSetupVersion{L"0.0.0.0"};
    CString m_strBrennClientPath;
    CString m_strBrennClientParameters;
    CString m_strQuillanPath;
    CString m_strQuillanParameters;
    // The main window, also the framework's main window while it exists.
    std::unique_ptr<CLumoDlg> m_pMainDlg;
    std::unique_ptr<CAlarmOption> m_pAlarmOptions;
    std::unique_ptr<CAgent> m_pAgent;
    std::shared_ptr<CJexSocket> m_pJexSocket;
    // The listeners of the old and the current application port. The main window opens them; the
    // log-on makes a missing one again. Each application connected through them is a socket of
    // its own, registered with the session core.
    std::unique_ptr<CAppSocket> m_pOldListener;
    std::unique_ptr<CLumoClientSocket> m_pListener;
    // Set by the log-on, password and location dialogs while their windows exist.
    CWnd* m_pLogonDlg = nullptr;
    CWnd* m_pPasswordDlg = nullptr;
    CWnd* m_pLocationDlg = nullptr;
    bool m_bReconnectQuestionOpen = false;
    CString m_strRemoteHost;
    CString m_strProgramFolder;
    CString m_strWorkFolder;
    USHORT m_nApplicationPort = 0; // the old application port
    USHORT m_nAppPort = 0;         // the current application port, the one LumoClient uses
    DWORD m_nJexPort = 0;
    long m_nLocationMode = 0; // 0 choose at every log-on, 1 no location, 2 choose when none is set
    long m_nLocationId = 0;   // 0 none configured, -1 working without a location
    bool m_bNoLocation = false;
    CString m_strLocationName;
    bool m_bUseAuthentication = false;
    bool m_bVisible = true;
    bool m_bStatisticsView = false;
    bool m_bExtendedView = false;
    bool m_bCallInfoWindow = false;
    bool m_bVoIP = false;
    // Jex's permission bits 0, 1, 5, 6, 7, 8 and 9.
    bool m_bAllowToolBar = false;
    bool m_bAllowMessagesToSupervisors = false;
    bool m_bOrvialFullScreen = false;
    bool m_bOrvialHideLumo = false;
    bool m_bAllowAnonymise = false;
    bool m_bAllowCallButtons = false;
    bool m_bAllowRecording = true;
    std::vector<CString> m_voipGateways;
    long m_nNextGateway = 0;
    bool m_bVersionWarningPending = true;
    long m_nReplayMaster = -1;
    bool m_bReplayMasterExclusive = false;
    CKernelHandle m_hAgentMonitorJob;
    COleDateTime m_dtLastHoldOrRetrieve;
    CString m_strAgentMonitorPath;
    CConnectionDlg* m_pConnectionDlg = nullptr; // only while Connect runs it
    bool m_bStartupDataReceived = false;
    bool m_bApplicationSettingsComplete = false;
    bool m_bLoggedOn = false;
    // Set once the program ends: the links that close now ask no questions and show no window.
    bool m_bEnding = false;

protected:
    DECLARE_MESSAGE_MAP()

private:
    // Makes the main window with its tool bar; FALSE, with neither left, when the window cannot be made.
    BOOL CreateMainWindow();
    void DestroyMainWindow();
    void CloseListeners();
    // The listener of one port, made unless it is there; FALSE after the box.
    template <class Listener> BOOL MakeListener(std::unique_ptr<Listener>& pListener, USHORT& nPort);
    // Both listeners, each moved on to the next free port while its own is taken; FALSE after a box.
    BOOL MakeApplicationPortListeners();
    // The tool-bar position moves once from the registry into the agent settings.
    void ImportToolBarPosition();
    // The tool bar forgets the call it followed: the calls went with the link.
    void ClearToolBarCall();
    void ReadSettings();
    // FALSE when the usage was asked for: start-up ends.
    BOOL ParseOptions();
    void ApplyOption(const CString& argument);
    // The log-on after a reconnect.
    enum class LogonAgain
    {
        done,    // the log-on went out
        notSent, // the Windows-account log-on could not be sent
        failed,  // no log-on: Lumo ends
    };
    LogonAgain LogOnAgain();

    std::vector<CString> m_arguments;
};
