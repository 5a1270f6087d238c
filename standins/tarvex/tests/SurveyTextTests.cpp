#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include "framework/CMemFile.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"

class SurveyTextTest : public TarvexTest
{
};

TEST_F(SurveyTextTest, DemoSurveyLoadsQuestionsScreensAndKinds)
{
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText());
    EXPECT_EQ(survey.m_nId, 12);
    ASSERT_EQ(survey.GetNbreQuestion(), 5);
    struct Expected
    {
        LPCWSTR pszName;
        bool bChapter, bClosed, bNumeric, bOpen, bDate;
    };
    const Expected kQuestions[] = {
        {L"INTRO", true, false, false, false, false}, {L"SEX", false, true, false, false, false},
        {L"AGE", false, false, true, false, false},   {L"COMMENT", false, false, false, true, false},
        {L"VISIT", false, false, false, false, true},
    };
    for (int i = 0; i < 5; ++i)
    {
        const CQuestion& q = *survey.GetQuestion(i);
        SCOPED_TRACE(testing::Message() << "question " << i);
        EXPECT_EQ(std::wstring(q.m_strName.GetString()), kQuestions[i].pszName);
        EXPECT_EQ(q.EstChapitre(), kQuestions[i].bChapter);
        EXPECT_EQ(q.EstAModalite(), kQuestions[i].bClosed);
        EXPECT_EQ(q.EstNumeriqueLibre(), kQuestions[i].bNumeric);
        EXPECT_EQ(q.EstOuverte(), kQuestions[i].bOpen);
        EXPECT_EQ(q.EstDate(), kQuestions[i].bDate);
    }
    const CQuestion& sex = *survey.GetQuestion(1);
    std::vector<long> codes;
    sex.DonnerCodeModalites(codes, true);
    EXPECT_EQ(codes, (std::vector<long>{1, 2, -1})) << "the responses, then don't know";
    EXPECT_FALSE(sex.EstCommeUneMultiple());
    EXPECT_EQ(survey.GetQuestion(2)->m_dMin, 18.0);
    EXPECT_EQ(survey.GetQuestion(2)->m_dMax, 99.0);
    ASSERT_EQ(survey.GetScreenCount(), 3);
    EXPECT_EQ(survey.GetScreenPositions(0), (std::vector<int>{0}));
    EXPECT_EQ(survey.GetScreenPositions(1), (std::vector<int>{1, 2}));
    EXPECT_EQ(survey.GetScreenPositions(2), (std::vector<int>{3, 4}));
    EXPECT_EQ(survey.FindQuestionById(4), 3);
    EXPECT_EQ(survey.FindQuestionById(99), -1);
}

TEST_F(SurveyTextTest, UnknownWordsAndNamesAreIgnoredAndCrLfIsRead)
{
    std::vector<BYTE> text = DemoSurveyText("FUTURE colour = \"red\"\nQ id = \"6\" name = \"X\" kind = \"open\" "
                                            "hint = \"unknown name\"\r\n\n"
                                            "Q id = \"7\" name = \"GEO\" kind = \"numeric\" geolumo = \"1\"\n");
    CQuestionnaire survey;
    LoadSurvey(survey, text);
    EXPECT_EQ(survey.GetNbreQuestion(), 7);
    EXPECT_EQ(survey.GetScreenCount(), 5) << "a question on no SCREEN gets a screen of its own";
    EXPECT_TRUE(survey.GetQuestion(6)->m_bGeoLumo) << "GeoLumo questions are marked, not told by their kind";
    EXPECT_TRUE(survey.GetQuestion(6)->EstNumeriqueLibre());
    EXPECT_FALSE(survey.GetQuestion(2)->m_bGeoLumo);
}

// Ids and names in no order, screens named out of order: look-ups and screens must not depend on it.
const std::string kUnordered =
    "TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"30\" name = \"Q2\" kind = \"single\"\n"
    "Q id = \"10\" name = \"Q10\" kind = \"open\"\nQ id = \"20\" name = \"A\" kind = \"single\"\n"
    "Q id = \"40\" name = \"B\" kind = \"open\"\nM question = \"A\" code = \"1\"\nM question = \"Q2\" code = \"2\"\n"
    "SCREEN id = \"9\" questions = \"A,Q10\"\nSCREEN id = \"8\" questions = \"Q2\"\n";

TEST_F(SurveyTextTest, IdsNamesAndScreensInAnyOrder)
{
    CQuestionnaire survey;
    LoadSurvey(survey, Bytes(kUnordered));
    ASSERT_EQ(survey.GetNbreQuestion(), 4);
    EXPECT_EQ(survey.GetQuestion(2)->m_modalites.at(0).m_nCode, 1) << "M of A reached the third question";
    EXPECT_EQ(survey.GetQuestion(0)->m_modalites.at(0).m_nCode, 2) << "M of Q2 reached the first question";
    ASSERT_EQ(survey.GetScreenCount(), 3);
    EXPECT_EQ(survey.GetScreenPositions(0), (std::vector<int>{0}));
    EXPECT_EQ(survey.GetScreenPositions(1), (std::vector<int>{1, 2}));
    EXPECT_EQ(survey.GetScreenPositions(2), (std::vector<int>{3}));
}

// Every text the survey keeps, with escapes, characters beyond ASCII and a name given twice (the last
// holds), and lists with blanks and empty items: each text lands whole in its own member.
TEST_F(SurveyTextTest, EveryKeptTextArrivesWholeInItsMember)
{
    const std::string extra =
        "Q id = \"6\" name = \"NOTE\" kind = \"open\" text = \"Line one\\nsay \\\"why\\\"\" shortcut = \"n\"\n"
        "M question = \"SEX\" code = \"3\" text = \"Autre \u2014 \u00e7a\"\n"
        "S question = \"SEX\" id = \"4\" text = \"first\" text = \"Other \U0001F600\"\n"
        "CHECK question = \"AGE\" level = \"0\" text = \"Sure?\" above = \"90\"\n"
        "ACTION question = \"AGE\" kind = \"email\" parameters = \"To = \\\"a@b\\\"\" value = \"v\"\n"
        "RES id = \"7\" file = \"logo \u00e9.png\"\n"
        "CELL id = \"10\" question = \"SEX\" codes = \" 1, ,2 ,\" text = \"Men and women\"\n"
        "SCREEN id = \"3\" questions = \" NOTE , \"\n";
    CQuestionnaire survey;
    LoadSurvey(survey, DemoSurveyText(extra));
    EXPECT_EQ(survey.m_strName, CString(L"demo"));
    ASSERT_EQ(survey.GetNbreQuestion(), 6);
    const CQuestion& note = *survey.GetQuestion(5);
    EXPECT_EQ(note.m_strName, CString(L"NOTE"));
    EXPECT_EQ(note.m_strText, CString(L"Line one\nsay \"why\""));
    EXPECT_EQ(note.m_strShortcut, CString(L"n"));
    EXPECT_EQ(survey.GetQuestion(3)->m_strText, CString(L"Any comment?")) << "a text of a record before";
    const CQuestion& sex = *survey.GetQuestion(1);
    ASSERT_EQ(sex.m_modalites.size(), 3u);
    EXPECT_EQ(sex.m_modalites[2].m_strLibelle, CString(L"Autre \u2014 \u00e7a"));
    EXPECT_EQ(sex.m_modalites[0].m_strLibelle, CString(L"Man"));
    ASSERT_EQ(sex.m_semiOpens.size(), 1u);
    EXPECT_EQ(sex.m_semiOpens[0].m_strQuestion, CString(L"SEX"));
    EXPECT_EQ(sex.m_semiOpens[0].m_strLibelle, CString(L"Other \U0001F600"));
    ASSERT_EQ(survey.m_checks.size(), 1u);
    EXPECT_EQ(survey.m_checks[0].m_strText, CString(L"Sure?"));
    EXPECT_EQ(survey.m_checks[0].m_dAbove, 90.0);
    ASSERT_EQ(survey.GetFiltreCount(), 1);
    EXPECT_EQ(survey.GetFiltre(0)->m_strParameters, CString(L"To = \"a@b\""));
    EXPECT_EQ(survey.GetFiltre(0)->m_strValue, CString(L"v"));
    ASSERT_EQ(survey.GetResourceCount(), 1);
    EXPECT_EQ(survey.GetResource(0).m_strFile, CString(L"logo \u00e9.png"));
    ASSERT_EQ(survey.m_quota.m_cells.size(), 1u);
    EXPECT_EQ(survey.m_quota.m_cells[0].m_strText, CString(L"Men and women"));
    EXPECT_EQ(survey.m_quota.m_cells[0].m_codes, (std::vector<long>{1, 2}));
    ASSERT_EQ(survey.GetScreenCount(), 4);
    EXPECT_EQ(survey.GetScreenPositions(3), (std::vector<int>{5}));
}

struct RefusalCase
{
    std::string text; // the whole survey text
    const wchar_t* pszReason;
    const char* pszWhy;
};
const RefusalCase kRefusals[] = {
    {"", L"not a survey text", "empty bytes"},
    {"TVX-SURVEY 2\nSURVEY id = \"1\"\n", L"not a survey text", "another version"},
    {"TVX-SURVEY 1\nQ id = \"1\" name = \"A\" kind = \"open\"\n", L"no SURVEY record", "no SURVEY record"},
    {"TVX-SURVEY 1\nSURVEY name = \"x\"\n", L"missing id", "SURVEY without id"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" kind = \"open\"\n", L"missing name", "Q without name"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"open\"\nQ id = \"1\" name = \"B\" kind = "
     "\"open\"\n",
     L"duplicate id", "two questions with one id"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"single\"\nM question = \"A\" code = \"1\"\n"
     "M question = \"A\" code = \"1\"\n",
     L"duplicate id", "two responses with one code"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nM question = \"A\" code = \"1\"\n", L"unknown question",
     "M of an unknown question"},
    {kUnordered + "Q id = \"20\" name = \"C\" kind = \"open\"\n", L"line 11: duplicate id",
     "an id met before, neither first nor last"},
    {kUnordered + "Q id = \"50\" name = \"Q10\" kind = \"open\"\n", L"line 11: duplicate id",
     "a name met before, neither first nor last"},
    {kUnordered + "M question = \"Q1\" code = \"1\"\n", L"line 11: unknown question",
     "a name that sorts among the known ones"},
    {kUnordered + "SCREEN id = \"7\" questions = \"Q10\"\n", L"line 11: question on two screens",
     "a question on a screen named before"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"open\"\nSKIP question = \"A\" to = \"Z\"\n",
     L"unknown question", "SKIP to an unknown question"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"loop\"\n", L"loops are not supported",
     "a loop question"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"x1\" name = \"A\" kind = \"open\"\n", L"not a number",
     "an id that is not a number"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"\xff\"\n", L"invalid UTF-8", "invalid UTF-8"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"open\"\n"
     "CHECK question = \"A\" level = \"2\" text = \"t\"\n",
     L"unknown level", "a CHECK level other than 0 and 1"},
    {"TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"open\"\nACTION question = \"A\" kind = "
     "\"fax\"\n",
     L"unknown kind", "an unknown action"},
};

TEST_F(SurveyTextTest, MalformedTextThrowsAndLeavesTheSurveyAsItWas)
{
    for (const RefusalCase& c : kRefusals)
    {
        SCOPED_TRACE(c.pszWhy);
        CQuestionnaire survey;
        LoadSurvey(survey, DemoSurveyText());
        CString strReason;
        EXPECT_EQ(LoadSurveyError(survey, Bytes(c.text), &strReason), CArchiveException::genericException);
        EXPECT_NE(strReason.Find(c.pszReason), -1) << "reason: " << CW2A(strReason.GetString());
        EXPECT_EQ(survey.m_nId, 12) << "the demo survey is still there";
        EXPECT_EQ(survey.GetNbreQuestion(), 5);
        EXPECT_EQ(survey.GetScreenCount(), 3);
    }
}

TEST_F(SurveyTextTest, LineOver64KiBIsRefusedAndOneAtTheLimitIsRead)
{
    const std::string head = "TVX-SURVEY 1\nSURVEY id = \"1\"\nQ id = \"1\" name = \"A\" kind = \"open\" text = \"";
    const std::string tail = "\"\n";
    const size_t nLineStart = std::string("TVX-SURVEY 1\nSURVEY id = \"1\"\n").size();
    const size_t nFixed = head.size() - nLineStart + 1; // the line without its text, the closing quote included
    CQuestionnaire survey;
    LoadSurvey(survey, Bytes(head + std::string(64 * 1024 - nFixed, 'x') + tail));
    EXPECT_EQ(survey.GetQuestion(0)->m_strText.GetLength(), static_cast<int>(64 * 1024 - nFixed));
    CString strReason;
    EXPECT_EQ(LoadSurveyError(survey, Bytes(head + std::string(64 * 1024 - nFixed + 1, 'x') + tail), &strReason),
              CArchiveException::genericException);
    EXPECT_NE(strReason.Find(L"line too long"), -1);
}

TEST_F(SurveyTextTest, StoringWritesTheTextThatWasRead)
{
    CQuestionnaire survey;
    const std::vector<BYTE> text = DemoSurveyText();
    LoadSurvey(survey, text);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        survey.Serialize(ar, L"");
    }
    const ULONGLONG nLength = file.GetLength();
    std::vector<BYTE> stored(static_cast<size_t>(nLength));
    file.SeekToBegin();
    file.Read(stored.data(), static_cast<UINT>(nLength));
    EXPECT_EQ(stored, text);
}
