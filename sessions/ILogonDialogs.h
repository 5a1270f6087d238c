#pragma once
#include "framework/Platform.h"

class CWnd;
class IUpdateWindowSink;

// The dialogs on the way to a log-on, open while the agent is in them. The Jex command link
// answers them (ALOGON, CHKPWD, LSTLOC, ASUFIN) and reports an update in the connection dialog;
// the session core shows and hides them with the desktop. The desktop's application object
// serves it.
class ILogonDialogs
{
public:
    static constexpr const char* kRoleName = "ILogonDialogs";
    virtual ~ILogonDialogs() = default;

    // Each null when not open.
    virtual IUpdateWindowSink* GetConnectionDialog() = 0;
    virtual CWnd* GetLogonDialog() = 0;
    virtual CWnd* GetPasswordDialog() = 0;
    virtual CWnd* GetLocationDialog() = 0;
    virtual void SetLogonAnswered() = 0;       // the log-on dialog's answered flag
    virtual void SetStartupDataComplete() = 0; // Jex ASUFIN
};
