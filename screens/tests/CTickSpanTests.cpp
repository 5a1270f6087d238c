// CTickSpan: building a span from its parts, its parts and totals of both signs, and its formatting
// with the day and sub-second codes.
#include "screens/CTickSpan.h"
#include "TickTestResources.h"
#include <gtest/gtest.h>
#include <climits>
#include <string>

namespace
{
CTickSpan SpanOf(LONG d, int h, int mi, int s, int ms = 0, int us = 0, int ns = 0)
{
    CTickSpan span;
    span.SetSpan(d, h, mi, s, ms, us, ns);
    return span;
}

std::wstring Text(const CString& s)
{
    return s.GetString();
}
} // namespace

TEST(TickSpan, SetSpanSumsItsPartsAndRoundsNanoSecondsAwayFromZero)
{
    struct
    {
        LONG d;
        int h, mi, s, ms, us, ns;
        LONGLONG ticks;
        const char* why;
    } const cases[] = {
        {0, 0, 0, 0, 0, 0, 50, 1, "+50 ns is one tick"},
        {0, 0, 0, 0, 0, 0, -50, -1, "-50 ns is minus one tick"},
        {0, 0, 0, 0, 0, 0, 49, 0, "+49 ns rounds to none"},
        {0, 0, 0, 0, 0, 0, -49, 0, "-49 ns rounds to none"},
        {0, 0, 0, 0, 0, 0, 150, 2, "+150 ns away from zero"},
        {0, 0, 0, 0, 0, 0, -150, -2, "-150 ns away from zero"},
        {1, 2, 3, 4, 5, 6, 700, 937840050067LL, "every part"},
        {0, -1, 30, 0, 0, 0, 0, -18000000000LL, "parts of mixed signs simply add"},
        {0, 0, 0, 83, 500, 0, 0, 835000000, "83.5 s"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const CTickSpan span = SpanOf(c.d, c.h, c.mi, c.s, c.ms, c.us, c.ns);
        EXPECT_EQ(span.GetStatus(), CTickSpan::valid);
        EXPECT_EQ(span.GetTicks(), c.ticks);
    }
}

TEST(TickSpan, SetSpanOutOfTheTickRangeIsInvalid)
{
    EXPECT_EQ(SpanOf(LONG_MAX, 0, 0, 0).GetStatus(), CTickSpan::invalid) << "days times 864e9 overflow";
    EXPECT_EQ(SpanOf(LONG_MIN, 0, 0, 0).GetStatus(), CTickSpan::invalid);
    EXPECT_EQ(SpanOf(10000000, 100000000, 0, 0).GetStatus(), CTickSpan::invalid) << "the sum overflows";
    EXPECT_EQ(SpanOf(10000000, 0, 0, 0).GetStatus(), CTickSpan::valid) << "27,000 years still fit";
}

TEST(TickSpan, PartsAndTotalsTruncateTowardZero)
{
    const LONGLONG expected[] = {1, 2, 3, 4, 5, 6, 700, 1, 26, 1563, 93784, 93784005, 93784005006LL, 93784005006700LL};
    for (const int sign : {1, -1})
    {
        SCOPED_TRACE(sign);
        const CTickSpan span = SpanOf(sign, sign * 2, sign * 3, sign * 4, sign * 5, sign * 6, sign * 700);
        const LONGLONG actual[] = {span.GetDays(),
                                   span.GetHours(),
                                   span.GetMinutes(),
                                   span.GetSeconds(),
                                   span.GetMilliSeconds(),
                                   span.GetMicroSeconds(),
                                   span.GetNanoSeconds(),
                                   span.GetTotalDays(),
                                   span.GetTotalHours(),
                                   span.GetTotalMinutes(),
                                   span.GetTotalSeconds(),
                                   span.GetTotalMilliSeconds(),
                                   span.GetTotalMicroSeconds(),
                                   span.GetTotalNanoSeconds()};
        for (size_t i = 0; i < std::size(expected); ++i)
            EXPECT_EQ(actual[i], sign * expected[i]) << "getter " << i;
    }
}

TEST(TickSpan, TotalNanoSecondsSaturateBeyondTheirRange)
{
    EXPECT_EQ(CTickSpan(LLONG_MAX / 100).GetTotalNanoSeconds(), LLONG_MAX / 100 * 100);
    EXPECT_EQ(CTickSpan(LLONG_MAX / 100 + 1).GetTotalNanoSeconds(), LLONG_MAX);
    EXPECT_EQ(CTickSpan(LLONG_MIN / 100 - 1).GetTotalNanoSeconds(), LLONG_MIN);
}

TEST(TickSpan, FormatShowsTheAbsoluteParts)
{
    struct
    {
        CTickSpan span;
        const wchar_t* format;
        const wchar_t* text;
    } const cases[] = {
        {SpanOf(0, 0, 0, 83, 500), L"%M:%S.%s", L"01:23.500"},
        {SpanOf(0, 0, 0, -83, -500), L"%M:%S.%s", L"01:23.500"},
        {SpanOf(2, 3, 0, 0), L"%#D %H", L"2 03"},
        {SpanOf(2, 3, 4, 5, 6, 7, 800), L"%D|%#D|%s|%#s|%u|%#u|%n|%#n", L"2|2|006|6|007|7|800|800"},
        {SpanOf(-2, -3, -4, -5, -6, -7, -800), L"%D|%#D|%s|%#s|%u|%#u|%n|%#n", L"2|2|006|6|007|7|800|800"},
        {SpanOf(0, 23, 59, 59, 999, 999, 900), L"%H:%M:%S %Y-%m-%d", L"23:59:59 1900-01-01"},
        {SpanOf(400, 0, 0, 0), L"%D %j", L"400 036"}, // a span past a year shows the day of year too
        {SpanOf(0, 0, 0, 0), L"%D %H:%M:%S.%s%u%n", L"0 00:00:00.000000000"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.format)) + " " + std::to_string(c.span.GetTicks()));
        EXPECT_EQ(Text(c.span.Format(c.format)), c.text);
    }
}

TEST(TickSpan, FormatOfNullAndInvalidAndByStringId)
{
    const CTickSpan span = SpanOf(2, 3, 4, 5, 6);
    EXPECT_EQ(Text(span.Format(IDS_TICK_TEST_SPAN_FORMAT)), L"2 03:04:05.006");
    EXPECT_EQ(Text(span.Format(61594u)), L"") << "a missing string is an empty format";
    EXPECT_EQ(Text(CTickSpan(0, CTickSpan::null).Format(L"%H")), L"");
    EXPECT_EQ(Text(CTickSpan(0, CTickSpan::invalid).Format(L"%H")), L"") << "string 61594 is not in the table";
    EXPECT_EQ(Text(span.Format(static_cast<LPCWSTR>(nullptr))), L"");
}
