#pragma once
#include "framework/CString.h"
#include <map>
#include <set>
#include <vector>

class CQuestionnaire;
class CPropertyList;

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
    CSurveyTextReader(CQuestionnaire& survey, std::vector<CScriptRecord>& scripts)
        : m_survey(survey), m_scripts(scripts)
    {
    }
    void ReadLine(const CString& strWord, const CPropertyList& fields);
    void ReadQuestion(const CPropertyList& fields);
    void ReadModalite(const CPropertyList& fields);
    void ReadSemiOpen(const CPropertyList& fields);
    void ReadScreen(const CPropertyList& fields);
    void ReadSkip(const CPropertyList& fields);
    void ReadCheck(const CPropertyList& fields);
    void ReadAction(const CPropertyList& fields);
    void ReadResource(const CPropertyList& fields);
    void ReadQuota(const CPropertyList& fields);
    void ReadCell(const CPropertyList& fields);
    void ReadScript(const CPropertyList& fields);
    void BuildScreens();

    CString Required(const CPropertyList& fields, LPCWSTR pszName) const;
    long RequiredLong(const CPropertyList& fields, LPCWSTR pszName) const;
    long ParseLong(const CString& strText) const;
    long OptionalLong(const CPropertyList& fields, LPCWSTR pszName, long nDefault) const;
    double OptionalDouble(const CPropertyList& fields, LPCWSTR pszName, double dDefault) const;
    int QuestionNamed(const CString& strName) const;
    [[noreturn]] void Refuse(LPCWSTR pszReason) const;

    CQuestionnaire& m_survey;
    std::vector<CScriptRecord>& m_scripts;
    int m_nLine = 0;
    bool m_bSurveySeen = false;
    std::vector<long> m_screenIds;
    std::map<CString, int> m_names; // question name to index
    std::set<long> m_ids;
    std::set<int> m_onScreen;
    std::vector<std::vector<int>> m_namedScreens;
};
