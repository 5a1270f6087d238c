#pragma once
#include "framework/CString.h"

class CAgent;

// The application object as the links and the session core always find it: the agent, this
// installation's facts, the programs it starts and the run it ends. The desktop's application
// implements it and owns the session core. What else the application serves (its windows, the
// log-on dialogs, the Jex connection, the switches Jex sets) are roles of their own, installed
// where they are used (CHostRoles).
class ILumoAppHost
{
public:
    virtual ~ILumoAppHost() = default;

    virtual CAgent& GetAgent() = 0;         // created empty (id -1) on first use
    virtual CString GetVersionString() = 0; // "%hu.%hu.%hu.%hu", empty when unreadable
    virtual CString GetWorkFolder() = 0;    // always ends with a backslash
    virtual BOOL IsStandalone() = 0;        // no registry, no update service
    virtual CString GetInstalledSetupVersion() = 0;
    virtual CString GetLogFileLocation() = 0; // the registry value LogFileLocation
    // The registry values InputTracePath and OutputTracePath: where the Jex links trace what they
    // receive and send; empty traces nothing.
    virtual CString GetInputTracePath() = 0;
    virtual CString GetOutputTracePath() = 0;
    virtual long GetLocationId() = 0;
    // The registry value Location (default 0), whatever location the agent chose since.
    virtual long GetRegistryLocationId() = 0;
    virtual void SetLocation(long nLocationId, const CString& strLocationName) = 0;
    virtual BOOL UseAuthentication() = 0;

    // Starts BrennClient (0) or Quillan (11) with the application port on its command line.
    virtual BOOL StartProgram(long nApplicationId) = 0;
    // Offers a reconnection when the Jex link is gone; the result of that.
    virtual BOOL CheckConnection() = 0;
    virtual void QuitApplication() = 0;
    virtual void OnAgentLogon(long nPendingApplicationId, int nResult) = 0;
};
