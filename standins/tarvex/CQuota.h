#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include "standins/tarvex/CQuotaQuestionSet.h"
#include <memory>
#include <vector>

class CMasqueSaisie;
class CQuestionnaire;
class CQuotaQuestion;
class CQuotaResponse;

// The quota of a survey: cells, each on closed codes or a numeric range of one question, with the
// interviews completed and running elsewhere against a maximum. A cell is reached when completed +
// running >= maximum; a closed cell counts as reached whatever its counts; a maximum below 0 means
// the cell has no limit.
class CQuota
{
public:
    // The cells an interview falls in; its bytes travel as the entry mask's quota category.
    struct Category
    {
        std::vector<long> m_cells;
        std::vector<BYTE> ToBytes() const;               // each cell id, 32-bit little-endian
        bool FromBytes(const BYTE* pBytes, int nLength); // false for a length that is not whole ids
    };

    struct CCell
    {
        long m_nId = 0;
        CString m_strText;
        int m_nQuestion = -1;      // index of the question in the survey
        std::vector<long> m_codes; // closed codes; empty for a numeric range
        double m_dLow = 0;
        double m_dHigh = 0;
        long m_nMinimum = 0;
        long m_nMaximum = -1;
        long m_nCompleted = 0;
        long m_nRunning = 0;
        bool m_bClosed = false;
    };

    bool HasCells() const { return !m_cells.empty(); }
    CCell* FindCell(long nId);
    const CCell* FindCell(long nId) const;

    // The quota view: one quota question per survey question its cells use (in the order of their
    // first cell), each cell a response under it; a cell on several codes is a response group.
    const CQuotaQuestionSet& GetQuestionSet() const;
    CQuotaQuestion* FindQuestion(long nId, bool bNested) const;
    CQuotaResponse* FindResponse(long nId) const;
    CQuotaQuestion* FindQuestionForResponse(long nResponseId) const;

    // The cells whose question the mask has answered inside the cell's codes or range.
    bool GetCategoryForInterview(const CMasqueSaisie& mask, Category& category, bool bWithRunning) const;
    // The ids of the category's cells (all cells with bAllCells) that are reached (bReached, counting
    // running interviews when bWithRunning) or closed (bClosed); true when there is any.
    bool GetReached(bool bReached, bool bClosed, bool bWithRunning, bool bAllCells, const Category& category,
                    std::vector<long>& ids) const;
    // One text per id: the cell's text, or "Quota %ld" without one.
    void GetDescriptionTokens(const std::vector<long>& ids, const CQuestionnaire& survey, int nLanguage,
                              CStringArray& tokens) const;
    // UTF-8 lines `cell = "id" completed = "n" running = "n"` (max and closed optional). Unknown cells
    // are ignored; false for bytes that are not text. The ids of the changed cells go to pIds.
    bool Update(int nUpdateType, const BYTE* pBytes, int nLength, std::vector<long>* pIds);
    // Takes one interview of the category out of the running counts, never below 0.
    void RemoveRunningInterview(const Category& category);
    long GetToDoCountMinimum(bool bWithRunning) const;

    int m_nMode = 0; // the quota's mode value
    std::vector<CCell> m_cells;
    // What the quota view reads of the quota itself.
    bool m_bActive = true;
    bool m_bMinimumsOnly = false;
    bool m_bCountFurther = false; // the second flag: no further counts in this engine
    long m_nTotal = 0;
    long m_nMaximum = -1;
    long m_nPercentage = -1;
    long m_nCompleted = 0;
    const CQuestionnaire* m_pSurvey = nullptr; // names the quota questions; set by the survey that reads it

private:
    // Made on first use and again when cells were added; a copy makes its own, over its own cells.
    struct CViewCache
    {
        CViewCache() = default;
        CViewCache(const CViewCache&) {}
        CViewCache& operator=(const CViewCache&)
        {
            m_pQuestions.reset();
            return *this;
        }
        std::unique_ptr<CQuotaQuestionSet> m_pQuestions;
        size_t m_nCells = 0;
    };
    mutable CViewCache m_view;
};
