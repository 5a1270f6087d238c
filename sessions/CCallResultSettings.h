#pragma once
#include "core/CStdArray.h"
#include "framework/CString.h"
#include <memory>

class CPropertyList;

// A list of call results (code, sub-code, display text) with their visible and drop flags, and the
// three compact texts Jex sends them in. Three process-wide sets exist: the defaults built from the
// string table, the current set (defaults merged with overrides) and the overrides (what differs
// from the defaults). BuildDefaults publishes them once at start-up; readers load a shared pointer
// and keep it, so a set stays valid while they use it. Published sets are never changed: a reader
// that needs a changed set copies it. Single objects are not locked.
class CCallResultSettings
{
public:
    struct Result
    {
        int m_nCode = 0;
        int m_nSubCode = 0; // 0 for the code itself, above 0 for a sub-result of the code
        CString m_strText;
        BYTE m_bVisible = TRUE; // offered to the agent
        BYTE m_bDrop = FALSE;

        bool operator==(const Result& other) const; // all five members; the text with case
        BOOL IsSelectable() const;
        BOOL IsSelectableFailure() const;
    };
    using CResultArray = CStdArray<Result>;

    CCallResultSettings();
    CCallResultSettings(const CCallResultSettings& other);
    CCallResultSettings& operator=(const CCallResultSettings& other);
    virtual ~CCallResultSettings();

    void Clear();

    // The wire form: results "code@text" joined by ";", a sub-result "|sub@text" after its code;
    // hidden and drop texts are "code:sub;" lists. The texts are kept as given. Malformed pieces
    // never fail the whole: a piece that does not read keeps the defaults of its fields.
    void SetFromText(LPCWSTR pszResults, LPCWSTR pszHidden, LPCWSTR pszDrop);
    void SetFromPropertyList(const CPropertyList& list, LPCWSTR pszPrefix); // prefix + UDRC, Hide, Drop
    void SetFromPropertyText(LPCWSTR pszText);

    // The three texts; built from the results (merged with the overrides set) and kept when the
    // results changed since they were last read or built.
    void GetTexts(CString& strResults, CString& strHidden, CString& strDrop);
    CString GetResultsText();
    CString GetHiddenText();
    CString GetDropText();
    void AddToPropertyList(CPropertyList& list, LPCWSTR pszPrefix);
    CString GetPropertyText();
    BOOL IsLoaded() const { return m_bLoaded; } // the texts belong to the results

    void AddResult(const Result& result); // replaces the result of the same key, else appends
    void SetResults(const CResultArray& results);
    BOOL FindResult(int nCode, int nSubCode, Result& result) const;
    // "Not called" for -1, "Success" for 0, else the code's text, then " - " and the sub-code's
    // text when there is one; what the own results lack comes from the current set.
    CString GetResultText(int nCode, int nSubCode) const;
    // With bMerge, the current set merged with the own results, sorted.
    void GetResults(CResultArray& results, BOOL bMerge) const;
    BOOL IsEqual(const CCallResultSettings& other) const;

    static void BuildDefaults(const std::shared_ptr<const CCallResultSettings>& pOverrides);
    static void RebuildDefaults();
    static std::shared_ptr<const CCallResultSettings> GetCurrent();
    static std::shared_ptr<const CCallResultSettings> GetDefaults();
    static std::shared_ptr<const CCallResultSettings> GetOverrides();

    static BOOL IsSelectableCode(int nCode);
    static bool IsValidKey(int nCode, int nSubCode);
    // out = base, each override result giving its text (unless empty) and both flags to the result
    // of its key, or appended when base has none; sorted.
    static void MergeResults(const CResultArray& base, const CResultArray& overrides, CResultArray& out);
    static void SortResults(CResultArray& results); // by code, then sub-code; stable

private:
    void BuildTexts(const CCallResultSettings* pOverrides);

    CResultArray m_arrResults;
    CString m_strResultsText;
    CString m_strHiddenText;
    CString m_strDropText;
    BOOL m_bLoaded = FALSE;
};
