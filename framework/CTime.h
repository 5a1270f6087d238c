#pragma once
#include "framework/CString.h"
#include <ctime>

// A length of time in whole seconds (64-bit).
class CTimeSpan
{
public:
    CTimeSpan() noexcept = default;
    CTimeSpan(__time64_t time) noexcept : m_timeSpan(time) {}
    CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) noexcept
        : m_timeSpan(((static_cast<__time64_t>(lDays) * 24 + nHours) * 60 + nMins) * 60 + nSecs)
    {
    }

    LONGLONG GetDays() const noexcept { return m_timeSpan / 86400; }
    LONGLONG GetTotalHours() const noexcept { return m_timeSpan / 3600; }
    LONG GetHours() const noexcept { return static_cast<LONG>(GetTotalHours() - GetDays() * 24); }
    LONGLONG GetTotalMinutes() const noexcept { return m_timeSpan / 60; }
    LONG GetMinutes() const noexcept { return static_cast<LONG>(GetTotalMinutes() - GetTotalHours() * 60); }
    LONGLONG GetTotalSeconds() const noexcept { return m_timeSpan; }
    LONG GetSeconds() const noexcept { return static_cast<LONG>(GetTotalSeconds() - GetTotalMinutes() * 60); }
    __time64_t GetTimeSpan() const noexcept { return m_timeSpan; }

    CTimeSpan operator+(CTimeSpan span) const noexcept { return CTimeSpan(m_timeSpan + span.m_timeSpan); }
    CTimeSpan operator-(CTimeSpan span) const noexcept { return CTimeSpan(m_timeSpan - span.m_timeSpan); }
    CTimeSpan& operator+=(CTimeSpan span) noexcept
    {
        m_timeSpan += span.m_timeSpan;
        return *this;
    }
    CTimeSpan& operator-=(CTimeSpan span) noexcept
    {
        m_timeSpan -= span.m_timeSpan;
        return *this;
    }
    auto operator<=>(const CTimeSpan&) const = default;

private:
    __time64_t m_timeSpan = 0;
};

// An instant as whole seconds since 1970-01-01 00:00 UTC (64-bit). The field getters and Format show
// it in local time; GetGmtTm and FormatGmt in UTC.
class CTime
{
public:
    CTime() noexcept = default;
    CTime(__time64_t time) noexcept : m_time(time) {}
    // Local fields; nDST as mktime takes it (-1: the system decides). An impossible date gives -1.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1) noexcept;
    CTime(const SYSTEMTIME& st, int nDST = -1) noexcept; // local fields
    CTime(const FILETIME& ft, int nDST = -1) noexcept;   // a UTC file time
    static CTime GetCurrentTime() noexcept { return CTime(_time64(nullptr)); }

    __time64_t GetTime() const noexcept { return m_time; }
    tm* GetLocalTm(tm* ptm) const noexcept; // null when the time cannot be shown as local time
    tm* GetGmtTm(tm* ptm) const noexcept;
    bool GetAsSystemTime(SYSTEMTIME& st) const noexcept; // local fields

    int GetYear() const noexcept;
    int GetMonth() const noexcept;
    int GetDay() const noexcept;
    int GetHour() const noexcept;
    int GetMinute() const noexcept;
    int GetSecond() const noexcept;
    int GetDayOfWeek() const noexcept; // 1 Sunday to 7 Saturday

    CString Format(LPCWSTR pszFormat) const;    // wcsftime codes on the local fields
    CString FormatGmt(LPCWSTR pszFormat) const; // the same on the UTC fields

    CTime operator+(CTimeSpan span) const noexcept { return CTime(m_time + span.GetTimeSpan()); }
    CTime operator-(CTimeSpan span) const noexcept { return CTime(m_time - span.GetTimeSpan()); }
    CTimeSpan operator-(CTime time) const noexcept { return CTimeSpan(m_time - time.m_time); }
    CTime& operator+=(CTimeSpan span) noexcept
    {
        m_time += span.GetTimeSpan();
        return *this;
    }
    CTime& operator-=(CTimeSpan span) noexcept
    {
        m_time -= span.GetTimeSpan();
        return *this;
    }
    auto operator<=>(const CTime&) const = default;

private:
    __time64_t m_time = 0;
};
