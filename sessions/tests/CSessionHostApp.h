#pragma once
#include "sessions/tests/CJexLinkAppHost.h"

class CSessionHost;

// The application object of the session host: what the links read is set by the host, and what
// ends or starts something (a program, the log-on's answer, the end of the program) goes to the
// host's record and to the host.
class CSessionHostApp : public CJexLinkAppHost
{
public:
    explicit CSessionHostApp(CSessionHost& host) : m_host(host) {}

    long GetLocationId() override { return m_nHostLocationId; }
    // Noted as "StartProgram ID": the host starts no program; a test plays it.
    BOOL StartProgram(long nApplicationId) override;
    void QuitApplication() override;
    void OnAgentLogon(long nPendingApplicationId, int nResult) override;

    long m_nHostLocationId = 3;

private:
    CSessionHost& m_host;
};
