// CMasqueSaisie: the interview's answers and data, its start, the texts that quote answers, and the
// hooks the actions call. Moving along the route, the screens, the answers' checks and the saved
// interview are the work of its helpers.
#include "standins/tarvex/CMasqueSaisie.h"
#include "core/CPropertyList.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CListeTriee.h"
#include "standins/tarvex/CMasqueAjaxImpact.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include <algorithm>
#include <atomic>

namespace
{
std::atomic<long> g_nNextSeed{1000}; // seeds of interviews without an id of their own

CString FormatNumber(double dValue)
{
    CString str;
    str.Format(L"%g", dValue);
    return str;
}
} // namespace

CMasqueSaisie::CMasqueSaisie(CQuestionnaire* pQuestionnaire)
    : m_pQuestionnaire(pQuestionnaire), m_navigation(*this), m_screens(*this), m_answers(*this), m_file(*this)
{
    CTarvexJournal::CountCreated(L"CMasqueSaisie");
}

CMasqueSaisie::~CMasqueSaisie()
{
    CTarvexJournal::CountDeleted(L"CMasqueSaisie");
}

bool CMasqueSaisie::Creer(long nId, int nFlags, bool bNew)
{
    bool bOk = m_pQuestionnaire && m_pQuestionnaire->GetNbreQuestion() > 0;
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::Creer", bOk);
    if (bOk)
    {
        m_reponses.assign(static_cast<size_t>(m_pQuestionnaire->GetNbreQuestion()), CReponse());
        for (int i = 0; i < GetNbreReponse(); ++i)
            m_reponses[static_cast<size_t>(i)].m_nQuestion = i;
        m_nSeed = nId > 0 ? nId : g_nNextSeed++;
        // A second Creer starts the interview again: nothing of the first one stays.
        m_recordings.clear();
        m_semiOpens.clear();
        m_quotaCategory.clear();
        m_nCallResult = 0;
        m_nSubResult = 0;
        m_bResultSet = false;
        m_bCompleted = false;
        m_strIvrNumber.Empty();
        m_nPosition = -1;
        m_nScreenShown = -1;
        m_nLangue = m_pQuestionnaire->m_nLangue;
    }
    CString strResult = L"false";
    if (bOk) strResult.Format(L"true seed %ld", m_nSeed);
    CTarvexJournal::Append(L"CMasqueSaisie", L"Creer", CTarvexJournal::FromNumbers({nId, nFlags, bNew}), strResult);
    return bOk;
}

const CQuestion* CMasqueSaisie::QuestionAt(int nPosition) const
{
    const CReponse* pReponse = GetReponse(nPosition);
    return pReponse && m_pQuestionnaire ? m_pQuestionnaire->GetQuestion(pReponse->m_nQuestion) : nullptr;
}

CReponse* CMasqueSaisie::GetAdrReponse(int nPosition)
{
    return nPosition >= 0 && nPosition < GetNbreReponse() ? &m_reponses[static_cast<size_t>(nPosition)] : nullptr;
}

const CReponse* CMasqueSaisie::GetReponse(int nPosition) const
{
    return nPosition >= 0 && nPosition < GetNbreReponse() ? &m_reponses[static_cast<size_t>(nPosition)] : nullptr;
}

int CMasqueSaisie::TrouverCodeQuestion(long nQuestionId, int /*nMode*/, int /*nLoop*/) const
{
    const int nPosition = m_pQuestionnaire ? m_pQuestionnaire->FindQuestionById(nQuestionId) : -1; // one per question
    return static_cast<int>(CTarvexScript::DecideNumber(L"CMasqueSaisie::TrouverCodeQuestion", nPosition));
}

std::vector<long> CMasqueSaisie::GetClosedResponse(int nPosition) const
{
    const CReponse* pReponse = GetReponse(nPosition);
    return pReponse ? pReponse->m_codes : std::vector<long>();
}

CString CMasqueSaisie::GetReponseQuestionAsString(const CString& strQuestionName) const
{
    return FormatAnswer(m_pQuestionnaire->FindQuestionByName(strQuestionName));
}

void CMasqueSaisie::SetQuota(const CQuota* pQuota)
{
    m_pQuota = pQuota ? std::make_unique<CQuota>(*pQuota) : nullptr;
    CTarvexJournal::Append(L"CMasqueSaisie", L"SetQuota", pQuota ? L"quota" : L"none", L"");
}

void CMasqueSaisie::SetQuotaCategory(const BYTE* pBytes, int nLength)
{
    m_quotaCategory.assign(pBytes, pBytes + (pBytes && nLength > 0 ? nLength : 0));
    CTarvexJournal::Append(L"CMasqueSaisie", L"SetQuotaCategory", CTarvexJournal::FromLong(nLength), L"");
}

void CMasqueSaisie::SetEndTime(const COleDateTime& timeUtc, long nUtcOffset)
{
    m_endTime = timeUtc;
    m_nUtcOffset = nUtcOffset;
}

void CMasqueSaisie::SetPanelData(const CPropertyList& fields)
{
    CStringArray names, values;
    fields.GetNamesAndValues(names, values);
    m_panel.clear();
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
        m_panel.emplace_back(names[i], values[i]);
    CTarvexJournal::Append(L"CMasqueSaisie", L"SetPanelData",
                           CTarvexJournal::FromLong(static_cast<long>(m_panel.size())), L"");
}

void CMasqueSaisie::GetPanelData(CPropertyList& fields) const
{
    for (const auto& [name, value] : m_panel)
        fields.SetProperty(name.GetString(), value);
}

void CMasqueSaisie::StartKeyInSession(int nMode)
{
    m_pKeyIn = std::make_unique<CKeyInSession>();
    m_pKeyIn->m_nMode = nMode;
    CTarvexJournal::Append(L"CMasqueSaisie", L"StartKeyInSession", CTarvexJournal::FromLong(nMode), L"");
}

void CMasqueSaisie::IntegrerFiltreLanguage(int nPosition, int nFiltre, CMasqueAjaxImpact* /*pImpact*/)
{
    if (const CFiltre* pAction = m_pQuestionnaire->GetFiltre(nFiltre))
        m_nLangue = _wtoi(pAction->m_strValue.GetString());
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltreLanguage",
                           CTarvexJournal::FromNumbers({nPosition, nFiltre}), CTarvexJournal::FromLong(m_nLangue));
}

void CMasqueSaisie::IntegrerFiltreEmail(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact)
{
    if (pImpact) pImpact->AddSendEmail(nPosition);
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltreEmail", CTarvexJournal::FromNumbers({nPosition, nFiltre}),
                           L"");
}

void CMasqueSaisie::IntegrerTriggerPredictive(int nPosition, CMasqueAjaxImpact* pImpact)
{
    if (pImpact) pImpact->AddStartPredictive(nPosition);
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerTriggerPredictive", CTarvexJournal::FromLong(nPosition), L"");
}

bool CMasqueSaisie::IntegrerStartRecording(int nPosition, int nFiltre, CMasqueAjaxImpact* /*pImpact*/)
{
    const CFiltre* pAction = m_pQuestionnaire->GetFiltre(nFiltre);
    bool bOk = pAction && !pAction->m_strValue.IsEmpty() &&
               std::find(m_recordings.begin(), m_recordings.end(), pAction->m_strValue) == m_recordings.end();
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::IntegrerStartRecording", bOk);
    if (bOk && pAction) m_recordings.push_back(pAction->m_strValue);
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerStartRecording",
                           CTarvexJournal::FromNumbers({nPosition, nFiltre}), CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CMasqueSaisie::IntegrerStopRecording(int nPosition, const CString& strName, CMasqueAjaxImpact* /*pImpact*/)
{
    const auto it = std::find(m_recordings.begin(), m_recordings.end(), strName);
    bool bOk = it != m_recordings.end();
    if (bOk) m_recordings.erase(it);
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::IntegrerStopRecording", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerStopRecording",
                           CTarvexJournal::FromLong(nPosition) + L", " + strName, CTarvexJournal::FromBool(bOk));
    return bOk;
}

long CMasqueSaisie::AddSemiOpen(const CQuestion* pQuestion, const CString& strText)
{
    const int nQuestion = pQuestion ? m_pQuestionnaire->FindQuestionById(pQuestion->m_nId) : -1;
    long nId = 0;
    if (nQuestion >= 0 && !strText.IsEmpty())
    {
        nId = 1;
        for (const CGivenSemiOpen& given : m_semiOpens)
            nId = std::max(nId, given.m_nId + 1);
    }
    // A scripted 0 refuses the answer; a scripted id is the one the answer gets.
    nId = static_cast<long>(CTarvexScript::DecideNumber(L"CMasqueSaisie::AddSemiOpen", nId));
    if (nId > 0 && nQuestion >= 0)
    {
        m_semiOpens.push_back({nQuestion, nId, strText});
        m_bModified = true;
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"AddSemiOpen", CTarvexJournal::FromLong(nQuestion) + L", " + strText,
                           CTarvexJournal::FromLong(nId));
    return nId;
}

void CMasqueSaisie::GetQuestionSemiOpens(const CQuestion* pQuestion, CListe& array) const
{
    const int nQuestion = pQuestion ? m_pQuestionnaire->FindQuestionById(pQuestion->m_nId) : -1;
    for (const CGivenSemiOpen& given : m_semiOpens)
    {
        if (given.m_nQuestion != nQuestion) continue;
        auto* pModalite = new CModalite;
        pModalite->m_nCode = given.m_nId;
        pModalite->m_strLibelle = given.m_strText;
        pModalite->m_nQuestion = nQuestion;
        array.AddEngineObjet(pModalite);
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"GetQuestionSemiOpens", CTarvexJournal::FromLong(nQuestion),
                           CTarvexJournal::FromLong(array.GetCount()));
}

void CMasqueSaisie::IntegrerLiaison(int /*nPosition*/, const long* /*pIds*/, bool* pFlags, int nCount) const
{
    for (int i = 0; pFlags && i < nCount; ++i)
        pFlags[i] = false;
}

bool CMasqueSaisie::DoODBCImport(int nPosition)
{
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::DoODBCImport", true);
    CTarvexJournal::Append(L"CMasqueSaisie", L"DoODBCImport", CTarvexJournal::FromLong(nPosition),
                           CTarvexJournal::FromBool(bOk));
    return bOk;
}

int CMasqueSaisie::EvaluateScreenGroup(int nGroup, void* /*pContext*/)
{
    const int nNext = static_cast<int>(CTarvexScript::DecideNumber(L"CMasqueSaisie::EvaluateScreenGroup", 0));
    CTarvexJournal::Append(L"CMasqueSaisie", L"EvaluateScreenGroup", CTarvexJournal::FromLong(nGroup),
                           CTarvexJournal::FromLong(nNext));
    return nNext;
}

void CMasqueSaisie::AllocateDuration(const CListeTriee& positions, long nSeconds)
{
    const int nCount = positions.GetCount();
    for (int i = 0; i < nCount && nSeconds > 0; ++i)
        if (CReponse* pReponse = GetAdrReponse(static_cast<int>(positions.GetAt(i))))
            pReponse->m_nDuree += nSeconds / nCount + (i < nSeconds % nCount ? 1 : 0);
    CString strArguments;
    strArguments.Format(L"%d positions, %ld", nCount, nSeconds);
    CTarvexJournal::Append(L"CMasqueSaisie", L"AllocateDuration", strArguments, L"");
}

CString CMasqueSaisie::FormatAnswer(int nPosition) const
{
    const CReponse* pReponse = GetReponse(nPosition);
    const CQuestion* pQuestion = QuestionAt(nPosition);
    if (!pReponse || !pQuestion || !pReponse->EstTypeReponseLisible()) return CString();
    if (pQuestion->EstAModalite())
    {
        CString strText;
        for (long nCode : pReponse->m_codes)
        {
            const CModalite* pModalite = pQuestion->FindModaliteById(nCode);
            if (!strText.IsEmpty()) strText += L", ";
            strText +=
                pModalite ? pModalite->m_strLibelle : (nCode == kTvxCodeDontKnow ? CString(L"Don't know") : CString());
        }
        return strText;
    }
    if (pQuestion->EstNumeriqueLibre()) return FormatNumber(pReponse->m_dValeur);
    if (pQuestion->EstDate()) return pQuestion->FormatDateTime(pReponse->m_dValeur, m_nLangue);
    return pReponse->m_strTexte;
}

CString CMasqueSaisie::TraduireLibelle(const CString& strText, int nPosition, int nFlags, int nLoop,
                                       CPropertyList* /*pFields*/, void* /*pPageState*/) const
{
    CString strResult;
    int nStart = 0;
    while (nStart < strText.GetLength())
    {
        const int nOpen = strText.Find(L'[', nStart);
        const int nClose = nOpen < 0 ? -1 : strText.Find(L']', nOpen + 1);
        if (nClose < 0)
        {
            strResult += strText.Mid(nStart);
            break;
        }
        strResult += strText.Mid(nStart, nOpen - nStart);
        const CString strName = strText.Mid(nOpen + 1, nClose - nOpen - 1);
        const int nQuestion = m_pQuestionnaire->FindQuestionByName(strName);
        strResult += nQuestion >= 0 ? FormatAnswer(nQuestion) : strText.Mid(nOpen, nClose - nOpen + 1);
        nStart = nClose + 1;
    }
    CString strArguments;
    strArguments.Format(L"%s, %d, %d, %d", strText.GetString(), nPosition, nFlags, nLoop);
    CTarvexJournal::Append(L"CMasqueSaisie", L"TraduireLibelle", strArguments, strResult);
    return strResult;
}
