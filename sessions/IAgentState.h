#pragma once
#include "framework/CString.h"

class CWnd;

// The agent's state as the main window keeps it. The session core reads it for every application
// that logs on and for the old port's state line; the Jex command link sets it (AGSTAT, AGASKI,
// AVLOUT, SETPER) and reports the log-on's result; both application ports end the session through
// it (ALOGOF). The desktop's main window serves it; without a main window nobody does.
class IAgentState
{
public:
    static constexpr const char* kRoleName = "IAgentState";
    virtual ~IAgentState() = default;

    virtual int GetAgentState() = 0;         // the state number sent with APLGIN answers
    virtual CString GetAgentStateText() = 0; // the text old-port applications get
    virtual BOOL IsAssignedToKeyIn() = 0;
    virtual void SetAssignedToKeyIn(BOOL bAssigned) = 0;
    virtual void SetAgentState(int nState, const CString& strStateText) = 0;
    virtual void OnAvailableOutbound(BOOL bAvailable, long nGroupId, const CString& strGroup) = 0;
    virtual void SetLogonResult(int nResult) = 0;
    // The permissions changed: the buttons the agent may use are shown again.
    virtual void ArrangeButtons() = 0;
    virtual void LogOff() = 0;
    virtual CWnd* GetWnd() = 0; // the main window itself, for showing and hiding it
};
