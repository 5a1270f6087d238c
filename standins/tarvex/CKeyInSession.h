#pragma once

// The counters of one key-in session of an entry mask.
class CKeyInSession
{
public:
    void AddKeyStrokeCount(long n) { m_nKeyStrokes += n; }
    void AddErrorsOnVerifyCount(long n) { m_nErrorsOnVerify += n; }
    void AddQesErrorsOnVerifyCount(long n) { m_nQuestionErrorsOnVerify += n; }

    int m_nMode = 0; // 0 new entry, 1 verification, 2 modification
    long m_nKeyStrokes = 0;
    long m_nErrorsOnVerify = 0;
    long m_nQuestionErrorsOnVerify = 0;
};
