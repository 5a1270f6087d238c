#pragma once
#include "framework/CString.h"
#include <memory>

class CAgent;
class CAlarmOption;
class CJexSocket;
class CWnd;
class IUpdateServiceClient;
class IUpdateWindowSink;

// What the links and the session core need of the application object. The desktop's application
// implements it; it owns the session core.
class ILumoAppHost
{
public:
    virtual ~ILumoAppHost() = default;

    virtual CAgent& GetAgent() = 0;         // created empty (id -1) on first use
    virtual CString GetVersionString() = 0; // "%hu.%hu.%hu.%hu", empty when unreadable
    virtual CString GetWorkFolder() = 0;    // always ends with a backslash
    virtual BOOL IsStandalone() = 0;        // no registry, no update service
    virtual CString GetInstalledSetupVersion() = 0;
    virtual long GetLocationId() = 0;
    virtual void SetLocation(long nLocationId, const CString& strLocationName) = 0;
    virtual BOOL UseAuthentication() = 0;

    // Starts BrennClient (0) or Quillan (11) with the application port on its command line.
    virtual BOOL StartProgram(long nApplicationId) = 0;
    virtual BOOL IsVisible() = 0;
    // Makes the desktop visible again: main window, connection dialog and the open log-on dialogs.
    virtual void ShowWindows() = 0;
    // Offers a reconnection when the Jex link is gone; the result of that.
    virtual BOOL CheckConnection() = 0;
    virtual void QuitApplication() = 0;
    virtual void OnAgentLogon(long nPendingApplicationId, int nResult) = 0;

    // ---- what the Jex command link needs besides. Bodies, so that hosts without a link need none.
    virtual CString GetJexHostName() { return CString(); }
    virtual UINT GetJexPort() { return 0; }
    // TRUE the first time in a run, FALSE afterwards: Jex's version differs once per run.
    virtual BOOL TakeVersionWarning() { return FALSE; }
    virtual IUpdateWindowSink* GetConnectionDialog() { return nullptr; } // null when not open
    virtual IUpdateServiceClient* GetUpdateService() { return nullptr; }
    // The open log-on, password and location dialogs, null when not open.
    virtual CWnd* GetLogonDialog() { return nullptr; }
    virtual void SetLogonAnswered() {} // the log-on dialog's answered flag
    virtual CWnd* GetPasswordDialog() { return nullptr; }
    virtual CWnd* GetLocationDialog() { return nullptr; }
    virtual void SetStartupDataComplete() {} // Jex ASUFIN

    // ---- what the Jex requests read.
    virtual BOOL IsAlarmSwitchOn() { return FALSE; } // set at log-on: alarms go to Jex only then
    // The registry value Location (default 0), whatever location the agent chose since.
    virtual long GetRegistryLocationId() { return 0; }

    // ---- what the Jex commands set.
    // Jex SETPER: the switches of permission bits 0, 1, 5, 6, 7, 8 and 9 (bit 9's is on until the
    // first SETPER), and the three-valued mode of bits 2 to 4.
    virtual void SetPermission(int /*nBit*/, BOOL /*bOn*/) {}
    virtual void SetPermissionMode(int /*nMode*/) {}
    virtual void SetVoip(BOOL /*bOn*/) {}                           // Jex VOICIP; read by ISVOIP
    virtual CString GetVoipGatewaySetting() { return CString(); }   // the registry value VOIPGateWay
    virtual void SetVoipGateways(const CString& /*strGateways*/) {} // ";"-separated; starts again at the first
    virtual void StartAgentMonitor(const CString& /*strHost*/, long /*nPort*/, long /*nId*/) {}
    virtual void UpdateAlarmOptions(const CAlarmOption& /*options*/) {}

    // ---- what the current application port needs besides.
    virtual std::shared_ptr<CJexSocket> GetJexSocket() { return nullptr; } // empty while there is none
    virtual BOOL IsVoipOn() { return FALSE; }                              // the switch Jex VOICIP sets
    // The switch of a SETPER permission bit; bit 9's is on until the first SETPER.
    virtual BOOL IsPermissionOn(int nBit) { return nBit == 9; }
    virtual CString GetLogFileLocation() { return CString(); } // the registry value LogFileLocation
    // The registry values InputTracePath and OutputTracePath: where the Jex links trace what they
    // receive and send; empty traces nothing.
    virtual CString GetInputTracePath() { return CString(); }
    virtual CString GetOutputTracePath() { return CString(); }
    // What SHOWLC on either port sets and shows (CSessionCore::ShowDesktop).
    virtual void SetVisible(BOOL /*bVisible*/) {}
    virtual CWnd* GetConnectionDialogWnd() { return nullptr; } // null while it is not open
};
