// The zone database: the shipped tables end to end, and small tables written here for the rules.
#include "core/CTimeTools.h"
#include "core/tests/TimeZoneFixtures.h"
#include "framework/CStringConversion.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace TimeFixtures;

namespace
{
const char kHeader[] = "\"ID\",\"STD ABBR\",\"STD NAME\",\"DST ABBR\",\"DST NAME\",\"GMT offset\",\"DST adjustment\","
                       "\"DST Start Date rule\",\"Start time\",\"DST End date rule\",\"End time\"\n";
const char kBerlin[] = "\"Europe/Berlin\",\"CET\",\"CET\",\"CEST\",\"CEST\",\"+01:00:00\",\"+01:00:00\",\"-1;0;3\","
                       "\"+02:00:00\",\"-1;0;10\",\"+03:00:00\"\n";
const char kNewYork[] = "\"America/New_York\",\"EST\",\"EST\",\"EDT\",\"EDT\",\"-05:00:00\",\"+01:00:00\",\"2;0;3\","
                        "\"+02:00:00\",\"1;0;11\",\"+02:00:00\"\n";
// Unquoted: the name is everything before the first comma.
const char kTokyo[] = "Asia/Tokyo,JST,JST,,,+09:00:00,+00:00:00,,,,+00:00:00\n";
const char kKolkata[] = "\"Asia/Kolkata\",\"IST\",\"IST\",\"\",\"\",\"+05:30:00\",\"+00:00:00\",\"\",\"\",\"\","
                        "\"+00:00:00\"\n";

std::wstring TestFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"lumo_zone_tests_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring WriteFile(const wchar_t* name, const std::string& text)
{
    const std::wstring path = TestFolder() + L"\\" + name;
    std::ofstream(path.c_str(), std::ios::binary) << text;
    return path;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool LoadRules(const std::string& lines)
{
    return CTimeTools::LoadTimeZoneRulesFromFile(WriteFile(L"rules.csv", kHeader + lines).c_str());
}

void LoadWindows(const std::string& lines)
{
    ASSERT_TRUE(CTimeTools::LoadWindowsZonesFromFile(WriteFile(L"windows.csv", lines).c_str()));
}

// Berlin 1, New York 2, Tokyo 3, Kolkata 4.
void LoadFourZones()
{
    ASSERT_TRUE(LoadRules(std::string(kBerlin) + kNewYork + kTokyo + kKolkata));
}

COleDateTime Date(int y, int mo, int d, int h, int mi, int s = 0)
{
    return COleDateTime(y, mo, d, h, mi, s);
}

COleDateTime InvalidDate()
{
    COleDateTime dt;
    dt.SetStatus(COleDateTime::invalid);
    return dt;
}

COleDateTime NullDate()
{
    COleDateTime dt;
    dt.SetStatus(COleDateTime::null);
    return dt;
}

std::string Text(const COleDateTime& dt)
{
    if (dt.GetStatus() == COleDateTime::null) return "(null)";
    if (dt.GetStatus() != COleDateTime::valid) return "(invalid)";
    SYSTEMTIME st{};
    CTimeTools::DateTimeToSystemTime(dt, st);
    char text[64];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", st.wYear, st.wMonth, st.wDay, st.wHour,
             st.wMinute, st.wSecond, st.wMilliseconds);
    return text;
}

std::string UserRegion()
{
    wchar_t region[3] = {};
    const GEOID geo = GetUserGeoID(GEOCLASS_NATION);
    if (geo != GEOID_NOT_AVAILABLE) GetGeoInfoW(geo, GEO_ISO2, region, 3, 0);
    std::string narrow;
    for (const wchar_t* p = region; *p; ++p)
        narrow += static_cast<char>(*p);
    return narrow;
}

class ShiftScope // a server clock shift for one test
{
public:
    explicit ShiftScope(int32_t seconds)
    {
        CTimeTools::m_nUTCShift_sec = seconds;
        CTimeTools::m_bUTCShiftSet = true;
    }
    ~ShiftScope()
    {
        CTimeTools::m_bUTCShiftSet = false;
        CTimeTools::m_nUTCShift_sec = 0;
    }
};

// One piece of a split period, as text.
struct Piece
{
    std::string start, end;
    int offsetMin;
    bool operator==(const Piece&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Piece& p)
{
    return os << p.start << " - " << p.end << " at " << p.offsetMin << " min";
}

struct PeriodList // owns what SplitByUTCOffset appends
{
    CArray<CTimeTools::ZonePeriod*, CTimeTools::ZonePeriod*> items;
    ~PeriodList()
    {
        for (INT_PTR i = 0; i < items.GetSize(); ++i)
            delete items[i];
    }
};
} // namespace

TEST(TimeZoneDatabase, ResourceTablesLoadEndToEnd)
{
    const std::wstring folder = TestFolder();
    ASSERT_TRUE(CTimeTools::LoadTimeZonesFromResources(folder.c_str()));
    EXPECT_FALSE(FileExists(folder + L"\\date_time_zonespec.csv")) << "the rule file is deleted after loading";
    EXPECT_TRUE(FileExists(folder + L"\\WindowsToIANA.csv")) << "the Windows table stays";

    const int berlin = CTimeTools::FindTimeZone(L"Europe/Berlin");
    ASSERT_GT(berlin, 0);
    EXPECT_EQ(CTimeTools::GetTimeZoneName(berlin), CString(L"Europe/Berlin"));
    EXPECT_GT(CTimeTools::GetTimeZones().size(), 300u) << "Boost's table has some 400 zones";
    EXPECT_EQ(Text(CTimeTools::DateTimeFromTzToUTC(Date(2024, 7, 1, 12, 0), berlin, false)), "2024-07-01 10:00:00.000");

    // Every region under this key keeps Central European rules, whichever the machine's region is.
    ScopedTime time(CentralEurope(), At(2024, 7, 1, 12, 0, 0));
    const int local = CTimeTools::GetLocalTimeZone();
    ASSERT_GT(local, 0) << "W. Europe Standard Time is in CLDR's table";
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(local), 7200);
}

TEST(TimeZoneDatabase, EmptyFolderExtractsToTheTemporaryFolder)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring windowsTable = std::wstring(temp) + L"WindowsToIANA.csv";
    DeleteFileW(windowsTable.c_str());
    ASSERT_TRUE(CTimeTools::LoadTimeZonesFromResources(CString()));
    EXPECT_TRUE(FileExists(windowsTable));
    EXPECT_FALSE(FileExists(std::wstring(temp) + L"date_time_zonespec.csv"));
}

TEST(TimeZoneDatabase, NumbersZonesInTableOrder)
{
    ASSERT_TRUE(LoadRules(std::string(kBerlin) + kNewYork + kTokyo));
    EXPECT_EQ(CTimeTools::GetTimeZones(),
              (std::map<int32_t, std::string>{{1, "Europe/Berlin"}, {2, "America/New_York"}, {3, "Asia/Tokyo"}}));
    struct NameCase
    {
        const wchar_t* name;
        int zone;
    };
    const NameCase cases[] = {
        {L"europe/BERLIN", 1}, {L"America/New_York", 2}, {L"asia/tokyo", 3}, {L"Europe/Paris", -1}, {L"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTimeTools::FindTimeZone(c.name), c.zone) << static_cast<const char*>(CW2A(c.name));
    EXPECT_EQ(CTimeTools::GetTimeZoneName(3), CString(L"Asia/Tokyo"));
    EXPECT_EQ(CTimeTools::GetTimeZoneName(4), CString());
    EXPECT_EQ(CTimeTools::GetTimeZoneName(0), CString());

    struct ValidCase
    {
        int zone;
        bool localIsValid;
        BOOL valid;
    };
    const ValidCase valid[] = {{-1, true, FALSE}, {0, true, TRUE},  {0, false, FALSE},
                               {1, false, TRUE},  {3, false, TRUE}, {4, true, FALSE}};
    for (const auto& c : valid)
        EXPECT_EQ(CTimeTools::IsValidTimeZone(c.zone, c.localIsValid), c.valid)
            << "zone " << c.zone << " flag " << c.localIsValid;
}

TEST(TimeZoneDatabase, ReloadReplacesNumbersAndCachedZones)
{
    LoadFourZones();
    LoadWindows("Tokyo Standard Time\t001\tAsia/Tokyo\n");
    EXPECT_EQ(Text(CTimeTools::DateTimeFromUTCToTz(Date(2024, 1, 1, 0, 0), 1, false)), "2024-01-01 01:00:00.000")
        << "zone 1 is Berlin and is now cached";

    ASSERT_TRUE(LoadRules(std::string(kTokyo) + kNewYork));
    EXPECT_EQ(CTimeTools::GetTimeZones().size(), 2u);
    EXPECT_EQ(CTimeTools::FindTimeZone(L"Europe/Berlin"), -1) << "no name of the first load survives";
    EXPECT_EQ(CTimeTools::FindTimeZone(L"Asia/Tokyo"), 1);
    EXPECT_FALSE(CTimeTools::IsValidTimeZone(4, false));
    EXPECT_EQ(Text(CTimeTools::DateTimeFromUTCToTz(Date(2024, 1, 1, 0, 0), 1, false)), "2024-01-01 09:00:00.000")
        << "the cached Berlin zone must not answer for the new zone 1";
    ScopedTime time(Zone(L"Tokyo Standard Time", -540), At(2024, 1, 1, 0, 0, 0));
    EXPECT_EQ(CTimeTools::GetLocalTimeZone(), -1) << "the Windows table of the old numbering is gone";
}

TEST(TimeZoneDatabase, UnreadableRuleTableFailsAndKeepsTheLoadedOne)
{
    LoadFourZones();
    EXPECT_FALSE(LoadRules(std::string(kBerlin) + "\"Broken/Zone\",\"X\",\"+01:00:00\"\n")) << "too few fields";
    EXPECT_FALSE(
        LoadRules(std::string(kBerlin) +
                  "\"Bad/Offset\",\"X\",\"X\",\"\",\"\",\"+1x:00:00\",\"+00:00:00\",\"\",\"\",\"\",\"+00:00:00\"\n"))
        << "an offset that is no time";
    EXPECT_FALSE(CTimeTools::LoadTimeZoneRulesFromFile((TestFolder() + L"\\missing.csv").c_str()));
    EXPECT_EQ(CTimeTools::FindTimeZone(L"Asia/Kolkata"), 4) << "a refused file changes nothing";
    EXPECT_EQ(Text(CTimeTools::DateTimeFromTzToUTC(Date(2024, 1, 1, 5, 30), 4, false)), "2024-01-01 00:00:00.000");
}

TEST(TimeZoneDatabase, WindowsKeyAndRegionFindTheSystemZone)
{
    LoadFourZones();
    const std::string region = UserRegion();
    ASSERT_EQ(region.size(), 2u) << "the user's region as two letters";
    const std::string other = region == "JP" ? "KR" : "JP";
    struct LocalCase
    {
        std::string table;
        int zone;
        const char* why;
    };
    const LocalCase cases[] = {
        {"W. Europe Standard Time\t" + region + "\tAsia/Kolkata\nW. Europe Standard Time\t001\tEurope/Berlin\n", 4,
         "the user's own region first"},
        {"W. Europe Standard Time\t" + other + "\tAsia/Tokyo\nW. Europe Standard Time\t001\tEurope/Berlin\n", 1,
         "no line for the region: the 001 line"},
        {"W. Europe Standard Time\t" + other + "\tAsia/Tokyo\n", -1, "neither the region nor 001"},
        {"w. europe standard time\t001\tEurope/Berlin\n", -1, "key names match with case"},
        {"W. Europe Standard Time\t001\tEurope/Paris\n", -1, "a zone the rule table lacks is -1"},
        {"W. Europe Standard Time\t001\tEurope/Berlin\textra\nW. Europe Standard Time\t001\n", -1,
         "lines without exactly three fields are skipped"},
        {"W. Europe Standard Time\t001\tEurope/Berlin\r\n", 1, "CR LF line ends"},
    };
    ScopedTime time(CentralEurope(), At(2024, 7, 1, 12, 0, 0));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        LoadWindows(c.table);
        EXPECT_EQ(CTimeTools::GetLocalTimeZone(), c.zone);
    }
    EXPECT_TRUE(CTimeTools::LoadWindowsZonesFromFile((TestFolder() + L"\\missing.csv").c_str())) << "read as empty";
    EXPECT_EQ(CTimeTools::GetLocalTimeZone(), -1);
}

TEST(TimeZoneDatabase, ConvertsBetweenZonesAndUtc)
{
    LoadFourZones();
    struct ConvertCase
    {
        bool toUtc;
        COleDateTime in;
        int zone;
        bool returnInput;
        std::string out;
        const char* why;
    };
    const ConvertCase cases[] = {
        {true, Date(2024, 1, 15, 12, 0), 1, false, "2024-01-15 11:00:00.000", "Berlin in winter"},
        {true, Date(2024, 7, 1, 12, 0), 1, false, "2024-07-01 10:00:00.000", "Berlin in summer"},
        {true, Date(2024, 3, 31, 2, 30), 1, false, "(invalid)", "Berlin's spring-forward gap"},
        {true, Date(2024, 3, 31, 2, 30), 1, true, "2024-03-31 02:30:00.000", "the gap keeps the input when asked"},
        {true, Date(2024, 10, 27, 2, 30), 1, false, "(invalid)", "Berlin's fall-back overlap is ambiguous"},
        {true, Date(2024, 3, 10, 2, 30), 2, false, "(invalid)", "New York's gap"},
        {true, Date(2024, 3, 10, 3, 0), 2, false, "2024-03-10 07:00:00.000", "New York just after the gap"},
        {true, Date(2024, 6, 1, 9, 0), 3, false, "2024-06-01 00:00:00.000", "Tokyo has no daylight time"},
        {true, Date(2024, 6, 1, 5, 30), 4, false, "2024-06-01 00:00:00.000", "Kolkata's half hour"},
        {false, Date(2024, 3, 10, 6, 59), 2, false, "2024-03-10 01:59:00.000", "New York before spring-forward"},
        {false, Date(2024, 3, 10, 7, 0), 2, false, "2024-03-10 03:00:00.000", "New York at spring-forward"},
        {false, Date(2024, 11, 3, 5, 30), 2, false, "2024-11-03 01:30:00.000", "first 01:30 of the overlap (EDT)"},
        {false, Date(2024, 11, 3, 6, 30), 2, false, "2024-11-03 01:30:00.000", "second 01:30 of the overlap (EST)"},
        {false, Date(2024, 10, 27, 0, 59, 59), 1, false, "2024-10-27 02:59:59.000", "Berlin before fall-back"},
        {false, Date(2024, 10, 27, 1, 0), 1, false, "2024-10-27 02:00:00.000", "Berlin after fall-back"},
        {true, InvalidDate(), 1, false, "(invalid)", "an invalid value"},
        {true, NullDate(), 1, false, "(null)", "null stays null"},
        {false, NullDate(), 9, false, "(null)", "null stays null even for an unknown zone"},
        {true, Date(2024, 1, 1, 0, 0), -1, false, "(invalid)", "no zone"},
        {false, Date(2024, 1, 1, 0, 0), 5, true, "2024-01-01 00:00:00.000", "an unknown zone keeps the input"},
        {false, Date(2024, 1, 1, 0, 0), 5, false, "(invalid)", "an unknown zone"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const COleDateTime out = c.toUtc ? CTimeTools::DateTimeFromTzToUTC(c.in, c.zone, c.returnInput)
                                         : CTimeTools::DateTimeFromUTCToTz(c.in, c.zone, c.returnInput);
        EXPECT_EQ(Text(out), c.out);
    }
}

TEST(TimeZoneDatabase, ZoneZeroIsTheSystemZoneAndTheShiftApplies)
{
    LoadFourZones();
    ScopedTime time(UsEastern(), At(2024, 7, 1, 12, 0, 0));
    EXPECT_EQ(Text(CTimeTools::DateTimeFromTzToUTC(Date(2024, 7, 1, 8, 0), 0, false)), "2024-07-01 12:00:00.000");
    EXPECT_EQ(Text(CTimeTools::DateTimeFromUTCToTz(Date(2024, 7, 1, 12, 0), 0, false)), "2024-07-01 08:00:00.000");

    ShiftScope shift(30); // our clock is 30 s ahead of the server's
    EXPECT_EQ(Text(CTimeTools::DateTimeFromTzToUTC(Date(2024, 7, 1, 12, 0), 1, false)), "2024-07-01 09:59:30.000");
    EXPECT_EQ(Text(CTimeTools::DateTimeFromUTCToTz(Date(2024, 7, 1, 10, 0), 1, false)), "2024-07-01 12:00:30.000");
    EXPECT_EQ(Text(CTimeTools::DateTimeFromTzToUTC(Date(2024, 7, 1, 8, 0), 0, false)), "2024-07-01 11:59:30.000")
        << "zone 0 takes the system conversion with its shift";
}

TEST(TimeZoneDatabase, ConvertsFromZoneToZoneWithoutTheShift)
{
    LoadFourZones();
    ScopedTime time(UsEastern(), At(2024, 7, 1, 12, 0, 0));
    ShiftScope shift(3600); // must not enter zone-to-zone conversions
    struct TzCase
    {
        COleDateTime in;
        int from, to;
        bool returnInput;
        std::string out;
        const char* why;
    };
    const TzCase cases[] = {
        {Date(2024, 7, 1, 12, 0), 1, 3, false, "2024-07-01 19:00:00.000", "Berlin to Tokyo"},
        {Date(2024, 1, 1, 0, 0), 3, 2, false, "2023-12-31 10:00:00.000", "Tokyo to New York, over the year's end"},
        {Date(2024, 7, 1, 12, 0), 1, 0, false, "2024-07-01 06:00:00.000", "Berlin to the system zone"},
        {Date(2024, 7, 1, 6, 0), 0, 4, false, "2024-07-01 15:30:00.000", "the system zone to Kolkata"},
        {Date(2024, 3, 31, 2, 30), 1, 3, false, "(invalid)", "a time in the from-zone's gap"},
        {InvalidDate(), 2, 2, false, "(invalid)", "equal zones return even an invalid input as it is"},
        {Date(2024, 5, 5, 5, 5), 7, 7, false, "2024-05-05 05:05:00.000", "equal unknown zones too"},
        {Date(2024, 5, 5, 5, 5), 1, 7, false, "(invalid)", "an unknown to-zone"},
        {Date(2024, 5, 5, 5, 5), -1, 1, true, "2024-05-05 05:05:00.000", "no from-zone keeps the input"},
        {NullDate(), 1, 2, false, "(null)", "null stays null"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Text(CTimeTools::DateTimeFromTzToTz(c.in, c.from, c.to, c.returnInput)), c.out);
    }
}

TEST(TimeZoneDatabase, CurrentTimeOffsetAndDaylightAgainstTheInjectedNow)
{
    LoadFourZones();
    ScopedTime time(CentralEurope(), At(2024, 7, 1, 12, 0, 0, 250));
    EXPECT_EQ(Text(CTimeTools::GetCurrentTimeTz(1)), "2024-07-01 14:00:00.250");
    EXPECT_EQ(Text(CTimeTools::GetCurrentTimeTz(2)), "2024-07-01 08:00:00.250");
    EXPECT_EQ(Text(CTimeTools::GetCurrentTimeTz(9)), "(invalid)");
    EXPECT_EQ(Text(CTimeTools::GetCurrentTimeTz(0)), "2024-07-01 14:00:00.000") << "the system zone, whole seconds";
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(1), 7200);
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(2), -14400);
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(4), 19800);
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(9), 7200) << "unknown: the system offset";
    EXPECT_TRUE(CTimeTools::IsDaylightTime(1));
    EXPECT_TRUE(CTimeTools::IsDaylightTime(2));
    EXPECT_FALSE(CTimeTools::IsDaylightTime(3));
    EXPECT_FALSE(CTimeTools::IsDaylightTime(9));

    time.Set(At(2024, 1, 15, 12, 0, 0));
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(1), 3600);
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(2), -18000);
    EXPECT_FALSE(CTimeTools::IsDaylightTime(1));

    ShiftScope shift(90);
    EXPECT_EQ(Text(CTimeTools::GetCurrentTimeTz(1)), "2024-01-15 12:58:30.000") << "server time: now minus the shift";
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(1), 3600 - 90) << "the shift enters the zone offset with minus";
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetTz(9), 3600 + 90) << "unknown: the local offset with the shift";
}

TEST(TimeZoneDatabase, SplitsAPeriodAtOffsetChanges)
{
    ScopedTime time(CentralEurope(), At(2024, 1, 1, 0, 0, 0));
    struct SplitCase
    {
        COleDateTime start, end;
        std::vector<Piece> pieces;
        const char* why;
    };
    // The clock skips 02:00 to 03:00 on 31 March; the system reads the missing 02:00 as summer time already.
    const SplitCase cases[] = {
        {Date(2024, 6, 3, 8, 0),
         Date(2024, 6, 4, 8, 30),
         {{"2024-06-03 08:00:00.000", "2024-06-04 08:30:00.000", 120}},
         "a day without change"},
        {Date(2024, 3, 28, 0, 0),
         Date(2024, 4, 3, 0, 0),
         {{"2024-03-28 00:00:00.000", "2024-03-31 02:00:00.000", 60},
          {"2024-03-31 02:00:00.000", "2024-04-03 00:00:00.000", 120}},
         "a week with the spring change"},
        {Date(2024, 3, 30, 12, 0),
         Date(2024, 3, 31, 5, 30),
         {{"2024-03-30 12:00:00.000", "2024-03-31 02:00:00.000", 60},
          {"2024-03-31 02:00:00.000", "2024-03-31 05:30:00.000", 120}},
         "the short last stretch after a change is kept"},
        {Date(2024, 6, 3, 8, 0),
         Date(2024, 6, 3, 7, 0),
         {{"2024-06-03 08:00:00.000", "2024-06-03 07:00:00.000", 120}},
         "an end before the start: one piece as given"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        PeriodList list;
        CTimeTools::SplitByUTCOffset(c.start, c.end, list.items);
        std::vector<Piece> pieces;
        for (INT_PTR i = 0; i < list.items.GetSize(); ++i)
            pieces.push_back(
                {Text(list.items[i]->m_dtStart), Text(list.items[i]->m_dtEnd), list.items[i]->m_nUTCOffsetMin});
        EXPECT_EQ(pieces, c.pieces);
    }
}
