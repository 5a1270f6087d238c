#pragma once
#include <memory>
#include <vector>

class CQuotaResponse;

// Responses of the quota view: those of a quota question, or those nested under a response.
class CQuotaResponseSet
{
public:
    CQuotaResponseSet();
    CQuotaResponseSet(const CQuotaResponseSet&) = delete;
    CQuotaResponseSet& operator=(const CQuotaResponseSet&) = delete;
    virtual ~CQuotaResponseSet();

    int GetResponseCount() const { return static_cast<int>(m_responses.size()); }
    CQuotaResponse* GetResponse(int i) const;
    long GetTotalCompletedCount() const;
    long GetTotalMinimumCount() const;
    long GetTotalMaximumCount() const; // the largest int when a response has no maximum
    // What is still to do to reach the minimums: minimum - completed - running, never below 0 per
    // response; bFurther is the quota's second flag (no further counts in this engine).
    long GetTotalToDoCountMinimum(bool bFurther, bool bNested) const;

    std::vector<std::unique_ptr<CQuotaResponse>> m_responses;
};
