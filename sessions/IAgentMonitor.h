#pragma once
#include "framework/CString.h"

// The supervisor's view of the agent's screen that Jex asks for (SEE-IN). The Jex command link
// calls it; nobody in the desktop serves it yet.
class IAgentMonitor
{
public:
    static constexpr const char* kRoleName = "IAgentMonitor";
    virtual ~IAgentMonitor() = default;

    virtual void StartAgentMonitor(const CString& strHost, long nPort, long nId) = 0;
};
