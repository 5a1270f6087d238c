// Runs in a process of its own: the parsers keep the runtime's decimal point from their first
// use for the whole process, so the decimal-comma locale must be set before anything reads it.
#include "core/CStaticTools.h"
#include <gtest/gtest.h>
#include <clocale>
#include <cstring>

namespace
{

class DecimalCommaLocale : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_pszLocale = std::setlocale(LC_ALL, "German_Germany.1252"); }
    void SetUp() override
    {
        ASSERT_NE(s_pszLocale, nullptr) << "the German locale must exist for this test";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    static const char* s_pszLocale;
};
const char* DecimalCommaLocale::s_pszLocale = nullptr;

TEST_F(DecimalCommaLocale, PointTextsReadWithTheLocaleFlag)
{
    double d = 0;
    EXPECT_TRUE(CStaticTools::EstDouble(L"1.5", d, true));
    EXPECT_EQ(d, 1.5) << "the point is read as the locale's comma";
    EXPECT_EQ(CStaticTools::ToDouble(L" -2.25 ", true), -2.25);
    std::vector<double> values;
    CStaticTools::ReadStringSeparatorVectorDouble(L"1.5;2.5", L';', values, true);
    EXPECT_EQ(values, (std::vector<double>{1.5, 2.5}));
    d = 0;
    EXPECT_FALSE(CStaticTools::EstDouble(L"1.5", d, false)) << "without the flag the runtime wants its comma";
    EXPECT_TRUE(CStaticTools::EstDouble(L"1,5", d, false));
    EXPECT_EQ(d, 1.5);
}

TEST_F(DecimalCommaLocale, WrittenNumbersKeepThePoint)
{
    EXPECT_EQ(CStaticTools::FormatDouble(L"%.2f", 1234.5).Str(), L"1234.50");
    EXPECT_EQ(CStaticTools::ToStringForPrint(0.1, true).Str(), L"0.1") << "still the shortest text";
    EXPECT_EQ(CStaticTools::ToString(2.5, true).Str(), L"2.5");
    EXPECT_EQ(CStaticTools::DoubleToLocale(L"1.5", 0x0409, nullptr).Str(), L"1.5");
    EXPECT_EQ(CStaticTools::DoubleToLocale(L"1.5", 0x0407, nullptr).Str(), L"1,5");
}

} // namespace
