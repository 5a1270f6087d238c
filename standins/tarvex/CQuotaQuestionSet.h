#pragma once
#include <memory>
#include <vector>

class CQuotaQuestion;

// Quota questions in order: those of the quota, or those nested under a response.
class CQuotaQuestionSet
{
public:
    CQuotaQuestionSet();
    CQuotaQuestionSet(const CQuotaQuestionSet&) = delete;
    CQuotaQuestionSet& operator=(const CQuotaQuestionSet&) = delete;
    ~CQuotaQuestionSet();

    int GetQuestionCount() const { return static_cast<int>(m_questions.size()); }
    CQuotaQuestion* GetQuestion(int i) const;

    std::vector<std::unique_ptr<CQuotaQuestion>> m_questions;
};
