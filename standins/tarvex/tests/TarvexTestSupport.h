#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CQuestionnaire.h"
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

// The bytes of the demo survey (tests/data/demo.tvx), with extra lines appended.
std::vector<BYTE> DemoSurveyText(const std::string& extraLines = std::string());
// Loads survey text through an archive over a memory file, as the survey cache does.
void LoadSurvey(CQuestionnaire& survey, const std::vector<BYTE>& text, LPCWSTR pszFolder = L"");
// The cause of the archive exception loading raises, or -1 when it loads; the exception's name text
// (the reason) goes to pstrReason.
int LoadSurveyError(CQuestionnaire& survey, const std::vector<BYTE>& text, CString* pstrReason = nullptr);
std::vector<BYTE> Bytes(const std::string& text);
// Journal lines that start with the prefix, in order.
std::vector<std::wstring> JournalLinesStarting(LPCWSTR pszPrefix);

// Every test starts with no scripted answers and an empty journal, and must give back every object the
// engine handed out: the counts at the end equal those at the start.
class TarvexTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::map<CString, long> m_countsAtStart;
};
