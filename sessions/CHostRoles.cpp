#include "sessions/CHostRoles.h"
#include <string>

void CHostRoles::WithdrawObject(const void* pHost)
{
    if (!pHost) return;
    std::apply(
        [pHost](auto*&... pRoles) {
            ((pRoles = pRoles && dynamic_cast<const void*>(pRoles) == pHost ? nullptr : pRoles), ...);
        },
        m_roles);
}

void CHostRoles::ReportUnhandled(const char* pszRole, const char* pszCaller) const
{
    // Both names are identifiers of this program: plain ASCII.
    const std::string strLine =
        std::string("Lumo: ") + pszCaller + " not handled here: nobody serves " + pszRole + "\n";
    ::OutputDebugStringW(std::wstring(strLine.begin(), strLine.end()).c_str());
    if (m_observer) m_observer(pszRole, pszCaller);
}
