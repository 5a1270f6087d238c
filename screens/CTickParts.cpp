#include "screens/CTickParts.h"

namespace
{
constexpr LONGLONG kSecondsPerDay = 86400;
constexpr LONGLONG kDayNumberOf1601 = 584754; // 1601-01-01, with day numbers counted from year 0
constexpr LONGLONG kDaysPer400Years = 146097;
constexpr LONGLONG kDaysPerCentury = 36524;
constexpr LONGLONG kDaysPer4Years = 1461;
constexpr LONGLONG kDaysPerYear = 365;
constexpr LONGLONG kFeb29Index = 59; // day-of-year index of 29 February

// Days before each month of a non-leap year, and the year's length last.
constexpr int kDaysBeforeMonth[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

bool IsLeapYear(LONGLONG year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// A part as the unsigned 32-bit count it is taken for, widened so that carrying never wraps.
ULONGLONG AsCount(int part)
{
    return static_cast<UINT>(part);
}
} // namespace

bool PartsToTicks(const CTickParts& parts, LONGLONG& ticks) noexcept
{
    if (parts.nYear < kMinTickYear || parts.nYear > kMaxTickYear || parts.nMonth < 1 || parts.nMonth > 12) return false;

    ULONGLONG units = (AsCount(parts.nNanoSecond) + 50) / 100;
    ULONGLONG micro = AsCount(parts.nMicroSecond) + units / 10;
    units %= 10;
    ULONGLONG milli = AsCount(parts.nMilliSecond) + micro / 1000;
    micro %= 1000;
    ULONGLONG second = AsCount(parts.nSecond) + milli / 1000;
    milli %= 1000;
    ULONGLONG minute = AsCount(parts.nMinute) + second / 60;
    second %= 60;
    ULONGLONG hour = AsCount(parts.nHour) + minute / 60;
    minute %= 60;
    const ULONGLONG extraDays = hour / 24; // below 2^30 even when every part is -1
    hour %= 24;

    const LONGLONG year = parts.nYear;
    LONGLONG day = parts.nDay + kDaysBeforeMonth[parts.nMonth - 1] + kDaysPerYear * year + year / 4 - year / 100 +
                   year / 400 + static_cast<LONGLONG>(extraDays);
    if (parts.nMonth <= 2 && IsLeapYear(year)) --day; // the year's own leap day is still ahead
    const LONGLONG seconds =
        (day - kDayNumberOf1601) * kSecondsPerDay + static_cast<LONGLONG>(hour * 3600 + minute * 60 + second);
    const auto fraction = static_cast<LONGLONG>((milli * 1000 + micro) * 10 + units);

    // The far carries and the earliest years leave the 64-bit range; GCC's checked arithmetic
    // turns that into a failure instead of a wrapped, plausible-looking value.
    LONGLONG result = 0;
    if (__builtin_mul_overflow(seconds, kTicksPerSecond, &result) || __builtin_add_overflow(result, fraction, &result))
        return false;
    ticks = result;
    return true;
}

CTickParts TicksToParts(LONGLONG ticks) noexcept
{
    // Unsigned, so that the most negative count has an absolute value too.
    const ULONGLONG magnitude = ticks < 0 ? 0 - static_cast<ULONGLONG>(ticks) : static_cast<ULONGLONG>(ticks);
    const auto seconds = static_cast<LONGLONG>(magnitude / kTicksPerSecond);
    const auto fraction = static_cast<LONGLONG>(magnitude % kTicksPerSecond);
    const LONGLONG days = seconds / kSecondsPerDay;
    const LONGLONG secondOfDay = seconds % kSecondsPerDay;

    CTickParts parts;
    parts.nDayOfWeek = static_cast<int>((days + kDayNumberOf1601 - 1) % 7 + 1);

    LONGLONG n = days + kDayNumberOf1601;
    const LONGLONG q400 = n / kDaysPer400Years;
    n %= kDaysPer400Years;
    // Signed on purpose: for the first day of a 400-year cycle n - 1 is -1 and must give century 0.
    const LONGLONG century = (n - 1) / kDaysPerCentury;
    LONGLONG r = (n - 1) % kDaysPerCentury;
    LONGLONG q4 = 0;
    LONGLONG y = 0;
    bool leapCapable = true;
    if (century != 0)
    {
        // A century other than the first of its cycle opens with four years without a leap day.
        q4 = (r + 1) / kDaysPer4Years;
        if (q4 != 0)
        {
            r = (r + 1) % kDaysPer4Years;
            y = (r - 1) / kDaysPerYear;
            if (y != 0) r = (r - 1) % kDaysPerYear;
        }
        else
        {
            leapCapable = false;
            y = r / kDaysPerYear;
            r %= kDaysPerYear;
        }
    }
    else
    {
        q4 = n / kDaysPer4Years;
        r = n % kDaysPer4Years;
        y = (r - 1) / kDaysPerYear;
        if (y != 0) r = (r - 1) % kDaysPerYear;
    }
    parts.nDayOfYear = static_cast<int>(r + 1);
    parts.nYear = static_cast<int>(y + 4 * q4 + 100 * century + 400 * q400);

    const bool leapYear = leapCapable && y == 0;
    if (leapYear && r == kFeb29Index)
    {
        parts.nMonth = 2;
        parts.nDay = 29;
    }
    else
    {
        if (leapYear && r > kFeb29Index) --r;
        const int dayOfYear = static_cast<int>(r + 1);
        int month = (dayOfYear >> 5) + 1; // a first guess from below: no month has 32 days
        while (dayOfYear > kDaysBeforeMonth[month])
            ++month;
        parts.nMonth = month;
        parts.nDay = dayOfYear - kDaysBeforeMonth[month - 1];
    }

    parts.nHour = static_cast<int>(secondOfDay / 3600);
    parts.nMinute = static_cast<int>(secondOfDay / 60 % 60);
    parts.nSecond = static_cast<int>(secondOfDay % 60);
    parts.nMilliSecond = static_cast<int>(fraction / 10 / 1000);
    parts.nMicroSecond = static_cast<int>(fraction / 10 % 1000);
    parts.nNanoSecond = static_cast<int>(fraction % 10 * 100);
    return parts;
}
