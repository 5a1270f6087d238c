#include "screens/CTickParts.h"
#include <array>

namespace
{
constexpr int kSecondsPerDay = 86400;
constexpr int kDayNumberOf1601 = 584754; // 1601-01-01, with day numbers counted from year 0
constexpr int kDaysPer400Years = 146097;
constexpr int kDaysPer4Years = 1461;
constexpr int kDaysPerCentury = 36524;
constexpr int kDaysPerYear = 365;
constexpr int kFeb29Index = 59; // day-of-year index of 29 February

// Days before each month of a non-leap year, and the year's length last.
constexpr int kDaysBeforeMonth[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

// The month of each day-of-year index of a non-leap year: a lookup where a search would mispredict.
constexpr auto kMonthOfDayIndex = [] {
    std::array<unsigned char, 365> months{};
    for (int month = 1; month <= 12; ++month)
        for (int index = kDaysBeforeMonth[month - 1]; index < kDaysBeforeMonth[month]; ++index)
            months[index] = static_cast<unsigned char>(month);
    return months;
}();

bool IsLeapYear(LONGLONG year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// A part as the unsigned 32-bit count it is taken for, widened so that carrying never wraps.
ULONGLONG AsCount(int part)
{
    return static_cast<UINT>(part);
}

struct TimeOfDay
{
    ULONGLONG extraDays, hour, minute, second, milli, micro, units;
};

// Every part below the day carried into the next larger one, as unsigned counts.
TimeOfDay CarryTimeOfDay(const CTickParts& parts)
{
    // Parts in their usual ranges carry nothing: most calls skip the divisions.
    if (AsCount(parts.nNanoSecond) < 950 && AsCount(parts.nMicroSecond) < 1000 && AsCount(parts.nMilliSecond) < 1000 &&
        AsCount(parts.nSecond) < 60 && AsCount(parts.nMinute) < 60 && AsCount(parts.nHour) < 24)
    {
        return {0,
                AsCount(parts.nHour),
                AsCount(parts.nMinute),
                AsCount(parts.nSecond),
                AsCount(parts.nMilliSecond),
                AsCount(parts.nMicroSecond),
                (AsCount(parts.nNanoSecond) + 50) / 100};
    }
    TimeOfDay t{};
    t.units = (AsCount(parts.nNanoSecond) + 50) / 100;
    t.micro = AsCount(parts.nMicroSecond) + t.units / 10;
    t.units %= 10;
    t.milli = AsCount(parts.nMilliSecond) + t.micro / 1000;
    t.micro %= 1000;
    t.second = AsCount(parts.nSecond) + t.milli / 1000;
    t.milli %= 1000;
    t.minute = AsCount(parts.nMinute) + t.second / 60;
    t.second %= 60;
    t.hour = AsCount(parts.nHour) + t.minute / 60;
    t.minute %= 60;
    t.extraDays = t.hour / 24; // below 2^30 even when every part is -1
    t.hour %= 24;
    return t;
}
} // namespace

bool PartsToTicks(const CTickParts& parts, LONGLONG& ticks) noexcept
{
    if (parts.nYear < kMinTickYear || parts.nYear > kMaxTickYear || parts.nMonth < 1 || parts.nMonth > 12) return false;

    const TimeOfDay t = CarryTimeOfDay(parts);

    const LONGLONG year = parts.nYear;
    LONGLONG day = parts.nDay + kDaysBeforeMonth[parts.nMonth - 1] + kDaysPerYear * year + year / 4 - year / 100 +
                   year / 400 + static_cast<LONGLONG>(t.extraDays);
    if (parts.nMonth <= 2 && IsLeapYear(year)) --day; // the year's own leap day is still ahead
    const LONGLONG seconds =
        (day - kDayNumberOf1601) * kSecondsPerDay + static_cast<LONGLONG>(t.hour * 3600 + t.minute * 60 + t.second);
    const auto fraction = static_cast<LONGLONG>((t.milli * 1000 + t.micro) * 10 + t.units);

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
    const ULONGLONG seconds = magnitude / kTicksPerSecond;
    // Below 2^24 days, so the calendar works in 32 bits, which is markedly faster.
    const auto fraction = static_cast<int>(magnitude % kTicksPerSecond);
    const auto days = static_cast<int>(seconds / kSecondsPerDay);
    const auto secondOfDay = static_cast<int>(seconds % kSecondsPerDay);

    CTickParts parts;
    parts.nDayOfWeek = (days + kDayNumberOf1601 - 1) % 7 + 1;

    int n = days + kDayNumberOf1601;
    const int q400 = n / kDaysPer400Years;
    n %= kDaysPer400Years;
    // Signed on purpose: for the first day of a 400-year cycle n - 1 is -1 and must give century 0.
    const int century = (n - 1) / kDaysPerCentury;
    int r = (n - 1) % kDaysPerCentury;
    int q4 = 0;
    int y = 0;
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
    parts.nDayOfYear = r + 1;
    parts.nYear = y + 4 * q4 + 100 * century + 400 * q400;

    const bool leapYear = leapCapable && y == 0;
    if (leapYear && r == kFeb29Index)
    {
        parts.nMonth = 2;
        parts.nDay = 29;
    }
    else
    {
        if (leapYear && r > kFeb29Index) --r;
        const int month = kMonthOfDayIndex[r];
        parts.nMonth = month;
        parts.nDay = r + 1 - kDaysBeforeMonth[month - 1];
    }

    parts.nHour = secondOfDay / 3600;
    parts.nMinute = secondOfDay / 60 % 60;
    parts.nSecond = secondOfDay % 60;
    parts.nMilliSecond = fraction / 10 / 1000;
    parts.nMicroSecond = fraction / 10 % 1000;
    parts.nNanoSecond = fraction % 10 * 100;
    return parts;
}
