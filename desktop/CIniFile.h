#pragma once
#include "core/CIniFileBase.h"
#include "framework/CString.h"

// Lumo's own settings, one value each in the section "Settings" of the program's key. Every
// accessor reads the registry again, so a value changed while Lumo runs counts at its next use.
// Each accessor knows its value's name, default, range and whether a missing value is stored
// back, so a first run leaves every default it read in the user's key for an administrator to
// edit. With registry access off (stand-alone) every accessor gives its default.
class CIniFile : public CIniFileBase
{
public:
    ~CIniFile() override = default;

    static CString GetRemoteHost();
    // RemotePortNr, or on its first use the plain or encrypted port, which is then kept in
    // RemotePortNr.
    static int GetRemotePort();
    static int GetApplicationPort();
    static int GetAppPort();
    static int GetLocation();
    static bool GetUseAuthentication();
    // The machine's value only: a user cannot claim a newer setup than was installed.
    static CString GetLatestInstalledSetup();
    static CString GetAgentMonitorPath();
    static CString GetBrennPath();
    static CString GetBrennPathStartupDir();
    static CString GetQuillanPath();
    static bool GetDebugBrennClient();
    static bool GetDebugQuillan();
    static int GetLoginScriptId();
    static bool GetStatisticsView();
    static bool GetExtendedView();
    static bool GetCallInfoWindow();
    // FALSE without reading it while ExtendedView is off: the buttons live in the extended view.
    static bool GetMultiCallButtons();
    static bool GetIsToolbarOnTop();
    static bool GetAllowBlindTransfer();
    static bool GetAllowConference();
    static bool GetExtraMessageForIncomingCall();
    static CString GetInputNumberList();
    static CString GetMessageListFile();
    static CString GetVOIPGateWay();
    static bool GetVOIPSilenceDetection();
    // Defaults to the older H323ErrorsToSuppress, so its value moves to the newer name.
    static CString GetVOIPErrorsToSuppress();
    static CString GetLogFileLocation();
    static CString GetInputTracePath();
    static CString GetOutputTracePath();
};
