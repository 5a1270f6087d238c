#include "sessions/tests/CSessionHostApp.h"
#include "sessions/tests/CSessionHost.h"

BOOL CSessionHostApp::StartProgram(long nApplicationId)
{
    CJexLinkAppHost::StartProgram(nApplicationId);
    m_host.Record(L"app", L"StartProgram " + Num(nApplicationId));
    return TRUE;
}

void CSessionHostApp::QuitApplication()
{
    CJexLinkAppHost::QuitApplication();
    m_host.Record(L"app", L"QuitApplication");
    m_host.Quit();
}

void CSessionHostApp::OnAgentLogon(long nPendingApplicationId, int nResult)
{
    CJexLinkAppHost::OnAgentLogon(nPendingApplicationId, nResult);
    m_host.Record(L"app", L"OnAgentLogon " + Num(nPendingApplicationId) + L" " + Num(nResult));
    m_host.OnAgentLogon(nPendingApplicationId, nResult);
}
