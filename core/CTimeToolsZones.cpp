// The time-zone database of CTimeTools: zone rules from Boost's table, numbered in the table's
// order, and the Windows key names mapped to them.
#include "core/CTimeTools.h"
#include "core/ZipArchive.h"
#include "framework/CStringConversion.h"
#include <boost/date_time/local_time/local_time.hpp>
#include <cctype>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace pt = boost::posix_time;
namespace lt = boost::local_time;
namespace gr = boost::gregorian;

namespace
{
constexpr int kTablesResourceId = 11018;
constexpr wchar_t kRuleEntry[] = L"TimeTools_date_time_zonespec.csv";
constexpr wchar_t kWindowsEntry[] = L"WindowsToIANA.csv";
constexpr wchar_t kRuleFileName[] = L"date_time_zonespec.csv";
constexpr wchar_t kWindowsFileName[] = L"WindowsToIANA.csv";

struct ZoneDatabase
{
    std::mutex lock; // every map and the rule database
    lt::tz_database rules;
    std::map<int32_t, std::string> names;   // number to name as written
    std::map<std::string, int32_t> numbers; // lower-cased name to number
    std::map<int32_t, lt::time_zone_ptr> cache;
    std::map<std::wstring, std::map<std::wstring, int32_t>> windows; // key name, region, number
};

ZoneDatabase& Database()
{
    static ZoneDatabase* db = new ZoneDatabase; // never destroyed: statics may convert times at exit
    return *db;
}

COleDateTime InvalidDate()
{
    COleDateTime dt;
    dt.SetStatus(COleDateTime::invalid);
    return dt;
}

COleDateTime Failure(const COleDateTime& dt, bool bReturnInputOnError)
{
    return bReturnInputOnError ? dt : InvalidDate();
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The zone name of a rule line: quoted, or up to the first comma; empty when the line has neither.
std::string ZoneNameOfLine(const std::string& line)
{
    if (!line.empty() && line[0] == '"')
    {
        const size_t close = line.find('"', 1);
        return close == std::string::npos ? std::string() : line.substr(1, close - 1);
    }
    const size_t comma = line.find(',');
    return comma == std::string::npos ? std::string() : line.substr(0, comma);
}

std::filesystem::path PathOf(const CString& str)
{
    return std::filesystem::path(std::wstring(str.GetString()));
}

void StripLineEnd(std::string& line)
{
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

// The caller holds the lock.
int32_t NumberByNameLocked(ZoneDatabase& db, const std::string& name)
{
    const auto found = db.numbers.find(LowerCase(name));
    return found == db.numbers.end() ? CTimeTools::invalid_tz : found->second;
}

lt::time_zone_ptr ZoneOfNumber(int nZone)
{
    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    const auto cached = db.cache.find(nZone);
    if (cached != db.cache.end()) return cached->second;
    const auto name = db.names.find(nZone);
    if (nZone < 1 || name == db.names.end()) return lt::time_zone_ptr();
    lt::time_zone_ptr zone = db.rules.time_zone_from_region(name->second);
    db.cache[nZone] = zone; // an empty pointer too: the rule database will not learn the region later
    return zone;
}

bool IsKnownZone(int nZone)
{
    if (nZone < 1) return false;
    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    return db.names.count(nZone) != 0;
}

std::wstring JoinPath(const CString& strFolder, const wchar_t* name)
{
    std::wstring folder;
    if (strFolder.IsEmpty())
    {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH) return std::wstring();
        folder = temp;
    }
    else
    {
        folder = strFolder.GetString();
    }
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder + name;
}

struct ResourceBlock
{
    const void* data = nullptr;
    DWORD size = 0;
};

// The module that holds this code: the tables travel with it, whether an executable or a DLL.
bool FindTablesResource(ResourceBlock& block)
{
    static const char anchor = 0; // any address inside this module
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&anchor), &module))
        return false;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kTablesResourceId), L"FILE");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    block.data = loaded ? LockResource(loaded) : nullptr;
    block.size = SizeofResource(module, found);
    return block.data != nullptr && block.size != 0;
}

bool ExtractEntry(ZipHandle zip, const wchar_t* entry, const std::wstring& target)
{
    int index = -1;
    ZipEntry found{};
    if (ZipFindItem(zip, entry, true, &index, &found) != ZR_OK || index < 0) return false;
    return ZipExtractItem(zip, index, const_cast<wchar_t*>(target.c_str()), 0, ZIP_FILENAME) == ZR_OK;
}

// A local time of a zone as an instant; throws for times in the zone's gap or overlap.
pt::ptime ZoneLocalToUtc(const pt::ptime& local, const lt::time_zone_ptr& zone)
{
    const lt::local_date_time ldt(local.date(), local.time_of_day(), zone, lt::local_date_time::EXCEPTION_ON_ERROR);
    return ldt.utc_time();
}

pt::ptime UtcToZoneLocal(const pt::ptime& utc, const lt::time_zone_ptr& zone)
{
    return lt::local_date_time(utc, zone).local_time();
}

// Both without the shift: a step of the zone-to-zone conversion.
COleDateTime PlainZoneToUtc(const COleDateTime& dt, const lt::time_zone_ptr& zone)
{
    const pt::ptime t = CTimeTools::DateTimeToPtime(dt);
    if (t.is_special() || !zone) return dt;
    return CTimeTools::PtimeToDateTime(ZoneLocalToUtc(t, zone));
}

COleDateTime PlainUtcToZone(const COleDateTime& dt, const lt::time_zone_ptr& zone)
{
    const pt::ptime t = CTimeTools::DateTimeToPtime(dt);
    if (t.is_special() || !zone) return dt;
    return CTimeTools::PtimeToDateTime(UtcToZoneLocal(t, zone));
}

pt::time_duration ShiftDuration()
{
    return pt::seconds(CTimeTools::m_nUTCShift_sec.load());
}

// Local minus UTC in minutes, rounded; a time the zone cannot convert counts as UTC.
int32_t OffsetMinutesAt(const TIME_ZONE_INFORMATION& zone, const COleDateTime& local)
{
    SYSTEMTIME l{}, u{};
    if (!local.GetAsSystemTime(l)) return 0;
    if (!TzSpecificLocalTimeToSystemTime(&zone, &l, &u)) u = l;
    const pt::ptime lp = CTimeTools::SystemTimeToPtime(l);
    const pt::ptime up = CTimeTools::SystemTimeToPtime(u);
    if (lp.is_special() || up.is_special()) return 0;
    return static_cast<int32_t>(std::llround(static_cast<double>((lp - up).total_seconds()) / 60.0));
}
} // namespace

// ---- Loading ----

bool CTimeTools::LoadTimeZonesFromResources(const CString& strFolder)
{
    ResourceBlock block;
    if (!FindTablesResource(block)) return false;
    const std::wstring rulePath = JoinPath(strFolder, kRuleFileName);
    const std::wstring windowsPath = JoinPath(strFolder, kWindowsFileName);
    if (rulePath.empty() || windowsPath.empty()) return false;
    DeleteFileW(rulePath.c_str());

    ZipHandle zip = ZipOpen(block.data, block.size, ZIP_MEMORY);
    if (!zip) return false;
    const bool extracted = ExtractEntry(zip, kRuleEntry, rulePath) && ExtractEntry(zip, kWindowsEntry, windowsPath);
    ZipCloseReader(zip);
    if (!extracted) return false;

    const bool loaded =
        LoadTimeZoneRulesFromFile(CString(rulePath.c_str())) && LoadWindowsZonesFromFile(CString(windowsPath.c_str()));
    DeleteFileW(rulePath.c_str());
    return loaded;
}

bool CTimeTools::LoadTimeZoneRulesFromFile(const CString& strPath)
{
    // Everything is read into fresh tables first, so that a file the parser refuses leaves the
    // loaded ones alone, and a second load keeps no number or cached zone of the first.
    lt::tz_database rules;
    std::vector<std::string> names;
    try
    {
        std::ifstream in(PathOf(strPath), std::ios::binary);
        if (!in) return false;
        std::string line;
        std::getline(in, line); // column headings
        rules.load_from_stream(in);
    }
    catch (const std::exception&) // Boost's data_not_accessible, bad_field_count and bad values
    {
        return false;
    }

    std::ifstream in(PathOf(strPath), std::ios::binary);
    if (!in) return false;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
    {
        StripLineEnd(line);
        if (line.empty()) continue;
        std::string name = ZoneNameOfLine(line);
        if (!name.empty()) names.push_back(std::move(name));
    }

    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    db.rules = std::move(rules);
    db.names.clear();
    db.numbers.clear();
    db.cache.clear();
    db.windows.clear(); // its numbers belonged to the old rules
    int32_t number = 0;
    for (const std::string& name : names)
    {
        ++number;
        db.names[number] = name;
        db.numbers[LowerCase(name)] = number;
    }
    return true;
}

bool CTimeTools::LoadWindowsZonesFromFile(const CString& strPath)
{
    std::map<std::wstring, std::map<std::wstring, std::string>> lines;
    std::ifstream in(PathOf(strPath), std::ios::binary); // a file that cannot be opened reads as empty
    std::string line;
    while (in && std::getline(in, line))
    {
        StripLineEnd(line);
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (!line.empty() && line.back() == '\t') fields.emplace_back();
        if (fields.size() != 3) continue;
        lines[WidenText(fields[0].c_str(), -1)][WidenText(fields[1].c_str(), -1)] = fields[2];
    }

    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    db.windows.clear();
    for (const auto& [key, regions] : lines)
        for (const auto& [region, zone] : regions)
            db.windows[key][region] = NumberByNameLocked(db, zone);
    return true;
}

// ---- Look-ups ----

int CTimeTools::FindTimeZone(const CString& strName)
{
    const std::string name = NarrowText(strName.GetString(), strName.GetLength());
    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    return NumberByNameLocked(db, name);
}

CString CTimeTools::GetTimeZoneName(int nZone)
{
    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    const auto found = db.names.find(nZone);
    return found == db.names.end() ? CString() : CString(WidenText(found->second.c_str(), -1).c_str());
}

std::map<int32_t, std::string> CTimeTools::GetTimeZones()
{
    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    return db.names;
}

BOOL CTimeTools::IsValidTimeZone(int nZone, bool bLocalIsValid)
{
    if (nZone < 0) return FALSE;
    if (nZone == local_tz) return bLocalIsValid ? TRUE : FALSE;
    return IsKnownZone(nZone) ? TRUE : FALSE;
}

int CTimeTools::GetLocalTimeZone()
{
    wchar_t region[3] = {};
    const GEOID geo = GetUserGeoID(GEOCLASS_NATION);
    if (geo == GEOID_NOT_AVAILABLE || GetGeoInfoW(geo, GEO_ISO2, region, 3, 0) == 0) region[0] = L'\0';
    DYNAMIC_TIME_ZONE_INFORMATION dtzi{};
    GetSavedDynamicZoneInformation(dtzi);
    dtzi.TimeZoneKeyName[127] = L'\0';

    ZoneDatabase& db = Database();
    std::lock_guard<std::mutex> lock(db.lock);
    const auto key = db.windows.find(dtzi.TimeZoneKeyName);
    if (key == db.windows.end()) return invalid_tz;
    auto zone = key->second.find(region);
    if (zone == key->second.end()) zone = key->second.find(L"001");
    return zone == key->second.end() ? invalid_tz : zone->second;
}

// ---- Conversions ----

COleDateTime CTimeTools::DateTimeFromTzToUTC(const COleDateTime& dt, int nZone, bool bReturnInputOnError)
{
    if (dt.GetStatus() == COleDateTime::null) return dt;
    if (dt.GetStatus() != COleDateTime::valid) return Failure(dt, bReturnInputOnError);
    if (nZone == local_tz) return DateTimeLocalToUTC(dt, bReturnInputOnError);
    const lt::time_zone_ptr zone = ZoneOfNumber(nZone);
    if (!zone) return Failure(dt, bReturnInputOnError);
    try
    {
        const pt::ptime local = DateTimeToPtime(dt);
        if (local.is_special()) return Failure(dt, bReturnInputOnError);
        pt::ptime utc = ZoneLocalToUtc(local, zone);
        if (m_bUTCShiftSet) utc -= ShiftDuration();
        const COleDateTime result = PtimeToDateTime(utc);
        return result.GetStatus() == COleDateTime::valid ? result : Failure(dt, bReturnInputOnError);
    }
    catch (const std::exception&) // a local time in the gap or the overlap, or outside the calendar
    {
        return Failure(dt, bReturnInputOnError);
    }
}

COleDateTime CTimeTools::DateTimeFromUTCToTz(const COleDateTime& dt, int nZone, bool bReturnInputOnError)
{
    if (dt.GetStatus() == COleDateTime::null) return dt;
    if (dt.GetStatus() != COleDateTime::valid) return Failure(dt, bReturnInputOnError);
    if (nZone == local_tz) return DateTimeUTCToLocal(dt, bReturnInputOnError);
    const lt::time_zone_ptr zone = ZoneOfNumber(nZone);
    if (!zone) return Failure(dt, bReturnInputOnError);
    try
    {
        const pt::ptime utc = DateTimeToPtime(dt);
        if (utc.is_special()) return Failure(dt, bReturnInputOnError);
        pt::ptime local = UtcToZoneLocal(utc, zone);
        if (m_bUTCShiftSet) local += ShiftDuration();
        const COleDateTime result = PtimeToDateTime(local);
        return result.GetStatus() == COleDateTime::valid ? result : Failure(dt, bReturnInputOnError);
    }
    catch (const std::exception&)
    {
        return Failure(dt, bReturnInputOnError);
    }
}

COleDateTime CTimeTools::DateTimeFromTzToTz(const COleDateTime& dt, int nFromZone, int nToZone,
                                            bool bReturnInputOnError)
{
    if (nFromZone == nToZone) return dt;
    if (dt.GetStatus() == COleDateTime::null) return dt;
    if (dt.GetStatus() != COleDateTime::valid) return Failure(dt, bReturnInputOnError);
    try
    {
        const lt::time_zone_ptr from = nFromZone == local_tz ? lt::time_zone_ptr() : ZoneOfNumber(nFromZone);
        const lt::time_zone_ptr to = nToZone == local_tz ? lt::time_zone_ptr() : ZoneOfNumber(nToZone);
        if ((nFromZone != local_tz && !from) || (nToZone != local_tz && !to)) return Failure(dt, bReturnInputOnError);
        const COleDateTime utc = nFromZone == local_tz ? PlainDateTimeLocalToUTC(dt, true) : PlainZoneToUtc(dt, from);
        if (utc.GetStatus() != COleDateTime::valid) return Failure(dt, bReturnInputOnError);
        const COleDateTime result = nToZone == local_tz ? PlainDateTimeUTCToLocal(utc, true) : PlainUtcToZone(utc, to);
        return result.GetStatus() == COleDateTime::valid ? result : Failure(dt, bReturnInputOnError);
    }
    catch (const std::exception&)
    {
        return Failure(dt, bReturnInputOnError);
    }
}

COleDateTime CTimeTools::GetCurrentTimeTz(int nZone)
{
    if (nZone == local_tz) return GetCurrentTimeLocal();
    const lt::time_zone_ptr zone = ZoneOfNumber(nZone);
    if (!zone) return InvalidDate();
    pt::ptime utc = GetUniversalClockNow();
    if (m_bUTCShiftSet) utc -= ShiftDuration();
    try
    {
        return PtimeToDateTime(UtcToZoneLocal(utc, zone));
    }
    catch (const std::exception&)
    {
        return InvalidDate();
    }
}

int32_t CTimeTools::GetCurrentUTCOffsetTz(int nZone)
{
    if (!IsKnownZone(nZone)) return m_bUTCShiftSet ? GetCurrentUTCOffsetLocal() : GetCurrentUTCOffsetSystem();
    const lt::time_zone_ptr zone = ZoneOfNumber(nZone);
    if (!zone) return 0;
    const pt::ptime now = GetUniversalClockNow();
    try
    {
        pt::ptime local = UtcToZoneLocal(now, zone);
        if (m_bUTCShiftSet) local -= ShiftDuration();
        return static_cast<int32_t>((local - now).total_microseconds() / 1000000);
    }
    catch (const std::exception&)
    {
        return 0;
    }
}

bool CTimeTools::IsDaylightTime(int nZone)
{
    if (nZone == local_tz)
    {
        const std::time_t now = std::time(nullptr);
        const std::tm* local = std::localtime(&now);
        return local && local->tm_isdst > 0;
    }
    const lt::time_zone_ptr zone = ZoneOfNumber(nZone);
    if (!zone) return false;
    const pt::ptime utc = DateTimeToPtime(GetCurrentTimeUTC());
    if (utc.is_special()) return false;
    try
    {
        return lt::local_date_time(utc, zone).is_dst();
    }
    catch (const std::exception&)
    {
        return false;
    }
}

void CTimeTools::SplitByUTCOffset(const COleDateTime& dtStart, const COleDateTime& dtEnd,
                                  CArray<ZonePeriod*, ZonePeriod*>& periods)
{
    TIME_ZONE_INFORMATION zone{};
    GetSavedZoneInformation(zone);

    COleDateTime pieceStart = dtStart;
    int32_t offset = OffsetMinutesAt(zone, dtStart);
    bool changed = false;
    auto append = [&](const COleDateTime& end) {
        auto* period = new ZonePeriod;
        period->m_dtStart = pieceStart;
        period->m_dtEnd = end;
        period->m_nUTCOffsetMin = offset;
        periods.Add(period);
    };

    if (dtStart.GetStatus() == COleDateTime::valid && dtEnd.GetStatus() == COleDateTime::valid)
    {
        const double spanSeconds = std::round(
            (COleDateTime::DoubleFromDate(dtEnd.m_dt) - COleDateTime::DoubleFromDate(dtStart.m_dt)) * 86400.0);
        const long long steps = static_cast<long long>(spanSeconds / 3600.0);
        const double start = COleDateTime::DoubleFromDate(dtStart.m_dt);
        for (long long i = 1; i <= steps; ++i)
        {
            // From the start each time: adding 1/24 step by step would drift in doubles.
            COleDateTime at(COleDateTime::DateFromDouble(start + static_cast<double>(i) / 24.0));
            at.SetStatus(COleDateTime::valid);
            const int32_t atOffset = OffsetMinutesAt(zone, at);
            if (atOffset == offset) continue;
            append(at);
            pieceStart = at;
            offset = atOffset;
            changed = true;
        }
    }
    // The last stretch belongs to the result whenever it is not empty, however short.
    if (!changed || (pieceStart.GetStatus() == COleDateTime::valid && dtEnd.GetStatus() == COleDateTime::valid &&
                     COleDateTime::DoubleFromDate(pieceStart.m_dt) < COleDateTime::DoubleFromDate(dtEnd.m_dt)))
        append(dtEnd);
}
