#pragma once
#include "framework/CString.h"
#include <vector>

class CQuestionnaire;

// Reads the survey text: UTF-8, the line "TVX-SURVEY 1", then one record per line, a word and a
// property-list text. Records: SURVEY, Q, M, S, SCREEN, SKIP, CHECK, ACTION, RES, QUOTA, CELL, SCRIPT.
// Unknown words and names are ignored; empty lines and lines starting with '#' too.
class CSurveyTextReader
{
public:
    struct CScriptRecord
    {
        CString m_strCall;
        double m_dResult = 0;
        long m_nFrom = 1;
        bool m_bThrow = false;
    };

    // Fills an empty survey; on a malformed text throws CArchiveException* (genericException) whose
    // file name is the reason, e.g. "line 4: duplicate id".
    static void Read(const std::vector<BYTE>& text, CQuestionnaire& survey, std::vector<CScriptRecord>& scripts);

private:
    class CFields; // the fields of one record

    CSurveyTextReader(CQuestionnaire& survey, std::vector<CScriptRecord>& scripts)
        : m_survey(survey), m_scripts(scripts)
    {
    }
    void ReadLine(const CString& strWord, CFields& fields);
    void ReadQuestion(CFields& fields);
    void ReadModalite(CFields& fields);
    void ReadSemiOpen(CFields& fields);
    void ReadScreen(CFields& fields);
    void ReadSkip(CFields& fields);
    void ReadCheck(CFields& fields);
    void ReadAction(CFields& fields);
    void ReadResource(CFields& fields);
    void ReadQuota(CFields& fields);
    void ReadCell(CFields& fields);
    void ReadScript(CFields& fields);
    void BuildScreens();

    // The value, which the caller may take over; refused when absent or empty.
    CString& Required(CFields& fields, LPCWSTR pszName) const;
    long RequiredLong(CFields& fields, LPCWSTR pszName) const;
    long ParseLong(const CString& strText) const;
    long OptionalLong(CFields& fields, LPCWSTR pszName, long nDefault) const;
    double OptionalDouble(CFields& fields, LPCWSTR pszName, double dDefault) const;
    int QuestionNamed(const CString& strName) const;
    const CString& NameAt(int nQuestion) const;
    std::vector<int>::const_iterator NameBound(const CString& strName) const; // where it is or would go in m_byName
    [[noreturn]] void Refuse(LPCWSTR pszReason) const;

    CQuestionnaire& m_survey;
    std::vector<CScriptRecord>& m_scripts;
    int m_nLine = 0;
    bool m_bSurveySeen = false;
    std::vector<long> m_screenIds;
    // Sorted vectors, not trees: a survey's questions would cost two heap blocks each, and most ids
    // come in ascending order, so the ids mostly grow at the end.
    std::vector<int> m_byName; // question indices in the order of their names
    std::vector<long> m_ids;   // question ids, ascending
    std::vector<bool> m_onScreen;
    std::vector<std::vector<int>> m_namedScreens;
};
