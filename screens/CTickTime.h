#pragma once
#include "framework/COleDateTime.h"
#include "framework/CTime.h"
#include "screens/CTickSpan.h"
#include "screens/CTickValue.h"
#include <array>

// winbase.h defines GetCurrentTime() as GetTickCount(), which would rename the member below.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

// A date and time in 100-ns ticks since 1601-01-01 00:00:00 of the proleptic Gregorian calendar,
// with no time zone of its own (the constructors from local sources hold local time).
// Negative ticks decode as their absolute value, so a time before 1601 reads as a mirrored date after
// it; nothing in the system builds one.
class CTickTime : public CTickValue
{
public:
    CTickTime() noexcept : CTickValue(0, valid) {}
    explicit CTickTime(LONGLONG ticks, TickStatus status = valid) noexcept : CTickValue(ticks, status) {}
    // Through its SYSTEMTIME, so ticks below the millisecond are dropped; invalid when it has none.
    explicit CTickTime(const FILETIME& fileTime) noexcept;
    explicit CTickTime(const SYSTEMTIME& systemTime) noexcept; // the day of week is ignored
    explicit CTickTime(const COleDateTime& date) noexcept;     // whole seconds; invalid unless valid
    explicit CTickTime(const CTime& time) noexcept;            // its local calendar time

    static CTickTime GetCurrentTime() noexcept; // local time, to the millisecond

    // Valid when the parts make a tick count (see PartsToTicks), else invalid with the ticks kept.
    void SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nMilliSecond,
                     int nMicroSecond, int nNanoSecond) noexcept;
    bool SetDateTime(const CTickParts& parts) noexcept; // the same, telling whether it became valid

    // The decoded part; -1 when the value is not valid.
    int GetYear() const noexcept { return Part(&CTickParts::nYear); }
    int GetMonth() const noexcept { return Part(&CTickParts::nMonth); }
    int GetDay() const noexcept { return Part(&CTickParts::nDay); }
    int GetHour() const noexcept { return Part(&CTickParts::nHour); }
    int GetMinute() const noexcept { return Part(&CTickParts::nMinute); }
    int GetSecond() const noexcept { return Part(&CTickParts::nSecond); }
    int GetMilliSecond() const noexcept { return Part(&CTickParts::nMilliSecond); }
    int GetMicroSecond() const noexcept { return Part(&CTickParts::nMicroSecond); }
    int GetNanoSecond() const noexcept { return Part(&CTickParts::nNanoSecond); }
    int GetDayOfWeek() const noexcept { return Part(&CTickParts::nDayOfWeek); } // 1 Sunday to 7 Saturday
    int GetDayOfYear() const noexcept { return Part(&CTickParts::nDayOfYear); } // 1 to 366

    // Day of week 0 for Sunday, to the millisecond; FALSE when the value is not valid.
    BOOL GetAsSystemTime(SYSTEMTIME& systemTime) const noexcept;

    // wcsftime codes plus "%s" / "%#s" milliseconds, "%u" / "%#u" microseconds and "%n" / "%#n"
    // nanoseconds, "%..." with three digits and "%#..." without leading zeros. A null time gives an
    // empty text, an invalid one string 61593; wcsftime takes years up to 9999.
    CString Format(LPCWSTR pszFormat) const;
    CString Format(UINT nFormatID) const; // the format is a string resource
    // Into a caller's buffer of nSize characters; see CTickValue::FormatInto.
    LPWSTR Format(LPWSTR pszBuffer, int nSize, LPCWSTR pszFormat) const;

    CTickSpan operator-(const CTickTime& time) const noexcept;
    CTickTime operator-(const CTickSpan& span) const noexcept;
    CTickTime operator+(const CTickSpan& span) const noexcept;

private:
    int Part(int CTickParts::*pPart) const noexcept;
    static std::array<FormatCode, 6> FormatCodes(const CTickParts& parts);

    static constexpr UINT kInvalidTextId = 61593;
    static constexpr int kYearBase = 1900; // tm_year counts from 1900
};
