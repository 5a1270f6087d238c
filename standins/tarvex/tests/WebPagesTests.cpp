#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CIsapiParameter.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CListeTriee.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CTarvexScript.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include "framework/CStringConversion.h"
#include <memory>

class WebPagesTest : public TarvexTest
{
};

TEST_F(WebPagesTest, FormFieldsAreDecoded)
{
    struct Case
    {
        LPCWSTR pszForm;
        bool bOk;
        LPCWSTR pszName;
        LPCWSTR pszValue; // nullptr: the field is absent
        const char* pszWhy;
    };
    const Case kCases[] = {
        {L"Action=next&Q1=2", true, L"Action", L"next", "plain fields"},
        {L"Action=next&Q1=2", true, L"Q1", L"2", "the second field"},
        {L"Q3=caf%C3%A9+au+lait&x", true, L"Q3", L"caf\u00e9 au lait", "UTF-8 escapes and blanks"},
        {L"Q3=caf%C3%A9+au+lait&x", true, L"x", L"", "a field without value"},
        {L"a=1&a=2", true, L"a", L"1", "the first of two"},
        {L"a=1", true, L"b", nullptr, "an absent field"},
        {L"a=%4", false, L"a", nullptr, "a broken escape"},
        {L"a=%FF", false, L"a", nullptr, "bytes that are not UTF-8"},
    };
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(c.pszWhy);
        CIsapiParameter parameters;
        EXPECT_EQ(parameters.Parse(c.pszForm), c.bOk);
        CString strValue;
        EXPECT_EQ(parameters.Lookup(c.pszName, strValue), c.pszValue != nullptr);
        if (c.pszValue)
        {
            EXPECT_EQ(std::wstring(strValue.GetString()), c.pszValue);
        }
    }
    EXPECT_EQ(std::wstring(CInternetOptions::FormatStringForXHTML(L"a<b> & \"c\"\r\nd", true).GetString()),
              L"a&lt;b&gt; &amp; &quot;c&quot;<br/>d");
}

TEST_F(WebPagesTest, PostedPageStoresItsAnswersAndReportsRefusals)
{
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText());
    EXPECT_FALSE(survey.GetScreenGroup(0)->GetGenerationSettings().IsUseWebScreens());
    EXPECT_EQ(survey.GetScreenGroup(1), nullptr);
    CMasqueSaisie mask(&survey);
    ASSERT_TRUE(mask.Creer(0, 0, true));
    std::unique_ptr<CEcran> screen(mask.CreateScreenForQuestion(1));
    ASSERT_NE(screen, nullptr);

    CIsapiParameter parameters;
    ASSERT_TRUE(parameters.Parse(L"Navigation=1&Q1=2&Q2=12"));
    int nNavigation = -1;
    bool bAnswered = false;
    CStringArray texts;
    CListe errors, visited;
    CListeTriee positions;
    EXPECT_FALSE(survey.GetInternetOptions().ReadEntryFromWeb(parameters, screen.get(), &mask, nNavigation, texts,
                                                              errors, positions, visited, bAnswered, nullptr));
    EXPECT_EQ(nNavigation, 1);
    EXPECT_TRUE(bAnswered);
    EXPECT_EQ(mask.GetReponse(1)->GetReponseAModalite(), (std::vector<long>{2}));
    ASSERT_EQ(errors.GetCount(), 1) << "12 lies below AGE's minimum";
    EXPECT_EQ(dynamic_cast<const CMasqueEntryError*>(errors.GetObjet(0))->m_nPosition, 2);
    ASSERT_EQ(positions.GetCount(), 2);
    EXPECT_EQ(positions.GetAt(0), 1);
    EXPECT_EQ(visited.GetCount(), 2);

    CString strPage;
    ASSERT_TRUE(survey.GetInternetOptions().PrepareScreen(strPage, screen.get(), survey.GetScreenGroup(0), &errors,
                                                          L"<form>", true, false, &survey, &mask));
    EXPECT_NE(strPage.Find(L"<form>"), -1);
    EXPECT_NE(strPage.Find(L"<input name=\"Q1\" value=\"2\"/>"), -1) << CW2A(strPage.GetString());
    EXPECT_NE(strPage.Find(L"The value must lie between 18 and 99"), -1);
    CObjet::DeleteArray(errors);

    CTarvexScript::Set(L"CInternetOptions::PrepareScreen", 0);
    EXPECT_FALSE(survey.GetInternetOptions().PrepareScreen(strPage, screen.get(), nullptr, nullptr, L"", true, false,
                                                           &survey, &mask))
        << "web members answer what the test scripts";
}

TEST_F(WebPagesTest, SurveyAsksForWebScreens)
{
    CQuestionnaire survey;
    LoadSurvey(survey,
               Bytes("TVX-SURVEY 1\nSURVEY id = \"4\" web = \"1\"\nQ id = \"1\" name = \"A\" kind = \"open\"\n"));
    EXPECT_TRUE(survey.GetScreenGroup(0)->GetGenerationSettings().IsUseWebScreens());
}
