#include "standins/tarvex/CMasqueAjaxImpact.h"
#include <algorithm>

void CMasqueAjaxImpact::Add(LPCWSTR pszAction, int nPosition)
{
    CString strCall;
    strCall.Format(L"%s@%d", pszAction, nPosition);
    m_calls.push_back(strCall);
}

void CMasqueAjaxImpact::RemoveSuperfluousCalls()
{
    std::vector<CString> kept;
    for (const CString& strCall : m_calls)
        if (std::find(kept.begin(), kept.end(), strCall) == kept.end()) kept.push_back(strCall);
    m_calls.swap(kept);
}
