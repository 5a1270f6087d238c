#include "standins/tarvex/CQuestionnaire.h"
#include "core/CCrcFixedTable.h"
#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CSurveyTextReader.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"

CQuestionnaire::CQuestionnaire() = default;

CQuestionnaire::~CQuestionnaire() = default;

void CQuestionnaire::Serialize(CArchive& ar, LPCWSTR pszSurveyFolder)
{
    const CString strFolder = pszSurveyFolder ? pszSurveyFolder : L"";
    if (ar.IsStoring())
    {
        if (!m_source.empty()) ar.Write(m_source.data(), static_cast<UINT>(m_source.size()));
        CTarvexJournal::Append(L"CQuestionnaire", L"Serialize", L"store, " + strFolder, L"");
        return;
    }
    try
    {
        CTarvexScript::Decide(L"CQuestionnaire::Serialize", true); // only a scripted throw matters here
        std::vector<BYTE> text;
        BYTE buffer[4096];
        for (UINT nRead; (nRead = ar.Read(buffer, sizeof(buffer))) > 0;)
            text.insert(text.end(), buffer, buffer + nRead);
        CQuestionnaire loaded;
        std::vector<CSurveyTextReader::CScriptRecord> scripts;
        CSurveyTextReader::Read(text, loaded, scripts);
        loaded.m_source = std::move(text);
        SwapContents(loaded);
        m_quota.m_pSurvey = this;
        m_strFolder = strFolder;
        for (const auto& script : scripts)
            CTarvexScript::Set(script.m_strCall.GetString(), script.m_dResult, script.m_nFrom, script.m_bThrow);
    }
    catch (CArchiveException* pError)
    {
        CTarvexJournal::Append(L"CQuestionnaire", L"Serialize", L"load, " + strFolder,
                               L"throws " + pError->m_strFileName);
        throw;
    }
    CString strResult;
    strResult.Format(L"survey %ld, %d questions, %d screens", m_nId, GetNbreQuestion(), GetScreenCount());
    CTarvexJournal::Append(L"CQuestionnaire", L"Serialize", L"load, " + strFolder, strResult);
}

void CQuestionnaire::SwapContents(CQuestionnaire& other) noexcept
{
    std::swap(m_nId, other.m_nId);
    std::swap(m_strName, other.m_strName);
    std::swap(m_nLangue, other.m_nLangue);
    m_questions.swap(other.m_questions);
    m_screens.swap(other.m_screens);
    m_skips.swap(other.m_skips);
    m_checks.swap(other.m_checks);
    m_actions.swap(other.m_actions);
    m_resources.swap(other.m_resources);
    std::swap(m_quota, other.m_quota);
    std::swap(m_screenGroup, other.m_screenGroup);
    m_source.swap(other.m_source);
}

CQuestion* CQuestionnaire::GetQuestion(int i) const
{
    return i >= 0 && i < GetNbreQuestion() ? m_questions[static_cast<size_t>(i)].get() : nullptr;
}

int CQuestionnaire::FindQuestionById(long nId) const
{
    for (int i = 0; i < GetNbreQuestion(); ++i)
        if (m_questions[static_cast<size_t>(i)]->m_nId == nId) return i;
    return -1;
}

bool CQuestionnaire::FindQuestionById(long nId, CQuestion*& pQuestion) const
{
    pQuestion = GetQuestion(FindQuestionById(nId));
    return pQuestion != nullptr;
}

int CQuestionnaire::FindQuestionByName(const CString& strName) const
{
    for (int i = 0; i < GetNbreQuestion(); ++i)
        if (m_questions[static_cast<size_t>(i)]->m_strName == strName) return i;
    return -1;
}

CQuestion* CQuestionnaire::FindQuestionByShortcut(const CString& strShortcut) const
{
    if (strShortcut.IsEmpty()) return nullptr;
    for (const auto& pQuestion : m_questions)
        if (pQuestion->m_strShortcut.CompareNoCase(strShortcut) == 0) return pQuestion.get();
    return nullptr;
}

CMediaResource* CQuestionnaire::GetAdrResource(int i) const
{
    return i >= 0 && i < GetResourceCount() ? const_cast<CMediaResource*>(&m_resources[static_cast<size_t>(i)])
                                            : nullptr;
}

bool CQuestionnaire::FindResourceById(long nId, int& nIndex) const
{
    for (int i = 0; i < GetResourceCount(); ++i)
        if (m_resources[static_cast<size_t>(i)].m_nId == nId)
        {
            nIndex = i;
            return true;
        }
    nIndex = -1;
    return false;
}

bool CQuestionnaire::CheckResources(const std::map<long, DWORD>& resources, std::vector<long>& missing) const
{
    bool bComplete = true;
    for (const CMediaResource& resource : m_resources)
    {
        DWORD dwCrc = 0;
        const DWORD dwError = CCrcFixedTable::ComputeFileRead(resource.GetPath(m_strFolder).GetString(), dwCrc);
        const auto it = resources.find(resource.m_nId);
        if (dwError == 0 && it != resources.end() && it->second == dwCrc) continue;
        missing.push_back(resource.m_nId);
        bComplete = false;
    }
    bComplete = CTarvexScript::Decide(L"CQuestionnaire::CheckResources", bComplete);
    CString strArguments;
    strArguments.Format(L"%d entries", static_cast<int>(resources.size()));
    CTarvexJournal::Append(L"CQuestionnaire", L"CheckResources", strArguments, CTarvexJournal::FromBool(bComplete));
    return bComplete;
}

void CQuestionnaire::UpdateSemiOpenResponses(const CListe& array)
{
    int nTaken = 0;
    for (int i = 0; i < array.GetCount(); ++i)
    {
        const auto* pSemiOpen = dynamic_cast<const CSemiOpen*>(array.GetObjet(i));
        CQuestion* pQuestion = pSemiOpen ? GetQuestion(FindQuestionByName(pSemiOpen->m_strQuestion)) : nullptr;
        if (!pQuestion) continue;
        auto& semiOpens = pQuestion->m_semiOpens;
        const auto it = std::find_if(semiOpens.begin(), semiOpens.end(), [&](const CSemiOpen& s) {
            return pSemiOpen->m_nId != 0 && s.m_nId == pSemiOpen->m_nId;
        });
        if (it != semiOpens.end())
            *it = *pSemiOpen;
        else
            semiOpens.push_back(*pSemiOpen);
        ++nTaken;
    }
    CTarvexJournal::Append(L"CQuestionnaire", L"UpdateSemiOpenResponses", CTarvexJournal::FromLong(array.GetCount()),
                           CTarvexJournal::FromLong(nTaken));
}

const CFiltre* CQuestionnaire::GetFiltre(int i) const
{
    return i >= 0 && i < GetFiltreCount() ? &m_actions[static_cast<size_t>(i)] : nullptr;
}

int CQuestionnaire::GetScreenOfPosition(int nPosition) const
{
    for (int i = 0; i < GetScreenCount(); ++i)
    {
        const auto& positions = m_screens[static_cast<size_t>(i)];
        if (nPosition >= positions.front() && nPosition <= positions.back()) return i;
    }
    return -1;
}
