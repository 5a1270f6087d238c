#include "framework/COleDateTime.h"
#include <cmath>
#include <cwchar>

namespace
{
constexpr double kMinDate = -657434.0; // 1 January 100
constexpr double kMaxDate = 2958465.0; // 31 December 9999
constexpr int kFieldError = COleDateTime::error;
constexpr LONGLONG kEpochDayNumber = 693593; // 30 December 1899, counted in days from 1 January 1 (day 0)

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Proleptic Gregorian day number of a date, 1 January of year 1 being day 0.
LONGLONG DayNumberFromCivil(int year, int month, int day)
{
    const LONGLONG y = year - 1;
    static const int kCumulative[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    LONGLONG n = y * 365 + y / 4 - y / 100 + y / 400 + kCumulative[month - 1] + day - 1;
    if (month > 2 && IsLeapYear(year)) ++n;
    return n;
}

void CivilFromDayNumber(LONGLONG n, int& year, int& month, int& day)
{
    // 400-year cycles of 146097 days, then centuries, 4-year groups and single years.
    LONGLONG y = (n / 146097) * 400;
    n %= 146097;
    LONGLONG c = n / 36524;
    if (c == 4) c = 3; // the last day of a 400-year cycle
    y += c * 100;
    n -= c * 36524;
    y += (n / 1461) * 4;
    n %= 1461;
    LONGLONG yy = n / 365;
    if (yy == 4) yy = 3; // the last day of a leap 4-year group
    y += yy;
    n -= yy * 365;
    year = static_cast<int>(y + 1);
    month = 1;
    while (n >= DaysInMonth(year, month))
        n -= DaysInMonth(year, month++);
    day = static_cast<int>(n + 1);
}

bool AreFieldsValid(int year, int month, int day, int hour, int minute, int second)
{
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) &&
           hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

DATE DateFromFields(int year, int month, int day, int hour, int minute, int second)
{
    const double days = static_cast<double>(DayNumberFromCivil(year, month, day) - kEpochDayNumber);
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    return days >= 0 ? days + time : days - time; // before the epoch the fraction counts forward
}

// The same split as the system's VariantTimeToSystemTime: whole day toward zero, the absolute
// fraction as the time of day, rounded to the nearest second (23:59:59.6 is the next day).
bool FieldsFromDate(DATE date, SYSTEMTIME& st)
{
    if (!std::isfinite(date)) return false;
    const double whole = std::trunc(date);
    if (whole < kMinDate || whole > kMaxDate) return false;
    LONGLONG day = static_cast<LONGLONG>(whole);
    LONGLONG seconds = std::llround(std::fabs(date - whole) * 86400.0);
    if (seconds >= 86400)
    {
        seconds -= 86400;
        ++day;
        if (day > static_cast<LONGLONG>(kMaxDate)) return false;
    }
    int year = 0, month = 0, dayOfMonth = 0;
    CivilFromDayNumber(day + kEpochDayNumber, year, month, dayOfMonth);
    st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(dayOfMonth);
    st.wHour = static_cast<WORD>(seconds / 3600);
    st.wMinute = static_cast<WORD>(seconds / 60 % 60);
    st.wSecond = static_cast<WORD>(seconds % 60);
    // 1 January 1 was a Monday (day number 0), so day number n falls on weekday (n + 1) mod 7.
    st.wDayOfWeek = static_cast<WORD>((day + kEpochDayNumber + 1) % 7);
    return true;
}

const wchar_t* const kDayNames[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                    L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonthNames[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                      L"July",    L"August",   L"September", L"October", L"November", L"December"};
constexpr const wchar_t* kInvalidText = L"Invalid DateTime";

// Week of the year with weeks starting on firstDay (0 Sunday, 1 Monday); days before the first such
// day are week 0, as strftime counts.
int WeekOfYear(int dayOfYear0, int weekDay, int firstDay)
{
    const int daysSinceFirst = (weekDay - firstDay + 7) % 7;
    return (dayOfYear0 + 7 - daysSinceFirst) / 7;
}

void AppendNumber(CString& out, int value, int width, bool noPad)
{
    CString number;
    if (noPad)
        number.Format(L"%d", value);
    else
        number.Format(L"%0*d", width, value);
    out += number;
}

void AppendField(CString& out, wchar_t code, bool alt, const SYSTEMTIME& st, int dayOfYear0);

void AppendFormatted(CString& out, const wchar_t* format, const SYSTEMTIME& st, int dayOfYear0)
{
    for (const wchar_t* p = format; *p; ++p)
    {
        if (*p != L'%')
        {
            out += *p;
            continue;
        }
        bool alt = false;
        if (p[1] == L'#')
        {
            alt = true;
            ++p;
        }
        if (!p[1]) break; // a lone % at the end writes nothing
        AppendField(out, *++p, alt, st, dayOfYear0);
    }
}

void AppendField(CString& out, wchar_t code, bool alt, const SYSTEMTIME& st, int dayOfYear0)
{
    const int hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
    switch (code)
    {
    case L'a':
        out += CString(kDayNames[st.wDayOfWeek], 3);
        break;
    case L'A':
        out += kDayNames[st.wDayOfWeek];
        break;
    case L'b':
        out += CString(kMonthNames[st.wMonth - 1], 3);
        break;
    case L'B':
        out += kMonthNames[st.wMonth - 1];
        break;
    case L'c':
        AppendFormatted(out, alt ? L"%A, %B %#d, %Y, %H:%M:%S" : L"%m/%d/%y %H:%M:%S", st, dayOfYear0);
        break;
    case L'd':
        AppendNumber(out, st.wDay, 2, alt);
        break;
    case L'H':
        AppendNumber(out, st.wHour, 2, alt);
        break;
    case L'I':
        AppendNumber(out, hour12, 2, alt);
        break;
    case L'j':
        AppendNumber(out, dayOfYear0 + 1, 3, alt);
        break;
    case L'm':
        AppendNumber(out, st.wMonth, 2, alt);
        break;
    case L'M':
        AppendNumber(out, st.wMinute, 2, alt);
        break;
    case L'p':
        out += st.wHour < 12 ? L"AM" : L"PM";
        break;
    case L'S':
        AppendNumber(out, st.wSecond, 2, alt);
        break;
    case L'U':
        AppendNumber(out, WeekOfYear(dayOfYear0, st.wDayOfWeek, 0), 2, alt);
        break;
    case L'w':
        AppendNumber(out, st.wDayOfWeek, 1, alt);
        break;
    case L'W':
        AppendNumber(out, WeekOfYear(dayOfYear0, st.wDayOfWeek, 1), 2, alt);
        break;
    case L'x':
        AppendFormatted(out, alt ? L"%A, %B %#d, %Y" : L"%m/%d/%y", st, dayOfYear0);
        break;
    case L'X':
        AppendFormatted(out, L"%H:%M:%S", st, dayOfYear0);
        break;
    case L'y':
        AppendNumber(out, st.wYear % 100, 2, alt);
        break;
    case L'Y':
        AppendNumber(out, st.wYear, 4, alt);
        break;
    case L'%':
        out += L'%';
        break;
    default:
        break; // unknown codes (and the zone codes, which a date value has none of) write nothing
    }
}
} // namespace

COleDateTime::COleDateTime(const VARIANT& varSrc) noexcept
{
    *this = varSrc;
}

COleDateTime::COleDateTime(const SYSTEMTIME& systimeSrc) noexcept
{
    SetFromSystemTime(systimeSrc);
}

COleDateTime::COleDateTime(const FILETIME& filetimeSrc) noexcept
{
    *this = filetimeSrc;
}

COleDateTime::COleDateTime(__time64_t timeSrc) noexcept
{
    *this = timeSrc;
}

COleDateTime::COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) noexcept
{
    SetDateTime(nYear, nMonth, nDay, nHour, nMin, nSec);
}

COleDateTime& COleDateTime::operator=(DATE dtSrc) noexcept
{
    m_dt = dtSrc;
    m_status = valid;
    return *this;
}

COleDateTime& COleDateTime::operator=(const VARIANT& varSrc) noexcept
{
    if (varSrc.vt == VT_DATE)
    {
        m_dt = varSrc.date;
        m_status = valid;
        return *this;
    }
    VARIANT converted;
    VariantInit(&converted);
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&varSrc), 0, VT_DATE)))
    {
        m_dt = converted.date;
        m_status = valid;
    }
    else
    {
        m_dt = 0;
        m_status = invalid;
    }
    VariantClear(&converted);
    return *this;
}

COleDateTime& COleDateTime::operator=(const SYSTEMTIME& systimeSrc) noexcept
{
    SetFromSystemTime(systimeSrc);
    return *this;
}

COleDateTime& COleDateTime::operator=(const FILETIME& filetimeSrc) noexcept
{
    FILETIME local{};
    SYSTEMTIME st{};
    if (FileTimeToLocalFileTime(&filetimeSrc, &local) && FileTimeToSystemTime(&local, &st))
        SetFromSystemTime(st);
    else
    {
        m_dt = 0;
        m_status = invalid;
    }
    return *this;
}

COleDateTime& COleDateTime::operator=(__time64_t timeSrc) noexcept
{
    tm local{};
    if (timeSrc >= 0 && _localtime64_s(&local, &timeSrc) == 0)
        SetDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    else
    {
        m_dt = 0;
        m_status = invalid;
    }
    return *this;
}

COleDateTime COleDateTime::GetCurrentTime() noexcept
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return COleDateTime(now);
}

void COleDateTime::SetFromSystemTime(const SYSTEMTIME& st) noexcept
{
    SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

int COleDateTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) noexcept
{
    if (AreFieldsValid(nYear, nMonth, nDay, nHour, nMin, nSec))
    {
        m_dt = DateFromFields(nYear, nMonth, nDay, nHour, nMin, nSec);
        m_status = valid;
    }
    else
    {
        m_dt = 0;
        m_status = invalid;
    }
    return m_status;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& sysTime) const noexcept
{
    return m_status == valid && FieldsFromDate(m_dt, sysTime);
}

// One calendar field of the value; kFieldError when it is not a valid date.
int COleDateTime::Field(WORD SYSTEMTIME::*pField) const noexcept
{
    SYSTEMTIME st;
    return GetAsSystemTime(st) ? st.*pField : kFieldError;
}

int COleDateTime::GetYear() const noexcept
{
    return Field(&SYSTEMTIME::wYear);
}

int COleDateTime::GetMonth() const noexcept
{
    return Field(&SYSTEMTIME::wMonth);
}

int COleDateTime::GetDay() const noexcept
{
    return Field(&SYSTEMTIME::wDay);
}

int COleDateTime::GetHour() const noexcept
{
    return Field(&SYSTEMTIME::wHour);
}

int COleDateTime::GetMinute() const noexcept
{
    return Field(&SYSTEMTIME::wMinute);
}

int COleDateTime::GetSecond() const noexcept
{
    return Field(&SYSTEMTIME::wSecond);
}

int COleDateTime::GetDayOfWeek() const noexcept
{
    SYSTEMTIME st;
    return GetAsSystemTime(st) ? st.wDayOfWeek + 1 : kFieldError;
}

int COleDateTime::GetDayOfYear() const noexcept
{
    SYSTEMTIME st;
    if (!GetAsSystemTime(st)) return kFieldError;
    return static_cast<int>(DayNumberFromCivil(st.wYear, st.wMonth, st.wDay) - DayNumberFromCivil(st.wYear, 1, 1)) + 1;
}

double COleDateTime::DoubleFromDate(DATE date) noexcept
{
    if (date >= 0) return date;
    const double whole = std::ceil(date); // -1.25 (29 December 06:00) becomes -0.75
    return whole - (date - whole);
}

DATE COleDateTime::DateFromDouble(double value) noexcept
{
    if (value >= 0) return value;
    const double whole = std::floor(value); // -0.75 becomes -1.25 again
    return whole + (whole - value);
}

void COleDateTime::CheckRange() noexcept
{
    SYSTEMTIME st;
    if (m_status == valid && !FieldsFromDate(m_dt, st)) m_status = invalid;
}

bool COleDateTime::operator==(const COleDateTime& date) const noexcept
{
    if (m_status != date.m_status) return false;
    if (m_status == valid) return m_dt == date.m_dt;
    return m_status == null; // two null dates are alike; an invalid date equals nothing
}

bool COleDateTime::operator<(const COleDateTime& date) const noexcept
{
    return m_status == valid && date.m_status == valid && DoubleFromDate(m_dt) < DoubleFromDate(date.m_dt);
}

bool COleDateTime::operator<=(const COleDateTime& date) const noexcept
{
    return m_status == valid && date.m_status == valid && DoubleFromDate(m_dt) <= DoubleFromDate(date.m_dt);
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& dateSpan) const noexcept
{
    COleDateTime result;
    if (m_status == null || dateSpan.GetStatus() == COleDateTimeSpan::null)
        result.m_status = null;
    else if (m_status == invalid || dateSpan.GetStatus() == COleDateTimeSpan::invalid)
        result.m_status = invalid;
    else
    {
        result.m_dt = DateFromDouble(DoubleFromDate(m_dt) + dateSpan.m_span);
        result.CheckRange();
    }
    return result;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& dateSpan) const noexcept
{
    return *this + -dateSpan;
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& date) const noexcept
{
    COleDateTimeSpan span;
    if (m_status == null || date.m_status == null)
        span.SetStatus(COleDateTimeSpan::null);
    else if (m_status == invalid || date.m_status == invalid)
        span.SetStatus(COleDateTimeSpan::invalid);
    else
        span = COleDateTimeSpan(DoubleFromDate(m_dt) - DoubleFromDate(date.m_dt));
    return span;
}

CString COleDateTime::Format(DWORD dwFlags, LCID lcid) const
{
    if (m_status == null) return CString();
    if (m_status != valid) return CString(kInvalidText);
    BSTR text = nullptr;
    if (FAILED(::VarBstrFromDate(m_dt, lcid, dwFlags, &text))) return CString(kInvalidText);
    CString result(text, static_cast<int>(::SysStringLen(text)));
    ::SysFreeString(text);
    return result;
}

CString COleDateTime::Format(LPCWSTR lpszFormat) const
{
    if (m_status == null) return CString();
    SYSTEMTIME st;
    if (!GetAsSystemTime(st)) return CString(kInvalidText);
    const int dayOfYear0 =
        static_cast<int>(DayNumberFromCivil(st.wYear, st.wMonth, st.wDay) - DayNumberFromCivil(st.wYear, 1, 1));
    CString result;
    if (lpszFormat) AppendFormatted(result, lpszFormat, st, dayOfYear0);
    return result;
}

CString COleDateTime::Format(UINT nFormatID) const
{
    CString format;
    if (!format.LoadString(nFormatID)) return CString();
    return Format(format.GetString());
}

bool COleDateTime::ParseDateTime(LPCWSTR lpszDate, DWORD dwFlags, LCID lcid) noexcept
{
    DATE parsed = 0;
    if (!lpszDate || FAILED(::VarDateFromStr(const_cast<LPOLESTR>(lpszDate), lcid, dwFlags, &parsed)))
    {
        m_dt = 0;
        m_status = invalid;
        return false;
    }
    m_dt = parsed;
    m_status = valid;
    return true;
}
