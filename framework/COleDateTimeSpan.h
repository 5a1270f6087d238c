#pragma once
#include <windows.h>

// A signed length of time in days (the fraction is the part of a day), with a status. Spans beyond
// the largest distance two dates can have (about ±9900 years) are invalid.
class COleDateTimeSpan
{
public:
    enum DateTimeSpanStatus
    {
        valid = 0,
        invalid = 1,
        null = 2,
    };
    static constexpr double kMaxDaysInSpan = 3615897.0;

    COleDateTimeSpan() noexcept = default;
    COleDateTimeSpan(double dblSpanSrc) noexcept;
    COleDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) noexcept;

    void SetStatus(DateTimeSpanStatus status) noexcept { m_status = status; }
    DateTimeSpanStatus GetStatus() const noexcept { return m_status; }
    void SetDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) noexcept;

    // The totals count whole units after rounding to the nearest second, toward zero.
    double GetTotalDays() const noexcept;
    double GetTotalHours() const noexcept;
    double GetTotalMinutes() const noexcept;
    double GetTotalSeconds() const noexcept;
    // The fields carry the sign of the span: -1 day 6 hours is -1 and -6.
    LONG GetDays() const noexcept;
    LONG GetHours() const noexcept;
    LONG GetMinutes() const noexcept;
    LONG GetSeconds() const noexcept;

    operator double() const noexcept { return m_span; }

    bool operator==(const COleDateTimeSpan& other) const noexcept;
    bool operator!=(const COleDateTimeSpan& other) const noexcept { return !(*this == other); }
    bool operator<(const COleDateTimeSpan& other) const noexcept;
    bool operator>(const COleDateTimeSpan& other) const noexcept { return other < *this; }
    bool operator<=(const COleDateTimeSpan& other) const noexcept;
    bool operator>=(const COleDateTimeSpan& other) const noexcept { return other <= *this; }

    COleDateTimeSpan operator+(const COleDateTimeSpan& other) const noexcept;
    COleDateTimeSpan operator-(const COleDateTimeSpan& other) const noexcept;
    COleDateTimeSpan& operator+=(const COleDateTimeSpan& other) noexcept { return *this = *this + other; }
    COleDateTimeSpan& operator-=(const COleDateTimeSpan& other) noexcept { return *this = *this - other; }
    COleDateTimeSpan operator-() const noexcept;

    double m_span = 0;
    DateTimeSpanStatus m_status = valid;

private:
    void CheckRange() noexcept;
    LONGLONG RoundedSeconds() const noexcept;
};
