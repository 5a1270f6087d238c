#pragma once
#include "desktop/CContactCenterUpdater.h"
#include "sessions/CHostRoles.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IMessageBoxSink.h"
#include "sessions/IUpdateServiceClient.h"
#include "uikit/IDialogHost.h"

class CLumoApp;

// The application object as the session layer and the toolkit's dialogs see it: the Jex link, the
// session core and the dialogs call these instead of CLumoApp, whose own accessors keep the shapes
// the desktop's code uses.
class CLumoAppHost : public ILumoAppHost,
                     public IDesktopWindows,
                     public ILogonDialogs,
                     public IJexConnection,
                     public IPermissionSwitches,
                     public IVoipGateways,
                     public IAgentMonitor,
                     public IAlarmOptions,
                     public IMessageBoxSink,
                     public IUpdateServiceClient,
                     public IDialogHost
{
public:
    explicit CLumoAppHost(CLumoApp& app) : m_app(app) {}
    CLumoAppHost(const CLumoAppHost&) = delete;
    CLumoAppHost& operator=(const CLumoAppHost&) = delete;

    // The update service's port; tests point it at a stand-in.
    void SetUpdateServicePort(UINT nPort) { m_nUpdateServicePort = nPort; }

    // ILumoAppHost
    CAgent& GetAgent() override;
    CString GetVersionString() override;
    CString GetWorkFolder() override;
    BOOL IsStandalone() override;
    CString GetInstalledSetupVersion() override;
    long GetLocationId() override;
    void SetLocation(long nLocationId, const CString& strLocationName) override;
    BOOL UseAuthentication() override;
    BOOL StartProgram(long nApplicationId) override;
    BOOL IsVisible() override;
    void ShowWindows() override;
    BOOL CheckConnection() override;
    void QuitApplication() override;
    void OnAgentLogon(long nPendingApplicationId, int nResult) override;
    CString GetJexHostName() override;
    UINT GetJexPort() override;
    BOOL TakeVersionWarning() override;
    IUpdateWindowSink* GetConnectionDialog() override;
    IUpdateServiceClient* GetUpdateService() override { return this; }
    CWnd* GetLogonDialog() override;
    void SetLogonAnswered() override;
    CWnd* GetPasswordDialog() override;
    CWnd* GetLocationDialog() override;
    void SetStartupDataComplete() override;
    BOOL IsAlarmSwitchOn() override;
    long GetRegistryLocationId() override;
    void SetPermission(int nBit, BOOL bOn) override;
    void SetPermissionMode(int nMode) override;
    void SetVoip(BOOL bOn) override;

    // IVoipGateways, IAgentMonitor, IAlarmOptions: the Jex link's VOICIP, SEE-IN and UPDALO.
    CString GetVoipGatewaySetting() override;
    void SetVoipGateways(const CString& strGateways) override;
    void StartAgentMonitor(const CString& strHost, long nPort, long nId) override;
    void UpdateAlarmOptions(const CAlarmOption& options) override;

    // What the application ports need besides.
    std::shared_ptr<CJexSocket> GetJexSocket() override;
    BOOL IsVoipOn() override;
    BOOL IsPermissionOn(int nBit) override;
    CString GetLogFileLocation() override;
    CString GetInputTracePath() override;
    CString GetOutputTracePath() override;
    void SetVisible(BOOL bVisible) override;
    CWnd* GetConnectionDialogWnd() override;

    // IMessageBoxSink: the connection dialog is suspended while a box of the link is open.
    int ShowMessage(const CString& strText, UINT nType) override;
    int ShowMessage(UINT nStringId, UINT nType) override;

    // IDialogHost: dialogs stay hidden while Lumo runs hidden; dial keys go to the main window.
    BOOL IsDesktopVisible() override;
    BOOL HandleDialKey(wchar_t ch) override;

    // IUpdateServiceClient
    BOOL CheckService(CString& strError) override;
    BOOL RunUpdate(const CString& strProgram, const CString& strArguments, CString& strError, BOOL bDeleteProgram,
                   BOOL bWait) override;

private:
    template <class ShowBox> int ShowSuspended(ShowBox showBox);
    // The switch of a SETPER permission bit; null for the bits that are no switch.
    bool* PermissionSwitch(int nBit);

    CLumoApp& m_app;
    UINT m_nUpdateServicePort = CContactCenterUpdater::kServicePort;
};
