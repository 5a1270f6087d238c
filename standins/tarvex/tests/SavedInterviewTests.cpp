#include "framework/CArchiveException.h"
#include "framework/CMemFile.h"
#include "standins/tarvex/CArchiveVersion.h"
#include "standins/tarvex/CEcran.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CListeTriee.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

namespace
{
std::vector<BYTE> FileBytes(CMemFile& file)
{
    std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

std::vector<BYTE> Saved(CMasqueSaisie& mask)
{
    CMemFile file;
    {
        CArchiveVersion ar(&file, CArchive::store, 4096);
        mask.Serialize(ar);
    }
    return FileBytes(file);
}

void Load(CMasqueSaisie& mask, const std::vector<BYTE>& bytes)
{
    std::vector<BYTE> copy = bytes;
    CMemFile file(copy.data(), static_cast<UINT>(copy.size()));
    CArchiveVersion ar(&file, CArchive::load, 4096);
    mask.Serialize(ar);
}

class SavedInterviewTest : public TarvexTest
{
protected:
    void SetUp() override
    {
        TarvexTest::SetUp();
        LoadSurvey(m_survey, DemoSurveyText("ACTION question = \"SEX\" kind = \"record\" value = \"Q12\"\n"));
    }

    // An interview in the middle of the last screen, with every kind of answer.
    std::unique_ptr<CMasqueSaisie> Interview()
    {
        auto pMask = std::make_unique<CMasqueSaisie>(&m_survey);
        EXPECT_TRUE(pMask->Creer(481, 0, true));
        CMasqueEntryError* pError = nullptr;
        EXPECT_TRUE(pMask->StockerAutreReponse(0, false));
        EXPECT_TRUE(pMask->StockerReponseModalite(1, false, {2}, pError));
        EXPECT_TRUE(pMask->StockerReponseNumerique(2, L"33.3", false, pError));
        EXPECT_TRUE(pMask->StockerReponseOuverte(3, L"\"quoted\" and \\ and\nnew line, été", false, pError));
        EXPECT_TRUE(pMask->StockerReponseDate(4, L"2024-05-01", false, pError));
        for (int i = 0; i < 3; ++i)
        {
            CEcran* pScreen = nullptr;
            EXPECT_TRUE(pMask->AvancerEcran(pScreen, nullptr, nullptr, true));
            delete pScreen;
        }
        EXPECT_EQ(pMask->AddSemiOpen(m_survey.GetQuestion(1), L"Other\tone"), 1);
        CListeTriee positions;
        positions.Insert(1);
        pMask->AllocateDuration(positions, 12);
        pMask->SetQuotaCategory(reinterpret_cast<const BYTE*>("\x0a\0\0\0"), 4);
        pMask->m_nCallResult = 17;
        pMask->m_bResultSet = true;
        return pMask;
    }
    CQuestionnaire m_survey;
};

struct CorruptCase
{
    const char* pszText;
    const char* pszWhy;
};
const CorruptCase kCorrupt[] = {
    {"", "no bytes"},
    {"TVX-INTERVIEW 2\n", "another version"},
    {"TVX-INTERVIEW 1\n", "no INTERVIEW line"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"13\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\n",
     "an interview of another survey"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"x\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\n",
     "a seed that is not a number"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t9\t4\t\t0\t0\t\n",
     "an answer outside the survey"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t1\t7\t\t0\t0\t\n",
     "an unknown state"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nGARBAGE\n",
     "an unknown line"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" position = \"1\"\n", "missing fields"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t1\t4\t1\t0\t0\n",
     "an answer line short of a field"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t3\t4\t\t0\t0\tbad \\q escape\n",
     "an unknown escape in a text"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nQUOTACAT\t0x\n",
     "a quota category that is not hex"},
    // Fields are read where they lie in the line: a number must not run on into the next field.
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t2\t4\t\t \t0\t\n",
     "a blank value before a field holding a number"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t 1\t4\t\t\t0\t\n",
     "a position with a blank before it"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t1\t4\t1,,2\t\t0\t\n",
     "an empty code among codes"},
    {"TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = \"0\" callid = \"0\" result "
     "= \"0\" "
     "subresult = \"0\" resultset = \"0\" completed = \"0\"\nR\t1\t4\t1\t\t0\tx\ty\tz\n",
     "an answer line of nine fields"},
};
} // namespace

TEST_F(SavedInterviewTest, SaveLoadSaveIsByteIdentical)
{
    const auto pMask = Interview();
    const std::vector<BYTE> first = Saved(*pMask);
    CMemFile file;
    ASSERT_TRUE(pMask->SaveToFile(file));
    EXPECT_EQ(FileBytes(file), first) << "SaveToFile writes what Serialize stores";

    CMasqueSaisie loaded(&m_survey);
    Load(loaded, first);
    EXPECT_EQ(Saved(loaded), first);
    EXPECT_EQ(loaded.m_nSeed, 481);
    EXPECT_EQ(loaded.m_nPosition, pMask->m_nPosition);
    EXPECT_EQ(loaded.m_nCallResult, 17);
    EXPECT_TRUE(loaded.m_bResultSet);
    EXPECT_EQ(loaded.m_recordings, (std::vector<CString>{L"Q12"}));
    EXPECT_EQ(loaded.GetQuotaCategory(), pMask->GetQuotaCategory());
    EXPECT_EQ(loaded.GetReponse(2)->m_dValeur, 33.3);
    EXPECT_EQ(loaded.GetReponse(3)->m_strTexte, pMask->GetReponse(3)->m_strTexte);
    EXPECT_EQ(loaded.GetReponse(4)->m_dValeur, pMask->GetReponse(4)->m_dValeur);
    EXPECT_EQ(loaded.GetReponse(1)->m_nDuree, 12);
    CListe semiOpens;
    loaded.GetQuestionSemiOpens(m_survey.GetQuestion(1), semiOpens);
    ASSERT_EQ(semiOpens.GetCount(), 1);
    EXPECT_EQ(dynamic_cast<const CModalite*>(semiOpens.GetObjet(0))->m_strLibelle, CString(L"Other\tone"));
    CObjet::DeleteArray(semiOpens);
}

TEST_F(SavedInterviewTest, CorruptInterviewThrowsAndLeavesTheMaskAsItWas)
{
    const auto pMask = Interview();
    const std::vector<BYTE> before = Saved(*pMask);
    for (const CorruptCase& c : kCorrupt)
    {
        SCOPED_TRACE(c.pszWhy);
        int nCause = -1;
        try
        {
            Load(*pMask, Bytes(c.pszText));
        }
        catch (CArchiveException* pError)
        {
            nCause = pError->m_cause;
            pError->Delete();
        }
        EXPECT_EQ(nCause, CArchiveException::genericException);
        EXPECT_EQ(Saved(*pMask), before);
    }
}

TEST_F(SavedInterviewTest, LongTextBeyondTheBasicPlaneComesBackWhole)
{
    // Longer than the pieces the text is turned into UTF-8 in, and made of pairs of UTF-16 units; with
    // and without one unit before them, so a piece ending at a fixed count would cut a pair in one of both.
    for (const LPCWSTR pszLead : {L"", L"x"})
    {
        SCOPED_TRACE(*pszLead ? "one unit before the pairs" : "pairs only");
        CString strText = pszLead;
        for (int i = 0; i < 3000; ++i)
            strText += L"\U0001F600";
        CMasqueSaisie mask(&m_survey);
        ASSERT_TRUE(mask.Creer(7, 0, true));
        CMasqueEntryError* pError = nullptr;
        ASSERT_TRUE(mask.StockerReponseOuverte(3, strText, false, pError));
        CMasqueSaisie loaded(&m_survey);
        Load(loaded, Saved(mask));
        EXPECT_TRUE(loaded.GetReponse(3)->m_strTexte == strText);
    }
}

TEST_F(SavedInterviewTest, ValuesAreWrittenAsTheRuntimesPercent17gAndReadBackExactly)
{
    const double kValues[] = {0.1,
                              1.0 / 3,
                              2.0 / 3,
                              1e-5,
                              1e-4,
                              1e16,
                              1e17,
                              123456789.123456789,
                              5e-324,
                              2.2250738585072014e-308,
                              1.7976931348623157e308,
                              -0.0,
                              -2.5,
                              1e21,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    for (const double dValue : kValues)
    {
        char szLine[64];
        std::snprintf(szLine, sizeof(szLine), "\nR\t2\t4\t\t%.17g\t0\t\n", dValue);
        SCOPED_TRACE(szLine + 1);
        CMasqueSaisie mask(&m_survey);
        ASSERT_TRUE(mask.Creer(7, 0, true));
        mask.GetAdrReponse(2)->m_nEtat = kTvxStateAnswered;
        mask.GetAdrReponse(2)->m_dValeur = dValue;
        const std::vector<BYTE> saved = Saved(mask);
        EXPECT_NE(std::search(saved.begin(), saved.end(), szLine, szLine + std::strlen(szLine)), saved.end());
        CMasqueSaisie loaded(&m_survey);
        Load(loaded, saved);
        const double dBack = loaded.GetReponse(2)->m_dValeur;
        EXPECT_EQ(std::memcmp(&dBack, &dValue, sizeof(double)), 0) << "read back as " << dBack;
    }
    // A NaN keeps the runtime's spelling and comes back a NaN.
    CMasqueSaisie mask(&m_survey);
    ASSERT_TRUE(mask.Creer(7, 0, true));
    mask.GetAdrReponse(2)->m_nEtat = kTvxStateAnswered;
    mask.GetAdrReponse(2)->m_dValeur = std::numeric_limits<double>::quiet_NaN();
    char szNan[32];
    std::snprintf(szNan, sizeof(szNan), "%.17g", std::numeric_limits<double>::quiet_NaN());
    const std::string line = std::string("\nR\t2\t4\t\t") + szNan + "\t0\t\n";
    const std::vector<BYTE> saved = Saved(mask);
    EXPECT_NE(std::search(saved.begin(), saved.end(), line.begin(), line.end()), saved.end());
    CMasqueSaisie loaded(&m_survey);
    Load(loaded, saved);
    EXPECT_TRUE(std::isnan(loaded.GetReponse(2)->m_dValeur));
}

TEST_F(SavedInterviewTest, NanComesBackWithItsSignAndPayload)
{
    struct NanCase
    {
        std::uint64_t nBits;
        const char* pszText;
        const char* pszWhy;
    };
    const NanCase kNans[] = {
        {0x7FF8000000000000, "nan", "the usual quiet NaN, in the runtime's spelling"},
        {0xFFF8000000000000, "-nan", "the NaN an arithmetic fault gives, its sign set"},
        {0x7FF0000000000001, "nan(0x1)", "a signalling NaN of the smallest payload"},
        {0xFFF0000000000123, "-nan(0x123)", "a signed NaN with a payload"},
        {0x7FFFFFFFFFFFFFFF, "nan(0xfffffffffffff)", "every mantissa bit set"},
    };
    for (const NanCase& c : kNans)
    {
        SCOPED_TRACE(c.pszWhy);
        double dValue = 0;
        std::memcpy(&dValue, &c.nBits, sizeof(dValue));
        CMasqueSaisie mask(&m_survey);
        ASSERT_TRUE(mask.Creer(7, 0, true));
        mask.GetAdrReponse(2)->m_nEtat = kTvxStateAnswered;
        mask.GetAdrReponse(2)->m_dValeur = dValue;
        const std::vector<BYTE> saved = Saved(mask);
        const std::string line = std::string("\nR\t2\t4\t\t") + c.pszText + "\t0\t\n";
        EXPECT_NE(std::search(saved.begin(), saved.end(), line.begin(), line.end()), saved.end())
            << "written as " << c.pszText;
        CMasqueSaisie loaded(&m_survey);
        Load(loaded, saved);
        const double dBack = loaded.GetReponse(2)->m_dValeur;
        std::uint64_t nBack = 0;
        std::memcpy(&nBack, &dBack, sizeof(nBack));
        EXPECT_EQ(nBack, c.nBits) << std::hex << "read back as 0x" << nBack << ", not 0x" << c.nBits;
        EXPECT_EQ(Saved(loaded), saved);
    }
}

TEST_F(SavedInterviewTest, TextsKeepWhatFollowsAnEmbeddedNul)
{
    const CString strText(std::wstring(L"before\0after\0", 13));
    CMasqueSaisie mask(&m_survey);
    ASSERT_TRUE(mask.Creer(7, 0, true));
    CMasqueEntryError* pError = nullptr;
    ASSERT_TRUE(mask.StockerReponseOuverte(3, strText, false, pError));
    ASSERT_EQ(mask.GetReponse(3)->m_strTexte.GetLength(), 13);
    EXPECT_EQ(mask.AddSemiOpen(m_survey.GetQuestion(1), strText), 1);
    mask.m_recordings.push_back(strText);
    mask.m_strIvrNumber = strText;
    mask.SetCallInfo(strText);
    const std::vector<BYTE> saved = Saved(mask);

    CMasqueSaisie loaded(&m_survey);
    Load(loaded, saved);
    EXPECT_EQ(loaded.GetReponse(3)->m_strTexte.GetLength(), 13) << "the answer's text";
    EXPECT_TRUE(loaded.GetReponse(3)->m_strTexte == strText) << "the answer's text";
    CListe semiOpens;
    loaded.GetQuestionSemiOpens(m_survey.GetQuestion(1), semiOpens);
    ASSERT_EQ(semiOpens.GetCount(), 1);
    EXPECT_TRUE(dynamic_cast<const CModalite*>(semiOpens.GetObjet(0))->m_strLibelle == strText) << "the semi-open text";
    CObjet::DeleteArray(semiOpens);
    EXPECT_EQ(loaded.m_recordings, std::vector<CString>{strText}) << "the recording's name";
    EXPECT_TRUE(loaded.m_strIvrNumber == strText) << "the IVR number";
    EXPECT_TRUE(loaded.m_strCallInfo == strText) << "the call information";
    EXPECT_EQ(Saved(loaded), saved);
}

TEST_F(SavedInterviewTest, ValueNotWrittenByTheMaskIsReadAsTheRuntimeReadsIt)
{
    // Texts a reader could round otherwise than the runtime: close to halfway between two doubles.
    for (const char* pszValue : {"23623120752e-11", "684916759e-10", "0.1", "+5", " 7.25", "1e999"})
    {
        SCOPED_TRACE(pszValue);
        const std::string text = "TVX-INTERVIEW 1\nINTERVIEW survey = \"12\" seed = \"1\" position = \"1\" language = "
                                 "\"0\" callid = \"0\" result = \"0\" subresult = \"0\" resultset = \"0\" completed = "
                                 "\"0\"\nR\t2\t4\t\t" +
                                 std::string(pszValue) + "\t0\t\n";
        CMasqueSaisie loaded(&m_survey);
        Load(loaded, Bytes(text));
        const std::wstring value(pszValue, pszValue + std::strlen(pszValue));
        const double dExpected = std::wcstod(value.c_str(), nullptr);
        const double dBack = loaded.GetReponse(2)->m_dValeur;
        EXPECT_EQ(std::memcmp(&dBack, &dExpected, sizeof(double)), 0) << "read as " << dBack << ", not " << dExpected;
    }
}

TEST_F(SavedInterviewTest, SaveUnderACallIdAndDeleteIt)
{
    const auto pMask = Interview();
    wchar_t szTemp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
    pMask->SetDirectory(szTemp);
    const CString strPath = pMask->GetSavedPath(4242);
    ASSERT_TRUE(pMask->Save(4242));
    CFile file;
    ASSERT_TRUE(file.Open(strPath.GetString(), CFile::modeRead));
    std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
    file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
    EXPECT_EQ(bytes, Saved(*pMask));
    EXPECT_TRUE(pMask->DeleteFile(4242, false));
    EXPECT_EQ(GetFileAttributesW(strPath.GetString()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(pMask->DeleteFile(4242, false)) << "nothing left to delete";
}

TEST_F(SavedInterviewTest, InterviewOfManyAnswersComesBackWholeAcrossItsPieces)
{
    // Many lines of every width, so the text is turned into UTF-8 in many pieces that end at lines of all
    // kinds; each answer holds something different, so a line lost, doubled or moved shows.
    constexpr int kQuestions = 600;
    std::string text = "TVX-SURVEY 1\nSURVEY id = \"12\"\n";
    for (int i = 0; i < kQuestions; ++i)
        text += "Q id = \"" + std::to_string(i + 1) + "\" name = \"Q" + std::to_string(i) + "\" kind = \"" +
                (i % 2 ? "open" : "multiple") + "\"\n";
    CQuestionnaire survey;
    LoadSurvey(survey, Bytes(text));
    ASSERT_EQ(survey.GetNbreQuestion(), kQuestions);
    const LPCWSTR kPieces[] = {L"", L"\\", L"\t", L"\r\n", L"\u00e9", L"\U0001F600", L"plain", L"\\t"};
    CMasqueSaisie mask(&survey);
    ASSERT_TRUE(mask.Creer(7, 0, true));
    for (int i = 0; i < kQuestions; i += 1 + i % 3) // some answers left in their first state
    {
        CReponse& reponse = *mask.GetAdrReponse(i);
        reponse.m_nEtat = i % 5 == 0 ? kTvxStateSetByAction : kTvxStateAnswered;
        for (int nCode = 0; nCode < i % 4; ++nCode)
            reponse.m_codes.push_back(i * 10 + nCode);
        if (i % 7) reponse.m_dValeur = (i % 2 ? -1.0 : 1.0) * i / 7.0 * std::pow(10.0, i % 40 - 20);
        reponse.m_nDuree = i % 6 ? i : -i;
        for (int nPiece = 0; nPiece <= i % 23; ++nPiece)
            reponse.m_strTexte += kPieces[(i + nPiece) % std::size(kPieces)];
    }
    EXPECT_EQ(mask.AddSemiOpen(survey.GetQuestion(0), L"Other\\ \U0001F600"), 1);
    const std::vector<BYTE> saved = Saved(mask);
    ASSERT_GT(saved.size(), 6u * 4096) << "the text spans several pieces";

    CMasqueSaisie loaded(&survey);
    Load(loaded, saved);
    for (int i = 0; i < kQuestions; ++i)
    {
        SCOPED_TRACE(testing::Message() << "answer " << i);
        const CReponse& expected = *mask.GetReponse(i);
        const CReponse& back = *loaded.GetReponse(i);
        EXPECT_EQ(back.m_nEtat, expected.m_nEtat);
        EXPECT_EQ(back.m_codes, expected.m_codes);
        EXPECT_EQ(std::memcmp(&back.m_dValeur, &expected.m_dValeur, sizeof(double)), 0);
        EXPECT_EQ(back.m_nDuree, expected.m_nDuree);
        EXPECT_EQ(back.m_strTexte, expected.m_strTexte);
    }
    EXPECT_EQ(Saved(loaded), saved);
}
