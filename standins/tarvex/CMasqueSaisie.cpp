#include "standins/tarvex/CMasqueSaisie.h"
#include "core/CPropertyList.h"
#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CListeTriee.h"
#include "standins/tarvex/CMasqueAjaxImpact.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CResponseBlock.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include <algorithm>
#include <atomic>

namespace
{
std::atomic<long> g_nNextSeed{1000}; // seeds of interviews without an id of their own

CString Numbers(std::initializer_list<long> values)
{
    CString str;
    for (long n : values)
        str.AppendFormat(str.IsEmpty() ? L"%ld" : L", %ld", n);
    return str;
}

CString PositionResult(bool bOk, int nPosition)
{
    CString str;
    str.Format(L"%s at %d", bOk ? L"true" : L"false", nPosition);
    return str;
}
} // namespace

CMasqueSaisie::CMasqueSaisie(CQuestionnaire* pQuestionnaire) : m_pQuestionnaire(pQuestionnaire)
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
    CTarvexJournal::Append(L"CMasqueSaisie", L"Creer", Numbers({nId, nFlags, bNew}), strResult);
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

int CMasqueSaisie::NextReachable(int nPosition) const
{
    while (nPosition < GetNbreReponse() && m_reponses[static_cast<size_t>(nPosition)].m_nEtat == kTvxStateSkipped)
        ++nPosition;
    return nPosition;
}

bool CMasqueSaisie::IntegrerFiltre(int nPosition, bool bAfter, int nMode, bool bAll, void* /*pLanguageContext*/,
                                   CMasqueAjaxImpact* pImpact)
{
    const CReponse* pReponse = GetReponse(nPosition);
    if (!pReponse)
    {
        CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltre", Numbers({nPosition, bAfter, nMode, bAll}),
                               L"false");
        return false;
    }
    const bool bAnswered = pReponse->EstTypeReponseLisible();
    const CQuestionnaire::CSkip* pApplying = nullptr;
    for (const CQuestionnaire::CSkip& skip : m_pQuestionnaire->m_skips)
    {
        if (skip.m_nQuestion != nPosition) continue;
        const bool bApplies =
            bAnswered && (skip.m_bAnyCode || std::find(pReponse->m_codes.begin(), pReponse->m_codes.end(),
                                                       skip.m_nCode) != pReponse->m_codes.end());
        if (bApplies && !pApplying) pApplying = &skip;
        // A skip that no longer applies gives its questions back to the route.
        if (!bApplies)
            for (int i = nPosition + 1; i < skip.m_nTarget; ++i)
                if (m_reponses[static_cast<size_t>(i)].m_nEtat == kTvxStateSkipped)
                    m_reponses[static_cast<size_t>(i)].m_nEtat = kTvxStateNotReached;
    }
    if (pApplying)
        for (int i = nPosition + 1; i < pApplying->m_nTarget; ++i)
        {
            m_reponses[static_cast<size_t>(i)].Clear();
            m_reponses[static_cast<size_t>(i)].m_nEtat = kTvxStateSkipped;
        }
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltre", Numbers({nPosition, bAfter, nMode, bAll}),
                           pApplying ? L"skip to " + CTarvexJournal::FromLong(pApplying->m_nTarget) : CString(L"true"));
    // The position being left validated: its actions run then, once per pass.
    if (nMode == kTvxFilterRouteAndActions) RunActions(nPosition, pImpact);
    return true;
}

int CMasqueSaisie::PassPosition(int nPosition, bool bRunActions, CMasqueAjaxImpact* pImpact, CListe* pVisited)
{
    IntegrerFiltre(nPosition, true, bRunActions ? kTvxFilterRouteAndActions : kTvxFilterRoute, false, nullptr, pImpact);
    if (pVisited && !pVisited->Contains(nPosition)) pVisited->Add(nPosition);
    return NextReachable(nPosition + 1);
}

void CMasqueSaisie::RunActions(int nPosition, CMasqueAjaxImpact* pImpact)
{
    for (int i = 0; i < m_pQuestionnaire->GetFiltreCount(); ++i)
    {
        const CFiltre& action = *m_pQuestionnaire->GetFiltre(i);
        if (action.m_nQuestion != nPosition) continue;
        switch (action.m_nKind)
        {
        case tvxActionEmail:
            IntegrerFiltreEmail(nPosition, i, pImpact);
            break;
        case tvxActionRecord:
            IntegrerStartRecording(nPosition, i, pImpact);
            break;
        case tvxActionStopRecord:
            IntegrerStopRecording(nPosition, action.m_strValue, pImpact);
            break;
        case tvxActionPredictive:
            IntegrerTriggerPredictive(nPosition, pImpact);
            break;
        case tvxActionLanguage:
            IntegrerFiltreLanguage(nPosition, i, pImpact);
            break;
        case tvxActionResult:
            m_nCallResult = static_cast<short>(_wtoi(action.m_strValue.GetString()));
            m_nSubResult =
                static_cast<short>(CPropertyList(action.m_strParameters.GetString()).GetPropertyLong(L"sub", 0));
            m_bResultSet = true;
            CTarvexJournal::Append(L"CMasqueSaisie", L"SetResult", Numbers({nPosition, m_nCallResult, m_nSubResult}),
                                   L"");
            break;
        case tvxActionIvr:
            m_strIvrNumber = action.m_strValue;
            CTarvexJournal::Append(L"CMasqueSaisie", L"SetIvrNumber", CTarvexJournal::FromLong(nPosition),
                                   m_strIvrNumber);
            break;
        default:
            break;
        }
    }
}

CEcran* CMasqueSaisie::MakeScreen(int nScreen) const
{
    auto pScreen = std::make_unique<CEcran>(nScreen);
    double dTop = 0;
    for (int nPosition : m_pQuestionnaire->GetScreenPositions(nScreen))
    {
        const CQuestion& question =
            *m_pQuestionnaire->GetQuestion(m_reponses[static_cast<size_t>(nPosition)].m_nQuestion);
        std::unique_ptr<CElement> pElement =
            question.m_bBlock ? MakeBlock(question, nPosition) : std::make_unique<CElement>();
        if (!question.m_bBlock)
            pElement->m_nType = question.EstChapitre()    ? kTvxElementText
                                : question.EstAModalite() ? kTvxElementList
                                : question.EstDate()      ? kTvxElementDate
                                                          : kTvxElementEdit;
        pElement->m_nPosition = nPosition;
        pElement->m_nQuestionId = question.m_nId;
        pElement->m_rect.m_dTop = dTop;
        pElement->m_rect.m_dWidth = kTvxElementWidth;
        pElement->m_rect.m_dHeight = kTvxElementHeight;
        pElement->m_strLibelleModel = question.m_strText;
        pElement->m_bLiveLabel = question.m_strText.Find(L'[') >= 0;
        pElement->m_strLibelle = TraduireLibelle(question.m_strText, nPosition, 0, -1, nullptr, nullptr);
        question.GetAllModalityCodes(pElement->m_items, true);
        dTop += pElement->m_rect.m_dHeight + kTvxElementGap;
        pScreen->m_elements.push_back(std::move(pElement));
    }
    return pScreen.release();
}

std::unique_ptr<CElement> CMasqueSaisie::MakeBlock(const CQuestion& question, int nPosition) const
{
    auto pBlock = std::make_unique<CResponseBlock>();
    pBlock->m_nType = kTvxElementBlock;
    CResponseBlockPane header;
    header.m_strText = TraduireLibelle(question.m_strText, nPosition, 0, -1, nullptr, nullptr);
    pBlock->m_panes.push_back(std::move(header));
    const CReponse& reponse = m_reponses[static_cast<size_t>(nPosition)];
    const short nBoxType = static_cast<short>(CResponseBlockPane::GetTypicalControlType(&question, pBlock.get()));
    int nRow = 1;
    for (const CModalite& modalite : question.m_modalites)
    {
        CResponseBlockPane caption;
        caption.m_nRow = nRow;
        caption.m_strText = modalite.m_strLibelle;
        caption.m_pElement = std::make_unique<CElement>();
        caption.m_pElement->m_nType = kTvxElementText;
        caption.m_pElement->m_strLibelle = modalite.m_strLibelle;
        CResponseBlockPane box;
        box.m_nRow = nRow++;
        box.m_nColumn = 1;
        box.m_pElement = std::make_unique<CElement>();
        box.m_pElement->m_nType = nBoxType;
        box.m_pElement->m_nPosition = nPosition;
        box.m_pElement->m_nQuestionId = question.m_nId;
        box.m_pElement->m_items = {modalite.m_nCode};
        box.m_pElement->m_bChecked =
            std::find(reponse.m_codes.begin(), reponse.m_codes.end(), modalite.m_nCode) != reponse.m_codes.end();
        pBlock->m_panes.push_back(std::move(caption));
        pBlock->m_panes.push_back(std::move(box));
    }
    pBlock->m_rect.m_dHeight = nRow * CResponseBlockPane::kRowHeight * 15.0; // twips
    return pBlock;
}

bool CMasqueSaisie::AvancerEcran(CEcran*& pScreen, CListe* pVisited, CMasqueAjaxImpact* pImpact, bool bRunActions)
{
    pScreen = nullptr;
    const int nFrom = m_nPosition;
    int nPosition = m_nPosition < 0 ? 0 : m_nPosition;
    if (m_nPosition >= 0 && nPosition < GetNbreReponse() &&
        m_pQuestionnaire->GetScreenOfPosition(nPosition) == m_nScreenShown)
    {
        const int nLast = m_pQuestionnaire->GetScreenPositions(m_nScreenShown).back();
        nPosition = NextReachable(nPosition);
        while (nPosition <= nLast && nPosition < GetNbreReponse())
            nPosition = PassPosition(nPosition, bRunActions, pImpact, pVisited);
    }
    nPosition = NextReachable(nPosition);
    bool bOk = nPosition < GetNbreReponse();
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::AvancerEcran", bOk) && nPosition < GetNbreReponse();
    if (bOk)
    {
        m_nPosition = nPosition;
        m_nScreenShown = m_pQuestionnaire->GetScreenOfPosition(nPosition);
        pScreen = MakeScreen(m_nScreenShown);
    }
    else
    {
        m_nPosition = std::min(nPosition, GetNbreReponse());
        m_nScreenShown = -1;
    }
    CString strResult = PositionResult(bOk, m_nPosition);
    if (bOk) strResult.AppendFormat(L" screen %d", m_nScreenShown);
    CTarvexJournal::Append(L"CMasqueSaisie", L"AvancerEcran", Numbers({nFrom, bRunActions}), strResult);
    return bOk;
}

bool CMasqueSaisie::PreparerEcran(CEcran* pScreen, bool bWeb, bool bLiveLabels)
{
    bool bOk = pScreen != nullptr;
    if (bOk)
        for (const auto& pElement : pScreen->m_elements)
            if (pElement->m_bLiveLabel)
                pElement->m_strLibelle =
                    TraduireLibelle(pElement->m_strLibelleModel, pElement->m_nPosition, 0, -1, nullptr, nullptr);
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::PreparerEcran", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"PreparerEcran",
                           Numbers({pScreen ? pScreen->m_nIndex : -1, bWeb, bLiveLabels}),
                           CTarvexJournal::FromBool(bOk));
    return bOk;
}

CString CMasqueSaisie::RunLiveLabels(CEcran* pScreen, CStringArray& texts, int nSavedPosition)
{
    CString strScript;
    for (int i = 0; pScreen && i < pScreen->GetNbreElement(); ++i)
    {
        CElement& element = *pScreen->GetAdrElement(i);
        if (!element.m_bLiveLabel) continue;
        const CString strCaption =
            TraduireLibelle(element.m_strLibelleModel, element.m_nPosition, 0, -1, nullptr, nullptr);
        if (strCaption == element.m_strLibelle) continue;
        element.SetLibelle(strCaption);
        texts.Add(strCaption);
        CString strQuoted = strCaption;
        strQuoted.Replace(L"\\", L"\\\\");
        strQuoted.Replace(L"\"", L"\\\"");
        strQuoted.Replace(L"\r", L"\\r");
        strQuoted.Replace(L"\n", L"\\n");
        strScript.AppendFormat(L"QuestionHandler.setLabel(%d, \"%s\");", element.m_nPosition, strQuoted.GetString());
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"RunLiveLabels", CTarvexJournal::FromLong(nSavedPosition), strScript);
    return strScript;
}

CEcran* CMasqueSaisie::CreateScreenForQuestion(int nPosition)
{
    const int nScreen = GetReponse(nPosition) ? m_pQuestionnaire->GetScreenOfPosition(nPosition) : -1;
    CEcran* pScreen = nScreen >= 0 ? MakeScreen(nScreen) : nullptr;
    CTarvexJournal::Append(L"CMasqueSaisie", L"CreateScreenForQuestion", CTarvexJournal::FromLong(nPosition),
                           CTarvexJournal::FromLong(nScreen));
    return pScreen;
}

bool CMasqueSaisie::EstEcranPourPosition(int nPosition) const
{
    const int nScreen = m_pQuestionnaire->GetScreenOfPosition(nPosition);
    return nScreen >= 0 && m_pQuestionnaire->GetScreenPositions(nScreen).front() == nPosition;
}

bool CMasqueSaisie::Reculer(int nPosition)
{
    int nAnswered = std::min(nPosition, GetNbreReponse()) - 1;
    while (nAnswered >= 0 && !m_reponses[static_cast<size_t>(nAnswered)].EstTypeReponseLisible())
        --nAnswered;
    // Not yet shown: the next AvancerEcran hands out the screen of that answer again.
    m_nPosition = nAnswered < 0
                      ? -1
                      : m_pQuestionnaire->GetScreenPositions(m_pQuestionnaire->GetScreenOfPosition(nAnswered)).front();
    m_nScreenShown = -1;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::Reculer", true);
    CTarvexJournal::Append(L"CMasqueSaisie", L"Reculer", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_nPosition));
    return bOk;
}

bool CMasqueSaisie::ReculerUpTo(int nPosition)
{
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::ReculerUpTo", GetReponse(nPosition) != nullptr);
    if (bOk && GetReponse(nPosition))
    {
        m_nPosition = nPosition;
        m_nScreenShown = m_pQuestionnaire->GetScreenOfPosition(nPosition);
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"ReculerUpTo", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_nPosition));
    return bOk;
}

bool CMasqueSaisie::Reposition(int nPosition)
{
    int nCurrent = NextReachable(m_nPosition < 0 ? 0 : m_nPosition);
    while (nCurrent < nPosition && nCurrent < GetNbreReponse())
        nCurrent = PassPosition(nCurrent, m_bLiveHooks, nullptr, nullptr);
    m_nPosition = std::min(nCurrent, GetNbreReponse());
    m_nScreenShown = -1;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::Reposition", m_nPosition < GetNbreReponse());
    CTarvexJournal::Append(L"CMasqueSaisie", L"Reposition", Numbers({nPosition, m_bLiveHooks}),
                           PositionResult(bOk, m_nPosition));
    return bOk;
}

bool CMasqueSaisie::AvancerUpTo(int nPosition, CListe* /*pVisited*/, CMasqueAjaxImpact* /*pImpact*/)
{
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::AvancerUpTo",
                                           GetReponse(nPosition) != nullptr && nPosition >= m_nPosition);
    if (bOk && GetReponse(nPosition)) m_nPosition = nPosition;
    CTarvexJournal::Append(L"CMasqueSaisie", L"AvancerUpTo", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_nPosition));
    return bOk;
}

bool CMasqueSaisie::Avancer(CListe* pVisited, CMasqueAjaxImpact* pImpact)
{
    const int nFrom = m_nPosition < 0 ? 0 : m_nPosition;
    bool bOk = nFrom < GetNbreReponse();
    if (bOk)
    {
        IntegrerFiltre(nFrom, true, kTvxFilterRoute, false, nullptr, pImpact);
        if (pVisited && !pVisited->Contains(nFrom)) pVisited->Add(nFrom);
        m_nPosition = NextReachable(nFrom + 1);
        m_nScreenShown = -1;
    }
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::Avancer", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"Avancer", CTarvexJournal::FromLong(nFrom),
                           PositionResult(bOk, m_nPosition));
    return bOk;
}

bool CMasqueSaisie::MoveBackForEntry(int nPosition)
{
    int nBack = std::min(nPosition, GetNbreReponse()) - 1;
    while (nBack >= 0 && m_reponses[static_cast<size_t>(nBack)].m_nEtat == kTvxStateSkipped)
        --nBack;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::MoveBackForEntry", nBack >= 0);
    if (bOk && nBack >= 0) m_nPosition = nBack;
    CTarvexJournal::Append(L"CMasqueSaisie", L"MoveBackForEntry", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_nPosition));
    return bOk;
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

bool CMasqueSaisie::RenameAsCompleted(int nFlags, bool bRename)
{
    m_bCompleted = true;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::RenameAsCompleted", true);
    CTarvexJournal::Append(L"CMasqueSaisie", L"RenameAsCompleted", Numbers({nFlags, bRename}),
                           CTarvexJournal::FromBool(bOk));
    return bOk;
}

void CMasqueSaisie::IntegrerFiltreLanguage(int nPosition, int nFiltre, CMasqueAjaxImpact* /*pImpact*/)
{
    if (const CFiltre* pAction = m_pQuestionnaire->GetFiltre(nFiltre))
        m_nLangue = _wtoi(pAction->m_strValue.GetString());
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltreLanguage", Numbers({nPosition, nFiltre}),
                           CTarvexJournal::FromLong(m_nLangue));
}

void CMasqueSaisie::IntegrerFiltreEmail(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact)
{
    if (pImpact) pImpact->AddSendEmail(nPosition);
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltreEmail", Numbers({nPosition, nFiltre}), L"");
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
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerStartRecording", Numbers({nPosition, nFiltre}),
                           CTarvexJournal::FromBool(bOk));
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

CString CMasqueSaisie::GetChaptersToJson(int nPosition) const
{
    CString strJson = L"[";
    for (int i = 0; i < GetNbreReponse(); ++i)
    {
        const CQuestion* pQuestion = QuestionAt(i);
        if (!pQuestion || !pQuestion->EstChapitre()) continue;
        CString strText;
        for (int c = 0; c < pQuestion->m_strText.GetLength(); ++c)
        {
            const wchar_t ch = pQuestion->m_strText[c];
            if (ch == L'"' || ch == L'\\') strText += L'\\';
            if (ch >= 0x20) strText += ch; // control characters have no place in a caption
        }
        // The current chapter is the last one at or before the position.
        int nNext = i + 1;
        while (nNext < GetNbreReponse() && !QuestionAt(nNext)->EstChapitre())
            ++nNext;
        const bool bCurrent = nPosition >= i && nPosition < nNext;
        strJson.AppendFormat(L"%s{\"position\":%d,\"text\":\"%s\",\"current\":%s}",
                             strJson.GetLength() > 1 ? L"," : L"", i, strText.GetString(),
                             bCurrent ? L"true" : L"false");
    }
    return strJson + L"]";
}
