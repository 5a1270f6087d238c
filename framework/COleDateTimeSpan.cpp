#include "framework/COleDateTimeSpan.h"
#include <cmath>

namespace
{
constexpr double kHalfSecond = 0.5 / 86400.0;

// Rounds a span in days to the nearest second (halves away from zero) before it is cut to a unit,
// so 23:59:59.6 counts as a whole day and not as 23 hours.
double RoundToSecond(double span) { return span + (span < 0 ? -kHalfSecond : kHalfSecond); }
} // namespace

COleDateTimeSpan::COleDateTimeSpan(double dblSpanSrc) noexcept : m_span(dblSpanSrc)
{
    CheckRange();
}

COleDateTimeSpan::COleDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) noexcept
{
    SetDateTimeSpan(lDays, nHours, nMins, nSecs);
}

void COleDateTimeSpan::SetDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) noexcept
{
    m_span = lDays + nHours / 24.0 + nMins / 1440.0 + nSecs / 86400.0;
    m_status = valid;
    CheckRange();
}

void COleDateTimeSpan::CheckRange() noexcept
{
    if (!(m_span >= -kMaxDaysInSpan && m_span <= kMaxDaysInSpan)) m_status = invalid;  // NaN too
}

LONGLONG COleDateTimeSpan::RoundedSeconds() const noexcept
{
    return static_cast<LONGLONG>(RoundToSecond(m_span) * 86400.0);
}

double COleDateTimeSpan::GetTotalDays() const noexcept
{
    return static_cast<double>(static_cast<LONGLONG>(RoundToSecond(m_span)));
}

double COleDateTimeSpan::GetTotalHours() const noexcept
{
    return static_cast<double>(static_cast<LONGLONG>(RoundToSecond(m_span) * 24.0));
}

double COleDateTimeSpan::GetTotalMinutes() const noexcept
{
    return static_cast<double>(static_cast<LONGLONG>(RoundToSecond(m_span) * 1440.0));
}

double COleDateTimeSpan::GetTotalSeconds() const noexcept
{
    return static_cast<double>(RoundedSeconds());
}

LONG COleDateTimeSpan::GetDays() const noexcept
{
    return static_cast<LONG>(RoundedSeconds() / 86400);
}

LONG COleDateTimeSpan::GetHours() const noexcept
{
    return static_cast<LONG>(RoundedSeconds() / 3600 % 24);
}

LONG COleDateTimeSpan::GetMinutes() const noexcept
{
    return static_cast<LONG>(RoundedSeconds() / 60 % 60);
}

LONG COleDateTimeSpan::GetSeconds() const noexcept
{
    return static_cast<LONG>(RoundedSeconds() % 60);
}

bool COleDateTimeSpan::operator==(const COleDateTimeSpan& other) const noexcept
{
    if (m_status != other.m_status) return false;
    if (m_status == valid) return m_span == other.m_span;
    return m_status == null;  // two null spans are alike; an invalid span equals nothing
}

bool COleDateTimeSpan::operator<(const COleDateTimeSpan& other) const noexcept
{
    return m_status == valid && other.m_status == valid && m_span < other.m_span;
}

bool COleDateTimeSpan::operator<=(const COleDateTimeSpan& other) const noexcept
{
    return m_status == valid && other.m_status == valid && m_span <= other.m_span;
}

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& other) const noexcept
{
    COleDateTimeSpan result;
    if (m_status == null || other.m_status == null)
        result.m_status = null;
    else if (m_status == invalid || other.m_status == invalid)
        result.m_status = invalid;
    else
        result = COleDateTimeSpan(m_span + other.m_span);
    return result;
}

COleDateTimeSpan COleDateTimeSpan::operator-(const COleDateTimeSpan& other) const noexcept
{
    return *this + -other;
}

COleDateTimeSpan COleDateTimeSpan::operator-() const noexcept
{
    COleDateTimeSpan result(*this);
    result.m_span = -m_span;
    return result;
}
