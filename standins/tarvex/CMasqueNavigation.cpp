#include "standins/tarvex/CMasqueNavigation.h"
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

namespace
{
CString PositionResult(bool bOk, int nPosition)
{
    CString str;
    str.Format(L"%s at %d", bOk ? L"true" : L"false", nPosition);
    return str;
}
} // namespace

CMasqueNavigation::CMasqueNavigation(CMasqueSaisie& mask) : m_mask(mask) {}

int CMasqueNavigation::NextReachable(int nPosition) const
{
    while (nPosition < m_mask.GetNbreReponse() &&
           m_mask.m_reponses[static_cast<size_t>(nPosition)].m_nEtat == kTvxStateSkipped)
        ++nPosition;
    return nPosition;
}

bool CMasqueNavigation::IntegrerFiltre(int nPosition, bool bAfter, int nMode, bool bAll, void* /*pLanguageContext*/,
                                       CMasqueAjaxImpact* pImpact)
{
    const CReponse* pReponse = m_mask.GetReponse(nPosition);
    if (!pReponse)
    {
        CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltre",
                               CTarvexJournal::FromNumbers({nPosition, bAfter, nMode, bAll}), L"false");
        return false;
    }
    const bool bAnswered = pReponse->EstTypeReponseLisible();
    const CQuestionnaire::CSkip* pApplying = nullptr;
    for (const CQuestionnaire::CSkip& skip : m_mask.m_pQuestionnaire->m_skips)
    {
        if (skip.m_nQuestion != nPosition) continue;
        const bool bApplies =
            bAnswered && (skip.m_bAnyCode || std::find(pReponse->m_codes.begin(), pReponse->m_codes.end(),
                                                       skip.m_nCode) != pReponse->m_codes.end());
        if (bApplies && !pApplying) pApplying = &skip;
        // A skip that no longer applies gives its questions back to the route.
        if (!bApplies)
            for (int i = nPosition + 1; i < skip.m_nTarget; ++i)
                if (m_mask.m_reponses[static_cast<size_t>(i)].m_nEtat == kTvxStateSkipped)
                    m_mask.m_reponses[static_cast<size_t>(i)].m_nEtat = kTvxStateNotReached;
    }
    if (pApplying)
        for (int i = nPosition + 1; i < pApplying->m_nTarget; ++i)
        {
            m_mask.m_reponses[static_cast<size_t>(i)].Clear();
            m_mask.m_reponses[static_cast<size_t>(i)].m_nEtat = kTvxStateSkipped;
        }
    CTarvexJournal::Append(L"CMasqueSaisie", L"IntegrerFiltre",
                           CTarvexJournal::FromNumbers({nPosition, bAfter, nMode, bAll}),
                           pApplying ? L"skip to " + CTarvexJournal::FromLong(pApplying->m_nTarget) : CString(L"true"));
    // The position being left validated: its actions run then, once per pass.
    if (nMode == kTvxFilterRouteAndActions) RunActions(nPosition, pImpact);
    return true;
}

int CMasqueNavigation::PassPosition(int nPosition, bool bRunActions, CMasqueAjaxImpact* pImpact, CListe* pVisited)
{
    IntegrerFiltre(nPosition, true, bRunActions ? kTvxFilterRouteAndActions : kTvxFilterRoute, false, nullptr, pImpact);
    if (pVisited && !pVisited->Contains(nPosition)) pVisited->Add(nPosition);
    return NextReachable(nPosition + 1);
}

void CMasqueNavigation::RunActions(int nPosition, CMasqueAjaxImpact* pImpact)
{
    for (int i = 0; i < m_mask.m_pQuestionnaire->GetFiltreCount(); ++i)
    {
        const CFiltre& action = *m_mask.m_pQuestionnaire->GetFiltre(i);
        if (action.m_nQuestion != nPosition) continue;
        switch (action.m_nKind)
        {
        case tvxActionEmail:
            m_mask.IntegrerFiltreEmail(nPosition, i, pImpact);
            break;
        case tvxActionRecord:
            m_mask.IntegrerStartRecording(nPosition, i, pImpact);
            break;
        case tvxActionStopRecord:
            m_mask.IntegrerStopRecording(nPosition, action.m_strValue, pImpact);
            break;
        case tvxActionPredictive:
            m_mask.IntegrerTriggerPredictive(nPosition, pImpact);
            break;
        case tvxActionLanguage:
            m_mask.IntegrerFiltreLanguage(nPosition, i, pImpact);
            break;
        case tvxActionResult:
            m_mask.m_nCallResult = static_cast<short>(_wtoi(action.m_strValue.GetString()));
            m_mask.m_nSubResult =
                static_cast<short>(CPropertyList(action.m_strParameters.GetString()).GetPropertyLong(L"sub", 0));
            m_mask.m_bResultSet = true;
            CTarvexJournal::Append(L"CMasqueSaisie", L"SetResult",
                                   CTarvexJournal::FromNumbers({nPosition, m_mask.m_nCallResult, m_mask.m_nSubResult}),
                                   L"");
            break;
        case tvxActionIvr:
            m_mask.m_strIvrNumber = action.m_strValue;
            CTarvexJournal::Append(L"CMasqueSaisie", L"SetIvrNumber", CTarvexJournal::FromLong(nPosition),
                                   m_mask.m_strIvrNumber);
            break;
        default:
            break;
        }
    }
}

bool CMasqueNavigation::AvancerEcran(CEcran*& pScreen, CListe* pVisited, CMasqueAjaxImpact* pImpact, bool bRunActions)
{
    pScreen = nullptr;
    const int nFrom = m_mask.m_nPosition;
    int nPosition = m_mask.m_nPosition < 0 ? 0 : m_mask.m_nPosition;
    if (m_mask.m_nPosition >= 0 && nPosition < m_mask.GetNbreReponse() &&
        m_mask.m_pQuestionnaire->GetScreenOfPosition(nPosition) == m_mask.m_nScreenShown)
    {
        const int nLast = m_mask.m_pQuestionnaire->GetScreenPositions(m_mask.m_nScreenShown).back();
        nPosition = NextReachable(nPosition);
        while (nPosition <= nLast && nPosition < m_mask.GetNbreReponse())
            nPosition = PassPosition(nPosition, bRunActions, pImpact, pVisited);
    }
    nPosition = NextReachable(nPosition);
    bool bOk = nPosition < m_mask.GetNbreReponse();
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::AvancerEcran", bOk) && nPosition < m_mask.GetNbreReponse();
    if (bOk)
    {
        m_mask.m_nPosition = nPosition;
        m_mask.m_nScreenShown = m_mask.m_pQuestionnaire->GetScreenOfPosition(nPosition);
        pScreen = m_mask.m_screens.MakeScreen(m_mask.m_nScreenShown);
    }
    else
    {
        m_mask.m_nPosition = std::min(nPosition, m_mask.GetNbreReponse());
        m_mask.m_nScreenShown = -1;
    }
    CString strResult = PositionResult(bOk, m_mask.m_nPosition);
    if (bOk) strResult.AppendFormat(L" screen %d", m_mask.m_nScreenShown);
    CTarvexJournal::Append(L"CMasqueSaisie", L"AvancerEcran", CTarvexJournal::FromNumbers({nFrom, bRunActions}),
                           strResult);
    return bOk;
}

bool CMasqueNavigation::Reculer(int nPosition)
{
    int nAnswered = std::min(nPosition, m_mask.GetNbreReponse()) - 1;
    while (nAnswered >= 0 && !m_mask.m_reponses[static_cast<size_t>(nAnswered)].EstTypeReponseLisible())
        --nAnswered;
    // Not yet shown: the next AvancerEcran hands out the screen of that answer again.
    m_mask.m_nPosition =
        nAnswered < 0
            ? -1
            : m_mask.m_pQuestionnaire->GetScreenPositions(m_mask.m_pQuestionnaire->GetScreenOfPosition(nAnswered))
                  .front();
    m_mask.m_nScreenShown = -1;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::Reculer", true);
    CTarvexJournal::Append(L"CMasqueSaisie", L"Reculer", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_mask.m_nPosition));
    return bOk;
}

bool CMasqueNavigation::ReculerUpTo(int nPosition)
{
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::ReculerUpTo", m_mask.GetReponse(nPosition) != nullptr);
    if (bOk && m_mask.GetReponse(nPosition))
    {
        m_mask.m_nPosition = nPosition;
        m_mask.m_nScreenShown = m_mask.m_pQuestionnaire->GetScreenOfPosition(nPosition);
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"ReculerUpTo", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_mask.m_nPosition));
    return bOk;
}

bool CMasqueNavigation::Reposition(int nPosition)
{
    int nCurrent = NextReachable(m_mask.m_nPosition < 0 ? 0 : m_mask.m_nPosition);
    while (nCurrent < nPosition && nCurrent < m_mask.GetNbreReponse())
        nCurrent = PassPosition(nCurrent, m_mask.m_bLiveHooks, nullptr, nullptr);
    m_mask.m_nPosition = std::min(nCurrent, m_mask.GetNbreReponse());
    m_mask.m_nScreenShown = -1;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::Reposition", m_mask.m_nPosition < m_mask.GetNbreReponse());
    CTarvexJournal::Append(L"CMasqueSaisie", L"Reposition",
                           CTarvexJournal::FromNumbers({nPosition, m_mask.m_bLiveHooks}),
                           PositionResult(bOk, m_mask.m_nPosition));
    return bOk;
}

bool CMasqueNavigation::AvancerUpTo(int nPosition, CListe* /*pVisited*/, CMasqueAjaxImpact* /*pImpact*/)
{
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::AvancerUpTo",
                                           m_mask.GetReponse(nPosition) != nullptr && nPosition >= m_mask.m_nPosition);
    if (bOk && m_mask.GetReponse(nPosition)) m_mask.m_nPosition = nPosition;
    CTarvexJournal::Append(L"CMasqueSaisie", L"AvancerUpTo", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_mask.m_nPosition));
    return bOk;
}

bool CMasqueNavigation::Avancer(CListe* pVisited, CMasqueAjaxImpact* pImpact)
{
    const int nFrom = m_mask.m_nPosition < 0 ? 0 : m_mask.m_nPosition;
    bool bOk = nFrom < m_mask.GetNbreReponse();
    if (bOk)
    {
        IntegrerFiltre(nFrom, true, kTvxFilterRoute, false, nullptr, pImpact);
        if (pVisited && !pVisited->Contains(nFrom)) pVisited->Add(nFrom);
        m_mask.m_nPosition = NextReachable(nFrom + 1);
        m_mask.m_nScreenShown = -1;
    }
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::Avancer", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"Avancer", CTarvexJournal::FromLong(nFrom),
                           PositionResult(bOk, m_mask.m_nPosition));
    return bOk;
}

bool CMasqueNavigation::MoveBackForEntry(int nPosition)
{
    int nBack = std::min(nPosition, m_mask.GetNbreReponse()) - 1;
    while (nBack >= 0 && m_mask.m_reponses[static_cast<size_t>(nBack)].m_nEtat == kTvxStateSkipped)
        --nBack;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::MoveBackForEntry", nBack >= 0);
    if (bOk && nBack >= 0) m_mask.m_nPosition = nBack;
    CTarvexJournal::Append(L"CMasqueSaisie", L"MoveBackForEntry", CTarvexJournal::FromLong(nPosition),
                           PositionResult(bOk, m_mask.m_nPosition));
    return bOk;
}
