#include "screens/CTickValue.h"
#include "framework/CArchive.h"
#include <algorithm>
#include <ctime>
#include <cwchar>
#include <iterator>
#include <string>
#include <string_view>

namespace
{
constexpr wchar_t kInvalidText[] = L"Invalid datetime";
constexpr int kTextBufferSize = 128;

// Copies at most nSize - 1 characters and always terminates.
void CopyCut(LPWSTR pszBuffer, int nSize, LPCWSTR pszText)
{
    const size_t length = std::min(wcslen(pszText), static_cast<size_t>(nSize - 1));
    wmemcpy(pszBuffer, pszText, length);
    pszBuffer[length] = L'\0';
}

LPWSTR FailInto(LPWSTR pszBuffer)
{
    pszBuffer[0] = L'\0';
    return nullptr;
}

tm TmFromParts(const CTickParts& parts, int nYearBase)
{
    tm fields{};
    fields.tm_year = parts.nYear - nYearBase;
    fields.tm_mon = parts.nMonth - 1;
    fields.tm_mday = parts.nDay;
    fields.tm_hour = parts.nHour;
    fields.tm_min = parts.nMinute;
    fields.tm_sec = parts.nSecond;
    fields.tm_wday = parts.nDayOfWeek - 1;
    fields.tm_yday = parts.nDayOfYear - 1;
    fields.tm_isdst = 0;
    return fields;
}
} // namespace

CTickValue::Sum CTickValue::Combine(const CTickValue& left, const CTickValue& right, bool bSubtract) noexcept
{
    if (left.m_status == null || right.m_status == null) return {0, null};
    if (left.m_status != valid || right.m_status != valid) return {0, invalid};
    LONGLONG ticks = 0;
    const bool overflow = bSubtract ? __builtin_sub_overflow(left.m_ticks, right.m_ticks, &ticks)
                                    : __builtin_add_overflow(left.m_ticks, right.m_ticks, &ticks);
    if (overflow) return {0, invalid};
    return {ticks, valid};
}

LPWSTR CTickValue::FormatInto(LPWSTR pszBuffer, int nSize, LPCWSTR pszFormat, const CTickParts& parts, int nYearBase,
                              std::span<const FormatCode> codes) const
{
    if (!pszBuffer || !pszFormat || nSize <= 0 || m_status == null) return nullptr;
    if (m_status != valid)
    {
        CopyCut(pszBuffer, nSize, kInvalidText);
        return pszBuffer;
    }

    // A cut format or a code left unreplaced would reach wcsftime as a wrong code ("%s" is invalid to
    // the Windows runtime, whose handler may end the process; "%n" is a line break): fail instead.
    const size_t formatLength = wcslen(pszFormat);
    if (formatLength >= static_cast<size_t>(nSize)) return FailInto(pszBuffer);
    wmemcpy(pszBuffer, pszFormat, formatLength + 1);
    for (const FormatCode& code : codes)
    {
        CString number;
        number.Format(code.pszNumberFormat, code.nValue);
        if (ReplaceInBuffer(pszBuffer, nSize, code.pszCode, number) == 0 && wcsstr(pszBuffer, code.pszCode))
            return FailInto(pszBuffer);
    }

    const std::wstring work(pszBuffer); // wcsftime reads its format while it writes the buffer
    const tm fields = TmFromParts(parts, nYearBase);
    const size_t length = wcsftime(pszBuffer, static_cast<size_t>(nSize), work.c_str(), &fields);
    // 0 means "did not fit" unless the result is empty by right. A length that reaches the size also
    // means it did not fit: Wine's runtime then leaves the buffer full and unterminated.
    if ((length == 0 && !work.empty()) || length >= static_cast<size_t>(nSize)) return FailInto(pszBuffer);
    pszBuffer[length] = L'\0';
    return pszBuffer;
}

CString CTickValue::FormatText(LPCWSTR pszFormat, UINT nInvalidTextId, const CTickParts& parts, int nYearBase,
                               std::span<const FormatCode> codes) const
{
    if (m_status == null) return CString();
    if (m_status != valid)
    {
        CString text;
        text.LoadString(nInvalidTextId); // the program's tables lack it: the text stays empty
        return text;
    }
    wchar_t buffer[kTextBufferSize];
    if (!FormatInto(buffer, static_cast<int>(std::size(buffer)), pszFormat, parts, nYearBase, codes)) return CString();
    return CString(buffer);
}

CArchive& operator<<(CArchive& ar, const CTickValue& value)
{
    ar << static_cast<int>(value.m_status) << static_cast<int>(value.m_ticks >> 32)
       << static_cast<int>(static_cast<DWORD>(value.m_ticks));
    return ar;
}

CArchive& operator>>(CArchive& ar, CTickValue& value)
{
    int status = 0;
    int high = 0;
    DWORD low = 0;
    ar >> status >> high >> low;
    // A status no version ever wrote means damaged data, which must not pass for a value.
    value.m_status = status == CTickValue::valid || status == CTickValue::null
                         ? static_cast<CTickValue::TickStatus>(status)
                         : CTickValue::invalid;
    value.m_ticks = static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<UINT>(high)) << 32) | low);
    return ar;
}

int ReplaceInBuffer(LPWSTR pszBuffer, int nSize, LPCWSTR pszPattern, LPCWSTR pszReplacement)
{
    if (!pszBuffer || nSize <= 0 || !pszPattern || !*pszPattern || !pszReplacement) return 0;
    const size_t length = wcsnlen(pszBuffer, static_cast<size_t>(nSize));
    if (length >= static_cast<size_t>(nSize)) return 0; // not a terminated text of this buffer

    int count = 0;
    for (const wchar_t* found = wcsstr(pszBuffer, pszPattern); found; found = wcsstr(found + 1, pszPattern))
        ++count;
    if (count == 0) return 0;

    const auto patternLength = static_cast<LONGLONG>(wcslen(pszPattern));
    const auto replacementLength = static_cast<LONGLONG>(wcslen(pszReplacement));
    const LONGLONG newLength = static_cast<LONGLONG>(length) + (replacementLength - patternLength) * count;
    if (newLength >= nSize) return 0; // the terminator needs its place too

    std::wstring replaced;
    const std::wstring_view text(pszBuffer, length);
    size_t from = 0;
    for (size_t at = text.find(pszPattern); at != std::wstring_view::npos; at = text.find(pszPattern, from))
    {
        replaced.append(text.substr(from, at - from)).append(pszReplacement);
        from = at + static_cast<size_t>(patternLength);
    }
    replaced.append(text.substr(from));
    wmemcpy(pszBuffer, replaced.c_str(), replaced.size() + 1);
    return count;
}
