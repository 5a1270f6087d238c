#include "screens/CTickSpan.h"
#include <cstdlib>
#include <limits>

namespace
{
constexpr LONGLONG kSecondsPerMinute = 60;
constexpr LONGLONG kSecondsPerHour = 3600;
constexpr LONGLONG kSecondsPerDay = 86400;
constexpr LONGLONG kNanoSecondsPerTick = 100;
} // namespace

std::array<CTickValue::FormatCode, 8> CTickSpan::FormatCodes() const
{
    const auto days = static_cast<int>(std::abs(GetDays())); // below 2^24
    const int milli = std::abs(GetMilliSeconds());
    const int micro = std::abs(GetMicroSeconds());
    const int nano = std::abs(GetNanoSeconds());
    return {{
        {L"%D", L"%0d", days},
        {L"%#D", L"%d", days},
        {L"%s", L"%03d", milli},
        {L"%#s", L"%d", milli},
        {L"%u", L"%03d", micro},
        {L"%#u", L"%d", micro},
        {L"%n", L"%03d", nano},
        {L"%#n", L"%d", nano},
    }};
}

void CTickSpan::SetSpan(LONG nDays, int nHours, int nMinutes, int nSeconds, int nMilliSeconds, int nMicroSeconds,
                        int nNanoSeconds) noexcept
{
    const LONGLONG terms[][2] = {
        {nDays, kTicksPerDay},
        {nHours, kTicksPerHour},
        {nMinutes, kTicksPerMinute},
        {nSeconds, kTicksPerSecond},
        {nMilliSeconds, kTicksPerMilliSecond},
        {nMicroSeconds, kTicksPerMicroSecond},
        {(nNanoSeconds + (nNanoSeconds < 0 ? -50LL : 50LL)) / kNanoSecondsPerTick, 1},
    };
    // Days and hours at the ends of their range overflow 64 bits; checked arithmetic makes that
    // an invalid span instead of a wrapped one.
    LONGLONG ticks = 0;
    for (const auto& term : terms)
    {
        LONGLONG product = 0;
        if (__builtin_mul_overflow(term[0], term[1], &product) || __builtin_add_overflow(ticks, product, &ticks))
        {
            m_ticks = 0;
            m_status = invalid;
            return;
        }
    }
    m_ticks = ticks;
    m_status = valid;
}

int CTickSpan::GetHours() const noexcept
{
    const LONGLONG s = m_ticks / kTicksPerSecond;
    return static_cast<int>((s - (s / kSecondsPerDay) * kSecondsPerDay) / kSecondsPerHour);
}

int CTickSpan::GetMinutes() const noexcept
{
    const LONGLONG s = m_ticks / kTicksPerSecond;
    return static_cast<int>((s - (s / kSecondsPerHour) * kSecondsPerHour) / kSecondsPerMinute);
}

int CTickSpan::GetSeconds() const noexcept
{
    const LONGLONG s = m_ticks / kTicksPerSecond;
    return static_cast<int>(s - (s / kSecondsPerMinute) * kSecondsPerMinute);
}

int CTickSpan::GetMilliSeconds() const noexcept
{
    return static_cast<int>(m_ticks % kTicksPerSecond / kTicksPerMilliSecond);
}

int CTickSpan::GetMicroSeconds() const noexcept
{
    return static_cast<int>(m_ticks % kTicksPerMilliSecond / kTicksPerMicroSecond);
}

int CTickSpan::GetNanoSeconds() const noexcept
{
    return static_cast<int>(m_ticks % kTicksPerMicroSecond * kNanoSecondsPerTick);
}

LONGLONG CTickSpan::GetTotalNanoSeconds() const noexcept
{
    LONGLONG nanoSeconds = 0;
    if (__builtin_mul_overflow(m_ticks, kNanoSecondsPerTick, &nanoSeconds))
        return m_ticks < 0 ? std::numeric_limits<LONGLONG>::min() : std::numeric_limits<LONGLONG>::max();
    return nanoSeconds;
}

CString CTickSpan::Format(LPCWSTR pszFormat) const
{
    return FormatText(pszFormat, kInvalidTextId, TicksToParts(m_ticks), kYearBase, FormatCodes());
}

CString CTickSpan::Format(UINT nFormatID) const
{
    CString format;
    format.LoadString(nFormatID);
    return Format(format.GetString());
}

LPWSTR CTickSpan::Format(LPWSTR pszBuffer, int nSize, LPCWSTR pszFormat) const
{
    return FormatInto(pszBuffer, nSize, pszFormat, TicksToParts(m_ticks), kYearBase, FormatCodes());
}

CTickSpan CTickSpan::operator+(const CTickSpan& span) const noexcept
{
    const Sum sum = Combine(*this, span, false);
    return CTickSpan(sum.ticks, sum.status);
}

CTickSpan CTickSpan::operator-(const CTickSpan& span) const noexcept
{
    const Sum sum = Combine(*this, span, true);
    return CTickSpan(sum.ticks, sum.status);
}
