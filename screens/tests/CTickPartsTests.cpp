// Calendar parts and 100-ns ticks: the edge cases of the conversion both ways, and random dates and
// tick counts checked against the system's own FILETIME conversions.
#include "screens/CTickParts.h"
#include "TickTestValues.h"
#include <gtest/gtest.h>
#include <climits>
#include <cstdio>
#include <random>
#include <string>

using namespace TickTestValues;

namespace
{
CTickParts Parts(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0, int us = 0, int ns = 0)
{
    return {y, mo, d, h, mi, s, ms, us, ns};
}

CTickParts Decoded(CTickParts p, int dayOfYear, int dayOfWeek)
{
    p.nDayOfYear = dayOfYear;
    p.nDayOfWeek = dayOfWeek;
    return p;
}

std::string Text(const CTickParts& p)
{
    char text[96];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d.%03d %03d %03d doy %d dow %d", p.nYear, p.nMonth,
                  p.nDay, p.nHour, p.nMinute, p.nSecond, p.nMilliSecond, p.nMicroSecond, p.nNanoSecond, p.nDayOfYear,
                  p.nDayOfWeek);
    return text;
}

constexpr LONGLONG kUnchecked = -1;

struct PartsCase
{
    CTickParts in;
    bool converts;
    LONGLONG ticks;     // kUnchecked: only the decoded parts are compared
    CTickParts decoded; // what the ticks decode to, when it converts
    const char* why;
};

const PartsCase kPartsCases[] = {
    {Parts(1601, 1, 1), true, 0, Decoded(Parts(1601, 1, 1), 1, 2), "the origin is tick 0, a Monday"},
    {Parts(1601, 1, 2), true, 864000000000LL, Decoded(Parts(1601, 1, 2), 2, 3), "one day later"},
    {Parts(1601, 1, 1, 0, 0, 0, 0, 0, 1999999), true, 20000, Decoded(Parts(1601, 1, 1, 0, 0, 0, 2), 1, 2),
     "1,999,999 ns round to 20,000 ticks"},
    {Parts(1601, 1, 1, 0, 0, 0, 0, 0, 49), true, 0, Decoded(Parts(1601, 1, 1), 1, 2), "49 ns round down"},
    {Parts(1601, 1, 1, 0, 0, 0, 0, 0, 50), true, 1, Decoded(Parts(1601, 1, 1, 0, 0, 0, 0, 0, 100), 1, 2),
     "50 ns round up"},
    {Parts(1601, 1, 1, 0, 0, 0, 0, 0, 949), true, 9, Decoded(Parts(1601, 1, 1, 0, 0, 0, 0, 0, 900), 1, 2),
     "949 ns are 9 ticks"},
    {Parts(1601, 1, 1, 0, 0, 0, 0, 0, 950), true, 10, Decoded(Parts(1601, 1, 1, 0, 0, 0, 0, 1), 1, 2),
     "950 ns carry into a microsecond"},
    {Parts(1601, 1, 1, 24), true, 864000000000LL, Decoded(Parts(1601, 1, 2), 2, 3), "hour 24 is the next day"},
    {Parts(2020, 13, 1), false, 0, {}, "month 13"},
    {Parts(2020, 0, 1), false, 0, {}, "month 0"},
    {Parts(29001, 1, 1), false, 0, {}, "year 29001"},
    {Parts(2020, 1, 1, -1), false, 0, {}, "hour -1 carries 4,294,967,295 hours out of the 64-bit range"},
    {Parts(-29000, 1, 1), false, 0, {}, "year -29000 lies below the 64-bit range"},
    {Parts(2020, 1, 1, 0, -1), true, kUnchecked, Decoded(Parts(10186, 2, 15, 4, 15), 46, 4),
     "minute -1 carries 4,294,967,295 minutes and stays in range"},
    {Parts(29000, 12, 31, 23, 59, 59, 999, 999, 900), true, kUnchecked,
     Decoded(Parts(29000, 12, 31, 23, 59, 59, 999, 999, 900), 365, 4), "the last instant of year 29000"},
    {Parts(2020, 2, 30), true, kUnchecked, Decoded(Parts(2020, 3, 1), 61, 1), "30 February 2020 runs into March"},
    {Parts(2020, 2, 28, 47, 59, 59, 999, 999, 999), true, kUnchecked, Decoded(Parts(2020, 3, 1), 61, 1),
     "every part carries up to the day"},
    {Parts(2000, 2, 29), true, kUnchecked, Decoded(Parts(2000, 2, 29), 60, 3), "2000 is leap"},
    {Parts(2000, 3, 1), true, kUnchecked, Decoded(Parts(2000, 3, 1), 61, 4), "the day after 29 February 2000"},
    {Parts(2024, 2, 29), true, kUnchecked, Decoded(Parts(2024, 2, 29), 60, 5), "2024 is leap"},
    {Parts(2024, 3, 1), true, kUnchecked, Decoded(Parts(2024, 3, 1), 61, 6), "the day after 29 February 2024"},
    {Parts(1900, 3, 1), true, kUnchecked, Decoded(Parts(1900, 3, 1), 60, 5), "1900 is not leap"},
    {Parts(1900, 2, 29), true, kUnchecked, Decoded(Parts(1900, 3, 1), 60, 5), "29 February 1900 is 1 March"},
    {Parts(2100, 3, 1), true, kUnchecked, Decoded(Parts(2100, 3, 1), 60, 2), "2100 is not leap"},
    {Parts(2000, 12, 31), true, kUnchecked, Decoded(Parts(2000, 12, 31), 366, 1), "the last day of a leap year"},
    {Parts(1600, 12, 31, 23, 59, 59, 999), true, -10000, Decoded(Parts(1601, 1, 1, 0, 0, 0, 1), 1, 2),
     "before 1601 the absolute value decodes: a mirrored date"},
};
} // namespace

TEST(TickParts, EdgeCasesConvertBothWays)
{
    for (const auto& c : kPartsCases)
    {
        SCOPED_TRACE(c.why);
        LONGLONG ticks = 12345;
        ASSERT_EQ(PartsToTicks(c.in, ticks), c.converts);
        if (!c.converts)
        {
            EXPECT_EQ(ticks, 12345) << "a failed conversion leaves the ticks alone";
            continue;
        }
        if (c.ticks != kUnchecked)
        {
            EXPECT_EQ(ticks, c.ticks);
        }
        EXPECT_EQ(Text(TicksToParts(ticks)), Text(c.decoded));
    }
}

TEST(TickParts, NegativeTicksDecodeAsTheirAbsoluteValue)
{
    EXPECT_EQ(Text(TicksToParts(-864000000000LL - 5)), Text(TicksToParts(864000000000LL + 5)));
    const CTickParts most = TicksToParts(LLONG_MIN); // has no positive counterpart of its own
    EXPECT_EQ(most.nYear, 30828);
}

namespace
{
int DaysInMonth(int year, int month)
{
    const SYSTEMTIME first = SystemTime(year, month, 1);
    const SYSTEMTIME next = month == 12 ? SystemTime(year + 1, 1, 1) : SystemTime(year, month + 1, 1);
    FILETIME a{}, b{};
    SystemTimeToFileTime(&first, &a);
    SystemTimeToFileTime(&next, &b);
    return static_cast<int>((TicksOf(b) - TicksOf(a)) / kTicksPerDay);
}

// Day of year by the system's clock: days since 1 January of the same year, plus one.
int SystemDayOfYear(const SYSTEMTIME& st, LONGLONG ticks)
{
    const SYSTEMTIME jan1 = SystemTime(st.wYear, 1, 1);
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&jan1, &ft));
    return static_cast<int>((ticks - TicksOf(ft)) / kTicksPerDay) + 1;
}
} // namespace

TEST(TickParts, RandomPartsAgreeWithTheSystemAndComeBack)
{
    std::mt19937 gen(127);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int i = 0; i < 10000; ++i)
    {
        const int year = in(1601, 9999);
        const int month = in(1, 12);
        const CTickParts p = Parts(year, month, in(1, DaysInMonth(year, month)), in(0, 23), in(0, 59), in(0, 59),
                                   in(0, 999), in(0, 999), in(0, 9) * 100);
        SCOPED_TRACE(Text(p));
        LONGLONG ticks = 0;
        ASSERT_TRUE(PartsToTicks(p, ticks));

        const SYSTEMTIME st = SystemTime(p.nYear, p.nMonth, p.nDay, p.nHour, p.nMinute, p.nSecond, p.nMilliSecond);
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
        ASSERT_EQ(ticks, TicksOf(ft) + p.nMicroSecond * 10 + p.nNanoSecond / 100);

        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        const CTickParts decoded = TicksToParts(ticks);
        ASSERT_EQ(Text(decoded), Text(Decoded(p, SystemDayOfYear(st, ticks), back.wDayOfWeek + 1)));
    }
}

TEST(TickParts, RandomTicksDecodeAsTheSystemDecodesThem)
{
    const SYSTEMTIME last = SystemTime(9999, 12, 31, 23, 59, 59, 999);
    FILETIME lastFt{};
    ASSERT_TRUE(SystemTimeToFileTime(&last, &lastFt));
    std::mt19937_64 gen(7127);
    std::uniform_int_distribution<LONGLONG> anyTick(0, TicksOf(lastFt) + kTicksPerMilliSecond - 1);
    for (int i = 0; i < 10000; ++i)
    {
        const LONGLONG ticks = anyTick(gen);
        SCOPED_TRACE(ticks);
        const FILETIME ft = FileTimeOf(ticks);
        SYSTEMTIME st{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
        const LONGLONG belowMilli = ticks % kTicksPerMilliSecond;
        CTickParts expected = Parts(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds,
                                    static_cast<int>(belowMilli / 10), static_cast<int>(belowMilli % 10 * 100));
        expected = Decoded(expected, SystemDayOfYear(st, ticks), st.wDayOfWeek + 1);
        ASSERT_EQ(Text(TicksToParts(ticks)), Text(expected));
    }
}
