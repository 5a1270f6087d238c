#include "tests/support/CScriptedLumo.h"

CScriptedLumo::CScriptedLumo(const std::string& script)
{
    m_bStarted =
        m_peer.WriteFile(L"script", script) && m_peer.Start(LUMO_PYTHON, LUMO_SCRIPTED_LUMO, "{dir} {dir}/script");
}

std::string Accepted(const char* pszLumoVersion)
{
    return std::string("accept\nstarts ") + pszLumoVersion + "\n";
}

std::string LoggedIn(int nApplicationId, int nAgentState)
{
    return "expect APLGIN (?P<id>\\d+) " + std::to_string(nApplicationId) + " [01]\nline APLGIN {id} -1 1 " +
           std::to_string(nAgentState) + "\n";
}
