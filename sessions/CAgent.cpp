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

void CAgent::ParseAgentList(CObArray& arr, LPCWSTR pszText)
{
    DeleteObArray(arr);
    const CPropertyList list(pszText);
    // Each round needs an entry of its own, so a hostile text cannot make this loop run longer
    // than the list is long.
    for (int n = 1;; ++n)
    {
        CString strKey;
        strKey.Format(L"ID%d", n);
        const long nId = list.GetPropertyLong(strKey.GetString(), 0L);
        if (nId == 0) break;
        auto pAgent = std::make_unique<CAgent>();
        pAgent->m_nId = nId;
        strKey.Format(L"FN%d", n);
        pAgent->m_strFirstName = list.GetPropertyString(strKey.GetString(), L"");
        strKey.Format(L"LN%d", n);
        pAgent->m_strLastName = list.GetPropertyString(strKey.GetString(), L"");
        strKey.Format(L"UN%d", n);
        pAgent->m_strUserName = list.GetPropertyString(strKey.GetString(), L"");
        arr.Add(pAgent.get());
        pAgent.release(); // the array holds it now
    }
}
