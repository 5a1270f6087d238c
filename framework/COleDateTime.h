#pragma once
#include "framework/COleDateTimeSpan.h"
#include "framework/CString.h"
#include "framework/Platform.h"
#include <oleauto.h>
#include <ctime>

// winbase.h defines GetCurrentTime() as GetTickCount(), which would rename the member below.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

// An OLE date: days since 30 December 1899 00:00 with the time of day as the fraction, and a status.
// Before the epoch the whole part counts back but the fraction still counts forward from that day:
// -1.25 is 29 December 1899 06:00, not 28 December 18:00. Arithmetic therefore works on a linear
// form of the value and converts back. Valid dates lie between 1 January 100 and 31 December 9999.
class COleDateTime
{
public:
    enum DateTimeStatus
    {
        error = -1,
        valid = 0,
        invalid = 1,
        null = 2,
    };

    COleDateTime() noexcept = default; // the valid date 0: 30 December 1899 00:00
    COleDateTime(DATE dtSrc) noexcept : m_dt(dtSrc) {}
    COleDateTime(const VARIANT& varSrc) noexcept;
    COleDateTime(const SYSTEMTIME& systimeSrc) noexcept; // milliseconds are ignored
    COleDateTime(const FILETIME& filetimeSrc) noexcept;  // a UTC file time, held as local time
    COleDateTime(__time64_t timeSrc) noexcept;           // seconds since 1970 UTC, held as local time
    COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) noexcept;

    COleDateTime& operator=(DATE dtSrc) noexcept;
    COleDateTime& operator=(const VARIANT& varSrc) noexcept;
    COleDateTime& operator=(const SYSTEMTIME& systimeSrc) noexcept;
    COleDateTime& operator=(const FILETIME& filetimeSrc) noexcept;
    COleDateTime& operator=(__time64_t timeSrc) noexcept;

    static COleDateTime GetCurrentTime() noexcept; // local time, whole seconds

    DateTimeStatus GetStatus() const noexcept { return m_status; }
    void SetStatus(DateTimeStatus status) noexcept { m_status = status; }

    // 0 when the fields form a real date and time (30 February does not), else 1 and invalid.
    int SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) noexcept;
    int SetDate(int nYear, int nMonth, int nDay) noexcept { return SetDateTime(nYear, nMonth, nDay, 0, 0, 0); }
    int SetTime(int nHour, int nMin, int nSec) noexcept { return SetDateTime(1899, 12, 30, nHour, nMin, nSec); }

    // The fields of the value rounded to the nearest second; -1 (error) when the date is not valid.
    bool GetAsSystemTime(SYSTEMTIME& sysTime) const noexcept;
    int GetYear() const noexcept;
    int GetMonth() const noexcept;
    int GetDay() const noexcept;
    int GetHour() const noexcept;
    int GetMinute() const noexcept;
    int GetSecond() const noexcept;
    int GetDayOfWeek() const noexcept; // 1 Sunday to 7 Saturday
    int GetDayOfYear() const noexcept; // 1 to 366

    // A null date gives the empty text and an invalid one "Invalid DateTime".
    // The system's form of the date and time for a locale (VAR_DATEVALUEONLY, VAR_TIMEVALUEONLY...).
    CString Format(DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT) const;
    // strftime codes on the fields, with the C library's neutral names ("Monday", "Jan", "AM"):
    // %a %A %b %B %c %d %H %I %j %m %M %p %S %U %w %W %x %X %y %Y %%; '#' drops leading zeros.
    CString Format(LPCWSTR lpszFormat) const;
    CString Format(UINT nFormatID) const; // the format is a string resource
    // Reads a date and/or time as the system does for the locale; false and invalid (day 0) when it
    // cannot, true and valid otherwise.
    bool ParseDateTime(LPCWSTR lpszDate, DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT) noexcept;

    operator DATE() const noexcept { return m_dt; }

    bool operator==(const COleDateTime& date) const noexcept;
    bool operator!=(const COleDateTime& date) const noexcept { return !(*this == date); }
    bool operator<(const COleDateTime& date) const noexcept;
    bool operator>(const COleDateTime& date) const noexcept { return date < *this; }
    bool operator<=(const COleDateTime& date) const noexcept;
    bool operator>=(const COleDateTime& date) const noexcept { return date <= *this; }

    COleDateTime operator+(const COleDateTimeSpan& dateSpan) const noexcept;
    COleDateTime operator-(const COleDateTimeSpan& dateSpan) const noexcept;
    COleDateTime& operator+=(const COleDateTimeSpan& dateSpan) noexcept { return *this = *this + dateSpan; }
    COleDateTime& operator-=(const COleDateTimeSpan& dateSpan) noexcept { return *this = *this - dateSpan; }
    COleDateTimeSpan operator-(const COleDateTime& date) const noexcept;

    // The linear form in which arithmetic and comparison work, and back.
    static double DoubleFromDate(DATE date) noexcept;
    static DATE DateFromDouble(double value) noexcept;

    DATE m_dt = 0;
    DateTimeStatus m_status = valid;

private:
    void SetFromSystemTime(const SYSTEMTIME& st) noexcept;
    void CheckRange() noexcept;
    int Field(WORD SYSTEMTIME::*pField) const noexcept;
};
