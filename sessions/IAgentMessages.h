#pragma once
#include "framework/CString.h"
#include <memory>

class CMessage;

// Messages for the agent: those other agents and supervisors send through Jex (SNDMSG), and the
// boxes the application ports raise without waiting for them. The Jex command link and the old
// application port call it; the desktop's main window serves it.
class IAgentMessages
{
public:
    static constexpr const char* kRoleName = "IAgentMessages";
    virtual ~IAgentMessages() = default;

    virtual void OnMessageReceived(const CString& strSender, std::unique_ptr<CMessage> pMessage) = 0;
    // A message box shown when the main window gets to it: the caller goes on at once.
    virtual void PostMessageBox(const CString& strText) = 0;
};
