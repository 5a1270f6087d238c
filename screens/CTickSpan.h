#pragma once
#include "screens/CTickValue.h"
#include <array>

// A signed duration in 100-ns ticks. Its parts and totals truncate toward zero, so a negative span
// gives negative parts; formatting shows the parts of its absolute length.
class CTickSpan : public CTickValue
{
public:
    CTickSpan() noexcept : CTickValue(0, valid) {}
    explicit CTickSpan(LONGLONG ticks, TickStatus status = valid) noexcept : CTickValue(ticks, status) {}

    // Nanoseconds round half away from zero to whole ticks. Valid, unless the sum leaves the 64-bit
    // range, which makes the span invalid.
    void SetSpan(LONG nDays, int nHours, int nMinutes, int nSeconds, int nMilliSeconds, int nMicroSeconds,
                 int nNanoSeconds) noexcept;

    LONGLONG GetDays() const noexcept { return m_ticks / kTicksPerDay; }
    int GetHours() const noexcept;
    int GetMinutes() const noexcept;
    int GetSeconds() const noexcept;
    int GetMilliSeconds() const noexcept;
    int GetMicroSeconds() const noexcept;
    int GetNanoSeconds() const noexcept;

    LONGLONG GetTotalDays() const noexcept { return m_ticks / kTicksPerDay; }
    LONGLONG GetTotalHours() const noexcept { return m_ticks / kTicksPerHour; }
    LONGLONG GetTotalMinutes() const noexcept { return m_ticks / kTicksPerMinute; }
    LONGLONG GetTotalSeconds() const noexcept { return m_ticks / kTicksPerSecond; }
    LONGLONG GetTotalMilliSeconds() const noexcept { return m_ticks / kTicksPerMilliSecond; }
    LONGLONG GetTotalMicroSeconds() const noexcept { return m_ticks / kTicksPerMicroSecond; }
    // Spans beyond about 292 years do not fit as nanoseconds: they give the largest count of their sign.
    LONGLONG GetTotalNanoSeconds() const noexcept;

    // wcsftime codes on the span read as a time since 1601 (so "%H", "%M", "%S" give its hours, minutes
    // and seconds within the day), plus "%D" / "%#D" whole days, "%s" / "%#s" milliseconds, "%u" / "%#u"
    // microseconds, "%n" / "%#n" nanoseconds, all of the absolute length; "%..." with three digits,
    // "%#..." without leading zeros. A null span gives an empty text; an invalid one string 61594.
    CString Format(LPCWSTR pszFormat) const;
    CString Format(UINT nFormatID) const; // the format is a string resource
    // Into a caller's buffer of nSize characters; see CTickValue::FormatInto.
    LPWSTR Format(LPWSTR pszBuffer, int nSize, LPCWSTR pszFormat) const;

    CTickSpan operator+(const CTickSpan& span) const noexcept;
    CTickSpan operator-(const CTickSpan& span) const noexcept;

private:
    std::array<FormatCode, 8> FormatCodes() const;

    static constexpr UINT kInvalidTextId = 61594;
    static constexpr int kYearBase = 1601; // so that a span shorter than a year shows year 0
};
