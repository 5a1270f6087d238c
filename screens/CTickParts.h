#pragma once
#include "framework/Platform.h"

// The calendar parts of a point in time with 100-ns resolution: the working record between the
// tick count of CTickTime and CTickSpan and the fields people read. Ticks count 100-ns units since
// 1601-01-01 00:00:00 of the proleptic Gregorian calendar, the origin of FILETIME.
struct CTickParts
{
    int nYear = 0;
    int nMonth = 0; // 1-12
    int nDay = 0;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nMilliSecond = 0;
    int nMicroSecond = 0;
    int nNanoSecond = 0;
    int nDayOfYear = 0; // 1-366; set by TicksToParts only
    int nDayOfWeek = 0; // 1 Sunday to 7 Saturday; set by TicksToParts only

    bool operator==(const CTickParts&) const = default;
};

constexpr LONGLONG kTicksPerMicroSecond = 10;
constexpr LONGLONG kTicksPerMilliSecond = 10000;
constexpr LONGLONG kTicksPerSecond = 10000000;
constexpr LONGLONG kTicksPerMinute = 60 * kTicksPerSecond;
constexpr LONGLONG kTicksPerHour = 60 * kTicksPerMinute;
constexpr LONGLONG kTicksPerDay = 24 * kTicksPerHour;
constexpr int kMinTickYear = -29000;
constexpr int kMaxTickYear = 29000;

// The tick count of the parts; false, with ticks untouched, when the year lies outside
// kMinTickYear..kMaxTickYear, the month outside 1..12, or the result outside the 64-bit range.
// Nothing else is checked: every part carries into the next larger one, so day 30 of February is
// 1 or 2 March, and a negative part counts as its unsigned 32-bit value (hour -1 as 4,294,967,295
// hours, which runs out of range; minute -1 still lands some 8,000 years ahead, valid). Nanoseconds
// round half up to whole ticks.
bool PartsToTicks(const CTickParts& parts, LONGLONG& ticks) noexcept;

// The parts of a tick count, day of year and day of week included. Negative ticks decode as their
// absolute value: a time before 1601 comes out as the date mirrored after it, a negative span as the
// parts of its length. Nothing in the system builds such times.
CTickParts TicksToParts(LONGLONG ticks) noexcept;
