#include "standins/tarvex/CQuotaQuestionSet.h"
#include "standins/tarvex/CQuotaQuestion.h"

CQuotaQuestionSet::CQuotaQuestionSet() = default;
CQuotaQuestionSet::~CQuotaQuestionSet() = default;

CQuotaQuestion* CQuotaQuestionSet::GetQuestion(int i) const
{
    return i >= 0 && i < GetQuestionCount() ? m_questions[static_cast<size_t>(i)].get() : nullptr;
}
