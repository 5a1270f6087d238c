#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CMasqueAjaxImpact.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CQuotaQuestion.h"
#include "standins/tarvex/CQuotaResponseGroup.h"
#include <climits>
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include "framework/CStringConversion.h"
#include <memory>

namespace
{
// Records every hook the engine calls, then lets the engine do its own part.
class CRecordingMask : public CMasqueSaisie
{
public:
    using CMasqueSaisie::CMasqueSaisie;
    void IntegrerFiltreLanguage(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact) override
    {
        m_hooks.push_back("language");
        CMasqueSaisie::IntegrerFiltreLanguage(nPosition, nFiltre, pImpact);
    }
    void IntegrerFiltreEmail(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact) override
    {
        m_hooks.push_back("email " +
                          std::string(CW2A(GetQuestionnaire()->GetFiltre(nFiltre)->m_strParameters.GetString())));
        CMasqueSaisie::IntegrerFiltreEmail(nPosition, nFiltre, pImpact);
    }
    void IntegrerTriggerPredictive(int nPosition, CMasqueAjaxImpact* pImpact) override
    {
        m_hooks.push_back("predictive");
        CMasqueSaisie::IntegrerTriggerPredictive(nPosition, pImpact);
    }
    bool IntegrerStartRecording(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact) override
    {
        m_hooks.push_back("record");
        return CMasqueSaisie::IntegrerStartRecording(nPosition, nFiltre, pImpact);
    }
    bool IntegrerStopRecording(int nPosition, const CString& strName, CMasqueAjaxImpact* pImpact) override
    {
        m_hooks.push_back("stoprecord " + std::string(CW2A(strName.GetString())));
        return CMasqueSaisie::IntegrerStopRecording(nPosition, strName, pImpact);
    }
    std::vector<std::string> m_hooks;
};

const char* const kActions =
    "ACTION question = \"AGE\" kind = \"email\" parameters = \"To = \\\"a@b\\\"\"\n"
    "ACTION question = \"SEX\" kind = \"record\" value = \"Q12\"\n"
    "ACTION question = \"AGE\" kind = \"language\" value = \"2\"\n"
    "ACTION question = \"AGE\" kind = \"predictive\"\n"
    "ACTION question = \"AGE\" kind = \"stoprecord\" value = \"Q12\"\n"
    "ACTION question = \"AGE\" kind = \"result\" value = \"17\" parameters = \"sub = \\\"2\\\"\"\n"
    "ACTION question = \"AGE\" kind = \"ivr\" value = \"555\"\n";

class ActionsTest : public TarvexTest
{
protected:
    void SetUp() override
    {
        TarvexTest::SetUp();
        LoadSurvey(m_survey, DemoSurveyText(kActions));
    }
    // The first two screens, the second answered.
    void Answer(CRecordingMask& mask)
    {
        ASSERT_TRUE(mask.Creer(0, 0, true));
        CMasqueEntryError* pError = nullptr;
        ASSERT_TRUE(mask.StockerReponseModalite(1, false, {1}, pError));
        ASSERT_TRUE(mask.StockerReponseNumerique(2, L"40", false, pError));
    }
    bool Next(CRecordingMask& mask, bool bRunActions, CMasqueAjaxImpact* pImpact = nullptr)
    {
        CEcran* pScreen = nullptr;
        const bool bOk = mask.AvancerEcran(pScreen, nullptr, pImpact, bRunActions);
        delete pScreen;
        return bOk;
    }
    CQuestionnaire m_survey;
};

const std::vector<std::string> kAllHooks = {"record", "email To = \"a@b\"", "language", "predictive", "stoprecord Q12"};
} // namespace

TEST_F(ActionsTest, ActionsCallTheHooksInFileOrderOfTheirQuestions)
{
    CRecordingMask mask(&m_survey);
    Answer(mask);
    ASSERT_TRUE(Next(mask, true));
    ASSERT_TRUE(Next(mask, true));
    CMasqueAjaxImpact impact;
    ASSERT_TRUE(Next(mask, true, &impact)); // leaves SEX and AGE: SEX's action first, then AGE's in file order
    EXPECT_EQ(mask.m_hooks, kAllHooks);
    EXPECT_EQ(mask.m_nLangue, 2);
    EXPECT_TRUE(mask.m_recordings.empty()) << "started and stopped again";
    EXPECT_TRUE(mask.m_bResultSet);
    EXPECT_EQ(mask.m_nCallResult, 17);
    EXPECT_EQ(mask.m_nSubResult, 2);
    EXPECT_EQ(std::wstring(mask.m_strIvrNumber.GetString()), L"555");
    EXPECT_EQ(impact.GetCalls(), (std::vector<CString>{L"email@2", L"predictive@2"}));
}

TEST_F(ActionsTest, NoActionsWithoutRunActions)
{
    CRecordingMask mask(&m_survey);
    Answer(mask);
    ASSERT_TRUE(Next(mask, false));
    ASSERT_TRUE(Next(mask, false));
    ASSERT_TRUE(Next(mask, false));
    EXPECT_TRUE(mask.m_hooks.empty());
    EXPECT_FALSE(mask.m_bResultSet);
}

TEST_F(ActionsTest, RepositionRunsActionsOnlyWithLiveHooks)
{
    for (const bool bLive : {false, true})
    {
        SCOPED_TRACE(bLive ? "live hooks" : "hooks off");
        CRecordingMask mask(&m_survey);
        Answer(mask);
        mask.m_bLiveHooks = bLive;
        ASSERT_TRUE(mask.Reposition(3));
        EXPECT_EQ(mask.m_nPosition, 3);
        EXPECT_EQ(mask.m_hooks, bLive ? kAllHooks : std::vector<std::string>());
        CEcran* pScreen = nullptr;
        ASSERT_TRUE(mask.AvancerEcran(pScreen, nullptr, nullptr, true));
        std::unique_ptr<CEcran> screen(pScreen);
        EXPECT_EQ(screen->m_nIndex, 2) << "the screen of the position";
    }
}

namespace
{
const char* const kQuota =
    "QUOTA mode = \"1\"\n"
    "CELL id = \"10\" question = \"SEX\" codes = \"1\" max = \"5\" completed = \"4\" running = \"1\" text = \"Men\"\n"
    "CELL id = \"11\" question = \"SEX\" codes = \"2\" max = \"5\" completed = \"1\"\n"
    "CELL id = \"12\" question = \"AGE\" low = \"18\" high = \"30\" completed = \"100\"\n"
    "CELL id = \"13\" question = \"AGE\" low = \"31\" high = \"99\" max = \"10\" closed = \"1\"\n";

class QuotaTest : public TarvexTest
{
protected:
    void SetUp() override
    {
        TarvexTest::SetUp();
        LoadSurvey(m_survey, DemoSurveyText(kQuota));
    }
    CQuota::Category CategoryOf(long nSex, LPCWSTR pszAge)
    {
        CMasqueSaisie mask(&m_survey);
        EXPECT_TRUE(mask.Creer(0, 0, true));
        CMasqueEntryError* pError = nullptr;
        EXPECT_TRUE(mask.StockerReponseModalite(1, false, {nSex}, pError));
        EXPECT_TRUE(mask.StockerReponseNumerique(2, pszAge, false, pError));
        mask.SetQuota(&m_survey.GetQuotaDefinition());
        CQuota::Category category;
        EXPECT_TRUE(mask.GetQuota()->GetCategoryForInterview(mask, category, false));
        return category;
    }
    CQuestionnaire m_survey;
};

struct ReachedCase
{
    long nSex;
    LPCWSTR pszAge;
    bool bReached, bClosed, bRunning, bAll;
    std::vector<long> category;
    std::vector<long> reached;
    const char* pszWhy;
};
const ReachedCase kReached[] = {
    {1, L"25", true, true, true, false, {10, 12}, {10}, "completed + running reach the maximum"},
    {1, L"25", true, true, false, false, {10, 12}, {}, "without the running interviews it is not reached"},
    {2, L"25", true, true, true, false, {11, 12}, {}, "a cell without maximum is never reached"},
    {2, L"40", true, true, true, false, {11, 13}, {13}, "a closed cell"},
    {2, L"40", true, false, true, false, {11, 13}, {}, "closed cells not asked for"},
    {2, L"40", true, false, true, true, {11, 13}, {10}, "all cells, not only the interview's"},
};
} // namespace

TEST_F(QuotaTest, ReachedAndClosedCellsOfTheCategory)
{
    EXPECT_EQ(m_survey.GetQuotaDefinition().m_nMode, 1);
    for (const ReachedCase& c : kReached)
    {
        SCOPED_TRACE(c.pszWhy);
        const CQuota::Category category = CategoryOf(c.nSex, c.pszAge);
        EXPECT_EQ(category.m_cells, c.category);
        std::vector<long> ids;
        EXPECT_EQ(m_survey.GetQuotaDefinition().GetReached(c.bReached, c.bClosed, c.bRunning, c.bAll, category, ids),
                  !c.reached.empty());
        EXPECT_EQ(ids, c.reached);
    }
}

TEST_F(QuotaTest, TheMaskKeepsACopyAndRunningNeverGoesBelowZero)
{
    CMasqueSaisie mask(&m_survey);
    ASSERT_TRUE(mask.Creer(0, 0, true));
    EXPECT_FALSE(mask.HasQuota());
    CQuota survey = m_survey.GetQuotaDefinition();
    mask.SetQuota(&survey);
    ASSERT_TRUE(mask.HasQuota());
    CQuota::Category category;
    category.m_cells = {10, 11};
    mask.GetQuota()->RemoveRunningInterview(category);
    mask.GetQuota()->RemoveRunningInterview(category);
    EXPECT_EQ(mask.GetQuota()->FindCell(10)->m_nRunning, 0);
    EXPECT_EQ(mask.GetQuota()->FindCell(11)->m_nRunning, 0) << "never below 0";
    EXPECT_EQ(survey.FindCell(10)->m_nRunning, 1) << "the survey's quota is not the mask's";
    survey.FindCell(11)->m_bClosed = true;
    EXPECT_FALSE(mask.GetQuota()->FindCell(11)->m_bClosed);

    CQuota::Category back;
    const std::vector<BYTE> bytes = category.ToBytes();
    ASSERT_TRUE(back.FromBytes(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(back.m_cells, category.m_cells);
    EXPECT_FALSE(back.FromBytes(bytes.data(), 3));
}

TEST_F(QuotaTest, UpdateChangesKnownCellsAndIgnoresUnknownOnes)
{
    CQuota quota = m_survey.GetQuotaDefinition();
    const std::string update = "cell = \"10\" completed = \"5\" running = \"0\"\r\ncell = \"99\" completed = \"1\"\n"
                               "cell = \"11\" running = \"-4\" closed = \"1\"\n";
    std::vector<long> ids;
    ASSERT_TRUE(quota.Update(4, reinterpret_cast<const BYTE*>(update.data()), static_cast<int>(update.size()), &ids));
    EXPECT_EQ(ids, (std::vector<long>{10, 11}));
    EXPECT_EQ(quota.FindCell(10)->m_nCompleted, 5);
    EXPECT_EQ(quota.FindCell(10)->m_nRunning, 0);
    EXPECT_EQ(quota.FindCell(11)->m_nRunning, 0);
    EXPECT_TRUE(quota.FindCell(11)->m_bClosed);
    EXPECT_EQ(quota.m_cells.size(), 4u);
    EXPECT_TRUE(quota.Update(4, nullptr, 0, nullptr)) << "an empty update";
    EXPECT_FALSE(quota.Update(4, reinterpret_cast<const BYTE*>("\xff\xfe"), 2, nullptr)) << "not text";

    CStringArray tokens;
    quota.GetDescriptionTokens({10, 99}, m_survey, 0, tokens);
    ASSERT_EQ(tokens.GetSize(), 2);
    EXPECT_EQ(std::wstring(tokens[0].GetString()), L"Men");
    EXPECT_EQ(std::wstring(tokens[1].GetString()), L"Quota 99");
}

TEST_F(QuotaTest, QuotaViewGroupsCellsUnderTheirQuestions)
{
    CQuestionnaire survey;
    LoadSurvey(survey,
               DemoSurveyText(std::string(kQuota) +
                              "CELL id = \"14\" question = \"SEX\" codes = \"1,2\" min = \"3\" text = \"Anyone\"\n"));
    CQuota quota = survey.GetQuotaDefinition(); // the view of a copy reads the copy's cells
    const CQuotaQuestionSet& questions = quota.GetQuestionSet();
    ASSERT_EQ(questions.GetQuestionCount(), 2);
    const CQuotaQuestion& sex = *questions.GetQuestion(0);
    const CQuotaQuestion& age = *questions.GetQuestion(1);
    EXPECT_EQ(sex.m_nId, kTvxQuotaQuestionIdBase + 2);
    EXPECT_EQ(sex.m_nType, 1);
    EXPECT_EQ(std::wstring(sex.m_strText.GetString()), L"SEX");
    EXPECT_EQ(age.m_nType, 3) << "a numeric question";
    ASSERT_EQ(sex.GetResponseCount(), 3);
    EXPECT_EQ(sex.GetResponse(0)->m_nId, 10);
    EXPECT_EQ(sex.GetResponse(0)->m_nCode, 1);
    EXPECT_EQ(dynamic_cast<const CQuotaResponseGroup*>(sex.GetResponse(0)), nullptr);
    EXPECT_NE(dynamic_cast<const CQuotaResponseGroup*>(sex.GetResponse(2)), nullptr) << "a cell on two codes";
    ASSERT_EQ(age.GetResponseCount(), 2);
    EXPECT_EQ(age.GetResponse(0)->m_nCode, kTvxCodeSemiOpen) << "a range";
    EXPECT_EQ(age.GetResponse(0)->m_dLow, 18.0);
    EXPECT_EQ(age.GetResponse(0)->m_dHigh, 30.0);

    EXPECT_EQ(quota.FindQuestionForResponse(12), &age);
    EXPECT_EQ(quota.FindResponse(14), sex.GetResponse(2));
    EXPECT_EQ(quota.FindResponse(99), nullptr);
    EXPECT_EQ(quota.FindQuestion(kTvxQuotaQuestionIdBase + 3, true), &age);
    EXPECT_EQ(quota.FindQuestion(10, true), nullptr) << "cell ids are not question ids";

    EXPECT_EQ(sex.GetTotalCompletedCount(), 5);
    EXPECT_EQ(sex.GetTotalMinimumCount(), 3);
    EXPECT_EQ(sex.GetTotalMaximumCount(), INT_MAX) << "a response without maximum";
    EXPECT_EQ(sex.GetTotalToDoCountMinimum(false, false), 3);
    const std::string update = "cell = \"14\" completed = \"2\" running = \"1\"\n";
    ASSERT_TRUE(
        quota.Update(4, reinterpret_cast<const BYTE*>(update.data()), static_cast<int>(update.size()), nullptr));
    EXPECT_EQ(sex.GetResponse(2)->GetCompletedCount(), 2) << "counts are read live";
    EXPECT_EQ(sex.GetTotalToDoCountMinimum(false, false), 0);
    EXPECT_EQ(survey.GetQuotaDefinition().FindResponse(14)->GetCompletedCount(), 0) << "the survey's quota is apart";
}
