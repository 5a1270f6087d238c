// CStaticTools: ISO 8601 texts, date values, the UTC offset, text search and replace, the edit
// distance, file names, small file helpers and system error texts.
#include "core/CStaticTools.h"
#include "core/tests/DateTestValues.h"
#include "core/tests/TimeZoneFixtures.h"
#include "framework/CArray.h"
#include "framework/CStringArray.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace DateTestValues;
using namespace TimeFixtures;

namespace
{
// A private folder under the temporary folder, removed with its contents.
class TempFolder
{
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = std::wstring(base) + L"lumo_dates_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++s_count);
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(m_path); }
    std::wstring Path(const wchar_t* relative) const { return m_path + L"\\" + relative; }

private:
    static void RemoveTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                const std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }
    static inline int s_count = 0;
    std::wstring m_path;
};

bool IsFolder(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buf[256];
    DWORD n = 0;
    std::string bytes;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n)
        bytes.append(buf, n);
    CloseHandle(h);
    return bytes;
}
} // namespace

// ---- ISO 8601 ----

TEST(IsoDateTime, FieldsAreReadUpToTheFirstMissingOne)
{
    struct Case
    {
        const wchar_t* text;
        bool ok;
        int y, mo, d, h, mi, s, ms;
        wchar_t sign;
        int zh, zm;
        const char* why;
    };
    const Case cases[] = {
        {L"2020", true, 2020, 1, 1, 0, 0, 0, 0, L'Z', 0, 0, "the year alone"},
        {L"2020-13", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "month 13"},
        {L"2020-00", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "month 0"},
        {L"2020-02-32", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "day 32"},
        {L"2020-01-22", true, 2020, 1, 22, 0, 0, 0, 0, L'Z', 0, 0, "a date"},
        {L"2020-01-22T10", true, 2020, 1, 22, 10, 0, 0, 0, L'Z', 0, 0, "ends after the hour"},
        {L"2020-01-22T10:30:00.5Z", true, 2020, 1, 22, 10, 30, 0, 500, L'Z', 0, 0, "one digit is tenths"},
        {L"2020-01-22T10:30:00.12345", true, 2020, 1, 22, 10, 30, 0, 123, L'Z', 0, 0, "first three digits"},
        {L"2020-01-22T10:30:00.", true, 2020, 1, 22, 10, 30, 0, 0, L'Z', 0, 0, "a point without digits"},
        {L"2020-01-22T10:30:00+01:00", true, 2020, 1, 22, 10, 30, 0, 0, L'+', 1, 0, "a zone"},
        {L"2020-01-22T10:30:00.25-05:30", true, 2020, 1, 22, 10, 30, 0, 250, L'-', 5, 30, "fraction and zone"},
        {L"2020-01-22T10:30:00+01", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "zone without minutes"},
        {L"2020-01-22T10:30+01:00", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "zone without seconds"},
        {L"2020-01-22T10:30:00Zjunk", true, 2020, 1, 22, 10, 30, 0, 0, L'Z', 0, 0, "whatever follows a Z"},
        {L"2020-01-22T10:30:00x", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "anything else after the seconds"},
        {L"2020-01-22 10:30:00", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "a blank is no T"},
        {L"2020-1-22", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "one digit"},
        {L"20x0", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "a letter in the year"},
        {L"202", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "too short"},
        {L"2020-01-22T25:61:99", true, 2020, 1, 22, 25, 61, 99, 0, L'Z', 0, 0, "time fields not checked here"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        int y = -1, mo = -1, d = -1, h = -1, mi = -1, s = -1, ms = -1, zh = -1, zm = -1;
        wchar_t sign = L'?';
        const bool ok = CStaticTools::ParseIsoDateTimeFields(c.text, y, mo, d, h, mi, s, ms, sign, zh, zm);
        EXPECT_EQ(ok, c.ok);
        if (!c.ok || !ok) continue;
        EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, ms, zh, zm}),
                  (std::vector<int>{c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms, c.zh, c.zm}));
        EXPECT_EQ(sign, c.sign);
    }
    int y, mo, d, h, mi, s, zh, zm;
    wchar_t sign;
    EXPECT_FALSE(CStaticTools::ParseIsoDateTimeFields(nullptr, y, mo, d, h, mi, s, sign, zh, zm));
    EXPECT_TRUE(CStaticTools::ParseIsoDateTimeFields(L"2020-01-22T10:30:00.5+02:00", y, mo, d, h, mi, s, sign, zh, zm));
    EXPECT_EQ(zh, 2) << "the form without milliseconds reads the zone too";
}

TEST(IsoDateTime, ParsedValuesAreInUtcWhenTheTextHasAZone)
{
    struct Case
    {
        const wchar_t* text;
        bool ok;
        COleDateTime::DateTimeStatus status;
        const wchar_t* iso;
        const char* why;
    };
    const Case cases[] = {
        {L"2020-01-22T10:30:00+01:00", true, COleDateTime::valid, L"2020-01-22T09:30:00.000", "east: subtracted"},
        {L"2020-01-22T10:30:00-05:30", true, COleDateTime::valid, L"2020-01-22T16:00:00.000", "west: added"},
        {L"2020-01-22T23:30:00-01:00", true, COleDateTime::valid, L"2020-01-23T00:30:00.000", "into the next day"},
        {L"2020-01-22T10:30:00.250Z", true, COleDateTime::valid, L"2020-01-22T10:30:00.250", "milliseconds"},
        {L"2020-01-22", true, COleDateTime::valid, L"2020-01-22T00:00:00.000", "a date alone"},
        {L"2021-02-30", true, COleDateTime::invalid, L"(invalid)", "read, but no date"},
        {L"2020-01-22T24:00:00", true, COleDateTime::invalid, L"(invalid)", "hour 24"},
        {L"2020-13-01", false, COleDateTime::invalid, L"(invalid)", "not read"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        COleDateTime dt;
        EXPECT_EQ(CStaticTools::ParseIsoDateTime(c.text, dt), c.ok);
        if (c.ok)
        {
            EXPECT_EQ(dt.GetStatus(), c.status);
        }
        EXPECT_EQ(Iso(CStaticTools::DateTimeFromIsoText(c.text)), c.iso);
    }
}

TEST(IsoDateTime, FormattingRoundsToWholeMillisecondsAndReadsBack)
{
    struct Case
    {
        COleDateTime value;
        bool ms;
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {Date(2020, 1, 22, 10, 0, 5), true, L"2020-01-22T10:00:05.000", "no .999 of the second before"},
        {Date(2020, 1, 22, 10, 0, 5, 1), true, L"2020-01-22T10:00:05.001", "one millisecond"},
        {Date(2020, 1, 22, 10, 0, 5, 999), true, L"2020-01-22T10:00:05.999", "999"},
        {COleDateTime(43852.0 + 86399999.6 / 86400000.0), true, L"2020-01-23T00:00:00.000", "rounds into the next day"},
        {COleDateTime(-1.25), true, L"1899-12-29T06:00:00.000", "before 1899-12-30 the time counts forward"},
        {Date(2020, 1, 22, 10, 0, 5), false, L"2020-01-22T10:00:05", "without milliseconds"},
        {Date(2020, 1, 22, 10, 0, 5, 600), false, L"2020-01-22T10:00:06", "to the nearest second"},
        {WithStatus(COleDateTime::null), false, L"(null)", "null"},
        {WithStatus(COleDateTime::null), true, L"(null)", "null with milliseconds"},
        {WithStatus(COleDateTime::invalid), true, L"(invalid)", "invalid"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const std::wstring text = W(CStaticTools::FormatIsoDateTime(c.value, c.ms));
        EXPECT_EQ(text, c.text);
        const COleDateTime back = CStaticTools::DateTimeFromIsoText(text.c_str());
        EXPECT_EQ(W(CStaticTools::FormatIsoDateTime(back, c.ms)), text) << "reads back to the same text";
    }
    EXPECT_EQ(CStaticTools::DateTimeFromIsoText(L"(null)").GetStatus(), COleDateTime::null);
    EXPECT_EQ(CStaticTools::DateTimeFromIsoText(L"(invalid)").GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(CStaticTools::DateTimeFromIsoText(nullptr).GetStatus(), COleDateTime::invalid);
}

// ---- Locale dates ----

TEST(LocaleDates, NormalizeAndLocaleFormsAgree)
{
    EXPECT_EQ(W(CStaticTools::NormalizeDate(L"2020-01-22")), L"2020-01-22");
    EXPECT_EQ(W(CStaticTools::NormalizeDate(L"2020-01-22 10:30:00")), L"2020-01-22") << "the date part only";
    const CString local = CStaticTools::DateToLocaleDate(L"2020-01-22");
    EXPECT_NE(W(local), L"INVALID DATE");
    EXPECT_EQ(W(CStaticTools::NormalizeDate(local)), L"2020-01-22") << "the user's locale reads its own form back";
    for (const wchar_t* bad : {L"no date", L"", L"1899-12-30", L"1800-01-01"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(bad)));
        EXPECT_EQ(W(CStaticTools::NormalizeDate(bad)), L"INVALID DATE");
        EXPECT_EQ(W(CStaticTools::DateToLocaleDate(bad)), L"INVALID DATE");
    }
}

// ---- Local time, UTC and the offset ----

TEST(LocalAndUtc, ConvertWithTheRulesAtTheDate)
{
    ScopedTime time(CentralEurope(), At(2020, 1, 15, 12, 0, 0)); // winter now
    struct Case
    {
        COleDateTime local;
        const wchar_t* utc;
        const wchar_t* back;
        const char* why;
    };
    const Case cases[] = {
        {Date(2020, 1, 10, 12, 0, 0), L"2020-01-10T11:00:00.000", L"2020-01-10T12:00:00.000", "winter"},
        {Date(2020, 7, 10, 12, 0, 0), L"2020-07-10T10:00:00.000", L"2020-07-10T12:00:00.000",
         "summer, though it is winter now"},
        {Date(2020, 10, 25, 1, 59, 59), L"2020-10-24T23:59:59.000", L"2020-10-25T01:59:59.000",
         "the last summer second"},
        {Date(2020, 7, 10, 12, 0, 0, 700), L"2020-07-10T10:00:01.000", L"2020-07-10T12:00:01.000",
         "whole seconds only"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const COleDateTime utc = CStaticTools::LocalToUtc(c.local);
        EXPECT_EQ(Iso(utc), c.utc);
        EXPECT_EQ(Iso(CStaticTools::UtcToLocal(utc)), c.back);
    }
    EXPECT_EQ(Iso(CStaticTools::UtcToLocal(Date(2020, 7, 10, 10, 0, 0))), L"2020-07-10T12:00:00.000");
    EXPECT_EQ(Iso(CStaticTools::UtcToLocal(Date(2020, 12, 31, 23, 30, 0))), L"2021-01-01T00:30:00.000");
    COleDateTime invalid = WithStatus(COleDateTime::invalid);
    invalid.m_dt = 3.5;
    EXPECT_EQ(CStaticTools::LocalToUtc(invalid).m_dt, 3.5) << "returned as it is";
    EXPECT_EQ(CStaticTools::UtcToLocal(WithStatus(COleDateTime::null)).GetStatus(), COleDateTime::null);
}

TEST(LocalAndUtc, OffsetMinutesAreUtcMinusLocal)
{
    struct Case
    {
        DYNAMIC_TIME_ZONE_INFORMATION zone;
        boost::posix_time::ptime now;
        long minutes;
        const char* why;
    };
    const Case cases[] = {
        {CentralEurope(), At(2020, 7, 1, 12, 0, 0), -120, "Central European summer time"},
        {CentralEurope(), At(2020, 1, 1, 12, 0, 0), -60, "Central European winter"},
        {India(), At(2020, 7, 1, 12, 0, 0), -330, "five and a half hours east"},
        {UsEastern(), At(2020, 1, 1, 12, 0, 0), 300, "five hours west"},
        {HalfHourWest(), At(2020, 1, 1, 12, 0, 0), 30, "half an hour west"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ScopedTime time(c.zone, c.now);
        EXPECT_EQ(CStaticTools::GetUtcOffsetMinutes(), c.minutes);
    }
}

TEST(TimeValues, ConvertBothWaysAndRefuseWhatIsNoTime)
{
    const __time64_t t = 1579689000; // 2020-01-22 10:30:00 UTC
    const COleDateTime local = CStaticTools::TimeToOleDateTime(t);
    ASSERT_EQ(local.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(CStaticTools::OleDateTimeToTime(local), t) << "the runtime's local time, there and back";
    EXPECT_EQ(CStaticTools::TimeToOleDateTime(0).GetStatus(), COleDateTime::null);
    EXPECT_EQ(CStaticTools::TimeToOleDateTime(-1).GetStatus(), COleDateTime::null);
    EXPECT_EQ(CStaticTools::OleDateTimeToTime(Date(1969, 12, 30, 12, 0, 0)), 0) << "before 1970";
    EXPECT_EQ(CStaticTools::OleDateTimeToTime(COleDateTime(0.0)), 0) << "day 0";
    EXPECT_EQ(CStaticTools::OleDateTimeToTime(WithStatus(COleDateTime::invalid)), 0);
    EXPECT_EQ(CStaticTools::OleDateTimeToTime(WithStatus(COleDateTime::null)), 0);
}

TEST(DateValues, CompareDifferenceAndMilliseconds)
{
    const COleDateTime a = Date(2020, 1, 22, 10, 0, 0), b = Date(2020, 1, 21, 9, 0, 0);
    const COleDateTime invalid = WithStatus(COleDateTime::invalid), null = WithStatus(COleDateTime::null);
    struct Case
    {
        COleDateTime x, y;
        int result;
        const char* why;
    };
    const Case cases[] = {
        {a, b, 1, "later"},
        {b, a, -1, "earlier"},
        {a, a, 0, "same"},
        {invalid, a, -1, "not valid before valid"},
        {a, null, 1, "valid after not valid"},
        {invalid, null, 0, "two that are not valid"},
        {COleDateTime(-1.25), COleDateTime(-1.75), -1, "before 1899-12-30 by time, not by raw number"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CStaticTools::CompareOleDateTime(c.x, c.y), c.result);
    }
    EXPECT_NEAR(CStaticTools::GetTimeOfDayDifference(a, b), 3600.0, 1e-3) << "the day is dropped";
    EXPECT_NEAR(CStaticTools::GetTimeOfDayDifference(b, a), -3600.0, 1e-3) << "the sign is kept";
    EXPECT_EQ(Iso(CStaticTools::AddMilliseconds(a, 1500)), L"2020-01-22T10:00:01.500");
    EXPECT_EQ(Iso(CStaticTools::AddMilliseconds(a, -86400001)), L"2020-01-21T09:59:59.999");
    EXPECT_EQ(CStaticTools::AddMilliseconds(null, 5).GetStatus(), COleDateTime::null);
}

// ---- Texts ----

TEST(Texts, FindAndReplaceWithoutRegardToCase)
{
    struct FindCase
    {
        const wchar_t* text;
        const wchar_t* find;
        int pos;
    };
    const FindCase finds[] = {
        {L"Hello", L"LL", 2}, {L"Hello", L"", -1}, {L"Hello", L"x", -1}, {L"", L"a", -1}, {L"abcABC", L"Ca", 2},
    };
    for (const auto& c : finds)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text) + L"/" + c.find));
        EXPECT_EQ(CStaticTools::FindNoCase(c.text, c.find), c.pos);
    }
    struct ReplaceCase
    {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        const wchar_t* result;
        const char* why;
    };
    const ReplaceCase replaces[] = {
        {L"aXbxc", L"x", L"--", L"a--b--c", "both cases"},
        {L"aaaa", L"AA", L"b", L"bb", "no overlaps"},
        {L"aXa", L"x", L"", L"aa", "deleted"},
        {L"Hello", L"", L"x", L"Hello", "empty old text changes nothing"},
        {L"ABab", L"ab", L"xAbx", L"xAbxxAbx", "a longer new text is not searched again"},
        {L"abc", L"ABCD", L"x", L"abc", "not there"},
    };
    for (const auto& c : replaces)
    {
        SCOPED_TRACE(c.why);
        CString text(c.text);
        CStaticTools::ReplaceNoCase(text, c.from, c.to);
        EXPECT_EQ(W(text), c.result);
    }
}

TEST(Texts, EditDistanceCountsTranspositions)
{
    struct Case
    {
        const wchar_t* a;
        const wchar_t* b;
        int distance;
    };
    const Case cases[] = {
        {L"ca", L"abc", 2},
        {L"abc", L"acb", 1},
        {L"flaw", L"lawn", 2},
        {L"", L"abc", 3},
        {L"abcd", L"", 4},
        {L"kitten", L"sitting", 3},
        {L"same", L"same", 0},
        {L"abc", L"ABC", 3},
        {L"a\x4E2D",
         L"\x4E2D"
         L"a",
         1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.a) + L"/" + c.b));
        EXPECT_EQ(CStaticTools::GetEditDistance(c.a, c.b), c.distance);
        EXPECT_EQ(CStaticTools::GetEditDistance(c.b, c.a), c.distance) << "symmetric";
    }
    EXPECT_EQ(CStaticTools::GetEditDistance(nullptr, L"ab"), 2);
}

TEST(Texts, FormattingAndResources)
{
    EXPECT_EQ(W(CStaticTools::FormatString(L"%d-%ls", 7, L"x")), L"7-x");
    EXPECT_EQ(W(CStaticTools::LoadAndFormat(4101, 3, L"five")), L"Call 3 of five");
    EXPECT_EQ(W(CStaticTools::LoadAndFormat(4999, 3)), L"") << "no such string";
    const std::wstring text = W(CStaticTools::FormatSystemError(ERROR_FILE_NOT_FOUND));
    EXPECT_GT(text.size(), 2u);
    EXPECT_TRUE(text.ends_with(L"\r\n")) << "the system's line end stays";
    EXPECT_EQ(W(CStaticTools::FormatSystemError(0x20001234)), L"") << "no text for it";
}

TEST(Texts, MemorySizeEstimates)
{
    CString s(L"hello");
    s.Preallocate(100);
    const size_t chars = static_cast<size_t>(s.GetAllocLength());
    ASSERT_GE(chars, 100u);
    EXPECT_EQ(CStaticTools::GetMemorySize(s), 2 * chars + 4);
    EXPECT_EQ(CStaticTools::GetMemorySize(s, true), 2 * chars);
    const std::map<long, long> numbers{{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(CStaticTools::GetMemorySize(numbers), 3 * 24 + 8u);
    EXPECT_EQ(CStaticTools::GetMemorySize(numbers, true), 3 * 24u);
    const std::map<CString, long> named{{s, 1}};
    EXPECT_EQ(CStaticTools::GetMemorySize(named),
              24 + 2 * static_cast<size_t>(named.begin()->first.GetAllocLength()) + 8);
    std::vector<CString> strings{s, s};
    strings.reserve(10);
    const size_t each = static_cast<size_t>(strings[0].GetAllocLength() + strings[1].GetAllocLength());
    EXPECT_EQ(CStaticTools::GetMemorySize(strings), 16 + strings.capacity() + 2 * each);
    EXPECT_EQ(CStaticTools::GetMemorySize(strings, true), 4 + strings.capacity() + 2 * each);
    CDWordArray dwords;
    dwords.Add(1);
    dwords.Add(2);
    EXPECT_EQ(CStaticTools::GetMemorySize(dwords), 4 * 2 + 20u);
    EXPECT_EQ(CStaticTools::GetMemorySize(dwords, true), 4 * 2u);
    CStringArray array;
    array.Add(s);
    array.Add(L"");
    const size_t arrayChars = static_cast<size_t>(array[0].GetAllocLength() + array[1].GetAllocLength());
    EXPECT_EQ(CStaticTools::GetMemorySize(array), 2 * arrayChars + 2 * 4 + 20);
    EXPECT_EQ(CStaticTools::GetMemorySize(array, true), 2 * arrayChars + 2 * 4);
}

// ---- File names and files ----

TEST(FileNames, CleanAndRemoveExtension)
{
    struct CleanCase
    {
        const wchar_t* name;
        const wchar_t* clean;
        const char* why;
    };
    const CleanCase cleans[] = {
        {L"a:b?c. . ", L"abc", "forbidden characters, then points and blanks from the end"},
        {L"  report.txt", L"  report.txt", "leading blanks stay"},
        {L"x\\y/z*<>|\";", L"xyz", "every forbidden character"},
        {L". . .", L"", "nothing left"},
        {L"a.b", L"a.b", "inner points stay"},
    };
    for (const auto& c : cleans)
    {
        SCOPED_TRACE(c.why);
        CString name(c.name);
        CStaticTools::CleanFileName(name);
        EXPECT_EQ(W(name), c.clean);
        EXPECT_EQ(W(CStaticTools::MakeValidFileName(c.name)), c.clean);
    }
    struct ExtCase
    {
        const wchar_t* path;
        const wchar_t* out;
        bool ok;
        const char* why;
    };
    const ExtCase exts[] = {
        {L"C:\\dir.v2\\file", L"C:\\dir", true, "the last point, even in a folder name"},
        {L"C:\\dir\\file.txt", L"C:\\dir\\file", true, "an extension"},
        {L"file", L"", false, "no point"},
        {L".hidden", L"", false, "nothing before the point"},
        {L"a.b.c", L"a.b", true, "only the last"},
    };
    for (const auto& c : exts)
    {
        SCOPED_TRACE(c.why);
        CString out(L"old");
        EXPECT_EQ(CStaticTools::RemoveExtension(c.path, out), c.ok);
        EXPECT_EQ(W(out), c.out);
    }
}

TEST(Files, CreateFolderForFileMakesOneFolder)
{
    TempFolder temp;
    EXPECT_TRUE(CStaticTools::CreateFolderForFile(temp.Path(L"new\\file.txt").c_str()));
    EXPECT_TRUE(IsFolder(temp.Path(L"new")));
    EXPECT_TRUE(CStaticTools::CreateFolderForFile(temp.Path(L"new\\other.txt").c_str())) << "an existing folder";
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 2u);
    const std::wstring inRoot = std::wstring(windows, 3) + L"file.txt";  // "C:\file.txt"
    EXPECT_TRUE(CStaticTools::CreateFolderForFile(inRoot.c_str())) << "a drive root exists";
    const std::wstring overFile = temp.Path(L"new\\other.txt\\x.txt");
    ASSERT_TRUE(CStaticTools::WriteBufferToFile(temp.Path(L"new\\other.txt").c_str(), 1, reinterpret_cast<const BYTE*>("x")));
    EXPECT_FALSE(CStaticTools::CreateFolderForFile(overFile.c_str())) << "a file of the folder's name is no folder";
    EXPECT_FALSE(CStaticTools::CreateFolderForFile(temp.Path(L"a\\b\\file.txt").c_str())) << "two levels";
    EXPECT_FALSE(IsFolder(temp.Path(L"a")));
    EXPECT_FALSE(CStaticTools::CreateFolderForFile(L"")) << "empty";
    EXPECT_FALSE(CStaticTools::CreateFolderForFile(L"file.txt")) << "no folder part";
    EXPECT_FALSE(CStaticTools::CreateFolderForFile((temp.Path(L"") + std::wstring(300, L'x') + L"\\f").c_str()))
        << "longer than a path may be";
}

TEST(Files, WriteBufferToFileWritesEveryByteOrFails)
{
    TempFolder temp;
    const BYTE bytes[] = {'a', 0, 'b', '\r', '\n'};
    const std::wstring path = temp.Path(L"sub\\data.bin");
    ASSERT_TRUE(CStaticTools::WriteBufferToFile(path.c_str(), sizeof bytes, bytes));
    EXPECT_EQ(ReadFileBytes(path), std::string("a\0b\r\n", 5));
    ASSERT_TRUE(CStaticTools::WriteBufferToFile(path.c_str(), 1, bytes));
    EXPECT_EQ(ReadFileBytes(path), "a") << "an existing file is truncated";
    EXPECT_FALSE(CStaticTools::WriteBufferToFile(temp.Path(L"zero.bin").c_str(), 0, bytes));
    EXPECT_FALSE(CStaticTools::WriteBufferToFile(temp.Path(L"none.bin").c_str(), 3, nullptr));
    EXPECT_FALSE(CStaticTools::WriteBufferToFile(temp.Path(L"x\\y\\deep.bin").c_str(), 3, bytes)) << "no folder";
    EXPECT_FALSE(CStaticTools::WriteBufferToFile(temp.Path(L"sub").c_str(), 3, bytes)) << "a folder is no file";
    EXPECT_EQ(ReadFileBytes(temp.Path(L"zero.bin")), "<missing>");
}
