// CTickTime: its constructors from the system's and the framework's time values, the current time,
// its getters, and its CString formatting with the sub-second codes.
#include "screens/CTickTime.h"
#include "TickTestResources.h"
#include "TickTestValues.h"
#include <gtest/gtest.h>
#include <string>

using namespace TickTestValues;

namespace
{
CTickTime TimeOf(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0, int us = 0, int ns = 0)
{
    CTickTime time;
    time.SetDateTime(y, mo, d, h, mi, s, ms, us, ns);
    return time;
}

// Every part with its day of week and of year, as one text that a failure shows whole.
std::string Fields(const CTickTime& t)
{
    char text[128];
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d.%d.%d.%d dow %d doy %d", t.GetYear(), t.GetMonth(), t.GetDay(),
                  t.GetHour(), t.GetMinute(), t.GetSecond(), t.GetMilliSecond(), t.GetMicroSecond(), t.GetNanoSecond(),
                  t.GetDayOfWeek(), t.GetDayOfYear());
    return text;
}

std::wstring Text(const CString& s)
{
    return s.GetString();
}
} // namespace

TEST(TickTime, DefaultIsTheValidOrigin)
{
    const CTickTime t;
    EXPECT_EQ(t.GetStatus(), CTickTime::valid);
    EXPECT_EQ(t.GetTicks(), 0);
    EXPECT_EQ(Fields(t), "1601-1-1 0:0:0.0.0.0 dow 2 doy 1");
}

TEST(TickTime, SetDateTimeTellsWhetherItBecameValid)
{
    CTickTime t = TimeOf(2020, 5, 6, 7, 8, 9, 10, 11, 200);
    EXPECT_EQ(Fields(t), "2020-5-6 7:8:9.10.11.200 dow 4 doy 127");
    const LONGLONG before = t.GetTicks();
    t.SetDateTime(2020, 13, 1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(t.GetStatus(), CTickTime::invalid);
    EXPECT_EQ(t.GetTicks(), before) << "a failed conversion keeps the ticks";

    CTickParts parts;
    parts.nYear = 2024;
    parts.nMonth = 2;
    parts.nDay = 29;
    EXPECT_TRUE(t.SetDateTime(parts));
    EXPECT_EQ(t.GetStatus(), CTickTime::valid);
    parts.nMonth = 0;
    EXPECT_FALSE(t.SetDateTime(parts));
    EXPECT_EQ(t.GetStatus(), CTickTime::invalid);
}

TEST(TickTime, GettersGiveMinusOneWhenNotValid)
{
    const CTickTime invalid(864000000000LL, CTickTime::invalid);
    const CTickTime null(864000000000LL, CTickTime::null);
    EXPECT_EQ(Fields(invalid), "-1--1--1 -1:-1:-1.-1.-1.-1 dow -1 doy -1");
    EXPECT_EQ(Fields(null), "-1--1--1 -1:-1:-1.-1.-1.-1 dow -1 doy -1");
}

TEST(TickTime, FromFileTimeDropsTicksBelowTheMillisecond)
{
    const SYSTEMTIME st = SystemTime(2020, 5, 6, 7, 8, 9, 10);
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    const LONGLONG whole = TicksOf(ft);
    ft = FileTimeOf(whole + 1234);

    const CTickTime t(ft);
    EXPECT_EQ(t.GetStatus(), CTickTime::valid);
    EXPECT_EQ(t.GetTicks(), whole);
    EXPECT_EQ(Fields(t), "2020-5-6 7:8:9.10.0.0 dow 4 doy 127");

    const FILETIME bad{0, 0x80000000}; // beyond what FileTimeToSystemTime takes
    EXPECT_EQ(CTickTime(bad).GetStatus(), CTickTime::invalid);
}

TEST(TickTime, FromSystemTimeIgnoresTheDayOfWeek)
{
    SYSTEMTIME st = SystemTime(2020, 5, 6, 7, 8, 9, 10);
    st.wDayOfWeek = 6; // wrong: 6 May 2020 was a Wednesday
    const CTickTime t(st);
    EXPECT_EQ(t.GetTicks(), TimeOf(2020, 5, 6, 7, 8, 9, 10).GetTicks());
    EXPECT_EQ(t.GetDayOfWeek(), 4);
}

TEST(TickTime, FromOleDateTakesWholeSecondsWhenValid)
{
    const COleDateTime date(2021, 6, 15, 10, 20, 30);
    ASSERT_EQ(date.GetStatus(), COleDateTime::valid);
    const CTickTime t(date);
    EXPECT_EQ(t.GetStatus(), CTickTime::valid);
    EXPECT_EQ(Fields(t), "2021-6-15 10:20:30.0.0.0 dow 3 doy 166");

    COleDateTime invalid = date;
    invalid.SetStatus(COleDateTime::invalid);
    EXPECT_EQ(CTickTime(invalid).GetStatus(), CTickTime::invalid);
    COleDateTime null = date;
    null.SetStatus(COleDateTime::null);
    EXPECT_EQ(CTickTime(null).GetStatus(), CTickTime::invalid);
}

TEST(TickTime, FromCTimeTakesItsLocalFields)
{
    const CTime time(2021, 6, 15, 10, 20, 30); // local, and far from any daylight-saving change
    const CTickTime t(time);
    EXPECT_EQ(t.GetStatus(), CTickTime::valid);
    EXPECT_EQ(Fields(t), "2021-6-15 10:20:30.0.0.0 dow 3 doy 166");

    const CTime unshowable(40000000000LL); // after year 3000: no local time for it
    tm fields{};
    ASSERT_EQ(unshowable.GetLocalTm(&fields), nullptr);
    EXPECT_EQ(CTickTime(unshowable).GetStatus(), CTickTime::invalid);
}

TEST(TickTime, CurrentTimeIsTheLocalTimeToTheMillisecond)
{
    SYSTEMTIME first{}, last{};
    GetLocalTime(&first);
    const CTickTime now = CTickTime::GetCurrentTime();
    GetLocalTime(&last);
    EXPECT_EQ(now.GetStatus(), CTickTime::valid);
    EXPECT_LE(CTickTime(first).GetTicks(), now.GetTicks());
    EXPECT_LE(now.GetTicks(), CTickTime(last).GetTicks());
    EXPECT_EQ(now.GetTicks() % kTicksPerMilliSecond, 0);
}

TEST(TickTime, AsSystemTimeCountsTheWeekFromSundayZero)
{
    SYSTEMTIME st{};
    ASSERT_TRUE(TimeOf(2020, 3, 1, 13, 14, 15, 16, 17, 18).GetAsSystemTime(st));
    EXPECT_EQ(st.wYear, 2020);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDayOfWeek, 0) << "1 March 2020 was a Sunday";
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wHour, 13);
    EXPECT_EQ(st.wMinute, 14);
    EXPECT_EQ(st.wSecond, 15);
    EXPECT_EQ(st.wMilliseconds, 16);

    SYSTEMTIME untouched = SystemTime(1999, 9, 9, 9, 9, 9, 9);
    EXPECT_FALSE(CTickTime(0, CTickTime::invalid).GetAsSystemTime(untouched));
    EXPECT_FALSE(CTickTime(0, CTickTime::null).GetAsSystemTime(untouched));
    EXPECT_EQ(untouched.wYear, 1999);
}

TEST(TickTime, FormatReplacesTheSubSecondCodes)
{
    const CTickTime t = TimeOf(2020, 5, 6, 7, 8, 9, 10, 11, 200);
    struct
    {
        const wchar_t* format;
        const wchar_t* text;
    } const cases[] = {
        {L"%Y-%m-%d %H:%M:%S", L"2020-05-06 07:08:09"},
        {L"%s|%#s|%u|%#u|%n|%#n", L"010|10|011|11|200|200"},
        {L"%S.%s%u", L"09.010011"},
        {L"", L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.format)));
        EXPECT_EQ(Text(t.Format(c.format)), c.text);
    }
    // Days are a span's codes: the time leaves "%D" to wcsftime, which refuses it, and the text is empty
    // rather than half formatted.
    EXPECT_EQ(Text(t.Format(L"%H %D")), L"");
}

TEST(TickTime, FormatOfNullAndInvalidAndByStringId)
{
    const CTickTime t = TimeOf(2020, 5, 6, 7, 8, 9, 10);
    EXPECT_EQ(Text(t.Format(IDS_TICK_TEST_TIME_FORMAT)), L"2020-05-06 07:08:09.010");
    EXPECT_EQ(Text(t.Format(61593u)), L"") << "a missing string is an empty format";
    EXPECT_EQ(Text(CTickTime(0, CTickTime::null).Format(L"%Y")), L"");
    EXPECT_EQ(Text(CTickTime(0, CTickTime::invalid).Format(L"%Y")), L"") << "string 61593 is not in the table";
    EXPECT_EQ(Text(CTickTime(0, CTickTime::invalid).Format(IDS_TICK_TEST_TIME_FORMAT)), L"");
    EXPECT_EQ(Text(t.Format(static_cast<LPCWSTR>(nullptr))), L"");
}

TEST(TickTime, FormatOfTheEarliestYearsAndBeyond9999)
{
    EXPECT_EQ(Text(TimeOf(1601, 1, 1).Format(L"%Y-%m-%d")), L"1601-01-01");
    EXPECT_EQ(Text(TimeOf(9999, 12, 31).Format(L"%Y-%m-%d")), L"9999-12-31");
    EXPECT_EQ(Text(TimeOf(10000, 1, 1).Format(L"%Y")), L"") << "wcsftime takes no year past 9999";
}
