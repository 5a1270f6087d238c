#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CQuotaQuestionSet.h"
#include "standins/tarvex/CQuotaResponseSet.h"

class CQuota;

// One cell of the quota as the quota view shows it. Counts are read from the cell at each call, so
// that updates show at once. Its own responses and questions are nested sets (empty in this engine).
class CQuotaResponse : public CQuotaResponseSet
{
public:
    CQuotaResponse(const CQuota& quota, long nCellId) : m_quota(quota), m_nId(nCellId) {}

    long GetCompletedCount() const;
    long GetRunningCount() const;
    long GetMinimumCount() const;
    long GetMaximumCount() const; // -1: none
    bool IsCounted() const { return true; }

    const CQuota& m_quota;
    long m_nId;
    long m_nCode = 0; // the cell's single code; -3 for a numeric range
    double m_dLow = 0;
    double m_dHigh = 0;
    CString m_strText;
    CQuotaQuestionSet m_questions;
};
