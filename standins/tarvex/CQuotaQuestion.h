#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CQuotaResponseSet.h"

// A question of the quota view with its responses. Its identifier is kTvxQuotaQuestionIdBase plus the
// survey question's id, so that it never meets a cell's.
class CQuotaQuestion : public CQuotaResponseSet
{
public:
    long m_nId = 0;
    int m_nType = 1; // 2 multiple choice, 3 numeric, 1 any other
    CString m_strText;
    long m_nQuestionId = 0; // the survey question's id
};
