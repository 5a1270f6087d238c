#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CFiltre.h"
#include "standins/tarvex/CInternetOptions.h"
#include "standins/tarvex/CMediaResource.h"
#include "standins/tarvex/CQuestion.h"
#include "standins/tarvex/CQuota.h"
#include "standins/tarvex/CScreenGroup.h"
#include <map>
#include <memory>
#include <vector>

class CArchive;
class CListe;

// A survey: questions with their responses, screens, skips, checks, actions, resources and quota, read
// from the survey text (see CSurveyTextReader). Positions of an interview are question indices.
class CQuestionnaire
{
public:
    // A jump of the route: after the question, when its answer holds the code (any answer when
    // bAnyCode), the route goes on at the target and everything between is skipped.
    struct CSkip
    {
        int m_nQuestion = -1;
        bool m_bAnyCode = true;
        long m_nCode = 0;
        int m_nTarget = -1;
    };
    // A validity check of an answer: fails when the answer holds the code, or its value lies below
    // m_dBelow or above m_dAbove (kTvxNoValue: not checked).
    struct CCheck
    {
        int m_nQuestion = -1;
        int m_nLevel = 1;
        CString m_strText;
        bool m_bHasCode = false;
        long m_nCode = 0;
        double m_dBelow = -999999.99;
        double m_dAbove = -999999.99;
    };

    CQuestionnaire();
    CQuestionnaire(const CQuestionnaire&) = delete;
    CQuestionnaire& operator=(const CQuestionnaire&) = delete;
    virtual ~CQuestionnaire();

    // Loading reads the survey text to the end of the archive; a malformed text throws the framework's
    // archive exception and leaves the survey as it was. Storing writes the text that was read.
    virtual void Serialize(CArchive& ar, LPCWSTR pszSurveyFolder);

    int GetNbreQuestion() const { return static_cast<int>(m_questions.size()); }
    CQuestion* GetQuestion(int i) const;
    int FindQuestionById(long nId) const; // index, -1 when unknown
    bool FindQuestionById(long nId, CQuestion*& pQuestion) const;
    int FindQuestionByName(const CString& strName) const;
    CQuestion* FindQuestionByShortcut(const CString& strShortcut) const;
    bool IsQuestionInLoop(int /*nQuestion*/) const { return false; } // loops are refused at load
    CString GetShortDateFormat(int /*nLanguage*/) const { return L"dd/MM/yyyy"; }

    int GetResourceCount() const { return static_cast<int>(m_resources.size()); }
    CMediaResource* GetAdrResource(int i) const;
    const CMediaResource& GetResource(int i) const { return *GetAdrResource(i); }
    bool FindResourceById(long nId, int& nIndex) const;
    // True when every resource file in the survey folder has the CRC-32 the map gives for its id;
    // the ids of the others are appended to the missing list.
    bool CheckResources(const std::map<long, DWORD>& resources, std::vector<long>& missing) const;
    // Adds the semi-open answers of the array to their questions (replacing one of the same id).
    void UpdateSemiOpenResponses(const CListe& array);

    int GetFiltreCount() const { return static_cast<int>(m_actions.size()); }
    const CFiltre* GetFiltre(int i) const;

    int GetScreenCount() const { return static_cast<int>(m_screens.size()); }
    int GetScreenOfPosition(int nPosition) const; // -1 outside the survey
    const std::vector<int>& GetScreenPositions(int nScreen) const { return m_screens.at(static_cast<size_t>(nScreen)); }
    const CQuota& GetQuotaDefinition() const { return m_quota; }
    CScreenGroup* GetScreenGroup(int nGroup) { return nGroup == 0 ? &m_screenGroup : nullptr; }
    CInternetOptions& GetInternetOptions() { return m_internetOptions; }
    const CString& GetFolder() const { return m_strFolder; }

    long m_nId = 0;
    CString m_strName;
    int m_nLangue = 0;

    // Filled by the reader; replaced whole by a load.
    std::vector<std::unique_ptr<CQuestion>> m_questions;
    std::vector<std::vector<int>> m_screens; // positions of each screen, ascending, screens in order
    std::vector<CSkip> m_skips;
    std::vector<CCheck> m_checks;
    std::vector<CFiltre> m_actions;
    std::vector<CMediaResource> m_resources;
    CQuota m_quota;
    CScreenGroup m_screenGroup; // web screens when the SURVEY record says web = "1"
    CInternetOptions m_internetOptions;
    std::vector<BYTE> m_source;

private:
    void SwapContents(CQuestionnaire& other) noexcept;
    CString m_strFolder;
};
