#include "standins/tarvex/CQuotaResponse.h"
#include "standins/tarvex/CQuota.h"

long CQuotaResponse::GetCompletedCount() const
{
    const CQuota::CCell* pCell = m_quota.FindCell(m_nId);
    return pCell ? pCell->m_nCompleted : 0;
}

long CQuotaResponse::GetRunningCount() const
{
    const CQuota::CCell* pCell = m_quota.FindCell(m_nId);
    return pCell ? pCell->m_nRunning : 0;
}

long CQuotaResponse::GetMinimumCount() const
{
    const CQuota::CCell* pCell = m_quota.FindCell(m_nId);
    return pCell ? pCell->m_nMinimum : 0;
}

long CQuotaResponse::GetMaximumCount() const
{
    const CQuota::CCell* pCell = m_quota.FindCell(m_nId);
    return pCell ? pCell->m_nMaximum : -1;
}
