#include "sessions/CAgent.h"
#include "core/CPropertyList.h"
#include <memory>

CAgent::CAgent() = default;

CAgent::CAgent(const CAgent& other) = default;

CAgent& CAgent::operator=(const CAgent& other) = default;

CAgent::~CAgent() = default;

CString CAgent::GetDisplayName() const
{
    if (!m_strUserName.IsEmpty()) return m_strUserName;
    if (m_strFirstName.IsEmpty()) return m_strLastName;
    if (m_strLastName.IsEmpty()) return m_strFirstName;
    return m_strFirstName + L" " + m_strLastName;
}

BOOL CAgent::SetPassword(LPCWSTR pszPassword, PasswordEncryptor pfnEncrypt)
{
    CString strLetters;
    if (!pfnEncrypt || !pfnEncrypt(pszPassword, strLetters)) return FALSE;
    m_strPassword = strLetters;
    return TRUE;
}

void CAgent::ParseAgentList(CObArray& arr, LPCWSTR pszText)
{
    DeleteObArray(arr);
    const CPropertyList list(pszText);
    // Each round needs an entry of its own, so a hostile text cannot make this loop run longer
    // than the list is long.
    for (long n = 1;; ++n)
    {
        const long nId = GetNumberedLong(list, L"ID%ld", n);
        if (nId == 0) break;
        auto pAgent = std::make_unique<CAgent>();
        pAgent->m_nId = nId;
        pAgent->m_strFirstName = GetNumberedString(list, L"FN%ld", n);
        pAgent->m_strLastName = GetNumberedString(list, L"LN%ld", n);
        pAgent->m_strUserName = GetNumberedString(list, L"UN%ld", n);
        arr.Add(pAgent.get());
        pAgent.release(); // the array holds it now
    }
}
