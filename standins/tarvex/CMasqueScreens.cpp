#include "standins/tarvex/CMasqueScreens.h"
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

CMasqueScreens::CMasqueScreens(CMasqueSaisie& mask) : m_mask(mask) {}

CEcran* CMasqueScreens::MakeScreen(int nScreen) const
{
    auto pScreen = std::make_unique<CEcran>(nScreen);
    double dTop = 0;
    for (int nPosition : m_mask.m_pQuestionnaire->GetScreenPositions(nScreen))
    {
        const CQuestion& question =
            *m_mask.m_pQuestionnaire->GetQuestion(m_mask.m_reponses[static_cast<size_t>(nPosition)].m_nQuestion);
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
        pElement->m_strLibelle = m_mask.TraduireLibelle(question.m_strText, nPosition, 0, -1, nullptr, nullptr);
        question.GetAllModalityCodes(pElement->m_items, true);
        dTop += pElement->m_rect.m_dHeight + kTvxElementGap;
        pScreen->m_elements.push_back(std::move(pElement));
    }
    return pScreen.release();
}

std::unique_ptr<CElement> CMasqueScreens::MakeBlock(const CQuestion& question, int nPosition) const
{
    auto pBlock = std::make_unique<CResponseBlock>();
    pBlock->m_nType = kTvxElementBlock;
    CResponseBlockPane header;
    header.m_strText = m_mask.TraduireLibelle(question.m_strText, nPosition, 0, -1, nullptr, nullptr);
    pBlock->m_panes.push_back(std::move(header));
    const CReponse& reponse = m_mask.m_reponses[static_cast<size_t>(nPosition)];
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

bool CMasqueScreens::PreparerEcran(CEcran* pScreen, bool bWeb, bool bLiveLabels)
{
    bool bOk = pScreen != nullptr;
    if (bOk)
        for (const auto& pElement : pScreen->m_elements)
            if (pElement->m_bLiveLabel)
                pElement->m_strLibelle =
                    m_mask.TraduireLibelle(pElement->m_strLibelleModel, pElement->m_nPosition, 0, -1, nullptr, nullptr);
    bOk = CTarvexScript::Decide(L"CMasqueSaisie::PreparerEcran", bOk);
    CTarvexJournal::Append(L"CMasqueSaisie", L"PreparerEcran",
                           CTarvexJournal::FromNumbers({pScreen ? pScreen->m_nIndex : -1, bWeb, bLiveLabels}),
                           CTarvexJournal::FromBool(bOk));
    return bOk;
}

CString CMasqueScreens::RunLiveLabels(CEcran* pScreen, CStringArray& texts, int nSavedPosition)
{
    CString strScript;
    for (int i = 0; pScreen && i < pScreen->GetNbreElement(); ++i)
    {
        CElement& element = *pScreen->GetAdrElement(i);
        if (!element.m_bLiveLabel) continue;
        const CString strCaption =
            m_mask.TraduireLibelle(element.m_strLibelleModel, element.m_nPosition, 0, -1, nullptr, nullptr);
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

CEcran* CMasqueScreens::CreateScreenForQuestion(int nPosition)
{
    const int nScreen = m_mask.GetReponse(nPosition) ? m_mask.m_pQuestionnaire->GetScreenOfPosition(nPosition) : -1;
    CEcran* pScreen = nScreen >= 0 ? MakeScreen(nScreen) : nullptr;
    CTarvexJournal::Append(L"CMasqueSaisie", L"CreateScreenForQuestion", CTarvexJournal::FromLong(nPosition),
                           CTarvexJournal::FromLong(nScreen));
    return pScreen;
}

bool CMasqueScreens::EstEcranPourPosition(int nPosition) const
{
    const int nScreen = m_mask.m_pQuestionnaire->GetScreenOfPosition(nPosition);
    return nScreen >= 0 && m_mask.m_pQuestionnaire->GetScreenPositions(nScreen).front() == nPosition;
}

CString CMasqueScreens::GetChaptersToJson(int nPosition) const
{
    CString strJson = L"[";
    for (int i = 0; i < m_mask.GetNbreReponse(); ++i)
    {
        const CQuestion* pQuestion = m_mask.QuestionAt(i);
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
        while (nNext < m_mask.GetNbreReponse() && !m_mask.QuestionAt(nNext)->EstChapitre())
            ++nNext;
        const bool bCurrent = nPosition >= i && nPosition < nNext;
        strJson.AppendFormat(L"%s{\"position\":%d,\"text\":\"%s\",\"current\":%s}",
                             strJson.GetLength() > 1 ? L"," : L"", i, strText.GetString(),
                             bCurrent ? L"true" : L"false");
    }
    return strJson + L"]";
}
