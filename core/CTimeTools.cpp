#include "core/CTimeTools.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <oleauto.h>
#include <cmath>
#include <map>
#include <mutex>
#include <vector>

namespace pt = boost::posix_time;
namespace gr = boost::gregorian;

std::atomic<int32_t> CTimeTools::m_nUTCShift_sec{0};
std::atomic<bool> CTimeTools::m_bUTCShiftSet{false};

namespace
{
constexpr double kMsPerDay = 86400000.0;
constexpr LONGLONG kMsPerDayInt = 86400000;
constexpr DWORD kZoneFailure = TIME_ZONE_ID_INVALID;

struct ZoneData
{
    DYNAMIC_TIME_ZONE_INFORMATION dynamic{};
    DWORD dynamicResult = 0;
    TIME_ZONE_INFORMATION zone{};
    DWORD state = 0;
};

// Hours signed, minutes and seconds of the absolute value; the sign is kept apart so that
// offsets under one hour do not lose it.
struct Offset
{
    bool negative;
    unsigned hours, minutes, seconds;
};

Offset SplitOffset(int32_t seconds)
{
    const int64_t a = seconds < 0 ? -int64_t{seconds} : seconds;
    return {seconds < 0, static_cast<unsigned>(a / 3600), static_cast<unsigned>(a % 3600 / 60),
            static_cast<unsigned>(a % 60)};
}

struct State
{
    std::mutex zoneLock; // the saved zone data are several words: readers copy them whole
    ZoneData zone;
    std::atomic<int32_t> bias{0};          // local minus UTC now, seconds
    std::atomic<int32_t> biasWithShift{0}; // the same plus the shift
    std::atomic<CTimeTools::UtcClock> clock{nullptr};
    std::atomic<bool> zoneInstalled{false};
    DYNAMIC_TIME_ZONE_INFORMATION installedZone{}; // under zoneLock

    std::mutex listenersLock;
    std::map<HWND, UINT> windows;
    std::map<DWORD, UINT> threads;
};

DWORD Refresh(State& s);

// Built with its first refresh before anyone can read it.
State& GetState()
{
    static State* state = [] {
        auto* s = new State; // never destroyed: other statics may still tell the time at exit
        Refresh(*s);
        return s;
    }();
    return *state;
}

pt::ptime NowUniversal(const State& s)
{
    const auto clock = s.clock.load();
    return clock ? clock() : pt::microsec_clock::universal_time();
}

SYSTEMTIME WholeSecondFields(const pt::ptime& t)
{
    SYSTEMTIME st{};
    const auto d = t.date();
    const auto tod = t.time_of_day();
    st.wYear = static_cast<WORD>(d.year());
    st.wMonth = static_cast<WORD>(d.month());
    st.wDay = static_cast<WORD>(d.day());
    st.wHour = static_cast<WORD>(tod.hours());
    st.wMinute = static_cast<WORD>(tod.minutes());
    st.wSecond = static_cast<WORD>(tod.seconds());
    return st;
}

pt::ptime FromFields(const SYSTEMTIME& st)
{
    return pt::ptime(gr::date(st.wYear, st.wMonth, st.wDay), pt::hours(st.wHour) + pt::minutes(st.wMinute) +
                                                                 pt::seconds(st.wSecond) +
                                                                 pt::milliseconds(st.wMilliseconds));
}

// A UTC instant in the given zone, with the rules in force at that instant.
bool ZoneLocal(const TIME_ZONE_INFORMATION& zone, const pt::ptime& utc, pt::ptime& local)
{
    const SYSTEMTIME u = WholeSecondFields(utc);
    SYSTEMTIME l{};
    if (!SystemTimeToTzSpecificLocalTime(&zone, &u, &l)) return false;
    l.wMilliseconds = 0;
    local = FromFields(l) + pt::microseconds(utc.time_of_day().fractional_seconds());
    return true;
}

pt::ptime NowLocal(State& s)
{
    if (!s.clock.load() && !s.zoneInstalled.load()) return pt::microsec_clock::local_time();
    const pt::ptime utc = NowUniversal(s);
    TIME_ZONE_INFORMATION zone;
    {
        std::lock_guard<std::mutex> lock(s.zoneLock);
        zone = s.zone.zone;
    }
    pt::ptime local = utc;
    ZoneLocal(zone, utc, local);
    return local;
}

// What GetTimeZoneInformation would answer for an installed zone, judged at the clock's now.
DWORD InstalledZoneState(const State& s, const TIME_ZONE_INFORMATION& zone)
{
    if (zone.DaylightDate.wMonth == 0 || zone.DaylightBias == 0) return TIME_ZONE_ID_UNKNOWN;
    const pt::ptime utc = NowUniversal(s);
    pt::ptime local;
    if (!ZoneLocal(zone, utc, local)) return kZoneFailure;
    const auto biasMinutes = (local - utc).total_seconds() / 60;
    return biasMinutes == -(zone.Bias + zone.DaylightBias) ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

DWORD Refresh(State& s)
{
    ZoneData z;
    bool installed = false;
    {
        std::lock_guard<std::mutex> lock(s.zoneLock);
        installed = s.zoneInstalled.load();
        if (installed) z.dynamic = s.installedZone;
    }
    if (installed)
    {
        z.zone.Bias = z.dynamic.Bias;
        z.zone.StandardBias = z.dynamic.StandardBias;
        z.zone.DaylightBias = z.dynamic.DaylightBias;
        z.zone.StandardDate = z.dynamic.StandardDate;
        z.zone.DaylightDate = z.dynamic.DaylightDate;
        wcsncpy_s(z.zone.StandardName, z.dynamic.StandardName, _TRUNCATE);
        wcsncpy_s(z.zone.DaylightName, z.dynamic.DaylightName, _TRUNCATE);
        z.state = InstalledZoneState(s, z.zone);
        z.dynamicResult = z.state;
    }
    else
    {
        z.dynamicResult = GetDynamicTimeZoneInformation(&z.dynamic);
        z.state = GetTimeZoneInformation(&z.zone);
    }
    int32_t bias = s.bias.load(); // a failed reading keeps the previous bias
    if (z.state == TIME_ZONE_ID_UNKNOWN || z.state == TIME_ZONE_ID_STANDARD)
        bias = -60 * z.zone.Bias;
    else if (z.state == TIME_ZONE_ID_DAYLIGHT)
        bias = -60 * (z.zone.Bias + z.zone.DaylightBias);
    {
        std::lock_guard<std::mutex> lock(s.zoneLock);
        s.zone = z;
    }
    s.bias = bias;
    s.biasWithShift = bias + CTimeTools::m_nUTCShift_sec.load();
    return z.state;
}

COleDateTime Invalid()
{
    COleDateTime dt;
    dt.SetStatus(COleDateTime::invalid);
    return dt;
}

COleDateTime FailureResult(const COleDateTime& dt, bool bReturnInputOnError)
{
    return bReturnInputOnError ? dt : Invalid();
}

DATE AddDays(DATE date, double days)
{
    return COleDateTime::DateFromDouble(COleDateTime::DoubleFromDate(date) + days);
}

COleDateTime ValidDate(DATE date)
{
    COleDateTime dt(date);
    dt.SetStatus(COleDateTime::valid);
    return dt;
}

// The whole day of a value (toward zero) and its time of day in whole milliseconds, rounded;
// a time that rounds up to midnight moves to the next day.
bool SplitDayAndMilliseconds(DATE date, SYSTEMTIME& day, LONGLONG& ms)
{
    if (!std::isfinite(date)) return false;
    double whole = std::trunc(date);
    ms = std::llround(std::fabs(date - whole) * kMsPerDay);
    if (ms >= kMsPerDayInt)
    {
        ms -= kMsPerDayInt;
        whole += 1;
    }
    return COleDateTime(whole).GetAsSystemTime(day);
}

// The plain conversions: calendar fields in whole seconds through the saved zone.
template <typename Convert> COleDateTime ConvertPlain(const COleDateTime& dt, bool bReturnInputOnError, Convert convert)
{
    if (dt.GetStatus() == COleDateTime::null) return dt;
    if (dt.GetStatus() != COleDateTime::valid) return FailureResult(dt, bReturnInputOnError);
    SYSTEMTIME from{}, to{};
    TIME_ZONE_INFORMATION zone{};
    CTimeTools::GetSavedZoneInformation(zone);
    if (!dt.GetAsSystemTime(from) || !convert(&zone, &from, &to)) return FailureResult(dt, bReturnInputOnError);
    to.wMilliseconds = 0;
    COleDateTime result(to);
    if (result.GetStatus() != COleDateTime::valid) return FailureResult(dt, bReturnInputOnError);
    return result;
}

COleDateTime PlainLocalToUtc(const COleDateTime& dt, bool bReturnInputOnError)
{
    return ConvertPlain(dt, bReturnInputOnError,
                        [](const TIME_ZONE_INFORMATION* z, const SYSTEMTIME* f, SYSTEMTIME* t) {
                            return TzSpecificLocalTimeToSystemTime(z, f, t) != FALSE;
                        });
}

COleDateTime PlainUtcToLocal(const COleDateTime& dt, bool bReturnInputOnError)
{
    return ConvertPlain(dt, bReturnInputOnError,
                        [](const TIME_ZONE_INFORMATION* z, const SYSTEMTIME* f, SYSTEMTIME* t) {
                            return SystemTimeToTzSpecificLocalTime(z, f, t) != FALSE;
                        });
}

pt::ptime MinusShift(const pt::ptime& t)
{
    return CTimeTools::m_bUTCShiftSet ? t - pt::seconds(CTimeTools::m_nUTCShift_sec.load()) : t;
}

CString FormatTime(const SYSTEMTIME& st, bool bWithDate)
{
    CString text;
    if (bWithDate)
        text.Format(L"%04hu-%02hu-%02hu %02hu:%02hu:%02hu.%03hu", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                    st.wSecond, st.wMilliseconds);
    else
        text.Format(L"%02hu:%02hu:%02hu.%03hu", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    return text;
}

// The locale's pattern for dates or times, or empty when it does not fit the old buffer sizes.
CString LocalePattern(LCTYPE type, int nMaxChars)
{
    std::vector<wchar_t> buffer(nMaxChars + 1);
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer.data(), nMaxChars + 1)) return CString();
    return CString(buffer.data());
}

// "+hh:mm" from the sign of the whole value and the absolute hours and minutes.
CString FormatOffsetMinutes(int32_t minutes)
{
    const int32_t a = minutes < 0 ? -minutes : minutes;
    CString text;
    text.Format(L"%c%02d:%02d", minutes < 0 ? L'-' : L'+', static_cast<int>(a / 60), static_cast<int>(a % 60));
    return text;
}

// Windows says ERROR_INVALID_THREAD_ID for a thread that has ended; other platforms say
// ERROR_INVALID_PARAMETER, which then needs a look at the thread itself.
bool IsThreadGone(DWORD dwThreadId, DWORD dwPostError)
{
    if (dwPostError == ERROR_INVALID_THREAD_ID) return true;
    if (dwPostError != ERROR_INVALID_PARAMETER) return false;
    const CKernelHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, dwThreadId));
    if (!thread.IsValid()) return true;
    DWORD code = 0;
    return GetExitCodeThread(thread, &code) && code != STILL_ACTIVE;
}
} // namespace

// ---- Server clock and current time ----

void CTimeTools::SetServerTime(const CString& strPeerClock)
{
    if (strPeerClock.GetLength() < 19) return;
    State& s = GetState();
    auto field = [&](int first, int count) { return CStaticTools::ToInt(strPeerClock.Mid(first, count).GetString()); };
    const int year = field(0, 4), month = field(5, 2), day = field(8, 2);
    const int hour = field(11, 2), minute = field(14, 2), second = field(17, 2);

    const COleDateTime own = PtimeToDateTime(NowUniversal(s)); // to the millisecond, never shifted
    const COleDateTime peer(year, month, day, hour, minute, second);
    // A clock that is no date gives no shift at all rather than one against day 0.
    if (own.GetStatus() != COleDateTime::valid || peer.GetStatus() != COleDateTime::valid) return;

    // The difference in whole milliseconds first, then seconds rounded half away from zero in
    // integers: in doubles, 5.5 s can come out as 5.4999 and round the wrong way.
    const double diffDays = COleDateTime::DoubleFromDate(own.m_dt) - COleDateTime::DoubleFromDate(peer.m_dt);
    const LONGLONG diffMs = std::llround(diffDays * kMsPerDay);
    const LONGLONG shift = diffMs >= 0 ? (diffMs + 500) / 1000 : -((-diffMs + 500) / 1000);
    if (shift < INT32_MIN || shift > INT32_MAX) return;

    m_bUTCShiftSet = true;
    const int32_t before = m_nUTCShift_sec.exchange(static_cast<int32_t>(shift));
    UpdateTimeZoneInfo();
    if (before != shift) NotifyUTCShiftListeners();
}

COleDateTime CTimeTools::GetCurrentTimeUTC()
{
    COleDateTime now = PtimeToDateTime(NowUniversal(GetState()));
    if (m_bUTCShiftSet && now.GetStatus() == COleDateTime::valid)
        now.m_dt = AddDays(now.m_dt, -m_nUTCShift_sec.load() / 86400.0);
    return now;
}

COleDateTime CTimeTools::GetCurrentTimeLocal()
{
    const SYSTEMTIME st = WholeSecondFields(NowLocal(GetState()));
    COleDateTime now(st);
    if (m_bUTCShiftSet && now.GetStatus() == COleDateTime::valid)
        now.m_dt = AddDays(now.m_dt, -m_nUTCShift_sec.load() / 86400.0);
    return now;
}

void CTimeTools::GetCurrentSystemTimeLocal(SYSTEMTIME& st)
{
    PtimeToSystemTime(MinusShift(NowLocal(GetState())), st);
}

void CTimeTools::GetCurrentSystemTimeUTC(SYSTEMTIME& st)
{
    PtimeToSystemTime(MinusShift(NowUniversal(GetState())), st);
}

int32_t CTimeTools::GetCurrentUTCOffsetSystem()
{
    State& s = GetState();
    const pt::ptime utc = NowUniversal(s);
    const pt::ptime local = NowLocal(s);
    // Rounded, not truncated: the second reading is a little later, and west of Greenwich
    // truncation toward zero would turn -18000 s into -17999 s.
    const double seconds = static_cast<double>((local - utc).total_microseconds()) / 1e6;
    return static_cast<int32_t>(std::llround(seconds));
}

int32_t CTimeTools::GetCurrentUTCOffsetLocal()
{
    const int32_t offset = GetCurrentUTCOffsetSystem();
    return m_bUTCShiftSet ? offset + m_nUTCShift_sec.load() : offset;
}

DWORD CTimeTools::UpdateTimeZoneInfo()
{
    return Refresh(GetState());
}

void CTimeTools::GetSavedZoneInformation(TIME_ZONE_INFORMATION& tzi)
{
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.zoneLock);
    tzi = s.zone.zone;
}

DWORD CTimeTools::GetSavedDynamicZoneInformation(DYNAMIC_TIME_ZONE_INFORMATION& dtzi)
{
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.zoneLock);
    dtzi = s.zone.dynamic;
    return s.zone.dynamicResult;
}

// ---- Conversions of date values ----

COleDateTime CTimeTools::DateTimeLocalToUTC(const COleDateTime& dt, bool bReturnInputOnError)
{
    if (!m_bUTCShiftSet || dt.GetStatus() != COleDateTime::valid) return PlainLocalToUtc(dt, bReturnInputOnError);
    const COleDateTime utc = PlainLocalToUtc(dt, false);
    if (utc.GetStatus() != COleDateTime::valid) return FailureResult(dt, bReturnInputOnError); // not shifted
    return ValidDate(AddDays(utc.m_dt, -m_nUTCShift_sec.load() / 86400.0));
}

COleDateTime CTimeTools::DateTimeUTCToLocal(const COleDateTime& dt, bool bReturnInputOnError)
{
    if (!m_bUTCShiftSet || dt.GetStatus() != COleDateTime::valid) return PlainUtcToLocal(dt, bReturnInputOnError);
    const COleDateTime shifted = ValidDate(AddDays(dt.m_dt, m_nUTCShift_sec.load() / 86400.0));
    const COleDateTime local = PlainUtcToLocal(shifted, false);
    return local.GetStatus() == COleDateTime::valid ? local : FailureResult(dt, bReturnInputOnError);
}

COleDateTime CTimeTools::DateTimeLocalToUTC(const COleDateTime& dt)
{
    return dt.GetStatus() == COleDateTime::valid ? DateTimeLocalToUTC(dt, true) : dt;
}

COleDateTime CTimeTools::DateTimeUTCToLocal(const COleDateTime& dt)
{
    return dt.GetStatus() == COleDateTime::valid ? DateTimeUTCToLocal(dt, true) : dt;
}

COleDateTime CTimeTools::CombineDateTimeParts(const COleDateTime& dtDate, const COleDateTime& dtTime)
{
    const double days = std::fabs(std::trunc(dtDate.m_dt));
    const double time = std::fabs(dtTime.m_dt - std::trunc(dtTime.m_dt));
    return ValidDate(dtDate.m_dt < 0 ? -(days + time) : days + time);
}

COleDateTime CTimeTools::GetDatePart(const COleDateTime& dt)
{
    return ValidDate(std::trunc(dt.m_dt));
}

COleDateTime CTimeTools::GetTimePart(const COleDateTime& dt)
{
    return ValidDate(std::fabs(dt.m_dt - std::trunc(dt.m_dt)));
}

COleDateTime CTimeTools::DateTimeAddSeconds(const COleDateTime& dt, int32_t nSeconds, bool bReturnInputOnError)
{
    if (dt.GetStatus() == COleDateTime::null) return dt;
    if (dt.GetStatus() != COleDateTime::valid) return FailureResult(dt, bReturnInputOnError);
    return ValidDate(AddDays(dt.m_dt, nSeconds / 86400.0));
}

COleDateTime CTimeTools::DateTimeSubtractSeconds(const COleDateTime& dt, int32_t nSeconds, bool bReturnInputOnError)
{
    if (dt.GetStatus() == COleDateTime::null) return dt;
    if (dt.GetStatus() != COleDateTime::valid) return FailureResult(dt, bReturnInputOnError);
    return ValidDate(AddDays(dt.m_dt, -(nSeconds / 86400.0)));
}

COleDateTime CTimeTools::RoundDateTime(const COleDateTime& dt, int nLevel)
{
    if (dt.GetStatus() != COleDateTime::valid) return dt;
    SYSTEMTIME day{};
    LONGLONG ms = 0;
    if (!SplitDayAndMilliseconds(dt.m_dt, day, ms)) return dt;
    static const LONGLONG kUnits[] = {kMsPerDayInt, 3600000, 60000, 1000, 1};
    const LONGLONG unit = kUnits[nLevel < 0 ? 0 : (nLevel > 4 ? 4 : nLevel)];
    // Halves upward. Only the remainder below the unit decides: the finer fields are zeroed anyway,
    // so a carry among them must not count twice.
    LONGLONG rounded = (ms + unit / 2) / unit * unit;
    double carry = 0;
    if (rounded >= kMsPerDayInt)
    {
        rounded -= kMsPerDayInt;
        carry = 1;
    }
    const COleDateTime dayValue(day.wYear, day.wMonth, day.wDay, 0, 0, 0);
    return ValidDate(AddDays(dayValue.m_dt, carry + static_cast<double>(rounded) / kMsPerDay));
}

BOOL CTimeTools::DateTimeToSystemTime(const COleDateTime& dt, SYSTEMTIME& st)
{
    if (dt.GetStatus() != COleDateTime::valid) return FALSE;
    SYSTEMTIME day{};
    LONGLONG ms = 0;
    if (!SplitDayAndMilliseconds(dt.m_dt, day, ms)) return FALSE;
    st = day;
    st.wHour = static_cast<WORD>(ms / 3600000);
    st.wMinute = static_cast<WORD>(ms / 60000 % 60);
    st.wSecond = static_cast<WORD>(ms / 1000 % 60);
    st.wMilliseconds = static_cast<WORD>(ms % 1000);
    return TRUE;
}

INT CTimeTools::SystemTimeToDateTime(const SYSTEMTIME& st, COleDateTime& dt)
{
    SYSTEMTIME whole = st;
    whole.wMilliseconds = 0; // some platforms would count them, others not: added below, once
    DATE date = 0;
    const INT result = SystemTimeToVariantTime(&whole, &date);
    if (!result)
    {
        dt = Invalid();
        return result;
    }
    dt = ValidDate(AddDays(date, st.wMilliseconds / kMsPerDay));
    return result;
}

// ---- Microsecond instants ----

pt::ptime CTimeTools::DateTimeToPtime(const COleDateTime& dt)
{
    SYSTEMTIME day{};
    LONGLONG ms = 0;
    if (dt.GetStatus() != COleDateTime::valid || !SplitDayAndMilliseconds(dt.m_dt, day, ms))
        return pt::ptime(pt::not_a_date_time);
    try
    {
        return pt::ptime(gr::date(day.wYear, day.wMonth, day.wDay), pt::milliseconds(ms));
    }
    catch (const std::exception&) // boost's calendar starts in 1400
    {
        return pt::ptime(pt::not_a_date_time);
    }
}

COleDateTime CTimeTools::PtimeToDateTime(const pt::ptime& t)
{
    if (t.is_special()) return Invalid();
    const auto d = t.date();
    const int64_t us = t.time_of_day().total_microseconds();
    COleDateTime dt(static_cast<int>(d.year()), static_cast<int>(d.month()), static_cast<int>(d.day()),
                    static_cast<int>(us / 3600000000), static_cast<int>(us / 60000000 % 60),
                    static_cast<int>(us / 1000000 % 60));
    if (dt.GetStatus() != COleDateTime::valid) return dt;
    const int64_t ms = us / 1000 - (us / 1000000) * 1000;
    dt.m_dt = AddDays(dt.m_dt, static_cast<double>(ms) / kMsPerDay);
    return dt;
}

void CTimeTools::PtimeToSystemTime(const pt::ptime& t, SYSTEMTIME& st)
{
    if (t.is_special()) return;
    const WORD dayOfWeek = st.wDayOfWeek;
    st = WholeSecondFields(t);
    st.wDayOfWeek = dayOfWeek;
    st.wMilliseconds = static_cast<WORD>(t.time_of_day().fractional_seconds() / 1000);
}

pt::ptime CTimeTools::SystemTimeToPtime(const SYSTEMTIME& st)
{
    try
    {
        return FromFields(st);
    }
    catch (const std::exception&) // fields outside boost's calendar
    {
        return pt::ptime(pt::not_a_date_time);
    }
}

CString CTimeTools::PtimeToText(const pt::ptime& t)
{
    const COleDateTime dt = PtimeToDateTime(t);
    BSTR text = nullptr;
    if (dt.GetStatus() != COleDateTime::valid || FAILED(VarBstrFromDate(dt.m_dt, LANG_USER_DEFAULT, 0, &text)))
        return CString();
    CString result(text);
    SysFreeString(text);
    return result;
}

// ---- Texts ----

CString CTimeTools::GetTimeSyncText()
{
    const int32_t offset = GetCurrentUTCOffsetLocal();
    const COleDateTime now = GetCurrentTimeUTC();
    SYSTEMTIME st{};
    long f[6] = {-1, -1, -1, -1, -1, -1};
    if (now.GetAsSystemTime(st))
        f[0] = st.wYear, f[1] = st.wMonth, f[2] = st.wDay, f[3] = st.wHour, f[4] = st.wMinute, f[5] = st.wSecond;
    CString text;
    text.Format(L"%04ld-%02ld-%02ldT%02ld:%02ld:%02ld%+06d", f[0], f[1], f[2], f[3], f[4], f[5], offset);
    return text;
}

CString CTimeTools::FormatDateTime(const COleDateTime& dt, int32_t nOffsetSec, DWORD dwFlags)
{
    if (dt.GetStatus() == COleDateTime::null) return (dwFlags & fmtNullText) ? CString(L"(null)") : CString();
    if (dt.GetStatus() != COleDateTime::valid) return (dwFlags & fmtErrorText) ? CString(L"(error)") : CString();

    const COleDateTime working = nOffsetSec ? ValidDate(AddDays(dt.m_dt, nOffsetSec / 86400.0)) : dt;
    if ((dwFlags & fmtNoDateToday) && (dwFlags & fmtDate) &&
        std::trunc(dt.m_dt) == std::trunc(GetCurrentTimeLocal().m_dt))
        dwFlags &= ~static_cast<DWORD>(fmtDate);

    CString text;
    if (dwFlags & fmtIso)
        text = CStaticTools::FormatIsoDateTime(working, true);
    else
    {
        SYSTEMTIME st{};
        if (!working.GetAsSystemTime(st)) return CString();
        const bool bLong = (dwFlags & fmtLong) != 0;
        if (dwFlags & fmtDate)
        {
            const CString pattern = LocalePattern(bLong ? LOCALE_SLONGDATE : LOCALE_SSHORTDATE, 63);
            wchar_t date[64] = L"";
            if (!pattern.IsEmpty() && !GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, pattern.GetString(), date, 64))
                date[0] = L'\0';
            text = date;
        }
        if (dwFlags & fmtTime)
        {
            const CString pattern = LocalePattern(LOCALE_STIMEFORMAT, 15);
            wchar_t time[16] = L"";
            if (!pattern.IsEmpty() &&
                !GetTimeFormatW(LOCALE_USER_DEFAULT, bLong ? 0 : TIME_NOSECONDS, &st, pattern.GetString(), time, 16))
                time[0] = L'\0';
            if (dwFlags & fmtDate) text += L' ';
            text += time;
        }
    }
    const int32_t minutes = nOffsetSec / 60;
    if ((dwFlags & fmtOffset) || ((dwFlags & fmtIso) && minutes != 0))
    {
        if ((dwFlags & fmtLong) && (dwFlags & fmtDate))
            text += L" (UTC " + FormatOffsetMinutes(minutes) + L")";
        else
            text += FormatOffsetMinutes(minutes);
    }
    return text;
}

CString CTimeTools::FormatCurrentTimeLocal(bool bWithDate)
{
    SYSTEMTIME st{};
    GetCurrentSystemTimeLocal(st);
    State& s = GetState();
    const Offset o = SplitOffset(m_bUTCShiftSet ? s.biasWithShift.load() : s.bias.load());
    CString offset;
    offset.Format(L"%c%u:%02u:%02u", o.negative ? L'-' : L'+', o.hours, o.minutes, o.seconds);
    return FormatTime(st, bWithDate) + offset;
}

CString CTimeTools::FormatCurrentTimeUTC(bool bWithDate)
{
    SYSTEMTIME st{};
    GetCurrentSystemTimeUTC(st);
    return FormatTime(st, bWithDate);
}

CString CTimeTools::FormatPosixTimeZone(const DYNAMIC_TIME_ZONE_INFORMATION& zone)
{
    if (zone.TimeZoneKeyName[0] == L'\0' || zone.DaylightDate.wMonth == 0) return CString();
    auto absMod60 = [](LONG bias) { return static_cast<long>((bias < 0 ? -bias : bias) % 60); };
    CString text;
    text.Format(L"%ls%ld:%ld%ls%ld:%ld", zone.TimeZoneKeyName, static_cast<long>(zone.Bias / -60), absMod60(zone.Bias),
                zone.DaylightName, static_cast<long>(zone.DaylightBias / -60), absMod60(zone.DaylightBias));
    for (const SYSTEMTIME* rule : {&zone.DaylightDate, &zone.StandardDate})
        text.AppendFormat(L",M%hu.%hu.%hu/%.2hu:%.2hu:%.2hu", rule->wMonth, rule->wDay, rule->wDayOfWeek, rule->wHour,
                          rule->wMinute, rule->wSecond);
    return text;
}

// ---- UTC-shift listeners ----

void CTimeTools::RegisterUTCShiftListener(HWND hWnd, DWORD dwThreadId, UINT nMsg)
{
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.listenersLock);
    if (hWnd)
    {
        if (IsWindow(hWnd) && nMsg)
            s.windows[hWnd] = nMsg;
        else
            s.windows.erase(hWnd);
    }
    else if (dwThreadId)
    {
        if (nMsg)
            s.threads[dwThreadId] = nMsg;
        else
            s.threads.erase(dwThreadId);
    }
}

void CTimeTools::NotifyUTCShiftListeners()
{
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.listenersLock);
    for (auto it = s.windows.begin(); it != s.windows.end();)
    {
        if (!PostMessageW(it->first, it->second, 0, 0) && GetLastError() == ERROR_INVALID_WINDOW_HANDLE)
            it = s.windows.erase(it);
        else
            ++it;
    }
    for (auto it = s.threads.begin(); it != s.threads.end();)
    {
        if (!PostThreadMessageW(it->first, it->second, 0, 0) && IsThreadGone(it->first, GetLastError()))
            it = s.threads.erase(it);
        else
            ++it;
    }
}

// ---- Test seams ----

void CTimeTools::SetClockForTest(UtcClock pfnUtcNow)
{
    GetState().clock = pfnUtcNow;
    UpdateTimeZoneInfo(); // the zone state depends on the clock's now
}

void CTimeTools::SetTimeZoneForTest(const DYNAMIC_TIME_ZONE_INFORMATION* pZone)
{
    State& s = GetState();
    {
        std::lock_guard<std::mutex> lock(s.zoneLock);
        s.zoneInstalled = pZone != nullptr;
        s.installedZone = pZone ? *pZone : DYNAMIC_TIME_ZONE_INFORMATION{};
    }
    UpdateTimeZoneInfo();
}

size_t CTimeTools::GetUTCShiftListenerCountForTest()
{
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.listenersLock);
    return s.windows.size() + s.threads.size();
}

// ---- For the zone database ----

pt::ptime CTimeTools::GetUniversalClockNow()
{
    return NowUniversal(GetState());
}

COleDateTime CTimeTools::PlainDateTimeLocalToUTC(const COleDateTime& dt, bool bReturnInputOnError)
{
    return PlainLocalToUtc(dt, bReturnInputOnError);
}

COleDateTime CTimeTools::PlainDateTimeUTCToLocal(const COleDateTime& dt, bool bReturnInputOnError)
{
    return PlainUtcToLocal(dt, bReturnInputOnError);
}
