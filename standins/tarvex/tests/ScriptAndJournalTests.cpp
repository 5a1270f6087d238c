#include "framework/CArchiveException.h"
#include "framework/CHandleOwner.h"
#include "framework/CMemFile.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CArchiveVersion.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include "standins/tarvex/tests/TarvexTestSupport.h"
#include <cstdlib>
#include <fstream>
#include <iterator>

class ScriptAndJournalTest : public TarvexTest
{
protected:
    CQuestionnaire m_survey;
};

TEST_F(ScriptAndJournalTest, ScriptRecordMakesCreerFail)
{
    LoadSurvey(m_survey, DemoSurveyText("SCRIPT call = \"CMasqueSaisie::Creer\" result = \"0\" from = \"2\"\n"));
    CMasqueSaisie first(&m_survey), second(&m_survey);
    EXPECT_TRUE(first.Creer(7, 0, true));
    EXPECT_FALSE(second.Creer(8, 0, true)) << "from the second call on";
    EXPECT_EQ(JournalLinesStarting(L"CMasqueSaisie Creer"),
              (std::vector<std::wstring>{L"CMasqueSaisie Creer(7, 0, 1) -> true seed 7",
                                         L"CMasqueSaisie Creer(8, 0, 1) -> false"}));
}

TEST_F(ScriptAndJournalTest, SaveToFileFailsFromTheSecondCallAndSerializeThrows)
{
    LoadSurvey(m_survey, DemoSurveyText());
    CMasqueSaisie mask(&m_survey);
    ASSERT_TRUE(mask.Creer(7, 0, true));
    CTarvexScript::Set(L"CMasqueSaisie::SaveToFile", 0, 2);
    CMemFile file;
    EXPECT_TRUE(mask.SaveToFile(file));
    const ULONGLONG nWritten = file.GetLength();
    EXPECT_GT(nWritten, 0u);
    EXPECT_FALSE(mask.SaveToFile(file));
    EXPECT_FALSE(mask.SaveToFile(file));
    EXPECT_EQ(file.GetLength(), nWritten) << "a failed save writes nothing";
    EXPECT_EQ(CTarvexScript::GetCallCount(L"CMasqueSaisie::SaveToFile"), 3);

    CTarvexScript::Set(L"CMasqueSaisie::Serialize", 0, 1, true);
    file.SeekToBegin();
    int nCause = -1;
    try
    {
        CArchiveVersion ar(&file, CArchive::load);
        mask.Serialize(ar);
    }
    catch (CArchiveException* pError)
    {
        nCause = pError->m_cause;
        pError->Delete();
    }
    EXPECT_EQ(nCause, CArchiveException::genericException);
    EXPECT_EQ(JournalLinesStarting(L"CMasqueSaisie SaveToFile"),
              (std::vector<std::wstring>{L"CMasqueSaisie SaveToFile(file) -> true",
                                         L"CMasqueSaisie SaveToFile(file) -> false",
                                         L"CMasqueSaisie SaveToFile(file) -> false"}));
    EXPECT_EQ(JournalLinesStarting(L"CMasqueSaisie Serialize"),
              (std::vector<std::wstring>{L"CMasqueSaisie Serialize(load) -> throws CMasqueSaisie::Serialize"}));
}

TEST_F(ScriptAndJournalTest, ScriptedNumbersAndStoreRefusals)
{
    LoadSurvey(m_survey, DemoSurveyText());
    CMasqueSaisie mask(&m_survey);
    ASSERT_TRUE(mask.Creer(7, 0, true));
    CTarvexScript::Set(L"CMasqueSaisie::StockerReponseModalite", 0);
    CMasqueEntryError* pError = nullptr;
    EXPECT_FALSE(mask.StockerReponseModalite(1, false, {1}, pError));
    ASSERT_NE(pError, nullptr) << "a scripted refusal still hands out an error";
    delete pError;
    CTarvexScript::Set(L"CMasqueSaisie::EstReponseModaliteOk", 0);
    EXPECT_FALSE(mask.EstReponseModaliteOk(1, {1}, true, pError));
    ASSERT_NE(pError, nullptr) << "a scripted refusal of a check hands out an error";
    delete pError;
    CTarvexScript::Set(L"CMasqueSaisie::IsResponseByNameOK", 1);
    std::vector<long> codes;
    EXPECT_TRUE(mask.IsResponseByNameOK(1, L"Robot", codes, pError));
    EXPECT_EQ(pError, nullptr) << "a scripted pass hands out none";
    CTarvexScript::Set(L"CMasqueSaisie::AddSemiOpen", 0);
    EXPECT_EQ(mask.AddSemiOpen(m_survey.GetQuestion(1), L"Other"), 0);
    CListe semiOpens;
    mask.GetQuestionSemiOpens(m_survey.GetQuestion(1), semiOpens);
    EXPECT_EQ(semiOpens.GetCount(), 0) << "a refused semi-open answer is not kept";
    EXPECT_EQ(CTarvexScript::DecideNumber(L"Test::Number", 3.5), 3.5);
    CTarvexScript::Set(L"Test::Number", 42);
    EXPECT_EQ(CTarvexScript::DecideNumber(L"Test::Number", 3.5), 42);
}

TEST_F(ScriptAndJournalTest, FilledArraysCountUntilDeleted)
{
    LoadSurvey(m_survey, DemoSurveyText());
    const long nBefore = CTarvexJournal::GetLiveCount(L"CListe");
    CListe modalities;
    m_survey.GetQuestion(1)->DonnerModalites(modalities, true);
    ASSERT_EQ(modalities.GetCount(), 2);
    EXPECT_EQ(CTarvexJournal::GetLiveCount(L"CListe"), nBefore + 1)
        << "a test that stopped here would fail the fixture's count check";
    CObjet::DeleteArray(modalities);
    EXPECT_EQ(CTarvexJournal::GetLiveCount(L"CListe"), nBefore);
    EXPECT_EQ(modalities.GetCount(), 0);

    CListe positions; // visited positions: numbers, not objects
    positions.Add(3);
    positions.Add(4);
    CObjet::DeleteArray(positions);
    EXPECT_EQ(positions.GetCount(), 0) << "emptied without deleting its numbers";
}

// Run in a child process by the test below, with TVX_JOURNAL set: it leaves one mask alive on purpose.
TEST(TarvexJournalChild, LeavesAMaskAlive)
{
    if (!std::getenv("TVX_JOURNAL")) GTEST_SKIP() << "only as the child of JournalFileEndsWithTheCountsAtExit";
    CQuestionnaire* pSurvey = new CQuestionnaire; // both outlive the test, as in a program that leaks them
    LoadSurvey(*pSurvey, DemoSurveyText());
    CMasqueSaisie* pMask = new CMasqueSaisie(pSurvey);
    EXPECT_TRUE(pMask->Creer(7, 0, true));
}

TEST(TarvexJournal, JournalFileEndsWithTheCountsAtExit)
{
    if (std::getenv("TVX_JOURNAL")) GTEST_SKIP() << "not in the child";
    wchar_t szTemp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring journal =
        std::wstring(szTemp) + L"tvx-journal-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(journal.c_str());
    wchar_t szSelf[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, szSelf, MAX_PATH), 0u);
    std::wstring commandLine = L"\"" + std::wstring(szSelf) + L"\" --gtest_filter=TarvexJournalChild.*";

    ASSERT_TRUE(SetEnvironmentVariableW(L"TVX_JOURNAL", journal.c_str()));
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    const BOOL bStarted =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"TVX_JOURNAL", nullptr);
    ASSERT_TRUE(bStarted);
    CKernelHandle process(pi.hProcess), thread(pi.hThread);
    ASSERT_EQ(WaitForSingleObject(process, 120000), WAIT_OBJECT_0);
    DWORD dwExit = 1;
    GetExitCodeProcess(process, &dwExit);
    EXPECT_EQ(dwExit, 0u);

    std::ifstream file(std::string(CW2A(journal.c_str())), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    DeleteFileW(journal.c_str());
    EXPECT_NE(text.find("CMasqueSaisie Creer(7, 0, 1) -> true seed 7\n"), std::string::npos) << text;
    const std::string kLast = "counts CMasqueSaisie=1\n";
    ASSERT_GE(text.size(), kLast.size()) << text;
    EXPECT_EQ(text.substr(text.size() - kLast.size()), kLast) << "the journal ends with the live counts";
}
