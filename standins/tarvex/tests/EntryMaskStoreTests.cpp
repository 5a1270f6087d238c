#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include <functional>
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CListeTriee.h"
#include <memory>

namespace
{
// The demo survey with a multiple question MEDIA (position 5), a ranked RANK (6) and checks.
const char* const kStoreExtra = "Q id = \"6\" name = \"MEDIA\" kind = \"multiple\" max = \"2\" dontknow = \"1\"\n"
                                "M question = \"MEDIA\" code = \"1\" text = \"Radio\"\n"
                                "M question = \"MEDIA\" code = \"2\" text = \"Press\"\n"
                                "M question = \"MEDIA\" code = \"3\" text = \"Web\"\n"
                                "M question = \"MEDIA\" code = \"9\" text = \"None\" exclusive = \"1\"\n"
                                "Q id = \"7\" name = \"RANK\" kind = \"ordered\" max = \"3\"\n"
                                "M question = \"RANK\" code = \"4\" text = \"Red\"\n"
                                "M question = \"RANK\" code = \"5\" text = \"Green\"\n"
                                "M question = \"RANK\" code = \"6\" text = \"Blue\"\n"
                                "CHECK question = \"AGE\" level = \"0\" text = \"Rather old, sure?\" above = \"90\"\n"
                                "CHECK question = \"SEX\" level = \"1\" text = \"Say it\" code = \"-1\"\n";

class EntryMaskStoreTest : public TarvexTest
{
protected:
    void SetUp() override
    {
        TarvexTest::SetUp();
        LoadSurvey(m_survey, DemoSurveyText(kStoreExtra));
        m_pMask = std::make_unique<CMasqueSaisie>(&m_survey);
        ASSERT_TRUE(m_pMask->Creer(0, 0, true));
    }
    void TearDown() override
    {
        m_pMask.reset();
        TarvexTest::TearDown();
    }
    CQuestionnaire m_survey;
    std::unique_ptr<CMasqueSaisie> m_pMask;
};

using StoreCall = std::function<bool(CMasqueSaisie&, CMasqueEntryError*&)>;
struct StoreCase
{
    StoreCall store;
    int nPosition;
    const wchar_t* pszError; // nullptr: stored
    short nState;            // the state afterwards
    const char* pszWhy;
};

StoreCall Codes(int nPosition, std::vector<long> codes)
{
    return [=](CMasqueSaisie& m, CMasqueEntryError*& e) { return m.StockerReponseModalite(nPosition, true, codes, e); };
}
StoreCall Number(LPCWSTR psz)
{
    return [=](CMasqueSaisie& m, CMasqueEntryError*& e) { return m.StockerReponseNumerique(2, psz, true, e); };
}
StoreCall Date(LPCWSTR psz)
{
    return [=](CMasqueSaisie& m, CMasqueEntryError*& e) { return m.StockerReponseDate(4, psz, true, e); };
}

const StoreCase kStores[] = {
    {Codes(1, {1}), 1, nullptr, 4, "a known code"},
    {Codes(1, {-1}), 1, nullptr, 4, "don't know where the question allows it"},
    {Codes(1, {7}), 1, L"Unknown response code 7", 0, "unknown code"},
    {Codes(1, {1, 2}), 1, L"Too many responses (at most 1)", 0, "two codes to a single question"},
    {Codes(5, {1, 3}), 5, nullptr, 4, "two codes to a multiple question"},
    {Codes(5, {1, 2, 3}), 5, L"Too many responses (at most 2)", 0, "more than the maximum"},
    {Codes(5, {1, 9}), 5, L"Response 'None' is exclusive", 0, "an exclusive code with another"},
    {Codes(5, {-1, 2}), 5, L"Response 'Don't know' is exclusive", 0, "don't know with another"},
    {Codes(5, {}), 5, nullptr, 0, "no codes clear the answer"},
    {Number(L"18"), 2, nullptr, 4, "the minimum"},
    {Number(L"99"), 2, nullptr, 4, "the maximum"},
    {Number(L"17"), 2, L"The value must lie between 18 and 99", 0, "below the minimum"},
    {Number(L"100"), 2, L"The value must lie between 18 and 99", 0, "above the maximum"},
    {Number(L"3x"), 2, L"Not a number", 0, "not a number"},
    {Date(L"2024-05-01"), 4, nullptr, 4, "a date"},
    {Date(L"the 32nd"), 4, L"Invalid date", 0, "an unparsable date"},
    {[](CMasqueSaisie& m, CMasqueEntryError*& e) { return m.StockerReponseOuverte(1, L"text", true, e); }, 1,
     L"Wrong kind of answer for this question", 0, "text to a closed question"},
    {[](CMasqueSaisie& m, CMasqueEntryError*& e) { return m.StockerReponseModalite(42, true, {1}, e); }, 1,
     L"No question at this position", 0, "a position outside the survey"},
};
} // namespace

TEST_F(EntryMaskStoreTest, StoresOrRefusesWithAnErrorTheCallerOwns)
{
    for (const StoreCase& c : kStores)
    {
        SCOPED_TRACE(c.pszWhy);
        ASSERT_TRUE(m_pMask->Creer(0, 0, true)); // every case starts from empty answers
        CMasqueEntryError* pError = nullptr;
        const bool bStored = c.store(*m_pMask, pError);
        std::unique_ptr<CMasqueEntryError> error(pError);
        EXPECT_EQ(bStored, c.pszError == nullptr);
        if (c.pszError)
        {
            ASSERT_NE(pError, nullptr);
            EXPECT_EQ(std::wstring(pError->m_strText.GetString()), c.pszError);
            EXPECT_TRUE(pError->IsBlocking());
        }
        else
            EXPECT_EQ(pError, nullptr);
        EXPECT_EQ(m_pMask->GetReponse(c.nPosition)->m_nEtat, c.nState);
    }
}

TEST_F(EntryMaskStoreTest, StateFollowsStoreClearAndScript)
{
    CMasqueEntryError* pError = nullptr;
    EXPECT_EQ(m_pMask->GetReponse(1)->m_nEtat, kTvxStateNotReached);
    ASSERT_TRUE(m_pMask->StockerReponseModalite(1, false, {2}, pError));
    EXPECT_EQ(m_pMask->GetReponse(1)->m_nEtat, kTvxStateAnswered);
    ASSERT_FALSE(m_pMask->StockerReponseModalite(1, false, {5}, pError));
    delete pError;
    EXPECT_EQ(m_pMask->GetReponse(1)->GetReponseAModalite(), (std::vector<long>{2}))
        << "a refused store keeps the answer";
    ASSERT_TRUE(m_pMask->StockerReponseModalite(1, false, {}, pError));
    EXPECT_EQ(m_pMask->GetReponse(1)->m_nEtat, kTvxStateNotReached);
    ASSERT_TRUE(m_pMask->SetValueFromScript(2, L"44"));
    EXPECT_EQ(m_pMask->GetReponse(2)->m_nEtat, kTvxStateSetByAction);
    EXPECT_EQ(m_pMask->GetReponse(2)->m_dValeur, 44.0);
    ASSERT_TRUE(m_pMask->StockerAutreReponse(0, false));
    EXPECT_EQ(m_pMask->GetReponse(0)->m_nEtat, kTvxStateAnswered);
}

TEST_F(EntryMaskStoreTest, ValidityChecksGiveTheirLevel)
{
    CMasqueEntryError* pError = nullptr;
    ASSERT_TRUE(m_pMask->StockerReponseNumerique(2, L"95", false, pError));
    EXPECT_FALSE(m_pMask->IsValidityFilterOK(2, 2, pError));
    ASSERT_NE(pError, nullptr);
    EXPECT_EQ(std::wstring(pError->m_strText.GetString()), L"Rather old, sure?");
    EXPECT_EQ(pError->m_nLevel, kTvxLevelWarning);
    EXPECT_FALSE(pError->IsBlocking());
    delete pError;

    ASSERT_TRUE(m_pMask->StockerReponseNumerique(2, L"90", false, pError));
    EXPECT_TRUE(m_pMask->IsValidityFilterOK(2, 2, pError));
    EXPECT_EQ(pError, nullptr);

    ASSERT_TRUE(m_pMask->StockerReponseModalite(1, false, {-1}, pError));
    EXPECT_FALSE(m_pMask->IsValidityFilterOK(1, 2, pError));
    ASSERT_NE(pError, nullptr);
    EXPECT_EQ(pError->m_nLevel, kTvxLevelError);
    delete pError;
}

TEST_F(EntryMaskStoreTest, TraduireLibelleShowsTheAnswers)
{
    CMasqueEntryError* pError = nullptr;
    struct Case
    {
        LPCWSTR pszText;
        LPCWSTR pszExpected;
    };
    const Case kBefore[] = {
        {L"Hello [SEX]!", L"Hello !"}, {L"[NOPE] stays", L"[NOPE] stays"}, {L"no [ end", L"no [ end"}};
    for (const Case& c : kBefore)
        EXPECT_EQ(std::wstring(m_pMask->TraduireLibelle(c.pszText, 0, 0, -1, nullptr, nullptr).GetString()),
                  c.pszExpected);
    ASSERT_TRUE(m_pMask->StockerReponseModalite(1, false, {2}, pError));
    ASSERT_TRUE(m_pMask->StockerReponseNumerique(2, L"42.5", false, pError));
    ASSERT_TRUE(m_pMask->StockerReponseModalite(5, false, {1, 3}, pError));
    ASSERT_TRUE(m_pMask->StockerReponseDate(4, L"2024-05-01", false, pError));
    const Case kAfter[] = {
        {L"Hello [SEX]!", L"Hello Woman!"},
        {L"[AGE] years", L"42.5 years"},
        {L"[MEDIA]", L"Radio, Web"},
        {L"On [VISIT]", L"On 01/05/2024"},
    };
    for (const Case& c : kAfter)
        EXPECT_EQ(std::wstring(m_pMask->TraduireLibelle(c.pszText, 3, 0, -1, nullptr, nullptr).GetString()),
                  c.pszExpected);
}

TEST_F(EntryMaskStoreTest, RanksBecomeCodesInRankOrder)
{
    struct Case
    {
        std::vector<LPCWSTR> texts;
        std::vector<long> codes;
        LPCWSTR pszError;
    };
    const Case kCases[] = {
        {{L"2", L"", L"1"}, {6, 4}, nullptr},
        {{L"", L"", L""}, {}, nullptr},
        {{L"1", L"1", L""}, {}, L"Rank 2 is missing or given twice"},
        {{L"1", L"3", L""}, {}, L"Rank 2 is missing or given twice"},
        {{L"x", L"", L""}, {}, L"Rank 'x' is not valid"},
        {{L"0", L"", L""}, {}, L"Rank '0' is not valid"},
    };
    for (const Case& c : kCases)
    {
        CStringArray texts;
        for (LPCWSTR psz : c.texts)
            texts.Add(psz);
        std::vector<long> codes;
        CMasqueEntryError* pError = nullptr;
        const bool bOk = m_pMask->EstReponseRangOk(6, texts, codes, true, pError);
        std::unique_ptr<CMasqueEntryError> error(pError);
        EXPECT_EQ(bOk, c.pszError == nullptr);
        if (bOk)
        {
            EXPECT_EQ(codes, c.codes);
        }
        else
        {
            ASSERT_NE(pError, nullptr);
            EXPECT_EQ(std::wstring(pError->m_strText.GetString()), c.pszError);
        }
    }
}

TEST_F(EntryMaskStoreTest, ResponsesByNameAndErrorMessages)
{
    std::vector<long> codes;
    CMasqueEntryError* pError = nullptr;
    EXPECT_TRUE(m_pMask->IsResponseByNameOK(1, L" woman ", codes, pError));
    EXPECT_EQ(codes, (std::vector<long>{2}));
    EXPECT_TRUE(m_pMask->IsResponseByNameOK(1, L"", codes, pError));
    EXPECT_TRUE(codes.empty());
    EXPECT_FALSE(m_pMask->IsResponseByNameOK(1, L"Robot", codes, pError));
    ASSERT_NE(pError, nullptr);
    EXPECT_EQ(std::wstring(pError->m_strText.GetString()), L"Unknown response 'Robot'");
    delete pError;
    EXPECT_EQ(std::wstring(m_pMask->WriteErrorMessage(2, 2).GetString()), L"Please answer AGE");
}

TEST_F(EntryMaskStoreTest, SemiOpenAnswersOfTheInterview)
{
    const CQuestion* pSex = m_survey.GetQuestion(1);
    EXPECT_EQ(m_pMask->AddSemiOpen(pSex, L"Other"), 1);
    EXPECT_EQ(m_pMask->AddSemiOpen(m_survey.GetQuestion(5), L"Cinema"), 2);
    EXPECT_EQ(m_pMask->AddSemiOpen(pSex, L""), 0) << "an empty answer is not added";
    CListe array;
    m_pMask->GetQuestionSemiOpens(pSex, array);
    ASSERT_EQ(array.GetCount(), 1);
    const auto* pModalite = dynamic_cast<const CModalite*>(array.GetObjet(0));
    ASSERT_NE(pModalite, nullptr);
    EXPECT_EQ(pModalite->m_nCode, 1);
    EXPECT_EQ(std::wstring(pModalite->m_strLibelle.GetString()), L"Other");
    CObjet::DetruireTableau(array);
}

TEST_F(EntryMaskStoreTest, DurationsAreSharedAmongTheScreensPositions)
{
    CListeTriee positions;
    positions.Insert(2);
    positions.Insert(1);
    m_pMask->AllocateDuration(positions, 7);
    EXPECT_EQ(m_pMask->GetReponse(1)->m_nDuree, 4);
    EXPECT_EQ(m_pMask->GetReponse(2)->m_nDuree, 3);
    m_pMask->AllocateDuration(positions, 1);
    EXPECT_EQ(m_pMask->GetReponse(1)->m_nDuree, 5);
    EXPECT_EQ(m_pMask->GetReponse(2)->m_nDuree, 3);
}
