// What the old application port converts and writes without a connection: Jex's lists in the old
// keys, the transfer-to-agent results, the settings answers and the refusal log's lines.
#include "sessions/CAgentSetting.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/COldDialect.h"
#include "core/CPropertyList.h"
#include "framework/CStringConversion.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace
{

struct ListCase
{
    CString (*convert)(const CString&);
    const wchar_t* jex;
    const wchar_t* old;
    const char* why;
};

TEST(OldDialect, ListsTakeTheOldKeysNumberedFromOne)
{
    const ListCase kCases[] = {
        {&COldDialect::ConvertAgentList,
         L"Count = \"2\" FN0 = \"Ann\" FN1 = \"Bo\" ID0 = \"9\" ID1 = \"10\" LN0 = \"Lee\" LN1 = \"Nu\" UN0 = \"al\" ",
         L"Firstname1 = \"Ann\" Firstname2 = \"Bo\" Id1 = \"9\" Id2 = \"10\" Surname1 = \"Lee\" Surname2 = \"Nu\" ",
         "two agents; the user names stay behind"},
        {&COldDialect::ConvertAgentList, L"Count = \"1\" ID0 = \"9\" ID1 = \"10\" ",
         L"Firstname1 = \"\" Id1 = \"9\" Surname1 = \"\" ", "as many as Count says, missing names empty"},
        {&COldDialect::ConvertAgentList, L"Count = \"2000000000\" ID0 = \"9\" ",
         L"Firstname1 = \"\" Firstname2 = \"\" Id1 = \"9\" Id2 = \"0\" Surname1 = \"\" Surname2 = \"\" ",
         "a count beyond the list is cut to the list's size"},
        {&COldDialect::ConvertAgentList, L"", L"", "nothing"},
        {&COldDialect::ConvertLocationList, L"CNM0 = \"PC1\" Count = \"1\" ID0 = \"2\" NM0 = \"Booth\" ",
         L"Computer1 = \"PC1\" Id1 = \"2\" Name1 = \"Booth\" ", "one location"},
        {&COldDialect::ConvertLocationList, L"Count = \"x\" ID0 = \"2\" ", L"", "a count that is not a number: none"},
        {&COldDialect::ConvertOutboundGroupList, L"6 = \"Care\" 4 = \"Sales\" ",
         L"Id1 = \"4\" Id2 = \"6\" Name1 = \"Sales\" Name2 = \"Care\" ", "in the list's order"},
    };
    for (const ListCase& c : kCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.convert(c.jex).Str(), c.old);
    }
}

TEST(OldDialect, PauseListsAreNamesWithSeparatorsAndKeepTheirIds)
{
    CStringArray arrIds, arrNames;
    arrIds.Add(L"left over");
    EXPECT_EQ(COldDialect::ConvertPauseList(L"7 = \"Break\" 3 = \"Lunch\" ", arrIds, arrNames).Str(),
              L"Lunch\u00a7Break\u00a7");
    ASSERT_EQ(arrIds.GetSize(), 2);
    EXPECT_EQ(arrIds[0].Str(), L"3");
    EXPECT_EQ(arrIds[1].Str(), L"7");
    EXPECT_EQ(arrNames[1].Str(), L"Break");
    EXPECT_EQ(COldDialect::ConvertPauseList(L"", arrIds, arrNames).Str(), L"");
    EXPECT_EQ(arrIds.GetSize(), 0);
}

TEST(OldDialect, TransferResultsBecomeAFlagAndAText)
{
    const struct
    {
        int nResult;
        BOOL bTold;
        int nFlag;
        const wchar_t* text;
    } kCases[] = {
        {0, TRUE, 1, L""},
        {1, FALSE, 0, L""},
        {2, TRUE, 0, L"No ring"},
        {3, TRUE, 0, L"Busy"},
        {4, TRUE, 0, L"No answer"},
        {5, TRUE, 0, L"No free channel available"},
        {6, TRUE, 0, L"Agent not logged on"},
        {7, TRUE, 0, L"Agent not available"},
        {8, TRUE, 0, L" "},
        {9, TRUE, 0, L"Unknown error"},
        {10, TRUE, 0, L" "},
        {-1, TRUE, 0, L" "},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.nResult);
        int nFlag = -5;
        CString strText;
        EXPECT_EQ(COldDialect::ConvertTransferAgentResult(c.nResult, nFlag, strText), c.bTold);
        if (!c.bTold) continue;
        EXPECT_EQ(nFlag, c.nFlag);
        EXPECT_EQ(strText.Str(), c.text);
    }
}

TEST(AppPortRelays, SettingsAnswerTheValueInItsLimitsOrTheDefault)
{
    auto pSetting = std::make_shared<CAgentSetting>();
    pSetting->m_nId = 70;
    pSetting->m_strName = L"Volume";
    pSetting->m_nType = CSettingBase::typeNumber;
    pSetting->m_nMinimum = 0;
    pSetting->m_nMaximum = 10;
    pSetting->m_nValue = 50;
    pSetting->m_strValue = L"loud";
    pSetting->m_nDefaultValue = -4;
    pSetting->m_strDefault = L"quiet";
    pSetting->m_bIsDefaultValue = false;
    pSetting->m_bDeleted = true;
    EXPECT_EQ(CAppPortRelays::MakeSettingAnswer(pSetting).GetString().Str(),
              L"Del = \"1\" Id = \"70\" Name = \"Volume\" lValue = \"10\" strValue = \"loud\" ");
    pSetting->m_bIsDefaultValue = true;
    EXPECT_EQ(CAppPortRelays::MakeSettingAnswer(pSetting).GetString().Str(),
              L"Del = \"1\" Id = \"70\" Name = \"Volume\" lValue = \"0\" strValue = \"quiet\" ");
    EXPECT_EQ(CAppPortRelays::MakeSettingAnswer(nullptr).GetString().Str(), L"");

    const CAgentSetting saved = CAppPortRelays::MakeApplicationSetting(71, L"Colour", -2000000000, L"dark blue");
    EXPECT_EQ(saved.m_nType, CSettingBase::typeNumberAndText);
    EXPECT_EQ(CAppPortRelays::MakeSettingAnswer(std::make_shared<CAgentSetting>(saved)).GetString().Str(),
              L"Del = \"0\" Id = \"71\" Name = \"Colour\" lValue = \"-2000000000\" strValue = \"dark blue\" ");
}

// The log's clock, pinned: 23:30:05 UTC on 29 February 2024, shown one hour east of Greenwich.
void LateOnLeapDay(SYSTEMTIME& utc)
{
    utc = SYSTEMTIME{2024, 2, 4, 29, 23, 30, 5, 0};
}

TIME_ZONE_INFORMATION OneHourEast()
{
    TIME_ZONE_INFORMATION zone{};
    zone.Bias = -60;
    return zone;
}

class LogLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder =
            std::filesystem::temp_directory_path() / ("lumo-oldport-log-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::remove_all(m_folder);
        ASSERT_TRUE(std::filesystem::create_directories(m_folder));
        const TIME_ZONE_INFORMATION zone = OneHourEast();
        CAppPortRelays::SetClock(&LateOnLeapDay, &zone);
    }
    void TearDown() override
    {
        CAppPortRelays::SetClock(nullptr, nullptr);
        std::filesystem::remove_all(m_folder);
    }
    std::string Contents(const std::filesystem::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    std::filesystem::path m_folder;
};

TEST_F(LogLineTest, LinesAreAppendedWithTheLocalDateAndTime)
{
    const std::filesystem::path path = m_folder / "refused.log";
    {
        std::ofstream earlier(path, std::ios::binary);
        earlier << "earlier line\r\n";
    }
    const CString strPath = path.wstring().c_str();
    EXPECT_TRUE(CAppPortRelays::WriteLogLine(strPath, L"first"));
    EXPECT_TRUE(CAppPortRelays::WriteLogLine(strPath, L"second"));
    // Half past midnight on 1 March where the desktop runs, though still February in UTC.
    EXPECT_EQ(Contents(path), "earlier line\r\n00:30:05  01-03-2024 first\r\n00:30:05  01-03-2024 second\r\n");

    const std::filesystem::path fresh = m_folder / "fresh.log";
    EXPECT_TRUE(CAppPortRelays::WriteLogLine(fresh.wstring().c_str(), L"new"));
    EXPECT_EQ(Contents(fresh), "00:30:05  01-03-2024 new\r\n");
}

TEST_F(LogLineTest, NothingIsWrittenWithoutAFileThatOpens)
{
    EXPECT_FALSE(CAppPortRelays::WriteLogLine(L"", L"lost"));
    EXPECT_FALSE(CAppPortRelays::WriteLogLine(m_folder.wstring().c_str(), L"a folder is no file"));
    EXPECT_FALSE(CAppPortRelays::WriteLogLine((m_folder / "missing" / "x.log").wstring().c_str(), L"no folder"));
    EXPECT_TRUE(std::filesystem::is_empty(m_folder));
}

TEST(AppPortRelays, RefusalsNameTheNumbersInTheirPortsForm)
{
    EXPECT_EQ(CAppPortRelays::FormatRefusal(4, 32, 305419896, 12345, FALSE).Str(),
              L"Not relaying interview data for Survey <4>, Call <32> to Jex: Invalid Checksum when data was "
              L"received (Calculated 305419896 - should be 12345)");
    EXPECT_EQ(CAppPortRelays::FormatRefusal(-1, -2, 1, 2, FALSE).Str(),
              L"Not relaying interview data for Survey <4294967295>, Call <4294967294> to Jex: Invalid Checksum when "
              L"data was received (Calculated 1 - should be 2)");
    EXPECT_EQ(CAppPortRelays::FormatRefusal(-1, -2, 1, 2, TRUE).Str(),
              L"Not relaying interview data for Survey <-1>, Call <-2> to Jex: Invalid Checksum when data was "
              L"received (Calculated 1 - should be 2)");
}

} // namespace
