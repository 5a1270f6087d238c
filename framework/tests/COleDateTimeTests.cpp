// Dates and spans: the OLE date value with its odd convention before 1899-12-30, status rules,
// conversions from the platform's time structures and the arithmetic between dates and spans.
#include "framework/COleDateTime.h"
#include <gtest/gtest.h>
#include <cmath>

namespace
{
constexpr double kSecond = 1.0 / 86400.0;

struct Fields { int y, mo, d, h, mi, s; };

::testing::AssertionResult HasFields(const COleDateTime& dt, Fields f)
{
    const Fields got{dt.GetYear(), dt.GetMonth(), dt.GetDay(), dt.GetHour(), dt.GetMinute(), dt.GetSecond()};
    if (got.y == f.y && got.mo == f.mo && got.d == f.d && got.h == f.h && got.mi == f.mi && got.s == f.s)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "fields " << got.y << "-" << got.mo << "-" << got.d << " " << got.h << ":"
                                         << got.mi << ":" << got.s << ", expected " << f.y << "-" << f.mo << "-" << f.d
                                         << " " << f.h << ":" << f.mi << ":" << f.s;
}

struct SetCase { Fields in; bool valid; double value; const char* why; };
const SetCase kSetCases[] = {
    {{1899, 12, 30, 0, 0, 0}, true, 0.0, "the epoch is day 0"},
    {{1899, 12, 31, 12, 0, 0}, true, 1.5, "a day and a half later"},
    {{1899, 12, 29, 6, 0, 0}, true, -1.25, "before the epoch the fraction counts forward from the day"},
    {{1899, 12, 28, 18, 0, 0}, true, -2.75, "two days back, evening"},
    {{2021, 2, 3, 10, 20, 30}, true, 44230.0 + (10 * 3600 + 20 * 60 + 30) * kSecond, "an ordinary date"},
    {{2000, 2, 29, 0, 0, 0}, true, 36585.0, "29 February of a 400-year leap year"},
    {{100, 1, 1, 0, 0, 0}, true, -657434.0, "the first valid day"},
    {{9999, 12, 31, 23, 59, 59}, true, 2958465.0 + 86399 * kSecond, "the last valid second"},
    {{2021, 2, 30, 0, 0, 0}, false, 0.0, "30 February does not exist"},
    {{1900, 2, 29, 0, 0, 0}, false, 0.0, "1900 was not a leap year"},
    {{2021, 4, 31, 0, 0, 0}, false, 0.0, "April has 30 days"},
    {{2021, 13, 1, 0, 0, 0}, false, 0.0, "month 13"},
    {{2021, 0, 1, 0, 0, 0}, false, 0.0, "month 0"},
    {{2021, 1, 0, 0, 0, 0}, false, 0.0, "day 0"},
    {{2021, 1, 1, 24, 0, 0}, false, 0.0, "hour 24"},
    {{2021, 1, 1, 0, 60, 0}, false, 0.0, "minute 60"},
    {{2021, 1, 1, 0, 0, 60}, false, 0.0, "second 60"},
    {{99, 1, 1, 0, 0, 0}, false, 0.0, "years below 100 are outside the OLE range"},
    {{10000, 1, 1, 0, 0, 0}, false, 0.0, "year 10000"},
    {{2021, 1, 1, -1, 0, 0}, false, 0.0, "a negative hour"},
};

TEST(COleDateTime, SetDateTimeAcceptsOnlyFieldsThatFormADate)
{
    for (const auto& c : kSetCases)
    {
        SCOPED_TRACE(c.why);
        COleDateTime dt(1.0);
        dt.SetStatus(COleDateTime::null);
        const int result = dt.SetDateTime(c.in.y, c.in.mo, c.in.d, c.in.h, c.in.mi, c.in.s);
        EXPECT_EQ(result, c.valid ? 0 : 1);
        EXPECT_EQ(dt.GetStatus(), c.valid ? COleDateTime::valid : COleDateTime::invalid);
        EXPECT_NEAR(dt.m_dt, c.value, 1e-9);
        if (c.valid) EXPECT_TRUE(HasFields(dt, c.in));
        else EXPECT_EQ(dt.GetYear(), -1) << "an invalid date has no fields";
    }
}

TEST(COleDateTime, ConstructorsAndStatusRules)
{
    COleDateTime empty;
    EXPECT_EQ(empty.GetStatus(), COleDateTime::valid) << "the default date is the valid date 0";
    EXPECT_EQ(empty.m_dt, 0.0);

    COleDateTime nullDate;
    nullDate.SetStatus(COleDateTime::null);
    EXPECT_EQ(nullDate.GetYear(), COleDateTime::error);
    EXPECT_EQ(nullDate.GetDayOfWeek(), COleDateTime::error);
    SYSTEMTIME st{};
    EXPECT_FALSE(nullDate.GetAsSystemTime(st));

    COleDateTime otherNull(5.0);
    otherNull.SetStatus(COleDateTime::null);
    EXPECT_TRUE(nullDate == otherNull) << "null dates are alike whatever their value";
    COleDateTime bad(2021, 2, 30, 0, 0, 0);
    EXPECT_EQ(bad.GetStatus(), COleDateTime::invalid);
    EXPECT_FALSE(bad == bad) << "an invalid date equals nothing, not even itself";
    EXPECT_FALSE(bad < COleDateTime(1.0));
    EXPECT_FALSE(COleDateTime(1.0) < bad);

    EXPECT_EQ(COleDateTime(3000000.0).GetYear(), -1) << "a value after 9999 has no fields";
    COleDateTime assigned(2021, 2, 30, 0, 0, 0);
    assigned = 1.5;
    EXPECT_EQ(assigned.GetStatus(), COleDateTime::valid) << "assigning a value makes the date valid";
}

TEST(COleDateTime, FieldsRoundToTheNearestSecondLikeThePlatform)
{
    const double values[] = {0.0, 1.5, -1.5, -0.25, -1.25, 0.99999999, 0.49 * kSecond, 0.5 * kSecond, 1.6 * kSecond,
                             -1.0000001, 44230.43090277778, 2958465.99999, -657434.0, 36585.999994};
    for (double v : values)
    {
        SCOPED_TRACE(v);
        SYSTEMTIME mine{}, platform{};
        ASSERT_TRUE(COleDateTime(v).GetAsSystemTime(mine));
        ASSERT_TRUE(VariantTimeToSystemTime(v, &platform));
        EXPECT_EQ(mine.wYear, platform.wYear);
        EXPECT_EQ(mine.wMonth, platform.wMonth);
        EXPECT_EQ(mine.wDay, platform.wDay);
        EXPECT_EQ(mine.wHour, platform.wHour);
        EXPECT_EQ(mine.wMinute, platform.wMinute);
        EXPECT_EQ(mine.wSecond, platform.wSecond);
        // Wine takes the weekday before rounding up to the next day; ours is the weekday of the date shown.
        if (std::llround(std::fabs(v - std::trunc(v)) * 86400.0) < 86400) EXPECT_EQ(mine.wDayOfWeek, platform.wDayOfWeek);
    }
}

TEST(COleDateTime, DayOfWeekAndDayOfYear)
{
    struct Case { Fields f; int dow; int doy; };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 7, 364},  // a Saturday
        {{1899, 12, 29, 23, 0, 0}, 6, 363},
        {{2021, 2, 3, 0, 0, 0}, 4, 34},     // a Wednesday
        {{2020, 12, 31, 0, 0, 0}, 5, 366},  // a leap year's last day, Thursday
        {{2023, 1, 1, 0, 0, 0}, 1, 1},      // a Sunday
    };
    for (const auto& c : cases)
    {
        const COleDateTime dt(c.f.y, c.f.mo, c.f.d, c.f.h, c.f.mi, c.f.s);
        EXPECT_EQ(dt.GetDayOfWeek(), c.dow) << c.f.y << "-" << c.f.mo << "-" << c.f.d;
        EXPECT_EQ(dt.GetDayOfYear(), c.doy) << c.f.y << "-" << c.f.mo << "-" << c.f.d;
    }
}

TEST(COleDateTime, RoundTripsThroughSystemTime)
{
    SYSTEMTIME in{};
    in.wYear = 1850;
    in.wMonth = 7;
    in.wDay = 14;
    in.wHour = 21;
    in.wMinute = 5;
    in.wSecond = 9;
    in.wMilliseconds = 700;  // ignored, as by the platform conversion
    const COleDateTime dt(in);
    ASSERT_EQ(dt.GetStatus(), COleDateTime::valid);
    EXPECT_LT(dt.m_dt, 0.0);
    SYSTEMTIME out{};
    ASSERT_TRUE(dt.GetAsSystemTime(out));
    EXPECT_EQ(out.wYear, 1850);
    EXPECT_EQ(out.wMonth, 7);
    EXPECT_EQ(out.wDay, 14);
    EXPECT_EQ(out.wHour, 21);
    EXPECT_EQ(out.wMinute, 5);
    EXPECT_EQ(out.wSecond, 9);
    EXPECT_EQ(out.wMilliseconds, 0);

    SYSTEMTIME feb30 = in;
    feb30.wMonth = 2;
    feb30.wDay = 30;
    EXPECT_EQ(COleDateTime(feb30).GetStatus(), COleDateTime::invalid) << "the platform would move it to March";
}

TEST(COleDateTime, FileTimeIsTakenAsUtcAndHeldAsLocalTime)
{
    // Built from local fields through the system's own conversion, so any time zone gives them back.
    SYSTEMTIME local{};
    local.wYear = 2021;
    local.wMonth = 6;
    local.wDay = 15;
    local.wHour = 13;
    local.wMinute = 45;
    local.wSecond = 10;
    FILETIME localFt{}, utcFt{};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localFt));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localFt, &utcFt));
    const COleDateTime dt(utcFt);
    ASSERT_EQ(dt.GetStatus(), COleDateTime::valid);
    EXPECT_TRUE(HasFields(dt, {2021, 6, 15, 13, 45, 10}));

    FILETIME beyond{0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(COleDateTime(beyond).GetStatus(), COleDateTime::invalid);
}

TEST(COleDateTime, TimeTIsTakenAsUtcAndHeldAsLocalTime)
{
    const __time64_t t = 1611309600;  // 2021-01-22 10:00:00 UTC
    // The same instant as a file time: 100-ns units since 1601.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(t) + 11644473600ULL) * 10000000ULL;
    const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const COleDateTime fromTime(t), fromFileTime(ft);
    ASSERT_EQ(fromTime.GetStatus(), COleDateTime::valid);
    EXPECT_NEAR(fromTime.m_dt, fromFileTime.m_dt, 1e-9) << "both conversions give the same local time";
    EXPECT_EQ(COleDateTime(static_cast<__time64_t>(-1)).GetStatus(), COleDateTime::invalid);
}

TEST(COleDateTime, CurrentTimeIsValidAndWholeSeconds)
{
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const COleDateTime now = COleDateTime::GetCurrentTime();
    ASSERT_EQ(now.GetStatus(), COleDateTime::valid);
    const double seconds = now.m_dt * 86400.0;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
    const COleDateTime start(before);
    EXPECT_LT(std::fabs((now - start).GetTotalSeconds()), 120.0) << "the current time is the local clock";
}

TEST(COleDateTime, VariantConversion)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = 44230.5;
    EXPECT_EQ(COleDateTime(v).m_dt, 44230.5);
    v.vt = VT_R8;
    v.dblVal = -1.25;
    EXPECT_EQ(COleDateTime(v).m_dt, -1.25);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"not a date");
    EXPECT_EQ(COleDateTime(v).GetStatus(), COleDateTime::invalid);
    VariantClear(&v);
}

struct ArithmeticCase { Fields start; double days; Fields expected; const char* why; };
const ArithmeticCase kArithmeticCases[] = {
    {{1899, 12, 30, 6, 0, 0}, -0.5, {1899, 12, 29, 18, 0, 0}, "back across the epoch"},
    {{1899, 12, 29, 18, 0, 0}, 0.5, {1899, 12, 30, 6, 0, 0}, "forward across the epoch"},
    {{1899, 12, 29, 6, 0, 0}, -1.0, {1899, 12, 28, 6, 0, 0}, "a whole day before the epoch keeps the time"},
    {{1899, 12, 29, 6, 0, 0}, 0.25, {1899, 12, 29, 12, 0, 0}, "hours added before the epoch move forward"},
    {{1800, 3, 1, 0, 0, 0}, -1.0, {1800, 2, 28, 0, 0, 0}, "1800 was not a leap year"},
    {{2020, 12, 31, 23, 59, 59}, 1 * kSecond, {2021, 1, 1, 0, 0, 0}, "one second into the new year"},
    {{1899, 12, 30, 0, 0, 0}, -1 * kSecond, {1899, 12, 29, 23, 59, 59}, "one second before the epoch"},
    {{2021, 3, 1, 12, 0, 0}, -45000.25, {1897, 12, 16, 6, 0, 0}, "a long way back"},
};

TEST(COleDateTime, ArithmeticWithSpansIsLinearAcrossTheEpoch)
{
    for (const auto& c : kArithmeticCases)
    {
        SCOPED_TRACE(c.why);
        const COleDateTime start(c.start.y, c.start.mo, c.start.d, c.start.h, c.start.mi, c.start.s);
        ASSERT_EQ(start.GetStatus(), COleDateTime::valid);
        const COleDateTime sum = start + COleDateTimeSpan(c.days);
        EXPECT_EQ(sum.GetStatus(), COleDateTime::valid);
        EXPECT_TRUE(HasFields(sum, c.expected));
        EXPECT_TRUE(HasFields(sum - COleDateTimeSpan(c.days), c.start)) << "and back";
        EXPECT_NEAR((sum - start).m_span, c.days, 1e-8) << "the difference is the span";
        COleDateTime moved = start;
        moved += COleDateTimeSpan(c.days);
        EXPECT_TRUE(HasFields(moved, c.expected)) << "+= as +";
        EXPECT_EQ(c.days > 0, start < sum) << "comparison follows time, not the raw value";
    }
}

TEST(COleDateTime, ComparisonUsesTimeOrderBeforeTheEpoch)
{
    const COleDateTime morning(1899, 12, 29, 6, 0, 0);   // -1.25
    const COleDateTime evening(1899, 12, 29, 18, 0, 0);  // -1.75
    EXPECT_LT(evening.m_dt, morning.m_dt) << "raw values run backwards within a day before the epoch";
    EXPECT_TRUE(morning < evening);
    EXPECT_TRUE(evening > morning);
    EXPECT_TRUE(morning <= morning);
    EXPECT_TRUE(morning >= morning);
    EXPECT_TRUE(morning != evening);
}

TEST(COleDateTime, ArithmeticKeepsNullAndInvalidAndChecksTheRange)
{
    COleDateTime nullDate;
    nullDate.SetStatus(COleDateTime::null);
    const COleDateTime bad(2021, 2, 30, 0, 0, 0);
    const COleDateTime good(2021, 1, 1, 0, 0, 0);
    COleDateTimeSpan nullSpan;
    nullSpan.SetStatus(COleDateTimeSpan::null);

    EXPECT_EQ((nullDate + COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::null);
    EXPECT_EQ((bad + COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ((good + nullSpan).GetStatus(), COleDateTime::null);
    EXPECT_EQ((good - nullDate).GetStatus(), COleDateTimeSpan::null);
    EXPECT_EQ((good - bad).GetStatus(), COleDateTimeSpan::invalid);
    EXPECT_EQ((COleDateTime(9999, 12, 31, 0, 0, 0) + COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::invalid)
        << "past 9999";
    EXPECT_EQ((COleDateTime(100, 1, 1, 0, 0, 0) - COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::invalid)
        << "before year 100";
}

struct SpanCase { double span; LONG d, h, mi, s; double totalHours; const char* why; };
const SpanCase kSpanCases[] = {
    {1.5, 1, 12, 0, 0, 36, "a day and a half"},
    {-1.25, -1, -6, 0, 0, -30, "negative spans give negative fields"},
    {(3600 + 2 * 60 + 3) * kSecond, 0, 1, 2, 3, 1, "hours, minutes, seconds"},
    {86399.6 * kSecond, 1, 0, 0, 0, 24, "23:59:59.6 rounds to a whole day"},
    {0.4 * kSecond, 0, 0, 0, 0, 0, "below half a second is nothing"},
};

TEST(COleDateTimeSpan, FieldsAndTotals)
{
    for (const auto& c : kSpanCases)
    {
        SCOPED_TRACE(c.why);
        const COleDateTimeSpan span(c.span);
        EXPECT_EQ(span.GetStatus(), COleDateTimeSpan::valid);
        EXPECT_EQ(span.GetDays(), c.d);
        EXPECT_EQ(span.GetHours(), c.h);
        EXPECT_EQ(span.GetMinutes(), c.mi);
        EXPECT_EQ(span.GetSeconds(), c.s);
        EXPECT_EQ(span.GetTotalHours(), c.totalHours);
        EXPECT_EQ(span.GetTotalSeconds(), std::round(c.span * 86400.0));
    }
    const COleDateTimeSpan parts(2, 3, 4, 5);
    EXPECT_NEAR(parts.m_span, 2 + 3 / 24.0 + 4 / 1440.0 + 5 / 86400.0, 1e-12);
    EXPECT_EQ(parts.GetTotalMinutes(), 2 * 1440 + 3 * 60 + 4);
    EXPECT_EQ(parts.GetTotalDays(), 2);
}

TEST(COleDateTimeSpan, OutsideTheRangeIsInvalid)
{
    struct Case { double span; bool valid; };
    const Case cases[] = {{3615897.0, true}, {-3615897.0, true}, {3615897.5, false}, {-3615898.0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(COleDateTimeSpan(c.span).GetStatus(), c.valid ? COleDateTimeSpan::valid : COleDateTimeSpan::invalid)
            << c.span;
    EXPECT_EQ(COleDateTimeSpan(3615898, 0, 0, 0).GetStatus(), COleDateTimeSpan::invalid);
    EXPECT_EQ((COleDateTimeSpan(3615000.0) + COleDateTimeSpan(1000.0)).GetStatus(), COleDateTimeSpan::invalid)
        << "a sum beyond the range";
    // Dates far enough apart give a difference the span cannot hold.
    const COleDateTimeSpan widest = COleDateTime(9999, 12, 31, 23, 59, 59) - COleDateTime(100, 1, 1, 0, 0, 0);
    EXPECT_EQ(widest.GetStatus(), COleDateTimeSpan::invalid);
    EXPECT_EQ((COleDateTime(9999, 1, 1, 0, 0, 0) - COleDateTime(100, 1, 1, 0, 0, 0)).GetStatus(),
              COleDateTimeSpan::valid);
}

TEST(COleDateTimeSpan, ArithmeticAndComparison)
{
    const COleDateTimeSpan a(1.5), b(0.25);
    EXPECT_EQ((a + b).m_span, 1.75);
    EXPECT_EQ((a - b).m_span, 1.25);
    EXPECT_EQ((-a).m_span, -1.5);
    COleDateTimeSpan c = a;
    c -= b;
    c += b;
    EXPECT_TRUE(c == a);
    EXPECT_TRUE(b < a);
    EXPECT_TRUE(a > b);
    EXPECT_TRUE(a >= a);
    EXPECT_TRUE(a != b);
    COleDateTimeSpan bad(5e7);
    EXPECT_FALSE(bad == bad);
    EXPECT_EQ((a + bad).GetStatus(), COleDateTimeSpan::invalid);
}
} // namespace
