#include "standins/tarvex/CMasqueAnswers.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include <algorithm>
#include <cwchar>

namespace
{
bool Refuse(CMasqueEntryError*& pError, int nPosition, const CString& strText, int nLevel = kTvxLevelError)
{
    pError = new CMasqueEntryError(strText, nLevel);
    pError->m_nPosition = nPosition;
    return false;
}
} // namespace

CMasqueAnswers::CMasqueAnswers(CMasqueSaisie& mask) : m_mask(mask) {}

bool CMasqueAnswers::CheckKind(int nPosition, bool (CQuestion::*pfnIs)() const, CMasqueEntryError*& pError) const
{
    const CQuestion* pQuestion = m_mask.QuestionAt(nPosition);
    if (!pQuestion) return Refuse(pError, nPosition, L"No question at this position");
    if (!(pQuestion->*pfnIs)()) return Refuse(pError, nPosition, L"Wrong kind of answer for this question");
    return true;
}

bool CMasqueAnswers::CheckClosed(int nPosition, const std::vector<long>& codes, CMasqueEntryError*& pError) const
{
    if (!CheckKind(nPosition, &CQuestion::EstAModalite, pError)) return false;
    const CQuestion& question = *m_mask.QuestionAt(nPosition);
    CString strText;
    for (size_t i = 0; i < codes.size(); ++i)
    {
        const long nCode = codes[i];
        const bool bKnown = question.FindModaliteById(nCode) || (nCode == kTvxCodeDontKnow && question.m_bDontKnow) ||
                            (nCode <= kTvxCodeSemiOpen && question.m_bOther);
        if (!bKnown)
        {
            strText.Format(L"Unknown response code %ld", nCode);
            return Refuse(pError, nPosition, strText);
        }
        if (std::count(codes.begin(), codes.end(), nCode) > 1)
        {
            strText.Format(L"Response %ld given twice", nCode);
            return Refuse(pError, nPosition, strText);
        }
    }
    if (codes.size() > static_cast<size_t>(question.m_nMaxAnswers))
    {
        strText.Format(L"Too many responses (at most %d)", question.m_nMaxAnswers);
        return Refuse(pError, nPosition, strText);
    }
    if (codes.size() > 1)
        for (long nCode : codes)
        {
            const CModalite* pModalite = question.FindModaliteById(nCode);
            if (nCode == kTvxCodeDontKnow || (pModalite && pModalite->m_bExclusive))
            {
                strText.Format(L"Response '%s' is exclusive",
                               pModalite ? pModalite->m_strLibelle.GetString() : L"Don't know");
                return Refuse(pError, nPosition, strText);
            }
        }
    return true;
}

bool CMasqueAnswers::CheckNumber(int nPosition, const CString& strText, double& dValue,
                                 CMasqueEntryError*& pError) const
{
    if (!CheckKind(nPosition, &CQuestion::EstNumeriqueLibre, pError)) return false;
    dValue = kTvxNoValue;
    if (strText.IsEmpty()) return true;
    const CQuestion& question = *m_mask.QuestionAt(nPosition);
    wchar_t* pEnd = nullptr;
    dValue = wcstod(strText.GetString(), &pEnd);
    if (!pEnd || *pEnd != L'\0' || iswspace(strText[0])) return Refuse(pError, nPosition, L"Not a number");
    const bool bLow = question.m_dMin != kTvxNoValue && dValue < question.m_dMin;
    const bool bHigh = question.m_dMax != kTvxNoValue && dValue > question.m_dMax;
    if (bLow || bHigh)
    {
        CString strError;
        strError.Format(L"The value must lie between %g and %g", question.m_dMin, question.m_dMax);
        return Refuse(pError, nPosition, strError);
    }
    return true;
}

bool CMasqueAnswers::CheckDate(int nPosition, const CString& strText, double& dValue, CMasqueEntryError*& pError) const
{
    if (!CheckKind(nPosition, &CQuestion::EstDate, pError)) return false;
    dValue = kTvxNoValue;
    if (strText.IsEmpty()) return true;
    COleDateTime date;
    if (!date.ParseDateTime(strText.GetString(), 0, LANG_USER_DEFAULT) || date.GetStatus() != COleDateTime::valid)
        return Refuse(pError, nPosition, L"Invalid date");
    dValue = static_cast<DATE>(date);
    return true;
}

bool CMasqueAnswers::ScriptedCheck(LPCWSTR pszCall, int nPosition, bool bOk, CMasqueEntryError*& pError) const
{
    const bool bScripted = CTarvexScript::Decide(pszCall, bOk);
    if (bOk && !bScripted) Refuse(pError, nPosition, L"Refused by the test script");
    if (!bOk && bScripted)
    {
        delete pError; // a scripted pass hands out no error
        pError = nullptr;
    }
    return bScripted;
}

bool CMasqueAnswers::FinishStore(LPCWSTR pszMember, int nPosition, const CString& strArguments, bool bOk,
                                 CMasqueEntryError*& pError)
{
    CString strCall = L"CMasqueSaisie::";
    strCall += pszMember;
    const bool bScripted = CTarvexScript::Decide(strCall.GetString(), bOk);
    if (bOk && !bScripted) Refuse(pError, nPosition, L"Refused by the test script");
    CString strArgs;
    strArgs.Format(L"%d, %s", nPosition, strArguments.GetString());
    CTarvexJournal::Append(L"CMasqueSaisie", pszMember, strArgs,
                           bScripted ? CString(L"true") : L"false: " + (pError ? pError->m_strText : CString()));
    return bScripted;
}

bool CMasqueAnswers::StockerReponseModalite(int nPosition, bool /*bMessages*/, const std::vector<long>& codes,
                                            CMasqueEntryError*& pError)
{
    pError = nullptr;
    const bool bOk = CheckClosed(nPosition, codes, pError);
    if (bOk)
    {
        CReponse& reponse = *m_mask.GetAdrReponse(nPosition);
        reponse.Clear();
        reponse.m_codes = codes;
        reponse.m_nEtat = codes.empty() ? kTvxStateNotReached : kTvxStateAnswered;
        m_mask.m_bModified = true;
    }
    return FinishStore(L"StockerReponseModalite", nPosition, CReponse::FormatCodes(codes), bOk, pError);
}

bool CMasqueAnswers::StockerReponseNumerique(int nPosition, const CString& strText, bool /*bMessages*/,
                                             CMasqueEntryError*& pError)
{
    pError = nullptr;
    double dValue = kTvxNoValue;
    const bool bOk = CheckNumber(nPosition, strText, dValue, pError);
    return StoreText(L"StockerReponseNumerique", nPosition, strText, dValue, bOk, pError);
}

bool CMasqueAnswers::StockerReponseOuverte(int nPosition, const CString& strText, bool /*bMessages*/,
                                           CMasqueEntryError*& pError)
{
    pError = nullptr;
    const bool bOk = CheckKind(nPosition, &CQuestion::EstOuverte, pError);
    return StoreText(L"StockerReponseOuverte", nPosition, strText, kTvxNoValue, bOk, pError);
}

bool CMasqueAnswers::StockerReponseDate(int nPosition, const CString& strText, bool /*bMessages*/,
                                        CMasqueEntryError*& pError)
{
    pError = nullptr;
    double dValue = kTvxNoValue;
    const bool bOk = CheckDate(nPosition, strText, dValue, pError);
    return StoreText(L"StockerReponseDate", nPosition, strText, dValue, bOk, pError);
}

bool CMasqueAnswers::StoreText(LPCWSTR pszMember, int nPosition, const CString& strText, double dValue, bool bOk,
                               CMasqueEntryError*& pError)
{
    if (bOk)
    {
        CReponse& reponse = *m_mask.GetAdrReponse(nPosition);
        reponse.Clear();
        reponse.m_dValeur = dValue;
        reponse.m_strTexte = strText;
        reponse.m_nEtat = strText.IsEmpty() ? kTvxStateNotReached : kTvxStateAnswered;
        m_mask.m_bModified = true;
    }
    return FinishStore(pszMember, nPosition, strText, bOk, pError);
}

bool CMasqueAnswers::StockerAutreReponse(int nPosition, bool /*bMessages*/)
{
    CReponse* pReponse = m_mask.GetAdrReponse(nPosition);
    bool bOk = pReponse && pReponse->m_nEtat != kTvxStateSkipped;
    if (bOk) pReponse->m_nEtat = kTvxStateAnswered; // a chapter is answered by being seen
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::StockerAutreReponse", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"StockerAutreReponse", CTarvexJournal::FromLong(nPosition),
                           CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CMasqueAnswers::EstReponseModaliteOk(int nPosition, const std::vector<long>& codes, bool /*bValidate*/,
                                          CMasqueEntryError*& pError) const
{
    pError = nullptr;
    return ScriptedCheck(L"CMasqueSaisie::EstReponseModaliteOk", nPosition, CheckClosed(nPosition, codes, pError),
                         pError);
}

bool CMasqueAnswers::EstReponseNumeriqueOk(int nPosition, const CString& strText, bool /*bValidate*/,
                                           CMasqueEntryError*& pError) const
{
    pError = nullptr;
    double dValue = 0;
    return ScriptedCheck(L"CMasqueSaisie::EstReponseNumeriqueOk", nPosition,
                         CheckNumber(nPosition, strText, dValue, pError), pError);
}

bool CMasqueAnswers::EstReponseOuverteOk(int nPosition, const CString& /*strText*/, bool /*bValidate*/,
                                         CMasqueEntryError*& pError) const
{
    pError = nullptr;
    return ScriptedCheck(L"CMasqueSaisie::EstReponseOuverteOk", nPosition,
                         CheckKind(nPosition, &CQuestion::EstOuverte, pError), pError);
}

bool CMasqueAnswers::EstReponseDateOk(int nPosition, const CString& strText, bool /*bValidate*/,
                                      CMasqueEntryError*& pError) const
{
    pError = nullptr;
    double dValue = 0;
    return ScriptedCheck(L"CMasqueSaisie::EstReponseDateOk", nPosition, CheckDate(nPosition, strText, dValue, pError),
                         pError);
}

bool CMasqueAnswers::IsValidityFilterOK(int nPosition, int nMode, CMasqueEntryError*& pError) const
{
    pError = nullptr;
    const CReponse* pReponse = m_mask.GetReponse(nPosition);
    bool bOk = pReponse != nullptr;
    if (!bOk) Refuse(pError, nPosition, L"No question at this position");
    for (const CQuestionnaire::CCheck& check : m_mask.m_pQuestionnaire->m_checks)
    {
        if (!bOk) break;
        if (check.m_nQuestion != nPosition || !pReponse->EstTypeReponseLisible()) continue;
        const bool bCode = check.m_bHasCode && std::find(pReponse->m_codes.begin(), pReponse->m_codes.end(),
                                                         check.m_nCode) != pReponse->m_codes.end();
        const bool bHasValue = pReponse->m_dValeur != kTvxNoValue;
        const bool bBelow = check.m_dBelow != kTvxNoValue && bHasValue && pReponse->m_dValeur < check.m_dBelow;
        const bool bAbove = check.m_dAbove != kTvxNoValue && bHasValue && pReponse->m_dValeur > check.m_dAbove;
        if (bCode || bBelow || bAbove) bOk = Refuse(pError, nPosition, check.m_strText, check.m_nLevel);
    }
    const bool bScripted = CTarvexScript::Decide(L"CMasqueSaisie::IsValidityFilterOK", bOk);
    if (bOk && !bScripted) Refuse(pError, nPosition, L"Refused by the test script");
    CString strArguments;
    strArguments.Format(L"%d, %d", nPosition, nMode);
    CTarvexJournal::Append(L"CMasqueSaisie", L"IsValidityFilterOK", strArguments,
                           bScripted ? CString(L"true") : L"false: " + pError->m_strText);
    return bScripted;
}

bool CMasqueAnswers::SetValueFromScript(int nPosition, const CString& strValue)
{
    CReponse* pReponse = m_mask.GetAdrReponse(nPosition);
    const CQuestion* pQuestion = m_mask.QuestionAt(nPosition);
    bool bOk = pReponse && pQuestion && !pQuestion->EstChapitre();
    if (bOk)
    {
        CMasqueEntryError* pError = nullptr;
        double dValue = kTvxNoValue;
        if (pQuestion->EstAModalite())
        {
            std::vector<long> codes{_wtol(strValue.GetString())};
            bOk = CheckClosed(nPosition, codes, pError);
            if (bOk) pReponse->m_codes = codes;
        }
        else if (pQuestion->EstNumeriqueLibre())
            bOk = CheckNumber(nPosition, strValue, dValue, pError);
        else if (pQuestion->EstDate())
            bOk = CheckDate(nPosition, strValue, dValue, pError);
        delete pError;
        if (bOk)
        {
            if (!pQuestion->EstAModalite()) pReponse->m_codes.clear();
            pReponse->m_dValeur = dValue;
            pReponse->m_strTexte = pQuestion->EstAModalite() ? CString() : strValue;
            pReponse->m_nEtat = kTvxStateSetByAction;
        }
    }
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::SetValueFromScript", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"SetValueFromScript",
                           CTarvexJournal::FromLong(nPosition) + L", " + strValue, CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CMasqueAnswers::EstReponseRangOk(int nPosition, const CStringArray& texts, std::vector<long>& codes,
                                      bool /*bValidate*/, CMasqueEntryError*& pError) const
{
    pError = nullptr;
    const bool bOk = [&]() -> bool {
        codes.clear();
        if (!CheckKind(nPosition, &CQuestion::EstAModalite, pError)) return false;
        std::vector<long> questionCodes;
        m_mask.QuestionAt(nPosition)->DonnerCodeModalites(questionCodes, true);
        std::vector<std::pair<long, long>> ranked; // rank, code
        CString strError;
        for (INT_PTR i = 0; i < texts.GetSize() && static_cast<size_t>(i) < questionCodes.size(); ++i)
        {
            CString strRank = texts[i];
            strRank.Trim();
            if (strRank.IsEmpty()) continue;
            wchar_t* pEnd = nullptr;
            const long nRank = wcstol(strRank.GetString(), &pEnd, 10);
            if (!pEnd || *pEnd != L'\0' || nRank < 1)
            {
                strError.Format(L"Rank '%s' is not valid", strRank.GetString());
                return Refuse(pError, nPosition, strError);
            }
            ranked.emplace_back(nRank, questionCodes[static_cast<size_t>(i)]);
        }
        std::sort(ranked.begin(), ranked.end());
        for (size_t i = 0; i < ranked.size(); ++i)
        {
            if (ranked[i].first != static_cast<long>(i) + 1)
            {
                strError.Format(L"Rank %ld is missing or given twice", static_cast<long>(i) + 1);
                return Refuse(pError, nPosition, strError);
            }
            codes.push_back(ranked[i].second);
        }
        return CheckClosed(nPosition, codes, pError);
    }();
    return ScriptedCheck(L"CMasqueSaisie::EstReponseRangOk", nPosition, bOk, pError);
}

bool CMasqueAnswers::IsResponseByNameOK(int nPosition, const CString& strText, std::vector<long>& codes,
                                        CMasqueEntryError*& pError) const
{
    pError = nullptr;
    const bool bOk = [&]() -> bool {
        codes.clear();
        if (!CheckKind(nPosition, &CQuestion::EstAModalite, pError)) return false;
        CString strName = strText;
        strName.Trim();
        if (strName.IsEmpty()) return true;
        for (const CModalite& modalite : m_mask.QuestionAt(nPosition)->m_modalites)
            if (modalite.m_strLibelle.CompareNoCase(strName) == 0)
            {
                codes.push_back(modalite.m_nCode);
                return true;
            }
        CString strError;
        strError.Format(L"Unknown response '%s'", strName.GetString());
        return Refuse(pError, nPosition, strError);
    }();
    return ScriptedCheck(L"CMasqueSaisie::IsResponseByNameOK", nPosition, bOk, pError);
}

CString CMasqueAnswers::WriteErrorMessage(int nMessage, int nPosition) const
{
    const CQuestion* pQuestion = m_mask.QuestionAt(nPosition);
    const CString strName = pQuestion ? pQuestion->m_strName : CString(L"?");
    CString strText;
    switch (nMessage)
    {
    case 1:
        strText.Format(L"The answer to %s is not valid", strName.GetString());
        break;
    case 2:
        strText.Format(L"Please answer %s", strName.GetString());
        break;
    default:
        strText.Format(L"Error %d at %s", nMessage, strName.GetString());
        break;
    }
    return strText;
}
