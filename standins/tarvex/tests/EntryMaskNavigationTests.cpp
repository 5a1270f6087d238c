#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CPolice.h"
#include "standins/tarvex/CResponseBlock.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include <memory>
#include <sstream>

namespace
{
// Runs a walk through the demo survey written as words:
//   next            AvancerEcran (with actions)
//   prev            Reculer to the first position of the screen shown, then AvancerEcran: Previous
//   again           Reculer at the current position, then AvancerEcran: the transferred-call repeat
//   S<n>@<p> | end  the screen and position the last move must give, or that no screen is left
//   intro, sex=<code>, age=<number>, comment=<text>   answers
//   state<p>=<n>    the state of a position
class CWalk
{
public:
    explicit CWalk(const std::string& extraLines)
    {
        LoadSurvey(m_survey, DemoSurveyText(extraLines));
        m_pMask = std::make_unique<CMasqueSaisie>(&m_survey);
        EXPECT_TRUE(m_pMask->Creer(0, 0, true));
    }

    void Run(const std::string& steps)
    {
        std::istringstream words(steps);
        for (std::string word; words >> word;)
        {
            SCOPED_TRACE("at '" + word + "'");
            Step(word);
        }
    }

private:
    void Move(bool bBack, bool bAgain)
    {
        if (bBack) m_pMask->Reculer(m_pScreen ? m_pScreen->GetFirstPositionSaisie() : 0);
        if (bAgain) m_pMask->Reculer(m_pMask->m_nPosition);
        CEcran* pScreen = nullptr;
        m_bMoved = m_pMask->AvancerEcran(pScreen, nullptr, nullptr, true);
        m_pScreen.reset(pScreen);
    }

    void Step(const std::string& word)
    {
        CMasqueEntryError* pError = nullptr;
        bool bStored = true;
        if (word == "next" || word == "prev" || word == "again")
            Move(word == "prev", word == "again");
        else if (word == "end")
            EXPECT_FALSE(m_bMoved) << "no screen is left";
        else if (word[0] == 'S')
        {
            const int nScreen = std::stoi(word.substr(1));
            const int nPosition = std::stoi(word.substr(word.find('@') + 1));
            ASSERT_TRUE(m_bMoved && m_pScreen) << "a screen was expected";
            EXPECT_EQ(m_pScreen->m_nIndex, nScreen);
            EXPECT_EQ(m_pMask->m_nPosition, nPosition);
        }
        else if (word == "intro")
            bStored = m_pMask->StockerAutreReponse(0, false);
        else if (word.rfind("sex=", 0) == 0)
            bStored = m_pMask->StockerReponseModalite(1, false, {std::stol(word.substr(4))}, pError);
        else if (word.rfind("age=", 0) == 0)
            bStored = m_pMask->StockerReponseNumerique(2, CString(word.substr(4).c_str()), false, pError);
        else if (word.rfind("comment=", 0) == 0)
            bStored = m_pMask->StockerReponseOuverte(3, CString(word.substr(8).c_str()), false, pError);
        else if (word.rfind("state", 0) == 0)
        {
            const int nPosition = std::stoi(word.substr(5));
            EXPECT_EQ(m_pMask->GetReponse(nPosition)->m_nEtat, std::stoi(word.substr(word.find('=') + 1)));
        }
        else
            ADD_FAILURE() << "unknown step";
        EXPECT_TRUE(bStored);
        delete pError;
    }

    CQuestionnaire m_survey;
    std::unique_ptr<CMasqueSaisie> m_pMask;
    std::unique_ptr<CEcran> m_pScreen;
    bool m_bMoved = false;
};

const char* const kSkipSexTwo = "SKIP question = \"SEX\" code = \"2\" to = \"VISIT\"\n";

struct WalkCase
{
    const char* pszExtra;
    const char* pszSteps;
    const char* pszWhy;
};
const WalkCase kWalks[] = {
    {"", "next S0@0 intro next S1@1 sex=1 age=30 next S2@3 comment=x next end", "every screen in order"},
    {kSkipSexTwo, "next S0@0 intro next S1@1 sex=2 age=30 next S2@4 state2=1 state3=1",
     "a skip that applies passes over what lies between"},
    {kSkipSexTwo, "next S0@0 intro next S1@1 sex=1 age=30 next S2@3 state3=0", "a skip that does not apply"},
    {kSkipSexTwo, "next S0@0 intro next S1@1 sex=2 next S2@4 prev S1@1 sex=1 next S2@3 state2=0 state3=0",
     "a skip that no longer applies gives its questions back"},
    {"", "next S0@0 intro next S1@1 sex=1 next S2@3 prev S1@1 prev S0@0", "Previous twice"},
    {"", "next S0@0 next S1@1 prev S0@0", "Previous without an answer before goes to the start"},
    {"", "next S0@0 intro next S1@1 sex=1 next S2@3 comment=x next end again S2@3",
     "the transferred-call repeat shows the screen of the last answer again"},
    {"", "next S0@0 intro next S1@1 again S0@0", "the repeat on a screen without answers shows the screen before"},
};
} // namespace

class EntryMaskNavigationTest : public TarvexTest
{
};

TEST_F(EntryMaskNavigationTest, AnswersGiveTheScreenSequence)
{
    for (const WalkCase& c : kWalks)
    {
        SCOPED_TRACE(c.pszWhy);
        CWalk walk(c.pszExtra);
        walk.Run(c.pszSteps);
    }
}

TEST_F(EntryMaskNavigationTest, CreerSeedsFromTheIdOrFromTheCounter)
{
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText());
    CMasqueSaisie withId(&survey), first(&survey), second(&survey);
    ASSERT_TRUE(withId.Creer(481, 0, true));
    EXPECT_EQ(withId.m_nSeed, 481);
    ASSERT_TRUE(first.Creer(0, 0, true));
    ASSERT_TRUE(second.Creer(-1, 0, true));
    EXPECT_GE(first.m_nSeed, 1000);
    EXPECT_EQ(second.m_nSeed, first.m_nSeed + 1);
    EXPECT_EQ(first.GetNbreReponse(), 5);
    EXPECT_EQ(first.m_nPosition, -1);

    first.m_recordings.push_back(L"Q1");
    first.m_bResultSet = true;
    ASSERT_TRUE(first.Creer(0, 0, true));
    EXPECT_TRUE(first.m_recordings.empty()) << "a second Creer starts the interview again";
    EXPECT_FALSE(first.m_bResultSet);

    CQuestionnaire empty;
    LoadSurvey(empty, Bytes("TVX-SURVEY 1\nSURVEY id = \"3\"\n"));
    CMasqueSaisie none(&empty);
    EXPECT_FALSE(none.Creer(5, 0, true)) << "a survey without questions";
}

TEST_F(EntryMaskNavigationTest, ScreensLayOneElementPerResponseInTwips)
{
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText());
    CMasqueSaisie mask(&survey);
    ASSERT_TRUE(mask.Creer(0, 0, true));
    CEcran* pScreen = nullptr;
    ASSERT_TRUE(mask.AvancerEcran(pScreen, nullptr, nullptr, true));
    delete pScreen;
    ASSERT_TRUE(mask.AvancerEcran(pScreen, nullptr, nullptr, true));
    std::unique_ptr<CEcran> screen(pScreen);
    ASSERT_EQ(screen->GetNbreElement(), 2);
    const CElement& sex = *screen->GetAdrElement(0);
    const CElement& age = *screen->GetAdrElement(1);
    EXPECT_EQ(sex.m_nPosition, 1);
    EXPECT_EQ(sex.m_nType, kTvxElementList);
    EXPECT_EQ(sex.m_items, (std::vector<long>{1, 2}));
    EXPECT_EQ(age.m_nType, kTvxElementEdit);
    EXPECT_EQ(sex.m_rect.m_dTop, 0.0);
    EXPECT_EQ(age.m_rect.m_dTop, kTvxElementHeight + kTvxElementGap);
    EXPECT_EQ(screen->GetFirstPositionSaisie(), 1);
    EXPECT_EQ(std::wstring(age.m_strLibelle.GetString()), L"Your age, ?");

    CMasqueEntryError* pError = nullptr;
    ASSERT_TRUE(mask.StockerReponseModalite(1, false, {2}, pError));
    ASSERT_TRUE(mask.PreparerEcran(screen.get(), false, false));
    EXPECT_EQ(std::wstring(screen->GetAdrElement(1)->m_strLibelle.GetString()), L"Your age, Woman?")
        << "live labels follow the answers they quote";

    ASSERT_TRUE(mask.StockerReponseModalite(1, false, {1}, pError));
    CStringArray texts;
    EXPECT_EQ(std::wstring(mask.RunLiveLabels(screen.get(), texts, 1).GetString()),
              L"QuestionHandler.setLabel(2, \"Your age, Man?\");");
    ASSERT_EQ(texts.GetSize(), 1);
    EXPECT_EQ(std::wstring(screen->GetAdrElement(1)->m_strLibelle.GetString()), L"Your age, Man?");
    EXPECT_TRUE(mask.RunLiveLabels(screen.get(), texts, 1).IsEmpty()) << "nothing changed since";
}

TEST_F(EntryMaskNavigationTest, ChaptersAsJsonMarkTheCurrentOne)
{
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText("Q id = \"8\" name = \"END\" kind = \"chapter\" text = \"The \\\"end\\\"\"\n"));
    CMasqueSaisie mask(&survey);
    ASSERT_TRUE(mask.Creer(0, 0, true));
    EXPECT_EQ(std::wstring(mask.GetChaptersToJson(2).GetString()),
              L"[{\"position\":0,\"text\":\"Hello, this is a short survey\",\"current\":true},"
              L"{\"position\":5,\"text\":\"The \\\"end\\\"\",\"current\":false}]");
}

TEST_F(EntryMaskNavigationTest, BlockQuestionsBecomeAGridOfPanes)
{
    CQuestionnaire survey;
    LoadSurvey(survey,
               DemoSurveyText("Q id = \"9\" name = \"COLOURS\" kind = \"multiple\" block = \"1\" text = \"Colours?\"\n"
                              "M question = \"COLOURS\" code = \"4\" text = \"Red\"\n"
                              "M question = \"COLOURS\" code = \"6\" text = \"Blue\"\n"));
    CMasqueSaisie mask(&survey);
    ASSERT_TRUE(mask.Creer(0, 0, true));
    CMasqueEntryError* pError = nullptr;
    ASSERT_TRUE(mask.StockerReponseModalite(5, false, {6}, pError));
    std::unique_ptr<CEcran> screen(mask.CreateScreenForQuestion(5));
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->GetNbreElement(), 1);
    auto* pBlock = dynamic_cast<CResponseBlock*>(screen->GetAdrElement(0));
    ASSERT_NE(pBlock, nullptr);
    EXPECT_EQ(pBlock->m_nType, kTvxElementBlock);
    EXPECT_EQ(pBlock->m_nPosition, 5);
    ASSERT_EQ(pBlock->GetPaneCount(), 5) << "a header, then a caption and a box per response";
    EXPECT_EQ(std::wstring(pBlock->GetPane(0).m_strText.GetString()), L"Colours?");
    EXPECT_EQ(pBlock->GetPane(0).m_pElement, nullptr);
    struct Box
    {
        int nPane, nRow;
        long nCode;
        bool bChecked;
    };
    for (const Box& box : {Box{2, 1, 4, false}, Box{4, 2, 6, true}})
    {
        const CResponseBlockPane& pane = pBlock->GetPane(box.nPane);
        EXPECT_EQ(pane.m_nRow, box.nRow);
        EXPECT_EQ(pane.m_nColumn, 1);
        ASSERT_NE(pane.m_pElement, nullptr);
        EXPECT_EQ(pane.m_pElement->m_nType, 3) << "boxes of a multiple question";
        EXPECT_EQ(pane.m_pElement->m_items, (std::vector<long>{box.nCode}));
        EXPECT_EQ(pane.m_pElement->m_bChecked, box.bChecked);
        EXPECT_EQ(pane.m_pElement->m_nPosition, 5);
    }
    EXPECT_EQ(std::wstring(pBlock->GetPane(3).m_pElement->m_strLibelle.GetString()), L"Blue");

    std::vector<int> rows, columns;
    CResponseBlockPane::FindSizeOfRowsAndCols(pBlock, pBlock->GetPanes(), rows, columns,
                                              CResponseBlockPane::GetTypicalControlType(survey.GetQuestion(5), pBlock));
    EXPECT_EQ(rows, (std::vector<int>{0, 20, 40, 60}));
    EXPECT_EQ(columns.size(), 3u);
    CPolice font;
    COLORREF text = 0, back = 0;
    short nAlign = -1;
    pBlock->GetPane(0).ApplyPaneSettings(pBlock, false, false, font, text, back, nAlign);
    EXPECT_TRUE(font.m_bBold) << "the header row";
    pBlock->GetAdrPane(1)->m_rect = CRect(0, 20, 240, 40);
    EXPECT_EQ(pBlock->GetPane(1).GetTextRect(), CRect(2, 22, 238, 38));
}
