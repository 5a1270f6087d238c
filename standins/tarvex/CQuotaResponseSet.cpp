#include "standins/tarvex/CQuotaResponseSet.h"
#include "standins/tarvex/CQuotaResponse.h"
#include <algorithm>
#include <climits>

CQuotaResponseSet::CQuotaResponseSet() = default;
CQuotaResponseSet::~CQuotaResponseSet() = default;

CQuotaResponse* CQuotaResponseSet::GetResponse(int i) const
{
    return i >= 0 && i < GetResponseCount() ? m_responses[static_cast<size_t>(i)].get() : nullptr;
}

long CQuotaResponseSet::GetTotalCompletedCount() const
{
    long nTotal = 0;
    for (const auto& pResponse : m_responses)
        nTotal += pResponse->GetCompletedCount();
    return nTotal;
}

long CQuotaResponseSet::GetTotalMinimumCount() const
{
    long nTotal = 0;
    for (const auto& pResponse : m_responses)
        nTotal += pResponse->GetMinimumCount();
    return nTotal;
}

long CQuotaResponseSet::GetTotalMaximumCount() const
{
    long nTotal = 0;
    for (const auto& pResponse : m_responses)
    {
        if (pResponse->GetMaximumCount() < 0) return INT_MAX;
        nTotal += pResponse->GetMaximumCount();
    }
    return nTotal;
}

long CQuotaResponseSet::GetTotalToDoCountMinimum(bool /*bFurther*/, bool /*bNested*/) const
{
    long nTotal = 0;
    for (const auto& pResponse : m_responses)
        nTotal +=
            std::max(0L, pResponse->GetMinimumCount() - pResponse->GetCompletedCount() - pResponse->GetRunningCount());
    return nTotal;
}
