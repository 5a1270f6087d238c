#include "core/NaturalCompare.h"
#include <gtest/gtest.h>

namespace
{

int Sign(int n)
{
    return (n > 0) - (n < 0);
}

struct NaturalCase
{
    const wchar_t* a;
    const wchar_t* b;
    BOOL ignoreCase;
    int sign;
    const char* why;
};
const NaturalCase kNaturalCases[] = {
    {L"file9", L"file10", TRUE, -1, "digit runs by value"},
    {L"file10", L"file9", TRUE, 1, "and the other way round"},
    {L"file10", L"file10", TRUE, 0, "equal"},
    {L"a25", L"a24", TRUE, 1, "equal length: the first differing digit"},
    {L"abc", L"ABD", TRUE, -1, "case ignored"},
    {L"abc", L"ABC", TRUE, 0, "case ignored: equal"},
    {L"abc", L"ABC", FALSE, 1, "with case: lower case sorts after upper"},
    {L"a 1", L"a1", TRUE, 0, "blanks are skipped"},
    {L"x0", L"x", TRUE, 1, "zeros skipped in the last step make the text larger"},
    {L"x", L"x00", TRUE, -1, "and smaller the other way round"},
    {L"x01", L"x1", TRUE, 0, "zeros before a digit run do not count"},
    {L"", L"a", TRUE, -1, "empty before text"},
    {L"", L"", TRUE, 0, "both empty"},
    {L"a", L"", TRUE, 1, "text after empty"},
    {L"item 2b", L"item 2a", TRUE, 1, "after equal numbers the letters decide"},
    {L"99", L"100", TRUE, -1, "a shorter run is smaller"},
};

TEST(NaturalCompare, OrdersAsPeopleSort)
{
    for (const auto& c : kNaturalCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Sign(NaturalCompare(c.a, c.b, c.ignoreCase)), c.sign);
    }
    EXPECT_EQ(Sign(NaturalCompare(nullptr, L"a", TRUE)), -1) << "a null text reads as empty";
}

} // namespace
