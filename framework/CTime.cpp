#include "framework/CTime.h"
#include <cwchar>
#include <iterator>

namespace
{
constexpr LONGLONG kFileTimeTicksPerSecond = 10000000;
constexpr LONGLONG kSecondsFrom1601To1970 = 11644473600LL;

CString FormatTm(const tm* fields, LPCWSTR pszFormat)
{
    if (!fields || !pszFormat) return CString();
    wchar_t buffer[512];
    const size_t length = wcsftime(buffer, std::size(buffer), pszFormat, fields);
    return CString(buffer, static_cast<int>(length));
}
} // namespace

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) noexcept
{
    tm fields{};
    fields.tm_year = nYear - 1900;
    fields.tm_mon = nMonth - 1;
    fields.tm_mday = nDay;
    fields.tm_hour = nHour;
    fields.tm_min = nMin;
    fields.tm_sec = nSec;
    fields.tm_isdst = nDST;
    m_time = _mktime64(&fields);
}

CTime::CTime(const SYSTEMTIME& st, int nDST) noexcept
    : CTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, nDST)
{
}

CTime::CTime(const FILETIME& ft, int /*nDST*/) noexcept
{
    // The file time is already UTC: no round trip through local fields, which is ambiguous for the
    // hour that repeats when daylight time ends.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    m_time = static_cast<__time64_t>(ticks / kFileTimeTicksPerSecond) - kSecondsFrom1601To1970;
}

tm* CTime::GetLocalTm(tm* ptm) const noexcept
{
    if (!ptm || _localtime64_s(ptm, &m_time) != 0) return nullptr;
    return ptm;
}

tm* CTime::GetGmtTm(tm* ptm) const noexcept
{
    if (!ptm || _gmtime64_s(ptm, &m_time) != 0) return nullptr;
    return ptm;
}

bool CTime::GetAsSystemTime(SYSTEMTIME& st) const noexcept
{
    tm fields{};
    if (!GetLocalTm(&fields)) return false;
    st = {};
    st.wYear = static_cast<WORD>(fields.tm_year + 1900);
    st.wMonth = static_cast<WORD>(fields.tm_mon + 1);
    st.wDay = static_cast<WORD>(fields.tm_mday);
    st.wHour = static_cast<WORD>(fields.tm_hour);
    st.wMinute = static_cast<WORD>(fields.tm_min);
    st.wSecond = static_cast<WORD>(fields.tm_sec);
    st.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
    return true;
}

int CTime::GetYear() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_year + 1900 : -1;
}

int CTime::GetMonth() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_mon + 1 : -1;
}

int CTime::GetDay() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_mday : -1;
}

int CTime::GetHour() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_hour : -1;
}

int CTime::GetMinute() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_min : -1;
}

int CTime::GetSecond() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_sec : -1;
}

int CTime::GetDayOfWeek() const noexcept
{
    tm fields{};
    return GetLocalTm(&fields) ? fields.tm_wday + 1 : -1;
}

CString CTime::Format(LPCWSTR pszFormat) const
{
    tm fields{};
    return FormatTm(GetLocalTm(&fields), pszFormat);
}

CString CTime::FormatGmt(LPCWSTR pszFormat) const
{
    tm fields{};
    return FormatTm(GetGmtTm(&fields), pszFormat);
}
