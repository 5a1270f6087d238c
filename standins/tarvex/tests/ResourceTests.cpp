#include "core/CCrcFixedTable.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CSemiOpen.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include <cstdio>

class ResourceTest : public TarvexTest
{
protected:
    void SetUp() override
    {
        TarvexTest::SetUp();
        wchar_t szTemp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
        m_folder = std::wstring(szTemp) + L"tvx-survey-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        DeleteFileW((m_folder + L"\\logo.png").c_str());
        RemoveDirectoryW(m_folder.c_str());
        TarvexTest::TearDown();
    }
    std::wstring m_folder;
};

TEST_F(ResourceTest, CheckResourcesComparesTheFilesCrcWithTheMap)
{
    CQuestionnaire survey;
    LoadSurvey(
        survey,
        DemoSurveyText(
            "RES id = \"7\" file = \"logo.png\" type = \"1\"\nRES id = \"8\" file = \"intro.adx\" type = \"5\"\n"),
        m_folder.c_str());
    ASSERT_EQ(survey.GetResourceCount(), 2);
    int nIndex = -1;
    EXPECT_TRUE(survey.FindResourceById(8, nIndex));
    EXPECT_EQ(nIndex, 1);
    EXPECT_FALSE(survey.FindResourceById(9, nIndex));

    const char kBytes[] = "not really a picture";
    FILE* pFile = _wfopen((m_folder + L"\\logo.png").c_str(), L"wb");
    ASSERT_NE(pFile, nullptr);
    fwrite(kBytes, 1, sizeof(kBytes) - 1, pFile);
    fclose(pFile);
    const DWORD dwCrc = CCrcFixedTable::ComputeBuffer(kBytes, sizeof(kBytes) - 1);

    struct Case
    {
        std::map<long, DWORD> map;
        bool bComplete;
        std::vector<long> missing;
        const char* pszWhy;
    };
    const Case kCases[] = {
        {{{7, dwCrc}, {8, 1}}, false, {8}, "a file that is not there"},
        {{{7, dwCrc + 1}}, false, {7, 8}, "another CRC, and a resource the map lacks"},
    };
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(c.pszWhy);
        std::vector<long> missing;
        EXPECT_EQ(survey.CheckResources(c.map, missing), c.bComplete);
        EXPECT_EQ(missing, c.missing);
    }
    EXPECT_TRUE(survey.GetAdrResource(1)->PrepareAdxObject(m_folder.c_str(), nullptr));

    CQuestionnaire one;
    LoadSurvey(one, DemoSurveyText("RES id = \"7\" file = \"logo.png\"\n"), m_folder.c_str());
    std::vector<long> missing;
    EXPECT_TRUE(one.CheckResources({{7, dwCrc}}, missing));
    EXPECT_TRUE(missing.empty());
}

TEST_F(ResourceTest, SemiOpenUpdatesReachTheirQuestions)
{
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText("S question = \"SEX\" id = \"3\" text = \"Other\"\n"));
    CListe array;
    const LPCWSTR kTexts[] = {L"question = \"SEX\" id = \"3\" text = \"Another\"",
                              L"question = \"SEX\" id = \"4\" text = \"Neither\"", L"question = \"NOPE\" text = \"x\"",
                              L"text = \"no question\""};
    for (LPCWSTR pszText : kTexts)
    {
        auto* pSemiOpen = new CSemiOpen;
        const bool bRead = pSemiOpen->FromString(pszText);
        EXPECT_EQ(bRead, pszText != kTexts[3]);
        array.AddObjet(pSemiOpen);
    }
    survey.UpdateSemiOpenResponses(array);
    CObjet::DeleteArray(array);
    const CQuestion& sex = *survey.GetQuestion(1);
    ASSERT_EQ(sex.GetSemiOpenCount(), 2);
    EXPECT_EQ(std::wstring(sex.GetSemiOpen(0)->m_strLibelle.GetString()), L"Another") << "the same id is replaced";
    EXPECT_EQ(sex.GetSemiOpen(1)->m_nId, 4);
}
