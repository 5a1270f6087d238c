#include "standins/tarvex/tests/TarvexTestSupport.h"
#include "framework/CArchiveException.h"
#include "framework/CMemFile.h"
#include "standins/tarvex/CArchiveVersion.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include <cstdlib>
#include <fstream>
#include <iterator>

std::vector<BYTE> Bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

std::vector<BYTE> DemoSurveyText(const std::string& extraLines)
{
    const char* pszPath = std::getenv("TVX_DEMO_SURVEY");
    EXPECT_NE(pszPath, nullptr) << "TVX_DEMO_SURVEY names the demo survey";
    std::ifstream file(pszPath ? pszPath : "", std::ios::binary);
    EXPECT_TRUE(file.good()) << "cannot read " << (pszPath ? pszPath : "");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return Bytes(text + extraLines);
}

void LoadSurvey(CQuestionnaire& survey, const std::vector<BYTE>& text, LPCWSTR pszFolder)
{
    std::vector<BYTE> copy = text;
    CMemFile file(copy.data(), static_cast<UINT>(copy.size()));
    CArchiveVersion ar(&file, CArchive::load, 4096);
    survey.Serialize(ar, pszFolder);
}

int LoadSurveyError(CQuestionnaire& survey, const std::vector<BYTE>& text, CString* pstrReason)
{
    try
    {
        LoadSurvey(survey, text);
    }
    catch (CArchiveException* pError)
    {
        const int nCause = pError->m_cause;
        if (pstrReason) *pstrReason = pError->m_strFileName;
        pError->Delete();
        return nCause;
    }
    return -1;
}

std::vector<std::wstring> JournalLinesStarting(LPCWSTR pszPrefix)
{
    std::vector<std::wstring> lines;
    for (const CString& strLine : CTarvexJournal::GetLines())
        if (strLine.Find(pszPrefix) == 0) lines.emplace_back(strLine.GetString());
    return lines;
}

void TarvexTest::SetUp()
{
    CTarvexScript::Reset();
    CTarvexJournal::Clear();
    m_countsAtStart = CTarvexJournal::GetLiveCounts();
}

void TarvexTest::TearDown()
{
    CTarvexScript::Reset();
    CString strExpected = L"counts";
    for (const auto& [name, count] : m_countsAtStart)
        strExpected.AppendFormat(L" %s=%ld", name.GetString(), count);
    EXPECT_EQ(std::wstring(CTarvexJournal::FormatLiveCounts().GetString()), std::wstring(strExpected.GetString()))
        << "objects the engine handed out were not all freed";
}
