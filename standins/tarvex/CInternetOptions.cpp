#include "standins/tarvex/CInternetOptions.h"
#include "core/CStaticTools.h"
#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CIsapiParameter.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CListeTriee.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"

namespace
{
CString FieldValue(const CMasqueSaisie& mask, int nPosition)
{
    const CReponse* pReponse = mask.GetReponse(nPosition);
    if (!pReponse || !pReponse->EstTypeReponseLisible()) return CString();
    return pReponse->m_codes.empty() ? pReponse->m_strTexte : CReponse::FormatCodes(pReponse->m_codes);
}

bool ParseCodes(const CString& strText, std::vector<long>& codes)
{
    int nStart = 0;
    while (nStart < strText.GetLength())
    {
        int nComma = strText.Find(L',', nStart);
        if (nComma < 0) nComma = strText.GetLength();
        const CString strCode = strText.Mid(nStart, nComma - nStart);
        wchar_t* pEnd = nullptr;
        const long nCode = wcstol(strCode.GetString(), &pEnd, 10);
        if (strCode.IsEmpty() || !pEnd || *pEnd != L'\0') return false;
        codes.push_back(nCode);
        nStart = nComma + 1;
    }
    return true;
}
} // namespace

bool CInternetOptions::PrepareScreen(CString& strPage, CEcran* pScreen, CScreenGroup* /*pGroup*/, const CListe* pErrors,
                                     const CString& strHeader, bool bFull, bool bPreview, CQuestionnaire* /*pSurvey*/,
                                     CMasqueSaisie* pMask)
{
    bool bOk = pScreen != nullptr && pMask != nullptr;
    if (bOk)
    {
        strPage = L"<html><body>" + strHeader;
        for (int i = 0; pErrors && i < pErrors->GetCount(); ++i)
            if (const auto* pError = dynamic_cast<const CMasqueEntryError*>(pErrors->GetObjet(i)))
                strPage += L"<p class=\"error\">" + FormatStringForXHTML(pError->m_strText, false) + L"</p>";
        for (int i = 0; i < pScreen->GetNbreElement(); ++i)
        {
            const CElement& element = *pScreen->GetAdrElement(i);
            strPage.AppendFormat(L"<p>%s</p><input name=\"Q%d\" value=\"%s\"/>",
                                 FormatStringForXHTML(element.m_strLibelle, true).GetString(), element.m_nPosition,
                                 FormatStringForXHTML(FieldValue(*pMask, element.m_nPosition), false).GetString());
        }
        strPage += L"</body></html>";
    }
    bOk = CTarvexScript::Decide(L"CInternetOptions::PrepareScreen", bOk);
    CString strArguments;
    strArguments.Format(L"%d, %d, %d", pScreen ? pScreen->m_nIndex : -1, bFull, bPreview);
    CTarvexJournal::Append(L"CInternetOptions", L"PrepareScreen", strArguments, CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CInternetOptions::ReadEntryFromWeb(const CIsapiParameter& parameters, CEcran* pScreen, CMasqueSaisie* pMask,
                                        int& nNavigation, CStringArray& /*texts*/, CListe& errors,
                                        CListeTriee& positions, CListe& visited, bool& bAnswered,
                                        CMasqueAjaxImpact* /*pImpact*/)
{
    bAnswered = false;
    const CString strNavigation = parameters.Get(L"Navigation");
    nNavigation = strNavigation.IsEmpty() ? 0 : _wtoi(strNavigation.GetString());
    for (int i = 0; pScreen && pMask && i < pScreen->GetNbreElement(); ++i)
    {
        const int nPosition = pScreen->GetAdrElement(i)->m_nPosition;
        positions.Insert(nPosition);
        CString strName, strValue;
        strName.Format(L"Q%d", nPosition);
        if (!parameters.Lookup(strName.GetString(), strValue)) continue;
        const CReponse* pReponse = pMask->GetReponse(nPosition);
        const CQuestion* pQuestion = pReponse ? pMask->GetQuestionnaire()->GetQuestion(pReponse->m_nQuestion) : nullptr;
        if (!pQuestion) continue;
        CMasqueEntryError* pError = nullptr;
        bool bStored = true;
        if (pQuestion->EstAModalite())
        {
            std::vector<long> codes;
            if (ParseCodes(strValue, codes))
                bStored = pMask->StockerReponseModalite(nPosition, false, codes, pError);
            else
            {
                pError = new CMasqueEntryError(L"Not a list of codes", 1);
                bStored = false;
            }
        }
        else if (pQuestion->EstNumeriqueLibre())
            bStored = pMask->StockerReponseNumerique(nPosition, strValue, false, pError);
        else if (pQuestion->EstOuverte())
            bStored = pMask->StockerReponseOuverte(nPosition, strValue, false, pError);
        else if (pQuestion->EstDate())
            bStored = pMask->StockerReponseDate(nPosition, strValue, false, pError);
        else
            bStored = pMask->StockerAutreReponse(nPosition, false);
        if (pError) errors.AddEngineObjet(pError);
        bAnswered = bAnswered || bStored;
        if (!visited.Contains(nPosition)) visited.Add(nPosition);
    }
    const bool bOk = CTarvexScript::Decide(L"CInternetOptions::ReadEntryFromWeb", errors.GetCount() == 0);
    CString strArguments;
    strArguments.Format(L"%d fields, %d", parameters.GetCount(), pScreen ? pScreen->m_nIndex : -1);
    CTarvexJournal::Append(L"CInternetOptions", L"ReadEntryFromWeb", strArguments, CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CInternetOptions::DisplayPreviousEntries(CEcran* pScreen, CMasqueSaisie* /*pMask*/,
                                              const CIsapiParameter& /*parameters*/)
{
    const bool bOk = CTarvexScript::Decide(L"CInternetOptions::DisplayPreviousEntries", pScreen != nullptr);
    CTarvexJournal::Append(L"CInternetOptions", L"DisplayPreviousEntries",
                           CTarvexJournal::FromLong(pScreen ? pScreen->m_nIndex : -1), CTarvexJournal::FromBool(bOk));
    return bOk;
}

CString CInternetOptions::FormatStringForXHTML(const CString& strText, bool bLineBreaks)
{
    CString strResult = CStaticTools::EncodeHtmlEntities(strText);
    if (bLineBreaks)
    {
        strResult.Replace(L"\r\n", L"<br/>");
        strResult.Replace(L"\n", L"<br/>");
    }
    return strResult;
}
