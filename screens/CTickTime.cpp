#include "screens/CTickTime.h"

namespace
{
// A SYSTEMTIME has nothing below the millisecond.
CTickParts PartsOf(const SYSTEMTIME& st)
{
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}
} // namespace

CTickTime::CTickTime(const FILETIME& fileTime) noexcept : CTickTime()
{
    SYSTEMTIME st{};
    if (FileTimeToSystemTime(&fileTime, &st))
        SetDateTime(PartsOf(st));
    else
        m_status = invalid;
}

CTickTime::CTickTime(const SYSTEMTIME& systemTime) noexcept : CTickTime()
{
    SetDateTime(PartsOf(systemTime));
}

CTickTime::CTickTime(const COleDateTime& date) noexcept : CTickTime()
{
    SYSTEMTIME st{};
    if (date.GetStatus() == COleDateTime::valid && VariantTimeToSystemTime(date.m_dt, &st))
        SetDateTime(CTickParts{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond});
    else
        SetDateTime(CTickParts{-1, -1, -1, -1, -1, -1});
}

CTickTime::CTickTime(const CTime& time) noexcept : CTickTime()
{
    tm fields{};
    if (time.GetLocalTm(&fields))
        SetDateTime(CTickParts{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min,
                               fields.tm_sec});
    else
        SetDateTime(CTickParts{0, 0, 0, -1, -1, -1});
}

CTickTime CTickTime::GetCurrentTime() noexcept
{
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return CTickTime(st);
}

void CTickTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nMilliSecond,
                            int nMicroSecond, int nNanoSecond) noexcept
{
    SetDateTime(CTickParts{nYear, nMonth, nDay, nHour, nMinute, nSecond, nMilliSecond, nMicroSecond, nNanoSecond});
}

bool CTickTime::SetDateTime(const CTickParts& parts) noexcept
{
    const bool converted = PartsToTicks(parts, m_ticks);
    m_status = converted ? valid : invalid;
    return converted;
}

int CTickTime::Part(int CTickParts::*pPart) const noexcept
{
    return m_status == valid ? TicksToParts(m_ticks).*pPart : -1;
}

BOOL CTickTime::GetAsSystemTime(SYSTEMTIME& systemTime) const noexcept
{
    if (m_status != valid) return FALSE;
    const CTickParts parts = TicksToParts(m_ticks);
    systemTime.wYear = static_cast<WORD>(parts.nYear); // at most 30828: the ticks end there
    systemTime.wMonth = static_cast<WORD>(parts.nMonth);
    systemTime.wDayOfWeek = static_cast<WORD>(parts.nDayOfWeek - 1);
    systemTime.wDay = static_cast<WORD>(parts.nDay);
    systemTime.wHour = static_cast<WORD>(parts.nHour);
    systemTime.wMinute = static_cast<WORD>(parts.nMinute);
    systemTime.wSecond = static_cast<WORD>(parts.nSecond);
    systemTime.wMilliseconds = static_cast<WORD>(parts.nMilliSecond);
    return TRUE;
}

std::array<CTickValue::FormatCode, 6> CTickTime::FormatCodes(const CTickParts& parts)
{
    return {{
        {L"%s", L"%03d", parts.nMilliSecond},
        {L"%#s", L"%d", parts.nMilliSecond},
        {L"%u", L"%03d", parts.nMicroSecond},
        {L"%#u", L"%d", parts.nMicroSecond},
        {L"%n", L"%03d", parts.nNanoSecond},
        {L"%#n", L"%d", parts.nNanoSecond},
    }};
}

CString CTickTime::Format(LPCWSTR pszFormat) const
{
    const CTickParts parts = TicksToParts(m_ticks);
    return FormatText(pszFormat, kInvalidTextId, parts, kYearBase, FormatCodes(parts));
}

CString CTickTime::Format(UINT nFormatID) const
{
    CString format;
    format.LoadString(nFormatID);
    return Format(format.GetString());
}

LPWSTR CTickTime::Format(LPWSTR pszBuffer, int nSize, LPCWSTR pszFormat) const
{
    const CTickParts parts = TicksToParts(m_ticks);
    return FormatInto(pszBuffer, nSize, pszFormat, parts, kYearBase, FormatCodes(parts));
}

CTickSpan CTickTime::operator-(const CTickTime& time) const noexcept
{
    const Sum sum = Combine(*this, time, true);
    return CTickSpan(sum.ticks, sum.status);
}

CTickTime CTickTime::operator-(const CTickSpan& span) const noexcept
{
    const Sum sum = Combine(*this, span, true);
    return CTickTime(sum.ticks, sum.status);
}

CTickTime CTickTime::operator+(const CTickSpan& span) const noexcept
{
    const Sum sum = Combine(*this, span, false);
    return CTickTime(sum.ticks, sum.status);
}
