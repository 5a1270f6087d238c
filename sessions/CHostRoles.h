#pragma once
#include "sessions/IAgentMessages.h"
#include "sessions/IAgentMonitor.h"
#include "sessions/IAgentState.h"
#include "sessions/IAlarmOptions.h"
#include "sessions/IAudioControls.h"
#include "sessions/ICallActions.h"
#include "sessions/ICallEvents.h"
#include "sessions/IDesktopWindows.h"
#include "sessions/IDialing.h"
#include "sessions/IJexConnection.h"
#include "sessions/ILogonDialogs.h"
#include "sessions/IPauses.h"
#include "sessions/IPermissionSwitches.h"
#include "sessions/IQueueDisplay.h"
#include "sessions/ISoftphone.h"
#include "sessions/ITasks.h"
#include "sessions/IVoipGateways.h"
#include <functional>
#include <tuple>

// Who serves each role the session layer asks of the desktop: one pointer per role, null while
// nobody does (no main window yet, or a role the desktop does not serve). A host serves the roles
// it derives from and is installed whole; a caller finds the role it needs, and a role nobody
// installed is reported here, once per call, as "not handled here", so that no command is lost
// without a trace. The session core and the Jex command link each hold one. GUI thread only.
class CHostRoles
{
public:
    // Called with the role's name and the caller's for every call nobody handled.
    using UnhandledObserver = std::function<void(const char* pszRole, const char* pszCaller)>;

    // Every role the host serves, in place of whoever served it before; the others stay.
    template <class Host> void Install(Host& host)
    {
        std::apply([&host](auto*&... pRoles) { (InstallOne(pRoles, host), ...); }, m_roles);
    }
    // The roles this host was installed for; those of other hosts stay.
    template <class Host> void Withdraw(const Host& host) { WithdrawObject(dynamic_cast<const void*>(&host)); }
    // One role, whoever serves it.
    template <class Role> void Uninstall() { std::get<Role*>(m_roles) = nullptr; }
    // The same, by the host's whole object (dynamic_cast<const void*>); null withdraws nothing.
    void WithdrawObject(const void* pHost);

    // Whether somebody serves the role; asking is no call, so nothing is reported.
    template <class Role> bool Has() const { return std::get<Role*>(m_roles) != nullptr; }
    // The role's server, or null, reported as not handled by pszCaller, when nobody serves it.
    template <class Role> Role* Find(const char* pszCaller) const
    {
        Role* pRole = std::get<Role*>(m_roles);
        if (!pRole) ReportUnhandled(Role::kRoleName, pszCaller);
        return pRole;
    }

    // Tests watch what went unhandled; the report to the debugger stays.
    void SetUnhandledObserver(UnhandledObserver observer) { m_observer = std::move(observer); }

private:
    template <class Role, class Host> static void InstallOne(Role*& pRole, Host& host)
    {
        if (Role* pServed = dynamic_cast<Role*>(&host)) pRole = pServed;
    }
    void ReportUnhandled(const char* pszRole, const char* pszCaller) const;

    std::tuple<IAgentState*, IPauses*, IQueueDisplay*, IAudioControls*, ISoftphone*, ICallActions*, ICallEvents*,
               IDialing*, ITasks*, IAgentMessages*, IDesktopWindows*, ILogonDialogs*, IJexConnection*,
               IPermissionSwitches*, IVoipGateways*, IAgentMonitor*, IAlarmOptions*>
        m_roles{};
    UnhandledObserver m_observer;
};
