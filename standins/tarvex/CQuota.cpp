#include "standins/tarvex/CQuota.h"
#include "core/CPropertyList.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CQuotaQuestion.h"
#include "standins/tarvex/CQuotaResponseGroup.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include <algorithm>
#include <cstring>

std::vector<BYTE> CQuota::Category::ToBytes() const
{
    std::vector<BYTE> bytes(m_cells.size() * 4);
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        const int32_t nId = m_cells[i];
        memcpy(&bytes[i * 4], &nId, 4);
    }
    return bytes;
}

bool CQuota::Category::FromBytes(const BYTE* pBytes, int nLength)
{
    if (nLength < 0 || nLength % 4 != 0 || (nLength > 0 && !pBytes)) return false;
    m_cells.clear();
    for (int i = 0; i < nLength; i += 4)
    {
        int32_t nId = 0;
        memcpy(&nId, pBytes + i, 4);
        m_cells.push_back(nId);
    }
    return true;
}

CQuota::CCell* CQuota::FindCell(long nId)
{
    return const_cast<CCell*>(static_cast<const CQuota*>(this)->FindCell(nId));
}

const CQuota::CCell* CQuota::FindCell(long nId) const
{
    for (const CCell& cell : m_cells)
        if (cell.m_nId == nId) return &cell;
    return nullptr;
}

const CQuotaQuestionSet& CQuota::GetQuestionSet() const
{
    if (m_view.m_pQuestions && m_view.m_nCells == m_cells.size()) return *m_view.m_pQuestions;
    auto pQuestions = std::make_unique<CQuotaQuestionSet>();
    for (const CCell& cell : m_cells)
    {
        const CQuestion* pSurveyQuestion = m_pSurvey ? m_pSurvey->GetQuestion(cell.m_nQuestion) : nullptr;
        const long nQuestionId = pSurveyQuestion ? pSurveyQuestion->m_nId : cell.m_nQuestion;
        CQuotaQuestion* pQuestion = nullptr;
        for (const auto& pKnown : pQuestions->m_questions)
            if (pKnown->m_nQuestionId == nQuestionId) pQuestion = pKnown.get();
        if (!pQuestion)
        {
            auto pNew = std::make_unique<CQuotaQuestion>();
            pNew->m_nId = kTvxQuotaQuestionIdBase + nQuestionId;
            pNew->m_nQuestionId = nQuestionId;
            pNew->m_nType = !pSurveyQuestion                         ? 1
                            : pSurveyQuestion->EstCommeUneMultiple() ? 2
                            : pSurveyQuestion->EstNumeriqueLibre()   ? 3
                                                                     : 1;
            pNew->m_strText = pSurveyQuestion ? pSurveyQuestion->m_strName : CString();
            pQuestion = pNew.get();
            pQuestions->m_questions.push_back(std::move(pNew));
        }
        std::unique_ptr<CQuotaResponse> pResponse = cell.m_codes.size() > 1
                                                        ? std::make_unique<CQuotaResponseGroup>(*this, cell.m_nId)
                                                        : std::make_unique<CQuotaResponse>(*this, cell.m_nId);
        pResponse->m_nCode = cell.m_codes.empty() ? kTvxCodeSemiOpen : cell.m_codes.front();
        pResponse->m_dLow = cell.m_dLow;
        pResponse->m_dHigh = cell.m_dHigh;
        pResponse->m_strText = cell.m_strText;
        pQuestion->m_responses.push_back(std::move(pResponse));
    }
    m_view.m_pQuestions = std::move(pQuestions);
    m_view.m_nCells = m_cells.size();
    return *m_view.m_pQuestions;
}

CQuotaQuestion* CQuota::FindQuestion(long nId, bool /*bNested*/) const
{
    const CQuotaQuestionSet& questions = GetQuestionSet();
    for (int i = 0; i < questions.GetQuestionCount(); ++i)
        if (questions.GetQuestion(i)->m_nId == nId) return questions.GetQuestion(i);
    return nullptr;
}

CQuotaResponse* CQuota::FindResponse(long nId) const
{
    const CQuotaQuestion* pQuestion = FindQuestionForResponse(nId);
    for (int i = 0; pQuestion && i < pQuestion->GetResponseCount(); ++i)
        if (pQuestion->GetResponse(i)->m_nId == nId) return pQuestion->GetResponse(i);
    return nullptr;
}

CQuotaQuestion* CQuota::FindQuestionForResponse(long nResponseId) const
{
    const CQuotaQuestionSet& questions = GetQuestionSet();
    for (int i = 0; i < questions.GetQuestionCount(); ++i)
    {
        CQuotaQuestion* pQuestion = questions.GetQuestion(i);
        for (int r = 0; r < pQuestion->GetResponseCount(); ++r)
            if (pQuestion->GetResponse(r)->m_nId == nResponseId) return pQuestion;
    }
    return nullptr;
}

bool CQuota::GetCategoryForInterview(const CMasqueSaisie& mask, Category& category, bool bWithRunning) const
{
    category.m_cells.clear();
    for (const CCell& cell : m_cells)
    {
        const CReponse* pReponse = mask.GetReponse(cell.m_nQuestion);
        if (!pReponse || pReponse->m_nEtat == kTvxStateNotReached || pReponse->m_nEtat == kTvxStateSkipped) continue;
        bool bIn = false;
        if (!cell.m_codes.empty())
        {
            for (long nCode : pReponse->m_codes)
                bIn = bIn || std::find(cell.m_codes.begin(), cell.m_codes.end(), nCode) != cell.m_codes.end();
        }
        else
            bIn = pReponse->m_dValeur != kTvxNoValue && pReponse->m_dValeur >= cell.m_dLow &&
                  pReponse->m_dValeur <= cell.m_dHigh;
        if (bIn) category.m_cells.push_back(cell.m_nId);
    }
    const bool bOk = CTarvexScript::Decide(L"CQuota::GetCategoryForInterview", true);
    CString strArguments;
    strArguments.Format(L"mask, %s", CTarvexJournal::FromBool(bWithRunning).GetString());
    CTarvexJournal::Append(L"CQuota", L"GetCategoryForInterview", strArguments,
                           CReponse::FormatCodes(category.m_cells) + L" " + CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CQuota::GetReached(bool bReached, bool bClosed, bool bWithRunning, bool bAllCells, const Category& category,
                        std::vector<long>& ids) const
{
    ids.clear();
    for (const CCell& cell : m_cells)
    {
        const bool bInCategory =
            std::find(category.m_cells.begin(), category.m_cells.end(), cell.m_nId) != category.m_cells.end();
        if (!bAllCells && !bInCategory) continue;
        const long nCount = cell.m_nCompleted + (bWithRunning ? cell.m_nRunning : 0);
        const bool bFull = cell.m_nMaximum >= 0 && nCount >= cell.m_nMaximum;
        if ((bReached && bFull) || (bClosed && cell.m_bClosed)) ids.push_back(cell.m_nId);
    }
    const bool bAny = CTarvexScript::Decide(L"CQuota::GetReached", !ids.empty());
    CString strArguments;
    strArguments.Format(L"%d, %d, %d, %d, %s", bReached, bClosed, bWithRunning, bAllCells,
                        CReponse::FormatCodes(category.m_cells).GetString());
    CTarvexJournal::Append(L"CQuota", L"GetReached", strArguments,
                           CReponse::FormatCodes(ids) + L" " + CTarvexJournal::FromBool(bAny));
    return bAny;
}

void CQuota::GetDescriptionTokens(const std::vector<long>& ids, const CQuestionnaire& /*survey*/, int nLanguage,
                                  CStringArray& tokens) const
{
    for (long nId : ids)
    {
        const auto it = std::find_if(m_cells.begin(), m_cells.end(), [nId](const CCell& c) { return c.m_nId == nId; });
        CString strToken;
        if (it != m_cells.end() && !it->m_strText.IsEmpty())
            strToken = it->m_strText;
        else
            strToken.Format(L"Quota %ld", nId);
        tokens.Add(strToken);
    }
    CString strArguments;
    strArguments.Format(L"%s, %d", CReponse::FormatCodes(ids).GetString(), nLanguage);
    CTarvexJournal::Append(L"CQuota", L"GetDescriptionTokens", strArguments,
                           CTarvexJournal::FromLong(tokens.GetSize()));
}

bool CQuota::Update(int nUpdateType, const BYTE* pBytes, int nLength, std::vector<long>* pIds)
{
    bool bOk = nLength >= 0 && (nLength == 0 || pBytes);
    std::wstring text;
    if (bOk && nLength > 0)
    {
        const int nChars =
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<LPCSTR>(pBytes), nLength, nullptr, 0);
        bOk = nChars > 0;
        if (bOk) text = WidenText(reinterpret_cast<const char*>(pBytes), nLength, CP_UTF8);
    }
    if (bOk)
    {
        size_t nStart = 0;
        while (nStart < text.size())
        {
            size_t nEnd = text.find(L'\n', nStart);
            if (nEnd == std::wstring::npos) nEnd = text.size();
            std::wstring lineText = text.substr(nStart, nEnd - nStart);
            if (!lineText.empty() && lineText.back() == L'\r') lineText.pop_back();
            const CPropertyList line(lineText.c_str());
            nStart = nEnd + 1;
            long nId = 0;
            if (!line.GetProperty(L"cell", nId)) continue;
            CCell* pCell = FindCell(nId);
            if (!pCell) continue; // a cell this survey does not have: the server knows more than we do
            line.GetProperty(L"completed", pCell->m_nCompleted);
            line.GetProperty(L"running", pCell->m_nRunning);
            line.GetProperty(L"max", pCell->m_nMaximum);
            line.GetProperty(L"closed", pCell->m_bClosed);
            if (pCell->m_nRunning < 0) pCell->m_nRunning = 0;
            if (pIds) pIds->push_back(nId);
        }
    }
    bOk = CTarvexScript::Decide(L"CQuota::Update", bOk);
    CString strArguments;
    strArguments.Format(L"%d, %d bytes", nUpdateType, nLength);
    CTarvexJournal::Append(L"CQuota", L"Update", strArguments, CTarvexJournal::FromBool(bOk));
    return bOk;
}

void CQuota::RemoveRunningInterview(const Category& category)
{
    for (long nId : category.m_cells)
        if (CCell* pCell = FindCell(nId); pCell && pCell->m_nRunning > 0) --pCell->m_nRunning;
    CTarvexJournal::Append(L"CQuota", L"RemoveRunningInterview", CReponse::FormatCodes(category.m_cells), L"");
}

long CQuota::GetToDoCountMinimum(bool bWithRunning) const
{
    long nToDo = 0;
    for (const CCell& cell : m_cells)
        if (cell.m_nMaximum >= 0)
            nToDo += std::max(0L, cell.m_nMaximum - cell.m_nCompleted - (bWithRunning ? cell.m_nRunning : 0));
    return nToDo;
}
